// qvmci on a disc image with a manual clock writes exactly the audio of each .advance into
// its WAV output, and leaves a complete file behind when it exits.
#include <gtest/gtest.h>

#include <cstdio>

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

}  // namespace
}  // namespace sonarch
