// Update sequencing: the slot-list checks and the firmware or caldata update
// of the listed slots in order, ending with the reboot of the mainframe.

#include "CVisaSession.h"

#include "CModuleImageContainer.h"
#include "CModuleSlot.h"
#include "CProductAdministrator.h"
#include "UsrException.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

} // namespace

void CVisaSession::CheckSlotListForUpdate(const std::vector<int> &slots, CModuleImageContainer *image)
{
    if (slots.empty())
        KARVEL_RAISE(UsrDataException, kEmptySlotListText, 3100);
    DiscoverSlots();
    if (mForceMode)
        CheckSlotRange(slots);
    else
        CheckSlotTypes(slots, image);
}

void CVisaSession::CheckSlotTypes(const std::vector<int> &slots, CModuleImageContainer *image)
{
    for (int slot : slots) {
        const CModuleSlot *record = FindSlot(slot);
        if (!record || record->mModuleType == ModType_Unknown)
            KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
        if (record->mModuleType != image->GetModuleType())
            KARVEL_RAISE(
                UsrKarvException,
                "Module type is not identical to image type in slot: " + std::string(" ") + std::to_string(slot), 3080);
    }
}

void CVisaSession::CheckSlotRange(const std::vector<int> &slots)
{
    const int first = CProductAdministrator::GetFirstSlot(mMainframeType);
    const int last = CProductAdministrator::GetLastSlot(mMainframeType);
    for (int slot : slots)
        if (slot < first || slot > last)
            KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
    const bool hasZero = std::find(slots.begin(), slots.end(), 0) != slots.end();
    const bool hasOther = std::any_of(slots.begin(), slots.end(), [](int slot) { return slot != 0; });
    if (hasZero && hasOther)
        KARVEL_RAISE(UsrDataException, kInvalidSlotText, 1020);
}

void CVisaSession::StartUpdate(const std::vector<int> &slots, CModuleImageContainer *image)
{
    if (slots.empty())
        KARVEL_RAISE(UsrDataException, kEmptySlotListText, 3100);
    DiscoverSlots();
    if (image->GetImageType() == ModImageType_Firmware) {
        if (mForceMode)
            CheckSlotRange(slots);
        else
            CheckSlotTypes(slots, image);
        Report("Visa session " + SessionText() + " Loading minikernel...");
        if (mForceMode)
            LoadMinikernelForSlots(slots, image);
        else
            LoadMinikernel(slots.front(), image);
        Report("Success.");
    }
    for (int slot : slots) {
        if (image->GetImageType() == ModImageType_Firmware) {
            Report("Visa session " + SessionText() + ": Updating slot no " + std::to_string(slot) + " with firmware");
            UpdateSlotFirmware(slot, image);
            Report("Success.");
        } else if (image->GetImageType() == ModImageType_Caldata) {
            UpdateSlotCaldata(slot, image);
        } else {
            KARVEL_RAISE(UsrDataException, "Invalid module image type found.", 3010);
        }
    }
    RebootMainframe();
}

void CVisaSession::UpdateSlotFirmware(int slot, CModuleImageContainer *image)
{
    if (mForceMode)
        PrepareForcedSlot(slot, image->GetModuleType());
    else
        CheckMinikernelForUpdate(slot, image);
    // The loader header: the number 8 twice, each a 32-bit little-endian integer.
    static const unsigned char kPrefix[8] = {8, 0, 0, 0, 8, 0, 0, 0};
    std::vector<unsigned char> data(image->GetContentLength() + sizeof kPrefix);
    std::memcpy(data.data(), kPrefix, sizeof kPrefix);
    std::memcpy(data.data() + sizeof kPrefix, image->GetContentBytes(), image->GetContentLength());
    TransferImage(slot, data.data(), static_cast<unsigned int>(data.size()), image, true, false);
}
