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
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
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

std::atomic<bool> g_marked{false};

bool tracing() {
    static const bool on = std::getenv("FAKECD_TRACE") != nullptr;
    return on;
}

// Sense data as the drive reports a command it did not carry out.
struct Sense {
    int key = 0;
    int asc = 0;
    int ascq = 0;
    std::optional<std::int32_t> sector;  // the INFORMATION field: where a read failed
};

const Sense kNotReadyNoDisc{0x02, 0x3A, 0x01, std::nullopt};
const Sense kNotReadyTrayOpen{0x02, 0x3A, 0x02, std::nullopt};
const Sense kBecomingReady{0x02, 0x04, 0x01, std::nullopt};
const Sense kInvalidCommand{0x05, 0x20, 0x00, std::nullopt};
const Sense kOutOfRange{0x05, 0x21, 0x00, std::nullopt};
const Sense kInvalidField{0x05, 0x24, 0x00, std::nullopt};
const Sense kRemovalPrevented{0x05, 0x53, 0x02, std::nullopt};
const Sense kIllegalMode{0x05, 0x64, 0x00, std::nullopt};

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::string path;
    Tray tray = Tray::Closed;
    std::optional<Disc> disc;
    bool mediaChanged = false;
    bool canClose = true;
    bool refusesEject = false;
    bool denied = false;
    bool spinning = false;
    bool held = false;
    bool namesFailedSector = true;
    bool accurateStream = true;
    bool readsAudio = true;
    std::set<std::int32_t> bad;
    std::map<std::int32_t, int> flaky;
    std::optional<int> budget;
    std::optional<std::thread::id> watched;
    std::set<int> fds;
    Counts counts;
    std::vector<Read> reads;
    std::int32_t readUpTo = 0;  // the end of the furthest run of sectors read

    Timing timing;
    std::int64_t nowUs = 0;
    std::int64_t spunUpAtUs = 0;  // a disc just put in can be read from then on
    std::int32_t head = -1;       // the sector after the last one read, -1 when lost
    // The kernel's lock on the device: one command reaches the drive at a time.
    bool busy = false;
    std::int64_t busyUntilUs = 0;
    std::int64_t cost = 0;  // drive time the command under way takes, in microseconds

    bool spunUp() const { return !spinning && nowUs >= spunUpAtUs; }
    bool readable() const { return tray == Tray::Closed && disc && spunUp(); }
    Sense whyNotReady() const {
        if (tray == Tray::Open) {
            return kNotReadyTrayOpen;
        }
        return disc ? kBecomingReady : kNotReadyNoDisc;
    }
    void spinUp() {
        spunUpAtUs = nowUs + timing.spinUp.count();
        head = -1;
    }
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

// Waits for the kernel's lock on the device; returns the drive time waited.
std::int64_t takeKernelLock(State& s, std::unique_lock<std::mutex>& lock) {
    const std::int64_t from = s.nowUs;
    if (!s.changed.wait_for(lock, kPatience, [&s] { return !s.busy; })) {
        ++s.counts.heldTooLong;
    }
    s.busy = true;
    s.cost = 0;
    return s.nowUs - from;
}

