// Nero images as our own reader lays them out. An input is the length of an image's sound
// data in sectors (four bytes, big-endian), then the image's end: the sound itself is never
// read while laying out, so it is left out. A disc the reader accepts is one a CD could be,
// its pieces cover it end to end, and the sound it plays lies inside the file.
#include <cstdint>
#include <string>

#include "device/images/nrg_image.h"
#include "disc_layouts.h"
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
    checkLayout(disc.toc, disc.extents);
    // The sound it plays lies in the image.
    for (const CueExtent& piece : disc.extents) {
        FUZZ_CHECK(
            piece.path.empty() ||
            (piece.path == "/discs/fuzz.nrg" &&
             piece.byteOffset + std::uint64_t(piece.sectors) * kBytesPerFrame <= tail.fileSize));
    }
    FUZZ_CHECK(disc.cdTextPacks.size() <= tail.bytes.size());
    return 0;
}
