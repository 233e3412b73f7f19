// The writing path driven by arbitrary bytes: pairs are appended, the
// header written (explicitly or by the first sample), samples emitted and
// flushed; the stream must then hold the pairs' bytes, padded, then the
// samples bit for bit.
#include "faults.hpp"

#include <samplestream.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

struct Reader {
    const uint8_t *data;
    size_t size;

    uint8_t byte()
    {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }

    // A symbol: no 0x00 bytes (they end it), 0xFF allowed.
    std::string symbol()
    {
        const size_t length = byte() % 48;
        std::string s;
        for (size_t i = 0; i < length && size > 0; ++i) {
            const uint8_t b = byte();
            s += static_cast<char>(b == 0 ? 1 : b);
        }
        return s;
    }
};

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The stream the calls must produce.
std::string expected(const Pairs &pairs, const std::string &samples)
{
    if (pairs.empty())
        return samples;
    std::string header;
    int16_t size = 4;
    bool sized = false;
    for (const auto &[name, value] : pairs) {
        header.append(name).append(1, '\0').append(value).append(1, '\0');
        if (!sized && name == "FORMAT") {
            size = value == "FLOATSAM" ? 4 : 2;
            sized = true;
        }
    }
    header.append((size - header.size() % size) % size, '\0');
    return size == 4 ? header + samples : header;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader input{data, size};
    const uint8_t flags = input.byte();
    const int count = input.byte() % 6;
    Pairs pairs;
    for (int i = 0; i < count; ++i) {
        std::string name = input.symbol();
        std::string value = input.symbol();
        pairs.emplace_back(std::move(name), std::move(value));
    }
    if (flags & 1) // a format of floats or of another size
        pairs.emplace_back("FORMAT", flags & 2 ? "FLOATSAM" : "SHORT");

    streams::resetlibrary();
    streams::MemFile out;
    for (const auto &[name, value] : pairs)
        if (appendproperty(out.file, name.c_str(), value.c_str()) != 0)
            std::abort();
    const bool written = (flags & 4) && !pairs.empty();
    if ((flags & 4) && emitheader(out.file) != (written ? 0 : -1))
        std::abort();
    // A pair appended after the header is written is listed but never
    // written; before that, it is part of the pending header.
    if ((flags & 8) && appendproperty(out.file, "LATE", "x") != 0)
        std::abort();
    if ((flags & 8) && !written)
        pairs.emplace_back("LATE", "x");

    const bool floats = expected(pairs, "X").back() == 'X';
    std::string samples;
    while (input.size >= 4) {
        float sample;
        std::memcpy(&sample, input.data, 4);
        input.data += 4;
        input.size -= 4;
        const int r = emitsample(&sample, out.file);
        if (r != (floats ? 4 : -1))
            std::abort();
        samples.append(reinterpret_cast<const char *>(&sample), 4);
    }
    flushsamples(out.file);
    if (out.contents() != expected(pairs, samples)) {
        fprintf(stderr, "stream differs from the appended pairs and samples\n");
        std::abort();
    }
    streams::resetlibrary();
    return 0;
}
