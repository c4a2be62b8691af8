#pragma once

#include <string>
#include <utility>

namespace sonarch {

// How a library operation ended. Unavailable: no library chosen or its file is gone, so
// nothing was done at all. Failed: the store reported an error (see `error`), and nothing
// was changed (a read may carry what it read before the failure). Done: the operation ran; a disc
// that is not in the library is Done too, with nothing read or written.
enum class LibraryStatus { Unavailable, Failed, Done };

template <class T>
struct LibraryOutcome {
    LibraryStatus status = LibraryStatus::Unavailable;
    T value{};
    std::string error;  // plain words naming the file, when Failed

    static LibraryOutcome unavailable() { return {}; }
    static LibraryOutcome failed(std::string message, T partial = T{}) {
        return {LibraryStatus::Failed, std::move(partial), std::move(message)};
    }
    static LibraryOutcome done(T value) { return {LibraryStatus::Done, std::move(value), {}}; }
};

}  // namespace sonarch
