// The options dialog and the about box as the player window opens them.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>
#include <QToolTip>

#include "desktop/open_with_shell.h"
#include "player_fixture.h"
#include "support/xdg_sandbox.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/skin_label.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::StandInXdgOpen;
using testing::tracksOf;
using testing::XdgSandbox;

const QColor kCyan(0, 255, 255);
const QColor kTeal(0, 128, 128);

struct OptionsPlayer : PlayerFixture {
    explicit OptionsPlayer(Settings stored = {})
        : PlayerFixture(tracksOf({"03:00:00", "04:00:00"}), std::move(stored)) {
        start();
        tick();
    }
    frmCDOption* openOptions() {
        window->findChild<QAction*>("mnuOption")->trigger();
        return dialog();
    }
    frmCDOption* dialog() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        auto* found = window->findChild<frmCDOption*>("frmCDOption");
        return found && found->isVisible() ? found : nullptr;
    }
    template <class T = QWidget>
    T* in(QWidget* dialog, const char* name) const {
        T* found = dialog->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void press(QWidget* dialog, const char* button) {
        QTest::mouseClick(in(dialog, button), Qt::LeftButton);
    }
    bool polling() const { return player->timer()->isActive(); }
};

TEST(OptionsDialog, OpensOnTheMouseDownOfOAndTheLetterLightsUpUntilTheMouseComesUp) {
    OptionsPlayer f;
    auto* letter = f.control<SkinLabel>("lOption");
    QTest::mouseMove(letter, QPoint(2, 2));
    EXPECT_EQ(f.textColour("lOption"), kCyan);
    QTest::mousePress(letter, Qt::LeftButton);
    frmCDOption* dialog = f.dialog();
    ASSERT_NE(dialog, nullptr) << "opened on the mouse-down";
    EXPECT_EQ(f.textColour("lOption"), kCyan);
    QTest::mouseRelease(letter, Qt::LeftButton);
    EXPECT_EQ(f.textColour("lOption"), kTeal);
    EXPECT_TRUE(dialog->isVisible());

    EXPECT_EQ(dialog->windowTitle(), "Options");
    EXPECT_FALSE(dialog->isModal());
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(dialog->size(), QSize(321, 124)) << "4815 x 1860 twips";
    // Opening it again brings the same dialog forward.
    QTest::mousePress(letter, Qt::LeftButton);
    QTest::mouseRelease(letter, Qt::LeftButton);
    f.window->findChild<QAction*>("mnuOption")->trigger();
    EXPECT_EQ(f.window->findChildren<frmCDOption*>().size(), 1);
    EXPECT_EQ(f.dialog(), dialog);
}

TEST(OptionsDialog, ControlsStandAtTheirPlacesWithTheirTexts) {
    OptionsPlayer f;
    frmCDOption* dialog = f.openOptions();
    ASSERT_NE(dialog, nullptr);
    const struct {
        const char* name;
        const char* text;
        QRect twips;
    } controls[] = {
        {"Label1", "Query this database for disc info:", {90, 90, 3300, 240}},
        {"tDB", nullptr, {90, 360, 4335, 285}},
        {"Command1", "", {4455, 360, 330, 285}},
        {"l2", "Fast forward or rewind speed (seconds):", {90, 765, 3030, 240}},
        {"tSpeed", nullptr, {3240, 720, 630, 330}},
        {"UpDown1", nullptr, {3915, 720, 240, 330}},
        {"Check1", "Display rating.", {135, 1125, 2535, 240}},
        {"Check2", "Set as default CD player.", {135, 1485, 2535, 240}},
        {"Command2", "OK", {3195, 1440, 690, 330}},
        {"Command3", "Cancel", {4005, 1440, 690, 330}},
    };
    for (const auto& c : controls) {
        QWidget* control = f.in(dialog, c.name);
        ASSERT_NE(control, nullptr);
        const QRect& t = c.twips;
        const QRect pixels(std::lrint(t.x() / 15.0), std::lrint(t.y() / 15.0),
                           std::lrint(t.width() / 15.0), std::lrint(t.height() / 15.0));
        EXPECT_EQ(control->geometry(), pixels) << c.name;
        if (c.text) {
            EXPECT_EQ(control->property("text").toString(), c.text) << c.name;
        }
    }
    EXPECT_FALSE(f.in<QPushButton>(dialog, "Command1")->icon().isNull()) << "a folder picture";
}

