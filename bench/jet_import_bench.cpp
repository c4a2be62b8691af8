// Times the import of a library in the old Access format of 100 000 rows (12 tracks a
// disc, names, ratings, covers and comments, some of them long texts): reading it (libmdb
// in its child process) and the whole import into a new library. Wall-clock time, since
// the reading happens in the child. The Access files are written once by the test writer
// into the temporary folder and kept there for later runs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "library/jet/jet_import.h"
#include "library/jet/jet_library.h"
#include "support/jet_writer.h"

namespace {

using namespace sonarch;
using testing::JetCell;

constexpr int kTracksPerDisc = 12;

std::string twoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

testing::JetTable audioTable(std::int64_t rows) {
    testing::JetTable audio{"Audio", testing::LibraryColumns(), {}, {}};
    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<std::int64_t> length(2 * 60 * 75, 6 * 60 * 75);
    const std::string longComment(400, 'l');
    for (std::int64_t disc = 0; disc * kTracksPerDisc < rows; ++disc) {
        std::int64_t start = 150;
        std::string key;
        std::vector<std::int64_t> lengths;
        for (int t = 0; t < kTracksPerDisc; ++t) {
            key += (t ? " " : "") + std::to_string(start);
            lengths.push_back(length(random));
            start += lengths.back();
        }
        key += " " + std::to_string(start + 1);
        const std::string album = "Album number " + std::to_string(disc);
        const std::string cover = "C:\\Music\\Covers\\cover" + std::to_string(disc) + ".jpg";
        for (int t = 1; t <= kTracksPerDisc && disc * kTracksPerDisc + t <= rows; ++t) {
            const std::int64_t seconds = lengths[std::size_t(t - 1)] / 75;
            JetCell comment;
            if (t % 4 == 0) {
                comment = "a few words on track " + std::to_string(t);
            } else if (t == 7) {
                comment = longComment;
            }
            audio.rows.push_back(
                {key, twoDigits(t),
                 twoDigits(int(seconds / 60)) + ":" + twoDigits(int(seconds % 60)),
                 "Title of track " + std::to_string(t) + " on disc " + std::to_string(disc),
                 "Artist " + std::to_string(disc % 500), album, std::to_string(t % 11), cover,
                 "about " + album, comment});
        }
    }
    return audio;
}

// The Access file of `rows` rows, written on first use or taken from an earlier run.
const std::string& accessFile(std::int64_t rows, testing::JetVersion version) {
    static std::map<std::pair<std::int64_t, testing::JetVersion>, std::string> files;
    const auto found = files.find({rows, version});
    if (found != files.end()) {
        return found->second;
    }
    const auto folder = std::filesystem::temp_directory_path() / "sonarch-jet-bench";
    std::filesystem::create_directories(folder);
    const std::string name = std::string(version == testing::JetVersion::Jet3 ? "jet3" : "jet4") +
                             "-" + std::to_string(rows) + ".mdb";
    const std::string path = (folder / name).string();
    if (!std::filesystem::exists(path)) {
        testing::JetFileOptions options;
        options.version = version;
        testing::WriteJetFile(path + ".new", {audioTable(rows)}, options);
        std::filesystem::rename(path + ".new", path);
    }
    return files.emplace(std::make_pair(rows, version), path).first->second;
}

testing::JetVersion versionOf(const benchmark::State& state) {
    return state.range(1) == 3 ? testing::JetVersion::Jet3 : testing::JetVersion::Jet4;
}

void BM_ReadOldAccessLibrary(benchmark::State& state) {
    const std::string& path = accessFile(state.range(0), versionOf(state));
    for (auto _ : state) {
        const auto read = ReadJetLibrary(path);
        if (!read.ok() || read.value().rows.size() != std::size_t(state.range(0))) {
            state.SkipWithError(read.ok() ? "rows were lost" : read.error().c_str());
            break;
        }
    }
    state.counters["rows/s"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadOldAccessLibrary)
    ->Args({100'000, 4})
    ->Args({100'000, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_ImportOldAccessLibrary(benchmark::State& state) {
    const std::string& path = accessFile(state.range(0), versionOf(state));
    const std::string made = path + ".imported.dbd";
    std::filesystem::remove(made);
    for (auto _ : state) {
        const auto imported = ImportJetLibrary({path, made, {}});
        state.PauseTiming();
        std::filesystem::remove(made);
        state.ResumeTiming();
        if (!imported.ok() || imported.value().rows != std::uint64_t(state.range(0))) {
            state.SkipWithError(imported.ok() ? "rows were lost" : imported.error().c_str());
            break;
        }
    }
    state.counters["rows/s"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ImportOldAccessLibrary)
    ->Args({100'000, 4})
    ->Args({100'000, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
