// hsum: a function table as a sum of sine components.
#include "synth.hpp"

#include <tabletool.hpp>

#include <cstdlib>

namespace
{

constexpr tabletool::Messages messages{
    "Usage: hsum -Llength h1 a1 p2 ... hN aN pN\n",
    "HSUM: Illegal length expression\n",
    "HSUM: Cannot allocate table\n",
    "HSUM: Cannot write output\n",
};

constexpr int MIN_ARGUMENTS = 4; // -L<length> and one triplet

} // namespace

int main(int argc, char *argv[])
{
    if (argc - 1 < MIN_ARGUMENTS)
        tabletool::fail(messages.usage);
    const int32_t length = tabletool::lengthargument(argv[1], messages);
    const hsum::Layout layout = hsum::readlayout(argv);
    // A list that ends inside a triplet is as malformed as a short one.
    if ((argc - layout.first) % 3 != 0)
        tabletool::fail(messages.usage);

    const std::span<float> table = tabletool::allocatetable(length, true, messages);
    const int32_t divisor = length - (layout.closed ? 1 : 0);
    for (int arg = layout.first; arg < argc; arg += 3)
        hsum::addharmonic(table, hsum::readnumber(argv[arg]), hsum::readnumber(argv[arg + 1]),
                          hsum::readnumber(argv[arg + 2]), divisor);
    if (hsum::allzero(table))
        tabletool::fail("HSUM: all-zero function\n");

    tabletool::writetable(table, messages);
    std::exit(0);
}
