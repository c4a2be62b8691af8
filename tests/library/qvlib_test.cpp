#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "child_process.h"
#include "device/mci/disc_key.h"
#include "library/library_store.h"
#include "library/stored_text.h"
#include "library_fixture.h"
#include "support/device_fixture.h"

namespace sonarch {
namespace {

using testing::ProgramRun;
using testing::SqlFile;
using testing::TempFolder;

// The key the player computes for the demo disc, as it looks it up.
std::string DemoDiscKey() {
    testing::DeviceFixture demo(demoDisc());
    demo.openAsPlayer();
    MessageRecorder messages;
    DeviceError error;
    DeviceLayer layer(demo.device, messages, error);
    const auto key = ComputeDiscKey(layer, {});
    EXPECT_TRUE(key.ok()) << key.error();
    return key.ok() ? StoredDiscKey(key.value()) : std::string();
}

// The demo disc's track lengths, as mm:ss.
const std::vector<std::string> kDemoTimes = {"03:12", "04:05", "02:47", "03:58", "04:41", "02:15",
                                             "03:33", "04:59", "03:05", "02:38", "04:12", "03:49"};

struct QvlibTest : ::testing::Test {
    ProgramRun qvlib(std::vector<std::string> args) {
        args.insert(args.begin(), QVLIB_PROGRAM);
        return testing::RunProgram(args, folder.path().string());
    }
    std::string writeSheet(const std::string& name, const std::string& text) {
        const std::string path = folder.file(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string twelveTracks() {
        std::string text;
        for (int i = 1; i <= 12; ++i) {
            text += "Song " + std::to_string(i) + "\tSinger " + std::to_string(i);
            text += i == 4 ? "\t7\tfourth comment\n" : "\n";
        }
        return text;
    }

    TempFolder folder;
    std::string library = folder.file("music.dbd");
};

TEST_F(QvlibTest, RoundTripTheDemoDiscIsFoundByThePlayersKey) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    const std::string cover = folder.file("cover.png");
    std::ofstream(cover) << "picture";
    const auto added = qvlib({"add", library, "--drive", "demo", "--tracks",
                              writeSheet("tracks.tsv", twelveTracks()), "--album", "Blue Album",
                              "--cover", cover, "--album-comment", "about the album"});
    ASSERT_EQ(added.exitCode, 0) << added.err;

    const std::string key = DemoDiscKey();
    const auto found = LibraryStore().disc(library, key).readTracks();
    ASSERT_EQ(found.status, LibraryStatus::Done) << found.error;
    ASSERT_EQ(found.value.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
        const TrackRecord& row = found.value[i];
        const std::string n = std::to_string(i + 1);
        EXPECT_EQ(row.trkNum, (i + 1 < 10 ? "0" : "") + n);
        EXPECT_EQ(row.trkTime, kDemoTimes[i]);
        EXPECT_EQ(row.trkTitle, "Song " + n);
        EXPECT_EQ(row.trkArtist, "Singer " + n);
        EXPECT_EQ(row.album, "Blue Album");
        EXPECT_EQ(row.rating, i == 3 ? "7" : "0");
        EXPECT_EQ(row.cover, cover);
    }
    SqlFile file(library);
    EXPECT_EQ(file.single("SELECT trkCom FROM Audio WHERE trkNum = '04'"), "fourth comment");
    EXPECT_EQ(file.single("SELECT count(*) FROM Audio WHERE aCom = 'about the album'"), "12");

    const auto printed = qvlib({"key", "--drive", "demo"});
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.out, key + "\n");

