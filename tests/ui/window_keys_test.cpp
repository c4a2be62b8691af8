// The window from the keyboard and the desktop: every command's key, Tab through the
// controls, discs opened from the menus, the tray icon's clicks and wheel, and the status
// line that scrolls a text too long for it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "player_fixture.h"
#include "support/disc_images.h"
#include "ui/skin_label.h"
#include "ui/tray_icon.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;
using Commands = std::vector<std::string>;

std::vector<VirtualTrack> sixTracks() {
    return tracksOf({"04:00:00", "03:00:00", "03:30:00", "02:40:00", "05:00:00", "03:20:00"});
}

// A window whose player plays its disc, active so that it has the keyboard.
struct KeyedWindow : PlayerFixture {
    explicit KeyedWindow(std::vector<VirtualTrack> tracks = sixTracks())
        : PlayerFixture(std::move(tracks)) {
        start();
        tick();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        recorder.clear();
    }
    // The commands one key sent to `to` (the widget with the keyboard; the window by default).
    Commands sentBy(int key, Qt::KeyboardModifiers modifiers = {}, QWidget* to = nullptr) {
        QApplication::setActiveWindow(to ? to->window() : window.get());
        recorder.clear();
        QTest::keyClick(to ? to : window.get(), Qt::Key(key), modifiers);
        return recorder.commands();
    }
    std::string firstSentBy(int key, Qt::KeyboardModifiers modifiers = {}) {
        const Commands sent = sentBy(key, modifiers);
        return sent.empty() ? std::string() : sent.front();
    }
    Commands sentByClick(const char* name) {
        recorder.clear();
        click(name);
        return recorder.commands();
    }
    QAction* action(const char* name) const { return window->findChild<QAction*>(name); }
    TrayIcon* tray() const { return window->trayIcon(); }
};

TEST(WindowKeys, EachCommandHasItsKey) {
    // What each key sends from a disc playing track 1, as the mouse sends it.
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* command;
    } keys[] = {
        {Qt::Key_PageDown, {}, "play cd from 2"},
        {Qt::Key_Right, Qt::ControlModifier, "play cd from 2"},
        {Qt::Key_PageUp, {}, "play cd from 6"},
        {Qt::Key_Left, Qt::ControlModifier, "play cd from 6"},
        {Qt::Key_E, {}, "set cd door open"},
        {Qt::Key_Escape, {}, ""},
        {Qt::Key_Space, {}, "pause cd"},
        {Qt::Key_1, {}, "play cd from 1"},
        {Qt::Key_3, {}, "play cd from 3"},
        {Qt::Key_6, {}, "play cd from 6"},
    };
    for (const auto& k : keys) {
        KeyedWindow f;
        EXPECT_EQ(f.firstSentBy(k.key, k.modifiers), k.command)
            << QKeySequence(k.key | k.modifiers).toString().toStdString();
    }
    {
        KeyedWindow f;
        EXPECT_EQ(f.sentBy(Qt::Key_7), Commands{}) << "no track 7 on the disc";
        EXPECT_EQ(f.sentBy(Qt::Key_0), Commands{}) << "no track 10 on the disc";
        f.sentBy(Qt::Key_Space);
        f.tick();
        ASSERT_EQ(f.player->playbackStatus(), PlaybackStatus::Paused);
        EXPECT_EQ(f.firstSentBy(Qt::Key_Space), "play cd") << "Space plays again";
        f.tick();
        EXPECT_EQ(f.player->playbackStatus(), PlaybackStatus::Playing);
    }
    {
        // The media keys (typed on a real display in the x11 tests; QTest cannot type them).
        KeyedWindow f;
        const std::pair<const char*, Qt::Key> media[] = {{"mnuPause", Qt::Key_MediaTogglePlayPause},
                                                         {"mnuPause", Qt::Key_MediaPlay},
                                                         {"mnuStop", Qt::Key_MediaStop},
                                                         {"mnuNext", Qt::Key_MediaNext},
                                                         {"mnuPrev", Qt::Key_MediaPrevious}};
        for (const auto& [item, key] : media) {
            EXPECT_TRUE(f.action(item)->shortcuts().contains(QKeySequence(key))) << item;
        }
    }
    KeyedWindow twelve(std::vector<VirtualTrack>(12, VirtualTrack{60 * 75, true}));
    EXPECT_EQ(twelve.firstSentBy(Qt::Key_0), "play cd from 10");
    // Rewind and fast forward: what their buttons send.
    for (const auto& [key, button] :
         {std::pair{Qt::Key_Right, "ff"}, std::pair{Qt::Key_Left, "rew"}}) {
        KeyedWindow byKey;
        KeyedWindow byButton;
        byKey.tick(20);
        byButton.tick(20);
        EXPECT_EQ(byKey.sentBy(key), byButton.sentByClick(button)) << button;
    }
}

