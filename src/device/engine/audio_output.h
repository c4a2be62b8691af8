#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace sonarch {

inline constexpr int kSampleRate = 44100;
inline constexpr int kBytesPerSampleFrame = 4;  // one 16-bit sample for each of two channels
inline constexpr std::int32_t kFullVolume = 65000;

// Where the device's sound goes: 44.1 kHz, 16-bit, stereo, interleaved little-endian PCM,
// one continuous stream. A "frame" here is one sample frame (4 bytes), 588 to a CD sector.
//
// The playback thread writes; the window thread starts, pauses and discards, and asks how
// much has been heard. That count is the device's clock, so it must never go back, and it
// never passes what was written: an output left without frames (a slow drive) plays
// silence meanwhile, as a sound card does, and its count waits for the sound. So the
// position the device shows is the one heard. Nor does it pass `limit`, the stream's end.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // playback thread. Takes whole frames from `pcm`, as many as there is room for, and
    // returns the number of bytes taken. Never blocks.
    virtual std::size_t write(std::span<const std::uint8_t> pcm) = 0;
    // playback thread. Called when the thread has nothing to write, so an output that
    // keeps time by a clock can pass on what has been heard since.
    virtual void service() {}
    // playback thread. True when the output has nothing queued: the thread may
    // then sleep until it is told of new work.
    virtual bool idle() = 0;
    // playback thread. Frames write() would take now; while the output hears, the room
    // grows by kSampleRate frames a second, which is how long the thread may sleep.
    virtual std::int64_t room() = 0;
    // The frames the output holds at most, written and not yet heard.
    virtual std::int64_t capacity() const = 0;
    // Times the output ran dry while the stream went on: it had heard everything written
    // and played silence.
    virtual std::int64_t underruns() const = 0;

    // Frames heard since the output was made.
    virtual std::int64_t framesHeard() = 0;
    // Starts or resumes hearing the stream; it ends after `limit` frames (counted from
    // the output's beginning), where a clock-paced output stops.
    virtual void start(std::int64_t limit) = 0;
    // Stops hearing; what was written and not heard stays queued for start().
    virtual void pause() = 0;
    // Drops what was written and not heard.
    virtual void discard() = 0;
    // False for an output that keeps nothing of what it hears (no sound, no file).
    virtual bool keepsHeard() const { return true; }

    // The stream volume, 0 (silent) to 65000 (full), linear. Returns false for a value
    // out of range or when the output cannot change its volume; the volume then stays.
    virtual bool setVolume(std::int32_t level) = 0;
    virtual std::int32_t volume() const = 0;

    // Called from any thread when the output wants the playback thread: it started, has
    // room for half its capacity again, or waits for frames. It must not block: the engine
    // only nudges its playback thread from here.
    virtual void setWakeup(std::function<void()> wakeup) = 0;
};

}  // namespace sonarch
