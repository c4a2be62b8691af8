#include "device/drives/cd_drive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <fcntl.h>
#include <grp.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "device/drives/damage_walk.h"
#include "device/drives/sector_reader.h"
#include "device/images/cd_text.h"
#include "device/images/cdio_toc.h"

namespace sonarch {

namespace {

// Sectors the playback thread takes at a time: they come from memory, and small pieces
// pass on what was read while the reader works its way past damage.
constexpr int kSectorsPerRead = 8;
// The data session of an Enhanced CD is preceded by the audio session's lead-out and
// its own lead-in.
constexpr std::int32_t kSessionGap = 11400;
// 99 minutes: no disc is longer.
constexpr std::int32_t kMaxDiscSectors = 99 * 60 * kFramesPerSecond;

using Sector = std::array<std::uint8_t, kBytesPerFrame>;

enum class DoorRequest { None, Open, Close };

// Drives destroyed while their threads still run.
std::mutex g_endedMutex;
std::condition_variable g_endedChanged;
int g_unendedDrives = 0;

bool sameToc(const DiscToc& a, const DiscToc& b) {
    return a.leadoutSector == b.leadoutSector && a.audioSessionEnd == b.audioSessionEnd &&
           std::equal(a.tracks.begin(), a.tracks.end(), b.tracks.begin(), b.tracks.end(),
                      [](const TocTrack& x, const TocTrack& y) {
                          return x.number == y.number && x.startSector == y.startSector &&
                                 x.audio == y.audio;
                      });
}

// Whether a sector holds sound that can be read: in an audio track and, on a disc of two
// sessions, inside the audio session.
bool isAudioSector(const DiscToc& toc, std::int32_t sector) {
    if (sector < 0 || sector >= toc.leadoutSector || toc.tracks.empty() ||
        sector < toc.tracks.front().startSector) {
        return false;
    }
    const auto track = std::find_if(toc.tracks.rbegin(), toc.tracks.rend(),
                                    [sector](const auto& t) { return t.startSector <= sector; });
    if (!track->audio) {
        return false;
    }
    return toc.audioSessionEnd == 0 || sector < toc.audioSessionEnd ||
           track->startSector >= toc.audioSessionEnd;
}

std::string groupOf(const struct stat& st) {
    const group* g = getgrgid(st.st_gid);
    return g && g->gr_name && *g->gr_name ? g->gr_name : "cdrom";
}

std::string permissionDenied(const std::string& path, const struct stat& st) {
    return "The drive " + path + " cannot be opened: permission denied (the user may need to be " +
           "in the group " + groupOf(st) + ").";
}

// Checks, without opening the drive (which may wait for it), that it can be opened.
std::optional<std::string> whyNotOpenable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "There is no CD drive '" + path + "'.";
    }
    if (::access(path.c_str(), R_OK) != 0) {
        if (errno == EACCES || errno == EPERM) {
            return permissionDenied(path, st);
        }
        return "The drive " + path + " cannot be opened: " + std::strerror(errno) + ".";
    }
    return std::nullopt;
}

// The system's CD drives, /dev/sr0, /dev/sr1, ... in order.
std::vector<std::string> drivesIn(const std::string& folder) {
    std::vector<std::pair<int, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 3 || name.compare(0, 2, "sr") != 0 ||
            !std::all_of(name.begin() + 2, name.end(),
                         [](char c) { return c >= '0' && c <= '9'; }) ||
            name.size() > 6) {
            continue;
        }
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
            found.emplace_back(std::stoi(name.substr(2)), entry.path().string());
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& [number, path] : found) {
        paths.push_back(std::move(path));
    }
    return paths;
}

// The tray and media as the drive itself reports them.
struct DriveStatus {
    bool answered = false;
    int status = CDS_NO_INFO;
    bool mediaChanged = false;
};

DriveStatus readDriveStatus(const std::string& device) {
    DriveStatus result;
    const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return result;
    }
    const int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (status >= 0) {
        result.answered = true;
        result.status = status;
        // Other programs take this flag too, so it is only a hint.
        result.mediaChanged = ::ioctl(fd, CDROM_MEDIA_CHANGED, CDSL_CURRENT) == 1;
    }
    ::close(fd);
    return result;
}

std::optional<DiscToc> tocOf(CdIo_t* cdio) {
    DiscToc toc = CdioTableOfContents(cdio);
    if (!tocIsPlausible(toc)) {
        return std::nullopt;
    }
    lsn_t lastSession = 0;
    if (cdio_get_last_session(cdio, &lastSession) == DRIVER_OP_SUCCESS) {
        toc.audioSessionEnd = audioSessionEnd(toc, lastSession);
    }
    return toc;
}

}  // namespace

