#pragma once
// The fixed knowledge of the hardware: module, image and mainframe types, the
// flash layout of each (module type, image type) pair, the known products and
// mainframes, and the extraction of product identifiers from *IDN? replies.

#include <string>
#include <vector>

enum EmoduleType : int
{
    ModType_FLS = 1,
    ModType_TLS = 2,
    ModType_QD = 3,
    ModType_QD2 = 4,
    ModType_PM = 5,
    ModType_FPM = 6,
    ModType_HEAD = 7,
    ModType_RLL = 8,
    ModType_DFB = 9,
    ModType_ATT = 10,
    ModType_SW = 11,
    ModType_TQ = 12,
    ModType_Unknown = 13,
    ModType_None = 14
};

enum EmoduleImageType : int
{
    ModImageType_Firmware = 1,
    ModImageType_Caldata = 2,
    ModImageType_None = 3
};

enum EmainframeType : int
{
    MFType_7351A = 1,
    MFType_7352A = 2,
    MFType_7353A = 3,
    MFType_7351B = 4,
    MFType_7352B = 5,
    MFType_7353B = 6,
    MFType_Unknown = 7,
    MFType_None = 8
};

class CImageTypeDescriptor
{
public:
    CImageTypeDescriptor() = default;
    CImageTypeDescriptor(int moduleType, int imageType, int firstSector, int lastSector, int maxImageSize)
        : mModuleType(moduleType), mImageType(imageType), mFirstSector(firstSector), mLastSector(lastSector),
          mMaxImageSize(maxImageSize)
    {
    }
    virtual ~CImageTypeDescriptor() = default;

    int mModuleType = ModType_None;
    int mImageType = ModImageType_None;
    int mFirstSector = -1;
    int mLastSector = -1;
    int mMaxImageSize = -1;
};

class CProductEntry
{
public:
    CProductEntry() = default;
    CProductEntry(std::string productId, int moduleType) : mProductId(std::move(productId)), mModuleType(moduleType) {}
    virtual ~CProductEntry() = default;

    std::string mProductId;
    int mModuleType = ModType_None;
};

class CMainframeEntry
{
public:
    CMainframeEntry() = default;
    CMainframeEntry(std::string model, int mainframeType, int firstSlot, int lastSlot)
        : mModel(std::move(model)), mMainframeType(mainframeType), mFirstSlot(firstSlot), mLastSlot(lastSlot)
    {
    }
    virtual ~CMainframeEntry() = default;

    std::string mModel;
    int mMainframeType = MFType_None;
    int mFirstSlot = -1;
    int mLastSlot = -1;
};

class CProductAdministrator
{
public:
    CProductAdministrator() = delete;

    static void InitTables();

    static int GetModuleTypeOfProduct(std::string productId);
    static int GetMainframeType(std::string model);
    static int GetFirstSlot(int mainframeType);
    static int GetLastSlot(int mainframeType);
    static int GetFirstSector(int moduleType, int imageType);
    static int GetLastSector(int moduleType, int imageType);
    static int GetMaxImageSize(int moduleType, int imageType);

    static std::string ModuleTypeToText(int moduleType);
    static std::string ImageTypeToText(int imageType);
    static std::string MainframeTypeToText(int mainframeType);

    static void SetForceMode(bool force) { mForceMode = force; }
    static bool GetForceMode() { return mForceMode; }

    static bool ExtractProductId(const std::string reply, std::string &output);

    static const std::vector<CImageTypeDescriptor> &ImageTypes() { return mImageTypes; }
    static const std::vector<CProductEntry> &Products() { return mProducts; }
    static const std::vector<CMainframeEntry> &Mainframes() { return mMainframes; }

private:
    static const CImageTypeDescriptor &FindDescriptor(int moduleType, int imageType);
    static const CMainframeEntry &FindMainframe(int mainframeType);

    static std::vector<CImageTypeDescriptor> mImageTypes;
    static std::vector<CProductEntry> mProducts;
    static std::vector<CMainframeEntry> mMainframes;
    static bool mTablesBuilt;
    static bool mForceMode;
};
