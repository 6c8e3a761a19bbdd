#include "CProductAdministrator.h"

#include "UsrException.h"

std::vector<CImageTypeDescriptor> CProductAdministrator::mImageTypes;
std::vector<CProductEntry> CProductAdministrator::mProducts;
std::vector<CMainframeEntry> CProductAdministrator::mMainframes;
bool CProductAdministrator::mTablesBuilt = false;
bool CProductAdministrator::mForceMode = false;

namespace {

// Tables read row by row, like their source; the formatter leaves them alone.
// clang-format off

constexpr int KiB = 1024;

struct SImageTypeRow
{
    int moduleType, imageType, firstSector, lastSector, maxImageSize;
};

// Where each kind of image lives in a module's flash, and how large it may be.
constexpr SImageTypeRow kImageTypeRows[] = {
    {ModType_FLS, ModImageType_Firmware, 0, 3, 256 * KiB},
    {ModType_TLS, ModImageType_Firmware, 0, 5, 768 * KiB},
    {ModType_QD, ModImageType_Firmware, 0, 3, 256 * KiB},
    {ModType_QD2, ModImageType_Firmware, 0, 3, 256 * KiB},
    {ModType_PM, ModImageType_Firmware, 0, 5, 384 * KiB},
    {ModType_RLL, ModImageType_Firmware, 0, 5, 384 * KiB},
    {ModType_DFB, ModImageType_Firmware, 0, 5, 384 * KiB},
    {ModType_ATT, ModImageType_Firmware, 0, 10, 512 * KiB},
    {ModType_SW, ModImageType_Firmware, 0, 10, 512 * KiB},
    {ModType_TQ, ModImageType_Firmware, 0, 54, 2048 * KiB},
    {ModType_FPM, ModImageType_Firmware, 0, 10, 512 * KiB},
    {ModType_HEAD, ModImageType_Caldata, 4, 7, 64 * KiB},
    {ModType_FLS, ModImageType_Caldata, 7, 7, 64 * KiB},
    {ModType_TLS, ModImageType_Caldata, 6, 7, 256 * KiB},
    {ModType_PM, ModImageType_Caldata, 7, 7, 64 * KiB},
    {ModType_RLL, ModImageType_Caldata, 7, 7, 64 * KiB},
    {ModType_DFB, ModImageType_Caldata, 7, 7, 64 * KiB},
    {ModType_ATT, ModImageType_Caldata, 14, 17, 256 * KiB},
    {ModType_FPM, ModImageType_Caldata, 18, 18, 64 * KiB},
    {ModType_TQ, ModImageType_Caldata, 55, 56, 128 * KiB},
};

struct SMainframeRow
{
    const char *model;
    int mainframeType, firstSlot, lastSlot;
};

constexpr SMainframeRow kMainframeRows[] = {
    {"7351A", MFType_7351A, 1, 2}, {"7352A", MFType_7352A, 0, 4}, {"7353A", MFType_7353A, 1, 17},
    {"7351B", MFType_7351B, 1, 2}, {"7352B", MFType_7352B, 0, 4}, {"7353B", MFType_7353B, 1, 17},
};

struct SProductRow
{
    const char *productId;
    int moduleType;
};

// Order matters: the look-up takes the last matching row ("73547B" stands twice).
constexpr SProductRow kProductRows[] = {
    {"Unsupported Module", ModType_Unknown},
    {"73581A", ModType_RLL}, {"73518A", ModType_RLL}, {"73555A", ModType_RLL}, {"73592A", ModType_RLL},
    {"73529A", ModType_RLL},
    {"73577A", ModType_PM}, {"73514A", ModType_PM},
    {"73562A", ModType_HEAD}, {"73599A", ModType_HEAD}, {"73536A", ModType_HEAD}, {"73525B", ModType_HEAD},
    {"73562B", ModType_HEAD}, {"73599B", ModType_HEAD}, {"73536B", ModType_HEAD}, {"73573B", ModType_HEAD},
    {"73510B", ModType_HEAD}, {"73547B", ModType_HEAD}, {"73536C", ModType_HEAD},
    {"73595A", ModType_PM}, {"73532A", ModType_PM}, {"73569A", ModType_PM}, {"73506A", ModType_PM},
    {"73547B", ModType_PM}, {"73595B", ModType_PM}, {"73532B", ModType_PM}, {"73569B", ModType_PM},
    {"73521B", ModType_PM},
    {"73543B", ModType_FPM}, {"73580B", ModType_FPM},
    {"73271A", ModType_TLS}, {"73591A", ModType_TLS}, {"73565A", ModType_TLS}, {"73571A", ModType_TLS},
    {"73545A", ModType_TLS}, {"73271B", ModType_TLS}, {"73245B", ModType_TLS}, {"73591B", ModType_TLS},
    {"73565B", ModType_TLS}, {"73571B", ModType_TLS}, {"73545B", ModType_TLS}, {"73501B", ModType_TLS},
    {"73575B", ModType_TLS}, {"73511B", ModType_TLS}, {"73585B", ModType_TLS},
    {"73504A", ModType_QD},
    {"73504B", ModType_QD2}, {"73524A", ModType_QD2},
    {"73561A", ModType_FLS}, {"73598A", ModType_FLS}, {"73535A", ModType_FLS}, {"73509A", ModType_FLS},
    {"73546A", ModType_FLS}, {"73583A", ModType_FLS}, {"73520A", ModType_FLS},
    {"73568A", ModType_DFB}, {"73505A", ModType_DFB}, {"73542A", ModType_DFB},
    {"73831A", ModType_ATT}, {"73868A", ModType_ATT}, {"73853A", ModType_ATT}, {"73890A", ModType_ATT},
    {"73801A", ModType_ATT}, {"73838A", ModType_ATT}, {"73812A", ModType_ATT}, {"73886A", ModType_ATT},
    {"73897A", ModType_ATT}, {"73834A", ModType_ATT}, {"73871A", ModType_ATT}, {"73808A", ModType_ATT},
    {"73882A", ModType_ATT}, {"73856A", ModType_ATT}, {"73823A", ModType_ATT}, {"73860A", ModType_ATT},
    {"73878S", ModType_SW}, {"73815S", ModType_SW}, {"73889S", ModType_SW}, {"73826S", ModType_SW},
    {"73863S", ModType_SW}, {"73874S", ModType_SW}, {"73878A", ModType_SW}, {"73815A", ModType_SW},
    {"73889A", ModType_SW}, {"73826A", ModType_SW}, {"73863A", ModType_SW}, {"73874A", ModType_SW},
    {"73491A", ModType_TQ}, {"73471A", ModType_TQ}, {"73424A", ModType_TQ}, {"73404A", ModType_TQ},
};

const char *const kModuleTypeTexts[] = {
    "ModType_FLS", "ModType_TLS", "ModType_QD",  "ModType_QD2", "ModType_PM", "ModType_FPM",    "ModType_HEAD",
    "ModType_RLL", "ModType_DFB", "ModType_ATT", "ModType_SW",  "ModType_TQ", "ModType_Unknown"};
const char *const kImageTypeTexts[] = {"ModImageType_Firmware", "ModImageType_Caldata"};
const char *const kMainframeTypeTexts[] = {"MFType_7351A", "MFType_7352A", "MFType_7353A",  "MFType_7351B",
                                           "MFType_7352B", "MFType_7353B", "MFType_Unknown"};

// clang-format on

} // namespace

