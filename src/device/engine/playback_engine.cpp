#include "device/engine/playback_engine.h"

#include <algorithm>
#include <chrono>

namespace sonarch {

namespace {

// Sectors of the first read after a start or a seek: a tenth of a second, so that the
// sound comes at once; the drive says how many it wants at a time after that.
constexpr int kFirstReadSectors = 8;
// The playback thread sleeps while the output is more than half full and then tops it up:
// a few wake-ups a second however large the output is.
constexpr std::int64_t kRefillShare = 2;
// A shorter sleep than this would only spin.
constexpr auto kShortestSleep = std::chrono::milliseconds(2);

// How long an output that hears kSampleRate frames a second takes to go from `room`
// frames free to `wanted`.
std::chrono::microseconds timeUntilRoom(std::int64_t room, std::int64_t wanted) {
    const std::int64_t missing = std::max<std::int64_t>(wanted - room, 0);
    return std::max<std::chrono::microseconds>(
        std::chrono::microseconds(missing * 1'000'000 / kSampleRate), kShortestSleep);
}

}  // namespace

PlaybackEngine::PlaybackEngine(Drive& drive, AudioOutput& output)
    : m_drive(drive), m_output(output) {
    m_output.setWakeup([this] { m_changed.notify_all(); });
    m_thread = std::thread([this] { run(); });
}

PlaybackEngine::~PlaybackEngine() {
    {
        std::lock_guard lock(m_mutex);
        settleLocked();
        cutLocked();
        m_mode = PlayMode::Stopped;
        m_quit = true;
    }
    m_changed.notify_all();
    // A drive that does not answer must not hold up the end.
    m_drive.cancelReads();
    m_thread.join();
    m_drive.resumeReads();
    m_output.setWakeup({});
    // The thread is gone: pass on the last frames heard from this thread instead.
    m_output.service();
}

void PlaybackEngine::play(std::int32_t from, std::int32_t to) {
    std::lock_guard lock(m_mutex);
    settleLocked();
    playLocked(from, to);
}

void PlaybackEngine::playLocked(std::int32_t from, std::int32_t to) {
    if (m_mode != PlayMode::Stopped && !m_stretches.empty() && to == m_stretches.back().end &&
        from == positionLocked()) {
        // Told again while playing, the output starts again too: one whose sound stopped
        // (a sound server that went away) takes it as the moment to try once more.
        const Stretch& current = m_stretches.back();
        m_output.start(current.streamStart + current.frames);
        m_mode = PlayMode::Playing;
        return;
    }
    cutLocked();
    Stretch stretch;
    stretch.id = m_nextId++;
    stretch.streamStart = m_output.framesHeard();
    stretch.from = from;
    stretch.end = std::max(to, from);
    stretch.frames = std::int64_t{stretch.end - from} * kSamplesPerFrame;
    m_stretches.push_back(stretch);
    m_mode = PlayMode::Playing;
    m_output.start(stretch.streamStart + stretch.frames);
    m_changed.notify_all();
}

void PlaybackEngine::resume(std::int32_t to) {
    std::lock_guard lock(m_mutex);
    settleLocked();
    if (m_mode != PlayMode::Paused || m_stretches.empty()) {
        return;
    }
    playLocked(positionLocked(), to);
}

void PlaybackEngine::pause() {
    std::lock_guard lock(m_mutex);
    settleLocked();
    if (m_mode == PlayMode::Playing) {
        m_output.pause();
        m_mode = PlayMode::Paused;
    }
}

void PlaybackEngine::stop() {
    std::lock_guard lock(m_mutex);
    settleLocked();
    m_position = positionLocked();
    cutLocked();
    m_mode = PlayMode::Stopped;
}

void PlaybackEngine::seek(std::int32_t address) {
    std::lock_guard lock(m_mutex);
    settleLocked();
    cutLocked();
    m_mode = PlayMode::Stopped;
    m_position = address;
}

std::int32_t PlaybackEngine::position() {
    std::lock_guard lock(m_mutex);
    settleLocked();
    return positionLocked();
}

PlayMode PlaybackEngine::mode() {
    std::lock_guard lock(m_mutex);
    settleLocked();
    return m_mode;
}

void PlaybackEngine::settleLocked() {
    if (m_mode != PlayMode::Playing || m_stretches.empty()) {
        return;
    }
    const Stretch& current = m_stretches.back();
    if (m_output.framesHeard() >= current.streamStart + current.frames) {
        // Everything was heard: the head rests on the range's last frame.
        cutLocked();
        m_position = std::max(current.end - 1, current.from);
        m_mode = PlayMode::Stopped;
    }
}

std::int32_t PlaybackEngine::positionLocked() {
    if (m_mode == PlayMode::Stopped || m_stretches.empty()) {
        return m_position;
    }
    const Stretch& current = m_stretches.back();
    const std::int64_t heard =
        std::clamp<std::int64_t>(m_output.framesHeard() - current.streamStart, 0, current.frames);
    const std::int64_t address = current.from + heard / kSamplesPerFrame;
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(address, std::max(current.end - 1, current.from)));
}

