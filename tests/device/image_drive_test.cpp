#include "device/drives/image_drive.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "device/drives/drive_factory.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/device_layer.h"
#include "device/mci/disc_key.h"
#include "device/mci/mci_errors.h"
#include "support/disc_images.h"
#include "support/libcdio_reference.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;

// Two audio tracks, a data track, and a last audio track: starts at sectors 0, 300, 525
// and 675, leadout 875 (addresses 150 higher).
const std::vector<ImageTrack> kMixedDisc = {{300, true}, {225, true}, {150, false}, {200, true}};

struct Replies {
    std::string tracks, start1, start2, start3, start4, length1, length2, length3, length4, disc;
};

Replies repliesFor(Drive& drive) {
    ManualClock clock;
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    device.send("open cdaudio alias cd wait shareable", 0);
    auto reply = [&device](const std::string& command) { return device.send(command, 256).reply; };
    return {reply("status cd number of tracks"), reply("status cd position track 1"),
            reply("status cd position track 2"), reply("status cd position track 3"),
            reply("status cd position track 4"), reply("status cd length track 1"),
            reply("status cd length track 2"),   reply("status cd length track 3"),
            reply("status cd length track 4"),   reply("status cd length")};
}

void expectMixedDiscReplies(Drive& drive) {
    const Replies r = repliesFor(drive);
    EXPECT_EQ(r.tracks, "4");
    EXPECT_EQ(r.start1, "00:02:00");
    EXPECT_EQ(r.start2, "00:06:00");
    EXPECT_EQ(r.start3, "00:09:00");
    EXPECT_EQ(r.start4, "00:11:00");
    EXPECT_EQ(r.length1, "00:04:00");
    EXPECT_EQ(r.length2, "00:03:00");
    EXPECT_EQ(r.length3, "00:02:00");
    EXPECT_EQ(r.length4, "00:02:49") << "the last track is one frame short";
    EXPECT_EQ(r.disc, "00:11:49");
}

TEST(DiscImages, CueBinRepliesFollowTheSheet) {
    TempDir dir;
    auto drive = openDrive(writeCueBin(dir, kMixedDisc));
    ASSERT_TRUE(drive.ok()) << drive.error();
    expectMixedDiscReplies(*drive.value());
    EXPECT_EQ(discKey(*drive.value()), "150 450 675 825 1025");
    const auto toc = drive.value()->readToc();
    ASSERT_TRUE(toc);
    EXPECT_FALSE(toc->tracks[2].audio);
    EXPECT_TRUE(toc->tracks[3].audio);
}

TEST(DiscImages, MultiFileCueLaysTheFilesEndToEnd) {
    TempDir dir;
    auto drive = openDrive(writeMultiFileCue(dir, kMixedDisc));
    ASSERT_TRUE(drive.ok()) << drive.error();
    expectMixedDiscReplies(*drive.value());
    EXPECT_EQ(discKey(*drive.value()), "150 450 675 825 1025");
    // A read across the border of two files gets both.
    std::vector<std::uint8_t> sectors(4 * kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(298, 4, sectors), ReadStatus::Ok);
    EXPECT_EQ(sectors, imageSectors(298, 4, true));
    EXPECT_EQ(drive.value()->readAudio(874, 2, sectors), ReadStatus::Failed) << "past the leadout";
}

TEST(DiscImages, CdrdaoTocTracksArePiecesOfOneFile) {
    TempDir dir;
    auto drive = openDrive(writeToc(dir, {{300, true}, {225, true}, {350, true}}));
    ASSERT_TRUE(drive.ok()) << drive.error();
    ManualClock clock;
    CdAudioDevice device(*drive.value(), std::make_unique<NullOutput>(clock));
    device.send("open cdaudio alias cd wait shareable", 0);
    EXPECT_EQ(device.send("status cd number of tracks", 30).reply, "3");
    EXPECT_EQ(device.send("status cd position track 3", 30).reply, "00:09:00");
    EXPECT_EQ(device.send("status cd length track 3", 30).reply, "00:04:49");
    EXPECT_EQ(discKey(*drive.value()), "150 450 675 1025");
    std::vector<std::uint8_t> sector(kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(600, 1, sector), ReadStatus::Ok);
    EXPECT_EQ(sector, imageSectors(600, 1, true));
}

