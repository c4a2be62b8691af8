#include "device/images/image_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace sonarch {

namespace {

// A file descriptor that closes itself.
class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

struct Opened {
    int fd = -1;
    std::uint64_t size = 0;
    std::string problem;  // why it cannot be read, when fd < 0
    bool missing = false;
    bool notRegular = false;
};

// Opens `path` for reading when it is a regular file, without ever waiting on it.
Opened openRegular(const std::string& path) {
    Opened result;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        result.missing = errno == ENOENT || errno == ENOTDIR;
        result.problem = std::strerror(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.notRegular = true;
        result.problem = "it is not a regular file";
        return result;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result.missing = errno == ENOENT || errno == ENOTDIR;
        result.problem = std::strerror(errno);
        return result;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.notRegular = true;
        result.problem = "it is not a regular file";
        return result;
    }
    result.fd = fd;
    result.size = std::uint64_t(info.st_size);
    return result;
}

// Reads up to `count` bytes at `offset`; fewer only at the end of the file. -1 on an error.
ssize_t readAt(int fd, std::uint8_t* to, std::size_t count, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, to + done, count - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += std::size_t(got);
    }
    return ssize_t(done);
}

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Finds the sample data of a WAV file holding CD audio.
void findWavData(int fd, CueDataFile& file) {
    std::uint8_t head[12];
    if (readAt(fd, head, 12, 0) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        file.problem = "is not a WAV file";
        return;
    }
    bool formatOk = false;
    std::uint64_t at = 12;
    std::uint8_t chunk[8];
    // Chunks only move forward, so this ends at the end of the file at the latest.
    while (readAt(fd, chunk, 8, at) == 8) {
        const std::uint32_t size = le32(chunk + 4);
        at += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::uint8_t fmt[16];
            if (size < 16 || readAt(fd, fmt, 16, at) != 16) {
                break;
            }
            formatOk = (fmt[0] | fmt[1] << 8) == 1 && (fmt[2] | fmt[3] << 8) == 2 &&
                       le32(fmt + 4) == 44100 && (fmt[14] | fmt[15] << 8) == 16;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!formatOk) {
                file.problem = "is not 44.1 kHz 16-bit stereo PCM";
                return;
            }
            file.dataOffset = at;
            file.dataBytes =
                std::min<std::uint64_t>(size, file.dataBytes - std::min(at, file.dataBytes));
            return;
        }
        at += std::uint64_t(size) + (size & 1);
    }
    file.problem = "holds no sound data";
}

}  // namespace

Result<std::string> ReadSmallFile(const std::string& path, const std::string& kind,
                                  std::size_t limit) {
    using R = Result<std::string>;
    const auto cannot = [&](const std::string& why) {
        return R::failure("The " + kind + " '" + path + "' cannot be read: " + why + ".");
    };
    const Opened opened = openRegular(path);
    if (opened.fd < 0) {
        return cannot(opened.problem);
    }
    const OpenFile file(opened.fd);
    std::string text;
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t count = ::read(file.fd(), buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return cannot(std::strerror(errno));
        }
        if (count == 0) {
            break;
        }
        text.append(buffer.data(), std::size_t(count));
        if (text.size() > limit) {
            return R::failure("'" + path + "' is far too large for a " + kind +
                              "; it is no disc image.");
        }
    }
    return R::success(std::move(text));
}

Result<FileTail> ReadFileTail(const std::string& path, const std::string& kind, std::size_t count) {
    using R = Result<FileTail>;
    const Opened opened = openRegular(path);
    if (opened.fd < 0) {
        return R::failure("The " + kind + " '" + path + "' cannot be read: " + opened.problem +
                          ".");
    }
    const OpenFile file(opened.fd);
    FileTail tail;
    tail.fileSize = opened.size;
    const std::size_t wanted = std::size_t(std::min<std::uint64_t>(count, opened.size));
    tail.offset = opened.size - wanted;
    tail.bytes.resize(wanted);
    const ssize_t got = readAt(file.fd(), tail.bytes.data(), wanted, tail.offset);
    if (got < 0) {
        return R::failure("The " + kind + " '" + path +
                          "' cannot be read: " + std::strerror(errno) + ".");
    }
    if (std::size_t(got) != wanted) {
        return R::failure("The " + kind + " '" + path + "' changed while it was being read.");
    }
    return R::success(std::move(tail));
}

CueDataFile LookUpDataFile(const std::string& path, bool wave) {
    CueDataFile file;
    const Opened opened = openRegular(path);
    if (opened.missing) {
        return file;
    }
    file.found = true;
    if (opened.fd < 0) {
        file.problem =
            opened.notRegular ? "is not a regular file" : "cannot be read: " + opened.problem;
        return file;
    }
    const OpenFile open(opened.fd);
    file.dataBytes = opened.size;
    if (wave) {
        findWavData(open.fd(), file);
    }
    return file;
}

}  // namespace sonarch
