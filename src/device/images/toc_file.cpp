#include "device/images/toc_file.h"

#include <cctype>
#include <filesystem>
#include <map>
#include <optional>

#include "base/number_text.h"
#include "device/images/cd_text.h"
#include "device/mci/msf.h"

namespace sonarch {

namespace {

using LayoutResult = Result<TocLayout>;

constexpr std::int64_t kSamplesPerSector = 588;
constexpr std::uint32_t kSubChannelBytes = 96;

struct Token {
    enum class Kind { Word, Text, Open, Close };
    Kind kind = Kind::Word;
    std::string value;
    std::size_t line = 1;
};

// Words, quoted texts (with cdrdao's escapes: \" \\ and octal \ooo) and braces; "//"
// outside a text starts a comment. False when a text is left open.
bool tokenize(std::string_view text, std::vector<Token>& out, std::size_t& badLine) {
    std::size_t line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') {
                ++i;
            }
        } else if (c == '{' || c == '}') {
            out.push_back({c == '{' ? Token::Kind::Open : Token::Kind::Close, {}, line});
            ++i;
        } else if (c == '"') {
            Token token{Token::Kind::Text, {}, line};
            ++i;
            for (;;) {
                if (i >= text.size() || text[i] == '\n') {
                    badLine = line;
                    return false;
                }
                const char d = text[i++];
                if (d == '"') {
                    break;
                }
                if (d != '\\' || i >= text.size()) {
                    token.value += d;
                } else if (text[i] >= '0' && text[i] <= '7') {
                    int value = 0;
                    for (int n = 0; n < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7';
                         ++n) {
                        value = value * 8 + (text[i++] - '0');
                    }
                    token.value += static_cast<char>(value & 0xFF);
                } else {
                    token.value += text[i++];
                }
            }
            out.push_back(std::move(token));
        } else {
            Token token{Token::Kind::Word, {}, line};
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
                   text[i] != '"' && text[i] != '{' && text[i] != '}' &&
                   !(text[i] == '/' && i + 1 < text.size() && text[i + 1] == '/')) {
                token.value += text[i++];
            }
            out.push_back(std::move(token));
        }
    }
    return true;
}

// How many bytes a sector of a track mode takes in its file, or 0 for no such mode.
std::uint32_t sectorBytesOf(const std::string& mode) {
    static const std::map<std::string, std::uint32_t> sizes = {
        {"AUDIO", 2352},       {"MODE0", 2336},          {"MODE1", 2048},
        {"MODE1_RAW", 2352},   {"MODE2", 2336},          {"MODE2_FORM1", 2048},
        {"MODE2_FORM2", 2324}, {"MODE2_FORM_MIX", 2336}, {"MODE2_RAW", 2352},
    };
    const auto found = sizes.find(mode);
    return found == sizes.end() ? 0 : found->second;
}

bool isSubChannelMode(const std::string& word) {
    return word == "RW" || word == "RW_RAW";
}

// A time as a TOC file writes it: "mm:ss:ff" (sectors), or a plain count of samples for
// audio or of bytes for data.
struct Amount {
    bool msf = false;
    std::int64_t value = 0;
};

