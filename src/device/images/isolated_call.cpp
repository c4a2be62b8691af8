#include "device/images/isolated_call.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace sonarch {

namespace {

using Clock = std::chrono::steady_clock;

// The answer is followed by this mark, so an answer cut short by a crash is never taken.
constexpr std::string_view kEndMark = "\n.end-of-answer\n";

// child process: the bytes of address space in use, from /proc/self/statm (its first field
// counts pages); 0 when it cannot be read. Only calls that are safe after a fork.
std::size_t addressSpaceInUse() {
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    char text[64];
    const ssize_t count = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    std::size_t pages = 0;
    for (ssize_t i = 0; i < count && text[i] >= '0' && text[i] <= '9'; ++i) {
        pages = pages * 10 + std::size_t(text[i] - '0');
    }
    return pages * std::size_t(::sysconf(_SC_PAGESIZE));
}

// child process: no more than `memory` bytes beyond those it started with, and no core file.
void limitChild(std::size_t memory) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (const std::size_t inUse = addressSpaceInUse(); inUse > 0) {
        const rlimit space{inUse + memory, inUse + memory};
        ::setrlimit(RLIMIT_AS, &space);
    }
}

// child process: never returns into the parent's code, not even by an exception.
[[noreturn]] void answerAndExit(int fd, const std::function<std::string()>& call,
                                std::size_t memory) noexcept {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
    }
    limitChild(memory);
    std::string answer;
    try {
        answer = call() + std::string(kEndMark);
    } catch (...) {
        ::_exit(4);
    }
    std::string_view rest = answer;
    while (!rest.empty()) {
        const ssize_t written = ::write(fd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            ::_exit(3);
        }
        rest.remove_prefix(std::size_t(written));
    }
    // No destructors, exit handlers or leak reports of the parent's objects.
    ::_exit(0);
}

// Reads until the child closes its end or the time is up; false when the time ran out.
bool readAnswer(int fd, Clock::time_point deadline, std::string& answer) {
    std::array<char, 4096> buffer{};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, int(std::min<std::int64_t>(left.count(), 1 << 30)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            return false;
        }
        if (ready < 0) {
            return true;  // nothing more can be read; an answer cut short is refused
        }
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return true;
        }
        answer.append(buffer.data(), std::size_t(count));
    }
}

int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
}

}  // namespace

IsolatedCall CallInChildProcess(const std::function<std::string()>& call,
                                std::chrono::milliseconds limit, std::size_t memory) {
    IsolatedCall result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.why = std::strerror(errno);
        return result;
    }
    const auto deadline = Clock::now() + limit;
    const pid_t child = ::fork();
    if (child < 0) {
        result.why = std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (child == 0) {
        ::close(fds[0]);
        answerAndExit(fds[1], call, memory);
    }
    ::close(fds[1]);
    std::string answer;
    const bool inTime = readAnswer(fds[0], deadline, answer);
    ::close(fds[0]);
    if (!inTime) {
        ::kill(child, SIGKILL);
    }
    const int status = waitFor(child);
    if (!inTime) {
        result.end = IsolatedCall::End::TimedOut;
        return result;
    }
    const bool clean = status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!clean || answer.size() < kEndMark.size() ||
        answer.compare(answer.size() - kEndMark.size(), kEndMark.size(), kEndMark) != 0) {
        result.end = IsolatedCall::End::Died;
        return result;
    }
    answer.resize(answer.size() - kEndMark.size());
    result.end = IsolatedCall::End::Returned;
    result.answer = std::move(answer);
    return result;
}

}  // namespace sonarch
