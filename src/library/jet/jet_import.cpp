#include "library/jet/jet_import.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "library/jet/cover_folder.h"
#include "library/jet/jet_library.h"
#include "library/jet/staged_file.h"
#include "library/library_store.h"
#include "library/open_library.h"
#include "library/schema.h"
#include "library/sqlite_database.h"

namespace sonarch {

namespace {

constexpr std::uint64_t kRowsBetweenReports = 500;

std::string stopped() {
    return "The import was stopped; no new library was made.";
}

bool tell(const JetImportListener& listener, const JetImportProgress& progress) {
    return !listener || listener(progress);
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Writes the rows into the empty scratch file in one transaction.
Result<bool> writeRows(const std::string& scratch, const std::string& shownPath,
                       const std::vector<JetAudioRow>& rows,
                       const std::map<std::string, std::string>& covers,
                       const JetImportListener& listener) {
    using R = Result<bool>;
    SqliteDatabase db = SqliteDatabase::open(scratch, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    auto failed = [&](int code) {
        return R::failure(DescribeLibraryFailure(shownPath, code, db.lastError()));
    };
    if (db.openCode() != SQLITE_OK) {
        return failed(db.openCode());
    }
    SqliteTransaction transaction(db);
    if (const int code = transaction.begin(); code != SQLITE_OK) {
        return failed(code);
    }
    if (const int code = db.execute(AudioTableSql().c_str()); code != SQLITE_OK) {
        return failed(code);
    }
    SqliteStatement insert = db.prepare(
        "INSERT INTO Audio (cddbToc, trkNum, trkTime, trkTitle, trkArtist, Album, Rating, Cover, "
        "aCom, trkCom) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    const JetImportProgress start{JetImportProgress::Step::Writing, 0, rows.size()};
    if (!tell(listener, start)) {
        return R::failure(stopped());
    }
    std::uint64_t done = 0;
    for (const JetAudioRow& row : rows) {
        const auto cover = covers.find(row.cover);
        insert.reset();
        insert.bind(1, row.cddbToc)
            .bind(2, row.trkNum)
            .bind(3, row.trkTime)
            .bind(4, row.trkTitle)
            .bind(5, row.trkArtist)
            .bind(6, row.album)
            .bind(7, row.rating)
            .bind(8, cover != covers.end() ? cover->second : row.cover)
            .bind(9, row.aCom)
            .bind(10, row.trkCom);
        if (const int code = insert.step(); code != SQLITE_DONE) {
            return failed(code);
        }
        if (++done % kRowsBetweenReports == 0 || done == rows.size()) {
            if (!tell(listener, {JetImportProgress::Step::Writing, done, rows.size()})) {
                return R::failure(stopped());
            }
        }
    }
    if (const int code = transaction.commit(); code != SQLITE_OK) {
        return failed(code);
    }
    return R::success(true);
}

}  // namespace

Result<JetImportSummary> ImportJetLibrary(const JetImportRequest& request,
                                          const JetImportListener& listener) {
    using R = Result<JetImportSummary>;
    if (exists(request.newLibrary)) {
        return R::failure("\"" + request.newLibrary + "\" already exists; choose a new file name.");
    }
    std::optional<CoverFolder> coverFolder;
    if (!request.coverFolder.empty()) {
        auto opened = CoverFolder::open(request.coverFolder);
        if (!opened.ok()) {
            return R::failure(opened.error());
        }
        coverFolder = std::move(opened.value());
    }
    // Made (empty) before the long read, so a folder that takes no file fails at once.
    auto staged = StagedFile::create(request.newLibrary);
    if (!staged.ok()) {
        return R::failure(staged.error());
    }
    if (!tell(listener, {JetImportProgress::Step::Reading, 0, 0})) {
        return R::failure(stopped());
    }
    auto old = ReadJetLibrary(request.oldLibrary);
    if (!old.ok()) {
        return R::failure(old.error());
    }
    const JetAudioTable& table = old.value();

    JetImportSummary summary;
    summary.format = table.format;
    summary.rows = table.rows.size();
    summary.leftOutColumns = table.leftOut;
    summary.missingColumns = table.missing;
    summary.cutTexts = table.cutTexts;
    std::set<std::string> discs;
    std::map<std::string, std::string> foundCovers;  // old text -> path found
    std::set<std::string> covers;
    for (const JetAudioRow& row : table.rows) {
        discs.insert(row.cddbToc);
        if (row.cover.empty() || !covers.insert(row.cover).second || !coverFolder) {
            continue;
        }
        if (auto found = coverFolder->find(row.cover)) {
            foundCovers.emplace(row.cover, std::move(*found));
        }
    }
    summary.discs = discs.size();
    summary.covers = covers.size();
    summary.coversFound = foundCovers.size();

    auto written = writeRows(staged.value()->scratchPath(), request.newLibrary, table.rows,
                             foundCovers, listener);
    if (!written.ok()) {
        return R::failure(written.error());
    }
    if (!tell(listener, {JetImportProgress::Step::Finishing, summary.rows, summary.rows})) {
        return R::failure(stopped());
    }
    if (auto placed = staged.value()->place(); !placed.ok()) {
        return R::failure(placed.error());
    }
    return R::success(std::move(summary));
}

std::string SuggestedImportPath(const std::string& oldLibrary) {
    namespace fs = std::filesystem;
    const fs::path old(oldLibrary);
    const std::string stem = old.stem().string();
    for (int n = 1;; ++n) {
        const std::string name =
            stem + (n == 1 ? " (imported)" : " (imported " + std::to_string(n) + ")") + ".dbd";
        const fs::path candidate = old.parent_path() / name;
        if (!exists(candidate.string())) {
            return candidate.string();
        }
    }
}

}  // namespace sonarch