TEST(DiscImages, TocFilesAreLaidOutAsLibcdioLaysThemOut) {
    // libcdio reads each TOC file in a child process; its table of contents and CD-TEXT are
    // the reference for the keys libraries already hold. It looks for data files in the
    // current folder, so these name theirs in full.
    TempDir dir;
    writeFile(dir.file("disc.bin"), imageSectors(0, 1000, true));
    const std::string bin = "\"" + dir.file("disc.bin") + "\"";
    const std::string tocs[] = {
        "CD_DA\nTRACK AUDIO\nFILE " + bin + " 0 00:04:00\nTRACK AUDIO\nFILE " + bin +
            " 00:04:00 00:03:00\nTRACK AUDIO\nFILE " + bin + " 00:07:00 00:05:25\n",
        // As cdrdao writes a disc it read: flags, pregaps in the file, a last track to the end.
        "CD_DA\n\n// Track 1\nTRACK AUDIO\nNO COPY\nNO PRE_EMPHASIS\nTWO_CHANNEL_AUDIO\n"
        "ISRC \"USXXX0000001\"\nFILE " +
            bin +
            " 0 00:04:10\n\n// Track 2\nTRACK AUDIO\n"
            "COPY\nFILE " +
            bin + " 00:04:10 00:03:00\nSTART 00:00:30\n\nTRACK AUDIO\nFILE " + bin +
            " 00:07:10 00:06:00\n",
        "CD_ROM\nCATALOG \"0123456789012\"\nTRACK MODE1_RAW\nFILE " + bin +
            " 0 00:02:00\nTRACK AUDIO\nFILE " + bin + " 00:02:00 00:11:00\n",
        "CD_DA\nCD_TEXT {\n  LANGUAGE_MAP { 0 : 9 }\n  LANGUAGE 0 {\n    TITLE \"Album\"\n"
        "    PERFORMER \"Band\"\n  }\n}\nTRACK AUDIO\nCD_TEXT {\n  LANGUAGE 0 {\n"
        "    TITLE \"First\"\n    PERFORMER \"Ann\"\n  }\n}\nFILE " +
            bin +
            " 0 00:10:00\nTRACK AUDIO\nCD_TEXT {\n  LANGUAGE 0 {\n    TITLE \"Second\"\n  }\n}\n"
            "FILE " +
            bin + " 00:10:00 00:03:25\n",
    };
    for (const std::string& toc : tocs) {
        writeText(dir.file("disc.toc"), toc);
        const auto libcdio = ReadWithLibcdio(dir.file("disc.toc"), LibcdioImage::Toc);
        ASSERT_TRUE(libcdio.read) << toc;
        auto ours = openDrive(dir.file("disc.toc"));
        ASSERT_TRUE(ours.ok()) << ours.error();
        EXPECT_EQ(ours.value()->readToc(), libcdio.toc) << toc;
        EXPECT_EQ(ours.value()->discText(), libcdio.text) << toc;
    }
    // The last track plays to its end, which reads the end of the file.
    auto last = openDrive(dir.file("disc.toc"));
    std::vector<std::uint8_t> sector(kBytesPerFrame);
    ASSERT_EQ(last.value()->readAudio(999, 1, sector), ReadStatus::Ok);
    EXPECT_EQ(sector, imageSectors(999, 1, true));

    // libcdio counted a last track's pregap twice, ending the disc 75 sectors past its file;
    // the disc ends with the piece of the file its last track names.
    writeText(dir.file("pregap.toc"), "CD_DA\nTRACK AUDIO\nFILE " + bin +
                                          " 0 00:07:10\nTRACK AUDIO\nFILE " + bin +
                                          " 00:07:10 00:06:00\nSTART 00:01:00\n");
    auto pregap = openDrive(dir.file("pregap.toc"));
    ASSERT_TRUE(pregap.ok()) << pregap.error();
    EXPECT_EQ(pregap.value()->readToc()->tracks[1].startSector, 535 + 75);
    EXPECT_EQ(pregap.value()->readToc()->leadoutSector, 535 + 450);
}

