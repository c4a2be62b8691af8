#include "device/images/nrg_image.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "device/mci/msf.h"

namespace sonarch {

namespace {

using LayoutResult = Result<NrgLayout>;

constexpr std::int64_t kPregapSectors = 150;  // before the first track, and between TAO tracks
constexpr std::uint32_t kAudioMode = 7;       // a track's mode in DAOX, DAOI, ETN2, ETNF

std::uint64_t bigEndian(const std::uint8_t* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = value << 8 | p[i];
    }
    return value;
}

// Where the chunks lie: from `start` up to `end`, the trailer's first byte.
struct Chain {
    bool version2 = false;  // "NER5": 64-bit offsets
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

std::optional<Chain> chainOf(const FileTail& tail) {
    const std::size_t size = tail.bytes.size();
    const std::uint8_t* bytes = tail.bytes.data();
    if (tail.offset + size != tail.fileSize) {
        return std::nullopt;
    }
    if (size >= 12 && std::memcmp(bytes + size - 12, "NER5", 4) == 0) {
        return Chain{true, bigEndian(bytes + size - 8, 8), tail.fileSize - 12};
    }
    if (size >= 8 && std::memcmp(bytes + size - 8, "NERO", 4) == 0) {
        return Chain{false, bigEndian(bytes + size - 4, 4), tail.fileSize - 8};
    }
    return std::nullopt;
}

std::optional<int> fromBcd(std::uint8_t value) {
    if ((value >> 4) > 9 || (value & 0x0F) > 9) {
        return std::nullopt;
    }
    return (value >> 4) * 10 + (value & 0x0F);
}

// A piece of the disc as the image keeps it: sectors from `discStart` on, `sectorBytes`
// each, from `fileOffset` in the image.
struct Region {
    std::int64_t discStart = 0;
    std::int64_t sectors = 0;
    std::uint64_t fileOffset = 0;
    std::uint32_t sectorBytes = kBytesPerFrame;
    bool audio = true;
};

struct TrackPlace {
    std::uint32_t sectorBytes = 0;
    std::uint32_t mode = 0;
    std::uint64_t index0 = 0, index1 = 0, end = 0;
};

class NrgReader {
public:
    NrgReader(const FileTail& tail, const std::string& path) : m_tail(tail), m_path(path) {}
    LayoutResult read();

private:
    LayoutResult damaged(const std::string& why) const {
        return LayoutResult::failure("'" + m_path + "' is a damaged Nero image: " + why + ".");
    }
    LayoutResult unreadable(const std::string& why) const {
        return LayoutResult::failure("'" + m_path +
                                     "' is a Nero image the player cannot read: " + why + ".");
    }
    const std::uint8_t* at(std::uint64_t fileOffset) const {
        return m_tail.bytes.data() + (fileOffset - m_tail.offset);
    }

    std::optional<LayoutResult> readCuePoints(const std::uint8_t* data, std::uint32_t length,
                                              bool msf);
    std::optional<LayoutResult> readDaoPlaces(const std::uint8_t* data, std::uint32_t length,
                                              bool version2);
    std::optional<LayoutResult> readTaoTracks(const std::uint8_t* data, std::uint32_t length,
                                              bool version2);
    LayoutResult layOut(std::vector<Region> regions);

    const FileTail& m_tail;
    std::string m_path;
    Chain m_chain;
    NrgLayout m_layout;

