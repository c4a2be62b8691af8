#pragma once

// A CD drive that exists only in this process: a shared library that takes the place of
// open, close, stat and ioctl for one device path and answers the Linux CD-ROM ioctls and
// MMC packet commands the way a real drive behind the kernel's sr driver does. The real
// drive backend runs against it unchanged, so the tests see the commands it sends.
//
// The test executable links the library ahead of the C library, so every call into the C
// library, libcdio's and paranoia's included, passes through it first (as with LD_PRELOAD).

#include <cstdint>
#include <functional>
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
};

enum class Tray { Closed, Open };

struct Counts {
    int opens = 0;          // successful opens of the device
    int openHandles = 0;    // open now
    int commands = 0;       // every ioctl
    int sectorsRead = 0;    // audio sectors asked for, read or not
    int readCommands = 0;   // audio read commands
    int failedReads = 0;    // audio read commands that failed
    int ejects = 0;         // ejects that opened the tray
    int statusQueries = 0;  // CDROM_DRIVE_STATUS
    int mediaChangedQueries = 0;
    int callsFromWatchedThread = 0;
    int heldTooLong = 0;      // calls held until they failed
    std::vector<int> speeds;  // every speed set, in units of 1x (176 kB/s)
};

// The one fake drive. All members are safe to call from any thread.
class Drive {
public:
    static Drive& instance();

    // Puts the drive at `path` (nothing exists there beforehand: the path is only seen
    // through this library), empty with its tray closed. Forgets the previous drive.
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
    void setCanCloseTray(bool can);  // a laptop tray cannot
    void setPermissionDenied(bool denied);
    void setBadSectors(std::set<std::int32_t> sectors);
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

    Counts counts() const;
    // Forgets what was counted and read so far.
    void resetCounts();
    // The sectors of every audio read command, in order.
    std::vector<std::pair<std::int32_t, int>> reads() const;
    // Waits until a run of sectors up to `sector` has been read from the disc (single
    // sectors read to move the drive's head do not count); false after a long while.
    bool waitForRead(std::int32_t sector) const;
    // Waits until no handle on the device is open. False when one stays open for long (a
    // leaked handle), so a test fails instead of hanging.
    bool waitUntilClosed() const;
    // Waits until `predicate` holds on the counts, or false after a long while.
    bool waitFor(const std::function<bool(const Counts&)>& predicate) const;
};

// The samples of the fake disc at a sector: the same as the test images'.
std::vector<std::uint8_t> sectorData(std::int32_t sector, int count);

}  // namespace fakecd
