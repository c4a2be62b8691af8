#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf8.h"
#include "device/images/disc_text.h"

typedef struct _CdIo CdIo_t;

namespace sonarch {

// The CD-TEXT libcdio reads from a physical drive's disc (its lead-in), in one language
// block: English when the disc has it, else the first block in use. May read from the
// drive: call it where waiting is allowed.
DiscText ReadCdText(CdIo_t* cdio);

// The biggest CD-TEXT a disc can carry: 8 blocks of 256 packs of 18 bytes.
constexpr std::size_t kMostCdTextBytes = 8 * 256 * 18;

// The CD-TEXT in raw packs (a CUE sheet's CDTEXTFILE, a Nero image's CD-TEXT chunk), for
// tracks 1 to `lastTrack`, in one language block as ReadCdText chooses it. libcdio parses
// the packs, which may come from a hostile file: call it in a child process only (see
// ReadCdTextPacks).
DiscText CdTextFromPacks(const std::vector<std::uint8_t>& packs, int lastTrack);

// The CDTEXTFILE a CUE sheet names, as written (empty when none), and how many tracks the
// sheet lists.
struct CueSheetTextFile {
    std::string name;
    int lastTrack = 0;
};
CueSheetTextFile CueSheetCdTextFile(std::string_view sheet);

// A CUE sheet's CD-TEXT: its TITLE and PERFORMER lines over `fromPacks`, the text of the
// CDTEXTFILE it names.
DiscText CueSheetText(std::string_view sheet, DiscText fromPacks);

// A text from a disc as one clean UTF-8 line: text that is not UTF-8 is read as Latin-1,
// control characters become blanks and blanks around it are dropped.
std::string CleanDiscText(std::string_view text);

}  // namespace sonarch
