// The online lookup as a window uses it: on the event loop, against a web server of the
// test's own that answers as MusicBrainz and the Cover Art Archive do.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <optional>

#include "library/drive_disc.h"
#include "lookup/cover_fetch.h"
#include "lookup/musicbrainz_disc.h"
#include "lookup/online_settings.h"
#include "lookup/release_entry.h"
#include "lookup/release_lookup.h"
#include "support/musicbrainz_answers.h"
#include "support/web_test_server.h"

namespace sonarch {
namespace {

using namespace std::chrono_literals;
using namespace testing::musicbrainz;
using testing::ServedReply;

constexpr int kWaitMs = 20000;

long long millisecondsBetween(const testing::SeenRequest& a, const testing::SeenRequest& b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b.arrived - a.arrived).count();
}

struct OnlineLookup : ::testing::Test {
    void SetUp() override {
        // A proxy set for the machine never sees the tests.
        if (const char* before = std::getenv("no_proxy")) {
            m_noProxy = before;
        }
        ::setenv("no_proxy", "127.0.0.1", 1);
        auto read = ReadDriveDisc(discDrive());
        ASSERT_TRUE(read.ok()) << read.error();
        disc = read.value();
        auto id = MusicBrainzDiscOf(disc.toc);
        ASSERT_TRUE(id.ok()) << id.error();
        musicBrainzDisc = id.value();
    }
    void TearDown() override {
        if (m_noProxy) {
            ::setenv("no_proxy", m_noProxy->c_str(), 1);
        } else {
            ::unsetenv("no_proxy");
        }
    }
    QUrl musicBrainz() const { return QUrl(QString::fromStdString(server.url())); }
    QUrl coverArt() const { return QUrl(QString::fromStdString(server.url() + "/caa")); }

    // Runs a lookup to its end on the event loop.
    ReleaseLookupResult lookUp(WebClient& web) {
        ReleaseLookup lookup(web, musicBrainz());
        std::optional<ReleaseLookupResult> result;
        QObject::connect(&lookup, &ReleaseLookup::finished,
                         [&](const ReleaseLookupResult& r) { result = r; });
        lookup.start(musicBrainzDisc);
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, kWaitMs));
        return result.value_or(ReleaseLookupResult{{}, "no answer"});
    }
    CoverFetchResult fetch(WebClient& web, const std::string& release, CoverSize size) {
        CoverFetch fetch(web, coverArt());
        std::optional<CoverFetchResult> result;
        QObject::connect(&fetch, &CoverFetch::finished,
                         [&](const CoverFetchResult& r) { result = r; });
        fetch.start(release, size);
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, kWaitMs));
        return result.value_or(CoverFetchResult{std::nullopt, "no answer"});
    }

    testing::WebTestServer server;
    DriveDisc disc;
    MusicBrainzDisc musicBrainzDisc;
    std::optional<std::string> m_noProxy;
};

