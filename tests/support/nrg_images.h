#pragma once

// Nero images (NRG) written by the tests, as the public descriptions of the format lay them
// out: the sectors first, then a chain of chunks and a trailer that points at it.

#include <cstdint>
#include <string>
#include <vector>

#include "support/disc_images.h"

namespace sonarch::testing {

struct NrgShape {
    enum class Kind {
        DiscAtOnce,      // "NER5": CUEX cue points, DAOX track places
        OldDiscAtOnce,   // "NERO": CUES cue points in minutes, seconds and frames, DAOI
        TrackAtOnce,     // "NER5": an ETN2 track list
        OldTrackAtOnce,  // "NERO": an ETNF track list
    };
    Kind kind = Kind::DiscAtOnce;
    // Disc at once: the pregap kept before each track after the first (track 1 always has
    // its two seconds).
    std::vector<std::int32_t> pregaps;
    std::vector<std::uint8_t> cdText;  // CDTX packs, none when empty
};

inline void putBigEndian(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(std::uint8_t(value >> (8 * i)));
    }
}

inline void putChunk(std::vector<std::uint8_t>& out, const char* id,
                     const std::vector<std::uint8_t>& data) {
    out.insert(out.end(), id, id + 4);
    putBigEndian(out, data.size(), 4);
    out.insert(out.end(), data.begin(), data.end());
}

inline std::uint8_t bcd(int value) {
    return std::uint8_t((value / 10) << 4 | value % 10);
}

// The image of `tracks`: every disc sector s of an audio track (pregaps included) holds
// imageSectors(s), data tracks 2048-byte sectors of 0x5A. Disc at once, track k starts at
// the sum of the tracks and pregaps before it; track at once, after a gap of 150 sectors
// that the image leaves out.
inline std::vector<std::uint8_t> nrgImage(const std::vector<ImageTrack>& tracks,
                                          const NrgShape& shape = {}) {
    using Kind = NrgShape::Kind;
    const bool dao = shape.kind == Kind::DiscAtOnce || shape.kind == Kind::OldDiscAtOnce;
    const bool version2 = shape.kind == Kind::DiscAtOnce || shape.kind == Kind::TrackAtOnce;
    std::vector<std::uint8_t> image;
    std::vector<std::uint8_t> cues, places, list;
    const auto cue = [&](bool audio, int track, int index, std::int32_t lsn) {
        cues.push_back(audio ? 0x01 : 0x41);
        cues.push_back(track == 0xAA ? 0xAA : bcd(track));
        cues.push_back(bcd(index));
        cues.push_back(0);
        if (shape.kind == Kind::OldDiscAtOnce) {
            const std::int32_t at = lsn + 150;
            cues.insert(cues.end(), {0, std::uint8_t(at / 4500), std::uint8_t(at / 75 % 60),
                                     std::uint8_t(at % 75)});
        } else {
            putBigEndian(cues, std::uint32_t(lsn), 4);
        }
    };
    if (dao) {
        putBigEndian(places, 0, 4);  // the chunk's size, little-endian, read by nobody
        places.insert(places.end(), 14, 0);
        putBigEndian(places, tracks[0].audio ? 0x0000 : 0x0001, 2);
        places.push_back(1);
        places.push_back(std::uint8_t(tracks.size()));
        cue(tracks[0].audio, 0, 0, -150);
    }
    std::int32_t lsn = 0;
    for (std::size_t k = 0; k < tracks.size(); ++k) {
        const ImageTrack& track = tracks[k];
        const std::uint32_t sectorBytes = track.audio ? 2352 : 2048;
        const auto sectors = [&](std::int32_t first, std::int32_t count) {
            if (!track.audio) {
                image.insert(image.end(), std::size_t(count) * 2048, 0x5A);
            } else if (first < 0) {
                image.insert(image.end(), std::size_t(count) * 2352, 0);
            } else {
                const auto bytes = imageSectors(first, count, true);
                image.insert(image.end(), bytes.begin(), bytes.end());
            }
        };
        if (dao) {
            const std::int32_t gap = k == 0                         ? 150
                                     : k < shape.pregaps.size() + 1 ? shape.pregaps[k - 1]
                                                                    : 0;
            const std::uint64_t index0 = image.size();
            cue(track.audio, int(k + 1), 0, lsn - (k == 0 ? 150 : gap));
            sectors(k == 0 ? -150 : lsn, gap);
            lsn += k == 0 ? 0 : gap;
            const std::uint64_t index1 = image.size();
            cue(track.audio, int(k + 1), 1, lsn);
            sectors(lsn, track.sectors);
            lsn += track.sectors;
            places.insert(places.end(), 12, 0);  // ISRC
            putBigEndian(places, sectorBytes, 2);
            places.push_back(track.audio ? 0x07 : 0x00);
            places.insert(places.end(), {0, 0, 1});
            const int width = version2 ? 8 : 4;
            putBigEndian(places, index0, width);
            putBigEndian(places, index1, width);
            putBigEndian(places, image.size(), width);
        } else {
            const std::uint64_t offset = image.size();
            const std::int32_t discStart = lsn + std::int32_t(k) * 150;
            sectors(discStart, track.sectors);
            const int width = version2 ? 8 : 4;
            putBigEndian(list, offset, width);
            putBigEndian(list, std::uint64_t(track.sectors) * sectorBytes, width);
            putBigEndian(list, track.audio ? 7 : 0, 4);
            putBigEndian(list, std::uint32_t(lsn), 4);
            putBigEndian(list, 0, version2 ? 8 : 4);
            lsn += track.sectors;
        }
    }
    const std::uint64_t chain = image.size();
    if (dao) {
        cue(tracks.back().audio, 0xAA, 1, lsn);
        putChunk(image, shape.kind == Kind::OldDiscAtOnce ? "CUES" : "CUEX", cues);
        putChunk(image, version2 ? "DAOX" : "DAOI", places);
    } else {
        putChunk(image, version2 ? "ETN2" : "ETNF", list);
    }
    if (!shape.cdText.empty()) {
        putChunk(image, "CDTX", shape.cdText);
    }
    putChunk(image, "SINF", {0, 0, 0, 1});
    putChunk(image, "MTYP", {0, 0, 0, 1});
    putChunk(image, "END!", {});
    image.insert(image.end(), {'N', 'E', 'R', version2 ? std::uint8_t('5') : std::uint8_t('O')});
    putBigEndian(image, chain, version2 ? 8 : 4);
    return image;
}

}  // namespace sonarch::testing
