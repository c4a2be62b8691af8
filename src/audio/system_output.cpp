#include "audio/system_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <future>
#include <vector>

namespace sonarch {

namespace {

using namespace std::chrono_literals;

// What the playback thread may write ahead of what has been heard, the sink's share
// included: it tops this up when half of it has been heard.
constexpr std::int64_t kAheadFrames = kSampleRate;
// The sound server's buffer, as asked for (the server may grant less). Volume changes are
// heard after what it holds; it is fed when half of it has been played.
constexpr int kSinkBufferMs = 250;
// The shortest wait for the next feed, so a sink that reports no room yet is not polled.
constexpr auto kShortestFeedWait = 5ms;
// Once everything is handed over, how often to look whether the server has played it.
constexpr auto kDrainCheck = 20ms;
// Between two reports of the server, what has been heard is carried forward on the
// steady clock, but never further than this past the last report.
constexpr auto kLongestCarry = std::chrono::milliseconds(kSinkBufferMs);

std::int64_t bytesToFrames(std::int64_t bytes) {
    return bytes / kBytesPerSampleFrame;
}

std::chrono::microseconds framesToTime(std::int64_t frames) {
    return std::chrono::microseconds(frames * 1'000'000 / kSampleRate);
}

}  // namespace

SystemOutput::SystemOutput() : m_ring(std::size_t(kAheadFrames) * kBytesPerSampleFrame) {}

Result<std::unique_ptr<SystemOutput>> SystemOutput::open() {
    using R = Result<std::unique_ptr<SystemOutput>>;
    if (!QCoreApplication::instance()) {
        return R::failure("The system sound output needs a running Qt application.");
    }
    std::unique_ptr<SystemOutput> output(new SystemOutput);
    SystemOutput* self = output.get();
    output->m_thread.reset(QThread::create([self] { self->sinkLoop(); }));
    output->m_thread->setObjectName("sonarch-audio");
    output->m_thread->start();
    std::string error;
    output->onSinkThread([&] { error = self->openSink(); });
    if (!error.empty()) {
        return R::failure(error);
    }
    return R::success(std::move(output));
}

SystemOutput::~SystemOutput() {
    if (!m_thread) {
        return;
    }
    onSinkThread([this] { closeSink(); });
    {
        std::lock_guard lock(m_loopMutex);
        m_quit = true;
    }
    m_loopWake.notify_all();
    m_thread->wait();
}

void SystemOutput::onSinkThread(std::function<void()> work) {
    if (QThread::currentThread() == m_thread.get()) {
        work();
        return;
    }
    std::promise<void> done;
    {
        std::lock_guard lock(m_loopMutex);
        m_tasks.push_back([&] {
            work();
            done.set_value();
        });
    }
    m_loopWake.notify_all();
    done.get_future().wait();
}

void SystemOutput::sinkLoop() {
    std::unique_lock lock(m_loopMutex);
    while (true) {
        if (!m_tasks.empty()) {
            const std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        if (m_quit) {
            return;
        }
        if (m_feedNow || (m_feedAt && std::chrono::steady_clock::now() >= *m_feedAt)) {
            m_feedNow = false;
            m_feedAt.reset();
            lock.unlock();
            // What the sink posted to itself from the sound server's thread (its state
            // changes); its timers are left alone.
            QCoreApplication::sendPostedEvents();
            feed();
            lock.lock();
            continue;
        }
        if (m_feedAt) {
            m_loopWake.wait_until(lock, *m_feedAt);
        } else {
            m_loopWake.wait(lock);
        }
    }
}

std::string SystemOutput::openSink() {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return "No sound output is available (is a sound server running?).";
    }
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        return "The sound output cannot play 44.1 kHz 16-bit stereo.";
    }
    m_sink = new QAudioSink(device, format);
    m_sink->setBufferSize(qsizetype(kSampleRate) * kBytesPerSampleFrame * kSinkBufferMs / 1000);
    restartSink();
    if (!m_push || m_sink->error() != QAudio::NoError) {
        return "The sound output could not be opened.";
    }
    return {};
}

void SystemOutput::closeSink() {
    if (m_sink) {
        m_sink->stop();
        delete m_sink;
        m_sink = nullptr;
        m_push = nullptr;
    }
    QCoreApplication::sendPostedEvents();
}

