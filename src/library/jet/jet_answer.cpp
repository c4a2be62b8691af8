#include "library/jet/jet_answer.h"

#include <algorithm>
#include <array>

#include "base/utf8.h"

namespace sonarch {

namespace {

constexpr std::string_view kMagic = "QVJET1";
constexpr char kTable = 'T';
constexpr char kFailure = 'F';
constexpr char kRow = 'R';
constexpr char kEnd = 'E';

void putNumber(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(char((value >> (8 * i)) & 0xFF));
    }
}

void putText(std::string& out, std::string_view text) {
    putNumber(out, text.size(), 4);
    out.append(text);
}

void putTexts(std::string& out, const std::vector<std::string>& texts) {
    putNumber(out, texts.size(), 4);
    for (const std::string& text : texts) {
        putText(out, text);
    }
}

// Reads what the writer wrote; every step fails on bytes that are missing or out of place.
class Reader {
public:
    explicit Reader(std::string_view bytes) : m_rest(bytes) {}

    bool atEnd() const { return m_rest.empty(); }
    std::size_t left() const { return m_rest.size(); }
    bool take(std::string_view expected) {
        if (m_rest.substr(0, expected.size()) != expected) {
            return false;
        }
        m_rest.remove_prefix(expected.size());
        return true;
    }
    std::optional<std::uint64_t> number(int bytes) {
        if (m_rest.size() < std::size_t(bytes)) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (int i = bytes; i-- > 0;) {
            value = (value << 8) | static_cast<unsigned char>(m_rest[std::size_t(i)]);
        }
        m_rest.remove_prefix(std::size_t(bytes));
        return value;
    }
    bool text(std::string& out) {
        const auto length = number(4);
        if (!length || *length > m_rest.size() ||
            !IsWellFormedUtf8(m_rest.substr(0, std::size_t(*length)))) {
            return false;
        }
        out.assign(m_rest.substr(0, std::size_t(*length)));
        m_rest.remove_prefix(std::size_t(*length));
        return true;
    }
    bool texts(std::vector<std::string>& out) {
        const auto count = number(4);
        if (!count || *count > m_rest.size() / 4) {
            return false;
        }
        out.resize(std::size_t(*count));
        for (std::string& text : out) {
            if (!this->text(text)) {
                return false;
            }
        }
        return true;
    }

private:
    std::string_view m_rest;
};

std::optional<JetAnswer> decodeFailure(Reader& in) {
    const auto problem = in.number(1);
    JetReadFailure failure;
    if (!problem || *problem > std::uint64_t(JetReadProblem::LongTextLost) ||
        !in.text(failure.detail) || !in.atEnd()) {
        return std::nullopt;
    }
    failure.problem = JetReadProblem(*problem);
    return failure;
}

bool decodeRow(Reader& in, JetAudioRow& row) {
    const std::array<std::string*, 9> texts = {&row.cddbToc,  &row.trkNum,    &row.trkTime,
                                               &row.trkTitle, &row.trkArtist, &row.album,
                                               &row.cover,    &row.aCom,      &row.trkCom};
    for (std::string* text : texts) {
        if (!in.text(*text)) {
            return false;
        }
    }
    const auto rating = in.number(8);
    if (!rating) {
        return false;
    }
    row.rating = std::int64_t(*rating);
    return true;
}

std::optional<JetAnswer> decodeTable(Reader& in) {
    JetAudioTable table;
    const auto format = in.number(1);
    const auto declared = in.number(8);
    if (!format || *format > std::uint64_t(AccessFormat::Ace) || !declared ||
        !in.texts(table.leftOut) || !in.texts(table.missing)) {
        return std::nullopt;
    }
    table.format = AccessFormat(*format);
    table.declaredRows = *declared;
    // As many rows as it says, as far as the bytes left can hold them (45 bytes at least).
    table.rows.reserve(std::size_t(std::min<std::uint64_t>(*declared, in.left() / 45)));
    while (in.take(std::string_view(&kRow, 1))) {
        if (!decodeRow(in, table.rows.emplace_back())) {
            return std::nullopt;
        }
    }
    const auto cut = in.take(std::string_view(&kEnd, 1)) ? in.number(8) : std::nullopt;
    if (!cut || !in.atEnd()) {
        return std::nullopt;
    }
    table.cutTexts = *cut;
    return table;
}

}  // namespace

JetAnswerWriter::JetAnswerWriter(const JetAudioTable& table, std::size_t expectedBytes) {
    m_bytes.reserve(expectedBytes);
    m_bytes.append(kMagic);
    m_bytes.push_back(kTable);
    putNumber(m_bytes, std::uint64_t(table.format), 1);
    putNumber(m_bytes, table.declaredRows, 8);
    putTexts(m_bytes, table.leftOut);
    putTexts(m_bytes, table.missing);
}

void JetAnswerWriter::addRow(const JetAudioRow& row) {
    m_bytes.push_back(kRow);
    for (const std::string* text :
         {&row.cddbToc, &row.trkNum, &row.trkTime, &row.trkTitle, &row.trkArtist, &row.album,
          &row.cover, &row.aCom, &row.trkCom}) {
        putText(m_bytes, *text);
    }
    putNumber(m_bytes, std::uint64_t(row.rating), 8);
}

std::string JetAnswerWriter::finish(std::uint64_t cutTexts) && {
    m_bytes.push_back(kEnd);
    putNumber(m_bytes, cutTexts, 8);
    return std::move(m_bytes);
}

std::string JetAnswerWriter::failure(const JetReadFailure& failure) {
    std::string bytes(kMagic);
    bytes.push_back(kFailure);
    putNumber(bytes, std::uint64_t(failure.problem), 1);
    putText(bytes, failure.detail);
    return bytes;
}

std::optional<JetAnswer> DecodeJetAnswer(std::string_view answer) {
    Reader in(answer);
    if (!in.take(kMagic)) {
        return std::nullopt;
    }
    if (in.take(std::string_view(&kFailure, 1))) {
        return decodeFailure(in);
    }
    if (in.take(std::string_view(&kTable, 1))) {
        return decodeTable(in);
    }
    return std::nullopt;
}

}  // namespace sonarch
