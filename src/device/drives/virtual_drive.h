#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/drives/drive.h"

namespace sonarch {

struct VirtualTrack {
    std::int32_t lengthFrames = 0;
    bool audio = true;
};

// A virtual disc: its tracks and the CD-TEXT it carries.
struct VirtualDisc {
    std::vector<VirtualTrack> tracks;
    DiscText text;
};

// A drive whose disc is described in memory. Each audio track plays a sine tone whose
// pitch depends on the track number, so a recording shows which track was heard.
class VirtualDrive : public Drive {
public:
    // An empty track list means an empty drive.
    explicit VirtualDrive(std::vector<VirtualTrack> tracks = {}, DiscText text = {});

    bool mediaPresent() override;
    std::optional<DiscToc> readToc() override;
    std::uint64_t discGeneration() const override { return m_generation.load(); }
    bool openDoor() override;
    bool closeDoor() override;
    bool isDoorOpen() const override;
    bool ejectPending() const override;
    ReadStatus readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) override;
    DiscText discText() override;

    // Puts a disc into the drive (closing the door) or takes it out.
    void insert(std::vector<VirtualTrack> tracks);  // a disc without CD-TEXT
    void insert(std::vector<VirtualTrack> tracks, DiscText text);
    void insert();  // the last disc again
    void remove();

    // While stalled, readAudio waits until the stall is lifted, so tests can show a stalled drive
    // never blocks the device's commands.
    void stallReads(bool stalled);
    // Waits until a read waits on the stall; false when none came within `patience`.
    bool waitForStalledRead(std::chrono::milliseconds patience);
    // While delayed, an eject waits for answerEject, which opens the tray or leaves it shut
    // (another program holds the drive), as a physical drive's tray does.
    void delayEjects(bool delayed);
    void answerEject(bool opens);

    static double toneFrequency(int trackNumber);
    // The 16-bit sample value of the left channel (the right is the same) at the given
    // sample index of the disc, counted from sector 0.
    std::int16_t sampleAt(std::int64_t discSample) const;

private:
    DiscToc tocLocked() const;

    mutable std::mutex m_mutex;
    std::vector<VirtualTrack> m_tracks;
    DiscText m_text;
    bool m_hasDisc = false;
    bool m_doorOpen = false;
    std::atomic<std::uint64_t> m_generation{0};
    bool m_stalled = false;
    int m_readsWaiting = 0;
    bool m_ejectsDelayed = false;
    bool m_ejectPending = false;
    std::condition_variable m_stallChanged;
};

// "virtual:LEN,LEN,..." (lengths mm:ss:ff, "data=" marks a data track; "virtual:" alone
// is an empty drive) or "demo" for the built-in 12-track demo disc. CD-TEXT: a track
// written LEN|TITLE|PERFORMER, and a first item disc|TITLE|PERFORMER for the disc; either
// text may be left out, and %XX writes any byte (%2C a comma, %7C a bar, %25 a percent).
std::optional<VirtualDisc> parseVirtualDiscWithText(const std::string& name,
                                                    std::string* error = nullptr);
// The same, tracks only.
std::optional<std::vector<VirtualTrack>> parseVirtualDisc(const std::string& name,
                                                          std::string* error = nullptr);
std::vector<VirtualTrack> demoDisc();
DiscText demoDiscText();

}  // namespace sonarch
