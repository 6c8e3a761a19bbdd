#include "CVisaSerialConnection.h"

#include "CVisaSession.h"
#include "UsrException.h"

#include <string>

CVisaSerialConnection::CVisaSerialConnection(const char *connString) : CVisaConnection(connString, ConnType_Serial) {}

int CVisaSerialConnection::GetConnectionBaudrate(ViSession)
{
    if (mBaudrate == -1)
        KARVEL_RAISE(UsrConfigException,
                     std::string("Invalid serial baudrate for connection: ") + mConnString +
                         ". Serial connection is not initialized.",
                     5030);
    return mBaudrate;
}

void CVisaSerialConnection::SetConnectionBaudrate(int baud)
{
    if (baud < 9600 || baud > 38400)
        KARVEL_RAISE(UsrConfigException, std::string("Invalid serial baudrate for connection: ") + mConnString, 5030);
    mBaudrate = baud;
}

void CVisaSerialConnection::SetSession(CVisaSession *session)
{
    CVisaConnection::SetSession(session);
    if (mSession && mBaudrate != -1)
        mSession->SetBaudrate(mBaudrate);
}

void CVisaSerialConnection::ClearSession()
{
    CVisaConnection::ClearSession();
    mBaudrate = -1;
}
