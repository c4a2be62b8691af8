#include "device/drives/virtual_drive.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

#include "device/images/cd_text.h"
#include "device/mci/msf.h"

namespace sonarch {

namespace {

constexpr int kSampleRate = 44100;
constexpr double kAmplitude = 8000.0;

// Calls put(value) for `count` samples of a tone from `first` samples into its track, a
// sector's first sample. The phase is worked out exactly at the start of each sector and
// turned on by fixed steps from there (four samples apart, so the four chains run side by
// side): a few multiplications a sample instead of a sine, and every read of a sample
// gives the same value.
template <class Put>
void synthesizeTone(double frequency, std::int64_t first, std::int64_t count, Put put) {
    constexpr int kChains = 4;
    static_assert(kSamplesPerFrame % kChains == 0);
    const double step = 2.0 * std::numbers::pi * frequency / kSampleRate;
    const double stepCos = std::cos(step * kChains);
    const double stepSin = std::sin(step * kChains);
    const std::int64_t end = first + count;
    for (std::int64_t sector = first; sector < end; sector += kSamplesPerFrame) {
        double c[kChains];
        double s[kChains];
        for (int k = 0; k < kChains; ++k) {
            c[k] = std::cos(step * double(sector + k));
            s[k] = std::sin(step * double(sector + k));
        }
        const std::int64_t samples = std::min<std::int64_t>(kSamplesPerFrame, end - sector);
        for (std::int64_t i = 0; i < samples; i += kChains) {
            for (int k = 0; k < kChains && i + k < samples; ++k) {
                const double v = kAmplitude * s[k];
                // Rounded half away from zero, as std::lround does, without its call.
                put(static_cast<std::int16_t>(v < 0 ? v - 0.5 : v + 0.5));
            }
            for (int k = 0; k < kChains; ++k) {
                const double turned = s[k] * stepCos + c[k] * stepSin;
                c[k] = c[k] * stepCos - s[k] * stepSin;
                s[k] = turned;
            }
        }
    }
}

}  // namespace

VirtualDrive::VirtualDrive(std::vector<VirtualTrack> tracks, DiscText text)
    : m_tracks(std::move(tracks)), m_text(std::move(text)), m_hasDisc(!m_tracks.empty()) {
    if (m_hasDisc) {
        m_generation = 1;
    }
}

bool VirtualDrive::mediaPresent() {
    std::lock_guard lock(m_mutex);
    return m_hasDisc && !m_doorOpen;
}

DiscToc VirtualDrive::tocLocked() const {
    DiscToc toc;
    std::int32_t sector = 0;
    int number = 1;
    for (const VirtualTrack& track : m_tracks) {
        toc.tracks.push_back({number++, sector, track.audio});
        sector += track.lengthFrames;
    }
    toc.leadoutSector = sector;
    return toc;
}

std::optional<DiscToc> VirtualDrive::readToc() {
    std::lock_guard lock(m_mutex);
    if (!m_hasDisc || m_doorOpen) {
        return std::nullopt;
    }
    return tocLocked();
}

bool VirtualDrive::openDoor() {
    std::lock_guard lock(m_mutex);
    if (m_ejectsDelayed) {
        m_ejectPending = true;
    } else {
        m_doorOpen = true;
    }
    return true;
}

bool VirtualDrive::ejectPending() const {
    std::lock_guard lock(m_mutex);
    return m_ejectPending;
}

void VirtualDrive::delayEjects(bool delayed) {
    std::lock_guard lock(m_mutex);
    m_ejectsDelayed = delayed;
}

void VirtualDrive::answerEject(bool opens) {
    std::lock_guard lock(m_mutex);
    if (std::exchange(m_ejectPending, false) && opens) {
        m_doorOpen = true;
    }
}

bool VirtualDrive::closeDoor() {
    std::lock_guard lock(m_mutex);
    if (m_doorOpen && m_hasDisc) {
        ++m_generation;
    }
    m_doorOpen = false;
    return true;
}

bool VirtualDrive::isDoorOpen() const {
    std::lock_guard lock(m_mutex);
    return m_doorOpen;
}

DiscText VirtualDrive::discText() {
    std::lock_guard lock(m_mutex);
    return m_hasDisc && !m_doorOpen ? m_text : DiscText{};
}

void VirtualDrive::insert(std::vector<VirtualTrack> tracks) {
    insert(std::move(tracks), {});
}

void VirtualDrive::insert(std::vector<VirtualTrack> tracks, DiscText text) {
    std::lock_guard lock(m_mutex);
    m_tracks = std::move(tracks);
    m_text = std::move(text);
    m_hasDisc = !m_tracks.empty();
    m_doorOpen = false;
    ++m_generation;
}

void VirtualDrive::insert() {
    std::lock_guard lock(m_mutex);
    m_hasDisc = !m_tracks.empty();
    m_doorOpen = false;
    ++m_generation;
}

void VirtualDrive::remove() {
    std::lock_guard lock(m_mutex);
    m_hasDisc = false;
}

void VirtualDrive::stallReads(bool stalled) {
    {
        std::lock_guard lock(m_mutex);
        m_stalled = stalled;
    }
    m_stallChanged.notify_all();
}

bool VirtualDrive::waitForStalledRead(std::chrono::milliseconds patience) {
    std::unique_lock lock(m_mutex);
    return m_stallChanged.wait_for(lock, patience, [this] { return m_readsWaiting > 0; });
}

double VirtualDrive::toneFrequency(int trackNumber) {
    // A semitone per track from A3, so neighbouring tracks are easy to tell apart.
    return 220.0 * std::pow(2.0, (trackNumber - 1) / 12.0);
}

std::int16_t VirtualDrive::sampleAt(std::int64_t discSample) const {
    std::int64_t trackStart = 0;
    int number = 1;
    for (const VirtualTrack& track : m_tracks) {
        const std::int64_t trackSamples = std::int64_t{track.lengthFrames} * kSamplesPerFrame;
        if (discSample < trackStart + trackSamples) {
            if (!track.audio) {
                return 0;
            }
            const std::int64_t offset = discSample - trackStart;
            const std::int64_t sectorStart = offset - offset % kSamplesPerFrame;
            std::int16_t value = 0;
            synthesizeTone(toneFrequency(number), sectorStart, offset - sectorStart + 1,
                           [&](std::int16_t v) { value = v; });
            return value;
        }
        trackStart += trackSamples;
        ++number;
    }
    return 0;
}

ReadStatus VirtualDrive::readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) {
    std::unique_lock lock(m_mutex);
    ++m_readsWaiting;
    m_stallChanged.notify_all();
    m_stallChanged.wait(lock, [this] { return !m_stalled; });
    --m_readsWaiting;
    if (!m_hasDisc || m_doorOpen) {
        return ReadStatus::NoDisc;
    }
    const std::int32_t leadout = tocLocked().leadoutSector;
    if (sector < 0 || count < 0 || sector + count > leadout ||
        out.size() < std::size_t(count) * kBytesPerFrame) {
        return ReadStatus::Failed;
    }
    std::uint8_t* p = out.data();
    auto put = [&p](std::int16_t sample) {
        const auto v = static_cast<std::uint16_t>(sample);
        for (int channel = 0; channel < 2; ++channel) {
            *p++ = static_cast<std::uint8_t>(v & 0xff);
            *p++ = static_cast<std::uint8_t>(v >> 8);
        }
    };
    // Track by track, as much of each as the read covers.
    const std::int64_t first = std::int64_t{sector} * kSamplesPerFrame;
    const std::int64_t end = first + std::int64_t{count} * kSamplesPerFrame;
    std::int64_t trackStart = 0;
    int number = 1;
    for (const VirtualTrack& track : m_tracks) {
        const std::int64_t trackEnd =
            trackStart + std::int64_t{track.lengthFrames} * kSamplesPerFrame;
        const std::int64_t from = std::max(first, trackStart);
        const std::int64_t to = std::min(end, trackEnd);
        if (from < to && track.audio) {
            synthesizeTone(toneFrequency(number), from - trackStart, to - from, put);
        } else if (from < to) {
            for (std::int64_t i = from; i < to; ++i) {
                put(0);
            }
        }
        trackStart = trackEnd;
        ++number;
    }
    return ReadStatus::Ok;
}

