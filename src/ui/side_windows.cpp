#include "ui/side_windows.h"

#include <QWidget>

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
    // Shown first, so it is placed by its outer size, frame and title bar included.
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

void SideWindows::placeBesidePlayer(QWidget* side) {
    // The outer size once the window is shown (its frame included), else its own.
    const QSize size = side->frameGeometry().size();
    const TwipPoint at = PlaceBesidePlayer(
        toTwipRect(m_window->frameGeometry()), m_window->isMinimized() || m_window->isHidden(),
        screenTwips(m_window), {size.width() * kTwipsPerPixel, size.height() * kTwipsPerPixel});
    side->move(toPixels(at.left), toPixels(at.top));
}

}  // namespace sonarch
