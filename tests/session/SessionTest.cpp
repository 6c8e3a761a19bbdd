#include "support/SessionFixture.h"

#include "KarvelBase/CModuleSlot.h"

#include <sstream>

namespace {

const char *const k7352 = R"J({"mainframe": {"model": "7352A"}, "slots": [
    {"slot": 0, "product": "73591B", "kind": "TLS", "firmware": "V3.10(1234)"},
    {"slot": 1, "product": "73561A", "kind": "FLS", "firmware": "V2.04(88)"},
    {"slot": 2, "product": "73532A", "kind": "PM", "heads": [{"head": 1, "product": "73536B"}, {"head": 2, "product": "73562A"}]},
    {"slot": 4, "product": "73598A", "kind": "FLS"}]})J";

const char *const kFlsStamp = "@(#)Image Stamp: FLS_";

std::string Block(const std::string &header, const std::string &data)
{
    return header + data + "\n";
}

// The bytes of one firmware or caldata transfer as the session must send them.
std::string Transfer(const std::string &area, int slot, const std::string &data, const std::string &sectors)
{
    const std::string prefix = "Special:PRIVATE:" + area + ":slot" + std::to_string(slot) + ":Flash:";
    std::string bytes = prefix + "Start " + std::to_string(data.size()) + ",1," + sectors + "\n" + std::string(1, '\0');
    std::size_t at = 0;
    for (; at + 64 <= data.size(); at += 64)
        bytes += Block(prefix + "Data #264", data.substr(at, 64)) + "*OPC?\n";
    const std::size_t rest = data.size() - at;
    if (rest)
        bytes += Block(prefix + "Data #" + std::string(rest < 10 ? "1" : "2") + std::to_string(rest), data.substr(at));
    return bytes + "special:PRIVATE:" + area + ":slot" + std::to_string(slot) + ":Flash:Finished 0\n" +
           std::string(1, '\0');
}

std::string Prefixed(const std::string &image)
{
    return std::string("\x08\0\0\0\x08\0\0\0", 8) + image;
}

} // namespace

class SessionTest : public SessionFixture
{
};

TEST_F(SessionTest, OpenExchangesDiscoversAndWaits)
{
    Scenario(
        R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 1, "product": "73561A", "kind": "FLS", "firmware": "V2.04(88)"}]})J");
    Open();
    EXPECT_EQ(Capture(), "*CLS\nSYST:ERR?\n*IDN?\nSYST:ERR?\nslot1:empty?\nSYST:ERR?\nslot2:empty?\nSYST:ERR?\n"
                         "SLOT1:IDN?\nSYST:ERR?\nSLOT1:IDN?\nSYST:ERR?\n");
    EXPECT_EQ(clock.waits, (std::vector<int>{1000, 1000})); // after the device clear and after *CLS
    EXPECT_EQ(connection->GetSession(), session.get());
    EXPECT_EQ(session->GetBaudrate(), 38400);
    const std::string id = std::to_string(session->GetViSession());
    std::ostringstream dump;
    dump << *session;
    EXPECT_EQ(dump.str(), id +
                              " 7351A MFType_7351A 0  0 '8 Bit Minikernel NOT loaded' '16 Bit Minikernel NOT loaded' "
                              "'Quendrel Minikernel NOT loaded' 'Attenuator Minikernel NOT loaded' 'Fast powermeter "
                              "Minikernel NOT loaded' 'ASRL1::INSTR'\nSlotMap in session: " +
                              id +
                              "\n"
                              " Slot 1\n1 ModType_FLS 73561A V2.04(88) ChannelProductIDList:\n"
                              " Slot 2\n2 ModType_Unknown 735???  ChannelProductIDList:\n");
    std::vector<int> slots;
    session->GetSlotList(slots);
    EXPECT_EQ(slots, std::vector<int>{1});
    EXPECT_EQ(std::get<2>(Raised([&] { session->GetSlotModuleType(2); })), "Unknown slot number2");
    EXPECT_EQ(std::get<2>(Raised([&] { session->GetSlotModuleType(3); })), "Unknown slot number3");
    session->SetForceMode(true);
    session->GetSlotList(slots);
    EXPECT_EQ(slots, (std::vector<int>{1, 2}));
    EXPECT_EQ(session->GetSlotModuleType(2), ModType_Unknown);

    clock.waits.clear();
    EXPECT_EQ(session->SendCommand("*cls\n"), 0);
    EXPECT_TRUE(clock.waits.empty());
}