// Everything the watcher, the reader and the callers share. The threads keep it alive,
// so a drive can be destroyed while one of them still waits on the device.
struct CdDrive::Shared {
    Shared(std::string deviceName, Settings driveSettings)
        : device(std::move(deviceName)), settings(std::move(driveSettings)) {}
    ~Shared() {
        if (orphaned) {
            std::lock_guard lock(g_endedMutex);
            --g_unendedDrives;
            g_endedChanged.notify_all();
        }
    }

    const std::string device;
    const Settings settings;
    SteadyClock steady;
    bool orphaned = false;

    std::mutex mutex;
    std::condition_variable changed;
    bool quit = false;

    // What the watcher last saw.
    bool present = false;
    std::optional<DiscToc> toc;
    DiscText text;  // read with the table of contents, as the disc may take a while
    bool doorOpen = false;
    bool becomingReady = false;  // a disc the drive still spins up
    std::atomic<std::uint64_t> generation{1};
    bool lastStatusOk = false;
    // What it is asked to do.
    DoorRequest request = DoorRequest::None;
    bool ejectPending = false;  // from openDoor until the look that tried it
    bool lookWanted = true;
    std::uint64_t looksStarted = 0;
    std::uint64_t looksDone = 0;

    // Sectors read ahead: [bufferStart, bufferStart + buffer.size()) of disc `bufferGeneration`.
    std::deque<Sector> buffer;
    std::int32_t bufferStart = 0;
    std::uint64_t bufferGeneration = 0;
    std::uint64_t repositions = 0;  // counts the times the buffer moved elsewhere
    // What the playback thread asked for last.
    std::int32_t wantedFrom = -1;
    std::int32_t wantedTo = -1;
    bool readerFailed = false;           // the drive cannot read this disc's audio
    std::uint64_t readerAwaitsLook = 0;  // after the disc stopped answering: the look to wait for
    bool readerInCommand = false;        // the reader waits on the drive
    bool watcherLooking = false;         // the watcher asks the drive
    bool readsCancelled = false;
    // Tells the reader to drop the sector it reads: it is not wanted any more.
    std::atomic<bool> interrupt{false};
    bool readerMustClose = false;
    bool readerClosed = true;

    void interruptReader() {
        interrupt = true;
        changed.notify_all();
    }
    // The drive's time, for the reader's budgets.
    const Clock& clock() const { return settings.clock ? *settings.clock : steady; }
};

