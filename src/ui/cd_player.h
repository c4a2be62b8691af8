#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/player_window_model.h"
#include "desktop/desktop_registration.h"
#include "model/player_display.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/image_slots.h"
#include "ui/skin_controls.h"

class QMenu;

namespace sonarch {

class CoverPanel;
class Player;
class PlayerActions;
class OpenDiscMenu;
class ProgressBar;
class ScrollingStatus;
class ShellOpener;
class SideWindows;
class SkinLabel;
class StarRating;
class TrackTextField;
class TrackListView;
class TrackNumbers;
class TrayIcon;
class VolumeBar;
class WindowMover;

// What the window needs of the desktop; main builds the real ones, tests their own.
struct WindowServices {
    ShellOpener& shell;                // opens the product's web page from the logo
    DesktopRegistration registration;  // the options dialog's "default CD player" box
    // Whether the desktop has a notification area; Qt looks when this is empty. Without
    // one, hiding to the tray minimises the window normally.
    std::function<bool()> trayAvailable;
    // The file dialog that asks for a disc image (the desktop's own when empty), and the
    // system's CD drives as the "Open CD Drive" menu lists them (none when empty).
    FileChooser chooseFile;
    std::function<std::vector<std::string>()> listDrives;
    // Starts the library window (or brings it forward), on the disc in the drive when
    // asked to add it, with the rating of a track the user gave before it was added (track
    // 0: none); without it the menus offer no library window.
    std::function<void(bool addDisc, int track, int rating)> openLibraryWindow = nullptr;
};

// The player window: a small borderless skinned panel, one view of the Player through its
// presenter. It is made of parts (the bars, the stars, the track numbers, the cover, the
// list, the fields) and of the simple controls its definitions list; its handlers turn the
// mouse into the presenter's gestures and the player's commands, and its listeners turn
// what both report into the controls. Hidden or minimised, it writes no control and
// catches up when it is shown again.
class CDPlayer : public QWidget, private PlayerWindowView {
    Q_OBJECT
public:
    CDPlayer(PlayerWindowModel& model, WindowServices services, QWidget* parent = nullptr);
    ~CDPlayer() override;

    // Start-up; false when it stopped early because the mixer could not be opened.
    bool Form_Load();
    // Shut-down: the player stops and saves, the tray icon goes. Runs once, on whichever
    // way the window closes first.
    void Form_Unload();

    const ImageSlots& imageSlots() const { return m_slots; }
    TrayIcon* trayIcon() const { return m_tray; }

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

private:
    // Start-up's steps, as the presenter calls them.
    void placeAt(TwipPoint topLeft) override;
    void keepOnScreens() override;
    void showWindow() override;
    void hideToTray() override;

    SkinLabel* control(std::string_view name) const { return m_controls(name); }
    void createMenu();
    void connectButtons();
    void connectKeys();
    void describeControls();
    void playOrPause();
    void showOrHide();
    void listenToPlayer();
    void listenToDisplay();

    // Handlers, named after their controls.
    void timeWindow_Click();
    void BarTime_Click();
    void Picture4_Click();
    void lOption_MouseDown();
    void imgLogo_DblClick();

    // Layouts.
    void applyNormalLayout();
    void applyBarLayout();
    void showLowerArea(LowerArea area, LowerArea before);
    void openLowerArea(bool open, SkinLabel* button, SkinLabel* otherButton);
    void minimiseOutOfSight();
    void restoreFromTray();
    void showRestored();
    void showMinimisedControls(bool visible);
    void showLayoutDependentControls();
    void setHeightTwips(int twips);

    // What the player reports, drawn.
    bool drawing() const;
    bool catchUpLater();
    void catchUp();
    void showDisplay();
    void enableTransportButtons(bool enabled);
    void showIndicator(Indicator indicator, bool shown);
    void showStatus(const std::string& text, const std::string& tip);
    void showCaption(Caption caption, const std::string& text);
    void showTrackField(TrackField field, const std::string& text);
    void showCoverDue(const std::string& path);
    void showAlwaysOnTop(bool on);
    void RestoreNormalSkin();
    void placeLogo();

    PlayerWindowModel& m_model;
    Player& m_player;
    ShellOpener& m_shell;
    std::function<bool()> m_trayAvailable;
    std::function<void(bool addDisc, int track, int rating)> m_openLibraryWindow;
    ImageSlots m_slots;
    PlayerActions* m_actions;
    WindowMover* m_mover;
    SideWindows* m_side;
    TrayIcon* m_tray = nullptr;
    bool m_unloaded = false;
    bool m_behind = false;  // something changed while nothing was drawn
    // The cover's last change while nothing was drawn: a picture to load, or none.
    std::optional<std::optional<std::string>> m_coverBehind;

    // The parts, and the simple controls made from their definitions.
    SkinControls m_controls;
    VolumeBar* m_volume;
    ProgressBar* m_progress;
    StarRating* m_stars;
    TrackNumbers* m_numbers;
    std::array<TrackTextField*, 3> m_fields{};  // lTitle, lArt, lAlb
    TrackListView* LV;
    CoverPanel* m_cover;
    QMenu* mnuPop = nullptr;
    OpenDiscMenu* m_open = nullptr;
    ScrollingStatus* m_status = nullptr;
};

}  // namespace sonarch
