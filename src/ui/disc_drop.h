#pragma once

#include <QObject>
#include <functional>
#include <string>

class QMimeData;
class QWidget;

namespace sonarch {

// Lets a disc image file be dropped on the player window: the first local file of the
// drop is handed on, and the player opens it as it opens any drive.
class DiscDrop : public QObject {
    Q_OBJECT
public:
    DiscDrop(QWidget* window, std::function<void(const std::string& path)> open);

    // The local file a drop carries, or "" when it carries none.
    static std::string droppedFile(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const std::string&)> m_open;
};

}  // namespace sonarch
