#include "core/player_window_model.h"

#include <QMetaObject>
#include <algorithm>

#include "base/time_text.h"
#include "core/player.h"
#include "core/settings_file.h"
#include "model/player_display.h"
#include "model/track_list.h"
#include "playback/seeking.h"
#include "playback/time_display.h"
#include "volume/volume_math.h"

namespace sonarch {

namespace {

constexpr double kBarUnits = 100;  // the progress bar's own width
constexpr int kFirstMoreTrack = 11;
constexpr int kLastMoreTrack = 30;

TimeMode modeShown(const Settings& s) {
    if (s.showTrackRemaining) {
        return TimeMode::TrackRemaining;
    }
    if (s.showTotalElapsed) {
        return TimeMode::TotalElapsed;
    }
    return s.showTotalRemaining ? TimeMode::TotalRemaining : TimeMode::TrackElapsed;
}

}  // namespace

PlayerWindowModel::PlayerWindowModel(Player& player, QObject* parent)
    : QObject(parent), m_player(player) {
    connect(&player, &Player::volumeChanged, this, &PlayerWindowModel::showVolume);
    connect(&player, &Player::closeRequested, this, &PlayerWindowModel::closeRequested);
}

const PlayerDisplay& PlayerWindowModel::display() const {
    return m_player.display();
}

const TrackList& PlayerWindowModel::trackList() const {
    return m_player.trackList();
}

const Settings& PlayerWindowModel::settings() const {
    return m_player.settings();
}

// ---- start-up and shut-down ----

bool PlayerWindowModel::startUp(TwipSize screen, TwipSize window, PlayerWindowView& view) {
    const Settings& s = m_player.loadSettings(
        CentredWindowPosition(screen.width, screen.height, window.width, window.height));
    const bool startInTray = s.inTray && !s.barMode;
    view.placeAt({s.windowLeft, s.windowTop});
    if (s.barMode) {
        enterBarLayout();
    } else {
        leaveBarLayout();
        if (s.trackListShown) {
            // The list reopens as it was left, so the flag and the window agree.
            m_player.setTrackListShown(false);
            toggleTrackList();
        }
    }
    view.keepOnScreens();
    // Shown once placed and laid out; a start in the tray never flashes the window.
    if (!startInTray) {
        view.showWindow();
    }
    const bool running = m_player.start();
    if (!running) {
        view.showWindow();  // start-up ends here, before the tray step, so it stays in view
    } else if (startInTray) {
        view.hideToTray();
    }
    m_started = true;
    if (m_closeWhenStarted) {
        // Asked to close during start-up (a signal while a message was up): the window
        // closes the normal way as soon as the program's event loop runs.
        QMetaObject::invokeMethod(
            this, [this] { emit closeRequested(); }, Qt::QueuedConnection);
    }
    return running;
}

bool PlayerWindowModel::mayClose() {
    if (m_player.busy()) {
        // Closed from inside a poll or lookup: the player asks again once it has finished.
        m_player.requestClose();
        return false;
    }
    if (!m_started) {
        m_closeWhenStarted = true;  // start-up finishes first, then the window closes
        return false;
    }
    return true;
}

void PlayerWindowModel::shutDown(TwipPoint window) {
    if (!m_started || m_shutDown) {
        return;
    }
    m_shutDown = true;
    m_player.shutDown({double(window.left), double(window.top)});
}

// ---- track selection ----

void PlayerWindowModel::pressTrackNumber(int index) {
    if (index + 1 <= m_player.trackCount()) {
        m_player.windowDisplay().setTrackNumberColour(index, kPressedTrack);
    }
}

void PlayerWindowModel::clickTrackNumber(int index) {
    const int track = index + 1;
    if (track <= m_player.trackCount()) {
        m_player.playTrack(track);
    }
}

std::vector<int> PlayerWindowModel::moreTracks() const {
    std::vector<int> tracks;
    const int count = m_player.trackCount();
    if (count >= kFirstMoreTrack) {
        for (int track = kFirstMoreTrack; track <= std::min(count, kLastMoreTrack); ++track) {
            tracks.push_back(track);
        }
    }
    return tracks;
}

void PlayerWindowModel::noteSelectedRow(int row) {
    m_player.windowDisplay().noteSelectedRow(row);
}

void PlayerWindowModel::playSelectedRow() {
    m_player.playRow(display().selectedRow());
}

// ---- the progress bar ----

bool PlayerWindowModel::canSeekOnBar() const {
    return m_player.currentTrack().number != 0;
}

std::optional<std::string> PlayerWindowModel::seekTooltip(double fraction) const {
    const TrackSnapshot track = m_player.currentTrack();
    if (track.number == 0 || !track.lengthMs) {
        return std::nullopt;
    }
    return previewSeek(fraction, float(*track.lengthMs / 1000)).tooltip;
}

void PlayerWindowModel::dragOnBar(double fraction) {
    const TrackSnapshot track = m_player.currentTrack();
    if (track.number == 0 || !track.lengthMs) {
        return;
    }
    const SeekPreview preview = previewSeek(fraction, float(*track.lengthMs / 1000));
    PlayerDisplay& shown = m_player.windowDisplay();
    if (preview.fillPercent) {
        shown.setProgressPercent(*preview.fillPercent);
    }
    shown.setCaption(Caption::TimeWindow, preview.timeCaption);
}

void PlayerWindowModel::clickOnBar(double fraction) {
    const TrackSnapshot track = m_player.currentTrack();
    if (track.number == 0) {
        return;
    }
    const double units = double(roundHalfEven(fraction * kBarUnits));
    const double lengthSeconds = track.lengthMs ? double(*track.lengthMs / 1000) : 0.0;
    m_player.jumpInTrack(roundHalfEven(units / kBarUnits * lengthSeconds * 1000));
}

// ---- the volume bar ----

void PlayerWindowModel::setVolumeFromBar(float yUnits) {
    const PointerVolume volume = volumeAtPointer(yUnits, 100);
    // The bar is drawn from the pointer's own height, not from the level.
    m_pointerVolume = volumeBarPercent(volume.barTotal, volume.barVol);
    m_player.setVolumeLevel(volume.level);
    m_pointerVolume.reset();
}

void PlayerWindowModel::volumeUp() {
    m_player.setVolumeLevel(volumeStepUp(m_volumePercent));
}

void PlayerWindowModel::volumeDown() {
    m_player.setVolumeLevel(volumeStepDown(m_volumePercent));
}

void PlayerWindowModel::showVolume(std::int32_t level) {
    m_volumePercent = m_pointerVolume.value_or(volumeBarPercentOfLevel(level));
    emit volumeBarChanged(m_volumePercent);
}

// ---- the time display ----

std::optional<std::string> PlayerWindowModel::cycleTimeMode() {
    Settings next = settings();
    const auto tooltip = sonarch::cycleTimeMode(next);
    if (tooltip) {
        m_player.setTimeMode(modeShown(next));
    }
    return tooltip;
}

std::optional<std::string> PlayerWindowModel::clickBarTime() {
    const auto tooltip = cycleTimeMode();
    copyTimeToBar();
    return tooltip;
}

void PlayerWindowModel::copyTimeToBar() {
    PlayerDisplay& shown = m_player.windowDisplay();
    shown.setCaption(Caption::BarTime, shown.caption(Caption::TimeWindow));
}

// ---- layouts ----

bool PlayerWindowModel::barLayout() const {
    return settings().barMode;
}

void PlayerWindowModel::toggleBarLayout() {
    if (barLayout()) {
        leaveBarLayout();
    } else {
        enterBarLayout();
    }
}

void PlayerWindowModel::enterBarLayout() {
    m_player.setBarMode(true);
    m_player.setTrackListShown(false);
    m_lowerArea = LowerArea::Closed;
    // The strip shows the current texts at once, before the next poll.
    PlayerDisplay& shown = m_player.windowDisplay();
    shown.setCaption(Caption::BarTime, shown.caption(Caption::TimeWindow));
    shown.setCaption(Caption::BarTrack, shown.caption(Caption::Track));
    shown.setCaption(Caption::BarTotal, shown.caption(Caption::TotalTime));
    m_barShown = true;
    emit barLayoutChanged(true);
}

void PlayerWindowModel::leaveBarLayout() {
    m_player.setBarMode(false);
    m_barShown = false;
    emit barLayoutChanged(false);
}

void PlayerWindowModel::toggleTrackList() {
    setLowerArea(settings().trackListShown ? LowerArea::Closed : LowerArea::TrackList);
}

void PlayerWindowModel::toggleCover() {
    setLowerArea(settings().trackListShown ? LowerArea::Closed : LowerArea::Cover);
}

void PlayerWindowModel::setLowerArea(LowerArea area) {
    const LowerArea before = m_lowerArea;
    m_lowerArea = area;
    m_player.setTrackListShown(area != LowerArea::Closed);
    emit lowerAreaChanged(area, before);
}

void PlayerWindowModel::setInTray(bool inTray) {
    m_player.setInTray(inTray);
    if (inTray) {
        m_player.setBarMode(false);
    }
}

// Back from the tray or the taskbar. Hiding to the tray ended the bar layout, so a window
// that still has the bar's look takes the normal layout, as the next start would.
void PlayerWindowModel::cameBack() {
    setInTray(false);
    if (!barLayout() && m_barShown) {
        leaveBarLayout();
    }
}

std::optional<std::string> PlayerWindowModel::barTooltip() const {
    if (!barLayout()) {
        return std::nullopt;
    }
    const TrackSnapshot track = m_player.currentTrack();
    if (!track.listed) {
        return std::nullopt;
    }
    return "Track " + twoDigits(track.number) + " - " + track.artist + " - " + track.title;
}

std::string PlayerWindowModel::coverPath() const {
    return m_player.currentTrack().coverPath;
}

}  // namespace sonarch