namespace {

using Shared = CdDrive::Shared;

// watcher thread: has the reader let go of the drive, so that the kernel lets it eject.
// False when the drive is going away instead.
bool closeReader(Shared& s) {
    std::unique_lock lock(s.mutex);
    s.readerMustClose = true;
    s.interruptReader();
    s.changed.wait(lock, [&s] { return s.readerClosed || s.quit; });
    return !s.quit;
}

void letReaderOpen(Shared& s) {
    std::lock_guard lock(s.mutex);
    s.readerMustClose = false;
    s.changed.notify_all();
}

// watcher thread: opens the tray as the kernel's CDROMEJECT does, or asks it shut. The
// tray may stay shut: another program holds the drive, or the drive keeps it locked.
void moveTray(Shared& s, DoorRequest request) {
    if (request == DoorRequest::Open) {
        if (!closeReader(s)) {
            return;
        }
        const int fd = ::open(s.device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::ioctl(fd, CDROMEJECT, 0);
            ::close(fd);
        }
        letReaderOpen(s);
    } else if (request == DoorRequest::Close) {
        driver_id_t driver = DRIVER_DEVICE;
        cdio_close_tray(s.device.c_str(), &driver);
    }
}

struct IdentifiedDisc {
    std::optional<DiscToc> toc;
    DiscText text;
};

// watcher thread: reads the table of contents and the CD-TEXT of a disc found in the
// drive, and sets the speed it is read at.
IdentifiedDisc identifyDisc(const Shared& s) {
    CdIo_t* cdio = cdio_open(s.device.c_str(), DRIVER_DEVICE);
    if (!cdio) {
        return {};
    }
    IdentifiedDisc disc{tocOf(cdio), {}};
    if (disc.toc) {
        disc.text = ReadCdText(cdio);
        cdio_set_speed(cdio, s.settings.speed);
    }
    cdio_destroy(cdio);
    return disc;
}

// watcher thread: one look at the drive, after carrying out what was asked.
void look(Shared& s, DoorRequest request) {
    moveTray(s, request);
    const DriveStatus status = readDriveStatus(s.device);
    bool wasPresent = false;
    bool wasOk = false;
    std::optional<DiscToc> previous;
    {
        std::lock_guard lock(s.mutex);
        wasPresent = s.present;
        wasOk = s.lastStatusOk;
        previous = s.toc;
    }
    // A drive that cannot tell its status is asked for its table every time.
    const bool discReported =
        status.answered && (status.status == CDS_DISC_OK || status.status == CDS_NO_INFO);
    bool present = false;
    std::optional<DiscToc> toc;
    std::optional<DiscText> text;  // nothing: the disc's text as it was
    if (discReported) {
        if (wasPresent && wasOk && !status.mediaChanged && status.status == CDS_DISC_OK) {
            present = true;
            toc = previous;
        } else {
            IdentifiedDisc disc = identifyDisc(s);
            toc = std::move(disc.toc);
            text = std::move(disc.text);
            present = toc.has_value();
        }
    }
    std::lock_guard lock(s.mutex);
    s.lastStatusOk = status.answered && status.status == CDS_DISC_OK;
    s.doorOpen = status.answered && status.status == CDS_TRAY_OPEN;
    s.becomingReady = status.answered && status.status == CDS_DRIVE_NOT_READY;
    if (s.request == DoorRequest::Open) {
        return;  // the tray is about to open: what was seen is out of date already
    }
    if (request == DoorRequest::Open) {
        s.ejectPending = false;  // tried: the tray is where the drive now says
    }
    const bool newDisc =
        present && (!wasPresent || !previous || !sameToc(*previous, *toc) || status.mediaChanged);
    if (newDisc || (wasPresent && !present)) {
        // Counted only now, so the device never pairs the new count with the old contents.
        ++s.generation;
        s.interruptReader();
    }
    s.present = present;
    s.toc = std::move(toc);
    if (!present || text) {
        s.text = present ? std::move(*text) : DiscText{};
    }
    s.changed.notify_all();
}

void watch(std::shared_ptr<Shared> shared) {
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    auto asked = [&s] { return s.quit || s.request != DoorRequest::None || s.lookWanted; };
    while (!s.quit) {
        if (!s.changed.wait_for(lock, s.settings.lookInterval, asked)) {
            // A look of its own would wait in the kernel behind the reader's command (one
            // that fails can take the drive seconds): it comes after it instead.
            s.changed.wait(lock, [&] { return asked() || !s.readerInCommand; });
        }
        if (s.quit) {
            break;
        }
        const DoorRequest request = std::exchange(s.request, DoorRequest::None);
        s.lookWanted = false;
        ++s.looksStarted;
        s.watcherLooking = true;
        lock.unlock();
        look(s, request);
        lock.lock();
        s.watcherLooking = false;
        ++s.looksDone;
        s.changed.notify_all();
    }
}

// The next sector the reader should read, with the mutex held; repositions the buffer
// when the playback thread asked for a place outside it.
std::optional<std::int32_t> nextSectorLocked(Shared& s) {
    if (s.wantedFrom < 0 || !s.present || !s.toc || s.readerFailed ||
        s.looksDone < s.readerAwaitsLook) {
        return std::nullopt;
    }
    const auto end = s.bufferStart + std::int32_t(s.buffer.size());
    if (s.wantedFrom < s.bufferStart || s.wantedFrom > end) {
        s.buffer.clear();
        s.bufferStart = s.wantedFrom;
        ++s.repositions;
    }
    const std::int32_t next = s.bufferStart + std::int32_t(s.buffer.size());
    const std::int32_t limit =
        std::min(s.wantedTo + s.settings.readAheadSectors, s.toc->leadoutSector);
    return next < limit ? std::optional(next) : std::nullopt;
}

// Where the run of sectors that `sector` begins ends: the audio up to the next data track,
// the end of the audio session or the leadout; the rest up to the next audio track.
std::int32_t runEnd(const DiscToc& toc, std::int32_t sector) {
    const bool audio = isAudioSector(toc, sector);
    std::int32_t end = toc.leadoutSector;
    for (const TocTrack& t : toc.tracks) {
        if (t.startSector > sector && t.audio != audio) {
            end = std::min(end, t.startSector);
        }
    }
    if (audio && toc.audioSessionEnd > sector) {
        end = std::min(end, toc.audioSessionEnd);
    }
    return std::max(end, sector + 1);
}

// Hands sectors read (or silence, for null data) over to the buffer, with the mutex held.
// False when they are not wanted any more: another disc, or the playback went elsewhere.
bool deliverLocked(Shared& s, std::uint64_t generation, std::uint64_t repositions,
                   std::int32_t sector, int count, const std::uint8_t* data) {
    if (s.generation.load() != generation || s.repositions != repositions ||
        s.bufferStart + std::int32_t(s.buffer.size()) != sector) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        Sector& to = s.buffer.emplace_back();
        if (data) {
            std::memcpy(to.data(), data + std::size_t(i) * kBytesPerFrame, kBytesPerFrame);
        } else {
            to.fill(0);
        }
    }
    s.changed.notify_all();
    return true;
}

