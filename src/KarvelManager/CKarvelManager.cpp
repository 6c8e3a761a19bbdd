#include "CKarvelManager.h"

#include "CModuleImageManager.h"
#include "KarvelBase/CProductAdministrator.h"
#include "KarvelBase/UsrException.h"

#include <iostream>

CKarvelManager::CKarvelManager()
{
    CProductAdministrator::InitTables();
    mImageManager = new CModuleImageManager();
}

CKarvelManager::~CKarvelManager()
{
    CUpdateReportHolder *holder = CUpdateReportHolder::Instance();
    if (holder->GetObserver() == this)
        holder->SetObserver(nullptr);
    delete mImageManager;
}

void CKarvelManager::Initialize()
{
    mImageManager->Initialize();
    CUpdateReportHolder::Instance()->SetObserver(this);
}

void CKarvelManager::NotifyModelChanged(EreportItemType type)
{
    switch (type) {
    case RepType_Info:
    case RepType_Warning:
    case RepType_Error:
        std::cout << CUpdateReportHolder::Instance()->GetLastItemText() << std::endl;
        break;
    case RepType_Progress:
        std::cout << "." << std::flush;
        break;
    case RepType_Silent:
        break;
    default:
        KARVEL_RAISE(UsrClassException,
                     "Unknown report item type in CKarvelManager::NotifyModelChanged(EreportItemType)", 0);
    }
}

void CKarvelManager::Report(const std::string &text)
{
    CUpdateReportHolder::Instance()->AddReportItem(text, RepType_Info);
}

void CKarvelManager::LoadImageFile(const std::string &fileName, int moduleType, int imageType)
{
    Report("Reading image file: " + fileName + "...");
    mImageManager->LoadImage(fileName, moduleType, imageType);
    Report("Success.");
}

void CKarvelManager::SetImageForceMode(bool force)
{
    mImageManager->SetForceMode(force);
}

void CKarvelManager::DumpInternalData(std::ostream &os) const
{
    os << "Connection manager:\n" << std::endl;
    os << std::endl;
    os << "Image manager:\n" << std::endl;
    os << *mImageManager << std::endl;
}

std::ostream &operator<<(std::ostream &os, const CKarvelManager &manager)
{
    manager.DumpInternalData(os);
    return os;
}
