#include "library/library_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <variant>

#include "base/time_text.h"
#include "base/utf8.h"
#include "library/open_library.h"
#include "library/schema.h"
#include "library/stored_name.h"
#include "library/stored_text.h"
#include "library/track_number.h"

namespace sonarch {

namespace {

constexpr int kMostRating = 10;
using FieldValue = std::variant<std::string, std::int64_t>;
constexpr const char* kColumns =
    "cddbToc, trkNum, trkTime, trkTitle, trkArtist, Album, Rating, Cover, aCom, trkCom";

std::string damaged(const std::string& path) {
    return DescribeLibraryFailure(path, SQLITE_CORRUPT, "");
}

// An existing library brought up to the current schema version, in the caller's
// transaction. SQLite's own failures are told in plain words.
Result<bool> upToDate(const std::string& path, SqliteDatabase& db) {
    if (auto migrated = MigrateLibrary(db); !migrated.ok()) {
        const int code = sqlite3_errcode(db.handle());
        if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) {
            return Result<bool>::failure(LibraryFailure(path, db, code));
        }
        return Result<bool>::failure("The library " + QuotedPath(path) +
                                     " cannot be changed: " + migrated.error() + ".");
    }
    return Result<bool>::success(true);
}

// What PRAGMA integrity_check finds, at most `most` problems; none when the file is sound.
Result<std::vector<std::string>> integrityProblems(const std::string& path, SqliteDatabase& db,
                                                   int most) {
    using R = Result<std::vector<std::string>>;
    SqliteStatement check = db.prepare("PRAGMA integrity_check(" + std::to_string(most) + ")");
    std::vector<std::string> problems;
    int code = SQLITE_ROW;
    while ((code = check.step()) == SQLITE_ROW) {
        const std::string line = check.text(0).value_or("");
        if (line != "ok") {
            problems.push_back(line);
        }
    }
    if (code == SQLITE_DONE) {
        return R::success(std::move(problems));
    }
    // Damage that stops the check itself is damage too.
    if ((code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB) {
        return R::success({db.lastError()});
    }
    return R::failure(LibraryFailure(path, db, code));
}

Result<bool> textsAreUtf8(std::initializer_list<const std::string*> texts) {
    for (const std::string* text : texts) {
        if (text && !IsWellFormedUtf8(*text)) {
            return Result<bool>::failure("the names and comments must be UTF-8 text.");
        }
    }
    return Result<bool>::success(true);
}

Result<bool> validCover(const std::string& cover) {
    if (!cover.empty() && cover.front() != '/') {
        return Result<bool>::failure("the cover must be given by its absolute path.");
    }
    return Result<bool>::success(true);
}

LibraryRow rowOf(const SqliteStatement& select) {
    auto cell = [&select](int column) { return select.text(column).value_or(std::string()); };
    return {cell(0), cell(1), cell(2), cell(3), cell(4), cell(5), int(select.number(6)),
            cell(7), cell(8), cell(9)};
}

}  // namespace

// One change to the library: the file opened, the write lock taken, the file checked (once
// per LibraryFile) and its schema brought up to date; committed or, when it goes out of
// scope first, rolled back. After a change to a file the record vouched for, the record
// follows the file, unless another program changed it too.
class LibraryFile::Change {
public:
    explicit Change(LibraryFile& file) : m_file(file) {}

    Result<bool> begin() {
        using R = Result<bool>;
        auto opened = OpenLibrary(m_file.m_path, m_file.m_limits);
        if (!opened.ok()) {
            return R::failure(opened.error());
        }
        m_db.emplace(std::move(opened.value()));
        m_transaction.emplace(*m_db);
        if (const int code = m_transaction->begin(); code != SQLITE_OK) {
            return R::failure(failure(code));
        }
        // Nobody else writes now: what is checked is what is changed.
        m_before = LibraryFileStamp::of(m_file.m_path);
        m_vouched =
            m_before && m_file.m_record && m_file.m_record->vouchesFor(m_file.m_path, *m_before);
        if (!m_file.m_checked && !m_vouched) {
            auto problems = integrityProblems(m_file.m_path, *m_db, 1);
            if (!problems.ok()) {
                return R::failure(problems.error());
            }
            if (!problems.value().empty()) {
                return R::failure(damaged(m_file.m_path));
            }
            m_vouched = m_before.has_value();
        }
        m_file.m_checked = true;
        return upToDate(m_file.m_path, *m_db);
    }

    SqliteDatabase& db() { return *m_db; }
    std::string failure(int code) const { return LibraryFailure(m_file.m_path, *m_db, code); }

