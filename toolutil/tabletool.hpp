// What hsum and rtab share: the -L<length> argument, fixed messages, the
// table's allocation and its output.
#ifndef TABLETOOL_HPP
#define TABLETOOL_HPP

#include <cstdint>
#include <span>
#include <string_view>

namespace tabletool
{

// A program's own fixed messages, written byte for byte.
struct Messages {
    std::string_view usage;
    std::string_view illegallength;
    std::string_view noalloc;
    std::string_view nowrite;
};

// Writes message to standard error and exits with status -1.
[[noreturn]] void fail(std::string_view message);

// The decimal integer at the start of text, read as atoi reads it
// (leading white space, optional sign, digits up to the first other
// character; none give 0), or 0 when it lies outside the int32_t range.
int32_t readlength(const char *text);

// The length given by arg, which must be "-L" and a positive number; fails
// with the usage or the illegal-length message otherwise.
int32_t lengthargument(const char *arg, const Messages &messages);

// A table of length floats, zero-filled when zeroed is set; fails with the
// allocation message when it cannot be had.
std::span<float> allocatetable(int32_t length, bool zeroed, const Messages &messages);

// Writes the finished table to standard output: "%f\n" lines at a
// terminal, raw samples otherwise; fails with the output message when
// anything did not go out.
void writetable(std::span<const float> table, const Messages &messages);

} // namespace tabletool

#endif
