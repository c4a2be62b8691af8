// The window's own behaviours on the offscreen platform: dragging it (the window follows
// the pointer itself there, as no window system moves it), the tray icon and minimising,
// the bar layout's tooltips, and the skin's colours in the window and its menus.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTest>

#include "player_fixture.h"
#include "ui/placement.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;

std::vector<VirtualTrack> aDisc() {
    return tracksOf({"03:00:00", "04:00:00", "05:00:00", "03:00:00", "03:00:00", "03:00:00",
                     "03:00:00", "03:00:00"});
}

const QPoint kBackground(3, 60);  // the bare margin left of the comment buttons

// Mouse events on the window's background, given on the desktop as a pointer moves there.
void send(QWidget* window, QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(window->mapFromGlobal(global)), QPointF(global), button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

// Presses on the background, drags the window so that its top-left corner would be at
// `target`, and lets go.
void dragTo(QWidget* window, QPoint target) {
    const QPoint grab = window->mapToGlobal(kBackground);
    send(window, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(window, QEvent::MouseMove, grab + target - window->pos(), Qt::LeftButton);
    send(window, QEvent::MouseButtonRelease, grab + target - window->pos(), Qt::NoButton);
}

void hoverBackground(QWidget* window) {
    send(window, QEvent::MouseMove, window->mapToGlobal(kBackground + QPoint(1, 1)), Qt::NoButton);
}

TEST(WindowDrag, APressAloneMovesNothingUntilThePointerPassesTheDragDistance) {
    PlayerFixture f(aDisc());
    CDPlayer& window = f.start();
    window.move(300, 300);
    const QPoint grab = window.mapToGlobal(kBackground);
    const int distance = QGuiApplication::styleHints()->startDragDistance();
    send(&window, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(&window, QEvent::MouseMove, grab + QPoint(0, distance - 1), Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(300, 300)) << "within the drag distance: a click, not a drag";
    send(&window, QEvent::MouseMove, grab + QPoint(0, distance + 40), Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(300, 300 + distance + 40)) << "the window follows the pointer";
    send(&window, QEvent::MouseMove, grab + QPoint(-50, 100), Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(250, 400));
    send(&window, QEvent::MouseButtonRelease, grab + QPoint(-50, 100), Qt::NoButton);
    EXPECT_EQ(window.pos(), QPoint(250, 400)) << "left where it was dropped";

    // A press and release in place, twice: the double-click still toggles the layout.
    QTest::mouseDClick(&window, Qt::LeftButton, {}, kBackground);
    EXPECT_TRUE(f.player->settings().barMode);
    EXPECT_EQ(window.pos(), QPoint(250, 400));
}

TEST(WindowDrag, ADropNearTheTopTakesTheWindowUpAndTheNextMoveTheRest) {
    PlayerFixture f(aDisc());
    CDPlayer& window = f.start();
    window.move(300, 300);
    const int screenTop = window.screen()->geometry().top();

    dragTo(&window, {300, screenTop + 5});  // 75 twips
    EXPECT_EQ(window.pos(), QPoint(300, screenTop)) << "at the top as soon as it is dropped";

    dragTo(&window, {300, screenTop + 10});  // 150 twips: beyond the drop's rule
    EXPECT_EQ(window.pos(), QPoint(300, screenTop + 10));
    hoverBackground(&window);
    EXPECT_EQ(window.pos(), QPoint(300, screenTop)) << "the next move's rule takes it up";

    dragTo(&window, {300, screenTop + 17});  // 255 twips: beyond both
    hoverBackground(&window);
    EXPECT_EQ(window.pos(), QPoint(300, screenTop + 17));
}

TEST(TrayIcon, MinimizeHidesTheWindowAndTheIconsDoubleClickBringsItBackNormal) {
    PlayerFixture f(aDisc());
    CDPlayer& window = f.start();
    auto* tray = window.findChild<QSystemTrayIcon*>("trayIcon");
    ASSERT_NE(tray, nullptr);
    window.findChild<QAction*>("mnuMin")->trigger();
    EXPECT_TRUE(window.isHidden());
    EXPECT_FALSE(f.shown("play"));
    EXPECT_FALSE(f.player->settings().inTray) << "the menu's Minimize leaves the flag alone";

    emit tray->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(window.isHidden());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(f.shown("play"));
    EXPECT_TRUE(f.shown("timeWindow"));
    EXPECT_FALSE(f.player->settings().inTray);
}

TEST(TrayIcon, RestoreOnAVisibleWindowChangesNothing) {
    Settings stored;
    stored.trackListShown = true;
    PlayerFixture f(aDisc(), stored);
    CDPlayer& window = f.start();
    const QRect before = window.geometry();
    window.findChild<QAction*>("mnuRestore")->trigger();
    EXPECT_EQ(window.geometry(), before);
    EXPECT_TRUE(f.player->settings().trackListShown);
    EXPECT_FALSE(f.shown("Picture8")) << "the list stays open";
    EXPECT_FALSE(window.isHidden());
}

TEST(TrayIcon, HiddenFromTheBarLayoutTheWindowComesBackInTheNormalLayout) {
    PlayerFixture f(aDisc());
    CDPlayer& window = f.start();
    f.click("picBar");
    ASSERT_EQ(window.height() * kTwipsPerPixel, 270);
    f.click("Picture6");
    EXPECT_TRUE(window.isHidden());
    EXPECT_FALSE(f.player->settings().barMode);
    EXPECT_EQ(window.height() * kTwipsPerPixel, 270) << "hiding leaves the layout as it is";

    emit window.findChild<QSystemTrayIcon*>("trayIcon")->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_NEAR(window.height() * kTwipsPerPixel, 1760, 8);
    EXPECT_FALSE(f.shown("BarTime"));
    EXPECT_FALSE(f.shown("picBarplay"));
    EXPECT_EQ(f.control<QLabel>("picBar")->pixmap().cacheKey(),
              window.imageSlots()["picbarNorm"].cacheKey());
    EXPECT_FALSE(f.player->settings().barMode);
}

TEST(TrayIcon, WithoutANotificationAreaHidingMinimisesTheWindowInstead) {
    PlayerFixture f(aDisc());
    f.trayAvailable = false;
    CDPlayer& window = f.start();
    f.click("Picture6");
    EXPECT_FALSE(window.isHidden()) << "a hidden window could not be found again";
    EXPECT_TRUE(window.isMinimized());
    EXPECT_TRUE(f.player->settings().inTray);
    EXPECT_FALSE(f.shown("play"));

    window.findChild<QAction*>("mnuRestore")->trigger();
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(f.shown("play"));
    EXPECT_FALSE(f.player->settings().inTray);
}

TEST(TrayIcon, TheIconsContextClickOpensThePlayersMenu) {
    PlayerFixture f(aDisc());
    CDPlayer& window = f.start();
    auto* menu = window.findChild<QMenu*>("mnuPop");
    emit window.findChild<QSystemTrayIcon*>("trayIcon")->activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(menu->isVisible());
    menu->close();
}

TEST(BarTooltips, TheBarLabelsTellTheCurrentTrackOnlyInTheBarLayout) {
    PlayerFixture f(aDisc());
    CDPlayer& window = f.start();
    f.tick();
    f.player->playTrack(7);
    f.tick();
    hoverBackground(&window);
    for (const char* name : {"Bartrack", "BarTotal", "BarTime"}) {
        EXPECT_EQ(f.control<QWidget>(name)->toolTip(), "") << "normal layout: " << name;
    }
    f.click("picBar");
    send(&window, QEvent::MouseMove, window.mapToGlobal(QPoint(1, 8)), Qt::LeftButton);
    EXPECT_EQ(f.control<QWidget>("Bartrack")->toolTip(), "") << "not while a button is held";
    send(&window, QEvent::MouseMove, window.mapToGlobal(QPoint(1, 8)), Qt::NoButton);
    for (const char* name : {"Bartrack", "BarTotal", "BarTime"}) {
        // The default rows of a disc not in the library: artist "Unknown", title "Track 07".
        EXPECT_EQ(f.control<QWidget>(name)->toolTip(), "Track 07 - Unknown - Track 07") << name;
    }
}

TEST(BarTooltips, AnEmptyTrackListLeavesThemAsTheyWere) {
    PlayerFixture f(std::vector<VirtualTrack>{});  // an empty drive
    CDPlayer& window = f.start();
    f.tick();
    f.click("picBar");
    f.control<QWidget>("BarTime")->setToolTip("as before");
    send(&window, QEvent::MouseMove, window.mapToGlobal(QPoint(1, 8)), Qt::NoButton);
    EXPECT_EQ(f.control<QWidget>("BarTime")->toolTip(), "as before");
    EXPECT_EQ(f.control<QWidget>("Bartrack")->toolTip(), "");
}

// WCAG's contrast ratio of two colours, 1 (none) to 21 (black on white).
double contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour of an item's text: the pixel of its row that stands out most from the ground.
QColor textColour(const QImage& image, const QRect& row, const QColor& ground) {
    QColor best = ground;
    for (int y = row.top(); y <= row.bottom(); ++y) {
        for (int x = row.left(); x <= row.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (contrast(c, ground) > contrast(best, ground)) {
                best = c;
            }
        }
    }
    return best;
}

TEST(SkinLooks, MenusAreInTheSkinsColoursReadableWithDisabledItemsDimmed) {
    PlayerFixture f(aDisc());
    CDPlayer& window = f.start();  // no disc read yet: the transport items are disabled
    for (const char* name : {"mnuPop", "mnuRate", "mnuMore"}) {
        auto* menu = window.findChild<QMenu*>(name);
        ASSERT_NE(menu, nullptr);
        menu->ensurePolished();
        menu->resize(menu->sizeHint());
        const QImage image = menu->grab().toImage();
        const QColor ground = image.pixelColor(image.width() / 2, 2);  // the menu's padding
        EXPECT_GT(contrast(ground, Qt::white), 10) << name << ": a dark ground, not plain white";
        EXPECT_LT(ground.red(), ground.blue()) << name << ": navy";
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible() || action->text().isEmpty()) {
                continue;
            }
            const double ratio =
                contrast(textColour(image, menu->actionGeometry(action), ground), ground);
            if (action->isEnabled()) {
                EXPECT_GE(ratio, 7.0)
                    << name << " " << action->text().toStdString() << " at "
                    << menu->actionGeometry(action).y() << " of " << image.height();
            } else {
                EXPECT_GT(ratio, 1.5) << action->text().toStdString() << " still legible";
                EXPECT_LT(ratio, 4.0) << action->text().toStdString() << " visibly disabled";
            }
        }
    }
}

TEST(SkinLooks, TheStripBelowTheBackgroundPictureHasTheWindowsColour) {
    Settings stored;
    stored.trackListShown = true;
    PlayerFixture f(aDisc(), stored);
    CDPlayer& window = f.start();
    const QColor navy(6, 12, 38);  // the skin's deep navy, 0x260C06
    for (bool bar : {false, true}) {
        if (bar) {
            f.click("picBar");
        }
        const int pictureHeight = window.imageSlots()[bar ? "BarMode" : "picNormal"].height();
        const QImage image = window.grab().toImage();
        ASSERT_GT(image.height(), pictureHeight) << "the window is taller than its picture";
        for (int y = pictureHeight; y < image.height(); ++y) {
            EXPECT_EQ(image.pixelColor(1, y), navy) << (bar ? "bar" : "expanded") << " row " << y;
            EXPECT_EQ(image.pixelColor(image.width() - 2, y), navy);
        }
    }
}

}  // namespace
}  // namespace sonarch
