// The player's library operations: the disc lookup, ratings, comments, the refresh.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "library/library_file.h"
#include "library/sqlite_database.h"
#include "library/stored_text.h"
#include "support/disc_images.h"
#include "support/library_player.h"
#include "support/player_harness.h"

namespace sonarch {
namespace {

using testing::PlayerHarness;

using testing::keyOf;

std::vector<VirtualTrack> twelveTracks() {
    return testing::twelveLibraryTracks();
}

struct LibraryPlayer : testing::LibraryPlayer<testing::PlayerHarness> {
    using testing::LibraryPlayer<testing::PlayerHarness>::LibraryPlayer;
    void writeJunk(const char* text) {
        QFile junk(QString::fromStdString(path));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(text);
    }
    const TrackList& list() { return player->trackList(); }
};

TEST(LibrarySession, AKnownDiscShowsItsRowsInTrackOrder) {
    LibraryPlayer f;
    f.storeDisc({12, 3, 1, 7, 2, 11, 4, 5, 6, 10, 9, 8}, "/covers/front.png");
    f.start();
    f.tick();
    ASSERT_EQ(f.list().count(), 12);
    for (int i = 1; i <= 12; ++i) {
        EXPECT_EQ(f.list().row(i)->number, i);
    }
    EXPECT_EQ(*f.list().row(2), (TrackRow{2, "02:30", "Title 2", "Artist 2", "Album", 0, 7}))
        << "library rows carry order key 0";
    EXPECT_EQ(f.display().trackField(TrackField::Title), "Title 1");
    EXPECT_EQ(f.display().trackField(TrackField::Artist), "Artist 1");
    EXPECT_EQ(f.display().trackField(TrackField::Album), "Album");
    EXPECT_EQ(f.player->state().currentDiscKey, keyOf(f.drive));
    EXPECT_EQ(f.player->state().coverPath, "/covers/front.png");
}

TEST(LibrarySession, AnUnknownDiscGetsDefaultRowsAndNoLibraryLooksNothingUp) {
    LibraryPlayer f;
    ASSERT_TRUE(LibraryFile::create(f.path).ok());
    f.start();
    f.tick();
    EXPECT_EQ(f.list().count(), 12);
    EXPECT_EQ(f.list().row(1)->title, "Track 01");

    PlayerHarness none(twelveTracks());
    none.start();
    none.tick();
    const auto sent = none.recorder.commands();
    EXPECT_EQ(std::find(sent.begin(), sent.end(), "close all"), sent.end())
        << "with no library chosen, no disc key is computed";
    EXPECT_EQ(none.player->trackList().count(), 12);
}

TEST(LibrarySession, RatingSevenWritesTheLibraryTheListAndTheStars) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    Player& player = f.start();
    f.tick();
    player.rateCurrentTrack(7);
    EXPECT_EQ(f.rows()[0].rating, 7);
    EXPECT_EQ(f.list().row(1)->rating, 7);
    EXPECT_EQ(f.display().stars(), 7);
}

TEST(LibrarySession, RatingWithTheDisplayOffLeavesTheStarsEmpty) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    f.storedSettings.showRating = false;
    Player& player = f.start();
    f.tick();
    player.rateCurrentTrack(4);
    EXPECT_EQ(f.rows()[0].rating, 4);
    EXPECT_EQ(f.list().row(1)->rating, 4);
    EXPECT_EQ(f.display().stars(), 0);
}

TEST(LibrarySession, RatingADiscNotInTheLibraryKeepsNothingAndOffersToAddIt) {
    LibraryPlayer f;
    ASSERT_TRUE(LibraryFile::create(f.path).ok());
    Player& player = f.start();
    f.tick();
    EXPECT_EQ(player.discInLibrary(), DiscInLibrary::NotInLibrary);
    int addAsked = 0;
    QObject::connect(&player, &Player::addDiscRequested, [&](int track, int rating) {
        ++addAsked;
        EXPECT_EQ(track, 1);
        EXPECT_EQ(rating, 2) << "the rating to keep once the disc is added";
    });
    player.rateCurrentTrack(2);
    EXPECT_TRUE(f.rows().empty());
    EXPECT_EQ(f.list().row(1)->rating, 0) << "no stars for a rating kept nowhere";
    EXPECT_EQ(f.display().stars(), 0);
    ASSERT_EQ(f.messages.asked().size(), 1u);
    EXPECT_EQ(f.messages.asked()[0],
              "This disc is not in the library, so its ratings cannot be kept. Add it to the "
              "library? [Add this disc to the library\u2026]");
    EXPECT_EQ(addAsked, 0) << "the user said no";
    f.messages.answerNext(true);
    player.rateCurrentTrack(2);
    EXPECT_EQ(addAsked, 1);
    EXPECT_TRUE(f.messages.shown().empty());

    PlayerHarness none(twelveTracks());
    none.start();
    none.tick();
    none.player->rateCurrentTrack(9);
    EXPECT_EQ(none.player->trackList().row(1)->rating, 0) << "no library: nothing changes";
    EXPECT_EQ(none.display().stars(), 0);
    ASSERT_EQ(none.messages.asked().size(), 1u);
    EXPECT_EQ(none.messages.asked()[0].rfind("No library is chosen, so ratings cannot be kept.", 0),
              0u);
}

