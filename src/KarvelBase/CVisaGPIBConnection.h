#pragma once
// A GPIB resource: the primary address is taken from the resource string.

#include "CVisaConnection.h"

class CVisaGPIBConnection : public CVisaConnection
{
public:
    explicit CVisaGPIBConnection(const char *connString);
    void Initialize() override;
    int GetConnectionGPIBAddress(ViSession session) override;

    int mGpibAddress = -1;
};
