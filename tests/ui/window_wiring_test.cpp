// The window's wiring: its controls send the player's commands, and what the player
// reports reaches its controls.
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <QTimer>

#include "player_fixture.h"
#include "ui/skin_label.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;
using Commands = std::vector<std::string>;

const QColor kCyan(0, 255, 255);
const QColor kYellow(255, 255, 0);
const QColor kDim(0xC0, 0xC0, 0);

std::vector<VirtualTrack> sixTracks() {
    return tracksOf({"04:00:00", "03:00:00", "03:30:00", "02:40:00", "05:00:00", "03:20:00"});
}

// A window whose player has read its disc, with the command log emptied.
struct Playing : PlayerFixture {
    explicit Playing(std::vector<VirtualTrack> tracks = sixTracks(), Settings stored = {})
        : PlayerFixture(std::move(tracks), std::move(stored)) {
        start();
        tick();
        recorder.clear();
    }
    // The first command a gesture sent.
    std::string firstSent(const std::function<void()>& act) {
        recorder.clear();
        act();
        const Commands sent = recorder.commands();
        return sent.empty() ? std::string() : sent.front();
    }
    QAction* action(const char* name) { return window->findChild<QAction*>(name); }
};

TEST(WindowWiring, ButtonsBarButtonsAndMenuItemsSendTheirCommands) {
    // Each from a player playing track 1 from its start.
    const struct {
        const char* control;
        const char* menuItem;
        const char* command;
    } commands[] = {
        {"stopbtn", "mnuStop", "stop cd wait"},  {"play", "mnuPlay", "play cd"},
        {"ftrack", "mnuNext", "play cd from 2"}, {"btrack", "mnuPrev", "play cd from 6"},
        {"pause", "mnuPause", "pause cd"},       {"eject", "mnuEject", "set cd door open"},
    };
    for (const auto& c : commands) {
        Playing byButton;
        EXPECT_EQ(byButton.firstSent([&] { byButton.click(c.control); }), c.command) << c.control;
        Playing byMenu;
        EXPECT_EQ(byMenu.firstSent([&] { byMenu.action(c.menuItem)->trigger(); }), c.command)
            << c.menuItem;
    }
    Playing f;
    EXPECT_EQ(f.firstSent([&] { f.click("ff"); }), "set cd time format milliseconds");
    EXPECT_EQ(f.firstSent([&] { f.click("rew"); }), "set cd time format milliseconds");
    const std::pair<const char*, const char*> barButtons[] = {
        {"picBarstop", "stop cd wait"},
        {"picBarplay", "play cd"},
        {"picBarff", "set cd time format milliseconds"},
        {"picBarrew", "set cd time format milliseconds"},
        {"picBarnext", "play cd from 2"},
        {"picBarprev", "play cd from 1"},
        {"picBarpause", "pause cd"},
    };
    for (const auto& [control, command] : barButtons) {
        EXPECT_EQ(f.firstSent([&] { f.click(control); }), command) << control;
    }
}

