#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "device/disc_key.h"
#include "library/stored_text.h"
#include "player_fixture.h"
#include "qvlib/library_file.h"
#include "support/disc_images.h"
#include "ui/comment_editor.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;

std::vector<VirtualTrack> twelveTracks() {
    std::vector<VirtualTrack> tracks;
    for (int i = 0; i < 12; ++i) {
        tracks.push_back({(150 + 10 * i) * 75, true});
    }
    return tracks;
}

// The key the player will look up for the disc in `drive`.
std::string keyOf(VirtualDrive& drive) {
    return StoredDiscKey(testing::discKey(drive));
}

struct LibraryPlayer : PlayerFixture {
    explicit LibraryPlayer(std::vector<VirtualTrack> tracks = twelveTracks())
        : PlayerFixture(std::move(tracks)) {
        path = dir.filePath("music.dbd").toStdString();
        storedSettings.databasePath = path;
    }
    // Stores the disc in the library, its tracks in the given order of numbers.
    void storeDisc(const std::vector<int>& order, const std::string& cover = {}) {
        EXPECT_TRUE(CreateLibraryFile(path).ok());
        std::vector<LibraryRow> rows;
        for (int n : order) {
            LibraryRow row;
            row.cddbToc = keyOf(drive);
            row.trkNum = (n < 10 ? "0" : "") + std::to_string(n);
            row.trkTime = "0" + std::to_string(2 + n / 6) + ":30";
            row.trkTitle = "Title " + std::to_string(n);
            row.trkArtist = "Artist " + std::to_string(n);
            row.album = "Album";
            row.rating = n == 2 ? 7 : 0;
            row.cover = cover;
            rows.push_back(row);
        }
        EXPECT_TRUE(AddDiscRows(path, rows, false).ok());
    }
    std::vector<LibraryRow> rows() { return ListRows(path, nullptr).value(); }
    QPixmap star(int k) const { return control<QLabel>(QString("t%1").arg(k))->pixmap(); }
    void rate(int rating) { player->findChild<QAction*>(QString("r%1").arg(rating))->trigger(); }

    QTemporaryDir dir;
    std::string path;
};

TEST(LibraryWindow, AKnownDiscShowsItsRowsInTrackOrder) {
    LibraryPlayer f;
    f.storeDisc({12, 3, 1, 7, 2, 11, 4, 5, 6, 10, 9, 8});
    f.start();
    f.tick();
    QTreeWidget* list = f.list();
    ASSERT_EQ(list->topLevelItemCount(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(list->topLevelItem(i)->text(0).toInt(), i + 1);
    }
    EXPECT_EQ(list->topLevelItem(1)->text(2), "Title 2");
    EXPECT_EQ(list->topLevelItem(1)->text(5), "0") << "library rows carry order key 0";
    EXPECT_EQ(list->topLevelItem(1)->text(6), "7");
    EXPECT_EQ(f.field("lTitle"), "Title 1");
    EXPECT_EQ(f.field("lArt"), "Artist 1");
    EXPECT_EQ(f.field("lAlb"), "Album");
    EXPECT_EQ(f.player->state().currentDiscKey, keyOf(f.drive));
}

TEST(LibraryWindow, AnUnknownDiscGetsDefaultRowsAndNoLibraryLooksNothingUp) {
    LibraryPlayer f;
    ASSERT_TRUE(CreateLibraryFile(f.path).ok());
    f.start();
    f.tick();
    EXPECT_EQ(f.list()->topLevelItemCount(), 12);
    EXPECT_EQ(f.list()->topLevelItem(0)->text(2), "Track 01");

    PlayerFixture none(twelveTracks());
    none.start();
    none.tick();
    const auto sent = none.recorder.commands();
    EXPECT_EQ(std::find(sent.begin(), sent.end(), "close all"), sent.end())
        << "with no library chosen, no disc key is computed";
    EXPECT_EQ(none.list()->topLevelItemCount(), 12);
}

TEST(LibraryWindow, RatingSevenWritesTheLibraryTheListAndThreeAndAHalfStars) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    CDPlayer& player = f.start();
    f.tick();
    f.rate(7);
    EXPECT_EQ(f.rows()[0].rating, 7);
    EXPECT_EQ(f.list()->topLevelItem(0)->text(6), "7");
    const ImageSlots& skin = player.imageSlots();
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(f.star(k).cacheKey(), skin["ps"].cacheKey()) << k;
    }
    EXPECT_EQ(f.star(4).cacheKey(), skin["phs"].cacheKey());
    EXPECT_TRUE(f.star(5).isNull());
}

TEST(LibraryWindow, RatingWithTheDisplayOffLeavesTheStarsEmpty) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    f.storedSettings.showRating = false;
    f.start();
    f.tick();
    f.rate(4);
    EXPECT_EQ(f.rows()[0].rating, 4);
    EXPECT_EQ(f.list()->topLevelItem(0)->text(6), "4");
    for (int k = 1; k <= 5; ++k) {
        EXPECT_TRUE(f.star(k).isNull()) << k;
    }
}

TEST(LibraryWindow, RatingADiscNotInTheLibraryChangesOnlyTheWindow) {
    LibraryPlayer f;
    ASSERT_TRUE(CreateLibraryFile(f.path).ok());
    f.start();
    f.tick();
    f.rate(2);
    EXPECT_TRUE(f.rows().empty());
    EXPECT_EQ(f.list()->topLevelItem(0)->text(6), "2");
    EXPECT_FALSE(f.star(1).isNull());
    EXPECT_TRUE(f.messages.shown().empty());
}

