#include <gtest/gtest.h>

#include "library/library_store.h"
#include "library/stored_text.h"
#include "library/track_number.h"
#include "library_fixture.h"

namespace sonarch {
namespace {

using testing::InsertRows;
using testing::SqlFile;
using testing::TempFolder;
using testing::TestRow;
using Table = std::vector<std::vector<std::string>>;

const std::string kDisc = "150 18780 39387 56451";
const std::string kOtherDisc = "150 9150 22650";

struct WriteTest : ::testing::Test {
    void SetUp() override {
        file.exec(testing::AudioTableSql());
        std::vector<TestRow> rows;
        for (int track = 1; track <= 12; ++track) {
            rows.push_back({kDisc, FormatTrackNumber(track), "T", 0, "old album", "old track"});
        }
        rows.push_back({kOtherDisc, "01", "Other", 5, "other album", "other track"});
        InsertRows(file, rows);
    }
    Table column(const std::string& name, const std::string& key) {
        return file.rows("SELECT " + name + " FROM Audio WHERE cddbToc = '" + key +
                         "' ORDER BY trkNum, rowid");
    }
    Table everything() { return file.rows("SELECT * FROM Audio ORDER BY rowid"); }

    TempFolder folder;
    std::string path = folder.file("music.dbd");
    SqlFile file{path};
    LibraryStore store;
};

TEST_F(WriteTest, RatingIsStoredAsANumberInTheTrackRowOnly) {
    const auto before = everything();
    const auto rated = store.disc(path, kDisc).setRating("03", 7);
    ASSERT_EQ(rated.status, LibraryStatus::Done) << rated.error;
    EXPECT_EQ(rated.value, 1);
    EXPECT_EQ(file.rows("SELECT typeof(Rating), Rating FROM Audio WHERE trkNum = '03' AND "
                        "cddbToc = '" +
                        kDisc + "'"),
              (Table{{"integer", "7"}}));
    auto expected = before;
    expected[2][6] = "7";
    EXPECT_EQ(everything(), expected);
}

TEST_F(WriteTest, RatingADiscNotInTheLibraryChangesNoRow) {
    const auto before = everything();
    const auto rated = store.disc(path, "150 99999").setRating("01", 8);
    EXPECT_EQ(rated.status, LibraryStatus::Done);
    EXPECT_EQ(rated.value, 0);
    EXPECT_EQ(everything(), before);
}

TEST_F(WriteTest, TwoRowsOfTheSameTrackAreBothChangedAndTheLaterOneIsShown) {
    file.exec("INSERT INTO Audio (cddbToc, trkNum, Rating, trkCom) VALUES ('" + kDisc +
              "', '05', 2, 'later row')");
    EXPECT_EQ(store.disc(path, kDisc).trackComment("05").value, "later row");

    EXPECT_EQ(store.disc(path, kDisc).setRating("05", 6).value, 2);
    EXPECT_EQ(column("Rating", kDisc)[4], (std::vector<std::string>{"6"}));
    EXPECT_EQ(column("Rating", kDisc)[5], (std::vector<std::string>{"6"}));

    EXPECT_EQ(store.disc(path, kDisc).setTrackComment("05", "both").value, 2);
    EXPECT_EQ(
        file.rows("SELECT trkCom FROM Audio WHERE trkNum = '05' AND cddbToc = '" + kDisc + "'"),
        (Table{{"both"}, {"both"}}));
}

TEST_F(WriteTest, AlbumCommentOfThreeHundredCharactersIsStoredAsItsFirst250InEveryRow) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += char('a' + i % 26);
    }
    const auto saved = store.disc(path, kDisc).setAlbumComment(text);
    ASSERT_EQ(saved.status, LibraryStatus::Done) << saved.error;
    EXPECT_EQ(saved.value, 12);
    const Table expected(12, {text.substr(0, 250)});
    EXPECT_EQ(column("aCom", kDisc), expected);
    EXPECT_EQ(column("aCom", kOtherDisc), (Table{{"other album"}}));
    EXPECT_EQ(store.disc(path, kDisc).albumComment().value, text.substr(0, 250));
}

