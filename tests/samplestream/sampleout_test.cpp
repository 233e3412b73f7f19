// Sample output through the stream table: block writes, flushing, faults.
#include "faults.hpp"
#include "freshlibrary.hpp"

#include <samplestream.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{

using streams::floatbytes;

using SampleOutput = streams::FreshLibrary;

float bitsfloat(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::vector<float> ramp(int n)
{
    std::vector<float> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = static_cast<float>(i) + 0.5f;
    return v;
}

std::string asbytes(const std::vector<float> &v)
{
    return {reinterpret_cast<const char *>(v.data()), v.size() * sizeof(float)};
}

TEST_F(SampleOutput, FirstSampleAttachesBufferAndWritesNothing)
{
    streams::MemFile out;
    const int fd = fileno(out.file);
    faults::watch(fd);
    const float x = 1.0f;
    EXPECT_EQ(emitsample(&x, out.file), 4);
    const StreamSlot &slot = streamtable[fd];
    EXPECT_EQ(slot.ready, 1);
    EXPECT_NE(slot.buffer, nullptr);
    EXPECT_EQ(slot.samplesize, 4);
    EXPECT_EQ(slot.capacity, 1024);
    EXPECT_EQ(slot.samplepos, 1);
    EXPECT_TRUE(faults::writes().empty());
}

// N samples and a flush: full blocks, then 4 x ((N - 1) mod 1024 + 1) bytes.
TEST_F(SampleOutput, WritePatternAtBlockEdges)
{
    const struct {
        int n;
        std::vector<size_t> sizes;
    } cases[] = {
        {0, {}},
        {1, {4}},
        {1023, {4092}},
        {1024, {4096}},
        {1025, {4096, 4}},
        {2048, {4096, 4096}},
        {3000, {4096, 4096, 3808}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.n);
        streams::MemFile out;
        faults::reset();
        faults::watch(fileno(out.file));
        const std::vector<float> samples = ramp(c.n);
        for (const float &s : samples)
            ASSERT_EQ(emitsample(&s, out.file), 4);
        EXPECT_EQ(flushsamples(out.file), c.n == 0 ? 0 : 4);
        EXPECT_EQ(faults::writesizes(), c.sizes);
        EXPECT_EQ(out.contents(), asbytes(samples));
        streams::resetslot(fileno(out.file));
    }
}

TEST_F(SampleOutput, BlockIsWrittenWhenTheNextSampleArrives)
{
    streams::MemFile out;
    faults::watch(fileno(out.file));
    const std::vector<float> samples = ramp(1025);
    for (int i = 0; i < 1024; ++i)
        emitsample(&samples[static_cast<size_t>(i)], out.file);
    EXPECT_TRUE(faults::writes().empty());
    EXPECT_EQ(emitsample(&samples[1024], out.file), 4);
    ASSERT_EQ(faults::writesizes(), std::vector<size_t>{4096});
    EXPECT_EQ(out.contents(), asbytes(samples).substr(0, 4096));
    const StreamSlot &slot = streamtable[fileno(out.file)];
    EXPECT_EQ(slot.samplepos, 1);
    EXPECT_EQ(slot.fill, 1024);
}

TEST_F(SampleOutput, SamplesPassBitForBit)
{
    const uint32_t patterns[] = {0x80000000u, 0x7f800000u, 0xff800000u, 0x7fc12345u,
                                 0x7f812345u, 0x00000001u, 0x807fffffu, 0x3f800000u};
    streams::MemFile out;
    std::string expected;
    for (const uint32_t bits : patterns) {
        const float f = bitsfloat(bits);
        ASSERT_EQ(emitsample(&f, out.file), 4);
        expected.append(reinterpret_cast<const char *>(&bits), 4);
    }
    flushsamples(out.file);
    EXPECT_EQ(out.contents(), expected);
}

TEST_F(SampleOutput, FlushWithoutSamplesWritesNothingAndLeavesSlotFresh)
{
    streams::MemFile out;
    const int fd = fileno(out.file);
    faults::watch(fd);
    EXPECT_EQ(flushsamples(out.file), 0);
    EXPECT_EQ(endsamples(out.file), 0);
    EXPECT_TRUE(faults::writes().empty());
    const StreamSlot &slot = streamtable[fd];
    EXPECT_EQ(slot.buffer, nullptr);
    EXPECT_EQ(slot.ready, 0);
}

// After a drain the slot is fresh again: new output gets a new buffer and
// goes on after what was written.
TEST_F(SampleOutput, OutputAfterDrainStartsAFreshBuffer)
{
    streams::MemFile out;
    const int fd = fileno(out.file);
    const float a = 1.0f, b = 2.0f;
    emitsample(&a, out.file);
    EXPECT_EQ(drainstream(out.file), 4);
    const StreamSlot &slot = streamtable[fd];
    EXPECT_EQ(slot.buffer, nullptr);
    EXPECT_EQ(slot.ready, 0);
    EXPECT_EQ(slot.samplepos, 0);
    EXPECT_EQ(slot.bytepos, 0);
    EXPECT_EQ(slot.fill, 0);
    EXPECT_EQ(emitsample(&b, out.file), 4);
    EXPECT_EQ(slot.ready, 1);
    EXPECT_EQ(flushsamples(out.file), 4);
    EXPECT_EQ(out.contents(), floatbytes({1.0f, 2.0f}));
}

// Short transfers and interrupted calls: the block still arrives whole and
// in order.  A failure after part of it went out reports the failure.
TEST_F(SampleOutput, BlockWritesCompleteShortAndInterruptedTransfers)
{
    using faults::Action;
    const struct {
        const char *name;
        int n;
        std::deque<Action> plan;
        int flushresult;
        size_t arrived;
    } cases[] = {
        {"short final write", 10, {faults::limit(7), faults::limit(13)}, 4, 40},
        {"interrupted final write", 10, {faults::failwith(EINTR), faults::failwith(EINTR)}, 4, 40},
        {"short full blocks",
         2500,
         {faults::limit(1), faults::failwith(EINTR), faults::limit(4000)},
         4,
         10000},
        {"failure after a short write", 10, {faults::limit(8), faults::failwith(EIO)}, -1, 8},
        {"final write of nothing", 10, {faults::limit(0)}, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        streams::MemFile out;
        faults::reset();
        faults::watch(fileno(out.file));
        faults::planwrites(c.plan);
        const std::vector<float> samples = ramp(c.n);
        for (const float &s : samples)
            ASSERT_EQ(emitsample(&s, out.file), 4);
        EXPECT_EQ(flushsamples(out.file), c.flushresult);
        EXPECT_EQ(out.contents(), asbytes(samples).substr(0, c.arrived));
        streams::resetslot(fileno(out.file));
    }
}

TEST_F(SampleOutput, FailedBlockWriteKeepsTheBlockForTheNextSample)
{
    streams::MemFile out;
    faults::watch(fileno(out.file));
    faults::planwrites({faults::failwith(EIO), faults::limit(0)});
    const std::vector<float> samples = ramp(1027);
    for (int i = 0; i < 1024; ++i)
        emitsample(&samples[static_cast<size_t>(i)], out.file);
    EXPECT_EQ(emitsample(&samples[1024], out.file), -1);
    EXPECT_EQ(emitsample(&samples[1025], out.file), 0);
    EXPECT_EQ(streamtable[fileno(out.file)].samplepos, 1024);
    EXPECT_EQ(emitsample(&samples[1026], out.file), 4);
    EXPECT_EQ(flushsamples(out.file), 4);
    // The samples of the failed calls were not stored.
    EXPECT_EQ(out.contents(), asbytes(samples).substr(0, 4096) + floatbytes({samples[1026]}));
    EXPECT_EQ(faults::writes().size(), 4u);
}

TEST_F(SampleOutput, FailedFinalWriteReleasesTheBuffer)
{
    streams::MemFile out;
    faults::watch(fileno(out.file));
    faults::planwrites({faults::failwith(ENOSPC)});
    const float x = 3.0f;
    emitsample(&x, out.file);
    EXPECT_EQ(drainstream(out.file), -1);
    EXPECT_EQ(streamtable[fileno(out.file)].buffer, nullptr);
    EXPECT_EQ(out.contents(), "");
}

TEST(SampleOutputDevices, DevFullFailsAndDevNullTakesEverything)
{
    streams::resetlibrary();
    FILE *full = fopen("/dev/full", "w");
    FILE *null = fopen("/dev/null", "w");
    ASSERT_NE(full, nullptr);
    ASSERT_NE(null, nullptr);
    const std::vector<float> samples = ramp(1025);
    for (const float &s : samples)
        EXPECT_EQ(emitsample(&s, null), 4);
    EXPECT_EQ(flushsamples(null), 4);
    for (int i = 0; i < 1024; ++i)
        emitsample(&samples[static_cast<size_t>(i)], full);
    EXPECT_LT(emitsample(&samples[1024], full), 0);
    EXPECT_LT(flushsamples(full), 0);
    fclose(full);
    fclose(null);
    streams::resetlibrary();
}

TEST_F(SampleOutput, NoMemoryForABufferLeavesTheSlotFresh)
{
    streams::MemFile out;
    const float x = 1.0f;
    faults::failmalloc(1);
    EXPECT_EQ(emitsample(&x, out.file), -1);
    EXPECT_EQ(drainstream(out.file), -1);
    faults::failmalloc(0);
    EXPECT_EQ(streamtable[fileno(out.file)].ready, 0);
    EXPECT_EQ(emitsample(&x, out.file), 4);
    EXPECT_EQ(flushsamples(out.file), 4);
    EXPECT_EQ(out.contents(), floatbytes({1.0f}));
}

TEST_F(SampleOutput, EveryOutputSlotStartsWithFourByteSamples)
{
    EXPECT_EQ(setdefaultsize(2), 2);
    EXPECT_EQ(defaultsamplesize, 2);
    streams::MemFile out;
    const float x = 1.0f;
    EXPECT_EQ(emitsample(&x, out.file), 4);
    EXPECT_EQ(defaultsamplesize, 4);
    EXPECT_EQ(streamtable[fileno(out.file)].capacity, 1024);
}

// Sizes that do not tile the block would let cells or pads run past it.
TEST_F(SampleOutput, DefaultSizeMustDivideTheBlock)
{
    for (const int16_t size : {0, -4, 3, 6, 8192}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(setdefaultsize(size), -1);
        EXPECT_EQ(defaultsamplesize, 4);
    }
    EXPECT_EQ(setdefaultsize(1), 1);
    EXPECT_EQ(setdefaultsize(4096), 4096);
    defaultsamplesize = 0; // stored directly: attaching refuses it
    streams::MemFile in;
    EXPECT_EQ(attachbuffer(in.file), -1);
}

TEST_F(SampleOutput, TogglePassthruAlternates)
{
    EXPECT_EQ(togglepassthru(), 1);
    EXPECT_EQ(passthruoff, 1);
    EXPECT_EQ(togglepassthru(), 0);
    EXPECT_EQ(passthruoff, 0);
}

TEST_F(SampleOutput, PendingHeaderPrecedesTheFirstSample)
{
    streams::MemFile out;
    ASSERT_EQ(appendproperty(out.file, "HEAD", "x"), 0);
    ASSERT_EQ(appendproperty(out.file, "FORMAT", "FLOATSAM"), 0);
    ASSERT_EQ(appendproperty(out.file, "TAIL", ""), 0);
    const float x = 0.25f;
    EXPECT_EQ(emitsample(&x, out.file), 4);
    EXPECT_EQ(streamtable[fileno(out.file)].headerstate, HEADER_DONE);
    EXPECT_EQ(flushsamples(out.file), 4);
    const std::string header("HEAD\0x\0FORMAT\0FLOATSAM\0TAIL\0\0\0\0\0", 32);
    EXPECT_EQ(out.contents(), header + floatbytes({0.25f}));
}

TEST_F(SampleOutput, PendingHeaderAloneIsWrittenByTheFlush)
{
    streams::MemFile out;
    appendproperty(out.file, "HEAD", "");
    appendproperty(out.file, "TAIL", "");
    EXPECT_EQ(flushsamples(out.file), 4);
    EXPECT_EQ(out.contents(), std::string("HEAD\0\0TAIL\0\0", 12));
}

// A header whose format is not "FLOATSAM" makes 2-byte samples, which
// the float cells cannot carry.
TEST_F(SampleOutput, TwoByteStreamRefusesFloatSamples)
{
    streams::MemFile out;
    appendproperty(out.file, "HEAD", "");
    appendproperty(out.file, "FORMAT", "SHORTSAM");
    appendproperty(out.file, "TAIL", "");
    const float x = 1.0f;
    EXPECT_EQ(emitsample(&x, out.file), -1);
    EXPECT_EQ(streamtable[fileno(out.file)].samplesize, 2);
    EXPECT_EQ(flushsamples(out.file), 2);
    EXPECT_EQ(out.contents(), std::string("HEAD\0\0FORMAT\0SHORTSAM\0TAIL\0\0", 28));
}

// A failed header makes the first sample fail; the header is not tried
// again and later samples are still stored.
TEST_F(SampleOutput, FailedHeaderIsNotTriedAgain)
{
    streams::MemFile out;
    appendproperty(out.file, "HEAD", "");
    Property broken{nullptr, nullptr, nullptr, nullptr}; // emitproperty refuses it
    StreamSlot &slot = streamtable[fileno(out.file)];
    slot.properties->next = &broken;
    const float x = 1.0f;
    EXPECT_EQ(emitsample(&x, out.file), -1);
    EXPECT_EQ(slot.headerstate, HEADER_PENDING);
    EXPECT_EQ(emitsample(&x, out.file), 4);
    slot.properties->next = nullptr;
    EXPECT_EQ(flushsamples(out.file), 4);
}

// Descriptors without a slot: a null stream, a stream without a
// descriptor, and descriptors past the table.  Nothing may touch a slot.
TEST_F(SampleOutput, StreamsWithoutASlotAreRefused)
{
    char memory[16];
    FILE *nofd = fmemopen(memory, sizeof memory, "w");
    ASSERT_NE(nofd, nullptr);
    ASSERT_LT(fileno(nofd), 0);
    streams::MemFile base;
    const int high = dup2(fileno(base.file), MAX_STREAMS + 44);
    ASSERT_EQ(high, MAX_STREAMS + 44);
    FILE *beyond = fdopen(high, "w");
    ASSERT_NE(beyond, nullptr);
    streams::MemFile ok;

    const float x = 1.0f;
    unsigned char byte = 0;
    for (FILE *s : {static_cast<FILE *>(nullptr), nofd, beyond}) {
        EXPECT_EQ(emitsample(&x, s), -1);
        EXPECT_EQ(flushsamples(s), -1);
        EXPECT_EQ(endsamples(s), -1);
        EXPECT_EQ(drainstream(s), -1);
        EXPECT_EQ(prepareoutput(s), -1);
        EXPECT_EQ(attachbuffer(s), -1);
        EXPECT_EQ(appendproperty(s, "HEAD", ""), -1);
        EXPECT_EQ(emitheader(s), -1);
        EXPECT_EQ(emitbyte('a', s), -1);
        EXPECT_EQ(loadheader(s), nullptr);
        EXPECT_EQ(loadproperties(s), -1);
        EXPECT_EQ(loadproperty(s), -1);
        EXPECT_EQ(nextbyte(&byte, s), -1);
        EXPECT_EQ(findproperty(s, "HEAD"), nullptr);
        EXPECT_EQ(propertyvalue(s, "HEAD"), nullptr);
        EXPECT_EQ(copyheader(s, ok.file), -1);
        EXPECT_EQ(copyheader(ok.file, s), -1);
        adoptsamplesize(s, 2);
    }
    Property head{const_cast<char *>("HEAD"), const_cast<char *>(""), nullptr, nullptr};
    EXPECT_EQ(emitproperty(&head, beyond), -1);
    EXPECT_EQ(installheader(&head, beyond), -1);
    for (int fd = 0; fd < MAX_STREAMS; ++fd) {
        const StreamSlot &slot = streamtable[fd];
        EXPECT_TRUE(slot.buffer == nullptr && slot.ready == 0 && slot.properties == nullptr &&
                    slot.headerstate == HEADER_NONE)
            << "slot " << fd;
    }
    fclose(beyond);
    fclose(nofd);
}

} // namespace
