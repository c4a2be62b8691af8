#pragma once

#include <QPixmap>
#include <QString>
#include <map>

namespace sonarch {

// The skin's pictures, one per named slot. A control shows a slot's picture by sharing
// the very same pixmap, so feedback is a copy between controls, never a redraw.
class ImageSlots {
public:
    ImageSlots();

    const QPixmap& operator[](const QString& name) const;

private:
    // A map, as a picture handed out stays where it is while others are added.
    mutable std::map<QString, QPixmap> m_pixmaps;
};

}  // namespace sonarch
