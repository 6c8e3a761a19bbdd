#pragma once
// The session's record of one slot of the mainframe.

#include <map>
#include <ostream>
#include <string>

class CModuleSlot
{
public:
    CModuleSlot(int slotNo, int moduleType, std::string productId, std::string firmwareRevision,
                std::map<int, std::string> channelProductIds);
    virtual ~CModuleSlot() = default;

    int mSlotNo = -1;
    int mModuleType;
    std::string mProductId;
    std::map<int, std::string> mChannelProductIds;
    bool mModulePresent = false;
    std::string mFirmwareRevision;
};

std::ostream &operator<<(std::ostream &os, const CModuleSlot &slot);
