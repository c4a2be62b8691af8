#include "device/cd_drive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/mmc.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <chrono>
#include <cstring>
#include <utility>

#include "device/cd_text.h"

namespace sonarch {

namespace {

// Tries paranoia makes on a sector before giving up on it.
constexpr int kReadRetries = 3;
// How often the watcher looks at the drive: well within one poll of the window.
constexpr std::chrono::milliseconds kWatchInterval{200};

}  // namespace

Result<std::unique_ptr<Drive>> CdDrive::open(const std::string& device) {
    using R = Result<std::unique_ptr<Drive>>;
    cdio_loglevel_default = CDIO_LOG_ERROR;
    std::string path = device;
    if (path.empty()) {
        char* found = cdio_get_default_device(nullptr);
        if (!found) {
            return R::failure("No CD drive was found on this computer.");
        }
        path = found;
        cdio_free(found);
    }
    std::unique_ptr<CdDrive> drive(new CdDrive(path));
    {
        std::lock_guard lock(drive->m_controlMutex);
        if (!drive->reopenControlLocked()) {
            return R::failure("Cannot open the CD drive '" + path + "'.");
        }
    }
    // One look before the first command, so a disc in the drive is seen at once.
    drive->probe();
    drive->m_watcher = std::thread([raw = drive.get()] { raw->watch(); });
    return R::success(std::move(drive));
}

CdDrive::CdDrive(std::string device) : m_device(std::move(device)) {}

CdDrive::~CdDrive() {
    {
        std::lock_guard lock(m_stateMutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_watcher.joinable()) {
        m_watcher.join();
    }
    {
        std::lock_guard lock(m_readMutex);
        closeReaderLocked();
    }
    std::lock_guard lock(m_controlMutex);
    if (m_control) {
        cdio_destroy(m_control);
    }
}

bool CdDrive::reopenControlLocked() {
    if (m_control) {
        cdio_destroy(m_control);
    }
    // A fresh handle forgets the table of contents libcdio keeps for the last disc.
    m_control = cdio_open(m_device.c_str(), DRIVER_DEVICE);
    ++m_handles;
    return m_control != nullptr;
}

void CdDrive::watch() {
    std::unique_lock lock(m_stateMutex);
    while (!m_quit) {
        m_wake.wait_for(lock, kWatchInterval,
                        [this] { return m_quit || m_request != DoorRequest::None; });
        if (m_quit) {
            break;
        }
        const DoorRequest request = std::exchange(m_request, DoorRequest::None);
        lock.unlock();
        moveTray(request);
        probe();
        if (request == DoorRequest::Close) {
            ++m_generation;  // whatever disc lies in the tray now is read afresh
        }
        lock.lock();
    }
}

void CdDrive::probe() {
    bool present = false;
    bool changed = false;
    std::optional<DiscToc> toc;
    std::optional<DiscText> text;
    {
        std::lock_guard lock(m_controlMutex);
        present = mediaPresentLocked(changed);
        if (present) {
            toc = readTocLocked();
        }
        if (toc && std::exchange(m_textHandle, m_handles) != m_handles) {
            text = ReadCdText(m_control);
        }
    }
    std::lock_guard lock(m_stateMutex);
    if (m_request == DoorRequest::Open) {
        return;  // the tray is about to open: what was seen is already out of date
    }
    m_present = present && toc.has_value();
    m_toc = std::move(toc);
    if (text || !m_present) {
        m_text = m_present ? std::move(*text) : DiscText{};
    }
    if (m_present) {
        m_doorOpen = false;
    }
    if (changed) {
        // Counted only now, so the device never pairs the new count with the old contents.
        ++m_generation;
    }
}

bool CdDrive::mediaPresent() {
    std::lock_guard lock(m_stateMutex);
    return m_present;
}

std::optional<DiscToc> CdDrive::readToc() {
    std::lock_guard lock(m_stateMutex);
    return m_present ? m_toc : std::nullopt;
}

DiscText CdDrive::discText() {
    std::lock_guard lock(m_stateMutex);
    return m_present ? m_text : DiscText{};
}

bool CdDrive::openDoor() {
    // Only asked for: the watcher moves the tray, and the disc is gone for the device now.
    {
        std::lock_guard lock(m_stateMutex);
        m_request = DoorRequest::Open;
        m_present = false;
        m_toc.reset();
    }
    m_doorOpen = true;
    ++m_generation;
    m_wake.notify_all();
    return true;
}

bool CdDrive::closeDoor() {
    {
        std::lock_guard lock(m_stateMutex);
        m_request = DoorRequest::Close;
    }
    m_doorOpen = false;
    m_wake.notify_all();
    return true;
}

bool CdDrive::isDoorOpen() const {
    return m_doorOpen.load();
}

bool CdDrive::mediaPresentLocked(bool& changed) {
    if (!m_control && !reopenControlLocked()) {
        return false;
    }
    if (cdio_get_media_changed(m_control) == 1) {
        changed = true;
        if (!reopenControlLocked()) {
            return false;
        }
    }
    if (cdio_get_num_tracks(m_control) == CDIO_INVALID_TRACK) {
        // No disc (or not yet readable): look afresh next time.
        reopenControlLocked();
        return false;
    }
    return true;
}

std::optional<DiscToc> CdDrive::readTocLocked() {
    if (!m_control) {
        return std::nullopt;
    }
    const track_t first = cdio_get_first_track_num(m_control);
    const track_t count = cdio_get_num_tracks(m_control);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        return std::nullopt;
    }
    DiscToc toc;
    for (int t = first; t < first + count; ++t) {
        const auto track = static_cast<track_t>(t);
        toc.tracks.push_back({t, cdio_get_track_lsn(m_control, track),
                              cdio_get_track_format(m_control, track) == TRACK_FORMAT_AUDIO});
    }
    toc.leadoutSector = cdio_get_track_lsn(m_control, CDIO_CDROM_LEADOUT_TRACK);
    return toc;
}

void CdDrive::moveTray(DoorRequest request) {
    if (request == DoorRequest::None) {
        return;
    }
    std::lock_guard lock(m_controlMutex);
    if (request == DoorRequest::Open) {
        if (!m_control && !reopenControlLocked()) {
            return;
        }
        // Ejecting hands the handle back to libcdio, which frees it. The reader is not
        // waited for: the new generation makes it drop its own handle before its next read.
        cdio_eject_media(&m_control);
        m_control = nullptr;
        reopenControlLocked();
        return;
    }
    if (m_control) {
        cdio_destroy(m_control);
        m_control = nullptr;
    }
    driver_id_t driver = DRIVER_DEVICE;
    cdio_close_tray(m_device.c_str(), &driver);
    reopenControlLocked();
}

void CdDrive::closeReaderLocked() {
    if (m_paranoia) {
        cdio_paranoia_free(m_paranoia);
        m_paranoia = nullptr;
    }
    if (m_cdda) {
        cdio_cddap_close(m_cdda);
        m_cdda = nullptr;
    }
    m_nextSector = -1;
}

ReadStatus CdDrive::readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) {
    if (count < 0 || out.size() < std::size_t(count) * kBytesPerFrame) {
        return ReadStatus::Failed;
    }
    std::lock_guard lock(m_readMutex);
    if (m_readerGeneration != m_generation.load()) {
        closeReaderLocked();
    }
    if (!m_cdda) {
        m_readerGeneration = m_generation.load();
        m_cdda = cdio_cddap_identify(m_device.c_str(), CDDA_MESSAGE_FORGETIT, nullptr);
        if (!m_cdda || cdio_cddap_open(m_cdda) != 0) {
            closeReaderLocked();
            return m_doorOpen.load() ? ReadStatus::NoDisc : ReadStatus::Failed;
        }
        m_paranoia = cdio_paranoia_init(m_cdda);
        if (!m_paranoia) {
            closeReaderLocked();
            return ReadStatus::Failed;
        }
        cdio_paranoia_modeset(m_paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    }
    for (int i = 0; i < count; ++i) {
        if (m_nextSector != sector + i) {
            cdio_paranoia_seek(m_paranoia, sector + i, SEEK_SET);
        }
        const std::int16_t* samples = cdio_paranoia_read_limited(m_paranoia, nullptr, kReadRetries);
        std::uint8_t* to = out.data() + std::size_t(i) * kBytesPerFrame;
        if (samples) {
            std::memcpy(to, samples, kBytesPerFrame);
            m_nextSector = sector + i + 1;
        } else {
            // Given up on after a few tries: heard as silence, and playback goes on.
            std::memset(to, 0, kBytesPerFrame);
            m_nextSector = -1;
        }
    }
    return ReadStatus::Ok;
}

}  // namespace sonarch
