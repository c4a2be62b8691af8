#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "device/images/disc_text.h"

namespace sonarch {

inline constexpr int kFramesPerSecond = 75;
inline constexpr int kBytesPerFrame = 2352;          // 588 stereo 16-bit samples
inline constexpr int kSamplesPerFrame = 588;         // per channel
inline constexpr std::int32_t kAddressOffset = 150;  // sector 0 is address 00:02:00
// The most a CD can hold: its addresses are mm:ss:ff with two-digit minutes, so the leadout
// lies at 99:59:74 at the latest. Longer discs are refused, never wrapped.
inline constexpr std::int32_t kMaxLeadoutSector = 100 * 60 * kFramesPerSecond - 1 - kAddressOffset;

struct TocTrack {
    int number = 0;
    std::int32_t startSector = 0;  // logical sector (LBA); address = sector + 150
    bool audio = true;

    bool operator==(const TocTrack&) const = default;
};

struct DiscToc {
    std::vector<TocTrack> tracks;  // in disc order, numbered from firstTrack
    std::int32_t leadoutSector = 0;
    // On a disc whose audio session is followed by a data session (an Enhanced CD): the
    // sector after the last audio sector. The data track's start and the leadout stay as
    // the table gives them, so the disc key is the same; 0 on every other disc.
    std::int32_t audioSessionEnd = 0;

    int firstTrack() const { return tracks.empty() ? 0 : tracks.front().number; }
    int lastTrack() const { return tracks.empty() ? 0 : tracks.back().number; }

    bool operator==(const DiscToc&) const = default;
};

// Tracks numbered 1 to 99 in order, starts rising from sector 0 on, and the leadout after
// the last start and within what a CD can hold: otherwise the sectors between mean nothing.
bool TocLaysOutADisc(const DiscToc& toc);

enum class ReadStatus { Ok, Failed, NoDisc };

// A CD drive or disc image. The table of contents and the door are used on the window
// thread; readAudio runs on the playback thread and may block while a drive spins up.
class Drive {
public:
    virtual ~Drive() = default;

    virtual bool mediaPresent() = 0;
    virtual std::optional<DiscToc> readToc() = 0;
    // Counts disc changes, so the device notices a swapped disc even when it never saw
    // the drive empty in between.
    virtual std::uint64_t discGeneration() const = 0;

    virtual bool openDoor() = 0;
    virtual bool closeDoor() = 0;
    virtual bool isDoorOpen() const = 0;
    // An eject asked for and not carried out yet: a physical drive's tray takes a moment,
    // and may not open at all. Meanwhile the disc is still there.
    virtual bool ejectPending() const { return false; }
    // A disc the drive has found and is still getting ready (spinning it up).
    virtual bool becomingReady() const { return false; }

    // Reads `count` sectors of 2352 bytes (interleaved little-endian 16-bit stereo)
    // starting at `sector` into `out`, which holds at least count * 2352 bytes.
    virtual ReadStatus readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) = 0;

    // Sectors the playback thread asks for at a time once the sound flows (the first read
    // after a start or a seek stays small, so that the sound comes at once). A drive that
    // pays for every read wants them large.
    virtual int sectorsPerRead() const { return kFramesPerSecond; }

    // The CD-TEXT of the disc now in the drive, empty when there is none. Any thread, and
    // quick: a drive that must read it from the disc does so before it reports the disc.
    virtual DiscText discText() { return {}; }

    // For the one reading: a read waiting on the drive, and every read until resumeReads(),
    // answers at once with what the drive already holds, or Failed. A drive whose reads
    // never wait need not do anything.
    virtual void cancelReads() {}
    virtual void resumeReads() {}

    // Waits until the drive has looked at what it holds (a drive that looks by itself,
    // on a thread of its own, may not have done so yet). Waits for the drive: for tools
    // that ask once and end, never for the window.
    virtual void waitUntilSettled() {}
    // Waits while the drive gets a disc ready, at most `limit`; false when it is not ready
    // then. For tools that ask once and end, after waitUntilSettled.
    virtual bool waitUntilReady(std::chrono::milliseconds limit) {
        (void)limit;
        return true;
    }
};

}  // namespace sonarch
