#include "CInstrSession.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <strings.h>

namespace {

enum class EInterface
{
    Gpib,
    Serial,
    Tcpip,
    Other
};

EInterface InterfaceOf(const std::string &name)
{
    if (strncasecmp(name.c_str(), "GPIB", 4) == 0)
        return EInterface::Gpib;
    if (strncasecmp(name.c_str(), "ASRL", 4) == 0)
        return EInterface::Serial;
    if (strncasecmp(name.c_str(), "TCPIP", 5) == 0)
        return EInterface::Tcpip;
    return EInterface::Other;
}

// The board or port number in the resource string: 1 for ASRL1::INSTR, 0 for GPIB0::22::INSTR.
std::string BoardOf(const std::string &name, std::size_t prefix)
{
    std::size_t end = prefix;
    while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end])))
        ++end;
    return end > prefix ? name.substr(prefix, end - prefix) : "0";
}

std::string TargetText(const SResource &resource)
{
    switch (resource.kind) {
    case SResource::EKind::Serial:
        return resource.device;
    case SResource::EKind::Tcp:
        return "tcp " + resource.host + ":" + resource.port;
    case SResource::EKind::Sim:
        return "simulated " + resource.scenario;
    }
    return "";
}

} // namespace

CInstrSession::CInstrSession(const SResource &resource, std::unique_ptr<CTransport> transport)
    : mResource(resource), mTransport(std::move(transport))
{
}

int CInstrSession::TimeoutMs() const
{
    return mTimeoutMs == VI_TMO_INFINITE ? -1 : static_cast<int>(std::min<ViUInt32>(mTimeoutMs, 0x7fffffff));
}

