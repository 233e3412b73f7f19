// The library alone: emitsample of many samples into /dev/null, and the
// C library's fileno alone on the same stream, the look-up that every
// emitsample makes.  Prints nanoseconds per call of each, one per line.
// Usage: emitsample_bench log2count
#include <samplestream.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace
{

using clock_type = std::chrono::steady_clock;

double nanosper(clock_type::time_point start, long count)
{
    const std::chrono::duration<double, std::nano> spent = clock_type::now() - start;
    return spent.count() / static_cast<double>(count);
}

} // namespace

int main(int, char *argv[])
{
    const long count = 1L << std::atoi(argv[1]);
    FILE *out = std::fopen("/dev/null", "w");
    if (out == nullptr)
        return 1;

    float sample = 0.0f;
    auto start = clock_type::now();
    for (long i = 0; i < count; ++i) {
        sample += 1.0f;
        if (emitsample(&sample, out) != 4)
            return 1;
    }
    flushsamples(out);
    const double emit = nanosper(start, count);

    // fileno is an opaque call into the C library, so none is left out.
    long descriptors = 0;
    start = clock_type::now();
    for (long i = 0; i < count; ++i)
        descriptors += fileno(out);
    const double lookup = nanosper(start, count);

    std::printf("%.3f\n%.3f\n", emit, lookup);
    return descriptors == count * fileno(out) ? 0 : 1;
}
