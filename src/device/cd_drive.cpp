#include "device/cd_drive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/mmc.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <cstring>

namespace sonarch {

namespace {

// Tries paranoia makes on a sector before giving up on it.
constexpr int kReadRetries = 3;

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
    std::lock_guard lock(drive->m_controlMutex);
    if (!drive->reopenControlLocked()) {
        return R::failure("Cannot open the CD drive '" + path + "'.");
    }
    return R::success(std::move(drive));
}

CdDrive::CdDrive(std::string device) : m_device(std::move(device)) {}

CdDrive::~CdDrive() {
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
    return m_control != nullptr;
}

bool CdDrive::mediaPresent() {
    std::lock_guard lock(m_controlMutex);
    if (!m_control && !reopenControlLocked()) {
        return false;
    }
    if (cdio_get_media_changed(m_control) == 1) {
        ++m_generation;
        if (!reopenControlLocked()) {
            return false;
        }
    }
    if (cdio_get_num_tracks(m_control) == CDIO_INVALID_TRACK) {
        // No disc (or not yet readable): look afresh next time.
        reopenControlLocked();
        return false;
    }
    m_doorOpen = false;
    return true;
}

std::optional<DiscToc> CdDrive::readToc() {
    std::lock_guard lock(m_controlMutex);
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

bool CdDrive::openDoor() {
    // The reader is not waited for: a read may take seconds on a scratched disc. The new
    // generation makes it drop its handle before its next read.
    std::lock_guard lock(m_controlMutex);
    if (!m_control && !reopenControlLocked()) {
        return false;
    }
    // Ejecting hands the handle back to libcdio, which frees it.
    const driver_return_code_t result = cdio_eject_media(&m_control);
    m_control = nullptr;
    if (result != DRIVER_OP_SUCCESS) {
        reopenControlLocked();
        return false;
    }
    m_doorOpen = true;
    ++m_generation;
    return true;
}

bool CdDrive::closeDoor() {
    std::lock_guard lock(m_controlMutex);
    if (m_control) {
        cdio_destroy(m_control);
        m_control = nullptr;
    }
    driver_id_t driver = DRIVER_DEVICE;
    const driver_return_code_t result = cdio_close_tray(m_device.c_str(), &driver);
    reopenControlLocked();
    if (result != DRIVER_OP_SUCCESS && result != DRIVER_OP_UNSUPPORTED) {
        return false;
    }
    m_doorOpen = false;
    ++m_generation;
    return true;
}

bool CdDrive::isDoorOpen() const {
    std::lock_guard lock(m_controlMutex);
    if (m_control) {
        const int tray = mmc_get_tray_status(m_control);
        if (tray >= 0) {
            return tray == 1;
        }
    }
    return m_doorOpen.load();
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
