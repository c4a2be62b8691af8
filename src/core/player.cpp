#include "core/player.h"

#include <QTimer>
#include <limits>
#include <utility>

#include "base/time_text.h"
#include "core/library_operations.h"
#include "core/player_services.h"
#include "core/status_poll.h"
#include "device/drives/drive_opener.h"
#include "device/mci/device_layer.h"
#include "model/player_display.h"
#include "model/player_state.h"
#include "model/track_list.h"
#include "playback/seeking.h"
#include "playback/time_display.h"
#include "playback/transport.h"
#include "volume/vol_control.h"

namespace sonarch {

namespace {

constexpr int kPollMs = 500;
// A stopped disc changes only when the drive does (a disc taken out or put in), and then
// seconds late is soon enough: a drive takes as long to take a disc in, and once it is
// found empty the usual pace watches for the next. Every wake-up costs, so at rest the
// timer ticks less often. A command brings the usual pace back at once.
constexpr int kRestPollMs = 3000;
constexpr int kHiddenRestPollMs = 10000;  // nothing of the window is seen
constexpr int kDriveNoticeRuns = 10;      // about five seconds
// Held until the line has something else to say.
constexpr int kLastingNoticeRuns = std::numeric_limits<int>::max();
constexpr const char* kSoundStopped = "The sound stopped: the sound server went away.";

}  // namespace

// What the session is made of; the parts refer to one another, so they live together.
struct Player::Parts {
    Parts(PlayerServices given, Player& player)
        : services(std::move(given)),
          device(services.device, services.messages, state.deviceError),
          transport(state, device, display, tracks, [&player] { player.PollStatus(); }),
          seeking(state, device,
                  [&player] {
                      player.PollStatus();
                      emit player.seeked();
                  }),
          library(services.library, services.messages, state, display, tracks, device),
          poll(state, device, display, tracks, transport,
               PollHooks{[this] { library.GetCDToc(); },
                         [this] {
                             return services.discText ? services.discText->discText() : DiscText{};
                         },
                         [&player](const std::string& path) { emit player.coverDue(path); },
                         [&player] { emit player.discReset(); }}) {}

