#include "CModuleImageManager.h"

#include "KarvelBase/CModuleImageContainer.h"
#include "KarvelBase/UsrException.h"

#include <memory>

CModuleImageManager::~CModuleImageManager()
{
    for (auto &entry : mImages)
        delete entry.second;
    mImages.clear();
}

// True when the call reloads an image under a name that is already filed.
bool CModuleImageManager::CheckImageLoadable(const std::string &fileName, int moduleType, int imageType) const
{
    if (mImages.count(fileName))
        return true;
    for (const auto &entry : mImages)
        if (entry.second->GetModuleType() == moduleType && entry.second->GetImageType() == imageType)
            KARVEL_RAISE(UsrDataException,
                         "Image file not loaded, since an image of this type is already loaded: " + fileName, 4042);
    return false;
}

void CModuleImageManager::LoadImage(const std::string &fileName, int moduleType, int imageType)
{
    const bool reload = CheckImageLoadable(fileName, moduleType, imageType);
    auto image = std::make_unique<CModuleImageContainer>(fileName, moduleType, imageType);
    image->SetForceMode(mForceMode);
    if (reload) {
        // The old image goes before the new file is read: a failed reload leaves none.
        auto old = mImages.find(fileName);
        delete old->second;
        mImages.erase(old);
    }
    image->Load();
    mImages.emplace(fileName, image.get());
    image.release();
}

CModuleImageContainer *CModuleImageManager::GetImage(int moduleType, int imageType) const
{
    CModuleImageContainer *found = nullptr;
    for (const auto &entry : mImages)
        if (entry.second->GetModuleType() == moduleType && entry.second->GetImageType() == imageType)
            found = entry.second;
    if (found)
        return found;
    const std::string imageText = CProductAdministrator::ImageTypeToText(imageType);
    const std::string moduleText = CProductAdministrator::ModuleTypeToText(moduleType);
    KARVEL_RAISE(UsrDataException, "Requested image type not found:  " + moduleText + " " + imageText, 4044);
}

void CModuleImageManager::SetForceMode(bool force)
{
    mForceMode = force;
    for (auto &entry : mImages)
        entry.second->SetForceMode(force);
}

std::ostream &operator<<(std::ostream &os, const CModuleImageManager &manager)
{
    os << "Image Map:\n";
    for (const auto &entry : manager.Images())
        os << " Image: " << entry.first << "\n" << *entry.second << std::endl;
    return os;
}
