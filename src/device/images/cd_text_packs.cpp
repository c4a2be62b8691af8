#include "device/images/cd_text_packs.h"

#include <sstream>
#include <string>

#include "device/images/cd_text.h"
#include "device/images/isolated_call.h"

namespace sonarch {

namespace {

// Reading a few kilobytes of packs takes milliseconds; the rest is room for a slow machine.
constexpr std::chrono::seconds kPackReadingLimit{5};

std::string escapedField(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return out;
}

std::string unescapedField(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

// child process: the text as lines of title and performer, the disc's first.
std::string answerFor(const std::vector<std::uint8_t>& packs, int lastTrack) {
    const DiscText text = CdTextFromPacks(packs, lastTrack);
    std::string answer = escapedField(text.title) + "\t" + escapedField(text.performer);
    for (const TrackText& track : text.tracks) {
        answer += "\n" + escapedField(track.title) + "\t" + escapedField(track.performer);
    }
    return answer;
}

}  // namespace

DiscText ReadCdTextPacks(const std::vector<std::uint8_t>& packs, int lastTrack) {
    DiscText text;
    if (packs.empty()) {
        return text;
    }
    const IsolatedCall call =
        CallInChildProcess([&] { return answerFor(packs, lastTrack); }, kPackReadingLimit);
    if (call.end != IsolatedCall::End::Returned) {
        return text;
    }
    std::istringstream lines(call.answer);
    std::string line;
    for (bool disc = true; std::getline(lines, line); disc = false) {
        const std::size_t tab = line.find('\t');
        const std::string title = unescapedField(line.substr(0, tab));
        const std::string performer =
            tab == std::string::npos ? std::string() : unescapedField(line.substr(tab + 1));
        if (disc) {
            text.title = title;
            text.performer = performer;
        } else {
            text.tracks.push_back({title, performer});
        }
    }
    return text;
}

}  // namespace sonarch
