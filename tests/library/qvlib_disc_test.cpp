// qvlib and the disc itself: names from CD-TEXT, and the MusicBrainz disc ID.
#include <gtest/gtest.h>

#include <fstream>

#include "child_process.h"
#include "library_fixture.h"
#include "support/text_images.h"

namespace sonarch {
namespace {

using testing::ProgramRun;
using testing::SqlFile;
using testing::TempFolder;

const std::vector<testing::ImageTrack> kThreeTracks = {{300, true}, {225, true}, {150, true}};

struct QvlibDiscTest : ::testing::Test {
    ProgramRun qvlib(std::vector<std::string> args) {
        args.insert(args.begin(), QVLIB_PROGRAM);
        return testing::RunProgram(args, folder.path().string());
    }
    std::vector<std::vector<std::string>> rows() {
        SqlFile file(library);
        return file.rows(
            "SELECT trkNum, trkTitle, trkArtist, Album, Rating, trkCom FROM Audio "
            "ORDER BY trkNum");
    }

    TempFolder folder;
    testing::TempDir images;
    std::string library = folder.file("music.dbd");
};

TEST_F(QvlibDiscTest, CdTextOfALatin1CueSheetIsStored) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    // Latin-1: \xE9 e-acute, \xF8 o-slash. Track 2 has no performer, track 3 no text at all.
    const std::string cue = testing::writeCueWithText(
        images, kThreeTracks, "TITLE \"Caf\xE9 Songs\"\nPERFORMER \"Bj\xF8rn & Co\"\n",
        {"    TITLE \"Morning\"\n    PERFORMER \"Ann\"\n", "    TITLE \"Noon\"\n"});
    const auto added = qvlib({"add", library, "--drive", cue, "--cdtext"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const std::string album = "Caf\u00e9 Songs";
    EXPECT_EQ(rows(), (std::vector<std::vector<std::string>>{
                          {"01", "Morning", "Ann", album, "0", ""},
                          {"02", "Noon", "Bj\u00f8rn & Co", album, "0", ""},
                          {"03", "Track 03", "Bj\u00f8rn & Co", album, "0", ""}}));
}

TEST_F(QvlibDiscTest, ATrackSheetWinsOverCdTextLineByLine) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    const std::string toc =
        testing::writeTocWithText(images, kThreeTracks, "Toc Album", "Toc Band", {"One", "Two"});
    const std::string sheet = folder.file("sheet.tsv");
    std::ofstream(sheet) << "Mine\tMe\t7\tmy comment\n";
    const auto added = qvlib(
        {"add", library, "--drive", toc, "--cdtext", "--tracks", sheet, "--album", "Given Album"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(rows(), (std::vector<std::vector<std::string>>{
                          {"01", "Mine", "Me", "Given Album", "7", "my comment"},
                          {"02", "Two", "Toc Band", "Given Album", "0", ""},
                          {"03", "Track 03", "Toc Band", "Given Album", "0", ""}}));

    // A sheet longer than the disc is still refused.
    std::ofstream(sheet) << "a\tb\nc\td\ne\tf\ng\th\n";
    const auto tooLong =
        qvlib({"add", library, "--drive", toc, "--cdtext", "--tracks", sheet, "--replace"});
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_NE(tooLong.err.find("lists 4"), std::string::npos) << tooLong.err;
    EXPECT_EQ(rows().size(), 3u);
}

TEST_F(QvlibDiscTest, CdTextOfAVirtualDiscAndADiscWithoutAny) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    const auto plain = qvlib({"add", library, "--drive", "virtual:00:10:00,00:10:00", "--cdtext"});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_NE(plain.err.find("carries no CD-TEXT"), std::string::npos) << plain.err;
    EXPECT_TRUE(rows().empty());

    const auto added = qvlib({"add", library, "--drive",
                              "virtual:disc|Album|Band,00:10:00|First,00:10:00||Solo", "--cdtext"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(rows(), (std::vector<std::vector<std::string>>{
                          {"01", "First", "Band", "Album", "0", ""},
                          {"02", "Track 02", "Solo", "Album", "0", ""}}));

    EXPECT_EQ(qvlib({"add", library, "--drive", "demo", "--cdtext", "--musicbrainz"}).exitCode, 2);
    EXPECT_EQ(qvlib({"add", library, "--drive", "demo", "--cdtext", "--release", "1"}).exitCode, 2);
}

// A virtual disc with tracks at these addresses (frames, 150 = the start of the disc) and
// the lead-out at `leadout`; with a data track after it when `dataAt` is given.
std::string virtualDisc(const std::vector<int>& starts, int leadout, int dataAt = 0) {
    std::string description = "virtual:";
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const int end = i + 1 < starts.size() ? starts[i + 1] : (dataAt ? dataAt : leadout);
        description += (i ? "," : "") + testing::msf(end - starts[i]);
    }
    return dataAt ? description + ",data=00:30:00" : description;
}

TEST_F(QvlibDiscTest, MusicBrainzDiscIdsAreLibdiscidsPublishedExamples) {
    // From libdiscid's own tests: a disc of 22 tracks, and one of 15 audio tracks that is
    // also given with its trailing data track (which the ID leaves out).
    const std::vector<int> twentyTwo = {
        150,    9700,   25887,  39297,  53795,  63735,  77517,  94877,  107270, 123552, 135522,
        148422, 161197, 174790, 192022, 205545, 218010, 228700, 239590, 255470, 266932, 288750};
    const std::vector<int> fifteen = {150,    17510,  33275,  45910,  57805,  78310,  94650, 109580,
                                      132010, 149160, 165115, 177710, 203325, 215555, 235590};
    const struct {
        std::string drive;
        std::string id;
    } cases[] = {
        {virtualDisc(twentyTwo, 303602), "xUp1F2NkfP8s8jaeFn_Av3jNEI4-"},
        {virtualDisc(fifteen, 258725), "TqvKjMu7dMliSfmVEBtrL7sBSno-"},
        {virtualDisc(fifteen, 258725, 258725 + 11400), "TqvKjMu7dMliSfmVEBtrL7sBSno-"},
    };
    for (const auto& c : cases) {
        const auto key = qvlib({"key", "--drive", c.drive, "--musicbrainz"});
        EXPECT_EQ(key.exitCode, 0) << key.err;
        EXPECT_EQ(key.out, c.id + "\n") << c.drive;
    }
    const auto dataOnly = qvlib({"key", "--drive", "virtual:data=10:00:00", "--musicbrainz"});
    EXPECT_EQ(dataOnly.exitCode, 1);
    EXPECT_NE(dataOnly.err.find("no audio tracks"), std::string::npos) << dataOnly.err;
}

}  // namespace
}  // namespace sonarch
