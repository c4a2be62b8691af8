#include "librarian/cover_drop.h"

#include <QBuffer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPixmap>

namespace sonarch {

namespace {

// The local file of a drop, when it carries exactly one.
QString droppedFile(const QMimeData* data) {
    if (!data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile()) {
        return {};
    }
    return data->urls().front().toLocalFile();
}

}  // namespace

CoverDrop::CoverDrop(QWidget* parent) : QLabel(parent) {
    setAcceptDrops(true);
    setFixedSize(kSide, kSide);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::StyledPanel);
    setAccessibleName("Cover");
    setToolTip("The disc's cover: drop a picture here to change it");
    showPicture({});
}

void CoverDrop::showPicture(const QByteArray& bytes) {
    QImage image;
    if (!bytes.isEmpty() && image.loadFromData(bytes)) {
        setPixmap(QPixmap::fromImage(
            image.scaled(kSide - 4, kSide - 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        setAccessibleDescription("A cover is chosen");
    } else {
        setPixmap({});
        setText("No cover");
        setAccessibleDescription("No cover");
    }
}

void CoverDrop::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty() || event->mimeData()->hasImage()) {
        event->acceptProposedAction();
    }
}

void CoverDrop::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (const QString file = droppedFile(data); !file.isEmpty()) {
        event->acceptProposedAction();
        emit fileDropped(file);
        return;
    }
    if (data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        QByteArray png;
        QBuffer buffer(&png);
        if (!image.isNull() && buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG")) {
            event->acceptProposedAction();
            emit pictureDropped(png);
        }
    }
}

}  // namespace sonarch
