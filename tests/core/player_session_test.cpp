// A whole session of the player with no window at all, and what its listeners hear.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <map>
#include <set>

#include "library/library_file.h"
#include "library/stored_text.h"
#include "support/disc_images.h"
#include "support/library_player.h"
#include "support/player_harness.h"

namespace sonarch {
namespace {

using testing::PlayerHarness;
using testing::tracksOf;

std::vector<VirtualTrack> unknownDisc() {
    return tracksOf({"03:00:00", "03:10:00", "03:20:00", "03:30:00", "03:40:00", "03:50:00",
                     "04:00:00", "04:10:00", "04:20:00", "04:30:00", "04:40:00", "04:50:00"});
}
std::vector<VirtualTrack> libraryDisc() {
    return tracksOf({"00:02:00", "00:03:00", "00:02:00"});
}

// Every change a listener is told of, as (what, which) -> the values in order.
struct ChangeLog {
    explicit ChangeLog(Player& player) {
        const PlayerDisplay& d = player.display();
        QObject::connect(&d, &PlayerDisplay::captionChanged,
                         [this](Caption c, const std::string& t) { add("caption", int(c), t); });
        QObject::connect(&d, &PlayerDisplay::trackFieldChanged,
                         [this](TrackField f, const std::string& t) { add("field", int(f), t); });
        QObject::connect(&d, &PlayerDisplay::statusTextChanged,
                         [this](const std::string& t, const std::string&) { add("status", 0, t); });
        QObject::connect(&d, &PlayerDisplay::indicatorChanged, [this](Indicator i, bool on) {
            add("indicator", int(i), on ? "on" : "");
        });
        QObject::connect(&d, &PlayerDisplay::trackNumberColourChanged,
                         [this](int i, WinColour c) { add("number", i, std::to_string(c)); });
        QObject::connect(&d, &PlayerDisplay::progressPercentChanged,
                         [this](int p) { add("progress", 0, std::to_string(p)); });
        QObject::connect(&d, &PlayerDisplay::transportEnabledChanged,
                         [this](bool on) { add("transport", 0, on ? "on" : ""); });
        QObject::connect(&d, &PlayerDisplay::starsChanged,
                         [this](int r) { add("stars", 0, std::to_string(r)); });
        QObject::connect(&d, &PlayerDisplay::selectedRowChanged,
                         [this](int r) { add("selected", 0, std::to_string(r)); });
        QObject::connect(&player.trackList(), &TrackList::rowsReplaced,
                         [this] { add("rows", 0, std::to_string(++replaced)); });
        QObject::connect(&player.trackList(), &TrackList::rowChanged,
                         [this](int row) { add("row", row, std::to_string(++rowChanges)); });
        QObject::connect(&player, &Player::currentTrackChanged,
                         [this](int t) { add("track", 0, std::to_string(t)); });
    }
    void add(const std::string& what, int which, const std::string& value) {
        std::vector<std::string>& values = seen[{what, which}];
        EXPECT_TRUE(values.empty() || values.back() != value)
            << what << " " << which << " told twice of the same value " << value;
        values.push_back(value);
        ++count;
    }
    std::map<std::pair<std::string, int>, std::vector<std::string>> seen;
    int count = 0;
    int replaced = 0;
    int rowChanges = 0;
};

TEST(PlayerSession, RunsAWholeSessionWithoutAWindow) {
    QTemporaryDir dir;
    const std::string library = dir.filePath("music.dbd").toStdString();
    {
        VirtualDrive known(libraryDisc());
        std::vector<LibraryRow> rows;
        for (int n = 1; n <= 3; ++n) {
            LibraryRow row;
            row.cddbToc = StoredDiscKey(testing::discKey(known));
            row.trkNum = "0" + std::to_string(n);
            row.trkTime = "00:0" + std::to_string(n + 1);
            row.trkTitle = "Song " + std::to_string(n);
            row.trkArtist = "Singer";
            row.album = "Short Album";
            rows.push_back(row);
        }
        auto file = LibraryFile::create(library);
        ASSERT_TRUE(file.ok());
        ASSERT_TRUE(file.value().addRows(rows, IfDiscPresent::Refuse).ok());
    }
    Settings stored;
    stored.databasePath = library;
    PlayerHarness f(unknownDisc(), stored);
    Player& player = f.start();
    ChangeLog log(player);

    // A disc the library does not know: read, default rows, track 1 plays.
    f.tick();
    EXPECT_EQ(player.trackList().count(), 12);
    EXPECT_EQ(player.trackList().row(12)->title, "Track 12");
    EXPECT_EQ(f.status(), "Playing . . .");
    EXPECT_EQ(player.state().currentTrack, 1);
    EXPECT_EQ(log.replaced, 1) << "the rows arrive at once, not one by one";

    // A tick that only moves the time tells only of the time and the blinking light.
    f.tick();
    const int before = log.count;
    const auto seenBefore = log.seen;
    f.tick();
    std::vector<std::pair<std::string, int>> changed;
    for (const auto& [key, values] : log.seen) {
        if (values.size() != (seenBefore.count(key) ? seenBefore.at(key).size() : 0)) {
            changed.push_back(key);
        }
    }
    // The progress fill moves when its rounded width does.
    const std::set<std::pair<std::string, int>> allowed = {{"caption", int(Caption::TimeWindow)},
                                                           {"caption", int(Caption::BarTime)},
                                                           {"indicator", int(Indicator::Play)},
                                                           {"progress", 0}};
    for (const auto& key : changed) {
        EXPECT_TRUE(allowed.count(key)) << key.first << " " << key.second;
    }
    EXPECT_LE(log.count - before, 4);
    EXPECT_GE(log.count - before, 3);

    // The library's disc: its titles in the track list.
    f.drive.remove();
    f.tick();
    f.drive.insert(libraryDisc());
    f.tick();
    ASSERT_EQ(player.trackList().count(), 3);
    EXPECT_EQ(player.trackList().row(2)->title, "Song 2");
    EXPECT_EQ(f.display().trackField(TrackField::Album), "Short Album");

    // A rating and both comments reach the library.
    player.rateCurrentTrack(8);
    EXPECT_EQ(f.display().stars(), 8);
    EXPECT_EQ(log.rowChanges, 1);
    player.beginTrackComment();
    EXPECT_TRUE(player.saveTrackComment("opening"));
    EXPECT_TRUE(player.saveAlbumComment("short and sweet"));
    const auto rows = LibraryFile::open(library).value().rows().value();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].rating, 8);
    EXPECT_EQ(rows[0].trkCom, "opening");
    EXPECT_EQ(rows[2].aCom, "short and sweet");

