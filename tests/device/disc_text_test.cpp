#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "device/drives/drive_factory.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"
#include "support/cd_text_packs.h"
#include "support/disc_images.h"
#include "support/text_images.h"

namespace sonarch {
namespace {

using testing::ImageTrack;
using testing::TempDir;

const std::vector<ImageTrack> kThreeTracks = {{300, true}, {225, true}, {150, true}};

// The CD-TEXT the device reports for the image or virtual disc `name`.
DiscText deviceText(const std::string& name) {
    auto drive = openDrive(name);
    EXPECT_TRUE(drive.ok()) << drive.error();
    if (!drive.ok()) {
        return {};
    }
    ManualClock clock;
    CdAudioDevice device(*drive.value(), std::make_unique<NullOutput>(clock));
    return device.discText();
}

std::string writeCueWithText(const TempDir& dir, const std::string& textLines,
                             const std::vector<std::string>& trackLines) {
    return testing::writeCueWithText(dir, kThreeTracks, textLines, trackLines);
}

TEST(DiscText, CueSheetInLatin1ReachesThePlayerAsUtf8) {
    TempDir dir;
    // \xE9 is e-acute and \xFC u-umlaut in Latin-1.
    const std::string cue = writeCueWithText(
        dir,
        "TITLE \"Caf\xE9 Nights\"\nPERFORMER \"The Tr\xFC"
        "bners\"\n",
        {"    TITLE \"Opening\"\n    PERFORMER \"Ann\"\n", "    TITLE \"Second\"\n"});
    const DiscText text = deviceText(cue);
    EXPECT_EQ(text.title, "Caf\u00e9 Nights");
    EXPECT_EQ(text.performer, "The Tr\u00fcbners");
    ASSERT_EQ(text.tracks.size(), 2u) << "the third track has no text";
    EXPECT_EQ(text.tracks[1], (TrackText{"Second", ""}));
    EXPECT_EQ(text.tracks[0], (TrackText{"Opening", "Ann"}));
}

TEST(DiscText, CueSheetWrittenInUtf8IsNotDecodedTwice) {
    TempDir dir;
    const std::string cue = writeCueWithText(dir, "TITLE \"Caf\u00e9 \u00fcber alles\"\n",
                                             {"    TITLE \"\u00c5ngstr\u00f6m\"\n"});
    const DiscText text = deviceText(cue);
    EXPECT_EQ(text.title, "Caf\u00e9 \u00fcber alles");
    ASSERT_EQ(text.tracks.size(), 1u);
    EXPECT_EQ(text.tracks[0].title, "\u00c5ngstr\u00f6m");
}

TEST(DiscText, CdrdaoTocCdTextBlocks) {
    TempDir dir;
    const DiscText text = deviceText(
        testing::writeTocWithText(dir, kThreeTracks, "Toc Album", "Toc Band", {"", "Middle"}));
    EXPECT_EQ(text.title, "Toc Album");
    EXPECT_EQ(text.performer, "Toc Band");
    ASSERT_EQ(text.tracks.size(), 2u);
    EXPECT_EQ(text.tracks[0], TrackText{});
    EXPECT_EQ(text.tracks[1], (TrackText{"Middle", ""}));
}

TEST(DiscText, CdTextFileGivesEnglishOverTheFirstBlock) {
    TempDir dir;
    const std::vector<testing::PackBlock> german = {
        {0x08, {"Deutsches Alb\xFCm", "Eins", "Zwei", "Drei"}, {"Kapelle", "Anna", "", ""}}};
    const std::vector<testing::PackBlock> both = {
        german[0], {0x09, {"English Album", "One", "Two", "Three"}, {"Band", "Ann", "", ""}}};
    for (const bool english : {false, true}) {
        testing::writeFile(dir.file("texts.cdt"), testing::cdTextPacks(english ? both : german));
        const std::string cue = writeCueWithText(dir, "CDTEXTFILE \"texts.cdt\"\n", {});
        const DiscText text = deviceText(cue);
        EXPECT_EQ(text.title, english ? "English Album" : "Deutsches Alb\u00fcm");
        EXPECT_EQ(text.performer, english ? "Band" : "Kapelle");
        ASSERT_EQ(text.tracks.size(), 3u);
        EXPECT_EQ(text.tracks[0], (TrackText{english ? "One" : "Eins", english ? "Ann" : "Anna"}));
        EXPECT_EQ(text.tracks[2].title, english ? "Three" : "Drei");
    }
}

TEST(DiscText, ACdTextFileThatIsAPipeIsPassedOverAndTheSheetKeepsItsLines) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("texts.cdt").c_str(), 0600), 0);
    // A writer that never writes holds the pipe open: a reader of it would wait for good.
    const int writer = ::open(dir.file("texts.cdt").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const std::string cue = writeCueWithText(
        dir, "CDTEXTFILE \"texts.cdt\"\nTITLE \"From The Sheet\"\n", {"    TITLE \"One\"\n"});
    const DiscText text = deviceText(cue);
    ::close(writer);
    EXPECT_EQ(text.title, "From The Sheet");
    ASSERT_EQ(text.tracks.size(), 1u);
    EXPECT_EQ(text.tracks[0].title, "One");
}

