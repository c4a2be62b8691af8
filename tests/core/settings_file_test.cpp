#include "core/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <limits>

#include "support/file_helpers.h"

namespace sonarch {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

// A 1920 x 1080 pixel screen and the normal 4875 x 1760 twips window.
const WindowPosition kCentred = CentredWindowPosition(1920 * 15, 1080 * 15, 4875, 1760);

// A file the player could have written, every value away from its default.
const char* const kCustomFile =
    "/home/ann/Music Library/cds.dbd\r\n"
    "False\r\n"
    "True\r\n"
    "False\r\n"
    "True\r\n"
    "True\r\n"
    "False\r\n"
    "True\r\n"
    " 1200 \r\n"
    "-45 \r\n"
    " 25 \r\n"
    " 12000 \r\n"
    "False\r\n"
    "False\r\n"
    "False\r\n";

Settings customSettings() {
    Settings s;
    s.databasePath = "/home/ann/Music Library/cds.dbd";
    s.alwaysOnTop = false;
    s.continuousPlay = true;
    s.showTrackElapsed = false;
    s.showTrackRemaining = true;
    s.trackListShown = true;
    s.barMode = false;
    s.inTray = true;
    s.windowLeft = 1200;
    s.windowTop = -45;
    s.seekStep = 25;
    s.volumeLevel = 12000;
    s.showRating = false;
    s.showTotalElapsed = false;
    s.showTotalRemaining = false;
    return s;
}

Settings defaultsCentred() {
    Settings s;
    s.windowLeft = 11962;  // 11962.5 rounded half to even
    s.windowTop = 7220;
    return s;
}

// `file` with its lines (1-based) replaced.
std::string withLines(std::string file, std::initializer_list<std::pair<int, std::string>> lines) {
    for (const auto& [line, text] : lines) {
        std::size_t start = 0;
        for (int i = 1; i < line; ++i) {
            start = file.find("\r\n", start) + 2;
        }
        file.replace(start, file.find("\r\n", start) - start, text);
    }
    return file;
}

std::string customFileWithLine(int line, const std::string& text) {
    return withLines(kCustomFile, {{line, text}});
}

// Exactly 15 lines, each ended by CR LF, with no other line break, and read back without a
// single line taking its default.
void expectWellFormed(const std::string& bytes) {
    int lines = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            ASSERT_LT(i + 1, bytes.size());
            ASSERT_EQ(bytes[i + 1], '\n') << "lone CR at " << i;
            ++lines;
            ++i;
        } else {
            ASSERT_NE(bytes[i], '\n') << "LF without CR at " << i;
        }
    }
    EXPECT_EQ(lines, 15);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_TRUE(ParseSettings(bytes, {}).replacedLines.empty()) << bytes;
}

TEST(CentredWindowPosition, IsHalfTheRoomLeftOnTheScreen) {
    EXPECT_DOUBLE_EQ(kCentred.left, 11962.5);
    EXPECT_DOUBLE_EQ(kCentred.top, 7220);
    const WindowPosition larger = CentredWindowPosition(4000, 3000, 5000, 3001);
    EXPECT_DOUBLE_EQ(larger.left, -500);
    EXPECT_DOUBLE_EQ(larger.top, -0.5);
}

TEST(FormatNumber, NonNegativeNumbersGetABlankForTheSignAndOneAfter) {
    const std::pair<std::int64_t, const char*> whole[] = {
        {10, " 10 "}, {0, " 0 "}, {34000, " 34000 "}, {-5, "-5 "}, {-2147483648LL, "-2147483648 "},
    };
    for (const auto& [value, text] : whole) {
        EXPECT_EQ(FormatNumber(value), text) << value;
    }
    const std::pair<double, const char*> floats[] = {
        {900.5, " 900.5 "}, {900.0, " 900 "},       {-12.25, "-12.25 "}, {-0.0, " 0 "},
        {0.1, " 0.1 "},     {11962.5, " 11962.5 "}, {-0.5, "-0.5 "},     {16777216, " 16777216 "},
    };
    for (const auto& [value, text] : floats) {
        EXPECT_EQ(FormatNumber(value), text) << value;
    }
}