    Result<bool> commit() {
        if (const int code = m_transaction->commit(); code != SQLITE_OK) {
            return Result<bool>::failure(failure(code));
        }
        if (m_vouched && m_file.m_record) {
            // Our own commit bumps SQLite's counter by one; more means another writer.
            const auto after = LibraryFileStamp::of(m_file.m_path);
            const bool ours =
                after && after->device == m_before->device && after->inode == m_before->inode &&
                (*after == *m_before || after->changeCounter == m_before->changeCounter + 1);
            if (ours) {
                m_file.m_record->remember(m_file.m_path, *after);
            }
        }
        return Result<bool>::success(true);
    }

private:
    LibraryFile& m_file;
    std::optional<SqliteDatabase> m_db;
    std::optional<SqliteTransaction> m_transaction;
    std::optional<LibraryFileStamp> m_before;
    bool m_vouched = false;
};

Result<LibraryFile> LibraryFile::create(const std::string& path, const LibraryLimits& limits,
                                        const LibraryCheckRecord* record) {
    using R = Result<LibraryFile>;
    // Made empty first, atomically, so an existing file is never written over.
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        const int why = errno;
        return R::failure(QuotedPath(path) + " " +
                          (why == EEXIST
                               ? "already exists; choose a new file name."
                               : "cannot be made: " + std::string(std::strerror(why)) + "."));
    }
    ::close(fd);
    std::string message;
    {
        SqliteDatabase db = SqliteDatabase::open(path, SQLITE_OPEN_READWRITE);
        if (db.openCode() != SQLITE_OK) {
            message = LibraryFailure(path, db, db.openCode());
        } else {
            SqliteTransaction transaction(db);
            int code = transaction.begin();
            if (code == SQLITE_OK) {
                code = db.execute(AudioTableSql().c_str());
            }
            if (code == SQLITE_OK) {
                code = transaction.commit();
            }
            if (code != SQLITE_OK) {
                message = LibraryFailure(path, db, code);
            }
        }
    }
    if (!message.empty()) {
        std::error_code error;
        std::filesystem::remove(path, error);
        return R::failure(message);
    }
    LibraryFile file(path, limits, record);
    file.m_checked = true;  // made just now, by us
    if (const auto stamp = LibraryFileStamp::of(path); stamp && record) {
        record->remember(path, *stamp);
    }
    return R::success(std::move(file));
}

Result<LibraryFile> LibraryFile::open(const std::string& path, const LibraryLimits& limits,
                                      const LibraryCheckRecord* record) {
    auto opened = OpenLibrary(path, limits);
    if (!opened.ok()) {
        return Result<LibraryFile>::failure(opened.error());
    }
    return Result<LibraryFile>::success(LibraryFile(path, limits, record));
}

Result<std::vector<std::string>> LibraryFile::check() {
    using R = Result<std::vector<std::string>>;
    auto opened = OpenLibrary(m_path, m_limits);
    if (!opened.ok()) {
        return R::failure(opened.error());
    }
    const auto before = LibraryFileStamp::of(m_path);
    auto problems = integrityProblems(m_path, opened.value(), 100);
    if (problems.ok() && problems.value().empty()) {
        m_checked = true;
        // Remembered only when nothing changed the file while it was read.
        if (before && m_record && LibraryFileStamp::of(m_path) == before) {
            m_record->remember(m_path, *before);
        }
    }
    return problems;
}

Result<bool> LibraryFile::ensureChecked() {
    using R = Result<bool>;
    if (m_checked) {
        return R::success(true);
    }
    const auto stamp = LibraryFileStamp::of(m_path);
    if (stamp && m_record && m_record->vouchesFor(m_path, *stamp)) {
        m_checked = true;
        return R::success(true);
    }
    auto problems = check();
    if (!problems.ok()) {
        return R::failure(problems.error());
    }
    if (!problems.value().empty()) {
        return R::failure(damaged(m_path));
    }
    return R::success(true);
}

Result<std::vector<LibraryRow>> LibraryFile::rows(const std::string* discKey) const {
    using R = Result<std::vector<LibraryRow>>;
    auto opened = OpenLibrary(m_path, m_limits);
    if (!opened.ok()) {
        return R::failure(opened.error());
    }
    SqliteDatabase& db = opened.value();
    const std::string sql = std::string("SELECT ") + kColumns + " FROM Audio" +
                            (discKey ? " WHERE cddbToc = ?1" : "") + " ORDER BY cddbToc, trkNum";
    SqliteStatement select = db.prepare(sql);
    if (discKey) {
        select.bind(1, *discKey);
    }
    std::vector<LibraryRow> rows;
    int code = SQLITE_ROW;
    while ((code = select.step()) == SQLITE_ROW) {
        rows.push_back(rowOf(select));
    }
    if (code != SQLITE_DONE) {
        return R::failure(LibraryFailure(m_path, db, code));
    }
    return R::success(std::move(rows));
}

