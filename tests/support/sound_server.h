#pragma once

// A private PulseAudio server with a null sink, for the tests and benchmarks of the sound
// server's output, and the child processes and pipes they need. Nothing here touches the
// user's own sound server: the server lives in a temporary folder, and the variables that
// point clients at it are set for this process and its children only.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/disc_images.h"

extern char** environ;

namespace sonarch::testing {

using namespace std::chrono_literals;

// A child process; stdout and stderr may go to a file or a pipe the test reads.
class Child {
public:
    // Standard output and error go to the given descriptors (-1: inherited).
    Child(const std::vector<std::string>& argv, int stdoutFd, int stderrFd) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (stdoutFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
        }
        if (stderrFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        if (posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { stop(); }
    bool running() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // Ends the child with `signal` (by default as a desktop ends programs) and waits for it.
    void stop(int signal = SIGTERM) {
        if (m_pid > 0) {
            kill(m_pid, signal);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
};

inline bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t colon = dirs.find(':', start);
        const std::string dir =
            dirs.substr(start, colon == std::string::npos ? colon : colon - start);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        if (colon == std::string::npos) {
            break;
        }
        start = colon + 1;
    }
    return false;
}

// Restores the variables a private sound server changes, so later tests in the same
// process see the environment they started with.
class EnvironmentGuard {
public:
    EnvironmentGuard() {
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_SERVER"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~EnvironmentGuard() {
        for (const auto& [name, value] : m_saved) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// What a recording program writes to its standard output, collected as it arrives; a
// reader waits for enough of it without polling.
class PipeRecording {
public:
    PipeRecording() {
        if (pipe2(m_fds, O_CLOEXEC) != 0) {
            m_fds[0] = m_fds[1] = -1;
            return;
        }
        m_reader = std::thread([this] {
            std::uint8_t buffer[8192];
            ssize_t n;
            while ((n = read(m_fds[0], buffer, sizeof buffer)) > 0) {
                std::lock_guard lock(m_mutex);
                m_bytes.insert(m_bytes.end(), buffer, buffer + n);
                m_grew.notify_all();
            }
            std::lock_guard lock(m_mutex);
            m_ended = true;
            m_grew.notify_all();
        });
    }
    ~PipeRecording() {
        closeWriteEnd();
        if (m_reader.joinable()) {
            m_reader.join();
        }
        if (m_fds[0] >= 0) {
            close(m_fds[0]);
        }
    }
    int writeEnd() const { return m_fds[1]; }
    // Once the child holds its copy, so the reader sees the end when the child ends.
    void closeWriteEnd() {
        if (m_fds[1] >= 0) {
            close(m_fds[1]);
            m_fds[1] = -1;
        }
    }
    // Waits until `enough` holds for the bytes so far; false if the stream ended first or
    // nothing came for the safety timeout.
    template <class Pred>
    bool waitFor(Pred enough, std::chrono::seconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_grew.wait_for(lock, timeout, [&] { return enough(m_bytes) || m_ended; }) &&
               enough(m_bytes);
    }
    std::vector<std::uint8_t> bytes() {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    std::size_t size() {
        std::lock_guard lock(m_mutex);
        return m_bytes.size();
    }

private:
    int m_fds[2] = {-1, -1};
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_grew;
    std::vector<std::uint8_t> m_bytes;
    bool m_ended = false;
};

// A private PulseAudio server with one null sink, in a folder of its own.
class PrivateSoundServer {
public:
    explicit PrivateSoundServer(const TempDir& dir) : m_dir(dir) {
        if (!onPath("pulseaudio") || !onPath("pacat")) {
            m_why = "pulseaudio or pacat is not installed";
            return;
        }
        setenv("HOME", dir.file("").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.file("").c_str(), 1);
        setenv("PULSE_RUNTIME_PATH", dir.file("pulse").c_str(), 1);
        m_server = "unix:" + dir.file("native");
        int fds[2];
        if (pipe(fds) != 0) {
            m_why = "no pipe";
            return;
        }
        m_daemon = std::make_unique<Child>(
            std::vector<std::string>{
                "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                "--log-level=info", "--log-target=stderr", "-L",
                "module-null-sink sink_name=sonarch_test rate=44100", "-L",
                "module-native-protocol-unix socket=" + dir.file("native") + " auth-anonymous=1"},
            -1, fds[1]);
        close(fds[1]);
        // Reads the server's log until it is ready, then keeps draining it.
        m_log = std::thread([this, fd = fds[0]] {
            std::string text;
            char buffer[4096];
            ssize_t n;
            while ((n = read(fd, buffer, sizeof buffer)) > 0) {
                text.append(buffer, std::size_t(n));
                if (text.find("Daemon startup complete") != std::string::npos) {
                    std::lock_guard lock(m_mutex);
                    m_ready = true;
                    m_readyChanged.notify_all();
                    text.clear();
                }
            }
            close(fd);
            std::lock_guard lock(m_mutex);
            m_ended = true;
            m_readyChanged.notify_all();
        });
        std::unique_lock lock(m_mutex);
        m_readyChanged.wait_for(lock, 15s, [this] { return m_ready || m_ended; });
        if (!m_ready) {
            m_why = "the PulseAudio server did not start";
            return;
        }
        setenv("PULSE_SERVER", m_server.c_str(), 1);
    }
    ~PrivateSoundServer() {
        if (m_daemon) {
            m_daemon->stop();
        }
        if (m_log.joinable()) {
            m_log.join();
        }
    }

    // Kills the server as a crash would: no goodbye to its clients.
    void crash() {
        if (m_daemon) {
            m_daemon->stop(SIGKILL);
        }
        if (m_log.joinable()) {
            m_log.join();
        }
    }

    // A recorder of what the null sink plays, as the ear would hear it: raw 16-bit stereo.
    std::vector<std::string> monitorCommand() const {
        return {"pacat",
                "--record",
                "--server=" + m_server,
                "--device=sonarch_test.monitor",
                "--format=s16le",
                "--rate=44100",
                "--channels=2",
                "--raw",
                "--latency-msec=20"};
    }

    bool ready() const { return m_why.empty(); }
    pid_t pid() const { return m_daemon ? m_daemon->pid() : -1; }
    const std::string& why() const { return m_why; }
    const std::string& server() const { return m_server; }

private:
    const TempDir& m_dir;
    std::string m_why, m_server;
    std::unique_ptr<Child> m_daemon;
    std::thread m_log;
    std::mutex m_mutex;
    std::condition_variable m_readyChanged;
    bool m_ready = false, m_ended = false;
};

// What a short-lived program prints on its standard output (empty if it cannot run).
inline std::string outputOf(const std::vector<std::string>& argv) {
    PipeRecording out;
    Child child(argv, out.writeEnd(), -1);
    out.closeWriteEnd();
    // Nothing is ever enough: this waits for the program to end.
    out.waitFor([](const std::vector<std::uint8_t>&) { return false; }, 20s);
    const std::vector<std::uint8_t> bytes = out.bytes();
    return std::string(bytes.begin(), bytes.end());
}

// What the private server's sink plays from now on, recorded through its monitor.
class MonitorRecording {
public:
    explicit MonitorRecording(const PrivateSoundServer& server)
        : m_recorder(server.monitorCommand(), m_pipe.writeEnd(), -1) {
        m_pipe.closeWriteEnd();
    }
    bool running() const { return m_recorder.running(); }
    PipeRecording& pipe() { return m_pipe; }
    std::vector<std::uint8_t> bytes() { return m_pipe.bytes(); }
    std::size_t size() { return m_pipe.size(); }
    // The recording so far is complete once the recorder has gone.
    void stop() { m_recorder.stop(); }

private:
    PipeRecording m_pipe;
    Child m_recorder;
};

}  // namespace sonarch::testing
