#include "qvlib/track_sheet.h"

#include <cstdint>

#include "device/msf.h"

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

bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + std::size_t(extra) >= text.size()) {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + std::size_t(k)]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += std::size_t(extra) + 1;
    }
    return true;
}

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
        if (!IsUtf8(line)) {
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
