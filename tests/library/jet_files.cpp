#include "jet_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "child_process.h"

namespace sonarch::testing {

namespace {

constexpr char kField = '\x1F';
constexpr char kRow = '\x1E';
constexpr const char* kNull = "\x1D";

std::string programPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::string::npos;
         at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string run(const std::vector<std::string>& args, const std::string& scratchFolder) {
    // The programs read Jet 3 text in the file's own code page and write UTF-8 only when
    // nothing in the environment says otherwise.
    ::unsetenv("MDB_JET3_CHARSET");
    ::unsetenv("MDBICONV");
    std::vector<std::string> full = args;
    full[0] = programPath(args[0]);
    const ProgramRun done = RunProgram(full, scratchFolder);
    EXPECT_EQ(done.exitCode, 0) << args[0] << ": " << done.err;
    return done.out;
}

std::string typeText(const JetColumn& column) {
    switch (column.type) {
        case JetType::Text:
            return "Text (" + std::to_string(column.length) + ")";
        case JetType::Memo:
            return "Memo/Hyperlink (255)";
        case JetType::Integer:
            return "Integer";
        case JetType::LongInteger:
            break;
    }
    return "Long Integer";
}

}  // namespace

bool HaveMdbtools() {
    return !programPath("mdb-ver").empty() && !programPath("mdb-schema").empty() &&
           !programPath("mdb-export").empty();
}

MdbtoolsView ReadWithMdbtools(const std::string& path, const std::string& table,
                              const std::string& scratchFolder) {
    MdbtoolsView view;
    view.version = run({"mdb-ver", path}, scratchFolder);
    view.schema = run({"mdb-schema", path}, scratchFolder);
    const std::string exported = run({"mdb-export", "-Q", "-d", std::string(1, kField), "-R",
                                      std::string(1, kRow), "-0", kNull, path, table},
                                     scratchFolder);
    std::vector<std::string> lines = split(exported, kRow);
    if (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    if (lines.empty()) {
        return view;
    }
    view.header = split(lines.front(), kField);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<JetCell> cells;
        for (std::string& field : split(lines[i], kField)) {
            cells.push_back(field == kNull ? JetCell() : JetCell(std::move(field)));
        }
        view.rows.push_back(std::move(cells));
    }
    return view;
}

bool WriteCheckedJetFile(const std::string& path, const std::vector<JetTable>& tables,
                         const JetFileOptions& options, const std::string& scratchFolder) {
    WriteJetFile(path, tables, options);
    for (const JetTable& table : tables) {
        const MdbtoolsView view = ReadWithMdbtools(path, table.name, scratchFolder);
        EXPECT_EQ(view.version, options.version == JetVersion::Jet3 ? "JET3\n" : "JET4\n");
        const std::size_t at = view.schema.find("CREATE TABLE [" + table.name + "]");
        EXPECT_NE(at, std::string::npos) << view.schema;
        std::vector<std::string> names;
        for (const JetColumn& column : table.columns) {
            names.push_back(column.name);
            const std::string line = "[" + column.name + "]\t\t\t" + typeText(column);
            EXPECT_NE(view.schema.find(line, at == std::string::npos ? 0 : at), std::string::npos)
                << "mdb-schema does not show " << line << " in\n"
                << view.schema;
        }
        EXPECT_EQ(view.header, names);
        EXPECT_EQ(view.rows.size(), table.rows.size());
        for (std::size_t r = 0; r < std::min(view.rows.size(), table.rows.size()); ++r) {
            // libmdb gives an empty text and no value alike, so mdb-export prints both as Null.
            std::vector<JetCell> written = table.rows[r];
            for (JetCell& cell : written) {
                cell = cell && cell->empty() ? JetCell() : cell;
            }
            EXPECT_EQ(view.rows[r], written) << "mdb-export reads row " << r << " otherwise";
        }
    }
    return !::testing::Test::HasFailure();
}

}  // namespace sonarch::testing
