// A termination signal reaches work that holds the window thread: a library operation
// waiting for another program ends at once instead of after its full wait.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <csignal>

#include "app/signal_watcher.h"
#include "library/library_store.h"
#include "library/schema.h"
#include "library/sqlite_database.h"

namespace sonarch {
namespace {

using namespace std::chrono_literals;

TEST(TerminationSignal, EndsALibraryOperationWaitingForAnotherProgram) {
    QTemporaryDir folder;
    const std::string path = folder.filePath("music.dbd").toStdString();
    SqliteDatabase other = SqliteDatabase::open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    ASSERT_EQ(other.execute(AudioTableSql().c_str()), SQLITE_OK);
    ASSERT_EQ(other.execute("BEGIN EXCLUSIVE"), SQLITE_OK);

    SignalWatcher::catchTerminationSignals();
    ASSERT_FALSE(SignalWatcher::terminationFlag().load());
    std::raise(SIGTERM);
    EXPECT_TRUE(SignalWatcher::terminationFlag().load());

    // It would wait an hour for the other program's lock.
    const LibraryStore store(LibraryLimits{60min, 60min, &SignalWatcher::terminationFlag()});
    const auto rated = store.disc(path, "150 9000").setRating("01", 5);
    EXPECT_EQ(rated.status, LibraryStatus::Failed);
    EXPECT_NE(rated.error.find("locked by another program"), std::string::npos) << rated.error;
}

}  // namespace
}  // namespace sonarch
