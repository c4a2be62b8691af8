// CUE sheets as our own reader lays them out, over made-up data files: a disc it accepts is
// one a CD could be, and its pieces cover it end to end.
#include <cstdint>
#include <string>

#include "device/images/cue_sheet.h"
#include "fuzz_check.h"
#include "made_up_files.h"

using namespace sonarch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Result<CueLayout> layout = LayOutCueSheet(text, "/discs/fuzz.cue", madeUpFile);
    if (!layout.ok()) {
        FUZZ_CHECK(!layout.error().empty());
        return 0;
    }
    const CueLayout& disc = layout.value();
    FUZZ_CHECK(TocLaysOutADisc(disc.toc));
    std::int64_t next = 0;
    for (const CueExtent& extent : disc.extents) {
        FUZZ_CHECK(extent.sectors >= 0);
        FUZZ_CHECK(extent.firstSector == next);
        next += extent.sectors;
    }
    FUZZ_CHECK(next == disc.toc.leadoutSector);
    return 0;
}