TEST(WindowWiring, TheControlsShowWhatThePlayerReports) {
    Settings stored;
    stored.continuousPlay = true;
    PlayerFixture f(sixTracks(), stored);
    f.start();
    EXPECT_EQ(f.textColour("lContinue"), kCyan) << "continuous play stored on";
    EXPECT_FALSE(f.control<QWidget>("play")->isEnabled());
    f.tick(5);
    EXPECT_EQ(f.label("Info"), "Playing . . .");
    EXPECT_EQ(f.label("lTrack"), "Track 01 - [04:00]");
    EXPECT_EQ(f.label("lCount"), "06");
    EXPECT_EQ(f.label("timeWindow"), "00:02");
    EXPECT_EQ(f.field("lTitle"), "Track 01");
    EXPECT_EQ(f.field("lArt"), "Unknown");
    EXPECT_EQ(f.textColour("N0"), kCyan);
    EXPECT_EQ(f.textColour("N5"), kYellow);
    EXPECT_EQ(f.textColour("N6"), kDim);
    EXPECT_TRUE(f.control<QWidget>("play")->isEnabled());
    EXPECT_TRUE(f.window->findChild<QAction*>("mnuStop")->isEnabled());
    EXPECT_TRUE(f.shown("picProg"));
    // The play light blinks by its picture.
    EXPECT_EQ(f.shown("PicPlay") && !f.control<QLabel>("PicPlay")->pixmap().isNull(),
              f.display().indicatorShown(Indicator::Play));

    QTreeWidget* list = f.list();
    ASSERT_EQ(list->topLevelItemCount(), 6);
    const QStringList first = {"01", "04:00", "Track 01", "Unknown", "Unknown", "1", "0"};
    for (int column = 0; column < 7; ++column) {
        EXPECT_EQ(list->topLevelItem(0)->text(column), first[column]) << column;
    }
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    for (int hidden : {4, 5, 6}) {
        EXPECT_TRUE(list->isColumnHidden(hidden));
    }
    // The user picks another row; the next poll selects the current track again.
    list->setCurrentItem(list->topLevelItem(4));
    f.tick();
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());

    f.drive.remove();
    f.tick();
    EXPECT_FALSE(f.control<QWidget>("play")->isEnabled());
    EXPECT_TRUE(f.control<QWidget>("eject")->isEnabled());
    for (const char* name : {"timeWindow", "lTrack", "ltTime", "lCount", "Info"}) {
        EXPECT_EQ(f.label(name), "") << name;
    }
    EXPECT_EQ(f.field("lTitle"), "");
    EXPECT_FALSE(f.shown("picProg"));
}

TEST(WindowWiring, EjectShowsItsTextsAndDimsTheNumbers) {
    Playing f;
    QString infoWhenClosing;
    f.recorder.observe([&](std::string_view command) {
        if (command == "set cd door closed") {
            infoWhenClosing = f.label("Info");
        }
    });
    f.click("eject");
    auto* menuItem = f.window->findChild<QAction*>("mnuEject");
    EXPECT_EQ(menuItem->text(), "Close");
    EXPECT_EQ(f.list()->topLevelItemCount(), 0);
    EXPECT_EQ(f.textColour("N0"), kDim);
    EXPECT_EQ(f.label("Info"), "Data or no disc loaded");
    f.click("eject");
    EXPECT_EQ(infoWhenClosing, "Loading, please wait . . .");
    EXPECT_EQ(menuItem->text(), "Eject");
    EXPECT_EQ(f.list()->topLevelItemCount(), 6);
}

TEST(WindowWiring, NumberLabelsAndTheListSelectTracks) {
    Playing f;
    QTest::mousePress(f.control<QWidget>("N6"), Qt::LeftButton);
    EXPECT_EQ(f.textColour("N6"), kDim) << "no press feedback beyond the disc";
    QTest::mouseRelease(f.control<QWidget>("N6"), Qt::LeftButton);
    EXPECT_TRUE(f.recorder.commands().empty());

    QTest::mousePress(f.control<QWidget>("N0"), Qt::LeftButton);
    EXPECT_EQ(f.textColour("N0"), QColor(255, 255, 255));
    QTest::mouseRelease(f.control<QWidget>("N0"), Qt::LeftButton);
    EXPECT_EQ(f.recorder.commands(), Commands{"play cd from 1"});
    f.tick();
    EXPECT_EQ(f.textColour("N0"), kCyan) << "the current track's colour comes back";

    f.click("stopbtn");
    QTreeWidget* list = f.list();
    list->setCurrentItem(list->topLevelItem(2));
    f.recorder.clear();
    emit list->itemDoubleClicked(list->topLevelItem(2), 0);
    EXPECT_EQ(f.recorder.commands(), (Commands{"seek cd to 03", "play cd from 03"}));
}

