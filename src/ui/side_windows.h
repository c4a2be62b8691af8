#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "desktop/desktop_registration.h"

class QWidget;

namespace sonarch {

class CommentEditor;
class Player;
class frmAboutCD;
class frmCDOption;
struct EditorLayout;

// The player window's side windows, each opened beside it and one at a time: the options
// dialog, the about box and the two comment editors. Opening one that is open brings it
// forward.
class SideWindows : public QObject {
    Q_OBJECT
public:
    SideWindows(QWidget* window, Player& player, DesktopRegistration registration);

    void openOptions();
    void openAbout();
    // The editors open only with a library; the track's works on the track current now.
    void editTrackComment();
    void editAlbumComment();
    // The window closes: the dialogs close first, so the options dialog gives the poll back.
    void closeDialogs();

private:
    void showCommentEditor(QPointer<CommentEditor>& editor, const EditorLayout& layout,
                           const std::function<std::string()>& load,
                           const std::function<bool(const std::string&)>& save);
    void placeBesidePlayer(QWidget* side);

    QWidget* m_window;
    Player& m_player;
    DesktopRegistration m_registration;
    QPointer<CommentEditor> frmtrkCom;
    QPointer<CommentEditor> frmAlbCom;
    QPointer<frmCDOption> m_optionsDialog;
    QPointer<frmAboutCD> m_aboutBox;
};

}  // namespace sonarch
