#pragma once
/// @file
/// The facade: the one object through which the front ends reach the update
/// logic. It owns the image manager and the connection manager, narrates every
/// operation as report items and is the report holder's single observer.
///
/// Threading: ScanConnections and GetConnectionList may run on a scan worker
/// thread while nothing else calls the facade; every other operation runs on
/// the caller's (user-interface) thread. No locks are taken.
/// Errors: every UsrException raised below passes through unchanged.

#include <list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "KarvelBase/CUpdateReportHolder.h"
#include "KarvelVisa.h"

class CModuleImageManager;
class CVisaConnectionManager;

class CKarvelManager : public CReportObserver
{
public:
    static constexpr const char *kVersionText = "Version 2.2.5.6";

    CKarvelManager();
    ~CKarvelManager() override;
    CKarvelManager(const CKarvelManager &) = delete;
    CKarvelManager &operator=(const CKarvelManager &) = delete;

    /// Console reaction: item texts as lines on standard output, "." per progress step.
    void NotifyModelChanged(EreportItemType type) override;
    /// Second-phase set-up: initialises the sub-managers and registers this
    /// object as the report holder's observer.
    virtual void Initialize();

    /// Narrated operations: one report item before delegating, one after a normal return.
    void GetConnectionList(std::list<std::string> &connections);
    void ScanConnections(int connType, int baudrate);
    ViSession OpenSession(std::string &connString);
    void CloseSession(ViSession id);
    void ReportSessionLogStarted(ViSession id, const std::string &logFileName);
    void LoadImageFile(const std::string &fileName, int moduleType, int imageType);
    void CheckSlotListForUpdate(ViSession id, const std::vector<int> &slots, int moduleType, int imageType);
    void StartUpdate(ViSession id, const std::vector<int> &slots, int moduleType, int imageType);
    void EraseCaldata(ViSession id, const std::vector<std::pair<int, int>> &slotChannels, bool loadMinikernel,
                      int moduleType);
    void SetForceMode(ViSession id, bool force);

    /// Pass-through queries of an open session, without report items.
    void GetSlotList(ViSession id, std::vector<int> &slots);
    int GetSlotModuleType(ViSession id, int slot);
    std::string GetSlotProductId(ViSession id, int slot);
    std::string GetSlotFirmwareRevision(ViSession id, int slot);
    int GetMainframeType(ViSession id);
    int GetConnectionType(ViSession id);
    int GetConnectionGPIBAddress(ViSession id);
    int GetBaudrate(ViSession id);
    /// The VISA library description; the result is the status of the final close.
    int GetVisaInformation(std::string &out);

    CModuleImageManager *GetImageManager() const { return mImageManager; }
    CVisaConnectionManager *GetConnectionManager() const { return mConnectionManager; }

    /// Connection manager and image manager dumps, as placed in every error report.
    void DumpInternalData(std::ostream &os) const;

protected:
    static void Report(const std::string &text);

private:
    CModuleImageManager *mImageManager = nullptr;
    CVisaConnectionManager *mConnectionManager = nullptr;
};

std::ostream &operator<<(std::ostream &os, const CKarvelManager &manager);