TEST(LibrarySession, ADiscTheLibraryWindowChangedIsLookedUpAgainAtOnce) {
    LibraryPlayer f;
    ASSERT_TRUE(LibraryFile::create(f.path).ok());
    Player& player = f.start();
    f.tick();
    std::vector<DiscInLibrary> told{player.discInLibrary()};
    QObject::connect(&player, &Player::discInLibraryChanged,
                     [&](DiscInLibrary state) { told.push_back(state); });
    ASSERT_EQ(f.list().row(1)->title, "Track 01");

    // Added by another program, as the library window does.
    DiscEntry disc{testing::keyOf(f.drive), "Found", "", "", {}};
    for (int n = 1; n <= 12; ++n) {
        disc.tracks.push_back({"02:30", "Found " + std::to_string(n), "Band", n == 1 ? 6 : 0, ""});
    }
    ASSERT_TRUE(LibraryFile::open(f.path).value().addDisc(disc, IfDiscPresent::Refuse).ok());
    player.libraryDiscChanged(f.path, "150 300 450");
    EXPECT_EQ(f.list().row(1)->title, "Track 01") << "another disc's change";
    player.libraryDiscChanged(f.dir.filePath("other.dbd").toStdString(), testing::keyOf(f.drive));
    EXPECT_EQ(f.list().row(1)->title, "Track 01") << "another library's change";
    player.libraryDiscChanged(f.path, testing::keyOf(f.drive));
    EXPECT_EQ(f.list().row(1)->title, "Found 1") << "at once, before the next poll";
    f.tick();
    EXPECT_EQ(f.display().trackField(TrackField::Album), "Found");
    EXPECT_EQ(f.display().stars(), 6);
    player.rateCurrentTrack(8);
    EXPECT_EQ(f.rows()[0].rating, 8) << "now a rating is kept";

    // Removed again: the names of a disc the library does not know come back.
    ASSERT_EQ(LibraryFile::open(f.path).value().removeDisc(testing::keyOf(f.drive)).value(), 12);
    player.libraryDiscChanged(f.path, testing::keyOf(f.drive));
    ASSERT_EQ(f.list().count(), 12);
    EXPECT_EQ(f.list().row(1)->title, "Track 01");
    EXPECT_EQ(told,
              (std::vector<DiscInLibrary>{DiscInLibrary::NotInLibrary, DiscInLibrary::InLibrary,
                                          DiscInLibrary::NotInLibrary}));
}

TEST(LibrarySession, AnotherLibraryChosenLooksTheDiscUpInItAtOnce) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    f.storedSettings.databasePath = kNoDatabase;
    Player& player = f.start();
    f.tick();
    ASSERT_EQ(f.list().row(1)->title, "Track 01");
    EXPECT_EQ(player.discInLibrary(), DiscInLibrary::NotInLibrary);
    player.useLibrary(f.path);
    EXPECT_EQ(f.list().count(), 3);
    EXPECT_EQ(f.list().row(1)->title, "Title 1");
    EXPECT_EQ(player.discInLibrary(), DiscInLibrary::InLibrary);
    EXPECT_EQ(player.settings().databasePath, f.path);
}

TEST(LibrarySession, StarsFollowTheTrackWhenItChanges) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    Player& player = f.start();
    f.tick();
    EXPECT_EQ(f.display().stars(), 0);
    player.playTrack(2);
    f.tick();
    EXPECT_EQ(f.display().stars(), 7) << "track 2 is rated 7";
}

TEST(LibrarySession, AFileThatIsNoLibraryIsReportedAndNothingBreaks) {
    LibraryPlayer f;
    f.writeJunk("this is not a library\n");
    Player& player = f.start();
    f.tick();
    EXPECT_NE(f.status().find("music.dbd"), std::string::npos) << f.status();
    EXPECT_EQ(f.display().statusTip(), f.status()) << "the notice in full as the tooltip";
    EXPECT_EQ(f.list().count(), 12) << "the default rows appear";
    f.tick(12);
    EXPECT_EQ(f.status(), "Playing . . .") << "the notice gives way to the status";
    player.rateCurrentTrack(5);
    ASSERT_EQ(f.messages.shown().size(), 1u);
    EXPECT_NE(f.messages.shown()[0].find("music.dbd"), std::string::npos);
    QFile check(QString::fromStdString(f.path));
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("this is not a library\n"));
}

TEST(LibrarySession, ALibraryInTheOldAccessFormatIsNamedAndNeverWritten) {
    LibraryPlayer f;
    QFile::copy(JET_TEST_DATA "/users-jet4.mdb", QString::fromStdString(f.path));
    QFile original(JET_TEST_DATA "/users-jet4.mdb");
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    Player& player = f.start();
    f.tick();
    const std::string said = "The file \"" + f.path +
                             "\" is a library in the old Access format; import it to use it here.";
    EXPECT_EQ(f.display().statusTip(), said);
    EXPECT_EQ(f.list().count(), 12) << "the default rows appear";
    player.rateCurrentTrack(5);
    player.saveAlbumComment("kept?");
    ASSERT_EQ(f.messages.shown().size(), 2u);
    EXPECT_EQ(f.messages.shown()[0], said);
    QFile check(QString::fromStdString(f.path));
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), bytes);
}

