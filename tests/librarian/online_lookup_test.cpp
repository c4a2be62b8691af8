// "Look up online" against a local server that answers as MusicBrainz and the Cover Art
// Archive do: a release picked and its cover kept, and a slow, refusing or absent service
// that never holds the window up and never changes the library.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "librarian_fixture.h"
#include "support/musicbrainz_answers.h"

namespace sonarch {
namespace {

using namespace testing::musicbrainz;
using testing::LibrarianFixture;
using testing::ServedReply;
using testing::Table;

struct LookupFixture : LibrarianFixture {
    LookupFixture() {
        createLibrary();
        start(library, discDrive(), true);
        EXPECT_TRUE(waitFor([this] { return showsPage("discEditor"); }));
    }
    QString status() const { return control<QLabel>("onlineStatus")->text(); }
    bool working() const { return control<QWidget>("onlineProgress")->isVisible(); }
    bool statusSays(const QString& words) const { return status().contains(words); }
    Table stored() const {
        return sql("SELECT trkNum, trkTitle, trkArtist, Album, Cover FROM Audio ORDER BY trkNum");
    }
    bool coversFolderIsEmpty() const {
        const auto covers = folder.path() / "covers";
        return !std::filesystem::exists(covers) || std::filesystem::is_empty(covers);
    }
};

TEST(OnlineLookup, OfTwoReleasesTheSecondIsPickedAndItsFrontCoverKept) {
    LookupFixture f;
    f.server.serve(
        kDiscPath,
        {200, byDiscId(release(kReleaseA, "First Pressing", "Band", "A", true, discIds()) + "," +
                       release(kReleaseB, "Deluxe", "Band", "B", true, discIds()))});
    const std::string cover = coverPicture(DEMO_SOURCE_DIR);
    for (const std::string& id : {kReleaseA, kReleaseB}) {
        f.server.serve("/caa/release/" + id + "/front-250", {200, cover, "image/png"});
    }
    f.server.serve("/caa/release/" + kReleaseB + "/front", {200, cover, "image/png"});

    f.click("lookUpOnline");
    EXPECT_TRUE(f.working());
    auto* releases = f.control<QTreeWidget>("releaseList");
    ASSERT_TRUE(f.waitFor([&] { return releases->topLevelItemCount() == 2; }));
    EXPECT_TRUE(f.statusSays("2 releases hold this disc")) << f.status().toStdString();
    const QTreeWidgetItem* second = releases->topLevelItem(1);
    QStringList shown;
    for (int column = 1; column < 7; ++column) {  // after the cover
        shown << second->text(column);
    }
    EXPECT_EQ(shown, (QStringList{"Band", "Deluxe", "1997-09-22", "DE",
                                  "Supersonic, GUN 150, barcode 0743215003722", "15"}));
    ASSERT_TRUE(f.waitFor([&] { return !releases->topLevelItem(0)->icon(0).isNull(); }))
        << "the front covers come as thumbnails";
    EXPECT_TRUE(f.stored().empty()) << "nothing is saved by looking";

    releases->setCurrentItem(releases->topLevelItem(1));
    f.click("useRelease");
    ASSERT_TRUE(f.waitFor([&] { return f.statusSays("front cover are filled in"); }))
        << f.status().toStdString();
    EXPECT_EQ(f.control<QLineEdit>("albumEdit")->text(), "Deluxe");
    f.click("saveDisc");

    const Table rows = f.stored();
    ASSERT_EQ(rows.size(), 15u);
    const std::string kept = (f.folder.path() / "covers" / (kReleaseB + ".png")).string();
    EXPECT_EQ(rows[0], (std::vector<std::string>{"01", "B 1", "Band", "Deluxe", kept}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"02", "B 2", "Ann feat. Bea", "Deluxe", kept}));
    EXPECT_EQ(rows[14][1], "B 15");
    std::ifstream in(kept, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), cover);
    EXPECT_TRUE(f.messages.shown().empty());
    for (const auto& request : f.server.requests()) {
        EXPECT_EQ(request.userAgent.rfind("qvlib/", 0), 0u) << request.userAgent;
    }
}

