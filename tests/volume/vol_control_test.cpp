#include "volume/vol_control.h"

#include <gtest/gtest.h>

#include "audio/paced_output.h"

namespace sonarch {
namespace {

TEST(Mixer, OpensOnlyOverAnOutput) {
    Mixer none(nullptr);
    EXPECT_FALSE(none.open()) << "no audio output: the mixer cannot open";
    EXPECT_FALSE(SetMixerVolume(none, 32500));

    ManualClock clock;
    NullOutput output(clock);
    Mixer mixer(&output);
    // Written before opening, the volume still reaches the one stream.
    EXPECT_TRUE(SetMixerVolume(mixer, 34000));
    EXPECT_EQ(output.volume(), 34000);
    EXPECT_TRUE(mixer.open());
    EXPECT_TRUE(mixer.isOpen());
}

TEST(Mixer, AcceptsZeroToFullAndRefusesTheRest) {
    ManualClock clock;
    NullOutput output(clock);
    Mixer mixer(&output);
    mixer.open();
    struct Case {
        std::int32_t volume;
        bool accepted;
        std::int32_t after;
    };
    const Case cases[] = {{0, true, 0},          {650, true, 650},      {32500, true, 32500},
                          {65000, true, 65000},  {65001, false, 65000}, {-1, false, 65000},
                          {70000, false, 65000}, {64350, true, 64350}};
    for (const Case& c : cases) {
        EXPECT_EQ(SetMixerVolume(mixer, c.volume), c.accepted) << c.volume;
        EXPECT_EQ(output.volume(), c.after) << c.volume;
    }
}

}  // namespace
}  // namespace sonarch
