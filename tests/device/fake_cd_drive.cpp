#include "fake_cd_drive.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace fakecd {

namespace {

constexpr int kSectorBytes = 2352;
constexpr int kSamplesPerSector = 588;
// How long a wait for the code under test may take before a test calls it a failure.
constexpr auto kPatience = std::chrono::seconds(20);

template <typename F>
F real(const char* name) {
    static_assert(sizeof(F) == sizeof(void*));
    void* symbol = dlsym(RTLD_NEXT, name);
    if (!symbol) {
        std::fprintf(stderr, "fake drive: no %s to pass calls on to\n", name);
        std::abort();
    }
    F f;
    std::memcpy(&f, &symbol, sizeof f);
    return f;
}

bool tracing() {
    static const bool on = std::getenv("FAKECD_TRACE") != nullptr;
    return on;
}

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::string path;
    Tray tray = Tray::Closed;
    std::optional<Disc> disc;
    bool mediaChanged = false;
    bool canClose = true;
    bool denied = false;
    bool spinning = false;
    bool held = false;
    std::set<std::int32_t> bad;
    std::optional<int> budget;
    std::optional<std::thread::id> watched;
    std::set<int> fds;
    Counts counts;
    std::vector<std::pair<std::int32_t, int>> reads;
    std::int32_t readUpTo = 0;  // the end of the furthest run of sectors read

    bool readable() const { return tray == Tray::Closed && disc && !spinning; }
};

State& state() {
    static State* s = new State;  // never destroyed: threads may outlive main
    return *s;
}

// Every call on the device passes here first: it may be held, and it is counted.
// A call held for too long fails instead, so that a test fails rather than hangs.
std::unique_lock<std::mutex> enter(State& s, bool& timedOut) {
    std::unique_lock lock(s.mutex);
    if (s.watched && *s.watched == std::this_thread::get_id()) {
        ++s.counts.callsFromWatchedThread;
    }
    timedOut = !s.changed.wait_for(lock, kPatience, [&s] { return !s.held; });
    if (timedOut) {
        ++s.counts.heldTooLong;
    }
    return lock;
}

bool isDevicePath(const char* path) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return path && !s.path.empty() && s.path == path;
}

bool isDeviceFd(int fd) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.fds.contains(fd);
}

gid_t cdromGroup() {
    const group* g = getgrnam("cdrom");
    return g ? g->gr_gid : 24;
}

void fillStat(struct stat* st) {
    std::memset(st, 0, sizeof *st);
    st->st_mode = S_IFBLK | 0660;
    st->st_rdev = makedev(11, 0);
    st->st_gid = cdromGroup();
    st->st_nlink = 1;
}

std::int16_t sample(std::int64_t discSample) {
    return static_cast<std::int16_t>(((discSample * 37) % 30011 - 15005) * 2);
}

// Fills `out` with `count` sectors from `lba`, or says why the drive cannot.
bool readSectors(State& s, std::int32_t lba, int count, std::uint8_t* out) {
    ++s.counts.readCommands;
    s.counts.sectorsRead += count;
    if (tracing()) {
        std::fprintf(stderr, "fake drive: read %d +%d\n", lba, count);
    }
    s.reads.emplace_back(lba, count);
    bool ok = s.readable() && count >= 0 && lba >= 0 && lba + count <= s.disc->leadout;
    if (ok && s.budget) {
        ok = *s.budget >= count;
        *s.budget = std::max(0, *s.budget - count);
    }
    for (int i = 0; ok && i < count; ++i) {
        const std::int32_t sector = lba + i;
        ok = !s.bad.contains(sector);
        int track = -1;
        for (std::size_t t = 0; t < s.disc->tracks.size(); ++t) {
            if (s.disc->tracks[t].start <= sector) {
                track = int(t);
            }
        }
        // Only audio sectors read as audio; the gap between two sessions is not there.
        ok = ok && track >= 0 && s.disc->tracks[track].audio;
        if (ok && s.disc->lastSession && track + 1 < int(s.disc->tracks.size()) &&
            !s.disc->tracks[track + 1].audio && sector >= *s.disc->lastSession - 11400) {
            ok = false;
        }
    }
    if (!ok) {
        ++s.counts.failedReads;
        s.changed.notify_all();
        return false;
    }
    const auto data = sectorData(lba, count);
    std::memcpy(out, data.data(), data.size());
    if (count > 1) {
        s.readUpTo = std::max(s.readUpTo, lba + count);
    }
    s.changed.notify_all();
    return true;
}

