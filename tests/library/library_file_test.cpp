// What the tools that fill a library do to it: add, change and remove discs, each in one
// transaction, never into a damaged file, and the check that guards that.
#include <gtest/gtest.h>

#include "library/library_file.h"
#include "library/track_number.h"
#include "library_fixture.h"

namespace sonarch {
namespace {

using testing::SqlFile;
using testing::TempFolder;
using Table = std::vector<std::vector<std::string>>;

const std::string kDisc = "150 18780 39387 56451";
const std::string kOther = "150 9150 22650";

DiscEntry threeTracks(const std::string& key) {
    DiscEntry disc;
    disc.key = key;
    disc.album = "Album";
    disc.cover = "/covers/one.png";
    disc.albumComment = "about";
    disc.tracks = {{"04:10", "One", "Ann", 0, ""},
                   {"03:05", "Two", "Bea", 7, "second"},
                   {"05:55", "Three", "Ann", 10, ""}};
    return disc;
}

struct LibraryFileTest : ::testing::Test {
    void SetUp() override {
        auto made = LibraryFile::create(path, LibraryLimits::forTools(), &record);
        ASSERT_TRUE(made.ok()) << made.error();
    }
    LibraryFile open() {
        auto opened = LibraryFile::open(path, LibraryLimits::forTools(), &record);
        EXPECT_TRUE(opened.ok()) << opened.error();
        return std::move(opened.value());
    }
    Table table() {
        return SqlFile(path).rows(
            "SELECT cddbToc, trkNum, trkTime, trkTitle, trkArtist, Album, Rating, Cover, aCom, "
            "trkCom FROM Audio ORDER BY cddbToc, trkNum");
    }

