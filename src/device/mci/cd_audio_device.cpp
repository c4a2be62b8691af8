#include "device/mci/cd_audio_device.h"

#include <algorithm>

#include "base/number_text.h"
#include "device/mci/mci_errors.h"
#include "device/mci/msf.h"

namespace sonarch {

namespace {

MciResult ok(std::string reply = {}) {
    return {mci::kOk, std::move(reply)};
}

MciResult fail(int code) {
    return {code, {}};
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::vector<std::string> splitWords(std::string_view command) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < command.size()) {
        while (i < command.size() && isSpace(command[i])) {
            ++i;
        }
        std::size_t start = i;
        while (i < command.size() && !isSpace(command[i])) {
            ++i;
        }
        if (i > start) {
            std::string word(command.substr(start, i - start));
            for (char& c : word) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
            words.push_back(std::move(word));
        }
    }
    return words;
}

// Drops the flags that every command may carry; they change nothing here because every
// command of this device finishes before it returns.
std::vector<std::string> withoutFlags(std::vector<std::string> words, bool allowShareable) {
    std::erase_if(words, [allowShareable](const std::string& w) {
        return w == "wait" || w == "notify" || (allowShareable && w == "shareable");
    });
    return words;
}

bool startsWith(const std::vector<std::string>& words, std::initializer_list<const char*> head) {
    if (words.size() < head.size()) {
        return false;
    }
    std::size_t i = 0;
    for (const char* w : head) {
        if (words[i++] != w) {
            return false;
        }
    }
    return true;
}

std::int64_t framesToMs(std::int64_t frames) {
    return frames * 1000 / kFramesPerSecond;
}

}  // namespace

CdAudioDevice::CdAudioDevice(Drive& drive, AudioOutput& output)
    : m_drive(drive), m_engine(drive, output) {}

CdAudioDevice::CdAudioDevice(Drive& drive, std::unique_ptr<AudioOutput> output)
    : m_drive(drive), m_ownOutput(std::move(output)), m_engine(drive, *m_ownOutput) {}

CdAudioDevice::~CdAudioDevice() = default;

std::string CdAudioDevice::errorText(int code) const {
    return mci::errorText(code);
}

DiscText CdAudioDevice::discText() {
    return m_drive.discText();
}

MciResult CdAudioDevice::send(std::string_view command, int replyLength) {
    MciResult result = execute(splitWords(command));
    if (result.code != mci::kOk) {
        result.reply.clear();
        return result;
    }
    if (replyLength <= 0) {
        result.reply.clear();
    } else if (result.reply.size() + 1 > std::size_t(replyLength)) {
        return fail(mci::kParamOverflow);
    }
    return result;
}

MciResult CdAudioDevice::execute(const Words& words) {
    if (words.empty()) {
        return fail(mci::kMissingCommandString);
    }
    const std::string& verb = words[0];
    if (verb == "open") {
        return open(withoutFlags(words, true));
    }
    if (verb == "close") {
        return close(withoutFlags(words, false));
    }
    static const char* const kDeviceVerbs[] = {"set",  "status", "play",  "pause",
                                               "stop", "seek",   "resume"};
    if (std::find(std::begin(kDeviceVerbs), std::end(kDeviceVerbs), verb) ==
        std::end(kDeviceVerbs)) {
        return fail(mci::kUnrecognizedCommand);
    }
    if (words.size() < 2) {
        return fail(mci::kInvalidDeviceName);
    }
    const auto alias = m_aliases.find(words[1]);
    if (alias == m_aliases.end()) {
        return fail(mci::kInvalidDeviceName);
    }
    const Words args = withoutFlags(Words(words.begin() + 2, words.end()), false);
    TimeFormat& format = alias->second;
    if (verb == "set") {
        return set(format, args);
    }
    if (verb == "status") {
        return status(format, args);
    }
    if (verb == "seek") {
        return seek(format, args);
    }
    if (verb == "play") {
        return play(format, args);
    }
    if (!args.empty()) {
        return fail(mci::kUnrecognizedKeyword);
    }
    if (!syncDisc()) {
        return fail(mci::kDeviceNotReady);
    }
    if (verb == "pause") {
        m_engine.pause();
    } else if (verb == "stop") {
        m_engine.stop();
    } else if (m_engine.mode() == PlayMode::Paused) {  // resume
        m_engine.resume(playEnd(m_engine.position()));
    }
    return ok();
}

