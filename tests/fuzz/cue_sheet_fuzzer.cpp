// CUE sheets as our own reader lays them out, over made-up data files: a disc it accepts is
// one a CD could be, and its pieces cover it end to end.
#include <cstdint>
#include <functional>
#include <string>

#include "device/images/cue_sheet.h"
#include "fuzz_check.h"

using namespace sonarch;

namespace {

// A file for every name: missing, unusable, small or larger than any disc, by its name.
CueDataFile madeUpFile(const std::string& path, bool wave) {
    const std::size_t hash = std::hash<std::string>()(path);
    CueDataFile file;
    file.found = hash % 7 != 0;
    if (hash % 11 == 0) {
        file.problem = "is not a WAV file";
    }
    file.dataOffset = wave ? 44 : 0;
    const std::uint64_t sizes[] = {0,
                                   2351,
                                   2352 * 300,
                                   2352 * 4500 + 17,
                                   2352ull * 449849,
                                   2352ull * 449850,
                                   std::uint64_t(1) << 40,
                                   ~std::uint64_t(0)};
    file.dataBytes = sizes[(hash >> 8) % 8];
    return file;
}

}  // namespace

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
