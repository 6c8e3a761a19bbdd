#include "CFdTransport.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline, int timeoutMs)
{
    if (timeoutMs < 0)
        return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

CFdTransport::~CFdTransport()
{
    if (mFd >= 0)
        close(mFd);
}

bool CFdTransport::WaitFor(short events, int timeoutMs, bool &hangup) const
{
    pollfd entry{mFd, events, 0};
    hangup = false;
    for (;;) {
        const int ready = poll(&entry, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        hangup = (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(entry.revents & events);
        return true;
    }
}

ViStatus CFdTransport::Write(const unsigned char *data, std::size_t count, std::size_t &written, int timeoutMs)
{
    written = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (written < count) {
        const ssize_t n = ::write(mFd, data + written, count - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return errno == EIO || errno == EPIPE || errno == ECONNRESET ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
        bool hangup = false;
        if (!WaitFor(POLLOUT, RemainingMs(deadline, timeoutMs), hangup))
            return VI_ERROR_TMO;
        if (hangup)
            return VI_ERROR_CONN_LOST;
    }
    return VI_SUCCESS;
}

ViStatus CFdTransport::ReadSome(unsigned char *buffer, std::size_t max, std::size_t &got, bool &end, int timeoutMs)
{
    got = 0;
    end = false;
    for (;;) {
        bool hangup = false;
        if (!WaitFor(POLLIN, timeoutMs, hangup))
            return VI_ERROR_TMO;
        const ssize_t n = ::read(mFd, buffer, max);
        if (n > 0) {
            got = static_cast<std::size_t>(n);
            return VI_SUCCESS;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) && !hangup)
            continue;
        return VI_ERROR_CONN_LOST; // end of file or hang-up: the instrument is gone
    }
}