// reader thread, with the mutex held: lets a look of the watcher's go first (its commands
// are quick, and it would wait in the kernel behind the reader's); false when what is
// read is not wanted any more.
bool beginCommandLocked(Shared& s, std::unique_lock<std::mutex>& lock) {
    s.readerInCommand = false;
    s.changed.notify_all();
    s.changed.wait(lock, [&s] { return !s.watcherLooking || s.interrupt.load() || s.quit; });
    if (s.interrupt.load() || s.quit) {
        return false;
    }
    s.readerInCommand = true;
    return true;
}

// How long the sound handed over and not yet taken lasts, with the mutex held.
std::int64_t soundLeftMsLocked(const Shared& s) {
    const std::int32_t end = s.bufferStart + std::int32_t(s.buffer.size());
    const std::int32_t from = std::max(s.wantedFrom, s.bufferStart);
    return std::max<std::int64_t>(end - from, 0) * 1000 / kFramesPerSecond;
}

void readAhead(std::shared_ptr<Shared> shared) {
    Shared& s = *shared;
    SectorReader reader;
    std::uint64_t readerGeneration = 0;
    std::vector<std::uint8_t> run(std::size_t(SectorReader::kMostSectors) * kBytesPerFrame);
    std::unique_lock lock(s.mutex);
    while (!s.quit) {
        if (s.readerMustClose) {
            lock.unlock();
            reader.close();
            lock.lock();
            s.readerClosed = true;
            s.changed.notify_all();
            s.changed.wait(lock, [&s] { return !s.readerMustClose || s.quit; });
            continue;
        }
        const std::uint64_t generation = s.generation.load();
        if (generation != s.bufferGeneration) {
            // Another disc, or none: nothing read from the last one is of use.
            s.buffer.clear();
            s.bufferGeneration = generation;
            s.readerFailed = false;
            s.readerAwaitsLook = 0;
            if (reader.isOpen() && readerGeneration != generation) {
                lock.unlock();
                reader.close();
                lock.lock();
            }
            continue;
        }
        s.interrupt = false;
        const std::optional<std::int32_t> next = nextSectorLocked(s);
        if (!next) {
            s.changed.wait(lock);
            continue;
        }
        const std::uint64_t repositions = s.repositions;
        const std::int32_t end = runEnd(*s.toc, *next);
        const int count = std::min(SectorReader::kMostSectors, end - *next);
        if (!isAudioSector(*s.toc, *next)) {
            // A data track or the gap between sessions: nothing to hear, nothing to read.
            deliverLocked(s, generation, repositions, *next, count, nullptr);
            continue;
        }
        s.readerClosed = false;
        if (!beginCommandLocked(s, lock)) {
            continue;
        }
        lock.unlock();

        bool opened = true;
        if (!reader.isOpen() || readerGeneration != generation) {
            readerGeneration = generation;
            opened = reader.open(s.device);
        }
        SectorRead read{SectorRead::Outcome::Refused, std::nullopt};
        if (opened) {
            const std::int64_t started = s.clock().nowMs();
            read = reader.read(*next, count, run, s.interrupt);
            if (read.outcome == SectorRead::Outcome::Read) {
                lock.lock();
                deliverLocked(s, generation, repositions, *next, count, run.data());
                lock.unlock();
            } else if (read.outcome == SectorRead::Outcome::Unreadable) {
                DamageWalk::Reader walker{
                    [&](std::int32_t sector, int sectors, std::span<std::uint8_t> out) {
                        {
                            std::unique_lock guard(s.mutex);
                            if (!beginCommandLocked(s, guard)) {
                                return SectorRead{SectorRead::Outcome::Interrupted, std::nullopt};
                            }
                        }
                        return reader.read(sector, sectors, out, s.interrupt, false);
                    },
                    [&](std::int32_t sector, int sectors, const std::uint8_t* data) {
                        std::lock_guard guard(s.mutex);
                        return deliverLocked(s, generation, repositions, sector, sectors, data);
                    },
                    [&] {
                        std::lock_guard guard(s.mutex);
                        return soundLeftMsLocked(s);
                    },
                    [&] { return s.clock().nowMs(); }};
                DamageWalk walk(std::move(walker), *next, end, SectorReader::kMostSectors);
                read.outcome = walk.walk(read, s.clock().nowMs() - started);
            }
        }

        lock.lock();
        s.readerInCommand = false;
        s.changed.notify_all();
        if (s.generation.load() != generation || s.repositions != repositions) {
            continue;
        }
        if (!opened || read.outcome == SectorRead::Outcome::Refused) {
            // Tried once for each disc: a drive that cannot read it now will not soon.
            s.readerFailed = true;
        } else if (read.outcome == SectorRead::Outcome::NotReady) {
            // The disc was taken out or stopped turning: the watcher looks before the
            // reader goes on.
            s.lookWanted = true;
            s.readerAwaitsLook = s.looksStarted + 1;
        }
    }
    lock.unlock();
    reader.close();
}

}  // namespace

