// The player window's way to its side windows: the "O" letter and the "Options" item open
// the options dialog, "About" the about box, and a double-click on the logo the web page.
#include <QAction>
#include <QCoreApplication>

#include "desktop/open_with_shell.h"
#include "desktop/product_info.h"
#include "ui/cd_player.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/player_actions.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"

namespace sonarch {

namespace {

constexpr int kShowNormal = 10;

}  // namespace

void CDPlayer::connectOptions() {
    m_shell = new ShellOpener(this);
    connect(lOption, &SkinLabel::mouseMove, this, [this] { setTextColour(lOption, kOptionOn); });
    connect(lOption, &SkinLabel::mouseDown, this, &CDPlayer::lOption_MouseDown);
    connect(lOption, &SkinLabel::mouseUp, this, [this] { setTextColour(lOption, kOptionOff); });
    connect(m_actions->options, &QAction::triggered, this, &CDPlayer::mnuOption_Click);
    connect(m_actions->about, &QAction::triggered, this, &CDPlayer::mnuAbout_Click);
    connect(imgLogo, &SkinLabel::doubleClicked, this, &CDPlayer::imgLogo_DblClick);
}

void CDPlayer::lOption_MouseDown() {
    setTextColour(lOption, kOptionOn);
    mnuOption_Click();
}

void CDPlayer::mnuOption_Click() {
    // A dialog that has closed is only waiting to be deleted: a new one opens.
    if (m_optionsDialog && m_optionsDialog->isVisible()) {
        m_optionsDialog->raise();  // one dialog at a time: the open one comes forward
        m_optionsDialog->activateWindow();
        return;
    }
    DesktopRegistration registration(XdgFolders::fromEnvironment(),
                                     QCoreApplication::applicationFilePath().toStdString(),
                                     ":/skin/icon.png");
    m_optionsDialog = new frmCDOption(m_player, std::move(registration), this);
    // Shown first, so it is placed by its outer size, frame and title bar included.
    m_optionsDialog->show();
    placeBesidePlayer(m_optionsDialog);
}

void CDPlayer::mnuAbout_Click() {
    if (m_aboutBox && m_aboutBox->isVisible()) {
        m_aboutBox->raise();
        return;
    }
    // Modal to the user, while the poll goes on underneath.
    m_aboutBox = new frmAboutCD(this);
    m_aboutBox->show();
    placeBesidePlayer(m_aboutBox);
}

void CDPlayer::imgLogo_DblClick() {
    m_shell->OpenWithShell(ProductWebPage(), kShowNormal, "", "", "open");
}

}  // namespace sonarch
