#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/messages.h"
#include "base/result.h"
#include "base/sound_trouble.h"
#include "core/settings_file.h"
#include "core/status_poll.h"
#include "device/drives/switchable_drive.h"
#include "device/images/disc_text.h"
#include "device/mci/device_layer.h"
#include "device/mci/mci_device.h"
#include "library/library_store.h"
#include "model/player_display.h"
#include "model/player_state.h"
#include "model/track_list.h"
#include "playback/seeking.h"
#include "playback/transport.h"
#include "volume/vol_control.h"

namespace sonarch {

// What the player is built from: it reaches nothing outside through globals.
struct PlayerServices {
    MciDevice& device;
    Mixer& mixer;
    const LibraryStore& library;
    Messages& messages;
    // Reads the settings (writing the defaults first when there are none); the position
    // the window takes when none is stored is passed in.
    std::function<Settings(WindowPosition centred)> loadSettings;
    // Stores the settings with the window's current position.
    std::function<void(const Settings&, WindowPosition window)> saveSettings;
    // The CD-TEXT of the disc in the drive, for discs the library does not know; may be null.
    DiscTextSource* discText = nullptr;
    // Opens a drive by its name (as --drive takes it) and the drive the device plays, so
    // that discs can be opened while the player runs; without them openDrive does nothing.
    std::function<Result<std::unique_ptr<Drive>>(const std::string& name)> openDrive = nullptr;
    SwitchableDrive* drives = nullptr;
};

// How the transport stands, as desktops show it; Stopped also when there is no disc.
enum class PlaybackStatus { Stopped, Playing, Paused };

// The player session, without a window: the state and settings, the CD device, the
// transport and seeking, the status poll that follows the drive twice a second, the track
// list and the library operations, start-up and shut-down. Views and other front ends
// listen to its signals (and to those of display() and trackList()) and call its commands.
class Player : public QObject {
    Q_OBJECT
public:
    explicit Player(PlayerServices services, QObject* parent = nullptr);
    ~Player() override;

    // Start-up, in two halves around the window's own layout: first the settings...
    const Settings& loadSettings(WindowPosition centred);
    // ...then the device, the volume and the mixer, and the poll. False when the mixer
    // could not be opened: the user has been told, and the poll does not start.
    bool start();
    // Shut-down: stops and releases the device and saves the settings, once.
    void shutDown(WindowPosition window);
    bool isShutDown() const { return m_shutDown; }

    // A poll or a library lookup is running (they let events run); a close asked for
    // meanwhile is carried out once it has finished (closeRequested).
    bool busy() const { return m_poll.busy(); }
    // Asks the views to close the player, at once or after the run in progress.
    void requestClose();

    // The status poll; Timer1 runs it every 500 ms once started.
    void PollStatus();
    void Timer1_Timer();
    QTimer* timer() const { return m_timer; }
    // While a dialog holds the poll (the options dialog) and after.
    void suspendPolling();
    void resumePolling();

    // Transport and track selection.
    void play();
    void pause() { m_transport.pause_Click(); }
    void stop() { m_transport.stopbtn_Click(); }
    void next() { m_transport.ftrack_Click(); }
    void previous() { m_transport.btrack_Click(); }
    void eject() { m_transport.eject_Click(); }
    void playTrack(int track) { m_transport.PlayTrack(track); }
    // A number label N(index) pressed: white while pressed when its track is on the disc.
    void pressTrackNumber(int index) { m_transport.N_MouseDown(index); }
    void clickTrackNumber(int index) { m_transport.N_Click(index); }
    // The selected row of the list, double-clicked.
    void playSelectedRow() { m_transport.LV_DblClick(); }

    // Seeking: fast forward, rewind, and the progress bar taken as a fraction of its width.
    void fastForward();
    void rewind();
    bool canSeekOnBar() const { return m_state.currentTrack != 0; }
    // The pointer over the bar with no button: the tooltip it shows.
    std::optional<std::string> seekTooltip(double fraction) const;
    // Dragging with the left button: the time and the fill follow the pointer.
    void dragOnBar(double fraction);
    void clickOnBar(double fraction);

    // The time display and the option letters.
    std::optional<std::string> cycleTimeMode();
    void copyTimeToBar();  // a click on the bar's time: it shows the time display's caption
    void toggleContinuousPlay();
    void toggleAlwaysOnTop();

