#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "device/mci/disc_key.h"
#include "library/library_file.h"
#include "library/stored_text.h"
#include "player_fixture.h"
#include "support/disc_images.h"
#include "support/library_player.h"
#include "ui/cover_panel.h"
#include "ui/dialogs/comment_editor.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;

using testing::keyOf;

std::vector<VirtualTrack> twelveTracks() {
    return testing::twelveLibraryTracks();
}

struct LibraryPlayer : testing::LibraryPlayer<testing::PlayerFixture> {
    using testing::LibraryPlayer<testing::PlayerFixture>::LibraryPlayer;
    QPixmap star(int k) const { return control<QLabel>(QString("t%1").arg(k))->pixmap(); }
    void rate(int rating) { window->findChild<QAction*>(QString("r%1").arg(rating))->trigger(); }
};

TEST(LibraryWindow, RatingSevenFromTheMenuShowsThreeAndAHalfStars) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    CDPlayer& window = f.start();
    f.tick();
    f.rate(7);
    EXPECT_EQ(f.rows()[0].rating, 7);
    EXPECT_EQ(f.list()->topLevelItem(0)->text(6), "7");
    const ImageSlots& skin = window.imageSlots();
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(f.star(k).cacheKey(), skin["ps"].cacheKey()) << k;
    }
    EXPECT_EQ(f.star(4).cacheKey(), skin["phs"].cacheKey());
    EXPECT_TRUE(f.star(5).isNull());
}

TEST(LibraryWindow, TheMenusStartTheLibraryWindowAndOfferTheDiscWhileItIsNotInTheLibrary) {
    LibraryPlayer f;
    ASSERT_TRUE(LibraryFile::create(f.path).ok());
    f.start();
    f.tick();
    auto* menu = f.window->findChild<QMenu*>("mnuPop");
    ASSERT_NE(menu, nullptr);
    QAction* library = f.window->findChild<QAction*>("mnuLibrary");
    QAction* addDisc = f.window->findChild<QAction*>("mnuAddDisc");
    ASSERT_TRUE(library && addDisc);
    EXPECT_TRUE(menu->actions().contains(library));
    EXPECT_TRUE(menu->actions().contains(addDisc));
    EXPECT_EQ(library->text(), "Library\u2026");
    EXPECT_EQ(addDisc->text(), "Add this disc to the library\u2026");
    EXPECT_TRUE(addDisc->isVisible()) << "the disc is not in the library";
    library->trigger();
    addDisc->trigger();
    using Starts = std::vector<std::tuple<bool, int, int>>;
    EXPECT_EQ(f.libraryWindowStarts, (Starts{{false, 0, 0}, {true, 0, 0}}));

    // A rating is not shown as kept; the user is asked, and says add it.
    f.messages.answerNext(true);
    f.rate(7);
    EXPECT_EQ(f.libraryWindowStarts, (Starts{{false, 0, 0}, {true, 0, 0}, {true, 1, 7}}))
        << "the rating goes to the library window, to keep once the disc is added";
    EXPECT_TRUE(f.star(1).isNull()) << "no star for a rating kept nowhere";
    ASSERT_EQ(f.messages.asked().size(), 1u);

    // Once the library window has saved the disc, the entry goes.
    DiscEntry disc{keyOf(f.drive), "Album", "", "", {}};
    for (int n = 1; n <= 12; ++n) {
        disc.tracks.push_back({"03:00", "Song " + std::to_string(n), "Band", 0, ""});
    }
    ASSERT_TRUE(LibraryFile::open(f.path).value().addDisc(disc, IfDiscPresent::Refuse).ok());
    f.player->libraryDiscChanged(f.path, keyOf(f.drive));
    EXPECT_FALSE(addDisc->isVisible());
    f.rate(7);
    EXPECT_EQ(f.rows()[0].rating, 7);
    EXPECT_EQ(f.star(3).cacheKey(), f.window->imageSlots()["ps"].cacheKey());
}

TEST(LibraryWindow, RefreshShowsTheWaitCursorAndHoldsTheTimerOnlyWhileItLooksUp) {
    LibraryPlayer f;
    {
        QFile junk(QString::fromStdString(f.path));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("junk");  // the lookup fails: everything must still be put back
    }
    f.start();
    f.tick();
    bool waitCursor = false;
    bool timerHeld = false;
    f.recorder.observe([&](std::string_view command) {
        if (command == "close all") {
            waitCursor = QApplication::overrideCursor() &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            timerHeld = !f.player->timer()->isActive();
        }
    });
    QTest::mouseClick(f.control<QWidget>("Picture4"), Qt::LeftButton);
    EXPECT_TRUE(waitCursor);
    EXPECT_TRUE(timerHeld);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(f.player->timer()->isActive());
}