TEST(DiscImages, TocFilesOfSeveralFilesLayThemEndToEnd) {
    TempDir dir;
    writeFile(dir.file("a.bin"), imageSectors(0, 100, true));
    writeFile(dir.file("b.bin"), imageSectors(100, 80, true));
    writeFile(dir.file("data.iso"), std::vector<std::uint8_t>(std::size_t{2048} * 50, 0x5A));
    // Track 2: a second of silence before the track proper, then a file from its start;
    // track 3, a data track of 50 sectors of 2048 bytes.
    writeText(dir.file("split.toc"),
              "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0\nTRACK AUDIO\nPREGAP 00:01:00\n"
              "AUDIOFILE \"b.bin\" 0\nTRACK MODE1\nDATAFILE \"data.iso\"\n");
    auto drive = openDrive(dir.file("split.toc"));
    ASSERT_TRUE(drive.ok()) << drive.error();
    const auto toc = drive.value()->readToc();
    ASSERT_TRUE(toc);
    ASSERT_EQ(toc->tracks.size(), 3u);
    EXPECT_EQ(toc->tracks[1].startSector, 175);
    EXPECT_EQ(toc->tracks[2].startSector, 255);
    EXPECT_FALSE(toc->tracks[2].audio);
    EXPECT_EQ(toc->leadoutSector, 305);
    std::vector<std::uint8_t> sectors(3 * kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(99, 3, sectors), ReadStatus::Ok);
    EXPECT_EQ(std::vector<std::uint8_t>(sectors.begin(), sectors.begin() + kBytesPerFrame),
              imageSectors(99, 1, true));
    EXPECT_EQ(std::vector<std::uint8_t>(sectors.begin() + kBytesPerFrame, sectors.end()),
              std::vector<std::uint8_t>(2 * kBytesPerFrame, 0))
        << "the pregap is silence";
    ASSERT_EQ(drive.value()->readAudio(175, 1, sectors), ReadStatus::Ok);
    EXPECT_EQ(std::vector<std::uint8_t>(sectors.begin(), sectors.begin() + kBytesPerFrame),
              imageSectors(100, 1, true));

    // libcdio divided by zero on a MODE2 data track; its 150 sectors of 2336 bytes fit.
    writeText(dir.file("mode2.toc"),
              "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 00:00:00 00:01:00\n"
              "TRACK MODE2\nDATAFILE \"b.bin\" 00:01:00\n");
    auto mode2 = openDrive(dir.file("mode2.toc"));
    ASSERT_TRUE(mode2.ok()) << mode2.error();
    EXPECT_EQ(discKey(*mode2.value()), "150 225 300");
}

TEST(DiscImages, ADataFileThatIsNoRegularFileIsRefusedBeforeAnythingWaitsOnIt) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.bin").c_str(), 0600), 0);
    // A writer that never writes holds the pipe open: a reader of it would wait for good.
    const int writer = ::open(dir.file("pipe.bin").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    std::filesystem::create_directory(dir.file("folder.bin"));
    for (const char* data : {"pipe.bin", "folder.bin", "/dev/zero"}) {
        writeText(dir.file("odd.toc"),
                  std::string("CD_DA\nTRACK AUDIO\nFILE \"") + data + "\" 0\n");
        const auto drive = openDrive(dir.file("odd.toc"));
        ASSERT_FALSE(drive.ok()) << data;
        const std::string full = data[0] == '/' ? data : dir.file(data);
        EXPECT_EQ(drive.error(), "TOC file '" + dir.file("odd.toc") + "', line 3: '" + full +
                                     "' is not a regular file.");
    }
    ::close(writer);
}

