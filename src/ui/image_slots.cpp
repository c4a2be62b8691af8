#include "ui/image_slots.h"

#include <algorithm>
#include <cstring>

#include "ui/skin_pictures.h"

namespace sonarch {

namespace {

QPixmap pixmapOf(const QString& name) {
    const QByteArray key = name.toUtf8();
    const auto pictures = SkinPictures();
    const auto found = std::lower_bound(pictures.begin(), pictures.end(), key,
                                        [](const SkinPicture& p, const QByteArray& k) {
                                            return std::strcmp(p.name, k.data()) < 0;
                                        });
    if (found == pictures.end() || key != found->name) {
        return {};
    }
    // The pixels are already in the pixmap's own format, so this is one copy, no decoding.
    const QImage image(reinterpret_cast<const uchar*>(found->pixels), found->width, found->height,
                       found->width * 4,
                       found->alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    return QPixmap::fromImage(image);
}

}  // namespace

ImageSlots::ImageSlots() = default;

const QPixmap& ImageSlots::operator[](const QString& name) const {
    // Made when first asked for: many slots (pressed pictures, highlights, the bar
    // layout's) are not needed at start-up, and each picture is made once and then shared.
    auto found = m_pixmaps.find(name);
    if (found == m_pixmaps.end()) {
        found = m_pixmaps.emplace(name, pixmapOf(name)).first;
    }
    return found->second;
}

}  // namespace sonarch
