#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/result.h"
#include "library/jet/access_format.h"

namespace sonarch {

// Importing a library kept in the old Access (Jet) format into a new library of ours.
struct JetImportRequest {
    std::string oldLibrary;   // the Access file; only ever read
    std::string newLibrary;   // must not exist yet
    std::string coverFolder;  // where the covers lie now; empty keeps the cover paths as written
};

struct JetImportProgress {
    enum class Step {
        Reading,    // the old library is read (in one go: no count of rows yet)
        Writing,    // `done` of `total` rows are written
        Finishing,  // the new library is put in its place
    };
    Step step = Step::Reading;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
};

// Told each step, and every few hundred rows while writing, on the importing thread;
// returning false stops the import, which then leaves nothing behind.
using JetImportListener = std::function<bool(const JetImportProgress&)>;

struct JetImportSummary {
    AccessFormat format = AccessFormat::Jet4;
    std::uint64_t rows = 0;
    std::uint64_t discs = 0;                  // different disc keys
    std::uint64_t covers = 0;                 // different cover paths the rows name
    std::uint64_t coversFound = 0;            // of those, found in the cover folder
    std::vector<std::string> leftOutColumns;  // the old table's columns a library does not keep
    std::vector<std::string> missingColumns;  // library columns the old table lacks (left empty)
    std::uint64_t cutTexts = 0;               // texts too long to take whole
};

// Reads every row of the old library's table Audio (in a child process, see
// ReadJetLibrary) and writes them all, unchanged but for the text's encoding and the
// covers found in `coverFolder`, into a new library, in one transaction. The new file
// appears only when it is complete and never takes the place of an existing file; on any
// failure, or when the listener stops it, nothing is left behind. Blocks for as long as it
// takes (seconds for a hundred thousand rows): a window runs it on a worker thread.
Result<JetImportSummary> ImportJetLibrary(const JetImportRequest& request,
                                          const JetImportListener& listener = {});

// A name for the new library beside the old one that no file has yet: "music.dbd" gives
// "music (imported).dbd", then "music (imported 2).dbd" and so on.
std::string SuggestedImportPath(const std::string& oldLibrary);

}  // namespace sonarch
