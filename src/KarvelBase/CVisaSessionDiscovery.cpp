// Discovery: the mainframe's identity and the slot map with every module and head.

#include "CVisaSession.h"

#include "CModuleSlot.h"
#include "CProductAdministrator.h"
#include "CVisaConnection.h"
#include "UsrException.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char *kUnsupported = "Unsupported Module";
constexpr long kNotIdentified = -303;
constexpr long kHeadInterface = -307;
constexpr long kNoHead = -301;

} // namespace

void CVisaSession::IdentifyMainframe()
{
    char reply[kReplySize];
    if (const int status = Query("*IDN?\n", reply); status != 0)
        RaiseFailure(status, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);
    std::string model;
    if (!CProductAdministrator::ExtractProductId(reply, model))
        KARVEL_RAISE(UsrDataException, "Unknown mainframe type found." + model, 3040);
    const int type = CProductAdministrator::GetMainframeType(model);
    if (type == MFType_Unknown)
        KARVEL_RAISE(UsrDataException, "Unknown mainframe type found." + model, 3040);
    mMainframeType = type;
    mMainframeModel = model;
}

int CVisaSession::QueryOccupiedSlots(int occupied[kOccupancySize])
{
    const int first = CProductAdministrator::GetFirstSlot(mMainframeType);
    const int last = CProductAdministrator::GetLastSlot(mMainframeType);
    for (int slot = first; slot <= last && slot < kOccupancySize; ++slot) {
        char command[kCommandSize];
        char reply[kReplySize];
        std::snprintf(command, sizeof command, "slot%i:empty?\n", slot);
        if (Query(command, reply) != 0) {
            ClearError();
            occupied[slot] = 0;
            continue;
        }
        occupied[slot] = std::strtol(reply, nullptr, 10) == 0 ? 1 : 0;
    }
    return 0;
}

void CVisaSession::DiscoverSlots()
{
    int occupied[kOccupancySize] = {};
    QueryOccupiedSlots(occupied);
    ClearSlotMap();
    const int first = CProductAdministrator::GetFirstSlot(mMainframeType);
    const int last = CProductAdministrator::GetLastSlot(mMainframeType);
    for (int slot = first; slot <= last && slot < kOccupancySize; ++slot) {
        CModuleSlot *record = nullptr;
        if (occupied[slot]) {
            const std::string productId = QuerySlotProductId(slot);
            const std::string revision = QuerySlotFirmwareRevision(slot);
            const int type = CProductAdministrator::GetModuleTypeOfProduct(productId);
            std::map<int, std::string> heads;
            if (type == ModType_PM)
                ReadHeadProductIds(slot, heads);
            record = new CModuleSlot(slot, type, productId, revision, heads);
            record->mModulePresent = true;
        } else {
            record = new CModuleSlot(slot, ModType_Unknown, "735???", "", {});
            record->mModulePresent = false;
        }
        mSlotMap[slot] = record;
    }
}

// A query whose failure is told apart by the instrument's error number: 0 on
// success, otherwise the number (the error state is consumed into `text`).
long CVisaSession::QueryErrorNumber(const char *command, char *reply, std::string &text)
{
    const int status = Query(command, reply);
    if (status == 0)
        return 0;
    int isVisaError = 0;
    long number = 0;
    BuildVisaErrorText(status, text, isVisaError, number);
    return number ? number : status;
}

// "SLOT<n>:IDN?": the reply, or the instrument's error number.
long CVisaSession::QuerySlotIdentity(int slot, char *reply, std::string &text)
{
    char command[kCommandSize];
    std::snprintf(command, sizeof command, "SLOT%d:IDN?\n", slot);
    return QueryErrorNumber(command, reply, text);
}

std::string CVisaSession::QuerySlotProductId(int slot)
{
    char reply[kReplySize];
    std::string text;
    const long error = QuerySlotIdentity(slot, reply, text);
    if (error == kNotIdentified)
        return kUnsupported;
    if (error == kHeadInterface)
        return QueryHeadProductId(slot);
    if (error)
        throw UsrVisaException(__FILE__, __LINE__, text, 0);
    std::string productId;
    return CProductAdministrator::ExtractProductId(reply, productId) ? productId : kUnsupported;
}

