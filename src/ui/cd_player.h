#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "core/player.h"
#include "ui/dialogs/comment_editor.h"
#include "ui/image_slots.h"

class QLineEdit;
class QMenu;
class QAction;
class QTreeWidget;

namespace sonarch {

class PlayerActions;
class ShellOpener;
class SkinLabel;
class frmAboutCD;
class frmCDOption;
class TrayIcon;
class WindowMover;

// The player window: a small borderless skinned panel, one view of the Player. Its
// handlers turn the mouse into the player's commands; its listeners turn what the player
// reports into its controls.
class CDPlayer : public QWidget {
    Q_OBJECT
public:
    explicit CDPlayer(Player& player, QWidget* parent = nullptr);
    ~CDPlayer() override;

    // Start-up; false when it stopped early because the mixer could not be opened.
    bool Form_Load();
    // Shut-down: the player stops and saves, the tray icon goes. Runs once, on whichever
    // way the window closes first.
    void Form_Unload();

    Player& player() { return m_player; }
    const ImageSlots& imageSlots() const { return m_slots; }
    // Loads, fits, centres and shows a cover picture in the cover panel.
    void LoadImage(const std::string& path);
    // Whether the desktop has a notification area (set before Form_Load; Qt looks when
    // nothing is set). Without one, hiding to the tray minimises the window normally.
    void setTrayAvailable(std::function<bool()> available) {
        m_trayAvailable = std::move(available);
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window definition: controls, menus, and the wiring of both ways.
    void createControls();
    void createListAndCover();
    void createMenus();
    void connectButtons();
    void connectLetters();
    void connectSeeking();
    void connectVolume();
    void connectLibrary();
    void connectOptions();
    void listenToPlayer();
    void listenToDisplay();
    void listenToTrackList();
    SkinLabel* makeLabel(const QString& name, const QString& caption = {},
                         const QString& tooltip = {});
    SkinLabel* makePicture(const QString& name, const QString& slot = {},
                           const QString& tooltip = {});
    void place(QWidget* control);
    void setHeightTwips(int twips);

    // Handlers, named after their controls.
    void play_Click() { m_player.play(); }
    void pause_Click() { m_player.pause(); }
    void stopbtn_Click() { m_player.stop(); }
    void ftrack_Click() { m_player.next(); }
    void btrack_Click() { m_player.previous(); }
    void eject_Click() { m_player.eject(); }
    void ff_Click() { m_player.fastForward(); }
    void rew_Click() { m_player.rewind(); }
    void timeWindow_Click();
    void BarTime_Click();
    void M_MouseUp();
    void MT_Click(int track);
    void lContinue_Click() { m_player.toggleContinuousPlay(); }
    void lAlwaysTop_Click() { m_player.toggleAlwaysOnTop(); }
    void picProg_MouseMove(Qt::MouseButtons buttons, QPointF position);
    void picProg_MouseUp(Qt::MouseButton button, QPointF position);
    void picVol_MouseMove(Qt::MouseButtons buttons, QPointF position);
    void picVol_MouseUp(Qt::MouseButton button, QPointF position);
    void Picture4_Click();
    void Picture8_Click();
    void Picture1_Click();
    void Picture2_Click();
    void lOption_MouseDown();
    void mnuOption_Click();
    void mnuAbout_Click();
    void imgLogo_DblClick();

    // Layouts.
    void applyNormalLayout();
    void applyBarLayout();
    void toggleBarLayout();
    void toggleTrackList();
    void openLowerArea(bool open, SkinLabel* button, SkinLabel* otherButton);
    void hideToTray();
    void minimiseOutOfSight();
    void restoreFromTray();
    void showRestored();
    void showMinimisedControls(bool visible);
    void showLayoutDependentControls();

    // What the player reports, drawn.
    void showDisplay();
    void setTransportEnabled(bool enabled);
    void setProgressWidth(int percent);
    void showStatus(const std::string& text, const std::string& tip);
    void showCaption(Caption caption, const std::string& text);
    void showTrackField(TrackField field, const std::string& text);
    void fillTrackList();
    void selectTrackRow(int row);
    void AutoSize();
    void ShowStar(int rating);
    void IndicateVol(double percent);
    void clearCover();
    void showAlwaysOnTop(bool on);
    void RestoreNormalSkin();
    void placeLogo();
    void finishLoad();

    void showCommentEditor(QPointer<CommentEditor>& editor, const EditorLayout& layout,
                           const std::function<std::string()>& load,
                           const std::function<bool(const std::string&)>& save);
    void placeBesidePlayer(QWidget* window);

    Player& m_player;
    ImageSlots m_slots;
    PlayerActions* m_actions;
    TrayIcon* m_tray = nullptr;
    std::function<bool()> m_trayAvailable;
    WindowMover* m_mover;
    bool m_unloaded = false;
    bool m_loaded = false;
    bool m_closeWhenLoaded = false;

    // Controls, named as in the window definition.
    SkinLabel *btrack, *play, *pause, *stopbtn, *ftrack, *eject, *rew, *ff;
    SkinLabel *up, *down, *picVol, *picVolfill;
    SkinLabel *picProg, *picFill, *picBarProg, *picBarFill;
    SkinLabel *picBar, *picExpand, *Picture1, *Picture2, *Picture3, *Picture4, *Picture6, *Picture7,
        *Picture8, *Command1;
    SkinLabel *picStop, *picPause, *PicPlay, *picLogo, *imgLogo;
    SkinLabel *picBarprev, *picBarrew, *picBarplay, *picBarpause, *picBarstop, *picBarff,
        *picBarnext;
    SkinLabel *lOption, *lAlwaysTop, *lContinue, *lRandom, *lIntroPlay;
    SkinLabel *Info, *M, *timeWindow, *lTrack, *ltTime, *lCount, *BarTotal, *Bartrack, *BarTime;
    std::array<SkinLabel*, 10> N{};
    std::array<SkinLabel*, 5> t{};  // rating stars t1..t5
    QLineEdit *lArt, *lAlb, *lTitle;
    QTreeWidget* LV;
    SkinLabel *PicCover, *imgCover;
    QMenu *mnuPop, *mnuRate, *mnuMore;
    std::array<QAction*, 31> MT{};  // items 11..30

    QPixmap m_picTemp;  // the last cover that loaded; an unreadable file shows it again
    QPointer<CommentEditor> frmtrkCom;
    QPointer<CommentEditor> frmAlbCom;
    QPointer<frmCDOption> m_optionsDialog;
    QPointer<frmAboutCD> m_aboutBox;
    ShellOpener* m_shell = nullptr;
};

}  // namespace sonarch