std::size_t SystemOutput::write(std::span<const std::uint8_t> pcm) {
    bool bringSinkThread = false;
    std::size_t taken = 0;
    {
        std::lock_guard lock(m_mutex);
        const std::size_t room = m_ring.room() - m_ring.room() % kBytesPerSampleFrame;
        taken =
            m_ring.push(pcm.first(std::min(room, pcm.size() - pcm.size() % kBytesPerSampleFrame)));
        m_written += bytesToFrames(std::int64_t(taken));
        bringSinkThread = m_hungry && taken > 0;
        if (bringSinkThread) {
            m_hungry = false;
        }
    }
    if (bringSinkThread) {
        {
            std::lock_guard lock(m_loopMutex);
            m_feedNow = true;
        }
        m_loopWake.notify_all();
    }
    return taken;
}

bool SystemOutput::idle() {
    std::lock_guard lock(m_mutex);
    return m_ring.size() == 0;
}

std::int64_t SystemOutput::heardLocked(SteadyTime now) {
    std::int64_t heard = m_measured;
    if (m_flowing) {
        const auto carried =
            std::clamp<std::chrono::steady_clock::duration>(now - m_measuredAt, {}, kLongestCarry);
        heard += std::chrono::duration_cast<std::chrono::microseconds>(carried).count() *
                 kSampleRate / 1'000'000;
    }
    heard = std::min(heard, m_sinkBase + m_fed);
    m_heard = std::max(m_heard, heard);
    return m_heard;
}

std::int64_t SystemOutput::framesHeard() {
    std::lock_guard lock(m_mutex);
    return heardLocked(std::chrono::steady_clock::now());
}

std::int64_t SystemOutput::room() {
    std::lock_guard lock(m_mutex);
    // Counted against all that is ahead of the ear, in the ring and in the sink alike, the
    // room grows steadily as the sound plays, not in steps at each feed.
    const std::int64_t ahead = m_written - heardLocked(std::chrono::steady_clock::now());
    const std::int64_t ringRoom = bytesToFrames(std::int64_t(m_ring.room()));
    return std::clamp<std::int64_t>(kAheadFrames - ahead, 0, ringRoom);
}

std::int64_t SystemOutput::capacity() const {
    return kAheadFrames;
}

std::int64_t SystemOutput::underruns() const {
    return m_underruns.load();
}

void SystemOutput::start(std::int64_t limit) {
    onSinkThread([this, limit] {
        {
            std::lock_guard lock(m_mutex);
            m_limit = limit;
        }
        if (m_paused && m_sink) {
            m_sink->resume();
        }
        m_paused = false;
        feed();
    });
}

void SystemOutput::pause() {
    onSinkThread([this] {
        measureHeard();
        if (!m_paused && m_sink) {
            m_sink->suspend();
        }
        m_paused = true;
        measureHeard();
        std::lock_guard lock(m_loopMutex);
        m_feedAt.reset();
    });
}

void SystemOutput::discard() {
    onSinkThread([this] {
        measureHeard();
        {
            std::lock_guard lock(m_mutex);
            m_ring.clear();
            m_written = heardLocked(std::chrono::steady_clock::now());
        }
        restartSink();
    });
}

void SystemOutput::restartSink() {
    if (!m_sink) {
        return;
    }
    // Stopping drops what the sound server still holds; the count starts again at 0.
    m_sink->stop();
    {
        std::lock_guard lock(m_mutex);
        m_sinkBase = m_heard;
        m_fed = 0;
        m_measured = m_heard;
        m_measuredAt = std::chrono::steady_clock::now();
        m_flowing = false;
        m_hungry = false;
    }
    m_dry = false;
    m_push = m_sink->start();
    m_sinkBytes = m_sink->bufferSize();
    m_sink->setVolume(double(m_volume.load()) / kFullVolume);
    if (m_paused) {
        m_sink->suspend();
    }
}

bool SystemOutput::setVolume(std::int32_t level) {
    if (level < 0 || level > kFullVolume) {
        return false;
    }
    bool accepted = false;
    onSinkThread([&] {
        if (m_sink && m_sink->error() != QAudio::FatalError) {
            m_sink->setVolume(double(level) / kFullVolume);
            m_volume = level;
            accepted = true;
        }
    });
    return accepted;
}

