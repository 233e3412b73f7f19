#include "runprogram.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace run
{

namespace
{

struct Ends {
    int child = -1;  // the child's standard output
    int parent = -1; // what the parent reads, or -1
};

Ends openoutput(Output kind)
{
    int fds[2];
    switch (kind) {
    case Output::Pipe:
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe");
        return {fds[1], fds[0]};
    case Output::Packets:
        if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0)
            throw std::runtime_error("socketpair");
        return {fds[1], fds[0]};
    case Output::Terminal: {
        int master, slave;
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        termios mode;
        tcgetattr(slave, &mode);
        cfmakeraw(&mode); // lines arrive as the program wrote them
        tcsetattr(slave, TCSANOW, &mode);
        return {slave, master};
    }
    case Output::ClosedPipe:
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe");
        close(fds[0]);
        return {fds[1], -1};
    case Output::Stream: {
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
            throw std::runtime_error("socketpair");
        const int small = 4096;
        setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        setsockopt(fds[0], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        return {fds[1], fds[0]};
    }
    case Output::DevFull:
        return {open("/dev/full", O_WRONLY), -1};
    case Output::DevNull:
        return {open("/dev/null", O_WRONLY), -1};
    }
    throw std::logic_error("output kind");
}

[[noreturn]] void startchild(const std::string &path, const std::vector<std::string> &args, const Options &o,
                             int in, int out, int err)
{
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd = 3; fd < 64; ++fd)
        close(fd);
    // LeakSanitizer stops the world with ptrace at exit; stop signals from
    // outside during that phase can wedge it.  Leaks are checked elsewhere.
    if (o.stopandgo)
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    if (o.addresslimit > 0) {
        const rlimit limit{o.addresslimit, o.addresslimit};
        setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(path.c_str()));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
}

// Reads what is there; false at the end of the stream.
bool take(int fd, std::string &into, std::vector<size_t> *records)
{
    static char block[1 << 16];
    const ssize_t n = read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR)
        return true;
    if (n <= 0) // EIO on a terminal whose other side is gone
        return false;
    into.append(block, static_cast<size_t>(n));
    if (records != nullptr)
        records->push_back(static_cast<size_t>(n));
    return true;
}

} // namespace

Result program(const std::string &path, const std::vector<std::string> &args, const Options &options)
{
    Ends out = openoutput(options.output);
    int errpipe[2], inpipe[2];
    if (pipe(errpipe) != 0 || pipe(inpipe) != 0)
        throw std::runtime_error("pipe");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork");
    if (pid == 0)
        startchild(path, args, options, inpipe[0], out.child, errpipe[1]);
    close(out.child);
    close(errpipe[1]);
    close(inpipe[0]);
    // Input is small; a program that never reads it must not block us.
    fcntl(inpipe[1], F_SETFL, O_NONBLOCK);
    if (!options.input.empty() && write(inpipe[1], options.input.data(), options.input.size()) < 0)
        throw std::runtime_error("input");
    close(inpipe[1]);

    Result result;
    std::vector<size_t> *records = options.output == Output::Packets ? &result.writesizes : nullptr;
    pollfd fds[2] = {{out.parent, POLLIN, 0}, {errpipe[0], POLLIN, 0}};
    int open = out.parent >= 0 ? 2 : 1;
    if (out.parent < 0)
        fds[0].fd = -1;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            if (options.stopandgo && i == 0) {
                // A stop signal interrupts a blocked write; the program
                // must carry on with the rest of its block.
                kill(pid, SIGSTOP);
                kill(pid, SIGCONT);
            }
            if (!take(fds[i].fd, i == 0 ? result.out : result.err, i == 0 ? records : nullptr)) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

std::vector<float> floats(const std::string &bytes)
{
    std::vector<float> v(bytes.size() / sizeof(float));
    std::memcpy(v.data(), bytes.data(), v.size() * sizeof(float));
    return v;
}

bool sanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

} // namespace run
