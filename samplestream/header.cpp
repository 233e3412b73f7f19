// Stream headers: property lists, and their bytes on a descriptor.
#include "samplestream.h"
#include "slotio.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using samplestream::readsome;
using samplestream::slotindex;
using samplestream::slotof;
using samplestream::validsamplesize;
using samplestream::writeall;

namespace
{

constexpr char HEAD_NAME[] = "HEAD";
constexpr char TAIL_NAME[] = "TAIL";
constexpr char FORMAT_NAME[] = "FORMAT";
constexpr char FLOAT_FORMAT[] = "FLOATSAM";
constexpr int16_t FLOAT_BYTES = 4;
constexpr int16_t OTHER_BYTES = 2;

// The sample size a "FORMAT" value names: only "FLOATSAM" means floats.
int16_t formatsize(const char *format)
{
    return std::strcmp(format, FLOAT_FORMAT) == 0 ? FLOAT_BYTES : OTHER_BYTES;
}

Property *lastnode(Property *node)
{
    while (node != nullptr && node->next != nullptr)
        node = node->next;
    return node;
}

int16_t bytecursor(const StreamSlot &slot)
{
    return static_cast<int16_t>(slot.bytepos / slot.samplesize);
}

// Writes the full buffer out and starts the block again; the block is
// dropped even when the write fails.  Returns 1, or the failed result.
int writeheaderblock(StreamSlot &slot, int fd)
{
    const ssize_t r = writeall(fd, slot.buffer, BUFFER_BYTES);
    slot.fill = static_cast<int16_t>(r);
    slot.bytepos = 0;
    slot.samplepos = 0;
    return r > 0 ? 1 : static_cast<int>(r);
}

// Whether the write cursor lies inside the block; a slot that was read
// to the end of a block and is then written on would store past it.
bool writable(const StreamSlot &slot)
{
    return slot.bytepos >= 0 && slot.bytepos < BUFFER_BYTES && validsamplesize(slot.samplesize);
}

// Stores one header byte as it is.  Returns 1, or a failed write's result.
int storebyte(StreamSlot &slot, int fd, unsigned char byte)
{
    if (!writable(slot))
        return -1;
    slot.buffer[slot.bytepos++] = byte;
    slot.samplepos = bytecursor(slot);
    return slot.bytepos == BUFFER_BYTES ? writeheaderblock(slot, fd) : 1;
}

// Ends a header on a sample boundary of the size its own "FORMAT" names.
int storepad(StreamSlot &slot, int fd, FILE *stream)
{
    if (!writable(slot))
        return -1;
    if (const char *format = propertyvalue(stream, FORMAT_NAME))
        slot.samplesize = formatsize(format);
    // Sizes divide the block, so the pad never runs past its end.
    const int rest = slot.bytepos % slot.samplesize;
    if (rest > 0) {
        std::memset(slot.buffer + slot.bytepos, 0, static_cast<size_t>(slot.samplesize - rest));
        slot.bytepos = static_cast<int16_t>(slot.bytepos + slot.samplesize - rest);
    }
    slot.samplepos = bytecursor(slot);
    return slot.bytepos == BUFFER_BYTES ? writeheaderblock(slot, fd) : 1;
}

// The slot of a stream with an attached buffer, attaching it if need be.
StreamSlot *attachedslot(FILE *stream)
{
    StreamSlot *slot = slotof(stream);
    if (slot == nullptr || (!slot->ready && attachbuffer(stream) != 0))
        return nullptr;
    return slot;
}

int storesymbol(StreamSlot &slot, int fd, const char *symbol)
{
    const auto *p = reinterpret_cast<const unsigned char *>(symbol);
    do {
        if (storebyte(slot, fd, *p) != 1)
            return -1;
    } while (*p++ != 0);
    return 0;
}

// Reads on after a short first block until the five bytes of "HEAD" and
// its terminator can be compared, or the input ends or fails.
void readheadbytes(StreamSlot &slot, int fd)
{
    constexpr int need = sizeof HEAD_NAME;
    while (slot.fill < need) {
        const ssize_t r =
            readsome(fd, slot.buffer + slot.fill, static_cast<size_t>(BUFFER_BYTES - slot.fill));
        if (r <= 0)
            return;
        slot.fill = static_cast<int16_t>(slot.fill + r);
    }
}

// Whether the bytes held at the sample cursor spell "HEAD" and its NUL.
// Bytes that were never read are never looked at.
bool startsheader(const StreamSlot &slot)
{
    const int at = slot.samplepos * 4;
    const int held = std::min<int>(slot.fill, BUFFER_BYTES);
    return at + static_cast<int>(sizeof HEAD_NAME) <= held &&
           std::memcmp(slot.buffer + at, HEAD_NAME, sizeof HEAD_NAME) == 0;
}

void reportlongsymbol(const char *symbol)
{
    // The symbol holds no NUL at this point: print exactly what is held.
    std::fprintf(stderr, "symbol too long: %.*s\n", MAX_SYMBOL, symbol);
}

} // namespace