std::int32_t audioSessionEnd(const DiscToc& toc, std::int32_t lastSessionStart) {
    if (lastSessionStart <= 100) {
        return 0;
    }
    const std::int32_t end = lastSessionStart - kSessionGap;
    for (std::size_t j = toc.tracks.size(); j-- > 1;) {
        const TocTrack& data = toc.tracks[j];
        const TocTrack& audio = toc.tracks[j - 1];
        if (!data.audio && audio.audio) {
            return data.startSector > end && end > audio.startSector ? end : 0;
        }
    }
    return 0;
}

bool tocIsPlausible(const DiscToc& toc) {
    if (toc.tracks.empty() || toc.tracks.size() > 99 || toc.tracks.front().number < 1 ||
        toc.tracks.front().startSector < 0) {
        return false;
    }
    for (std::size_t i = 1; i < toc.tracks.size(); ++i) {
        if (toc.tracks[i].number != toc.tracks[i - 1].number + 1 ||
            toc.tracks[i].startSector <= toc.tracks[i - 1].startSector) {
            return false;
        }
    }
    return toc.tracks.back().number <= 99 && toc.leadoutSector > toc.tracks.back().startSector &&
           toc.leadoutSector <= kMaxDiscSectors;
}

Result<std::unique_ptr<Drive>> CdDrive::open(const std::string& device) {
    return open(device, Settings{});
}

Result<std::unique_ptr<Drive>> CdDrive::open(const std::string& device, const Settings& settings) {
    using R = Result<std::unique_ptr<Drive>>;
    cdio_loglevel_default = CDIO_LOG_ERROR;
    std::string path = device;
    if (path.empty()) {
        // libcdio would pass over the drives it cannot open without a word.
        const std::vector<std::string> drives = drivesIn(settings.deviceFolder);
        if (drives.empty()) {
            return R::failure("No CD drive was found on this computer.");
        }
        std::optional<std::string> firstProblem;
        for (const std::string& candidate : drives) {
            const auto problem = whyNotOpenable(candidate);
            if (!problem) {
                path = candidate;
                break;
            }
            if (!firstProblem) {
                firstProblem = problem;
            }
        }
        if (path.empty()) {
            return R::failure(*firstProblem);
        }
    } else if (const auto problem = whyNotOpenable(path)) {
        return R::failure(*problem);
    }
    auto shared = std::make_shared<Shared>(path, settings);
    std::thread(watch, shared).detach();
    std::thread(readAhead, shared).detach();
    return R::success(std::unique_ptr<Drive>(new CdDrive(std::move(shared))));
}