void toMsf(std::int32_t lba, cdrom_msf0& msf) {
    const std::int32_t address = lba + 150;
    msf.minute = static_cast<std::uint8_t>(address / 4500);
    msf.second = static_cast<std::uint8_t>(address / 75 % 60);
    msf.frame = static_cast<std::uint8_t>(address % 75);
}

std::int32_t fromMsf(const cdrom_msf0& msf) {
    return msf.minute * 4500 + msf.second * 75 + msf.frame - 150;
}

void changeMedia(State& s) {
    s.mediaChanged = true;
    s.changed.notify_all();
}

// Moves the tray as CDROMEJECT / CDROMCLOSETRAY do; returns 0 or an errno value.
int moveTray(State& s, bool open) {
    if (open) {
        // The kernel refuses to eject a drive that someone else holds open.
        if (s.fds.size() > 1) {
            return EBUSY;
        }
        if (s.tray == Tray::Closed) {
            s.tray = Tray::Open;
            ++s.counts.ejects;
            if (s.disc) {
                changeMedia(s);
            }
        }
        return 0;
    }
    if (!s.canClose) {
        return ENOSYS;
    }
    if (s.tray == Tray::Open) {
        s.tray = Tray::Closed;
        if (s.disc) {
            changeMedia(s);
        }
    }
    return 0;
}

int tocHeader(State& s, cdrom_tochdr* header) {
    if (!s.readable()) {
        return EIO;
    }
    header->cdth_trk0 = 1;
    header->cdth_trk1 = static_cast<std::uint8_t>(s.disc->tracks.size());
    return 0;
}

int tocEntry(State& s, cdrom_tocentry* entry) {
    if (!s.readable()) {
        return EIO;
    }
    const int count = int(s.disc->tracks.size());
    std::int32_t lba = 0;
    bool audio = true;
    if (entry->cdte_track == CDROM_LEADOUT) {
        lba = s.disc->leadout;
    } else if (entry->cdte_track >= 1 && entry->cdte_track <= count) {
        lba = s.disc->tracks[entry->cdte_track - 1].start;
        audio = s.disc->tracks[entry->cdte_track - 1].audio;
    } else {
        return EINVAL;
    }
    entry->cdte_adr = 1;
    entry->cdte_ctrl = audio ? 0 : 4;
    entry->cdte_datamode = audio ? 0 : 1;
    if (entry->cdte_format == CDROM_LBA) {
        entry->cdte_addr.lba = lba;
    } else {
        toMsf(lba, entry->cdte_addr.msf);
    }
    return 0;
}

int multisession(State& s, cdrom_multisession* ms) {
    if (!s.readable()) {
        return EIO;
    }
    const std::int32_t lba = s.disc->lastSession.value_or(0);
    ms->xa_flag = s.disc->lastSession ? 1 : 0;
    if (ms->addr_format == CDROM_LBA) {
        ms->addr.lba = lba;
    } else {
        toMsf(lba, ms->addr.msf);
    }
    return 0;
}

std::uint32_t be(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = v << 8 | p[i];
    }
    return v;
}

// One MMC command: returns true when the drive carried it out.
bool packet(State& s, const unsigned char* cdb, unsigned char* buffer, unsigned length) {
    switch (cdb[0]) {
        case 0x00:  // TEST UNIT READY
            return s.readable();
        case 0x12: {  // INQUIRY
            if (length < 36) {
                return false;
            }
            std::memset(buffer, 0, length);
            buffer[0] = 0x05;  // CD/DVD drive
            buffer[1] = 0x80;
            buffer[2] = 0x05;
            buffer[4] = 31;
            std::memcpy(buffer + 8, "SONARCH ", 8);
            std::memcpy(buffer + 16, "FAKE CD DRIVE   ", 16);
            std::memcpy(buffer + 32, "1.0 ", 4);
            return true;
        }
        case 0xBE: {  // READ CD
            const auto lba = static_cast<std::int32_t>(be(cdb + 2, 4));
            const auto count = static_cast<int>(be(cdb + 6, 3));
            if (length < unsigned(count) * kSectorBytes) {
                return false;
            }
            return readSectors(s, lba, count, buffer);
        }
        case 0x1B: {  // START STOP UNIT
            if ((cdb[4] & 0x02) == 0) {
                return true;  // spin up or down
            }
            const bool open = (cdb[4] & 0x01) == 0;
            if (open && !s.fds.empty()) {
                return false;  // the kernel keeps the door locked while the drive is open
            }
            return moveTray(s, open) == 0;
        }
        case 0x1E:  // PREVENT ALLOW MEDIUM REMOVAL
            return true;
        case 0xBB: {  // SET CD SPEED: kilobytes a second
            const std::uint32_t kbs = be(cdb + 2, 2);
            s.counts.speeds.push_back(kbs == 0xFFFF ? 0 : int((kbs + 88) / 176));
            return true;
        }
        case 0x4A: {  // GET EVENT STATUS NOTIFICATION, media class
            if (length < 8) {
                return false;
            }
            std::memset(buffer, 0, length);
            buffer[1] = 6;
            buffer[2] = 0x04;
            buffer[3] = 0x10;
            buffer[5] =
                static_cast<unsigned char>((s.tray == Tray::Open ? 1 : 0) | (s.disc ? 2 : 0));
            return true;
        }
        default:
            if (tracing()) {
                std::fprintf(stderr, "fake drive: MMC command 0x%02X refused\n", cdb[0]);
            }
            return false;
    }
}