int copyheader(FILE *in, FILE *out)
{
    const int from = slotindex(in);
    const int to = slotindex(out);
    // On one descriptor the copy would append to the list it walks.
    if (from < 0 || to < 0 || from == to)
        return -1;
    const Property *list = loadheader(in);
    if (list == nullptr)
        return 0;
    return installheader(list, out) != 0 ? -1 : 0;
}

int installheader(const Property *list, FILE *out)
{
    if (list == nullptr || slotof(out) == nullptr)
        return -1;
    // Stop at the list's end as it is now, in case list is out's own and
    // grows under the walk.
    const Property *last = list;
    while (last->next != nullptr)
        last = last->next;
    for (const Property *node = list;; node = node->next) {
        if (appendproperty(out, node->name, node->value) != 0)
            return -1;
        if (node == last)
            break;
    }
    return emitheader(out) != 0 ? -1 : 0;
}

int emitheader(FILE *stream)
{
    const int fd = slotindex(stream);
    if (fd < 0)
        return -1;
    StreamSlot &slot = streamtable[fd];
    if (slot.headerstate == HEADER_DONE)
        return 0;
    if (slot.headerstate == HEADER_NONE)
        return -1;
    // Samples already in the buffer sit where the header would go.
    if (slot.ready && slot.samplepos * slot.samplesize > slot.bytepos)
        return -1;
    for (const Property *node = slot.properties; node != nullptr; node = node->next)
        if (emitproperty(node, stream) != 0)
            return -1;
    if (emitbyte(PAD_BYTE, stream) != 1)
        return -1;
    slot.headerstate = HEADER_DONE;
    return 0;
}

int emitproperty(const Property *prop, FILE *stream)
{
    if (prop == nullptr || prop->name == nullptr || prop->value == nullptr)
        return -1;
    const int fd = slotindex(stream);
    StreamSlot *slot = attachedslot(stream);
    if (slot == nullptr)
        return -1;
    // Every byte goes out as it is, 0xFF included, so a header read from
    // an input is written back byte for byte.
    if (storesymbol(*slot, fd, prop->name) != 0 || storesymbol(*slot, fd, prop->value) != 0)
        return -1;
    return 0;
}

Property *loadheader(FILE *stream)
{
    const int fd = slotindex(stream);
    if (fd < 0 || attachbuffer(stream) != 0)
        return nullptr;
    StreamSlot &slot = streamtable[fd];
    if (slot.headerstate == HEADER_DONE)
        return slot.properties;
    slot.headerstate = HEADER_NONE;
    if (slot.bytepos >= slot.fill) {
        const ssize_t r = readsome(fd, slot.buffer, BUFFER_BYTES);
        slot.fill = static_cast<int16_t>(r);
        if (r <= 0)
            return nullptr;
        slot.bytepos = 0;
        slot.samplepos = 0;
        readheadbytes(slot, fd);
    }
    if (startsheader(slot) && loadproperties(stream) > 0) {
        slot.headerstate = HEADER_DONE;
        return slot.properties;
    }
    // Headerless: the block holds samples of the default size.
    if (validsamplesize(defaultsamplesize)) {
        slot.samplesize = defaultsamplesize;
        slot.fill = static_cast<int16_t>(slot.fill / slot.samplesize);
    }
    return nullptr;
}

int loadproperties(FILE *stream)
{
    int count = 0;
    int r;
    while ((r = loadproperty(stream)) == 1)
        ++count;
    return r < 0 ? -1 : count;
}

