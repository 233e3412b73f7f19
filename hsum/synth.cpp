#include "synth.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

// Tables are compared bit for bit: reassociation or contraction by the
// compiler would change them.
#if defined(__FAST_MATH__)
#error "hsum must be built without -ffast-math"
#endif
// Division by a zero divisor (closed-period mode with length 1) must give
// an infinity, not stop the program.
static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<float>::is_iec559);

namespace hsum
{

Layout readlayout(char *const argv[])
{
    const char *arg = argv[2];
    if (std::strcmp(arg, "-c") == 0)
        return {true, 3};
    // A sign before a digit or a point starts a number; "-" alone reads as
    // the number 0.
    if (arg[0] == '-' && arg[1] != '\0' && std::strchr("0123456789.", arg[1]) == nullptr)
        return {false, 3};
    return {false, 2};
}

float readnumber(const char *text)
{
    // strtod is atof without the undefined behaviour on out-of-range text.
    return static_cast<float>(std::strtod(text, nullptr));
}

void addharmonic(std::span<float> table, float h, float a, float p, int32_t divisor)
{
    const double twopi = std::atan(1.0) * 8.0;
    const auto step = static_cast<float>((static_cast<double>(h) * twopi) / static_cast<double>(divisor));
    const auto amplitude = static_cast<double>(a);
    // Tables hold at most INT32_MAX values; the index is rounded to single
    // precision directly from its integer value.
    const auto count = static_cast<int32_t>(table.size());
    for (int32_t i = 0; i < count; ++i) {
        const float x = std::fmaf(static_cast<float>(i), step, p);
        const double s = std::sin(static_cast<double>(x));
        table[i] = static_cast<float>(std::fma(amplitude, s, static_cast<double>(table[i])));
    }
}

bool allzero(std::span<const float> table)
{
    // A comparison with a value that is not a number is false, as it is
    // for the peak.
    for (const float value : table)
        if (std::fabs(value) > 0.0f)
            return false;
    return true;
}

} // namespace hsum
