// Libraries in the old Access (Jet) format, imported into a new library: written by the
// test writer, checked with mdbtools, read back through the import and compared with what
// mdbtools' own mdb-export prints.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "child_process.h"
#include "jet_files.h"
#include "library/jet/cover_folder.h"
#include "library/jet/jet_answer.h"
#include "library/jet/jet_audio_reader.h"
#include "library/jet/jet_import.h"
#include "library/jet/jet_library.h"
#include "library/library_store.h"
#include "library_fixture.h"

namespace sonarch {
namespace {

using testing::JetCell;
using testing::JetColumn;
using testing::JetFileOptions;
using testing::JetTable;
using testing::JetType;
using testing::JetVersion;
using testing::ProgramRun;
using testing::SqlFile;
using testing::TempFolder;

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The text each kind of file can hold: Jet 4 any character of the first plane, Jet 3 those
// of its code page.
struct OldFormat {
    const char* name;
    JetVersion version;
    int codePage;
    std::string title;
    std::string artist;
};

void PrintTo(const OldFormat& format, std::ostream* out) {
    *out << format.name;
}

const OldFormat kFormats[] = {
    {"Jet4", JetVersion::Jet4, 1252, "Café Ωmega — 日本語", "Ādam Ŝinger"},
    {"Jet3Western", JetVersion::Jet3, 1252, "Café Déjà vu", "Mötley Crüe"},
    {"Jet3Cyrillic", JetVersion::Jet3, 1251, "Группа крови", "Кино"},
};

struct JetImportTest : ::testing::Test {
    void SetUp() override {
        if (!testing::HaveMdbtools()) {
            GTEST_SKIP() << "mdbtools (mdb-ver, mdb-schema, mdb-export) are not installed";
        }
    }

    ProgramRun qvlib(std::vector<std::string> args) {
        args.insert(args.begin(), QVLIB_PROGRAM);
        return testing::RunProgram(args, work.path().string());
    }

    // The key the player computes for the demo disc, as qvlib prints it.
    std::string demoKey() {
        const ProgramRun key = qvlib({"key", "--drive", "demo"});
        EXPECT_EQ(key.exitCode, 0) << key.err;
        return key.out.substr(0, key.out.find('\n'));
    }

    // A library of two discs: the demo disc's twelve tracks, and three rows of another disc
    // with two of the same track number; Nulls, texts over 255 characters, a long text over
    // several pages, columns a library does not keep, and a row Access deleted.
    JetTable oldLibrary(const OldFormat& format, const std::string& key) {
        JetTable audio{"Audio", testing::LibraryColumns(), {}, {}};
        audio.columns.push_back({"Genre", JetType::Text, 50});
        audio.columns.push_back({"Added", JetType::LongInteger, 0});
        std::string pages;
        for (int i = 0; pages.size() < 6000; ++i) {
            pages += "line " + std::to_string(i) + " of a long story. ";
        }
        for (int t = 1; t <= 12; ++t) {
            const std::string n = (t < 10 ? "0" : "") + std::to_string(t);
            JetCell comment;
            if (t == 3) {
                comment = std::string(300, 'w') + " " + format.title;
            } else if (t == 5) {
                comment = pages;
            } else if (t != 4) {
                comment = "track " + n;
            }
            audio.rows.push_back(
                {key, n, "0" + std::to_string(t % 6) + ":30", t == 1 ? format.title : "Song " + n,
                 t == 2 ? format.artist : "Singer", "Night Cartography",
                 t == 6 ? JetCell() : std::to_string(t % 11), "C:\\Music\\Covers\\Front.jpg",
                 "about the album", comment, t % 2 ? JetCell("Ambient") : JetCell(),
                 std::to_string(t * 1000)});
        }
        const std::string other = "150 20000 40000 60001";
        audio.rows.push_back({other, "01", "05:00", JetCell(), format.artist, "Second", "10",
                              "D:\\Pictures\\missing.png", JetCell(), "", "Pop", "1"});
        audio.rows.push_back({other, "02", "04:10", "Twice", "", "Second", JetCell(),
                              "D:\\Pictures\\missing.png", "", "first of two", "Pop", "2"});
        audio.rows.push_back({other, "02", "04:10", "Twice again", "", "Second", "3",
                              "D:\\Pictures\\missing.png", "", "second of two", JetCell(), "3"});
        audio.deletedRows.push_back(
            {"deleted", "01", "", "Gone", "", "", "1", "", "", "", "", "0"});
        return audio;
    }

