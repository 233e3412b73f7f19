// The text path's unavoidable work: hsum's table, then the printf loop.
// Usage: baseline_text length h a p
#include <synth.hpp>

#include <cstdio>
#include <cstdlib>
#include <span>

int main(int, char *argv[])
{
    const auto length = static_cast<int32_t>(std::atol(argv[1]));
    auto *table = static_cast<float *>(std::calloc(static_cast<size_t>(length), sizeof(float)));
    const std::span<float> all(table, static_cast<size_t>(length));
    hsum::addharmonic(all, hsum::readnumber(argv[2]), hsum::readnumber(argv[3]), hsum::readnumber(argv[4]),
                      length);
    for (const float v : all)
        std::printf("%f\n", static_cast<double>(v));
    return 0;
}
