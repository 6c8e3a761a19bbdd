#include "CVisaSession.h"

#include "CModuleSlot.h"
#include "CProductAdministrator.h"
#include "CUpdateReportHolder.h"
#include "CVisaConnection.h"
#include "CWaitClock.h"
#include "UsrException.h"

#include "CVisaLibrary.h"
#include "SetSerialParameters.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kOpenFailed = "Error while opening VISA connection";
constexpr const char *kSerialFailed = "Error while setting serial VISA connection parameters";
constexpr const char *kAccessFailed = "VISA access failed";
constexpr const char *kTimeoutFailed = "Failed to set timeout";
constexpr const char *kFlashWriteEnd = "Failed to determine end of flash write";
constexpr const char *kClearStatus = "*CLS\n";
constexpr const char *kErrorQuery = "SYST:ERR?\n";
constexpr const char *kOperationComplete = "*OPC?\n";
constexpr const char *kReboot = "SPECIAL:REBOOT\n";
constexpr int kClearWaitMs = 1000;

} // namespace

CVisaSession::CVisaSession(CVisaConnection *connection) : mMainframeType(MFType_None), mConnection(connection) {}

CVisaSession::~CVisaSession()
{
    if (mViSession != kNotOpen) {
        Visa().viClose(mViSession);
        Visa().viClose(mDefaultRM);
        mViSession = kNotOpen;
    }
    if (mConnection && mConnection->GetSession() == this)
        mConnection->ClearSession();
    mConnection = nullptr;
    ClearSlotMap();
}

void CVisaSession::ClearSlotMap()
{
    for (auto &entry : mSlotMap)
        delete entry.second;
    mSlotMap.clear();
}

void CVisaSession::StoreError(long error, const char *text)
{
    mLastError = error;
    std::snprintf(mLastErrorText, sizeof mLastErrorText, "%s", text);
}

void CVisaSession::ClearError()
{
    mLastError = 0;
    mLastErrorText[0] = '\0';
}

