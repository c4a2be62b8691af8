#include "library/jet/jet_library.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "device/images/isolated_call.h"
#include "library/jet/access_format.h"
#include "library/jet/jet_answer.h"
#include "library/jet/jet_audio_reader.h"

namespace sonarch {

namespace {

std::string inQuotes(const std::string& path) {
    return "\"" + path + "\"";
}

// child process: the address space may grow by `budget` beyond what it holds now (which
// under AddressSanitizer is terabytes of reserved shadow).
void limitMemory(std::uint64_t budget) {
    std::uint64_t pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long long size = 0;
        if (std::fscanf(statm, "%llu", &size) == 1) {
            pages = size;
        }
        std::fclose(statm);
    }
    const std::uint64_t limit = pages * std::uint64_t(::sysconf(_SC_PAGESIZE)) + budget;
    const rlimit memory{rlim_t(limit), rlim_t(limit)};
    ::setrlimit(RLIMIT_AS, &memory);
}

// child process: a crash ends the child quietly, without a core file or the reports of
// handlers the parent installed.
void dieQuietly() {
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    for (int signal : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL, SIGTRAP}) {
        ::signal(signal, SIG_DFL);
    }
}

bool isSqlite(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::array<char, 16> header{};
    return in.read(header.data(), header.size()) &&
           std::string_view(header.data(), header.size()) ==
               std::string_view("SQLite format 3\0", 16);
}

std::string seconds(std::chrono::milliseconds time) {
    const auto whole = (time.count() + 999) / 1000;
    return std::to_string(whole) + (whole == 1 ? " second" : " seconds");
}

std::string describe(const JetReadFailure& failure, const std::string& path) {
    const std::string file = inQuotes(path);
    switch (failure.problem) {
        case JetReadProblem::NotAccess:
            return "The file " + file + " is not an Access database that can be read.";
        case JetReadProblem::NoCatalogue:
            return "The Access file " + file + " is damaged: its list of tables cannot be read.";
        case JetReadProblem::NoAudioTable:
            return "The file " + file + " is not a library: it has no table Audio.";
        case JetReadProblem::AudioUnreadable:
            return "The Access file " + file +
                   " is damaged: the definition of its table Audio cannot be read.";
        case JetReadProblem::NoKeyColumn:
            return "The library " + file + " has no column " + failure.detail +
                   " in its table Audio, so its rows cannot be found by disc and track.";
        case JetReadProblem::LongTextLost:
            return "The Access file " + file + " is damaged: a long text in row " + failure.detail +
                   " of its table Audio cannot be read.";
    }
    return "The file " + file + " cannot be read.";
}

}  // namespace

JetReadLimits JetReadLimitsFor(std::uint64_t fileSize) {
    // libmdb reads a 25 MB library of 100 000 rows in about a second; the answer takes
    // at most a few times the file's size.
    const auto seconds = 30 + fileSize / (1024 * 1024);
    return {std::chrono::seconds(seconds), 512ull * 1024 * 1024 + 8 * fileSize};
}

Result<JetAudioTable> ReadJetLibrary(const std::string& path) {
    struct stat info {};
    const std::uint64_t size = ::stat(path.c_str(), &info) == 0 ? std::uint64_t(info.st_size) : 0;
    return ReadJetLibrary(path, JetReadLimitsFor(size));
}

Result<JetAudioTable> ReadJetLibrary(const std::string& path, const JetReadLimits& limits) {
    using R = Result<JetAudioTable>;
    const std::string file = inQuotes(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return R::failure("The file " + file + " cannot be read: " + std::strerror(errno) + ".");
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) {
        return R::failure(file + " is not a file.");
    }
    const auto format = AccessFormatOf(path);
    if (!format) {
        return R::failure("The file " + file + " is not a library in the old Access format" +
                          (isSqlite(path) ? ": it is a library of this player already." : "."));
    }
    // Access writes whole pages only.
    const auto pageSize = *format == AccessFormat::Jet3 ? 2048 : 4096;
    if (info.st_size % pageSize != 0) {
        return R::failure("The Access file " + file +
                          " is damaged: it ends part of the way through a page, so it was cut "
                          "short.");
    }
    const IsolatedCall call = CallInChildProcess(
        [&path, &limits] {
            dieQuietly();
            limitMemory(limits.memoryBytes);
            // Text comes out of libmdb in UTF-8, whatever the environment asks for.
            ::setenv("MDBICONV", "UTF-8", 1);
            return ReadJetAudioAnswer(path);
        },
        limits.time);
    switch (call.end) {
        case IsolatedCall::End::Returned:
            break;
        case IsolatedCall::End::Died:
            return R::failure("The Access file " + file +
                              " is damaged: reading it failed part of the way.");
        case IsolatedCall::End::TimedOut:
            return R::failure("Reading the Access file " + file + " was stopped after " +
                              seconds(limits.time) + "; the file may be damaged.");
        case IsolatedCall::End::NotStarted:
            return R::failure("The Access file " + file +
                              " was not read: no process could be started to read it (" + call.why +
                              ").");
    }
    auto answer = DecodeJetAnswer(call.answer);
    if (!answer) {
        return R::failure("The Access file " + file + " is damaged: reading it gave nonsense.");
    }
    if (auto* failure = std::get_if<JetReadFailure>(&*answer)) {
        return R::failure(describe(*failure, path));
    }
    JetAudioTable& table = std::get<JetAudioTable>(*answer);
    if (table.rows.size() < table.declaredRows) {
        return R::failure("The Access file " + file + " is damaged: its table Audio holds " +
                          std::to_string(table.declaredRows) + " rows, but only " +
                          std::to_string(table.rows.size()) + " can be read.");
    }
    return R::success(std::move(table));
}

}  // namespace sonarch
