// karvel-sim on a pseudo-terminal, karvel-cli as a separate process.

#include "support/Process.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace {

const char *const kDemo = R"J({"mainframe": {"model": "7352A"}, "slots": [
    {"slot": 0, "product": "73591B", "kind": "TLS", "firmware": "V3.10(1234)"},
    {"slot": 1, "product": "73561A", "kind": "FLS"},
    {"slot": 2, "product": "73532A", "kind": "PM", "heads": [{"head": 1, "product": "73536B"}, {"head": 2, "product": "73562A"}]},
    {"slot": 3, "product": "73504A", "kind": "QD", "reportsEmpty": true},
    {"slot": 4, "product": "73598A", "kind": "FLS"}]})J";

std::string Prefixed(const std::string &image)
{
    return std::string("\x08\0\0\0\x08\0\0\0", 8) + image;
}

class CliEndToEnd : public ::testing::Test
{
protected:
    // Starts karvel-sim with the scenario on a pseudo-terminal linked in the scratch folder.
    void StartSim(const std::string &scenario)
    {
        const std::string file = dir.Write("scenario.json", scenario);
        dir.Write("visa.conf", "ASRL1::INSTR serial:" + dir.File("pty") + "\n");
        sim = std::make_unique<CBackgroundProgram>(
            std::vector<std::string>{ProgramDirectory() + "/karvel-sim", "--scenario", file, "--pty", dir.File("pty"),
                                     "--log", dir.File("events.jsonl"), "--flash-dir", dir.File("flash"), "--capture",
                                     dir.File("capture.bin")},
            dir.File("sim.out"));
        ASSERT_TRUE(WaitForPath(dir.File("pty"))) << ReadWholeFile(dir.File("sim.out"));
    }

    SRunResult Cli(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv{ProgramDirectory() + "/karvel-cli"};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(
            argv, {{"KARVEL_VISA_CONF", dir.File("visa.conf")}, {"KARVEL_WAIT_SCALE", "0"}, {"TMP", dir.Path()}},
            dir.Path());
    }

    std::string Report() const { return ReadWholeFile(dir.File("KarvRep.log")); }
    std::string Flash(const std::string &name) const { return ReadWholeFile(dir.File("flash/" + name)); }

    CScratchDir dir;
    std::unique_ptr<CBackgroundProgram> sim;
};

} // namespace

TEST_F(CliEndToEnd, FirmwareUpdateOfTwoModulesInTheChosenOrder)
{
    StartSim(kDemo);
    const std::string image = MakeFirmwareImage("@(#)Image Stamp: FLS_", 5000);
    const std::string path = dir.Write("fls.bin", image);
    const auto run = Cli({"update", "ASRL1::INSTR", path, "4,1"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Flash("slot4-firm.bin"), Prefixed(image));
    EXPECT_EQ(Flash("slot1-firm.bin"), Prefixed(image));
    const std::string report = Report();
    EXPECT_EQ(report.rfind("Tessaly Technologies 735x module update program\r\nVersion 2.2.5.6\r\n", 0), 0u);
    const auto slot4 = report.find(": Updating slot no 4 with firmware\r\nSuccess.\r\n");
    const auto slot1 = report.find(": Updating slot no 1 with firmware\r\nSuccess.\r\n");
    ASSERT_NE(slot4, std::string::npos);
    EXPECT_LT(slot4, slot1);
    EXPECT_NE(report.find("\r\nStarting module update "), std::string::npos);
    EXPECT_NE(report.find(" successfully closed.\r\n\r\nModule update program Version 2.2.5.6 finished at "),
              std::string::npos);
    EXPECT_EQ(report.substr(report.size() - 4), "\r\n\r\n");
    EXPECT_EQ(report.find("\n\n"), std::string::npos); // every line feed became CR LF
    EXPECT_EQ(ReadWholeFile(dir.File("KarvFil.dat")), path);
    const std::string capture = ReadWholeFile(dir.File("capture.bin"));
    EXPECT_NE(capture.find("SPECIAL:PRIVATE:UPDATE:MODULE:INTTYPE? 4,1,0\n" + std::string(1, '\0')), std::string::npos);
    EXPECT_EQ(capture.substr(capture.size() - 15), "SPECIAL:REBOOT\n");

    const auto slots = Cli({"slots", "ASRL1::INSTR"});
    ASSERT_EQ(slots.status, 0) << slots.err;
    EXPECT_NE(slots.out.find("0\t73591B\tTunable laser source\tV3.10(1234)\n"), std::string::npos) << slots.out;
    EXPECT_NE(slots.out.find("4\t73598A\tFixed laser source\t"), std::string::npos) << slots.out;
}

TEST_F(CliEndToEnd, CaldataUpdateAndErase)
{
    StartSim(kDemo);
    const std::string caldata = MakeCaldataImage("73591B", 3000);
    const auto update = Cli({"--caldata", "update", "ASRL1::INSTR", dir.Write("cal.bin", caldata), "0"});
    ASSERT_EQ(update.status, 0) << update.out << update.err;
    EXPECT_EQ(Flash("slot0-cald.bin"), caldata);

    const auto erase = Cli({"erase", "ASRL1::INSTR", "0,2:2"});
    ASSERT_EQ(erase.status, 0) << erase.out << erase.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("flash/slot0-cald.bin")));
    const std::string events = ReadWholeFile(dir.File("events.jsonl"));
    EXPECT_NE(events.find("caldata of slot 2 head 2 erased"), std::string::npos);
    EXPECT_NE(Report().find("Erasing caldata from slot: 2, channel no.: 2\r\n"), std::string::npos);
}

