#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/sound_trouble.h"

class QTimer;

namespace sonarch {

class PlayerDisplay;
class TrackList;
enum class TimeMode;
class DriveOpener;
struct PlayerServices;
struct PlayerState;
struct Settings;
struct WindowPosition;

// How the transport stands, as desktops show it; Stopped also when there is no disc.
enum class PlaybackStatus { Stopped, Playing, Paused };

// Whether the library holds the disc that is read (no library chosen: it does not;
// Unknown when the library could not be read).
enum class DiscInLibrary { NoDisc, Unknown, NotInLibrary, InLibrary };

// The current track as the player knows it now.
struct TrackSnapshot {
    int number = 0;       // counted from 1; 0 before a disc was read
    bool loaded = false;  // a disc is read (and the number is the drive's)
    bool listed = false;  // the track list has its row: the texts and the rating are its own
    std::string title;
    std::string artist;
    std::string album;
    std::optional<std::int64_t> lengthMs;  // none when the track is not on the disc read
    std::optional<int> rating;             // 0 not rated, 1..10
    std::string coverPath;                 // the disc's cover in the library, empty for none

    bool operator==(const TrackSnapshot&) const = default;
};

// The player session, without a window: the state and settings, the CD device, the
// transport and seeking, the status poll that follows the drive twice a second, the track
// list and the library operations, start-up and shut-down. Its commands are in plain units
// (track numbers, milliseconds, levels); every command and every poll run tells the
// listeners at once of what it changed, and only of that. Views and other front ends
// listen to its signals (and to those of display() and trackList()) and call its commands;
// nobody else writes its state.
class Player : public QObject {
    Q_OBJECT
public:
    explicit Player(PlayerServices services, QObject* parent = nullptr);
    ~Player() override;

    // Start-up, in two halves around the window's own layout: first the settings (the
    // listeners hear of the stored options)...
    const Settings& loadSettings(WindowPosition centred);
    // ...then the device, the volume and the mixer, and the poll. False when the mixer
    // could not be opened: the user has been told, and the poll does not start.
    bool start();
    // Shut-down: stops and releases the device and saves the settings, once.
    void shutDown(WindowPosition window);
    bool isShutDown() const { return m_shutDown; }

    // A poll or a library lookup is running (they let events run); a close asked for
    // meanwhile is carried out once it has finished (closeRequested).
    bool busy() const;
    // Asks the views to close the player, at once or after the run in progress.
    void requestClose();
    // Asks the views to bring the window back, from the tray or minimised.
    void requestRaise() { emit raiseRequested(); }

    // The status poll; Timer1 runs it every 500 ms once started, less often while a disc
    // is at rest (loaded, neither playing nor paused, nothing under way), until a command.
    void PollStatus();
    void Timer1_Timer();
    QTimer* timer() const { return m_timer; }
    // While a dialog holds the poll (the options dialog) and after.
    void suspendPolling();
    void resumePolling();

    // The transport.
    void play();
    void pause();
    void stop();
    void next();
    void previous();
    void eject();
    // Plays track `track` from its start; neither changes the flags nor runs the poll
    // (the next tick follows the drive).
    void playTrack(int track);
    // The same for the track of row `row` of the track list (counted from 1), its number
    // sent as the list shows it; nothing for no such row.
    void playRow(int row);

    // Seeking, in the current track.
    void fastForward();
    void rewind();
    // To `ms` into the track, from where the device has its start (a desktop's seek)...
    void seekInTrack(std::int64_t ms);
    // ...or from where the track lengths put it (the progress bar's move).
    void jumpInTrack(std::int64_t ms);
    // The place in the current track in milliseconds, asked of the device now; nothing
    // without a disc or an answer.
    std::optional<std::int64_t> trackPositionMs();

    // The mixer's level, 0..65000.
    void setVolumeLevel(std::int32_t level);

    // The settings the user changes while the player runs; saved at shut-down. The options
    // take effect where they are next used (the next lookup, seek or rating refresh).
    void toggleContinuousPlay();
    void toggleAlwaysOnTop();
    void setTimeMode(TimeMode mode);
    void setDatabasePath(const std::string& path);
    // Another library from now on (the options dialog, the library window): the disc is
    // looked up in it at once.
    void useLibrary(const std::string& path);
    void setSeekStep(std::int32_t seconds);
    void setShowRating(bool shown);
    void setBarMode(bool on);
    void setTrackListShown(bool shown);
    void setInTray(bool inTray);
    // The next poll redraws the stars and the cover, whatever the current track.
    void redrawRatingAtNextPoll();

