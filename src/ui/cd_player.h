#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "base/messages.h"
#include "core/player_state.h"
#include "core/player_view.h"
#include "core/status_poll.h"
#include "device/device_layer.h"
#include "device/mci_device.h"
#include "library/library_outcome.h"
#include "library/library_store.h"
#include "playback/seeking.h"
#include "playback/transport.h"
#include "ui/comment_editor.h"
#include "ui/image_slots.h"
#include "volume/vol_control.h"

class QAction;
class QLineEdit;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QTreeWidget;

namespace sonarch {

class SkinLabel;

// What the player window is given: it reaches nothing outside through globals.
struct PlayerServices {
    MciDevice& device;
    Mixer& mixer;
    Messages& messages;
    // Reads the settings (writing the defaults first when there are none); the default
    // window position is passed in, in twips.
    std::function<Settings(double defaultLeft, double defaultTop)> loadSettings;
    // Stores the settings with the window's current position in twips.
    std::function<void(const Settings&, double left, double top)> saveSettings;
};

// The player window: a small borderless skinned panel. It turns events into calls of the
// player's logic and the logic's calls (PlayerView) into its controls.
class CDPlayer : public QWidget, public PlayerView {
    Q_OBJECT
public:
    explicit CDPlayer(PlayerServices services, QWidget* parent = nullptr);
    ~CDPlayer() override;

    // Start-up; false when it stopped early because the mixer could not be opened.
    bool Form_Load();
    // Shut-down: stops and releases the device, saves the settings, removes the tray icon.
    // Runs once, on whichever way the window closes first.
    void Form_Unload();

    // Runs the status poll; a close asked for while it let events run happens after it.
    void PollStatus();
    void Timer1_Timer();

    PlayerState& state() { return m_state; }
    QTimer* timer() const { return Timer1; }
    const ImageSlots& imageSlots() const { return m_slots; }
    Transport& transport() { return m_transport; }
    Seeking& seeking() { return m_seeking; }

    void SetTrackRating(std::int16_t rating, const std::string& trackText);

    // PlayerView
    void setTransportEnabled(bool enabled) override;
    void setEjectEnabled(bool enabled) override;
    void setIndicatorVisible(Indicator indicator, bool visible) override;
    void setProgressVisible(bool visible) override;
    void setProgressWidth(int percent) override;
    void setStatusText(const std::string& text) override;
    void setCaption(Caption caption, const std::string& text) override;
    void setTrackField(TrackField field, const std::string& text) override;
    void setTrackNumberColour(int index, WinColour colour) override;
    void setMoreVisible(bool visible) override;
    void hideMoreTrackItems() override;
    void setEjectCaption(const std::string& caption) override;
    void repaintStatusNow() override;
    int trackRowCount() const override;
    std::optional<TrackRow> trackRow(int row) const override;
    void addTrackRow(const TrackRow& row) override;
    void selectTrackRow(int row) override;
    std::optional<int> selectedTrackRow() const override;
    void clearTrackRows() override;
    void AutoSize() override;
    void GetCDToc() override;
    void ShowStar(int rating) override;
    bool coverPanelVisible() const override;
    void LoadImage(const std::string& path) override;
    void clearCover() override;
    void letEventsRun() override;

signals:
    void polled();  // after each timer tick's poll

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void connectControls();
    SkinLabel* makeLabel(const QString& name, const QString& caption = {},
                         const QString& tooltip = {});
    SkinLabel* makePicture(const QString& name, const QString& slot = {},
                           const QString& tooltip = {});
    void place(QWidget* control);
    void setHeightTwips(int twips);
    void closeIfPending();

    // Layouts.
    void applyNormalLayout();
    void applyBarLayout();
    void toggleBarLayout();
    void toggleTrackList();
    void hideToTray();
    void restoreFromTray();
    void showMinimisedControls(bool visible);

    void IndicateVol(std::int32_t lngTotal, std::int32_t lngVol);
    void setOptionColour(SkinLabel* label, WinColour colour);
    void placeLogo();
    void timeWindow_Click();
    void connectSeeking();
    void connectLibrary();
    void Picture4_Click();
    void Picture8_Click();
    void openTrackComment();
    void openAlbumComment();
    void showCommentEditor(QPointer<CommentEditor>& editor, const EditorLayout& layout,
                           const std::function<LibraryOutcome<std::string>()>& load,
                           const std::function<LibraryOutcome<int>(const std::string&)>& save);
    void placeBesidePlayer(QWidget* window);
    void showLibraryNotice(const std::string& text);
    void connectVolume();
    void setVolumeLevel(std::int32_t level);
    void RestoreNormalSkin();
    void SnapToScreenEdges();

    PlayerServices m_services;
    PlayerState m_state;
    DeviceLayer m_device;
    Transport m_transport;
    Seeking m_seeking;
    StatusPoll m_poll;
    ImageSlots m_slots;
    bool m_unloaded = false;
    bool m_loaded = false;
    bool m_closePending = false;

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
    QTimer* Timer1;
    QMenu *mnuPop, *mnuRate, *mnuMore;
    QAction *mnuAbout, *mnuPlay, *mnuPause, *mnuStop, *mnuPrev, *mnuNext, *mnuEject, *mnuRestore,
        *mnuMin, *mnuOption, *mnuExit;
    std::array<QAction*, 31> MT{};  // items 11..30
    QSystemTrayIcon* m_tray = nullptr;

    LibraryStore m_library;
    QPixmap m_picTemp;  // the last cover that loaded; an unreadable file shows it again
    QPointer<CommentEditor> frmtrkCom;
    QPointer<CommentEditor> frmAlbCom;
    int m_noticeRuns = 0;  // poll runs a library notice still holds the status line
};

}  // namespace sonarch
