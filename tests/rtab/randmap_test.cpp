// One rand() result to one table value, bit for bit.
#include <randmap.hpp>

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

namespace
{

uint32_t bits(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

TEST(RandomValue, EdgesOfTheRange)
{
    const struct {
        int r;
        uint32_t value;
    } cases[] = {
        {0, 0xbf800000},             // -1
        {32, 0xbf800000},            // halfway, rounds to even: -1
        {33, 0xbf7fffff},            // -0.99999994
        {(1 << 30) - 1, 0x00000000}, // +0, never -0
        {1 << 30, 0x00000000},
        {(1 << 30) + 1, 0x00000000},
        {2147483647 - 64, 0x3f7ffffe}, // 2^31 - 65: 0.99999988
        {2147483647 - 63, 0x3f800000}, // 2^31 - 64: +1
        {2147483647, 0x3f800000},
    };
    for (const auto &c : cases)
        EXPECT_EQ(bits(rtab::randomvalue(c.r)), c.value) << "r = " << c.r;
}

// The value is s x 2^-30 - 1 rounded once; computing it all in single
// precision gives the same bits.
TEST(RandomValue, AgreesWithTheSinglePrecisionForm)
{
    const auto single = [](int r) { return static_cast<float>(r) * 0x1p-30f - 1.0f; };
    for (int r = 0; r < (1 << 16); ++r)
        ASSERT_EQ(bits(rtab::randomvalue(r)), bits(single(r))) << r;
    for (int64_t r = 0; r <= 2147483647; r += 104729)
        ASSERT_EQ(bits(rtab::randomvalue(static_cast<int>(r))), bits(single(static_cast<int>(r)))) << r;
}

} // namespace
