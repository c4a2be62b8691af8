#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace sonarch {

// What a library file looked like, seen from outside: enough that any change to it (by
// SQLite or by anything else writing its bytes) shows.
struct LibraryFileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0;        // nanoseconds
    std::int64_t changed = 0;         // nanoseconds, of the inode (no program can set it back)
    std::uint32_t changeCounter = 0;  // SQLite's own, bumped by every committed write

    bool operator==(const LibraryFileStamp&) const = default;

    // Nothing for a file that cannot be read, or whose writes go to a write-ahead log,
    // where neither the file's times nor its counter follow every change.
    static std::optional<LibraryFileStamp> of(const std::string& library);
};

// Remembers, for each library file, how it looked when it last passed the full
// integrity check (or after a write of ours to a file that had): so the tools check a
// file once, not every time one of them opens it, and again as soon as anything else has
// changed it. One small file per library in a folder of the user's own.
class LibraryCheckRecord {
public:
    explicit LibraryCheckRecord(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    // $XDG_CACHE_HOME/qvplayer/checked-libraries (~/.cache/...); nothing without a home.
    static std::optional<std::filesystem::path> defaultFolder();

    // True when the file looks exactly as it did when it was remembered.
    bool vouchesFor(const std::string& library, const LibraryFileStamp& now) const;
    // Remembers the file as sound as it looks in `stamp`; a record that cannot be written
    // costs only a check next time.
    void remember(const std::string& library, const LibraryFileStamp& stamp) const;

private:
    std::filesystem::path entryOf(const std::string& canonical) const;

    std::filesystem::path m_folder;
};

}  // namespace sonarch
