#pragma once
// One image file read whole into memory, recognised and checked against the
// module type the caller expects. The file is sent to the module unchanged.

#include <cstddef>
#include <ostream>
#include <string>

#include "CProductAdministrator.h"

class CModuleImageContainer
{
public:
    CModuleImageContainer(std::string fileName, int moduleType, int imageType);
    virtual ~CModuleImageContainer() = default;

    // Reads the file and runs the check of its image type; on failure the
    // container holds no content.
    void Load();

    virtual void CheckFirmwareImage(int expectedModuleType);
    virtual std::string ReadCaldataProductId();
    virtual void CheckCaldataImage(int expectedModuleType);
    virtual void ImageChecked() {}

    std::string GetFileName() const { return mFileName; }
    int GetModuleType() const { return mModuleType; }
    int GetImageType() const { return mImageType; }
    std::string GetProductId() const { return mProductId; }
    const std::string &GetContent() const { return mContent; }
    const unsigned char *GetContentBytes() const { return reinterpret_cast<const unsigned char *>(mContent.data()); }
    std::size_t GetContentLength() const { return mContent.size(); }
    void SetForceMode(bool force) { mForceMode = force; }
    bool GetForceMode() const { return mForceMode; }

    // The firmware stamps in the order they are tested; a later match overrides an earlier one.
    struct SImageStamp
    {
        const char *stamp;
        int moduleType;
    };
    static const SImageStamp kImageStamps[11];
    static constexpr const char *kStampPrefix = "@(#)Image Stamp: ";
    static constexpr std::size_t kCaldataIdOffset = 136;
    static constexpr std::size_t kCaldataIdLength = 6;

private:
    void ReadFile();
    void RaiseForHugeFile();
    void CheckImageSize(int imageType);
    void DispatchCheck();

    int mModuleType = ModType_None;
    int mImageType = ModImageType_None;
    std::string mFileName;
    std::string mContent;
    std::string mProductId;
    bool mForceMode = false;
};

std::ostream &operator<<(std::ostream &os, const CModuleImageContainer &image);
