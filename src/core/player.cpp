#include "core/player.h"

#include "device/drives/drive_opener.h"

#include "playback/time_display.h"
#include "volume/volume_math.h"

namespace sonarch {

Player::Player(PlayerServices services, QObject* parent)
    : QObject(parent),
      m_services(std::move(services)),
      m_device(m_services.device, m_services.messages, m_state.deviceError),
      m_transport(m_state, m_device, m_display, m_tracks, [this] { PollStatus(); }),
      m_seeking(m_state, m_device,
                [this] {
                    PollStatus();
                    emit seeked();
                }),
      m_poll(
          m_state, m_device, m_display, m_tracks, m_transport,
          PollHooks{
              [this] { GetCDToc(); },
              [this] { return m_services.discText ? m_services.discText->discText() : DiscText{}; },
              [this](const std::string& path) { emit coverDue(path); },
              [this] { emit discReset(); }}),
      m_timer(new QTimer(this)) {
    m_timer->setObjectName("Timer1");
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, &Player::Timer1_Timer);
    // A list filled anew has no selection: the next refresh selects the current row.
    connect(&m_tracks, &TrackList::rowsReplaced, this, [this] { m_display.selectRow(0); });
    if (m_services.openDrive) {
        m_opener = std::make_unique<DriveOpener>(m_services.openDrive, [this] {
            // opener's thread: the drive is taken on the window's.
            QMetaObject::invokeMethod(
                this, [this] { takeOpenedDrive(); }, Qt::QueuedConnection);
        });
    }
}

Player::~Player() = default;

const Settings& Player::loadSettings(WindowPosition centred) {
    m_state.blinkCounter = 1;
    m_state.settings = m_services.loadSettings(centred);
    m_loaded = true;
    return m_state.settings;
}

bool Player::start() {
    m_device.DeviceQuery("open cdaudio alias cd wait shareable");
    m_device.DeviceQuery("set cd time format tmsf");
    m_state.discLoaded = false;
    Settings& s = m_state.settings;
    s.volumeLevel = StartupVolume(s.volumeLevel);
    SetMixerVolume(m_services.mixer, s.volumeLevel);
    IndicateVol(kFullVolume, kFullVolume - s.volumeLevel);
    if (!m_services.mixer.open()) {
        m_services.messages.showMessage("Mixer can not open.");
        return false;
    }
    m_state.discLookupPending = true;
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
    m_device.DeviceQuery("stop cd");
    m_device.DeviceQuery("close cd");
    m_device.DeviceQuery("close all");
    m_services.saveSettings(m_state.settings, window);
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
    if (m_pendingDrive && !busy() && !m_closePending) {
        changeToPendingDrive();
    }
    if (m_closePending && !busy()) {
        m_closePending = false;
        emit closeRequested();
    }
}

void Player::PollStatus() {
    if (m_shutDown) {
        return;
    }
    const int track = m_state.currentTrack;
    m_poll.PollStatus();
    m_display.countDownNotice();
    if (m_state.currentTrack != track) {
        emit currentTrackChanged(m_state.currentTrack);
    }
    notePlaybackStatus();
    afterRun();
}

void Player::Timer1_Timer() {
    PollStatus();
    emit polled();
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

void Player::fastForward() {
    m_seeking.ff_Click();
}

void Player::rewind() {
    m_seeking.rew_Click();
}

std::optional<std::string> Player::seekTooltip(double fraction) const {
    if (const auto preview = m_seeking.picProg_MouseMove(fraction)) {
        return preview->tooltip;
    }
    return std::nullopt;
}

void Player::dragOnBar(double fraction) {
    if (const auto preview = m_seeking.picProg_MouseMove(fraction)) {
        if (preview->fillPercent) {
            m_display.setProgressPercent(*preview->fillPercent);
        }
        m_display.setCaption(Caption::TimeWindow, preview->timeCaption);
    }
}

void Player::clickOnBar(double fraction) {
    m_seeking.picProg_MouseUp(fraction);
}

std::optional<std::string> Player::cycleTimeMode() {
    return sonarch::cycleTimeMode(m_state.settings);
}

void Player::copyTimeToBar() {
    m_display.setCaption(Caption::BarTime, m_display.caption(Caption::TimeWindow));
}

void Player::toggleContinuousPlay() {
    m_state.settings.continuousPlay = !m_state.settings.continuousPlay;
    emit continuousPlayChanged(m_state.settings.continuousPlay);
}

void Player::toggleAlwaysOnTop() {
    m_state.settings.alwaysOnTop = !m_state.settings.alwaysOnTop;
    emit alwaysOnTopChanged(m_state.settings.alwaysOnTop);
}

void Player::IndicateVol(std::int32_t lngTotal, std::int32_t lngVol) {
    m_state.volumePercent = volumeBarPercent(lngTotal, lngVol);
    emit volumeChanged(m_state.settings.volumeLevel, m_state.volumePercent);
}

void Player::setVolumeLevel(std::int32_t level) {
    m_state.settings.volumeLevel = level;
    SetMixerVolume(m_services.mixer, level);
    IndicateVol(kFullVolume, kFullVolume - level);
}

void Player::volumeUp() {
    setVolumeLevel(volumeStepUp(m_state.volumePercent));
}

void Player::volumeDown() {
    setVolumeLevel(volumeStepDown(m_state.volumePercent));
}

void Player::setVolumeFromBar(float yUnits) {
    const PointerVolume volume = volumeAtPointer(yUnits, 100);
    m_state.settings.volumeLevel = volume.level;
    SetMixerVolume(m_services.mixer, volume.level);
    // The bar is drawn from the pointer's own height, not from the level.
    IndicateVol(volume.barTotal, volume.barVol);
}

void Player::enterBarLayout() {
    m_state.settings.barMode = true;
    m_state.settings.trackListShown = false;
    // The strip shows the current texts at once, before the next poll.
    m_display.setCaption(Caption::BarTime, m_display.caption(Caption::TimeWindow));
    m_display.setCaption(Caption::BarTrack, m_display.caption(Caption::Track));
    m_display.setCaption(Caption::BarTotal, m_display.caption(Caption::TotalTime));
}

void Player::leaveBarLayout() {
    m_state.settings.barMode = false;
}

void Player::setTrackListShown(bool shown) {
    m_state.settings.trackListShown = shown;
}

void Player::setInTray(bool inTray) {
    m_state.settings.inTray = inTray;
    if (inTray) {
        m_state.settings.barMode = false;
    }
}

void Player::setDatabasePath(const std::string& path) {
    m_state.settings.databasePath = path;
}

void Player::setSeekStep(std::int32_t seconds) {
    m_state.settings.seekStep = seconds;
}

void Player::setShowRating(bool shown) {
    m_state.settings.showRating = shown;
}

void Player::redrawRatingAtNextPoll() {
    m_state.ratingShownForTrack = 0;
}

}  // namespace sonarch
