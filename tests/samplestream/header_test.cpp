// Stream headers: byte format, reading, writing, copying and hand-off.
#include "faults.hpp"
#include "freshlibrary.hpp"

#include <samplestream.h>

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{

using streams::floatbytes;
using Pairs = std::vector<std::pair<std::string, std::string>>;

using Header = streams::FreshLibrary;

std::string bytes(const char *s, size_t n)
{
    return {s, n};
}

Pairs listof(const Property *node)
{
    Pairs pairs;
    for (; node != nullptr; node = node->next)
        pairs.emplace_back(node->name, node->value);
    return pairs;
}

void appendall(FILE *stream, const Pairs &pairs)
{
    for (const auto &[name, value] : pairs)
        ASSERT_EQ(appendproperty(stream, name.c_str(), value.c_str()), 0);
}

std::string encode(const Pairs &pairs)
{
    std::string s;
    for (const auto &[name, value] : pairs) {
        s += name;
        s += '\0';
        s += value;
        s += '\0';
    }
    return s;
}

// The worked headers: pairs, their bytes with padding, the sample size
// and the sample cursor after the header, and the pairs before "TAIL".
struct Worked {
    const char *name;
    Pairs pairs;
    std::string encoded;
    int16_t samplesize;
    int16_t samplepos;
    int count;
};

const std::vector<Worked> &worked()
{
    static const std::vector<Worked> cases = {
        {"floats",
         {{"HEAD", "x"}, {"FORMAT", "FLOATSAM"}, {"TAIL", ""}},
         bytes("HEAD\0x\0FORMAT\0FLOATSAM\0TAIL\0\0\0\0\0", 32),
         4,
         8,
         2},
        {"no format", {{"HEAD", ""}, {"TAIL", ""}}, bytes("HEAD\0\0TAIL\0\0", 12), 4, 3, 1},
        {"other format",
         {{"HEAD", ""}, {"FORMAT", "y"}, {"TAIL", ""}},
         bytes("HEAD\0\0FORMAT\0y\0TAIL\0\0\0", 22),
         2,
         11,
         2},
        {"case matters",
         {{"HEAD", ""}, {"FORMAT", "floatsam"}, {"TAIL", ""}},
         bytes("HEAD\0\0FORMAT\0floatsam\0TAIL\0\0", 28),
         2,
         14,
         2},
        {"first format decides",
         {{"HEAD", ""}, {"FORMAT", "FLOATSAM"}, {"FORMAT", "x"}, {"TAIL", ""}},
         bytes("HEAD\0\0FORMAT\0FLOATSAM\0FORMAT\0x\0TAIL\0\0\0\0\0", 40),
         4,
         10,
         3},
        {"0xFF in a value",
         {{"HEAD", "\xff\xff"}, {"TAIL", "\xff"}},
         bytes("HEAD\0\xff\xff\0TAIL\0\xff\0", 15) + '\0',
         4,
         4,
         1},
    };
    return cases;
}

TEST_F(Header, WritingGivesThePaddedBytes)
{
    for (const Worked &c : worked()) {
        SCOPED_TRACE(c.name);
        streams::MemFile out;
        const int fd = fileno(out.file);
        appendall(out.file, c.pairs);
        EXPECT_EQ(streamtable[fd].headerstate, HEADER_PENDING);
        EXPECT_EQ(emitheader(out.file), 0);
        EXPECT_EQ(streamtable[fd].headerstate, HEADER_DONE);
        EXPECT_EQ(streamtable[fd].samplepos, c.samplepos);
        EXPECT_EQ(streamtable[fd].samplesize, c.samplesize);
        drainstream(out.file);
        EXPECT_EQ(out.contents(), c.encoded);
        streams::resetslot(fd);
    }
}

TEST_F(Header, ReadingFindsThePairsAndTheFirstSample)
{
    for (const Worked &c : worked()) {
        SCOPED_TRACE(c.name);
        streams::Pipe input;
        const int fd = fileno(input.in);
        const std::string samples(8, 's');
        input.send(c.encoded + samples);
        input.closeout();
        const Property *list = loadheader(input.in);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(listof(list), c.pairs);
        const StreamSlot &slot = streamtable[fd];
        EXPECT_EQ(slot.headerstate, HEADER_DONE);
        EXPECT_EQ(slot.samplesize, c.samplesize);
        EXPECT_EQ(slot.samplepos, c.samplepos);
        EXPECT_EQ(slot.fill, static_cast<int>((c.encoded.size() + samples.size()) / c.samplesize));
        streams::resetslot(fd);
    }
}

TEST_F(Header, LoadPropertiesCountsPairsBeforeTail)
{
    for (const Worked &c : worked()) {
        SCOPED_TRACE(c.name);
        streams::Pipe input;
        input.send(c.encoded);
        input.closeout();
        attachbuffer(input.in);
        EXPECT_EQ(loadproperties(input.in), c.count);
        streams::resetslot(fileno(input.in));
    }
}

// Inputs that carry no header: none, the default sample size, and fill
// counting the whole samples of the block read.
TEST_F(Header, HeaderlessInputs)
{
    const struct {
        const char *name;
        std::string input;
        int16_t fill;
        Pairs left;
        int8_t state;
    } cases[] = {
        {"samples", std::string(4096, 'a'), 1024, {}, HEADER_NONE},
        {"one byte short", std::string(4095, 'a'), 1023, {}, HEADER_NONE},
        {"empty", "", 0, {}, HEADER_NONE},
        {"HEAD without NUL", "HEADER and more", 3, {}, HEADER_NONE},
        {"HEAD pair only", bytes("HEAD\0x\0", 7), 0, {{"HEAD", "x"}}, HEADER_PENDING},
        {"four bytes", "HEAD", 1, {}, HEADER_NONE},
        {"three bytes", "HEA", 0, {}, HEADER_NONE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        streams::Pipe input;
        const int fd = fileno(input.in);
        input.send(c.input);
        input.closeout();
        EXPECT_EQ(loadheader(input.in), nullptr);
        const StreamSlot &slot = streamtable[fd];
        EXPECT_EQ(slot.headerstate, c.state);
        EXPECT_EQ(slot.samplesize, 4);
        EXPECT_EQ(slot.fill, c.fill);
        EXPECT_EQ(listof(slot.properties), c.left);
        if (c.left.empty()) {
            EXPECT_EQ(slot.bytepos, 0);
            EXPECT_EQ(slot.samplepos, 0);
        }
        streams::resetslot(fd);
    }
}

// A first read shorter than "HEAD" and its NUL reads on before deciding,
// and a header that arrives a byte at a time is still recognised.
TEST_F(Header, ShortReadsStillFindTheHeader)
{
    for (const size_t cap : {1u, 2u, 3u, 4u, 7u}) {
        SCOPED_TRACE(cap);
        streams::Pipe input;
        const int fd = fileno(input.in);
        const Worked &c = worked()[0];
        input.send(c.encoded + floatbytes({1.0f}));
        input.closeout();
        faults::reset();
        faults::watch(fd);
        faults::capreads(cap);
        ASSERT_NE(loadheader(input.in), nullptr);
        EXPECT_EQ(listof(streamtable[fd].properties), c.pairs);
        streams::resetslot(fd);
    }
}

TEST_F(Header, InterruptedReadIsRetried)
{
    streams::Pipe input;
    const int fd = fileno(input.in);
    input.send(worked()[1].encoded);
    input.closeout();
    faults::watch(fd);
    faults::planreads({faults::failwith(EINTR), faults::limit(2), faults::failwith(EINTR)});
    EXPECT_NE(loadheader(input.in), nullptr);
}

TEST_F(Header, ReadErrorInsideAHeaderIsHeaderless)
{
    streams::Pipe input;
    const int fd = fileno(input.in);
    input.send(bytes("HEAD\0\0FORMAT\0FLOATSAM\0", 22));
    faults::watch(fd);
    faults::planreads({faults::Action{faults::Action::Pass}, faults::failwith(EIO)});
    EXPECT_EQ(loadheader(input.in), nullptr);
    EXPECT_EQ(streamtable[fd].fill, 0); // -1 in whole samples
    EXPECT_EQ(listof(streamtable[fd].properties), (Pairs{{"HEAD", ""}, {"FORMAT", "FLOATSAM"}}));
    EXPECT_EQ(streamtable[fd].headerstate, HEADER_PENDING);
}

// Symbols of 1023 bytes are read; one of 1024 bytes is reported with
// exactly the bytes held, and the input is taken as headerless.
TEST_F(Header, SymbolLengthLimit)
{
    const std::string fits(1023, 'n');
    const std::string toolong(1024, 'v');
    const struct {
        const char *name;
        Pairs pairs;
        bool found;
        std::string message;
    } cases[] = {
        {"1023-byte name", {{"HEAD", ""}, {fits, "v"}, {"TAIL", ""}}, true, ""},
        {"1023-byte value", {{"HEAD", fits}, {"TAIL", ""}}, true, ""},
        {"1024-byte value", {{"HEAD", toolong}, {"TAIL", ""}}, false, "symbol too long: " + toolong + "\n"},
        {"1024-byte name",
         {{"HEAD", ""}, {toolong, ""}, {"TAIL", ""}},
         false,
         "symbol too long: " + toolong + "\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        streams::Pipe input;
        const int fd = fileno(input.in);
        input.send(encode(c.pairs));
        input.closeout();
        streams::MemFile err;
        const Property *list;
        {
            streams::Redirect toerr(2, fileno(err.file));
            list = loadheader(input.in);
        }
        EXPECT_EQ(list != nullptr, c.found);
        if (c.found) {
            EXPECT_EQ(listof(list), c.pairs);
        }
        EXPECT_EQ(err.contents(), c.message);
        streams::resetslot(fd);
    }
}

// A header longer than a block: written as one full block and the rest,
// read back across the block boundary.
TEST_F(Header, HeaderSpanningBlocks)
{
    Pairs pairs{{"HEAD", std::string(1000, 'h')}};
    for (int i = 0; i < 4; ++i)
        pairs.emplace_back("NAME" + std::to_string(i), std::string(1000, static_cast<char>('a' + i)));
    pairs.emplace_back("TAIL", "");
    const std::string encoded = encode(pairs);
    ASSERT_GT(encoded.size(), 4096u);

    streams::MemFile out;
    faults::watch(fileno(out.file));
    appendall(out.file, pairs);
    const float x = 0.5f;
    EXPECT_EQ(emitsample(&x, out.file), 4);
    EXPECT_EQ(flushsamples(out.file), 4);
    const size_t padded = (encoded.size() + 3) / 4 * 4;
    EXPECT_EQ(faults::writesizes(), (std::vector<size_t>{4096, padded - 4096 + 4}));
    const std::string written = out.contents();
    EXPECT_EQ(written, encoded + std::string(padded - encoded.size(), '\0') + floatbytes({0.5f}));

    streams::Pipe input;
    input.send(written);
    input.closeout();
    const Property *list = loadheader(input.in);
    EXPECT_EQ(listof(list), pairs);
    const StreamSlot &slot = streamtable[fileno(input.in)];
    EXPECT_EQ(slot.samplepos * 4, static_cast<int>(padded - 4096));
}

TEST_F(Header, PadAtTheLastByteOfABlockWritesTheBlock)
{
    streams::MemFile out;
    const int fd = fileno(out.file);
    faults::watch(fd);
    ASSERT_EQ(attachbuffer(out.file), 0);
    std::memset(streamtable[fd].buffer, 'h', 4095); // header bytes so far
    streamtable[fd].bytepos = 4095;
    EXPECT_EQ(emitbyte(PAD_BYTE, out.file), 1);
    EXPECT_EQ(faults::writesizes(), std::vector<size_t>{4096});
    EXPECT_EQ(out.contents(), std::string(4095, 'h') + '\0');
    EXPECT_EQ(streamtable[fd].bytepos, 0);
    EXPECT_EQ(streamtable[fd].samplepos, 0);
}

TEST_F(Header, EmitbyteStoresBytesAndTakesOnlyTheLowBitsAsPad)
{
    streams::MemFile out;
    EXPECT_EQ(emitbyte('a', out.file), 1);
    EXPECT_EQ(emitbyte(0x162, out.file), 1); // low bits 'b'
    EXPECT_EQ(emitbyte(0x1FF, out.file), 1); // a pad request
    EXPECT_EQ(streamtable[fileno(out.file)].bytepos, 4);
    EXPECT_EQ(streamtable[fileno(out.file)].samplepos, 1);
    drainstream(out.file);
    EXPECT_EQ(out.contents(), bytes("ab\0\0", 4));
}

TEST_F(Header, FailedBlockWriteFailsTheHeader)
{
    streams::MemFile out;
    const int fd = fileno(out.file);
    faults::watch(fd);
    faults::planwrites({faults::failwith(EIO)});
    appendall(out.file, {{"HEAD", std::string(5000, 'h')}, {"TAIL", ""}});
    EXPECT_EQ(emitheader(out.file), -1);
    EXPECT_EQ(streamtable[fd].headerstate, HEADER_PENDING);
    EXPECT_EQ(streamtable[fd].fill, -1);
}

TEST_F(Header, SecondEmitheaderWritesNothing)
{
    streams::MemFile out;
    appendall(out.file, worked()[1].pairs);
    EXPECT_EQ(emitheader(out.file), 0);
    EXPECT_EQ(appendproperty(out.file, "LATE", "x"), 0);
    EXPECT_EQ(streamtable[fileno(out.file)].headerstate, HEADER_DONE);
    EXPECT_EQ(emitheader(out.file), 0);
    drainstream(out.file);
    EXPECT_EQ(out.contents(), worked()[1].encoded);
}

TEST_F(Header, EmitheaderNeedsAPendingList)
{
    streams::MemFile out;
    EXPECT_EQ(emitheader(out.file), -1);
    EXPECT_EQ(installheader(nullptr, out.file), -1);
    drainstream(out.file);
    EXPECT_EQ(out.contents(), "");
}

// Samples already buffered sit where a late header would be written.
TEST_F(Header, LateHeaderNeverOverwritesSamples)
{
    streams::MemFile out;
    const float a = 1.0f, b = 2.0f;
    emitsample(&a, out.file);
    emitsample(&b, out.file);
    appendall(out.file, worked()[1].pairs);
    EXPECT_EQ(emitheader(out.file), -1);
    EXPECT_EQ(streamtable[fileno(out.file)].headerstate, HEADER_PENDING);
    EXPECT_EQ(flushsamples(out.file), 4);
    EXPECT_EQ(out.contents(), floatbytes({1.0f, 2.0f}));
}

TEST_F(Header, EmitpropertyWritesEveryByteLiterally)
{
    streams::MemFile out;
    char name[] = "N\xff";
    char value[] = "\xff\xfe";
    const Property prop{name, value, nullptr, nullptr};
    EXPECT_EQ(emitproperty(&prop, out.file), 0);
    const Property noname{nullptr, value, nullptr, nullptr};
    const Property novalue{name, nullptr, nullptr, nullptr};
    EXPECT_EQ(emitproperty(&noname, out.file), -1);
    EXPECT_EQ(emitproperty(&novalue, out.file), -1);
    EXPECT_EQ(emitproperty(nullptr, out.file), -1);
    EXPECT_EQ(emitbyte(PAD_BYTE, out.file), 1); // the stream leaves in whole samples
    drainstream(out.file);
    EXPECT_EQ(out.contents(), bytes("N\xff\0\xff\xfe\0\0\0", 8));
}

TEST_F(Header, CopyHandsTheHeaderOnByteForByte)
{
    for (const Worked &c : worked()) {
        SCOPED_TRACE(c.name);
        streams::Pipe input;
        streams::MemFile out;
        input.send(c.encoded);
        input.closeout();
        EXPECT_EQ(copyheader(input.in, out.file), 0);
        EXPECT_EQ(streamtable[fileno(out.file)].headerstate, HEADER_DONE);
        EXPECT_EQ(listof(streamtable[fileno(out.file)].properties), c.pairs);
        drainstream(out.file);
        EXPECT_EQ(out.contents(), c.encoded);
        streams::resetslot(fileno(input.in));
        streams::resetslot(fileno(out.file));
    }
}

TEST_F(Header, CopyWithoutAHeaderLeavesOutUntouched)
{
    streams::Pipe input;
    streams::MemFile out;
    input.send("plain samples");
    input.closeout();
    EXPECT_EQ(copyheader(input.in, out.file), 0);
    const StreamSlot &slot = streamtable[fileno(out.file)];
    EXPECT_EQ(slot.ready, 0);
    EXPECT_EQ(slot.headerstate, HEADER_NONE);
    EXPECT_EQ(slot.properties, nullptr);
    EXPECT_EQ(copyheader(nullptr, out.file), -1);
    EXPECT_EQ(copyheader(input.in, nullptr), -1);
}

// On one descriptor the copy would walk the list it appends to.
TEST_F(Header, CopyOntoTheSameDescriptorIsRefused)
{
    streams::Pipe input;
    input.send(worked()[0].encoded);
    input.closeout();
    FILE *again = fdopen(fileno(input.in), "r");
    ASSERT_NE(loadheader(input.in), nullptr);
    const StreamSlot before = streamtable[fileno(input.in)];
    EXPECT_EQ(copyheader(input.in, input.in), -1);
    EXPECT_EQ(copyheader(input.in, again), -1);
    const StreamSlot &after = streamtable[fileno(input.in)];
    EXPECT_EQ(listof(after.properties), worked()[0].pairs);
    EXPECT_EQ(after.bytepos, before.bytepos);
    EXPECT_EQ(after.headerstate, HEADER_DONE);
    // Leave the descriptor to input's own handle.
    streams::resetslot(fileno(input.in));
    fclose(again);
    input.in = nullptr;
}

TEST_F(Header, InstallingAStreamsOwnListEnds)
{
    streams::MemFile out;
    appendall(out.file, {{"HEAD", ""}, {"TAIL", ""}});
    EXPECT_EQ(installheader(streamtable[fileno(out.file)].properties, out.file), 0);
    EXPECT_EQ(listof(streamtable[fileno(out.file)].properties),
              (Pairs{{"HEAD", ""}, {"TAIL", ""}, {"HEAD", ""}, {"TAIL", ""}}));
}

TEST_F(Header, LoadheaderAfterAHeaderReturnsTheListWithoutReading)
{
    streams::Pipe input;
    input.send(worked()[0].encoded + "more");
    const Property *first = loadheader(input.in);
    ASSERT_NE(first, nullptr);
    faults::watch(fileno(input.in));
    faults::planreads({faults::failwith(EIO)});
    EXPECT_EQ(loadheader(input.in), first);
    EXPECT_EQ(streamtable[fileno(input.in)].samplepos, 8);
}

TEST_F(Header, ListLookupsTakeTheFirstMatch)
{
    streams::MemFile out;
    appendall(out.file, {{"HEAD", ""}, {"RATE", "48000"}, {"RATE", "44100"}, {"rate", "x"}});
    EXPECT_STREQ(propertyvalue(out.file, "RATE"), "48000");
    EXPECT_STREQ(propertyvalue(out.file, "rate"), "x");
    EXPECT_EQ(propertyvalue(out.file, "NONE"), nullptr);
    EXPECT_EQ(findproperty(out.file, nullptr), nullptr);
    const Property *rate = findproperty(out.file, "RATE");
    ASSERT_NE(rate, nullptr);
    EXPECT_STREQ(rate->prev->name, "HEAD");
    EXPECT_STREQ(rate->next->value, "44100");
    EXPECT_EQ(appendproperty(out.file, nullptr, "v"), -1);
    EXPECT_EQ(appendproperty(out.file, "n", nullptr), -1);
}

TEST_F(Header, MakepropertyOwnsCopiesAndFailsCleanly)
{
    char name[] = "NAME";
    Property *node = makeproperty(name, "value");
    ASSERT_NE(node, nullptr);
    name[0] = 'X';
    EXPECT_STREQ(node->name, "NAME");
    EXPECT_EQ(node->next, nullptr);
    EXPECT_EQ(node->prev, nullptr);
    free(node->name);
    free(node->value);
    free(node);
    EXPECT_EQ(makeproperty(nullptr, "v"), nullptr);
    streams::MemFile out;
    for (int failing = 1; failing <= 3; ++failing) {
        SCOPED_TRACE(failing);
        faults::failmalloc(failing);
        EXPECT_EQ(makeproperty("n", "v"), nullptr);
        faults::failmalloc(failing);
        EXPECT_EQ(appendproperty(out.file, "n", "v"), -1);
        faults::failmalloc(0);
    }
    EXPECT_EQ(streamtable[fileno(out.file)].properties, nullptr);
    EXPECT_EQ(streamtable[fileno(out.file)].headerstate, HEADER_NONE);
}

TEST_F(Header, AdoptsamplesizeMovesToTheNextWholeSample)
{
    streams::MemFile in;
    ASSERT_EQ(attachbuffer(in.file), 0);
    StreamSlot &slot = streamtable[fileno(in.file)];
    const struct {
        int16_t bytepos, fill, size, samplepos, wholefill;
    } cases[] = {{29, 32, 4, 8, 8}, {28, 30, 4, 7, 7}, {21, 41, 2, 11, 20}, {0, 0, 2, 0, 0}, {5, 9, 3, 5, 9}};
    for (const auto &c : cases) {
        slot.bytepos = c.bytepos;
        slot.fill = c.fill;
        slot.samplesize = 4;
        slot.samplepos = 5;
        adoptsamplesize(in.file, c.size);
        EXPECT_EQ(slot.samplepos, c.samplepos) << c.bytepos << "/" << c.size;
        EXPECT_EQ(slot.fill, c.wholefill) << c.bytepos << "/" << c.size;
    }
}

// The hand-off: standard input's header goes on to stdout itself, only
// while stdout has no header of its own and passthru is on.
TEST_F(Header, StandardInputHeaderIsHandedOnToStdout)
{
    const Worked &head = worked()[0];
    const struct {
        const char *name;
        bool toggle;
        bool ownheader;
        bool otherhandle;
        std::string expected;
    } cases[] = {
        {"handed on", false, false, false, head.encoded},
        {"passthru off", true, false, false, ""},
        {"own header", false, true, false, worked()[1].encoded},
        {"another handle on descriptor 1", false, false, true, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        streams::resetlibrary();
        streams::Pipe input;
        input.send(head.encoded + floatbytes({9.0f}));
        input.closeout();
        streams::MemFile out;
        {
            streams::Redirect in0(0, fileno(input.in));
            streams::Redirect out1(1, fileno(out.file));
            ASSERT_NE(loadheader(stdin), nullptr);
            if (c.toggle)
                togglepassthru();
            if (c.ownheader)
                appendall(stdout, worked()[1].pairs);
            // A second handle on descriptor 1 is not the stdout object.
            FILE *stream = c.otherhandle ? fdopen(1, "w") : stdout;
            ASSERT_NE(stream, nullptr);
            const float x = 1.5f;
            EXPECT_EQ(emitsample(&x, stream), 4);
            EXPECT_EQ(flushsamples(stream), 4);
            if (c.otherhandle)
                fclose(stream);
        }
        EXPECT_EQ(out.contents(), c.expected + floatbytes({1.5f}));
    }
    streams::resetlibrary();
}

} // namespace
