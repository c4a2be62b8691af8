// Times the disc lookup on libraries of 10 000, 100 000 and 1 000 000 rows (12 tracks a
// disc): the whole operation as the player runs it (open, query, read, close) and the
// query alone on an open file. And adding a disc as qvlib does it (open the library, add
// twelve rows in one transaction, close): with the record of checked libraries, as every
// add after the first; without it, as an add that must check the whole file first; and the
// full check alone. Libraries are built once into the temporary folder and kept there for
// later runs; the discs added are taken out again, untimed.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/library_file.h"
#include "library/library_store.h"
#include "library/open_library.h"
#include "library/track_number.h"

namespace {

using namespace sonarch;

constexpr int kTracksPerDisc = 12;

// Keys like real ones: twelve track starts of two to six minutes, then the closing number.
std::vector<std::string> discKeys(std::int64_t discs) {
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<std::int64_t> length(2 * 60 * 75, 6 * 60 * 75);
    std::vector<std::string> keys;
    keys.reserve(std::size_t(discs));
    for (std::int64_t d = 0; d < discs; ++d) {
        std::int64_t start = 150;
        std::string key;
        for (int t = 0; t < kTracksPerDisc; ++t) {
            key += (t ? " " : "") + std::to_string(start);
            start += length(random);
        }
        keys.push_back(key + " " + std::to_string(start + 1));
    }
    return keys;
}

void check(int code, sqlite3* db) {
    if (code != SQLITE_OK && code != SQLITE_DONE) {
        throw std::runtime_error(sqlite3_errmsg(db));
    }
}

void fill(const std::string& path, const std::vector<std::string>& keys) {
    auto made = LibraryFile::create(path);
    if (!made.ok()) {
        throw std::runtime_error(made.error());
    }
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    // Only for building: the benchmark's own connection, not stored in the file.
    check(sqlite3_exec(db, "PRAGMA synchronous = OFF; BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO Audio (cddbToc, trkNum, trkTime, trkTitle, trkArtist, "
                             "Album, Rating, Cover) VALUES (?1, ?2, '03:30', ?3, 'Artist', "
                             "'Album', 0, '/covers/cover.png')",
                             -1, &insert, nullptr),
          db);
    for (std::size_t d = 0; d < keys.size(); ++d) {
        for (int t = 1; t <= kTracksPerDisc; ++t) {
            const std::string number = FormatTrackNumber(t);
            const std::string title = "Title " + std::to_string(d) + "." + number;
            sqlite3_reset(insert);
            sqlite3_bind_text(insert, 1, keys[d].c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, number.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, title.c_str(), -1, SQLITE_TRANSIENT);
            check(sqlite3_step(insert), db);
        }
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

struct Library {
    std::string path;
    std::vector<std::string> keys;
};

// The library of `rows` rows, built on first use or taken from an earlier run.
const Library& libraryOf(std::int64_t rows) {
    static std::map<std::int64_t, Library> libraries;
    auto found = libraries.find(rows);
    if (found != libraries.end()) {
        return found->second;
    }
    const auto folder = std::filesystem::temp_directory_path() / "sonarch-library-bench";
    std::filesystem::create_directories(folder);
    Library library{(folder / ("library-" + std::to_string(rows) + ".dbd")).string(),
                    discKeys(rows / kTracksPerDisc)};
    const LibraryStore store;
    const bool usable = std::filesystem::exists(library.path) &&
                        store.disc(library.path, library.keys.back()).readTracks().value.size() ==
                            std::size_t(kTracksPerDisc);
    if (!usable) {
        const std::string scratch = library.path + ".new";
        std::filesystem::remove(scratch);
        fill(scratch, library.keys);
        std::filesystem::rename(scratch, library.path);
    }
    return libraries.emplace(rows, std::move(library)).first->second;
}

// Spreads the lookups over the whole library, in an order the cache cannot guess.
std::vector<std::size_t> lookupOrder(std::size_t discs) {
    std::vector<std::size_t> order(4096);
    std::mt19937_64 random(7);
    for (auto& index : order) {
        index = std::size_t(random() % discs);
    }
    return order;
}

void BM_LookUpDisc(benchmark::State& state) {
    const Library& library = libraryOf(state.range(0));
    const auto order = lookupOrder(library.keys.size());
    const LibraryStore store;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto found =
            store.disc(library.path, library.keys[order[i++ % order.size()]]).readTracks();
        if (found.value.size() != std::size_t(kTracksPerDisc)) {
            state.SkipWithError("a disc of the library was not found");
            break;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LookUpDisc)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oLogN);

void BM_OrderedDiscQuery(benchmark::State& state) {
    const Library& library = libraryOf(state.range(0));
    const auto order = lookupOrder(library.keys.size());
    auto database = OpenLibrary(library.path, LibraryLimits{});
    if (!database.ok()) {
        state.SkipWithError(database.error().c_str());
        return;
    }
    SqliteStatement query = database.value().prepare(kOrderedDiscQuery);
    std::size_t i = 0;
    for (auto _ : state) {
        query.reset();
        query.bind(1, library.keys[order[i++ % order.size()]]);
        int rows = 0;
        while (query.step() == SQLITE_ROW) {
            benchmark::DoNotOptimize(query.text(0));
            ++rows;
        }
        if (rows != kTracksPerDisc) {
            state.SkipWithError("a disc of the library was not found");
            break;
        }
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_OrderedDiscQuery)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oLogN);

// A disc that is not in any of the libraries: twelve tracks of a key of its own.
DiscEntry newDisc(std::int64_t n) {
    DiscEntry disc;
    disc.key = "150 " + std::to_string(900'000'000 + n);
    disc.album = "Added";
    for (int t = 1; t <= kTracksPerDisc; ++t) {
        disc.tracks.push_back({"03:30", "Title " + FormatTrackNumber(t), "Artist", 0, {}});
    }
    return disc;
}

std::filesystem::path recordFolder() {
    return std::filesystem::temp_directory_path() / "sonarch-library-bench" / "checked";
}

// Adds a disc per iteration, each through a new LibraryFile as a new qvlib run would.
void addDiscs(benchmark::State& state, const LibraryCheckRecord* record) {
    const Library& library = libraryOf(state.range(0));
    std::int64_t n = 0;
    for (auto _ : state) {
        auto file = LibraryFile::open(library.path, LibraryLimits::forTools(), record);
        const DiscEntry disc = newDisc(n++);
        const auto added = file.ok() ? file.value().addDisc(disc, IfDiscPresent::Refuse)
                                     : Result<bool>::failure(file.error());
        state.PauseTiming();
        const auto removed =
            file.ok() ? file.value().removeDisc(disc.key) : Result<int>::failure("");
        state.ResumeTiming();
        if (!added.ok() || !removed.ok()) {
            state.SkipWithError(added.ok() ? removed.error().c_str() : added.error().c_str());
            break;
        }
    }
    state.SetComplexityN(state.range(0));
}

void BM_AddDisc(benchmark::State& state) {
    const LibraryCheckRecord record(recordFolder());
    // The first add after the file changed checks it whole; that is BM_CheckLibrary's.
    auto file =
        LibraryFile::open(libraryOf(state.range(0)).path, LibraryLimits::forTools(), &record);
    if (!file.ok() || !file.value().check().ok()) {
        state.SkipWithError("the library could not be checked");
        return;
    }
    addDiscs(state, &record);
}
BENCHMARK(BM_AddDisc)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::o1);

void BM_AddDiscCheckingTheWholeFile(benchmark::State& state) {
    addDiscs(state, nullptr);
}
BENCHMARK(BM_AddDiscCheckingTheWholeFile)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_CheckLibrary(benchmark::State& state) {
    const Library& library = libraryOf(state.range(0));
    for (auto _ : state) {
        auto file = LibraryFile::open(library.path);
        const auto problems = file.ok() ? file.value().check()
                                        : Result<std::vector<std::string>>::failure(file.error());
        if (!problems.ok() || !problems.value().empty()) {
            state.SkipWithError("the library is not sound");
            break;
        }
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CheckLibrary)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