// Lets the drive time of the command under way pass, then lets the next caller in.
void finishCommand(State& s, std::unique_lock<std::mutex>& lock) {
    s.busyUntilUs = s.nowUs + s.cost;
    s.changed.notify_all();
    if (!s.changed.wait_for(lock, kPatience, [&s] { return s.nowUs >= s.busyUntilUs; })) {
        ++s.counts.heldTooLong;  // nobody moves the drive's time on
    }
    s.busy = false;
    s.changed.notify_all();
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

// Whether a sector holds sound the drive reads as audio.
bool isAudio(const Disc& disc, std::int32_t sector) {
    int track = -1;
    for (std::size_t t = 0; t < disc.tracks.size(); ++t) {
        if (disc.tracks[t].start <= sector) {
            track = int(t);
        }
    }
    if (track < 0 || !disc.tracks[std::size_t(track)].audio) {
        return false;
    }
    // The gap between two sessions is not there.
    return !(disc.lastSession && track + 1 < int(disc.tracks.size()) &&
             !disc.tracks[std::size_t(track) + 1].audio && sector >= *disc.lastSession - 11400);
}

// Fills `out` with `count` sectors from `lba`, or says why the drive cannot; adds the drive
// time it takes to the command's cost.
std::optional<Sense> readSectors(State& s, std::int32_t lba, int count, std::uint8_t* out) {
    ++s.counts.readCommands;
    s.counts.sectorsRead += count;
    if (tracing()) {
        std::fprintf(stderr, "fake drive: read %d +%d at %lld us\n", lba, count,
                     static_cast<long long>(s.nowUs));
    }
    Read read{lba, count, false, s.nowUs, s.nowUs};
    auto failed = [&](const Sense& sense) {
        ++s.counts.failedReads;
        read.failed = true;
        read.endUs = s.nowUs + s.cost;
        s.reads.push_back(read);
        s.changed.notify_all();
        return std::optional(sense);
    };
    if (!s.readable()) {
        return failed(s.whyNotReady());
    }
    if (count < 0 || lba < 0 || lba + count > s.disc->leadout) {
        return failed(kOutOfRange);
    }
    if (s.head != lba) {
        s.cost += s.timing.seek.count();
    }
    for (int i = 0; i < count; ++i) {
        const std::int32_t sector = lba + i;
        if (!isAudio(*s.disc, sector)) {
            s.head = -1;
            return failed(kIllegalMode);
        }
        auto flaky = s.flaky.find(sector);
        const bool worn = flaky != s.flaky.end() && flaky->second > 0;
        const bool spent = s.budget && *s.budget <= 0;
        if (s.bad.contains(sector) || worn || spent) {
            // The drive tries again and again by itself before it gives up.
            s.cost += s.timing.failure.count();
            if (worn) {
                --flaky->second;
            }
            s.head = sector + 1;
            Sense unreadable{0x03, 0x11, 0x05, std::nullopt};
            if (s.namesFailedSector) {
                unreadable.sector = sector;
            }
            return failed(unreadable);
        }
        if (s.budget) {
            --*s.budget;
        }
        s.cost += s.timing.perSector.count();
    }
    s.head = lba + count;
    const auto data = sectorData(lba, count);
    std::memcpy(out, data.data(), data.size());
    read.endUs = s.nowUs + s.cost;
    s.reads.push_back(read);
    if (count > 1) {
        s.readUpTo = std::max(s.readUpTo, lba + count);
    }
    s.changed.notify_all();
    return std::nullopt;
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

// The tray moves out or in on its own: no disc turns any more, or a disc has to spin up.
void moveTrayTo(State& s, Tray tray) {
    if (s.tray == tray) {
        return;
    }
    s.tray = tray;
    s.cost += s.timing.tray.count();
    s.head = -1;
    if (tray == Tray::Closed) {
        s.spinUp();
    }
    if (s.disc) {
        changeMedia(s);
    }
}

// CDROMEJECT as Linux 6.1's sr driver carries it out: refused while another handle is
// open, otherwise straight to START STOP UNIT; returns 0 or an errno value.
int eject(State& s) {
    if (s.fds.size() > 1) {
        return EBUSY;
    }
    if (s.refusesEject && s.tray == Tray::Closed) {
        ++s.counts.refusedEjects;
        return EIO;  // MEDIUM REMOVAL PREVENTED, as the kernel passes it on
    }
    if (s.tray == Tray::Closed) {
        ++s.counts.ejects;
    }
    moveTrayTo(s, Tray::Open);
    return 0;
}

int closeTray(State& s) {
    if (!s.canClose) {
        return ENOSYS;
    }
    moveTrayTo(s, Tray::Closed);
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

// The capabilities page (2Ah) of MODE SENSE, after a header of `header` bytes.
bool capabilitiesPage(State& s, unsigned char* buffer, unsigned length, unsigned header) {
    constexpr unsigned kPage = 20;
    if (length < header + 8) {
        return false;
    }
    std::memset(buffer, 0, length);
    const unsigned size = std::min(length, header + kPage);
    if (header == 8) {
        buffer[1] = static_cast<unsigned char>(size - 2);
    } else {
        buffer[0] = static_cast<unsigned char>(size - 1);
    }
    unsigned char* page = buffer + header;
    page[0] = 0x2A;
    page[1] = kPage - 2;
    page[2] = 0x03;  // reads CD-R and CD-RW
    page[4] = 0x01;  // plays audio
    page[5] = static_cast<unsigned char>(0x01 | (s.accurateStream ? 0x02 : 0));
    page[6] = 0x29;  // locks, ejects, tray
    return true;
}

// One MMC command: nothing when the drive carried it out, else its sense data.
std::optional<Sense> packet(State& s, const unsigned char* cdb, unsigned char* buffer,
                            unsigned length) {
    switch (cdb[0]) {
        case 0x00:  // TEST UNIT READY
            return s.readable() ? std::nullopt : std::optional(s.whyNotReady());
        case 0x12: {  // INQUIRY
            if (length < 36) {
                return kInvalidField;
            }
            std::memset(buffer, 0, length);
            buffer[0] = 0x05;  // CD/DVD drive
            buffer[1] = 0x80;
            buffer[2] = 0x05;
            buffer[4] = 31;
            std::memcpy(buffer + 8, "SONARCH ", 8);
            std::memcpy(buffer + 16, "FAKE CD DRIVE   ", 16);
            std::memcpy(buffer + 32, "1.0 ", 4);
            return std::nullopt;
        }
        case 0xBE: {  // READ CD
            if (!s.readsAudio) {
                return kInvalidCommand;
            }
            const auto lba = static_cast<std::int32_t>(be(cdb + 2, 4));
            const auto count = static_cast<int>(be(cdb + 6, 3));
            if (length < unsigned(count) * kSectorBytes) {
                return kInvalidField;
            }
            return readSectors(s, lba, count, buffer);
        }
        case 0x1B: {  // START STOP UNIT
            if ((cdb[4] & 0x02) == 0) {
                return std::nullopt;  // spin up or down
            }
            if ((cdb[4] & 0x01) == 0) {
                // Sent past the kernel, an eject finds the door locked while the drive is open.
                s.counts.refusedEjects += s.refusesEject ? 1 : 0;
                return kRemovalPrevented;
            }
            return closeTray(s) == 0 ? std::nullopt : std::optional(kInvalidCommand);
        }
        case 0x1E:  // PREVENT ALLOW MEDIUM REMOVAL
            return std::nullopt;
        case 0xBB: {  // SET CD SPEED: kilobytes a second
            const std::uint32_t kbs = be(cdb + 2, 2);
            s.counts.speeds.push_back(kbs == 0xFFFF ? 0 : int((kbs + 88) / 176));
            return std::nullopt;
        }
        case 0x5A:    // MODE SENSE (10)
        case 0x1A: {  // MODE SENSE (6)
            if ((cdb[2] & 0x3F) != 0x2A) {
                return kInvalidField;
            }
            return capabilitiesPage(s, buffer, length, cdb[0] == 0x5A ? 8 : 4)
                       ? std::nullopt
                       : std::optional(kInvalidField);
        }
        case 0x43: {  // READ TOC/PMA/ATIP
            if ((cdb[2] & 0x0F) != 5) {
                return kInvalidField;  // the table itself is read through the kernel
            }
            if (!s.readable()) {
                return s.whyNotReady();
            }
            ++s.counts.cdTextReads;
            s.cost += s.timing.cdText.count();
            const std::vector<std::uint8_t>& packs = s.disc->cdText;
            std::vector<std::uint8_t> reply(4 + packs.size(), 0);
            const std::size_t size = packs.size() + 2;
            reply[0] = static_cast<std::uint8_t>(size >> 8);
            reply[1] = static_cast<std::uint8_t>(size & 0xff);
            std::copy(packs.begin(), packs.end(), reply.begin() + 4);
            const std::size_t wanted = std::min<std::size_t>(be(cdb + 7, 2), length);
            std::memset(buffer, 0, length);
            std::memcpy(buffer, reply.data(), std::min(wanted, reply.size()));
            return std::nullopt;
        }
        case 0x4A: {  // GET EVENT STATUS NOTIFICATION, media class
            if (length < 8) {
                return kInvalidField;
            }
            std::memset(buffer, 0, length);
            buffer[1] = 6;
            buffer[2] = 0x04;
            buffer[3] = 0x10;
            buffer[5] =
                static_cast<unsigned char>((s.tray == Tray::Open ? 1 : 0) | (s.disc ? 2 : 0));
            return std::nullopt;
        }
        default:
            if (tracing()) {
                std::fprintf(stderr, "fake drive: MMC command 0x%02X refused\n", cdb[0]);
            }
            return kInvalidCommand;
    }
}

// Fixed-format sense data, as the kernel hands it back.
void writeSense(const Sense& sense, unsigned char* to, std::size_t room) {
    if (!to || room < 14) {
        return;
    }
    std::memset(to, 0, room);
    to[0] = static_cast<unsigned char>(0x70 | (sense.sector ? 0x80 : 0));
    to[2] = static_cast<unsigned char>(sense.key);
    if (sense.sector) {
        const auto lba = static_cast<std::uint32_t>(*sense.sector);
        to[3] = static_cast<unsigned char>(lba >> 24);
        to[4] = static_cast<unsigned char>(lba >> 16);
        to[5] = static_cast<unsigned char>(lba >> 8);
        to[6] = static_cast<unsigned char>(lba);
    }
    to[7] = 10;
    to[12] = static_cast<unsigned char>(sense.asc);
    to[13] = static_cast<unsigned char>(sense.ascq);
}

int control(State& s, unsigned long request, void* arg) {
    s.cost += s.timing.command.count();
    switch (request) {
        case CDROM_DRIVE_STATUS:
            ++s.counts.statusQueries;
            if (s.tray == Tray::Open) {
                return CDS_TRAY_OPEN;
            }
            if (!s.disc) {
                return CDS_NO_DISC;
            }
            return s.spunUp() ? CDS_DISC_OK : CDS_DRIVE_NOT_READY;
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
            const int error = request == CDROMEJECT ? eject(s) : closeTray(s);
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
            if (readSectors(s, lba, ra->nframes, ra->buf)) {
                errno = EIO;
                return -1;
            }
            return 0;
        }
        case CDROM_SEND_PACKET: {
            auto* cgc = static_cast<cdrom_generic_command*>(arg);
            const std::optional<Sense> sense = packet(s, cgc->cmd, cgc->buffer, cgc->buflen);
            if (sense) {
                writeSense(*sense, reinterpret_cast<unsigned char*>(cgc->sense),
                           sizeof(struct request_sense));
                errno = EIO;
                return -1;
            }
            return 0;
        }
        case SG_IO: {
            auto* io = static_cast<sg_io_hdr_t*>(arg);
            const std::optional<Sense> sense =
                packet(s, io->cmdp, static_cast<unsigned char*>(io->dxferp), io->dxfer_len);
            io->host_status = 0;
            io->driver_status = sense ? 0x08 : 0;  // DRIVER_SENSE
            io->status = sense ? 0x02 : 0;         // CHECK CONDITION
            io->masked_status = sense ? 0x01 : 0;
            io->resid = 0;
            io->sb_len_wr = 0;
            if (sense && io->sbp && io->mx_sb_len >= 14) {
                writeSense(*sense, io->sbp, io->mx_sb_len);
                io->sb_len_wr = 18 < io->mx_sb_len ? 18 : io->mx_sb_len;
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
    // The kernel takes its lock on the device to open it too.
    takeKernelLock(s, lock);
    static const auto realOpen = real<int (*)(const char*, int, ...)>("open");
    const int fd = realOpen("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        s.fds.insert(fd);
        ++s.counts.opens;
        ++s.counts.openHandles;
    }
    finishCommand(s, lock);
    return fd;
}

// Sets one of the drive's properties under its lock.
template <class T, class V>
void assign(T State::*member, V&& value) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.*member = std::forward<V>(value);
}

}  // namespace

Drive& Drive::instance() {
    static Drive drive;
    return drive;
}

Timing realisticTiming(std::chrono::microseconds failure) {
    Timing t;
    t.perSector = std::chrono::microseconds(1'000'000 / 600);
    t.seek = std::chrono::milliseconds(80);
    t.failure = failure;
    t.spinUp = std::chrono::milliseconds(1200);
    t.tray = std::chrono::milliseconds(900);
    t.cdText = std::chrono::milliseconds(300);
    t.command = std::chrono::milliseconds(1);
    return t;
}

void Drive::install(const std::string& path) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.path = path;
    s.tray = Tray::Closed;
    s.disc.reset();
    s.mediaChanged = false;
    s.canClose = true;
    s.refusesEject = false;
    s.denied = false;
    s.spinning = false;
    s.held = false;
    s.namesFailedSector = true;
    s.accurateStream = true;
    s.readsAudio = true;
    s.bad.clear();
    s.flaky.clear();
    s.budget.reset();
    s.watched.reset();
    s.timing = Timing{};
    g_marked = false;
    s.spunUpAtUs = 0;
    s.head = -1;
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
    s.spinUp();
    changeMedia(s);
}

void Drive::remove() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.disc.reset();
    s.head = -1;
    changeMedia(s);
}

void Drive::pushTray(Tray tray) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.tray != tray) {
        s.tray = tray;
        s.head = -1;
        if (tray == Tray::Closed) {
            s.spinUp();
        }
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
    assign(&State::mediaChanged, false);
}

