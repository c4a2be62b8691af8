#include "device/drives/drive_opener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "device/drives/drive_factory.h"
#include "support/disc_images.h"

namespace sonarch {
namespace {

using namespace std::chrono_literals;
using namespace sonarch::testing;

// An open that takes as long as the test says: it waits at a gate until let through, as an
// open of a slow drive or a hostile image waits on the drive or the file.
class GatedOpens {
public:
    DriveOpener::Open open() {
        return [this](const std::string& name) {
            std::unique_lock lock(m_mutex);
            m_started.push_back(name);
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_letThrough > 0; });
            --m_letThrough;
            return Result<std::unique_ptr<Drive>>::failure("opened " + name);
        };
    }
    void letOneThrough() {
        std::lock_guard lock(m_mutex);
        ++m_letThrough;
        m_changed.notify_all();
    }
    // Waits until `count` opens have begun; a guard, not a measure: false after a minute.
    bool waitForStarts(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 60s, [&] { return m_started.size() >= count; });
    }
    std::vector<std::string> started() {
        std::lock_guard lock(m_mutex);
        return m_started;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_started;
    int m_letThrough = 0;
};

// Counts the opener's calls of `finished`, for waiting on them.
class Finishes {
public:
    std::function<void()> callback() {
        return [this] {
            std::lock_guard lock(m_mutex);
            ++m_count;
            m_changed.notify_all();
        };
    }
    bool waitFor(int count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 60s, [&] { return m_count >= count; });
    }
    int count() {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

TEST(DriveOpener, TheCallerNeverWaitsOnAnOpen) {
    GatedOpens opens;
    Finishes finishes;
    DriveOpener opener(opens.open(), finishes.callback());
    opener.request("slow.nrg");
    ASSERT_TRUE(opens.waitForStarts(1));
    // The open is held at its gate, and the caller goes on.
    EXPECT_TRUE(opener.pending());
    EXPECT_FALSE(opener.take());
    opens.letOneThrough();
    ASSERT_TRUE(finishes.waitFor(1));
    EXPECT_FALSE(opener.pending());
    auto opened = opener.take();
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->name, "slow.nrg");
    EXPECT_EQ(opened->drive.error(), "opened slow.nrg");
    EXPECT_FALSE(opener.take()) << "handed over once";
}

TEST(DriveOpener, ANewRequestReplacesThePendingOnes) {
    GatedOpens opens;
    Finishes finishes;
    DriveOpener opener(opens.open(), finishes.callback());
    opener.request("first.nrg");
    ASSERT_TRUE(opens.waitForStarts(1));
    opener.request("second.toc");  // replaced before it begins: never opened
    opener.request("third.cue");
    opens.letOneThrough();  // the first ends, replaced while it ran: dropped
    ASSERT_TRUE(opens.waitForStarts(2));
    EXPECT_EQ(finishes.count(), 0);
    EXPECT_FALSE(opener.take());
    opens.letOneThrough();
    ASSERT_TRUE(finishes.waitFor(1));
    auto opened = opener.take();
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->name, "third.cue");
    EXPECT_EQ(opens.started(), (std::vector<std::string>{"first.nrg", "third.cue"}));
}

TEST(DriveOpener, CancelForgetsTheRequestAndAnEndWaitsForTheOpenInProgress) {
    GatedOpens opens;
    Finishes finishes;
    auto opener = std::make_unique<DriveOpener>(opens.open(), finishes.callback());
    opener->request("one.nrg");
    ASSERT_TRUE(opens.waitForStarts(1));
    opener->cancel();
    EXPECT_FALSE(opener->pending());
    opens.letOneThrough();
    opener->request("two.nrg");
    ASSERT_TRUE(opens.waitForStarts(2));
    opens.letOneThrough();
    ASSERT_TRUE(finishes.waitFor(1));
    EXPECT_EQ(opener->take()->name, "two.nrg") << "nothing of the forgotten one";

    // The opener ends while an open is held at its gate: the end waits for it.
    opener->request("three.nrg");
    ASSERT_TRUE(opens.waitForStarts(3));
    std::thread gatekeeper([&opens] { opens.letOneThrough(); });
    opener.reset();
    gatekeeper.join();
}

TEST(DriveOpener, OpensRealImagesAndSaysWhyOneFails) {
    TempDir dir;
    const std::string cue = writeCueBin(dir, {{300, true}, {225, true}});
    Finishes finishes;
    DriveOpener opener([](const std::string& name) { return openDrive(name); },
                       finishes.callback());
    opener.request(cue);
    ASSERT_TRUE(finishes.waitFor(1));
    auto opened = opener.take();
    ASSERT_TRUE(opened && opened->drive.ok()) << (opened ? opened->drive.error() : "");
    EXPECT_EQ(discKey(*opened->drive.value()), "150 450 675");

    opener.request(dir.file("gone.nrg"));
    ASSERT_TRUE(finishes.waitFor(2));
    opened = opener.take();
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->drive.error(),
              "There is no CD drive or disc image '" + dir.file("gone.nrg") + "'.");
}

}  // namespace
}  // namespace sonarch
