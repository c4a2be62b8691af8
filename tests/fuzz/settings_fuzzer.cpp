// The reader of "player.dat": whatever it reads, the file written from it reads back to the
// same settings without a single line taking its default, and so does every window
// position the writer is handed.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/settings_file.h"
#include "fuzz_check.h"

using namespace sonarch;

namespace {

int lineCount(const std::string& text) {
    int lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2)) {
        ++lines;
    }
    return lines;
}

void expectReadsBack(const Settings& settings) {
    const std::string written =
        FormatSettings(settings, {double(settings.windowLeft), double(settings.windowTop)});
    FUZZ_CHECK(lineCount(written) == kSettingsLineCount);
    const ParsedSettings again = ParseSettings(written, {0, 0});
    FUZZ_CHECK(again.replacedLines.empty());
    FUZZ_CHECK(again.settings == settings);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedSettings parsed = ParseSettings(text, {11962.5, 7220});
    const Settings& s = parsed.settings;
    expectReadsBack(s);

    // The last 16 bytes, taken as two positions handed to the writer.
    if (size >= 16) {
        double left = 0, top = 0;
        std::memcpy(&left, data + size - 16, 8);
        std::memcpy(&top, data + size - 8, 8);
        const ParsedSettings placed = ParseSettings(FormatSettings(s, {left, top}), {0, 0});
        FUZZ_CHECK(placed.replacedLines.empty());
    }
    return 0;
}
