#include "library/library_check_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sonarch {

namespace {

// The bytes of a SQLite file's header that matter here: the write format (2 for a
// write-ahead log) at 18 and the change counter at 24.
constexpr std::size_t kHeaderLength = 28;

std::int64_t nanoseconds(const struct timespec& time) {
    return std::int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// FNV-1a: a stable short name for a path.
std::string hashName(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 1099511628211ULL;
    }
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return name;
}

std::string line(const std::string& canonical, const LibraryFileStamp& s) {
    std::ostringstream out;
    out << canonical << '\n'
        << s.device << ' ' << s.inode << ' ' << s.size << ' ' << s.modified << ' ' << s.changed
        << ' ' << s.changeCounter << '\n';
    return out.str();
}

std::string canonicalOf(const std::string& library) {
    std::error_code error;
    const auto path = std::filesystem::canonical(library, error);
    return error ? std::string() : path.string();
}

}  // namespace

std::optional<LibraryFileStamp> LibraryFileStamp::of(const std::string& library) {
    const int fd = ::open(library.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    unsigned char header[kHeaderLength] = {};
    const bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                      ::pread(fd, header, kHeaderLength, 0) == ssize_t(kHeaderLength);
    ::close(fd);
    if (!read || header[18] == 2) {
        return std::nullopt;
    }
    LibraryFileStamp stamp;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modified = nanoseconds(info.st_mtim);
    stamp.changed = nanoseconds(info.st_ctim);
    stamp.changeCounter = std::uint32_t(header[24]) << 24 | std::uint32_t(header[25]) << 16 |
                          std::uint32_t(header[26]) << 8 | std::uint32_t(header[27]);
    return stamp;
}

std::optional<std::filesystem::path> LibraryCheckRecord::defaultFolder() {
    std::filesystem::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
        cache = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        cache = std::filesystem::path(home) / ".cache";
    } else {
        return std::nullopt;
    }
    return cache / "qvplayer" / "checked-libraries";
}

std::filesystem::path LibraryCheckRecord::entryOf(const std::string& canonical) const {
    return m_folder / hashName(canonical);
}

bool LibraryCheckRecord::vouchesFor(const std::string& library, const LibraryFileStamp& now) const {
    const std::string canonical = canonicalOf(library);
    if (canonical.empty()) {
        return false;
    }
    std::ifstream in(entryOf(canonical));
    std::stringstream held;
    held << in.rdbuf();
    return in && held.str() == line(canonical, now);
}

void LibraryCheckRecord::remember(const std::string& library, const LibraryFileStamp& stamp) const {
    const std::string canonical = canonicalOf(library);
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (canonical.empty() || error) {
        return;
    }
    std::filesystem::permissions(m_folder, std::filesystem::perms::owner_all, error);
    // Written whole under a scratch name and renamed, so two tools never mix their lines.
    const std::filesystem::path entry = entryOf(canonical);
    std::string scratch = entry.string() + ".XXXXXX";
    const int fd = ::mkstemp(scratch.data());
    if (fd < 0) {
        return;
    }
    const std::string text = line(canonical, stamp);
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    if (!written || ::rename(scratch.c_str(), entry.c_str()) != 0) {
        ::unlink(scratch.c_str());
    }
}

}  // namespace sonarch
