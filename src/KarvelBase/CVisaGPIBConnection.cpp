#include "CVisaGPIBConnection.h"

#include "UsrException.h"

#include <sstream>
#include <string>

CVisaGPIBConnection::CVisaGPIBConnection(const char *connString) : CVisaConnection(connString, ConnType_GPIB) {}

void CVisaGPIBConnection::Initialize()
{
    const std::string s = mConnString;
    if (mConnType != ConnType_GPIB)
        KARVEL_RAISE(UsrDataException, "Wrong Visa connection type passed as argument for connection: " + s, 5010);
    const std::size_t p1 = s.find("::");
    if (p1 == std::string::npos)
        KARVEL_RAISE(UsrDataException, "Invalid GPIB connection string passed as argument: " + s, 5001);
    const std::size_t p2 = s.rfind("::");
    if (!(p2 > p1 + 2))
        KARVEL_RAISE(UsrDataException, "Invalid GPIB connection string passed as argument: " + s, 5001);

    // The address is read as a stream extraction into an int would read it.
    std::istringstream addressText(s.substr(p1 + 2, p2 - p1 - 2));
    int address = -1;
    int value = 0;
    if (addressText >> value)
        address = value;
    std::string trailing;
    if (addressText >> trailing)
        KARVEL_RAISE(UsrConfigException, "Invalid GPIB address in connection string: " + s, 5020);
    if (address < 0 || address > 30)
        KARVEL_RAISE(UsrConfigException, "Invalid GPIB address in connection string: " + s, 5020);

    const std::string head = p1 == 0 ? s : s.substr(0, p1 - 1);
    if (head != "GPIB" || s.substr(p2) != "::INSTR")
        KARVEL_RAISE(UsrDataException, "Invalid GPIB connection string passed as argument: " + s, 5001);
    mGpibAddress = address;
}

int CVisaGPIBConnection::GetConnectionGPIBAddress(ViSession)
{
    if (mGpibAddress == -1)
        KARVEL_RAISE(UsrConfigException,
                     std::string("Invalid GPIB address in connection string: ") + mConnString +
                         ". GPIB connection is not initialized.",
                     5020);
    return mGpibAddress;
}
