// The minikernel loads, the enabling of a disabled module, the caldata update
// with its revision check, and the caldata erase of modules and heads.

#include "CVisaSession.h"

#include "CModuleImageContainer.h"
#include "CModuleSlot.h"
#include "CProductAdministrator.h"
#include "CUpdateReportHolder.h"
#include "CVisaConnection.h"
#include "CWaitClock.h"
#include "UsrException.h"

#include "CVisaLibrary.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char *kBdmPhrase = ". Loading of minikernel via BDM failed";
constexpr const char *kLoadQuery = "SPECIAL:PRIVATE:UPDATE:MODULE:INTTYPE? %d,%hu,%hu";
constexpr const char *kEraseLoadQuery = "SPEC:PRIVATE:UPD:MOD:INTType? %i,1,%i";
constexpr int kLoadWaitSteps = 100;
constexpr int kLoadWaitStepMs = 500;

enum EMinikernelFlag
{
    Flag8Bit,
    Flag16Bit,
    FlagQuendrel,
    FlagAttenuator,
    FlagFastPowermeter,
    FlagSwitch,
    FlagTarquell
};

// The flags each module type refuses before a firmware transfer.
std::vector<EMinikernelFlag> RefusedFlags(int moduleType)
{
    switch (moduleType) {
    case ModType_TLS:
        return {Flag8Bit, FlagQuendrel, FlagAttenuator, FlagFastPowermeter};
    case ModType_QD:
    case ModType_QD2:
        return {Flag16Bit, Flag8Bit, FlagAttenuator, FlagFastPowermeter};
    case ModType_ATT:
    case ModType_SW:
        return {Flag16Bit, Flag8Bit, FlagQuendrel, FlagFastPowermeter};
    case ModType_TQ:
        return {Flag16Bit, Flag8Bit, FlagFastPowermeter};
    case ModType_FPM:
        return {Flag16Bit, Flag8Bit, FlagQuendrel, FlagAttenuator};
    default:
        return {Flag16Bit, FlagQuendrel, FlagAttenuator, FlagFastPowermeter};
    }
}

} // namespace

int CVisaSession::InterfaceCode(int moduleType)
{
    switch (moduleType) {
    case ModType_TLS:
        return 1;
    case ModType_QD:
    case ModType_QD2:
        return 2;
    case ModType_ATT:
        return 3;
    case ModType_FPM:
        return 4;
    case ModType_SW:
        return 6;
    case ModType_TQ:
        return 7;
    default:
        return 0;
    }
}

void CVisaSession::SetMinikernelFlag(int code)
{
    m8BitMinikernelLoaded = code == 0;
    m16BitMinikernelLoaded = code == 1;
    mQuendrelMinikernelLoaded = code == 2;
    mAttenuatorMinikernelLoaded = code == 3;
    mFastPowermeterMinikernelLoaded = code == 4;
    mSwitchMinikernelLoaded = code == 6;
    mTarquellMinikernelLoaded = code == 7;
}

bool CVisaSession::AnyMinikernelLoaded() const
{
    return m8BitMinikernelLoaded || m16BitMinikernelLoaded || mQuendrelMinikernelLoaded ||
           mAttenuatorMinikernelLoaded || mFastPowermeterMinikernelLoaded;
}

