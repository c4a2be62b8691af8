#pragma once

// A disc image whose every second sounds at a level of its own, and the reading of a
// recording of it: which second of the disc is heard in each hundredth of a second, so a
// test tells from the sound alone where the player is, when it moved and what followed.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "support/disc_images.h"

namespace sonarch::testing {

// Second s of the disc is a 1 kHz tone whose peaks reach kFirstLevel + s * kLevelStep.
constexpr int kFirstLevel = 1500;
constexpr int kLevelStep = 1200;
constexpr int kLevelSeconds = 24;  // the loudest still fits a 16-bit sample
// A hundredth of a second: the unit a recording is read in.
constexpr int kWindowSamples = 441;
constexpr int kSilence = -1;

inline std::int16_t levelDiscSample(std::int64_t sample) {
    const std::int64_t second = std::min<std::int64_t>(sample / kSampleRate, kLevelSeconds - 1);
    const double peak = kFirstLevel + double(second) * kLevelStep;
    return static_cast<std::int16_t>(
        std::lround(peak * std::sin(2 * std::numbers::pi * 1000.0 * double(sample) / kSampleRate)));
}

struct LevelTrack {
    int seconds = 0;
    std::string title, performer;  // its CD-TEXT, none when empty
};

// Writes name.bin and name.cue, the tracks one after the other; returns the sheet's path.
inline std::string writeLevelDisc(const TempDir& dir, const std::string& name,
                                  const std::vector<LevelTrack>& tracks) {
    std::vector<std::uint8_t> bin;
    std::string cue = "FILE \"" + name + ".bin\" BINARY\n";
    std::int64_t sample = 0;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        char line[32];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n", int(t + 1));
        cue += line;
        if (!tracks[t].title.empty()) {
            cue += "    TITLE \"" + tracks[t].title + "\"\n";
        }
        if (!tracks[t].performer.empty()) {
            cue += "    PERFORMER \"" + tracks[t].performer + "\"\n";
        }
        cue += "    INDEX 01 " + msf(std::int32_t(sample / kSamplesPerFrame)) + "\n";
        const std::int64_t end = sample + std::int64_t(tracks[t].seconds) * kSampleRate;
        for (; sample < end; ++sample) {
            const auto v = static_cast<std::uint16_t>(levelDiscSample(sample));
            for (int channel = 0; channel < 2; ++channel) {
                bin.push_back(static_cast<std::uint8_t>(v & 0xff));
                bin.push_back(static_cast<std::uint8_t>(v >> 8));
            }
        }
    }
    writeFile(dir.file(name + ".bin"), bin);
    writeText(dir.file(name + ".cue"), cue);
    return dir.file(name + ".cue");
}

// For each whole hundredth of a raw 16-bit stereo recording from hundredth `first` on:
// the second of the level disc heard in it, or kSilence.
inline std::vector<int> heardSeconds(const std::vector<std::uint8_t>& bytes,
                                     std::size_t first = 0) {
    std::vector<int> seconds;
    const std::size_t windowBytes = std::size_t(kWindowSamples) * 4;
    for (std::size_t at = first * windowBytes; at + windowBytes <= bytes.size();
         at += windowBytes) {
        int peak = 0;
        for (std::size_t i = at; i < at + windowBytes; i += 4) {
            const auto left = static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8));
            peak = std::max(peak, std::abs(int(left)));
        }
        seconds.push_back(peak < kFirstLevel / 2
                              ? kSilence
                              : int(std::lround(double(peak - kFirstLevel) / kLevelStep)));
    }
    return seconds;
}

// The hundredths a recording of `bytes` holds.
inline std::size_t windowsIn(std::size_t bytes) {
    return bytes / (std::size_t(kWindowSamples) * 4);
}

// What a recording shows of a move, `heard` being what was heard from the moment of the
// move on (one entry a hundredth): how long until the disc's second `target` was heard,
// and the hundredths after that which sounded of a second outside [target, target +
// seconds since]: the old place coming back.
struct MoveHeard {
    bool heard = false;
    int delayMs = 0;
    int strayWindows = 0;
    int firstStray = kSilence;
};

inline MoveHeard moveHeard(const std::vector<int>& heard, int target) {
    MoveHeard move;
    const auto first = std::find(heard.begin(), heard.end(), target);
    if (first == heard.end()) {
        return move;
    }
    move.heard = true;
    move.delayMs = int(first - heard.begin()) * 10;
    for (auto w = first; w != heard.end(); ++w) {
        const int latest = target + int((w - first) / 100) + 1;
        if (*w != kSilence && (*w < target || *w > latest)) {
            if (move.firstStray == kSilence) {
                move.firstStray = *w;
            }
            ++move.strayWindows;
        }
    }
    return move;
}

}  // namespace sonarch::testing
