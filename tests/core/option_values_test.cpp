// What the options dialog makes of the texts it is given.
#include <gtest/gtest.h>

#include "core/option_values.h"

namespace sonarch {
namespace {

TEST(OptionValues, TheSpeedIsAnyWholeNumberThatFitsThirtyTwoBits) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"10", 10},
        {" 7 ", 7},
        {"+5", 5},
        {"-3", -3},
        {"0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"12.5", std::nullopt},
        {"ten", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"1e3", std::nullopt},
        {"5s", std::nullopt},
        {"+-1", std::nullopt},
        {"0x10", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& [text, step] : cases) {
        EXPECT_EQ(ParseSeekStep(text), step) << "'" << text << "'";
    }
}

TEST(OptionValues, ALibraryNameGetsDbdUnlessItEndsInItInAnyCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"/music/old.mdb", "/music/old.mdb.dbd"},
        {"/music/Old.MDB", "/music/Old.MDB.dbd"},
        {"/music/new.DBD", "/music/new.DBD"},
        {"/music/new.dBd", "/music/new.dBd"},
        {"/music/new.dbd", "/music/new.dbd"},
        {"dbd", "dbd.dbd"},
        {"", ".dbd"},
    };
    for (const auto& [chosen, stored] : cases) {
        EXPECT_EQ(WithLibraryExtension(chosen), stored) << chosen;
    }
}

}  // namespace
}  // namespace sonarch
