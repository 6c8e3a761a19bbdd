#pragma once
// The image files loaded during a run, filed under their file names; at most
// one file per (module type, image type) pair, except after a reload.

#include <map>
#include <ostream>
#include <string>

class CModuleImageContainer;

class CModuleImageManager
{
public:
    CModuleImageManager() = default;
    virtual ~CModuleImageManager();
    CModuleImageManager(const CModuleImageManager &) = delete;
    CModuleImageManager &operator=(const CModuleImageManager &) = delete;

    virtual void Initialize() {}

    void LoadImage(const std::string &fileName, int moduleType, int imageType);
    // The loaded image of the pair; the last one in file-name order wins. Owned by the manager.
    CModuleImageContainer *GetImage(int moduleType, int imageType) const;
    void SetForceMode(bool force);
    bool GetForceMode() const { return mForceMode; }
    const std::map<std::string, CModuleImageContainer *> &Images() const { return mImages; }

private:
    bool CheckImageLoadable(const std::string &fileName, int moduleType, int imageType) const;

    bool mForceMode = false;
    std::map<std::string, CModuleImageContainer *> mImages;
};

std::ostream &operator<<(std::ostream &os, const CModuleImageManager &manager);
