#pragma once
// A serial device driven with termios: baud rate, data bits, parity, stop
// bits and RTS/CTS flow control from the session's attributes.

#include "CFdTransport.h"

class CSerialTransport : public CFdTransport
{
public:
    // Opens the device; on failure IsOpen() is false and Error() says why.
    explicit CSerialTransport(const std::string &device);

    bool IsOpen() const { return mFd >= 0; }
    const std::string &Error() const { return mError; }

    ViStatus Clear() override;
    ViStatus ApplySerialSettings(const SSerialSettings &settings) override;

private:
    std::string mError;
};
