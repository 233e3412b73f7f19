// hsum as users run it: messages, statuses, and its output on pipes,
// sockets and terminals.
#include "runprogram.hpp"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

using Args = std::vector<std::string>;

const std::string usage = "Usage: hsum -Llength h1 a1 p2 ... hN aN pN\n";
const std::string illegal = "HSUM: Illegal length expression\n";
const std::string allzero = "HSUM: all-zero function\n";
const std::string noalloc = "HSUM: Cannot allocate table\n";
const std::string nowrite = "HSUM: Cannot write output\n";

run::Result hsum(const Args &args, const run::Options &options = {})
{
    return run::program(HSUM_PATH, args, options);
}

std::vector<uint32_t> words(const std::string &bytes)
{
    std::vector<uint32_t> w(bytes.size() / 4);
    std::memcpy(w.data(), bytes.data(), w.size() * 4);
    return w;
}

std::string show(const Args &args)
{
    std::string s;
    for (const std::string &a : args)
        s += "[" + a + "] ";
    return s;
}

TEST(HsumCommandLine, MalformedCommandLinesGetOneMessage)
{
    const struct {
        Args args;
        const std::string &message;
    } cases[] = {
        {{}, usage},
        {{"-L4", "1", "1"}, usage},
        {{"L4", "1", "1", "0"}, usage},
        {{"-l4", "1", "1", "0"}, usage},
        {{"4", "1", "1", "0"}, usage},
        {{"-L", "4", "1", "1", "0"}, illegal},
        {{"-L0", "1", "1", "0"}, illegal},
        {{"-L-3", "1", "1", "0"}, illegal},
        {{"-Lx", "1", "1", "0"}, illegal},
        {{"-L2147483648", "1", "1", "0"}, illegal},
        {{"-L-2147483649", "1", "1", "0"}, illegal},
        {{"-L4294967297", "1", "1", "0"}, illegal},
        {{"-L99999999999999999999", "1", "1", "0"}, illegal},
        {{"-L4", "1", "1", "0", "2"}, usage},
        {{"-L4", "1", "1", "0", "2", "3"}, usage},
        {{"-L4", "-c", "1", "1"}, usage},
        {{"-L4", "-x", "1", "1", "0", "1"}, usage},
        {{"-L0", "1", "1", "0", "2"}, illegal},
        {{"-L3", "0", "1", "0"}, allzero},
        {{"-L1", "1", "1", "0"}, allzero},
        {{"-L1", "-c", "1", "1", "0"}, allzero},
        {{"-L4", "1", "-c", "0"}, allzero},
        {{"-L4", "nan", "1", "0"}, allzero},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(show(c.args));
        const run::Result r = hsum(c.args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(r.out, "");
    }
}

// The worked tables, bit for bit, into a pipe.
TEST(HsumOutput, RawTablesBitForBit)
{
    const std::vector<uint32_t> sine4{0x00000000, 0x3f800000, 0xb3bbbd2e, 0xbf800000};
    const struct {
        Args args;
        std::vector<uint32_t> table;
    } cases[] = {
        {{"-L4", "1", "1", "0"}, sine4},
        {{"-L4", "-x", "1", "1", "0"}, sine4},
        {{"-L4", "-c", "1", "1", "0"}, {0x00000000, 0x3f5db3d7, 0xbf5db3d8, 0x343bbd2e}},
        {{"-L4", "1", "1", "0", "1", "1", "0"}, {0x00000000, 0x40000000, 0xb43bbd2e, 0xc0000000}},
        {{"-L4", "-0.5", "1", "0"}, {0x00000000, 0xbf3504f3, 0xbf800000, 0xbf3504f3}},
        {{"-L2", "-", "1", "1"}, {0x3f576aa4, 0x3f576aa4}},
        {{"-L3", "0", "-2", "1.5707964"}, {0xc0000000, 0xc0000000, 0xc0000000}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(show(c.args));
        const run::Result r = hsum(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(words(r.out), c.table);
    }
}

TEST(HsumOutput, TrailingTextAfterTheLength)
{
    const run::Result r = hsum({"-L12abc", "1", "1", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), 48u);
}

TEST(HsumOutput, TextAtATerminal)
{
    const struct {
        Args args;
        std::string text;
    } cases[] = {
        {{"-L4", "1", "1", "0"}, "0.000000\n1.000000\n-0.000000\n-1.000000\n"},
        {{"-L4", "-c", "1", "1", "0"}, "0.000000\n0.866025\n-0.866025\n0.000000\n"},
        {{"-L2", "-", "1", "1"}, "0.841471\n0.841471\n"},
        {{"-L3", "0", "-2", "1.5707964"}, "-2.000000\n-2.000000\n-2.000000\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(show(c.args));
        const run::Result r = hsum(c.args, run::on(run::Output::Terminal));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, c.text);
    }
}

// Each write(2) arrives as one record on a SOCK_SEQPACKET socket.
TEST(HsumOutput, RawOutputLeavesInBlocks)
{
    const struct {
        const char *length;
        std::vector<size_t> writes;
    } cases[] = {
        {"-L1", {4}},          {"-L1023", {4092}},       {"-L1024", {4096}},
        {"-L1025", {4096, 4}}, {"-L2048", {4096, 4096}}, {"-L5000", {4096, 4096, 4096, 4096, 3616}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.length);
        const run::Result r = hsum({c.length, "0", "1", "1"}, run::on(run::Output::Packets));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.writesizes, c.writes);
    }
}

// A header on standard input is never handed on: hsum does not read it.
TEST(HsumOutput, StandardInputNeverReachesTheOutput)
{
    const std::string header("HEAD\0\0TAIL\0\0", 12);
    const run::Result r = hsum({"-L4", "1", "1", "0"}, run::fed(header));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), 16u);
    EXPECT_EQ(words(r.out)[1], 0x3f800000u);
}

TEST(HsumFailures, TableThatCannotBeAllocated)
{
    if (run::sanitized())
        GTEST_SKIP() << "the sanitizer's shadow memory needs an unlimited address space";
    constexpr size_t limit = size_t{256} << 20;
    for (const char *length : {"-L100000000", "-L2147483647"}) {
        SCOPED_TRACE(length);
        const run::Result r = hsum({length, "1", "1", "0"}, run::limited(limit));
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, noalloc);
        EXPECT_EQ(r.out, "");
    }
}

TEST(HsumFailures, OutputThatFailsIsReported)
{
    for (const char *length : {"-L4", "-L1025", "-L5000"}) {
        SCOPED_TRACE(length);
        const run::Result r = hsum({length, "1", "1", "0"}, run::on(run::Output::DevFull));
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, nowrite);
    }
    const run::Result ok = hsum({"-L5000", "1", "1", "0"}, run::on(run::Output::DevNull));
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.err, "");
}

} // namespace
