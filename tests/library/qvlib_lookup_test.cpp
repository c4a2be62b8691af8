// qvlib against a web server of the test's own that answers as MusicBrainz and the Cover
// Art Archive do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "child_process.h"
#include "library_fixture.h"
#include "support/disc_images.h"
#include "support/musicbrainz_answers.h"
#include "support/web_test_server.h"

namespace sonarch {
namespace {

using namespace testing::musicbrainz;
using testing::ProgramRun;
using testing::ServedReply;
using testing::SqlFile;
using testing::TempFolder;
using Rows = std::vector<std::vector<std::string>>;

long long millisecondsBetween(const testing::SeenRequest& a, const testing::SeenRequest& b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b.arrived - a.arrived).count();
}

struct QvlibLookupTest : ::testing::Test {
    void SetUp() override {
        // No test may reach the real service, whatever it forgets to pass.
        ::setenv("QVLIB_MUSICBRAINZ_SERVER", server.url().c_str(), 1);
        ::setenv("QVLIB_COVERART_SERVER", (server.url() + "/caa").c_str(), 1);
        // A proxy set for the machine never sees the tests.
        if (const char* before = std::getenv("no_proxy")) {
            m_noProxy = before;
        }
        ::setenv("no_proxy", "127.0.0.1", 1);
        ASSERT_EQ(qvlib({"create", library}).exitCode, 0);
    }
    void TearDown() override {
        ::unsetenv("QVLIB_MUSICBRAINZ_SERVER");
        ::unsetenv("QVLIB_COVERART_SERVER");
        if (m_noProxy) {
            ::setenv("no_proxy", m_noProxy->c_str(), 1);
        } else {
            ::unsetenv("no_proxy");
        }
    }
    ProgramRun qvlib(std::vector<std::string> args) {
        args.insert(args.begin(), QVLIB_PROGRAM);
        return testing::RunProgram(args, folder.path().string());
    }
    ProgramRun add(std::vector<std::string> extra = {}, std::string musicBrainz = {}) {
        std::vector<std::string> args = {"add",
                                         library,
                                         "--drive",
                                         discDrive(),
                                         "--musicbrainz",
                                         "--server",
                                         musicBrainz.empty() ? server.url() : musicBrainz,
                                         "--cover-server",
                                         server.url() + "/caa"};
        args.insert(args.end(), extra.begin(), extra.end());
        return qvlib(args);
    }
    Rows rows(const std::string& columns = "trkNum, trkTitle, trkArtist, Album") {
        SqlFile file(library);
        return file.rows("SELECT " + columns + " FROM Audio ORDER BY trkNum");
    }
    void serveCover(const std::string& release, const std::string& bytes) {
        // The archive sends its covers from elsewhere: a redirect, then the picture.
        server.serve("/caa/release/" + release + "/front",
                     {307, "", "text/plain", server.url() + "/images/" + release + ".png"});
        server.serve("/images/" + release + ".png", {200, bytes, "image/png"});
    }
    std::filesystem::path covers() const { return folder.path() / "covers"; }
    bool coversFolderIsEmpty() const {
        return !std::filesystem::exists(covers()) || std::filesystem::is_empty(covers());
    }

