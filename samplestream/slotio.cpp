// Block transfers on a descriptor.
#include "slotio.hpp"

#include <cerrno>
#include <unistd.h>

namespace samplestream
{

ssize_t writeall(int fd, const unsigned char *buf, size_t n) noexcept
{
    size_t done = 0;
    while (done < n) {
        const ssize_t r = write(fd, buf + done, n - done);
        if (r > 0) {
            // A pipe, socket or slow device may take part of a block; the
            // rest must follow, or the stream loses bytes mid-sample.
            done += static_cast<size_t>(r);
            continue;
        }
        // A signal arrived before anything moved: nothing was written, so
        // the same bytes are offered again.
        if (r < 0 && errno == EINTR)
            continue;
        // A real error, or a write of 0 bytes, which for n > 0 means the
        // descriptor will take no more: report that call's own result.
        return r;
    }
    return static_cast<ssize_t>(done);
}

ssize_t readsome(int fd, unsigned char *buf, size_t n) noexcept
{
    ssize_t r;
    do
        r = read(fd, buf, n);
    while (r < 0 && errno == EINTR);
    return r;
}

} // namespace samplestream
