#pragma once

#include <QByteArray>
#include <QLabel>

namespace sonarch {

// A disc's cover as the library window shows it; a picture file or a picture dropped on
// it becomes the disc's new cover.
class CoverDrop : public QLabel {
    Q_OBJECT
public:
    static constexpr int kSide = 160;

    explicit CoverDrop(QWidget* parent = nullptr);

    // Shows the picture (encoded, as in a file); an empty or unreadable one shows "No cover".
    void showPicture(const QByteArray& bytes);

signals:
    // A local file was dropped.
    void fileDropped(const QString& path);
    // A picture itself was dropped (from a web browser, say), as PNG.
    void pictureDropped(const QByteArray& png);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace sonarch
