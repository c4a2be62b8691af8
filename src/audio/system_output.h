#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/desktop_stream.h"
#include "audio/frame_queue.h"
#include "base/result.h"
#include "device/engine/audio_output.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
struct pa_proplist;

namespace sonarch {

// The computer's sound output (PulseAudio, or PipeWire through its pulse server): one
// stream of 44.1 kHz 16-bit stereo on the default output for as long as the output lives,
// driven by libpulse's threaded main loop. The playback thread's frames wait in a queue
// and go to the server as it asks for them, at the mixer's level; what the server holds
// stays small, so a volume change is soon heard.
//
// Pause corks the stream (the server takes back what it had not yet played); discard
// flushes what the server holds, so after a seek the new sound follows at once. What has
// been heard is worked out from the server's timing reports, carried forward on the steady
// clock between them.
//
// Should the server go away, the count of frames heard stops where the sound stopped, and
// the output says so and connects again: while it is meant to play after a quarter of a
// second, then twice as long each time up to a few seconds, and at once on the next
// start(). Back on a server, it plays on from the frame where the sound stopped.
class SystemOutput : public AudioOutput, public DesktopStream {
public:
    // Fails when no sound server answers, or it refuses the stream.
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

    void describeTrack(const std::string& title, const std::string& artist) override;
    void setTroubleListener(std::function<void(SoundTrouble)> listener) override;

private:
    using SteadyTime = std::chrono::steady_clock::time_point;
    enum class Link { Down, Connecting, Ready };

    SystemOutput();

    // All that follow run with the main loop's lock held.
    std::string connectAtStart();
    void connect(bool mayStartServer);
    void createStream();
    void streamReady();
    void linkFailed();
    void dropLink();
    void scheduleRetry();
    void retryNow();
    void feed();
    void requestTiming();
    void takeTiming();
    std::int64_t heardLocked(SteadyTime now);
    std::int64_t roomLocked(SteadyTime now);
    void freezeHeard(SteadyTime now);
    void cork(bool corked);
    void triggerAtEnd();
    void updateDescription();
    void reportTrouble(SoundTrouble trouble);
    pa_proplist* streamProperties() const;

    static void onContextState(pa_context* context, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWriteRequest(pa_stream* stream, std::size_t bytes, void* self);
    static void onUnderflow(pa_stream* stream, void* self);
    static void onStarted(pa_stream* stream, void* self);
    static void onTiming(pa_stream* stream, int success, void* self);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    pa_time_event* m_retry = nullptr;
    Link m_link = Link::Down;
    bool m_opening = false;  // open() waits for the first connection
    std::chrono::milliseconds m_backoff;

    FrameQueue m_queue;          // frames [heard or a little before, m_written)
    std::int64_t m_written = 0;  // frames taken from the playback thread
    std::int64_t m_fed = 0;      // frames handed to the server
    std::int64_t m_limit = 0;    // the stream's end, as told by start()
    bool m_running = false;      // between start() and pause()
    bool m_triggered = false;    // the server was told to play out what it has
    bool m_dry = false;          // the present underrun is counted
    // The server's stretch of the stream, since the stream was made or last flushed: the
    // frame it begins at, and which it is (a timing report for an older one is ignored).
    std::int64_t m_segmentStart = 0;
    std::uint64_t m_segment = 0;
    bool m_timingPending = false;
    std::uint64_t m_timingSegment = 0;
    // The last report: frames heard, when, and whether the sound was flowing then.
    std::int64_t m_reported = 0;
    SteadyTime m_reportedAt;
    bool m_flowing = false;
    std::int64_t m_heard = 0;  // the most ever reported: the count never goes back

    std::string m_title, m_artist;
    bool m_troubleShown = false;
    std::function<void(SoundTrouble)> m_troubleListener;
    std::function<void()> m_wakeup;
    std::atomic<std::int64_t> m_underruns{0};
    std::atomic<std::int32_t> m_volume{kFullVolume};
};

}  // namespace sonarch