ViStatus CInstrSession::GetAttribute(ViAttr attribute, void *value) const
{
    if (!value)
        return VI_ERROR_USER_BUF;
    const EInterface kind = InterfaceOf(mResource.name);
    switch (attribute) {
    case VI_ATTR_TMO_VALUE:
        *static_cast<ViUInt32 *>(value) = mTimeoutMs;
        return VI_SUCCESS;
    case VI_ATTR_INTF_TYPE:
        *static_cast<ViUInt16 *>(value) = kind == EInterface::Gpib     ? VI_INTF_GPIB
                                          : kind == EInterface::Serial ? VI_INTF_ASRL
                                                                       : VI_INTF_TCPIP;
        return VI_SUCCESS;
    case VI_ATTR_INTF_INST_NAME: {
        std::string name = kind == EInterface::Gpib     ? "GPIB" + BoardOf(mResource.name, 4)
                           : kind == EInterface::Serial ? "COM" + BoardOf(mResource.name, 4)
                                                        : "TCPIP" + BoardOf(mResource.name, 5);
        name += " (" + TargetText(mResource) + ")";
        name = name.substr(0, 255);
        std::memcpy(value, name.c_str(), name.size() + 1);
        return VI_SUCCESS;
    }
    case VI_ATTR_TERMCHAR:
        *static_cast<ViUInt8 *>(value) = mTermChar;
        return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN:
        *static_cast<ViBoolean *>(value) = mTermCharEnabled;
        return VI_SUCCESS;
    case VI_ATTR_IO_PROT:
        *static_cast<ViUInt16 *>(value) = mIoProtocol;
        return VI_SUCCESS;
    case VI_ATTR_RD_BUF_OPER_MODE:
        *static_cast<ViUInt16 *>(value) = mReadBufferMode;
        return VI_SUCCESS;
    case VI_ATTR_WR_BUF_OPER_MODE:
        *static_cast<ViUInt16 *>(value) = mWriteBufferMode;
        return VI_SUCCESS;
    default:
        break;
    }
    if (kind != EInterface::Serial)
        return VI_ERROR_NSUP_ATTR;
    switch (attribute) {
    case VI_ATTR_ASRL_BAUD:
        *static_cast<ViUInt32 *>(value) = mSerial.baud;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_DATA_BITS:
        *static_cast<ViUInt16 *>(value) = mSerial.dataBits;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_PARITY:
        *static_cast<ViUInt16 *>(value) = mSerial.parity;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_STOP_BITS:
        *static_cast<ViUInt16 *>(value) = mSerial.stopBits;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_FLOW_CNTRL:
        *static_cast<ViUInt16 *>(value) = mSerial.flowControl;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_END_IN:
        *static_cast<ViUInt16 *>(value) = mEndIn;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_END_OUT:
        *static_cast<ViUInt16 *>(value) = mEndOut;
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus CInstrSession::SetAttribute(ViAttr attribute, ViAttrState value)
{
    const bool serial = InterfaceOf(mResource.name) == EInterface::Serial;
    SSerialSettings settings = mSerial;
    switch (attribute) {
    case VI_ATTR_TMO_VALUE:
        mTimeoutMs = static_cast<ViUInt32>(value);
        return VI_SUCCESS;
    case VI_ATTR_TERMCHAR:
        mTermChar = static_cast<ViUInt8>(value);
        return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN:
        mTermCharEnabled = value ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_IO_PROT:
        mIoProtocol = static_cast<ViUInt16>(value);
        return VI_SUCCESS;
    case VI_ATTR_RD_BUF_OPER_MODE:
        mReadBufferMode = static_cast<ViUInt16>(value);
        return VI_SUCCESS;
    case VI_ATTR_WR_BUF_OPER_MODE:
        mWriteBufferMode = static_cast<ViUInt16>(value);
        return VI_SUCCESS;
    case VI_ATTR_ASRL_END_IN:
        if (!serial)
            return VI_ERROR_NSUP_ATTR;
        mEndIn = static_cast<ViUInt16>(value);
        return VI_SUCCESS;
    case VI_ATTR_ASRL_END_OUT:
        if (!serial)
            return VI_ERROR_NSUP_ATTR;
        mEndOut = static_cast<ViUInt16>(value);
        return VI_SUCCESS;
    case VI_ATTR_ASRL_BAUD:
        settings.baud = static_cast<ViUInt32>(value);
        break;
    case VI_ATTR_ASRL_DATA_BITS:
        settings.dataBits = static_cast<ViUInt16>(value);
        break;
    case VI_ATTR_ASRL_PARITY:
        settings.parity = static_cast<ViUInt16>(value);
        break;
    case VI_ATTR_ASRL_STOP_BITS:
        settings.stopBits = static_cast<ViUInt16>(value);
        break;
    case VI_ATTR_ASRL_FLOW_CNTRL:
        settings.flowControl = static_cast<ViUInt16>(value);
        break;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
    if (!serial)
        return VI_ERROR_NSUP_ATTR;
    const ViStatus status = mTransport->ApplySerialSettings(settings);
    if (status == VI_SUCCESS)
        mSerial = settings;
    return status;
}

ViStatus CInstrSession::Write(const unsigned char *data, std::size_t count, std::size_t &written)
{
    return mTransport->Write(data, count, written, TimeoutMs());
}

bool CInstrSession::StopsAtTermChar() const
{
    if (mTermCharEnabled)
        return true;
    if (InterfaceOf(mResource.name) == EInterface::Serial)
        return mEndIn == VI_ASRL_END_TERMCHAR;
    return mTransport->LineFeedEndsMessage() && mTermChar == '\n';
}

// Delivers a complete piece from the pending bytes, if there is one.
bool CInstrSession::TakePending(unsigned char *buffer, std::size_t max, std::size_t &got, ViStatus &status)
{
    std::size_t stop = std::string::npos;
    status = VI_SUCCESS;
    if (StopsAtTermChar()) {
        const std::size_t term = mPending.find(static_cast<char>(mTermChar));
        if (term != std::string::npos) {
            stop = term + 1;
            // A read that ends at the termination character acting as END
            // (serial END_IN, or a line feed on a line-oriented transport) is a
            // complete message; VI_SUCCESS_TERM_CHAR only when TERMCHAR_EN asked for it.
            status = mTermCharEnabled ? VI_SUCCESS_TERM_CHAR : VI_SUCCESS;
        }
    }
    if (mEndAt != std::string::npos && (stop == std::string::npos || mEndAt < stop)) {
        stop = mEndAt;
        status = VI_SUCCESS;
    }
    if (stop == std::string::npos || stop > max) {
        if (mPending.size() < max)
            return false;
        stop = max;
        status = VI_SUCCESS_MAX_CNT;
    }
    std::memcpy(buffer, mPending.data(), stop);
    mPending.erase(0, stop);
    if (mEndAt != std::string::npos)
        mEndAt = mEndAt > stop ? mEndAt - stop : std::string::npos;
    if (status == VI_SUCCESS_MAX_CNT && mEndAt == 0) {
        mEndAt = std::string::npos; // the buffer filled exactly at the end of the message
        status = VI_SUCCESS;
    }
    got = stop;
    return true;
}

ViStatus CInstrSession::Read(unsigned char *buffer, std::size_t max, std::size_t &got)
{
    got = 0;
    if (max == 0)
        return VI_SUCCESS_MAX_CNT;
    const int timeout = TimeoutMs();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout < 0 ? 0 : timeout);
    unsigned char chunk[4096];
    for (;;) {
        ViStatus status;
        if (TakePending(buffer, max, got, status))
            return status;
        int left = -1;
        if (timeout >= 0) {
            const auto remaining =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            left = remaining.count() > 0 ? static_cast<int>(remaining.count()) : 0;
        }
        std::size_t received = 0;
        bool end = false;
        status = mTransport->ReadSome(chunk, sizeof chunk, received, end, left);
        if (status < 0)
            return status;
        mPending.append(reinterpret_cast<const char *>(chunk), received);
        if (end)
            mEndAt = mPending.size();
    }
}

ViStatus CInstrSession::ReadMessage(std::string &message)
{
    message.clear();
    unsigned char buffer[4096];
    for (;;) {
        std::size_t got = 0;
        const ViStatus status = Read(buffer, sizeof buffer, got);
        if (status < 0)
            return status;
        if (message.size() < kMaxMessage)
            message.append(reinterpret_cast<const char *>(buffer), std::min(got, kMaxMessage - message.size()));
        if (status != VI_SUCCESS_MAX_CNT)
            return VI_SUCCESS;
    }
}

ViStatus CInstrSession::Clear()
{
    mPending.clear();
    mEndAt = std::string::npos;
    return mTransport->Clear();
}
