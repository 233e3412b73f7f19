// The work hsum cannot avoid: the same table with the same arithmetic,
// written with plain 4096-byte writes.  Usage: baseline_hsum length h a p ...
#include <synth.hpp>

#include <cstdlib>
#include <span>
#include <unistd.h>

int main(int argc, char *argv[])
{
    const auto length = static_cast<int32_t>(std::atol(argv[1]));
    auto *table = static_cast<float *>(std::calloc(static_cast<size_t>(length), sizeof(float)));
    const std::span<float> all(table, static_cast<size_t>(length));
    for (int arg = 2; arg + 2 < argc; arg += 3)
        hsum::addharmonic(all, hsum::readnumber(argv[arg]), hsum::readnumber(argv[arg + 1]),
                          hsum::readnumber(argv[arg + 2]), length);
    const auto *bytes = reinterpret_cast<const char *>(table);
    const size_t total = all.size_bytes();
    for (size_t at = 0; at < total; at += 4096)
        if (write(1, bytes + at, total - at < 4096 ? total - at : 4096) < 0)
            return 1;
    return 0;
}