ViSession CVisaSession::Open(int baudrate)
{
    mBaudrate = baudrate;
    if (const int status = OpenVisaSession(mConnection->mConnString); status != 0)
        RaiseFailure(status, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
    IdentifyMainframe();
    DiscoverSlots();
    if (const int status = SetTimeout(60000); status != 0)
        RaiseFailure(status, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
    mConnection->SetSession(this);
    return mViSession;
}

int CVisaSession::OpenVisaSession(const char *resource)
{
    ViSession rm = 0;
    ViStatus status = Visa().viOpenDefaultRM(&rm);
    if (status < VI_SUCCESS) {
        StoreError(status, kOpenFailed);
        return status;
    }
    mDefaultRM = rm;
    ViSession session = 0;
    status = Visa().viOpen(mDefaultRM, resource, 0, 0, &session);
    if (status < VI_SUCCESS) {
        StoreError(status, kOpenFailed);
        Visa().viClose(mDefaultRM);
        mDefaultRM = 0;
        return status;
    }
    mViSession = session;
    // Every later failure closes what was opened and names its step.
    const auto fail = [this](int failed, const char *text) {
        StoreError(failed, text);
        CloseVisaSession();
        return failed;
    };
    if ((status = SetTimeout(250)) < VI_SUCCESS)
        return fail(status, kOpenFailed);
    if (GetConnectionType() == ConnType_Serial) {
        if ((status = SetSerialParameters(mViSession, mBaudrate)) < VI_SUCCESS)
            return fail(status, kSerialFailed);
        SetBaudrate(mBaudrate);
    }
    ViUInt16 interfaceType = 0;
    if ((status = Visa().viGetAttribute(mViSession, VI_ATTR_INTF_TYPE, &interfaceType)) < VI_SUCCESS)
        return fail(status, kOpenFailed);
    Visa().viClear(mViSession);
    CWaitClock::Instance().Wait(kClearWaitMs);
    if ((status = SendCommand(kClearStatus)) < VI_SUCCESS)
        return fail(status, kOpenFailed);
    if ((status = SetTimeout(60000)) < VI_SUCCESS)
        return fail(status, kOpenFailed);
    ClearError();
    return 0;
}

void CVisaSession::CloseVisaSession()
{
    Visa().viClose(mViSession);
    Visa().viClose(mDefaultRM);
    // "Not open" rather than 0, so that the destructor closes nothing twice.
    mViSession = kNotOpen;
    mDefaultRM = 0;
}

int CVisaSession::SetTimeout(int milliseconds)
{
    const ViStatus status =
        Visa().viSetAttribute(mViSession, VI_ATTR_TMO_VALUE, static_cast<ViAttrState>(milliseconds));
    if (status < VI_SUCCESS)
        StoreError(status, kTimeoutFailed);
    return status;
}

// The instrument's error queue after a command: 0, a negative VISA status,
// or VI_ERROR_SYSTEM_ERROR with the instrument's error number in mLastError.
int CVisaSession::ReadErrorQueue()
{
    long number = LONG_MIN;
    char text[kErrorTextSize] = "";
    const ViStatus status = Visa().viQueryf(mViSession, kErrorQuery, "%ld,%255t", &number, text);
    if (status < VI_SUCCESS) {
        StoreError(status, kAccessFailed);
        return status;
    }
    if (number == LONG_MIN) {
        // A reply without an error number cannot confirm that the command worked.
        StoreError(VI_ERROR_IO, (std::string("Invalid reply to SYST:ERR?: ") + text).c_str());
        return VI_ERROR_IO;
    }
    if (number != 0) {
        StoreError(number, text);
        return VI_ERROR_SYSTEM_ERROR;
    }
    return 0;
}

int CVisaSession::SendCommand(const char *command)
{
    const ViStatus status = Visa().viPrintf(mViSession, command);
    if (status < VI_SUCCESS) {
        StoreError(status, kAccessFailed);
        return status;
    }
    if (std::strcmp(command, kClearStatus) == 0)
        CWaitClock::Instance().Wait(kClearWaitMs);
    return ReadErrorQueue();
}

int CVisaSession::Query(const char *command, char *reply)
{
    reply[0] = '\0';
    const ViStatus status = Visa().viQueryf(mViSession, command, "%1023t", reply);
    if (status < VI_SUCCESS) {
        StoreError(status, kAccessFailed);
        return status;
    }
    return ReadErrorQueue();
}

int CVisaSession::BuildVisaErrorText(int status, std::string &text, int &isVisaError, long &number)
{
    if (status >= 0)
        return status;
    number = mLastError;
    isVisaError = 1;
    char hex[16];
    // The error number as a 32-bit value, so that -113 reads ffffff8f.
    std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(static_cast<std::uint32_t>(mLastError)));
    text = std::string("A visa driver error occured. Error number: ") + hex +
           ". Visa driver error text: " + mLastErrorText;
    ClearError();
    return status;
}

void CVisaSession::RaiseFailure(int status, const char *storedText, const char *phrase, int minor,
                                EErrorClass errorClass, const char *file, int line)
{
    if (storedText)
        StoreError(status, storedText);
    std::string text;
    int isVisaError = 0;
    long number = 0;
    BuildVisaErrorText(status, text, isVisaError, number);
    if (status >= 0)
        ClearError(); // a completion code leaves nothing behind for the next exchange
    text += phrase;
    if (errorClass == EErrorClass::Karv)
        throw UsrKarvException(file, line, text, minor);
    throw UsrVisaException(file, line, text, minor);
}

int CVisaSession::WriteText(const char *text, bool withZero)
{
    ViUInt32 written = 0;
    const auto length = static_cast<ViUInt32>(std::strlen(text) + (withZero ? 1 : 0));
    return Visa().viWrite(mViSession, reinterpret_cast<const ViByte *>(text), length, &written);
}

int CVisaSession::WaitForFlashWriteEnd()
{
    if (const int status = WriteText(kOperationComplete, false); status != VI_SUCCESS)
        RaiseFailure(status, kFlashWriteEnd, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
    char reply[kReplySize];
    ReadNumberReply(kFlashWriteEnd, 0, reply);
    char *end = nullptr;
    const long value = std::strtol(reply, &end, 10);
    return end != reply && value == 1 ? 1 : 0;
}

// Reads one reply, repeating reads that time out up to kMaxTimedOutReads in
// all; a dead instrument therefore ends in an error instead of a hang.
void CVisaSession::ReadNumberReply(const char *storedText, int minor, char *reply)
{
    ViUInt32 got = 0;
    ViStatus status = VI_ERROR_TMO;
    for (int read = 0; read < kMaxTimedOutReads && status == VI_ERROR_TMO; ++read)
        status = Visa().viRead(mViSession, reinterpret_cast<ViByte *>(reply), kReplySize - 1, &got);
    if (status != VI_SUCCESS)
        RaiseFailure(status, storedText, "", minor, EErrorClass::Visa, __FILE__, __LINE__);
    reply[got < kReplySize ? got : kReplySize - 1] = '\0';
}

void CVisaSession::RebootMainframe()
{
    if (const int status = SetTimeout(500); status != 0)
        RaiseFailure(status, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
    ViStatus status = Visa().viPrintf(mViSession, kReboot);
    for (int write = 1; write < 3 && status != VI_SUCCESS; ++write)
        status = Visa().viPrintf(mViSession, kReboot);
    if (const int timeout = SetTimeout(60000); timeout != 0)
        RaiseFailure(timeout, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
}

void CVisaSession::SetBaudrate(int baudrate)
{
    mConnection->SetConnectionBaudrate(baudrate);
    mBaudrate = baudrate;
}

int CVisaSession::GetConnectionType() const
{
    return mConnection->GetConnectionType();
}

int CVisaSession::GetConnectionGPIBAddress()
{
    return mConnection->GetConnectionGPIBAddress(mViSession);
}

void CVisaSession::Report(const std::string &text) const
{
    CUpdateReportHolder::Instance()->AddReportItem(text, RepType_Info);
}

std::string CVisaSession::SessionText() const
{
    return std::to_string(static_cast<unsigned long>(mViSession));
}

CModuleSlot *CVisaSession::FindSlot(int slot) const
{
    auto found = mSlotMap.find(slot);
    return found == mSlotMap.end() ? nullptr : found->second;
}
