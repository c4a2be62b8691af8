// The reading of libraries in the old Access (Jet) format. The first byte says what the
// rest is:
//   'A'   an answer of the reading child, as the parent decodes it: what decodes is exactly
//         what the child's writer would have written for it;
//   'R'   a rating as libmdb writes it out;
//   else  changes to a Jet 4 (even first byte) or Jet 3 (odd) library made by the test
//         writer: records of a 3-byte offset, a length byte and that many bytes written
//         there; with bit 1 of the first byte, the file is cut at the last record's
//         offset. The file is read as the import reads it, libmdb in a child process:
//         the result is the rows, or a plain error naming the file, and never a crash.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/utf8.h"
#include "fuzz_check.h"
#include "library/jet/jet_answer.h"
#include "library/jet/jet_audio_reader.h"
#include "library/jet/jet_library.h"
#include "support/jet_writer.h"

using namespace sonarch;

namespace {

std::string g_folder;
std::string g_jet3;
std::string g_jet4;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A small library with every kind of value the reader meets: Nulls, compressed and plain
// Unicode, long texts in the row, on a page of their own and over several pages.
std::string library(testing::JetVersion version) {
    using testing::JetCell;
    testing::JetTable audio{"Audio", testing::LibraryColumns(), {}, {}};
    audio.columns.push_back({"Genre", testing::JetType::Text, 20});
    const std::string over = std::string(300, 'c');
    const std::string pages = std::string(5000, 'p');
    const bool jet3 = version == testing::JetVersion::Jet3;
    audio.rows.push_back({"150 900 1800", "01", "03:00", jet3 ? "Caf\xC3\xA9" : "\xC4\x80 ok",
                          "Ann", "Album", "7", "C:\\Covers\\a.jpg", "album", over, "Pop"});
    audio.rows.push_back({"150 900 1800", "02", JetCell(), JetCell(), "", "Album", JetCell(), "",
                          JetCell(), pages, JetCell()});
    audio.deletedRows.push_back({"x", "01", "", "", "", "", "0", "", "", "", ""});
    testing::JetFileOptions options;
    options.version = version;
    const std::string path = g_folder + "/base.mdb";
    testing::WriteJetFile(path, {audio}, options);
    return readFile(path);
}

void checkAnswer(std::string_view bytes) {
    const auto answer = DecodeJetAnswer(bytes);
    if (!answer) {
        return;
    }
    if (const auto* failure = std::get_if<JetReadFailure>(&*answer)) {
        FUZZ_CHECK(JetAnswerWriter::failure(*failure) == bytes);
        return;
    }
    const auto& table = std::get<JetAudioTable>(*answer);
    JetAnswerWriter writer(table);
    for (const JetAudioRow& row : table.rows) {
        FUZZ_CHECK(IsWellFormedUtf8(row.cddbToc) && IsWellFormedUtf8(row.trkCom));
        writer.addRow(row);
    }
    FUZZ_CHECK(std::move(writer).finish(table.cutTexts) == bytes);
}

void checkFile(const std::uint8_t* data, std::size_t size) {
    std::string file = data[0] % 2 ? g_jet3 : g_jet4;
    std::size_t at = 0;
    std::size_t i = 1;
    while (i + 4 <= size) {
        at = (data[i] | data[i + 1] << 8 | std::size_t(data[i + 2]) << 16) % file.size();
        const std::size_t length = std::min<std::size_t>(data[i + 3], size - i - 4);
        for (std::size_t k = 0; k < length && at + k < file.size(); ++k) {
            file[at + k] = char(data[i + 4 + k]);
        }
        i += 4 + length;
    }
    if (data[0] & 2) {
        file.resize(at);
    }
    const std::string path = g_folder + "/old.dbd";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
    const auto read = ReadJetLibrary(path, {std::chrono::seconds(2), 256ull * 1024 * 1024});
    if (!read.ok()) {
        FUZZ_CHECK(read.error().find("\"" + path + "\"") != std::string::npos);
        FUZZ_CHECK(read.error().find('\n') == std::string::npos);
        return;
    }
    FUZZ_CHECK(read.value().rows.size() >= read.value().declaredRows);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "jet-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::abort();
    }
    g_folder = pattern;
    g_jet3 = library(testing::JetVersion::Jet3);
    g_jet4 = library(testing::JetVersion::Jet4);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(g_folder, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] == 'A') {
        checkAnswer(rest);
    } else if (data[0] == 'R') {
        (void)RatingFromText(rest);
    } else {
        checkFile(data, size);
    }
    return 0;
}
