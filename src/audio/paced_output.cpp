#include "audio/paced_output.h"

#include <algorithm>
#include <chrono>

#include "audio/pcm_volume.h"

namespace sonarch {

namespace {

// A jump of a hand-moved clock waits for the playback thread as long as it keeps bringing
// frames: a drive that does not answer for this long is given up on, and silence is heard.
constexpr auto kCatchUpPatience = std::chrono::seconds(10);

}  // namespace

PacedOutput::PacedOutput(Clock& clock, std::int64_t lookahead)
    : m_clock(clock),
      m_lookahead(std::max<std::int64_t>(lookahead, 1)),
      m_queue(std::size_t(m_lookahead) * kBytesPerSampleFrame) {
    m_volumes.emplace_back(0, kFullVolume);
    m_listenId = m_clock.listen([this] { clockMoved(); });
}

void PacedOutput::callWakeup() {
    std::function<void()> wakeup;
    {
        std::lock_guard lock(m_mutex);
        wakeup = m_wakeup;
    }
    if (wakeup) {
        wakeup();
    }
}

PacedOutput::~PacedOutput() {
    detachClock();
}

void PacedOutput::detachClock() {
    if (m_listenId != 0) {
        m_clock.unlisten(m_listenId);
        m_listenId = 0;
    }
}

std::int64_t PacedOutput::outputFramesLocked() const {
    if (!m_running) {
        return m_outputBase;
    }
    const std::int64_t elapsedMs = std::max<std::int64_t>(m_clock.nowMs() - m_startMs, 0);
    return m_outputBase + elapsedMs * kSampleRate / 1000;
}

std::int64_t PacedOutput::observeHeardLocked() {
    const std::int64_t byClock = outputFramesLocked() - m_silence;
    const std::int64_t heard = std::min(byClock, m_limit);
    // An output that keeps nothing has no sound to wait for when the clock jumps by hand:
    // the jump is heard at once, and the frames it covers are passed on as they come.
    if (m_catchingUp || (m_clock.jumps() && !keepsHeard()) || heard <= m_written) {
        return heard;
    }
    // Ran dry: everything written has been heard, and the time since was silence.
    takeHeardLocked(m_written);
    const std::int64_t silent = byClock - m_written;
    m_silence += silent;
    if (keepsHeard()) {
        m_pending.resize(m_pending.size() + std::size_t(silent) * kBytesPerSampleFrame, 0);
    }
    if (m_hadFrames && !m_dry) {
        ++m_underruns;
    }
    m_dry = true;
    return m_written;
}

bool PacedOutput::wantsWriterLocked() {
    if (!m_running || m_written >= m_limit) {
        return false;
    }
    const std::int64_t heard = observeHeardLocked();
    return heard + m_lookahead - m_written >= m_lookahead / 2;
}

void PacedOutput::clockMoved() {
    std::unique_lock lock(m_mutex);
    const std::int64_t target = std::min(outputFramesLocked() - m_silence, m_limit);
    if (!m_clock.jumps() || !keepsHeard() || !m_running || !m_wakeup || target <= m_written) {
        const bool wanted = wantsWriterLocked();
        lock.unlock();
        if (wanted) {
            callWakeup();
        }
        return;
    }
    m_catchingUp = true;
    lock.unlock();
    callWakeup();
    lock.lock();
    std::int64_t progress = m_written;
    while (m_catchingUp && m_running && m_written < target) {
        if (m_delivered.wait_for(lock, kCatchUpPatience) == std::cv_status::timeout &&
            m_written == progress) {
            break;
        }
        progress = m_written;
    }
    m_catchingUp = false;
}

void PacedOutput::appendScaledLocked(std::span<const std::uint8_t> pcm, std::int64_t firstFrame) {
    const std::size_t frames = pcm.size() / kBytesPerSampleFrame;
    const std::size_t start = m_pending.size();
    m_pending.resize(start + frames * kBytesPerSampleFrame);
    std::uint8_t* out = m_pending.data() + start;
    // The level in force for each frame is the last change at or before it.
    auto level = std::upper_bound(m_volumes.begin(), m_volumes.end(), firstFrame,
                                  [](std::int64_t f, const auto& v) { return f < v.first; });
    --level;
    std::size_t done = 0;
    while (done < frames) {
        // Up to the next change, every frame is heard at the same level.
        const std::int64_t frame = firstFrame + std::int64_t(done);
        while (level + 1 != m_volumes.end() && (level + 1)->first <= frame) {
            ++level;
        }
        const std::size_t run =
            level + 1 == m_volumes.end()
                ? frames - done
                : std::min(frames - done, std::size_t((level + 1)->first - frame));
        ApplyVolume(pcm.subspan(done * kBytesPerSampleFrame, run * kBytesPerSampleFrame),
                    level->second, out + done * kBytesPerSampleFrame);
        done += run;
    }
}

void PacedOutput::takeHeardLocked(std::int64_t heard) {
    const std::int64_t due = std::min(heard, m_written) - m_taken;
    if (due <= 0) {
        return;
    }
    m_scratch.resize(std::size_t(due) * kBytesPerSampleFrame);
    m_queue.pop(m_scratch);
    if (keepsHeard()) {
        appendScaledLocked(m_scratch, m_taken);
    }
    m_taken += due;
    // Changes older than the last one in force for the next frame are of no more use.
    while (m_volumes.size() > 1 && m_volumes[1].first <= m_taken) {
        m_volumes.erase(m_volumes.begin());
    }
}

void PacedOutput::passOn(std::unique_lock<std::mutex>& lock) {
    if (m_pending.empty()) {
        return;
    }
    std::vector<std::uint8_t> heard;
    heard.swap(m_pending);
    std::lock_guard inOrder(m_hearMutex);
    lock.unlock();
    hear(heard);
}

std::size_t PacedOutput::write(std::span<const std::uint8_t> pcm) {
    std::unique_lock lock(m_mutex);
    const std::int64_t heard = observeHeardLocked();
    takeHeardLocked(heard);
    std::int64_t frames = std::int64_t(pcm.size() / kBytesPerSampleFrame);
    std::size_t used = 0;
    // While a jump of the clock is caught up, the frames it covers go straight on, in order.
    const std::int64_t owed = std::min(frames, heard - m_written);
    if (owed > 0) {
        const std::size_t bytes = std::size_t(owed) * kBytesPerSampleFrame;
        if (keepsHeard()) {
            appendScaledLocked(pcm.first(bytes), m_written);
        }
        m_written += owed;
        m_taken = m_written;
        used = bytes;
        frames -= owed;
    }
    const std::int64_t room = heard + m_lookahead - m_written;
    const std::int64_t queued = std::clamp<std::int64_t>(frames, 0, room);
    if (queued > 0) {
        const std::size_t bytes = std::size_t(queued) * kBytesPerSampleFrame;
        m_queue.push(pcm.subspan(used, bytes));
        m_written += queued;
        used += bytes;
    }
    if (used > 0) {
        m_hadFrames = true;
        m_dry = false;
        m_delivered.notify_all();
    }
    passOn(lock);
    return used;
}

void PacedOutput::service() {
    std::unique_lock lock(m_mutex);
    takeHeardLocked(observeHeardLocked());
    passOn(lock);
}

bool PacedOutput::idle() {
    std::lock_guard lock(m_mutex);
    return m_written == m_taken && observeHeardLocked() <= m_written;
}

std::int64_t PacedOutput::room() {
    std::lock_guard lock(m_mutex);
    return std::max<std::int64_t>(observeHeardLocked() + m_lookahead - m_written, 0);
}

std::int64_t PacedOutput::underruns() const {
    std::lock_guard lock(m_mutex);
    return m_underruns;
}

std::int64_t PacedOutput::silenceHeard() const {
    std::lock_guard lock(m_mutex);
    return m_silence;
}

std::int64_t PacedOutput::framesHeard() {
    std::lock_guard lock(m_mutex);
    return observeHeardLocked();
}

void PacedOutput::start(std::int64_t limit) {
    {
        std::lock_guard lock(m_mutex);
        const std::int64_t heard = observeHeardLocked();
        m_outputBase = outputFramesLocked();
        m_startMs = m_clock.nowMs();
        m_limit = std::max(limit, heard);
        m_running = true;
    }
    callWakeup();
}

void PacedOutput::pause() {
    std::lock_guard lock(m_mutex);
    m_catchingUp = false;
    observeHeardLocked();
    m_outputBase = outputFramesLocked();
    m_running = false;
    m_delivered.notify_all();
}

void PacedOutput::discard() {
    std::lock_guard lock(m_mutex);
    m_catchingUp = false;
    m_delivered.notify_all();
    const std::int64_t heard = observeHeardLocked();
    // What comes next is a new stretch, whose start is not late before its first write.
    m_hadFrames = false;
    m_dry = false;
    if (m_written > heard) {
        m_queue.truncate(std::size_t(heard - m_taken) * kBytesPerSampleFrame);
        m_written = heard;
    }
}

bool PacedOutput::setVolume(std::int32_t level) {
    if (level < 0 || level > kFullVolume) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    // Frames heard from now on are heard at the new level; those already heard keep theirs.
    const std::int64_t from = observeHeardLocked();
    if (m_volumes.back().first == from) {
        m_volumes.back().second = level;
    } else {
        m_volumes.emplace_back(from, level);
    }
    return true;
}

std::int32_t PacedOutput::volume() const {
    std::lock_guard lock(m_mutex);
    return m_volumes.back().second;
}

void PacedOutput::setWakeup(std::function<void()> wakeup) {
    std::lock_guard lock(m_mutex);
    m_wakeup = std::move(wakeup);
}

}  // namespace sonarch
