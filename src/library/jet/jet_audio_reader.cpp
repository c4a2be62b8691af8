#include "library/jet/jet_audio_reader.h"

#include <mdbtools.h>
#include <sys/stat.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "base/utf8.h"
#include "library/jet/jet_answer.h"
#include "library/schema.h"

namespace sonarch {

namespace {

// The longest text taken from one cell, in bytes of UTF-8 (a long text typed into Access
// holds at most 65 535 characters); libmdb cuts what is longer. It allocates this much for
// every text it reads, so more would cost time on every row.
constexpr std::size_t kLongestText = 64 * 1024;

struct CloseFile {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct FreeTable {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using File = std::unique_ptr<MdbHandle, CloseFile>;
using Table = std::unique_ptr<MdbTableDef, FreeTable>;

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// UTF-8 as libmdb gives it, with anything that is not (a character cut by the length
// limit, a code page's stray byte) written as U+FFFD.
std::string wellFormed(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8SequenceLength(text, code);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

std::string failure(JetReadProblem problem, std::string detail = {}) {
    return JetAnswerWriter::failure({problem, wellFormed(detail)});
}

AccessFormat formatOf(const MdbHandle& mdb) {
    switch (mdb.f->jet_version) {
        case MDB_VER_JET3:
            return AccessFormat::Jet3;
        case MDB_VER_JET4:
            return AccessFormat::Jet4;
        default:
            return AccessFormat::Ace;
    }
}

MdbCatalogEntry* audioEntry(MdbHandle& mdb) {
    for (unsigned i = 0; mdb.catalog && i < mdb.num_catalog && i < mdb.catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb.catalog, i));
        if (entry && entry->object_type == MDB_TABLE && sameName(entry->object_name, "Audio")) {
            return entry;
        }
    }
    return nullptr;
}

// One bound column of the table: libmdb writes each row's value into `text`.
struct Bound {
    MdbColumn* column = nullptr;
    std::vector<char> text = std::vector<char>(kLongestText + 1, '\0');
    int length = 0;

    std::string value(std::uint64_t& cut) const {
        const std::size_t size = std::min(std::size_t(std::max(length, 0)), kLongestText);
        if (size + 1 >= kLongestText) {
            ++cut;
        }
        return wellFormed(std::string_view(text.data(), size));
    }
    // A long text kept on pages of its own whose field says it holds something, read as
    // nothing: those pages are gone or damaged.
    bool lostLongText(const MdbHandle& mdb) const {
        if (column->col_type != MDB_MEMO || length != 0 || column->cur_value_len < 12 ||
            column->cur_value_start < 0 ||
            std::size_t(column->cur_value_start) + 4 > std::size_t(mdb.fmt->pg_size)) {
            return false;
        }
        const long header =
            mdb_get_int32(const_cast<unsigned char*>(mdb.pg_buf), column->cur_value_start);
        const bool inRow = (header & 0x80000000) != 0;
        return !inRow && (header & 0x00FFFFFF) != 0;
    }
};

// `fileSize` tells how long the answer will be, about: as long as the file.
std::string readAudio(MdbHandle* opened, std::size_t fileSize) {
    File mdb(opened);
    if (!mdb) {
        return failure(JetReadProblem::NotAccess);
    }
    // The catalogue is the table on page 2; every object has a row there, so fewer rows
    // read than it says it holds means pages of it are lost.
    MdbCatalogEntry catalogue{};
    catalogue.mdb = mdb.get();
    catalogue.object_type = MDB_TABLE;
    catalogue.table_pg = 2;
    std::snprintf(catalogue.object_name, sizeof catalogue.object_name, "MSysObjects");
    Table catalogueTable(mdb_read_table(&catalogue));
    if (!catalogueTable) {
        return failure(JetReadProblem::NoCatalogue);
    }
    const unsigned objects = catalogueTable->num_rows;
    catalogueTable.reset();
    if (!mdb_read_catalog(mdb.get(), MDB_ANY) || mdb->num_catalog < objects) {
        return failure(JetReadProblem::NoCatalogue);
    }
    MdbCatalogEntry* entry = audioEntry(*mdb);
    if (!entry) {
        return failure(JetReadProblem::NoAudioTable);
    }
    Table table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()) || !table->columns) {
        return failure(JetReadProblem::AudioUnreadable);
    }

