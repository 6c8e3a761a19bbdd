#pragma once
// A session on the in-process simulated mainframe: a scenario written for the
// test, a resource table that maps ASRL1::INSTR and GPIB0::22::INSTR to it,
// and a clock that records the protocol waits instead of sleeping.

#include "CVisaLibrary.h"
#include "KarvelBase/CModuleImageContainer.h"
#include "KarvelBase/CUpdateReportHolder.h"
#include "KarvelBase/CVisaGPIBConnection.h"
#include "KarvelBase/CVisaSerialConnection.h"
#include "KarvelBase/CVisaSession.h"
#include "KarvelBase/CWaitClock.h"
#include "KarvelBase/UsrException.h"
#include "KarvelManager/CKarvelViewManager.h"
#include "support/EnvGuard.h"
#include "support/Process.h"
#include "support/Recorders.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <functional>
#include <memory>
#include <vector>

class CRecordingClock : public CWaitClock
{
public:
    void Wait(int milliseconds) override { waits.push_back(milliseconds); }
    int Count(int milliseconds) const
    {
        int n = 0;
        for (int wait : waits)
            n += wait == milliseconds;
        return n;
    }
    std::vector<int> waits;
};

class CProgressRecorder : public CReportObserver
{
public:
    void NotifyModelChanged(EreportItemType type) override
    {
        if (type == RepType_Progress)
            values.push_back(CUpdateReportHolder::Instance()->GetProgress());
        else
            items.push_back(CUpdateReportHolder::Instance()->GetLastItemText());
    }
    std::vector<int> values;
    std::vector<std::string> items;
};

class SessionFixture : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(CVisaLibrary::Instance().Load(CVisaLibrary::FindBundledLibrary()));
        CProductAdministrator::InitTables();
        CProductAdministrator::SetForceMode(false);
        CWaitClock::Install(&clock);
        CUpdateReportHolder::Instance()->Reset();
        CUpdateReportHolder::Instance()->SetObserver(&recorder);
    }
    void TearDown() override
    {
        session.reset();
        connection.reset();
        simProcess.reset();
        CWaitClock::Install(nullptr);
        CUpdateReportHolder::Instance()->Reset();
        CProductAdministrator::SetForceMode(false);
    }

    // Writes the scenario (with capture, event log and flash folder) and the resource table.
    void Scenario(const std::string &json)
    {
        std::string text = json;
        const auto close = text.rfind('}');
        text.insert(close, ", \"capture\": \"capture.bin\", \"eventLog\": \"events.jsonl\", \"flashDir\": \"flash\"");
        // A new file each time: the simulated mainframe lives per scenario path.
        const std::string scenario = dir.Write("scenario" + std::to_string(++scenarios) + ".json", text);
        std::string target = "sim:" + scenario;
        if (OverPty()) {
            // The same mainframe as a separate karvel-sim process on a pseudo-terminal.
            const std::string pty = dir.File("pty" + std::to_string(scenarios));
            simProcess.reset();
            simProcess = std::make_unique<CBackgroundProgram>(
                std::vector<std::string>{ProgramDirectory() + "/karvel-sim", "--scenario", scenario, "--pty", pty},
                dir.File("sim.out"));
            EXPECT_TRUE(WaitForPath(pty)) << ReadWholeFile(dir.File("sim.out"));
            target = "serial:" + pty;
        }
        conf.emplace("KARVEL_VISA_CONF",
                     dir.Write("visa.conf", "ASRL1::INSTR " + target + "\nGPIB0::22::INSTR " + target + "\n"));
    }

    // KARVEL_TEST_SIM=pty runs the tests against karvel-sim over a pseudo-terminal.
    static bool OverPty()
    {
        const char *mode = std::getenv("KARVEL_TEST_SIM");
        return mode && std::string(mode) == "pty";
    }

    // Over a pseudo-terminal the simulator works in its own process: wait
    // until what it received has stopped growing before it is read back.
    void Settle() const
    {
        if (!OverPty())
            return;
        std::uintmax_t last = ~std::uintmax_t{0};
        for (int i = 0; i < 100; ++i) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(dir.File("capture.bin"), ec);
            if (!ec && size == last)
                return;
            last = ec ? 0 : size;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }

    void Open(const std::string &resource = "ASRL1::INSTR")
    {
        if (resource.rfind("GPIB", 0) == 0)
            connection = std::make_unique<CVisaGPIBConnection>(resource.c_str());
        else
            connection = std::make_unique<CVisaSerialConnection>(resource.c_str());
        connection->Initialize();
        session = std::make_unique<CVisaSession>(connection.get());
        session->Open(38400);
    }

    CModuleImageContainer *Image(const std::string &bytes, int moduleType, int imageType)
    {
        const std::string path = dir.Write("image" + std::to_string(images.size()) + ".bin", bytes);
        images.push_back(std::make_unique<CModuleImageContainer>(path, moduleType, imageType));
        images.back()->Load();
        return images.back().get();
    }

    std::string Capture() const
    {
        Settle();
        return ReadWholeFile(dir.File("capture.bin"));
    }
    std::string Flash(int slot, const std::string &area) const
    {
        Settle();
        return ReadWholeFile(dir.File("flash/slot" + std::to_string(slot) + "-" + area + ".bin"));
    }

    // The error a call raises, as class name, minor and reason.
    static std::tuple<std::string, int, std::string> Raised(const std::function<void()> &call)
    {
        try {
            call();
        } catch (const UsrException &e) {
            return {e.GetClassName(), e.GetMinor(), e.GetReason()};
        }
        return {"none", 0, ""};
    }

    CScratchDir dir;
    int scenarios = 0;
    std::unique_ptr<CBackgroundProgram> simProcess;
    std::optional<CEnvGuard> conf;
    CRecordingClock clock;
    CProgressRecorder recorder;
    std::unique_ptr<CVisaConnection> connection;
    std::unique_ptr<CVisaSession> session;
    std::vector<std::unique_ptr<CModuleImageContainer>> images;
};
