// The work rtab cannot avoid: one rand() per value, mapped, written with
// plain 4096-byte writes.  Usage: baseline_rtab length
#include <randmap.hpp>

#include <cstdlib>
#include <unistd.h>

int main(int, char *argv[])
{
    const auto length = static_cast<size_t>(std::atol(argv[1]));
    auto *table = static_cast<float *>(std::malloc(length * sizeof(float)));
    for (size_t i = 0; i < length; ++i)
        table[i] = rtab::randomvalue(std::rand());
    const auto *bytes = reinterpret_cast<const char *>(table);
    const size_t total = length * sizeof(float);
    for (size_t at = 0; at < total; at += 4096)
        if (write(1, bytes + at, total - at < 4096 ? total - at : 4096) < 0)
            return 1;
    return 0;
}
