// Many generated command lines: each run ends with a well-formed table
// and status 0, or with exactly one fixed message and status 255.
#include "runprogram.hpp"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace
{

using Args = std::vector<std::string>;

constexpr unsigned SEED = 20261211;
constexpr int RUNS = 400;
constexpr size_t ADDRESS_LIMIT = size_t{256} << 20;

const std::vector<std::string> words = {
    "0",
    "1",
    "-1",
    "3.5",
    "-0.5",
    ".5",
    "1e3",
    "1e-40",
    "1e39",
    "nan",
    "-nan",
    "inf",
    "-inf",
    "0x1p3",
    "0x",
    "",
    " ",
    "-",
    "-c",
    "-x",
    "--",
    "-L",
    "-L5",
    "abc",
    "\t7",
    "+4",
    "1,5",
    "-.5",
    "2",
    "7",
    "0.25",
    "1e308",
    std::string(5000, '9'),
    std::string(3000, 'a'),
    "-" + std::string(400, '1'),
};

const std::vector<std::string> numbers = {"1", "2", "0.5", "-3", "0.1", "1.5707964", "7", "-0.25", "100"};

const std::vector<std::string> lengths = {
    "1",          "2",           "5",
    "1023",       "1024",        "1025",
    "4096",       "3000",        "0",
    "-1",         "-5",          "",
    "x",          " 12",         "12abc",
    "+5",         "-0",          "2147483647",
    "2147483648", "-2147483649", "99999999999999999999",
    "4294967297", "100000000",   "00000000017",
    "1e3",
};

// The length the command line asks for, judged independently of the
// programs' own reader: strtoll, with anything outside int32_t illegal.
int64_t askedlength(const std::string &arg)
{
    if (arg.size() < 2 || arg[0] != '-' || arg[1] != 'L')
        return -1;
    errno = 0;
    const long long v = std::strtoll(arg.c_str() + 2, nullptr, 10);
    if (errno == ERANGE || v > INT32_MAX || v < INT32_MIN)
        return 0;
    return v;
}

struct Generator {
    std::mt19937 random{SEED};

    const std::string &pick(const std::vector<std::string> &from)
    {
        return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
    }

    Args make(bool sanitized)
    {
        Args args;
        if (random() % 2 == 0) {
            // Shaped like a real hsum command line: a length, maybe an
            // option word, whole triplets.
            args.push_back("-L" + pick(lengths));
            if (random() % 3 == 0)
                args.push_back(pick(words));
            const int triplets = std::uniform_int_distribution<int>(1, 3)(random);
            for (int i = 0; i < 3 * triplets; ++i)
                args.push_back(random() % 4 == 0 ? pick(words) : pick(numbers));
        } else {
            const int count = std::uniform_int_distribution<int>(0, 11)(random);
            for (int i = 0; i < count; ++i)
                args.push_back(i == 0 && random() % 8 != 0 ? "-L" + pick(lengths) : pick(words));
        }
        // Under the sanitizers the address space cannot be limited, so
        // legal lengths stay small enough to compute.
        if (sanitized && !args.empty() && askedlength(args[0]) > 100000)
            args[0] = "-L4096";
        return args;
    }
};

struct Program {
    const char *path;
    std::set<std::string> messages;
    bool boundedvalues; // rtab: every value in [-1, 1]
};

void check(const Program &p, const Args &args, const run::Result &r)
{
    ASSERT_EQ(r.signal, 0);
    if (r.status == 255) {
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(p.messages.count(r.err), 1u) << '"' << r.err << '"';
        return;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const int64_t length = askedlength(args.at(0));
    ASSERT_GT(length, 0);
    ASSERT_EQ(r.out.size(), static_cast<size_t>(length) * 4);
    const std::vector<float> table = run::floats(r.out);
    if (p.boundedvalues) {
        for (const float v : table)
            ASSERT_TRUE(v >= -1.0f && v <= 1.0f);
    } else {
        bool nonzero = false;
        for (const float v : table)
            nonzero = nonzero || std::fabs(v) > 0.0f;
        EXPECT_TRUE(nonzero) << "an all-zero table was written";
    }
}

void runall(const Program &p)
{
    Generator generate;
    const bool sanitized = run::sanitized();
    int tables = 0;
    for (int i = 0; i < RUNS; ++i) {
        const Args args = generate.make(sanitized);
        std::string shown;
        for (const std::string &a : args)
            shown.append("[").append(a, 0, 40).append("] ");
        SCOPED_TRACE("run " + std::to_string(i) + ": " + shown);
        const run::Result r = run::program(p.path, args, run::limited(sanitized ? 0 : ADDRESS_LIMIT));
        check(p, args, r);
        if (::testing::Test::HasFatalFailure())
            return;
        tables += r.status == 0 ? 1 : 0;
    }
    std::printf("%s: %d command lines, %d tables, %d messages\n", p.path, RUNS, tables, RUNS - tables);
}

TEST(CommandLineProperty, Hsum)
{
    runall({HSUM_PATH,
            {"Usage: hsum -Llength h1 a1 p2 ... hN aN pN\n", "HSUM: Illegal length expression\n",
             "HSUM: all-zero function\n", "HSUM: Cannot allocate table\n"},
            false});
}

TEST(CommandLineProperty, Rtab)
{
    runall({RTAB_PATH,
            {"Usage: rtab -Llength\n", "RTAB: Illegal length expression\n", "RTAB: Cannot allocate table\n"},
            true});
}

} // namespace