std::vector<VirtualTrack> demoDisc() {
    // Twelve tracks of two to five minutes, like an ordinary album.
    static const char* const kLengths[] = {"03:12:40", "04:05:10", "02:47:66", "03:58:02",
                                           "04:41:30", "02:15:12", "03:33:71", "04:59:05",
                                           "03:05:44", "02:38:20", "04:12:09", "03:49:57"};
    std::vector<VirtualTrack> tracks;
    for (const char* text : kLengths) {
        tracks.push_back({*parseMsf(text), true});
    }
    return tracks;
}

DiscText demoDiscText() {
    // What a pressed copy of the demo album would carry: the demo library's own names.
    static const char* const kTracks[][2] = {
        {"Tidewater Arithmetic", "Mira Oakhollow"},
        {"The Cartographer's Lantern", "Mira Oakhollow"},
        {"Sodium Orange Avenue", "Felix Brandvold & the Quiet Engines"},
        {"Paper Boats for the Ferryman", "Mira Oakhollow"},
        {"Seventeen Clocks on Halvard Street", "The Quiet Engines"},
        {"Interlude: Static over the Fjord", "Ansel Pike"},
        {"Cobalt Lighthouse", "Mira Oakhollow"},
        {"Caf\u00e9 at the Edge of the Map", "Juno Varga"},
        {"Slow Freight to Maribel", "Felix Brandvold"},
        {"Lantern Drift (Reprise)", "Mira Oakhollow & Juno Varga"},
        {"The Weight of Blue Hours", "Juno Varga"},
        {"Harbour Lights Going Out", "The Night Cartography Ensemble"},
    };
    DiscText text{"Night Cartography", "The Night Cartography Ensemble", {}};
    for (const auto& track : kTracks) {
        text.tracks.push_back({track[0], track[1]});
    }
    return text;
}

