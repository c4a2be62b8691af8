#pragma once

#include <string>
#include <vector>

#include "support/jet_writer.h"

namespace sonarch::testing {

// What mdbtools' own programs read from an Access file: mdb-ver's version, mdb-schema's
// text, and mdb-export's header and rows (a Null cell as nothing).
struct MdbtoolsView {
    std::string version;
    std::string schema;
    std::vector<std::string> header;
    std::vector<std::vector<JetCell>> rows;
};

// True when mdb-ver, mdb-schema and mdb-export are installed.
bool HaveMdbtools();

// Reads `table` of the file with mdbtools, in their default text encoding (UTF-8).
MdbtoolsView ReadWithMdbtools(const std::string& path, const std::string& table,
                              const std::string& scratchFolder);

// Writes the file with the test writer and checks it with mdbtools, a reader that is not
// ours: the version, every column with its type, and every row cell by cell. A mismatch
// fails the running test, and false comes back.
bool WriteCheckedJetFile(const std::string& path, const std::vector<JetTable>& tables,
                         const JetFileOptions& options, const std::string& scratchFolder);

}  // namespace sonarch::testing