TEST(LoadSettings, FirstRunWritesTheDefaultFileAndReadsIt) {
    TempFolder folder;
    const LoadedSettings loaded = LoadSettings(folder.path(), kCentred);

    EXPECT_EQ(readBytes(folder.file("player.dat")),
              "None selected\r\n"
              "True\r\n"
              "False\r\n"
              "True\r\n"
              "False\r\n"
              "False\r\n"
              "False\r\n"
              "False\r\n"
              " 11962.5 \r\n"
              " 7220 \r\n"
              " 10 \r\n"
              " 34000 \r\n"
              "True\r\n"
              "False\r\n"
              "False\r\n");
    EXPECT_TRUE(loaded.createdDefaultFile);
    EXPECT_EQ(loaded.error, "");
    EXPECT_TRUE(loaded.replacedLines.empty());
    EXPECT_EQ(loaded.settings, defaultsCentred());
}

TEST(LoadSettings, ReadsAnExistingFileWithoutRewritingIt) {
    TempFolder folder;
    writeBytes(folder.file("player.dat"), kCustomFile);
    const LoadedSettings loaded = LoadSettings(folder.path(), kCentred);
    EXPECT_FALSE(loaded.createdDefaultFile);
    EXPECT_TRUE(loaded.replacedLines.empty());
    EXPECT_EQ(loaded.settings, customSettings());
    EXPECT_EQ(readBytes(folder.file("player.dat")), kCustomFile);
}

TEST(SaveSettings, WritesWhatLoadReadsBack) {
    TempFolder folder;
    Settings saved = customSettings();
    saved.barMode = true;
    saved.showTrackRemaining = false;
    saved.showTotalRemaining = true;
    saved.seekStep = -3;
    ASSERT_TRUE(SaveSettings(folder.path(), saved, {-300, 45000}).ok());

    const std::string bytes = readBytes(folder.file("player.dat"));
    expectWellFormed(bytes);
    EXPECT_NE(bytes.find("\r\n-300 \r\n 45000 \r\n-3 \r\n 12000 \r\n"), std::string::npos);

    saved.windowLeft = -300;  // the position comes from the window, not the fields
    saved.windowTop = 45000;
    const LoadedSettings loaded = LoadSettings(folder.path(), kCentred);
    EXPECT_TRUE(loaded.replacedLines.empty());
    EXPECT_EQ(loaded.settings, saved);
}

TEST(ParseSettings, WindowPositionFractionsRoundHalfToEven) {
    const Settings left = ParseSettings(customFileWithLine(9, " 900.5 "), kCentred).settings;
    const Settings top = ParseSettings(customFileWithLine(10, " 901.5 "), kCentred).settings;
    EXPECT_EQ(left.windowLeft, 900);
    EXPECT_EQ(top.windowTop, 902);

    TempFolder folder;
    ASSERT_TRUE(SaveSettings(folder.path(), Settings{}, {900.5, 901.5}).ok());
    const LoadedSettings loaded = LoadSettings(folder.path(), kCentred);
    EXPECT_EQ(loaded.settings.windowLeft, 900);
    EXPECT_EQ(loaded.settings.windowTop, 902);
}

TEST(ParseSettings, NumbersIgnoreSurroundingBlanksAndUnreadableOnesTakeTheDefault) {
    struct Case {
        const char* line;
        std::int32_t seekStep;  // 10 is the default
        bool replaced;
    };
    const Case cases[] = {
        {" 7 ", 7, false},
        {"7", 7, false},
        {"   -3   ", -3, false},
        {"\t42\t", 42, false},
        {"+4", 4, false},
        {" 2.5 ", 2, false},
        {" 3.5 ", 4, false},
        {"-2.5 ", -2, false},
        {" 0.49 ", 0, false},
        {" 1e2 ", 100, false},
        {" 2147483647 ", 2147483647, false},
        {"-2147483648 ", std::numeric_limits<std::int32_t>::min(), false},
        {" 2147483648 ", 10, true},
        {" 1e300 ", 10, true},
        {" ten ", 10, true},
        {"", 10, true},
        {"    ", 10, true},
        {" 7 x", 10, true},
        {"7 7", 10, true},
        {" nan ", 10, true},
        {" inf ", 10, true},
        {"0x10", 10, true},
        {"+-4", 10, true},
        {"-", 10, true},
    };
    for (const Case& c : cases) {
        const ParsedSettings parsed = ParseSettings(customFileWithLine(11, c.line), kCentred);
        EXPECT_EQ(parsed.settings.seekStep, c.seekStep) << '"' << c.line << '"';
        EXPECT_EQ(parsed.replacedLines, c.replaced ? std::vector<int>{11} : std::vector<int>{})
            << '"' << c.line << '"';
    }
}

