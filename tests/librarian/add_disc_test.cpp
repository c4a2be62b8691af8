// Adding the disc in the drive: the first library made where the player keeps its files,
// the names from the disc's CD-TEXT, and a disc the library holds opened, not added twice.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTreeView>

#include "librarian_fixture.h"

namespace sonarch {
namespace {

using testing::LibrarianFixture;
using testing::Table;

// A disc whose CD-TEXT names it, its second track, and the second track's performer; the
// third track has no text of its own.
const std::string kTextDisc =
    "virtual:disc|Blue Album|The Band,03:00:00|Opening,04:00:00|Second Song|Guest,02:30:05";

std::string cell(QTableWidget* table, int row, int column) {
    return table->item(row, column)->text().toStdString();
}

// Picks a rating from the cell's list and takes it with Return, as a user does.
void rate(QTableWidget* table, int row, int rating) {
    table->setCurrentCell(row, 4);
    table->edit(table->currentIndex());
    auto* choice = qobject_cast<QComboBox*>(table->indexWidget(table->currentIndex()));
    ASSERT_NE(choice, nullptr);
    choice->setCurrentIndex(rating);
    QTest::keyClick(choice, Qt::Key_Return);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !table->indexWidget(table->model()->index(row, 4)); }));
}

TEST(AddingADisc, AFirstLibraryIsMadeAndTheDiscIsAddedNamedByItsCdText) {
    LibrarianFixture f;
    // The player was asked to rate track 3 with 4 stars before the disc was in a library.
    f.start("None selected", kTextDisc, true, PendingRating{3, 8});
    ASSERT_TRUE(f.showsPage("firstUsePage"));
    const std::string made = f.folder.file("data/qvplayer/library.dbd");
    EXPECT_NE(f.control<QLabel>("firstUseText")->text().toStdString().find(made),
              std::string::npos);
    f.click("createLibrary");

    // The player's settings name the new library, as the options dialog would keep it.
    const std::string settings = f.settingsFile();
    EXPECT_EQ(settings.substr(0, settings.find("\r\n")), made);
    int lines = 0;
    for (std::size_t at = settings.find("\r\n"); at != std::string::npos;
         at = settings.find("\r\n", at + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, 15);

    ASSERT_TRUE(f.waitFor([&] { return f.showsPage("discEditor"); }));
    EXPECT_EQ(f.control<QLineEdit>("albumEdit")->text(), "Blue Album");
    auto* tracks = f.control<QTableWidget>("trackTable");
    ASSERT_EQ(tracks->rowCount(), 3);
    EXPECT_EQ(cell(tracks, 0, 1), "Opening");
    EXPECT_EQ(cell(tracks, 1, 1), "Second Song");
    EXPECT_EQ(cell(tracks, 1, 2), "Guest");
    EXPECT_EQ(cell(tracks, 2, 1), "Track 03");
    EXPECT_EQ(cell(tracks, 2, 2), "The Band");
    EXPECT_EQ(tracks->item(2, 4)->data(Qt::EditRole).toInt(), 8);
    rate(tracks, 1, 7);
    EXPECT_EQ(tracks->item(1, 4)->data(Qt::AccessibleTextRole).toString(), "3\u00bd stars");
    f.click("saveDisc");

    f.library = made;
    EXPECT_EQ(f.sql("SELECT trkNum, trkTime, trkTitle, trkArtist, Album, Rating, Cover, aCom, "
                    "trkCom FROM Audio ORDER BY trkNum"),
              (Table{{"01", "03:00", "Opening", "The Band", "Blue Album", "0", "", "", ""},
                     {"02", "04:00", "Second Song", "Guest", "Blue Album", "7", "", "", ""},
                     {"03", "02:30", "Track 03", "The Band", "Blue Album", "8", "", "", ""}}));
    EXPECT_TRUE(f.messages.shown().empty());

    // The same disc again: it opens as the library holds it, and nothing is added.
    f.click("closeDisc");
    ASSERT_TRUE(f.showsPage("discsPage"));
    EXPECT_EQ(f.control<QTreeView>("discList")->model()->rowCount(), 1);
    f.click("addDriveDisc");
    ASSERT_TRUE(f.waitFor([&] { return f.showsPage("discEditor"); }));
    EXPECT_EQ(f.control<QLabel>("discState")->text(), "In the library.");
    EXPECT_FALSE(f.control<QWidget>("saveDisc")->isEnabled());
    EXPECT_EQ(tracks->item(1, 4)->data(Qt::EditRole).toInt(), 7);
    EXPECT_EQ(f.sql("SELECT count(*), count(DISTINCT cddbToc) FROM Audio"), (Table{{"3", "1"}}));
}

TEST(AddingADisc, ADriveWithoutADiscSaysSoAndCanBeTriedAgain) {
    LibrarianFixture f;
    f.createLibrary();
    f.start(f.library, "virtual:", true);  // an empty drive
    ASSERT_TRUE(f.waitFor([&] { return f.control<QWidget>("readAgain")->isVisible(); }));
    EXPECT_TRUE(f.showsPage("readingPage"));
    EXPECT_TRUE(f.control<QLabel>("readingText")
                    ->text()
                    .startsWith("The disc in the drive cannot be read: "));
    f.click("cancelReading");
    EXPECT_TRUE(f.showsPage("discsPage"));
    EXPECT_EQ(f.sql("SELECT count(*) FROM Audio"), (Table{{"0"}}));
}

}  // namespace
}  // namespace sonarch