void CProductAdministrator::InitTables()
{
    if (mTablesBuilt)
        return;
    for (const auto &row : kImageTypeRows)
        mImageTypes.emplace_back(row.moduleType, row.imageType, row.firstSector, row.lastSector, row.maxImageSize);
    for (const auto &row : kMainframeRows)
        mMainframes.emplace_back(row.model, row.mainframeType, row.firstSlot, row.lastSlot);
    for (const auto &row : kProductRows)
        mProducts.emplace_back(row.productId, row.moduleType);
    mTablesBuilt = true;
}

int CProductAdministrator::GetModuleTypeOfProduct(std::string productId)
{
    int moduleType = ModType_None;
    for (const auto &product : mProducts)
        if (product.mProductId == productId)
            moduleType = product.mModuleType;
    if (moduleType == ModType_None && !mForceMode)
        KARVEL_RAISE(UsrDataException,
                     "Unknown product ID found: " + productId +
                         "\nIf an old module is inserted, remove it.\nAn old module cannot be updated.",
                     3030);
    return moduleType;
}

int CProductAdministrator::GetMainframeType(std::string model)
{
    int mainframeType = MFType_None;
    for (const auto &mainframe : mMainframes)
        if (mainframe.mModel == model)
            mainframeType = mainframe.mMainframeType;
    if (mainframeType == MFType_None)
        KARVEL_RAISE(UsrDataException, "Unknown product ID found: " + model, 3030);
    return mainframeType;
}