std::string CVisaSession::QueryHeadProductId(int slot)
{
    char command[kCommandSize];
    char reply[kReplySize];
    std::string text;
    std::snprintf(command, sizeof command, "SLOT%d:head1:IDN?\n", slot);
    const long head1 = QueryErrorNumber(command, reply, text);
    if (head1 && head1 != kHeadInterface)
        return kUnsupported;
    std::snprintf(command, sizeof command, "SLOT%d:head2:IDN?\n", slot);
    const long head2 = QueryErrorNumber(command, reply, text);
    if (head2 == kNotIdentified)
        return "73577A";
    if (head2 == kHeadInterface)
        return "73514A";
    return kUnsupported;
}

std::string CVisaSession::QuerySlotFirmwareRevision(int slot)
{
    char reply[kReplySize];
    std::string text;
    const long error = QuerySlotIdentity(slot, reply, text);
    if (error == kNotIdentified)
        return kUnsupported;
    if (error == kHeadInterface)
        return "n/a";
    if (error)
        throw UsrVisaException(__FILE__, __LINE__, text, 0);
    const std::string answer = reply;
    std::size_t comma = std::string::npos;
    for (int i = 0; i < 3; ++i) {
        comma = answer.find(',', comma == std::string::npos ? 0 : comma + 1);
        if (comma == std::string::npos)
            return kUnsupported;
    }
    const std::size_t start = comma + 1;
    const std::size_t close = answer.find(')', start);
    return close == std::string::npos ? answer.substr(start) : answer.substr(start, close - start + 1);
}

void CVisaSession::ReadHeadProductIds(int slot, std::map<int, std::string> &heads)
{
    heads.clear();
    for (int head = 1; head <= 2; ++head) {
        char command[kCommandSize];
        char reply[kReplySize];
        std::string text;
        std::snprintf(command, sizeof command, "SLOT%d:HEAD%d:IDN?\n", slot, head);
        const long error = QueryErrorNumber(command, reply, text);
        if (error == kNoHead || error == kNotIdentified || error == kHeadInterface)
            continue;
        if (error)
            throw UsrVisaException(__FILE__, __LINE__, text, 0);
        std::string productId;
        if (!CProductAdministrator::ExtractProductId(reply, productId))
            productId.clear();
        heads[head] = productId;
    }
}

void CVisaSession::GetSlotList(std::vector<int> &slots)
{
    DiscoverSlots();
    slots.clear();
    for (const auto &[slot, record] : mSlotMap)
        if (mForceMode || record->mModuleType != ModType_Unknown)
            slots.push_back(slot);
}

int CVisaSession::GetSlotModuleType(int slot)
{
    const CModuleSlot *record = FindSlot(slot);
    if (!record || (record->mModuleType == ModType_Unknown && !mForceMode))
        KARVEL_RAISE(UsrDataException, kUnknownSlotText + std::to_string(slot), 3320);
    return record->mModuleType;
}

std::string CVisaSession::GetSlotProductId(int slot)
{
    return QuerySlotProductId(slot);
}

std::string CVisaSession::GetSlotFirmwareRevision(int slot)
{
    return QuerySlotFirmwareRevision(slot);
}

std::ostream &operator<<(std::ostream &os, const CVisaSession &session)
{
    static const char *const kKinds[] = {"8 Bit", "16 Bit", "Quendrel", "Attenuator", "Fast powermeter"};
    const bool flags[] = {session.m8BitMinikernelLoaded, session.m16BitMinikernelLoaded,
                          session.mQuendrelMinikernelLoaded, session.mAttenuatorMinikernelLoaded,
                          session.mFastPowermeterMinikernelLoaded};
    os << static_cast<unsigned long>(session.mViSession) << " " << session.mMainframeModel << " "
       << CProductAdministrator::MainframeTypeToText(session.mMainframeType) << " " << 0 << " "
       << ""
       << " " << (session.mForceMode ? 1 : 0);
    for (int i = 0; i < 5; ++i)
        os << " '" << kKinds[i] << (flags[i] ? " Minikernel loaded'" : " Minikernel NOT loaded'");
    if (session.mConnection)
        os << " '" << session.mConnection->mConnString << "'";
    else
        os << " 'NO connection'";
    os << "\nSlotMap in session: " << static_cast<unsigned long>(session.mViSession) << std::endl;
    for (const auto &[slot, record] : session.mSlotMap)
        os << " Slot " << slot << "\n" << *record << std::endl;
    return os;
}
