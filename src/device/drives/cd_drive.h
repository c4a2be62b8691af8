#pragma once

#include <bit>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "device/drives/drive.h"
#include "device/engine/clock.h"

namespace sonarch {

// A physical CD drive through libcdio. Nothing here waits for the drive on the caller's
// thread: a watcher thread of its own looks at the tray, the media and the table of
// contents and moves the tray, and a reader thread reads audio several seconds ahead of
// the playback thread, in runs of sectors in order (see SectorReader), and walks past
// damage within a budget of time (see DamageWalk). The window only reads what they last
// saw. When the drive goes away while one of them waits on the drive, it is left to finish
// on its own.
class CdDrive : public Drive {
public:
    struct Settings {
        // Where the system's drives are found when none is named.
        std::string deviceFolder = "/dev";
        // How often the watcher looks when nothing happens. Some drives hang when asked
        // too often.
        std::chrono::milliseconds lookInterval{1000};
        // Sectors read ahead of the playback thread: several seconds, so that neither a
        // slow drive nor a sector read again and again is ever heard.
        int readAheadSectors = 5 * kFramesPerSecond;
        // The read speed set for every disc, in multiples of the audio speed: quiet, and
        // still fast enough to read ahead.
        int speed = 8;
        // The time the reader keeps its budgets by; the steady clock when none. It must
        // outlive the drive's threads.
        const Clock* clock = nullptr;
    };

    // A device node such as /dev/sr0, or "" for the first of the system's CD drives that
    // can be opened.
    static Result<std::unique_ptr<Drive>> open(const std::string& device);
    static Result<std::unique_ptr<Drive>> open(const std::string& device, const Settings& settings);
    ~CdDrive() override;

    bool mediaPresent() override;
    std::optional<DiscToc> readToc() override;
    std::uint64_t discGeneration() const override;
    bool openDoor() override;
    bool closeDoor() override;
    bool isDoorOpen() const override;
    bool ejectPending() const override;
    bool becomingReady() const override;
    // playback thread
    ReadStatus readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) override;
    int sectorsPerRead() const override;
    DiscText discText() override;
    void cancelReads() override;
    void resumeReads() override;
    void waitUntilSettled() override;
    bool waitUntilReady(std::chrono::milliseconds limit) override;

    // Has the watcher look at the drive now and waits until it has. Waits for the drive:
    // for tools and tests, never the window.
    void lookNow();
    // Waits until the threads of every drive already destroyed have ended; false when one
    // is still waiting on its drive after a long while.
    static bool waitForEndedDrives();
    // The system's CD drives (/dev/sr0, /dev/sr1, ... in order), found without opening any.
    static std::vector<std::string> systemDrives(const std::string& folder = "/dev");

    struct Shared;

private:
    explicit CdDrive(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
};

// Where the audio of a disc with two sessions ends, given the start of its last session:
// the data session is preceded by its lead-in and the audio session's lead-out (11 400
// sectors together). 0 when the disc has no audio session followed by a data track.
std::int32_t audioSessionEnd(const DiscToc& toc, std::int32_t lastSessionStart);

// A table of contents that can be played from: tracks numbered in order, starts rising,
// the leadout after them, all on a disc of real size.
bool tocIsPlausible(const DiscToc& toc);

}  // namespace sonarch