TEST(ParseSettings, BooleansAreTheWordsTrueAndFalse) {
    struct Case {
        const char* line;
        bool continuousPlay;  // False is the default
        bool replaced;
    };
    const Case cases[] = {
        {"True", true, false},  {"False", false, false}, {" True ", true, false},
        {"true", true, false},  {"FALSE", false, false}, {"Yes", false, true},
        {"-1", false, true},    {"1", false, true},      {"", false, true},
        {"Truth", false, true}, {"Tru", false, true},    {"True False", false, true},
    };
    for (const Case& c : cases) {
        const ParsedSettings parsed = ParseSettings(customFileWithLine(3, c.line), kCentred);
        EXPECT_EQ(parsed.settings.continuousPlay, c.continuousPlay) << '"' << c.line << '"';
        EXPECT_EQ(parsed.replacedLines, c.replaced ? std::vector<int>{3} : std::vector<int>{})
            << '"' << c.line << '"';
    }
}

TEST(ParseSettings, DatabasePathIsTrimmedOfBlanks) {
    const std::pair<const char*, const char*> cases[] = {
        {"   /srv/music/My CDs.dbd   ", "/srv/music/My CDs.dbd"},
        {"/srv/music/My CDs.dbd ", "/srv/music/My CDs.dbd"},
        {"None selected", "None selected"},
        {"  relative name.dbd", "relative name.dbd"},
        {"/home/j\xC3\xBCrgen/m\xC3\xBAsica.dbd", "/home/j\xC3\xBCrgen/m\xC3\xBAsica.dbd"},
        {"/home/j\xFCrgen/musik.dbd", "/home/j\xFCrgen/musik.dbd"},  // Latin-1, a valid name
        {"", kNoDatabase},
        {"     ", kNoDatabase},
        {"/srv/\x01\x02.dbd", kNoDatabase},
        // The UTF-8 mark, which the reader drops from the start of the file.
        {"\t\xEF\xBB\xBF/srv/a.dbd", kNoDatabase},
    };
    for (const auto& [line, path] : cases) {
        EXPECT_EQ(ParseSettings(customFileWithLine(1, line), kCentred).settings.databasePath, path)
            << '"' << line << '"';
    }
}

TEST(LoadSettings, VolumeOutsideItsRangeBecomesTheDefaultAndIsSavedSo) {
    struct Case {
        const char* stored;
        std::int32_t volume;
        const char* saved;
    };
    const Case cases[] = {
        {" 0 ", 34000, " 34000 "}, {" 70000 ", 34000, " 34000 "},
        {"-5 ", 34000, " 34000 "}, {" 65001 ", 34000, " 34000 "},
        {" 1 ", 1, " 1 "},         {" 65000 ", 65000, " 65000 "},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        writeBytes(folder.file("player.dat"), customFileWithLine(12, c.stored));
        const LoadedSettings loaded = LoadSettings(folder.path(), kCentred);
        EXPECT_EQ(loaded.settings.volumeLevel, c.volume) << c.stored;
        EXPECT_EQ(StartupVolume(loaded.settings.volumeLevel), c.volume) << c.stored;

        ASSERT_TRUE(SaveSettings(folder.path(), loaded.settings, {1200, -45}).ok());
        EXPECT_EQ(readBytes(folder.file("player.dat")), customFileWithLine(12, c.saved))
            << c.stored;
    }
    EXPECT_EQ(StartupVolume(0), 34000);
    EXPECT_EQ(StartupVolume(std::numeric_limits<std::int32_t>::min()), 34000);
    EXPECT_EQ(StartupVolume(65000), 65000);
}

