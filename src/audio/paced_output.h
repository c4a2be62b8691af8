#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "device/engine/audio_output.h"
#include "device/engine/clock.h"
#include "device/engine/ring_buffer.h"

namespace sonarch {

// An output that hears at real-time pace as told by a clock: with the manual clock of the
// tests and of `qvmci --clock manual`, exactly as much as the clock moved. Frames are
// heard in stream order and after volume; what becomes of them is up to the subclass.
// While the playback thread has nothing written, the output hears silence, as a sound card
// does, and the stream waits. A clock that jumps by hand instead waits at each jump for the
// playback thread to bring what the jump covers, while it keeps bringing frames; an output
// that keeps nothing (the null output) hears such a jump at once.
class PacedOutput : public AudioOutput {
public:
    // `lookahead`: frames the playback thread may write ahead of what has been heard.
    explicit PacedOutput(Clock& clock, std::int64_t lookahead = kSampleRate / 2);
    ~PacedOutput() override;

    std::size_t write(std::span<const std::uint8_t> pcm) override;
    void service() override;
    bool idle() override;
    std::int64_t room() override;
    std::int64_t capacity() const override { return m_lookahead; }
    std::int64_t underruns() const override;
    std::int64_t framesHeard() override;
    void start(std::int64_t limit) override;
    void pause() override;
    void discard() override;
    bool setVolume(std::int32_t level) override;
    std::int32_t volume() const override;
    void setWakeup(std::function<void()> wakeup) override;

    // Frames of silence heard because the playback thread had nothing written.
    std::int64_t silenceHeard() const;

protected:
    // playback thread (or the owner once no playback thread is left): the next frames heard.
    virtual void hear(std::span<const std::uint8_t> pcm) = 0;
    // Stops the clock listener; a subclass calls it first thing in its destructor, so no
    // wake-up reaches a half-destroyed output.
    void detachClock();

private:
    // Frames of output time, sound and silence, since the output was made.
    std::int64_t outputFramesLocked() const;
    // The stream's frames heard so far. An output found dry hears the time since it ran
    // out as silence; while a jump of the clock is being caught up, the frames it covers
    // count as heard and are passed on as they come.
    std::int64_t observeHeardLocked();
    // True when the playback thread should come: room for half the lookahead, or a jump
    // of the clock to catch up.
    bool wantsWriterLocked();
    void callWakeup();
    // The clock moved: wakes the playback thread when wanted, and after a jump waits for
    // what it covers.
    void clockMoved();
    // Moves the frames heard so far out of the queue, scaled by the volume in force when
    // each was heard, into m_pending.
    void takeHeardLocked(std::int64_t heard);
    void appendScaledLocked(std::span<const std::uint8_t> pcm, std::int64_t firstFrame);
    void passOn(std::unique_lock<std::mutex>& lock);

    Clock& m_clock;
    int m_listenId = 0;
    const std::int64_t m_lookahead;

    mutable std::mutex m_mutex;
    std::condition_variable m_delivered;  // frames written, or the catch-up ended
    bool m_running = false;
    std::int64_t m_outputBase = 0;  // output frames when the clock was last read into it
    std::int64_t m_startMs = 0;     // clock time of m_outputBase while running
    std::int64_t m_silence = 0;     // output frames heard as silence
    std::int64_t m_limit = 0;
    std::int64_t m_written = 0;  // frames taken from the playback thread
    std::int64_t m_taken = 0;    // frames moved out of the queue as heard
    bool m_catchingUp = false;   // a jump of the clock waits for the frames it covers
    bool m_hadFrames = false;    // something was queued since the last discard
    bool m_dry = false;          // heard silence, and nothing written since
    std::int64_t m_underruns = 0;
    RingBuffer m_queue;  // frames [m_taken, m_written)
    // Volume changes as (first frame heard at that level, level), oldest first.
    std::vector<std::pair<std::int64_t, std::int32_t>> m_volumes;
    std::vector<std::uint8_t> m_pending;  // heard frames waiting for hear()
    std::vector<std::uint8_t> m_scratch;
    std::function<void()> m_wakeup;
    std::mutex m_hearMutex;  // keeps hear() calls in order
};

// Hears without a sound.
class NullOutput : public PacedOutput {
public:
    explicit NullOutput(Clock& clock, std::int64_t lookahead = kSampleRate / 2)
        : PacedOutput(clock, lookahead) {}
    ~NullOutput() override { detachClock(); }
    bool keepsHeard() const override { return false; }

protected:
    void hear(std::span<const std::uint8_t>) override {}
};

}  // namespace sonarch
