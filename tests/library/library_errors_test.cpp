#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "library/library_store.h"
#include "library_fixture.h"

namespace sonarch {
namespace {

using namespace std::chrono_literals;
using testing::InsertRows;
using testing::OpenDescriptorsOf;
using testing::SqlFile;
using testing::TempFolder;

const std::string kDisc = "150 18780 39387 56451";

bool mentions(const std::string& message, const std::string& text) {
    return message.find(text) != std::string::npos;
}

// Every operation, run against one file; each must fail with a message that names it.
void ExpectEveryOperationFails(const LibraryStore& store, const std::string& path,
                               const std::string& why) {
    const auto lookup = store.disc(path, kDisc).readTracks();
    const auto rating = store.disc(path, kDisc).setRating("01", 5);
    const auto albumLoad = store.disc(path, kDisc).albumComment();
    const auto albumSave = store.disc(path, kDisc).setAlbumComment("x");
    const auto trackLoad = store.disc(path, kDisc).trackComment("01");
    const auto trackSave = store.disc(path, kDisc).setTrackComment("01", "x");
    const std::pair<LibraryStatus, std::string> outcomes[] = {
        {lookup.status, lookup.error},       {rating.status, rating.error},
        {albumLoad.status, albumLoad.error}, {albumSave.status, albumSave.error},
        {trackLoad.status, trackLoad.error}, {trackSave.status, trackSave.error},
    };
    for (const auto& [status, error] : outcomes) {
        EXPECT_EQ(status, LibraryStatus::Failed);
        EXPECT_TRUE(mentions(error, "\"" + path + "\"")) << error;
        EXPECT_TRUE(mentions(error, why)) << error;
    }
}

TEST(LibraryErrors, FilesThatAreNoLibraryAreErrorsNamingTheFile) {
    TempFolder folder;
    const LibraryStore store;
    { std::ofstream(folder.file("notes.dbd")) << "These are my notes, not a database.\n"; }
    { std::ofstream(folder.file("empty.dbd")); }
    {
        SqlFile other(folder.file("other.dbd"));
        other.exec("CREATE TABLE Songs (title TEXT); INSERT INTO Songs VALUES ('x')");
    }
    struct Case {
        std::string name;
        std::string why;
    };
    const Case cases[] = {
        {"notes.dbd", "is not a library database"},
        {"empty.dbd", "has no table Audio"},
        {"other.dbd", "has no table Audio"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.file(c.name);
        const auto before = std::filesystem::file_size(path);
        ExpectEveryOperationFails(store, path, c.why);
        EXPECT_EQ(OpenDescriptorsOf(path), 0);
        EXPECT_EQ(std::filesystem::file_size(path), before);
    }
}

TEST(LibraryErrors, AMissingColumnFailsTheOperationsThatUseIt) {
    TempFolder folder;
    const LibraryStore store;
    const std::string noCover = folder.file("no-cover.dbd");
    const std::string noComment = folder.file("no-comment.dbd");
    {
        SqlFile file(noCover);
        file.exec(testing::AudioTableSql("Cover"));
        file.exec("INSERT INTO Audio (cddbToc, trkNum, trkCom, aCom) VALUES ('" + kDisc +
                  "', '01', 'note', 'album')");
    }
    {
        SqlFile file(noComment);
        file.exec(testing::AudioTableSql("trkCom"));
        file.exec("INSERT INTO Audio (cddbToc, trkNum, Rating) VALUES ('" + kDisc + "', '01', 1)");
        file.exec("INSERT INTO Audio (cddbToc, trkNum, Rating) VALUES ('" + kDisc + "', '02', 2)");
    }

    const auto lookup = store.disc(noCover, kDisc).readTracks();
    EXPECT_EQ(lookup.status, LibraryStatus::Failed);
    EXPECT_TRUE(mentions(lookup.error, "\"" + noCover + "\" has no column Cover")) << lookup.error;
    // The row was read up to the missing cell and stays, as the track list keeps it.
    EXPECT_EQ(lookup.value, (std::vector<TrackRecord>{{"01", "", "", "", "", "0", ""}}));
    // Operations that do not touch the missing column still work.
    EXPECT_EQ(store.disc(noCover, kDisc).trackComment("01").value, "note");
    EXPECT_EQ(store.disc(noCover, kDisc).setRating("01", 4).value, 1);

    const auto load = store.disc(noComment, kDisc).trackComment("01");
    EXPECT_EQ(load.status, LibraryStatus::Failed);
    EXPECT_TRUE(mentions(load.error, "has no column trkCom")) << load.error;
    const auto save = store.disc(noComment, kDisc).setTrackComment("01", "x");
    EXPECT_EQ(save.status, LibraryStatus::Failed);
    EXPECT_TRUE(mentions(save.error, "\"" + noComment + "\" has no column trkCom")) << save.error;
    EXPECT_EQ(store.disc(noComment, kDisc).readTracks().value.size(), 2u);
    EXPECT_EQ(OpenDescriptorsOf(noCover), 0);
    EXPECT_EQ(OpenDescriptorsOf(noComment), 0);
}

struct LockTest : ::testing::Test {
    void SetUp() override {
        SqlFile file(path);
        file.exec(testing::AudioTableSql());
        InsertRows(file, {{kDisc, "01", "One", 3, "album", "track"}});
    }
    TempFolder folder;
    std::string path = folder.file("music.dbd");
    // No wait: the other connection holds its lock for the whole test.
    LibraryStore store{0ms};
};

TEST_F(LockTest, ALockHeldByAnotherProgramIsAnErrorAndTheFileIsLeftClosed) {
    {
        SqlFile other(path);
        other.exec("BEGIN EXCLUSIVE");
        ExpectEveryOperationFails(store, path, "is locked by another program");
        other.exec("ROLLBACK");
    }
    EXPECT_EQ(OpenDescriptorsOf(path), 0);
    const auto found = store.disc(path, kDisc).readTracks();
    ASSERT_EQ(found.status, LibraryStatus::Done) << found.error;
    EXPECT_EQ(found.value.size(), 1u);
}

TEST_F(LockTest, WhileAnotherProgramWritesReadsWorkAndWritesWait) {
    {
        SqlFile other(path);
        other.exec("BEGIN IMMEDIATE; UPDATE Audio SET trkTitle = 'Uncommitted'");
        const auto found = store.disc(path, kDisc).readTracks();
        ASSERT_EQ(found.status, LibraryStatus::Done) << found.error;
        EXPECT_EQ(found.value.at(0).trkTitle, "One");
        EXPECT_EQ(store.disc(path, kDisc).trackComment("01").value, "track");

        const auto rating = store.disc(path, kDisc).setRating("01", 9);
        EXPECT_EQ(rating.status, LibraryStatus::Failed);
        EXPECT_TRUE(mentions(rating.error, "\"" + path + "\" is locked")) << rating.error;
        const auto comment = store.disc(path, kDisc).setAlbumComment("x");
        EXPECT_EQ(comment.status, LibraryStatus::Failed);
        other.exec("COMMIT");
    }
    EXPECT_EQ(OpenDescriptorsOf(path), 0);
    SqlFile file(path);
    EXPECT_EQ(file.rows("SELECT trkTitle, Rating, aCom FROM Audio"),
              (std::vector<std::vector<std::string>>{{"Uncommitted", "3", "album"}}));
}

TEST_F(LockTest, AReadOnlyFileCanBeReadButNotChanged) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write any file";
    }
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(store.disc(path, kDisc).readTracks().value.size(), 1u);
    const auto rating = store.disc(path, kDisc).setRating("01", 9);
    EXPECT_EQ(rating.status, LibraryStatus::Failed);
    EXPECT_TRUE(mentions(rating.error, "\"" + path + "\" is read-only")) << rating.error;
    EXPECT_EQ(OpenDescriptorsOf(path), 0);
}

}  // namespace
}  // namespace sonarch