TEST_F(WriteTest, TrackCommentIsCutAtCharactersNotBytes) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "\xC3\xA9";  // é, two bytes
    }
    ASSERT_EQ(store.disc(path, kDisc).setTrackComment("02", text).value, 1);
    const std::string stored = store.disc(path, kDisc).trackComment("02").value;
    EXPECT_EQ(stored, text.substr(0, 500));
    EXPECT_EQ(file.single("SELECT length(trkCom) FROM Audio WHERE trkNum = '02' AND cddbToc = '" +
                          kDisc + "'"),
              "250");
    EXPECT_EQ(column("trkCom", kDisc)[0], (std::vector<std::string>{"old track"}));
}

TEST_F(WriteTest, AlbumEditorShowsTheFirstRowTrackEditorItsOwnTrack) {
    file.exec("UPDATE Audio SET aCom = 'first' WHERE trkNum = '01'");
    file.exec("UPDATE Audio SET trkCom = 'ninth' WHERE trkNum = '09' AND cddbToc = '" + kDisc +
              "'");
    EXPECT_EQ(store.disc(path, kDisc).albumComment().value, "first");
    EXPECT_EQ(store.disc(path, kDisc).trackComment("09").value, "ninth");
    EXPECT_EQ(store.disc(path, kDisc).trackComment("10").value, "old track");
    const auto unknown = store.disc(path, "150 1").albumComment();
    EXPECT_EQ(unknown.status, LibraryStatus::Done);
    EXPECT_EQ(unknown.value, "");
    EXPECT_EQ(store.disc(path, "150 1").setAlbumComment("nothing").value, 0);
}

TEST_F(WriteTest, AFailureHalfWayThroughTheRowsLeavesEveryRowAsItWas) {
    // Another disc's row holds what the seventh track's row would become, and the file
    // keeps (album comment, track) unique: the change is refused half way through the disc.
    file.exec(
        "INSERT INTO Audio (cddbToc, trkNum, aCom) VALUES ('150 1', '07', 'new album');"
        "CREATE UNIQUE INDEX oneCommentPerTrack ON Audio (aCom, trkNum);");
    const auto before = everything();
    const auto saved = store.disc(path, kDisc).setAlbumComment("new album");
    EXPECT_EQ(saved.status, LibraryStatus::Failed);
    EXPECT_NE(saved.error.find(path), std::string::npos) << saved.error;
    EXPECT_NE(saved.error.find("refused the change: UNIQUE constraint failed"), std::string::npos)
        << saved.error;
    EXPECT_EQ(everything(), before);
    // Nothing is left locked: another writer gets in at once.
    EXPECT_EQ(file.tryExec("BEGIN IMMEDIATE; UPDATE Audio SET Rating = 1; ROLLBACK;"), SQLITE_OK);
    EXPECT_EQ(testing::OpenDescriptorsOf(path), 1);  // only our own SqlFile
}

TEST(StoredText, FirstCharactersNeverSplitACharacter) {
    EXPECT_EQ(FirstCharacters("abc", 2), "ab");
    EXPECT_EQ(FirstCharacters("abc", 3), "abc");
    EXPECT_EQ(FirstCharacters("abc", 5), "abc");
    EXPECT_EQ(FirstCharacters("", 5), "");
    EXPECT_EQ(FirstCharacters("a\xC3\xA9z", 2), "a\xC3\xA9");
    EXPECT_EQ(FirstCharacters("\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB6", 1), "\xF0\x9F\x8E\xB5");
    EXPECT_EQ(FirstCharacters("abc", 0), "");
    const std::string longKey(300, '1');
    EXPECT_EQ(StoredDiscKey(longKey), std::string(250, '1'));
}

}  // namespace
}  // namespace sonarch
