#include "base/time_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace sonarch {
namespace {

TEST(SecondsToText, WholeSecondsSplitIntoMinutesAndSeconds) {
    const std::pair<float, const char*> cases[] = {
        {0, "00:00"},  {5, "00:05"},    {59, "00:59"},    {60, "01:00"},
        {75, "01:15"}, {3599, "59:59"}, {6000, "100:00"}, {225, "03:45"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(SecondsToText(seconds), text) << seconds;
    }
}

TEST(SecondsToText, FractionsRoundToEvenAndNegativesKeepTheirParts) {
    const std::pair<float, const char*> cases[] = {
        {59.6f, "01:00"}, {60.5f, "01:00"}, {61.5f, "01:02"},   {0.4f, "00:00"},
        {-225, "-03:45"}, {-0.4f, "00:00"}, {-59.5f, "-01:00"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(SecondsToText(seconds), text) << seconds;
    }
    EXPECT_EQ(SecondsToText(std::numeric_limits<float>::quiet_NaN()), "");
    EXPECT_EQ(SecondsToText(std::numeric_limits<float>::infinity()), "");
}

TEST(TextToSeconds, ReadsMinutesSecondsAndHours) {
    const std::pair<const char*, float> cases[] = {
        {"03:25", 205}, {"00:00", 0}, {"1:02:03", 3723}, {"100:00", 6000},
        {"5:07", 307},  {"07", 7},    {"xx:yy", 0},      {"", 0},
        {"3", 3},       {"03:2x", 0}, {"a:02:03", 0},    {"12:30:50", 45050},
    };
    for (const auto& [text, seconds] : cases) {
        EXPECT_EQ(TextToSeconds(text), seconds) << text;
    }
}

TEST(TextToSeconds, RoundTripsEveryWholeMinuteAndSecondOfADisc) {
    for (int s = 0; s < 100 * 60; s += 7) {
        EXPECT_EQ(TextToSeconds(SecondsToText(float(s))), float(s)) << s;
    }
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(900.5), 900);
    EXPECT_EQ(roundHalfEven(901.5), 902);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(12.5), 12);
    EXPECT_EQ(roundHalfEven(12.51), 13);
    EXPECT_EQ(twoDigits(7), "07");
    EXPECT_EQ(twoDigits(123), "123");
}

}  // namespace
}  // namespace sonarch
