#include "layout/cover_fit.h"

#include <cmath>
#include <cstdint>

namespace sonarch {

namespace {

// Whole twips from a single-precision length: nearest, ties to even.
std::int64_t wholeTwips(float value) {
    return std::llrint(value);
}

}  // namespace

TwipRect FitCoverImage(TwipSize panel, TwipSize picture, TwipRect previous) {
    std::int64_t w = picture.width;
    std::int64_t h = picture.height;
    // Without a height there is no proportion to keep; the reductions below are skipped.
    const bool proportional = picture.width > 0 && picture.height > 0;
    const float ratio = proportional ? float(picture.width) / float(picture.height) : 0.0f;

    if (panel.width < w) {
        w = panel.width;
        if (proportional) {
            // Reductions are whole twips of any size: a large photograph keeps its
            // proportions instead of being stretched to the panel.
            h -= wholeTwips(float(picture.width - panel.width) / ratio);
        }
    }
    const std::int64_t h0 = h;
    if (panel.height < h) {
        h = panel.height;
        if (proportional) {
            w -= wholeTwips(float(h0 - h) * ratio);
        }
    }

    TwipRect image = previous;
    if (w > 0 && h > 0) {
        image.width = int(w);
        image.height = int(h);
    }
    image.top = panel.height / 2 - image.height / 2;
    image.left = panel.width / 2 - image.width / 2;
    return image;
}

}  // namespace sonarch
