#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "library/jet/jet_audio_table.h"

namespace sonarch {

// What the child that reads an Access file hands back: the table Audio, written row by row
// as it is read so that the child never holds it twice, or why it could not be read.
class JetAnswerWriter {
public:
    // Everything but the rows and the count of cut texts; room is made for `expectedBytes`
    // at once, so that a long answer is not copied again and again as it grows.
    explicit JetAnswerWriter(const JetAudioTable& table, std::size_t expectedBytes = 0);
    void addRow(const JetAudioRow& row);
    std::string finish(std::uint64_t cutTexts) &&;

    static std::string failure(const JetReadFailure& failure);

private:
    std::string m_bytes;
};

using JetAnswer = std::variant<JetAudioTable, JetReadFailure>;

// The answer as the writer made it; nothing for anything else (an answer cut short, bytes
// of another kind, text that is not UTF-8).
std::optional<JetAnswer> DecodeJetAnswer(std::string_view answer);

}  // namespace sonarch
