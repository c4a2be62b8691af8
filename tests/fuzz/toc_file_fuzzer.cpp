// cdrdao TOC files as our own reader lays them out, over made-up data files: a disc it
// accepts is one a CD could be, its pieces cover it end to end, and its texts are clean.
#include <cstdint>
#include <string>

#include "base/utf8.h"
#include "device/images/toc_file.h"
#include "disc_layouts.h"
#include "fuzz_check.h"

using namespace sonarch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Result<TocLayout> layout = LayOutTocFile(text, "/discs/fuzz.toc", madeUpFile);
    if (!layout.ok()) {
        FUZZ_CHECK(!layout.error().empty());
        return 0;
    }
    const TocLayout& disc = layout.value();
    checkLayout(disc.toc, disc.extents);
    FUZZ_CHECK(disc.text.tracks.size() <= disc.toc.tracks.size());
    FUZZ_CHECK(IsWellFormedUtf8(disc.text.title) && IsWellFormedUtf8(disc.text.performer));
    for (const TrackText& track : disc.text.tracks) {
        FUZZ_CHECK(IsWellFormedUtf8(track.title) && IsWellFormedUtf8(track.performer));
    }
    return 0;
}
