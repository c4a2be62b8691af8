// The discs of a library: listed by artist and album, filtered, opened and changed in
// place, given a cover, and deleted, each save one change to the library.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTreeView>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "librarian_fixture.h"
#include "library/library_file.h"

namespace sonarch {
namespace {

using testing::LibrarianFixture;
using testing::Table;

const std::string kZebra = "150 13650 33900";
const std::string kAlpha = "150 9150 22650";
const std::string kBeta = "150 18150 40650";
const std::string kMixed = "150 4650 9150";

DiscEntry disc(const std::string& key, const std::string& album,
               const std::vector<std::string>& artists) {
    DiscEntry entry{key, album, "", "", {}};
    for (std::size_t i = 0; i < artists.size(); ++i) {
        entry.tracks.push_back({i ? "04:30" : "03:00", album + " " + std::to_string(i + 1),
                                artists[i], int(i), i ? "" : "first"});
    }
    return entry;
}

struct DiscsFixture : LibrarianFixture {
    DiscsFixture() {
        createLibrary();
        auto file = LibraryFile::open(library);
        for (const DiscEntry& entry :
             {disc(kZebra, "Zebra Songs", {"Abba", "Abba"}),
              disc(kAlpha, "Alpha", {"Zappa", "Zappa", "Zappa"}),
              disc(kBeta, "Beta", {"Abba", "Abba"}), disc(kMixed, "Mixed", {"Ann", "Bea"})}) {
            EXPECT_TRUE(file.value().addDisc(entry, IfDiscPresent::Refuse).ok());
        }
    }
    QTreeView* list() const { return control<QTreeView>("discList"); }
    std::vector<std::string> listed(int column) const {
        std::vector<std::string> texts;
        for (int row = 0; row < list()->model()->rowCount(); ++row) {
            texts.push_back(list()->model()->index(row, column).data().toString().toStdString());
        }
        return texts;
    }
    void open(const std::string& album) {
        QAbstractItemModel* model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data().toString().toStdString() == album) {
                list()->setCurrentIndex(model->index(row, 0));
                QTest::keyClick(list(), Qt::Key_Return);
                return;
            }
        }
        ADD_FAILURE() << album << " is not listed";
    }
    Table otherDiscs(const std::string& key) const {
        return sql("SELECT * FROM Audio WHERE cddbToc <> '" + key + "' ORDER BY cddbToc, trkNum");
    }
    std::string fileBytes(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
};

// Types into a cell of the track table as a user does: F2, the new text, Return.
void typeInto(QTableWidget* table, int row, int column, const QString& text) {
    table->setCurrentCell(row, column);
    QTest::keyClick(table, Qt::Key_F2);
    const QModelIndex cell = table->model()->index(row, column);
    auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(cell));
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(editor, Qt::Key_Backspace);
    }
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !table->indexWidget(cell); }));
}

TEST(DiscList, ListsEveryDiscByArtistThenAlbumAndFiltersThem) {
    DiscsFixture f;
    f.start(f.library, "demo", false);
    ASSERT_TRUE(f.showsPage("discsPage"));
    EXPECT_EQ(f.listed(0), (std::vector<std::string>{"Beta", "Zebra Songs", "Mixed", "Alpha"}));
    EXPECT_EQ(f.listed(1), (std::vector<std::string>{"Abba", "Abba", "Various artists", "Zappa"}));
    EXPECT_EQ(f.listed(2), (std::vector<std::string>{"2", "2", "2", "3"}));
    EXPECT_EQ(f.listed(3), (std::vector<std::string>{"07:30", "07:30", "07:30", "12:00"}));

    QTest::keyClicks(f.control<QLineEdit>("discFilter"), "ZAP");
    EXPECT_EQ(f.listed(0), (std::vector<std::string>{"Alpha"}));
    f.control<QLineEdit>("discFilter")->clear();
    EXPECT_EQ(f.listed(0).size(), 4u);
}

TEST(DiscEditing, EveryFieldIsChangedInPlaceAndSavedAsOneChange) {
    DiscsFixture f;
    f.start(f.library, "demo", false);
    const Table others = f.otherDiscs(kZebra);
    f.open("Zebra Songs");
    ASSERT_TRUE(f.showsPage("discEditor"));
    auto* tracks = f.control<QTableWidget>("trackTable");
    ASSERT_EQ(tracks->rowCount(), 2);
    EXPECT_FALSE(f.control<QWidget>("saveDisc")->isEnabled()) << "nothing changed yet";

    typeInto(tracks, 1, 1, "A New Title");
    typeInto(tracks, 0, 2, "Agnetha");
    typeInto(tracks, 0, 5, "");
    typeInto(tracks, 1, 5, "best of the two");
    tracks->setCurrentCell(1, 4);
    tracks->edit(tracks->currentIndex());
    auto* rating = qobject_cast<QComboBox*>(tracks->indexWidget(tracks->currentIndex()));
    ASSERT_NE(rating, nullptr);
    rating->setCurrentIndex(10);
    QTest::keyClick(rating, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tracks->indexWidget(tracks->currentIndex()); }));
    auto* album = f.control<QLineEdit>("albumEdit");
    album->selectAll();
    QTest::keyClicks(album, "Zebra Songs (Remastered)");
    QTest::keyClicks(f.control<QPlainTextEdit>("albumComment"), "Bought in Oslo");

    // Leaving asks first; staying keeps every change.
    f.click("closeDisc");
    ASSERT_EQ(f.messages.asked().size(), 1u);
    EXPECT_EQ(f.messages.asked()[0],
              "The changes to \u201cZebra Songs (Remastered)\u201d are not saved. Leave them "
              "unsaved? [Leave unsaved]");
    EXPECT_TRUE(f.showsPage("discEditor"));

    f.click("saveDisc");
    EXPECT_TRUE(f.messages.shown().empty());
    EXPECT_EQ(f.sql("SELECT trkNum, trkTime, trkTitle, trkArtist, Album, Rating, Cover, aCom, "
                    "trkCom FROM Audio WHERE cddbToc = '" +
                    kZebra + "' ORDER BY trkNum"),
              (Table{{"01", "03:00", "Zebra Songs 1", "Agnetha", "Zebra Songs (Remastered)", "0",
                      "", "Bought in Oslo", ""},
                     {"02", "04:30", "A New Title", "Abba", "Zebra Songs (Remastered)", "10", "",
                      "Bought in Oslo", "best of the two"}}));
    EXPECT_EQ(f.otherDiscs(kZebra), others);
    EXPECT_FALSE(f.control<QWidget>("saveDisc")->isEnabled());
    f.click("closeDisc");
    EXPECT_TRUE(f.showsPage("discsPage"));
    // Its tracks are now by two artists: it moves among the various artists' discs.
    EXPECT_EQ(f.listed(0),
              (std::vector<std::string>{"Beta", "Mixed", "Zebra Songs (Remastered)", "Alpha"}));
    EXPECT_EQ(f.listed(1)[2], "Various artists");
}

