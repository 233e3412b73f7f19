// The reading path on arbitrary input: loadheader, copyheader onto
// /dev/null, then sample output.  The first byte caps the size of every
// read, so headers split over short reads are explored too.
#include "faults.hpp"

#include <samplestream.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace
{

void fail(const char *what)
{
    fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// What must hold of a slot after loadheader, whatever the input.
void checkslot(const StreamSlot &slot, const Property *list)
{
    if (slot.samplesize != 2 && slot.samplesize != 4)
        fail("sample size");
    if (slot.bytepos < 0 || slot.bytepos > BUFFER_BYTES || slot.fill > BUFFER_BYTES)
        fail("cursor out of the block");
    if (list != nullptr && (slot.headerstate != HEADER_DONE || list != slot.properties))
        fail("header found but not recorded");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t cap = data[0];
    ++data;
    --size;

    streams::resetlibrary();
    faults::reset();
    const int fd = memfd_create("input", 0);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size) || lseek(fd, 0, SEEK_SET) != 0)
        std::abort();
    FILE *in = fdopen(fd, "r");
    FILE *out = fopen("/dev/null", "w");
    faults::watch(fd);
    faults::capreads(cap);

    const Property *list = loadheader(in);
    checkslot(streamtable[fd], list);
    if (copyheader(in, out) != 0)
        fail("copying onto /dev/null failed");
    if (list != nullptr && streamtable[fileno(out)].headerstate != HEADER_DONE)
        fail("header not handed on");
    for (size_t i = 0; i + 4 <= size && i < 8192; i += 4) {
        float sample;
        std::memcpy(&sample, data + i, 4);
        const int r = emitsample(&sample, out);
        if (r != 4 && !(r == -1 && streamtable[fileno(out)].samplesize == 2))
            fail("sample refused on /dev/null");
    }
    flushsamples(out);

    faults::reset();
    streams::resetlibrary();
    fclose(out);
    fclose(in);
    return 0;
}