    TempFolder folder;
    std::string path = folder.file("music.dbd");
    LibraryCheckRecord record{folder.path() / "record"};
};

TEST_F(LibraryFileTest, ADiscIsAddedChangedInEveryFieldAndRemoved) {
    LibraryFile library = open();
    ASSERT_TRUE(library.addDisc(threeTracks(kDisc), IfDiscPresent::Refuse).ok());
    ASSERT_TRUE(library.addDisc(threeTracks(kOther), IfDiscPresent::Refuse).ok());
    EXPECT_EQ(table()[1], (std::vector<std::string>{kDisc, "02", "03:05", "Two", "Bea", "Album",
                                                    "7", "/covers/one.png", "about", "second"}));

    DiscEdit edit;
    edit.album = "New Album";
    edit.albumComment = "new about";
    edit.cover = "/covers/two.jpg";
    edit.tracks = {{2, "Deux", "Cy", 3, "changed"}, {3, std::nullopt, std::nullopt, 0, {}}};
    const auto edited = library.editDisc(kDisc, edit);
    ASSERT_TRUE(edited.ok()) << edited.error();
    EXPECT_EQ(edited.value(), 3);
    const Table rows = table();
    EXPECT_EQ(rows[0], (std::vector<std::string>{kDisc, "01", "04:10", "One", "Ann", "New Album",
                                                 "0", "/covers/two.jpg", "new about", ""}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{kDisc, "02", "03:05", "Deux", "Cy", "New Album",
                                                 "3", "/covers/two.jpg", "new about", "changed"}));
    EXPECT_EQ(rows[2][3], "Three") << "what is not given stays";
    EXPECT_EQ(rows[2][6], "0");
    EXPECT_EQ(rows[2][9], "");
    EXPECT_EQ(rows[4][5], "Album") << "another disc is left alone";

    const auto discs = library.discs();
    ASSERT_TRUE(discs.ok()) << discs.error();
    EXPECT_EQ(discs.value(),
              (std::vector<DiscSummary>{{kDisc, "New Album", "", "/covers/two.jpg", 3, 790},
                                        {kOther, "Album", "", "/covers/one.png", 3, 790}}));

    const auto removed = library.removeDisc(kDisc);
    ASSERT_TRUE(removed.ok()) << removed.error();
    EXPECT_EQ(removed.value(), 3);
    EXPECT_EQ(table().size(), 3u);
    EXPECT_EQ(library.removeDisc(kDisc).value(), 0);
    EXPECT_EQ(library.editDisc(kDisc, edit).value(), 0) << "a disc that is gone";
}

TEST_F(LibraryFileTest, ATrackStoredAsSevenIsEditedAsTrackSeven) {
    SqlFile(path).exec("INSERT INTO Audio (cddbToc, trkNum) VALUES ('" + kDisc + "', '7')");
    DiscEdit edit;
    edit.tracks = {{7, "Seven", std::nullopt, 9, std::nullopt}};
    EXPECT_EQ(open().editDisc(kDisc, edit).value(), 1);
    EXPECT_EQ(SqlFile(path).rows("SELECT trkTitle, Rating FROM Audio"), (Table{{"Seven", "9"}}));
}

TEST_F(LibraryFileTest, ARefusedChangeLeavesTheWholeDiscAsItWas) {
    LibraryFile library = open();
    ASSERT_TRUE(library.addDisc(threeTracks(kDisc), IfDiscPresent::Refuse).ok());
    // The file keeps titles unique: the third track's new title is refused after the
    // album and the first title were changed.
    SqlFile(path).exec("CREATE UNIQUE INDEX oneTitle ON Audio (trkTitle)");
    const Table before = table();
    DiscEdit edit;
    edit.album = "Changed";
    edit.tracks = {{1, "Uno", std::nullopt, std::nullopt, std::nullopt},
                   {3, "Two", std::nullopt, std::nullopt, std::nullopt}};
    const auto edited = library.editDisc(kDisc, edit);
    EXPECT_FALSE(edited.ok());
    EXPECT_NE(edited.error().find("refused the change: UNIQUE constraint failed"),
              std::string::npos)
        << edited.error();
    EXPECT_EQ(table(), before);

    const auto again = library.addDisc(threeTracks(kDisc), IfDiscPresent::Refuse);
    EXPECT_FALSE(again.ok());
    EXPECT_NE(again.error().find("already holds 3 rows for this disc"), std::string::npos);
    DiscEntry renamed = threeTracks(kDisc);
    renamed.tracks[0].title = "Two";  // the same title twice: the second row is refused
    EXPECT_FALSE(library.addDisc(renamed, IfDiscPresent::Replace).ok());
    EXPECT_EQ(table(), before) << "the old rows were not removed either";
}

TEST_F(LibraryFileTest, NamesAreStoredAsOneLineOfAtMost255Characters) {
    std::string longName;
    for (int i = 0; i < 300; ++i) {
        longName += "\u00e9";  // two bytes each
    }
    std::string kept;
    for (int i = 0; i < 255; ++i) {
        kept += "\u00e9";
    }
    LibraryFile library = open();
    DiscEntry disc = threeTracks(kDisc);
    disc.album = longName;
    disc.tracks[0].title = "Two\nLines";
    disc.tracks[0].artist = longName;
    ASSERT_TRUE(library.addDisc(disc, IfDiscPresent::Refuse).ok());
    EXPECT_EQ(
        SqlFile(path).rows("SELECT trkTitle, trkArtist, Album FROM Audio WHERE trkNum = '01'"),
        (Table{{"Two Lines", kept, kept}}));

    DiscEdit edit;
    edit.album = "Tab\there";
    edit.tracks = {{2, longName, "Line\r\nend", std::nullopt, std::nullopt}};
    ASSERT_TRUE(library.editDisc(kDisc, edit).ok());
    EXPECT_EQ(
        SqlFile(path).rows("SELECT trkTitle, trkArtist, Album FROM Audio WHERE trkNum = '02'"),
        (Table{{kept, "Line  end", "Tab here"}}));
}

TEST_F(LibraryFileTest, BadValuesAreRefusedBeforeTheFileIsTouched) {
    LibraryFile library = open();
    DiscEntry disc = threeTracks(kDisc);
    disc.tracks[1].rating = 11;
    EXPECT_EQ(library.addDisc(disc, IfDiscPresent::Refuse).error(),
              "a rating is a whole number from 0 to 10.");
    disc = threeTracks(kDisc);
    disc.tracks[0].title = "Caf\xE9";
    EXPECT_EQ(library.addDisc(disc, IfDiscPresent::Refuse).error(),
              "the names and comments must be UTF-8 text.");
    disc = threeTracks(kDisc);
    disc.cover = "covers/one.png";
    EXPECT_EQ(library.addDisc(disc, IfDiscPresent::Refuse).error(),
              "the cover must be given by its absolute path.");
    DiscEdit edit;
    edit.tracks = {{0, "Zero", std::nullopt, std::nullopt, std::nullopt}};
    EXPECT_FALSE(library.editDisc(kDisc, edit).ok());
    EXPECT_TRUE(table().empty());
}

TEST_F(LibraryFileTest, NothingIsWrittenIntoADamagedFileAndTheCheckSaysWhy) {
    ASSERT_TRUE(open().addDisc(threeTracks(kOther), IfDiscPresent::Refuse).ok());
    testing::BreakIndex(path);
    const Table before = table();
    LibraryFile library = open();
    const std::string damaged = "The library \"" + path + "\" is damaged and cannot be read.";
    EXPECT_EQ(library.addDisc(threeTracks(kDisc), IfDiscPresent::Refuse).error(), damaged);
    DiscEdit edit;
    edit.album = "x";
    EXPECT_EQ(library.editDisc(kOther, edit).error(), damaged);
    EXPECT_EQ(library.removeDisc(kOther).error(), damaged);
    EXPECT_EQ(table(), before);

    const auto problems = library.check();
    ASSERT_TRUE(problems.ok()) << problems.error();
    ASSERT_FALSE(problems.value().empty());
    EXPECT_NE(problems.value()[0].find("missing from index AudioByDiscAndTrack"), std::string::npos)
        << problems.value()[0];
    // Reading still works: the tools can show what the file holds.
    EXPECT_TRUE(library.rows().ok());
}

TEST_F(LibraryFileTest, AFileIsCheckedAgainOnlyAfterSomethingElseChangedIt) {
    ASSERT_TRUE(open().addDisc(threeTracks(kOther), IfDiscPresent::Refuse).ok());
    const auto stamp = [&] { return *LibraryFileStamp::of(path); };
    // Made and then changed by tools only: the record follows the file.
    EXPECT_TRUE(record.vouchesFor(path, stamp()));
    {
        LibraryFile library = open();
        ASSERT_TRUE(library.removeDisc(kOther).ok());
        ASSERT_TRUE(library.addDisc(threeTracks(kDisc), IfDiscPresent::Refuse).ok());
    }
    EXPECT_TRUE(record.vouchesFor(path, stamp()));

    // Another program changes the file (a rating from the player, say): no longer vouched
    // for, and the next change reads the whole file first.
    SqlFile(path).exec("UPDATE Audio SET Rating = 5 WHERE trkNum = '01'");
    EXPECT_FALSE(record.vouchesFor(path, stamp()));
    ASSERT_TRUE(open().addDisc(threeTracks(kOther), IfDiscPresent::Refuse).ok());
    EXPECT_TRUE(record.vouchesFor(path, stamp())) << "checked, and changed by us alone since";

    // Damage from outside changes the file too, and is found.
    testing::BreakIndex(path);
    EXPECT_FALSE(record.vouchesFor(path, stamp()));
    EXPECT_FALSE(open().removeDisc(kOther).ok());

    // A record from another file of the same name does not count.
    std::filesystem::remove(path);
    ASSERT_TRUE(LibraryFile::create(path).ok());
    EXPECT_FALSE(record.vouchesFor(path, stamp()));
}

}  // namespace
}  // namespace sonarch