int control(State& s, unsigned long request, void* arg) {
    switch (request) {
        case CDROM_DRIVE_STATUS:
            ++s.counts.statusQueries;
            if (s.tray == Tray::Open) {
                return CDS_TRAY_OPEN;
            }
            if (!s.disc) {
                return CDS_NO_DISC;
            }
            return s.spinning ? CDS_DRIVE_NOT_READY : CDS_DISC_OK;
        case CDROM_MEDIA_CHANGED:
            ++s.counts.mediaChangedQueries;
            return std::exchange(s.mediaChanged, false) ? 1 : 0;
        case CDROM_DISC_STATUS:
            if (s.tray == Tray::Open) {
                return CDS_TRAY_OPEN;
            }
            if (!s.disc) {
                return CDS_NO_DISC;
            }
            return std::all_of(s.disc->tracks.begin(), s.disc->tracks.end(),
                               [](const Track& t) { return t.audio; })
                       ? CDS_AUDIO
                       : CDS_MIXED;
        case CDROM_GET_CAPABILITY:
            return CDC_CLOSE_TRAY | CDC_OPEN_TRAY | CDC_LOCK | CDC_SELECT_SPEED |
                   CDC_MULTI_SESSION | CDC_MEDIA_CHANGED | CDC_PLAY_AUDIO | CDC_DRIVE_STATUS |
                   CDC_GENERIC_PACKET;
        case CDROM_SELECT_SPEED:
            s.counts.speeds.push_back(static_cast<int>(reinterpret_cast<std::intptr_t>(arg)));
            return 0;
        case CDROM_LOCKDOOR:
        case CDROM_SET_OPTIONS:
        case CDROM_CLEAR_OPTIONS:
        case CDROMSTOP:
        case CDROMSTART:
            return 0;
        case CDROMEJECT:
        case CDROMCLOSETRAY: {
            const int error = moveTray(s, request == CDROMEJECT);
            errno = error;
            return error ? -1 : 0;
        }
        case CDROMREADTOCHDR:
        case CDROMREADTOCENTRY:
        case CDROMMULTISESSION: {
            const int error = request == CDROMREADTOCHDR
                                  ? tocHeader(s, static_cast<cdrom_tochdr*>(arg))
                              : request == CDROMREADTOCENTRY
                                  ? tocEntry(s, static_cast<cdrom_tocentry*>(arg))
                                  : multisession(s, static_cast<cdrom_multisession*>(arg));
            errno = error;
            return error ? -1 : 0;
        }
        case CDROMREADAUDIO: {
            auto* ra = static_cast<cdrom_read_audio*>(arg);
            const std::int32_t lba =
                ra->addr_format == CDROM_LBA ? ra->addr.lba : fromMsf(ra->addr.msf);
            if (!readSectors(s, lba, ra->nframes, ra->buf)) {
                errno = EIO;
                return -1;
            }
            return 0;
        }
        case CDROM_SEND_PACKET: {
            auto* cgc = static_cast<cdrom_generic_command*>(arg);
            if (!packet(s, cgc->cmd, cgc->buffer, cgc->buflen)) {
                errno = EIO;
                return -1;
            }
            return 0;
        }
        case SG_IO: {
            auto* io = static_cast<sg_io_hdr_t*>(arg);
            const bool done =
                packet(s, io->cmdp, static_cast<unsigned char*>(io->dxferp), io->dxfer_len);
            io->host_status = 0;
            io->driver_status = done ? 0 : 0x08;  // DRIVER_SENSE
            io->status = done ? 0 : 0x02;         // CHECK CONDITION
            io->masked_status = done ? 0 : 0x01;
            io->resid = 0;
            io->sb_len_wr = 0;
            if (!done && io->sbp && io->mx_sb_len >= 14) {
                std::memset(io->sbp, 0, io->mx_sb_len);
                io->sbp[0] = 0x70;
                io->sbp[2] = s.readable() ? 0x03 : 0x02;  // medium error / not ready
                io->sbp[7] = 6;
                io->sbp[12] = s.readable() ? 0x11 : 0x3A;
                io->sb_len_wr = 14;
            }
            return 0;
        }
        default:
            if (tracing()) {
                std::fprintf(stderr, "fake drive: ioctl 0x%lX refused\n", request);
            }
            errno = EINVAL;
            return -1;
    }
}