TEST(LoadSettings, DamagedFilesKeepTheirGoodValuesAndTheNextSaveIsWellFormed) {
    std::string thirtyLines = kCustomFile;
    for (int i = 0; i < 15; ++i) {
        thirtyLines += "True\r\n";
    }
    std::string lfOnly;
    std::string crOnly;
    for (char c : std::string(kCustomFile)) {
        if (c != '\r') {
            lfOnly += c;
        }
        if (c != '\n') {
            crOnly += c;
        }
    }
    std::string noFinalLineEnd = kCustomFile;
    noFinalLineEnd.resize(noFinalLineEnd.size() - 2);
    const std::string firstFiveLines =
        "/home/ann/Music Library/cds.dbd\r\nFalse\r\nTrue\r\nFalse\r\nTrue\r\n";
    const char binary[] =
        "\x7F"
        "ELF\x02\x01\x01\x00\x00\xFF\xFE\x1B[0m\r\n\x89PNG\n\xFF\xD8\r";

    const Settings custom = customSettings();
    Settings firstFive = defaultsCentred();
    firstFive.databasePath = custom.databasePath;
    firstFive.alwaysOnTop = custom.alwaysOnTop;
    firstFive.continuousPlay = custom.continuousPlay;
    firstFive.showTrackElapsed = custom.showTrackElapsed;
    firstFive.showTrackRemaining = custom.showTrackRemaining;

    Settings garbled = custom;
    garbled.alwaysOnTop = true;
    garbled.windowLeft = 11962;
    garbled.volumeLevel = 34000;
    Settings binaryLine = custom;
    binaryLine.trackListShown = false;

    const std::vector<int> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    struct Case {
        const char* name;
        std::string file;
        Settings expected;
        std::vector<int> replaced;
    };
    const Case cases[] = {
        {"short", firstFiveLines, firstFive, {6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {"garbage values",
         withLines(kCustomFile, {{2, "Maybe"}, {9, "left"}, {12, "loud"}}),
         garbled,
         {2, 9, 12}},
        {"binary line", customFileWithLine(6, std::string("\x00\xFF\x7F\xFE", 4)), binaryLine, {6}},
        {"binary file", std::string(binary, sizeof binary - 1), defaultsCentred(), all},
        {"thirty lines", thirtyLines, custom, {}},
        {"LF only", lfOnly, custom, {}},
        {"CR only", crOnly, custom, {}},
        {"no final line end", noFinalLineEnd, custom, {}},
        {"UTF-8 mark", "\xEF\xBB\xBF" + std::string(kCustomFile), custom, {}},
        {"empty", "", defaultsCentred(), all},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        writeBytes(folder.file("player.dat"), c.file);
        const LoadedSettings loaded = LoadSettings(folder.path(), kCentred);
        EXPECT_EQ(loaded.settings, c.expected) << c.name;
        EXPECT_EQ(loaded.replacedLines, c.replaced) << c.name;
        EXPECT_EQ(loaded.error, "") << c.name;

        ASSERT_TRUE(
            SaveSettings(folder.path(), loaded.settings,
                         {double(loaded.settings.windowLeft), double(loaded.settings.windowTop)})
                .ok())
            << c.name;
        SCOPED_TRACE(c.name);
        expectWellFormed(readBytes(folder.file("player.dat")));
        EXPECT_EQ(LoadSettings(folder.path(), kCentred).settings, c.expected) << c.name;
    }
}

TEST(ParseSettings, TimeDisplayModesAreKeptAsStoredEvenWhenNotExactlyOneIsOn) {
    // Line 5 (track remaining) is on in kCustomFile. The time display itself knows what to
    // do with no mode or several, so the file's flags reach it unchanged.
    const ParsedSettings two = ParseSettings(customFileWithLine(14, "True"), kCentred);
    EXPECT_FALSE(two.settings.showTrackElapsed);
    EXPECT_TRUE(two.settings.showTrackRemaining);
    EXPECT_TRUE(two.settings.showTotalElapsed);
    EXPECT_FALSE(two.settings.showTotalRemaining);
    EXPECT_TRUE(two.replacedLines.empty());

    const ParsedSettings none = ParseSettings(customFileWithLine(5, "False"), kCentred);
    EXPECT_FALSE(none.settings.showTrackElapsed || none.settings.showTrackRemaining ||
                 none.settings.showTotalElapsed || none.settings.showTotalRemaining);
    EXPECT_TRUE(none.replacedLines.empty());

    // Only an unreadable line takes its default (track elapsed on, the others off).
    const ParsedSettings badLine = ParseSettings(customFileWithLine(4, "?"), kCentred);
    EXPECT_TRUE(badLine.settings.showTrackElapsed);
    EXPECT_TRUE(badLine.settings.showTrackRemaining);
    EXPECT_EQ(badLine.replacedLines, (std::vector<int>{4}));

    TempFolder folder;
    ASSERT_TRUE(SaveSettings(folder.path(), none.settings, {1200, -45}).ok());
    EXPECT_EQ(readBytes(folder.file("player.dat")), customFileWithLine(5, "False"));
}

TEST(LoadSettings, ALibraryPathThatIsNotUtf8IsKeptByteForByte) {
    const std::string latin1 = "/home/ann/caf\xE9/m\xFCsik.dbd";  // a valid Linux file name
    TempFolder folder;
    writeBytes(folder.file("player.dat"), customFileWithLine(1, latin1));
    const LoadedSettings loaded = LoadSettings(folder.path(), kCentred);
    EXPECT_EQ(loaded.settings.databasePath, latin1);
    EXPECT_TRUE(loaded.replacedLines.empty());
    ASSERT_TRUE(SaveSettings(folder.path(), loaded.settings, {1200, -45}).ok());
    EXPECT_EQ(readBytes(folder.file("player.dat")), customFileWithLine(1, latin1));
}

TEST(FormatSettings, EveryWindowPositionTheReaderTakesIsWrittenSoThatItReadsBack) {
    // Positions the reader accepts, with the whole twips it makes of them.
    const std::pair<double, std::int32_t> cases[] = {
        {2147483647, 2147483647},
        {2147483647.4, 2147483647},
        {2147483520, 2147483520},
        {-2147483648, -2147483647 - 1},
        {-2147483647.6, -2147483647 - 1},
        {16777217, 16777217},
        {33554431.5, 33554432},
        {1000000001, 1000000001},
        {900.5, 900},
        {-12.25, -12},
        {0, 0},
    };
    for (const auto& [written, read] : cases) {
        Settings settings = customSettings();
        const ParsedSettings back =
            ParseSettings(FormatSettings(settings, {written, written}), kCentred);
        EXPECT_TRUE(back.replacedLines.empty()) << std::fixed << written;
        EXPECT_EQ(back.settings.windowLeft, read) << std::fixed << written;
        EXPECT_EQ(back.settings.windowTop, read) << std::fixed << written;
    }
}

TEST(FormatSettings, APathThatCannotBeHeldOnOneLineIsWrittenAsNoneSelected) {
    Settings settings = customSettings();
    for (const char* path : {"/srv/a\r\nb.dbd", "/srv/a\nTrue", "/srv/a\rb", "", "   ",
                             "/srv/\x1B.dbd", "\xEF\xBB\xBF/srv/a.dbd"}) {
        settings.databasePath = path;
        const std::string text = FormatSettings(settings, {1200, -45});
        EXPECT_EQ(text, customFileWithLine(1, "None selected")) << '"' << path << '"';
    }
    settings.databasePath = std::string("/srv/a\0b.dbd", 12);
    EXPECT_EQ(FormatSettings(settings, {1200, -45}), customFileWithLine(1, "None selected"));
}

TEST(FormatSettings, APositionTheFileCannotHoldIsWrittenAsTheStoredOne) {
    const Settings settings = customSettings();  // stored position 1200, -45
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatSettings(settings, {nan, -infinity}), kCustomFile);
    EXPECT_EQ(FormatSettings(settings, {1e12, -3e9}), kCustomFile);
    EXPECT_EQ(FormatSettings(settings, {1200, -45}), kCustomFile);
}

TEST(LoadSettings, AnUnreadableFileGivesDefaultsAndSaysWhy) {
    TempFolder folder;

    // A folder that does not exist: the default file cannot be written.
    const LoadedSettings missing = LoadSettings(folder.file("no/such/folder"), kCentred);
    EXPECT_EQ(missing.settings, defaultsCentred());
    EXPECT_FALSE(missing.createdDefaultFile);
    EXPECT_NE(missing.error.find("No such file or directory"), std::string::npos) << missing.error;

    // A pipe in the file's place must not hang start-up.
    const std::string pipeFolder = folder.file("pipe");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(pipeFolder)));
    ASSERT_EQ(::mkfifo((pipeFolder + "/player.dat").c_str(), 0600), 0);
    const LoadedSettings pipe = LoadSettings(pipeFolder, kCentred);
    EXPECT_EQ(pipe.settings, defaultsCentred());
    EXPECT_NE(pipe.error, "");

    // A folder in the file's place.
    const std::string dirFolder = folder.file("dir");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dirFolder + "/player.dat")));
    const LoadedSettings dir = LoadSettings(dirFolder, kCentred);
    EXPECT_EQ(dir.settings, defaultsCentred());
    EXPECT_NE(dir.error, "");
    EXPECT_FALSE(SaveSettings(dirFolder, customSettings(), {0, 0}).ok());
    EXPECT_TRUE(QFileInfo(QString::fromStdString(dirFolder + "/player.dat")).isDir());
}

}  // namespace
}  // namespace sonarch