    JetFileOptions options(const OldFormat& format) const {
        JetFileOptions options;
        options.version = format.version;
        options.codePage = format.codePage;
        return options;
    }

    TempFolder work;
    TempFolder place;  // where new libraries go
    std::string old = work.file("music.dbd");
    std::string made = (place.path() / "music.sqlite.dbd").string();
};

struct JetImportByFormat : JetImportTest, ::testing::WithParamInterface<OldFormat> {};

INSTANTIATE_TEST_SUITE_P(Formats, JetImportByFormat, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(JetImportByFormat, ImportGivesExactlyTheRowsMdbExportPrints) {
    const OldFormat& format = GetParam();
    const std::string key = demoKey();
    ASSERT_FALSE(key.empty());
    ASSERT_TRUE(testing::WriteCheckedJetFile(old, {oldLibrary(format, key)}, options(format),
                                             work.path().string()));
    const std::filesystem::path covers = work.path() / "covers";
    std::filesystem::create_directory(covers);
    writeBytes((covers / "front.JPG").string(), "picture");  // Windows finds it in any case
    const std::string before = readBytes(old);
    struct stat oldInfo {};
    ASSERT_EQ(::stat(old.c_str(), &oldInfo), 0);

    const ProgramRun imported = qvlib({"import", old, made, "--cover-folder", covers.string()});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(imported.out.find("imported 15 rows of 2 discs"), std::string::npos) << imported.out;
    EXPECT_NE(imported.out.find("covers: 1 of 2 found"), std::string::npos) << imported.out;
    EXPECT_NE(imported.out.find("columns left out: Genre, Added"), std::string::npos)
        << imported.out;

    // mdb-export's rows, with no value as empty text (a rating as 0) and the cover found.
    const testing::MdbtoolsView view =
        testing::ReadWithMdbtools(old, "Audio", work.path().string());
    std::vector<std::vector<std::string>> expected;
    for (const auto& cells : view.rows) {
        std::vector<std::string> row;
        for (std::size_t c = 0; c < 10; ++c) {
            row.push_back(cells[c].value_or(c == 6 ? "0" : ""));
        }
        if (CoverFileName(row[7]) == "Front.jpg") {
            row[7] = (covers / "front.JPG").string();
        }
        expected.push_back(row);
    }
    ASSERT_EQ(expected.size(), 15u);
    SqlFile library(made);
    EXPECT_EQ(library.rows("SELECT cddbToc, trkNum, trkTime, trkTitle, trkArtist, Album, Rating, "
                           "Cover, aCom, trkCom FROM Audio ORDER BY rowid"),
              expected);

    EXPECT_EQ(readBytes(old), before) << "the old library is only read";
    struct stat after {};
    ASSERT_EQ(::stat(old.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, oldInfo.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, oldInfo.st_mtim.tv_nsec);

    // The player finds the demo disc by the key it computes, in track order.
    const auto found = LibraryStore().disc(made, key).readTracks();
    ASSERT_EQ(found.status, LibraryStatus::Done) << found.error;
    ASSERT_EQ(found.value.size(), 12u);
    EXPECT_EQ(found.value[0].trkTitle, format.title);
    EXPECT_EQ(found.value[1].trkArtist, format.artist);
    EXPECT_EQ(found.value[11].trkNum, "12");
    EXPECT_EQ(found.value[5].rating, "0") << "a rating with no value";
}

TEST_P(JetImportByFormat, DamagedFilesGivePlainErrorsAndLeaveNothingBehind) {
    const OldFormat& format = GetParam();
    const std::string whole = work.file("whole.dbd");
    ASSERT_TRUE(testing::WriteCheckedJetFile(whole, {oldLibrary(format, "150 300 450")},
                                             options(format), work.path().string()));
    const std::string bytes = readBytes(whole);
    const std::size_t page = format.version == JetVersion::Jet3 ? 2048 : 4096;
    std::vector<std::string> damaged;
    for (std::size_t cut : {std::size_t(100), page, 2 * page + 7, bytes.size() / 2,
                            bytes.size() - page, bytes.size() - 1}) {
        damaged.push_back(bytes.substr(0, cut));
    }
    const std::size_t truncated = damaged.size();
    std::mt19937 random(20261209);
    for (int variant = 0; variant < 16; ++variant) {
        std::string changed = bytes;
        const std::size_t at = random() % (bytes.size() / page) * page;
        for (unsigned n = 1 + random() % 24; n > 0; --n) {
            changed[at + random() % page] = char(random());
        }
        damaged.push_back(changed);
    }
    int refused = 0;
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        writeBytes(old, damaged[i]);
        const auto imported = ImportJetLibrary({old, made, {}});
        if (imported.ok()) {
            std::filesystem::remove(made);
            EXPECT_GE(i, truncated) << "a cut file was taken: " << damaged[i].size() << " bytes";
            continue;
        }
        ++refused;
        const std::string& error = imported.error();
        EXPECT_NE(error.find("\"" + old + "\""), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(filesIn(place.path()), std::vector<std::string>()) << error;
    }
    EXPECT_GE(refused, int(truncated));
    std::cout << "[          ] " << refused << " of " << damaged.size()
              << " damaged files refused\n";
}

TEST_F(JetImportTest, TheRealAccessFileIsNoLibraryAndNothingIsWritten) {
    const std::string users = work.file("users.mdb");
    std::filesystem::copy_file(JET_TEST_DATA "/users-jet4.mdb", users);
    const ProgramRun run = qvlib({"import", users, made});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "qvlib: The file \"" + users + "\" is not a library: it has no table Audio.\n");
    EXPECT_EQ(filesIn(place.path()), std::vector<std::string>());
    EXPECT_EQ(readBytes(users), readBytes(JET_TEST_DATA "/users-jet4.mdb"));

    const ProgramRun usage = qvlib({"import", users});
    EXPECT_EQ(usage.exitCode, 2);
}

TEST_F(JetImportTest, ATableWithoutSomeColumnsImportsThemEmptyButNeedsItsKeys) {
    JetTable audio{"audio", {}, {}, {}};  // Access finds tables in any letter case
    for (const JetColumn& column : testing::LibraryColumns()) {
        if (column.name != "Cover" && column.name != "trkCom") {
            audio.columns.push_back(column);
        }
    }
    audio.rows.push_back({"150 900", "01", "03:00", "Only", "One", "Album", "4", "note"});
    ASSERT_TRUE(testing::WriteCheckedJetFile(old, {audio}, {}, work.path().string()));
    const ProgramRun run = qvlib({"import", old, made});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("columns missing, imported empty: Cover, trkCom"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("covers: none named"), std::string::npos) << run.out;
    EXPECT_EQ(SqlFile(made).rows("SELECT trkTitle, Rating, Cover, aCom, trkCom FROM Audio"),
              (std::vector<std::vector<std::string>>{{"Only", "4", "", "note", ""}}));

    audio.columns.erase(audio.columns.begin() + 1);  // trkNum
    audio.rows[0].erase(audio.rows[0].begin() + 1);
    const std::string keyless = work.file("keyless.dbd");
    ASSERT_TRUE(testing::WriteCheckedJetFile(keyless, {audio}, {}, work.path().string()));
    const auto refused = ImportJetLibrary({keyless, work.file("other.dbd"), {}});
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("has no column trkNum in its table Audio"), std::string::npos)
        << refused.error();
}

TEST_F(JetImportTest, ALongTextWhosePagesAreGoneIsADamagedFile) {
    JetTable audio{"Audio", testing::LibraryColumns(), {}, {}};
    audio.rows.push_back({"150 900", "01", "", "", "", "", "0", "", "", std::string(300, 'x')});
    ASSERT_TRUE(testing::WriteCheckedJetFile(old, {audio}, {}, work.path().string()));
    // The long text's field: 302 bytes (compressed) on a long-value page, then its pointer.
    std::string bytes = readBytes(old);
    const std::size_t field = bytes.find(std::string("\x2E\x01\x00\x40", 4));
    ASSERT_NE(field, std::string::npos);
    bytes.replace(field + 4, 4, std::string("\x00\xFF\x7F\x00", 4));  // a page past the end
    writeBytes(old, bytes);
    const auto imported = ImportJetLibrary({old, made, {}});
    ASSERT_FALSE(imported.ok());
    EXPECT_EQ(imported.error(), "The Access file \"" + old +
                                    "\" is damaged: a long text in row 1 of its table Audio "
                                    "cannot be read.");
}

TEST_F(JetImportTest, AnImportNeverTakesThePlaceOfAFileAndCanBeStopped) {
    JetTable audio{"Audio", testing::LibraryColumns(), {}, {}};
    for (int i = 0; i < 1200; ++i) {
        audio.rows.push_back({"150 " + std::to_string(1000 + i / 12), std::to_string(i % 12 + 10),
                              "03:00", "Title " + std::to_string(i), "Artist", "Album", "1", "", "",
                              ""});
    }
    ASSERT_TRUE(testing::WriteCheckedJetFile(old, {audio}, {}, work.path().string()));

    writeBytes(made, "mine");
    const auto onTop = ImportJetLibrary({old, made, {}});
    ASSERT_FALSE(onTop.ok());
    EXPECT_EQ(onTop.error(), "\"" + made + "\" already exists; choose a new file name.");
    EXPECT_EQ(readBytes(made), "mine");
    EXPECT_FALSE(ImportJetLibrary({old, old, {}}).ok());
    std::filesystem::remove(made);

    std::vector<JetImportProgress> told;
    const auto stopped = ImportJetLibrary({old, made, {}}, [&](const JetImportProgress& now) {
        told.push_back(now);
        return now.done < 500;
    });
    ASSERT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.error(), "The import was stopped; no new library was made.");
    EXPECT_EQ(filesIn(place.path()), std::vector<std::string>());
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back().done, 500u);

