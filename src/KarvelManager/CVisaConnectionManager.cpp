#include "CVisaConnectionManager.h"

#include "KarvelBase/CVisaConnection.h"
#include "KarvelBase/CVisaGPIBConnection.h"
#include "KarvelBase/CVisaSerialConnection.h"
#include "KarvelBase/CVisaSession.h"
#include "KarvelBase/CWaitClock.h"
#include "KarvelBase/UsrException.h"

#include "CVisaLibrary.h"
#include "SetSerialParameters.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <sstream>

namespace {

constexpr int kProbeTimeoutMs = 250;
constexpr int kClearWaitMs = 1000;

// The fields of an *IDN? reply, split at commas and line feeds, empty ones dropped.
std::vector<std::string> ReplyFields(const std::string &reply)
{
    std::vector<std::string> fields;
    std::string field;
    for (char c : reply) {
        if (c == ',' || c == '\n') {
            if (!field.empty())
                fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty())
        fields.push_back(field);
    return fields;
}

std::string Hex(ViUInt32 value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

} // namespace

CVisaConnectionManager::~CVisaConnectionManager()
{
    CloseAllSessions();
    DeleteAllConnections();
}

void CVisaConnectionManager::ScanConnections(int connType, int baudrate)
{
    mScanBaudrate = baudrate <= 9600 ? 9600 : baudrate <= 19200 ? 19200 : 38400;
    if (connType != ConnType_GPIB && connType != ConnType_Serial)
        KARVEL_RAISE(UsrVisaException, "Unknown Visa connection type", 5012);
    CloseAllSessions();
    DeleteAllConnections();
    std::string list;
    if (FindVisaResources(connType, list) != 0) {
        std::string reason = "Determination of visa adresses failed.";
        const CVisaLibrary &library = CVisaLibrary::Instance();
        if (!library.IsLoaded())
            reason += " " + library.LoadError();
        KARVEL_RAISE(UsrVisaException, reason, 5060);
    }
    std::stringstream entries(list);
    for (std::string entry; std::getline(entries, entry, ',');) {
        if (entry.empty())
            continue;
        std::unique_ptr<CVisaConnection> connection;
        if (connType == ConnType_GPIB)
            connection = std::make_unique<CVisaGPIBConnection>(entry.c_str());
        else
            connection = std::make_unique<CVisaSerialConnection>(entry.c_str());
        connection->Initialize(); // a failure drops this one and stops the list here
        delete mConnections[entry];
        mConnections[entry] = connection.release();
    }
}

int CVisaConnectionManager::FindVisaResources(int connType, std::string &list)
{
    const std::string interfaceName = connType == ConnType_GPIB ? "GPIB" : "ASRL";
    ViSession rm = 0;
    if (Visa().viOpenDefaultRM(&rm) < VI_SUCCESS) {
        Visa().viClose(rm);
        return VI_ERROR_SYSTEM_ERROR;
    }
    ViFindList findList = 0;
    ViUInt32 count = 0;
    char descriptor[VI_FIND_BUFLEN] = "";
    const ViStatus found = Visa().viFindRsrc(rm, "?*INSTR", &findList, &count, descriptor);
    if (found == VI_ERROR_RSRC_NFOUND || (found >= VI_SUCCESS && count == 0)) {
        Visa().viClose(findList);
        Visa().viClose(rm);
        return 0;
    }
    if (found < VI_SUCCESS) {
        Visa().viClose(rm);
        return VI_ERROR_SYSTEM_ERROR;
    }
    // Collected without a fixed limit, so no number of resources can overflow anything.
    std::vector<std::string> descriptors{descriptor};
    for (ViUInt32 i = 1; i < count; ++i) {
        descriptor[0] = '\0';
        if (Visa().viFindNext(findList, descriptor) < VI_SUCCESS)
            break;
        descriptor[VI_FIND_BUFLEN - 1] = '\0';
        descriptors.emplace_back(descriptor);
    }
    ViSession session = 0;
    for (const auto &candidate : descriptors) {
        if (candidate.find(interfaceName) == std::string::npos)
            continue;
        if (ProbeCandidate(rm, candidate, connType, session))
            list += (list.empty() ? "" : ",") + candidate;
    }
    Visa().viClose(findList);
    return Visa().viClose(rm);
}

// Opens one candidate and asks it for its identity; true for a 735x mainframe.
bool CVisaConnectionManager::ProbeCandidate(ViSession rm, const std::string &candidate, int connType,
                                            ViSession &session)
{
    if (session) {
        Visa().viClose(session);
        session = 0;
    }
    ViSession opened = 0;
    if (Visa().viOpen(rm, candidate.c_str(), 0, kProbeTimeoutMs, &opened) < VI_SUCCESS)
        return false;
    session = opened;
    const auto done = [&](bool accepted) {
        Visa().viClose(session);
        session = 0;
        return accepted;
    };
    ViUInt32 keptTimeout = 0;
    if (Visa().viGetAttribute(session, VI_ATTR_TMO_VALUE, &keptTimeout) < VI_SUCCESS ||
        Visa().viSetAttribute(session, VI_ATTR_TMO_VALUE, kProbeTimeoutMs) < VI_SUCCESS)
        return done(false);
    if (connType == ConnType_Serial && SetSerialParameters(session, mScanBaudrate) < VI_SUCCESS)
        return done(false);
    char name[256] = "";
    if (Visa().viGetAttribute(session, VI_ATTR_INTF_INST_NAME, name) < VI_SUCCESS)
        return done(false);
    name[sizeof name - 1] = '\0';
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper.find("COM") == std::string::npos && upper.find("GPIB") == std::string::npos &&
        upper.find("KVIB") == std::string::npos)
        return done(false);
    if (Visa().viClear(session) < VI_SUCCESS)
        return done(false);
    CWaitClock::Instance().Wait(kClearWaitMs);
    char reply[256] = "";
    if (Visa().viPrintf(session, "*IDN?\n") < VI_SUCCESS || Visa().viScanf(session, "%255t\n", reply) < VI_SUCCESS)
        return done(false);
    reply[sizeof reply - 1] = '\0';
    if (Visa().viSetAttribute(session, VI_ATTR_TMO_VALUE, keptTimeout) < VI_SUCCESS)
        return done(false);
    const auto fields = ReplyFields(reply);
    if (fields.size() < 2)
        return done(false);
    const std::string &model = fields[1];
    return done(model.find("7351") != std::string::npos || model.find("7352") != std::string::npos ||
                model.find("7353") != std::string::npos);
}

void CVisaConnectionManager::GetConnectionList(std::list<std::string> &out) const
{
    out.clear();
    for (const auto &entry : mConnections)
        out.push_back(entry.first);
}

ViSession CVisaConnectionManager::OpenSession(const std::string &connString)
{
    if (IsSessionOpen(connString))
        KARVEL_RAISE(UsrVisaException, "A visa session is already open for visa connection: " + connString, 5050);
    auto connection = mConnections.find(connString);
    if (connection == mConnections.end())
        KARVEL_RAISE(UsrVisaException, "Visa connection not found in internal structures: " + connString, 5040);
    auto session = std::make_unique<CVisaSession>(connection->second);
    const ViSession id = session->Open(mScanBaudrate);
    mSessions[id] = session.release();
    return id;
}

void CVisaConnectionManager::CloseSession(ViSession id)
{
    auto session = mSessions.find(id);
    if (session == mSessions.end()) {
        UsrVisaException error(__FILE__, __LINE__, "Try to close unknown visa session: ", 3300);
        error.AppendNumber(static_cast<int>(id));
        throw error;
    }
    CVisaSession *closing = session->second;
    mSessions.erase(session);
    delete closing;
}

bool CVisaConnectionManager::IsSessionOpen(const std::string &connString) const
{
    for (const auto &[name, connection] : mConnections)
        if (connString == connection->mConnString && connection->GetSession())
            return true;
    return false;
}

CVisaSession *CVisaConnectionManager::GetSession(ViSession id) const
{
    auto session = mSessions.find(id);
    if (session == mSessions.end()) {
        UsrVisaException error(__FILE__, __LINE__, "Unknown visa session: ", 3310);
        error.AppendNumber(static_cast<int>(id));
        throw error;
    }
    return session->second;
}

void CVisaConnectionManager::CloseAllSessions()
{
    for (auto &entry : mSessions)
        delete entry.second;
    mSessions.clear();
}

void CVisaConnectionManager::DeleteAllConnections()
{
    for (auto &entry : mConnections)
        delete entry.second;
    mConnections.clear();
}

int CVisaConnectionManager::GetVisaInformation(std::string &out) const
{
    ViSession rm = 0;
    if (Visa().viOpenDefaultRM(&rm) < VI_SUCCESS) {
        out += "n/a";
        return Visa().viClose(rm);
    }
    char manufacturer[256] = "";
    ViUInt32 specVersion = 0, implVersion = 0;
    out += "Manufacturer: ";
    out += Visa().viGetAttribute(rm, VI_ATTR_RSRC_MANF_NAME, manufacturer) < VI_SUCCESS ? "n/a" : manufacturer;
    out += "\nVISA version: ";
    out += Visa().viGetAttribute(rm, VI_ATTR_RSRC_SPEC_VERSION, &specVersion) < VI_SUCCESS ? "n/a" : Hex(specVersion);
    out += "\nVISA driver version: ";
    out += Visa().viGetAttribute(rm, VI_ATTR_RSRC_IMPL_VERSION, &implVersion) < VI_SUCCESS ? "n/a" : Hex(implVersion);
    out += "\n";
    return Visa().viClose(rm);
}

void CVisaConnectionManager::CheckSlotListForUpdate(ViSession id, const std::vector<int> &slots,
                                                    CModuleImageContainer *image)
{
    GetSession(id)->CheckSlotListForUpdate(slots, image);
}

void CVisaConnectionManager::StartUpdate(ViSession id, const std::vector<int> &slots, CModuleImageContainer *image)
{
    GetSession(id)->StartUpdate(slots, image);
}

void CVisaConnectionManager::EraseCaldata(ViSession id, const std::vector<std::pair<int, int>> &slotChannels,
                                          bool loadMinikernel, int moduleType)
{
    GetSession(id)->EraseCaldata(slotChannels, loadMinikernel, moduleType);
}

void CVisaConnectionManager::SetForceMode(ViSession id, bool force)
{
    GetSession(id)->SetForceMode(force);
}
void CVisaConnectionManager::GetSlotList(ViSession id, std::vector<int> &slots)
{
    GetSession(id)->GetSlotList(slots);
}
int CVisaConnectionManager::GetBaudrate(ViSession id)
{
    return GetSession(id)->GetBaudrate();
}
int CVisaConnectionManager::GetConnectionType(ViSession id)
{
    return GetSession(id)->GetConnectionType();
}
int CVisaConnectionManager::GetConnectionGPIBAddress(ViSession id)
{
    return GetSession(id)->GetConnectionGPIBAddress();
}
int CVisaConnectionManager::GetMainframeType(ViSession id)
{
    return GetSession(id)->GetMainframeType();
}

std::string CVisaConnectionManager::GetSlotProductId(ViSession id, int slot)
{
    return GetSession(id)->GetSlotProductId(slot);
}

std::string CVisaConnectionManager::GetSlotFirmwareRevision(ViSession id, int slot)
{
    return GetSession(id)->GetSlotFirmwareRevision(slot);
}

int CVisaConnectionManager::GetSlotModuleType(ViSession id, int slot)
{
    return GetSession(id)->GetSlotModuleType(slot);
}

std::ostream &operator<<(std::ostream &os, const CVisaConnectionManager &manager)
{
    os << "Session Map:\n";
    for (const auto &[id, session] : manager.mSessions)
        os << " Session: " << static_cast<unsigned long>(id) << "\n" << *session << "\n" << std::flush;
    os << "\nConnection Map:\n";
    for (const auto &[name, connection] : manager.mConnections)
        os << " Connection: " << name << "\n" << *connection << "\n" << std::flush;
    return os;
}
