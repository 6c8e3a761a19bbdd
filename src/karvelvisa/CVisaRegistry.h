#pragma once
// Handle bookkeeping of the bundled VISA library: resource managers, find
// lists and instrument sessions, each a distinct non-zero 32-bit handle.
// Closing a resource manager closes what was opened through it.

#include "CInstrSession.h"
#include "CResourceTable.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CVisaRegistry
{
public:
    static CVisaRegistry &Instance();

    ViStatus OpenDefaultRM(ViSession &rm);
    ViStatus FindResources(ViSession rm, const std::string &expression, ViFindList &list, ViUInt32 &count,
                           std::string &first);
    ViStatus FindNext(ViFindList list, std::string &next);
    ViStatus Open(ViSession rm, const std::string &name, ViUInt32 openTimeoutMs, ViSession &session);
    ViStatus Close(ViObject handle);
    // The session behind a handle, kept alive while the caller uses it; null when unknown.
    std::shared_ptr<CInstrSession> Session(ViSession handle);
    bool IsResourceManager(ViObject handle);
    std::vector<std::string> Diagnostics();

private:
    struct SResourceManager
    {
        CResourceTable table;
        std::set<ViObject> children;
    };
    struct SFindList
    {
        ViSession rm = 0;
        std::vector<std::string> names;
        std::size_t next = 0;
    };

    ViUInt32 NewHandle();

    std::mutex mMutex;
    ViUInt32 mLastHandle = 0x1000;
    std::map<ViSession, SResourceManager> mManagers;
    std::map<ViFindList, SFindList> mFindLists;
    std::map<ViSession, std::pair<ViSession, std::shared_ptr<CInstrSession>>> mSessions;
    std::vector<std::string> mDiagnostics;
};