    // The end of the disc: cued at track 1 without continuous play, played again with it.
    f.tick(16);
    EXPECT_EQ(f.status(), "Ready . . .");
    EXPECT_EQ(player.state().currentTrack, 1);
    player.toggleContinuousPlay();
    player.play();
    f.tick(16);
    EXPECT_EQ(f.status(), "Playing . . .");
    EXPECT_EQ(player.state().currentTrack, 1);

    // Shut-down saves what the session changed.
    player.shutDown({300, 450});
    ASSERT_TRUE(f.savedSettings);
    EXPECT_TRUE(f.savedSettings->continuousPlay);
    EXPECT_EQ(f.savedSettings->databasePath, library);
    EXPECT_TRUE(f.messages.shown().empty());
}

TEST(PlayerSession, APollThatChangesNothingTellsNobody) {
    PlayerHarness f(unknownDisc());
    Player& player = f.start();
    f.tick(2);
    player.stop();
    f.tick();
    ChangeLog log(player);
    int told = 0;
    const auto count = [&] { ++told; };
    QObject::connect(&player, &Player::trackChanged, count);
    QObject::connect(&player, &Player::playbackStatusChanged, count);
    QObject::connect(&player, &Player::transportEnabledChanged, count);
    QObject::connect(&player, &Player::volumeChanged, count);
    QObject::connect(&player, &Player::coverDue, count);
    QObject::connect(&player, &Player::discReset, count);
    QObject::connect(&player, &Player::seeked, count);
    QObject::connect(&player.display(), &PlayerDisplay::progressShownChanged, count);
    QObject::connect(&player.display(), &PlayerDisplay::moreShownChanged, count);
    QObject::connect(&player.display(), &PlayerDisplay::ejectCaptionChanged, count);
    int polls = 0;
    QObject::connect(&player, &Player::polled, [&] { ++polls; });
    f.tick(6);
    EXPECT_EQ(polls, 6);
    EXPECT_EQ(log.count, 0) << "a stopped disc shows nothing new";
    EXPECT_EQ(told, 0);
}

TEST(PlayerSession, CommandsTellTheCurrentTracksChangesAtOnce) {
    testing::LibraryPlayer<PlayerHarness> f;
    f.storeDisc({1, 2, 3});
    Player& player = f.start();
    f.tick();
    std::vector<TrackSnapshot> told;
    QObject::connect(&player, &Player::trackChanged,
                     [&](const TrackSnapshot& track) { told.push_back(track); });
    player.rateCurrentTrack(9);
    ASSERT_EQ(told.size(), 1u) << "before the next poll";
    EXPECT_EQ(told.back().rating, 9);
    EXPECT_EQ(told.back().title, "Title 1");
    player.next();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told.back().number, 2);
    EXPECT_EQ(told.back().rating, 7);
    EXPECT_EQ(told.back().lengthMs, 160000) << "the length the disc gives, 2:40";
    EXPECT_EQ(player.currentTrack(), told.back());
}

}  // namespace
}  // namespace sonarch