TEST_F(OnlineLookup, ReleasesComeTypedWithTheirThumbnailsOneRequestASecond) {
    EXPECT_EQ(musicBrainzDisc.id, kDiscId) << "libdiscid's published disc ID";
    server.serve(
        kDiscPath,
        {200, byDiscId(release(kReleaseA, "First Pressing", "Band", "A", true, discIds()) + "," +
                       release(kReleaseB, "Deluxe", "Band", "B", false, discIds()))});
    const std::string picture = coverPicture(DEMO_SOURCE_DIR);
    // The archive sends its covers from elsewhere: a redirect, then the picture.
    server.serve("/caa/release/" + kReleaseA + "/front-250",
                 {307, "", "text/plain", server.url() + "/images/a-250.png"});
    server.serve("/images/a-250.png", {200, picture, "image/png"});

    WebClient web(20s, 1s);
    ReleaseLookup lookup(web, musicBrainz());
    std::vector<ReleaseLookup::Step> steps;
    QObject::connect(&lookup, &ReleaseLookup::stepStarted,
                     [&](ReleaseLookup::Step step) { steps.push_back(step); });
    std::optional<ReleaseLookupResult> found;
    QObject::connect(&lookup, &ReleaseLookup::finished,
                     [&](const ReleaseLookupResult& r) { found = r; });
    lookup.start(musicBrainzDisc);
    EXPECT_FALSE(found) << "never answered from inside start()";
    ASSERT_TRUE(QTest::qWaitFor([&] { return found.has_value(); }, kWaitMs));
    ASSERT_FALSE(found->failed()) << found->error;
    EXPECT_EQ(steps, std::vector<ReleaseLookup::Step>{ReleaseLookup::Step::ByDiscId});
    ASSERT_EQ(found->releases.size(), 2u);
    const Release& first = found->releases[0];
    EXPECT_EQ(first.id, kReleaseA);
    EXPECT_EQ(first.title, "First Pressing");
    EXPECT_EQ(first.artist, "Band");
    EXPECT_EQ(first.date, "1997-09-22");
    EXPECT_EQ(first.country, "DE");
    EXPECT_EQ(first.label, "Supersonic");
    EXPECT_EQ(first.catalogNumber, "GUN 150");
    EXPECT_EQ(first.barcode, "0743215003722");
    EXPECT_EQ(first.tracks.size(), 15u);
    EXPECT_TRUE(first.hasFrontCover);
    EXPECT_FALSE(found->releases[1].hasFrontCover);
    EXPECT_EQ(FrontCoverUrl(coverArt(), kReleaseA, CoverSize::Thumbnail).toString().toStdString(),
              server.url() + "/caa/release/" + kReleaseA + "/front-250");

    const CoverFetchResult thumbnail = fetch(web, kReleaseA, CoverSize::Thumbnail);
    ASSERT_FALSE(thumbnail.failed()) << thumbnail.error;
    ASSERT_TRUE(thumbnail.picture);
    EXPECT_EQ(thumbnail.picture->bytes.toStdString(), picture);
    EXPECT_EQ(thumbnail.picture->extension, "png");
    const CoverFetchResult none = fetch(web, kReleaseB, CoverSize::Thumbnail);
    EXPECT_FALSE(none.failed()) << none.error;
    EXPECT_FALSE(none.picture) << "the archive has no cover of it (404)";

    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].query, "inc=recordings+artist-credits+labels&cdstubs=no&fmt=json");
    EXPECT_EQ(seen[0].userAgent.rfind("qvlib/", 0), 0u) << seen[0].userAgent;
    EXPECT_EQ(seen[1].path, "/caa/release/" + kReleaseA + "/front-250");
    EXPECT_EQ(seen[2].path, "/images/a-250.png");
    EXPECT_EQ(seen[3].path, "/caa/release/" + kReleaseB + "/front-250");
    // A request waits a second after the last answer; a redirect belongs to its request.
    EXPECT_GE(millisecondsBetween(seen[0], seen[1]), 1000);
    EXPECT_GE(millisecondsBetween(seen[2], seen[3]), 1000);
}

TEST_F(OnlineLookup, ASlowServerNeverHoldsTheEventLoopAndCancelReportsNothing) {
    server.serve(kDiscPath, ServedReply::stalled());
    WebClient web(60s, 0s);
    ReleaseLookup lookup(web, musicBrainz());
    int finished = 0;
    std::optional<ReleaseLookupResult> last;
    QObject::connect(&lookup, &ReleaseLookup::finished, [&](const ReleaseLookupResult& r) {
        ++finished;
        last = r;
    });
    int ticks = 0;
    QTimer window;  // what a window does meanwhile: it keeps being served
    QObject::connect(&window, &QTimer::timeout, [&] { ++ticks; });
    window.start(5);
    lookup.start(musicBrainzDisc);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !server.requests().empty() && ticks >= 10; }, kWaitMs));
    EXPECT_TRUE(lookup.running());
    lookup.cancel();
    EXPECT_FALSE(lookup.running());

    // The same client asks again at once, and only the new lookup is answered.
    server.serve(kDiscPath,
                 {200, byDiscId(release(kReleaseA, "Album", "Band", "S", false, discIds()))});
    lookup.start(musicBrainzDisc);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished > 0; }, kWaitMs));
    EXPECT_EQ(finished, 1) << "the given-up lookup told nothing, not even its abort";
    ASSERT_TRUE(last && !last->failed()) << (last ? last->error : "");
    EXPECT_EQ(last->releases.at(0).id, kReleaseA);
}

