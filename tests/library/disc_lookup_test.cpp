
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "library/library_store.h"
#include "library/open_library.h"
#include "library/track_number.h"
#include "library_fixture.h"

namespace sonarch {
namespace {

using testing::InsertRows;
using testing::SqlFile;
using testing::TempFolder;
using testing::TestRow;

const std::string kDiscA =
    "150 14590 32975 45566 63418 84523 94660 110706 133136 147055 158925 177834 195066";
const std::string kDiscB = "150 20000 40000";

struct LookupTest : ::testing::Test {
    void SetUp() override {
        SqlFile file(path);
        file.exec(testing::AudioTableSql());
    }
    TempFolder folder;
    std::string path = folder.file("music.dbd");
    LibraryStore store;
};

TEST_F(LookupTest, TwelveRowsStoredOutOfOrderComeBackInTrackOrder) {
    std::vector<TestRow> rows;
    for (int track = 1; track <= 12; ++track) {
        rows.push_back({kDiscA, FormatTrackNumber(track), "Title " + std::to_string(track),
                        track == 7 ? 7 : 0});
    }
    std::shuffle(rows.begin(), rows.end(), std::mt19937(12));
    SqlFile file(path);
    InsertRows(file, rows);
    InsertRows(file, {{kDiscB, "01", "Other disc"}, {kDiscB, "02", "Other disc"}});

    const auto found = store.disc(path, kDiscA).readTracks();
    ASSERT_EQ(found.status, LibraryStatus::Done) << found.error;
    ASSERT_EQ(found.value.size(), 12u);
    for (int track = 1; track <= 12; ++track) {
        const TrackRecord& record = found.value[std::size_t(track - 1)];
        const std::string number = FormatTrackNumber(track);
        EXPECT_EQ(record.trkNum, number);
        EXPECT_EQ(record.trkTime, number + ":30");
        EXPECT_EQ(record.trkTitle, "Title " + std::to_string(track));
        EXPECT_EQ(record.trkArtist, "Artist " + number);
        EXPECT_EQ(record.album, "Album");
        EXPECT_EQ(record.rating, track == 7 ? "7" : "0");
        EXPECT_EQ(record.cover, "/covers/150.png");
    }
}

TEST_F(LookupTest, DiscNotInTheLibraryFindsNoRows) {
    SqlFile file(path);
    InsertRows(file, {{kDiscB, "01", "Other disc"}});
    const auto found = store.disc(path, kDiscA).readTracks();
    EXPECT_EQ(found.status, LibraryStatus::Done);
    EXPECT_TRUE(found.value.empty());
    // A key is matched whole, not as the start of a longer one.
    EXPECT_TRUE(store.disc(path, "150").readTracks().value.empty());
}

TEST_F(LookupTest, CellsWithoutValueReadAsEmptyText) {
    SqlFile file(path);
    // Another program's library, whose columns may hold no value at all.
    file.exec(
        "DROP TABLE Audio; CREATE TABLE Audio (cddbToc, trkNum, trkTime, trkTitle, trkArtist, "
        "Album, Rating, Cover, aCom, trkCom)");
    file.exec("INSERT INTO Audio (cddbToc, trkNum, trkTitle) VALUES ('" + kDiscB +
              "', '01', 'Only')");
    const auto found = store.disc(path, kDiscB).readTracks();
    ASSERT_EQ(found.status, LibraryStatus::Done) << found.error;
    ASSERT_EQ(found.value.size(), 1u);
    EXPECT_EQ(found.value[0], (TrackRecord{"01", "", "Only", "", "", "", ""}));
    EXPECT_EQ(store.disc(path, kDiscB).albumComment().value, "");
}

TEST_F(LookupTest, NumbersInAnyColumnReadAsDecimalText) {
    SqlFile file(path);
    file.exec("INSERT INTO Audio (cddbToc, trkNum, trkTime, trkTitle, Rating) VALUES ('" + kDiscB +
              "', '01', 245, 1999, '9')");
    const auto found = store.disc(path, kDiscB).readTracks();
    ASSERT_EQ(found.value.size(), 1u);
    EXPECT_EQ(found.value[0].trkTime, "245");
    EXPECT_EQ(found.value[0].trkTitle, "1999");
    EXPECT_EQ(found.value[0].rating, "9");
}

TEST_F(LookupTest, TrackStoredAsSevenIsNotTrackZeroSeven) {
    SqlFile file(path);
    InsertRows(file, {{kDiscB, "7", "Seven", 3, "", "kept"}});
    const std::string trackText = FormatTrackNumber(7);
    EXPECT_EQ(trackText, "07");

    const auto rated = store.disc(path, kDiscB).setRating(trackText, 9);
    EXPECT_EQ(rated.status, LibraryStatus::Done);
    EXPECT_EQ(rated.value, 0);
    EXPECT_EQ(file.single("SELECT Rating FROM Audio"), "3");
    EXPECT_EQ(store.disc(path, kDiscB).trackComment(trackText).value, "");
    EXPECT_EQ(store.disc(path, kDiscB).setTrackComment(trackText, "new").value, 0);
    EXPECT_EQ(file.single("SELECT trkCom FROM Audio"), "kept");
    // The lookup of the whole disc still lists the row, under its stored number.
    const auto found = store.disc(path, kDiscB).readTracks();
    ASSERT_EQ(found.value.size(), 1u);
    EXPECT_EQ(found.value[0].trkNum, "7");
}

TEST(TrackNumber, HasAtLeastTwoDigits) {
    EXPECT_EQ(FormatTrackNumber(0), "00");
    EXPECT_EQ(FormatTrackNumber(1), "01");
    EXPECT_EQ(FormatTrackNumber(9), "09");
    EXPECT_EQ(FormatTrackNumber(10), "10");
    EXPECT_EQ(FormatTrackNumber(99), "99");
    EXPECT_EQ(FormatTrackNumber(100), "100");
    EXPECT_EQ(FormatTrackNumber(-1), "-01");
}

// The working directory is changed for one test and put back.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& to)
        : m_previous(std::filesystem::current_path()) {
        std::filesystem::current_path(to);
    }
    ~WorkingDirectory() { std::filesystem::current_path(m_previous); }

private:
    std::filesystem::path m_previous;
};

TEST(LibraryAvailability, NoLibraryChosenMissingFileOrFolderDoNothingAtAll) {
    TempFolder folder;
    // A real library under the name the settings use for "no library chosen", in the
    // working directory: it must still count as no library.
    {
        SqlFile file(folder.file("None selected"));
        file.exec(testing::AudioTableSql());
        InsertRows(file, {{kDiscB, "01", "Track", 4, "album", "track"}});
    }
    std::filesystem::create_directory(folder.file("folder.dbd"));
    WorkingDirectory inFolder(folder.path());
    const LibraryStore store;

    for (const std::string path : {"None selected", "", "missing.dbd", "folder.dbd"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(LibraryStore::isAvailable(path));
        EXPECT_EQ(store.disc(path, kDiscB).readTracks().status, LibraryStatus::Unavailable);
        EXPECT_EQ(store.disc(path, kDiscB).setRating("01", 9).status, LibraryStatus::Unavailable);
        EXPECT_EQ(store.disc(path, kDiscB).albumComment().status, LibraryStatus::Unavailable);
        EXPECT_EQ(store.disc(path, kDiscB).setAlbumComment("x").status, LibraryStatus::Unavailable);
        EXPECT_EQ(store.disc(path, kDiscB).trackComment("01").status, LibraryStatus::Unavailable);
        EXPECT_EQ(store.disc(path, kDiscB).setTrackComment("01", "x").status,
                  LibraryStatus::Unavailable);
        EXPECT_FALSE(OpenLibrary(path, LibraryLimits{}).ok());
    }
    EXPECT_TRUE(LibraryStore::isAvailable(folder.file("None selected")));
    SqlFile file(folder.file("None selected"));
    EXPECT_EQ(file.rows("SELECT Rating, aCom, trkCom FROM Audio"),
              (std::vector<std::vector<std::string>>{{"4", "album", "track"}}));
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing.dbd")));
}

TEST(LibraryAvailability, RelativeNamesAreFilesNotAddresses) {
    TempFolder folder;
    {
        SqlFile file(folder.file("file:music.dbd"));
        file.exec(testing::AudioTableSql());
        InsertRows(file, {{kDiscB, "01", "Found"}});
    }
    WorkingDirectory inFolder(folder.path());
    const auto found = LibraryStore().disc("file:music.dbd", kDiscB).readTracks();
    ASSERT_EQ(found.status, LibraryStatus::Done) << found.error;
    ASSERT_EQ(found.value.size(), 1u);
    EXPECT_EQ(found.value[0].trkTitle, "Found");
}

}  // namespace
}  // namespace sonarch
