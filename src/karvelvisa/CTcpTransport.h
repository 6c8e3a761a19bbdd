#pragma once
// SCPI over a raw TCP socket. TCP_NODELAY is set: with Nagle's algorithm the
// write-write-read pattern of every flash block would wait for delayed ACKs.

#include "CFdTransport.h"

class CTcpTransport : public CFdTransport
{
public:
    // Connects to host:port within the timeout; on failure IsOpen() is false.
    CTcpTransport(const std::string &host, const std::string &port, int timeoutMs);

    bool IsOpen() const { return mFd >= 0; }
    const std::string &Error() const { return mError; }

    ViStatus Clear() override;

private:
    bool Connect(const struct addrinfo *address, int timeoutMs);
    std::string mError;
};
