#include "CModuleImageContainer.h"

#include "UsrException.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string_view>

// clang-format off
const CModuleImageContainer::SImageStamp CModuleImageContainer::kImageStamps[11] = {
    {"@(#)Image Stamp: FLS_", ModType_FLS},
    {"@(#)Image Stamp: TLS_", ModType_TLS},
    {"@(#)Image Stamp: DFB_", ModType_DFB},
    {"@(#)Image Stamp: QUENDREL1_", ModType_QD},
    {"@(#)Image Stamp: ULVAR_", ModType_QD2},
    {"@(#)Image Stamp: PM_", ModType_PM},
    {"@(#)Image Stamp: RLL_", ModType_RLL},
    {"@(#)Image Stamp: ATT_", ModType_ATT},
    {"@(#)Image Stamp: PM_FASTPM", ModType_FPM},
    {"@(#)Image Stamp: Tarquell_", ModType_TQ},
    {"@(#)Image Stamp: Switch_", ModType_SW},
};
// clang-format on

namespace {

// The largest image any (module type, image type) pair accepts.
std::uintmax_t LargestImageSize()
{
    int largest = 0;
    for (const auto &descriptor : CProductAdministrator::ImageTypes())
        largest = std::max(largest, descriptor.mMaxImageSize);
    return static_cast<std::uintmax_t>(largest);
}

} // namespace

CModuleImageContainer::CModuleImageContainer(std::string fileName, int moduleType, int imageType)
    : mModuleType(moduleType), mImageType(imageType), mFileName(std::move(fileName))
{
}

void CModuleImageContainer::Load()
{
    try {
        ReadFile();
        DispatchCheck();
    } catch (const UsrException &) {
        mContent.clear();
        mProductId.clear();
        throw;
    }
}

void CModuleImageContainer::ReadFile()
{
    std::error_code ec;
    if (std::filesystem::is_directory(mFileName, ec))
        KARVEL_RAISE(UsrFileException, "Cannot open image file: " + mFileName, 4001);
    std::ifstream file(mFileName, std::ios::binary);
    if (!file.is_open())
        KARVEL_RAISE(UsrFileException, "Cannot open image file: " + mFileName, 4001);

    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (!file.fail() && size > 0 && static_cast<std::uintmax_t>(size) > LargestImageSize())
        RaiseForHugeFile();
    if (!file.fail() && size > 0) {
        std::string buffer(static_cast<std::size_t>(size), '\0');
        file.seekg(0, std::ios::beg);
        file.read(buffer.data(), size);
        if (!file.fail())
            mContent.swap(buffer);
    }
    if (file.fail() && !file.eof()) {
        std::string reason = "An error occured during reading of image file: " + mFileName;
        reason += " Failbit set";
        if (file.bad())
            reason += " Badbit set";
        KARVEL_RAISE(UsrFileException, reason, 4010);
    }
}

// A file larger than every maximum is refused before it is read into memory.
// The checks that do not depend on the content still come first.
void CModuleImageContainer::RaiseForHugeFile()
{
    if (mImageType != ModImageType_Firmware && mImageType != ModImageType_Caldata)
        KARVEL_RAISE(UsrDataException, "Invalid module image type found." + mFileName, 3010);
    if (mImageType == ModImageType_Firmware &&
        (mModuleType == 0 || mModuleType == ModType_Unknown || mModuleType == ModType_None))
        KARVEL_RAISE(UsrDataException, "Invalid module type passed as argument for image file: " + mFileName, 1001);
    KARVEL_RAISE(UsrDataException, "Requested image is bigger than expected: " + mFileName, 3021);
}

void CModuleImageContainer::DispatchCheck()
{
    if (mImageType == ModImageType_Firmware)
        CheckFirmwareImage(mModuleType);
    else if (mImageType == ModImageType_Caldata)
        CheckCaldataImage(mModuleType);
    else
        KARVEL_RAISE(UsrDataException, "Invalid module image type found." + mFileName, 3010);
}

void CModuleImageContainer::CheckFirmwareImage(int expectedModuleType)
{
    if (expectedModuleType == 0 || expectedModuleType == ModType_Unknown || expectedModuleType == ModType_None)
        KARVEL_RAISE(UsrDataException, "Invalid module type passed as argument for image file: " + mFileName, 1001);
    if (mContent.empty())
        KARVEL_RAISE(UsrDataException, "No image file found: " + mFileName, 2001);

    const std::string_view content(mContent);
    int foundType = ModType_None;
    bool found = false;
    for (const auto &stamp : kImageStamps) {
        if (content.find(stamp.stamp) != std::string_view::npos) {
            foundType = stamp.moduleType;
            found = true;
        }
    }
    if (!found) {
        if (content.find(kStampPrefix) != std::string_view::npos)
            KARVEL_RAISE(UsrDataException, "Unknown image found in file: " + mFileName, 2020);
        KARVEL_RAISE(UsrDataException, "No module firmware image stamp found in image file: " + mFileName, 4030);
    }
    if (foundType != expectedModuleType)
        KARVEL_RAISE(UsrDataException,
                     "Wrong image file found: " + mFileName +
                         " Expected module type: " + CProductAdministrator::ModuleTypeToText(expectedModuleType) +
                         " Current module type: " + CProductAdministrator::ModuleTypeToText(foundType),
                     2010);
    CheckImageSize(ModImageType_Firmware);
    ImageChecked();
}

std::string CModuleImageContainer::ReadCaldataProductId()
{
    mProductId.clear();
    for (std::size_t i = kCaldataIdOffset; i < kCaldataIdOffset + kCaldataIdLength; ++i)
        mProductId += i < mContent.size() ? mContent[i] : '\0';
    return mProductId;
}

void CModuleImageContainer::CheckCaldataImage(int expectedModuleType)
{
    ReadCaldataProductId();
    if (mProductId.rfind("735", 0) != 0 && mProductId.rfind("738", 0) != 0)
        KARVEL_RAISE(UsrDataException, "No product ID found in caldata of image file: " + mFileName, 2030);
    if (CProductAdministrator::GetModuleTypeOfProduct(mProductId) != expectedModuleType)
        KARVEL_RAISE(UsrDataException, "Wrong module type passed as argument for image file: " + mFileName, 1010);
    CheckImageSize(ModImageType_Caldata);
    ImageChecked();
}

void CModuleImageContainer::CheckImageSize(int imageType)
{
    const int maxSize = CProductAdministrator::GetMaxImageSize(mModuleType, imageType);
    if (mContent.size() > static_cast<std::size_t>(maxSize))
        KARVEL_RAISE(UsrDataException, "Requested image is bigger than expected: " + mFileName, 3021);
}

std::ostream &operator<<(std::ostream &os, const CModuleImageContainer &image)
{
    os << image.GetFileName() << " " << CProductAdministrator::ModuleTypeToText(image.GetModuleType()) << " "
       << CProductAdministrator::ImageTypeToText(image.GetImageType())
       << (image.GetContentLength() ? " 'image loaded'" : " 'NO image loaded'") << " " << image.GetProductId();
    return os;
}
