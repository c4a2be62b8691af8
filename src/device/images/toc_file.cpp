#include "device/images/toc_file.h"

#include <filesystem>

#include "device/images/cue_sheet.h"

namespace sonarch {

TocFileCopy TocFileWithFullPaths(std::string_view text, const std::string& folder) {
    TocFileCopy copy;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        const std::size_t open = line.find('"');
        const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
        const auto words = SheetWords(std::string_view(line).substr(0, open));
        const bool namesFile = !words.empty() && (words[0] == "FILE" || words[0] == "AUDIOFILE" ||
                                                  words[0] == "DATAFILE");
        if (namesFile && close != std::string::npos) {
            const std::string name = line.substr(open + 1, close - open - 1);
            if (!name.empty()) {
                const std::string full = (std::filesystem::path(folder) / name).string();
                copy.dataFiles.push_back(full);
                line = line.substr(0, open + 1) + full + line.substr(close);
            }
        }
        copy.text += line + "\n";
    }
    return copy;
}

}  // namespace sonarch
