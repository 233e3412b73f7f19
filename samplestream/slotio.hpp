// Internal helpers of the sample stream library: slot look-up and block I/O.
#ifndef SAMPLESTREAM_SLOTIO_HPP
#define SAMPLESTREAM_SLOTIO_HPP

#include "samplestream.h"

#include <cstddef>
#include <cstdio>
#include <sys/types.h>

namespace samplestream
{

// The descriptor of a stream that has a slot, or -1.  Indexing the table
// with a failed fileno or a descriptor past the table would leave it.
inline int slotindex(FILE *stream) noexcept
{
    if (stream == nullptr)
        return -1;
    const int fd = fileno(stream);
    return static_cast<unsigned>(fd) < MAX_STREAMS ? fd : -1;
}

inline StreamSlot *slotof(FILE *stream) noexcept
{
    const int fd = slotindex(stream);
    return fd < 0 ? nullptr : &streamtable[fd];
}

// A sample size the buffer arithmetic can live with: cells must tile the
// block exactly, or padding and capacity would run past the buffer.
constexpr bool validsamplesize(int size) noexcept
{
    return size > 0 && BUFFER_BYTES % size == 0;
}

// Writes all n bytes of buf to fd.  Returns n when everything went out,
// else the result of the call that failed (0 or negative).
ssize_t writeall(int fd, const unsigned char *buf, size_t n) noexcept;

// One read(2) of up to n bytes, retried while interrupted by a signal.
ssize_t readsome(int fd, unsigned char *buf, size_t n) noexcept;

} // namespace samplestream

#endif
