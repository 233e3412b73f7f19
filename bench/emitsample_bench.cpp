// The library alone: emitsample of many samples into /dev/null; prints
// nanoseconds per sample.  Usage: emitsample_bench log2count
#include <samplestream.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int, char *argv[])
{
    const long count = 1L << std::atoi(argv[1]);
    FILE *out = std::fopen("/dev/null", "w");
    float sample = 0.0f;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        sample += 1.0f;
        if (emitsample(&sample, out) != 4)
            return 1;
    }
    flushsamples(out);
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    std::printf("%.3f\n", spent.count() / static_cast<double>(count));
    return 0;
}
