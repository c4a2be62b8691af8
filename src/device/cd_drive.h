#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/result.h"
#include "device/drive.h"

typedef struct _CdIo CdIo_t;
typedef struct cdrom_drive_s cdrom_drive_t;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;

namespace sonarch {

// A physical CD drive through libcdio. A watcher thread of its own looks at the media,
// table of contents and tray through one handle and moves the tray, so the window thread
// only reads what it last saw and never waits while the drive spins up or the tray moves.
// Audio is read through another handle on the playback thread with libcdio-paranoia,
// which corrects jitter and gives up on a sector after a few tries (heard as silence).
class CdDrive : public Drive {
public:
    // A device node such as /dev/sr0, or "" for the system's default CD drive.
    static Result<std::unique_ptr<Drive>> open(const std::string& device);
    ~CdDrive() override;

    bool mediaPresent() override;
    std::optional<DiscToc> readToc() override;
    std::uint64_t discGeneration() const override { return m_generation.load(); }
    bool openDoor() override;
    bool closeDoor() override;
    bool isDoorOpen() const override;
    ReadStatus readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) override;
    DiscText discText() override;

private:
    enum class DoorRequest { None, Open, Close };

    explicit CdDrive(std::string device);
    bool reopenControlLocked();
    void closeReaderLocked();
    // watcher thread (or open(), before it starts)
    void watch();
    void probe();
    bool mediaPresentLocked(bool& changed);
    std::optional<DiscToc> readTocLocked();
    void moveTray(DoorRequest request);

    const std::string m_device;

    std::mutex m_controlMutex;  // watcher thread
    CdIo_t* m_control = nullptr;
    std::atomic<bool> m_doorOpen{false};
    std::atomic<std::uint64_t> m_generation{1};

    // What the watcher last saw, and what it is asked to do next.
    mutable std::mutex m_stateMutex;
    std::condition_variable m_wake;
    bool m_present = false;
    std::optional<DiscToc> m_toc;
    DiscText m_text;              // read once per handle, as the disc may take a while
    std::uint64_t m_handles = 0;  // handles opened so far, under m_controlMutex
    std::uint64_t m_textHandle = 0;
    DoorRequest m_request = DoorRequest::None;
    bool m_quit = false;
    std::thread m_watcher;

    std::mutex m_readMutex;  // playback thread
    cdrom_drive_t* m_cdda = nullptr;
    cdrom_paranoia_t* m_paranoia = nullptr;
    std::uint64_t m_readerGeneration = 0;
    std::int32_t m_nextSector = -1;
};

}  // namespace sonarch
