#pragma once
// A serial resource: carries the baud rate of the session attached to it.

#include "CVisaConnection.h"

class CVisaSerialConnection : public CVisaConnection
{
public:
    explicit CVisaSerialConnection(const char *connString);
    void Initialize() override {}
    int GetConnectionBaudrate(ViSession session) override;
    void SetConnectionBaudrate(int baud) override;
    void SetSession(CVisaSession *session) override;
    void ClearSession() override;

    int mBaudrate = -1;
};
