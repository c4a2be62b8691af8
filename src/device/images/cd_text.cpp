#include "device/images/cd_text.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>

#include <cctype>
#include <cstdint>
#include <vector>

namespace sonarch {

namespace {

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// libcdio reads every CUE sheet as Latin-1, so a sheet written in UTF-8 arrives encoded
// twice. Such a text, read back as Latin-1 bytes, is UTF-8 again; a true Latin-1 text
// almost never is.
std::string undoDoubleEncoding(const std::string& text) {
    std::string bytes;
    bool wide = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            bytes += text[i];
        } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < text.size()) {
            bytes += static_cast<char>(((lead & 0x03) << 6) | (text[++i] & 0x3F));
            wide = true;
        } else {
            return text;  // a character beyond Latin-1: not read as Latin-1
        }
    }
    return wide && IsWellFormedUtf8(bytes) ? bytes : text;
}

// The block to read: English when present, else the first one in use.
int chosenLanguageBlock(cdtext_t* text) {
    const cdtext_lang_t* languages = cdtext_list_languages_v2(text);
    if (!languages) {
        return -1;
    }
    int first = -1;
    for (int i = 0; i < 8; ++i) {
        if (languages[i] == CDTEXT_LANGUAGE_BLOCK_UNUSED ||
            languages[i] == CDTEXT_LANGUAGE_INVALID) {
            continue;
        }
        if (languages[i] == CDTEXT_LANGUAGE_ENGLISH) {
            return i;
        }
        if (first < 0) {
            first = i;
        }
    }
    return first;
}

std::string field(const cdtext_t* text, cdtext_field_t which, int track, bool fromCueSheet) {
    const char* value = cdtext_get_const(text, which, static_cast<track_t>(track));
    if (!value) {
        return {};
    }
    std::string clean = CleanDiscText(value);
    return fromCueSheet ? undoDoubleEncoding(clean) : clean;
}

// Tracks [first, last] of the chosen block; tracks past the last with text are left out.
DiscText discTextOf(cdtext_t* text, int firstTrack, int lastTrack, bool fromCueSheet) {
    DiscText disc;
    if (!text) {
        return disc;
    }
    if (const int block = chosenLanguageBlock(text); block > 0) {
        cdtext_set_language_index(text, block);
    }
    disc.title = field(text, CDTEXT_FIELD_TITLE, 0, fromCueSheet);
    disc.performer = field(text, CDTEXT_FIELD_PERFORMER, 0, fromCueSheet);
    for (int track = std::max(firstTrack, 1); track <= lastTrack && track <= 99; ++track) {
        TrackText one{field(text, CDTEXT_FIELD_TITLE, track, fromCueSheet),
                      field(text, CDTEXT_FIELD_PERFORMER, track, fromCueSheet)};
        if (one.title.empty() && one.performer.empty()) {
            continue;
        }
        disc.tracks.resize(std::size_t(track));
        disc.tracks[std::size_t(track) - 1] = std::move(one);
    }
    return disc;
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The keyword of a CUE line and what follows it, unquoted.
std::pair<std::string, std::string> cueLine(const std::string& line) {
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t end = line.find_first_of(" \t", at);
    std::string keyword = upper(line.substr(at, end == std::string::npos ? end : end - at));
    std::string rest = end == std::string::npos ? "" : line.substr(end);
    const std::size_t start = rest.find_first_not_of(" \t");
    rest = start == std::string::npos ? "" : rest.substr(start);
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' ' || rest.back() == '\t')) {
        rest.pop_back();
    }
    if (rest.size() >= 1 && rest.front() == '"') {
        const std::size_t close = rest.find('"', 1);
        rest = rest.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return {keyword, rest};
}

// The lines of a sheet, as std::getline splits them.
std::vector<std::string> sheetLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

void setTrackText(DiscText& disc, int track, const std::string& keyword, std::string value) {
    if (track == 0) {
        (keyword == "TITLE" ? disc.title : disc.performer) = std::move(value);
        return;
    }
    if (disc.tracks.size() < std::size_t(track)) {
        disc.tracks.resize(std::size_t(track));
    }
    TrackText& text = disc.tracks[std::size_t(track) - 1];
    (keyword == "TITLE" ? text.title : text.performer) = std::move(value);
}

}  // namespace

std::string CleanDiscText(std::string_view text) {
    std::string utf8 = IsWellFormedUtf8(text) ? std::string(text) : latin1ToUtf8(text);
    for (char& c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    const std::size_t first = utf8.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return utf8.substr(first, utf8.find_last_not_of(' ') - first + 1);
}

DiscText ReadCdText(CdIo_t* cdio) {
    if (!cdio) {
        return {};
    }
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK) {
        return {};
    }
    return discTextOf(cdio_get_cdtext(cdio), first, first + count - 1,
                      cdio_get_driver_id(cdio) == DRIVER_BINCUE);
}

DiscText CdTextFromPacks(const std::vector<std::uint8_t>& packs, int lastTrack) {
    // Some programs put a four-byte header before the packs.
    std::size_t from = 0;
    if (packs.size() % 18 == 4 && packs.size() > 4 && packs[0] < 0x80) {
        from = 4;
    }
    const std::size_t size = packs.size() - from;
    if (size < 18 || size % 18 != 0 || size > kMostCdTextBytes) {
        return {};
    }
    // libcdio reads its input in place; a copy of its own keeps `packs` as it was.
    std::vector<std::uint8_t> bytes(packs.begin() + std::ptrdiff_t(from), packs.end());
    cdtext_t* text = cdtext_init();
    DiscText disc;
    if (text && cdtext_data_init(text, bytes.data(), bytes.size()) == 0) {
        disc = discTextOf(text, 1, lastTrack, false);
    }
    if (text) {
        cdtext_destroy(text);
    }
    return disc;
}

CueSheetTextFile CueSheetCdTextFile(std::string_view sheet) {
    CueSheetTextFile file;
    for (const std::string& line : sheetLines(sheet)) {
        auto [keyword, rest] = cueLine(line);
        if (keyword == "TRACK") {
            ++file.lastTrack;
        } else if (keyword == "CDTEXTFILE" && !rest.empty()) {
            file.name = rest;
        }
    }
    return file;
}

DiscText CueSheetText(std::string_view sheet, DiscText fromPacks) {
    DiscText disc = std::move(fromPacks);
    int track = 0;
    for (const std::string& line : sheetLines(sheet)) {
        auto [keyword, rest] = cueLine(line);
        if (keyword == "TRACK") {
            ++track;
        } else if (keyword == "TITLE" || keyword == "PERFORMER") {
            setTrackText(disc, track, keyword, CleanDiscText(rest));
        }
    }
    while (!disc.tracks.empty() && disc.tracks.back() == TrackText{}) {
        disc.tracks.pop_back();
    }
    return disc;
}

}  // namespace sonarch
