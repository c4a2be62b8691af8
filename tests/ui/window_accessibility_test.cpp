// The window as a screen reader sees it: every control named, with its role, state, value
// and action, asked through Qt's accessibility interfaces as the AT-SPI bridge asks them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QSet>

#include "player_fixture.h"
#include "ui/skin_label.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;

QAccessibleInterface* reader(QObject* control) {
    return QAccessible::queryAccessibleInterface(control);
}

TEST(ScreenReaders, EveryControlHasANameARoleAndTheButtonsPress) {
    PlayerFixture f(tracksOf({"04:00:00", "03:00:00", "05:00:00"}));
    f.start();
    f.tick();
    // What the user can press, what turns on and off, what has a value, what is read.
    const QSet<QString> buttons = {
        "btrack",      "play",       "pause",    "stopbtn",    "ftrack",    "eject",
        "rew",         "ff",         "up",       "down",       "picBar",    "picExpand",
        "Picture1",    "Picture2",   "Picture4", "Picture6",   "Picture7",  "Picture8",
        "Command1",    "lOption",    "lRandom",  "picBarprev", "picBarrew", "picBarplay",
        "picBarpause", "picBarstop", "picBarff", "picBarnext", "M",         "N0",
        "N1",          "N2",         "N3",       "N4",         "N5",        "N6",
        "N7",          "N8",         "N9"};
    const QSet<QString> checkBoxes = {"lAlwaysTop", "lContinue"};
    const QSet<QString> sliders = {"picVol", "picProg", "picBarProg"};
    const QSet<QString> texts = {"timeWindow", "lTrack",   "ltTime",   "lCount",
                                 "BarTime",    "Bartrack", "BarTotal", "Info"};
    QSet<QString> seen;
    for (SkinLabel* control : f.window->findChildren<SkinLabel*>()) {
        const QString name = control->objectName();
        QAccessibleInterface* a = reader(control);
        ASSERT_NE(a, nullptr) << name.toStdString();
        QAccessible::Role expected = QAccessible::Graphic;
        if (buttons.contains(name)) {
            expected = QAccessible::Button;
        } else if (checkBoxes.contains(name)) {
            expected = QAccessible::CheckBox;
        } else if (sliders.contains(name)) {
            expected = QAccessible::Slider;
        } else if (texts.contains(name)) {
            expected = QAccessible::StaticText;
        }
        EXPECT_EQ(a->role(), expected) << name.toStdString();
        if (expected != QAccessible::Graphic) {
            seen << name;
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << name.toStdString();
        }
        auto* actions = a->actionInterface();
        const bool acts = expected == QAccessible::Button || expected == QAccessible::CheckBox;
        EXPECT_EQ(
            actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction()),
            acts)
            << name.toStdString();
    }
    EXPECT_EQ(seen, buttons | checkBoxes | sliders | texts) << "every control is in the window";

    EXPECT_EQ(reader(f.control<QWidget>("play"))->text(QAccessible::Name), "Play");
    EXPECT_EQ(reader(f.control<QWidget>("lContinue"))->text(QAccessible::Name), "Continuous play");
    EXPECT_EQ(reader(f.control<QWidget>("N1"))->text(QAccessible::Name), "Track 2");
    EXPECT_EQ(reader(f.control<QWidget>("lTrack"))->text(QAccessible::Name), f.label("lTrack"));
    EXPECT_EQ(reader(f.control<QWidget>("picBarnext"))->text(QAccessible::Name), "Next track");
    for (const auto& [field, name] : {std::pair{"lTitle", "Title"}, std::pair{"lArt", "Artist"},
                                      std::pair{"lAlb", "Album"}, std::pair{"LV", "Track list"}}) {
        EXPECT_EQ(reader(f.control<QWidget>(field))->text(QAccessible::Name), name) << field;
    }
    EXPECT_EQ(reader(f.control<QWidget>("lTitle"))->text(QAccessible::Value), f.field("lTitle"));

    // A check box tells its state, and pressing it turns it over.
    QAccessibleInterface* onTop = reader(f.control<QWidget>("lAlwaysTop"));
    EXPECT_TRUE(onTop->state().checkable);
    const bool wasOnTop = f.player->settings().alwaysOnTop;
    EXPECT_EQ(bool(onTop->state().checked), wasOnTop);
    onTop->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(f.player->settings().alwaysOnTop, !wasOnTop);
    EXPECT_EQ(bool(onTop->state().checked), !wasOnTop);

    // The volume bar's value is the level in percent.
    auto* volume = reader(f.control<QWidget>("picVol"))->valueInterface();
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->minimumValue().toInt(), 0);
    EXPECT_EQ(volume->maximumValue().toInt(), 100);
    const std::int32_t level = f.player->settings().volumeLevel;
    EXPECT_NEAR(volume->currentValue().toDouble(), level * 100.0 / 65000, 1.0);
    reader(f.control<QWidget>("picVol"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::decreaseAction());
    EXPECT_LT(f.player->settings().volumeLevel, level) << "the reader turns the volume down";
    EXPECT_LT(volume->currentValue().toDouble(), level * 100.0 / 65000);
    auto* progress = reader(f.control<QWidget>("picProg"))->valueInterface();
    ASSERT_NE(progress, nullptr);
    f.tick(60);  // 30 s into a 4-minute track: an eighth
    EXPECT_NEAR(progress->currentValue().toInt(), 12, 1);

    // Play and Stop pressed by the reader.
    reader(f.control<QWidget>("stopbtn"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    f.tick();
    ASSERT_EQ(f.player->playbackStatus(), PlaybackStatus::Stopped);
    reader(f.control<QWidget>("play"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    f.tick();
    EXPECT_EQ(f.player->playbackStatus(), PlaybackStatus::Playing);

    // A disabled button does nothing.
    f.drive.remove();
    f.tick();
    f.recorder.clear();
    reader(f.control<QWidget>("play"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(f.recorder.commands().empty());
    EXPECT_FALSE(reader(f.control<QWidget>("lTrack"))->text(QAccessible::Name).isEmpty())
        << "an empty field is named by what it shows";
}

}  // namespace
}  // namespace sonarch
