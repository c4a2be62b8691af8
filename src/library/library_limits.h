#pragma once

#include <atomic>
#include <chrono>

namespace sonarch {

// How far one library operation may go, so that no library file, however made, can hold
// up the program that reads it.
struct LibraryLimits {
    // The longest wait for another program that is writing the file.
    std::chrono::milliseconds busyTimeout{2000};
    // The longest an operation's statements may work, not counting that wait.
    std::chrono::milliseconds workTime{2000};
    // Set (from a signal handler too: only an atomic store) to end every operation at its
    // next step; may be null.
    const std::atomic<bool>* stop = nullptr;

    // What the tools (qvlib, the library window) allow: they read and check whole files.
    static LibraryLimits forTools(const std::atomic<bool>* stop = nullptr) {
        return {std::chrono::milliseconds(5000), std::chrono::minutes(5), stop};
    }
};

// A disc has at most 99 tracks; a file with more rows under one key is not read past that.
inline constexpr int kMostRowsOfADisc = 99;

}  // namespace sonarch
