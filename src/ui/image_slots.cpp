#include "ui/image_slots.h"

#include <QDir>

namespace sonarch {

ImageSlots::ImageSlots() {
    const QDir skin(":/skin");
    for (const QString& file : skin.entryList({"*.png"}, QDir::Files)) {
        m_pixmaps.insert(QFileInfo(file).completeBaseName(), QPixmap(skin.filePath(file)));
    }
}

const QPixmap& ImageSlots::operator[](const QString& name) const {
    const auto found = m_pixmaps.constFind(name);
    return found == m_pixmaps.constEnd() ? m_empty : *found;
}

}  // namespace sonarch
