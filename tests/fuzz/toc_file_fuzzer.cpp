// The copy of a cdrdao TOC file that names its data files in full: every file it reports
// is named from the root, and it keeps every line of the original.
#include <cstdint>
#include <string>

#include "device/images/toc_file.h"
#include "fuzz_check.h"

using namespace sonarch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TocFileCopy copy = TocFileWithFullPaths(text, "/discs");
    std::size_t lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    if (!text.empty() && text.back() != '\n') {
        ++lines;
    }
    std::size_t copied = 0;
    for (char c : copy.text) {
        copied += c == '\n';
    }
    FUZZ_CHECK(copied == lines);
    for (const std::string& file : copy.dataFiles) {
        FUZZ_CHECK(!file.empty() && file.front() == '/');
        FUZZ_CHECK(copy.text.find(file) != std::string::npos);
    }
    return 0;
}
