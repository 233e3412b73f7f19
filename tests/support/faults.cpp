#include "faults.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

extern "C" {
ssize_t __real_write(int fd, const void *buf, size_t count);
ssize_t __real_read(int fd, void *buf, size_t count);
void *__real_malloc(size_t size);
}

namespace
{

int watched = -1;
std::deque<faults::Action> writeplan;
std::deque<faults::Action> readplan;
size_t readcap = 0;
std::vector<faults::Call> writelog;
int malloccountdown = 0;

faults::Action next(std::deque<faults::Action> &plan)
{
    if (plan.empty())
        return {faults::Action::Pass};
    faults::Action a = plan.front();
    plan.pop_front();
    return a;
}

} // namespace

extern "C" ssize_t __wrap_write(int fd, const void *buf, size_t count)
{
    if (fd != watched)
        return __real_write(fd, buf, count);
    const faults::Action a = next(writeplan);
    ssize_t r;
    if (a.kind == faults::Action::Fail) {
        errno = a.error;
        r = -1;
    } else {
        r = __real_write(fd, buf, a.kind == faults::Action::Limit ? std::min(count, a.limit) : count);
    }
    writelog.push_back({count, r});
    return r;
}

extern "C" ssize_t __wrap_read(int fd, void *buf, size_t count)
{
    if (fd != watched)
        return __real_read(fd, buf, count);
    const faults::Action a = next(readplan);
    if (a.kind == faults::Action::Fail) {
        errno = a.error;
        return -1;
    }
    size_t n = a.kind == faults::Action::Limit ? std::min(count, a.limit) : count;
    if (readcap > 0)
        n = std::min(n, readcap);
    return __real_read(fd, buf, n);
}

extern "C" void *__wrap_malloc(size_t size)
{
    if (malloccountdown > 0 && --malloccountdown == 0) {
        malloccountdown = 1; // keep failing until reset
        errno = ENOMEM;
        return nullptr;
    }
    return __real_malloc(size);
}

namespace faults
{

void watch(int fd)
{
    watched = fd;
}
void planwrites(std::deque<Action> plan)
{
    writeplan = std::move(plan);
}
void planreads(std::deque<Action> plan)
{
    readplan = std::move(plan);
}
void capreads(size_t n)
{
    readcap = n;
}
const std::vector<Call> &writes()
{
    return writelog;
}
std::vector<size_t> writesizes()
{
    std::vector<size_t> sizes;
    for (const Call &c : writelog)
        sizes.push_back(static_cast<size_t>(c.result));
    return sizes;
}
void failmalloc(int n)
{
    malloccountdown = n;
}
void reset()
{
    watched = -1;
    writeplan.clear();
    readplan.clear();
    readcap = 0;
    writelog.clear();
    malloccountdown = 0;
}

} // namespace faults

namespace streams
{

void resetslot(int fd)
{
    StreamSlot &slot = streamtable[fd];
    std::free(slot.buffer);
    for (Property *node = slot.properties; node != nullptr;) {
        Property *next = node->next;
        std::free(node->name);
        std::free(node->value);
        std::free(node);
        node = next;
    }
    slot = StreamSlot{};
}

void resetlibrary()
{
    for (int fd = 0; fd < MAX_STREAMS; ++fd)
        resetslot(fd);
    defaultsamplesize = 4;
    passthruoff = 0;
}

Pipe::Pipe()
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe");
    in = fdopen(fds[0], "r");
    out = fdopen(fds[1], "w");
}

Pipe::~Pipe()
{
    if (in != nullptr)
        fclose(in);
    closeout();
}

void Pipe::closeout()
{
    if (out != nullptr)
        fclose(out);
    out = nullptr;
}

void Pipe::send(const std::string &bytes)
{
    if (__real_write(fileno(out), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("pipe write");
}

std::string Pipe::drain()
{
    std::string bytes;
    char block[65536];
    ssize_t n;
    while ((n = __real_read(fileno(in), block, sizeof block)) > 0)
        bytes.append(block, static_cast<size_t>(n));
    return bytes;
}

MemFile::MemFile()
{
    const int fd = memfd_create("stream", 0);
    if (fd < 0)
        throw std::runtime_error("memfd_create");
    file = fdopen(fd, "w+");
}

MemFile::~MemFile()
{
    fclose(file);
}

std::string MemFile::contents() const
{
    std::string bytes;
    char block[65536];
    off_t at = 0;
    ssize_t n;
    while ((n = pread(fileno(file), block, sizeof block, at)) > 0) {
        bytes.append(block, static_cast<size_t>(n));
        at += n;
    }
    return bytes;
}

Redirect::Redirect(int target_, int fd) : target(target_), saved(dup(target_))
{
    if (target == 1)
        fflush(stdout);
    dup2(fd, target);
}

Redirect::~Redirect()
{
    dup2(saved, target);
    close(saved);
}

std::string floatbytes(std::initializer_list<float> values)
{
    std::string bytes;
    for (float v : values)
        bytes.append(reinterpret_cast<const char *>(&v), sizeof v);
    return bytes;
}

} // namespace streams
