// Harmonic synthesis: the arithmetic of an hsum table.
#ifndef HSUM_SYNTH_HPP
#define HSUM_SYNTH_HPP

#include <cstdint>
#include <span>

namespace hsum
{

// Where the numbers of a command line start, and whether argument 2 asked
// for closed-period mode.
struct Layout {
    bool closed;
    int first;
};

// Applies the option rule to argv[2]: "-c" selects closed-period mode, any
// other "-" word whose second character is not a digit or "." is dropped;
// anything else is the first harmonic number.
Layout readlayout(char *const argv[]);

// A command-line number as atof reads it, rounded to single precision.
float readnumber(const char *text);

// Adds a * sin(i * step + p) to every table[i], with
// step = single((h * 2pi) / divisor), the sine's argument a single fused
// multiply-add and the accumulation a double fused multiply-add.
void addharmonic(std::span<float> table, float h, float a, float p, int32_t divisor);

// Whether the table's peak magnitude is 0: no value has a magnitude above
// zero (every value is +0, -0 or not a number).  The peak serves only this
// test, so the scan stops at the first value that would raise it.
bool allzero(std::span<const float> table);

} // namespace hsum

#endif
