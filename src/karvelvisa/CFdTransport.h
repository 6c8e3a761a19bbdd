#pragma once
// Shared by the serial and TCP transports: I/O on a non-blocking file
// descriptor with poll() for the timeouts.

#include "CTransport.h"

class CFdTransport : public CTransport
{
public:
    ~CFdTransport() override;

    ViStatus Write(const unsigned char *data, std::size_t count, std::size_t &written, int timeoutMs) override;
    ViStatus ReadSome(unsigned char *buffer, std::size_t max, std::size_t &got, bool &end, int timeoutMs) override;

protected:
    // Waits for the descriptor; false on timeout. Sets `hangup` when the peer is gone.
    bool WaitFor(short events, int timeoutMs, bool &hangup) const;
    int mFd = -1;
};