int openDevice(const char* path, int flags) {
    State& s = state();
    bool timedOut = false;
    auto lock = enter(s, timedOut);
    if (tracing()) {
        std::fprintf(stderr, "fake drive: open %s flags 0x%X\n", path, flags);
    }
    if (timedOut) {
        errno = EIO;
        return -1;
    }
    if (s.denied) {
        errno = EACCES;
        return -1;
    }
    static const auto realOpen = real<int (*)(const char*, int, ...)>("open");
    const int fd = realOpen("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        s.fds.insert(fd);
        ++s.counts.opens;
        ++s.counts.openHandles;
        s.changed.notify_all();
    }
    return fd;
}

}  // namespace

Drive& Drive::instance() {
    static Drive drive;
    return drive;
}

void Drive::install(const std::string& path) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.path = path;
    s.tray = Tray::Closed;
    s.disc.reset();
    s.mediaChanged = false;
    s.canClose = true;
    s.denied = false;
    s.spinning = false;
    s.held = false;
    s.bad.clear();
    s.budget.reset();
    s.watched.reset();
    s.counts = Counts{};
    s.counts.openHandles = int(s.fds.size());
    s.reads.clear();
    s.readUpTo = 0;
    s.changed.notify_all();
}

std::string Drive::path() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.path;
}

void Drive::insert(const Disc& disc) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.disc = disc;
    changeMedia(s);
}

void Drive::remove() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.disc.reset();
    changeMedia(s);
}

void Drive::pushTray(Tray tray) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.tray != tray) {
        s.tray = tray;
        if (s.disc) {
            changeMedia(s);
        }
    }
}

Tray Drive::tray() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.tray;
}

bool Drive::hasDisc() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.disc.has_value();
}

void Drive::consumeMediaChanged() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.mediaChanged = false;
}

void Drive::setCanCloseTray(bool can) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.canClose = can;
}

void Drive::setPermissionDenied(bool denied) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.denied = denied;
}

void Drive::setBadSectors(std::set<std::int32_t> sectors) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.bad = std::move(sectors);
}

void Drive::setSpinningUp(bool spinning) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.spinning = spinning;
    s.changed.notify_all();
}

void Drive::limitReads(std::optional<int> sectors) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.budget = sectors;
}

void Drive::hold() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.held = true;
}

void Drive::release() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.held = false;
    s.changed.notify_all();
}

void Drive::watchThread(std::optional<std::thread::id> thread) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.watched = thread;
}

Counts Drive::counts() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.counts;
}

void Drive::resetCounts() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    const int open = s.counts.openHandles;
    s.counts = Counts{};
    s.counts.openHandles = open;
    s.reads.clear();
    s.readUpTo = 0;
}

std::vector<std::pair<std::int32_t, int>> Drive::reads() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.reads;
}

bool Drive::waitForRead(std::int32_t sector) const {
    State& s = state();
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, kPatience, [&] { return s.readUpTo > sector; });
}

bool Drive::waitUntilClosed() const {
    return waitFor([](const Counts& c) { return c.openHandles == 0; });
}

bool Drive::waitFor(const std::function<bool(const Counts&)>& predicate) const {
    State& s = state();
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, kPatience, [&] { return predicate(s.counts); });
}