    told.clear();
    const auto done = ImportJetLibrary({old, made, {}}, [&](const JetImportProgress& now) {
        told.push_back(now);
        return true;
    });
    ASSERT_TRUE(done.ok()) << done.error();
    EXPECT_EQ(done.value().rows, 1200u);
    EXPECT_EQ(done.value().discs, 100u);
    ASSERT_GE(told.size(), 4u);
    EXPECT_EQ(told.front().step, JetImportProgress::Step::Reading);
    EXPECT_EQ(told.back().step, JetImportProgress::Step::Finishing);
    for (std::size_t i = 2; i + 1 < told.size(); ++i) {
        EXPECT_EQ(told[i].step, JetImportProgress::Step::Writing);
        EXPECT_GT(told[i].done, told[i - 1].done);
        EXPECT_EQ(told[i].total, 1200u);
    }
    EXPECT_EQ(filesIn(place.path()), std::vector<std::string>{"music.sqlite.dbd"});
    const auto again = ImportJetLibrary({made, work.file("again.dbd"), {}});
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error(), "The file \"" + made +
                                 "\" is not a library in the old Access format: it is a library "
                                 "of this player already.");

    EXPECT_EQ(SuggestedImportPath(old), work.file("music (imported).dbd"));
    writeBytes(work.file("music (imported).dbd"), "");
    EXPECT_EQ(SuggestedImportPath(old), work.file("music (imported 2).dbd"));
}