Result<std::vector<DiscSummary>> LibraryFile::discs() const {
    using R = Result<std::vector<DiscSummary>>;
    auto opened = OpenLibrary(m_path, m_limits);
    if (!opened.ok()) {
        return R::failure(opened.error());
    }
    SqliteDatabase& db = opened.value();
    SqliteStatement select = db.prepare(
        "SELECT cddbToc, trkTime, trkArtist, Album, Cover FROM Audio ORDER BY cddbToc, trkNum");
    std::vector<DiscSummary> discs;
    int code = SQLITE_ROW;
    while ((code = select.step()) == SQLITE_ROW) {
        auto cell = [&select](int column) { return select.text(column).value_or(std::string()); };
        const std::string key = cell(0);
        const std::string artist = cell(2);
        if (discs.empty() || discs.back().key != key) {
            discs.push_back({key, cell(3), artist, cell(4), 0, 0});
        }
        DiscSummary& disc = discs.back();
        if (disc.artist != artist) {
            disc.artist.clear();
        }
        ++disc.tracks;
        disc.seconds += int(std::lround(TextToSeconds(cell(1))));
    }
    if (code != SQLITE_DONE) {
        return R::failure(LibraryFailure(m_path, db, code));
    }
    return R::success(std::move(discs));
}

Result<bool> LibraryFile::addDisc(const DiscEntry& disc, IfDiscPresent ifPresent) {
    using R = Result<bool>;
    if (auto utf8 = textsAreUtf8({&disc.album, &disc.albumComment, &disc.cover}); !utf8.ok()) {
        return utf8;
    }
    if (auto cover = validCover(disc.cover); !cover.ok()) {
        return cover;
    }
    std::vector<LibraryRow> rows;
    for (std::size_t i = 0; i < disc.tracks.size(); ++i) {
        const TrackEntry& track = disc.tracks[i];
        if (auto utf8 = textsAreUtf8({&track.title, &track.artist, &track.comment}); !utf8.ok()) {
            return utf8;
        }
        if (track.rating < 0 || track.rating > kMostRating) {
            return R::failure("a rating is a whole number from 0 to 10.");
        }
        rows.push_back({disc.key, FormatTrackNumber(int(i + 1)), track.time,
                        StoredName(track.title), StoredName(track.artist), StoredName(disc.album),
                        track.rating, disc.cover,
                        FirstCharacters(disc.albumComment, kStoredCommentLength),
                        FirstCharacters(track.comment, kStoredCommentLength)});
    }
    return addRows(rows, ifPresent);
}

