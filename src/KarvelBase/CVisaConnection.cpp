#include "CVisaConnection.h"

#include "CVisaGPIBConnection.h"
#include "CVisaSerialConnection.h"

#include "CVisaSession.h"
#include "UsrException.h"

#include <cstdlib>
#include <cstring>

CVisaConnection::CVisaConnection(const char *connString, int type) : mConnType(type)
{
    mConnString = strdup(connString ? connString : "");
    if (!mConnString)
        KARVEL_RAISE(UsrOSException, "Cannot allocate memory.", 6001);
}

CVisaConnection::~CVisaConnection()
{
    std::free(mConnString);
}

void CVisaConnection::Initialize()
{
    KARVEL_RAISE(UsrClassException, "Unsupported method CVisaConnection::Initialize () called", 0);
}

int CVisaConnection::GetConnectionBaudrate(ViSession)
{
    KARVEL_RAISE(UsrClassException, "Unsupported method CVisaConnection::GetConnectionBaudrate (ViSession) called", 0);
}

void CVisaConnection::SetConnectionBaudrate(int)
{
    KARVEL_RAISE(UsrClassException, "Unsupported method CVisaConnection::SetConnectionBaudrate (ViSession, int) called",
                 0);
}

int CVisaConnection::GetConnectionGPIBAddress(ViSession)
{
    KARVEL_RAISE(UsrClassException, "Unsupported method CVisaConnection::GetConnectionGPIBAddress (ViSession) called",
                 0);
}

void CVisaConnection::SetSession(CVisaSession *session)
{
    if (mSession)
        KARVEL_RAISE(
            UsrDataException,
            std::string("Trying to set mSession attribute, but it is already set. mConnString = ") + mConnString, 0);
    if (session)
        mSession = session;
}

void CVisaConnection::ClearSession()
{
    mSession = nullptr;
}

std::ostream &operator<<(std::ostream &os, CVisaConnection &connection)
{
    os << connection.mConnString;
    if (connection.mConnType == ConnType_GPIB)
        os << " connection type: GPIB ";
    else if (connection.mConnType == ConnType_Serial)
        os << " connection type: Serial ";
    else
        os << " connection type: " << connection.mConnType;
    if (!connection.mSession) {
        os << " no session attached";
        return os;
    }
    const ViSession id = connection.mSession->GetViSession();
    if (connection.mConnType == ConnType_GPIB) {
        const int address = connection.GetConnectionGPIBAddress(id);
        os << " GPIB Address: " << address;
    } else if (connection.mConnType == ConnType_Serial) {
        const int baud = connection.GetConnectionBaudrate(id);
        os << " Baudrate: " << baud;
    }
    os << " session ID: " << static_cast<unsigned long>(id);
    return os;
}
