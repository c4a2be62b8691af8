#pragma once

#include <cstdint>
#include <span>

namespace sonarch {

// One of the skin's pictures as ready-made 32-bit pixels, rows of `width` without padding:
// premultiplied ARGB when `alpha`, RGB32 otherwise. Made at build time by skin_pack.
struct SkinPicture {
    const char* name;
    int width;
    int height;
    bool alpha;
    const std::uint32_t* pixels;
};

// Every picture, sorted by name (byte order).
std::span<const SkinPicture> SkinPictures();

}  // namespace sonarch
