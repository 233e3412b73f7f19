// Runs a built program with its standard output on a chosen kind of
// descriptor and collects what it wrote.
#ifndef TESTS_RUNPROGRAM_HPP
#define TESTS_RUNPROGRAM_HPP

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace run
{

enum class Output {
    Pipe,     // a pipe: raw samples
    Packets,  // a SOCK_SEQPACKET socket: each write(2) arrives as one record
    Terminal, // a pseudo-terminal in raw mode: text
    DevFull,  // /dev/full: every write fails
    DevNull,
    ClosedPipe, // a pipe whose reader is gone before the program starts
    Stream,     // a SOCK_STREAM socket with a small send buffer: short writes
};

struct Options {
    Output output = Output::Pipe;
    size_t addresslimit = 0; // RLIMIT_AS for the child; 0: none
    std::string input;       // bytes on standard input
    bool stopandgo = false;  // stop and continue the program between reads
};

struct Result {
    int status = -1;                // exit status, or -1 when not exited
    int signal = 0;                 // the signal that ended it, if any
    std::string out;                // standard output
    std::string err;                // standard error
    std::vector<size_t> writesizes; // Packets: the size of every write
};

inline Options on(Output output)
{
    Options o;
    o.output = output;
    return o;
}
inline Options limited(size_t addresslimit)
{
    Options o;
    o.addresslimit = addresslimit;
    return o;
}
inline Options disturbed(Output output)
{
    Options o;
    o.output = output;
    o.stopandgo = true;
    return o;
}
inline Options fed(std::string input)
{
    Options o;
    o.input = std::move(input);
    return o;
}

Result program(const std::string &path, const std::vector<std::string> &args, const Options &options = {});

// The raw samples of a program's output.
std::vector<float> floats(const std::string &bytes);

// Whether this test binary runs under AddressSanitizer, whose shadow
// memory cannot live under an address-space limit.
bool sanitized();

} // namespace run

#endif
