#include "KarvelBase/CVisaGPIBConnection.h"
#include "KarvelBase/CVisaSerialConnection.h"
#include "KarvelBase/UsrException.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

int MinorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const UsrException &e) {
        return e.GetMinor();
    }
    return 0;
}

} // namespace

TEST(GpibConnection, ResourceStringCheck)
{
    struct SCase
    {
        const char *resource;
        int minor;
        int address;
    };
    const std::vector<SCase> cases = {
        {"GPIB0::22::INSTR", 0, 22},
        {"GPIB0::0::INSTR", 0, 0},
        {"GPIB0::30::INSTR", 0, 30},
        {"GPIB0:: 7::INSTR", 0, 7},
        {"GPIB0::7 ::INSTR", 0, 7},
        {"GPIBx::7::INSTR", 0, 7},
        {"GPIB0::31::INSTR", 5020, -1},
        {"GPIB0::-1::INSTR", 5020, -1},
        {"GPIB0::22a::INSTR", 5020, -1},
        {"GPIB0::0x5::INSTR", 5020, -1},
        {"GPIB0::22::0::INSTR", 5020, -1},
        {"GPIB0::ab::INSTR", 5020, -1},
        {"GPIB0::99999999999::INSTR", 5020, -1},
        {"GPIB0::::INSTR", 5001, -1},
        {"GPIB0::22", 5001, -1},
        {"gpib0::22::INSTR", 5001, -1},
        {"GPIB10::22::INSTR", 5001, -1},
        {"GPIB::22::INSTR", 5001, -1},
        {"GPIB0::22::INSTRX", 5001, -1},
        {"GPIB0::99::INSTRX", 5020, -1},
        {"::22::INSTR", 5001, -1},
        {"", 5001, -1},
    };
    for (const auto &c : cases) {
        CVisaGPIBConnection connection(c.resource);
        EXPECT_EQ(MinorOf([&] { connection.Initialize(); }), c.minor) << c.resource;
        EXPECT_EQ(connection.mGpibAddress, c.address) << c.resource;
    }
    CVisaGPIBConnection fresh("GPIB0::22::INSTR");
    try {
        fresh.GetConnectionGPIBAddress(0);
        FAIL();
    } catch (const UsrConfigException &e) {
        EXPECT_EQ(e.GetReason(), "Invalid GPIB address in connection string: GPIB0::22::INSTR. GPIB connection is "
                                 "not initialized.");
    }
}

TEST(SerialConnection, BaudRateRangeAndSessionBookkeeping)
{
    CVisaSerialConnection connection("ASRL1::INSTR");
    connection.Initialize();
    for (int baud : {9600, 19200, 38400, 14400}) {
        connection.SetConnectionBaudrate(baud);
        EXPECT_EQ(connection.GetConnectionBaudrate(0), baud);
    }
    for (int baud : {9599, 38401, 0}) {
        EXPECT_EQ(MinorOf([&] { connection.SetConnectionBaudrate(baud); }), 5030);
        EXPECT_EQ(connection.mBaudrate, 14400);
    }
    connection.ClearSession();
    std::ostringstream dump;
    dump << connection;
    EXPECT_EQ(dump.str(), "ASRL1::INSTR connection type: Serial  no session attached");
    EXPECT_EQ(MinorOf([&] { connection.GetConnectionBaudrate(0); }), 5030);
    connection.SetSession(nullptr);
    EXPECT_EQ(connection.GetSession(), nullptr);
    // The base class refuses what only the kinds support.
    EXPECT_EQ(MinorOf([&] { connection.GetConnectionGPIBAddress(0); }), 0);
    try {
        CVisaGPIBConnection gpib("GPIB0::1::INSTR");
        gpib.SetConnectionBaudrate(9600);
        FAIL();
    } catch (const UsrClassException &e) {
        EXPECT_EQ(e.GetReason(), "Unsupported method CVisaConnection::SetConnectionBaudrate (ViSession, int) called");
    }
}
