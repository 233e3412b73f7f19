// The stream table and buffered sample output.
#include "samplestream.h"
#include "slotio.hpp"

#include <cstdlib>
#include <cstring>

using samplestream::slotindex;
using samplestream::slotof;
using samplestream::validsamplesize;
using samplestream::writeall;

StreamSlot streamtable[MAX_STREAMS];
int16_t defaultsamplesize = 4;
int8_t passthruoff = 0;

namespace
{

constexpr int16_t SAMPLE_BYTES = 4; // a float sample on every output slot

// Every output slot starts with 4-byte samples, whatever the default was.
int preparefresh(FILE *stream)
{
    setdefaultsize(SAMPLE_BYTES);
    return prepareoutput(stream);
}

// Writes the full buffer.  On success the block is gone and cells count
// from 0 again; on failure it stays, so the next call offers it again.
int writefullblock(StreamSlot &slot, int fd)
{
    slot.fill = static_cast<int16_t>(writeall(fd, slot.buffer, BUFFER_BYTES));
    if (slot.fill <= 0)
        return slot.fill;
    slot.fill = static_cast<int16_t>(slot.fill / slot.samplesize);
    slot.samplepos = 0;
    return 1;
}

// Everything but the plain store: setting the stream up, refusing cells
// that are not 4 bytes, and writing a full block.  Kept out of line so
// the per-sample path stays a few instructions.
[[gnu::noinline]] int emitslow(const float *sample, FILE *stream, int fd)
{
    StreamSlot &slot = streamtable[fd];
    if (!slot.ready && preparefresh(stream) != 0)
        return -1;
    // Cells are 4 bytes wide; on a 2-byte stream they would leave holes of
    // unwritten bytes between the samples.
    if (slot.samplesize != SAMPLE_BYTES)
        return -1;
    if (slot.samplepos >= slot.capacity) {
        const int r = writefullblock(slot, fd);
        if (r <= 0)
            return r;
    }
    std::memcpy(slot.buffer + SAMPLE_BYTES * slot.samplepos, sample, SAMPLE_BYTES);
    ++slot.samplepos;
    return slot.samplesize;
}

} // namespace

int emitsample(const float *sample, FILE *stream)
{
    const int fd = slotindex(stream);
    if (fd < 0 || sample == nullptr)
        return -1;
    StreamSlot &slot = streamtable[fd];
    // Positions are never negative; read unsigned, the cell scales straight
    // into an index of the buffer.
    const auto cell = static_cast<uint16_t>(slot.samplepos);
    if (slot.ready && slot.samplesize == SAMPLE_BYTES && cell < slot.capacity) [[likely]] {
        std::memcpy(slot.buffer + size_t{SAMPLE_BYTES} * cell, sample, SAMPLE_BYTES);
        ++slot.samplepos;
        return SAMPLE_BYTES;
    }
    return emitslow(sample, stream, fd);
}

int flushsamples(FILE *stream)
{
    return drainstream(stream);
}

int endsamples(FILE *stream)
{
    return drainstream(stream);
}

int drainstream(FILE *stream)
{
    const int fd = slotindex(stream);
    if (fd < 0)
        return -1;
    StreamSlot &slot = streamtable[fd];
    if (!slot.ready && preparefresh(stream) != 0)
        return -1;
    if (slot.samplepos > 0) {
        const size_t n = static_cast<size_t>(slot.samplepos) * static_cast<size_t>(slot.samplesize);
        slot.fill = static_cast<int16_t>(writeall(fd, slot.buffer, n));
    }
    const int result = slot.fill > 0 ? slot.samplesize : slot.fill;
    std::free(slot.buffer);
    // Back to fresh, so a later output attaches a new buffer instead of
    // writing into the one just released; the header state stays.
    slot.buffer = nullptr;
    slot.ready = 0;
    slot.capacity = 0;
    slot.samplepos = 0;
    slot.bytepos = 0;
    slot.fill = 0;
    return result;
}

int prepareoutput(FILE *stream)
{
    StreamSlot *slot = slotof(stream);
    if (slot == nullptr || attachbuffer(stream) != 0)
        return -1;
    const StreamSlot *in = slotof(stdin);
    if (stream == stdout && in != nullptr && in->headerstate == HEADER_DONE &&
        slot->headerstate == HEADER_NONE && passthruoff == 0 && copyheader(stdin, stream) != 0)
        return -1;
    if (slot->headerstate == HEADER_PENDING && emitheader(stream) != 0)
        return -1;
    return 0;
}

int attachbuffer(FILE *stream)
{
    StreamSlot *slot = slotof(stream);
    if (slot == nullptr)
        return -1;
    if (slot->ready)
        return 0;
    // The default may have been stored directly; cells must tile the block.
    if (!validsamplesize(defaultsamplesize))
        return -1;
    auto *buffer = static_cast<unsigned char *>(std::malloc(BUFFER_BYTES));
    if (buffer == nullptr)
        return -1;
    slot->buffer = buffer;
    slot->samplesize = defaultsamplesize;
    slot->capacity = BUFFER_BYTES / slot->samplesize;
    slot->bytepos = 0;
    slot->samplepos = 0;
    slot->fill = 0;
    slot->ready = 1;
    return 0;
}

int setdefaultsize(int16_t size)
{
    if (!validsamplesize(size))
        return -1;
    defaultsamplesize = size;
    return size;
}

int togglepassthru(void)
{
    passthruoff = passthruoff == 0 ? 1 : 0;
    return passthruoff;
}