    const auto shown = qvlib({"show", library, "--key", key});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 13);
    EXPECT_NE(shown.out.find(key + "\t04\t03:58\tSong 4\tSinger 4\tBlue Album\t7\t"),
              std::string::npos)
        << shown.out;
    EXPECT_EQ(qvlib({"show", library, "--key", "150 1"}).out.find('\n'),
              shown.out.find('\n'));  // the heading alone
}

TEST_F(QvlibTest, LookupsUseTheIndexOfANewLibrary) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    SqlFile file(library);
    for (const std::string query : {kOrderedDiscQuery, kDiscQuery, kTrackQuery}) {
        std::string plan;
        for (const auto& row : file.rows("EXPLAIN QUERY PLAN " + query)) {
            plan += row.back() + "\n";
        }
        SCOPED_TRACE(query);
        EXPECT_NE(plan.find("USING INDEX AudioByDiscAndTrack"), std::string::npos) << plan;
        EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << plan;
        EXPECT_EQ(plan.find("SCAN"), std::string::npos) << plan;
    }
}

TEST_F(QvlibTest, BadInputIsRefusedInPlainWordsAndChangesNothing) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    const std::string good = writeSheet("good.tsv", twelveTracks());
    std::string elevenLines = twelveTracks();
    elevenLines.erase(elevenLines.rfind("Song 12"));
    std::string badRating = twelveTracks();
    badRating.replace(badRating.find("Singer 3") + 8, 0, "\t11");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    };
    const Case cases[] = {
        {{"add", library, "--drive", "demo", "--tracks", writeSheet("eleven.tsv", elevenLines)},
         1,
         "the disc has 12 tracks but"},
        {{"add", library, "--drive", "demo", "--tracks", writeSheet("rating.tsv", badRating)},
         1,
         "line 3: the rating '11' is not a whole number from 0 to 10"},
        {{"add", library, "--drive", "demo", "--tracks", writeSheet("latin1.tsv", "Caf\xE9\tX\n")},
         1,
         "line 1: the text is not UTF-8"},
        {{"add", library, "--drive", "demo", "--tracks", writeSheet("one.tsv", "Only a title\n")},
         1,
         "found 1 field"},
        {{"add", library, "--drive", "demo", "--tracks", folder.file("missing.tsv")},
         1,
         "cannot read"},
        {{"add", library, "--drive", "demo", "--tracks", good, "--cover", folder.file("no.png")},
         1,
         "is not a file"},
        {{"add", library, "--drive", "demo", "--tracks", good, "--cover-path", "covers/a.png"},
         2,
         "--cover-path takes an absolute path"},
        {{"add", library, "--drive", "demo", "--tracks", good, "--cover", good, "--cover-path",
          "/usr/share/a.png"},
         2,
         "not both"},
        {{"add", library, "--drive", "virtual:", "--tracks", good}, 1, "drive 'virtual:'"},
        {{"add", library, "--drive", "virtual:xx", "--tracks", good}, 1, "Bad virtual disc"},
        {{"add", folder.file("missing.dbd"), "--drive", "demo", "--tracks", good},
         1,
         "missing.dbd\" does not exist"},
        {{"add", library, "--tracks", good}, 2, "add needs --drive and --tracks"},
        {{"add", library, "--drive"}, 2, "--drive needs a value"},
        {{"show", library, "--colour", "red"}, 2, "unknown option '--colour'"},
        {{"create", library}, 1, "already exists"},
        {{"eject"}, 2, "unknown command 'eject'"},
        {{"key"}, 2, "key needs --drive"},
    };
    for (const Case& c : cases) {
        const auto run = qvlib(c.args);
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args.back() : ""));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    SqlFile file(library);
    EXPECT_EQ(file.single("SELECT count(*) FROM Audio"), "0");
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing.dbd")));
}