TEST_F(SessionTest, FirmwareUpdateOfTwoSlotsIsByteExact)
{
    Scenario(k7352);
    Open();
    const std::string image = MakeFirmwareImage(kFlsStamp, 100, 10);
    CModuleImageContainer *fls = Image(image, ModType_FLS, ModImageType_Firmware);
    session->CheckSlotListForUpdate({4, 1}, fls);
    recorder.items.clear();
    session->StartUpdate({4, 1}, fls);

    const std::string capture = Capture();
    const auto load = capture.find("SPECIAL:PRIVATE:UPDATE:MODULE:INTTYPE?");
    ASSERT_NE(load, std::string::npos);
    const std::string data = Prefixed(image);
    EXPECT_EQ(capture.substr(load), "SPECIAL:PRIVATE:UPDATE:MODULE:INTTYPE? 4,1,0\n" + std::string(1, '\0') +
                                        Transfer("firm", 4, data, "0,3") + Transfer("firm", 1, data, "0,3") +
                                        "SPECIAL:REBOOT\n");
    EXPECT_EQ(Flash(4, "firm"), data);
    EXPECT_EQ(Flash(1, "firm"), data);

    const std::string id = std::to_string(session->GetViSession());
    EXPECT_EQ(recorder.items,
              (std::vector<std::string>{"Visa session " + id + " Loading minikernel...", "Success.",
                                        "Visa session " + id + ": Updating slot no 4 with firmware", "Success.",
                                        "Visa session " + id + ": Updating slot no 1 with firmware", "Success."}));
    EXPECT_EQ(clock.Count(500), 100);
    ASSERT_EQ(recorder.values.size(), 102u); // 1..100 while loading, then one step per 108-byte transfer
    EXPECT_EQ(recorder.values[99], 100);
    EXPECT_EQ(recorder.values[100], 1);

    // A second firmware update in the same session stops at the minikernel.
    const auto before = Capture().size();
    EXPECT_EQ(std::get<1>(Raised([&] { session->StartUpdate({1}, fls); })), 3070);
    EXPECT_EQ(Capture().find("Flash", before), std::string::npos);
}

TEST_F(SessionTest, GpibLoadQueryHasNoLineFeedAndTransferProgressIsExact)
{
    Scenario(k7352);
    Open("GPIB0::22::INSTR");
    EXPECT_EQ(session->GetConnectionGPIBAddress(), 22);
    const std::string image = MakeFirmwareImage(kFlsStamp, 6392, 10); // 6400 bytes with the prefix
    session->StartUpdate({1}, Image(image, ModType_FLS, ModImageType_Firmware));
    EXPECT_NE(Capture().find("SPECIAL:PRIVATE:UPDATE:MODULE:INTTYPE? 1,1,0" + std::string(1, '\0')), std::string::npos);
    std::vector<int> transfer(recorder.values.begin() + 100, recorder.values.end());
    ASSERT_EQ(transfer.size(), 100u);
    EXPECT_EQ(transfer.front(), 1);
    EXPECT_EQ(transfer.back(), 100);
}

TEST_F(SessionTest, CaldataUpdateAndEraseExchanges)
{
    Scenario(k7352);
    Open();
    const std::string caldata = MakeCaldataImage("73591B", 150);
    CModuleImageContainer *image = Image(caldata, ModType_TLS, ModImageType_Caldata);
    session->CheckSlotListForUpdate({0}, image);
    recorder.items.clear();
    session->StartUpdate({0}, image);
    const std::string capture = Capture();
    const auto check = capture.find("Special:PRIVATE:cald:slot0:Flash:ChkC?");
    ASSERT_NE(check, std::string::npos);
    EXPECT_EQ(capture.substr(check), "Special:PRIVATE:cald:slot0:Flash:ChkC? #220" + caldata.substr(0, 20) +
                                         Transfer("cald", 0, caldata, "6,7") + "SPECIAL:REBOOT\n");
    EXPECT_EQ(capture.find("INTTYPE"), std::string::npos);
    EXPECT_EQ(Flash(0, "cald"), caldata);
    EXPECT_EQ(recorder.items.size(), 2u); // " with caldata" and "Success.": no minikernel line

    // Erase the module caldata of slot 0 and head 2 of the power meter in slot 2.
    const auto before = Capture().size();
    session->EraseCaldata({{0, -1}, {2, 2}}, false, ModType_Unknown);
    EXPECT_EQ(Capture().substr(before), "special:private:firm:slot0:flash:start 262144,1,6,7\nSYST:ERR?\n"
                                        "special:PRIVATE:cald:slot2:HEAD2:Flash:ERASE 0,4,7\nSYST:ERR?\n"
                                        "SPECIAL:REBOOT\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("flash/slot0-cald.bin")));
    EXPECT_EQ(std::get<1>(Raised([&] { session->EraseCaldata({{2, 3}}, false, 13); })), 1030);
    EXPECT_EQ(std::get<1>(Raised([&] { session->EraseCaldata({{3, -1}}, false, 13); })), 1020);
    EXPECT_EQ(std::get<1>(Raised([&] { session->EraseCaldata({}, false, 13); })), 3100);
}

TEST_F(SessionTest, ForceModeLoadsTheQuendrelMinikernelForEveryEmptySlot)
{
    Scenario(R"J({"mainframe": {"model": "7353A"}, "slots": [
        {"slot": 1, "product": "73504A", "kind": "QD", "reportsEmpty": true},
        {"slot": 2, "product": "73504A", "kind": "QD", "reportsEmpty": true},
        {"slot": 3, "product": "73504A", "kind": "QD", "reportsEmpty": true}]})J");
    Open();
    session->SetForceMode(true);
    const std::string image = MakeFirmwareImage("@(#)Image Stamp: QUENDREL1_", 300, 10);
    CModuleImageContainer *qd = Image(image, ModType_QD, ModImageType_Firmware);
    session->CheckSlotListForUpdate({1, 2, 3}, qd);
    session->StartUpdate({1, 2, 3}, qd);
    const std::string capture = Capture();
    for (int slot : {1, 2, 3}) {
        EXPECT_NE(capture.find("INTTYPE? " + std::to_string(slot) + ",1,2\n"), std::string::npos) << slot;
        EXPECT_EQ(Flash(slot, "firm"), Prefixed(image));
    }
    EXPECT_EQ(clock.Count(500), 300);
    // The forced checks: slot 0 with others, and slots outside the mainframe.
    EXPECT_EQ(std::get<1>(Raised([&] { session->CheckSlotListForUpdate({18}, qd); })), 1020);
    EXPECT_EQ(std::get<1>(Raised([&] { session->CheckSlotListForUpdate({0}, qd); })), 1020);
}

