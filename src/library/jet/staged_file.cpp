#include "library/jet/staged_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace sonarch {

namespace {

std::string inQuotes(const std::string& path) {
    return "\"" + path + "\"";
}

std::string exists(const std::string& path) {
    return inQuotes(path) + " already exists; choose a new file name.";
}

}  // namespace

Result<std::unique_ptr<StagedFile>> StagedFile::create(const std::string& target) {
    using R = Result<std::unique_ptr<StagedFile>>;
    namespace fs = std::filesystem;
    struct stat info {};
    if (target.empty()) {
        return R::failure("No file name was given for the new library.");
    }
    if (::lstat(target.c_str(), &info) == 0) {
        return R::failure(exists(target));
    }
    const fs::path where = fs::path(target).parent_path();
    const std::string folder = where.empty() ? std::string(".") : where.string();
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return R::failure(inQuotes(target) + " cannot be made: the folder " + inQuotes(folder) +
                          " does not exist.");
    }
    // A hidden name of its own beside the target, made with the permissions any new file
    // of the user gets.
    std::random_device random;
    const std::string stem = (where / ("." + fs::path(target).filename().string())).string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string scratch = stem + ".import-" + std::to_string(random() % 1000000);
        const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return R::success(std::unique_ptr<StagedFile>(new StagedFile(target, scratch)));
        }
        if (errno != EEXIST) {
            return R::failure(inQuotes(target) + " cannot be made: " + std::strerror(errno) + ".");
        }
    }
    return R::failure(inQuotes(target) + " cannot be made: no scratch name was free beside it.");
}

StagedFile::~StagedFile() {
    if (!m_placed) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            ::unlink((m_scratch + suffix).c_str());
        }
    }
}

Result<bool> StagedFile::place() {
    using R = Result<bool>;
    // A hard link never replaces a file; where the file system has none, a rename that
    // refuses to replace; where that is missing too, the name taken first.
    if (::link(m_scratch.c_str(), m_target.c_str()) == 0) {
        ::unlink(m_scratch.c_str());
        m_placed = true;
        return R::success(true);
    }
    if (errno == EEXIST) {
        return R::failure(exists(m_target));
    }
    if (::renameat2(AT_FDCWD, m_scratch.c_str(), AT_FDCWD, m_target.c_str(), RENAME_NOREPLACE) ==
        0) {
        m_placed = true;
        return R::success(true);
    }
    if (errno == EEXIST) {
        return R::failure(exists(m_target));
    }
    const int fd = ::open(m_target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return R::failure(errno == EEXIST ? exists(m_target)
                                          : inQuotes(m_target) +
                                                " cannot be made: " + std::strerror(errno) + ".");
    }
    ::close(fd);
    if (::rename(m_scratch.c_str(), m_target.c_str()) != 0) {
        const int why = errno;
        ::unlink(m_target.c_str());
        return R::failure(inQuotes(m_target) + " cannot be made: " + std::strerror(why) + ".");
    }
    m_placed = true;
    return R::success(true);
}

}  // namespace sonarch
