#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "device/drives/drive.h"
#include "device/engine/audio_output.h"

namespace sonarch {

enum class PlayMode { Stopped, Playing, Paused };

// Plays ranges of the disc: a playback thread reads audio sectors from the drive and
// writes them to the audio output, so no command ever waits on the drive. It tops the
// output up once half of what it holds has been heard, and in between sleeps for as long
// as the output takes to make that room: a few wake-ups a second. Where the play head is
// comes from the output: the frames it has heard. At the end of the played range the head
// stops on the range's last frame, as a CD drive does at the end of a disc.
//
// Every play starts a new stretch of the output's one continuous stream; stop, seek and
// a new play cut the current stretch where it was heard, and the thread still delivers a
// cut stretch's frames up to that point (a clock moved by hand may have counted them
// before the drive gave them), so a recording holds exactly what was heard. While the
// drive is late the output hears silence and the head waits, so the position, the track
// and the end of the range all follow the sound.
class PlaybackEngine {
public:
    PlaybackEngine(Drive& drive, AudioOutput& output);
    // Delivers what has been heard, then ends the playback thread.
    ~PlaybackEngine();

    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // Plays the frames [from, to) (absolute addresses). Playing on from where a paused or
    // playing head stands, to the same end, just goes on.
    void play(std::int32_t from, std::int32_t to);
    void resume(std::int32_t to);
    void pause();
    void stop();
    void seek(std::int32_t address);

    std::int32_t position();
    PlayMode mode();

private:
    struct Stretch {
        std::uint64_t id = 0;
        std::int64_t streamStart = 0;  // the output frame it begins at
        std::int32_t from = 0;         // disc address of its first frame
        std::int32_t end = 0;          // address after its last frame, as planned
        std::int64_t frames = 0;       // frames to deliver: as planned, or as heard if cut
        std::int64_t read = 0;         // frames asked of the drive so far
        std::int64_t written = 0;      // frames the output has taken
    };

    // Sectors read from the drive and not yet all taken by the output.
    struct Pending {
        std::uint64_t id = 0;
        std::int64_t offset = 0;  // frame of its stretch where `data` begins
        std::vector<std::uint8_t> data;
        std::size_t used = 0;
    };

    // All with m_mutex held.
    void playLocked(std::int32_t from, std::int32_t to);
    void settleLocked();
    std::int32_t positionLocked();
    void cutLocked();
    Stretch* findLocked(std::uint64_t id);
    bool everythingDeliveredLocked() const;

    // playback thread, with m_mutex held.
    void run();
    // Writes what the output takes of `pending`; true when none of it is left to write.
    bool deliverLocked(Pending& pending);
    Stretch* nextToReadLocked();
    // Reads the next sectors of `stretch` into `pending`, unlocking around the drive.
    void readLocked(std::unique_lock<std::mutex>& lock, Stretch& stretch, Pending& pending,
                    std::vector<std::uint8_t>& buffer);
    // Sleeps until the output has room for a good share of its capacity, as worked out
    // from the room left, or until something changes.
    void waitForRoomLocked(std::unique_lock<std::mutex>& lock);
    // With nothing left to read: sleeps until the output has heard what it holds.
    void waitUntilHeardLocked(std::unique_lock<std::mutex>& lock);

    Drive& m_drive;
    AudioOutput& m_output;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Stretch> m_stretches;  // oldest first; the last is the current one
    std::uint64_t m_nextId = 1;
    PlayMode m_mode = PlayMode::Stopped;
    std::int32_t m_position = 0;  // while stopped
    bool m_quit = false;
    std::thread m_thread;
};

}  // namespace sonarch
