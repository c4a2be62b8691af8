#pragma once

#include <string>
#include <string_view>

#include "base/result.h"

namespace sonarch {

// The file system calls a save goes through. Each returns 0 or the errno of the failure.
// The program uses PosixFileOps; tests derive from it to make one step fail the way a full
// disk or a failing device would, or to be another user to the files they make.
class FileOps {
public:
    virtual ~FileOps() = default;
    // `pathTemplate` ends in "XXXXXX", which is replaced by a unique name.
    virtual int createTemporary(std::string& pathTemplate, int& fd) = 0;
    virtual int setMode(int fd, unsigned mode) = 0;
    virtual int writeAll(int fd, std::string_view bytes) = 0;
    virtual int sync(int fd) = 0;
    virtual int close(int fd) = 0;
    virtual int rename(const std::string& from, const std::string& to) = 0;
    virtual int remove(const std::string& path) = 0;
    virtual int syncFolder(const std::string& folder) = 0;
    // The user the files are kept for: whose links are followed (none for root).
    virtual unsigned userId() const = 0;
};

class PosixFileOps : public FileOps {
public:
    int createTemporary(std::string& pathTemplate, int& fd) override;
    int setMode(int fd, unsigned mode) override;
    int writeAll(int fd, std::string_view bytes) override;
    int sync(int fd) override;
    int close(int fd) override;
    int rename(const std::string& from, const std::string& to) override;
    int remove(const std::string& path) override;
    int syncFolder(const std::string& folder) override;
    unsigned userId() const override;  // the effective user of the process
};

// The file a private file's name stands for, by its real folder: the name itself when it is
// a regular file or not there yet. A symbolic link is followed only when every link on the
// way belongs to `user` and leads to a regular file of `user`; never for root, never to a
// file that does not exist. Anything else (a device node, a pipe, a link planted by another
// account, a dangling link) fails, saying why in plain words.
Result<std::string> OwnFileBehind(const std::string& path, unsigned user);

// The bytes of a small private file found by OwnFileBehind: at most `maxBytes`, read without
// blocking, so that a pipe or a huge file put in its place cannot hang or exhaust the
// program. `missing` is set, with no error, when there is no file.
struct FileBytes {
    std::string bytes;
    std::string error;
    bool missing = false;
};
FileBytes ReadOwnFile(const std::string& path, std::size_t maxBytes, FileOps& files);

// Replaces the file found by OwnFileBehind(path) with `bytes`, through a temporary file
// beside it that is synced to disk and renamed over it: a crash or a full disk never leaves a
// damaged or empty file behind, and on failure the previous file is kept as it was. A new
// file gets `newMode`; a replaced one keeps its permissions. Gives the path written.
Result<std::string> WriteOwnFile(const std::string& path, std::string_view bytes, unsigned newMode,
                                 FileOps& files);

}  // namespace sonarch
