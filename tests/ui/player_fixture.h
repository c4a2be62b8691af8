#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <optional>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "device/cd_audio_device.h"
#include "device/clock.h"
#include "device/msf.h"
#include "device/virtual_drive.h"
#include "support/recording_device.h"
#include "ui/cd_player.h"
#include "volume/vol_control.h"

namespace sonarch::testing {

inline std::vector<VirtualTrack> tracksOf(std::initializer_list<const char*> lengths) {
    std::vector<VirtualTrack> tracks;
    for (const char* text : lengths) {
        tracks.push_back({*parseMsf(text), true});
    }
    return tracks;
}

// The real player window over a virtual drive, a manual clock and in-memory settings.
class PlayerFixture {
public:
    explicit PlayerFixture(std::vector<VirtualTrack> tracks, Settings stored = {})
        : drive(std::move(tracks)), storedSettings(std::move(stored)) {}

    CDPlayer& start(bool expectLoaded = true) {
        player = std::make_unique<CDPlayer>(
            PlayerServices{recorder, noAudioOutput ? closedMixer : mixer, messages,
                           [this](double, double) { return storedSettings; },
                           [this](const Settings& s, double left, double top) {
                               savedSettings = s;
                               savedPosition = {left, top};
                           }});
        const bool loaded = player->Form_Load();
        EXPECT_EQ(loaded, expectLoaded);
        return *player;
    }
    // One timer tick, half a second later.
    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            clock.advance(500);
            player->Timer1_Timer();
        }
    }
    template <class T = QLabel>
    T* control(const QString& name) const {
        T* found = player->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    // Shown on the window, whether or not the window itself is on screen.
    bool shown(const QString& name) const { return !control<QWidget>(name)->isHidden(); }
    void click(const char* name, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(control<QWidget>(name), button);
    }
    QString caption(const QString& name) const { return control<QLabel>(name)->text(); }
    QString field(const QString& name) const { return control<QLineEdit>(name)->text(); }
    QTreeWidget* list() const { return control<QTreeWidget>("LV"); }
    QColor textColour(const QString& name) const {
        return control<QWidget>(name)->palette().color(QPalette::WindowText);
    }
    std::vector<std::string> sentSince(std::size_t from) const {
        auto all = recorder.commands();
        return {all.begin() + std::ptrdiff_t(std::min(from, all.size())), all.end()};
    }

    ManualClock clock;
    VirtualDrive drive;
    NullOutput output{clock};
    CdAudioDevice device{drive, output};
    RecordingDevice recorder{device};
    Mixer mixer{&output};
    Mixer closedMixer{nullptr};  // what the mixer is when no audio output could be opened
    bool noAudioOutput = false;
    MessageRecorder messages;
    Settings storedSettings;
    std::optional<Settings> savedSettings;
    std::pair<double, double> savedPosition;
    std::unique_ptr<CDPlayer> player;
};

}  // namespace sonarch::testing