    testing::WebTestServer server;
    std::optional<std::string> m_noProxy;
    TempFolder folder;
    std::string library = folder.file("music.dbd");
};

TEST_F(QvlibLookupTest, OneReleaseGivesTheRowsAndTheFrontCover) {
    server.serve(kDiscPath, {200, byDiscId(release(kReleaseA, "Proud Like a God", "Guano Apes",
                                                   "Song", true, discIds()))});
    const std::string picture = coverPicture(DEMO_SOURCE_DIR);
    ASSERT_GT(picture.size(), 100u);
    serveCover(kReleaseA, picture);
    const auto added = add();
    ASSERT_EQ(added.exitCode, 0) << added.err;

    const Rows stored = rows();
    ASSERT_EQ(stored.size(), 15u);
    EXPECT_EQ(stored[0],
              (std::vector<std::string>{"01", "Song 1", "Guano Apes", "Proud Like a God"}));
    EXPECT_EQ(stored[1],
              (std::vector<std::string>{"02", "Song 2", "Ann feat. Bea", "Proud Like a God"}));
    EXPECT_EQ(stored[14][1], "Song 15");

    const std::filesystem::path cover = covers() / (kReleaseA + ".png");
    EXPECT_EQ(rows("DISTINCT Cover"), (Rows{{cover.string()}}));
    std::ifstream in(cover, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), picture);

    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].path, kDiscPath);
    EXPECT_EQ(seen[0].query, "inc=recordings+artist-credits+labels&cdstubs=no&fmt=json");
    EXPECT_EQ(seen[1].path, "/caa/release/" + kReleaseA + "/front");
    EXPECT_EQ(seen[0].userAgent.rfind("qvlib/", 0), 0u) << seen[0].userAgent;
    EXPECT_NE(seen[0].userAgent.find(std::string("( ") + SONARCH_WEB_PAGE + " )"),
              std::string::npos)
        << "the web page the build was given, as the about box names it";
    // Requests start a second after the last answer ended; redirects belong to their request.
    EXPECT_GE(millisecondsBetween(seen[0], seen[1]), 1000);
}