TEST(OptionsDialog, OpensBesideThePlayerAsTheAboutBoxDoes) {
    for (const char* which : {"mnuOption", "mnuAbout"}) {
        OptionsPlayer f;
        const int playerHeight = f.window->frameGeometry().height();
        auto open = [&]() -> QWidget* {
            f.window->findChild<QAction*>(which)->trigger();
            QWidget* side = f.window->findChild<QDialog*>();
            EXPECT_NE(side, nullptr) << which;
            return side;
        };
        auto close = [&](QWidget* side) {
            side->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        f.window->move(30, 200);  // top 3000 twips: above the player, bottom on its top
        QWidget* side = open();
        EXPECT_EQ(side->frameGeometry().left(), 30) << which;
        EXPECT_EQ(side->frameGeometry().bottom() + 1, 200) << which;
        close(side);

        f.window->move(40, 149);  // top 2235 twips: directly below
        side = open();
        EXPECT_EQ(side->frameGeometry().topLeft(), QPoint(40, 149 + playerHeight)) << which;
        close(side);

        f.window->showMinimized();
        side = open();
        const QPoint screenCentre = f.window->screen()->geometry().center();
        const QPoint centre = side->frameGeometry().center();
        EXPECT_LE(std::abs(centre.x() - screenCentre.x()), 1) << which;
        EXPECT_LE(std::abs(centre.y() - screenCentre.y()), 1) << which;
        close(side);
    }
}

TEST(OptionsDialog, ThePollStandsStillWhileItIsOpenAndRunsAgainHoweverItCloses) {
    const std::function<void(OptionsPlayer&, frmCDOption*)> ways[] = {
        [](OptionsPlayer& f, frmCDOption* d) { f.press(d, "Command2"); },
        [](OptionsPlayer& f, frmCDOption* d) { f.press(d, "Command3"); },
        [](OptionsPlayer&, frmCDOption* d) { d->close(); },
        [](OptionsPlayer&, frmCDOption* d) { QTest::keyClick(d, Qt::Key_Escape); },
    };
    int way = 0;
    for (const auto& closeIt : ways) {
        OptionsPlayer f;
        ASSERT_TRUE(f.polling());
        frmCDOption* dialog = f.openOptions();
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(f.polling()) << way;
        closeIt(f, dialog);
        EXPECT_EQ(f.dialog(), nullptr) << way;
        EXPECT_TRUE(f.polling()) << way;
        // And again: each opening holds the poll once and gives it back once.
        ASSERT_NE(f.openOptions(), nullptr);
        EXPECT_FALSE(f.polling()) << way;
        f.press(f.dialog(), "Command3");
        EXPECT_TRUE(f.polling()) << way++;
    }
    // The player closing with the dialog open takes the dialog along and saves as usual.
    OptionsPlayer f;
    frmCDOption* dialog = f.openOptions();
    ASSERT_NE(dialog, nullptr);
    f.in<QLineEdit>(dialog, "tSpeed")->setText("99");
    f.window->close();
    EXPECT_EQ(f.dialog(), nullptr);
    EXPECT_FALSE(f.polling());
    ASSERT_TRUE(f.savedSettings);
    EXPECT_EQ(f.savedSettings->seekStep, 10) << "closing is not confirming";
}

TEST(OptionsDialog, OkStoresTheStepTheLibraryAndTheRatingDisplayAndCancelStoresNone) {
    OptionsPlayer f;
    auto edit = [&](frmCDOption* dialog) {
        EXPECT_EQ(f.in<QLineEdit>(dialog, "tDB")->text(),
                  QString::fromStdString(Settings{}.databasePath));
        EXPECT_EQ(f.in<QLineEdit>(dialog, "tSpeed")->text(), "10");
        EXPECT_TRUE(f.in<QCheckBox>(dialog, "Check1")->isChecked());
        f.in<QLineEdit>(dialog, "tDB")->setText("/music/mine.dbd");
        f.in<QLineEdit>(dialog, "tSpeed")->setText("25");
        f.press(dialog, "Check1");
    };
    ASSERT_EQ(f.player->state().ratingShownForTrack, 1) << "the first poll drew track 1's";
    frmCDOption* dialog = f.openOptions();
    edit(dialog);
    EXPECT_EQ(f.player->state().ratingShownForTrack, 0) << "the stars are redrawn at the next poll";
    f.press(dialog, "Command3");
    EXPECT_EQ(f.player->settings(), Settings{});

    dialog = f.openOptions();
    edit(dialog);
    f.press(dialog, "Command2");
    EXPECT_EQ(f.dialog(), nullptr);
    EXPECT_EQ(f.player->settings().seekStep, 25);
    EXPECT_EQ(f.player->settings().databasePath, "/music/mine.dbd");
    EXPECT_FALSE(f.player->settings().showRating);
    f.window->close();
    ASSERT_TRUE(f.savedSettings);
    EXPECT_EQ(f.savedSettings->seekStep, 25);
    EXPECT_EQ(f.savedSettings->databasePath, "/music/mine.dbd");
    EXPECT_FALSE(f.savedSettings->showRating);
}

TEST(OptionsDialog, ASpeedThatIsNotAWholeNumberKeepsTheDialogOpenAndSaysSo) {
    OptionsPlayer f;
    frmCDOption* dialog = f.openOptions();
    auto* speed = f.in<QLineEdit>(dialog, "tSpeed");
    for (const char* text : {"ten", "2.5", ""}) {
        speed->setText(text);
        f.press(dialog, "Command2");
        EXPECT_EQ(f.dialog(), dialog) << text;
        EXPECT_TRUE(QToolTip::text().contains("whole number")) << QToolTip::text().toStdString();
        EXPECT_EQ(f.player->settings().seekStep, 10) << text;
    }
    EXPECT_TRUE(f.messages.shown().empty()) << "no message box";
    speed->setText("-4");  // any whole number is stored; seeking keeps it in range
    f.press(dialog, "Command2");
    EXPECT_EQ(f.dialog(), nullptr);
    EXPECT_EQ(f.player->settings().seekStep, -4);
}

TEST(OptionsDialog, TheSpinnerStepsTheSpeedByOneFromOneTo600) {
    OptionsPlayer f;
    frmCDOption* dialog = f.openOptions();
    auto* speed = f.in<QLineEdit>(dialog, "tSpeed");
    QWidget* spinner = f.in(dialog, "UpDown1");
    auto arrow = [&](const char* name) { QTest::mouseClick(f.in(spinner, name), Qt::LeftButton); };
    arrow("up");
    EXPECT_EQ(speed->text(), "11");
    arrow("down");
    arrow("down");
    EXPECT_EQ(speed->text(), "9");
    speed->setText("600");
    arrow("up");
    EXPECT_EQ(speed->text(), "600");
    speed->setText("1");
    arrow("down");
    EXPECT_EQ(speed->text(), "1");
}

TEST(OptionsDialog, BrowsingAppendsDbdUnlessTheNameEndsInItAndCancellingChangesNothing) {
    OptionsPlayer f;
    frmCDOption* dialog = f.openOptions();
    std::optional<QString> answer;
    BrowseRequest asked;
    dialog->setFileChooser(
        [&](QWidget* parent, const BrowseRequest& request) -> std::optional<QString> {
            EXPECT_EQ(parent, dialog);
            asked = request;
            return answer;
        });
    auto* path = f.in<QLineEdit>(dialog, "tDB");
    answer = "/music/Old.MDB";
    f.press(dialog, "Command1");
    EXPECT_EQ(asked.title, "Browse for databasse");
    EXPECT_EQ(path->text(), "/music/Old.MDB.dbd");
    answer = "/music/New.DBD";
    f.press(dialog, "Command1");
    EXPECT_EQ(path->text(), "/music/New.DBD");
    answer = std::nullopt;
    f.press(dialog, "Command1");
    EXPECT_EQ(path->text(), "/music/New.DBD");
    EXPECT_EQ(f.player->settings().databasePath, Settings{}.databasePath) << "stored only on OK";
}

TEST(OptionsDialog, TheBrowseDialogListsLibrariesAndStartsWithTheirPatternAsTheName) {
    OptionsPlayer f;
    frmCDOption* dialog = f.openOptions();
    QString nameField;
    QStringList filters;
    dialog->setFileChooser([&](QWidget* parent, const BrowseRequest& request) {
        // The desktop's dialog as it would open, looked at instead of shown.
        const auto browse = makeFileDialog(parent, request);
        const auto* name = browse->findChild<QLineEdit*>("fileNameEdit");
        nameField = name ? name->text() : "(no name field)";
        filters = browse->nameFilters();
        return std::optional<QString>();
    });
    f.press(dialog, "Command1");
    EXPECT_EQ(filters, QStringList{"*.dbd"});
    EXPECT_EQ(nameField, "*.dbd");
}

TEST(OptionsDialog, ALibraryPathThatIsNotUtf8ShowsReadablyAndOkKeepsItsBytes) {
    Settings stored;
    stored.databasePath = "/srv/musique/m\xe9lodie.dbd";  // Latin-1, as an old copy made it
    OptionsPlayer f(stored);
    frmCDOption* dialog = f.openOptions();
    auto* field = f.in<QLineEdit>(dialog, "tDB");
    EXPECT_EQ(field->text(), QString::fromUtf8("/srv/musique/m\xc3\xa9lodie.dbd"));
    f.press(dialog, "Command2");
    EXPECT_EQ(f.player->settings().databasePath, stored.databasePath) << "untouched: as stored";

    // Edited, the field keeps what was typed.
    dialog = f.openOptions();
    field = f.in<QLineEdit>(dialog, "tDB");
    field->setText(field->text().replace("musique", "music"));
    f.press(dialog, "Command2");
    EXPECT_EQ(f.player->settings().databasePath, "/srv/music/m\xc3\xa9lodie.dbd");
}

TEST(OptionsDialog, TheDefaultPlayerBoxAppliesAtOnceAndCancelKeepsIt) {
    if (!XdgSandbox::haveXdgUtils()) {
        GTEST_SKIP() << "xdg-utils are not installed (scripts/setup.sh installs them)";
    }
    XdgSandbox xdg;
    OptionsPlayer f;
    frmCDOption* dialog = f.openOptions();
    auto* box = f.in<QCheckBox>(dialog, "Check2");
    EXPECT_FALSE(box->isChecked());
    f.press(dialog, "Check2");
    EXPECT_EQ(xdg.queryDefault("x-content/audio-cdda"), "sonarch-qvplayer-audiocd.desktop");
    f.press(dialog, "Command3");

    dialog = f.openOptions();
    box = f.in<QCheckBox>(dialog, "Check2");
    EXPECT_TRUE(box->isChecked()) << "reopens ticked";
    f.press(dialog, "Check2");
    EXPECT_EQ(xdg.queryDefault("x-content/audio-cdda"), "");
    f.press(dialog, "Command3");
    EXPECT_FALSE(f.in<QCheckBox>(f.openOptions(), "Check2")->isChecked());
}

TEST(AboutBox, NamesTheProductAndItsVersionAndClosesOnOk) {
    OptionsPlayer f;
    f.window->findChild<QAction*>("mnuAbout")->trigger();
    auto* about = f.window->findChild<frmAboutCD*>("frmAboutCD");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_EQ(about->windowModality(), Qt::ApplicationModal);
    auto text = [&](const char* name) { return f.in<QLabel>(about, name)->text(); };
    EXPECT_EQ(text("lblTitle"), "Sonarch CD Player");
    EXPECT_EQ(text("lblVersion"), QString("Version %1.%2").arg(VERSION_MAJOR).arg(VERSION_MINOR));
    EXPECT_FALSE(text("lblDescription").isEmpty());
    EXPECT_FALSE(text("Label1").isEmpty());
    // The addresses the build was given, which qvlib and the metainfo name too.
    EXPECT_EQ(text("Label2"), "Email: " SONARCH_SUPPORT_EMAIL);
    EXPECT_EQ(text("lblDisclaimer"), "Website: " SONARCH_WEB_PAGE);
    EXPECT_TRUE(QString(SONARCH_WEB_PAGE).endsWith("/Sonarch/"));
    EXPECT_FALSE(f.in<QLabel>(about, "picIcon")->pixmap().isNull());
    EXPECT_TRUE(f.player->timer()->isActive()) << "the player plays on underneath";
    f.press(about, "cmdOK");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(f.window->findChild<frmAboutCD*>(), nullptr);
}

TEST(ShellLinksFromTheWindows, TheLogoAndTheAboutBoxOpenTheWebPageAndTheMailAddress) {
    StandInXdgOpen xdgOpen(3);  // no browser: nothing happens that the user would see
    OptionsPlayer f;
    auto waitFor = [](ShellOpener* opener, const std::function<void()>& act) {
        ASSERT_NE(opener, nullptr);
        QSignalSpy finished(opener, &ShellOpener::finished);
        act();
        EXPECT_TRUE(finished.wait(20000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    waitFor(&f.shell, [&] { QTest::mouseDClick(f.control<QWidget>("imgLogo"), Qt::LeftButton); });
    EXPECT_EQ(xdgOpen.recorded(), SONARCH_WEB_PAGE "\n");
    EXPECT_TRUE(f.messages.shown().empty());
    EXPECT_FALSE(f.player->settings().barMode) << "the logo's double-click is not the window's";

    xdgOpen.setExitCode(0);
    f.window->findChild<QAction*>("mnuAbout")->trigger();
    auto* about = f.window->findChild<frmAboutCD*>();
    ASSERT_NE(about, nullptr);
    waitFor(&about->shell(), [&] { QTest::mouseClick(f.in(about, "Label2"), Qt::LeftButton); });
    waitFor(&about->shell(),
            [&] { QTest::mouseDClick(f.in(about, "lblDisclaimer"), Qt::LeftButton); });
    EXPECT_EQ(xdgOpen.recorded(),
              SONARCH_WEB_PAGE "\nmailto:" SONARCH_SUPPORT_EMAIL "\n" SONARCH_WEB_PAGE "\n");
}

}  // namespace
}  // namespace sonarch
