#include "device/drives/switchable_drive.h"

#include <utility>

namespace sonarch {

namespace {

// A drive's own generations are small counters; each swap moves into a range of its own,
// so the combined value changes on a swap and on every disc change within one drive.
constexpr int kSwitchShift = 40;

}  // namespace

SwitchableDrive::SwitchableDrive(std::shared_ptr<Drive> drive) : m_drive(std::move(drive)) {}

void SwitchableDrive::switchTo(std::shared_ptr<Drive> drive) {
    std::shared_ptr<Drive> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_drive, std::move(drive));
        ++m_switches;
    }
    m_emptyDoorOpen = false;
    // `previous` goes here unless a read on the playback thread still holds it.
}

bool SwitchableDrive::holdsDrive() const {
    return current() != nullptr;
}

std::shared_ptr<Drive> SwitchableDrive::current() const {
    std::lock_guard lock(m_mutex);
    return m_drive;
}

bool SwitchableDrive::mediaPresent() {
    const auto drive = current();
    return drive && drive->mediaPresent();
}

std::optional<DiscToc> SwitchableDrive::readToc() {
    const auto drive = current();
    return drive ? drive->readToc() : std::nullopt;
}

std::uint64_t SwitchableDrive::discGeneration() const {
    std::lock_guard lock(m_mutex);
    const std::uint64_t own = m_drive ? m_drive->discGeneration() : 0;
    return (m_switches << kSwitchShift) + own;
}

bool SwitchableDrive::openDoor() {
    if (const auto drive = current()) {
        return drive->openDoor();
    }
    m_emptyDoorOpen = true;
    return true;
}

bool SwitchableDrive::closeDoor() {
    if (const auto drive = current()) {
        return drive->closeDoor();
    }
    m_emptyDoorOpen = false;
    return true;
}

bool SwitchableDrive::isDoorOpen() const {
    const auto drive = current();
    return drive ? drive->isDoorOpen() : m_emptyDoorOpen.load();
}

bool SwitchableDrive::ejectPending() const {
    const auto drive = current();
    return drive && drive->ejectPending();
}

bool SwitchableDrive::becomingReady() const {
    const auto drive = current();
    return drive && drive->becomingReady();
}

// playback thread
ReadStatus SwitchableDrive::readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) {
    const auto drive = current();
    return drive ? drive->readAudio(sector, count, out) : ReadStatus::NoDisc;
}

int SwitchableDrive::sectorsPerRead() const {
    const auto drive = current();
    return drive ? drive->sectorsPerRead() : Drive::sectorsPerRead();
}

DiscText SwitchableDrive::discText() {
    const auto drive = current();
    return drive ? drive->discText() : DiscText{};
}

void SwitchableDrive::cancelReads() {
    if (const auto drive = current()) {
        drive->cancelReads();
    }
}

void SwitchableDrive::resumeReads() {
    if (const auto drive = current()) {
        drive->resumeReads();
    }
}

void SwitchableDrive::waitUntilSettled() {
    if (const auto drive = current()) {
        drive->waitUntilSettled();
    }
}

bool SwitchableDrive::waitUntilReady(std::chrono::milliseconds limit) {
    const auto drive = current();
    return !drive || drive->waitUntilReady(limit);
}

}  // namespace sonarch
