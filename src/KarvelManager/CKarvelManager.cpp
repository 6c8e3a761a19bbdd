#include "CKarvelManager.h"

#include "CModuleImageManager.h"
#include "CVisaConnectionManager.h"
#include "KarvelBase/CVisaConnection.h"
#include "KarvelBase/CProductAdministrator.h"
#include "KarvelBase/UsrException.h"

#include <iostream>

CKarvelManager::CKarvelManager()
{
    CProductAdministrator::InitTables();
    mImageManager = new CModuleImageManager();
    mConnectionManager = new CVisaConnectionManager();
}

CKarvelManager::~CKarvelManager()
{
    CUpdateReportHolder *holder = CUpdateReportHolder::Instance();
    if (holder->GetObserver() == this)
        holder->SetObserver(nullptr);
    delete mImageManager;
    delete mConnectionManager;
}

void CKarvelManager::Initialize()
{
    mConnectionManager->Initialize();
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

namespace {

std::string IdText(ViSession id)
{
    return std::to_string(static_cast<unsigned long>(id));
}

} // namespace

void CKarvelManager::GetConnectionList(std::list<std::string> &connections)
{
    Report("Resolving available visa connections...");
    mConnectionManager->GetConnectionList(connections);
    Report("Visa connections successfully determined");
}

void CKarvelManager::ScanConnections(int connType, int baudrate)
{
    Report("Resolving available visa connections...");
    if (connType != ConnType_GPIB && connType != ConnType_Serial)
        KARVEL_RAISE(UsrVisaException, "Unknown Visa connection type", 5012);
    Report(std::string("Try to scan for all available visa connections of type: ") +
           (connType == ConnType_GPIB ? "GPIB" : "Serial") + "...");
    mConnectionManager->ScanConnections(connType, baudrate);
    Report("Success.");
}

ViSession CKarvelManager::OpenSession(std::string &connString)
{
    Report("Opening visa session...");
    const ViSession id = mConnectionManager->OpenSession(connString);
    Report("Success. New visa session ID is: " + IdText(id));
    return id;
}

void CKarvelManager::CloseSession(ViSession id)
{
    mConnectionManager->CloseSession(id);
    Report("Visa session " + IdText(id) + " successfully closed.");
}

void CKarvelManager::ReportSessionLogStarted(ViSession id, const std::string &logFileName)
{
    Report("Visa session " + IdText(id) + ": Session log successfully started. Log file: " + logFileName);
}

void CKarvelManager::CheckSlotListForUpdate(ViSession id, const std::vector<int> &slots, int moduleType, int imageType)
{
    Report("Checking slot list for module update for session " + IdText(id));
    CModuleImageContainer *image = mImageManager->GetImage(moduleType, imageType);
    mConnectionManager->CheckSlotListForUpdate(id, slots, image);
    Report("Check of slot list for module update for session " + IdText(id) + " successfully finished.");
}

void CKarvelManager::StartUpdate(ViSession id, const std::vector<int> &slots, int moduleType, int imageType)
{
    Report("Starting module update for session " + IdText(id));
    CModuleImageContainer *image = mImageManager->GetImage(moduleType, imageType);
    mConnectionManager->StartUpdate(id, slots, image);
    Report("Module update for session " + IdText(id) + " successfully finished.");
}

void CKarvelManager::EraseCaldata(ViSession id, const std::vector<std::pair<int, int>> &slotChannels,
                                  bool loadMinikernel, int moduleType)
{
    Report("Starting erase caldata for session " + IdText(id));
    mConnectionManager->EraseCaldata(id, slotChannels, loadMinikernel, moduleType);
    Report("Erase caldata for session " + IdText(id) + " successfully finished.");
}

void CKarvelManager::SetForceMode(ViSession id, bool force)
{
    mConnectionManager->SetForceMode(id, force);
    mImageManager->SetForceMode(force);
    Report("Visa session " + IdText(id) + ": Force mode set to: " + (force ? "true" : "false"));
}

void CKarvelManager::GetSlotList(ViSession id, std::vector<int> &slots)
{
    mConnectionManager->GetSlotList(id, slots);
}

int CKarvelManager::GetSlotModuleType(ViSession id, int slot)
{
    return mConnectionManager->GetSlotModuleType(id, slot);
}

std::string CKarvelManager::GetSlotProductId(ViSession id, int slot)
{
    return mConnectionManager->GetSlotProductId(id, slot);
}

std::string CKarvelManager::GetSlotFirmwareRevision(ViSession id, int slot)
{
    return mConnectionManager->GetSlotFirmwareRevision(id, slot);
}

int CKarvelManager::GetMainframeType(ViSession id)
{
    return mConnectionManager->GetMainframeType(id);
}
int CKarvelManager::GetConnectionType(ViSession id)
{
    return mConnectionManager->GetConnectionType(id);
}

int CKarvelManager::GetConnectionGPIBAddress(ViSession id)
{
    return mConnectionManager->GetConnectionGPIBAddress(id);
}

int CKarvelManager::GetBaudrate(ViSession id)
{
    return mConnectionManager->GetBaudrate(id);
}
int CKarvelManager::GetVisaInformation(std::string &out)
{
    return mConnectionManager->GetVisaInformation(out);
}

void CKarvelManager::LoadImageFile(const std::string &fileName, int moduleType, int imageType)
{
    Report("Reading image file: " + fileName + "...");
    mImageManager->LoadImage(fileName, moduleType, imageType);
    Report("Success.");
}

void CKarvelManager::DumpInternalData(std::ostream &os) const
{
    os << "Connection manager:\n" << std::endl;
    os << *mConnectionManager << std::endl;
    os << "Image manager:\n" << std::endl;
    os << *mImageManager << std::endl;
}

std::ostream &operator<<(std::ostream &os, const CKarvelManager &manager)
{
    manager.DumpInternalData(os);
    return os;
}