std::optional<Amount> amountOf(const std::string& word) {
    if (word.find(':') != std::string::npos) {
        const auto frames = parseMsf(word);
        return frames ? std::optional<Amount>(Amount{true, *frames}) : std::nullopt;
    }
    const auto count = parseInteger(word);
    if (!count || *count < 0 || *count > (std::int64_t{1} << 40) || word.front() == '+') {
        return std::nullopt;
    }
    return Amount{false, *count};
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// CD-TEXT items by language block number, then keyword.
using TextBlocks = std::map<int, std::map<std::string, std::string>>;

struct Track {
    bool audio = true;
    std::uint32_t sectorBytes = 2352;
    std::size_t line = 0;                // of its TRACK
    std::int64_t discStart = 0;          // where its first piece lies on the disc
    std::int64_t length = 0;             // sectors so far
    std::optional<std::int64_t> pregap;  // sectors before the track proper
    TextBlocks text;
};

class TocParser {
public:
    TocParser(std::vector<Token> tokens, const std::string& tocPath, const CueFileLookup& files)
        : m_tokens(std::move(tokens)),
          m_path(tocPath),
          m_folder(std::filesystem::path(tocPath).parent_path()),
          m_files(files) {}

    LayoutResult parse();

private:
    bool atEnd() const { return m_at >= m_tokens.size(); }
    const Token& peek() const { return m_tokens[m_at]; }
    bool peekWord() const { return !atEnd() && peek().kind == Token::Kind::Word; }
    // A time follows: a word that starts with a digit.
    bool peekAmount() const {
        return peekWord() && std::isdigit(static_cast<unsigned char>(peek().value.front()));
    }
    std::size_t line() const { return atEnd() ? m_tokens.back().line : peek().line; }

    bool fail(std::size_t line, const std::string& why) {
        m_error = "TOC file '" + m_path + "', line " + std::to_string(line) + ": " + why + ".";
        return false;
    }
    bool failWhole(const std::string& message) {
        m_error = message;
        return false;
    }

    bool item();
    bool trackLine();
    bool finishTrack();
    bool cdText(TextBlocks& into);
    bool languageMap();
    bool fileLine(const std::string& keyword);
    bool silenceLine(const std::string& keyword);
    bool timeWord(const std::string& after, Amount& amount);
    bool addPiece(std::size_t at, std::string path, std::uint64_t byteOffset, std::int64_t sectors);
    std::string chosenText(const TextBlocks& blocks, const char* keyword) const;

    std::vector<Token> m_tokens;
    std::size_t m_at = 0;
    std::string m_path;
    std::filesystem::path m_folder;
    const CueFileLookup& m_files;
    std::string m_error;

    TocLayout m_layout;
    std::int64_t m_discSectors = 0;
    std::vector<Track> m_tracks;
    TextBlocks m_discText;
    std::map<int, std::string> m_languages;  // block number to language code
};

LayoutResult TocParser::parse() {
    bool anyTrack = false;
    for (const Token& token : m_tokens) {
        anyTrack = anyTrack || (token.kind == Token::Kind::Word && token.value == "TRACK");
    }
    if (!anyTrack) {
        return LayoutResult::failure("'" + m_path + "' is not a TOC file: it lists no track.");
    }
    while (!atEnd()) {
        if (!item()) {
            return LayoutResult::failure(m_error);
        }
    }
    if (!finishTrack()) {
        return LayoutResult::failure(m_error);
    }
    DiscToc& toc = m_layout.toc;
    for (std::size_t i = 0; i < m_tracks.size(); ++i) {
        const Track& track = m_tracks[i];
        toc.tracks.push_back(
            {int(i + 1), std::int32_t(track.discStart + track.pregap.value_or(0)), track.audio});
    }
    toc.leadoutSector = std::int32_t(m_discSectors);
    DiscText& text = m_layout.text;
    text.title = chosenText(m_discText, "TITLE");
    text.performer = chosenText(m_discText, "PERFORMER");
    for (std::size_t i = 0; i < m_tracks.size(); ++i) {
        TrackText one{chosenText(m_tracks[i].text, "TITLE"),
                      chosenText(m_tracks[i].text, "PERFORMER")};
        if (!one.title.empty() || !one.performer.empty()) {
            text.tracks.resize(i + 1);
            text.tracks[i] = std::move(one);
        }
    }
    return LayoutResult::success(std::move(m_layout));
}

bool TocParser::item() {
    const Token token = peek();
    if (token.kind != Token::Kind::Word) {
        return fail(token.line,
                    token.kind == Token::Kind::Text
                        ? "a text \"" + token.value + "\" stands where a keyword belongs"
                        : "a brace stands where a keyword belongs");
    }
    const std::string& keyword = token.value;
    ++m_at;
    const bool inTrack = !m_tracks.empty();
    if (keyword == "TRACK") {
        return trackLine();
    }
    if (keyword == "CD_TEXT") {
        return cdText(inTrack ? m_tracks.back().text : m_discText);
    }
    if (keyword == "CD_DA" || keyword == "CD_ROM" || keyword == "CD_ROM_XA" || keyword == "CD_I" ||
        keyword == "CATALOG") {
        if (inTrack) {
            return fail(token.line, keyword + " belongs before the first track");
        }
        if (keyword == "CATALOG") {
            if (atEnd() || peek().kind != Token::Kind::Text) {
                return fail(token.line, "CATALOG needs its number in quotes");
            }
            ++m_at;
        }
        return true;
    }
    if (!inTrack) {
        return fail(token.line, "'" + keyword + "' is not a TOC file keyword before a track");
    }
    if (keyword == "NO") {
        if (!peekWord() || (peek().value != "COPY" && peek().value != "PRE_EMPHASIS")) {
            return fail(token.line, "NO needs COPY or PRE_EMPHASIS");
        }
        ++m_at;
        return true;
    }
    if (keyword == "COPY" || keyword == "PRE_EMPHASIS" || keyword == "TWO_CHANNEL_AUDIO" ||
        keyword == "FOUR_CHANNEL_AUDIO") {
        return true;
    }
    if (keyword == "ISRC") {
        if (atEnd() || peek().kind != Token::Kind::Text) {
            return fail(token.line, "ISRC needs its code in quotes");
        }
        ++m_at;
        return true;
    }
    if (keyword == "FILE" || keyword == "AUDIOFILE" || keyword == "DATAFILE") {
        return fileLine(keyword);
    }
    if (keyword == "SILENCE" || keyword == "ZERO" || keyword == "PREGAP") {
        return silenceLine(keyword);
    }
    if (keyword == "START") {
        Track& track = m_tracks.back();
        if (track.pregap) {
            return fail(token.line, "a track has one START or PREGAP");
        }
        Amount at{true, track.length};
        if (peekAmount() && !timeWord("START", at)) {
            return false;
        }
        if (!at.msf) {
            return fail(token.line, "START takes a time mm:ss:ff");
        }
        track.pregap = at.value;
        return true;
    }
    if (keyword == "INDEX") {
        Amount at;
        if (!peekAmount() || !timeWord("INDEX", at) || !at.msf) {
            return fail(token.line, "INDEX takes a time mm:ss:ff");
        }
        return true;
    }
    if (keyword == "FIFO") {
        return fail(token.line,
                    "FIFO names a pipe to read the sound from, which the player "
                    "never reads");
    }
    return fail(token.line, "'" + keyword + "' is not a TOC file keyword");
}

bool TocParser::trackLine() {
    const std::size_t at = m_tokens[m_at - 1].line;
    if (!finishTrack()) {
        return false;
    }
    if (m_tracks.size() == 99) {
        return fail(at, "a disc holds at most 99 tracks");
    }
    if (!peekWord() || sectorBytesOf(peek().value) == 0) {
        return fail(at, "TRACK needs a mode such as AUDIO or MODE1");
    }
    Track track;
    track.line = at;
    track.audio = peek().value == "AUDIO";
    track.sectorBytes = sectorBytesOf(peek().value);
    ++m_at;
    if (peekWord() && isSubChannelMode(peek().value)) {
        if (track.audio) {
            return fail(at, "audio tracks with sub-channel data cannot be played");
        }
        track.sectorBytes += kSubChannelBytes;
        ++m_at;
    }
    track.discStart = m_discSectors;
    m_tracks.push_back(std::move(track));
    return true;
}

bool TocParser::finishTrack() {
    if (m_tracks.empty()) {
        return true;
    }
    const Track& track = m_tracks.back();
    if (track.length == 0) {
        return fail(track.line, "the track holds no sound or data");
    }
    if (track.pregap.value_or(0) >= track.length) {
        return fail(track.line, "the track's START lies at or past its end");
    }
    return true;
}

bool TocParser::timeWord(const std::string& after, Amount& amount) {
    const std::size_t at = line();
    if (!peekWord()) {
        return fail(at, after + " needs a time");
    }
    const auto read = amountOf(peek().value);
    if (!read) {
        return fail(at, "'" + peek().value + "' is no time (mm:ss:ff or a number)");
    }
    ++m_at;
    amount = *read;
    return true;
}

bool TocParser::addPiece(std::size_t at, std::string path, std::uint64_t byteOffset,
                         std::int64_t sectors) {
    if (sectors > kMaxLeadoutSector - m_discSectors) {
        return fail(at, "it makes the disc longer than a CD can hold");
    }
    if (sectors == 0) {
        return true;
    }
    Track& track = m_tracks.back();
    if (!track.audio) {
        path.clear();  // data is never played: its room on the disc is all that counts
    }
    m_layout.extents.push_back(
        {std::move(path), byteOffset, std::int32_t(m_discSectors), std::int32_t(sectors)});
    m_discSectors += sectors;
    track.length += sectors;
    return true;
}

bool TocParser::silenceLine(const std::string& keyword) {
    const std::size_t at = m_tokens[m_at - 1].line;
    Track& track = m_tracks.back();
    if (keyword == "ZERO") {
        while (peekWord() && (sectorBytesOf(peek().value) != 0 || isSubChannelMode(peek().value))) {
            ++m_at;
        }
    }
    if (keyword == "PREGAP") {
        if (track.pregap || track.length > 0) {
            return fail(at, "PREGAP comes first in its track, instead of START");
        }
    }
    Amount length;
    if (!timeWord(keyword, length)) {
        return false;
    }
    if (!length.msf && length.value % kSamplesPerSector != 0) {
        return fail(at, "a length of " + std::to_string(length.value) +
                            " samples is no whole number of sectors (588 samples each)");
    }
    const std::int64_t sectors = length.msf ? length.value : length.value / kSamplesPerSector;
    if (!addPiece(at, "", 0, sectors)) {
        return false;
    }
    if (keyword == "PREGAP") {
        track.pregap = sectors;
    }
    return true;
}

bool TocParser::fileLine(const std::string& keyword) {
    const std::size_t at = m_tokens[m_at - 1].line;
    const bool data = keyword == "DATAFILE";
    if (atEnd() || peek().kind != Token::Kind::Text || peek().value.empty()) {
        return fail(at, keyword + " needs a file name in quotes");
    }
    const std::string name = peek().value;
    ++m_at;
    std::uint64_t offset = 0;
    if (peekWord() && peek().value.front() == '#') {
        const auto bytes = parseInteger(std::string_view(peek().value).substr(1));
        if (!bytes || *bytes < 0 || *bytes > (std::int64_t{1} << 40)) {
            return fail(at, "'" + peek().value + "' is no byte offset");
        }
        offset = std::uint64_t(*bytes);
        ++m_at;
    }
    Amount start;  // where the piece starts in the file, after the offset
    if (!data && !timeWord(keyword, start)) {
        return false;
    }
    std::optional<Amount> length;
    if (peekAmount()) {
        Amount read;
        if (!timeWord(keyword, read)) {
            return false;
        }
        length = read;
    }

    const std::string path = (m_folder / name).string();
    const CueDataFile file = m_files(path, lower(name).ends_with(".wav"));
    if (!file.found) {
        return failWhole("The TOC file '" + m_path + "' names the data file '" + path +
                         "', which is missing.");
    }
    if (!file.problem.empty()) {
        return fail(at, "'" + path + "' " + file.problem);
    }
    const std::uint32_t sectorBytes = m_tracks.back().sectorBytes;
    const std::uint64_t startBytes =
        std::uint64_t(start.msf ? start.value * kBytesPerFrame : start.value * 4);
    if (offset > file.dataBytes || startBytes > file.dataBytes - offset) {
        return fail(at, "the piece starts past the end of '" + path + "'");
    }
    const std::uint64_t begin = file.dataOffset + offset + startBytes;
    const std::uint64_t room = (file.dataBytes - offset - startBytes) / sectorBytes;
    std::int64_t sectors = 0;
    if (!length) {
        sectors = std::int64_t(std::min<std::uint64_t>(room, kMaxLeadoutSector + 1u));
    } else if (length->msf) {
        sectors = length->value;
    } else if (data) {
        if (length->value % sectorBytes != 0) {
            return fail(at, "a length of " + std::to_string(length->value) +
                                " bytes is no whole number of sectors of " +
                                std::to_string(sectorBytes) + " bytes");
        }
        sectors = length->value / sectorBytes;
    } else {
        if (length->value % kSamplesPerSector != 0) {
            return fail(at, "a length of " + std::to_string(length->value) +
                                " samples is no whole number of sectors (588 samples each)");
        }
        sectors = length->value / kSamplesPerSector;
    }
    if (std::uint64_t(sectors) > room) {
        return fail(at, "the piece runs past the end of '" + path + "'");
    }
    return addPiece(at, path, begin, sectors);
}

bool TocParser::cdText(TextBlocks& into) {
    const std::size_t at = m_tokens[m_at - 1].line;
    if (atEnd() || peek().kind != Token::Kind::Open) {
        return fail(at, "CD_TEXT needs its items in braces");
    }
    ++m_at;
    for (;;) {
        if (atEnd()) {
            return fail(at, "CD_TEXT's braces are not closed");
        }
        if (peek().kind == Token::Kind::Close) {
            ++m_at;
            return true;
        }
        const Token token = peek();
        ++m_at;
        if (token.kind == Token::Kind::Word && token.value == "LANGUAGE_MAP") {
            if (!languageMap()) {
                return false;
            }
            continue;
        }
        if (token.kind != Token::Kind::Word || token.value != "LANGUAGE" || !peekWord()) {
            return fail(token.line, "CD_TEXT holds LANGUAGE_MAP and LANGUAGE blocks");
        }
        const auto block = parseInteger(peek().value);
        if (!block || *block < 0 || *block > 7) {
            return fail(token.line, "LANGUAGE takes a block number from 0 to 7");
        }
        ++m_at;
        if (atEnd() || peek().kind != Token::Kind::Open) {
            return fail(token.line, "LANGUAGE needs its items in braces");
        }
        ++m_at;
        std::map<std::string, std::string>& items = into[int(*block)];
        while (!atEnd() && peek().kind != Token::Kind::Close) {
            const Token key = peek();
            ++m_at;
            if (key.kind != Token::Kind::Word || atEnd()) {
                return fail(key.line, "a CD-TEXT item is a keyword and its value");
            }
            if (peek().kind == Token::Kind::Text) {
                items[key.value] = peek().value;
                ++m_at;
            } else if (peek().kind == Token::Kind::Open) {
                // Binary items ({ 0, 1, ... }) say nothing the player shows.
                while (!atEnd() && peek().kind != Token::Kind::Close) {
                    ++m_at;
                }
                if (atEnd()) {
                    break;
                }
                ++m_at;
            } else {
                return fail(key.line, key.value + " needs its value in quotes");
            }
        }
        if (atEnd()) {
            return fail(token.line, "LANGUAGE's braces are not closed");
        }
        ++m_at;
    }
}

bool TocParser::languageMap() {
    const std::size_t at = m_tokens[m_at - 1].line;
    if (atEnd() || peek().kind != Token::Kind::Open) {
        return fail(at, "LANGUAGE_MAP needs its pairs in braces");
    }
    ++m_at;
    std::string pairs;
    while (!atEnd() && peek().kind == Token::Kind::Word) {
        pairs += peek().value;
        ++m_at;
    }
    if (atEnd() || peek().kind != Token::Kind::Close) {
        return fail(at, "LANGUAGE_MAP's braces are not closed");
    }
    ++m_at;
    // "0:9,1:EN" once the blanks are gone.
    std::string_view rest = pairs;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view pair = rest.substr(0, comma);
        rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
        const std::size_t colon = pair.find(':');
        const auto block =
            colon == std::string_view::npos ? std::nullopt : parseInteger(pair.substr(0, colon));
        if (!block || *block < 0 || *block > 7 || colon + 1 >= pair.size()) {
            return fail(at, "LANGUAGE_MAP holds pairs of a block and a language, as 0 : EN");
        }
        m_languages[int(*block)] = std::string(pair.substr(colon + 1));
    }
    return true;
}

// The text of the block in English when the map names one, else of the first block.
std::string TocParser::chosenText(const TextBlocks& blocks, const char* keyword) const {
    std::optional<int> chosen;
    for (const auto& [block, code] : m_languages) {
        if (code == "9" || code == "EN" || code == "en") {
            chosen = block;
            break;
        }
    }
    if (!chosen) {
        if (m_discText.empty() && blocks.empty()) {
            return {};
        }
        chosen = !m_discText.empty() ? m_discText.begin()->first : blocks.begin()->first;
    }
    const auto block = blocks.find(*chosen);
    if (block == blocks.end()) {
        return {};
    }
    const auto item = block->second.find(keyword);
    return item == block->second.end() ? std::string() : CleanDiscText(item->second);
}

}  // namespace

LayoutResult LayOutTocFile(std::string_view text, const std::string& tocPath,
                           const CueFileLookup& files) {
    std::vector<Token> tokens;
    std::size_t badLine = 0;
    if (!tokenize(text, tokens, badLine)) {
        return LayoutResult::failure("TOC file '" + tocPath + "', line " + std::to_string(badLine) +
                                     ": a text in quotes is not closed.");
    }
    return TocParser(std::move(tokens), tocPath, files).parse();
}

}  // namespace sonarch