TEST(WindowKeys, VolumeExitOpenAndTheMenusShowTheKeys) {
    KeyedWindow f;
    const std::int32_t level = f.player->settings().volumeLevel;
    QTest::keyClick(f.window.get(), Qt::Key_Up);
    const std::int32_t louder = f.player->settings().volumeLevel;
    EXPECT_GT(louder, level);
    QTest::keyClick(f.window.get(), Qt::Key_Down);
    QTest::keyClick(f.window.get(), Qt::Key_Down);
    EXPECT_LT(f.player->settings().volumeLevel, level);

    EXPECT_TRUE(f.browsed.empty());
    QTest::keyClick(f.window.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(f.browsed.size(), 1u) << "Ctrl+O asks for an image";
    for (const char* pattern : {"*.cue", "*.toc", "*.nrg"}) {
        EXPECT_TRUE(f.browsed[0].filter.contains(pattern)) << pattern;
    }

    // The menu items show their keys, the buttons' tips too.
    const std::pair<const char*, QString> shown[] = {
        {"mnuPause", "Space"},     {"mnuStop", "Media Stop"}, {"mnuPrev", "PgUp"},
        {"mnuNext", "PgDown"},     {"mnuEject", "E"},         {"mnuExit", "Ctrl+Q"},
        {"mnuOpenImage", "Ctrl+O"}};
    for (const auto& [item, key] : shown) {
        EXPECT_EQ(f.action(item)->shortcut().toString(), key) << item;
    }
    EXPECT_TRUE(f.action("mnuPlay")->shortcut().isEmpty()) << "playing: Space pauses";
    f.sentBy(Qt::Key_Space);
    f.tick();
    EXPECT_EQ(f.action("mnuPlay")->shortcut().toString(), "Space") << "paused: Space plays";
    EXPECT_EQ(f.control<QWidget>("play")->toolTip(), "Play (Space)");
    EXPECT_EQ(f.control<QWidget>("btrack")->toolTip(), "Previous track (PgUp)");
    EXPECT_EQ(f.control<QWidget>("up")->toolTip(), "Increase volume (Up)");
    EXPECT_EQ(f.control<QWidget>("N2")->toolTip(), "Play track 3 (3)");

    QTest::keyClick(f.window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(f.window->isVisible()) << "Ctrl+Q ends the player";
    EXPECT_TRUE(f.savedSettings);
}

TEST(WindowKeys, AnOpenMenuKeepsItsKeys) {
    KeyedWindow f;
    auto* menu = f.window->findChild<QMenu*>("mnuPop");
    menu->popup(f.window->mapToGlobal(QPoint(10, 10)));
    QApplication::setActiveWindow(menu);
    menu->setActiveAction(f.action("mnuStop"));
    EXPECT_EQ(f.sentBy(Qt::Key_Space, {}, menu), Commands{}) << "no play/pause behind the menu";
    EXPECT_EQ(f.sentBy(Qt::Key_Down, {}, menu), Commands{}) << "moves in the menu";
    EXPECT_EQ(menu->activeAction(), f.action("mnuPrev"));
    const Commands sent = f.sentBy(Qt::Key_Return, {}, menu);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "play cd from 6") << "Return picks the item";
    EXPECT_FALSE(menu->isVisible());
}

TEST(WindowKeys, TheListAndTheFieldsKeepTheirOwnKeysAndReturnPlaysTheRow) {
    KeyedWindow f;
    QTreeWidget* list = f.list();
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(1));
    const std::int32_t level = f.player->settings().volumeLevel;
    f.sentBy(Qt::Key_Down, {}, list);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(2)) << "Down moves in the list";
    EXPECT_EQ(f.player->settings().volumeLevel, level) << "...and leaves the volume";
    f.sentBy(Qt::Key_PageDown, {}, list);
    EXPECT_NE(list->currentItem(), list->topLevelItem(2)) << "Page Down moves in the list";
    f.click("stopbtn");
    list->setCurrentItem(list->topLevelItem(2));
    EXPECT_EQ(f.sentBy(Qt::Key_Return, {}, list), (Commands{"seek cd to 03", "play cd from 03"}));

    // The read-only fields keep Left and Right for their text.
    auto* title = f.control<QLineEdit>("lTitle");
    title->setFocus();
    title->setCursorPosition(0);
    EXPECT_EQ(f.sentBy(Qt::Key_Right, {}, title), Commands{});
    EXPECT_EQ(title->cursorPosition(), 1);
}

