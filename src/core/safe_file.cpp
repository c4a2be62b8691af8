#include "core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace sonarch {

namespace {

constexpr std::string_view kTemporarySuffix = ".tmp-";

std::string errorText(int error) {
    return std::generic_category().message(error);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name in its folder's real place, so a temporary file made beside it lands beside it.
std::string inRealFolder(const std::string& path) {
    char* folder = ::realpath(folderOf(path).c_str(), nullptr);
    if (folder == nullptr) {
        return path;
    }
    const std::string real = folder;
    std::free(folder);
    return (real == "/" ? real : real + "/") + path.substr(path.rfind('/') + 1);
}

// Temporary files left behind by a save that was cut short (the process was killed).
void removeLeftoverTemporaries(const std::string& target, FileOps& files) {
    const std::filesystem::path targetPath(target);
    const std::string prefix = targetPath.filename().string() + std::string(kTemporarySuffix);
    std::error_code error;
    std::filesystem::directory_iterator entries(targetPath.parent_path(), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            files.remove(entries->path().string());
        }
    }
}

}  // namespace

int PosixFileOps::createTemporary(std::string& pathTemplate, int& fd) {
    fd = ::mkostemp(pathTemplate.data(), O_CLOEXEC);
    return fd < 0 ? errno : 0;
}

int PosixFileOps::setMode(int fd, unsigned mode) {
    return ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int PosixFileOps::writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int PosixFileOps::sync(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int PosixFileOps::close(int fd) {
    // Linux releases the descriptor even when close reports an error, so no retry.
    return ::close(fd) == 0 ? 0 : errno;
}

int PosixFileOps::rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int PosixFileOps::remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int PosixFileOps::syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

unsigned PosixFileOps::userId() const {
    return ::geteuid();
}

/*
 * A link in the place of a private file is how another account (or a mistake) makes the
 * program write somewhere it should not: root cutting /etc/passwd down to a settings file,
 * a user's file overwritten through a link another account planted, a file made wherever a
 * dangling link points. So a link is followed only as far as the user's own links go, and
 * only to the user's own regular file; root follows none.
 */
Result<std::string> OwnFileBehind(const std::string& path, unsigned user) {
    using R = Result<std::string>;
    constexpr int kMaxLinks = 40;  // what the kernel itself follows
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT) {
                return R::failure("Could not look at " + current + ": " + errorText(errno));
            }
            if (hop > 0) {
                return R::failure(path + " is a symbolic link to " + current +
                                  ", which does not exist, and the player makes no file "
                                  "where a link points.");
            }
            return R::success(inRealFolder(current));
        }
        if (!S_ISLNK(info.st_mode)) {
            if (!S_ISREG(info.st_mode)) {
                return R::failure(current +
                                  " is not a regular file, and only a regular file is replaced.");
            }
            if (hop > 0 && info.st_uid != user) {
                return R::failure(path + " is a symbolic link to " + current +
                                  ", a file of another user.");
            }
            return R::success(inRealFolder(current));
        }
        if (user == 0) {
            return R::failure(path +
                              " is a symbolic link, and the player follows none when run as "
                              "root.");
        }
        if (info.st_uid != user) {
            return R::failure(current + " is a symbolic link made by another user.");
        }
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(current, error);
        if (error) {
            return R::failure("Could not read the link " + current + ": " + error.message());
        }
        current = link.is_absolute() ? link.string()
                                     : (std::filesystem::path(folderOf(current)) / link).string();
    }
    return R::failure(path + " is a symbolic link that leads round in a loop.");
}

FileBytes ReadOwnFile(const std::string& path, std::size_t maxBytes, FileOps& files) {
    FileBytes result;
    const Result<std::string> target = OwnFileBehind(path, files.userId());
    if (!target.ok()) {
        result.error = target.error();
        return result;
    }
    // Non-blocking so that a pipe put in the file's place after the look cannot hang us.
    const int fd = ::open(target.value().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT) {
            result.missing = true;
        } else {
            result.error = "Could not open " + path + ": " + errorText(errno);
        }
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.error = path + " is not a regular file";
        ::close(fd);
        return result;
    }
    std::array<char, 4096> buffer{};
    while (result.bytes.size() < maxBytes) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            result.error = "Could not read " + path + ": " + errorText(errno);
            break;
        }
        if (count == 0) {
            break;
        }
        result.bytes.append(buffer.data(), static_cast<std::size_t>(count));
    }
    ::close(fd);
    return result;
}

/*
 * The bytes are written to a temporary file beside the target, synced to disk, and only then
 * renamed over it. A rename within one folder is atomic, so at every moment the name holds
 * either the complete old file or the complete new one: a full disk, an I/O error or a crash
 * part-way leaves the previous file untouched.
 */
Result<std::string> WriteOwnFile(const std::string& path, std::string_view bytes, unsigned newMode,
                                 FileOps& files) {
    const Result<std::string> resolved = OwnFileBehind(path, files.userId());
    if (!resolved.ok()) {
        return resolved;
    }
    const std::string& target = resolved.value();

    std::string temporary = target + std::string(kTemporarySuffix) + "XXXXXX";
    int fd = -1;
    if (const int error = files.createTemporary(temporary, fd)) {
        return Result<std::string>::failure("Could not create a temporary file beside " + target +
                                            ": " + errorText(error));
    }
    const auto fail = [&](const std::string& what, int error, bool open) {
        if (open) {
            files.close(fd);
        }
        files.remove(temporary);
        return Result<std::string>::failure("Could not " + what + ": " + errorText(error));
    };

    // Keep the permissions of the file being replaced (the temporary one starts private).
    struct stat info {};
    const unsigned mode = ::stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : newMode;
    if (const int error = files.setMode(fd, mode)) {
        return fail("set the permissions of " + temporary, error, true);
    }
    if (const int error = files.writeAll(fd, bytes)) {
        return fail("write " + temporary, error, true);
    }
    if (const int error = files.sync(fd)) {
        return fail("flush " + temporary + " to disk", error, true);
    }
    if (const int error = files.close(fd)) {
        return fail("close " + temporary, error, false);
    }
    if (const int error = files.rename(temporary, target)) {
        return fail("replace " + target + " by " + temporary, error, false);
    }
    // The new file is complete and in place; syncing the folder only makes the rename itself
    // survive a power cut, and the file is sound whether or not it succeeds.
    files.syncFolder(folderOf(target));
    removeLeftoverTemporaries(target, files);
    return Result<std::string>::success(target);
}

}  // namespace sonarch
