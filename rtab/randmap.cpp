#include "randmap.hpp"

#include <cstdlib>

#if defined(__FAST_MATH__)
#error "rtab must be built without -ffast-math"
#endif
// The fixed scale maps [0, 2^31 - 1] onto [0, 1]; a smaller generator
// would never reach the table's edges.
static_assert(RAND_MAX >= 2147483647, "rtab needs a rand() whose results reach 2^31 - 1");

namespace rtab
{

float randomvalue(int r)
{
    constexpr float scale = 0x1p-31f;
    const auto s = static_cast<float>(static_cast<double>(r));
    const float u = s * scale;                                                    // exact: a power of two
    const double centred = static_cast<double>(u) + static_cast<double>(u) - 1.0; // exact
    return static_cast<float>(centred);
}

} // namespace rtab
