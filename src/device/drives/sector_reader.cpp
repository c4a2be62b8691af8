#include "device/drives/sector_reader.h"

#include <cdio/cdio.h>
#include <cdio/mmc.h>
#include <cdio/mmc_ll_cmds.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace sonarch {

namespace {

// Paranoia reads this many sectors for every block it checks against the last one: small,
// so that the first sector after a seek comes soon.
constexpr int kParanoiaCacheSectors = 100;
// Paranoia looks at its retry count only when it is a multiple of 5.
constexpr int kParanoiaRetries = 5;

// A read that fails takes the drive its own retries, seconds on a bad scratch.
constexpr unsigned kReadTimeoutMs = 60'000;
// Sense keys and codes of the MMC standard.
constexpr int kNotReady = 0x02;
constexpr int kIllegalRequest = 0x05;
constexpr int kUnitAttention = 0x06;
constexpr int kInvalidCommand = 0x20;

// The read paranoia makes of the drive, standing in for its own: its first failed command
// tells paranoia the medium is gone, the one error it stops at, so that what follows a
// failure is decided by the caller, within its time budget.
struct ReadGuard {
    const std::atomic<bool>* interrupt = nullptr;
    bool stopped = false;
};
thread_local ReadGuard* t_guard = nullptr;

long guardedRead(cdrom_drive_t* d, void* buffer, lsn_t begin, long sectors) {
    // Paranoia reads without a buffer only to move the drive's head.
    thread_local std::vector<std::uint8_t> scratch;
    if (!buffer) {
        scratch.resize(std::size_t(std::max(sectors, 0L)) * kBytesPerFrame);
        buffer = scratch.data();
    }
    ReadGuard* guard = t_guard;
    if (guard && (guard->stopped || guard->interrupt->load())) {
        errno = ENOMEDIUM;
        return -1;
    }
    if (cdio_read_audio_sectors(d->p_cdio, buffer, begin, static_cast<std::uint32_t>(sectors)) ==
        DRIVER_OP_SUCCESS) {
        return sectors;
    }
    if (guard) {
        guard->stopped = true;
        errno = ENOMEDIUM;
    }
    return -1;
}

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

}  // namespace

bool reportsAccurateStream(std::span<const std::uint8_t> page) {
    return page.size() > 5 && (page[0] & 0x3F) == CDIO_MMC_CAPABILITIES_PAGE &&
           (page[5] & 0x02) != 0;
}

void samplesToLittleEndian(std::span<std::uint8_t> bytes, std::endian host) {
    if (host != std::endian::big) {
        return;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::swap(bytes[i], bytes[i + 1]);
    }
}

SectorReader::~SectorReader() {
    close();
}

bool SectorReader::open(const std::string& device) {
    close();
    m_cdio = cdio_open(device.c_str(), DRIVER_DEVICE);
    if (!m_cdio) {
        return false;
    }
    std::uint8_t sense[64] = {};
    if (mmc_mode_sense_10(m_cdio, sense, sizeof sense, CDIO_MMC_CAPABILITIES_PAGE) ==
        DRIVER_OP_SUCCESS) {
        const std::size_t page = 8 + (std::size_t(sense[6]) << 8 | sense[7]);
        if (page < sizeof sense && reportsAccurateStream(std::span<const std::uint8_t>(
                                       sense + page, sizeof sense - page))) {
            return true;
        }
    }
    cdio_destroy(m_cdio);
    m_cdio = nullptr;
    return openParanoia(device);
}