TEST(WindowWiring, MoreTracksMenuListsElevenToThirtyAndPlays) {
    Playing f(std::vector<VirtualTrack>(40, VirtualTrack{60 * 75, true}));
    QTest::mouseRelease(f.control<QWidget>("M"), Qt::LeftButton);
    EXPECT_EQ(f.action("MT11")->text(), "11");
    EXPECT_TRUE(f.action("MT30")->isVisible());
    EXPECT_EQ(f.action("MT30")->text(), "30");
    EXPECT_EQ(f.action("MT31"), nullptr);
    f.recorder.clear();
    f.action("MT25")->trigger();
    EXPECT_EQ(f.recorder.commands(), Commands{"play cd from 25"});

    Playing quarter(std::vector<VirtualTrack>(25, VirtualTrack{60 * 75, true}));
    QTest::mouseRelease(quarter.control<QWidget>("M"), Qt::LeftButton);
    EXPECT_TRUE(quarter.action("MT25")->isVisible());
    EXPECT_EQ(quarter.action("MT25")->text(), "25");
    EXPECT_FALSE(quarter.action("MT26")->isVisible());

    Playing six;
    QTest::mouseRelease(six.control<QWidget>("M"), Qt::LeftButton);
    EXPECT_FALSE(six.action("MT12")->isVisible()) << "ten tracks or fewer: no menu";
    EXPECT_EQ(six.action("MT11")->text(), "");
}

TEST(WindowWiring, TheProgressBarSeeksAndPreviews) {
    Playing f(tracksOf({"04:00:00", "03:00:00", "05:00:00"}));
    f.device.send("play cd from 2", 0);
    f.tick();
    QWidget* bar = f.control<QWidget>("picProg");
    QTest::mouseMove(bar, QPoint(bar->width() / 4, 1));
    EXPECT_EQ(bar->toolTip(), "Seek to: 25% - [00:45]");
    EXPECT_EQ(f.control<QLabel>("picProg")->pixmap().cacheKey(),
              f.window->imageSlots()["sBarOver"].cacheKey());
    auto* skinBar = f.control<SkinLabel>("picProg");
    emit skinBar->mouseMove(Qt::RightButton, QPointF(bar->width() * 0.75, 1));
    EXPECT_EQ(bar->toolTip(), "Seek to: 25% - [00:45]") << "a right-button move only highlights";
    f.recorder.clear();
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 1));
    const Commands sent = f.recorder.commands();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[1], "play cd from 330000");
    EXPECT_EQ(f.label("timeWindow"), "01:30");
    f.recorder.clear();
    QTest::mouseClick(bar, Qt::RightButton);
    EXPECT_TRUE(f.recorder.commands().empty());

    PlayerFixture empty(tracksOf({"04:00:00", "03:00:00"}));
    empty.start();
    QWidget* idle = empty.control<QWidget>("picProg");
    QTest::mouseMove(idle, QPoint(idle->width() / 4, 1));
    EXPECT_TRUE(idle->toolTip().isEmpty()) << "no disc read yet: nothing happens";
    EXPECT_EQ(empty.control<QLabel>("picProg")->pixmap().cacheKey(),
              empty.window->imageSlots()["sBarNormal"].cacheKey());
}

TEST(WindowWiring, TheVolumeBarAndButtonsSetTheLevel) {
    PlayerFixture f(sixTracks());
    f.start();
    const Player& player = *f.player;
    auto* bar = f.control<SkinLabel>("picVol");
    auto* fill = f.control<QWidget>("picVolfill");
    emit bar->mouseUp(Qt::LeftButton, QPointF(2, bar->height() / 2.0));
    EXPECT_EQ(player.settings().volumeLevel, 32500);
    EXPECT_NEAR(fill->y(), bar->height() / 2, 1) << "half full";
    f.click("up");
    EXPECT_GT(player.settings().volumeLevel, 32500);
    QTest::mouseClick(bar, Qt::RightButton, {}, QPoint(2, 10));
    EXPECT_GT(player.settings().volumeLevel, 32500) << "the right button sets nothing";
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(2, bar->height() + 20));
    EXPECT_EQ(f.output.volume(), 650);
}

TEST(WindowWiring, ClosingStopsTheDiscAndSavesThePosition) {
    PlayerFixture f(sixTracks());
    CDPlayer& window = f.start();
    f.tick(2);
    const std::size_t before = f.recorder.log().size();
    window.close();
    EXPECT_EQ(f.sentSince(before), (std::vector<std::string>{"stop cd", "close cd", "close all"}));
    ASSERT_TRUE(f.savedSettings);
    EXPECT_EQ(f.savedPosition.left, window.x() * 15.0);
    EXPECT_EQ(f.savedPosition.top, window.y() * 15.0);
    EXPECT_FALSE(f.player->timer()->isActive());
}

}  // namespace
}  // namespace sonarch
