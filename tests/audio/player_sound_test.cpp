// The player window through a private PulseAudio server, as a user hears it: a click on
// the bar, the next button, pause and play are heard at once; the desktop's mixer names the
// stream after the track played; a server that dies and comes back stops the sound, the
// window says so and keeps going, and Play brings the sound back. Skipped where no such
// server can be started.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <map>
#include <sstream>

#include "app/sound_link.h"
#include "audio/audio_output_factory.h"
#include "core/player.h"
#include "core/player_services.h"
#include "core/player_window_model.h"
#include "desktop/open_with_shell.h"
#include "device/drives/drive_factory.h"
#include "device/mci/cd_audio_device.h"
#include "library/library_store.h"
#include "model/settings.h"
#include "support/level_disc.h"
#include "support/sound_server.h"
#include "ui/cd_player.h"
#include "volume/vol_control.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;
using namespace std::chrono_literals;

// A move is heard this soon, or the hand is not followed.
constexpr int kFollowMs = 150;
constexpr int kWait = 20'000;  // ms: the longest any step may take
constexpr const char* kSoundStopped = "The sound stopped: the sound server went away.";

std::map<std::string, std::string> soundStream(const PrivateSoundServer& server) {
    std::istringstream text(
        outputOf({"pactl", "--server=" + server.server(), "list", "sink-inputs"}));
    std::map<std::string, std::string> properties;
    std::string line;
    while (std::getline(text, line)) {
        const std::size_t equals = line.find(" = \"");
        if (equals != std::string::npos && line.back() == '"') {
            const std::size_t key = line.find_first_not_of(" \t");
            properties[line.substr(key, equals - key)] =
                line.substr(equals + 4, line.size() - equals - 5);
        }
    }
    return properties;
}

class PlayerSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.emplace(dir);
        if (!server->ready()) {
            GTEST_SKIP() << "no private sound server: " << server->why();
        }
        // Three tracks of six seconds, every second at its own level.
        std::vector<LevelTrack> tracks;
        for (int t = 1; t <= 3; ++t) {
            tracks.push_back({6, "Title " + std::to_string(t), "Artist " + std::to_string(t)});
        }
        auto opened = openDrive(writeLevelDisc(dir, "levels", tracks));
        ASSERT_TRUE(opened.ok()) << opened.error();
        drive = std::move(opened.value());
        record();
        auto output = openAudioOutput("system", clock);
        ASSERT_TRUE(output.ok() && output.value().opened);
        audio = std::move(output.value());
        device = std::make_unique<CdAudioDevice>(*drive, *audio.output);
        mixer = std::make_unique<Mixer>(audio.output.get());
        player = std::make_unique<Player>(
            PlayerServices{*device, *mixer, library, messages,
                           [](WindowPosition) {
                               Settings settings;
                               settings.volumeLevel = kFullVolume;  // the disc's levels as they are
                               return settings;
                           },
                           [](const Settings&, WindowPosition) {}, device.get()});
        windowModel = std::make_unique<PlayerWindowModel>(*player);
        window = std::make_unique<CDPlayer>(
            *windowModel, WindowServices{shell,
                                         DesktopRegistration(
                                             XdgFolders::fromEnvironment(),
                                             QCoreApplication::applicationFilePath().toStdString(),
                                             ":/skin/icon.png"),
                                         [] { return false; }});
        link = std::make_unique<SoundLink>(*player, *audio.desktop);
        QObject::connect(player.get(), &Player::polled, [this] { ++polls; });
        ASSERT_TRUE(window->Form_Load());
        // A disc that is read starts playing by itself.
        ASSERT_TRUE(waitForSecond(0, 1, 300)) << "the disc is not heard";
    }
    void TearDown() override {
        link.reset();
        window.reset();
        windowModel.reset();
        player.reset();
    }
    void record() {
        monitor.emplace(*server);
        ASSERT_TRUE(QTest::qWaitFor([this] { return now() >= 5; }, kWait))
            << "the monitor records nothing";
    }
    std::size_t now() { return windowsIn(monitor->size()); }
    // Lets the window run until what was heard from hundredth `from` on satisfies `enough`.
    template <class Pred>
    bool waitHeard(std::size_t from, Pred enough) {
        return QTest::qWaitFor([&] { return enough(heardSeconds(monitor->bytes(), from)); }, kWait);
    }
    bool waitForSecond(std::size_t from, int second, int ms) {
        return waitHeard(from, [&](const std::vector<int>& heard) {
            const auto at = std::find(heard.begin(), heard.end(), second);
            return at != heard.end() && heard.end() - at > ms / 10;
        });
    }
    QWidget* control(const char* name) { return window->findChild<QWidget*>(name); }
    void click(const char* name, QPoint at = {}) {
        QWidget* widget = control(name);
        ASSERT_NE(widget, nullptr) << name;
        QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
    }
    QString status() { return window->findChild<QLabel*>("Info")->text(); }
    // What the server's one stream of ours carries, once it carries `title`.
    bool streamTitled(const std::string& title) {
        return QTest::qWaitFor([&] { return soundStream(*server)["media.title"] == title; }, kWait);
    }

    EnvironmentGuard environment;
    TempDir dir;
    std::optional<PrivateSoundServer> server;
    std::optional<MonitorRecording> monitor;
    SteadyClock clock;
    std::unique_ptr<Drive> drive;
    AudioChoice audio;
    std::unique_ptr<CdAudioDevice> device;
    std::unique_ptr<Mixer> mixer;
    MessageRecorder messages;
    LibraryStore library;
    std::unique_ptr<Player> player;
    ShellOpener shell{nullptr};
    std::unique_ptr<PlayerWindowModel> windowModel;
    std::unique_ptr<CDPlayer> window;
    std::unique_ptr<SoundLink> link;
    int polls = 0;
};