TEST_F(SessionTest, DiscoveryOfHeadInterfaceModulesAndUnidentifiedModules)
{
    Scenario(R"J({"mainframe": {"model": "7353B"}, "slots": [
        {"slot": 1, "product": "73577A", "kind": "PM", "interfaceModule": "single", "heads": [{"head": 1, "product": "73536B"}]},
        {"slot": 2, "product": "73514A", "kind": "PM", "interfaceModule": "dual", "heads": [{"head": 1, "product": "73562A"}]},
        {"slot": 3, "product": "73561A", "kind": "FLS", "unsupported": true},
        {"slot": 4, "product": "73532A", "kind": "PM", "firmware": "V5.01"}]})J");
    Open();
    const auto &map = session->SlotMap();
    EXPECT_EQ(map.at(1)->mProductId, "73577A");
    EXPECT_EQ(map.at(1)->mFirmwareRevision, "n/a");
    EXPECT_EQ(map.at(1)->mChannelProductIds, (std::map<int, std::string>{{1, "73536B"}}));
    EXPECT_EQ(map.at(2)->mProductId, "73514A");
    EXPECT_EQ(map.at(3)->mProductId, "Unsupported Module");
    EXPECT_EQ(map.at(3)->mModuleType, ModType_Unknown);
    EXPECT_TRUE(map.at(3)->mModulePresent);
    EXPECT_TRUE(map.at(4)->mChannelProductIds.empty());
    EXPECT_EQ(map.at(4)->mFirmwareRevision, "V5.01\n"); // no ")": the rest of the reply
    EXPECT_EQ(map.size(), 17u);
    std::vector<int> slots;
    session->GetSlotList(slots);
    EXPECT_EQ(slots, (std::vector<int>{1, 2, 4}));
    // A caldata update of a power meter with heads writes and reports nothing.
    recorder.items.clear();
    const auto before = Capture().size();
    session->UpdateSlotCaldata(1, Image(MakeCaldataImage("73577A"), ModType_PM, ModImageType_Caldata));
    EXPECT_EQ(Capture().size(), before);
    EXPECT_TRUE(recorder.items.empty());
}