TEST(OnlineLookup, ASlowServiceNeverHoldsTheWindowAndCancelLeavesTheLibraryAsItWas) {
    LookupFixture f;
    f.server.serve(kDiscPath, ServedReply::stalled());
    f.click("lookUpOnline");
    ASSERT_TRUE(f.waitFor([&] { return f.server.requests().size() == 1; }));
    EXPECT_TRUE(f.working());
    EXPECT_TRUE(f.control<QWidget>("cancelOnline")->isVisible());

    // Meanwhile the window goes on: its timers fire, and it takes typing.
    bool timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });
    ASSERT_TRUE(f.waitFor([&] { return timerFired; }, 2));
    auto* album = f.control<QLineEdit>("albumEdit");
    QTest::keyClicks(album, "Typed While Waiting");
    EXPECT_EQ(album->text(), "Typed While Waiting");
    EXPECT_TRUE(f.working());

    f.click("cancelOnline");
    EXPECT_FALSE(f.working());
    EXPECT_EQ(f.status(), "Cancelled; nothing was changed.");
    EXPECT_TRUE(f.control<QWidget>("lookUpOnline")->isEnabled());
    EXPECT_TRUE(f.stored().empty());
    EXPECT_EQ(album->text(), "Typed While Waiting");
}

TEST(OnlineLookup, EveryFailureIsASentenceAndTheLibraryStaysAsItWas) {
    LookupFixture f;
    const std::string good = byDiscId(release(kReleaseA, "Album", "Band", "Song", true, discIds()));
    const struct {
        const char* what;
        ServedReply disc;
        ServedReply cover;
        QString says;
    } cases[] = {
        {"busy", {503, "<html>busy</html>", "text/html"}, {}, "with HTTP 503 (busy or down"},
        {"not JSON", {200, "{\"releases\": [ {\"id\": "}, {}, "is not what the web service sends"},
        {"unknown", {200, byToc("")}, {}, "MusicBrainz knows no release of this disc"},
        {"cover no picture",
         {200, good},
         {200, "<html>not found</html>", "text/html"},
         "The front cover could not be fetched"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        f.server.serve(kDiscPath, c.disc);
        f.server.serve("/ws/2/discid/-", c.disc);
        f.server.serve("/caa/release/" + kReleaseA + "/front", c.cover);
        f.click("lookUpOnline");
        ASSERT_TRUE(f.waitFor([&] { return !f.working(); }, 30));
        EXPECT_TRUE(f.statusSays(c.says)) << f.status().toStdString();
        EXPECT_TRUE(f.status().endsWith('.')) << f.status().toStdString();
        EXPECT_TRUE(f.stored().empty());
        EXPECT_TRUE(f.coversFolderIsEmpty());
    }
    EXPECT_TRUE(f.messages.shown().empty()) << "said in the window, not in boxes to close";
}

TEST(OnlineLookup, OfflineTheNamesAreTypedAndSaved) {
    std::string closed;
    {
        testing::WebTestServer gone;
        closed = gone.url();
    }
    LibrarianFixture f;
    f.online.musicBrainz = QUrl(QString::fromStdString(closed));
    f.createLibrary();
    f.start(f.library, discDrive(), true);
    ASSERT_TRUE(f.waitFor([&] { return f.showsPage("discEditor"); }));
    f.click("lookUpOnline");
    auto* status = f.control<QLabel>("onlineStatus");
    ASSERT_TRUE(f.waitFor([&] { return !f.control<QWidget>("onlineProgress")->isVisible(); }));
    EXPECT_TRUE(status->text().startsWith("The disc could not be looked up: cannot reach " +
                                          QString::fromStdString(closed)))
        << status->text().toStdString();

    QTest::keyClicks(f.control<QLineEdit>("albumEdit"), "Typed Album");
    auto* tracks = f.control<QTableWidget>("trackTable");
    tracks->item(0, 1)->setText("Typed Title");
    f.click("saveDisc");
    const Table rows =
        f.sql("SELECT trkNum, trkTitle, trkArtist, Album FROM Audio ORDER BY trkNum");
    ASSERT_EQ(rows.size(), 15u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"01", "Typed Title", "Unknown", "Typed Album"}));
    EXPECT_EQ(rows[14], (std::vector<std::string>{"15", "Track 15", "Unknown", "Typed Album"}));
}

}  // namespace
}  // namespace sonarch