void PlaybackEngine::cutLocked() {
    if (m_mode == PlayMode::Stopped || m_stretches.empty()) {
        return;
    }
    m_output.pause();
    Stretch& current = m_stretches.back();
    current.frames =
        std::clamp<std::int64_t>(m_output.framesHeard() - current.streamStart, 0, current.frames);
    current.written = std::min(current.written, current.frames);
    if (!m_output.keepsHeard()) {
        current.frames = current.written;
        current.read = std::min(current.read, current.frames);
    }
    m_output.discard();
    m_changed.notify_all();
}

PlaybackEngine::Stretch* PlaybackEngine::findLocked(std::uint64_t id) {
    for (Stretch& s : m_stretches) {
        if (s.id == id) {
            return &s;
        }
    }
    return nullptr;
}

bool PlaybackEngine::everythingDeliveredLocked() const {
    return std::all_of(m_stretches.begin(), m_stretches.end(),
                       [](const Stretch& s) { return s.written >= s.frames; });
}

void PlaybackEngine::run() {
    Pending pending;
    bool holding = false;
    std::vector<std::uint8_t> buffer;

    std::unique_lock lock(m_mutex);
    while (true) {
        if (holding) {
            holding = !deliverLocked(pending);
            if (holding) {
                waitForRoomLocked(lock);
            }
            continue;
        }
        // Stretches fully delivered are done with, except the current one, which still
        // tells where the head is.
        while (m_stretches.size() > 1 &&
               m_stretches.front().written >= m_stretches.front().frames) {
            m_stretches.pop_front();
        }
        Stretch* next = nextToReadLocked();
        if (!next) {
            if (m_quit && everythingDeliveredLocked()) {
                break;
            }
            m_output.service();
            waitUntilHeardLocked(lock);
            continue;
        }
        readLocked(lock, *next, pending, buffer);
        holding = true;
    }
}

bool PlaybackEngine::deliverLocked(Pending& pending) {
    Stretch* s = findLocked(pending.id);
    const std::int64_t left =
        std::int64_t(pending.data.size() - pending.used) / kBytesPerSampleFrame;
    const std::int64_t wanted = s ? std::min(left, s->frames - pending.offset) : 0;
    if (wanted <= 0) {
        return true;
    }
    const std::size_t taken = m_output.write(std::span<const std::uint8_t>(
        pending.data.data() + pending.used, std::size_t(wanted) * kBytesPerSampleFrame));
    const std::int64_t frames = std::int64_t(taken) / kBytesPerSampleFrame;
    s->written += frames;
    pending.offset += frames;
    pending.used += taken;
    return frames == wanted;
}

PlaybackEngine::Stretch* PlaybackEngine::nextToReadLocked() {
    for (Stretch& s : m_stretches) {
        if (s.read < s.frames) {
            return &s;
        }
    }
    return nullptr;
}

void PlaybackEngine::readLocked(std::unique_lock<std::mutex>& lock, Stretch& stretch,
                                Pending& pending, std::vector<std::uint8_t>& buffer) {
    const std::int64_t offset = stretch.read;
    const std::int32_t sector = stretch.from + std::int32_t(offset / kSamplesPerFrame);
    const int run =
        offset == 0 ? kFirstReadSectors : std::max(m_drive.sectorsPerRead(), kFirstReadSectors);
    const auto count = static_cast<int>(std::min<std::int64_t>(
        run, (stretch.frames - offset + kSamplesPerFrame - 1) / kSamplesPerFrame));
    stretch.read = offset + std::int64_t{count} * kSamplesPerFrame;
    pending.id = stretch.id;
    pending.offset = offset;
    pending.used = 0;

    lock.unlock();
    buffer.resize(std::max(buffer.size(), std::size_t(count) * kBytesPerFrame));
    const std::span<std::uint8_t> out(buffer.data(), std::size_t(count) * kBytesPerFrame);
    // Addresses count from 00:02:00; the drive counts sectors from 0.
    if (m_drive.readAudio(sector - kAddressOffset, count, out) != ReadStatus::Ok) {
        // A sector that cannot be read is heard as silence, and playback goes on.
        std::fill(out.begin(), out.end(), std::uint8_t{0});
    }
    pending.data.assign(out.begin(), out.end());
    lock.lock();
}

void PlaybackEngine::waitForRoomLocked(std::unique_lock<std::mutex>& lock) {
    if (m_mode != PlayMode::Playing) {
        // A paused or stopped output makes no room: a command or the output wakes us.
        m_changed.wait(lock);
        return;
    }
    m_changed.wait_for(lock, timeUntilRoom(m_output.room(), m_output.capacity() / kRefillShare));
}

void PlaybackEngine::waitUntilHeardLocked(std::unique_lock<std::mutex>& lock) {
    if (m_mode != PlayMode::Playing || m_output.idle()) {
        m_changed.wait(lock);
        return;
    }
    m_changed.wait_for(lock, timeUntilRoom(m_output.room(), m_output.capacity()));
}

}  // namespace sonarch