TEST_F(JetImportTest, TheReadingChildIsBoundInTimeAndMemory) {
    JetTable audio{"Audio", testing::LibraryColumns(), {}, {}};
    for (int i = 0; i < 4000; ++i) {
        audio.rows.push_back({"150 900", "01", "",
                              "A title of some length, number " + std::to_string(i), "", "", "0",
                              "", "", ""});
    }
    ASSERT_TRUE(testing::WriteCheckedJetFile(old, {audio}, {}, work.path().string()));
    ASSERT_TRUE(ReadJetLibrary(old).ok());
    // In a process of its own: memory this one freed lingers in AddressSanitizer's
    // quarantine, which a child could give back to make room.
    const ProgramRun starved = testing::RunProgram(
        {testing::ThisProgram(), "--starved-jet-reader", old}, work.path().string());
    EXPECT_EQ(starved.exitCode, 1) << starved.out;
    EXPECT_NE(starved.out.find("\"" + old + "\""), std::string::npos) << starved.out;
    const auto hurried = ReadJetLibrary(old, {std::chrono::milliseconds(0), 1ull << 30});
    ASSERT_FALSE(hurried.ok());
    EXPECT_NE(hurried.error().find("was stopped after 0 seconds"), std::string::npos)
        << hurried.error();
}

