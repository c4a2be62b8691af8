#include <gtest/gtest.h>

#include <random>

#include "device/mci/mci_errors.h"
#include "support/device_fixture.h"

namespace sonarch {
namespace {

using testing::DeviceFixture;
using testing::disc;

// Whatever arrives, the device answers with a code and a text; nothing may crash.
void expectSaneAnswer(DeviceFixture& f, const std::string& command) {
    const MciResult result = f.send(command, 64);
    if (result.code != 0) {
        EXPECT_TRUE(result.reply.empty());
        EXPECT_FALSE(f.device.errorText(result.code).empty());
    } else {
        EXPECT_LT(result.reply.size(), 64u);
    }
}

TEST(CommandFuzz, GarbageIsAnsweredWithAnError) {
    DeviceFixture f(disc({"03:00:00", "04:00:00"}));
    f.openAsPlayer();
    const std::string garbage[] = {
        "",
        "   ",
        std::string(10000, 'x'),
        "status cd " + std::string(10000, '9'),
        "play cd from " + std::string(400, '9'),
        std::string("status\0cd mode", 14),
        "\xff\xfe\x01 cd",
        "status",
        "status cd",
        "status cd length track",
        "status cd length track x",
        "status cd position track 99",
        "seek cd to",
        "play cd from",
        "play cd from 1 from 2",
        "play cd to 1",
        "set cd time format",
        "set cd door ajar",
        "open",
        "open cdaudio alias",
        "close",
        "frobnicate cd",
        "play cd from 1:2:3:4:5",
        "play cd from 1::2",
        "play cd from --1",
    };
    for (const std::string& command : garbage) {
        EXPECT_NE(f.send(command).code, 0) << command.substr(0, 40);
    }
}

TEST(CommandFuzz, RandomWordsAndBytesNeverCrash) {
    DeviceFixture f(disc({"03:00:00", "data=01:00:00", "04:00:00"}));
    const std::vector<std::string> words = {
        "open",        "cdaudio",    "alias",    "cd",       "wait",   "shareable",
        "set",         "time",       "format",   "tmsf",     "msf",    "milliseconds",
        "frames",      "status",     "media",    "present",  "number", "of",
        "tracks",      "length",     "track",    "position", "mode",   "play",
        "from",        "to",         "pause",    "stop",     "seek",   "start",
        "end",         "door",       "open",     "closed",   "close",  "all",
        "0",           "1",          "2",        "3",        "07",     "-1",
        "99999999999", "1:00:30:10", "00:02:00", ":",        "resume"};
    std::mt19937 random(20261208);
    for (int i = 0; i < 20000; ++i) {
        std::string command;
        const int length = int(random() % 7);
        for (int w = 0; w < length; ++w) {
            if (random() % 10 == 0) {
                std::string bytes(1 + random() % 6, ' ');
                for (char& c : bytes) {
                    c = static_cast<char>(random() % 256);
                }
                command += bytes;
            } else {
                command += words[random() % words.size()];
            }
            command += ' ';
        }
        if (random() % 50 == 0) {
            f.clock.advance(random() % 400000);
        }
        if (random() % 200 == 0) {
            random() % 2 ? f.drive.remove() : f.drive.insert();
        }
        expectSaneAnswer(f, command);
    }
}

}  // namespace
}  // namespace sonarch
