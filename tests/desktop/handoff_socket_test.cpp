// The hand-over socket between a later start and the running player, both ends real: the
// later start asks from a thread of its own, as it would from its own process, while the
// test's event loop serves the player's end.
#include "desktop/drive_handoff.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <atomic>
#include <thread>

#include "support/file_helpers.h"

namespace sonarch {
namespace {

using testing::TempFolder;

constexpr int kWaitMs = 20000;

// Asks from another thread and serves the player's end meanwhile.
PlayerAnswer askServed(const PlayerRequest& request, const std::string& socket,
                       std::optional<unsigned> user = std::nullopt) {
    std::atomic<bool> answered{false};
    PlayerAnswer answer;
    std::thread later([&] {
        answer = AskOverSocket(request, socket, user);
        answered = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered.load(); }, kWaitMs));
    later.join();
    return answer;
}

TEST(HandoffSocket, CarriesTheRequestAndBringsBackWhatThePlayerDid) {
    TempFolder folder;
    std::vector<PlayerRequest> heard;
    HandoffSocket player([&](const PlayerRequest& request) {
        heard.push_back(request);
        return request.kind == PlayerRequestKind::OpenDrive
                   ? PlayerAnswer{false, "There is no CD drive or disc image."}
                   : PlayerAnswer{true, {}};
    });
    ASSERT_TRUE(player.listen(folder.file("qvplayer.socket"))) << player.errorString();

    // A file name need not be UTF-8: its bytes arrive as they are.
    const std::string image = "/home/me/m\xe9lodie.cue";
    const PlayerAnswer refused =
        askServed(MakeRequest(PlayerRequestKind::OpenDrive, image), folder.file("qvplayer.socket"));
    EXPECT_FALSE(refused.done);
    EXPECT_EQ(refused.problem, "There is no CD drive or disc image.");
    const PlayerAnswer raised =
        askServed(MakeRequest(PlayerRequestKind::Raise), folder.file("qvplayer.socket"));
    EXPECT_TRUE(raised.done) << raised.problem;

    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].kind, PlayerRequestKind::OpenDrive);
    EXPECT_EQ(heard[0].drive, image);
    EXPECT_EQ(heard[1].kind, PlayerRequestKind::Raise);
    EXPECT_FALSE(RequestExpired(heard[1])) << "the player sees when the sender stops waiting";
}

TEST(HandoffSocket, NeitherEndTalksToAnotherUser) {
    TempFolder folder;
    int heard = 0;
    const auto handle = [&heard](const PlayerRequest&) {
        ++heard;
        return PlayerAnswer{true, {}};
    };
    // The player hears only its own user: here it takes the test for someone else.
    HandoffSocket strict(handle, ::geteuid() + 1);
    ASSERT_TRUE(strict.listen(folder.file("strict.socket")));
    const PlayerAnswer unheard =
        askServed(MakeRequest(PlayerRequestKind::OpenDrive, "/home/me/album.cue"),
                  folder.file("strict.socket"));
    EXPECT_FALSE(unheard.done);

    // A later start sends nothing to a socket another user listens on.
    HandoffSocket player(handle);
    ASSERT_TRUE(player.listen(folder.file("player.socket")));
    const PlayerAnswer unsent =
        askServed(MakeRequest(PlayerRequestKind::OpenDrive, "/home/me/album.cue"),
                  folder.file("player.socket"), ::geteuid() + 1);
    EXPECT_FALSE(unsent.done);
    EXPECT_NE(unsent.problem.find("another user"), std::string::npos) << unsent.problem;
    EXPECT_EQ(heard, 0);
}

TEST(HandoffSocket, AStartThatStoppedWaitingSaysSoAndThePlayerThenDoesNothing) {
    TempFolder folder;
    std::vector<bool> expiredWhenHeard;
    HandoffSocket player([&](const PlayerRequest& request) {
        expiredWhenHeard.push_back(RequestExpired(request));
        return ExpiredAnswer();
    });
    ASSERT_TRUE(player.listen(folder.file("qvplayer.socket")));

    // The player is busy (its event loop does not run) while the later start waits: a
    // request it may begin within 50 ms, answered within 300 ms.
    const std::int64_t now = MonotonicMs();
    PlayerAnswer answer;
    std::thread later([&] {
        answer =
            AskOverSocket({PlayerRequestKind::OpenDrive, "/home/me/album.cue", now + 50, now + 300},
                          folder.file("qvplayer.socket"));
    });
    later.join();
    EXPECT_FALSE(answer.done);
    EXPECT_NE(answer.problem.find("did not answer in time"), std::string::npos) << answer.problem;

    // Free again, the player comes to the request and can tell it is too late to begin.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !expiredWhenHeard.empty(); }, kWaitMs));
    EXPECT_EQ(expiredWhenHeard, std::vector<bool>{true});
}

}  // namespace
}  // namespace sonarch
