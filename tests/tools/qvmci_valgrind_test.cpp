// qvmci opening damaged and hostile disc images under valgrind: whatever the images hold, the
// program's own process makes no memory error. The child processes it forks are not
// watched; they may die, which is what they are for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "support/cd_text_packs.h"
#include "support/disc_images.h"
#include "support/nrg_images.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;

// The qvmci to watch: SONARCH_QVMCI (scripts/package.sh names the installed one), else the
// one of this build.
std::string qvmciPath() {
    const char* named = std::getenv("SONARCH_QVMCI");
    return named && *named ? named : QVMCI_PATH;
}

std::string outputOf(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        pclose(pipe);
    }
    return output;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// The images, each made here: a sheet whose only track is 99 opened by its BIN file, Nero
// images damaged in the ways that once made the image reader read and write out of bounds,
// loop or take gigabytes, a pipe as a TOC file's data file, and sound images for the paths
// that read CD-TEXT in a child.
std::vector<std::string> hostileImages(const TempDir& dir) {
    std::vector<std::string> images;
    writeFile(dir.file("t99.bin"), imageSectors(0, 300, true));
    writeText(dir.file("t99.cue"),
              "FILE \"t99.bin\" BINARY\n TRACK 99 AUDIO\n  INDEX 01 00:00:00\n");
    images.push_back(dir.file("t99.bin"));

    const std::vector<ImageTrack> tracks = {{30, true}, {20, true}, {25, true}};
    const auto texts = cdTextPacks({{0x09, {"Album", "One", "Two", "Three"}, {"Band"}}});
    const auto sound = nrgImage(tracks, {NrgShape::Kind::DiscAtOnce, {0, 3}, texts});
    writeFile(dir.file("sound.nrg"), sound);
    images.push_back(dir.file("sound.nrg"));
    std::size_t chain = 0;
    for (std::size_t i = sound.size() - 8; i < sound.size(); ++i) {
        chain = chain << 8 | sound[i];
    }
    const auto damaged = [&](const std::string& name, std::vector<std::uint8_t> bytes) {
        writeFile(dir.file(name), bytes);
        images.push_back(dir.file(name));
    };
    // Cue points said to run on far past the end of the track list.
    auto bytes = sound;
    bytes[chain + 6] = 0x04;
    damaged("long-cues.nrg", bytes);
    // The places of the tracks cut down to their header, at the end of the track list.
    bytes.assign(sound.begin(), sound.begin() + std::ptrdiff_t(chain + 8 + 8 * 8));
    bytes.insert(bytes.end(), {'D', 'A', 'O', 'X', 0, 0, 0, 22});
    bytes.insert(bytes.end(), sound.begin() + std::ptrdiff_t(chain + 8 + 8 * 8 + 8),
                 sound.begin() + std::ptrdiff_t(chain + 8 + 8 * 8 + 8 + 22));
    bytes.insert(bytes.end(), {'N', 'E', 'R', '5'});
    putBigEndian(bytes, chain, 8);
    damaged("short-places.nrg", bytes);
    // The track list cut short in the middle of the places.
    bytes = sound;
    bytes.erase(bytes.begin() + std::ptrdiff_t(chain) + 100, bytes.end() - 12);
    damaged("cut.nrg", bytes);
    bytes = imageSectors(0, 4, true);
    const std::size_t loop = bytes.size();
    bytes.insert(bytes.end(), {'X', 'X', 'X', 'X', 0xFF, 0xFF, 0xFF, 0xF8, 'N', 'E', 'R', '5'});
    putBigEndian(bytes, loop, 8);
    damaged("looping.nrg", bytes);
    bytes = imageSectors(0, 4, true);
    bytes.insert(bytes.end(), {'N', 'E', 'R', '5'});
    putBigEndian(bytes, 0xFFFFFFFF00000000, 8);
    damaged("far.nrg", bytes);

    ::mkfifo(dir.file("pipe.bin").c_str(), 0600);
    writeText(dir.file("pipe.toc"), "CD_DA\nTRACK AUDIO\nFILE \"pipe.bin\" 0\n");
    images.push_back(dir.file("pipe.toc"));
    return images;
}

TEST(QvmciUnderValgrind, HostileImagesLeaveItsOwnProcessWithoutMemoryErrors) {
    if (std::system("valgrind --version > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "valgrind is not installed";
    }
    const std::string qvmci = qvmciPath();
    if (outputOf("ldd " + quoted(qvmci) + " 2>&1").find("libasan") != std::string::npos) {
        GTEST_SKIP() << qvmci
                     << " is built with the sanitizers, which valgrind cannot run; a Release "
                        "build runs this test (scripts/package.sh on the installed qvmci)";
    }
    TempDir dir;
    writeText(dir.file("commands"),
              "open cdaudio alias cd wait shareable\nstatus cd number of tracks\n"
              "status cd length\nset cd time format tmsf\nplay cd from 1\n.advance 500\n"
              "stop cd\n");
    // The pipe stays open for writing, so that a reader of it would wait for good.
    for (const std::string& image : hostileImages(dir)) {
        const int writer = ::open(dir.file("pipe.bin").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        const std::string log = dir.file("valgrind.log");
        const int status =
            std::system(("valgrind --child-silent-after-fork=yes --log-file=" + quoted(log) + " " +
                         quoted(qvmci) + " --clock manual --drive " + quoted(image) + " < " +
                         quoted(dir.file("commands")) + " > /dev/null 2>&1")
                            .c_str());
        ::close(writer);
        ASSERT_TRUE(WIFEXITED(status)) << image;
        EXPECT_LE(WEXITSTATUS(status), 1) << image;
        std::ifstream in(log);
        const std::string report((std::istreambuf_iterator<char>(in)), {});
        std::smatch summary;
        ASSERT_TRUE(std::regex_search(report, summary, std::regex("ERROR SUMMARY: (\\d+) errors")))
            << image << "\n"
            << report;
        EXPECT_EQ(summary[1], "0") << image << "\n" << report;
    }
}

}  // namespace
}  // namespace sonarch
