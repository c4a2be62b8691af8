#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "device/drives/sector_reader.h"

namespace sonarch {

// After a read of audio failed: reads on past the damage within a budget of time, so that
// a scratch costs about its own length in silence however long the drive spends on each
// failure. The sector that failed is tried again while the sound can wait for it (a sector
// may read on a retry); then the walk tries further on in growing steps, never going back
// over what it passed. Once the sound would wait too long for another failure it leaps:
// it hands over silence for what it passes at once, so that playback goes on while the
// drive tries, and what could not be read in the budget is heard as silence.
class DamageWalk {
public:
    // The reader and its buffer, as the walk uses them.
    struct Reader {
        // Reads [sector, sector + count) into `out`.
        std::function<SectorRead(std::int32_t sector, int count, std::span<std::uint8_t> out)> read;
        // Hands sectors over after those already handed over; null data: silence. False
        // when they are not wanted any more (the playback went elsewhere).
        std::function<bool(std::int32_t sector, int count, const std::uint8_t* data)> deliver;
        // How long the sound already handed over lasts, in milliseconds.
        std::function<std::int64_t()> soundLeftMs;
        // The drive's time.
        std::function<std::int64_t()> nowMs;
    };

    // Tries a sector that failed this often in all, while the budget allows.
    static constexpr int kTries = 3;
    // How long the walk lets the sound wait for one more try before it leaps instead.
    static constexpr std::int64_t kWaitMs = 250;

    // `next`: the first sector not handed over; `failure`: the read from it that failed,
    // which took `failureMs`; the audio ends before `end`; reads are of `run` sectors.
    DamageWalk(Reader reader, std::int32_t next, std::int32_t end, int run);

    // Walks past the damage. Returns Read once the drive reads again (or the audio ended),
    // with every sector up to nextSector() handed over; else why it stopped.
    SectorRead::Outcome walk(const SectorRead& failure, std::int64_t failureMs);
    std::int32_t nextSector() const { return m_next; }
    // Failed reads during the walk.
    int failures() const { return m_failures; }

private:
    // One read, timed; a failure counts towards the longest a failure took.
    SectorRead readTimed(std::int32_t sector, int count);
    bool deliverRead(std::int32_t sector, int count);
    bool deliverSilenceUpTo(std::int32_t sector);
    // Reads the sectors before the one that failed, which did not come with the failure.
    // Leaves m_next at the first sector that does not read; false when it had to stop.
    bool readUpToFailure(const SectorRead& failure, SectorRead::Outcome& stop);
    bool canWaitForAnotherFailure() const;

    Reader m_reader;
    std::int32_t m_next;
    const std::int32_t m_end;
    const int m_run;
    std::int64_t m_worstMs = 0;
    int m_failures = 0;
    std::vector<std::uint8_t> m_buffer;
};

}  // namespace sonarch