TEST(DiscEditing, ACoverComesFromAFileOrADropAndIsKeptBesideTheLibrary) {
    DiscsFixture f;
    f.start(f.library, "demo", false);
    f.open("Alpha");
    const std::string notAPicture = f.folder.file("notes.txt");
    std::ofstream(notAPicture) << "just words";
    f.files.answer(notAPicture);
    f.click("coverFromFile");
    ASSERT_EQ(f.messages.shown().size(), 1u);
    EXPECT_EQ(f.messages.shown()[0], "\u201c" + notAPicture +
                                         "\u201d is not a picture (JPEG, PNG, GIF or WebP); the "
                                         "cover stays as it was.");
    EXPECT_FALSE(f.control<QWidget>("saveDisc")->isEnabled());

    const std::string picture = std::string(DEMO_SOURCE_DIR) + "/cover.png";
    f.files.answer(picture);
    f.click("coverFromFile");
    f.click("saveDisc");
    const Table covers = f.sql("SELECT DISTINCT Cover FROM Audio WHERE cddbToc = '" + kAlpha + "'");
    ASSERT_EQ(covers.size(), 1u);
    const std::filesystem::path kept = covers[0][0];
    EXPECT_EQ(kept.parent_path(), f.folder.path() / "covers");
    EXPECT_EQ(kept.extension(), ".png");
    EXPECT_EQ(f.fileBytes(kept), f.fileBytes(picture));
    EXPECT_EQ(f.sql("SELECT count(*) FROM Audio WHERE Cover <> ''"), (Table{{"3"}}));

    // A picture dropped from another program (a web browser's, say) replaces it.
    QImage red(12, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QMimeData data;
    data.setImageData(red);
    QWidget* target = f.control<QWidget>("coverPicture");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    f.click("saveDisc");
    const std::string dropped =
        f.sql("SELECT DISTINCT Cover FROM Audio WHERE cddbToc = '" + kAlpha + "'")[0][0];
    EXPECT_NE(dropped, kept.string());
    const QImage stored(QString::fromStdString(dropped));
    EXPECT_EQ(stored.size(), QSize(12, 8));
    EXPECT_EQ(stored.pixelColor(3, 3), QColor(Qt::red));
    EXPECT_TRUE(std::filesystem::exists(kept)) << "an earlier cover is never removed";
}

TEST(DiscDeleting, ADiscGoesOnlyWhenTheUserSaysSo) {
    DiscsFixture f;
    f.start(f.library, "demo", false);
    const Table before = f.sql("SELECT * FROM Audio ORDER BY cddbToc, trkNum");
    f.list()->setCurrentIndex(f.list()->model()->index(3, 0));  // Alpha by Zappa
    f.click("deleteDisc");
    ASSERT_EQ(f.messages.asked().size(), 1u);
    EXPECT_EQ(f.messages.asked()[0],
              "Delete \u201c"
              "Alpha\u201d by Zappa (3 tracks) from the library? Its ratings and comments go "
              "with it. [Delete]");
    EXPECT_EQ(f.sql("SELECT * FROM Audio ORDER BY cddbToc, trkNum"), before);

    f.messages.answerNext(true);
    QTest::keyClick(f.list(), Qt::Key_Delete);
    EXPECT_EQ(f.messages.asked().size(), 2u);
    EXPECT_EQ(f.sql("SELECT count(*) FROM Audio WHERE cddbToc = '" + kAlpha + "'"), (Table{{"0"}}));
    Table kept;
    for (const auto& row : before) {
        if (row[0] != kAlpha) {
            kept.push_back(row);
        }
    }
    EXPECT_EQ(f.sql("SELECT * FROM Audio ORDER BY cddbToc, trkNum"), kept);
    EXPECT_EQ(f.sql("SELECT count(*), count(DISTINCT cddbToc) FROM Audio"), (Table{{"6", "3"}}));
    EXPECT_EQ(f.listed(0), (std::vector<std::string>{"Beta", "Zebra Songs", "Mixed"}));
    EXPECT_TRUE(f.messages.shown().empty());
}

}  // namespace
}  // namespace sonarch
