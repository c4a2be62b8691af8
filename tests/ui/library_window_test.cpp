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
#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "device/mci/disc_key.h"
#include "library/library_file.h"
#include "library/stored_text.h"
#include "mpris/media_state.h"
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

// A picture whose outermost pixels differ from its inside, so that a frame drawn over it, or
// a picture drawn smaller, shows.
QImage outlinedPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(QColor(0, 160, 0));
    for (int x = 0; x < width; ++x) {
        picture.setPixel(x, 0, qRgb(220, 0, 0));
        picture.setPixel(x, height - 1, qRgb(220, 0, 0));
    }
    for (int y = 0; y < height; ++y) {
        picture.setPixel(0, y, qRgb(220, 0, 0));
        picture.setPixel(width - 1, y, qRgb(220, 0, 0));
    }
    return picture;
}

TEST(LibraryWindow, TheCoverIsDrawnWholeAtItsNaturalSizeWithNoFrame) {
    LibraryPlayer f;
    const QString file = f.dir.filePath("cover.png");
    const QImage picture = outlinedPicture(200, 133);
    ASSERT_TRUE(picture.save(file));
    f.storeDisc({1, 2}, file.toStdString());
    f.start();
    f.tick();
    f.click("Picture8");
    auto* panel = f.control<QWidget>("PicCover");
    auto* image = f.control<QWidget>("imgCover");
    ASSERT_EQ(image->size(), QSize(200, 133));
    const QImage shown = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.copy(image->geometry()), picture) << "every pixel of the picture, no more";
    // The panel's edge is its background, as inside, not a line of its own.
    const QRgb background = shown.pixel(2, 2);
    EXPECT_NE(background, qRgb(220, 0, 0));
    for (const QPoint edge : {QPoint(0, 0), QPoint(shown.width() - 1, shown.height() - 1),
                              QPoint(shown.width() / 2, 0), QPoint(0, shown.height() / 2)}) {
        EXPECT_EQ(shown.pixel(edge), background) << edge.x() << "," << edge.y();
    }
}

// A pipe named as the cover: the window must not open it (opening it would wait for a writer
// for good); a helper thread stands ready to write, and tells whether anyone ever read.
class WaitingPipe {
public:
    explicit WaitingPipe(const QString& path) : m_path(path.toStdString()) {
        m_made = ::mkfifo(m_path.c_str(), 0600) == 0;
        if (m_made) {
            m_writer = std::thread([this] {
                const int fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
                m_reached = true;
                if (fd >= 0) {
                    ::close(fd);
                }
            });
        }
    }
    ~WaitingPipe() {
        if (m_made) {
            // The test's own reader lets the writer go.
            const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            m_writer.join();
            ::close(fd);
        }
    }
    bool made() const { return m_made; }
    bool reached() const { return m_reached; }

private:
    std::string m_path;
    bool m_made = false;
    std::atomic<bool> m_reached{false};
    std::thread m_writer;
};

TEST(LibraryWindow, ACoverThatIsAPipeAFolderOrHugeIsNeverWaitedOnAndShowsNone) {
    LibraryPlayer f;
    const QString pipe = f.dir.filePath("cover.png");
    WaitingPipe writer(pipe);
    ASSERT_TRUE(writer.made());
    f.storeDisc({1, 2}, pipe.toStdString());
    f.start();
    f.tick();
    f.click("Picture8");  // returns: the window still answers
    EXPECT_FALSE(writer.reached()) << "the pipe was opened for reading";
    auto* image = f.control<QLabel>("imgCover");
    EXPECT_TRUE(image->pixmap().isNull());
    EXPECT_EQ(f.status(), "Playing . . .") << "nothing alarming is said";

    // After a picture that did load, a folder or a huge file in its place shows none.
    const QString real = f.dir.filePath("real.png");
    ASSERT_TRUE(outlinedPicture(40, 30).save(real));
    const QString huge = f.dir.filePath("huge.png");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(40) * 1024 * 1024));  // sparse: no disk used
    }
    auto* cover = f.control<CoverPanel>("PicCover");
    for (const QString& notACover : {f.dir.path(), huge, QString("/dev/zero")}) {
        cover->LoadImage(real.toStdString());
        ASSERT_FALSE(image->pixmap().isNull());
        cover->LoadImage(notACover.toStdString());
        EXPECT_TRUE(image->pixmap().isNull()) << notACover.toStdString();
    }
}

TEST(LibraryWindow, ADiscHandedOverShowsItsOwnStarsAndCoverNotTheLastDiscs) {
    const auto discA = testing::tracksOf({"03:00:00", "04:00:00"});
    const auto discB = testing::tracksOf({"02:00:00", "02:30:00", "05:00:00"});
    LibraryPlayer f(discA);
    const QString coverA = f.dir.filePath("a.png");
    ASSERT_TRUE(outlinedPicture(40, 30).save(coverA));
    VirtualDrive driveB(discB);  // for its key
    {
        auto file = LibraryFile::create(f.path);
        ASSERT_TRUE(file.ok());
        // Disc A rated 7 with a cover, disc B not rated and without one.
        std::vector<LibraryRow> rows;
        for (int n = 1; n <= 2; ++n) {
            rows.push_back(LibraryRow{keyOf(f.drive), "0" + std::to_string(n), "03:00",
                                      "A " + std::to_string(n), "Artist A", "A", 7,
                                      coverA.toStdString(), "", ""});
        }
        for (int n = 1; n <= 3; ++n) {
            rows.push_back(LibraryRow{keyOf(driveB), "0" + std::to_string(n), "02:00",
                                      "B " + std::to_string(n), "Artist B", "B", 0, "", "", ""});
        }
        ASSERT_TRUE(file.value().addRows(rows, IfDiscPresent::Refuse).ok());
    }
    // Disc C is in no library.
    const auto discC = testing::tracksOf({"01:00:00", "06:00:00"});
    f.openNamedDrive = [=](const std::string& name) -> Result<std::unique_ptr<Drive>> {
        const auto& tracks = name == "A" ? discA : name == "B" ? discB : discC;
        return Result<std::unique_ptr<Drive>>::success(std::make_unique<VirtualDrive>(tracks));
    };
    CDPlayer& window = f.start();
    f.tick();
    f.click("Picture8");
    auto* image = f.control<QLabel>("imgCover");
    auto expectDiscA = [&] {
        ASSERT_EQ(f.player->currentTrack().title, "A 1");
        ASSERT_EQ(f.star(4).cacheKey(), window.imageSlots()["phs"].cacheKey()) << "3 1/2 stars";
        ASSERT_FALSE(image->pixmap().isNull());
        ASSERT_FALSE(MetadataOf(f.player->currentTrack(), 1, {}).artUrl.isEmpty());
    };
    expectDiscA();
    for (const char* next : {"B", "A", "C"}) {
        ASSERT_TRUE(f.player->openDrive(next));
        f.waitForOpenedDrive();
        f.tick();
        if (next == std::string("A")) {
            expectDiscA();
            continue;
        }
        EXPECT_EQ(f.player->currentTrack().title, next == std::string("B") ? "B 1" : "Track 01");
        for (int k = 1; k <= 5; ++k) {
            EXPECT_TRUE(f.star(k).isNull()) << next << ": star " << k;
        }
        EXPECT_TRUE(image->pixmap().isNull()) << next << ": the last disc's cover";
        EXPECT_TRUE(MetadataOf(f.player->currentTrack(), 1, {}).artUrl.isEmpty()) << next;
    }
}

}  // namespace
}  // namespace sonarch
