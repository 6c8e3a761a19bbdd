#include "CKarvelViewManager.h"

namespace {
CKarvelViewManager *gManager = nullptr;
}

void CKarvelViewManager::NotifyModelChanged(EreportItemType type)
{
    if (mView)
        mView->NotifyModelChanged(type);
    else
        CKarvelManager::NotifyModelChanged(type);
}

CKarvelViewManager *GetManager()
{
    if (!gManager)
        gManager = new CKarvelViewManager();
    return gManager;
}

void DestroyManager()
{
    delete gManager;
    gManager = nullptr;
}