void Drive::setTiming(const Timing& timing) {
    assign(&State::timing, timing);
}

void Drive::setCanCloseTray(bool can) {
    assign(&State::canClose, can);
}

void Drive::setRefusesEject(bool refuses) {
    assign(&State::refusesEject, refuses);
}

void Drive::setPermissionDenied(bool denied) {
    assign(&State::denied, denied);
}

void Drive::setBadSectors(std::set<std::int32_t> sectors) {
    assign(&State::bad, std::move(sectors));
}

void Drive::setFlakySectors(std::map<std::int32_t, int> failures) {
    assign(&State::flaky, std::move(failures));
}

void Drive::setNamesFailedSector(bool names) {
    assign(&State::namesFailedSector, names);
}

void Drive::setAccurateStream(bool accurate) {
    assign(&State::accurateStream, accurate);
}

void Drive::setReadsAudio(bool reads) {
    assign(&State::readsAudio, reads);
}

void Drive::setMarkedSectors(bool marked) {
    g_marked = marked;
}

void Drive::setSpinningUp(bool spinning) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.spinning = spinning;
    s.changed.notify_all();
}

void Drive::limitReads(std::optional<int> sectors) {
    assign(&State::budget, sectors);
}

void Drive::hold() {
    assign(&State::held, true);
}

