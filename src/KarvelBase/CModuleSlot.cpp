#include "CModuleSlot.h"

#include "CProductAdministrator.h"

CModuleSlot::CModuleSlot(int slotNo, int moduleType, std::string productId, std::string firmwareRevision,
                         std::map<int, std::string> channelProductIds)
    : mSlotNo(slotNo), mModuleType(moduleType), mProductId(std::move(productId)),
      mChannelProductIds(std::move(channelProductIds)), mFirmwareRevision(std::move(firmwareRevision))
{
}

std::ostream &operator<<(std::ostream &os, const CModuleSlot &slot)
{
    os << slot.mSlotNo << " " << CProductAdministrator::ModuleTypeToText(slot.mModuleType) << " " << slot.mProductId
       << " " << slot.mFirmwareRevision << " ChannelProductIDList:";
    for (const auto &[head, productId] : slot.mChannelProductIds)
        os << " " << head << ":" << productId;
    return os;
}