Result<bool> LibraryFile::addRows(const std::vector<LibraryRow>& rows, IfDiscPresent ifPresent) {
    using R = Result<bool>;
    if (rows.empty()) {
        return R::failure("there are no tracks to add.");
    }
    if (rows.size() > std::size_t(kMostRowsOfADisc)) {
        return R::failure("a disc has at most 99 tracks.");
    }
    Change change(*this);
    if (auto begun = change.begin(); !begun.ok()) {
        return begun;
    }
    SqliteDatabase& db = change.db();
    const std::string& key = rows.front().cddbToc;
    SqliteStatement count = db.prepare("SELECT count(*) FROM Audio WHERE cddbToc = ?1");
    if (const int code = count.bind(1, key).step(); code != SQLITE_ROW) {
        return R::failure(change.failure(code));
    }
    const auto existing = count.number(0);
    if (existing > 0 && ifPresent == IfDiscPresent::Refuse) {
        return R::failure(QuotedPath(m_path) + " already holds " + std::to_string(existing) +
                          " rows for this disc; use --replace to write them anew.");
    }
    if (existing > 0) {
        SqliteStatement remove = db.prepare("DELETE FROM Audio WHERE cddbToc = ?1");
        if (const int code = remove.bind(1, key).step(); code != SQLITE_DONE) {
            return R::failure(change.failure(code));
        }
    }
    SqliteStatement insert = db.prepare(std::string("INSERT INTO Audio (") + kColumns +
                                        ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    if (const int code = insert.prepareCode(); code != SQLITE_OK) {
        return R::failure(change.failure(code));  // a column is missing
    }
    for (const LibraryRow& row : rows) {
        insert.reset();
        insert.bind(1, row.cddbToc)
            .bind(2, row.trkNum)
            .bind(3, row.trkTime)
            .bind(4, row.trkTitle)
            .bind(5, row.trkArtist)
            .bind(6, row.album)
            .bind(7, std::int64_t{row.rating})
            .bind(8, row.cover)
            .bind(9, row.aCom)
            .bind(10, row.trkCom);
        if (const int code = insert.step(); code != SQLITE_DONE) {
            return R::failure(change.failure(code));
        }
    }
    return change.commit();
}

Result<int> LibraryFile::editDisc(const std::string& discKey, const DiscEdit& edit) {
    using R = Result<int>;
    for (const std::optional<std::string>* text : {&edit.album, &edit.albumComment, &edit.cover}) {
        if (*text && !textsAreUtf8({&**text}).ok()) {
            return R::failure("the names and comments must be UTF-8 text.");
        }
    }
    if (edit.cover && !validCover(*edit.cover).ok()) {
        return R::failure(validCover(*edit.cover).error());
    }
    for (const TrackEdit& track : edit.tracks) {
        for (const std::optional<std::string>* text :
             {&track.title, &track.artist, &track.comment}) {
            if (*text && !textsAreUtf8({&**text}).ok()) {
                return R::failure("the names and comments must be UTF-8 text.");
            }
        }
        if (track.rating && (*track.rating < 0 || *track.rating > kMostRating)) {
            return R::failure("a rating is a whole number from 0 to 10.");
        }
        if (track.track < 1 || track.track > kMostRowsOfADisc) {
            return R::failure("a track is numbered from 1 to 99.");
        }
    }
    Change change(*this);
    if (auto begun = change.begin(); !begun.ok()) {
        return R::failure(begun.error());
    }
    SqliteDatabase& db = change.db();
    SqliteStatement count = db.prepare("SELECT count(*) FROM Audio WHERE cddbToc = ?1");
    if (const int code = count.bind(1, discKey).step(); code != SQLITE_ROW) {
        return R::failure(change.failure(code));
    }
    const int rows = int(count.number(0));
    // One statement per field given, the value bound as ?3; the first refusal ends it.
    int code = SQLITE_DONE;
    auto set = [&](const char* column, const FieldValue& value, std::optional<int> track) {
        if (code != SQLITE_DONE) {
            return;
        }
        SqliteStatement update =
            db.prepare(std::string("UPDATE Audio SET ") + column + " = ?3 WHERE cddbToc = ?1" +
                       (track ? " AND CAST(trkNum AS INTEGER) = ?2" : ""));
        update.bind(1, discKey).bind(2, std::int64_t{track.value_or(0)});
        if (const auto* text = std::get_if<std::string>(&value)) {
            update.bind(3, *text);
        } else {
            update.bind(3, std::get<std::int64_t>(value));
        }
        code = update.step();
    };
    if (edit.album) {
        set("Album", StoredName(*edit.album), std::nullopt);
    }
    if (edit.albumComment) {
        set("aCom", FirstCharacters(*edit.albumComment, kStoredCommentLength), std::nullopt);
    }
    if (edit.cover) {
        set("Cover", *edit.cover, std::nullopt);
    }
    for (const TrackEdit& track : edit.tracks) {
        if (track.title) {
            set("trkTitle", StoredName(*track.title), track.track);
        }
        if (track.artist) {
            set("trkArtist", StoredName(*track.artist), track.track);
        }
        if (track.comment) {
            set("trkCom", FirstCharacters(*track.comment, kStoredCommentLength), track.track);
        }
        if (track.rating) {
            set("Rating", std::int64_t{*track.rating}, track.track);
        }
    }
    if (code != SQLITE_DONE) {
        return R::failure(change.failure(code));
    }
    if (auto committed = change.commit(); !committed.ok()) {
        return R::failure(committed.error());
    }
    return R::success(rows);
}

Result<int> LibraryFile::removeDisc(const std::string& discKey) {
    using R = Result<int>;
    Change change(*this);
    if (auto begun = change.begin(); !begun.ok()) {
        return R::failure(begun.error());
    }
    SqliteStatement remove = change.db().prepare("DELETE FROM Audio WHERE cddbToc = ?1");
    if (const int code = remove.bind(1, discKey).step(); code != SQLITE_DONE) {
        return R::failure(change.failure(code));
    }
    const int removed = change.db().changes();
    if (auto committed = change.commit(); !committed.ok()) {
        return R::failure(committed.error());
    }
    return R::success(removed);
}

}  // namespace sonarch
