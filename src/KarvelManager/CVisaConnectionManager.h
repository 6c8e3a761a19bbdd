#pragma once
// Finds the 735x mainframes reachable over VISA, keeps one connection object
// per mainframe found, opens and closes sessions on them, and hands every
// session request to the session of that identifier.
//
// Threading: ScanConnections and GetConnectionList may run on a scan thread
// while nothing else calls the manager; everything else runs on one thread.

#include "KarvelVisa.h"

#include <list>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

class CVisaConnection;
class CVisaSession;
class CModuleImageContainer;

class CVisaConnectionManager
{
public:
    CVisaConnectionManager() = default;
    virtual ~CVisaConnectionManager();
    CVisaConnectionManager(const CVisaConnectionManager &) = delete;
    CVisaConnectionManager &operator=(const CVisaConnectionManager &) = delete;

    virtual void Initialize() {}

    void ScanConnections(int connType, int baudrate);
    void GetConnectionList(std::list<std::string> &out) const;
    ViSession OpenSession(const std::string &connString);
    void CloseSession(ViSession id);
    bool IsSessionOpen(const std::string &connString) const;
    CVisaSession *GetSession(ViSession id) const;
    void CloseAllSessions();
    void DeleteAllConnections();
    int GetVisaInformation(std::string &out) const;
    // The resources of one kind that answer *IDN? as a 735x mainframe, joined
    // by ","; 0 on success, VI_ERROR_SYSTEM_ERROR when the search failed.
    int FindVisaResources(int connType, std::string &list);
    int GetScanBaudrate() const { return mScanBaudrate; }

    // Session requests, forwarded to the session of the identifier.
    void CheckSlotListForUpdate(ViSession id, const std::vector<int> &slots, CModuleImageContainer *image);
    void StartUpdate(ViSession id, const std::vector<int> &slots, CModuleImageContainer *image);
    void EraseCaldata(ViSession id, const std::vector<std::pair<int, int>> &slotChannels, bool loadMinikernel,
                      int moduleType);
    void SetForceMode(ViSession id, bool force);
    void GetSlotList(ViSession id, std::vector<int> &slots);
    int GetBaudrate(ViSession id);
    int GetConnectionType(ViSession id);
    int GetConnectionGPIBAddress(ViSession id);
    int GetMainframeType(ViSession id);
    std::string GetSlotProductId(ViSession id, int slot);
    std::string GetSlotFirmwareRevision(ViSession id, int slot);
    int GetSlotModuleType(ViSession id, int slot);

    friend std::ostream &operator<<(std::ostream &os, const CVisaConnectionManager &manager);

private:
    bool ProbeCandidate(ViSession rm, const std::string &candidate, int connType, ViSession &session);

    int mScanBaudrate = 38400;
    std::map<std::string, CVisaConnection *> mConnections;
    std::map<ViSession, CVisaSession *> mSessions;
};

std::ostream &operator<<(std::ostream &os, const CVisaConnectionManager &manager);
