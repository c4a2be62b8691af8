#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "library/library_choice.h"
#include "library/library_disc.h"
#include "library/library_limits.h"

namespace sonarch {

// The player's library: hands out one disc of one library file at a time (LibraryDisc),
// each operation on it bounded by the same limits. The player never creates files,
// tables or rows.
class LibraryStore {
public:
    // How long an operation waits for another program that is writing the file.
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{2000};

    explicit LibraryStore(std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout,
                          const std::atomic<bool>* stop = nullptr)
        : m_limits{busyTimeout, LibraryLimits{}.workTime, stop} {}
    explicit LibraryStore(const LibraryLimits& limits) : m_limits(limits) {}

    // True when the path names an existing regular file (not a directory); never for
    // "None selected".
    static bool isAvailable(const std::string& path);

    // The disc with this stored key in the library at `path`.
    LibraryDisc disc(std::string path, std::string discKey) const {
        return LibraryDisc(std::move(path), std::move(discKey), m_limits);
    }

    const LibraryLimits& limits() const { return m_limits; }

private:
    LibraryLimits m_limits;
};

}  // namespace sonarch
