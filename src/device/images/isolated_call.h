#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace sonarch {

// How a call made in a child process ended.
struct IsolatedCall {
    enum class End {
        Returned,    // the child gave back its whole answer and exited cleanly
        Died,        // the child ended by a signal (a crash, an abort) or without its answer
        TimedOut,    // the child did not answer in time and was killed
        NotStarted,  // no child process could be made
    };
    End end = End::NotStarted;
    std::string answer;  // what the call returned, when it Returned
    std::string why;     // when NotStarted: the system's reason
};

// How much memory a child may take beyond what it shares with its parent at its start.
constexpr std::size_t kChildMemory = std::size_t{256} << 20;

/*
 * Runs `call` in a short-lived child process and hands back what it returned. A library that
 * crashes, aborts or corrupts its memory on a hostile file takes only the child down with it.
 * The child writes nothing to the terminal (a crash report would only confuse) and leaves no
 * core file, runs nothing of the parent's after the call, dies when it asks for more than
 * `memory` bytes more, and is killed when it takes longer than `limit`. `call` must not rely
 * on threads of the parent, which the child does not have.
 */
IsolatedCall CallInChildProcess(const std::function<std::string()>& call,
                                std::chrono::milliseconds limit, std::size_t memory = kChildMemory);

}  // namespace sonarch