TEST_F(CliEndToEnd, ForcedUpdateOfASlotThatReportsEmpty)
{
    StartSim(kDemo);
    const std::string image = MakeFirmwareImage("@(#)Image Stamp: QUENDREL1_", 3000);
    const auto run = Cli({"--force", "--type", "qd", "update", "ASRL1::INSTR", dir.Write("qd.bin", image), "3"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Flash("slot3-firm.bin"), Prefixed(image));
    EXPECT_NE(Report().find(": Force mode set to: true\r\n"), std::string::npos);
}

TEST_F(CliEndToEnd, FailuresExitWithOneAndStillWriteTheReport)
{
    StartSim(R"J({"mainframe": {"model": "7352A"}, "slots": [
        {"slot": 1, "product": "73561A", "kind": "FLS"}, {"slot": 2, "product": "73999Z", "kind": "FLS"}]})J");
    const auto wrong =
        Cli({"update", "ASRL1::INSTR", dir.Write("tls.bin", MakeFirmwareImage("@(#)Image Stamp: TLS_", 900)), "1"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("karvel-cli: Unknown product ID found: 73999Z"), std::string::npos) << wrong.err;
    EXPECT_NE(Report().find("UsrDataException:\r\n   Minor: 3030\r\n"), std::string::npos);
    EXPECT_NE(Report().find("*** Internal data begin ***"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(dir.File("capture.bin")).find("Flash"), std::string::npos);
}

TEST_F(CliEndToEnd, WrongImageSendsNoFlashCommand)
{
    StartSim(kDemo);
    const auto run =
        Cli({"update", "ASRL1::INSTR", dir.Write("tls.bin", MakeFirmwareImage("@(#)Image Stamp: TLS_", 900)), "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Wrong image file found: "), std::string::npos) << run.err;
    EXPECT_NE(Report().find("UsrDataException:\r\n   Minor: 2010\r\n"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(dir.File("capture.bin")).find("Flash"), std::string::npos);
}

TEST_F(CliEndToEnd, SimulatorDyingMidTransferEndsTheRunWithoutHanging)
{
    StartSim(R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 1, "product": "73561A", "kind": "FLS"}],
                  "faults": [{"type": "dropAfterBytes", "n": 20000}]})J");
    const auto start = std::chrono::steady_clock::now();
    const auto run =
        Cli({"update", "ASRL1::INSTR", dir.Write("fls.bin", MakeFirmwareImage("@(#)Image Stamp: FLS_", 60000)), "1"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("bfff00a6"), std::string::npos) << run.err; // the connection was lost
    EXPECT_NE(Report().find("Module update program Version 2.2.5.6 finished at"), std::string::npos);
}

TEST_F(CliEndToEnd, UsageErrorsExitWithTwoAndNameTheArgument)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, ""},
        {{"update", "ASRL1::INSTR", "x.bin", "4,x"}, "SLOTS: \"x\" is not a number"},
        {{"update", "COM1", "x.bin", "4"}, "RESOURCE: \"COM1\""},
        {{"--type", "XYZ", "slots", "ASRL1::INSTR"}, "--type: \"XYZ\""},
        {{"erase", "ASRL1::INSTR", "1:"}, "ENTRIES"},
        {{"scan", "usb"}, "usb"},
    };
    for (const auto &[args, named] : cases) {
        const auto run = Cli(args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("COMMAND") == std::string::npos ? run.err.find("Usage") : 0, std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("KarvRep.log")));
}

TEST_F(CliEndToEnd, AMissingVisaLibraryIsNamedWithItsReason)
{
    std::vector<std::string> argv{ProgramDirectory() + "/karvel-cli", "scan", "serial"};
    const auto run =
        RunProgram(argv, {{"KARVEL_VISA_LIBRARY", dir.File("libvendorvisa.so")}, {"TMP", dir.Path()}}, dir.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Determination of visa adresses failed. VISA library " + dir.File("libvendorvisa.so") +
                           " could not be loaded: "),
              std::string::npos)
        << run.err;
    EXPECT_NE(Report().find("UsrVisaException:\r\n   Minor: 5060\r\n"), std::string::npos);
    const auto version = RunProgram({ProgramDirectory() + "/karvel-cli", "version"},
                                    {{"KARVEL_VISA_LIBRARY", dir.File("libvendorvisa.so")}}, dir.Path());
    EXPECT_EQ(version.status, 1);
    EXPECT_NE(version.out.find("n/a"), std::string::npos);
    EXPECT_NE(version.err.find("libvendorvisa.so"), std::string::npos);
}
