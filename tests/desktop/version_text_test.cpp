// The version the about box shows.
#include "desktop/version_text.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

TEST(VersionText, ShowsMajorAndMinorAsPlainNumbers) {
    EXPECT_EQ(VersionText("1.0"), "Version 1.0");
    EXPECT_EQ(VersionText("0.1.0"), "Version 0.1");
    EXPECT_EQ(VersionText("2.10.3"), "Version 2.10");
    EXPECT_EQ(VersionText("01.05.7"), "Version 1.5");
    EXPECT_EQ(VersionText("3"), "Version 3.0");
}

}  // namespace
}  // namespace sonarch
