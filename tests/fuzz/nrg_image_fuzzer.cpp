// Nero images as our own reader lays them out. An input is the length of an image's sound
// data in sectors (four bytes, big-endian), then the image's end: the sound itself is never
// read while laying out, so it is left out. A disc the reader accepts is one a CD could be,
// its pieces cover it end to end, and the sound it plays lies inside the file.
#include <cstdint>
#include <string>

#include "device/images/nrg_image.h"
#include "fuzz_check.h"

using namespace sonarch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint32_t sectors =
        std::uint32_t(data[0]) << 24 | std::uint32_t(data[1]) << 16 | data[2] << 8 | data[3];
    FileTail tail;
    tail.offset = std::uint64_t(sectors % 500000) * kBytesPerFrame;
    tail.bytes.assign(data + 4, data + size);
    tail.fileSize = tail.offset + tail.bytes.size();
    const Result<NrgLayout> layout = LayOutNrgImage(tail, "/discs/fuzz.nrg");
    if (!layout.ok()) {
        FUZZ_CHECK(layout.error().find("Nero image") != std::string::npos);
        return 0;
    }
    const NrgLayout& disc = layout.value();
    FUZZ_CHECK(TocLaysOutADisc(disc.toc));
    std::int64_t next = 0;
    for (const CueExtent& extent : disc.extents) {
        FUZZ_CHECK(extent.sectors > 0);
        FUZZ_CHECK(extent.firstSector == next);
        FUZZ_CHECK(extent.path.empty() || extent.path == "/discs/fuzz.nrg");
        FUZZ_CHECK(extent.path.empty() ||
                   extent.byteOffset + std::uint64_t(extent.sectors) * kBytesPerFrame <=
                       tail.fileSize);
        next += extent.sectors;
    }
    FUZZ_CHECK(next == disc.toc.leadoutSector);
    FUZZ_CHECK(disc.cdTextPacks.size() <= tail.bytes.size());
    return 0;
}
