#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "device/drives/drive.h"

namespace sonarch {

// The drive the device plays, which can be swapped for another while the player runs (a
// disc image opened from the desktop, another drive). It forwards to the drive it holds
// now; with none it is an empty drive whose door opens and closes. To the device a swap
// is a disc change: the disc generation moves on, so the next look reads the new disc.
class SwitchableDrive : public Drive {
public:
    explicit SwitchableDrive(std::shared_ptr<Drive> drive = nullptr);

    // window thread. A read in progress on the playback thread finishes on the drive it
    // began on, which lives until that read is done.
    void switchTo(std::shared_ptr<Drive> drive);
    bool holdsDrive() const;

    bool mediaPresent() override;
    std::optional<DiscToc> readToc() override;
    std::uint64_t discGeneration() const override;
    bool openDoor() override;
    bool closeDoor() override;
    bool isDoorOpen() const override;
    bool ejectPending() const override;
    bool becomingReady() const override;
    ReadStatus readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) override;
    int sectorsPerRead() const override;
    DiscText discText() override;
    void cancelReads() override;
    void resumeReads() override;
    void waitUntilSettled() override;
    bool waitUntilReady(std::chrono::milliseconds limit) override;

private:
    std::shared_ptr<Drive> current() const;

    mutable std::mutex m_mutex;
    std::shared_ptr<Drive> m_drive;
    std::uint64_t m_switches = 0;
    std::atomic<bool> m_emptyDoorOpen{false};
};

}  // namespace sonarch