int loadproperty(FILE *stream)
{
    char name[MAX_SYMBOL];
    char value[MAX_SYMBOL];
    char *symbol = name;
    int length = 0;
    for (;;) {
        unsigned char byte = 0;
        if (nextbyte(&byte, stream) <= 0)
            return -1;
        if (length == MAX_SYMBOL) {
            reportlongsymbol(symbol);
            return -1;
        }
        symbol[length++] = static_cast<char>(byte);
        if (byte != 0)
            continue;
        if (symbol == value)
            break;
        symbol = value;
        length = 0;
    }
    if (appendproperty(stream, name, value) != 0)
        return -1;
    if (std::strcmp(name, TAIL_NAME) != 0)
        return 1;
    const char *format = propertyvalue(stream, FORMAT_NAME);
    adoptsamplesize(stream, format != nullptr ? formatsize(format) : defaultsamplesize);
    return 0;
}

int nextbyte(unsigned char *out, FILE *stream)
{
    const int fd = slotindex(stream);
    if (fd < 0 || out == nullptr)
        return -1;
    StreamSlot &slot = streamtable[fd];
    if (!slot.ready)
        return -1;
    if (slot.bytepos >= slot.fill) {
        const ssize_t r = readsome(fd, slot.buffer, BUFFER_BYTES);
        slot.fill = static_cast<int16_t>(r);
        if (r <= 0)
            return static_cast<int>(r);
        slot.bytepos = 0;
        slot.samplepos = 0;
    }
    *out = slot.buffer[slot.bytepos++];
    slot.samplepos = bytecursor(slot);
    return slot.samplesize;
}

void adoptsamplesize(FILE *stream, int16_t size)
{
    StreamSlot *slot = slotof(stream);
    if (slot == nullptr || !validsamplesize(size))
        return;
    slot->samplesize = size;
    slot->fill = static_cast<int16_t>(slot->fill / size);
    slot->samplepos = static_cast<int16_t>(slot->bytepos / size + (slot->bytepos % size > 0 ? 1 : 0));
}

int appendproperty(FILE *stream, const char *name, const char *value)
{
    StreamSlot *slot = slotof(stream);
    if (slot == nullptr || name == nullptr || value == nullptr)
        return -1;
    Property *node = makeproperty(name, value);
    if (node == nullptr)
        return -1;
    Property *last = lastnode(slot->properties);
    node->prev = last;
    node->next = nullptr;
    if (last == nullptr)
        slot->properties = node;
    else
        last->next = node;
    if (slot->headerstate != HEADER_DONE)
        slot->headerstate = HEADER_PENDING;
    return 0;
}

int emitbyte(int c, FILE *stream)
{
    const int fd = slotindex(stream);
    StreamSlot *slot = attachedslot(stream);
    if (slot == nullptr)
        return -1;
    if ((c & 0xFF) == PAD_BYTE)
        return storepad(*slot, fd, stream);
    return storebyte(*slot, fd, static_cast<unsigned char>(c));
}

const char *propertyvalue(FILE *stream, const char *name)
{
    const Property *node = findproperty(stream, name);
    return node != nullptr ? node->value : nullptr;
}

Property *findproperty(FILE *stream, const char *name)
{
    const StreamSlot *slot = slotof(stream);
    if (slot == nullptr || name == nullptr)
        return nullptr;
    for (Property *node = slot->properties; node != nullptr; node = node->next)
        if (std::strcmp(node->name, name) == 0)
            return node;
    return nullptr;
}

Property *makeproperty(const char *name, const char *value)
{
    if (name == nullptr || value == nullptr)
        return nullptr;
    const size_t namebytes = std::strlen(name) + 1;
    const size_t valuebytes = std::strlen(value) + 1;
    auto *node = static_cast<Property *>(std::malloc(sizeof(Property)));
    auto *namecopy = static_cast<char *>(std::malloc(namebytes));
    auto *valuecopy = static_cast<char *>(std::malloc(valuebytes));
    if (node == nullptr || namecopy == nullptr || valuecopy == nullptr) {
        std::free(node);
        std::free(namecopy);
        std::free(valuecopy);
        return nullptr;
    }
    std::memcpy(namecopy, name, namebytes);
    std::memcpy(valuecopy, value, valuebytes);
    *node = Property{namecopy, valuecopy, nullptr, nullptr};
    return node;
}
