#include "qvlib/track_sheet.h"

#include <cstdint>

#include "base/number_text.h"
#include "device/mci/msf.h"

namespace sonarch {

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

}  // namespace

Result<std::vector<SheetTrack>> ParseTrackSheet(const std::string& text) {
    using R = Result<std::vector<SheetTrack>>;
    std::vector<SheetTrack> tracks;
    std::size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (line.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        if (!IsWellFormedUtf8(line)) {
            return R::failure(where + "the text is not UTF-8.");
        }
        const auto fields = splitTabs(line);
        if (fields.size() < 2 || fields.size() > 4) {
            return R::failure(where + "expected title<TAB>artist, optionally <TAB>rating and " +
                              "<TAB>comment, but found " + std::to_string(fields.size()) +
                              (fields.size() == 1 ? " field." : " fields."));
        }
        SheetTrack track;
        track.title = fields[0];
        track.artist = fields[1];
        if (track.title.empty()) {
            return R::failure(where + "the title is empty.");
        }
        if (fields.size() >= 3 && !fields[2].empty()) {
            const auto rating = parseInteger(fields[2]);
            if (!rating || *rating < 0 || *rating > 10) {
                return R::failure(where + "the rating '" + fields[2] +
                                  "' is not a whole number from 0 to 10.");
            }
            track.rating = int(*rating);
        }
        if (fields.size() == 4) {
            track.comment = fields[3];
        }
        tracks.push_back(std::move(track));
    }
    return R::success(std::move(tracks));
}

}  // namespace sonarch