TEST(DiscImages, PregapsOfAMultiFileSheetAreSilenceOnTheDisc) {
    TempDir dir;
    writeFile(dir.file("a.bin"), imageSectors(0, 100, true));
    writeFile(dir.file("b.bin"), imageSectors(100, 80, true));
    writeText(
        dir.file("gap.cue"),
        "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "FILE \"b.bin\" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:00:30\n    INDEX 01 00:00:00\n");
    auto drive = openDrive(dir.file("gap.cue"));
    ASSERT_TRUE(drive.ok()) << drive.error();
    const auto toc = drive.value()->readToc();
    ASSERT_TRUE(toc);
    EXPECT_EQ(toc->tracks[1].startSector, 130);
    EXPECT_EQ(toc->leadoutSector, 210);
    std::vector<std::uint8_t> sectors(2 * kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(129, 2, sectors), ReadStatus::Ok);
    EXPECT_EQ(std::vector<std::uint8_t>(sectors.begin(), sectors.begin() + kBytesPerFrame),
              std::vector<std::uint8_t>(kBytesPerFrame, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(sectors.begin() + kBytesPerFrame, sectors.end()),
              imageSectors(100, 1, true));
}

TEST(DiscImages, BrokenImagesAreRefusedWithAReason) {
    TempDir dir;
    writeText(dir.file("missing.cue"),
              "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "FILE \"b.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
    auto missing = openDrive(dir.file("missing.cue"));
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().find("a.bin"), std::string::npos) << missing.error();

    writeFile(dir.file("a.bin"), imageSectors(0, 10, true));
    writeFile(dir.file("b.bin"), imageSectors(10, 10, true));
    writeText(dir.file("order.cue"),
              "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "FILE \"b.bin\" BINARY\n  TRACK 03 AUDIO\n    INDEX 01 00:00:00\n");
    EXPECT_FALSE(openDrive(dir.file("order.cue")).ok()) << "track 2 is missing";

    writeText(dir.file("past.toc"), "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 00:00:11\n");
    const auto past = openDrive(dir.file("past.toc"));
    ASSERT_FALSE(past.ok());
    EXPECT_EQ(past.error(), "TOC file '" + dir.file("past.toc") +
                                "', line 3: the piece runs past the end of '" + dir.file("a.bin") +
                                "'.");

    writeText(dir.file("noise.cue"), "this is not a cue sheet\n");
    EXPECT_FALSE(openDrive(dir.file("noise.cue")).ok());
    EXPECT_FALSE(openDrive(dir.file("nothing-here.cue")).ok());
    EXPECT_FALSE(openDrive(dir.file("")).ok()) << "a folder is no drive";
}

TEST(DiscImages, ACueSheetFindsTheDataFileItsFileLineNames) {
    TempDir dir;
    // A rip as it usually comes: the data file is not named like the sheet.
    writeCueBin(dir, kMixedDisc, "album (disc 1)");
    std::rename(dir.file("album (disc 1).cue").c_str(), dir.file("album.cue").c_str());
    auto drive = openDrive(dir.file("album.cue"));
    ASSERT_TRUE(drive.ok()) << drive.error();
    expectMixedDiscReplies(*drive.value());
    std::vector<std::uint8_t> sector(kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(700, 1, sector), ReadStatus::Ok);
    EXPECT_EQ(sector, imageSectors(700, 1, true));

    // A sheet renamed together with its data file, its FILE line left as it was.
    writeCueBin(dir, kMixedDisc, "old name");
    std::rename(dir.file("old name.cue").c_str(), dir.file("new name.cue").c_str());
    std::rename(dir.file("old name.bin").c_str(), dir.file("new name.bin").c_str());
    auto renamed = openDrive(dir.file("new name.cue"));
    ASSERT_TRUE(renamed.ok()) << renamed.error();
    EXPECT_EQ(discKey(*renamed.value()), "150 450 675 825 1025");
}

// A WAV file of CD audio holding `sectors` sectors of the disc from `first` on, with a chunk
// of odd length before its sound, as tagging programs leave them.
void writeWav(const std::string& path, std::int32_t first, std::int32_t sectors) {
    const auto sound = imageSectors(first, sectors, true);
    auto le = [](std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(std::uint8_t(value >> (8 * i)));
        }
    };
    std::vector<std::uint8_t> wav = {'R', 'I', 'F', 'F'};
    le(wav, std::uint32_t(4 + 24 + 12 + 8 + sound.size()), 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    le(wav, 16, 4);
    le(wav, 1, 2);  // PCM
    le(wav, 2, 2);  // stereo
    le(wav, 44100, 4);
    le(wav, 44100 * 4, 4);
    le(wav, 4, 2);
    le(wav, 16, 2);
    wav.insert(wav.end(), {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    le(wav, std::uint32_t(sound.size()), 4);
    wav.insert(wav.end(), sound.begin(), sound.end());
    writeFile(path, wav);
}

TEST(DiscImages, WaveFilesOfASheetAreReadPastTheirHeaders) {
    TempDir dir;
    writeWav(dir.file("one.wav"), 0, 300);
    writeWav(dir.file("two.wav"), 300, 225);
    writeText(dir.file("waves.cue"),
              "FILE \"one.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "FILE \"two.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
    auto drive = openDrive(dir.file("waves.cue"));
    ASSERT_TRUE(drive.ok()) << drive.error();
    EXPECT_EQ(discKey(*drive.value()), "150 450 675");
    std::vector<std::uint8_t> sectors(2 * kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(299, 2, sectors), ReadStatus::Ok);
    EXPECT_EQ(sectors, imageSectors(299, 2, true));

    writeText(dir.file("raw.wav"), std::string("RIFF....WAVEdata\0\0\0\0", 20));  // no format
    writeText(dir.file("bad.cue"), "FILE \"raw.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    const auto bad = openDrive(dir.file("bad.cue"));
    ASSERT_FALSE(bad.ok());
    EXPECT_NE(bad.error().find("is not 44.1 kHz 16-bit stereo PCM"), std::string::npos)
        << bad.error();
}

TEST(CueSheets, KeepTheirTextLinesForTheDiscAndEachTrack) {
    const auto file = [](const std::string&, bool) {
        return CueDataFile{true, 0, std::uint64_t{kBytesPerFrame} * 600, ""};
    };
    const auto layout = LayOutCueSheet(
        "PERFORMER \"The Band\"\nTITLE \"An Album\"\nFILE \"disc.bin\" BINARY\n"
        "  TRACK 01 AUDIO\n    TITLE \"First Song\"\n    performer Solo\n"
        "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    SONGWRITER A. Writer\n"
        "    INDEX 01 00:04:00\n",
        "/discs/disc.cue", file);
    ASSERT_TRUE(layout.ok()) << layout.error();
    using Text = std::map<int, std::map<std::string, std::string>>;
    EXPECT_EQ(layout.value().text, (Text{{0, {{"PERFORMER", "The Band"}, {"TITLE", "An Album"}}},
                                         {1, {{"PERFORMER", "Solo"}, {"TITLE", "First Song"}}},
                                         {2, {{"SONGWRITER", "A. Writer"}}}}));
}

TEST(DiscImages, OneFileSheetsAreLaidOutAsLibcdioLaysThemOut) {
    // libcdio reads each sheet in a child process; its table of contents is the reference
    // for the keys libraries already hold.
    TempDir dir;
    writeFile(dir.file("disc.bin"), std::vector<std::uint8_t>(std::size_t(1000) * kBytesPerFrame));
    const std::string sheets[] = {
        "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n"
        "  INDEX 00 00:02:00\n  INDEX 01 00:04:00\n TRACK 03 MODE1/2352\n  INDEX 01 00:08:00\n",
        "REM GENRE Test\nPERFORMER \"Someone\"\nFILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n"
        "  TITLE \"One\"\n  PREGAP 00:02:00\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n"
        "  PREGAP 00:01:10\n  INDEX 01 00:04:00\n TRACK 03 AUDIO\n  FLAGS DCP\n"
        "  INDEX 01 00:10:01\n",
        "FILE \"disc.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
        "  TRACK 02 MODE1/2048\r\n    INDEX 01 00:04:00\r\n  TRACK 03 AUDIO\r\n"
        "    INDEX 01 00:08:00\r\n",
        "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 MODE2/2352\n"
        "  INDEX 01 00:13:24\n",
        "FILE \"disc.bin\" BINARY\n TRACK 05 AUDIO\n  INDEX 01 00:00:33\n TRACK 06 AUDIO\n"
        "  INDEX 01 00:02:00\n",
    };
    for (const std::string& sheet : sheets) {
        writeText(dir.file("disc.cue"), sheet);
        const auto libcdio = ReadWithLibcdio(dir.file("disc.cue"), LibcdioImage::Cue);
        ASSERT_TRUE(libcdio.read) << sheet;
        auto ours = openDrive(dir.file("disc.cue"));
        ASSERT_TRUE(ours.ok()) << ours.error();
        EXPECT_EQ(ours.value()->readToc(), libcdio.toc) << sheet;
    }
}

TEST(DiscImages, ABinFileIsPlayedThroughTheSheetNamedLikeIt) {
    TempDir dir;
    writeFile(dir.file("image.bin"), imageSectors(0, 300, true));
    // A sheet whose only track is 99 made libcdio write past its arrays when the image was
    // opened by its BIN file; the sheet is read as what it says.
    writeText(dir.file("image.cue"),
              "FILE \"image.bin\" BINARY\n TRACK 99 AUDIO\n  INDEX 01 00:00:00\n");
    const auto late = openDrive(dir.file("image.bin"));
    ASSERT_TRUE(late.ok()) << late.error();
    EXPECT_EQ(late.value()->readToc()->firstTrack(), 99);
    EXPECT_EQ(late.value()->readToc()->leadoutSector, 300);

    writeFile(dir.file("lone.bin"), imageSectors(0, 300, true));
    const auto lone = openDrive(dir.file("lone.bin"));
    ASSERT_FALSE(lone.ok());
    EXPECT_EQ(lone.error(), "'" + dir.file("lone.bin") +
                                "' is a BIN file of raw sectors without its CUE sheet: the "
                                "player needs 'lone.cue' beside it to know its tracks.");
}

TEST(DiscImages, AMissingDataFileAnUnreadableSheetAndANonImageAreToldApart) {
    TempDir dir;
    writeText(dir.file("album.cue"),
              "FILE \"album (disc 1).bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    writeText(dir.file("album.toc"), "CD_DA\nTRACK AUDIO\nFILE \"gone.bin\" 0\n");
    // A sheet that opens but whose reading fails, for the superuser too.
    std::filesystem::create_symlink("/proc/self/mem", dir.file("unreadable.cue"));
    writeText(dir.file("noise.cue"), "this is not a cue sheet\n");
    writeText(dir.file("notes.txt"), "nothing to play here\n");
    const std::pair<std::string, std::string> cases[] = {
        {"album.cue", "The CUE sheet '" + dir.file("album.cue") + "' names the data file '" +
                          dir.file("album (disc 1).bin") + "', which is missing."},
        {"album.toc", "The TOC file '" + dir.file("album.toc") + "' names the data file '" +
                          dir.file("gone.bin") + "', which is missing."},
        {"unreadable.cue",
         "The CUE sheet '" + dir.file("unreadable.cue") + "' cannot be read: Input/output error."},
        {"noise.cue",
         "'" + dir.file("noise.cue") + "' is not a CUE sheet: it names no data file and no track."},
        {"notes.txt", "'" + dir.file("notes.txt") +
                          "' is not a disc image this player can read (CUE/BIN, cdrdao TOC or "
                          "NRG)."},
    };
    for (const auto& [name, message] : cases) {
        const auto drive = openDrive(dir.file(name));
        ASSERT_FALSE(drive.ok()) << name;
        EXPECT_EQ(drive.error(), message);
    }
}

TEST(DiscImages, ASheetLongerThanACdHoldsIsRefused) {
    TempDir dir;
    writeFile(dir.file("a.bin"), imageSectors(0, 100, true));
    writeFile(dir.file("b.bin"), imageSectors(100, 80, true));
    const std::string twoFiles =
        "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "FILE \"b.bin\" BINARY\n  TRACK 02 AUDIO\n    PREGAP LENGTH\n    INDEX 01 00:00:00\n";
    const auto withGap = [&](const std::string& gap) {
        std::string sheet = twoFiles;
        sheet.replace(sheet.find("LENGTH"), 6, gap);
        writeText(dir.file("gap.cue"), sheet);
        return openDrive(dir.file("gap.cue"));
    };
    // The leadout may lie at 99:59:74, sector 449849; 100 + 80 sectors of files leave
    // 449669 for the pregap: 99:55:44.
    EXPECT_TRUE(withGap("99:55:44").ok()) << withGap("99:55:44").error();
    for (const char* gap : {"99:55:45", "99999:00:00"}) {
        const auto drive = withGap(gap);
        ASSERT_FALSE(drive.ok()) << gap;
        EXPECT_NE(drive.error().find("longer than a CD can hold"), std::string::npos)
            << drive.error();
    }
    // Many pregaps, each one short enough.
    std::string many;
    for (int track = 1; track <= 30; ++track) {
        char lines[160];
        std::snprintf(lines, sizeof lines,
                      "FILE \"a.bin\" BINARY\n TRACK %02d AUDIO\n  PREGAP 99:00:00\n"
                      "  INDEX 01 00:00:00\n",
                      track);
        many += lines;
    }
    writeText(dir.file("many.cue"), many);
    EXPECT_FALSE(openDrive(dir.file("many.cue")).ok());

    // A data file larger than any disc (made sparse, so it takes no room).
    writeFile(dir.file("huge.bin"), {});
    std::filesystem::resize_file(dir.file("huge.bin"), std::uintmax_t{3} << 30);
    writeText(dir.file("huge.cue"),
              "FILE \"huge.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    const auto huge = openDrive(dir.file("huge.cue"));
    ASSERT_FALSE(huge.ok());
    EXPECT_NE(huge.error().find("longer than a CD can hold"), std::string::npos) << huge.error();
}

TEST(OpenDrive, ControlBytesOfABadNameAreShownEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"/no/such\x1B[2J drive\n",
         "There is no CD drive or disc image '/no/such\\x1B[2J drive\\n'."},
        {"virtual:\a\t",
         "Bad virtual disc 'virtual:\\x07\\t': track length '\\x07\\t' is not "
         "mm:ss:ff."},
        {"/no/\xC2\x9B"
         "31m",
         "There is no CD drive or disc image '/no/\\u009B31m'."},
        {"/no/caf\xE9\x7F", "There is no CD drive or disc image '/no/caf\\xE9\\x7F'."},
        {"/no/caf\xC3\xA9", "There is no CD drive or disc image '/no/caf\xC3\xA9'."},
    };
    for (const auto& [name, message] : cases) {
        const auto drive = openDrive(name);
        ASSERT_FALSE(drive.ok());
        EXPECT_EQ(drive.error(), message);
    }
}

TEST(DiscImages, DoorTakesTheDiscOutAndPutsItBack) {
    TempDir dir;
    auto drive = openDrive(writeCueBin(dir, kMixedDisc));
    ASSERT_TRUE(drive.ok()) << drive.error();
    ManualClock clock;
    CdAudioDevice device(*drive.value(), std::make_unique<NullOutput>(clock));
    auto reply = [&device](const std::string& command) { return device.send(command, 256); };
    reply("open cdaudio alias cd wait shareable");
    reply("set cd time format tmsf");
    ASSERT_EQ(reply("play cd from 2").code, 0);
    clock.advance(1000);

    EXPECT_EQ(reply("set cd door open").code, 0);
    EXPECT_EQ(reply("status cd media present").reply, "false");
    EXPECT_EQ(reply("status cd mode").reply, "open");
    EXPECT_EQ(reply("status cd number of tracks").code, mci::kDeviceNotReady);
    std::vector<std::uint8_t> sector(kBytesPerFrame);
    EXPECT_EQ(drive.value()->readAudio(0, 1, sector), ReadStatus::NoDisc);

    EXPECT_EQ(reply("set cd door closed").code, 0);
    EXPECT_EQ(reply("status cd media present").reply, "true");
    EXPECT_EQ(reply("status cd mode").reply, "stopped");
    EXPECT_EQ(reply("status cd position").reply, "01:00:00:00") << "read afresh, at its start";
    EXPECT_EQ(reply("status cd number of tracks").reply, "4");
    EXPECT_EQ(drive.value()->readAudio(0, 1, sector), ReadStatus::Ok);
}

}  // namespace
}  // namespace sonarch