    // Volume: the buttons step from the bar's share; the bar sets it from the pointer's
    // height in bar units (0 at the top, 100 at the bottom); a level is 0..65000.
    void volumeUp();
    void volumeDown();
    void setVolumeFromBar(float yUnits);
    void setVolumeLevel(std::int32_t level);

    // The layouts, as the window switches them.
    void enterBarLayout();
    void leaveBarLayout();
    void setTrackListShown(bool shown);
    void setInTray(bool inTray);

    // The library: the refresh button's lookup, ratings and the two comments.
    void refreshLibrary();
    void SetTrackRating(std::int16_t rating, const std::string& trackText);
    void rateCurrentTrack(int rating);
    bool libraryAvailable() const;
    // The track comment editor works on the track current when it was opened.
    void beginTrackComment() { m_state.commentTrack = m_state.currentTrack; }
    // The texts, empty when there are none; a store error is shown to the user.
    std::string loadTrackComment();
    std::string loadAlbumComment();
    // True when the text was stored (the editor may close).
    bool saveTrackComment(const std::string& text);
    bool saveAlbumComment(const std::string& text);

    // The options dialog's settings; they take effect where they are next used (the next
    // lookup, seek or rating refresh) and are saved at shut-down.
    void setDatabasePath(const std::string& path);
    void setSeekStep(std::int32_t seconds);
    void setShowRating(bool shown);
    // The next poll redraws the stars and the cover, whatever the current track.
    void redrawRatingAtNextPoll();

    // Another drive or disc image, opened while the player runs: to the session it is one
    // disc taken out and the next put in, so it is read, looked up and played. A run in
    // progress finishes first. A drive that cannot be opened leaves the current disc
    // playing and says why in the status line for a few seconds; false then, with the
    // reason in `problem` when given.
    bool openDrive(const std::string& name, std::string* problem = nullptr);
    // Why the drive named at start-up could not be opened: it stays in the status line
    // until the line has something else to say.
    void showDriveProblem(const std::string& text);
    // The sound output's word on the sound: while it has stopped, the status line says so
    // and the device keeps its place; once it flows again, the line's own texts return.
    void showSoundTrouble(SoundTrouble trouble);

    // What desktops ask of the session.
    PlaybackStatus playbackStatus() const;
    // The place in the current track in milliseconds, asked of the device now; nothing
    // without a disc or an answer.
    std::optional<std::int64_t> trackPositionMs();
    // A move to `ms` into the current track, the way a click on the bar moves.
    void seekInTrack(std::int64_t ms);
    // A track's comment in the library, empty when there is none or it cannot be read.
    std::string trackComment(int track) const;
    // Asks the views to bring the window back, from the tray or minimised.
    void requestRaise() { emit raiseRequested(); }

    const PlayerState& state() const { return m_state; }
    PlayerState& state() { return m_state; }
    const Settings& settings() const { return m_state.settings; }
    PlayerDisplay& display() { return m_display; }
    const PlayerDisplay& display() const { return m_display; }
    const TrackList& trackList() const { return m_tracks; }

signals:
    void polled();  // after each timer tick's poll
    void closeRequested();
    void seeked();  // after a fast forward, rewind or click on the bar
    void volumeChanged(std::int32_t level, double barPercent);
    void continuousPlayChanged(bool on);
    void alwaysOnTopChanged(bool on);
    void currentTrackChanged(int track);
    // The current track changed as the display shows it: the cover is due for a reload.
    void coverDue(const std::string& path);
    // The drive has no disc: the views empty the cover and the more-tracks menu.
    void discReset();
    void playbackStatusChanged(sonarch::PlaybackStatus status);
    void raiseRequested();

private:
    void GetCDToc();
    void showLibraryNotice(const std::string& text);
    void IndicateVol(std::int32_t lngTotal, std::int32_t lngVol);
    void afterRun();
    void notePlaybackStatus();
    void changeToPendingDrive();
    template <class F>
    void runExclusive(F&& work);

    PlayerServices m_services;
    PlayerState m_state;
    PlayerDisplay m_display;
    TrackList m_tracks;
    DeviceLayer m_device;
    Transport m_transport;
    Seeking m_seeking;
    StatusPoll m_poll;
    QTimer* m_timer;
    bool m_loaded = false;
    bool m_started = false;
    bool m_shutDown = false;
    bool m_closePending = false;
    int m_suspended = 0;
    PlaybackStatus m_playbackStatus = PlaybackStatus::Stopped;
    std::unique_ptr<Drive> m_pendingDrive;  // opened while a run was in progress
};

}  // namespace sonarch
