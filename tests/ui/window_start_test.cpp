// The window as start-up leaves it: in view or in the tray as the settings say, and on a
// screen of today.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "player_fixture.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;

TEST(WindowStart, TheTrayFlagIsClearedWheneverTheWindowComesIntoView) {
    const struct {
        const char* what;
        bool barMode;
        bool mixerOpens;
        bool shown;
    } cases[] = {
        // The bar layout never starts in the tray.
        {"in the bar layout", true, true, true},
        // Start-up ends at "Mixer can not open.", before the tray step, with the window shown.
        {"with no mixer", false, false, true},
        {"in the tray", false, true, false},
    };
    for (const auto& c : cases) {
        Settings stored;
        stored.inTray = true;
        stored.barMode = c.barMode;
        PlayerFixture f(tracksOf({"04:00:00"}), stored);
        f.noAudioOutput = !c.mixerOpens;
        f.start(c.mixerOpens);
        EXPECT_EQ(f.window->isVisible(), c.shown) << c.what;
        f.window->close();
        ASSERT_TRUE(f.savedSettings) << c.what;
        EXPECT_EQ(f.savedSettings->inTray, !c.shown)
            << c.what << ": the next start must open as this one did";
    }
}

TEST(WindowStart, APlaceOffEveryScreenIsPulledOntoTheScreenAndOneOnItIsKept) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    Settings stored;
    // Where a second monitor to the upper right was: far right of and above this screen.
    stored.windowLeft = (screen.right() + 2000) * 15;
    stored.windowTop = (screen.top() - 900) * 15;
    {
        PlayerFixture f(tracksOf({"04:00:00"}), stored);
        f.start();
        EXPECT_EQ(f.window->pos(), QPoint(screen.right() + 1 - f.window->width(), screen.top()))
            << "in the screen's upper right corner, whole";
        f.window->close();
        EXPECT_EQ(f.savedPosition.left, (screen.right() + 1 - f.window->width()) * 15.0);
    }
    stored.windowLeft = 100 * 15;
    stored.windowTop = (screen.bottom() - 20) * 15;  // the top 20 pixels of it in view
    {
        PlayerFixture f(tracksOf({"04:00:00"}), stored);
        f.start();
        EXPECT_EQ(f.window->pos(), QPoint(100, screen.bottom() - 20));
    }
}

}  // namespace
}  // namespace sonarch