    // Disc at once: the cue points' track starts and leadout, and where the tracks lie.
    std::vector<std::int64_t> m_starts;
    std::optional<std::int64_t> m_leadout;
    std::vector<TrackPlace> m_places;
    // Track at once.
    std::vector<Region> m_taoTracks;
    bool m_haveCues = false, m_havePlaces = false, m_haveTao = false;
};

LayoutResult NrgReader::read() {
    const auto chain = chainOf(m_tail);
    if (!chain) {
        return LayoutResult::failure("'" + m_path +
                                     "' is not a Nero image (NRG): it lacks the track list "
                                     "Nero images end with.");
    }
    m_chain = *chain;
    if (m_chain.start > m_chain.end) {
        return damaged("its track list would lie past its end");
    }
    if (m_chain.start < m_tail.offset) {
        return damaged("its track list is far longer than any disc needs");
    }
    std::uint64_t pos = m_chain.start;
    while (m_chain.end - pos >= 8) {
        const std::uint8_t* chunk = at(pos);
        const std::string id(reinterpret_cast<const char*>(chunk), 4);
        const auto length = std::uint32_t(bigEndian(chunk + 4, 4));
        if (length > m_chain.end - pos - 8) {
            return damaged("a chunk of its track list runs past its end");
        }
        const std::uint8_t* data = chunk + 8;
        std::optional<LayoutResult> failed;
        if (id == "END!") {
            break;
        } else if (id == "CUEX" || id == "CUES") {
            failed = readCuePoints(data, length, id == "CUES");
        } else if (id == "DAOX" || id == "DAOI") {
            failed = readDaoPlaces(data, length, id == "DAOX");
        } else if (id == "ETN2" || id == "ETNF") {
            failed = readTaoTracks(data, length, id == "ETN2");
        } else if (id == "CDTX") {
            m_layout.cdTextPacks.assign(data, data + length);
        }
        // Other chunks (sessions, media type, ...) do not change the sound.
        if (failed) {
            return *failed;
        }
        pos += 8 + std::uint64_t(length);
    }

    if (m_haveCues && m_havePlaces && !m_haveTao) {
        if (m_places.size() != m_starts.size()) {
            return damaged(
                "its cue points and its track places disagree on the number of "
                "tracks");
        }
        std::vector<Region> regions;
        for (std::size_t i = 0; i < m_places.size(); ++i) {
            const TrackPlace& place = m_places[i];
            const std::int64_t pregap =
                std::int64_t((place.index1 - place.index0) / place.sectorBytes);
            regions.push_back(
                {m_starts[i] - pregap,
                 pregap + std::int64_t((place.end - place.index1) / place.sectorBytes),
                 place.index0, place.sectorBytes, place.mode == kAudioMode});
        }
        return layOut(std::move(regions));
    }
    if (m_haveTao && !m_haveCues && !m_havePlaces) {
        std::int64_t leadout = 0;
        for (const Region& track : m_taoTracks) {
            leadout = std::max(leadout, track.discStart + track.sectors);
        }
        m_leadout = leadout;
        for (const Region& track : m_taoTracks) {
            m_starts.push_back(track.discStart);
        }
        return layOut(m_taoTracks);
    }
    if (m_haveTao) {
        return unreadable("it mixes disc-at-once and track-at-once track lists");
    }
    return damaged(m_haveCues ? "it lacks the places of its tracks" : "it lists no tracks");
}

std::optional<LayoutResult> NrgReader::readCuePoints(const std::uint8_t* data, std::uint32_t length,
                                                     bool msf) {
    if (m_haveCues) {
        return unreadable("it holds more than one session");
    }
    m_haveCues = true;
    if (length % 8 != 0) {
        return damaged("its cue points are cut short");
    }
    std::optional<int> lastTrack;
    for (std::uint32_t i = 0; i < length; i += 8) {
        const std::uint8_t* point = data + i;
        std::int64_t position = 0;
        if (msf) {
            // Minute, second and frame from the start of the pregap of track 1.
            if (point[6] >= 60 || point[7] >= 75) {
                return damaged("a cue point's time is no time");
            }
            position = (std::int64_t{point[5]} * 60 + point[6]) * 75 + point[7] - kPregapSectors;
        } else {
            position = std::int32_t(std::uint32_t(bigEndian(point + 4, 4)));
        }
        if (point[1] == 0xAA) {
            m_leadout = position;
            continue;
        }
        const auto track = fromBcd(point[1]);
        const auto index = fromBcd(point[2]);
        if (!track || !index) {
            return damaged("a cue point's track or index is no number");
        }
        if (*track == 0 || *index != 1) {
            continue;  // the lead-in, pregaps and marks inside a track
        }
        if (m_leadout || (lastTrack && *track != *lastTrack + 1) || m_starts.size() == 99) {
            return damaged("its cue points are out of order");
        }
        lastTrack = *track;
        m_starts.push_back(position);
    }
    if (m_starts.empty() || !m_leadout) {
        return damaged("its cue points lack a track or the end of the disc");
    }
    return std::nullopt;
}

std::optional<LayoutResult> NrgReader::readDaoPlaces(const std::uint8_t* data, std::uint32_t length,
                                                     bool version2) {
    if (m_havePlaces) {
        return unreadable("it holds more than one session");
    }
    m_havePlaces = true;
    constexpr std::uint32_t kHeader = 22;
    const std::uint32_t entry = version2 ? 42 : 30;
    const int offsetBytes = version2 ? 8 : 4;
    if (length < kHeader) {
        return damaged("its track places are cut short");
    }
    const int first = data[20], last = data[21];
    if (first < 1 || last < first || last > 99 ||
        length < kHeader + entry * std::uint32_t(last - first + 1)) {
        return damaged("its track places are cut short or number no tracks");
    }
    for (int track = first; track <= last; ++track) {
        const std::uint8_t* p = data + kHeader + entry * std::uint32_t(track - first);
        TrackPlace place;
        place.sectorBytes = std::uint32_t(bigEndian(p + 12, 2));
        place.mode = p[14];
        place.index0 = bigEndian(p + 18, offsetBytes);
        place.index1 = bigEndian(p + 18 + offsetBytes, offsetBytes);
        place.end = bigEndian(p + 18 + 2 * offsetBytes, offsetBytes);
        if (place.sectorBytes == 0 || place.index0 > place.index1 || place.index1 > place.end ||
            place.end > m_chain.start) {
            return damaged("track " + std::to_string(track) + " lies outside its sound data");
        }
        if (place.mode == kAudioMode && place.sectorBytes != kBytesPerFrame) {
            return unreadable("its audio tracks carry sub-channel data");
        }
        m_places.push_back(place);
    }
    return std::nullopt;
}

std::optional<LayoutResult> NrgReader::readTaoTracks(const std::uint8_t* data, std::uint32_t length,
                                                     bool version2) {
    if (m_haveTao) {
        return unreadable("it holds more than one session");
    }
    m_haveTao = true;
    const std::uint32_t entry = version2 ? 32 : 20;
    const int offsetBytes = version2 ? 8 : 4;
    if (length % entry != 0 || length == 0 || length / entry > 99) {
        return damaged("its track list is cut short");
    }
    for (std::uint32_t i = 0; i < length / entry; ++i) {
        const std::uint8_t* p = data + i * entry;
        const std::uint64_t offset = bigEndian(p, offsetBytes);
        const std::uint64_t bytes = bigEndian(p + offsetBytes, offsetBytes);
        const auto mode = std::uint32_t(bigEndian(p + 2 * offsetBytes, 4));
        const auto start = std::uint32_t(bigEndian(p + 2 * offsetBytes + 4, 4));
        std::uint32_t sectorBytes = 0;
        switch (mode) {
            case kAudioMode:
                sectorBytes = kBytesPerFrame;
                break;
            case 0:
            case 2:
                sectorBytes = 2048;
                break;
            case 3:
            case 6:
            case 0x20:
                sectorBytes = 2336;
                break;
            default:
                return unreadable("track " + std::to_string(i + 1) + " is of a kind (" +
                                  std::to_string(mode) + ") it does not know");
        }
        if (offset > m_chain.start || bytes > m_chain.start - offset ||
            start > std::uint32_t(kMaxLeadoutSector)) {
            return damaged("track " + std::to_string(i + 1) + " lies outside its sound data");
        }
        // Each track after the first follows a gap of two seconds that the image leaves out.
        m_taoTracks.push_back({std::int64_t(start) + std::int64_t(i) * kPregapSectors,
                               std::int64_t(bytes / sectorBytes), offset, sectorBytes,
                               mode == kAudioMode});
    }
    return std::nullopt;
}

// The table of contents from the track starts, and the disc's sectors from the regions:
// audio read from the image, data and gaps silent.
LayoutResult NrgReader::layOut(std::vector<Region> regions) {
    DiscToc& toc = m_layout.toc;
    for (std::size_t i = 0; i < m_starts.size(); ++i) {
        if (m_starts[i] < 0 || m_starts[i] > kMaxLeadoutSector) {
            return damaged("its tracks lie outside a disc");
        }
        toc.tracks.push_back({int(i + 1), std::int32_t(m_starts[i]), regions[i].audio});
    }
    if (*m_leadout < 0 || *m_leadout > kMaxLeadoutSector) {
        return damaged("its disc is longer than a CD can hold");
    }
    toc.leadoutSector = std::int32_t(*m_leadout);
    if (!TocLaysOutADisc(toc)) {
        return damaged("its tracks are out of order or past the end of its disc");
    }
    std::int64_t next = 0;
    auto& extents = m_layout.extents;
    const auto silence = [&](std::int64_t until) {
        if (until > next) {
            extents.push_back({"", 0, std::int32_t(next), std::int32_t(until - next)});
            next = until;
        }
    };
    for (Region& region : regions) {
        std::int64_t start = region.discStart;
        std::int64_t end = std::min<std::int64_t>(start + region.sectors, toc.leadoutSector);
        if (start < 0) {
            region.fileOffset += std::uint64_t(-start) * region.sectorBytes;
            start = 0;
        }
        if (end <= start) {
            continue;
        }
        if (start < next) {
            return damaged("its tracks overlap");
        }
        silence(start);
        extents.push_back({region.audio ? m_path : std::string(),
                           region.audio ? region.fileOffset : 0, std::int32_t(start),
                           std::int32_t(end - start)});
        next = end;
    }
    silence(toc.leadoutSector);
    return LayoutResult::success(std::move(m_layout));
}

}  // namespace

bool HasNrgTrailer(const FileTail& tail) {
    return chainOf(tail).has_value();
}

LayoutResult LayOutNrgImage(const FileTail& tail, const std::string& path) {
    return NrgReader(tail, path).read();
}

}  // namespace sonarch
