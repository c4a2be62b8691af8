// qvmci on a disc image with a manual clock writes exactly the audio of each .advance into
// its WAV output, and leaves a complete file behind when it exits.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/disc_images.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;

std::int64_t samplesIn(std::int64_t ms) {
    return ms * 44100 / 1000;
}

TEST(Qvmci, RecordsEachAdvanceOfTheManualClockIntoTheWav) {
    TempDir dir;
    const std::string cue = writeCueBin(dir, {{300, true}, {225, true}, {150, false}, {200, true}});
    const std::string command = std::string(QVMCI_PATH) + " --drive '" + cue +
                                "' --audio 'wav:" + dir.file("heard.wav") + "' --clock manual > '" +
                                dir.file("replies.txt") + "'";
    FILE* shell = popen(command.c_str(), "w");
    ASSERT_NE(shell, nullptr);
    std::fputs(
        "open cdaudio alias cd wait shareable\n"
        "set cd time format tmsf\n"
        "play cd from 2\n"
        ".advance 500\n"
        "pause cd\n"
        ".advance 300\n"
        "play cd\n"
        ".advance 200\n"
        "status cd position\n"
        "seek cd to 3\n"
        "play cd\n"
        ".advance 250\n",
        shell);
    ASSERT_EQ(pclose(shell), 0);

    std::ifstream replies(dir.file("replies.txt"));
    std::string line, all;
    while (std::getline(replies, line)) {
        all += line + "|";
    }
    EXPECT_EQ(all, "1||||||||02:00:00:52||||") << "one line for each command";

    const WavContents wav = readWav(dir.file("heard.wav"));
    EXPECT_TRUE(wav.headerOk);
    auto expected = expectedSamples(300 * 588, samplesIn(700));
    const auto track4 = expectedSamples(675 * 588, samplesIn(250));
    expected.insert(expected.end(), track4.begin(), track4.end());
    EXPECT_EQ(wav.samples, expected);
}

struct ShellRun {
    int status = -1;
    std::string out, err;
};

ShellRun runQvmci(const TempDir& dir, const std::string& arguments, const std::string& input) {
    writeText(dir.file("input.txt"), input);
    const std::string command = std::string(QVMCI_PATH) + " " + arguments + " < '" +
                                dir.file("input.txt") + "' > '" + dir.file("out.txt") + "' 2> '" +
                                dir.file("err.txt") + "'";
    ShellRun run;
    run.status = std::system(command.c_str());
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    run.out = read(dir.file("out.txt"));
    run.err = read(dir.file("err.txt"));
    return run;
}

TEST(Qvmci, AnAdvanceLongerThanADiscPlaysIsRefusedAndTheClockGoesOn) {
    TempDir dir;
    const ShellRun run = runQvmci(dir, "--drive virtual:00:10:00,00:05:00 --clock manual",
                                  "open cdaudio alias cd wait shareable\n"
                                  "set cd time format tmsf\n"
                                  "play cd from 1\n"
                                  ".advance 300000000000000\n"
                                  ".advance 9223372036854775807\n"
                                  ".advance 6000001\n"
                                  "status cd position\n"
                                  ".advance 6000000\n"
                                  "status cd position\n"
                                  "status cd mode\n");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string refused =
        "error: .advance takes at most 6000000 ms (100 minutes, longer than any disc plays)\n";
    EXPECT_EQ(run.out,
              "1\n\n\n" + refused + refused + refused + "01:00:00:00\n\n02:00:04:74\nstopped\n");
}

TEST(Qvmci, ABadDriveNameIsShownWithItsControlBytesEscaped) {
    TempDir dir;
    const ShellRun run = runQvmci(dir, "--drive \"$(printf '/dev/no\\033[2Jsuch\\007')\"", "");
    EXPECT_EQ(WEXITSTATUS(run.status), 1);
    EXPECT_EQ(run.err, "qvmci: There is no CD drive or disc image '/dev/no\\x1B[2Jsuch\\x07'.\n");
}

}  // namespace
}  // namespace sonarch