MciResult CdAudioDevice::open(const Words& words) {
    if (words.size() < 2) {
        return fail(mci::kMissingParameter);
    }
    if (words[1] != "cdaudio") {
        return fail(mci::kInvalidDeviceName);
    }
    std::string alias = "cdaudio";
    if (words.size() == 4 && words[2] == "alias") {
        alias = words[3];
    } else if (words.size() == 3 && words[2] == "alias") {
        return fail(mci::kMissingParameter);
    } else if (words.size() != 2) {
        return fail(mci::kUnrecognizedKeyword);
    }
    if (alias == "all") {
        return fail(mci::kInvalidDeviceName);
    }
    if (m_aliases.contains(alias)) {
        return fail(mci::kDuplicateAlias);
    }
    m_aliases[alias] = TimeFormat::Msf;
    return ok("1");
}

MciResult CdAudioDevice::close(const Words& words) {
    if (words.size() != 2) {
        return fail(words.size() < 2 ? mci::kInvalidDeviceName : mci::kUnrecognizedKeyword);
    }
    if (words[1] == "all") {
        m_aliases.clear();
        return ok();
    }
    if (m_aliases.erase(words[1]) == 0) {
        return fail(mci::kInvalidDeviceName);
    }
    return ok();
}

MciResult CdAudioDevice::set(TimeFormat& format, const Words& args) {
    if (startsWith(args, {"time", "format"})) {
        if (args.size() != 3) {
            return fail(args.size() < 3 ? mci::kMissingParameter : mci::kUnrecognizedKeyword);
        }
        const std::string& name = args[2];
        if (name == "tmsf") {
            format = TimeFormat::Tmsf;
        } else if (name == "msf") {
            format = TimeFormat::Msf;
        } else if (name == "milliseconds" || name == "ms") {
            format = TimeFormat::Milliseconds;
        } else {
            // Frames and every other format are not offered for CD audio.
            return fail(mci::kBadTimeFormat);
        }
        return ok();
    }
    if (startsWith(args, {"door"})) {
        if (args.size() != 2) {
            return fail(args.size() < 2 ? mci::kMissingParameter : mci::kUnrecognizedKeyword);
        }
        if (args[1] == "open") {
            if (!m_drive.openDoor()) {
                return fail(mci::kHardware);
            }
            // A physical drive's tray takes a moment and may stay shut: the disc plays on
            // until the drive says it has gone.
            if (!m_drive.ejectPending()) {
                m_engine.stop();
            }
            return ok();
        }
        if (args[1] == "closed") {
            return m_drive.closeDoor() ? ok() : fail(mci::kHardware);
        }
        return fail(mci::kUnrecognizedKeyword);
    }
    return fail(args.empty() ? mci::kMissingParameter : mci::kUnrecognizedKeyword);
}

MciResult CdAudioDevice::status(TimeFormat format, const Words& args) {
    auto is = [&args](std::initializer_list<const char*> item) {
        return args.size() == item.size() && startsWith(args, item);
    };
    const bool trackItem =
        args.size() == 3 && (args[0] == "length" || args[0] == "position") && args[1] == "track";
    if (args.empty()) {
        return fail(mci::kMissingParameter);
    }
    if (is({"media", "present"}) || is({"ready"})) {
        return ok(syncDisc() ? "true" : "false");
    }
    if (is({"door"})) {
        // Beyond the usual items: how an eject is getting on.
        return ok(m_drive.ejectPending() ? "opening" : m_drive.isDoorOpen() ? "open" : "closed");
    }
    if (is({"time", "format"})) {
        static const char* const kNames[] = {"msf", "tmsf", "milliseconds"};
        return ok(kNames[static_cast<int>(format)]);
    }
    if (is({"mode"})) {
        if (!syncDisc()) {
            return ok(m_drive.isDoorOpen() ? "open" : "not ready");
        }
        static const char* const kModes[] = {"stopped", "playing", "paused"};
        return ok(kModes[static_cast<int>(m_engine.mode())]);
    }
    const bool discItem = is({"number", "of", "tracks"}) || is({"current", "track"}) ||
                          is({"start", "position"}) || is({"length"}) || is({"position"});
    if (!discItem && !trackItem) {
        return fail(mci::kUnrecognizedKeyword);
    }
    if (!syncDisc()) {
        return fail(mci::kDeviceNotReady);
    }
    if (is({"number", "of", "tracks"})) {
        return ok(std::to_string(m_toc->tracks.size()));
    }
    if (is({"current", "track"})) {
        return ok(std::to_string(trackAt(m_engine.position())));
    }
    if (is({"start", "position"})) {
        return ok(formatPosition(format, discStart()));
    }
    if (is({"length"})) {
        return ok(formatLength(format, leadout() - discStart() - 1));
    }
    if (is({"position"})) {
        return ok(formatPosition(format, m_engine.position()));
    }
    const auto number = parseInteger(args[2]);
    if (!number) {
        return fail(mci::kBadInteger);
    }
    if (*number < m_toc->firstTrack() || *number > m_toc->lastTrack()) {
        return fail(mci::kOutOfRange);
    }
    const int track = static_cast<int>(*number);
    if (args[0] == "length") {
        return ok(formatLength(format, trackLength(track)));
    }
    if (format == TimeFormat::Tmsf) {
        return ok(formatTmsf(track, 0));
    }
    return ok(formatPosition(format, trackStart(track)));
}

