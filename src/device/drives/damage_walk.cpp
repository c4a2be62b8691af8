#include "device/drives/damage_walk.h"

#include <algorithm>

namespace sonarch {

DamageWalk::DamageWalk(Reader reader, std::int32_t next, std::int32_t end, int run)
    : m_reader(std::move(reader)),
      m_next(next),
      m_end(end),
      m_run(std::max(run, 1)),
      m_buffer(std::size_t(m_run) * kBytesPerFrame) {}

SectorRead DamageWalk::readTimed(std::int32_t sector, int count) {
    const std::int64_t start = m_reader.nowMs();
    SectorRead read = m_reader.read(
        sector, count,
        std::span<std::uint8_t>(m_buffer.data(), std::size_t(count) * kBytesPerFrame));
    if (read.outcome == SectorRead::Outcome::Unreadable) {
        ++m_failures;
        m_worstMs = std::max(m_worstMs, m_reader.nowMs() - start);
    }
    return read;
}

bool DamageWalk::deliverRead(std::int32_t sector, int count) {
    m_next = sector + count;
    return m_reader.deliver(sector, count, m_buffer.data());
}

bool DamageWalk::deliverSilenceUpTo(std::int32_t sector) {
    if (sector <= m_next) {
        return true;
    }
    const std::int32_t from = m_next;
    m_next = sector;
    return m_reader.deliver(from, sector - from, nullptr);
}

bool DamageWalk::canWaitForAnotherFailure() const {
    return m_reader.soundLeftMs() + kWaitMs >= m_worstMs;
}

bool DamageWalk::readUpToFailure(const SectorRead& failure, SectorRead::Outcome& stop) {
    std::optional<std::int32_t> bad = failure.failedSector;
    while (bad && *bad > m_next) {
        const SectorRead read = readTimed(m_next, *bad - m_next);
        if (read.outcome == SectorRead::Outcome::Read) {
            if (!deliverRead(m_next, *bad - m_next)) {
                stop = SectorRead::Outcome::Interrupted;
                return false;
            }
            return true;
        }
        if (read.outcome != SectorRead::Outcome::Unreadable) {
            stop = read.outcome;
            return false;
        }
        bad = read.failedSector;
    }
    if (bad) {
        return true;
    }
    // The drive did not say where: one sector at a time, up to the one that fails.
    const std::int32_t limit = std::min(m_next + m_run, m_end);
    while (m_next < limit) {
        const SectorRead read = readTimed(m_next, 1);
        if (read.outcome == SectorRead::Outcome::Unreadable) {
            return true;
        }
        if (read.outcome != SectorRead::Outcome::Read || !deliverRead(m_next, 1)) {
            stop = read.outcome == SectorRead::Outcome::Read ? SectorRead::Outcome::Interrupted
                                                             : read.outcome;
            return false;
        }
    }
    // Every one read this time.
    stop = SectorRead::Outcome::Read;
    return false;
}

SectorRead::Outcome DamageWalk::walk(const SectorRead& firstFailure, std::int64_t failureMs) {
    m_worstMs = failureMs;
    m_failures = 1;
    SectorRead failure = firstFailure;
    while (true) {
        SectorRead::Outcome stop = SectorRead::Outcome::Read;
        if (!readUpToFailure(failure, stop)) {
            return stop;
        }
        // m_next does not read. Again, while the sound can wait for it.
        const std::int32_t bad = m_next;
        bool elsewhere = false;
        for (int tries = 1; tries < kTries && canWaitForAnotherFailure() && !elsewhere; ++tries) {
            const int count = std::min(m_run, m_end - bad);
            const SectorRead read = readTimed(bad, count);
            if (read.outcome == SectorRead::Outcome::Read) {
                return deliverRead(bad, count) ? SectorRead::Outcome::Read
                                               : SectorRead::Outcome::Interrupted;
            }
            if (read.outcome != SectorRead::Outcome::Unreadable) {
                return read.outcome;
            }
            if (read.failedSector && *read.failedSector > bad) {
                failure = read;  // it read on this time, up to another sector
                elsewhere = true;
            }
        }
        if (elsewhere) {
            continue;
        }
        // Further on, in growing steps; a leap as long as half a failure once the sound
        // cannot wait for another.
        std::int32_t lastBad = bad;
        std::int32_t step = 1;
        while (true) {
            std::int32_t target = lastBad + step;
            if (!canWaitForAnotherFailure()) {
                const auto leap = static_cast<std::int32_t>(m_worstMs * kFramesPerSecond / 2000);
                target = std::max(target, lastBad + leap);
                if (!deliverSilenceUpTo(std::min(target, m_end))) {
                    return SectorRead::Outcome::Interrupted;
                }
            }
            if (target >= m_end) {
                return deliverSilenceUpTo(m_end) ? SectorRead::Outcome::Read
                                                 : SectorRead::Outcome::Interrupted;
            }
            const int count = std::min(m_run, m_end - target);
            const SectorRead read = readTimed(target, count);
            if (read.outcome == SectorRead::Outcome::Read) {
                return deliverSilenceUpTo(target) && deliverRead(target, count)
                           ? SectorRead::Outcome::Read
                           : SectorRead::Outcome::Interrupted;
            }
            if (read.outcome != SectorRead::Outcome::Unreadable) {
                return read.outcome;
            }
            if (read.failedSector && *read.failedSector > target) {
                // Good ground before another damaged spot: walked like the first.
                if (!deliverSilenceUpTo(target)) {
                    return SectorRead::Outcome::Interrupted;
                }
                failure = read;
                break;
            }
            lastBad = read.failedSector.value_or(target);
            step *= 2;
        }
    }
}

}  // namespace sonarch