TEST_F(QvlibTest, ADiscIsAddedOnceUnlessReplaced) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    const std::string sheet = writeSheet("tracks.tsv", twelveTracks());
    ASSERT_EQ(qvlib({"add", library, "--drive", "demo", "--tracks", sheet}).exitCode, 0);
    const auto again = qvlib({"add", library, "--drive", "demo", "--tracks", sheet});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("already holds 12 rows for this disc"), std::string::npos);
    const auto replaced = qvlib(
        {"add", library, "--drive", "demo", "--tracks", sheet, "--album", "New", "--replace"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    SqlFile file(library);
    EXPECT_EQ(file.rows("SELECT count(*), min(Album), max(Album) FROM Audio"),
              (std::vector<std::vector<std::string>>{{"12", "New", "New"}}));
}

TEST_F(QvlibTest, AnOlderLibraryIsBroughtUpToDateAndANewerOneIsLeftAlone) {
    const std::string older = folder.file("older.dbd");
    const std::string newer = folder.file("newer.dbd");
    {
        // A library of before the schema had a version: no index, user_version 0.
        SqlFile file(older);
        file.exec(
            "CREATE TABLE Audio (cddbToc TEXT, trkNum TEXT, trkTime TEXT, trkTitle TEXT, "
            "trkArtist TEXT, Album TEXT, Rating INTEGER, Cover TEXT, aCom TEXT, trkCom TEXT);"
            "INSERT INTO Audio VALUES ('150 9000', '01', '02:00', 'Kept', 'A', 'B', 3, '', '', "
            "'')");
        SqlFile later(newer);
        later.exec(testing::AudioTableSql() + "PRAGMA user_version = 7;");
    }
    const std::string sheet = writeSheet("tracks.tsv", twelveTracks());
    const auto added = qvlib({"add", older, "--drive", "demo", "--tracks", sheet});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    SqlFile file(older);
    EXPECT_EQ(file.single("PRAGMA user_version"), "1");
    EXPECT_EQ(file.single("SELECT count(*) FROM sqlite_schema WHERE name = 'AudioByDiscAndTrack'"),
              "1");
    EXPECT_EQ(file.single("SELECT trkTitle FROM Audio WHERE cddbToc = '150 9000'"), "Kept");
    EXPECT_EQ(file.single("SELECT count(*) FROM Audio"), "13");

    const auto refused = qvlib({"add", newer, "--drive", "demo", "--tracks", sheet});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("made by a newer version"), std::string::npos) << refused.err;
    SqlFile later(newer);
    EXPECT_EQ(later.single("SELECT count(*) FROM Audio"), "0");
    EXPECT_EQ(later.single("PRAGMA user_version"), "7");

    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    EXPECT_EQ(SqlFile(library).single("PRAGMA user_version"), "1");
}

TEST_F(QvlibTest, DamagedFilesAndFilesThatAreNoLibraryAreNamedInPlainWords) {
    const std::string sheet = writeSheet("tracks.tsv", twelveTracks());
    const std::string noColumn = folder.file("no column.dbd");
    SqlFile(noColumn).exec(testing::AudioTableSql("trkTime"));
    const std::string damaged = folder.file("damaged.dbd");
    {
        SqlFile file(damaged);
        file.exec(testing::AudioTableSql());
        for (int i = 0; i < 400; ++i) {
            file.exec("INSERT INTO Audio (cddbToc, trkNum, trkTitle) VALUES ('150 " +
                      std::to_string(i) + "', '01', '" + std::string(200, 'x') + "')");
        }
    }
    {
        // Garbage over the table's pages; the first page, with the schema, is left whole.
        std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096 * 3);
        const std::string garbage(4096 * 8, '\x5A');
        file.write(garbage.data(), std::streamsize(garbage.size()));
    }
    const std::string text = writeSheet("notes.dbd", "these are my notes, not a library\n");
    const std::string other = folder.file("other.dbd");
    SqlFile(other).exec("CREATE TABLE Songs (title TEXT)");

    const std::pair<std::string, std::string> cases[] = {
        {noColumn, "The library \"" + noColumn + "\" has no column trkTime in its table Audio."},
        {damaged, "The library \"" + damaged + "\" is damaged and cannot be read."},
        {text, "The file \"" + text + "\" is not a library database."},
        {other, "The file \"" + other + "\" is not a library: it has no table Audio."},
    };
    for (const auto& [path, message] : cases) {
        for (const auto& args :
             {std::vector<std::string>{"show", path},
              std::vector<std::string>{"add", path, "--drive", "demo", "--tracks", sheet}}) {
            const auto run = qvlib(args);
            EXPECT_EQ(run.exitCode, 1) << args[0] << " " << path;
            EXPECT_EQ(run.err, "qvlib: " + message + "\n") << args[0];
        }
    }
}

