#pragma once
// The byte level under every instrument session of the bundled VISA library:
// serial (termios), TCP (raw socket) and the in-process simulated mainframe
// implement the same few operations, so formatted I/O is written once above them.

#include "KarvelVisa.h"

#include <cstddef>
#include <string>

struct SSerialSettings
{
    ViUInt32 baud = 9600;
    ViUInt16 dataBits = 8;
    ViUInt16 parity = VI_ASRL_PAR_NONE;
    ViUInt16 stopBits = VI_ASRL_STOP_ONE;
    ViUInt16 flowControl = VI_ASRL_FLOW_NONE;
};

class CTransport
{
public:
    virtual ~CTransport() = default;

    // Writes all bytes unless the timeout ends first; `written` tells how many went out.
    virtual ViStatus Write(const unsigned char *data, std::size_t count, std::size_t &written, int timeoutMs) = 0;
    // Reads what is available, at least one byte, waiting at most timeoutMs
    // (negative: no limit). `end` is set when the chunk ends a message.
    virtual ViStatus ReadSome(unsigned char *buffer, std::size_t max, std::size_t &got, bool &end, int timeoutMs) = 0;
    // Discards pending input and output (device clear).
    virtual ViStatus Clear() = 0;
    virtual ViStatus ApplySerialSettings(const SSerialSettings &) { return VI_SUCCESS; }
    // A line feed always ends a message read from this transport (no END line to use).
    virtual bool LineFeedEndsMessage() const { return true; }
};
