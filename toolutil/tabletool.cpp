#include "tabletool.hpp"

#include <samplestream.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <unistd.h>

namespace tabletool
{

void fail(std::string_view message)
{
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::exit(-1);
}

namespace
{

// The table lives until the process exits, which releases it; holding it
// here keeps it reachable whatever the optimiser does with main's copy
// (volatile: link-time optimisation would drop a store nothing reads).
void *volatile heldtable = nullptr;

constexpr bool isblank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool isdigit(char c)
{
    return c >= '0' && c <= '9';
}

void writetext(std::span<const float> table, const Messages &messages)
{
    for (const float value : table)
        if (std::printf("%f\n", static_cast<double>(value)) < 0)
            fail(messages.nowrite);
    flushsamples(stdout);
    if (std::fflush(stdout) != 0)
        fail(messages.nowrite);
}

void writesamples(std::span<const float> table, const Messages &messages)
{
    constexpr int stored = 4; // emitsample and flushsamples on success
    for (const float &value : table)
        if (emitsample(&value, stdout) != stored)
            fail(messages.nowrite);
    if (flushsamples(stdout) != stored)
        fail(messages.nowrite);
}

} // namespace

int32_t readlength(const char *text)
{
    while (isblank(*text))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    // Accumulate in 64 bits and stop once past the range, so that no digit
    // string can overflow; a value out of range reads as 0.
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; isdigit(*text); ++text) {
        value = value * 10 + (*text - '0');
        if (value > limit)
            return 0;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
        return 0;
    return static_cast<int32_t>(value);
}

int32_t lengthargument(const char *arg, const Messages &messages)
{
    if (arg[0] != '-' || arg[1] != 'L')
        fail(messages.usage);
    const int32_t length = readlength(arg + 2);
    if (length <= 0)
        fail(messages.illegallength);
    return length;
}

std::span<float> allocatetable(int32_t length, bool zeroed, const Messages &messages)
{
    const auto count = static_cast<size_t>(length);
    if (count > SIZE_MAX / sizeof(float))
        fail(messages.noalloc);
    // calloc maps the zero pages of a large table lazily.
    void *table = zeroed ? std::calloc(count, sizeof(float)) : std::malloc(count * sizeof(float));
    if (table == nullptr)
        fail(messages.noalloc);
    heldtable = table;
    return {static_cast<float *>(table), count};
}

void writetable(std::span<const float> table, const Messages &messages)
{
    if (isatty(1))
        writetext(table, messages);
    else
        writesamples(table, messages);
}

} // namespace tabletool