bool SectorReader::openParanoia(const std::string& device) {
    m_cdda = cdio_cddap_identify(device.c_str(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (!m_cdda) {
        return false;
    }
    cdio_cddap_verbose_set(m_cdda, CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
    if (cdio_cddap_open(m_cdda) != 0) {
        close();
        return false;
    }
    // Every failed command comes back to the caller instead of being retried here.
    m_cdda->error_retry = 0;
    m_cdda->read_audio = guardedRead;
    m_paranoia = cdio_paranoia_init(m_cdda);
    if (!m_paranoia) {
        close();
        return false;
    }
    // Overlapped reads catch the jitter of a drive; full checking reads each sector three
    // times over and more.
    cdio_paranoia_modeset(m_paranoia, PARANOIA_MODE_OVERLAP);
    cdio_paranoia_cachemodel_size(m_paranoia, kParanoiaCacheSectors);
    m_next = -1;
    return true;
}

void SectorReader::close() {
    if (m_paranoia) {
        cdio_paranoia_free(m_paranoia);
        m_paranoia = nullptr;
    }
    if (m_cdda) {
        cdio_cddap_close(m_cdda);
        m_cdda = nullptr;
    }
    if (m_cdio) {
        cdio_destroy(m_cdio);
        m_cdio = nullptr;
    }
    m_next = -1;
}

SectorRead SectorReader::read(std::int32_t sector, int count, std::span<std::uint8_t> out,
                              const std::atomic<bool>& interrupt, bool checked) {
    count = std::clamp(count, 0, kMostSectors);
    if (out.size() < std::size_t(count) * kBytesPerFrame || !isOpen()) {
        return {SectorRead::Outcome::Refused, std::nullopt};
    }
    if (interrupt.load()) {
        return {SectorRead::Outcome::Interrupted, std::nullopt};
    }
    if (m_paranoia && checked) {
        return readChecked(sector, count, out.data(), interrupt);
    }
    m_next = -1;
    return readPlain(sector, count, out.data());
}

SectorRead SectorReader::readPlain(std::int32_t sector, int count, std::uint8_t* out) {
    CdIo_t* cdio = m_cdio ? m_cdio : m_cdda->p_cdio;
    // One READ CD for the whole run (libcdio's own call splits it into commands of 16).
    mmc_cdb_t cdb{};
    cdb.field[0] = CDIO_MMC_GPCMD_READ_CD;
    cdb.field[1] = CDIO_MMC_READ_TYPE_CDDA << 2;
    const auto lba = static_cast<std::uint32_t>(sector);
    const auto length = static_cast<std::uint32_t>(count);
    cdb.field[2] = static_cast<std::uint8_t>(lba >> 24);
    cdb.field[3] = static_cast<std::uint8_t>(lba >> 16);
    cdb.field[4] = static_cast<std::uint8_t>(lba >> 8);
    cdb.field[5] = static_cast<std::uint8_t>(lba);
    cdb.field[6] = static_cast<std::uint8_t>(length >> 16);
    cdb.field[7] = static_cast<std::uint8_t>(length >> 8);
    cdb.field[8] = static_cast<std::uint8_t>(length);
    cdb.field[9] = 0x10;  // the user data: 2352 bytes of samples
    const driver_return_code_t result =
        mmc_run_cmd(cdio, kReadTimeoutMs, &cdb, SCSI_MMC_DATA_READ,
                    static_cast<unsigned>(count) * kBytesPerFrame, out);
    if (result == DRIVER_OP_SUCCESS) {
        return {SectorRead::Outcome::Read, std::nullopt};
    }
    cdio_mmc_request_sense_t* reply = nullptr;
    const int size = mmc_last_cmd_sense(cdio, &reply);
    std::vector<std::uint8_t> sense;
    if (size > 0 && reply) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply);
        sense.assign(bytes, bytes + size);
    }
    cdio_free(reply);
    if (sense.size() < 14) {
        // No word from the drive: the command did not reach it.
        return {result == DRIVER_OP_NOT_PERMITTED ? SectorRead::Outcome::Refused
                                                  : SectorRead::Outcome::Unreadable,
                std::nullopt};
    }
    const int key = sense[2] & 0x0F;
    if (key == kNotReady || key == kUnitAttention) {
        return {SectorRead::Outcome::NotReady, std::nullopt};
    }
    if (key == kIllegalRequest && sense[12] == kInvalidCommand) {
        return {SectorRead::Outcome::Refused, std::nullopt};
    }
    SectorRead failed{SectorRead::Outcome::Unreadable, std::nullopt};
    const bool named = (sense[0] & 0x80) != 0;
    const auto at = static_cast<std::int64_t>(bigEndian32(sense.data() + 3));
    if (named && at >= sector && at < std::int64_t{sector} + count) {
        failed.failedSector = static_cast<std::int32_t>(at);
    }
    return failed;
}

SectorRead SectorReader::readChecked(std::int32_t sector, int count, std::uint8_t* out,
                                     const std::atomic<bool>& interrupt) {
    if (m_next != sector) {
        cdio_paranoia_seek(m_paranoia, sector, SEEK_SET);
    }
    ReadGuard guard{&interrupt, false};
    t_guard = &guard;
    for (int i = 0; i < count; ++i) {
        const std::int16_t* samples =
            cdio_paranoia_read_limited(m_paranoia, nullptr, kParanoiaRetries);
        if (interrupt.load() || !samples) {
            t_guard = nullptr;
            m_next = -1;
            return {interrupt.load() ? SectorRead::Outcome::Interrupted
                                     : SectorRead::Outcome::Unreadable,
                    std::nullopt};
        }
        const std::span<std::uint8_t> to(out + std::size_t(i) * kBytesPerFrame, kBytesPerFrame);
        std::memcpy(to.data(), samples, kBytesPerFrame);
        samplesToLittleEndian(to);
    }
    t_guard = nullptr;
    m_next = sector + count;
    return {SectorRead::Outcome::Read, std::nullopt};
}

}  // namespace sonarch