    PlayerServices services;
    PlayerState state;
    PlayerDisplay display;
    TrackList tracks;
    DeviceLayer device;
    Transport transport;
    Seeking seeking;
    LibraryOperations library;
    StatusPoll poll;
    std::unique_ptr<Drive> pendingDrive;  // opened while a run was in progress
};

Player::Player(PlayerServices services, QObject* parent)
    : QObject(parent),
      m(std::make_unique<Parts>(std::move(services), *this)),
      m_timer(new QTimer(this)) {
    m_timer->setObjectName("Timer1");
    m_timer->setInterval(kPollMs);
    connect(m_timer, &QTimer::timeout, this, &Player::Timer1_Timer);
    // A list filled anew has no selection: the next refresh selects the current row.
    connect(&m->tracks, &TrackList::rowsReplaced, this, [this] { m->display.selectRow(0); });
    connect(&m->display, &PlayerDisplay::transportEnabledChanged, this,
            &Player::transportEnabledChanged);
    if (m->services.openDrive) {
        m_opener = std::make_unique<DriveOpener>(m->services.openDrive, [this] {
            // opener's thread: the drive is taken on the window's.
            QMetaObject::invokeMethod(
                this, [this] { takeOpenedDrive(); }, Qt::QueuedConnection);
        });
    }
}

Player::~Player() = default;

// ---- start-up and shut-down ----

const Settings& Player::loadSettings(WindowPosition centred) {
    m->state.blinkCounter = 1;
    m->state.settings = m->services.loadSettings(centred);
    m_loaded = true;
    // The listeners show the options as stored: the stacking, the letters, the loop.
    emit alwaysOnTopChanged(m->state.settings.alwaysOnTop);
    emit continuousPlayChanged(m->state.settings.continuousPlay);
    return m->state.settings;
}

bool Player::start() {
    m->device.DeviceQuery("open cdaudio alias cd wait shareable");
    m->device.DeviceQuery("set cd time format tmsf");
    m->state.discLoaded = false;
    Settings& s = m->state.settings;
    s.volumeLevel = StartupVolume(s.volumeLevel);
    SetMixerVolume(m->services.mixer, s.volumeLevel);
    emit volumeChanged(s.volumeLevel);
    if (!m->services.mixer.open()) {
        m->services.messages.showMessage("Mixer can not open.");
        return false;
    }
    m->state.discLookupPending = true;
    m_started = true;
    resumePolling();
    return true;
}

void Player::shutDown(WindowPosition window) {
    if (m_shutDown || !m_loaded) {
        return;
    }
    m_shutDown = true;
    m_timer->stop();
    m->device.DeviceQuery("stop cd");
    m->device.DeviceQuery("close cd");
    m->device.DeviceQuery("close all");
    m->services.saveSettings(m->state.settings, window);
}

bool Player::busy() const {
    return m->poll.busy();
}

void Player::requestClose() {
    if (busy()) {
        // A poll or lookup let events run and one of them closes the player: it closes
        // once the run has finished, so it cannot reopen the device or play on afterwards.
        m_closePending = true;
        return;
    }
    emit closeRequested();
}

void Player::afterRun() {
    if (m->pendingDrive && !busy() && !m_closePending) {
        changeToPendingDrive();
    }
    if (m_closePending && !busy()) {
        m_closePending = false;
        emit closeRequested();
    }
}

// ---- the poll ----

void Player::PollStatus() {
    if (m_shutDown) {
        return;
    }
    m->poll.PollStatus();
    m->display.countDownNotice();
    tellChanges();
    afterRun();
}

void Player::Timer1_Timer() {
    const bool outer = std::exchange(m_timerRun, true);
    PollStatus();
    m_timerRun = outer;
    setPollInterval(atRest() ? (m->state.settings.inTray ? kHiddenRestPollMs : kRestPollMs)
                             : kPollMs);
    emit polled();
}

bool Player::atRest() const {
    const PlayerState& s = m->state;
    // Nothing under way that later runs finish: no eject, no drive being opened, no notice
    // counting its runs.
    return s.discLoaded && !s.playing && !s.paused && !s.ejectAsked && !m_driveRequested &&
           !m->pendingDrive && m->display.noticeRunsLeft() == 0;
}

void Player::setPollInterval(int ms) {
    if (m_timer->interval() != ms) {
        m_timer->setInterval(ms);  // an active timer starts its interval anew
    }
}

void Player::suspendPolling() {
    ++m_suspended;
    m_timer->stop();
}

void Player::resumePolling() {
    if (m_suspended > 0) {
        --m_suspended;
    }
    if (m_started && !m_shutDown && m_suspended == 0) {
        m_timer->start();
    }
}

// Every command and poll run ends here: the listeners hear of each change once, at once.
void Player::tellChanges() {
    if (m->state.currentTrack != m_toldTrack) {
        m_toldTrack = m->state.currentTrack;
        emit currentTrackChanged(m_toldTrack);
    }
    const PlaybackStatus status = playbackStatus();
    if (status != m_toldStatus) {
        m_toldStatus = status;
        emit playbackStatusChanged(status);
    }
    TrackSnapshot track = currentTrack();
    if (!(track == m_toldSnapshot)) {
        m_toldSnapshot = std::move(track);
        emit trackChanged(m_toldSnapshot);
    }
    if (const DiscInLibrary inLibrary = discInLibrary(); inLibrary != m_toldInLibrary) {
        m_toldInLibrary = inLibrary;
        emit discInLibraryChanged(inLibrary);
    }
    if (!m_timerRun) {
        // A command (playing a track from the list changes no flag): the poll follows it at
        // the usual pace.
        setPollInterval(kPollMs);
    }
}

// ---- transport and seeking ----

void Player::play() {
    m->transport.play_Click();
    tellChanges();
}

void Player::pause() {
    m->transport.pause_Click();
    tellChanges();
}

void Player::stop() {
    m->transport.stopbtn_Click();
    tellChanges();
}

void Player::next() {
    m->transport.ftrack_Click();
    tellChanges();
}

void Player::previous() {
    m->transport.btrack_Click();
    tellChanges();
}

void Player::eject() {
    m->transport.eject_Click();
    tellChanges();
}

void Player::playTrack(int track) {
    m->transport.PlayTrack(track);
    tellChanges();
}

void Player::playRow(int row) {
    m->transport.LV_DblClick(row);
    tellChanges();
}

void Player::fastForward() {
    m->seeking.ff_Click();
    tellChanges();
}

void Player::rewind() {
    m->seeking.rew_Click();
    tellChanges();
}

void Player::seekInTrack(std::int64_t ms) {
    m->seeking.seekInTrack(ms);
    tellChanges();
}

void Player::jumpInTrack(std::int64_t ms) {
    m->seeking.jumpInTrack(ms);
    tellChanges();
}

std::optional<std::int64_t> Player::trackPositionMs() {
    if (!m->state.discLoaded || m_shutDown) {
        return std::nullopt;
    }
    ReplyBuffer reply(30);
    if (m->device.DeviceQuery("status cd position", reply) != 0) {
        return std::nullopt;
    }
    // "tt:mm:ss:ff"; any other form (a seek holds the device in milliseconds) is no answer.
    const std::string text = reply.text();
    if (text.size() != 11 || text[2] != ':' || text[5] != ':' || text[8] != ':') {
        return std::nullopt;
    }
    const auto minutes = reply.number(4, 2);
    const auto seconds = reply.number(7, 2);
    const auto frames = reply.number(10, 2);
    if (!minutes || !seconds || !frames) {
        return std::nullopt;
    }
    return (std::int64_t{*minutes} * 60 + *seconds) * 1000 + std::int64_t{*frames} * 1000 / 75;
}

// ---- volume and settings ----

void Player::setVolumeLevel(std::int32_t level) {
    m->state.settings.volumeLevel = level;
    SetMixerVolume(m->services.mixer, level);
    emit volumeChanged(level);
}

void Player::toggleContinuousPlay() {
    Settings& s = m->state.settings;
    s.continuousPlay = !s.continuousPlay;
    emit continuousPlayChanged(s.continuousPlay);
}

void Player::toggleAlwaysOnTop() {
    Settings& s = m->state.settings;
    s.alwaysOnTop = !s.alwaysOnTop;
    emit alwaysOnTopChanged(s.alwaysOnTop);
}

void Player::setTimeMode(TimeMode mode) {
    Settings& s = m->state.settings;
    s.showTrackElapsed = mode == TimeMode::TrackElapsed;
    s.showTrackRemaining = mode == TimeMode::TrackRemaining;
    s.showTotalElapsed = mode == TimeMode::TotalElapsed;
    s.showTotalRemaining = mode == TimeMode::TotalRemaining;
}

void Player::useLibrary(const std::string& path) {
    if (path == m->state.settings.databasePath) {
        return;
    }
    m->state.settings.databasePath = path;
    lookUpDiscAgain();
}

void Player::setDatabasePath(const std::string& path) {
    m->state.settings.databasePath = path;
}

void Player::setSeekStep(std::int32_t seconds) {
    m->state.settings.seekStep = seconds;
}

void Player::setShowRating(bool shown) {
    m->state.settings.showRating = shown;
}

void Player::setBarMode(bool on) {
    m->state.settings.barMode = on;
}

void Player::setTrackListShown(bool shown) {
    m->state.settings.trackListShown = shown;
}

void Player::setInTray(bool inTray) {
    m->state.settings.inTray = inTray;
}

void Player::redrawRatingAtNextPoll() {
    m->state.ratingShownForTrack = 0;
}

// ---- the library ----

void Player::refreshLibrary() {
    // The poll waits while the lookup runs; neither a poll nor a second lookup can start
    // inside it.
    suspendPolling();
    m->poll.runExclusive([this] { m->library.GetCDToc(); });
    resumePolling();
    tellChanges();
    afterRun();
}

void Player::lookUpDiscAgain() {
    if (!m_started || m_shutDown || !m->state.discLoaded) {
        return;  // a disc read later is looked up then
    }
    suspendPolling();
    const bool ran = m->poll.runExclusive([this] {
        m->library.GetCDToc();
        if (m->tracks.empty() && m->state.discLoaded) {
            m->tracks.replace(TrackList::defaultRows(
                m->state.trackLengths,
                m->services.discText ? m->services.discText->discText() : DiscText{}));
        }
    });
    if (!ran) {
        m->state.discLookupPending = true;  // the run under way is followed by the lookup
    }
    redrawRatingAtNextPoll();
    resumePolling();
    tellChanges();
    afterRun();
}

void Player::libraryDiscChanged(const std::string& library, const std::string& key) {
    const std::string& current = m->state.currentDiscKey;
    if (library == m->state.settings.databasePath && (current.empty() || current == key)) {
        lookUpDiscAgain();
    }
}

bool Player::libraryAvailable() const {
    return m->library.available();
}

DiscInLibrary Player::discInLibrary() const {
    if (!m->state.discLoaded) {
        return DiscInLibrary::NoDisc;
    }
    if (!m->state.discInLibrary) {
        return DiscInLibrary::Unknown;
    }
    return *m->state.discInLibrary ? DiscInLibrary::InLibrary : DiscInLibrary::NotInLibrary;
}

void Player::rate(int track, int rating) {
    const RatingOutcome outcome =
        m->library.SetTrackRating(track, static_cast<std::int16_t>(rating));
    tellChanges();
    if (outcome != RatingOutcome::NotInLibrary && outcome != RatingOutcome::NoLibrary) {
        return;
    }
    const std::string question =
        outcome == RatingOutcome::NotInLibrary
            ? "This disc is not in the library, so its ratings cannot be kept. Add it to "
              "the library?"
            : "No library is chosen, so ratings cannot be kept. Make a library and add this "
              "disc to it?";
    if (m->services.messages.ask(question, "Add this disc to the library\u2026")) {
        emit addDiscRequested(track, rating);
    }
}

void Player::rateCurrentTrack(int rating) {
    rate(m->state.currentTrack, rating);
}

void Player::beginTrackComment() {
    m->state.commentTrack = m->state.currentTrack;
}

std::string Player::loadTrackComment() {
    return m->library.loadTrackComment(m->state.commentTrack);
}

std::string Player::loadAlbumComment() {
    return m->library.loadAlbumComment();
}

bool Player::saveTrackComment(const std::string& text) {
    return m->library.saveTrackComment(m->state.commentTrack, text);
}

bool Player::saveAlbumComment(const std::string& text) {
    return m->library.saveAlbumComment(text);
}

std::string Player::trackComment(int track) const {
    return m->library.trackComment(track);
}

// ---- drives ----

bool Player::openDrive(const std::string& name,
                       std::function<void(const std::string& problem)> answered) {
    if (m_shutDown || !m_opener || !m->services.drives) {
        if (answered) {
            answered(m_shutDown ? "the player is closing" : "the player opens no other drives");
        }
        return false;
    }
    if (m_driveAnswer) {
        m_driveAnswer("another drive was asked for before this one had opened");
    }
    m_driveAnswer = std::move(answered);
    m_opener->request(name);
    m_driveRequested = true;
    return true;
}

void Player::takeOpenedDrive() {
    std::optional<DriveOpener::Opened> opened = m_opener->take();
    if (!opened) {
        return;  // replaced by a newer request, which is on its way
    }
    m_driveRequested = false;
    const auto answer = std::exchange(m_driveAnswer, nullptr);
    if (m_shutDown) {
        if (answer) {
            answer("the player is closing");
        }
        return;
    }
    if (!opened->drive.ok()) {
        m->display.showNotice(opened->drive.error(), kDriveNoticeRuns);
        if (answer) {
            answer(opened->drive.error());
        }
        tellChanges();
        return;
    }
    m->pendingDrive = std::move(opened->drive.value());
    emit driveChanged(opened->name);
    if (answer) {
        answer({});
    }
    // A poll or lookup in progress (it lets events run) works on the drive it began with;
    // the change waits for its end.
    if (!busy()) {
        changeToPendingDrive();
    }
}

void Player::changeToPendingDrive() {
    if (!m->pendingDrive || m_shutDown) {
        return;
    }
    PlayerState& s = m->state;
    m->device.DeviceQuery("stop cd");
    m->services.drives->switchTo(std::move(m->pendingDrive));
    // As after taking the last disc out and closing the door on a new one: nothing of the
    // last disc stays, neither its stars nor its cover, on the window or for desktops.
    s.doorOpen = false;
    s.ejectAsked = false;
    m->display.setEjectCaption("Eject");
    m->poll.resetNoDisc();
    s.ratingShownForTrack.reset();
    s.coverPath.clear();
    m->tracks.clear();
    for (int i = 0; i < 10; ++i) {
        m->display.setTrackNumberColour(i, kNoTrack);
    }
    s.discLookupPending = true;
    m->display.setStatusText("Loading, please wait . . .");
    if (m_started) {
        PollStatus();
    } else {
        tellChanges();
    }
}

void Player::showDriveProblem(const std::string& text) {
    m->display.showNotice(text, kLastingNoticeRuns);
}

void Player::showSoundTrouble(SoundTrouble trouble) {
    if (trouble == SoundTrouble::ServerGone) {
        m->display.showNotice(kSoundStopped, kLastingNoticeRuns);
    } else {
        m->display.endNotice(kSoundStopped);
    }
}

// ---- what views and desktops read ----

PlaybackStatus Player::playbackStatus() const {
    const PlayerState& s = m->state;
    if (!s.discLoaded) {
        return PlaybackStatus::Stopped;
    }
    if (s.playing) {
        return PlaybackStatus::Playing;
    }
    return s.paused ? PlaybackStatus::Paused : PlaybackStatus::Stopped;
}

bool Player::transportEnabled() const {
    return m->display.transportEnabled();
}

TrackSnapshot Player::currentTrack() const {
    const PlayerState& s = m->state;
    TrackSnapshot track;
    track.number = s.currentTrack;
    track.loaded = s.discLoaded;
    if (const TrackRow* row = m->tracks.row(s.currentTrack)) {
        track.listed = true;
        track.title = row->title;
        track.artist = row->artist;
        track.album = row->album;
        track.rating = row->rating;
    }
    if (const std::string* length = s.trackLength(s.currentTrack)) {
        track.lengthMs = std::int64_t(roundHalfEven(double(TextToSeconds(*length)))) * 1000;
    }
    track.coverPath = s.coverPath;
    return track;
}

int Player::trackCount() const {
    return m->state.trackCount;
}

const Settings& Player::settings() const {
    return m->state.settings;
}

const PlayerDisplay& Player::display() const {
    return m->display;
}

const TrackList& Player::trackList() const {
    return m->tracks;
}

const PlayerState& Player::state() const {
    return m->state;
}

PlayerDisplay& Player::windowDisplay() {
    return m->display;
}

}  // namespace sonarch
