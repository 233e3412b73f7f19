// The option rule and the arithmetic of the table.
#include <synth.hpp>

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace
{

TEST(Layout, OnlyArgumentTwoCanBeAnOption)
{
    const struct {
        const char *arg2;
        bool closed;
        int first;
    } cases[] = {
        {"-c", true, 3},    {"-x", false, 3},  {"-cc", false, 3}, {"--", false, 3},
        {"-0.5", false, 2}, {"-.5", false, 2}, {"-", false, 2},   {"1", false, 2},
        {"c", false, 2},    {"-9", false, 2},  {"-e", false, 3},  {"", false, 2},
    };
    for (const auto &c : cases) {
        char *argv[] = {const_cast<char *>("hsum"), const_cast<char *>("-L4"), const_cast<char *>(c.arg2),
                        nullptr};
        const hsum::Layout layout = hsum::readlayout(argv);
        EXPECT_EQ(layout.closed, c.closed) << c.arg2;
        EXPECT_EQ(layout.first, c.first) << c.arg2;
    }
}

TEST(ReadNumber, ReadsLikeAtofThenRoundsToSingle)
{
    EXPECT_EQ(hsum::readnumber("1.5707964"), 1.5707964f);
    EXPECT_EQ(hsum::readnumber("  2.5xyz"), 2.5f);
    EXPECT_EQ(hsum::readnumber("-c"), 0.0f);
    EXPECT_EQ(hsum::readnumber("0x1p-2"), 0.25f);
    EXPECT_EQ(hsum::readnumber("1e300"), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(hsum::readnumber("nan")));
    // 0.1 goes through double first: the same as rounding the double.
    EXPECT_EQ(hsum::readnumber("0.1"), static_cast<float>(0.1));
}

TEST(AllZero, OnlyAMagnitudeAboveZeroCounts)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const struct {
        std::vector<float> table;
        bool allzero;
    } cases[] = {
        {{}, true},
        {{0.0f, -0.0f, nan, -nan}, true},
        {{nan, -0.0f, 0.0f, -tiny}, false}, // the last value decides
        {{-inf, nan}, false},
        {{nan, -3.0f, 2.0f}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(hsum::allzero(c.table), c.allzero) << ::testing::PrintToString(c.table);
}

// Above 2^24 the index is rounded to single precision first, so
// neighbouring indices can share one sine argument.
TEST(Synthesis, LargeIndicesAreRoundedToSingle)
{
    constexpr int32_t n = (1 << 24) + 3;
    std::vector<float> table(n, 0.0f);
    hsum::addharmonic(table, 1000.0f, 1.0f, 0.0f, n);
    EXPECT_EQ(table[(1 << 24) + 1], table[1 << 24]); // 2^24 + 1 rounds to 2^24 (ties to even)
    EXPECT_NE(table[(1 << 24) + 2], table[1 << 24]);
}

TEST(Synthesis, ZeroDivisorGivesNotANumber)
{
    std::vector<float> table(1, 0.0f);
    hsum::addharmonic(table, 1.0f, 1.0f, 0.0f, 0);
    EXPECT_TRUE(std::isnan(table[0]));
}

} // namespace
