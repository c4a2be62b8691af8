#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "core/result.h"
#include "device/drive.h"

typedef struct _CdIo CdIo_t;
typedef struct cdrom_drive_s cdrom_drive_t;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;

namespace sonarch {

// A physical CD drive through libcdio. The table of contents, media and door are looked
// at through one handle on the window thread; audio is read through another on the
// playback thread with libcdio-paranoia, which corrects jitter and gives up on a sector
// after a few tries (it is then heard as silence).
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

private:
    explicit CdDrive(std::string device);
    bool reopenControlLocked();
    void closeReaderLocked();

    const std::string m_device;

    mutable std::mutex m_controlMutex;  // window thread
    CdIo_t* m_control = nullptr;
    std::atomic<bool> m_doorOpen{false};
    std::atomic<std::uint64_t> m_generation{1};

    std::mutex m_readMutex;  // playback thread
    cdrom_drive_t* m_cdda = nullptr;
    cdrom_paranoia_t* m_paranoia = nullptr;
    std::uint64_t m_readerGeneration = 0;
    std::int32_t m_nextSector = -1;
};

}  // namespace sonarch
