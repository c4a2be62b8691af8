#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "base/result.h"
#include "device/audio_output.h"
#include "device/ring_buffer.h"

class QAudioSink;
class QIODevice;
class QObject;
class QThread;
class QTimer;

namespace sonarch {

// The computer's sound output (PulseAudio or PipeWire) through Qt Multimedia's QAudioSink:
// 44.1 kHz, 16-bit, stereo on the default output. The sink lives on a thread of its own
// with an event loop, which feeds it from the ring buffer the playback thread writes to,
// so it works the same under a window or in a shell without one. What has been heard is
// what the sound server reports as processed.
class SystemOutput : public AudioOutput {
public:
    // Needs a QCoreApplication (or QApplication) to exist. Fails when there is no sound
    // server or no output device.
    static Result<std::unique_ptr<SystemOutput>> open();
    ~SystemOutput() override;

    std::size_t write(std::span<const std::uint8_t> pcm) override;
    bool idle() override;
    std::int64_t room() override;
    std::int64_t capacity() const override;
    std::int64_t underruns() const override { return 0; }
    std::int64_t framesHeard() override;
    void start(std::int64_t limit) override;
    void pause() override;
    void discard() override;
    bool setVolume(std::int32_t level) override;
    std::int32_t volume() const override;
    void setWakeup(std::function<void()> wakeup) override;

private:
    SystemOutput();
    std::string openOnSinkThread();
    void restartSink();  // sink thread
    void feed();         // sink thread
    void updateHeard();  // sink thread

    std::unique_ptr<QThread> m_thread;
    QObject* m_context = nullptr;  // lives on m_thread
    QAudioSink* m_sink = nullptr;  // sink thread
    QIODevice* m_push = nullptr;   // sink thread
    QTimer* m_timer = nullptr;     // sink thread
    bool m_paused = true;          // sink thread

    std::mutex m_mutex;  // guards the ring, the counts and the wake-up
    RingBuffer m_ring;
    std::int64_t m_written = 0;   // frames taken from the playback thread
    std::int64_t m_fed = 0;       // frames handed to the sink
    std::int64_t m_sinkBase = 0;  // frames heard before the sink was last started
    std::function<void()> m_wakeup;
    std::mutex m_wakeupMutex;  // held while the wakeup is set or called
    std::atomic<std::int64_t> m_heard{0};
    std::atomic<std::int32_t> m_volume{kFullVolume};
};

}  // namespace sonarch
