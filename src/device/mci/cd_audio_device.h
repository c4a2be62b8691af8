#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/drives/drive.h"
#include "device/engine/audio_output.h"
#include "device/engine/clock.h"
#include "device/engine/playback_engine.h"
#include "device/images/disc_text.h"
#include "device/mci/mci_device.h"

namespace sonarch {

// Our interpreter of the CD-audio command language over a Drive. It answers in the forms
// the player relies on: absolute frame addresses (track 1 of a disc starts at 00:02:00),
// "msf" right after open, "tmsf" and "milliseconds" (counted from the start of track 1).
class CdAudioDevice : public MciDevice, public DiscTextSource {
public:
    // Plays into `output`, whose frames heard are the device's clock. The output must
    // outlive the device.
    CdAudioDevice(Drive& drive, AudioOutput& output);
    // Plays into an output of its own.
    CdAudioDevice(Drive& drive, std::unique_ptr<AudioOutput> output);
    ~CdAudioDevice() override;

    MciResult send(std::string_view command, int replyLength) override;
    std::string errorText(int code) const override;
    // Any thread: the drives keep their CD-TEXT behind locks of their own.
    DiscText discText() override;

private:
    enum class TimeFormat { Msf, Tmsf, Milliseconds };
    using Words = std::vector<std::string>;

    MciResult execute(const Words& words);
    MciResult open(const Words& words);
    MciResult close(const Words& words);
    MciResult set(TimeFormat& format, const Words& args);
    MciResult status(TimeFormat format, const Words& args);
    MciResult play(TimeFormat format, const Words& args);
    MciResult seek(TimeFormat format, const Words& args);

    // Reads the drive's disc afresh when it was inserted or swapped since the last look.
    bool syncDisc();
    std::int32_t trackStart(int track) const;
    std::int32_t leadout() const;
    std::int32_t discStart() const;
    int trackAt(std::int32_t address) const;
    std::int32_t trackLength(int track) const;
    // The first playable address at or after `address`: data tracks are skipped.
    std::optional<std::int32_t> playableFrom(std::int32_t address) const;
    std::int32_t playEnd(std::int32_t from) const;

    struct Target {
        int code = 0;
        std::int32_t address = 0;
    };
    Target parsePosition(TimeFormat format, const std::string& text) const;
    std::string formatPosition(TimeFormat format, std::int32_t address) const;
    std::string formatLength(TimeFormat format, std::int32_t frames) const;

    Drive& m_drive;
    std::unique_ptr<AudioOutput> m_ownOutput;  // before m_engine, which plays into it
    PlaybackEngine m_engine;
    std::map<std::string, TimeFormat> m_aliases;
    std::optional<DiscToc> m_toc;
    std::uint64_t m_tocGeneration = 0;
};

}  // namespace sonarch