    // The library: the lookup again, ratings and the two comments.
    void refreshLibrary();
    // The disc that is read, looked up again because its rows changed (the library
    // window saved them): its titles, stars and cover follow at once. A disc the library
    // no longer holds gets the names of a disc it does not know (CD-TEXT, "Track 01").
    void lookUpDiscAgain();
    // The library window saved or removed rows of the disc with `key` in `library`: the
    // disc is looked up again when that may be the disc that is read.
    void libraryDiscChanged(const std::string& library, const std::string& key);
    bool libraryAvailable() const;
    DiscInLibrary discInLibrary() const;
    // A rating the library cannot keep (no library, or the disc is not in it) is not
    // shown as if it were: the user is told, and asked whether to add the disc.
    void rate(int track, int rating);
    void rateCurrentTrack(int rating);
    // The track comment editor works on the track current when it was opened.
    void beginTrackComment();
    // The texts, empty when there are none; a store error is shown to the user.
    std::string loadTrackComment();
    std::string loadAlbumComment();
    // True when the text was stored (the editor may close).
    bool saveTrackComment(const std::string& text);
    bool saveAlbumComment(const std::string& text);
    // A track's comment in the library, empty when there is none or it cannot be read.
    std::string trackComment(int track) const;

    // Another drive or disc image, opened while the player runs: to the session it is one
    // disc taken out and the next put in, so it is read, looked up and played. It is opened
    // off the window's thread, and a drive asked for meanwhile takes its place; a run in
    // progress finishes first. A drive that cannot be opened leaves the current disc
    // playing and says why in the status line for a few seconds. The drive is opened off the
    // window's thread, and a drive asked for meanwhile takes its place; `answered` hears
    // the outcome (an empty problem when the drive is the player's). False when the player
    // cannot open drives (shut down, or built without them).
    bool openDrive(const std::string& name,
                   std::function<void(const std::string& problem)> answered = nullptr);
    // A drive asked for by openDrive has not been opened (or refused) yet.
    bool openingDrive() const { return m_driveRequested; }
    // Why the drive named at start-up could not be opened: it stays in the status line
    // until the line has something else to say.
    void showDriveProblem(const std::string& text);
    // The sound output's word on the sound: while it has stopped, the status line says so
    // and the device keeps its place; once it flows again, the line's own texts return.
    void showSoundTrouble(SoundTrouble trouble);

    // What views and desktops read.
    PlaybackStatus playbackStatus() const;
    // Whether the transport may be used (a disc is read).
    bool transportEnabled() const;
    TrackSnapshot currentTrack() const;
    int trackCount() const;
    const Settings& settings() const;
    const PlayerDisplay& display() const;
    const TrackList& trackList() const;
    // The whole state, to read: for tests and diagnostics. Views use the above.
    const PlayerState& state() const;

signals:
    void polled();  // after each timer tick's poll
    void closeRequested();
    void raiseRequested();
    void seeked();  // after a fast forward, rewind or move in the track
    void volumeChanged(std::int32_t level);
    void continuousPlayChanged(bool on);
    void alwaysOnTopChanged(bool on);
    void transportEnabledChanged(bool enabled);
    void playbackStatusChanged(sonarch::PlaybackStatus status);
    void currentTrackChanged(int track);
    // Anything of currentTrack() changed: another track, its row, its rating, the cover.
    void trackChanged(const sonarch::TrackSnapshot& track);
    // The current track changed as the display shows it: the cover is due for a reload.
    void coverDue(const std::string& path);
    // The drive has no disc: the views empty the cover and the more-tracks menu.
    void discReset();
    // Another drive or image is the player's now (by the name it was asked for).
    void driveChanged(const std::string& name);
    void discInLibraryChanged(sonarch::DiscInLibrary state);
    // The user asked to add the disc that is read to the library (the library window's
    // business), after rating `track` with `rating`: the rating to keep once it is added.
    void addDiscRequested(int track, int rating);

private:
    // The skinned window's presenter shows its gestures (a drag on the bar, a pressed
    // number, the bar strip's captions) in the display the poll writes.
    friend class PlayerWindowModel;
    PlayerDisplay& windowDisplay();

    struct Parts;
    void tellChanges();
    void afterRun();
    bool atRest() const;
    void setPollInterval(int ms);
    void changeToPendingDrive();
    void takeOpenedDrive();

    std::unique_ptr<Parts> m;
    QTimer* m_timer;
    bool m_loaded = false;
    bool m_started = false;
    bool m_shutDown = false;
    bool m_closePending = false;
    int m_suspended = 0;
    bool m_timerRun = false;  // inside a tick of Timer1
    PlaybackStatus m_toldStatus = PlaybackStatus::Stopped;
    int m_toldTrack = 0;
    TrackSnapshot m_toldSnapshot;
    DiscInLibrary m_toldInLibrary = DiscInLibrary::NoDisc;
    bool m_driveRequested = false;
    std::function<void(const std::string&)> m_driveAnswer;  // the asker of the drive opening
    // Last, so that it ends first: its thread may still hand a drive to the player.
    std::unique_ptr<DriveOpener> m_opener;
};

}  // namespace sonarch
