// The window's side of what the desktop does to the player: a disc image dropped on it, a
// request to come back into view, a close that comes while start-up is still running.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "player_fixture.h"
#include "support/disc_images.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;

std::vector<VirtualTrack> twoTracks() {
    return tracksOf({"04:00:00", "03:00:00"});
}

// Drags `data` over the window and drops it; true when the window took the drag.
bool dropOn(QWidget& window, const QMimeData& data) {
    const QPointF middle(window.width() / 2.0, window.height() / 2.0);
    QDragEnterEvent enter(middle.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    return drop.isAccepted();
}

TEST(DesktopWindow, ADiscImageDroppedOnTheWindowIsPlayed) {
    PlayerFixture f(twoTracks());
    f.start();
    f.tick();
    testing::TempDir dir;
    const std::string cue = testing::writeCueBin(dir, {{750}, {750}, {750}, {750}});

    QMimeData text;
    text.setText(QString::fromStdString(cue));
    EXPECT_FALSE(dropOn(*f.window, text)) << "only files are taken";
    EXPECT_EQ(f.player->state().trackCount, 2);

    QMimeData file;
    file.setUrls(
        {QUrl("https://example.org/x.cue"), QUrl::fromLocalFile(QString::fromStdString(cue))});
    EXPECT_TRUE(dropOn(*f.window, file));
    f.waitForOpenedDrive();
    EXPECT_EQ(f.player->state().trackCount, 4);
    EXPECT_EQ(f.list()->topLevelItemCount(), 4);
    EXPECT_EQ(f.player->playbackStatus(), PlaybackStatus::Playing);
}

TEST(DesktopWindow, ARaiseBringsTheWindowBackFromTheTray) {
    PlayerFixture f(twoTracks());
    f.start();
    f.click("Picture6");
    ASSERT_FALSE(f.window->isVisible());
    f.player->requestRaise();
    EXPECT_TRUE(f.window->isVisible());
    EXPECT_FALSE(f.window->isMinimized());
}

TEST(DesktopWindow, AWindowClosedDuringStartUpClosesTheNormalWayOnceStarted) {
    for (const bool mixerOpens : {false, true}) {
        PlayerFixture f(twoTracks());
        f.noAudioOutput = !mixerOpens;
        // As a signal does while start-up waits for the OK of "Mixer can not open.".
        f.recorder.observe([&](std::string_view command) {
            if (command == "set cd time format tmsf" && f.window && !f.savedSettings) {
                f.window->close();
            }
        });
        f.start(mixerOpens);
        EXPECT_TRUE(f.window->isVisible()) << "start-up runs to its end first";
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.savedSettings.has_value(); }, 5000))
            << "never shut down (mixer opens: " << mixerOpens << ")";
        EXPECT_FALSE(f.window->isVisible());
        EXPECT_TRUE(f.player->isShutDown());
    }
}

}  // namespace
}  // namespace sonarch
