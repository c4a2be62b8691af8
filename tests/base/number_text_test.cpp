#include "base/number_text.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

TEST(ParseInteger, AcceptsSignedDecimalsOnly) {
    EXPECT_EQ(parseInteger("07"), 7);
    EXPECT_EQ(parseInteger("-6000"), -6000);
    EXPECT_EQ(parseInteger("+5"), 5);
    EXPECT_FALSE(parseInteger("+-5"));
    EXPECT_FALSE(parseInteger("5x"));
    EXPECT_FALSE(parseInteger(""));
    EXPECT_FALSE(parseInteger("99999999999999999999999"));
}

}  // namespace
}  // namespace sonarch