const CMainframeEntry &CProductAdministrator::FindMainframe(int mainframeType)
{
    for (const auto &mainframe : mMainframes)
        if (mainframe.mMainframeType == mainframeType)
            return mainframe;
    KARVEL_RAISE(UsrDataException, "Unknown mainframe type found.", 3040);
}

int CProductAdministrator::GetFirstSlot(int mainframeType)
{
    return FindMainframe(mainframeType).mFirstSlot;
}
int CProductAdministrator::GetLastSlot(int mainframeType)
{
    return FindMainframe(mainframeType).mLastSlot;
}

const CImageTypeDescriptor &CProductAdministrator::FindDescriptor(int moduleType, int imageType)
{
    for (const auto &descriptor : mImageTypes)
        if (descriptor.mModuleType == moduleType && descriptor.mImageType == imageType)
            return descriptor;
    KARVEL_RAISE(UsrDataException, "Unknown firmware type found.", 3045);
}

int CProductAdministrator::GetFirstSector(int moduleType, int imageType)
{
    return FindDescriptor(moduleType, imageType).mFirstSector;
}

int CProductAdministrator::GetLastSector(int moduleType, int imageType)
{
    return FindDescriptor(moduleType, imageType).mLastSector;
}

int CProductAdministrator::GetMaxImageSize(int moduleType, int imageType)
{
    return FindDescriptor(moduleType, imageType).mMaxImageSize;
}

std::string CProductAdministrator::ModuleTypeToText(int moduleType)
{
    if (moduleType < ModType_FLS || moduleType > ModType_Unknown)
        KARVEL_RAISE(UsrDataException, "Invalid module type found.", 3001);
    return kModuleTypeTexts[moduleType - 1];
}

std::string CProductAdministrator::ImageTypeToText(int imageType)
{
    if (imageType != ModImageType_Firmware && imageType != ModImageType_Caldata)
        KARVEL_RAISE(UsrDataException, "Invalid module image type found.", 3010);
    return kImageTypeTexts[imageType - 1];
}

std::string CProductAdministrator::MainframeTypeToText(int mainframeType)
{
    if (mainframeType < MFType_7351A || mainframeType > MFType_Unknown)
        KARVEL_RAISE(UsrDataException, "Invalid mainframe type found.", 3002);
    return kMainframeTypeTexts[mainframeType - 1];
}

bool CProductAdministrator::ExtractProductId(const std::string reply, std::string &output)
{
    const std::size_t comma = reply.find(',');
    if (comma == std::string::npos)
        return false;
    const std::size_t start = comma + 1;
    std::size_t end = reply.find(',', start);
    if (end == std::string::npos)
        end = reply.size();
    if (end == start)
        return false;
    std::string field = reply.substr(start, end - start);
    const std::size_t model = field.find("73");
    output = model == std::string::npos ? field : field.substr(model, 6);
    return true;
}
