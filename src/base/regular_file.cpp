#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace sonarch {

namespace {

bool regularOfAtMost(const struct stat& info, std::size_t limit) {
    return S_ISREG(info.st_mode) && info.st_size >= 0 && std::size_t(info.st_size) <= limit;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit) {
    struct stat info {};
    // Looked at first, so that a pipe is never opened: opening one lets a writer waiting on
    // it go on.
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !regularOfAtMost(info, limit)) {
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    if (::fstat(fd, &info) == 0 && regularOfAtMost(info, limit)) {
        bytes.emplace();
        bytes->reserve(std::size_t(info.st_size));
        std::array<char, 65536> buffer{};
        for (;;) {
            const ssize_t count = ::read(fd, buffer.data(), buffer.size());
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                bytes.reset();
                break;
            }
            if (count == 0) {
                break;
            }
            bytes->append(buffer.data(), std::size_t(count));
            // A file that grows while it is read is cut off at the bound.
            if (bytes->size() > limit) {
                bytes.reset();
                break;
            }
        }
    }
    ::close(fd);
    return bytes;
}

}  // namespace sonarch
