#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "device/drives/drive.h"

typedef struct _CdIo CdIo_t;
typedef struct cdrom_drive_s cdrom_drive_t;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;

namespace sonarch {

// What became of one read of audio sectors.
struct SectorRead {
    enum class Outcome {
        Read,         // every sector is in the buffer
        Unreadable,   // the disc could not be read there (a scratch, dirt)
        NotReady,     // no disc turns in the drive any more, or not yet
        Refused,      // the drive does not read audio this way at all
        Interrupted,  // given up before it was sent: the sectors are not wanted any more
    };
    Outcome outcome = Outcome::Read;
    // Unreadable: the first sector the drive could not read, when it said which. The
    // sectors before it were not handed over either.
    std::optional<std::int32_t> failedSector;
};

// Reads audio sectors from a physical drive through a handle of its own; reader thread
// only. A drive that says its audio reads start exactly where asked (every drive of the
// last twenty years) is read with plain READ CD commands, each a run of sectors in order,
// and its failures are told with the sector the drive names. Any other is read through
// libcdio-paranoia, which checks every read against the overlap with the one before and
// reads each sector more than once for it; its first failure ends the read.
class SectorReader {
public:
    SectorReader() = default;
    ~SectorReader();
    SectorReader(const SectorReader&) = delete;
    SectorReader& operator=(const SectorReader&) = delete;

    // The most sectors a read may ask for: 27, as 64 KiB is what every kind of drive
    // connection carries in one command.
    static constexpr int kMostSectors = 27;

    bool isOpen() const { return m_cdio != nullptr || m_paranoia != nullptr; }
    bool open(const std::string& device);
    void close();
    // Whether reads go through paranoia's overlap checks.
    bool checksOverlap() const { return m_paranoia != nullptr; }

    // Reads `count` (at most kMostSectors) sectors from `sector` into `out`, as
    // little-endian samples. `interrupt` is looked at before each command. Unchecked: with
    // plain READ CD commands whatever the drive, to find out where damage ends.
    SectorRead read(std::int32_t sector, int count, std::span<std::uint8_t> out,
                    const std::atomic<bool>& interrupt, bool checked = true);

private:
    SectorRead readPlain(std::int32_t sector, int count, std::uint8_t* out);
    SectorRead readChecked(std::int32_t sector, int count, std::uint8_t* out,
                           const std::atomic<bool>& interrupt);
    bool openParanoia(const std::string& device);

    CdIo_t* m_cdio = nullptr;
    cdrom_drive_t* m_cdda = nullptr;
    cdrom_paranoia_t* m_paranoia = nullptr;
    std::int32_t m_next = -1;  // where paranoia stands
};

// Whether the capabilities page of MODE SENSE (2Ah, without its header) says that the
// drive's audio reads start exactly where asked.
bool reportsAccurateStream(std::span<const std::uint8_t> page);

// Paranoia hands samples over in the host's byte order; the drive interface wants them
// little-endian.
void samplesToLittleEndian(std::span<std::uint8_t> bytes, std::endian host = std::endian::native);

}  // namespace sonarch