void Drive::release() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.held = false;
    s.changed.notify_all();
}

void Drive::watchThread(std::optional<std::thread::id> thread) {
    assign(&State::watched, thread);
}

std::int64_t Drive::nowUs() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.nowUs;
}

void Drive::advanceTime(std::chrono::microseconds by) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.nowUs += std::max<std::int64_t>(by.count(), 0);
    s.changed.notify_all();
}

std::optional<std::int64_t> Drive::busyUntilUs() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.busy || s.busyUntilUs <= s.nowUs) {
        return std::nullopt;
    }
    return s.busyUntilUs;
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
    std::vector<std::pair<std::int32_t, int>> runs;
    for (const Read& r : s.reads) {
        runs.emplace_back(r.sector, r.count);
    }
    return runs;
}

std::vector<Read> Drive::readLog() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.reads;
}

bool Drive::waitForRead(std::int32_t sector) const {
    State& s = state();
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, kPatience, [&] { return s.readUpTo > sector; });
}

std::int32_t Drive::readUpTo() const {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.readUpTo;
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
        auto right = static_cast<std::uint16_t>(-static_cast<std::int16_t>(left));
        if (g_marked.load() && i % kSamplesPerSector == 0) {
            const std::int64_t at = sector + i / kSamplesPerSector;
            right = static_cast<std::uint16_t>(((at & 0x3FFF) << 1) | 1);
        }
        *p++ = static_cast<std::uint8_t>(left & 0xff);
        *p++ = static_cast<std::uint8_t>(left >> 8);
        *p++ = static_cast<std::uint8_t>(right & 0xff);
        *p++ = static_cast<std::uint8_t>(right >> 8);
    }
    return bytes;
}

std::optional<std::int32_t> markedSector(std::int16_t left, std::int16_t right) {
    if ((right & 1) == 0 || right == static_cast<std::int16_t>(-left)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint16_t>(right) >> 1);
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
        fakecd::takeKernelLock(s, lock);
        if (s.fds.erase(fd)) {
            if (fakecd::tracing()) {
                std::fprintf(stderr, "fake drive: close %d\n", fd);
            }
            --s.counts.openHandles;
        }
        fakecd::finishCommand(s, lock);
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
        const std::chrono::microseconds waited(fakecd::takeKernelLock(s, lock));
        if (request == CDROM_DRIVE_STATUS) {
            s.counts.longestStatusWait = std::max(s.counts.longestStatusWait, waited);
        }
        const int result = fakecd::control(s, request, arg);
        const int error = errno;
        if (fakecd::tracing()) {
            std::fprintf(stderr, "fake drive: ioctl 0x%lX -> %d\n", request, result);
        }
        fakecd::finishCommand(s, lock);
        errno = error;
        return result;
    }
    static const auto next = fakecd::real<int (*)(int, unsigned long, ...)>("ioctl");
    return next(fd, request, arg);
}

}  // extern "C"
