#pragma once
// What a 735x mainframe knows about itself and the modules it carries: slot
// ranges of the models, the flash areas of every module kind, and the
// minikernel interface code each kind needs. This is the instrument's own
// knowledge; it shares nothing with the update tool.

#include <optional>
#include <string>

namespace sim {

struct SFlashArea
{
    int firstSector;
    int lastSector;
    int maxBytes; // largest image the area holds
};

struct SModuleKind
{
    const char *name;
    std::optional<SFlashArea> firmware;
    std::optional<SFlashArea> caldata;
    int interfaceCode;    // the minikernel the module needs before its firmware is written
    const char *stampTag; // what follows "@(#)Image Stamp: " in its firmware; null when it has none
};

struct SMainframeModel
{
    const char *model;
    int firstSlot;
    int lastSlot;
};

class CSimCatalog
{
public:
    // Null when the kind or model is unknown.
    static const SModuleKind *Kind(const std::string &name);
    static const SMainframeModel *Mainframe(const std::string &model);
    // The firmware area also takes the 8-byte loader header in front of the image.
    static constexpr int kFirmwareHeaderBytes = 8;
    static constexpr const char *kStampPrefix = "@(#)Image Stamp: ";
};

} // namespace sim