CdDrive::CdDrive(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

CdDrive::~CdDrive() {
    {
        std::lock_guard ended(g_endedMutex);
        ++g_unendedDrives;
    }
    std::lock_guard lock(m_shared->mutex);
    m_shared->orphaned = true;
    m_shared->quit = true;
    m_shared->interruptReader();
}

bool CdDrive::waitForEndedDrives() {
    std::unique_lock lock(g_endedMutex);
    return g_endedChanged.wait_for(lock, std::chrono::seconds(20),
                                   [] { return g_unendedDrives == 0; });
}

bool CdDrive::mediaPresent() {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->present;
}

DiscText CdDrive::discText() {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->present ? m_shared->text : DiscText{};
}

std::optional<DiscToc> CdDrive::readToc() {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->present ? m_shared->toc : std::nullopt;
}

std::uint64_t CdDrive::discGeneration() const {
    return m_shared->generation.load();
}

bool CdDrive::openDoor() {
    Shared& s = *m_shared;
    std::lock_guard lock(s.mutex);
    // Only asked for: the watcher moves the tray. Until it has, the disc plays on, and it
    // goes on where it was when the drive keeps its tray shut.
    s.request = DoorRequest::Open;
    s.ejectPending = true;
    s.changed.notify_all();
    return true;
}

bool CdDrive::ejectPending() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->ejectPending;
}

bool CdDrive::becomingReady() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->becomingReady;
}

int CdDrive::sectorsPerRead() const {
    return kSectorsPerRead;
}

bool CdDrive::closeDoor() {
    Shared& s = *m_shared;
    std::lock_guard lock(s.mutex);
    s.request = DoorRequest::Close;
    s.changed.notify_all();
    return true;
}

bool CdDrive::isDoorOpen() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->doorOpen;
}

ReadStatus CdDrive::readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) {
    if (count < 0 || out.size() < std::size_t(count) * kBytesPerFrame) {
        return ReadStatus::Failed;
    }
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    if (!s.present || !s.toc) {
        return ReadStatus::NoDisc;
    }
    if (sector < 0 || std::int64_t{sector} + count > s.toc->leadoutSector) {
        return ReadStatus::Failed;
    }
    if (count == 0) {
        return ReadStatus::Ok;
    }
    const std::uint64_t generation = s.generation.load();
    const std::int32_t end = s.bufferStart + std::int32_t(s.buffer.size());
    if (s.bufferGeneration == generation && (sector < s.bufferStart || sector > end)) {
        s.interruptReader();  // what the reader reads now is not wanted
    }
    s.wantedFrom = sector;
    s.wantedTo = sector + count;
    s.changed.notify_all();
    auto covered = [&] {
        return s.bufferGeneration == generation && s.bufferStart <= sector &&
               s.bufferStart + std::int64_t(s.buffer.size()) >= std::int64_t{sector} + count;
    };
    s.changed.wait(lock, [&] {
        return covered() || !s.present || s.generation.load() != generation || s.readerFailed ||
               s.readsCancelled || s.quit;
    });
    if (!covered()) {
        return !s.present || s.generation.load() != generation ? ReadStatus::NoDisc
                                                               : ReadStatus::Failed;
    }
    for (int i = 0; i < count; ++i) {
        const Sector& from = s.buffer[std::size_t(sector - s.bufferStart + i)];
        std::memcpy(out.data() + std::size_t(i) * kBytesPerFrame, from.data(), kBytesPerFrame);
    }
    // What was handed over is done with; the reader fills up behind it.
    while (!s.buffer.empty() && s.bufferStart < sector + count) {
        s.buffer.pop_front();
        ++s.bufferStart;
    }
    s.wantedFrom = sector + count;  // where play goes on
    s.changed.notify_all();
    return ReadStatus::Ok;
}

void CdDrive::cancelReads() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->readsCancelled = true;
    m_shared->changed.notify_all();
}

void CdDrive::resumeReads() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->readsCancelled = false;
}

void CdDrive::lookNow() {
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    const std::uint64_t target = s.looksStarted + 1;
    s.lookWanted = true;
    s.changed.notify_all();
    s.changed.wait(lock, [&] { return s.looksDone >= target || s.quit; });
}

bool CdDrive::waitUntilReady(std::chrono::milliseconds limit) {
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    const std::int64_t start = s.clock().nowMs();
    while (s.becomingReady && !s.quit) {
        if (s.clock().nowMs() - start >= limit.count()) {
            return false;
        }
        const std::uint64_t next = s.looksDone + 1;
        s.changed.wait(lock, [&] { return s.looksDone >= next || s.quit; });
    }
    return true;
}

void CdDrive::waitUntilSettled() {
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] {
        return (s.looksDone >= 1 && s.request == DoorRequest::None &&
                s.looksDone >= s.looksStarted) ||
               s.quit;
    });
}

std::vector<std::string> CdDrive::systemDrives(const std::string& folder) {
    return drivesIn(folder);
}

}  // namespace sonarch
