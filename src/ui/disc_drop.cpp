#include "ui/disc_drop.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace sonarch {

DiscDrop::DiscDrop(QWidget* window, std::function<void(const std::string& path)> open)
    : QObject(window), m_open(std::move(open)) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

std::string DiscDrop::droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) {
        return {};
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            // The name's own bytes: a file name need not be UTF-8.
            return QFile::encodeName(url.toLocalFile()).toStdString();
        }
    }
    return {};
}

bool DiscDrop::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!droppedFile(drag->mimeData()).empty()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::string path = droppedFile(drop->mimeData());
            if (!path.empty()) {
                drop->acceptProposedAction();
                m_open(path);
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace sonarch