namespace {

// %XX escapes decoded; the text must then be UTF-8.
std::optional<std::string> decodeText(const std::string& written) {
    std::string text;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] != '%') {
            text += written[i];
            continue;
        }
        if (i + 2 >= written.size() || !std::isxdigit(static_cast<unsigned char>(written[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(written[i + 2]))) {
            return std::nullopt;
        }
        text += static_cast<char>(std::stoi(written.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    if (!IsWellFormedUtf8(text)) {
        return std::nullopt;
    }
    return CleanDiscText(text);
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? at : at - start));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

// TITLE and PERFORMER after the first field of an item; false when they are badly written.
bool readTexts(const std::vector<std::string>& fields, TrackText& text) {
    if (fields.size() > 3) {
        return false;
    }
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const auto decoded = decodeText(fields[i]);
        if (!decoded) {
            return false;
        }
        (i == 1 ? text.title : text.performer) = *decoded;
    }
    return true;
}

}  // namespace

std::optional<VirtualDisc> parseVirtualDiscWithText(const std::string& name, std::string* error) {
    auto fail = [error](const std::string& why) -> std::optional<VirtualDisc> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (name == "demo") {
        return VirtualDisc{demoDisc(), demoDiscText()};
    }
    const std::string prefix = "virtual:";
    if (name.rfind(prefix, 0) != 0) {
        return fail("a virtual disc is written virtual:LEN,LEN,... or demo");
    }
    VirtualDisc disc;
    std::int64_t discFrames = 0;
    const std::string rest = name.substr(prefix.size());
    if (rest.empty()) {
        return disc;
    }
    const std::vector<std::string> items = split(rest, ',');
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::vector<std::string> fields = split(items[i], '|');
        TrackText text;
        if (!readTexts(fields, text)) {
            return fail("the CD-TEXT of '" + items[i] +
                        "' is not TITLE|PERFORMER in UTF-8 with %XX escapes");
        }
        if (fields[0] == "disc") {
            if (i != 0) {
                return fail("the disc's CD-TEXT (disc|TITLE|PERFORMER) comes first");
            }
            disc.text.title = text.title;
            disc.text.performer = text.performer;
            continue;
        }
        std::string item = fields[0];
        bool audio = true;
        if (item.rfind("data=", 0) == 0) {
            audio = false;
            item = item.substr(5);
        }
        const std::optional<std::int32_t> frames = parseMsf(item);
        if (!frames || *frames <= 0) {
            return fail("track length '" + item + "' is not mm:ss:ff");
        }
        if (disc.tracks.size() >= 99) {
            return fail("a disc holds at most 99 tracks");
        }
        discFrames += *frames;
        if (discFrames > kMaxLeadoutSector) {
            return fail(
                "the disc would be longer than a CD can hold (99:59:74 with its 2 "
                "seconds of lead-in)");
        }
        disc.tracks.push_back({*frames, audio});
        if (!text.title.empty() || !text.performer.empty()) {
            disc.text.tracks.resize(disc.tracks.size());
            disc.text.tracks.back() = std::move(text);
        }
    }
    return disc;
}

std::optional<std::vector<VirtualTrack>> parseVirtualDisc(const std::string& name,
                                                          std::string* error) {
    auto disc = parseVirtualDiscWithText(name, error);
    if (!disc) {
        return std::nullopt;
    }
    return std::move(disc->tracks);
}

}  // namespace sonarch