std::int32_t SystemOutput::volume() const {
    return m_volume.load();
}

void SystemOutput::setWakeup(std::function<void()> wakeup) {
    // Taken by every call of the wakeup too: once this returns, no call of the old one is
    // still running on the sink's thread, so its owner may go.
    std::lock_guard lock(m_wakeupMutex);
    m_wakeup = std::move(wakeup);
}

void SystemOutput::feed() {
    if (!m_sink || !m_push || m_paused) {
        return;
    }
    noteUnderrun();
    const auto free = std::int64_t(std::max<qsizetype>(m_sink->bytesFree(), 0));
    std::vector<std::uint8_t> chunk;
    {
        std::lock_guard lock(m_mutex);
        const std::int64_t bytes = std::min<std::int64_t>(free, std::int64_t(m_ring.size()));
        chunk.resize(std::size_t(bytes - bytes % kBytesPerSampleFrame));
        m_ring.pop(chunk);
        // Short of what the sink could take, and the stream goes on: the playback thread
        // brings this thread back as soon as it has written more.
        m_hungry = std::int64_t(chunk.size()) < free &&
                   m_sinkBase + m_fed + bytesToFrames(std::int64_t(chunk.size())) < m_limit;
    }
    if (!chunk.empty()) {
        const qint64 pushed =
            m_push->write(reinterpret_cast<const char*>(chunk.data()), qint64(chunk.size()));
        std::lock_guard lock(m_mutex);
        m_fed += bytesToFrames(std::max<qint64>(pushed, 0));
    }
    measureHeard();
    scheduleFeed();
    wakeWriterIfWanted();
}

void SystemOutput::noteUnderrun() {
    if (m_sink->state() != QAudio::IdleState) {
        m_dry = false;
        return;
    }
    std::lock_guard lock(m_mutex);
    // The server ran dry before the stream's end: the sound was interrupted.
    if (!m_dry && m_fed > 0 && m_sinkBase + m_fed < m_limit) {
        m_dry = true;
        ++m_underruns;
    }
}

void SystemOutput::scheduleFeed() {
    const std::int64_t held =
        bytesToFrames(m_sinkBytes - std::max<qsizetype>(m_sink->bytesFree(), 0));
    bool allFed = false;
    bool hungry = false;
    {
        std::lock_guard lock(m_mutex);
        allFed = m_sinkBase + m_fed >= m_limit;
        hungry = m_hungry;
    }
    std::lock_guard lock(m_loopMutex);
    if (hungry && held <= bytesToFrames(m_sinkBytes) / 2) {
        m_feedAt.reset();  // the playback thread's next write brings this thread
        return;
    }
    // Next time the sink will have room for half its buffer, at the pace it plays; or,
    // once it has the whole stream, when it will have played it.
    const auto wait =
        allFed ? std::max<std::chrono::microseconds>(framesToTime(held), kDrainCheck)
               : std::max<std::chrono::microseconds>(
                     framesToTime(held - bytesToFrames(m_sinkBytes) / 2), kShortestFeedWait);
    m_feedAt = std::chrono::steady_clock::now() + wait;
}

void SystemOutput::measureHeard() {
    if (!m_sink) {
        return;
    }
    const QAudio::State state = m_sink->state();
    const std::int64_t processed = m_sink->processedUSecs() * kSampleRate / 1'000'000;
    std::lock_guard lock(m_mutex);
    std::int64_t played = processed;
    // Once the server ran dry, everything handed to it has been played.
    if (state == QAudio::IdleState && m_ring.size() == 0) {
        played = m_fed;
    }
    // Carried forward from the server's own count, so a sound that stalls without a word
    // is never reported more than the longest carry ahead.
    m_measured = m_sinkBase + std::min(played, m_fed);
    m_measuredAt = std::chrono::steady_clock::now();
    m_flowing = !m_paused && state == QAudio::ActiveState;
}

void SystemOutput::wakeWriterIfWanted() {
    if (room() < kAheadFrames / 2) {
        return;
    }
    std::lock_guard lock(m_wakeupMutex);
    if (m_wakeup) {
        m_wakeup();
    }
}

}  // namespace sonarch
