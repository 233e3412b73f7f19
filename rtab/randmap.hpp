// The mapping from one rand() result to an rtab table value.
#ifndef RTAB_RANDMAP_HPP
#define RTAB_RANDMAP_HPP

namespace rtab
{

// r in [0, 2^31 - 1] to single(s x 2^-30 - 1), s being r rounded to single
// precision: -1 for r up to 32, +1 from 2^31 - 64, never negative zero.
float randomvalue(int r);

} // namespace rtab

#endif
