#include "support/SessionFixture.h"

#include "KarvelManager/CKarvelViewManager.h"
#include "KarvelManager/CVisaConnectionManager.h"

#include <list>
#include <sstream>

namespace {

class ConnectionManagerTest : public SessionFixture
{
public:
    void SetUp() override
    {
        SessionFixture::SetUp();
        const std::string a = dir.Write(
            "a.json",
            R"J({"mainframe": {"model": "7352A"}, "slots": [{"slot": 1, "product": "73561A", "kind": "FLS"}]})J");
        const std::string b = dir.Write("b.json", R"J({"mainframe": {"model": "8164B"}})J");
        conf.emplace("KARVEL_VISA_CONF", dir.Write("visa.conf", "GPIB0::22::INSTR sim:" + a + "\nGPIB0::5::INSTR sim:" +
                                                                    b + "\nASRL1::INSTR sim:" + a +
                                                                    "\nASRL2::INSTR serial:/nonexistent/tty\n"));
    }
    std::list<std::string> List()
    {
        std::list<std::string> list;
        manager.GetConnectionList(list);
        return list;
    }
    CVisaConnectionManager manager;
};

} // namespace

TEST_F(ConnectionManagerTest, ScanKeepsTheMainframesOfOneKind)
{
    manager.ScanConnections(ConnType_GPIB, 0);
    EXPECT_EQ(List(), std::list<std::string>{"GPIB0::22::INSTR"}); // the 8164B answers but is no 735x
    EXPECT_EQ(clock.Count(1000), 2);                               // one wait after each device clear
    clock.waits.clear();
    manager.ScanConnections(ConnType_Serial, 19200);
    EXPECT_EQ(List(), std::list<std::string>{"ASRL1::INSTR"}); // ASRL2 cannot be opened
    EXPECT_EQ(manager.GetScanBaudrate(), 19200);
    EXPECT_EQ(clock.Count(1000), 1);

    const std::vector<std::pair<int, int>> classes = {{0, 9600},      {9600, 9600},   {9601, 19200},
                                                      {19200, 19200}, {19201, 38400}, {115200, 38400}};
    for (const auto &[baud, scanClass] : classes) {
        EXPECT_EQ(std::get<1>(Raised([&, baud = baud] { manager.ScanConnections(3, baud); })), 5012);
        EXPECT_EQ(manager.GetScanBaudrate(), scanClass);
    }
    EXPECT_EQ(List(), std::list<std::string>{"ASRL1::INSTR"}); // a refused scan changes nothing

    conf.emplace("KARVEL_VISA_CONF", dir.Write("empty.conf", "# nothing here\n"));
    manager.ScanConnections(ConnType_GPIB, 0);
    EXPECT_TRUE(List().empty());
}

TEST_F(ConnectionManagerTest, SessionsOpenCloseAndForward)
{
    manager.ScanConnections(ConnType_GPIB, 0);
    const ViSession id = manager.OpenSession("GPIB0::22::INSTR");
    EXPECT_TRUE(manager.IsSessionOpen("GPIB0::22::INSTR"));
    EXPECT_EQ(manager.GetMainframeType(id), MFType_7352A);
    EXPECT_EQ(manager.GetConnectionGPIBAddress(id), 22);
    EXPECT_EQ(manager.GetSlotModuleType(id, 1), ModType_FLS);
    EXPECT_EQ(manager.GetSlotProductId(id, 1), "73561A");
    EXPECT_EQ(std::get<1>(Raised([&] { manager.OpenSession("GPIB0::22::INSTR"); })), 5050);
    EXPECT_EQ(std::get<1>(Raised([&] { manager.OpenSession("GPIB0::7::INSTR"); })), 5040);

    std::ostringstream dump;
    dump << manager;
    EXPECT_NE(dump.str().find("Session Map:\n Session: " + std::to_string(id) + "\n" + std::to_string(id) + " 7352A"),
              std::string::npos);
    EXPECT_NE(dump.str().find("\nConnection Map:\n Connection: GPIB0::22::INSTR\nGPIB0::22::INSTR connection type: "
                              "GPIB  GPIB Address: 22 session ID: " +
                              std::to_string(id) + "\n"),
              std::string::npos);

    manager.CloseSession(id);
    EXPECT_FALSE(manager.IsSessionOpen("GPIB0::22::INSTR"));
    EXPECT_EQ(Raised([&] { manager.CloseSession(id); }),
              std::make_tuple(std::string("UsrVisaException"), 3300,
                              "Try to close unknown visa session: " + std::to_string(static_cast<int>(id))));
    EXPECT_EQ(std::get<1>(Raised([&] { manager.GetBaudrate(id); })), 3310);
    // A new scan closes what is open, whatever its kind.
    const ViSession again = manager.OpenSession("GPIB0::22::INSTR");
    manager.ScanConnections(ConnType_Serial, 38400);
    EXPECT_EQ(std::get<1>(Raised([&] { manager.GetSession(again); })), 3310);
}

TEST_F(ConnectionManagerTest, VisaInformationAndAMissingLibrary)
{
    std::string info;
    EXPECT_EQ(manager.GetVisaInformation(info), VI_SUCCESS);
    EXPECT_EQ(info,
              "Manufacturer: Karvel bundled VISA library\nVISA version: 0x500800\nVISA driver version: 0x10000\n");
    ASSERT_FALSE(CVisaLibrary::Instance().Load(dir.File("libmissing.so")));
    info.clear();
    manager.GetVisaInformation(info);
    EXPECT_EQ(info, "n/a");
    const auto [className, minor, reason] = Raised([&] { manager.ScanConnections(ConnType_GPIB, 0); });
    EXPECT_EQ(minor, 5060);
    EXPECT_NE(reason.find("Determination of visa adresses failed. VISA library " + dir.File("libmissing.so")),
              std::string::npos)
        << reason;
    EXPECT_NE(reason.find("No such file"), std::string::npos);
}

TEST_F(ConnectionManagerTest, FacadeNarratesEachOperation)
{
    CKarvelViewManager *facade = GetManager();
    facade->Initialize();
    CRecordingView view;
    facade->mView = &view;
    auto *holder = CUpdateReportHolder::Instance();
    facade->ScanConnections(ConnType_Serial, 9600);
    EXPECT_EQ(holder->GetReportText(), "Resolving available visa connections...\n"
                                       "Try to scan for all available visa connections of type: Serial...\nSuccess.\n");
    EXPECT_EQ(std::get<1>(Raised([&] { facade->ScanConnections(0, 9600); })), 5012);
    EXPECT_EQ(holder->GetLastItemText(), "Resolving available visa connections...");
    std::string resource = "ASRL1::INSTR";
    const ViSession id = facade->OpenSession(resource);
    EXPECT_EQ(holder->GetLastItemText(), "Success. New visa session ID is: " + std::to_string(id));
    facade->SetForceMode(id, false);
    EXPECT_EQ(holder->GetLastItemText(), "Visa session " + std::to_string(id) + ": Force mode set to: false");
    facade->CloseSession(id);
    const std::string text = holder->GetReportText();
    EXPECT_THROW(facade->CloseSession(id), UsrVisaException);
    EXPECT_EQ(holder->GetReportText(), text); // a failed close adds nothing
    EXPECT_EQ(std::get<1>(Raised([&] { facade->StartUpdate(id, {1}, ModType_FLS, 1); })), 4044);
    DestroyManager();
}
