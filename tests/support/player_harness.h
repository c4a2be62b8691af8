#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "core/player.h"
#include "core/player_services.h"
#include "core/player_window_model.h"
#include "device/drives/drive_factory.h"
#include "device/drives/switchable_drive.h"
#include "device/drives/virtual_drive.h"
#include "device/engine/clock.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/msf.h"
#include "model/player_display.h"
#include "model/player_state.h"
#include "model/track_list.h"
#include "support/recording_device.h"
#include "volume/vol_control.h"

namespace sonarch::testing {

inline std::vector<VirtualTrack> tracksOf(std::initializer_list<const char*> lengths) {
    std::vector<VirtualTrack> tracks;
    for (const char* text : lengths) {
        tracks.push_back({*parseMsf(text), true});
    }
    return tracks;
}

// The real player over a virtual drive, a manual clock, a silent output and in-memory
// settings, with the presenter of its window but no window. Drives it opens are opened for
// real.
class PlayerHarness {
public:
    explicit PlayerHarness(std::vector<VirtualTrack> tracks, Settings stored = {})
        : drive(std::move(tracks)), storedSettings(std::move(stored)) {}
    virtual ~PlayerHarness() = default;

    Player& makePlayer() {
        player = std::make_unique<Player>(PlayerServices{
            recorder, noAudioOutput ? closedMixer : mixer, library, messages,
            [this](WindowPosition) { return storedSettings; },
            [this](const Settings& s, WindowPosition window) {
                savedSettings = s;
                savedPosition = window;
            },
            &device, [this](const std::string& name) { return openNamedDrive(name); }, &drives});
        windowModel = std::make_unique<PlayerWindowModel>(*player);
        return *player;
    }
    // Start-up as the window runs it, without the window.
    Player& start(bool expectStarted = true) {
        makePlayer();
        player->loadSettings({});
        EXPECT_EQ(player->start(), expectStarted);
        return *player;
    }
    // One timer tick, half a second later.
    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            clock.advance(500);
            player->Timer1_Timer();
        }
    }
    // Lets events run, as the window's event loop does, until the drive the player asked for
    // is open or refused; a minute at most, as a guard.
    void waitForOpenedDrive() {
        QDeadlineTimer guard(60000);
        while (player->openingDrive() && !guard.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        EXPECT_FALSE(player->openingDrive()) << "the drive was not opened within a minute";
    }
    std::vector<std::string> sentSince(std::size_t from) const {
        auto all = recorder.commands();
        return {all.begin() + std::ptrdiff_t(std::min(from, all.size())), all.end()};
    }
    const PlayerDisplay& display() const { return player->display(); }
    const std::string& caption(Caption which) const { return display().caption(which); }
    const std::string& status() const { return display().statusText(); }

    // How the player opens drives by name (on its opener's thread).
    std::function<Result<std::unique_ptr<Drive>>(const std::string&)> openNamedDrive =
        [](const std::string& name) { return openDrive(name); };
    ManualClock clock;
    VirtualDrive drive;
    // The device plays `drive` until the player opens another, as the program's does.
    SwitchableDrive drives{std::shared_ptr<Drive>(std::shared_ptr<Drive>(), &drive)};
    NullOutput output{clock};
    CdAudioDevice device{drives, output};
    RecordingDevice recorder{device};
    Mixer mixer{&output};
    Mixer closedMixer{nullptr};  // what the mixer is when no audio output could be opened
    bool noAudioOutput = false;
    MessageRecorder messages;
    LibraryStore library;
    Settings storedSettings;
    std::optional<Settings> savedSettings;
    WindowPosition savedPosition;
    std::unique_ptr<Player> player;
    std::unique_ptr<PlayerWindowModel> windowModel;
};

}  // namespace sonarch::testing