TEST(JetAnswer, AnAnswerCutShortIsRefused) {
    JetAudioTable table;
    table.declaredRows = 2;
    table.leftOut = {"Genre"};
    JetAnswerWriter writer(table);
    writer.addRow({"150 900", "01", "03:00", "Café", "Ann", "Album", -3, "c", "a", "t"});
    writer.addRow({});
    const std::string answer = std::move(writer).finish(1);
    const auto whole = DecodeJetAnswer(answer);
    ASSERT_TRUE(whole && std::holds_alternative<JetAudioTable>(*whole));
    const auto& read = std::get<JetAudioTable>(*whole);
    EXPECT_EQ(read.rows.size(), 2u);
    EXPECT_EQ(read.rows[0].rating, -3);
    EXPECT_EQ(read.leftOut, table.leftOut);
    EXPECT_EQ(read.cutTexts, 1u);
    for (std::size_t cut = 0; cut < answer.size(); ++cut) {
        EXPECT_FALSE(DecodeJetAnswer(std::string_view(answer).substr(0, cut))) << cut;
    }
    std::string notUtf8 = answer;
    notUtf8.replace(notUtf8.find("Caf"), 5, "Caf\xE9!");
    EXPECT_FALSE(DecodeJetAnswer(notUtf8));
}

TEST(JetAnswer, RatingsAreTheNearestWholeNumberHalvesToEven) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"7", 7},       {" 10 ", 10},          {"-3", -3}, {"7.00000000e+00", 7},
        {"7,5e+00", 8}, {"6.50000000e+00", 6}, {"", 0},    {"seven", 0},
        {"1e300", 0},
    };
    for (const auto& [text, rating] : cases) {
        EXPECT_EQ(RatingFromText(text), rating) << text;
    }
}

}  // namespace

// The child role of TheReadingChildIsBoundInTimeAndMemory: 128 KiB are too little for the
// reader's buffers and its answer, so the read fails (under AddressSanitizer, whose report
// of it hangs, by the time limit); 1 and the reason when it does.
int RunStarvedJetReader(const std::string& path) {
    const auto read = ReadJetLibrary(path, {std::chrono::seconds(3), 128 * 1024});
    std::cout << (read.ok() ? std::string("read") : read.error()) << std::endl;
    return read.ok() ? 0 : 1;
}

}  // namespace sonarch