TEST(LibrarySession, ALookupThatFailsHalfWayKeepsTheRowsItRead) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    f.drive.remove();
    Player& player = f.start();
    f.tick();  // no disc yet: the settings are in, the lookup waits
    {
        // The library loses its cover column: every row is read up to it.
        SqliteDatabase db = SqliteDatabase::open(f.path, SQLITE_OPEN_READWRITE);
        ASSERT_EQ(db.execute("ALTER TABLE Audio DROP COLUMN Cover"), SQLITE_OK) << db.lastError();
    }
    f.drive.insert(twelveTracks());
    f.tick();
    ASSERT_EQ(f.list().count(), 1) << "the row read before the failure stays";
    EXPECT_EQ(f.list().row(1)->title, "Title 1");
    EXPECT_NE(f.status().find("has no column Cover"), std::string::npos) << f.status();
    EXPECT_EQ(player.state().coverPath, "") << "a cover never read is not taken";
}

TEST(LibrarySession, RefreshHoldsTheTimerOnlyWhileItLooksUp) {
    LibraryPlayer f;
    f.writeJunk("junk");  // the lookup fails: everything must still be put back
    Player& player = f.start();
    f.tick();
    bool timerHeld = false;
    f.recorder.observe([&](std::string_view command) {
        if (command == "close all") {
            timerHeld = !player.timer()->isActive();
        }
    });
    player.refreshLibrary();
    EXPECT_TRUE(timerHeld);
    EXPECT_TRUE(player.timer()->isActive());
}

TEST(LibrarySession, NothingStartsASecondLookupWhileOneRuns) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    Player& player = f.start();
    int lookups = 0;
    f.recorder.observe([&](std::string_view command) {
        if (command == "close all" && ++lookups == 1) {
            // As if the user asked while the disc key let events run.
            player.refreshLibrary();
            player.PollStatus();
        }
    });
    f.tick();
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(f.list().count(), 12);
    EXPECT_EQ(f.status(), "Playing . . .");
}

TEST(LibrarySession, AnEjectDuringTheLookupLeavesTheDriveToTheNextRun) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    Player& player = f.start();
    bool ejected = false;
    f.recorder.observe([&](std::string_view command) {
        if (command == "close all" && !ejected) {
            ejected = true;
            player.eject();
        }
    });
    f.tick();
    const auto sent = f.recorder.commands();
    EXPECT_EQ(std::find(sent.begin(), sent.end(), "play cd"), sent.end());
    EXPECT_TRUE(f.messages.shown().empty());
    f.tick();
    EXPECT_EQ(f.status(), "Data or no disc loaded");
    EXPECT_TRUE(player.state().discLookupPending);
}

TEST(LibrarySession, AClosePutOffByALookupHappensWhenItEnds) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3});
    Player& player = f.start();
    int closes = 0;
    QObject::connect(&player, &Player::closeRequested, [&] { ++closes; });
    f.recorder.observe([&](std::string_view command) {
        if (command == "close all") {
            player.requestClose();
            EXPECT_EQ(closes, 0) << "not while the lookup runs";
        }
    });
    f.tick();
    EXPECT_EQ(closes, 1);
}

TEST(LibrarySession, TrackCommentStaysWithTheTrackItWasOpenedOn) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3, 4, 5, 6});
    Player& player = f.start();
    f.tick();
    player.playTrack(3);
    f.tick(2);
    player.beginTrackComment();
    EXPECT_EQ(player.loadTrackComment(), "");
    player.playTrack(5);
    f.tick(2);
    EXPECT_TRUE(player.saveTrackComment(std::string(300, 'x')));
    const auto rows = f.rows();
    EXPECT_EQ(rows[2].trkCom, std::string(250, 'x'));
    EXPECT_EQ(rows[4].trkCom, "");
    player.beginTrackComment();
    EXPECT_EQ(player.loadTrackComment(), "") << "track 5 has none";
}

TEST(LibrarySession, AlbumCommentIsWrittenToEveryRow) {
    LibraryPlayer f;
    f.storeDisc({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    Player& player = f.start();
    f.tick();
    EXPECT_TRUE(player.saveAlbumComment("Recorded live"));
    for (const LibraryRow& row : f.rows()) {
        EXPECT_EQ(row.aCom, "Recorded live");
    }
    EXPECT_EQ(player.loadAlbumComment(), "Recorded live");
}

TEST(LibrarySession, CommentsWithoutALibraryAreNotStored) {
    PlayerHarness f(twelveTracks());
    Player& player = f.start();
    f.tick();
    EXPECT_FALSE(player.libraryAvailable());
    EXPECT_FALSE(player.saveAlbumComment("nowhere to go"));
    EXPECT_TRUE(f.messages.shown().empty());
}

}  // namespace
}  // namespace sonarch