TEST(LibraryWindow, StarsFollowTheTrackWhenItChanges) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    f.start();
    f.tick();
    EXPECT_TRUE(f.star(1).isNull());
    f.player->transport().PlayTrack(2);
    f.tick();
    EXPECT_FALSE(f.star(4).isNull()) << "track 2 is rated 7";
    EXPECT_TRUE(f.star(5).isNull());
}

TEST(LibraryWindow, AFileThatIsNoLibraryIsReportedAndNothingBreaks) {
    LibraryPlayer f;
    {
        QFile junk(QString::fromStdString(f.path));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("this is not a library\n");
    }
    f.start();
    f.tick();
    EXPECT_TRUE(f.caption("Info").contains("music.dbd")) << f.caption("Info").toStdString();
    EXPECT_EQ(f.list()->topLevelItemCount(), 12) << "the default rows appear";
    f.tick(12);
    EXPECT_EQ(f.caption("Info"), "Playing . . .") << "the notice gives way to the status";
    f.rate(5);
    ASSERT_EQ(f.messages.shown().size(), 1u);
    EXPECT_NE(f.messages.shown()[0].find("music.dbd"), std::string::npos);
    QFile check(QString::fromStdString(f.path));
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("this is not a library\n"));
}

TEST(LibraryWindow, RefreshShowsTheWaitCursorAndHoldsTheTimerOnlyWhileItLooksUp) {
    LibraryPlayer f;
    {
        QFile junk(QString::fromStdString(f.path));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("junk");  // the lookup fails: everything must still be put back
    }
    CDPlayer& player = f.start();
    f.tick();
    bool waitCursor = false;
    bool timerHeld = false;
    f.recorder.observe([&](std::string_view command) {
        if (command == "close all") {
            waitCursor = QApplication::overrideCursor() &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            timerHeld = !player.timer()->isActive();
        }
    });
    QTest::mouseClick(f.control<QWidget>("Picture4"), Qt::LeftButton);
    EXPECT_TRUE(waitCursor);
    EXPECT_TRUE(timerHeld);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(player.timer()->isActive());
}

TEST(LibraryWindow, NothingStartsASecondLookupWhileOneRuns) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    CDPlayer& player = f.start();
    int lookups = 0;
    f.recorder.observe([&](std::string_view command) {
        if (command == "close all" && ++lookups == 1) {
            // As if the user clicked while the disc key let events run.
            QTest::mouseClick(f.control<QWidget>("Picture4"), Qt::LeftButton);
            player.PollStatus();
        }
    });
    f.tick();
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(f.list()->topLevelItemCount(), 12);
    EXPECT_EQ(f.caption("Info"), "Playing . . .");
}

TEST(LibraryWindow, AnEjectDuringTheLookupLeavesTheDriveToTheNextRun) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    CDPlayer& player = f.start();
    bool ejected = false;
    f.recorder.observe([&](std::string_view command) {
        if (command == "close all" && !ejected) {
            ejected = true;
            player.transport().eject_Click();
        }
    });
    f.tick();
    const auto sent = f.recorder.commands();
    EXPECT_EQ(std::find(sent.begin(), sent.end(), "play cd"), sent.end());
    EXPECT_TRUE(f.messages.shown().empty());
    f.tick();
    EXPECT_EQ(f.caption("Info"), "Data or no disc loaded");
    EXPECT_TRUE(player.state().discLookupPending);
}

TEST(LibraryWindow, TrackCommentStaysWithTheTrackItWasOpenedOn) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3, 4, 5, 6});
    CDPlayer& player = f.start();
    f.tick();
    player.transport().PlayTrack(3);
    f.tick(2);
    f.click("Picture1");
    auto* editor = player.findChild<CommentEditor*>("frmtrkCom");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), "Track Comment");
    player.transport().PlayTrack(5);
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
    CDPlayer& player = f.start();
    f.tick();
    f.click("Picture8");
    EXPECT_TRUE(player.state().settings.trackListShown);
    auto* panel = f.control<QLabel>("PicCover");
    auto* image = f.control<QLabel>("imgCover");
    EXPECT_TRUE(f.shown("PicCover"));
    EXPECT_EQ(image->size(), QSize(100, 50)) << "a small picture keeps its size";
    EXPECT_NEAR(image->x() + 50, panel->width() / 2, 1);
    EXPECT_NEAR(image->y() + 25, panel->height() / 2, 1);

    player.LoadImage(wide.toStdString());
    EXPECT_NEAR(image->width(), panel->width(), 1);
    EXPECT_NEAR(image->height(), panel->width() / 10, 1) << "proportions are kept";
    const QSize wideSize = image->size();
    player.LoadImage(f.dir.filePath("missing.png").toStdString());
    EXPECT_EQ(image->size(), wideSize);
    EXPECT_FALSE(image->pixmap().isNull()) << "the last picture is shown again";
    player.LoadImage("");
    EXPECT_TRUE(image->pixmap().isNull());

    f.click("Picture8");
    EXPECT_FALSE(f.shown("PicCover"));
    EXPECT_FALSE(player.state().settings.trackListShown);
}

}  // namespace
}  // namespace sonarch