MciResult CdAudioDevice::play(TimeFormat format, const Words& args) {
    std::optional<std::string> from, to;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) {
            return fail(args[i] == "from" || args[i] == "to" ? mci::kMissingParameter
                                                             : mci::kUnrecognizedKeyword);
        }
        if (args[i] == "from" && !from) {
            from = args[i + 1];
        } else if (args[i] == "to" && !to) {
            to = args[i + 1];
        } else {
            return fail(mci::kUnrecognizedKeyword);
        }
    }
    if (!syncDisc()) {
        return fail(mci::kDeviceNotReady);
    }
    std::int32_t start = m_engine.position();
    if (from) {
        const Target target = parsePosition(format, *from);
        if (target.code != mci::kOk) {
            return fail(target.code);
        }
        start = target.address;
    }
    const std::optional<std::int32_t> playable = playableFrom(start);
    if (!playable) {
        return fail(mci::kOutOfRange);
    }
    std::int32_t end = playEnd(*playable);
    if (to) {
        const Target target = parsePosition(format, *to);
        if (target.code != mci::kOk) {
            return fail(target.code);
        }
        if (target.address <= *playable) {
            return fail(mci::kOutOfRange);
        }
        end = std::min(end, target.address);
    }
    m_engine.play(*playable, end);
    return ok();
}

MciResult CdAudioDevice::seek(TimeFormat format, const Words& args) {
    if (args.size() != 2 || args[0] != "to") {
        if (args.size() == 1 && args[0] == "to") {
            return fail(mci::kMissingParameter);
        }
        return fail(args.empty() ? mci::kMissingParameter : mci::kUnrecognizedKeyword);
    }
    if (!syncDisc()) {
        return fail(mci::kDeviceNotReady);
    }
    std::int32_t address = 0;
    if (args[1] == "start") {
        address = discStart();
    } else if (args[1] == "end") {
        address = leadout() - 1;
    } else {
        const Target target = parsePosition(format, args[1]);
        if (target.code != mci::kOk) {
            return fail(target.code);
        }
        address = target.address;
    }
    const std::optional<std::int32_t> playable = playableFrom(address);
    if (!playable) {
        return fail(mci::kOutOfRange);
    }
    m_engine.seek(*playable);
    return ok();
}

bool CdAudioDevice::syncDisc() {
    if (!m_drive.mediaPresent()) {
        if (m_toc) {
            m_engine.seek(0);
        }
        m_toc.reset();
        return false;
    }
    const std::uint64_t generation = m_drive.discGeneration();
    if (!m_toc || generation != m_tocGeneration) {
        m_toc = m_drive.readToc();
        m_tocGeneration = generation;
        if (!m_toc || m_toc->tracks.empty()) {
            m_toc.reset();
            return false;
        }
        m_engine.seek(discStart());
    }
    return true;
}

std::int32_t CdAudioDevice::trackStart(int track) const {
    return m_toc->tracks[track - m_toc->firstTrack()].startSector + kAddressOffset;
}

std::int32_t CdAudioDevice::leadout() const {
    return m_toc->leadoutSector + kAddressOffset;
}

std::int32_t CdAudioDevice::discStart() const {
    return trackStart(m_toc->firstTrack());
}

int CdAudioDevice::trackAt(std::int32_t address) const {
    int track = m_toc->firstTrack();
    for (const TocTrack& t : m_toc->tracks) {
        if (t.startSector + kAddressOffset <= address) {
            track = t.number;
        }
    }
    return track;
}

