#pragma once

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "desktop/open_with_shell.h"
#include "support/player_harness.h"
#include "ui/cd_player.h"

namespace sonarch::testing {

// The real player window over the real player (see PlayerHarness).
class PlayerFixture : public PlayerHarness {
public:
    using PlayerHarness::PlayerHarness;
    ~PlayerFixture() override { window.reset(); }

    // Each start of the library window the menus asked for: to add the disc or not, and
    // the track and rating given before it was added.
    std::vector<std::tuple<bool, int, int>> libraryWindowStarts;

    CDPlayer& start(bool expectLoaded = true) {
        makePlayer();
        window = std::make_unique<CDPlayer>(
            *windowModel,
            WindowServices{
                shell,
                DesktopRegistration(XdgFolders::fromEnvironment(),
                                    QCoreApplication::applicationFilePath().toStdString(),
                                    ":/skin/icon.png"),
                [this] { return trayAvailable; },
                [this](QWidget*, const BrowseRequest& request) {
                    browsed.push_back(request);
                    return chosenFile;
                },
                [this] { return drivesFound; },
                [this](bool addDisc, int track, int rating) {
                    libraryWindowStarts.push_back({addDisc, track, rating});
                }});
        EXPECT_EQ(window->Form_Load(), expectLoaded);
        return *window;
    }
    template <class T = QLabel>
    T* control(const QString& name) const {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    // Shown on the window, whether or not the window itself is on screen.
    bool shown(const QString& name) const { return !control<QWidget>(name)->isHidden(); }
    void click(const char* name, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(control<QWidget>(name), button);
    }
    QString label(const QString& name) const { return control<QLabel>(name)->text(); }
    QString field(const QString& name) const { return control<QLineEdit>(name)->text(); }
    QTreeWidget* list() const { return control<QTreeWidget>("LV"); }
    QColor textColour(const QString& name) const {
        return control<QWidget>(name)->palette().color(QPalette::WindowText);
    }

    ShellOpener shell{nullptr};  // the window's way to the browser
    std::unique_ptr<CDPlayer> window;
    // The offscreen desktop has no notification area of its own; the tests say whether
    // the player should find one.
    bool trayAvailable = true;
    // The file dialog's answer (nothing: cancelled) and what it was asked; the drives found.
    std::optional<QString> chosenFile;
    std::vector<BrowseRequest> browsed;
    std::vector<std::string> drivesFound;
};

}  // namespace sonarch::testing
