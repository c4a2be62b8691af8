#pragma once

// Small disc images written by the tests themselves: raw 2352-byte sectors of known,
// synthesized samples, described by CUE sheets (one file or several) or a cdrdao TOC file.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "device/drives/drive.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/disc_key.h"

namespace sonarch::testing {

// A folder of its own under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sonarch-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::abort();
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

struct ImageTrack {
    std::int32_t sectors = 0;
    bool audio = true;
};

// The left sample at a disc sample index: even (so halving is exact), different for every
// sample and track; the right channel is its negation. A data sector is filled with 0x5A
// bytes, which would be heard as a loud constant if a data track were ever played.
inline std::int16_t imageSample(std::int64_t discSample) {
    return static_cast<std::int16_t>(((discSample * 37) % 30011 - 15005) * 2);
}

inline std::vector<std::uint8_t> imageSectors(std::int32_t firstSector, std::int32_t count,
                                              bool audio) {
    std::vector<std::uint8_t> bytes(std::size_t(count) * kBytesPerFrame, 0x5A);
    if (!audio) {
        return bytes;
    }
    std::uint8_t* p = bytes.data();
    for (std::int64_t i = 0; i < std::int64_t{count} * kSamplesPerFrame; ++i) {
        const std::int16_t left = imageSample(std::int64_t{firstSector} * kSamplesPerFrame + i);
        const auto l = static_cast<std::uint16_t>(left);
        const auto r = static_cast<std::uint16_t>(static_cast<std::int16_t>(-left));
        *p++ = static_cast<std::uint8_t>(l & 0xff);
        *p++ = static_cast<std::uint8_t>(l >> 8);
        *p++ = static_cast<std::uint8_t>(r & 0xff);
        *p++ = static_cast<std::uint8_t>(r >> 8);
    }
    return bytes;
}

// What a player should write for the disc samples [first, first + count): interleaved
// left and right samples, scaled by volume / 65000.
inline std::vector<std::int16_t> expectedSamples(std::int64_t firstSample, std::int64_t count,
                                                 std::int32_t volume = 65000) {
    std::vector<std::int16_t> samples;
    samples.reserve(std::size_t(count) * 2);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int16_t left = imageSample(firstSample + i);
        samples.push_back(static_cast<std::int16_t>(left * volume / 65000));
        samples.push_back(static_cast<std::int16_t>(-left * volume / 65000));
    }
    return samples;
}

inline void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
}

inline std::string msf(std::int32_t frames) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / 4500, frames / 75 % 60,
                  frames % 75);
    return text;
}

// One BIN file holding every track, and its CUE sheet. Returns the sheet's path.
inline std::string writeCueBin(const TempDir& dir, const std::vector<ImageTrack>& tracks,
                               const std::string& name = "disc") {
    std::vector<std::uint8_t> bin;
    std::string cue = "REM written by the tests\nFILE \"" + name + ".bin\" BINARY\n";
    std::int32_t sector = 0;
    int number = 1;
    for (const ImageTrack& t : tracks) {
        const auto bytes = imageSectors(sector, t.sectors, t.audio);
        bin.insert(bin.end(), bytes.begin(), bytes.end());
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02d %s\n    INDEX 01 %s\n", number++,
                      t.audio ? "AUDIO" : "MODE1/2352", msf(sector).c_str());
        cue += line;
        sector += t.sectors;
    }
    writeFile(dir.file(name + ".bin"), bin);
    writeText(dir.file(name + ".cue"), cue);
    return dir.file(name + ".cue");
}

// One file per track, the way many rips are kept.
inline std::string writeMultiFileCue(const TempDir& dir, const std::vector<ImageTrack>& tracks) {
    std::string cue;
    std::int32_t sector = 0;
    int number = 1;
    for (const ImageTrack& t : tracks) {
        char name[32];
        std::snprintf(name, sizeof name, "track%02d.bin", number);
        writeFile(dir.file(name), imageSectors(sector, t.sectors, t.audio));
        char line[128];
        std::snprintf(line, sizeof line,
                      "FILE \"%s\" BINARY\n  TRACK %02d %s\n    INDEX 01 00:00:00\n", name, number,
                      t.audio ? "AUDIO" : "MODE1/2352");
        cue += line;
        sector += t.sectors;
        ++number;
    }
    writeText(dir.file("multi.cue"), cue);
    return dir.file("multi.cue");
}

// A cdrdao TOC file over one data file, each track a piece of it.
inline std::string writeToc(const TempDir& dir, const std::vector<ImageTrack>& tracks) {
    std::vector<std::uint8_t> bin;
    std::string toc = "CD_DA\n\n";
    std::int32_t sector = 0;
    for (const ImageTrack& t : tracks) {
        const auto bytes = imageSectors(sector, t.sectors, true);
        bin.insert(bin.end(), bytes.begin(), bytes.end());
        toc += "TRACK AUDIO\nFILE \"image.bin\" " + msf(sector) + " " + msf(t.sectors) + "\n\n";
        sector += t.sectors;
    }
    writeFile(dir.file("image.bin"), bin);
    writeText(dir.file("image.toc"), toc);
    return dir.file("image.toc");
}

// Reads the samples of a WAV file the player wrote, checking its header on the way.
struct WavContents {
    bool headerOk = false;
    std::vector<std::int16_t> samples;  // interleaved left, right
};

inline WavContents readWav(const std::string& path) {
    WavContents wav;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 44) {
        return wav;
    }
    auto u32 = [&bytes](std::size_t at) {
        return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
               std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
    };
    auto u16 = [&bytes](std::size_t at) {
        return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8;
    };
    wav.headerOk =
        std::string(bytes.begin(), bytes.begin() + 4) == "RIFF" && u32(4) == bytes.size() - 8 &&
        std::string(bytes.begin() + 8, bytes.begin() + 16) == "WAVEfmt " && u32(16) == 16 &&
        u16(20) == 1 && u16(22) == 2 && u32(24) == 44100 && u32(28) == 44100 * 4 && u16(32) == 4 &&
        u16(34) == 16 && std::string(bytes.begin() + 36, bytes.begin() + 40) == "data" &&
        u32(40) == bytes.size() - 44;
    for (std::size_t i = 44; i + 1 < bytes.size(); i += 2) {
        wav.samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    return wav;
}

// The whole key of the disc in `drive`, as the player computes it.
inline std::string discKey(Drive& drive) {
    ManualClock clock;
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    MessageRecorder messages;
    DeviceError error;
    DeviceLayer layer(device, messages, error);
    auto key = ComputeDiscKey(layer, {});
    return key.ok() ? key.value() : "failed: " + key.error();
}

}  // namespace sonarch::testing
