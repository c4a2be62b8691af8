#pragma once

#include <QHash>
#include <QPixmap>
#include <QString>

namespace sonarch {

// The skin's pictures, one per named slot. A control shows a slot's picture by sharing
// the very same pixmap, so feedback is a copy between controls, never a redraw.
class ImageSlots {
public:
    ImageSlots();  // loads every slot from the skin resources

    const QPixmap& operator[](const QString& name) const;

private:
    QHash<QString, QPixmap> m_pixmaps;
    QPixmap m_empty;
};

}  // namespace sonarch
