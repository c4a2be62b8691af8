// qvlib's track-sheet reader: what it accepts is UTF-8, titled and rated 0 to 10.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "qvlib/track_sheet.h"

using namespace sonarch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto sheet = ParseTrackSheet(text);
    if (!sheet.ok()) {
        FUZZ_CHECK(sheet.error().rfind("line ", 0) == 0);
        return 0;
    }
    for (const SheetTrack& track : sheet.value()) {
        FUZZ_CHECK(!track.title.empty());
        FUZZ_CHECK(track.rating >= 0 && track.rating <= 10);
        FUZZ_CHECK(IsWellFormedUtf8(track.title) && IsWellFormedUtf8(track.artist) &&
                   IsWellFormedUtf8(track.comment));
        FUZZ_CHECK(track.title.find('\t') == std::string::npos);
    }
    return 0;
}
