// Library files made to hold the player up: views and triggers in the place of the table,
// rows without end under one key, statements that run and run.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "library/library_file.h"
#include "library/library_store.h"
#include "library/track_number.h"
#include "library_fixture.h"

namespace sonarch {
namespace {

using namespace std::chrono_literals;
using testing::InsertRows;
using testing::OpenDescriptorsOf;
using testing::SqlFile;
using testing::TempFolder;
using Table = std::vector<std::vector<std::string>>;

const std::string kDisc = "150 18780 39387 56451";

bool mentions(const std::string& message, const std::string& text) {
    return message.find(text) != std::string::npos;
}

struct Outcomes {
    std::vector<std::pair<LibraryStatus, std::string>> all;
};

// Every operation of the player on one disc.
Outcomes runEveryOperation(const LibraryDisc& disc) {
    const auto lookup = disc.readTracks();
    const auto rating = disc.setRating("01", 5);
    const auto albumLoad = disc.albumComment();
    const auto albumSave = disc.setAlbumComment("x");
    const auto trackLoad = disc.trackComment("01");
    const auto trackSave = disc.setTrackComment("01", "x");
    return {{{lookup.status, lookup.error},
             {rating.status, rating.error},
             {albumLoad.status, albumLoad.error},
             {albumSave.status, albumSave.error},
             {trackLoad.status, trackLoad.error},
             {trackSave.status, trackSave.error}}};
}

void expectEveryOperationRefused(const LibraryDisc& disc, const std::string& why) {
    for (const auto& [status, error] : runEveryOperation(disc).all) {
        EXPECT_EQ(status, LibraryStatus::Failed);
        EXPECT_TRUE(mentions(error, "\"" + disc.path() + "\" cannot be used")) << error;
        EXPECT_TRUE(mentions(error, why)) << error;
    }
}

struct HostileLibrary : ::testing::Test {
    TempFolder folder;
    std::string path = folder.file("music.dbd");
    LibraryStore store;
};

TEST_F(HostileLibrary, AnAudioViewIsRefusedWithoutRunningIt) {
    {
        SqlFile file(path);
        // Without end: every row leads to another, and the sort needs all of them first.
        file.exec(
            "CREATE VIEW Audio AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
            "SELECT '" +
            kDisc +
            "' AS cddbToc, printf('%02d', n % 99) AS trkNum, '' AS trkTime, "
            "hex(randomblob(500)) AS trkTitle, '' AS trkArtist, '' AS Album, 0 AS Rating, "
            "'' AS Cover, '' AS aCom, '' AS trkCom FROM r ORDER BY trkTitle");
    }
    expectEveryOperationRefused(store.disc(path, kDisc), "its Audio is a view");
    // The tools refuse it too (qvlib show ran it without end).
    const auto tool = LibraryFile::open(path);
    EXPECT_FALSE(tool.ok());
    EXPECT_TRUE(mentions(tool.error(), "its Audio is a view")) << tool.error();
    // In any letter case.
    const std::string lower = folder.file("lower.dbd");
    SqlFile(lower).exec("CREATE TABLE t (a); CREATE VIEW aUDIO AS SELECT a AS cddbToc FROM t");
    expectEveryOperationRefused(store.disc(lower, kDisc), "its Audio is a view");
    EXPECT_EQ(OpenDescriptorsOf(path), 0);
}

TEST_F(HostileLibrary, ATriggerOnAudioIsRefusedAndNeverRuns) {
    SqlFile file(path);
    file.exec(testing::AudioTableSql());
    InsertRows(file, {{kDisc, "01", "One", 3, "album", "track"}});
    file.exec(
        "CREATE TABLE seen (what TEXT);"
        "CREATE TRIGGER watch AFTER UPDATE ON Audio BEGIN INSERT INTO seen VALUES ('update'); "
        "END;");
    const Table before = file.rows("SELECT * FROM Audio");
    expectEveryOperationRefused(store.disc(path, kDisc), "its table Audio has triggers");
    EXPECT_EQ(file.rows("SELECT * FROM Audio"), before);
    EXPECT_EQ(file.single("SELECT count(*) FROM seen"), "0");

    // A trigger on another table does not touch what the player reads and writes.
    file.exec(
        "DROP TRIGGER watch; CREATE TRIGGER elsewhere AFTER INSERT ON seen BEGIN SELECT 1; END;");
    EXPECT_EQ(store.disc(path, kDisc).setRating("01", 8).value, 1);
}

TEST_F(HostileLibrary, AVirtualAudioTableIsRefused) {
    SqlFile file(path);
    if (file.tryExec("CREATE VIRTUAL TABLE Audio USING fts5(cddbToc, trkNum, trkTitle)") !=
        SQLITE_OK) {
        GTEST_SKIP() << "this SQLite has no full-text tables";
    }
    expectEveryOperationRefused(store.disc(path, kDisc), "its Audio is a virtual table");
}

// Rows under one key, numbered 01 to 99 over and over.
void fillOneKey(SqlFile& file, const std::string& key, int rows) {
    file.exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " +
              std::to_string(rows) + ") INSERT INTO Audio (cddbToc, trkNum, trkTitle) SELECT '" +
              key + "', printf('%02d', i % 99 + 1), 'Title ' || i FROM n");
}

TEST_F(HostileLibrary, NoMoreRowsAreReadForOneDiscThanADiscHasTracks) {
    SqlFile file(path);
    file.exec(testing::AudioTableSql());
    fillOneKey(file, kDisc, 10'000);

    const auto found = store.disc(path, kDisc).readTracks();
    EXPECT_EQ(found.status, LibraryStatus::Failed);
    EXPECT_TRUE(mentions(found.error, "holds more than 99 rows for this disc")) << found.error;
    ASSERT_EQ(found.value.size(), 99u) << "the rows read are kept";
    EXPECT_EQ(found.value.front().trkNum, "01");
    EXPECT_EQ(found.value.back().trkNum, "01") << "in track order: the 102 rows of 01 first";
    // A comment comes from the rows it is read from; the file is left as it was.
    EXPECT_EQ(store.disc(path, kDisc).trackComment("05").status, LibraryStatus::Done);
    EXPECT_EQ(file.single("SELECT count(*) FROM Audio"), "10000");
}

TEST_F(HostileLibrary, AnOperationThatWorksPastItsTimeIsEndedAndChangesNothing) {
    SqlFile file(path);
    file.exec(testing::AudioTableSql() + "DROP INDEX AudioByDiscAndTrack;");
    fillOneKey(file, kDisc, 20'000);
    const Table before = file.rows("SELECT count(*), sum(Rating), max(aCom) FROM Audio");

    LibraryLimits noTime;
    noTime.workTime = 0ms;
    const LibraryDisc disc = LibraryStore(noTime).disc(path, kDisc);
    // Each of these goes through every row of the file (the album comment alone stops at
    // the first row of the disc).
    const auto lookup = disc.readTracks();
    const auto rating = disc.setRating("01", 5);
    const auto albumSave = disc.setAlbumComment("x");
    const auto trackLoad = disc.trackComment("01");
    const auto trackSave = disc.setTrackComment("01", "x");
    for (const auto& [status, error] :
         std::vector<std::pair<LibraryStatus, std::string>>{{lookup.status, lookup.error},
                                                            {rating.status, rating.error},
                                                            {albumSave.status, albumSave.error},
                                                            {trackLoad.status, trackLoad.error},
                                                            {trackSave.status, trackSave.error}}) {
        EXPECT_EQ(status, LibraryStatus::Failed);
        EXPECT_TRUE(mentions(error, "\"" + path + "\" took too long to answer")) << error;
    }
    EXPECT_EQ(file.rows("SELECT count(*), sum(Rating), max(aCom) FROM Audio"), before);
    EXPECT_EQ(OpenDescriptorsOf(path), 1);  // only our own SqlFile
    // The same work within the usual limits.
    EXPECT_EQ(store.disc(path, kDisc).setAlbumComment("x").value, 20'000);
}

TEST_F(HostileLibrary, AStopEndsAStatementAndAWaitForAnotherProgram) {
    SqlFile file(path);
    file.exec(testing::AudioTableSql() + "DROP INDEX AudioByDiscAndTrack;");
    fillOneKey(file, kDisc, 20'000);
    std::atomic<bool> stop{true};
    // Limits that would let either run for an hour.
    const LibraryLimits hour{60min, 60min, &stop};
    const LibraryDisc disc = LibraryStore(hour).disc(path, kDisc);

    const auto saved = disc.setAlbumComment("stopped");
    EXPECT_EQ(saved.status, LibraryStatus::Failed);
    EXPECT_TRUE(mentions(saved.error, "was stopped; nothing was changed")) << saved.error;
    EXPECT_EQ(file.single("SELECT count(*) FROM Audio WHERE aCom = 'stopped'"), "0");

    SqlFile other(path);
    other.exec("BEGIN EXCLUSIVE");
    const auto rated = disc.setRating("01", 4);
    EXPECT_EQ(rated.status, LibraryStatus::Failed);
    EXPECT_TRUE(mentions(rated.error, "is locked by another program")) << rated.error;
    other.exec("ROLLBACK");
}

}  // namespace
}  // namespace sonarch
