#pragma once
// One instrument session of the bundled VISA library: a transport, the
// session's attributes, and message-level reads above the byte level.

#include "CResourceTable.h"
#include "CTransport.h"

#include <memory>
#include <string>

class CInstrSession
{
public:
    CInstrSession(const SResource &resource, std::unique_ptr<CTransport> transport);

    ViStatus GetAttribute(ViAttr attribute, void *value) const;
    ViStatus SetAttribute(ViAttr attribute, ViAttrState value);

    ViStatus Write(const unsigned char *data, std::size_t count, std::size_t &written);
    // Reads up to `max` bytes of one message: stops at the end of the message,
    // at the termination character, or when `max` bytes are read.
    ViStatus Read(unsigned char *buffer, std::size_t max, std::size_t &got);
    // Reads one whole message (kept up to kMaxMessage bytes; the rest is discarded).
    ViStatus ReadMessage(std::string &message);
    ViStatus Clear();

    static constexpr std::size_t kMaxMessage = 1 << 20;

private:
    int TimeoutMs() const;
    bool StopsAtTermChar() const;
    bool TakePending(unsigned char *buffer, std::size_t max, std::size_t &got, ViStatus &status);

    SResource mResource;
    std::unique_ptr<CTransport> mTransport;
    std::string mPending;                   // received, not yet delivered
    std::size_t mEndAt = std::string::npos; // END position in mPending, if any
    ViUInt32 mTimeoutMs = 2000;
    ViUInt8 mTermChar = '\n';
    ViBoolean mTermCharEnabled = VI_FALSE;
    ViUInt16 mEndIn = VI_ASRL_END_TERMCHAR;
    ViUInt16 mEndOut = VI_ASRL_END_NONE;
    ViUInt16 mIoProtocol = 1;
    ViUInt16 mReadBufferMode = VI_FLUSH_ON_ACCESS;
    ViUInt16 mWriteBufferMode = VI_FLUSH_ON_ACCESS;
    SSerialSettings mSerial;
};