TEST(WindowKeys, TabWalksTheControlsWithAFrameAndSpacePressesTheOneItIsOn) {
    KeyedWindow f;
    f.window->setFocus();
    QStringList visited;
    for (int i = 0; i < 80; ++i) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : f.window.get(), Qt::Key_Tab);
        if (QApplication::focusWidget()) {
            visited << QApplication::focusWidget()->objectName();
        }
    }
    for (const char* name : {"play", "pause", "stopbtn", "eject", "ff", "N0", "lContinue",
                             "lAlwaysTop", "Picture6", "Command1", "up"}) {
        EXPECT_TRUE(visited.contains(name)) << name << " never had the focus";
    }
    EXPECT_FALSE(visited.contains("PicPlay")) << "the play light is no control";

    auto* stop = f.control<SkinLabel>("stopbtn");
    const QImage unfocused = stop->grab().toImage();
    stop->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(stop->showsFocus());
    EXPECT_NE(stop->grab().toImage(), unfocused) << "the focus is seen";
    EXPECT_EQ(f.firstSentBy(Qt::Key_Space, {}), "pause cd")
        << "sent to the window, Space is still play/pause";
    f.device.send("play cd", 0);
    f.tick();
    EXPECT_EQ(f.sentBy(Qt::Key_Space, {}, stop).front(), "stop cd wait") << "Space presses Stop";

    // Focus given by a click is no keyboard focus: no frame, and Space plays or pauses.
    stop->clearFocus();
    stop->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(stop->showsFocus());
    EXPECT_EQ(f.sentBy(Qt::Key_Space, {}, stop).front(), "play cd");
}

TEST(OpenDisc, AnImageFromTheMenuAndTheDrivesListedThere) {
    KeyedWindow f;
    auto* menu = f.window->findChild<QMenu*>("mnuPop");
    const QList<QAction*> items = menu->actions();
    const int exit = int(items.indexOf(f.action("mnuExit")));
    const int open = int(items.indexOf(f.action("mnuOpenImage")));
    ASSERT_GE(exit, 0);
    EXPECT_GT(open, exit) << "after the design's items";
    EXPECT_EQ(f.action("mnuOpenImage")->text(), "Open Disc Image…");
    auto* drives = f.window->findChild<QMenu*>("mnuDrives");
    ASSERT_NE(drives, nullptr);
    EXPECT_EQ(drives->title(), "Open CD Drive");
    EXPECT_TRUE(items.contains(drives->menuAction()));

    // Cancelled: nothing changes.
    f.action("mnuOpenImage")->trigger();
    EXPECT_FALSE(f.player->openingDrive());
    EXPECT_EQ(f.player->state().trackCount, 6);

    testing::TempDir dir;
    const std::string cue = testing::writeCueBin(dir, {{750}, {750}, {750}, {750}});
    f.chosenFile = QString::fromStdString(cue);
    f.action("mnuOpenImage")->trigger();
    f.waitForOpenedDrive();
    EXPECT_EQ(f.player->state().trackCount, 4);
    EXPECT_EQ(f.list()->topLevelItemCount(), 4);
    EXPECT_EQ(f.browsed.back().folder, QDir::homePath());
    f.action("mnuOpenImage")->trigger();
    EXPECT_EQ(f.browsed.back().folder, QFileInfo(QString::fromStdString(cue)).absolutePath())
        << "the next time in the last image's folder";
    f.waitForOpenedDrive();

    // No drive: the submenu says so. Drives found when it opens are listed and open.
    emit drives->aboutToShow();
    ASSERT_EQ(drives->actions().size(), 1);
    EXPECT_EQ(drives->actions()[0]->text(), "No CD drive was found");
    EXPECT_FALSE(drives->actions()[0]->isEnabled());
    f.drivesFound = {"/nonexistent/sr0", "/nonexistent/sr1"};
    emit drives->aboutToShow();
    ASSERT_EQ(drives->actions().size(), 2);
    EXPECT_EQ(drives->actions()[1]->text(), "/nonexistent/sr1");
    drives->actions()[1]->trigger();
    f.waitForOpenedDrive();
    const QString why = f.control<QWidget>("Info")->accessibleName();
    EXPECT_NE(why.indexOf("/nonexistent/sr1"), -1)
        << "the status line says why: " << why.toStdString();
    EXPECT_EQ(f.player->state().trackCount, 4) << "the image plays on";
}

