#include "device/images/isolated_call.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <vector>

namespace sonarch {
namespace {

using namespace std::chrono_literals;
using End = IsolatedCall::End;

TEST(CallInChildProcess, GivesBackWhatTheCallReturnedByteForByte) {
    std::string large(3 << 20, '\0');  // far more than a pipe holds at once
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 131 % 251);
    }
    const IsolatedCall call = CallInChildProcess([&large] { return large; }, 60s);
    ASSERT_EQ(call.end, End::Returned);
    EXPECT_TRUE(call.answer == large);
    EXPECT_EQ(CallInChildProcess([] { return std::string(); }, 60s).end, End::Returned);
}

TEST(CallInChildProcess, ACrashAnAbortOrAnEarlyExitTakeOnlyTheChildDown) {
    const std::function<std::string()> failures[] = {
        [] {
            std::raise(SIGSEGV);
            return std::string("after the crash");
        },
        []() -> std::string { std::abort(); },
        []() -> std::string { throw std::runtime_error("unexpected"); },
        []() -> std::string { ::_exit(0); },  // clean exit status, but no answer
    };
    for (const auto& failure : failures) {
        const IsolatedCall call = CallInChildProcess(failure, 60s);
        EXPECT_EQ(call.end, End::Died);
        EXPECT_EQ(call.answer, "");
    }
}

TEST(CallInChildProcess, AChildThatAsksForTooMuchMemoryDies) {
    // A gigabyte, each page touched, where the child may take 64 MB more than it began with.
    const auto greedy = []() -> std::string {
        std::vector<char> memory(std::size_t{1} << 30, 'x');
        return std::string(1, memory[memory.size() / 2]);
    };
    EXPECT_EQ(CallInChildProcess(greedy, 60s, std::size_t{64} << 20).end, End::Died);
    // Within its room it answers.
    const auto modest = [] { return std::string(std::size_t{16} << 20, 'y'); };
    EXPECT_EQ(CallInChildProcess(modest, 60s, std::size_t{256} << 20).end, End::Returned);
}

TEST(CallInChildProcess, AChildThatNeverAnswersIsKilled) {
    const IsolatedCall call = CallInChildProcess(
        []() -> std::string {
            for (;;) {
                ::pause();
            }
        },
        50ms);
    EXPECT_EQ(call.end, End::TimedOut);
}

}  // namespace
}  // namespace sonarch
