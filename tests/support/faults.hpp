// A link-time seam over write(2), read(2) and malloc for the library's
// tests (linked with --wrap), and helpers for streams on real descriptors.
#ifndef TESTS_FAULTS_HPP
#define TESTS_FAULTS_HPP

#include <samplestream.h>

#include <cstddef>
#include <cstdio>
#include <deque>
#include <string>
#include <sys/types.h>
#include <vector>

namespace faults
{

// What one write(2) or read(2) on the watched descriptor does.
struct Action {
    enum Kind { Pass, Limit, Fail } kind;
    size_t limit = 0; // Limit: move at most this many bytes
    int error = 0;    // Fail: return -1 with this errno (EINTR, EIO, ...)
};

inline Action limit(size_t n)
{
    return {Action::Limit, n, 0};
}
inline Action failwith(int error)
{
    return {Action::Fail, 0, error};
}

struct Call {
    size_t count;   // bytes asked for
    ssize_t result; // what the caller was given
};

// Watches writes and reads on fd: each call takes the next planned
// action (Pass once the plan is used up) and is logged.
void watch(int fd);
void planwrites(std::deque<Action> plan);
void planreads(std::deque<Action> plan);
// Every read on the watched descriptor moves at most n bytes (0: no cap).
void capreads(size_t n);
const std::vector<Call> &writes();
std::vector<size_t> writesizes(); // results of the logged writes
// malloc fails from the n-th call on (1: the next call), until reset.
void failmalloc(int n);
void reset();

} // namespace faults

namespace streams
{

// Clears a slot as if the process had just started, releasing what the
// library allocated for it.
void resetslot(int fd);
void resetlibrary();

// A pipe with both ends as stdio handles.
struct Pipe {
    FILE *in = nullptr;  // read end
    FILE *out = nullptr; // write end
    Pipe();
    ~Pipe();
    void closeout();
    void send(const std::string &bytes); // writes directly to the write end
    std::string drain();                 // reads what is there (write end closed)
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
};

// An anonymous file as a stdio handle, whose bytes can be read back.
struct MemFile {
    FILE *file = nullptr;
    MemFile();
    ~MemFile();
    std::string contents() const;
    MemFile(const MemFile &) = delete;
    MemFile &operator=(const MemFile &) = delete;
};

// Replaces descriptor target (0 or 1) with fd for a scope.
struct Redirect {
    int target;
    int saved;
    Redirect(int target, int fd);
    ~Redirect();
};

std::string floatbytes(std::initializer_list<float> values);

} // namespace streams

#endif
