// CUE sheets as our own reader lays them out, over made-up data files: a disc it accepts is
// one a CD could be, and its pieces cover it end to end.
#include <cstdint>
#include <string>

#include "device/images/cue_sheet.h"
#include "disc_layouts.h"
#include "fuzz_check.h"

using namespace sonarch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Result<CueLayout> layout = LayOutCueSheet(text, "/discs/fuzz.cue", madeUpFile);
    if (!layout.ok()) {
        FUZZ_CHECK(!layout.error().empty());
        return 0;
    }
    const CueLayout& disc = layout.value();
    checkLayout(disc.toc, disc.extents);
    return 0;
}
