#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace sonarch::testing {

struct ProgramRun {
    int exitCode = -1;  // -1 when it did not end normally
    std::string out;
    std::string err;
};

// Runs a program to its end; its output is gathered through files in `scratchFolder`.
ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& scratchFolder);

// A program running beside the test, talking with it through its standard input and output.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    // The next byte of its output, or -1 at its end.
    int readByte();
    bool writeByte(char byte);
    // Ends its input.
    void closeInput();
    bool hasEnded();
    // Waits for its end; its exit code, or -1.
    int wait();

private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_input = -1;
    bool m_ended = false;
    int m_exitCode = -1;
};

// The test program itself, for running it in a child role.
std::string ThisProgram();

}  // namespace sonarch::testing