TEST_F(QvlibTest, RemoveTakesOutOneDiscByItsKeyOrByTheDiscInTheDrive) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    const std::string sheet = writeSheet("tracks.tsv", twelveTracks());
    ASSERT_EQ(qvlib({"add", library, "--drive", "demo", "--tracks", sheet}).exitCode, 0);
    SqlFile file(library);
    file.exec("INSERT INTO Audio (cddbToc, trkNum, trkTitle) VALUES ('150 9000', '01', 'Kept')");

    const auto byDrive = qvlib({"remove", library, "--drive", "demo"});
    EXPECT_EQ(byDrive.exitCode, 0) << byDrive.err;
    EXPECT_EQ(byDrive.out, "removed 12 rows of disc " + DemoDiscKey() + " from " + library + "\n");
    EXPECT_EQ(file.rows("SELECT cddbToc, trkTitle FROM Audio"),
              (std::vector<std::vector<std::string>>{{"150 9000", "Kept"}}));

    const auto again = qvlib({"remove", library, "--key", DemoDiscKey()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err,
              "qvlib: \"" + library + "\" holds no disc with the key " + DemoDiscKey() + ".\n");
    EXPECT_EQ(qvlib({"remove", library, "--key", "150 9000"}).exitCode, 0);
    EXPECT_EQ(file.single("SELECT count(*) FROM Audio"), "0");
    EXPECT_EQ(qvlib({"remove", library}).exitCode, 2);
    EXPECT_EQ(qvlib({"remove", library, "--key", "1", "--drive", "demo"}).exitCode, 2);
}

TEST_F(QvlibTest, ADamagedLibraryIsRefusedAndTheCheckSaysWhatIsWrong) {
    ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    const auto sound = qvlib({"check", library});
    EXPECT_EQ(sound.exitCode, 0) << sound.err;
    EXPECT_EQ(sound.out, "the library " + library + " is sound\n");

    // Damage that a quick check passes over: a row its index does not know.
    testing::BreakIndex(library);
    const std::string sheet = writeSheet("tracks.tsv", twelveTracks());
    const auto added = qvlib({"add", library, "--drive", "demo", "--tracks", sheet});
    EXPECT_EQ(added.exitCode, 1);
    EXPECT_EQ(added.err, "qvlib: The library \"" + library + "\" is damaged and cannot be read.\n");
    EXPECT_EQ(qvlib({"remove", library, "--key", "150 1"}).exitCode, 1);
    SqlFile file(library);
    EXPECT_EQ(file.single("SELECT count(*) FROM Audio NOT INDEXED"), "1")
        << "the test's own row alone";

    const auto checked = qvlib({"check", library});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_NE(checked.out.find("missing from index AudioByDiscAndTrack"), std::string::npos)
        << checked.out;
    EXPECT_NE(checked.err.find("\"" + library + "\" is damaged: 2 problems found (listed above)"),
              std::string::npos)
        << checked.err;
}

TEST(DemoLibrary, TheBuiltDemoLibraryDescribesTheDemoDisc) {
    const auto found = LibraryStore().disc(DEMO_LIBRARY, DemoDiscKey()).readTracks();
    ASSERT_EQ(found.status, LibraryStatus::Done) << found.error;
    ASSERT_EQ(found.value.size(), 12u);
    std::ifstream sheet(DEMO_SOURCE_DIR "/tracks.tsv");
    std::string line;
    for (const TrackRecord& row : found.value) {
        ASSERT_TRUE(std::getline(sheet, line));
        EXPECT_EQ(line.substr(0, line.find('\t')), row.trkTitle);
        EXPECT_FALSE(row.trkArtist.empty());
        EXPECT_FALSE(row.album.empty());
        EXPECT_TRUE(std::filesystem::is_regular_file(row.cover)) << row.cover;
    }
    int rated = 0;
    for (const TrackRecord& row : found.value) {
        rated += row.rating != "0";
    }
    EXPECT_GE(rated, 3);
}

}  // namespace
}  // namespace sonarch
