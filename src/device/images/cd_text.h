#pragma once

#include <string>
#include <string_view>

#include "base/utf8.h"
#include "device/images/disc_text.h"

typedef struct _CdIo CdIo_t;

namespace sonarch {

// The CD-TEXT libcdio finds behind a handle (a drive's lead-in, or an image's CUE lines,
// CDTEXTFILE, TOC CD_TEXT blocks or NRG chunk), in one language block: English when the
// disc has it, else the first block in use. May read from the drive: call it where
// waiting is allowed.
DiscText ReadCdText(CdIo_t* cdio);

// The CD-TEXT of a CUE sheet that libcdio cannot open itself (one naming several files):
// its TITLE and PERFORMER lines, over those of its CDTEXTFILE when it names one.
DiscText ReadCueSheetText(const std::string& cuePath);

// A text from a disc as one clean UTF-8 line: text that is not UTF-8 is read as Latin-1,
// control characters become blanks and blanks around it are dropped.
std::string CleanDiscText(std::string_view text);

}  // namespace sonarch