std::int32_t CdAudioDevice::trackLength(int track) const {
    if (track == m_toc->lastTrack()) {
        return leadout() - trackStart(track) - 1;
    }
    const std::int32_t audioEnd = m_toc->audioSessionEnd + kAddressOffset;
    if (m_toc->audioSessionEnd > 0 && trackStart(track) < audioEnd &&
        audioEnd < trackStart(track + 1)) {
        return audioEnd - trackStart(track);  // the last track of the audio session
    }
    return trackStart(track + 1) - trackStart(track);
}

std::optional<std::int32_t> CdAudioDevice::playableFrom(std::int32_t address) const {
    if (address < discStart() || address >= leadout()) {
        return std::nullopt;
    }
    const TocTrack& here = m_toc->tracks[trackAt(address) - m_toc->firstTrack()];
    if (here.audio) {
        return address;
    }
    for (const TocTrack& t : m_toc->tracks) {
        if (t.number > here.number && t.audio) {
            return t.startSector + kAddressOffset;
        }
    }
    return std::nullopt;
}

std::int32_t CdAudioDevice::playEnd(std::int32_t from) const {
    // Playback ends where the audio ends: at the end of the audio session, the next data
    // track or the end of the disc.
    const std::int32_t audioEnd = m_toc->audioSessionEnd + kAddressOffset;
    if (m_toc->audioSessionEnd > 0 && from < audioEnd) {
        return audioEnd;
    }
    for (const TocTrack& t : m_toc->tracks) {
        if (!t.audio && t.startSector + kAddressOffset > from) {
            return t.startSector + kAddressOffset;
        }
    }
    return leadout();
}

CdAudioDevice::Target CdAudioDevice::parsePosition(TimeFormat format,
                                                   const std::string& text) const {
    std::vector<std::int64_t> parts;
    std::size_t begin = 0;
    while (true) {
        const std::size_t colon = text.find(':', begin);
        const auto value = parseInteger(std::string_view(text).substr(
            begin, colon == std::string::npos ? text.npos : colon - begin));
        if (!value || *value > 1'000'000'000'000LL || *value < -1'000'000'000'000LL) {
            return {mci::kBadInteger, 0};
        }
        parts.push_back(*value);
        if (colon == std::string::npos) {
            break;
        }
        begin = colon + 1;
    }
    std::int64_t address = 0;
    if (format == TimeFormat::Milliseconds) {
        if (parts.size() != 1) {
            return {mci::kBadInteger, 0};
        }
        if (parts[0] < 0) {
            return {mci::kOutOfRange, 0};
        }
        address = discStart() + parts[0] * kFramesPerSecond / 1000;
    } else {
        const std::size_t maxParts = format == TimeFormat::Tmsf ? 4 : 3;
        if (parts.size() > maxParts) {
            return {mci::kBadInteger, 0};
        }
        if (std::any_of(parts.begin(), parts.end(), [](std::int64_t v) { return v < 0; })) {
            return {mci::kOutOfRange, 0};
        }
        parts.resize(maxParts, 0);
        std::size_t i = 0;
        if (format == TimeFormat::Tmsf) {
            if (parts[0] < m_toc->firstTrack() || parts[0] > m_toc->lastTrack()) {
                return {mci::kOutOfRange, 0};
            }
            address = trackStart(static_cast<int>(parts[0]));
            i = 1;
        }
        address +=
            parts[i] * 60 * kFramesPerSecond + parts[i + 1] * kFramesPerSecond + parts[i + 2];
    }
    if (address < discStart() || address >= leadout()) {
        return {mci::kOutOfRange, 0};
    }
    return {mci::kOk, static_cast<std::int32_t>(address)};
}

std::string CdAudioDevice::formatPosition(TimeFormat format, std::int32_t address) const {
    switch (format) {
        case TimeFormat::Msf:
            return formatMsf(address);
        case TimeFormat::Tmsf: {
            const int track = trackAt(address);
            return formatTmsf(track, address - trackStart(track));
        }
        case TimeFormat::Milliseconds:
            return std::to_string(framesToMs(address - discStart()));
    }
    return {};
}

std::string CdAudioDevice::formatLength(TimeFormat format, std::int32_t frames) const {
    if (format == TimeFormat::Milliseconds) {
        return std::to_string(framesToMs(frames));
    }
    return formatMsf(frames);
}

}  // namespace sonarch