TEST_F(SessionTest, FailuresReachTheCallerAsSpecifiedErrors)
{
    struct SCase
    {
        std::string name;
        std::string scenario;
        std::function<void(SessionTest &)> action;
        std::string className;
        int minor;
        std::string reasonPart;
    };
    const std::string fls =
        R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 1, "product": "73561A", "kind": "FLS", "firmware": "V2.04(88)", "caldataAccepted": false)J";
    const auto update = [](SessionTest &t) {
        t.session->StartUpdate({1}, t.Image(MakeFirmwareImage(kFlsStamp, 2000, 10), ModType_FLS, 1));
    };
    const auto caldata = [](SessionTest &t, const std::string &id) {
        t.session->StartUpdate({1}, t.Image(MakeCaldataImage(id), ModType_FLS, ModImageType_Caldata));
    };
    const std::vector<SCase> cases = {
        {"instrument error",
         fls +
             R"J(}], "faults": [{"type": "errorAfter", "command": "SLOT1:IDN?", "code": -113, "text": "Undefined header"}]})J",
         [](SessionTest &) {}, "UsrVisaException", 0,
         "A visa driver error occured. Error number: ffffff8f. Visa driver error text: \"Undefined header\"\n"},
        {"no reply to *OPC?", fls + R"J(}], "faults": [{"type": "noOpcReply", "n": 3}]})J", update, "UsrVisaException",
         0, "Error number: bfff0015. Visa driver error text: Failed to determine end of flash write"},
        {"connection dropped", fls + R"J(}], "faults": [{"type": "dropAfterBytes", "n": 1500}]})J", update, "", -1,
         "Error number: bfff00a6"},
        {"short write", fls + R"J(}], "faults": [{"type": "shortWrite", "n": 23, "bytes": 10}]})J", update,
         "UsrKarvException", 3210, "Number of bytes transferred to the instrument do not match to the expected value"},
        {"wrong module",
         R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 1, "product": "73591B", "kind": "TLS"}]})J", update,
         "UsrKarvException", 3080, "Module type is not identical to image type in slot:  1"},
        {"minikernel refused",
         R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 1, "product": "73561A", "kind": "TLS"}]})J", update,
         "UsrVisaException", 3060, ". Loading of minikernel via BDM failed"},
        {"caldata revision refused", fls + "}]}", [&](SessionTest &t) { caldata(t, "73561A"); }, "UsrKarvException",
         3510, "Firmware revision on module: V2.04(88)"},
        {"caldata check garbage",
         R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 1, "product": "73561A", "kind": "FLS"}],
          "faults": [{"type": "garbageReply", "command": "ChkC?", "reply": "ok\n"}]})J",
         [&](SessionTest &t) { caldata(t, "73561A"); }, "UsrVisaException", 0,
         "Invalid reply to the caldata revision check: \"ok\""},
        {"caldata of another module", fls + "}]}", [&](SessionTest &t) { caldata(t, "73598A"); }, "UsrDataException",
         3500, "Product Id's of module and image do not match"},
        {"unknown mainframe", R"J({"mainframe": {"model": "7359Z"}})J", [](SessionTest &) {}, "UsrDataException", 3030,
         "Unknown product ID found: 7359Z"},
        {"overlong identification",
         R"J({"mainframe": {"model": "7351A"}, "faults": [{"type": "overlongReply", "command": "*IDN?", "length": 5000}]})J",
         [](SessionTest &) {}, "UsrDataException", 3040, "Unknown mainframe type found."},
        {"unknown module",
         R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 2, "product": "73999Z", "kind": "FLS"}]})J",
         [](SessionTest &) {}, "UsrDataException", 3030, "If an old module is inserted, remove it."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Over a pseudo-terminal a silent instrument costs real timeouts and the
        // operating system completes every write: those two cases are in-process only.
        if (OverPty() && (c.name == "no reply to *OPC?" || c.name == "short write"))
            continue;
        SessionTest &t = *this;
        TearDown();
        SetUp();
        Scenario(c.scenario);
        const auto [className, minor, reason] = Raised([&] {
            Open();
            c.action(t);
        });
        if (c.minor >= 0) {
            EXPECT_EQ(className, c.className);
            EXPECT_EQ(minor, c.minor);
        }
        EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << reason;
    }
}

TEST_F(SessionTest, MinikernelCompatibilityAndErrorText)
{
    Scenario(k7352);
    Open();
    session->LoadMinikernel(0, Image(MakeFirmwareImage("@(#)Image Stamp: TLS_", 300), ModType_TLS, 1));
    CModuleImageContainer *fls = Image(MakeFirmwareImage(kFlsStamp, 300), ModType_FLS, 1);
    EXPECT_EQ(Raised([&] { session->CheckMinikernelForUpdate(1, fls); }),
              std::make_tuple(std::string("UsrKarvException"), 3062,
                              std::string("Module type and loaded minikernel incompatible in slot:  1")));
    EXPECT_EQ(std::get<1>(Raised([&] { session->CheckMinikernelForUpdate(3, fls); })), 3080);
    EXPECT_EQ(std::get<1>(Raised([&] { session->CheckMinikernelForUpdate(7, fls); })), 3110);
    // Building the text consumes the error state.
    std::string text;
    int isVisa = 0;
    long number = 0;
    EXPECT_EQ(session->SendCommand("BOGUS\n"), VI_ERROR_SYSTEM_ERROR);
    session->BuildVisaErrorText(VI_ERROR_SYSTEM_ERROR, text, isVisa, number);
    EXPECT_EQ(number, -113);
    EXPECT_EQ(session->GetLastError(), 0);
    EXPECT_STREQ(session->GetLastErrorText(), "");
    text = "kept";
    EXPECT_EQ(session->BuildVisaErrorText(0, text, isVisa, number), 0);
    EXPECT_EQ(text, "kept");
}
