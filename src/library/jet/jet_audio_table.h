#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/jet/access_format.h"

namespace sonarch {

// One row of an old library's table Audio, each column as a library of ours keeps it:
// text in UTF-8, a column that held no value as empty text (the rating as 0).
struct JetAudioRow {
    std::string cddbToc;
    std::string trkNum;
    std::string trkTime;
    std::string trkTitle;
    std::string trkArtist;
    std::string album;
    std::int64_t rating = 0;
    std::string cover;
    std::string aCom;
    std::string trkCom;

    bool operator==(const JetAudioRow&) const = default;
};

// The table Audio of an Access file, as read.
struct JetAudioTable {
    AccessFormat format = AccessFormat::Jet4;
    // How many rows the table's definition says it holds; fewer read means pages were lost.
    std::uint64_t declaredRows = 0;
    // Its columns that a library does not keep, in the table's order.
    std::vector<std::string> leftOut;
    // Library columns it lacks; they are imported empty.
    std::vector<std::string> missing;
    // Texts longer than the reader takes, kept up to that length.
    std::uint64_t cutTexts = 0;
    std::vector<JetAudioRow> rows;
};

// Why an Access file's table Audio could not be read.
enum class JetReadProblem {
    NotAccess,        // the file is no Access database (or one of a kind the reader lacks)
    NoCatalogue,      // its list of tables cannot be read
    NoAudioTable,     // it has no table Audio
    AudioUnreadable,  // the definition of its table Audio cannot be read
    NoKeyColumn,      // the table lacks cddbToc or trkNum (named in `detail`)
    LongTextLost,     // a long text's pages cannot be read (the row's number in `detail`)
};

struct JetReadFailure {
    JetReadProblem problem = JetReadProblem::NotAccess;
    std::string detail;

    bool operator==(const JetReadFailure&) const = default;
};

}  // namespace sonarch
