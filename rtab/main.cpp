// rtab: a function table of unseeded pseudo-random values in [-1, 1].
#include "randmap.hpp"

#include <tabletool.hpp>

#include <cstdlib>

namespace
{

constexpr tabletool::Messages messages{
    "Usage: rtab -Llength\n",
    "RTAB: Illegal length expression\n",
    "RTAB: Cannot allocate table\n",
    "RTAB: Cannot write output\n",
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2)
        tabletool::fail(messages.usage);
    const int32_t length = tabletool::lengthargument(argv[1], messages);
    // Every element is assigned below, so the table need not be cleared.
    const std::span<float> table = tabletool::allocatetable(length, false, messages);
    // One rand() per element in index order: a shorter table is always a
    // prefix of a longer one.
    for (float &value : table)
        value = rtab::randomvalue(std::rand());
    tabletool::writetable(table, messages);
    std::exit(0);
}
