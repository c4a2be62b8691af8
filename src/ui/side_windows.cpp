#include "ui/side_windows.h"

#include <QEvent>
#include <QMargins>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include "core/player.h"
#include "layout/place_beside_player.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/comment_editor.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/placement.h"

namespace sonarch {

SideWindows::SideWindows(QWidget* window, Player& player, DesktopRegistration registration)
    : QObject(window),
      m_window(window),
      m_player(player),
      m_registration(std::move(registration)) {}

void SideWindows::openOptions() {
    // A dialog that has closed is only waiting to be deleted: a new one opens.
    if (m_optionsDialog && m_optionsDialog->isVisible()) {
        m_optionsDialog->raise();  // one dialog at a time: the open one comes forward
        m_optionsDialog->activateWindow();
        return;
    }
    m_optionsDialog = new frmCDOption(m_player, m_registration, m_window);
    m_optionsDialog->show();
    placeBesidePlayer(m_optionsDialog);
}

void SideWindows::openAbout() {
    if (m_aboutBox && m_aboutBox->isVisible()) {
        m_aboutBox->raise();
        return;
    }
    // Modal to the user, while the poll goes on underneath.
    m_aboutBox = new frmAboutCD(m_window);
    m_aboutBox->show();
    placeBesidePlayer(m_aboutBox);
}

void SideWindows::editTrackComment() {
    if (!m_player.libraryAvailable()) {
        return;
    }
    // Fixed now, so the editor keeps its track while playback moves on.
    m_player.beginTrackComment();
    showCommentEditor(
        frmtrkCom, CommentEditor::trackLayout(), [this] { return m_player.loadTrackComment(); },
        [this](const std::string& text) { return m_player.saveTrackComment(text); });
}

void SideWindows::editAlbumComment() {
    if (!m_player.libraryAvailable()) {
        return;
    }
    showCommentEditor(
        frmAlbCom, CommentEditor::albumLayout(), [this] { return m_player.loadAlbumComment(); },
        [this](const std::string& text) { return m_player.saveAlbumComment(text); });
}

void SideWindows::closeDialogs() {
    if (m_optionsDialog) {
        m_optionsDialog->reject();
    }
    if (m_aboutBox) {
        m_aboutBox->reject();
    }
}

void SideWindows::showCommentEditor(QPointer<CommentEditor>& editor, const EditorLayout& layout,
                                    const std::function<std::string()>& load,
                                    const std::function<bool(const std::string&)>& save) {
    if (editor) {
        editor->raise();  // already open: brought forward, not loaded again
        editor->activateWindow();
        return;
    }
    editor = new CommentEditor(layout, m_window);
    editor->setText(QString::fromStdString(load()));
    placeBesidePlayer(editor);
    CommentEditor* side = editor;
    connect(side, &CommentEditor::updateRequested, this, [side, save] {
        // Kept open, with its text, when nothing could be stored.
        if (save(side->text().toStdString())) {
            side->close();
        }
    });
    side->show();
}

namespace {

// Set on a side window while it waits for its frame: the frame margins it was placed with.
constexpr const char* kPlacedWithFrame = "sonarchPlacedWithFrame";

QMargins frameMarginsOf(const QWidget* side) {
    const QWindow* handle = side->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

}  // namespace

void SideWindows::placeBesidePlayer(QWidget* side) {
    // The outer rectangles touch: the side window's frame, once the window manager has
    // put one round it, counts. Its size is known only once it is mapped, so the window
    // is placed again when its frame appears; without a window manager it has none.
    const QMargins frame = frameMarginsOf(side);
    const QSize size = side->size().grownBy(frame);
    const TwipPoint at = PlaceBesidePlayer(
        toTwipRect(m_window->frameGeometry()), m_window->isMinimized() || m_window->isHidden(),
        screenTwips(m_window), {size.width() * kTwipsPerPixel, size.height() * kTwipsPerPixel});
    const QPoint frameAt(toPixels(at.left), toPixels(at.top));
    if (side->windowHandle() && side->isVisible()) {
        // Its client area, inside the frame it has now.
        side->setGeometry(QRect(frameAt + QPoint(frame.left(), frame.top()), side->size()));
    } else {
        side->move(frameAt);
    }
    if (frame.isNull()) {
        side->setProperty(kPlacedWithFrame, QVariant::fromValue(frame));
        side->installEventFilter(this);
    } else {
        side->setProperty(kPlacedWithFrame, QVariant());
        side->removeEventFilter(this);
    }
}

bool SideWindows::eventFilter(QObject* watched, QEvent* event) {
    auto* side = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Paint:
        case QEvent::WindowActivate:
            if (side && side->isVisible() &&
                frameMarginsOf(side) != side->property(kPlacedWithFrame).value<QMargins>()) {
                placeBesidePlayer(side);
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace sonarch
