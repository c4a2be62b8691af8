#pragma once

// A CD drive that exists only in this process: a shared library that takes the place of
// open, close, stat and ioctl for one device path and answers the Linux CD-ROM ioctls and
// MMC packet commands the way a real drive behind the kernel's sr driver does. The real
// drive backend runs against it unchanged, so the tests see the commands it sends.
//
// The drive takes time as a real one does: reading, seeking, failing on a scratch, spinning
// up, moving its tray. That time is the drive's own (see advanceTime): it moves only when
// the test moves it, so a test of minutes of play runs in a moment and comes out the same
// on a loaded machine. As in the kernel, one command at a time reaches the drive: a second
// caller waits behind a slow one.
//
// The test executable links the library ahead of the C library, so every call into the C
// library, libcdio's and paranoia's included, passes through it first (as with LD_PRELOAD).

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fakecd {

struct Track {
    std::int32_t start = 0;  // logical sector
    bool audio = true;
};

struct Disc {
    std::vector<Track> tracks;  // numbered from 1
    std::int32_t leadout = 0;
    // Start of the last session's first track, for a disc of two sessions.
    std::optional<std::int32_t> lastSession;
    // The CD-TEXT packs of its lead-in (18 bytes each), as READ TOC gives them.
    std::vector<std::uint8_t> cdText;
};

enum class Tray { Closed, Open };

// How long the drive takes for what it is asked, in its own time. All zero (the default):
// a drive that answers at once.
struct Timing {
    std::chrono::microseconds perSector{0};  // reading one sector at the speed set
    std::chrono::microseconds seek{0};       // a read that does not go on from the last one
    std::chrono::microseconds failure{0};    // a sector it cannot read: its own retries
    std::chrono::microseconds spinUp{0};     // after a disc went in or the tray closed
    std::chrono::microseconds tray{0};       // the tray moving out or in
    std::chrono::microseconds cdText{0};     // reading the CD-TEXT of the lead-in
    std::chrono::microseconds command{0};    // any other command
};

// A drive of 2008 or so at 8x: 600 sectors a second, 80 ms to find a place, `failure` of
// its own retries for a sector it cannot read, 1.2 s to spin a disc up.
Timing realisticTiming(std::chrono::microseconds failure = std::chrono::seconds(1));

struct Counts {
    int opens = 0;          // successful opens of the device
    int openHandles = 0;    // open now
    int commands = 0;       // every ioctl
    int sectorsRead = 0;    // audio sectors asked for, read or not
    int readCommands = 0;   // audio read commands
    int failedReads = 0;    // audio read commands that failed
    int ejects = 0;         // ejects that opened the tray
    int refusedEjects = 0;  // ejects the drive refused
    int statusQueries = 0;  // CDROM_DRIVE_STATUS
    int mediaChangedQueries = 0;
    int cdTextReads = 0;  // READ TOC for CD-TEXT
    int callsFromWatchedThread = 0;
    int heldTooLong = 0;      // calls held until they failed
    std::vector<int> speeds;  // every speed set, in units of 1x (176 kB/s)
    // The longest a status query waited, in drive time, for another command to finish.
    std::chrono::microseconds longestStatusWait{0};
};

// One read command as the drive saw it.
struct Read {
    std::int32_t sector = 0;
    int count = 0;
    bool failed = false;
    std::int64_t startUs = 0;  // drive time it began
    std::int64_t endUs = 0;    // and ended
};

// The one fake drive. All members are safe to call from any thread.
class Drive {
public:
    static Drive& instance();

    // Puts the drive at `path` (nothing exists there beforehand: the path is only seen
    // through this library), empty with its tray closed. Forgets the previous drive, its
    // timing included; the drive's time goes on.
    void install(const std::string& path);
    std::string path() const;

    void insert(const Disc& disc);  // into the open tray: the tray stays open
    void remove();                  // out of the tray (or pulled while the tray is closed)
    void pushTray(Tray tray);       // the drive's own button or a hand moved it
    Tray tray() const;
    bool hasDisc() const;
    // A disc swapped and the kernel's media-changed flag taken by another program.
    void consumeMediaChanged();

    // What the drive does when asked.
    void setTiming(const Timing& timing);
    void setCanCloseTray(bool can);  // a laptop tray cannot
    // The drive keeps its tray shut (another program prevented medium removal): an eject
    // ends in MEDIUM REMOVAL PREVENTED.
    void setRefusesEject(bool refuses);
    void setPermissionDenied(bool denied);
    void setBadSectors(std::set<std::int32_t> sectors);
    // Sectors that fail as many reads as given, then read.
    void setFlakySectors(std::map<std::int32_t, int> failures);
    // Whether a failed read names the sector it failed on in its sense data (most drives do).
    void setNamesFailedSector(bool names);
    // Whether the drive says its audio reads start exactly where asked ("CD-DA stream is
    // accurate"), as every drive of the last twenty years does.
    void setAccurateStream(bool accurate);
    // Whether the drive takes READ CD at all; one that does not answers ILLEGAL REQUEST.
    void setReadsAudio(bool reads);
    // Each sector's first frame carries the sector's number in its right channel (an odd
    // value, where every other frame holds the left's negation), so that a recording tells
    // where on the disc each of its sounds came from. Off after install().
    void setMarkedSectors(bool marked);
    // A drive spinning up: it reports a disc it cannot read yet.
    void setSpinningUp(bool spinning);
    // After `sectors` more sectors, every audio read fails (a budget of drive time).
    void limitReads(std::optional<int> sectors);
    // Holds every call on the device until released: a drive that does not answer. A
    // call held for long fails.
    void hold();
    void release();
    // Counts calls on the device made from `thread` (the window's thread in a test).
    void watchThread(std::optional<std::thread::id> thread);

    // The drive's time, in microseconds since the library was loaded. It moves only here.
    std::int64_t nowUs() const;
    void advanceTime(std::chrono::microseconds by);
    // When the command now under way ends, if one is.
    std::optional<std::int64_t> busyUntilUs() const;

    Counts counts() const;
    // Forgets what was counted and read so far.
    void resetCounts();
    // The sectors of every audio read command, in order.
    std::vector<std::pair<std::int32_t, int>> reads() const;
    std::vector<Read> readLog() const;
    // Waits until a run of sectors up to `sector` has been read from the disc (single
    // sectors read to move the drive's head do not count); false after a long while.
    bool waitForRead(std::int32_t sector) const;
    // The end of the furthest run of sectors read.
    std::int32_t readUpTo() const;
    // Waits until no handle on the device is open. False when one stays open for long (a
    // leaked handle), so a test fails instead of hanging.
    bool waitUntilClosed() const;
    // Waits until `predicate` holds on the counts, or false after a long while.
    bool waitFor(const std::function<bool(const Counts&)>& predicate) const;
};

// The samples of the fake disc at a sector: the same as the test images' (marked, when the
// drive marks its sectors).
std::vector<std::uint8_t> sectorData(std::int32_t sector, int count);
// The sector a marked first frame names (counted below 16384), or nothing for any other.
std::optional<std::int32_t> markedSector(std::int16_t left, std::int16_t right);

}  // namespace fakecd