TEST(DiscText, SheetOfSeveralFilesKeepsItsTexts) {
    TempDir dir;
    const std::string plain = testing::writeMultiFileCue(dir, kThreeTracks);
    testing::writeFile(dir.file("texts.cdt"),
                       testing::cdTextPacks({{0x09, {"Packed", "P1", "P2", "P3"}, {}}}));
    std::ifstream in(plain);
    std::string sheet((std::istreambuf_iterator<char>(in)), {});
    // Lines of the sheet win over its CDTEXTFILE; Latin-1 and UTF-8 lines both arrive as UTF-8.
    sheet = "CDTEXTFILE \"texts.cdt\"\nPERFORMER \"Gr\xF6n\"\n" + sheet;
    sheet.insert(sheet.find("TRACK 02 AUDIO\n") + 15, "    TITLE \"Zw\u00f6lf\"\n");
    testing::writeText(plain, sheet);
    const DiscText text = deviceText(plain);
    EXPECT_EQ(text.title, "Packed");
    EXPECT_EQ(text.performer, "Gr\u00f6n");
    ASSERT_EQ(text.tracks.size(), 3u);
    EXPECT_EQ(text.tracks[0].title, "P1");
    EXPECT_EQ(text.tracks[1].title, "Zw\u00f6lf");
    EXPECT_EQ(text.tracks[2].title, "P3");
}

TEST(DiscText, DiscWithoutTextAndEmptyDriveGiveNothing) {
    TempDir dir;
    EXPECT_TRUE(deviceText(testing::writeCueBin(dir, kThreeTracks)).empty());
    EXPECT_TRUE(deviceText(testing::writeToc(dir, kThreeTracks)).empty());
    EXPECT_TRUE(deviceText(testing::writeMultiFileCue(dir, kThreeTracks)).empty());
    EXPECT_TRUE(deviceText("virtual:00:10:00,00:10:00").empty());
    EXPECT_TRUE(deviceText("virtual:").empty());
}

TEST(DiscText, OpenDoorHidesTheText) {
    TempDir dir;
    auto image = openDrive(writeCueWithText(dir, "TITLE \"Album\"\n", {}));
    ASSERT_TRUE(image.ok()) << image.error();
    VirtualDrive virtualDrive({{750, true}}, DiscText{"Virtual", "", {}});
    for (Drive* drive : {image.value().get(), static_cast<Drive*>(&virtualDrive)}) {
        EXPECT_FALSE(drive->discText().empty());
        drive->openDoor();
        EXPECT_TRUE(drive->discText().empty());
        drive->closeDoor();
        EXPECT_FALSE(drive->discText().empty());
    }
    virtualDrive.insert({{750, true}});
    EXPECT_TRUE(virtualDrive.discText().empty()) << "another disc, without CD-TEXT";
}

TEST(VirtualDiscText, WrittenOnTheCommandLine) {
    const auto disc = parseVirtualDiscWithText(
        "virtual:disc|Night%2C Day|The %7C Bars,03:00:00|One|Ann,data=01:00:00,00:30:00||Bea,"
        "00:20:00|100%25 caf%C3%A9");
    ASSERT_TRUE(disc);
    ASSERT_EQ(disc->tracks.size(), 4u);
    EXPECT_FALSE(disc->tracks[1].audio);
    EXPECT_EQ(disc->tracks[3].lengthFrames, 1500);
    EXPECT_EQ(disc->text.title, "Night, Day");
    EXPECT_EQ(disc->text.performer, "The | Bars");
    ASSERT_EQ(disc->text.tracks.size(), 4u);
    EXPECT_EQ(disc->text.tracks[0], (TrackText{"One", "Ann"}));
    EXPECT_EQ(disc->text.tracks[1], TrackText{});
    EXPECT_EQ(disc->text.tracks[2], (TrackText{"", "Bea"}));
    EXPECT_EQ(disc->text.tracks[3], (TrackText{"100% caf\u00e9", ""}));

    const auto untitled = parseVirtualDiscWithText("virtual:00:10:00,00:10:00|Last");
    ASSERT_TRUE(untitled);
    EXPECT_EQ(untitled->text.tracks.size(), 2u);
    EXPECT_TRUE(parseVirtualDiscWithText("virtual:00:10:00")->text.empty());

    std::string error;
    for (const char* bad :
         {"virtual:00:10:00|a|b|c", "virtual:00:10:00|50%", "virtual:00:10:00|%zz",
          "virtual:00:10:00|%FF", "virtual:00:10:00,disc|Late", "virtual:disc|Only%2"}) {
        EXPECT_FALSE(parseVirtualDiscWithText(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(VirtualDiscText, DemoDiscCarriesTheDemoLibrarysNames) {
    std::ifstream sheet(DEMO_SOURCE_DIR "/tracks.tsv");
    ASSERT_TRUE(sheet);
    const DiscText text = deviceText("demo");
    EXPECT_EQ(text.title, "Night Cartography");
    std::string line;
    std::size_t track = 0;
    while (std::getline(sheet, line)) {
        ASSERT_LT(track, text.tracks.size());
        const std::size_t tab = line.find('\t');
        EXPECT_EQ(text.tracks[track].title, line.substr(0, tab));
        EXPECT_EQ(text.tracks[track].performer,
                  line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
        ++track;
    }
    EXPECT_EQ(track, 12u);
    EXPECT_EQ(text.tracks.size(), 12u);
}

}  // namespace
}  // namespace sonarch