TEST(LibraryWindow, TrackCommentStaysWithTheTrackItWasOpenedOn) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3, 4, 5, 6});
    CDPlayer& player = f.start();
    f.tick();
    f.player->playTrack(3);
    f.tick(2);
    f.click("Picture1");
    auto* editor = player.findChild<CommentEditor*>("frmtrkCom");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), "Track Comment");
    f.player->playTrack(5);
    f.tick(2);
    editor->setText(QString(300, QChar('x')));
    QTest::mouseClick(editor->findChild<QWidget*>("Command1"), Qt::LeftButton);
    const auto rows = f.rows();
    EXPECT_EQ(rows[2].trkCom, std::string(250, 'x'));
    EXPECT_EQ(rows[4].trkCom, "");
    QApplication::processEvents();  // the editor deletes itself once closed
    EXPECT_EQ(player.findChild<CommentEditor*>("frmtrkCom"), nullptr);
}

TEST(LibraryWindow, AlbumCommentIsWrittenToEveryRowAndEscapeCancels) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    CDPlayer& player = f.start();
    f.tick();
    f.click("Picture2");
    auto* editor = player.findChild<CommentEditor*>("frmAlbCom");
    ASSERT_NE(editor, nullptr);
    auto* text = editor->findChild<QPlainTextEdit*>("aCom");
    text->setPlainText("Recorded live");
    QTest::keyClick(text, Qt::Key_Return);
    for (const LibraryRow& row : f.rows()) {
        EXPECT_EQ(row.aCom, "Recorded live");
    }
    QApplication::processEvents();
    f.click("Picture2");
    editor = player.findChild<CommentEditor*>("frmAlbCom");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Recorded live");
    editor->setText("changed my mind");
    QTest::keyClick(editor->findChild<QPlainTextEdit*>("aCom"), Qt::Key_Escape);
    EXPECT_EQ(f.rows()[0].aCom, "Recorded live");
}

TEST(LibraryWindow, EditorsDoNotOpenWithoutALibrary) {
    PlayerFixture f(twelveTracks());
    CDPlayer& player = f.start();
    f.tick();
    f.click("Picture1");
    f.click("Picture2");
    EXPECT_EQ(player.findChild<CommentEditor*>(), nullptr);
}

TEST(LibraryWindow, CoverFitsThePanelAndAnUnreadableFileKeepsTheLastPicture) {
    LibraryPlayer f;
    const QString small = f.dir.filePath("small.png");
    const QString wide = f.dir.filePath("wide.png");
    QImage(100, 50, QImage::Format_RGB32).save(small);
    QImage(1000, 100, QImage::Format_RGB32).save(wide);
    f.storeDisc({1, 2}, small.toStdString());
    f.start();
    f.tick();
    f.click("Picture8");
    EXPECT_TRUE(f.player->settings().trackListShown);
    auto* panel = f.control<QLabel>("PicCover");
    auto* image = f.control<QLabel>("imgCover");
    EXPECT_TRUE(f.shown("PicCover"));
    EXPECT_EQ(image->size(), QSize(100, 50)) << "a small picture keeps its size";
    EXPECT_NEAR(image->x() + 50, panel->width() / 2, 1);
    EXPECT_NEAR(image->y() + 25, panel->height() / 2, 1);

    auto* cover = f.control<CoverPanel>("PicCover");
    cover->LoadImage(wide.toStdString());
    EXPECT_NEAR(image->width(), panel->width(), 1);
    EXPECT_NEAR(image->height(), panel->width() / 10, 1) << "proportions are kept";
    const QSize wideSize = image->size();
    cover->LoadImage(f.dir.filePath("missing.png").toStdString());
    EXPECT_EQ(image->size(), wideSize);
    EXPECT_FALSE(image->pixmap().isNull()) << "the last picture is shown again";
    cover->LoadImage("");
    EXPECT_TRUE(image->pixmap().isNull());

    f.click("Picture8");
    EXPECT_FALSE(f.shown("PicCover"));
    EXPECT_FALSE(f.player->settings().trackListShown);
}

}  // namespace
}  // namespace sonarch
