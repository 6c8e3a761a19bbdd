// The C entry points of libkarvelvisa.so. Only C types and status codes cross
// this boundary: no C++ exception leaves a function.

#include "CFormattedIO.h"
#include "CVisaRegistry.h"

#include <cstdarg>
#include <cstring>

#define KARVEL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char *kManufacturer = "Karvel bundled VISA library";
constexpr ViVersion kSpecVersion = 0x00500800;
constexpr ViVersion kImplVersion = 0x00010000;

void CopyDescriptor(ViChar desc[], const std::string &name)
{
    if (!desc)
        return;
    const std::size_t length = std::min<std::size_t>(name.size(), VI_FIND_BUFLEN - 1);
    std::memcpy(desc, name.data(), length);
    desc[length] = '\0';
}

ViStatus GetManagerAttribute(ViAttr attribute, void *value)
{
    switch (attribute) {
    case VI_ATTR_RSRC_MANF_NAME:
        std::strcpy(static_cast<char *>(value), kManufacturer);
        return VI_SUCCESS;
    case VI_ATTR_RSRC_SPEC_VERSION:
        *static_cast<ViVersion *>(value) = kSpecVersion;
        return VI_SUCCESS;
    case VI_ATTR_RSRC_IMPL_VERSION:
        *static_cast<ViVersion *>(value) = kImplVersion;
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus WriteFormatted(CInstrSession &session, ViConstString format, va_list *args)
{
    std::string text;
    if (const ViStatus status = CFormattedIO::Format(format, args, text); status != VI_SUCCESS)
        return status;
    std::size_t written = 0;
    return session.Write(reinterpret_cast<const unsigned char *>(text.data()), text.size(), written);
}

ViStatus ReadFormatted(CInstrSession &session, ViConstString format, va_list *args)
{
    std::string message;
    if (const ViStatus status = session.ReadMessage(message); status < 0)
        return status;
    return CFormattedIO::Scan(format, message, args);
}

template <typename F> ViStatus Guarded(F &&body)
{
    try {
        return body();
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

} // namespace

KARVEL_EXPORT ViStatus viOpenDefaultRM(ViPSession vi)
{
    return Guarded([&] {
        if (!vi)
            return VI_ERROR_USER_BUF;
        return CVisaRegistry::Instance().OpenDefaultRM(*vi);
    });
}

KARVEL_EXPORT ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[])
{
    return Guarded([&] {
        ViFindList list = 0;
        ViUInt32 count = 0;
        std::string first;
        const ViStatus status = CVisaRegistry::Instance().FindResources(sesn, expr ? expr : "", list, count, first);
        if (vi)
            *vi = list;
        if (retCnt)
            *retCnt = count;
        CopyDescriptor(desc, first);
        return status;
    });
}

KARVEL_EXPORT ViStatus viFindNext(ViFindList vi, ViChar desc[])
{
    return Guarded([&] {
        std::string next;
        const ViStatus status = CVisaRegistry::Instance().FindNext(vi, next);
        CopyDescriptor(desc, next);
        return status;
    });
}

KARVEL_EXPORT ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode, ViUInt32 timeout, ViPSession vi)
{
    return Guarded([&] {
        if (!vi || !name)
            return VI_ERROR_USER_BUF;
        *vi = 0;
        return CVisaRegistry::Instance().Open(sesn, name, timeout, *vi);
    });
}

KARVEL_EXPORT ViStatus viClose(ViObject vi)
{
    return Guarded([&] { return CVisaRegistry::Instance().Close(vi); });
}

KARVEL_EXPORT ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue)
{
    return Guarded([&] {
        if (!attrValue)
            return VI_ERROR_USER_BUF;
        if (CVisaRegistry::Instance().IsResourceManager(vi))
            return GetManagerAttribute(attrName, attrValue);
        auto session = CVisaRegistry::Instance().Session(vi);
        return session ? session->GetAttribute(attrName, attrValue) : VI_ERROR_INV_OBJECT;
    });
}

KARVEL_EXPORT ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue)
{
    return Guarded([&] {
        auto session = CVisaRegistry::Instance().Session(vi);
        return session ? session->SetAttribute(attrName, attrValue) : VI_ERROR_INV_OBJECT;
    });
}

KARVEL_EXPORT ViStatus viClear(ViSession vi)
{
    return Guarded([&] {
        auto session = CVisaRegistry::Instance().Session(vi);
        return session ? session->Clear() : VI_ERROR_INV_OBJECT;
    });
}

KARVEL_EXPORT ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    return Guarded([&] {
        if (retCnt)
            *retCnt = 0;
        auto session = CVisaRegistry::Instance().Session(vi);
        if (!session)
            return VI_ERROR_INV_OBJECT;
        std::size_t written = 0;
        const ViStatus status = session->Write(buf, cnt, written);
        if (retCnt)
            *retCnt = static_cast<ViUInt32>(written);
        return status;
    });
}

KARVEL_EXPORT ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    return Guarded([&] {
        if (retCnt)
            *retCnt = 0;
        auto session = CVisaRegistry::Instance().Session(vi);
        if (!session)
            return VI_ERROR_INV_OBJECT;
        std::size_t got = 0;
        const ViStatus status = session->Read(buf, cnt, got);
        if (retCnt)
            *retCnt = static_cast<ViUInt32>(got);
        return status;
    });
}

KARVEL_EXPORT ViStatus viPrintf(ViSession vi, ViConstString writeFmt, ...)
{
    va_list args;
    va_start(args, writeFmt);
    const ViStatus status = Guarded([&] {
        auto session = CVisaRegistry::Instance().Session(vi);
        return session ? WriteFormatted(*session, writeFmt, &args) : VI_ERROR_INV_OBJECT;
    });
    va_end(args);
    return status;
}

KARVEL_EXPORT ViStatus viScanf(ViSession vi, ViConstString readFmt, ...)
{
    va_list args;
    va_start(args, readFmt);
    const ViStatus status = Guarded([&] {
        auto session = CVisaRegistry::Instance().Session(vi);
        return session ? ReadFormatted(*session, readFmt, &args) : VI_ERROR_INV_OBJECT;
    });
    va_end(args);
    return status;
}

KARVEL_EXPORT ViStatus viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...)
{
    va_list args;
    va_start(args, readFmt);
    const ViStatus status = Guarded([&] {
        auto session = CVisaRegistry::Instance().Session(vi);
        if (!session)
            return VI_ERROR_INV_OBJECT;
        const ViStatus written = WriteFormatted(*session, writeFmt, &args);
        return written < 0 ? written : ReadFormatted(*session, readFmt, &args);
    });
    va_end(args);
    return status;
}

// Not a VISA function: the malformed lines of the resource tables read so far,
// one per line, for diagnostics and tests. Returns the full length of the text.
KARVEL_EXPORT ViUInt32 kvGetConfigDiagnostics(ViChar *buffer, ViUInt32 size)
{
    std::string text;
    for (const auto &line : CVisaRegistry::Instance().Diagnostics())
        text += line + "\n";
    if (buffer && size) {
        const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
    }
    return static_cast<ViUInt32>(text.size());
}