TEST_F(OnlineLookup, EveryFailureIsAPlainSentence) {
    std::string refused;
    {
        testing::WebTestServer gone;
        refused = gone.url();
    }
    const struct {
        const char* what;
        ServedReply answer;
        std::string error;
    } cases[] = {
        {"busy", {503, "<html>busy</html>", "text/html"}, "with HTTP 503 (busy or down"},
        {"not JSON", {200, "<html>hello</html>", "text/html"}, "is not what the web service sends"},
        {"not the shape", {200, "{\"discs\": 3}"}, "names no list of releases"},
        {"slow", ServedReply::stalled(), "did not answer within 1 seconds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.serve(kDiscPath, c.answer);
        WebClient web(1s, 0s);
        const ReleaseLookupResult result = lookUp(web);
        EXPECT_TRUE(result.failed());
        EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
        EXPECT_TRUE(result.releases.empty());
    }
    WebClient web(5s, 0s);
    ReleaseLookup offline(web, QUrl(QString::fromStdString(refused)));
    std::optional<ReleaseLookupResult> result;
    QObject::connect(&offline, &ReleaseLookup::finished,
                     [&](const ReleaseLookupResult& r) { result = r; });
    offline.start(musicBrainzDisc);
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, kWaitMs));
    EXPECT_NE(result->error.find("cannot reach " + refused), std::string::npos) << result->error;

    server.serve("/caa/release/" + kReleaseA + "/front", {200, "<html>no</html>", "text/html"});
    const CoverFetchResult notAPicture = fetch(web, kReleaseA, CoverSize::Full);
    EXPECT_NE(notAPicture.error.find("is not a picture (JPEG, PNG, GIF or WebP)"),
              std::string::npos)
        << notAPicture.error;
    EXPECT_FALSE(notAPicture.picture);
}

TEST_F(OnlineLookup, AReleaseNamesTheAudioTracksAndLeavesADataTrackAlone) {
    server.serve(kDiscPath, {200, byDiscId(release(kReleaseA, "Proud Like a God", "Guano Apes",
                                                   "Song", false, discIds()))});
    WebClient web(20s, 0s);
    const ReleaseLookupResult found = lookUp(web);
    ASSERT_EQ(found.releases.size(), 1u) << found.error;
    const auto entry = ReleaseDiscEntry(disc, found.releases[0]);
    ASSERT_TRUE(entry.ok()) << entry.error();
    EXPECT_EQ(entry.value().key, disc.key);
    EXPECT_EQ(entry.value().album, "Proud Like a God");
    ASSERT_EQ(entry.value().tracks.size(), 15u);
    EXPECT_EQ(entry.value().tracks[1],
              (TrackEntry{disc.trackTimes[1], "Song 2", "Ann feat. Bea", 0, ""}));

    // The same disc with its last track made a data track: fourteen audio tracks.
    DriveDisc enhanced = disc;
    enhanced.toc.tracks.back().audio = false;
    const auto refused = ReleaseDiscEntry(enhanced, found.releases[0]);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), "the release " + kReleaseA +
                                   " has 15 tracks on this disc but the disc has 14 audio tracks.");
    Release fourteen = found.releases[0];
    fourteen.tracks.pop_back();
    const auto named = ReleaseDiscEntry(enhanced, fourteen);
    ASSERT_TRUE(named.ok()) << named.error();
    EXPECT_EQ(named.value().tracks[13].title, "Song 14");
    EXPECT_EQ(named.value().tracks[14].title, "Track 15") << "the data track keeps its name";
}

TEST(OnlineSettingsTest, TheEnvironmentNamesMirrorsAndBadOnesAreRefused) {
    ::setenv(OnlineSettings::kMusicBrainzVariable, "http://mirror.example:5000/mb/", 1);
    ::unsetenv(OnlineSettings::kCoverArtVariable);
    auto settings = OnlineSettings::fromEnvironment();
    ASSERT_TRUE(settings.ok()) << settings.error();
    EXPECT_EQ(settings.value().musicBrainz.toString(), "http://mirror.example:5000/mb/");
    EXPECT_EQ(settings.value().coverArt.toString(), "https://coverartarchive.org");
    EXPECT_EQ(UrlUnder(settings.value().musicBrainz, "/ws/2/discid/x").toString(),
              "http://mirror.example:5000/mb/ws/2/discid/x");
    EXPECT_EQ(settings.value().timeout, 20s);
    EXPECT_EQ(settings.value().spacing, 1s);

    ::setenv(OnlineSettings::kCoverArtVariable, "ftp://covers.example", 1);
    settings = OnlineSettings::fromEnvironment();
    EXPECT_FALSE(settings.ok());
    EXPECT_EQ(settings.error(),
              "QVLIB_COVERART_SERVER 'ftp://covers.example' is not an http:// or https:// "
              "address");
    ::unsetenv(OnlineSettings::kMusicBrainzVariable);
    ::unsetenv(OnlineSettings::kCoverArtVariable);
}

}  // namespace
}  // namespace sonarch
