#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

#include "player_fixture.h"
#include "ui/placement.h"
#include "ui/skin_label.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;

std::vector<VirtualTrack> aDisc() {
    return tracksOf({"03:00:00", "04:00:00", "05:00:00"});
}

// A control's place in the window back in twips, within the rounding to whole pixels.
void expectAt(QWidget* control, int left, int top, int width, int height) {
    const QRect r(control->mapTo(control->window(), QPoint()), control->size());
    const std::string name = control->objectName().toStdString();
    EXPECT_NEAR(r.x() * kTwipsPerPixel, left, 8) << name;
    EXPECT_NEAR(r.y() * kTwipsPerPixel, top, 8) << name;
    EXPECT_NEAR(r.width() * kTwipsPerPixel, width, 8) << name;
    EXPECT_NEAR(r.height() * kTwipsPerPixel, height, 8) << name;
}

TEST(PlayerWindow, IsBorderlessAndSizedForTheNormalLayout) {
    PlayerFixture f(aDisc());
    CDPlayer& player = f.start();
    EXPECT_TRUE(player.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(player.width() * kTwipsPerPixel, 4875);
    EXPECT_NEAR(player.height() * kTwipsPerPixel, 1760, 8);
    EXPECT_TRUE(player.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(f.textColour("lAlwaysTop"), QColor(0, 255, 255));
    EXPECT_EQ(f.textColour("lContinue"), QColor(0, 128, 128));
}

TEST(PlayerWindow, ControlsStandAtTheirDesignedPlaces) {
    PlayerFixture f(aDisc());
    f.start();
    const struct {
        const char* name;
        int left, top, width, height;
    } places[] = {
        {"Command1", 75, 45, 135, 135},      {"lOption", 225, 250, 165, 165},
        {"lRandom", 765, 255, 165, 165},     {"Info", 270, 450, 1935, 180},
        {"picStop", 2025, 270, 150, 150},    {"N4", 2970, 270, 165, 135},
        {"N5", 2250, 405, 165, 135},         {"M", 3170, 390, 165, 135},
        {"timeWindow", 3405, 290, 765, 240}, {"lTrack", 3420, 555, 1125, 180},
        {"lCount", 4170, 420, 345, 135},     {"picVol", 4631, 510, 85, 735},
        {"Picture4", 225, 660, 180, 180},    {"lAlb", 495, 855, 4110, 210},
        {"picProg", 495, 1290, 3960, 60},    {"play", 795, 1460, 330, 195},
        {"ftrack", 2175, 1460, 300, 195},    {"eject", 2535, 1460, 315, 210},
        {"picExpand", 4320, 1530, 135, 135}, {"LV", 135, 1890, 4630, 3200},
        {"PicCover", 135, 1890, 4630, 3200}, {"picBarProg", 325, 175, 2310, 18},
        {"BarTime", 2160, 35, 495, 130},     {"picBarnext", 3870, 35, 135, 135},
    };
    for (const auto& p : places) {
        expectAt(f.control<QWidget>(p.name), p.left, p.top, p.width, p.height);
    }
}

// The designed tips, with the key of the command where it has one.
TEST(PlayerWindow, CaptionsAndTooltipsAreTheDesignedTexts) {
    PlayerFixture f(aDisc());
    f.start();
    const struct {
        const char* name;
        const char* caption;
        const char* tooltip;
    } texts[] = {
        {"lOption", "O", "Options"},
        {"lAlwaysTop", "P", "Toggle always ontop on and off"},
        {"lContinue", "C", "Continuous play"},
        {"lRandom", "R", "Set current track rating"},
        {"lIntroPlay", "I", ""},
        {"M", ">>", "More"},
        {"N0", "1", "Play track 1 (1)"},
        {"N9", "10", "Play track 10 (0)"},
        {"timeWindow", "", "Click to change time display"},
        {"picVol", "", "CD audio volume"},
        {"up", "", "Increase volume (Up)"},
        {"down", "", "Decrease volume (Down)"},
        {"Picture4", "", "Click to refresh datatbase"},
        {"Picture1", "", "Enter or edit track comment here"},
        {"Picture2", "", "Enter or edit album comment here"},
        {"Picture8", "", "Show or hide cover"},
        {"picExpand", "", "Show or hide track list"},
        {"Picture6", "", "Minimize window"},
        {"picBar", "", "Switch between the bar and the whole window"},
        {"Picture7", "", "Close window (Ctrl+Q)"},
        {"Command1", "", "Click to show menu"},
        {"btrack", "", "Previous track (PgUp)"},
        {"play", "", "Play (Space)"},
        {"pause", "", "Pause (Space)"},
        {"stopbtn", "", "Stop (Media Stop)"},
        {"ftrack", "", "Next track (PgDown)"},
        {"eject", "", "Eject (E)"},
        {"rew", "", "Rewind (Left)"},
        {"ff", "", "Fast forward (Right)"},
    };
    for (const auto& t : texts) {
        EXPECT_EQ(f.label(t.name), t.caption) << t.name;
        EXPECT_EQ(f.control<QWidget>(t.name)->toolTip(), t.tooltip) << t.name;
    }
    const QFont barFont = f.control<QWidget>("BarTime")->font();
    EXPECT_EQ(barFont.family(), "Small Fonts");
    EXPECT_EQ(barFont.pointSize(), 6);
    EXPECT_TRUE(barFont.bold());
    EXPECT_FALSE(f.control<QWidget>("Bartrack")->font().bold());
}

TEST(PlayerWindow, ButtonsShareTheirSlotsPicturesAndSwapThemWhilePressed) {
    PlayerFixture f(aDisc());
    CDPlayer& player = f.start();
    f.tick();
    auto* play = f.control<QLabel>("play");
    const ImageSlots& skin = player.imageSlots();
    EXPECT_EQ(play->pixmap().cacheKey(), skin["p2"].cacheKey());
    QTest::mousePress(play, Qt::RightButton);
    EXPECT_EQ(play->pixmap().cacheKey(), skin["p2a"].cacheKey());
    QTest::mouseRelease(play, Qt::RightButton);
    EXPECT_EQ(play->pixmap().cacheKey(), skin["p2"].cacheKey());
    EXPECT_EQ(f.control<QLabel>("picProg")->pixmap().cacheKey(), skin["sBarNormal"].cacheKey());
    EXPECT_EQ(f.control<QLabel>("picVol")->pixmap().cacheKey(), skin["picVolNormal"].cacheKey());
    EXPECT_EQ(f.control<QLabel>("imgLogo")->pixmap().cacheKey(), skin["pLogo"].cacheKey());
    for (const char* slot : {"p1", "p1a", "p5", "p6a", "dn", "uh", "sBarOver", "picVolOver",
                             "picbarRest", "picclose", "picNormal", "BarMode", "ps", "phs"}) {
        EXPECT_FALSE(skin[slot].isNull()) << slot;
    }
    EXPECT_EQ(skin["p5"].size(), QSize(20, 13));
    EXPECT_EQ(skin["p6"].size(), QSize(21, 14));
    EXPECT_EQ(skin["picNormal"].size(), QSize(325, 348));
    EXPECT_EQ(skin["BarMode"].size(), QSize(325, 16));
    EXPECT_EQ(skin["ps"].size(), QSize(8, 8));
    // Side by side, hiding to the tray and the bar layout must not look alike.
    EXPECT_NE(f.control<QWidget>("picBar")->grab().toImage(),
              f.control<QWidget>("Picture6")->grab().toImage());
}

TEST(PlayerWindow, SkinPicturesShowExactlyThePixelsOfTheirPngFiles) {
    const ImageSlots skin;
    const QDir folder(SOURCE_DIR "/resources/skin");
    const QStringList files = folder.entryList({"*.png"});
    ASSERT_GE(files.size(), 40);
    for (const QString& file : files) {
        // Qt's own reading of the file, as a pixmap of the window would have it.
        const QImage expected = QPixmap(folder.filePath(file)).toImage();
        const QImage shown = skin[QFileInfo(file).completeBaseName()].toImage();
        ASSERT_FALSE(expected.isNull()) << file.toStdString();
        EXPECT_EQ(shown.hasAlphaChannel(), expected.hasAlphaChannel()) << file.toStdString();
        EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
                  expected.convertToFormat(QImage::Format_ARGB32))
            << file.toStdString();
    }
    EXPECT_TRUE(skin["no such picture"].isNull());
}

TEST(PlayerWindow, MenusHoldTheirItems) {
    PlayerFixture f(aDisc());
    CDPlayer& player = f.start();
    auto* pop = player.findChild<QMenu*>("mnuPop");
    ASSERT_NE(pop, nullptr);
    QStringList captions;
    for (QAction* action : pop->actions()) {
        captions << (action->isSeparator() ? "-" : action->text());
    }
    EXPECT_EQ(captions, (QStringList{"About",
                                     "-",
                                     "Play",
                                     "Pause",
                                     "Stop",
                                     "Previous",
                                     "Next",
                                     "Eject",
                                     "-",
                                     "Restore",
                                     "Minimize",
                                     "-",
                                     "Options",
                                     "Library\u2026",
                                     "Add this disc to the library\u2026",
                                     "-",
                                     "Exit",
                                     "-",
                                     "Open Disc Image…",
                                     "Open CD Drive"}));
    for (const char* name : {"mnuPlay", "mnuPause", "mnuStop", "mnuPrev", "mnuNext"}) {
        EXPECT_FALSE(player.findChild<QAction*>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(player.findChild<QAction*>("mnuEject")->isEnabled());
    auto* rate = player.findChild<QMenu*>("mnuRate");
    ASSERT_EQ(rate->actions().size(), 10);
    EXPECT_EQ(rate->actions().front()->objectName(), "r10");
    EXPECT_EQ(rate->actions().back()->text(), "1");
    EXPECT_TRUE(player.findChild<QAction*>("MT11")->isVisible());
    EXPECT_FALSE(player.findChild<QAction*>("MT12")->isVisible());
    EXPECT_FALSE(player.findChild<QAction*>("MT30")->isVisible());
}

TEST(PlayerWindow, StartsInTheBarLayoutWhenItWasLeftThere) {
    Settings stored;
    stored.barMode = true;
    stored.trackListShown = true;
    stored.inTray = true;
    PlayerFixture f(aDisc(), stored);
    CDPlayer& player = f.start();
    EXPECT_EQ(player.height() * kTwipsPerPixel, 270);
    EXPECT_FALSE(f.player->settings().trackListShown);
    EXPECT_TRUE(f.player->settings().barMode);
    for (const char* name : {"BarTime", "Bartrack", "BarTotal", "picBarplay", "picBarnext"}) {
        EXPECT_TRUE(f.shown(name)) << name;
    }
    expectAt(f.control<QWidget>("picStop"), 315, 45, 150, 150);
    expectAt(f.control<QWidget>("picLogo"), 45, 10, 200, 200);
    EXPECT_EQ(f.control<QLabel>("picBar")->pixmap().cacheKey(),
              player.imageSlots()["picbarRest"].cacheKey());
    EXPECT_FALSE(player.windowState() & Qt::WindowMinimized)
        << "the bar layout is not hidden to the tray";
}

TEST(PlayerWindow, StartsHiddenInTheTrayWhenItWasLeftThere) {
    Settings stored;
    stored.inTray = true;
    PlayerFixture g(aDisc(), stored);
    CDPlayer& hidden = g.start();
    EXPECT_TRUE(hidden.isHidden());
    EXPECT_FALSE(g.shown("play")) << "the controls are put away as for a minimised window";
    EXPECT_TRUE(g.player->settings().inTray);
    EXPECT_FALSE(g.player->settings().barMode);
}

TEST(PlayerWindow, ContinuousLetterTogglesFlagAndColour) {
    PlayerFixture f(aDisc());
    f.start();
    QTest::mouseClick(f.control<QWidget>("lContinue"), Qt::LeftButton);
    EXPECT_TRUE(f.player->settings().continuousPlay);
    EXPECT_EQ(f.textColour("lContinue"), QColor(0, 255, 255));
    QTest::mouseClick(f.control<QWidget>("lContinue"), Qt::LeftButton);
    EXPECT_FALSE(f.player->settings().continuousPlay);
    EXPECT_EQ(f.textColour("lContinue"), QColor(0, 128, 128));
}

TEST(PlayerWindow, ClickingTheTimeChangesItsModeAtTheNextPoll) {
    PlayerFixture f(aDisc());
    f.start();
    f.tick(3);
    EXPECT_EQ(f.label("timeWindow"), "00:01");
    QTest::mouseClick(f.control<QWidget>("timeWindow"), Qt::LeftButton);
    EXPECT_EQ(f.control<QWidget>("timeWindow")->toolTip(), "Track remaining");
    EXPECT_EQ(f.label("timeWindow"), "00:01") << "the caption waits for the next refresh";
    f.tick();
    EXPECT_EQ(f.label("timeWindow"), "-02:59");  // 1.5 s into a 3-minute track
    EXPECT_TRUE(f.player->settings().showTrackRemaining);
}

}  // namespace
}  // namespace sonarch

namespace sonarch {
namespace {

TEST(PlayerWindow, TheTrayIconIsThereFromTheFirstDisplay) {
    PlayerFixture f(aDisc());
    CDPlayer& player = f.start();
    auto* tray = player.findChild<QSystemTrayIcon*>("trayIcon");
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(tray->isVisible());
    EXPECT_EQ(tray->toolTip(), "Sonarch Database CD Player");
    EXPECT_FALSE(player.isHidden());
}

TEST(PlayerWindow, TheTrackListReopensAsItWasLeft) {
    Settings stored;
    stored.trackListShown = true;
    PlayerFixture f(aDisc(), stored);
    CDPlayer& player = f.start();
    EXPECT_NEAR(player.height() * kTwipsPerPixel, 5255, 8);
    EXPECT_TRUE(f.player->settings().trackListShown);
    EXPECT_FALSE(f.shown("Picture8"));
    QTest::mouseClick(f.control<QWidget>("picExpand"), Qt::LeftButton);
    EXPECT_NEAR(player.height() * kTwipsPerPixel, 1760, 8);
    EXPECT_FALSE(f.player->settings().trackListShown);
    EXPECT_TRUE(f.shown("Picture8"));
}

}  // namespace
}  // namespace sonarch

namespace sonarch {
namespace {

TEST(Layouts, DoubleClickAndTheBarButtonToggleTheBarLayoutAndLeaveToNormal) {
    Settings stored;
    stored.trackListShown = true;
    PlayerFixture f(aDisc(), stored);
    CDPlayer& player = f.start();
    f.tick(3);
    const QString time = f.label("timeWindow");
    QTest::mouseDClick(&player, Qt::LeftButton, {}, QPoint(150, 100));
    EXPECT_EQ(player.height() * kTwipsPerPixel, 270);
    EXPECT_TRUE(f.player->settings().barMode);
    EXPECT_FALSE(f.player->settings().trackListShown);
    EXPECT_EQ(f.label("BarTime"), time) << "the strip shows the current texts at once";
    EXPECT_EQ(f.label("Bartrack"), f.label("lTrack"));
    QTest::mouseClick(f.control<QWidget>("picBar"), Qt::LeftButton);
    EXPECT_NEAR(player.height() * kTwipsPerPixel, 1760, 8) << "normal, not expanded";
    EXPECT_FALSE(f.player->settings().barMode);
    EXPECT_FALSE(f.shown("BarTime"));
    expectAt(f.control<QWidget>("picStop"), 2025, 270, 150, 150);
    QTest::mouseClick(f.control<QWidget>("picExpand"), Qt::LeftButton);
    EXPECT_NEAR(player.height() * kTwipsPerPixel, 5255, 8);
}

TEST(Layouts, HidingToTheTrayHidesTheControlsAndRestoringShowsThem) {
    PlayerFixture f(aDisc());
    CDPlayer& player = f.start();
    QTest::mouseClick(f.control<QWidget>("Picture6"), Qt::LeftButton);
    EXPECT_TRUE(player.isHidden());
    EXPECT_TRUE(f.player->settings().inTray);
    for (const char* name : {"play", "Picture1", "N0", "timeWindow", "picVol"}) {
        EXPECT_FALSE(f.shown(name)) << name;
    }
    player.findChild<QAction*>("mnuRestore")->trigger();
    EXPECT_FALSE(player.isHidden());
    EXPECT_FALSE(f.player->settings().inTray);
    for (const char* name : {"play", "Picture1", "N0", "timeWindow", "picVol"}) {
        EXPECT_TRUE(f.shown(name)) << name;
    }
}

TEST(Layouts, MovingOverTheBackgroundPutsEveryHighlightBack) {
    PlayerFixture f(aDisc());
    CDPlayer& player = f.start();
    f.tick();
    QTest::mouseMove(f.control<QWidget>("down"), QPoint(2, 2));
    QTest::mouseMove(f.control<QWidget>("up"), QPoint(2, 2));
    QTest::mouseMove(f.control<QWidget>("lRandom"), QPoint(2, 2));
    const ImageSlots& skin = player.imageSlots();
    EXPECT_EQ(f.control<QLabel>("down")->pixmap().cacheKey(), skin["dh"].cacheKey())
        << "moving straight onto up leaves down highlighted";
    EXPECT_EQ(f.control<QLabel>("up")->pixmap().cacheKey(), skin["uh"].cacheKey());
    EXPECT_EQ(f.textColour("lRandom"), QColor(0, 255, 255));
    QTest::mouseMove(&player, QPoint(3, 60));  // the bare margin left of the buttons
    EXPECT_EQ(f.control<QLabel>("down")->pixmap().cacheKey(), skin["dn"].cacheKey());
    EXPECT_EQ(f.control<QLabel>("up")->pixmap().cacheKey(), skin["un"].cacheKey());
    EXPECT_EQ(f.textColour("lRandom"), QColor(0, 128, 128));
    EXPECT_EQ(f.control<QLabel>("picProg")->pixmap().cacheKey(), skin["sBarNormal"].cacheKey());
}

TEST(Layouts, WindowButtonsLookPressedInOnlyWhileAButtonIsDown) {
    PlayerFixture f(aDisc());
    f.start();
    auto* expand = f.control<SkinLabel>("picExpand");
    const qint64 picture = expand->pixmap().cacheKey();
    QTest::mousePress(expand, Qt::RightButton);
    EXPECT_EQ(expand->borderStyle(), 1);
    EXPECT_EQ(expand->pixmap().cacheKey(), picture) << "the picture itself does not change";
    QTest::mouseRelease(expand, Qt::RightButton);
    EXPECT_EQ(expand->borderStyle(), 0);
}

TEST(Layouts, AlwaysOnTopLetterTogglesStackingAndColour) {
    PlayerFixture f(aDisc());
    CDPlayer& player = f.start();
    QTest::mouseClick(f.control<QWidget>("lAlwaysTop"), Qt::LeftButton);
    EXPECT_FALSE(player.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(f.textColour("lAlwaysTop"), QColor(0, 128, 128));
    QTest::mouseClick(f.control<QWidget>("lAlwaysTop"), Qt::LeftButton);
    EXPECT_TRUE(player.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(f.textColour("lAlwaysTop"), QColor(0, 255, 255));
    EXPECT_FALSE(player.isHidden()) << "changing the stacking keeps the window shown";
}

}  // namespace
}  // namespace sonarch