TEST_F(QvlibLookupTest, TwoReleasesAreListedAndOneIsChosen) {
    server.serve(
        kDiscPath,
        {200, byDiscId(release(kReleaseA, "First Pressing", "Band", "A", false, discIds()) + "," +
                       release(kReleaseB, "Deluxe", "Band", "B", false, discIds()))});
    const auto listed = qvlib({"lookup", "--drive", discDrive(), "--server", server.url()});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out,
              "N\tRelease\tArtist\tTitle\tDate\tCountry\tTracks\n"
              "1\t" +
                  kReleaseA +
                  "\tBand\tFirst Pressing\t1997-09-22\tDE\t15\n"
                  "2\t" +
                  kReleaseB + "\tBand\tDeluxe\t1997-09-22\tDE\t15\n");

    const auto unchosen = add();
    EXPECT_EQ(unchosen.exitCode, 1);
    EXPECT_NE(unchosen.err.find("2 releases hold this disc; choose one with --release"),
              std::string::npos)
        << unchosen.err;
    EXPECT_NE(unchosen.out.find(kReleaseB), std::string::npos) << "the choices are listed";
    EXPECT_TRUE(rows().empty());

    const auto second = add({"--release", "2"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(rows()[0], (std::vector<std::string>{"01", "B 1", "Band", "Deluxe"}));
    EXPECT_EQ(rows("DISTINCT Cover"), (Rows{{""}})) << "no front cover, no request for one";

    const auto first = add({"--release", kReleaseA, "--replace"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(rows()[0], (std::vector<std::string>{"01", "A 1", "Band", "First Pressing"}));

    const auto none = add({"--release", "3", "--replace"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("is none of the 2 releases"), std::string::npos) << none.err;
    EXPECT_EQ(rows()[0][1], "A 1");
}

TEST_F(QvlibLookupTest, AnUnknownDiscIdIsLookedUpByItsTableOfContents) {
    // The release's medium carries other disc IDs; its track count matches the disc.
    server.serve("/ws/2/discid/-",
                 {200, byToc(release(kReleaseA, "Near Match", "Band", "Near", false,
                                     "{\"id\":\"otherDiscId0000000000000000-\"}"))});
    const auto added = add();  // the server knows nothing at the disc ID's own path
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(rows()[0], (std::vector<std::string>{"01", "Near 1", "Band", "Near Match"}));

    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].path, kDiscPath);
    // The table of contents as libdiscid's example gives it: first, last, lead-out, starts.
    std::string toc = "toc=1+15+258725";
    for (const int start : kStarts) {
        toc += "+" + std::to_string(start);
    }
    EXPECT_EQ(seen[1].query, toc + "&inc=recordings+artist-credits+labels&cdstubs=no&fmt=json");
    EXPECT_GE(millisecondsBetween(seen[0], seen[1]), 1000);

    // Known neither by ID nor by TOC: said so, and nothing is added.
    server.serve("/ws/2/discid/-", {200, byToc("")});
    for (const auto& run : {qvlib({"lookup", "--drive", discDrive()}), add({"--replace"})}) {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("MusicBrainz knows no release of this disc (disc ID " + kDiscId),
                  std::string::npos)
            << run.err;
    }
    EXPECT_EQ(rows()[0][1], "Near 1");
}

TEST_F(QvlibLookupTest, FailuresAreReportedAndChangeNothing) {
    const std::string good = byDiscId(release(kReleaseA, "Album", "Band", "Song", true, discIds()));
    std::string refused;
    {
        testing::WebTestServer gone;
        refused = gone.url();
    }
    const struct {
        const char* what;
        ServedReply disc;
        ServedReply cover;
        std::vector<std::string> extra;
        std::string error;
    } cases[] = {
        {"busy", {503, "<html>busy</html>", "text/html"}, {}, {}, "with HTTP 503 (busy or down"},
        {"malformed",
         {200, "{\"releases\": [ {\"id\": "},
         {},
         {},
         "is not what the web service sends"},
        {"not the shape", {200, "[1, 2, 3]"}, {}, {}, "names no list of releases"},
        {"bad id",
         {200, byDiscId(release("../../../etc/passwd", "A", "B", "S", true, discIds()))},
         {},
         {},
         "a release has no proper MusicBrainz ID"},
        {"slow", ServedReply::stalled(), {}, {"--timeout", "1"}, "did not answer within 1 seconds"},
        {"cover not a picture",
         {200, good},
         {200, "<html>not found</html>", "text/html"},
         {},
         "is not a picture"},
        {"cover busy", {200, good}, {503, ""}, {}, "The Cover Art Archive answered"},
        {"refused", {200, good}, {}, {}, "cannot reach " + refused},
    };
    for (const auto& c : cases) {
        server.serve(kDiscPath, c.disc);
        server.serve("/caa/release/" + kReleaseA + "/front", c.cover);
        const auto run = add(c.extra, std::string(c.what) == "refused" ? refused : "");
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what << ": one line";
        EXPECT_TRUE(rows().empty()) << c.what;
        EXPECT_TRUE(coversFolderIsEmpty()) << c.what;
    }
}

TEST_F(QvlibLookupTest, TextFromTheNetworkIsStoredSafely) {
    std::string longName;
    for (int i = 0; i < 10000; ++i) {
        longName += "\u00e9";  // two bytes each: a cut must not split one
    }
    const std::string awkward = "Say \"hi\"\tand\nbye; DROP TABLE Audio; --";
    std::string body =
        byDiscId(release(kReleaseA, longName, "Band", "Song", false, discIds(), awkward));
    // Bytes that are not UTF-8 inside a title.
    body.replace(body.find("Song 3"), 6, "Bad \xff\xfe!");
    server.serve(kDiscPath, {200, body});
    const auto added = add();
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const Rows stored = rows();
    ASSERT_EQ(stored.size(), 15u);
    EXPECT_EQ(stored[0][1], "Say \"hi\" and bye; DROP TABLE Audio; --");
    EXPECT_EQ(stored[2][1], "Bad \ufffd\ufffd!");
    std::string cut;
    for (int i = 0; i < 255; ++i) {
        cut += "\u00e9";
    }
    EXPECT_EQ(stored[0][3], cut);
    const auto shown = qvlib({"show", library});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 16) << "one line per row";
}

TEST_F(QvlibLookupTest, TheEnvironmentNamesAMirror) {
    server.serve(kDiscPath,
                 {200, byDiscId(release(kReleaseA, "Album", "Band", "Song", false, discIds()))});
    const auto listed = qvlib({"lookup", "--drive", discDrive()});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find(kReleaseA), std::string::npos);
    const auto bad = qvlib({"lookup", "--drive", discDrive(), "--server", "ftp://example.org"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace sonarch
