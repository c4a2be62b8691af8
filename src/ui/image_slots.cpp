#include "ui/image_slots.h"

namespace sonarch {

ImageSlots::ImageSlots() = default;

const QPixmap& ImageSlots::operator[](const QString& name) const {
    // Read when first asked for: many slots (pressed pictures, highlights, the bar
    // layout's) are not needed at start-up, and each picture is read once and then shared.
    auto found = m_pixmaps.find(name);
    if (found == m_pixmaps.end()) {
        found = m_pixmaps.emplace(name, QPixmap(":/skin/" + name + ".png")).first;
    }
    return found->second;
}

}  // namespace sonarch
