#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/result.h"
#include "device/engine/audio_output.h"
#include "device/engine/ring_buffer.h"

class QAudioSink;
class QIODevice;
class QThread;

namespace sonarch {

// The computer's sound output (PulseAudio or PipeWire) through Qt Multimedia's QAudioSink:
// 44.1 kHz, 16-bit, stereo on the default output. The sink lives on a thread of its own,
// which feeds it from the ring buffer the playback thread writes to, so it works the same
// under a window or in a shell without one. What has been heard is what the sound server
// reports as processed, carried forward on the steady clock between its reports.
//
// The sink's thread runs no event loop (the sink would wake it every 20 ms for a timer of
// its own that does nothing when it is fed): it sleeps until the sink will have room for
// half its buffer again, until the sink ran short and the playback thread brings frames,
// or until another thread hands it work.
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
    std::int64_t underruns() const override;
    std::int64_t framesHeard() override;
    void start(std::int64_t limit) override;
    void pause() override;
    void discard() override;
    bool setVolume(std::int32_t level) override;
    std::int32_t volume() const override;
    void setWakeup(std::function<void()> wakeup) override;

private:
    using SteadyTime = std::chrono::steady_clock::time_point;

    SystemOutput();
    // Runs `work` on the sink's thread and waits for it.
    void onSinkThread(std::function<void()> work);
    void sinkLoop();  // sink thread, all that follow too
    std::string openSink();
    void closeSink();
    void restartSink();
    void feed();
    void scheduleFeed();
    void measureHeard();
    void noteUnderrun();
    void wakeWriterIfWanted();
    std::int64_t heardLocked(SteadyTime now);

    std::unique_ptr<QThread> m_thread;
    QAudioSink* m_sink = nullptr;  // sink thread
    QIODevice* m_push = nullptr;   // sink thread
    bool m_paused = true;          // sink thread
    bool m_dry = false;            // sink thread: the present run-dry is counted
    std::int64_t m_sinkBytes = 0;  // sink thread: the sink's buffer

    // What the sink's thread is asked to do, and when it feeds next.
    std::mutex m_loopMutex;
    std::condition_variable m_loopWake;
    std::deque<std::function<void()>> m_tasks;
    std::optional<SteadyTime> m_feedAt;
    bool m_feedNow = false;
    bool m_quit = false;

    mutable std::mutex m_mutex;  // guards the ring, the counts and the measurements
    RingBuffer m_ring;
    std::int64_t m_written = 0;   // frames taken from the playback thread
    std::int64_t m_fed = 0;       // frames handed to the sink since it was last started
    std::int64_t m_sinkBase = 0;  // frames heard before the sink was last started
    std::int64_t m_limit = 0;     // the stream's end, as told by start()
    // The server's last report: frames heard, when, and whether the sound was flowing.
    std::int64_t m_measured = 0;
    SteadyTime m_measuredAt;
    bool m_flowing = false;
    std::int64_t m_heard = 0;  // the most ever reported: the count never goes back
    // The sink wanted more than the ring held: the next write() brings the sink thread.
    bool m_hungry = false;

    std::function<void()> m_wakeup;
    std::mutex m_wakeupMutex;  // held while the wakeup is set or called
    std::atomic<std::int64_t> m_underruns{0};
    std::atomic<std::int32_t> m_volume{kFullVolume};
};

}  // namespace sonarch
