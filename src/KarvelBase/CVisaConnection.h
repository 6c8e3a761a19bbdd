#pragma once
// One VISA resource the scan found: its resource string, its kind and the
// session open on it. The connection manager owns these objects.

#include "KarvelVisa.h"

#include <ostream>

class CVisaSession;

enum EvisaConnectionType
{
    ConnType_GPIB = 1,
    ConnType_Serial = 2
};

class CVisaConnection
{
public:
    virtual ~CVisaConnection();
    CVisaConnection(const CVisaConnection &) = delete;
    CVisaConnection &operator=(const CVisaConnection &) = delete;

    virtual void Initialize();
    virtual int GetConnectionBaudrate(ViSession session);
    virtual void SetConnectionBaudrate(int baud);
    virtual int GetConnectionGPIBAddress(ViSession session);
    virtual void SetSession(CVisaSession *session);
    virtual void ClearSession();

    CVisaSession *GetSession() const { return mSession; }
    int GetConnectionType() const { return mConnType; }

    int mConnType;
    char *mConnString = nullptr;
    CVisaSession *mSession = nullptr;

protected:
    CVisaConnection(const char *connString, int type);
};

std::ostream &operator<<(std::ostream &os, CVisaConnection &connection);