TEST_F(PlayerSoundTest, TheBarTheNextButtonPauseAndPlayAreHeardAtOnce) {
    EXPECT_TRUE(streamTitled("Title 1"));
    EXPECT_EQ(soundStream(*server)["media.artist"], "Artist 1");

    // Three quarters into the six seconds of track 1.
    std::size_t from = now();
    QWidget* bar = control("picProg");
    ASSERT_NE(bar, nullptr);
    click("picProg", QPoint(bar->width() * 3 / 4, 1));
    ASSERT_TRUE(waitForSecond(from, 4, 300)) << "the click on the bar was not heard";
    MoveHeard moved = moveHeard(heardSeconds(monitor->bytes(), from), 4);
    EXPECT_LE(moved.delayMs, kFollowMs) << "the click on the bar";
    EXPECT_EQ(moved.strayWindows, 0) << "second " << moved.firstStray << " after the click";

    from = now();
    click("ftrack");
    ASSERT_TRUE(waitForSecond(from, 6, 300)) << "the next track was not heard";
    moved = moveHeard(heardSeconds(monitor->bytes(), from), 6);
    EXPECT_LE(moved.delayMs, kFollowMs) << "the next button";
    EXPECT_EQ(moved.strayWindows, 0) << "second " << moved.firstStray << " after next";
    EXPECT_TRUE(streamTitled("Title 2")) << "the stream still names the first track";
    EXPECT_EQ(soundStream(*server)["media.artist"], "Artist 2");

    from = now();
    click("pause");
    ASSERT_TRUE(waitHeard(from, [](const std::vector<int>& heard) { return heard.size() > 40; }));
    const std::vector<int> paused = heardSeconds(monitor->bytes(), from);
    const auto silence = std::find(paused.begin(), paused.end(), kSilence);
    EXPECT_LE((silence - paused.begin()) * 10, kFollowMs) << "the pause button";
    EXPECT_TRUE(std::all_of(silence, paused.end(), [](int s) { return s == kSilence; }));
    ASSERT_NE(silence, paused.begin());
    const int last = *(silence - 1);

    from = now();
    click("play");
    ASSERT_TRUE(waitHeard(from, [](const std::vector<int>& heard) {
        return std::count_if(heard.begin(), heard.end(), [](int s) { return s != kSilence; }) > 30;
    })) << "play after pause was not heard";
    const std::vector<int> played = heardSeconds(monitor->bytes(), from);
    const auto sound =
        std::find_if(played.begin(), played.end(), [](int s) { return s != kSilence; });
    EXPECT_LE((sound - played.begin()) * 10, kFollowMs) << "the play button";
    EXPECT_TRUE(*sound == last || *sound == last + 1)
        << "paused in second " << last << ", went on in second " << *sound;
}

TEST_F(PlayerSoundTest, AServerThatDiesIsToldAndPlayBringsTheSoundBack) {
    server->crash();
    ASSERT_TRUE(QTest::qWaitFor([this] { return status() == kSoundStopped; }, kWait))
        << "the status line says " << status().toStdString();
    // The window's poll goes on answering while there is no sound.
    const int before = polls;
    EXPECT_TRUE(QTest::qWaitFor([&] { return polls >= before + 3; }, kWait));
    EXPECT_EQ(status(), kSoundStopped);
    EXPECT_EQ(player->playbackStatus(), PlaybackStatus::Playing);

    server.reset();
    server.emplace(dir);
    ASSERT_TRUE(server->ready()) << server->why();
    record();
    const std::size_t from = now();
    click("play");
    EXPECT_TRUE(waitHeard(from, [](const std::vector<int>& heard) {
        return std::count_if(heard.begin(), heard.end(), [](int s) { return s != kSilence; }) > 30;
    })) << "no sound after Play";
    EXPECT_TRUE(QTest::qWaitFor([this] { return status() == "Playing . . ."; }, kWait))
        << "the status line still says " << status().toStdString();
    EXPECT_TRUE(streamTitled("Title 1")) << "the new stream is not named after the track";
}

}  // namespace
}  // namespace sonarch

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
