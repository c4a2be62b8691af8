#include "device/cd_drive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

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
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "device/cd_text.h"
#include "device/cdio_toc.h"

namespace sonarch {

namespace {

// Paranoia reads this many sectors for every block it checks against the last one: small,
// so that the first sector after a seek and any sector read again come soon.
constexpr int kParanoiaCacheSectors = 100;
// Paranoia looks at its retry count only when it is a multiple of 5.
constexpr int kParanoiaRetries = 5;
// Failed drive commands in a row after which reading gives up: the disc is gone, or no
// longer turns.
constexpr int kFailuresInARow = 3;
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
std::vector<std::string> systemDrives(const std::string& folder) {
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

// The read paranoia makes of the drive, standing in for its own. A command that fails is
// tried again sector by sector, so that only the sector that cannot be read is lost (as
// silence, and never asked for again). Past a few failures in a row, or as soon as what
// is being read is no longer wanted, it tells paranoia the medium is gone: the one error
// paranoia stops at.
struct ReadGuard {
    const std::atomic<bool>* interrupt = nullptr;
    std::set<std::int32_t>* badSectors = nullptr;  // of this disc
    int failuresInARow = 0;
    bool stopped = false;

    bool mustStop() {
        stopped = stopped || interrupt->load();
        return stopped;
    }
    // Counts a failed command; true when it is time to give up.
    bool failed() {
        stopped = stopped || ++failuresInARow >= kFailuresInARow;
        return stopped;
    }
};
thread_local ReadGuard* t_guard = nullptr;

bool readFromDrive(cdrom_drive_t* d, std::uint8_t* out, lsn_t sector, long count) {
    return cdio_read_audio_sectors(d->p_cdio, out, sector, static_cast<std::uint32_t>(count)) ==
           DRIVER_OP_SUCCESS;
}

long guardedRead(cdrom_drive_t* d, void* buffer, lsn_t begin, long sectors) {
    // Paranoia reads without a buffer only to move the drive's head.
    thread_local std::vector<std::uint8_t> scratch;
    if (!buffer) {
        scratch.resize(std::size_t(std::max(sectors, 0L)) * kBytesPerFrame);
        buffer = scratch.data();
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    ReadGuard* guard = t_guard;
    if (!guard) {
        return readFromDrive(d, out, begin, sectors) ? sectors : -1;
    }
    auto giveUp = [] {
        errno = ENOMEDIUM;
        return -1L;
    };
    if (guard->mustStop()) {
        return giveUp();
    }
    const auto bad = guard->badSectors->lower_bound(begin);
    const bool knownBad = bad != guard->badSectors->end() && *bad < begin + sectors;
    if (!knownBad && sectors > 1) {
        if (readFromDrive(d, out, begin, sectors)) {
            guard->failuresInARow = 0;
            return sectors;
        }
        if (guard->failed()) {
            return giveUp();
        }
    }
    for (long i = 0; i < sectors; ++i) {
        std::uint8_t* to = out + std::size_t(i) * kBytesPerFrame;
        const lsn_t sector = begin + lsn_t(i);
        if (guard->badSectors->contains(sector)) {
            std::memset(to, 0, kBytesPerFrame);
            continue;
        }
        if (guard->mustStop()) {
            return giveUp();
        }
        if (readFromDrive(d, to, sector, 1)) {
            guard->failuresInARow = 0;
            continue;
        }
        if (guard->failed()) {
            return giveUp();
        }
        guard->badSectors->insert(sector);
        std::memset(to, 0, kBytesPerFrame);
    }
    return sectors;
}

// Paranoia over a handle of its own; reader thread only.
class ParanoiaReader {
public:
    ~ParanoiaReader() { close(); }

    bool isOpen() const { return m_paranoia != nullptr; }

    bool open(const std::string& device) {
        close();
        m_cdda = cdio_cddap_identify(device.c_str(), CDDA_MESSAGE_FORGETIT, nullptr);
        if (!m_cdda) {
            return false;
        }
        cdio_cddap_verbose_set(m_cdda, CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
        if (cdio_cddap_open(m_cdda) != 0) {
            close();
            return false;
        }
        // Every failed command is counted and bounded here instead of being retried.
        m_cdda->error_retry = 0;
        m_cdda->read_audio = guardedRead;
        m_badSectors.clear();
        m_paranoia = cdio_paranoia_init(m_cdda);
        if (!m_paranoia) {
            close();
            return false;
        }
        // Overlapped reads catch the jitter of a drive; full checking reads each sector
        // three times over and more, and no checking at all never gives up on a lost disc.
        cdio_paranoia_modeset(m_paranoia, PARANOIA_MODE_OVERLAP);
        cdio_paranoia_cachemodel_size(m_paranoia, kParanoiaCacheSectors);
        m_next = -1;
        return true;
    }

    void close() {
        if (m_paranoia) {
            cdio_paranoia_free(m_paranoia);
            m_paranoia = nullptr;
        }
        if (m_cdda) {
            cdio_cddap_close(m_cdda);
            m_cdda = nullptr;
        }
        m_next = -1;
    }

    enum class Outcome { Read, Lost, Interrupted };

    // Reads one sector into `out` (little-endian). Lost: it could not be read, and `out`
    // holds silence.
    Outcome read(std::int32_t sector, Sector& out, const std::atomic<bool>& interrupt) {
        if (m_next != sector) {
            cdio_paranoia_seek(m_paranoia, sector, SEEK_SET);
        }
        ReadGuard guard{&interrupt, &m_badSectors};
        t_guard = &guard;
        const std::int16_t* samples =
            cdio_paranoia_read_limited(m_paranoia, nullptr, kParanoiaRetries);
        t_guard = nullptr;
        if (interrupt.load()) {
            m_next = -1;
            return Outcome::Interrupted;
        }
        if (samples) {
            std::memcpy(out.data(), samples, kBytesPerFrame);
            samplesToLittleEndian(out);
            m_next = sector + 1;
            return Outcome::Read;
        }
        m_next = -1;
        // One plain try, without paranoia: the sector may read well on its own.
        if (cdio_read_audio_sectors(m_cdda->p_cdio, out.data(), sector, 1) == DRIVER_OP_SUCCESS) {
            if (m_cdda->bigendianp == 1) {
                samplesToLittleEndian(out, std::endian::big);
            }
            return Outcome::Read;
        }
        out.fill(0);
        return Outcome::Lost;
    }

private:
    cdrom_drive_t* m_cdda = nullptr;
    cdrom_paranoia_t* m_paranoia = nullptr;
    std::int32_t m_next = -1;
    std::set<std::int32_t> m_badSectors;
};

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
    bool orphaned = false;

    std::mutex mutex;
    std::condition_variable changed;
    bool quit = false;

    // What the watcher last saw.
    bool present = false;
    std::optional<DiscToc> toc;
    DiscText text;  // read with the table of contents, as the disc may take a while
    bool doorOpen = false;
    std::atomic<std::uint64_t> generation{1};
    bool lastStatusOk = false;
    // What it is asked to do.
    DoorRequest request = DoorRequest::None;
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
    bool readerFailed = false;           // paranoia could not be opened on this disc
    std::uint64_t readerAwaitsLook = 0;  // after a lost sector: the look to wait for
    bool readsCancelled = false;
    // Tells the reader to drop the sector it reads: it is not wanted any more.
    std::atomic<bool> interrupt{false};
    bool readerMustClose = false;
    bool readerClosed = true;

    void interruptReader() {
        interrupt = true;
        changed.notify_all();
    }
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

void moveTray(Shared& s, DoorRequest request) {
    if (request == DoorRequest::Open) {
        if (!closeReader(s)) {
            return;
        }
        CdIo_t* cdio = cdio_open(s.device.c_str(), DRIVER_DEVICE);
        if (cdio) {
            // libcdio frees the handle only when the tray opened.
            cdio_eject_media(&cdio);
            if (cdio) {
                cdio_destroy(cdio);
            }
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
    if (s.request == DoorRequest::Open) {
        return;  // the tray is about to open: what was seen is out of date already
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
    while (!s.quit) {
        s.changed.wait_for(lock, s.settings.lookInterval, [&s] {
            return s.quit || s.request != DoorRequest::None || s.lookWanted;
        });
        if (s.quit) {
            break;
        }
        const DoorRequest request = std::exchange(s.request, DoorRequest::None);
        s.lookWanted = false;
        ++s.looksStarted;
        lock.unlock();
        look(s, request);
        lock.lock();
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

void readAhead(std::shared_ptr<Shared> shared) {
    Shared& s = *shared;
    ParanoiaReader reader;
    std::uint64_t readerGeneration = 0;
    Sector sector{};
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
        const bool audio = isAudioSector(*s.toc, *next);
        const std::uint64_t repositions = s.repositions;
        s.readerClosed = false;
        lock.unlock();

        ParanoiaReader::Outcome outcome = ParanoiaReader::Outcome::Read;
        bool opened = true;
        if (!audio) {
            sector.fill(0);  // a data track or the gap between sessions: nothing to hear
        } else {
            if (!reader.isOpen() || readerGeneration != generation) {
                readerGeneration = generation;
                opened = reader.open(s.device);
            }
            if (opened) {
                outcome = reader.read(*next, sector, s.interrupt);
            }
        }

        lock.lock();
        if (s.generation.load() != generation || s.repositions != repositions ||
            outcome == ParanoiaReader::Outcome::Interrupted) {
            continue;
        }
        if (!opened) {
            // Tried once for each disc: a drive that cannot read it now will not soon.
            s.readerFailed = true;
            s.changed.notify_all();
            continue;
        }
        if (s.bufferStart + std::int32_t(s.buffer.size()) == *next) {
            s.buffer.push_back(sector);
        }
        if (outcome == ParanoiaReader::Outcome::Lost) {
            // Heard as silence. It may be a scratch, or the disc is gone: the watcher
            // looks before the reader goes on.
            s.lookWanted = true;
            s.readerAwaitsLook = s.looksStarted + 1;
        }
        s.changed.notify_all();
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

void samplesToLittleEndian(std::span<std::uint8_t> bytes, std::endian host) {
    if (host != std::endian::big) {
        return;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::swap(bytes[i], bytes[i + 1]);
    }
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
        const std::vector<std::string> drives = systemDrives(settings.deviceFolder);
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
    // Only asked for: the watcher moves the tray, and the disc is gone for the device now.
    s.request = DoorRequest::Open;
    s.present = false;
    s.toc.reset();
    ++s.generation;
    s.interruptReader();
    return true;
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

// Its sectors come from memory: small pieces pass on what was read while the reader waits
// on the drive.
int CdDrive::sectorsPerRead() const {
    return 8;
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

void CdDrive::waitUntilSettled() {
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] {
        return (s.looksDone >= 1 && s.request == DoorRequest::None &&
                s.looksDone >= s.looksStarted) ||
               s.quit;
    });
}

}  // namespace sonarch
