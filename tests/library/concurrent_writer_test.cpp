#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <future>
#include <string>

#include "child_process.h"
#include "library/library_store.h"
#include "library/track_number.h"
#include "library_fixture.h"

namespace sonarch {

namespace {

const std::string kDisc = "150 14590 32975 45566";

bool say(char byte) {
    return ::write(1, &byte, 1) == 1;
}

}  // namespace

// The child role: another program writing the same library, step by step as the test
// asks on standard input. "L" takes the file's exclusive lock and writes (a row of its own
// disc, and the album comment of the test's disc); "U" commits and lets go. Each step is
// answered with the same letter once done.
int RunLibraryWriterChild(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "writer: cannot open %s\n", path.c_str());
        return 3;
    }
    sqlite3_busy_timeout(db, 20000);
    int round = 0;
    char step = 0;
    while (::read(0, &step, 1) == 1) {
        std::string sql;
        if (step == 'L') {
            sql =
                "BEGIN EXCLUSIVE;"
                "INSERT INTO Audio (cddbToc, trkNum, trkTitle) VALUES ('writer', '" +
                FormatTrackNumber(round) + "', 'w');" + "UPDATE Audio SET aCom = 'writer " +
                std::to_string(round) + "' WHERE cddbToc = '" + kDisc + "';";
            ++round;
        } else {
            sql = "COMMIT";
        }
        char* message = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            std::fprintf(stderr, "writer: %s\n", message ? message : "?");
            sqlite3_free(message);
            sqlite3_close(db);
            return 4;
        }
        if (!say(step)) {
            return 5;
        }
    }
    sqlite3_close(db);
    return 0;
}

namespace {

using testing::ChildProcess;
using testing::InsertRows;
using testing::SqlFile;
using testing::TempFolder;
using testing::TestRow;

TEST(ConcurrentWriter, AnotherProgramWritingTheSameLibraryMakesUsWaitNotFail) {
    TempFolder folder;
    const std::string path = folder.file("shared.dbd");
    {
        SqlFile file(path);
        file.exec(testing::AudioTableSql());
        std::vector<TestRow> rows;
        for (int track = 1; track <= 12; ++track) {
            rows.push_back({kDisc, FormatTrackNumber(track), "T"});
        }
        InsertRows(file, rows);
    }
    ChildProcess writer({testing::ThisProgram(), "--library-writer", path});
    ASSERT_TRUE(writer.started());

    const LibraryStore store;
    constexpr int kRounds = 30;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(writer.writeByte('L'));
        ASSERT_EQ(writer.readByte(), 'L') << "the writer could not lock the file";
        // Our operation starts while the writer holds the lock and must wait it out:
        // the writer is told to commit only after ours has been set going.
        auto ours = std::async(std::launch::async, [&]() -> std::pair<LibraryStatus, std::string> {
            switch (round % 3) {
                case 0: {
                    const auto found = store.disc(path, kDisc).readTracks();
                    return {found.value.size() == 12 ? found.status : LibraryStatus::Failed,
                            found.error};
                }
                case 1: {
                    const auto rated =
                        store.disc(path, kDisc).setRating("03", std::int16_t(round % 10 + 1));
                    return {rated.value == 1 ? rated.status : LibraryStatus::Failed, rated.error};
                }
                default: {
                    const auto saved =
                        store.disc(path, kDisc).setAlbumComment("ours " + std::to_string(round));
                    return {saved.value == 12 ? saved.status : LibraryStatus::Failed, saved.error};
                }
            }
        });
        ASSERT_TRUE(writer.writeByte('U'));
        EXPECT_EQ(writer.readByte(), 'U') << "the writer could not commit";
        const auto [status, error] = ours.get();
        ASSERT_EQ(status, LibraryStatus::Done) << error;
    }
    writer.closeInput();
    EXPECT_EQ(writer.wait(), 0);

    SqlFile file(path);
    EXPECT_EQ(file.single("SELECT count(*) FROM Audio WHERE cddbToc = 'writer'"),
              std::to_string(kRounds));
    // The last round saved our album comment after the writer's own.
    EXPECT_EQ(file.single("SELECT DISTINCT aCom FROM Audio WHERE cddbToc = '" + kDisc + "'"),
              "ours " + std::to_string(kRounds - 1));
    EXPECT_EQ(
        file.single("SELECT Rating FROM Audio WHERE trkNum = '03' AND cddbToc = '" + kDisc + "'"),
        std::to_string((kRounds - 2) % 10 + 1));
}

}  // namespace
}  // namespace sonarch
