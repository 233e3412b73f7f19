// Both programs against failing and awkward outputs.
#include "runprogram.hpp"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

struct Program {
    const char *name;
    std::string path;
    std::vector<std::string> args; // a table of a few blocks
    std::string nowrite;
};

const std::vector<Program> &programs()
{
    static const std::vector<Program> all = {
        {"hsum", HSUM_PATH, {"-L50000", "3", "0.5", "0.1"}, "HSUM: Cannot write output\n"},
        {"rtab", RTAB_PATH, {"-L50000"}, "RTAB: Cannot write output\n"},
    };
    return all;
}

TEST(OutputFaults, FullDeviceIsReported)
{
    for (const Program &p : programs()) {
        SCOPED_TRACE(p.name);
        const run::Result r = run::program(p.path, p.args, run::on(run::Output::DevFull));
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.err, p.nowrite);
    }
}

// As for any filter, a reader that went away ends the program by SIGPIPE.
TEST(OutputFaults, ClosedPipeEndsBySigpipe)
{
    for (const Program &p : programs()) {
        SCOPED_TRACE(p.name);
        const run::Result r = run::program(p.path, p.args, run::on(run::Output::ClosedPipe));
        EXPECT_EQ(r.signal, SIGPIPE);
        EXPECT_EQ(r.err, "");
    }
}

// A stream socket with a small buffer, its writer stopped and continued
// while blocked: partial writes must be completed, nothing lost or doubled.
TEST(OutputFaults, InterruptedAndShortWritesLoseNothing)
{
    for (const Program &p : programs()) {
        SCOPED_TRACE(p.name);
        const run::Result plain = run::program(p.path, p.args);
        ASSERT_EQ(plain.out.size(), 200000u);
        for (const run::Output kind : {run::Output::Stream, run::Output::Pipe}) {
            const run::Result r = run::program(p.path, p.args, run::disturbed(kind));
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_TRUE(r.out == plain.out) << "output differs, " << r.out.size() << " bytes";
        }
    }
}

} // namespace
