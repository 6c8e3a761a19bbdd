#include "CVisaRegistry.h"

#include "CSerialTransport.h"
#include "CSimTransport.h"
#include "CTcpTransport.h"

#include <regex>

namespace {

// A VISA resource expression: '?' any one character, '*' any number of the
// preceding one, compared without regard to case.
bool MatchesExpression(const std::string &expression, const std::string &name)
{
    std::string pattern;
    for (char c : expression) {
        if (c == '?')
            pattern += '.';
        else if (c == '*')
            pattern += '*';
        else if (std::isalnum(static_cast<unsigned char>(c)))
            pattern += c;
        else
            pattern += std::string("\\") + c;
    }
    try {
        return std::regex_match(name, std::regex(pattern, std::regex::icase));
    } catch (const std::regex_error &) {
        return false;
    }
}

std::unique_ptr<CTransport> MakeTransport(const SResource &resource, ViUInt32 openTimeoutMs)
{
    switch (resource.kind) {
    case SResource::EKind::Serial: {
        auto serial = std::make_unique<CSerialTransport>(resource.device);
        return serial->IsOpen() ? std::move(serial) : nullptr;
    }
    case SResource::EKind::Tcp: {
        const int timeout = openTimeoutMs ? static_cast<int>(std::min<ViUInt32>(openTimeoutMs, 60000)) : 5000;
        auto tcp = std::make_unique<CTcpTransport>(resource.host, resource.port, timeout);
        return tcp->IsOpen() ? std::move(tcp) : nullptr;
    }
    case SResource::EKind::Sim:
        return CSimTransport::Open(resource.scenario);
    }
    return nullptr;
}

} // namespace

CVisaRegistry &CVisaRegistry::Instance()
{
    static CVisaRegistry *registry = new CVisaRegistry(); // lives until the process ends
    return *registry;
}

ViUInt32 CVisaRegistry::NewHandle()
{
    // 9999 is skipped: callers use it to mean "no session open".
    do {
        ++mLastHandle;
    } while (mLastHandle == 0 || mLastHandle == 9999 || mManagers.count(mLastHandle) || mFindLists.count(mLastHandle) ||
             mSessions.count(mLastHandle));
    return mLastHandle;
}

ViStatus CVisaRegistry::OpenDefaultRM(ViSession &rm)
{
    CResourceTable table = CResourceTable::Load();
    std::lock_guard lock(mMutex);
    for (const auto &problem : table.Diagnostics())
        mDiagnostics.push_back(problem);
    rm = NewHandle();
    mManagers[rm].table = std::move(table);
    return VI_SUCCESS;
}

ViStatus CVisaRegistry::FindResources(ViSession rm, const std::string &expression, ViFindList &list, ViUInt32 &count,
                                      std::string &first)
{
    std::lock_guard lock(mMutex);
    auto manager = mManagers.find(rm);
    if (manager == mManagers.end())
        return VI_ERROR_INV_OBJECT;
    SFindList found;
    found.rm = rm;
    for (const auto &resource : manager->second.table.Resources())
        if (MatchesExpression(expression, resource.name))
            found.names.push_back(resource.name);
    count = static_cast<ViUInt32>(found.names.size());
    if (found.names.empty())
        return VI_ERROR_RSRC_NFOUND;
    first = found.names[0];
    found.next = 1;
    list = NewHandle();
    mFindLists[list] = std::move(found);
    manager->second.children.insert(list);
    return VI_SUCCESS;
}

ViStatus CVisaRegistry::FindNext(ViFindList list, std::string &next)
{
    std::lock_guard lock(mMutex);
    auto found = mFindLists.find(list);
    if (found == mFindLists.end())
        return VI_ERROR_INV_OBJECT;
    if (found->second.next >= found->second.names.size())
        return VI_ERROR_RSRC_NFOUND;
    next = found->second.names[found->second.next++];
    return VI_SUCCESS;
}

ViStatus CVisaRegistry::Open(ViSession rm, const std::string &name, ViUInt32 openTimeoutMs, ViSession &session)
{
    SResource resource;
    {
        std::lock_guard lock(mMutex);
        auto manager = mManagers.find(rm);
        if (manager == mManagers.end())
            return VI_ERROR_INV_OBJECT;
        const SResource *known = manager->second.table.Find(name);
        if (!known)
            return VI_ERROR_RSRC_NFOUND;
        resource = *known;
    }
    auto transport = MakeTransport(resource, openTimeoutMs); // may block: outside the lock
    if (!transport)
        return VI_ERROR_RSRC_NFOUND;
    auto instr = std::make_shared<CInstrSession>(resource, std::move(transport));
    std::lock_guard lock(mMutex);
    auto manager = mManagers.find(rm);
    if (manager == mManagers.end())
        return VI_ERROR_INV_OBJECT;
    session = NewHandle();
    mSessions[session] = {rm, instr};
    manager->second.children.insert(session);
    return VI_SUCCESS;
}

ViStatus CVisaRegistry::Close(ViObject handle)
{
    std::vector<std::shared_ptr<CInstrSession>> closing; // destroyed after the lock is released
    std::lock_guard lock(mMutex);
    if (auto session = mSessions.find(handle); session != mSessions.end()) {
        if (auto manager = mManagers.find(session->second.first); manager != mManagers.end())
            manager->second.children.erase(handle);
        closing.push_back(session->second.second);
        mSessions.erase(session);
        return VI_SUCCESS;
    }
    if (auto list = mFindLists.find(handle); list != mFindLists.end()) {
        if (auto manager = mManagers.find(list->second.rm); manager != mManagers.end())
            manager->second.children.erase(handle);
        mFindLists.erase(list);
        return VI_SUCCESS;
    }
    auto manager = mManagers.find(handle);
    if (manager == mManagers.end())
        return VI_ERROR_INV_OBJECT;
    for (ViObject child : manager->second.children) {
        if (auto session = mSessions.find(child); session != mSessions.end()) {
            closing.push_back(session->second.second);
            mSessions.erase(session);
        }
        mFindLists.erase(child);
    }
    mManagers.erase(manager);
    return VI_SUCCESS;
}

std::shared_ptr<CInstrSession> CVisaRegistry::Session(ViSession handle)
{
    std::lock_guard lock(mMutex);
    auto session = mSessions.find(handle);
    return session == mSessions.end() ? nullptr : session->second.second;
}

bool CVisaRegistry::IsResourceManager(ViObject handle)
{
    std::lock_guard lock(mMutex);
    return mManagers.count(handle) != 0;
}

std::vector<std::string> CVisaRegistry::Diagnostics()
{
    std::lock_guard lock(mMutex);
    return mDiagnostics;
}
