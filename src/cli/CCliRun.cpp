#include "CCliRun.h"

#include "CModuleTypeNames.h"

#include "KarvelBase/CProductAdministrator.h"
#include "KarvelBase/CReportFiles.h"
#include "KarvelBase/UsrException.h"
#include "KarvelManager/CKarvelViewManager.h"

#include "CVisaLibrary.h"

#include <iostream>
#include <list>
#include <sstream>

namespace {

void AddItem(const std::string &text, EreportItemType type)
{
    CUpdateReportHolder::Instance()->AddReportItem(text, type);
}

std::string InternalData()
{
    std::ostringstream dump;
    try {
        dump << *GetManager();
    } catch (const UsrException &e) {
        dump << "\n(internal data incomplete: " << e.GetReason() << ")";
    }
    return dump.str();
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace

CCliRun::CCliRun(SCliOptions options) : mOptions(options)
{
    CKarvelViewManager *facade = GetManager();
    facade->Initialize();
    if (mOptions.force)
        CProductAdministrator::SetForceMode(true);
}

CCliRun::~CCliRun()
{
    DestroyManager();
}

int CCliRun::ConnectionTypeOf(const std::string &resource)
{
    const std::string head = resource.substr(0, 4);
    if (head == "GPIB" || head == "gpib")
        return 1;
    if (head == "ASRL" || head == "asrl")
        return 2;
    return 0;
}

// Runs the work like a user action of the desktop program: an error of the
// family becomes an error report item and its reason goes to standard error.
template <typename F> int CCliRun::Guarded(F &&work)
{
    int status = 0;
    AddItem(CReportFiles::HeaderItemText(CKarvelManager::kVersionText), RepType_Info);
    try {
        work();
    } catch (const UsrException &e) {
        AddItem(CReportFiles::ErrorItemText(e, InternalData()), RepType_Error);
        std::cerr << "karvel-cli: " << e.GetReason() << std::endl;
        status = 1;
    } catch (const std::exception &e) {
        AddItem(std::string("Unexpected error: ") + e.what(), RepType_Error);
        std::cerr << "karvel-cli: unexpected error: " << e.what() << std::endl;
        status = 1;
    }
    Close();
    return status;
}

void CCliRun::Close()
{
    CKarvelViewManager *facade = GetManager();
    if (mSessionId) {
        try {
            facade->CloseSession(mSessionId);
        } catch (const UsrException &e) {
            AddItem(CReportFiles::ErrorItemText(e, InternalData()), RepType_Error);
            std::cerr << "karvel-cli: " << e.GetReason() << std::endl;
        }
        mSessionId = 0;
    }
    AddItem(CReportFiles::FooterItemText(CKarvelManager::kVersionText), RepType_Info);
    const std::string directory = CReportFiles::ReportDirectory();
    if (!mImagePath.empty())
        CReportFiles::WriteLastImageFile(directory, mImagePath);
    const std::string path = CReportFiles::JoinPath(directory, CReportFiles::kReportFileName);
    switch (CReportFiles::WriteReportFile(directory, CUpdateReportHolder::Instance()->GetReportText())) {
    case CReportFiles::EWriteResult::Ok:
        std::cerr << "karvel-cli: report written to " << path << std::endl;
        break;
    case CReportFiles::EWriteResult::OpenFailed:
        std::cerr << "karvel-cli: Could not open report file! " << path << std::endl;
        break;
    case CReportFiles::EWriteResult::WriteFailed:
        std::cerr << "karvel-cli: Writing report file failed! " << path << std::endl;
        break;
    }
}

int CCliRun::Version()
{
    std::string text;
    GetManager()->GetVisaInformation(text);
    std::cout << "Karvel " << CKarvelManager::kVersionText << "\n" << text << std::endl;
    const CVisaLibrary &library = CVisaLibrary::Instance();
    if (!library.IsLoaded()) {
        std::cerr << "karvel-cli: " << library.LoadError() << std::endl;
        return 1;
    }
    std::cout << "VISA library: " << library.Path() << std::endl;
    return 0;
}

int CCliRun::Scan(int connType)
{
    return Guarded([&] {
        CKarvelViewManager *facade = GetManager();
        facade->ScanConnections(connType, mOptions.baud);
        std::list<std::string> connections;
        facade->GetConnectionList(connections);
        for (const auto &connection : connections)
            std::cout << connection << "\n";
        std::cout << std::flush;
    });
}

void CCliRun::OpenResource(const std::string &resource)
{
    CKarvelViewManager *facade = GetManager();
    facade->ScanConnections(ConnectionTypeOf(resource), mOptions.baud);
    std::list<std::string> connections;
    facade->GetConnectionList(connections);
    std::string connection = resource;
    mSessionId = facade->OpenSession(connection); // 5040 when the scan did not find it
    if (mOptions.force)
        facade->SetForceMode(mSessionId, true);
    if (mOptions.sessionLog)
        facade->ReportSessionLogStarted(mSessionId, "VisaSessionLog.txt");
}

int CCliRun::Slots(const std::string &resource)
{
    return Guarded([&] {
        OpenResource(resource);
        CKarvelViewManager *facade = GetManager();
        std::vector<int> slots;
        facade->GetSlotList(mSessionId, slots);
        std::ostringstream table;
        for (int slot : slots) {
            const int type = facade->GetSlotModuleType(mSessionId, slot);
            std::string productId, revision;
            if (type != ModType_Unknown) {
                productId = facade->GetSlotProductId(mSessionId, slot);
                revision = Trimmed(facade->GetSlotFirmwareRevision(mSessionId, slot));
            }
            std::string name = CModuleTypeNames::DisplayName(type);
            if (name.empty() && CProductAdministrator::GetForceMode())
                name = "not supported";
            table << slot << "\t" << productId << "\t" << name << "\t" << revision << "\n";
        }
        std::cout << table.str() << std::flush;
    });
}

// In force mode a slot of unknown or no type takes the type named by --type.
int CCliRun::ForcedType(int moduleType) const
{
    if (mOptions.force && (moduleType == ModType_Unknown || moduleType == ModType_None))
        return mOptions.forcedModuleType;
    return moduleType;
}

int CCliRun::Update(const std::string &resource, const std::string &image, const std::vector<int> &slots)
{
    mImagePath = image;
    return Guarded([&] {
        OpenResource(resource);
        CKarvelViewManager *facade = GetManager();
        const int moduleType = ForcedType(facade->GetSlotModuleType(mSessionId, slots.back()));
        const int imageType = mOptions.caldata ? ModImageType_Caldata : ModImageType_Firmware;
        facade->LoadImageFile(image, moduleType, imageType);
        facade->CheckSlotListForUpdate(mSessionId, slots, moduleType, imageType);
        AddItem(CReportFiles::StartItemText(), RepType_Info);
        facade->StartUpdate(mSessionId, slots, moduleType, imageType);
    });
}

int CCliRun::Erase(const std::string &resource, const std::vector<std::pair<int, int>> &entries)
{
    return Guarded([&] {
        OpenResource(resource);
        CKarvelViewManager *facade = GetManager();
        AddItem(CReportFiles::StartItemText(), RepType_Info);
        if (!mOptions.force) {
            facade->EraseCaldata(mSessionId, entries, false, ModType_Unknown);
            return;
        }
        const int moduleType = ForcedType(facade->GetSlotModuleType(mSessionId, entries.back().first));
        facade->EraseCaldata(mSessionId, entries, true, moduleType);
    });
}
