#pragma once

// Access (Jet 3 and Jet 4) database files written by the tests themselves, since nothing on
// a Linux machine writes them. Only what reading needs is written: the header page, the
// catalogue table MSysObjects, and each table's definition, usage maps, data pages and
// long-value pages. Every file is meant to be checked with mdbtools' own programs before
// a test relies on it (WriteCheckedJetFile, tests/library/jet_files.h).

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sonarch::testing {

enum class JetVersion { Jet3, Jet4 };

enum class JetType {
    Text,         // Text(length): up to 255 characters, kept in the row
    Memo,         // long text: in the row when short, else on long-value pages
    Integer,      // 16 bits
    LongInteger,  // 32 bits
};

struct JetColumn {
    std::string name;
    JetType type = JetType::Text;
    int length = 250;  // characters, for Text
};

// One cell: no value (Null), or the value as UTF-8 text (numbers as decimal text).
using JetCell = std::optional<std::string>;

struct JetTable {
    std::string name;
    std::vector<JetColumn> columns;
    std::vector<std::vector<JetCell>> rows;
    // Rows written after `rows`, marked deleted, as Access leaves them until it compacts.
    std::vector<std::vector<JetCell>> deletedRows;
};

struct JetFileOptions {
    JetVersion version = JetVersion::Jet4;
    // Jet 3 keeps text in the code page of the machine that wrote it (1252, 1251, ...).
    int codePage = 1252;
    // A long text of more bytes than this goes to a long-value page; shorter ones stay
    // in the row.
    std::size_t longTextInRow = 64;
};

// The columns of a library's table Audio: Text(250) keys and names, an Integer rating and
// Memo comments.
std::vector<JetColumn> LibraryColumns();

// Writes the file; throws std::runtime_error for what Access would refuse too (a text
// longer than its column, a character its code page lacks, a row longer than a page).
void WriteJetFile(const std::string& path, const std::vector<JetTable>& tables,
                  const JetFileOptions& options = {});

}  // namespace sonarch::testing
