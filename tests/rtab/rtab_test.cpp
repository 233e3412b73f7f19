// rtab as users run it: messages, statuses, and its output.
#include "runprogram.hpp"

#include <randmap.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

using Args = std::vector<std::string>;

const std::string usage = "Usage: rtab -Llength\n";
const std::string illegal = "RTAB: Illegal length expression\n";

run::Result rtab(const Args &args, const run::Options &options = {})
{
    return run::program(RTAB_PATH, args, options);
}

TEST(RtabCommandLine, MalformedCommandLinesGetOneMessage)
{
    const struct {
        Args args;
        const std::string &message;
    } cases[] = {
        {{}, usage},
        {{"10"}, usage},
        {{"-l10"}, usage},
        {{"L10"}, usage},
        {{""}, usage},
        {{"-L"}, illegal},
        {{"-L0"}, illegal},
        {{"-L-5"}, illegal},
        {{"-Lx"}, illegal},
        {{"-L", "5"}, illegal},
        {{"-L2147483648"}, illegal},
        {{"-L99999999999999999999"}, illegal},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        const run::Result r = rtab(c.args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(r.out, "");
    }
}

TEST(RtabOutput, LengthAndIgnoredWords)
{
    EXPECT_EQ(rtab({"-L12abc"}).out.size(), 48u);
    const run::Result r = rtab({"-L3", "more", "-L9"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.size(), 12u);
}

// The unseeded generator is the one seeded with 1; one call per value.
TEST(RtabOutput, EachValueIsOneRandCallMapped)
{
    std::srand(1);
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        const float v = rtab::randomvalue(std::rand());
        expected.append(reinterpret_cast<const char *>(&v), 4);
    }
    EXPECT_EQ(rtab({"-L2000"}).out, expected);
}

TEST(RtabOutput, RepeatableAndPrefixOfLongerTables)
{
    const std::string five = rtab({"-L5"}).out;
    const std::string eight = rtab({"-L8"}).out;
    ASSERT_EQ(five.size(), 20u);
    ASSERT_EQ(eight.size(), 32u);
    EXPECT_EQ(rtab({"-L8"}).out, eight);
    EXPECT_EQ(eight.substr(0, 20), five);

    const std::string fivelines = rtab({"-L5"}, run::on(run::Output::Terminal)).out;
    const std::string eightlines = rtab({"-L8"}, run::on(run::Output::Terminal)).out;
    EXPECT_EQ(eightlines.substr(0, fivelines.size()), fivelines);
}

TEST(RtabOutput, TextAtATerminalIsTheRawTablePrinted)
{
    const run::Result text = rtab({"-L4"}, run::on(run::Output::Terminal));
    EXPECT_EQ(text.status, 0);
    std::string expected;
    for (const float v : run::floats(rtab({"-L4"}).out)) {
        char line[32];
        std::snprintf(line, sizeof line, "%f\n", static_cast<double>(v));
        expected += line;
    }
    EXPECT_EQ(text.out, expected);
}

TEST(RtabOutput, ValuesLieInTheClosedRange)
{
    const std::vector<float> table = run::floats(rtab({"-L100000"}).out);
    ASSERT_EQ(table.size(), 100000u);
    for (const float v : table)
        ASSERT_TRUE(v >= -1.0f && v <= 1.0f) << v;
}

TEST(RtabOutput, HeaderOnStandardInputIsNeverHandedOn)
{
    const std::string header("HEAD\0\0FORMAT\0FLOATSAM\0TAIL\0\0\0\0", 28);
    const run::Result r = rtab({"-L7"}, run::fed(header));
    EXPECT_EQ(r.out, rtab({"-L7"}).out);
    EXPECT_EQ(r.out.size(), 28u);
}

TEST(RtabOutput, RawOutputLeavesInBlocks)
{
    EXPECT_EQ(rtab({"-L1024"}, run::on(run::Output::Packets)).writesizes, std::vector<size_t>{4096});
    EXPECT_EQ(rtab({"-L1025"}, run::on(run::Output::Packets)).writesizes, (std::vector<size_t>{4096, 4}));
}

TEST(RtabFailures, TableThatCannotBeAllocated)
{
    if (run::sanitized())
        GTEST_SKIP() << "the sanitizer's shadow memory needs an unlimited address space";
    for (const char *length : {"-L100000000", "-L2147483647"}) {
        SCOPED_TRACE(length);
        const run::Result r = rtab({length}, run::limited(size_t{256} << 20));
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, "RTAB: Cannot allocate table\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST(RtabFailures, OutputThatFailsIsReported)
{
    for (const char *length : {"-L1", "-L1025"}) {
        SCOPED_TRACE(length);
        const run::Result r = rtab({length}, run::on(run::Output::DevFull));
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, "RTAB: Cannot write output\n");
    }
}

} // namespace
