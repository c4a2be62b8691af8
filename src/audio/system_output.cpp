#include "audio/system_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace sonarch {

namespace {

// Room in the ring buffer, and how often the sink is fed from it.
constexpr std::size_t kRingBytes = std::size_t(kSampleRate / 2) * kBytesPerSampleFrame;
constexpr int kFeedMs = 10;

template <class F>
void onThread(QObject* context, F&& work) {
    if (QThread::currentThread() == context->thread()) {
        work();
    } else {
        QMetaObject::invokeMethod(context, std::forward<F>(work), Qt::BlockingQueuedConnection);
    }
}

}  // namespace

SystemOutput::SystemOutput() : m_ring(kRingBytes) {}

Result<std::unique_ptr<SystemOutput>> SystemOutput::open() {
    using R = Result<std::unique_ptr<SystemOutput>>;
    if (!QCoreApplication::instance()) {
        return R::failure("The system sound output needs a running Qt application.");
    }
    std::unique_ptr<SystemOutput> output(new SystemOutput);
    output->m_thread = std::make_unique<QThread>();
    output->m_thread->setObjectName("sonarch-audio");
    output->m_thread->start();
    output->m_context = new QObject;
    output->m_context->moveToThread(output->m_thread.get());
    std::string error;
    onThread(output->m_context, [&] { error = output->openOnSinkThread(); });
    if (!error.empty()) {
        return R::failure(error);
    }
    return R::success(std::move(output));
}

std::string SystemOutput::openOnSinkThread() {
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
    m_sink = new QAudioSink(device, format, m_context);
    m_push = m_sink->start();
    if (!m_push || m_sink->error() != QAudio::NoError) {
        return "The sound output could not be opened.";
    }
    m_sink->suspend();
    m_paused = true;
    m_timer = new QTimer(m_context);
    m_timer->setInterval(kFeedMs);
    QObject::connect(m_timer, &QTimer::timeout, m_context, [this] { feed(); });
    m_timer->start();
    return {};
}

SystemOutput::~SystemOutput() {
    if (m_context) {
        onThread(m_context, [this] {
            if (m_sink) {
                m_sink->stop();
            }
            delete m_context;  // and with it the sink and the timer
            m_context = nullptr;
        });
    }
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
}

std::size_t SystemOutput::write(std::span<const std::uint8_t> pcm) {
    std::lock_guard lock(m_mutex);
    const std::size_t room = m_ring.room() - m_ring.room() % kBytesPerSampleFrame;
    const std::size_t taken =
        m_ring.push(pcm.first(std::min(room, pcm.size() - pcm.size() % kBytesPerSampleFrame)));
    m_written += std::int64_t(taken / kBytesPerSampleFrame);
    return taken;
}

bool SystemOutput::idle() {
    std::lock_guard lock(m_mutex);
    return m_ring.size() == 0;
}

std::int64_t SystemOutput::room() {
    std::lock_guard lock(m_mutex);
    return std::int64_t(m_ring.room()) / kBytesPerSampleFrame;
}

std::int64_t SystemOutput::capacity() const {
    return std::int64_t(kRingBytes) / kBytesPerSampleFrame;
}

std::int64_t SystemOutput::framesHeard() {
    return m_heard.load();
}

void SystemOutput::start(std::int64_t) {
    onThread(m_context, [this] {
        if (m_paused && m_sink) {
            m_sink->resume();
        }
        m_paused = false;
        feed();
    });
}

void SystemOutput::pause() {
    onThread(m_context, [this] {
        updateHeard();
        if (!m_paused && m_sink) {
            m_sink->suspend();
        }
        m_paused = true;
    });
}

void SystemOutput::discard() {
    onThread(m_context, [this] {
        updateHeard();
        {
            std::lock_guard lock(m_mutex);
            m_ring.clear();
            m_written = m_heard.load();
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
        m_sinkBase = m_heard.load();
        m_fed = 0;
    }
    m_push = m_sink->start();
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
    onThread(m_context, [&] {
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
    if (!m_sink || !m_push) {
        return;
    }
    if (!m_paused) {
        const auto free = std::size_t(std::max<qsizetype>(m_sink->bytesFree(), 0));
        std::vector<std::uint8_t> chunk;
        {
            std::lock_guard lock(m_mutex);
            const std::size_t bytes =
                std::min(free, m_ring.size()) / kBytesPerSampleFrame * kBytesPerSampleFrame;
            chunk.resize(bytes);
            m_ring.pop(chunk);
        }
        if (!chunk.empty()) {
            const qint64 pushed =
                m_push->write(reinterpret_cast<const char*>(chunk.data()), qint64(chunk.size()));
            std::lock_guard lock(m_mutex);
            m_fed += std::max<qint64>(pushed, 0) / kBytesPerSampleFrame;
        }
    }
    updateHeard();
    std::lock_guard lock(m_wakeupMutex);
    if (m_wakeup) {
        m_wakeup();
    }
}

void SystemOutput::updateHeard() {
    if (!m_sink) {
        return;
    }
    std::int64_t heard = 0;
    {
        std::lock_guard lock(m_mutex);
        std::int64_t played = m_sink->processedUSecs() * kSampleRate / 1'000'000;
        // Once the server ran dry, everything handed to it has been played.
        if (m_sink->state() == QAudio::IdleState && m_ring.size() == 0) {
            played = m_fed;
        }
        heard = m_sinkBase + std::min(played, m_fed);
    }
    if (heard > m_heard.load()) {
        m_heard = heard;
    }
}

}  // namespace sonarch
