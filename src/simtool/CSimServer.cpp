#include "CSimServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

CSimServer::~CSimServer()
{
    for (int fd : {mClient, mListener, mSlave, mMaster})
        if (fd >= 0)
            close(fd);
    if (!mLinkPath.empty())
        unlink(mLinkPath.c_str());
}

void CSimServer::OpenPty(const std::string &linkPath)
{
    mMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (mMaster < 0 || grantpt(mMaster) != 0 || unlockpt(mMaster) != 0)
        throw std::runtime_error(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
    const char *device = ptsname(mMaster);
    if (!device)
        throw std::runtime_error("cannot name the pseudo-terminal");
    // Holding the terminal side open keeps the master readable while the
    // controller closes and reopens its side (scan, then session).
    mSlave = open(device, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (mSlave >= 0 && tcgetattr(mSlave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(mSlave, TCSANOW, &tio);
    }
    unlink(linkPath.c_str());
    if (symlink(device, linkPath.c_str()) != 0)
        throw std::runtime_error("cannot link " + linkPath + ": " + std::strerror(errno));
    mLinkPath = linkPath;
    mClient = mMaster;
}

int CSimServer::ListenTcp(int port)
{
    mListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(mListener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // loopback only
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(mListener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(mListener, 4) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno));
    socklen_t length = sizeof address;
    getsockname(mListener, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

int CSimServer::PollTimeoutMs() const
{
    const auto *reply = mMainframe.PeekReply();
    if (!reply)
        return 200;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(reply->ready - sim::CSimMainframe::Clock::now());
    return wait.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(wait.count(), 200));
}

// Writes every reply that is ready; false when the peer is gone.
bool CSimServer::SendReady(int fd)
{
    while (const auto *reply = mMainframe.PeekReply()) {
        if (reply->ready > sim::CSimMainframe::Clock::now())
            return true;
        const std::string bytes = mMainframe.TakeReply();
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = write(fd, bytes.data() + sent, bytes.size() - sent);
            if (n > 0)
                sent += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EINTR && errno != EAGAIN)
                return false;
        }
    }
    return true;
}

// Reads what the controller sent; false when the peer is gone.
bool CSimServer::Pump(int fd)
{
    unsigned char buffer[65536];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (n <= 0)
        return false;
    for (ssize_t done = 0; done < n;) {
        const long taken = mMainframe.Receive(buffer + done, static_cast<std::size_t>(n - done));
        if (taken < 0)
            return true;                       // dropped: Run() sees it
        done += taken == 0 ? n - done : taken; // a short write loses the rest, as the line would
    }
    return true;
}

int CSimServer::Run(const std::atomic<bool> &stop)
{
    while (!stop) {
        if (mClient < 0 && mListener >= 0) {
            pollfd entry{mListener, POLLIN, 0};
            if (poll(&entry, 1, 200) == 1) {
                mClient = accept4(mListener, nullptr, nullptr, SOCK_CLOEXEC);
                const int one = 1;
                setsockopt(mClient, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            }
            continue;
        }
        pollfd entry{mClient, POLLIN, 0};
        const int ready = poll(&entry, 1, PollTimeoutMs());
        bool alive = true;
        if (ready > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)))
            alive = Pump(mClient);
        if (mMainframe.Dropped())
            return 3;
        if (alive)
            alive = SendReady(mClient);
        if (!alive && mListener >= 0) {
            close(mClient); // the TCP controller left; wait for the next one
            mClient = -1;
            mMainframe.DeviceClear();
        }
    }
    return 0;
}
