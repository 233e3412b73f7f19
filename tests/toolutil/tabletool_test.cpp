// The -L<length> number, read as atoi reads it but safe past int32_t.
#include <tabletool.hpp>

#include <gtest/gtest.h>

namespace
{

TEST(ReadLength, ReadsLikeAtoiAndRefusesOverflow)
{
    const struct {
        const char *text;
        int32_t value;
    } cases[] = {
        {"4", 4},
        {" \t\n12abc", 12},
        {"+7", 7},
        {"0005", 5},
        {"-3", -3},
        {"", 0},
        {"x", 0},
        {"- 5", 0},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", 0},
        {"-2147483649", 0},
        {"4294967297", 0},
        {"99999999999999999999", 0},
        {"00000000000000000000000000000009", 9},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tabletool::readlength(c.text), c.value) << '"' << c.text << '"';
}

} // namespace