std::vector<std::uint8_t> sectorData(std::int32_t sector, int count) {
    std::vector<std::uint8_t> bytes(std::size_t(count) * kSectorBytes);
    std::uint8_t* p = bytes.data();
    for (std::int64_t i = 0; i < std::int64_t{count} * kSamplesPerSector; ++i) {
        const auto left =
            static_cast<std::uint16_t>(sample(std::int64_t{sector} * kSamplesPerSector + i));
        const auto right = static_cast<std::uint16_t>(-static_cast<std::int16_t>(left));
        *p++ = static_cast<std::uint8_t>(left & 0xff);
        *p++ = static_cast<std::uint8_t>(left >> 8);
        *p++ = static_cast<std::uint8_t>(right & 0xff);
        *p++ = static_cast<std::uint8_t>(right >> 8);
    }
    return bytes;
}

}  // namespace fakecd

using fakecd::isDeviceFd;
using fakecd::isDevicePath;

// The calls this library takes the place of. Everything not about the fake device goes
// on to the C library unchanged.
extern "C" {

// Both opens take a mode only when they may create the file.
#define SONARCH_FAKE_OPEN(name)                                                       \
    int name(const char* path, int flags, ...) {                                      \
        if (isDevicePath(path)) {                                                     \
            return fakecd::openDevice(path, flags);                                   \
        }                                                                             \
        mode_t mode = 0;                                                              \
        if (flags & (O_CREAT | O_TMPFILE)) {                                          \
            va_list args;                                                             \
            va_start(args, flags);                                                    \
            mode = va_arg(args, mode_t);                                              \
            va_end(args);                                                             \
        }                                                                             \
        static const auto next = fakecd::real<int (*)(const char*, int, ...)>(#name); \
        return next(path, flags, mode);                                               \
    }
SONARCH_FAKE_OPEN(open)
SONARCH_FAKE_OPEN(open64)
#undef SONARCH_FAKE_OPEN

int close(int fd) {
    static const auto next = fakecd::real<int (*)(int)>("close");
    if (isDeviceFd(fd)) {
        fakecd::State& s = fakecd::state();
        bool timedOut = false;
        auto lock = fakecd::enter(s, timedOut);
        if (s.fds.erase(fd)) {
            if (fakecd::tracing()) {
                std::fprintf(stderr, "fake drive: close %d\n", fd);
            }
            --s.counts.openHandles;
            s.changed.notify_all();
        }
    }
    return next(fd);
}

int stat(const char* path, struct stat* st) {
    if (isDevicePath(path)) {
        fakecd::fillStat(st);
        return 0;
    }
    static const auto next = fakecd::real<int (*)(const char*, struct stat*)>("stat");
    return next(path, st);
}

int lstat(const char* path, struct stat* st) {
    if (isDevicePath(path)) {
        fakecd::fillStat(st);
        return 0;
    }
    static const auto next = fakecd::real<int (*)(const char*, struct stat*)>("lstat");
    return next(path, st);
}

int access(const char* path, int mode) {
    if (isDevicePath(path)) {
        fakecd::State& s = fakecd::state();
        std::lock_guard lock(s.mutex);
        if (s.denied && (mode & (R_OK | W_OK))) {
            errno = EACCES;
            return -1;
        }
        return 0;
    }
    static const auto next = fakecd::real<int (*)(const char*, int)>("access");
    return next(path, mode);
}

char* realpath(const char* path, char* resolved) {
    if (isDevicePath(path)) {
        if (!resolved) {
            return strdup(path);
        }
        std::snprintf(resolved, PATH_MAX, "%s", path);
        return resolved;
    }
    static const auto next = fakecd::real<char* (*)(const char*, char*)>("realpath");
    return next(path, resolved);
}

int fstat(int fd, struct stat* st) {
    if (isDeviceFd(fd)) {
        fakecd::fillStat(st);
        return 0;
    }
    static const auto next = fakecd::real<int (*)(int, struct stat*)>("fstat");
    return next(fd, st);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (isDeviceFd(fd)) {
        fakecd::State& s = fakecd::state();
        bool timedOut = false;
        auto lock = fakecd::enter(s, timedOut);
        ++s.counts.commands;
        if (timedOut) {
            errno = EIO;
            return -1;
        }
        const int result = fakecd::control(s, request, arg);
        if (fakecd::tracing()) {
            std::fprintf(stderr, "fake drive: ioctl 0x%lX -> %d\n", request, result);
        }
        return result;
    }
    static const auto next = fakecd::real<int (*)(int, unsigned long, ...)>("ioctl");
    return next(fd, request, arg);
}

}  // extern "C"
