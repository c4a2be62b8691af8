#include "child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace sonarch::testing {

namespace {

std::vector<char*> argv(const std::vector<std::string>& args) {
    std::vector<char*> list;
    for (const auto& arg : args) {
        list.push_back(const_cast<char*>(arg.c_str()));
    }
    list.push_back(nullptr);
    return list;
}

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& scratchFolder) {
    const std::string outPath = scratchFolder + "/program.out";
    const std::string errPath = scratchFolder + "/program.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    auto list = argv(args);
    const int spawned = posix_spawn(&pid, list[0], &actions, nullptr, list.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ProgramRun run;
    if (spawned != 0) {
        run.err = "cannot start " + args[0];
        return run;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = exitCodeOf(status);
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    return run;
}

ChildProcess::ChildProcess(const std::vector<std::string>& args) {
    int output[2];
    int input[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(input, O_CLOEXEC) != 0) {
        ::close(output[0]);
        ::close(output[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    auto list = argv(args);
    const int spawned = posix_spawn(&m_pid, list[0], &actions, nullptr, list.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    ::close(input[0]);
    m_output = output[0];
    m_input = input[1];
    if (spawned != 0) {
        m_pid = -1;
    }
}

ChildProcess::~ChildProcess() {
    closeInput();
    wait();
    if (m_output >= 0) {
        ::close(m_output);
    }
}

bool ChildProcess::writeByte(char byte) {
    ssize_t put = 0;
    do {
        put = ::write(m_input, &byte, 1);
    } while (put < 0 && errno == EINTR);
    return put == 1;
}

void ChildProcess::closeInput() {
    if (m_input >= 0) {
        ::close(m_input);
        m_input = -1;
    }
}

int ChildProcess::readByte() {
    unsigned char byte = 0;
    ssize_t got = 0;
    do {
        got = ::read(m_output, &byte, 1);
    } while (got < 0 && errno == EINTR);
    return got == 1 ? byte : -1;
}

bool ChildProcess::hasEnded() {
    if (m_pid <= 0 || m_ended) {
        return true;
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_ended = true;
        m_exitCode = exitCodeOf(status);
    }
    return m_ended;
}

int ChildProcess::wait() {
    if (m_pid > 0 && !m_ended) {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_ended = true;
        m_exitCode = exitCodeOf(status);
    }
    return m_exitCode;
}

std::string ThisProgram() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

}  // namespace sonarch::testing
