#include "CTcpTransport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CTcpTransport::CTcpTransport(const std::string &host, const std::string &port, int timeoutMs)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *addresses = nullptr;
    const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &addresses);
    if (rc != 0) {
        mError = host + ":" + port + ": " + gai_strerror(rc);
        return;
    }
    for (addrinfo *address = addresses; address && mFd < 0; address = address->ai_next)
        Connect(address, timeoutMs);
    freeaddrinfo(addresses);
}

bool CTcpTransport::Connect(const addrinfo *address, int timeoutMs)
{
    const int fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        mError = std::strerror(errno);
        return false;
    }
    int rc = connect(fd, address->ai_addr, address->ai_addrlen);
    if (rc < 0 && errno == EINPROGRESS) {
        pollfd entry{fd, POLLOUT, 0};
        int error = ETIMEDOUT;
        if (poll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs) == 1) {
            socklen_t length = sizeof error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        }
        rc = error == 0 ? 0 : -1;
        errno = error;
    }
    if (rc < 0) {
        mError = std::strerror(errno);
        close(fd);
        return false;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    mFd = fd;
    return true;
}

ViStatus CTcpTransport::Clear()
{
    unsigned char scratch[4096];
    while (recv(mFd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
    }
    return VI_SUCCESS;
}