    JetAudioTable found;
    found.format = formatOf(*mdb);
    found.declaredRows = table->num_rows;
    // Where each library column stands in the table, in the order of kAudioColumns.
    std::array<std::optional<unsigned>, kAudioColumns.size()> at;
    for (unsigned i = 0; i < table->num_cols && i < table->columns->len; ++i) {
        const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        bool kept = false;
        for (std::size_t k = 0; k < kAudioColumns.size(); ++k) {
            if (!at[k] && sameName(column->name, kAudioColumns[k].name)) {
                at[k] = i;
                kept = true;
                break;
            }
        }
        if (!kept) {
            found.leftOut.push_back(wellFormed(column->name));
        }
    }
    for (std::size_t k = 0; k < kAudioColumns.size(); ++k) {
        if (at[k]) {
            continue;
        }
        const std::string name(kAudioColumns[k].name);
        if (k < 2) {  // cddbToc and trkNum find the rows
            return failure(JetReadProblem::NoKeyColumn, name);
        }
        found.missing.push_back(name);
    }

    // Only now: libmdb reads its own catalogue into buffers of the standard size.
    mdb_set_bind_size(mdb.get(), kLongestText);
    std::array<std::unique_ptr<Bound>, kAudioColumns.size()> bound;
    for (std::size_t k = 0; k < kAudioColumns.size(); ++k) {
        if (at[k]) {
            bound[k] = std::make_unique<Bound>();
            bound[k]->column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, *at[k]));
            mdb_bind_column(table.get(), int(*at[k] + 1), bound[k]->text.data(), &bound[k]->length);
        }
    }

    JetAnswerWriter answer(found, fileSize);
    std::uint64_t cut = 0;
    std::uint64_t count = 0;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        ++count;
        std::array<std::string, kAudioColumns.size()> cells;
        for (std::size_t k = 0; k < kAudioColumns.size(); ++k) {
            if (!bound[k]) {
                continue;
            }
            if (bound[k]->lostLongText(*mdb)) {
                return failure(JetReadProblem::LongTextLost, std::to_string(count));
            }
            cells[k] = bound[k]->value(cut);
        }
        JetAudioRow row{std::move(cells[0]),      std::move(cells[1]), std::move(cells[2]),
                        std::move(cells[3]),      std::move(cells[4]), std::move(cells[5]),
                        RatingFromText(cells[6]), std::move(cells[7]), std::move(cells[8]),
                        std::move(cells[9])};
        answer.addRow(row);
    }
    return std::move(answer).finish(cut);
}

}  // namespace

std::string ReadJetAudioAnswer(const std::string& path) {
    struct stat info {};
    const std::size_t size = ::stat(path.c_str(), &info) == 0 ? std::size_t(info.st_size) : 0;
    return readAudio(mdb_open(path.c_str(), MDB_NOFLAGS), size);
}

std::string ReadJetAudioAnswerFromBytes(std::string bytes) {
    // libmdb reads the buffer through a stream that must outlive the handle.
    return readAudio(mdb_open_buffer(bytes.data(), bytes.size(), MDB_NOFLAGS), bytes.size());
}

std::int64_t RatingFromText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    std::int64_t whole = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
    if (error == std::errc() && end == text.data() + text.size()) {
        return whole;
    }
    // A decimal comma where the locale writes one.
    std::string point(text);
    for (char& c : point) {
        c = c == ',' ? '.' : c;
    }
    const std::string_view digits = point.size() > 1 && point[0] == '+'
                                        ? std::string_view(point).substr(1)
                                        : std::string_view(point);
    double number = 0;
    const auto [last, fault] =
        std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (fault != std::errc() || last != digits.data() + digits.size() || !std::isfinite(number) ||
        std::fabs(number) > 9.0e15) {
        return 0;
    }
    return std::int64_t(std::nearbyint(number));
}

}  // namespace sonarch