TEST(TrayIconUse, LeftClickShowsOrHidesMiddleClickPausesWheelTurnsTheVolume) {
    KeyedWindow f;
    TrayIcon* tray = f.tray();
    ASSERT_NE(tray, nullptr);
    auto* icon = f.window->findChild<QSystemTrayIcon*>("trayIcon");
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(f.window->isHidden()) << "a left click hides the window";
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(f.window->isHidden()) << "and the next shows it";
    EXPECT_TRUE(f.shown("play"));

    f.recorder.clear();
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    ASSERT_FALSE(f.recorder.commands().empty());
    EXPECT_EQ(f.recorder.commands().front(), "pause cd");
    f.tick();
    f.recorder.clear();
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    ASSERT_FALSE(f.recorder.commands().empty());
    EXPECT_EQ(f.recorder.commands().front(), "play cd");

    const std::int32_t level = f.player->settings().volumeLevel;
    f.click("up");
    const std::int32_t oneStep = f.player->settings().volumeLevel - level;
    ASSERT_GT(oneStep, 0);
    auto wheel = [](QObject* target, int delta) {
        QWheelEvent event(QPointF(2, 2), QPointF(2, 2), {}, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
    };
    const std::int32_t before = f.player->settings().volumeLevel;
    wheel(icon, -240);
    EXPECT_EQ(f.player->settings().volumeLevel, before - 2 * oneStep) << "two notches down";
    wheel(icon, 60);
    EXPECT_EQ(f.player->settings().volumeLevel, before - 2 * oneStep) << "half a notch: not yet";
    wheel(icon, 60);
    EXPECT_EQ(f.player->settings().volumeLevel, before - oneStep);
    wheel(f.control<QWidget>("picVol"), 120);
    EXPECT_EQ(f.player->settings().volumeLevel, before) << "the wheel over the volume bar";
}

TEST(TrayIconUse, TheTipNamesTheTrackPlaying) {
    KeyedWindow f;
    const TrackSnapshot track = f.player->currentTrack();
    ASSERT_FALSE(track.title.empty());
    EXPECT_EQ(f.tray()->toolTip().toStdString(), track.title + " – " + track.artist);
    f.click("pause");
    f.tick();
    EXPECT_EQ(f.tray()->toolTip(), "Sonarch Database CD Player");
    f.click("play");
    f.tick();
    f.click("ftrack");
    f.tick();
    EXPECT_EQ(f.tray()->toolTip(), QString("Track 02 – ") + QString::fromStdString(track.artist));
}

TEST(StatusLine, ATextTooLongScrollsWhileSeenAndTheTipHoldsItWhole) {
    KeyedWindow f;
    auto* info = f.control<SkinLabel>("Info");
    auto* scroll = info->findChild<QTimer*>("statusScroll");
    ASSERT_NE(scroll, nullptr);
    EXPECT_FALSE(scroll->isActive()) << "\"" << f.label("Info").toStdString() << "\" fits";

    const QString problem =
        "The drive /dev/sr0 cannot be opened: permission denied (the user may need to be in "
        "the group cdrom)";
    f.player->showDriveProblem(problem.toStdString());
    EXPECT_TRUE(scroll->isActive());
    EXPECT_EQ(info->toolTip(), problem);
    EXPECT_EQ(info->text(), problem) << "it starts at its start";
    QMetaObject::invokeMethod(scroll, "timeout", Qt::DirectConnection);
    QMetaObject::invokeMethod(scroll, "timeout", Qt::DirectConnection);
    EXPECT_TRUE(info->text().startsWith(problem.mid(2))) << info->text().toStdString();
    EXPECT_TRUE(info->text().endsWith(problem.left(2)));

    f.click("Picture6");  // to the tray
    ASSERT_TRUE(f.window->isHidden());
    EXPECT_FALSE(scroll->isActive()) << "nothing runs while nobody sees it";
    emit f.window->findChild<QSystemTrayIcon*>("trayIcon")->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(scroll->isActive());
    EXPECT_EQ(info->toolTip(), problem);

    f.player->showDriveProblem("Short");
    EXPECT_FALSE(scroll->isActive());
    EXPECT_EQ(info->text(), "Short");
}

}  // namespace
}  // namespace sonarch
