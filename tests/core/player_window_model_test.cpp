// The skinned window's presenter without a window: the order of start-up it drives, the
// layouts it keeps, and a close asked for before start-up has finished.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/player_harness.h"

namespace sonarch {
namespace {

using testing::PlayerHarness;
using testing::tracksOf;

// A window that only notes what start-up asks of it, and the layouts it is told of.
struct NotingView : PlayerWindowView {
    explicit NotingView(PlayerWindowModel& model) {
        QObject::connect(&model, &PlayerWindowModel::barLayoutChanged, [this](bool bar) {
            steps.push_back(bar ? "bar layout" : "normal layout");
        });
        QObject::connect(&model, &PlayerWindowModel::lowerAreaChanged,
                         [this](LowerArea area, LowerArea) {
                             steps.push_back(area == LowerArea::TrackList ? "list" : "closed");
                         });
    }
    void placeAt(TwipPoint at) override {
        steps.push_back("placed at " + std::to_string(at.left) + "," + std::to_string(at.top));
    }
    void keepOnScreens() override {}
    void showWindow() override { steps.push_back("shown"); }
    void hideToTray() override { steps.push_back("to the tray"); }
    std::vector<std::string> steps;
};

struct Started : PlayerHarness {
    explicit Started(Settings stored, bool withAudio = true)
        : PlayerHarness(tracksOf({"03:00:00", "04:00:00"}), stored) {
        noAudioOutput = !withAudio;
        makePlayer();
    }
    bool startUp(NotingView& view) {
        return windowModel->startUp({28800, 16200}, {4875, 1760}, view);
    }
};

using Steps = std::vector<std::string>;

TEST(WindowStartUp, PlacesLaysOutShowsAndOnlyThenStartsThePlayer) {
    Settings stored;
    stored.windowLeft = 300;
    stored.windowTop = 450;
    stored.trackListShown = true;
    Started f(stored);
    NotingView view(*f.windowModel);
    bool runningWhenLaidOut = true;
    QObject::connect(f.windowModel.get(), &PlayerWindowModel::barLayoutChanged,
                     [&] { runningWhenLaidOut = f.player->timer()->isActive(); });
    EXPECT_TRUE(f.startUp(view));
    EXPECT_EQ(view.steps, (Steps{"placed at 300,450", "normal layout", "list", "shown"}));
    EXPECT_FALSE(runningWhenLaidOut) << "the player starts after the window is laid out";
    EXPECT_TRUE(f.player->timer()->isActive());
    EXPECT_TRUE(f.windowModel->started());
    EXPECT_EQ(f.windowModel->lowerArea(), LowerArea::TrackList);
}

TEST(WindowStartUp, AWindowLeftInTheTrayGoesThereOnceThePlayerRunsAndNeverShows) {
    Settings stored;
    stored.inTray = true;
    Started f(stored);
    NotingView view(*f.windowModel);
    EXPECT_TRUE(f.startUp(view));
    EXPECT_EQ(view.steps, (Steps{"placed at 0,0", "normal layout", "to the tray"}));

    Settings bar = stored;
    bar.barMode = true;  // the bar layout is never hidden to the tray
    Started g(bar);
    NotingView barView(*g.windowModel);
    EXPECT_TRUE(g.startUp(barView));
    EXPECT_EQ(barView.steps, (Steps{"placed at 0,0", "bar layout", "shown"}));
}

TEST(WindowStartUp, APlayerThatCannotStartLeavesTheWindowInView) {
    Settings stored;
    stored.inTray = true;
    Started f(stored, false);
    NotingView view(*f.windowModel);
    EXPECT_FALSE(f.startUp(view));
    EXPECT_EQ(view.steps, (Steps{"placed at 0,0", "normal layout", "shown"}));
    EXPECT_EQ(f.messages.shown(), std::vector<std::string>{"Mixer can not open."});
    EXPECT_TRUE(f.windowModel->started()) << "start-up has run to its end";
}

TEST(WindowStartUp, ACloseBeforeStartUpHasFinishedComesBackAfterIt) {
    Started f({});
    PlayerWindowModel& model = *f.windowModel;
    int asked = 0;
    QObject::connect(&model, &PlayerWindowModel::closeRequested, [&] { ++asked; });
    EXPECT_FALSE(model.mayClose());
    NotingView view(model);
    f.startUp(view);
    EXPECT_EQ(asked, 0) << "not from inside start-up";
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(model.mayClose());
    model.shutDown({150, 300});
    ASSERT_TRUE(f.savedSettings);
    EXPECT_EQ(f.savedPosition.left, 150);
    EXPECT_EQ(f.savedPosition.top, 300);
}

TEST(WindowLayouts, TheBarEndsInTheTrayAndTheWindowComesBackNormal) {
    Started f({});
    PlayerWindowModel& model = *f.windowModel;
    NotingView view(model);
    f.startUp(view);
    view.steps.clear();
    model.toggleTrackList();
    model.toggleBarLayout();
    EXPECT_TRUE(f.player->settings().barMode);
    EXPECT_FALSE(f.player->settings().trackListShown) << "the bar closes the lower area";
    model.setInTray(true);
    EXPECT_FALSE(f.player->settings().barMode) << "a start from the tray is never in the bar";
    EXPECT_TRUE(f.player->settings().inTray);
    model.cameBack();
    EXPECT_FALSE(f.player->settings().inTray);
    EXPECT_EQ(view.steps, (Steps{"list", "bar layout", "normal layout"}));
    model.cameBack();
    EXPECT_EQ(view.steps.size(), 3u) << "only a window with the bar's look changes";
}

}  // namespace
}  // namespace sonarch