void CVisaSession::LoadMinikernelViaBdm(char *command)
{
    if (GetConnectionType() == ConnType_Serial && std::strlen(command) + 1 < kCommandSize)
        std::strcat(command, "\n");
    if (const int status = SetTimeout(60000); status != 0)
        RaiseFailure(status, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
    if (const int status = WriteText(command, true); status != VI_SUCCESS)
        RaiseFailure(status, kBdmPhrase, kBdmPhrase, 3060, EErrorClass::Visa, __FILE__, __LINE__);
    CUpdateReportHolder *holder = CUpdateReportHolder::Instance();
    for (int step = 1; step <= kLoadWaitSteps; ++step) {
        CWaitClock::Instance().Wait(kLoadWaitStepMs);
        holder->SetProgress(step);
    }
    char reply[kReplySize];
    ViUInt32 got = 0;
    ViStatus status = VI_ERROR_TMO;
    for (int read = 0; read < kMaxTimedOutReads && status == VI_ERROR_TMO; ++read)
        status = Visa().viRead(mViSession, reinterpret_cast<ViByte *>(reply), kReplySize - 1, &got);
    if (status != VI_SUCCESS && status != VI_SUCCESS_TERM_CHAR && status != VI_SUCCESS_MAX_CNT)
        RaiseFailure(status, kBdmPhrase, kBdmPhrase, 3060, EErrorClass::Visa, __FILE__, __LINE__);
    reply[got < kReplySize ? got : kReplySize - 1] = '\0';
    char *end = nullptr;
    long value = std::strtol(reply, &end, 10);
    if (end == reply)
        value = -1;
    if (value != 0)
        KARVEL_RAISE(UsrVisaException, kBdmPhrase, 3060);
}

void CVisaSession::LoadMinikernel(int slot, CModuleImageContainer *image)
{
    if (AnyMinikernelLoaded())
        KARVEL_RAISE(UsrKarvException, "Try to load a minikernel, although a minikernel is already loaded.", 3070);
    const int code = InterfaceCode(image->GetModuleType());
    char command[kCommandSize];
    std::snprintf(command, sizeof command, kLoadQuery, slot, static_cast<unsigned short>(1),
                  static_cast<unsigned short>(code));
    LoadMinikernelViaBdm(command);
    SetMinikernelFlag(code);
}

void CVisaSession::LoadMinikernelForSlots(const std::vector<int> &slots, CModuleImageContainer *image)
{
    if (AnyMinikernelLoaded())
        KARVEL_RAISE(UsrKarvException, "Try to load a minikernel, although a minikernel is already loaded.", 3070);
    if (slots.empty())
        KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
    int code = 1;
    if (image->GetModuleType() == ModType_TLS) {
        for (int slot : slots)
            if (slot != 0)
                KARVEL_RAISE(UsrKarvException,
                             "There are other modules than TLS in the slots. Cannot start update. Remove other "
                             "modules and start update again.",
                             3052);
    } else {
        for (int slot : slots)
            if (slot == 0)
                KARVEL_RAISE(UsrKarvException,
                             "There is a (mini) TLS together with other modules in the slots. Cannot start update. "
                             "Remove TLS and start update again.",
                             3050);
        code = InterfaceCode(image->GetModuleType());
    }
    char command[kCommandSize];
    std::snprintf(command, sizeof command, kLoadQuery, slots.front(), static_cast<unsigned short>(1),
                  static_cast<unsigned short>(code));
    LoadMinikernelViaBdm(command);
    SetMinikernelFlag(code);
    CModuleSlot *record = FindSlot(slots.front());
    if (!record)
        KARVEL_RAISE(UsrDataException, kUnknownSlotText + std::to_string(slots.front()), 3320);
    if (record->mModuleType == ModType_Unknown)
        record->mModulePresent = true;
}

void CVisaSession::PrepareForcedSlot(int slot, int moduleType)
{
    if (!mForceMode)
        return;
    CModuleSlot *record = FindSlot(slot);
    if (!record)
        KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
    if (record->mModuleType != ModType_Unknown || record->mModulePresent)
        return;
    const int code = InterfaceCode(moduleType);
    char command[kCommandSize];
    std::snprintf(command, sizeof command, kLoadQuery, slot, static_cast<unsigned short>(1),
                  static_cast<unsigned short>(code));
    LoadMinikernelViaBdm(command);
    SetMinikernelFlag(code);
    record->mModulePresent = true;
}

void CVisaSession::CheckMinikernelForUpdate(int slot, CModuleImageContainer *image)
{
    const std::string slotText = " " + std::to_string(slot);
    const CModuleSlot *record = FindSlot(slot);
    if (!record)
        KARVEL_RAISE(UsrKarvException, "Empty slot selected. Slot Nr: " + slotText, 3110);
    if (record->mModuleType != image->GetModuleType())
        KARVEL_RAISE(UsrKarvException, "Module type is not identical to image type in slot: " + slotText, 3080);
    const bool flags[] = {m8BitMinikernelLoaded,       m16BitMinikernelLoaded,          mQuendrelMinikernelLoaded,
                          mAttenuatorMinikernelLoaded, mFastPowermeterMinikernelLoaded, mSwitchMinikernelLoaded,
                          mTarquellMinikernelLoaded};
    for (EMinikernelFlag refused : RefusedFlags(record->mModuleType))
        if (flags[refused])
            KARVEL_RAISE(UsrKarvException, "Module type and loaded minikernel incompatible in slot: " + slotText, 3062);
    if (!AnyMinikernelLoaded() && !mSwitchMinikernelLoaded && !mTarquellMinikernelLoaded)
        KARVEL_RAISE(UsrKarvException, "Cannot update module, because minikernel is not loaded" + slotText, 3072);
}

void CVisaSession::WriteCaldata(int slot, CModuleImageContainer *image)
{
    const std::string copy = image->GetContent();
    Report("Visa session " + SessionText() + ": Updating slot no " + std::to_string(slot) + " with caldata");
    TransferImage(slot, reinterpret_cast<const unsigned char *>(copy.data()), static_cast<unsigned int>(copy.size()),
                  image, true, false);
    Report("Success.");
}

void CVisaSession::UpdateSlotCaldata(int slot, CModuleImageContainer *image)
{
    CModuleSlot *record = FindSlot(slot);
    if (!record)
        KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
    if (record->mModuleType == ModType_Unknown) {
        if (!mForceMode)
            KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
        Report("Visa session " + SessionText() + ". Try to enable module no " + std::to_string(slot));
        char command[kCommandSize];
        std::snprintf(command, sizeof command, "SPEC:PRIVATE:UPDATE:ENABLING %hu,%hu,%hu\n",
                      static_cast<unsigned short>(slot), static_cast<unsigned short>(1),
                      static_cast<unsigned short>(slot == 0 ? 2 : 0));
        if (const int status = WriteText(command, false); status != VI_SUCCESS)
            RaiseFailure(status, "Cannot update caldata on module with valid caldata in slot:",
                         ". Enabling of a disabled module failed.", 3074, EErrorClass::Karv, __FILE__, __LINE__);
        if (const int status = SendCommand("*CLS\n"); status != 0)
            RaiseFailure(status, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
        char query[kCommandSize];
        char reply[kReplySize];
        std::snprintf(query, sizeof query, "SLOT%d:IDN?\n", slot);
        if (const int status = Query(query, reply); status != 0)
            RaiseFailure(status, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
        Report("Success.");
        WriteCaldata(slot, image);
        return;
    }
    if (!record->mChannelProductIds.empty()) {
        for (const auto &[head, productId] : record->mChannelProductIds)
            UpdateHeadCaldata(record, head, productId, image);
        return;
    }
    if (image->GetProductId() != record->mProductId)
        KARVEL_RAISE(UsrDataException, "Product Id's of module and image do not match", 3500);
    CheckCaldataRevision(slot, image);
    WriteCaldata(slot, image);
}

void CVisaSession::UpdateHeadCaldata(CModuleSlot *, int, std::string, CModuleImageContainer *) {}

void CVisaSession::CheckCaldataRevision(int slot, CModuleImageContainer *image)
{
    constexpr const char *kChkcText = "No product ID found in caldata of image file: ";
    char header[kCommandSize];
    const int headerLength = std::snprintf(header, sizeof header, "Special:PRIVATE:cald:slot%u:Flash:ChkC? #%d%d",
                                           static_cast<unsigned>(slot), 2, 20);
    std::string block(header, static_cast<std::size_t>(headerLength));
    std::string revisionHeader = image->GetContent().substr(0, 20);
    revisionHeader.resize(20, '\0'); // an image shorter than its header is sent padded with zeros
    block += revisionHeader;
    ViUInt32 written = 0;
    if (const ViStatus status = Visa().viWrite(mViSession, reinterpret_cast<const ViByte *>(block.data()),
                                               static_cast<ViUInt32>(block.size()), &written);
        status != VI_SUCCESS)
        RaiseFailure(status, kChkcText, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
    char reply[kReplySize];
    ReadNumberReply(kChkcText, 0, reply);
    int verdict = 0;
    char revision[36] = "";
    if (std::sscanf(reply, "%d,%35s", &verdict, revision) < 1) {
        std::string shown;
        for (const char *p = reply; *p && *p != '\n' && *p != '\r' && shown.size() < 64; ++p)
            shown += std::isprint(static_cast<unsigned char>(*p)) ? *p : '?';
        KARVEL_RAISE(UsrVisaException, "Invalid reply to the caldata revision check: \"" + shown + "\"", 0);
    }
    if (verdict == 0)
        KARVEL_RAISE(UsrKarvException,
                     std::string("Caldata revision of the image does not fit to the firmware revision. Firmware "
                                 "revision on module: ") +
                         revision,
                     3510);
}

void CVisaSession::EraseCaldata(const std::vector<std::pair<int, int>> &slotChannels, bool loadMinikernel,
                                int moduleType)
{
    if (slotChannels.empty())
        KARVEL_RAISE(UsrDataException, kEmptySlotListText, 3100);
    for (const auto &[slot, channel] : slotChannels) {
        std::string text = "Visa session " + SessionText() + ": Erasing caldata from slot: " + std::to_string(slot);
        if (channel != -1)
            text += ", channel no.: " + std::to_string(channel);
        Report(text);
        EraseSlotCaldata(slot, channel, loadMinikernel, moduleType);
        Report("Success.");
    }
    RebootMainframe();
}

void CVisaSession::EraseSlotCaldata(int slot, int channel, bool loadMinikernel, int moduleType)
{
    const CModuleSlot *record = FindSlot(slot);
    if (!record)
        KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
    int type = record->mModuleType;
    SetTimeout(120000);
    char command[kCommandSize];
    if (loadMinikernel) {
        type = moduleType;
        Report("Visa session " + SessionText() + " Loading minikernel...");
        std::snprintf(command, sizeof command, kEraseLoadQuery, slot, InterfaceCode(type));
        LoadMinikernelViaBdm(command);
    }
    if (type == ModType_Unknown)
        KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
    if (channel == -1) {
        const int first = CProductAdministrator::GetFirstSector(type, ModImageType_Caldata);
        const int last = CProductAdministrator::GetLastSector(type, ModImageType_Caldata);
        const int size = CProductAdministrator::GetMaxImageSize(type, ModImageType_Caldata);
        Report("Visa session " + SessionText() + ": Erasing caldata from slot: " + std::to_string(slot));
        std::snprintf(command, sizeof command, "special:private:firm:slot%u:flash:start %u,%hu,%hu,%hu\n",
                      static_cast<unsigned>(slot), static_cast<unsigned>(size), static_cast<unsigned short>(1),
                      static_cast<unsigned short>(first), static_cast<unsigned short>(last));
    } else {
        if (!record->mChannelProductIds.count(channel))
            KARVEL_RAISE(UsrDataException, "Invalid channel configuration (Probably a channel is empty).", 1030);
        const int first = CProductAdministrator::GetFirstSector(ModType_HEAD, ModImageType_Caldata);
        const int last = CProductAdministrator::GetLastSector(ModType_HEAD, ModImageType_Caldata);
        std::snprintf(command, sizeof command, "special:PRIVATE:cald:slot%u:HEAD%u:Flash:ERASE %hu,%hu,%hu\n",
                      static_cast<unsigned>(slot), static_cast<unsigned>(channel), static_cast<unsigned short>(0),
                      static_cast<unsigned short>(first), static_cast<unsigned short>(last));
    }
    if (const int status = SendCommand(command); status != 0)
        RaiseFailure(status, nullptr, ". Command to erase the caldata failed.", 3400, EErrorClass::Karv, __FILE__,
                     __LINE__);
    SetTimeout(60000);
}
