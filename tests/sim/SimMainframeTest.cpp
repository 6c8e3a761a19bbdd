#include "CSimFramer.h"
#include "CSimImageMaker.h"
#include "CSimMainframe.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace sim;

namespace {

const char *const kScenario = R"J({
  "mainframe": {"model": "7352A"},
  "slots": [
    {"slot": 0, "product": "73591B", "kind": "TLS", "firmware": "V3.10(1234)"},
    {"slot": 1, "product": "73561A", "kind": "FLS", "caldataAccepted": false},
    {"slot": 2, "product": "73532A", "kind": "PM", "heads": [{"head": 1, "product": "73536B"}]},
    {"slot": 3, "product": "73504A", "kind": "QD", "reportsEmpty": true},
    {"slot": 4, "product": "73577A", "kind": "PM", "interfaceModule": "single", "heads": [{"head": 1, "product": "73536B"}]}
  ]})J";

std::string Block(const std::string &data)
{
    const std::string length = std::to_string(data.size());
    return "#" + std::to_string(length.size()) + length + data;
}

class SimMainframeTest : public ::testing::Test
{
protected:
    void Make(const std::string &json)
    {
        mainframe = std::make_unique<CSimMainframe>(SSimScenario::Parse(json, "t.json", ""));
    }
    void SetUp() override { Make(kScenario); }

    // Sends bytes and returns every reply that came back, joined.
    std::string Send(const std::string &bytes)
    {
        mainframe->Receive(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
        std::string replies;
        while (mainframe->PeekReply())
            replies += mainframe->TakeReply();
        return replies;
    }
    std::string Error() { return Send("SYST:ERR?\n"); }

    std::unique_ptr<CSimMainframe> mainframe;
};

std::vector<SSimMessage> Frame(const std::string &bytes, bool byteByByte)
{
    CSimFramer framer;
    std::vector<SSimMessage> messages;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    if (byteByByte)
        for (std::size_t i = 0; i < bytes.size(); ++i)
            framer.Feed(data + i, 1, messages);
    else
        framer.Feed(data, bytes.size(), messages);
    return messages;
}

} // namespace

TEST(SimFramer, MessagesEndAtLineFeedNulOrBlockEnd)
{
    struct SCase
    {
        std::string bytes;
        std::vector<std::string> texts;
        std::vector<std::string> blocks;
    };
    const std::vector<SCase> cases = {
        {std::string("A\nB\0C\n", 6), {"A", "B", "C"}, {"", "", ""}},
        {std::string("\0\0*IDN?\n\0", 9), {"*IDN?"}, {""}},
        {std::string("DATA #16a\n\0b\n\0\n", 15), {"DATA "}, {std::string("a\n\0b\n\0", 6)}},
        {"CHKC? #13xyz*OPC?\n", {"CHKC? ", "*OPC?"}, {"xyz", ""}},
        {"X #10\nY\n", {"X ", "Y"}, {"", ""}},
        {"A#B\n", {"A#B"}, {""}},
    };
    for (const auto &c : cases) {
        for (bool split : {false, true}) {
            const auto messages = Frame(c.bytes, split);
            ASSERT_EQ(messages.size(), c.texts.size()) << c.bytes;
            for (std::size_t i = 0; i < messages.size(); ++i) {
                EXPECT_EQ(messages[i].text, c.texts[i]);
                EXPECT_EQ(messages[i].block, c.blocks[i]);
            }
        }
    }
    EXPECT_TRUE(Frame("DATA #2a\n", false).at(0).badBlock);
}

TEST_F(SimMainframeTest, QueriesInLongAndShortFormsAndTheErrorQueue)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"*IDN?\n", "Tessaly Technologies,7352A,DE41000001,V4.12(310)\n"},
        {"*idn?\n", "Tessaly Technologies,7352A,DE41000001,V4.12(310)\n"},
        {"SYST:ERR?\n", "0,\"No error\"\n"},
        {"system:error?\n", "0,\"No error\"\n"},
        {"slot0:empty?\n", "0\n"},
        {"SLOT3:EMPTY?\n", "1\n"},
        {"SLOT0:IDN?\n", "Tessaly Technologies,73591B,MO000001,V3.10(1234)\n"},
        {"slot2:head1:idn?\n", "Tessaly Technologies,73536B,HD000001,V1.00(1)\n"},
        {"*OPC?\n", "1\n"},
    };
    for (const auto &[input, reply] : cases)
        EXPECT_EQ(Send(input), reply) << input;

    const std::vector<std::pair<std::string, std::string>> failing = {
        {"BOGUS:CMD 1\n", "-113,\"Undefined header\"\n"},     {"SLOT2:HEAD2:IDN?\n", "-301,\"No head\"\n"},
        {"SLOT4:IDN?\n", "-307,\"Head interface module\"\n"}, {"SLOT4:head2:IDN?\n", "-303,\"No head position\"\n"},
        {"SLOT3:IDN?\n", "-241,\"Hardware missing\"\n"},      {"SLOT9:IDN?\n", "-222,\"Data out of range\"\n"},
    };
    for (const auto &[input, error] : failing) {
        const std::string reply = Send(input);
        EXPECT_TRUE(reply.empty() || reply == "\n") << input;
        EXPECT_EQ(Error(), error) << input;
    }
    Send("BOGUS\n");
    Send("*CLS\n");
    EXPECT_EQ(Error(), "0,\"No error\"\n");
}

TEST_F(SimMainframeTest, FirmwareNeedsTheRightMinikernelAndAValidSequence)
{
    const std::string start = "Special:PRIVATE:firm:slot1:Flash:Start 72,1,0,3\n";
    Send(start + std::string(1, '\0'));
    EXPECT_EQ(Error(), "-221,\"Minikernel not loaded\"\n");
    EXPECT_EQ(Send("SPECIAL:PRIVATE:UPDATE:MODULE:INTTYPE? 1,1,1"), ""); // no end yet: waits for its line feed
    EXPECT_EQ(Send(std::string("\n\0", 2)), "1\n");                      // TLS minikernel for an FLS
    EXPECT_EQ(Error(), "-221,\"Minikernel does not fit the module\"\n");
    EXPECT_EQ(Send("SPEC:PRIV:UPD:MOD:INTT? 1,1,0\n"), "0\n");
    EXPECT_EQ(mainframe->LoadedMinikernel(), 0);

    Send("Special:PRIVATE:firm:slot1:Flash:Start 72,1,0,4\n"); // wrong sectors
    EXPECT_EQ(Error(), "-222,\"Sector range does not fit the module\"\n");
    Send("special:PRIVATE:firm:slot1:Flash:Finished 0\n");
    EXPECT_EQ(Error(), "-221,\"No flash sequence open\"\n");

    const std::string image = sim::CSimImageMaker::Firmware("FLS", 64);
    const std::string data = std::string("\x08\0\0\0\x08\0\0\0", 8) + image;
    Send(start);
    EXPECT_EQ(Send("Special:PRIVATE:firm:slot1:Flash:Data " + Block(data.substr(0, 64)) + "\n*OPC?\n"), "1\n");
    Send("Special:PRIVATE:firm:slot1:Flash:Data " + Block(data.substr(64)) + "\n");
    Send("special:PRIVATE:firm:slot1:Flash:Finished 0\n");
    EXPECT_EQ(Error(), "0,\"No error\"\n");
    ASSERT_NE(mainframe->Flash(1, "firm"), nullptr);
    EXPECT_EQ(*mainframe->Flash(1, "firm"), data);

    // Bad sequences: a short block in the middle, data beyond the length, a wrong header.
    Send(start + "Special:PRIVATE:firm:slot1:Flash:Data " + Block("abc") + "\n");
    EXPECT_EQ(Error(), "-160,\"Block data error\"\n");
    Send(start + "Special:PRIVATE:firm:slot1:Flash:Data " + Block(std::string(64, 'x')) + "\n" +
         "Special:PRIVATE:firm:slot1:Flash:Data " + Block(std::string(9, 'x')) + "\n");
    EXPECT_EQ(Error(), "-221,\"Flash sequence was still open\"\n");
    EXPECT_EQ(Error(), "-223,\"Too much data\"\n");
    Send("Special:PRIVATE:firm:slot1:Flash:Start 8,1,0,3\nSpecial:PRIVATE:firm:slot1:Flash:Data " + Block("12345678") +
         "\nspecial:PRIVATE:firm:slot1:Flash:Finished 0\n");
    EXPECT_EQ(Error(), "-221,\"Flash sequence was still open\"\n");
    EXPECT_EQ(Error(), "-200,\"Bad loader header\"\n");

    // The reboot activates the new firmware and forgets the minikernel.
    Send("SPECIAL:REBOOT\n");
    EXPECT_EQ(mainframe->LoadedMinikernel(), -1);
    EXPECT_EQ(mainframe->FirmwareRevision(1), "V9.99(999)");
}

TEST_F(SimMainframeTest, CaldataWriteCheckAndErase)
{
    const std::string caldata = sim::CSimImageMaker::Caldata("73591B", 200);
    EXPECT_EQ(Send("Special:PRIVATE:cald:slot0:Flash:ChkC? " + Block(caldata.substr(0, 20))), "1,V3.10(1234)\n");
    EXPECT_EQ(Send("Special:PRIVATE:cald:slot1:Flash:ChkC? " + Block(caldata.substr(0, 20))), "0,V1.00(100)\n");
    std::string bytes = "Special:PRIVATE:cald:slot0:Flash:Start 200,1,6,7\n" + std::string(1, '\0');
    for (std::size_t at = 0; at < caldata.size(); at += 64)
        bytes += "Special:PRIVATE:cald:slot0:Flash:Data " + Block(caldata.substr(at, 64)) + "\n";
    Send(bytes + "special:PRIVATE:cald:slot0:Flash:Finished 0\n" + std::string(1, '\0'));
    EXPECT_EQ(Error(), "0,\"No error\"\n");
    ASSERT_NE(mainframe->Flash(0, "cald"), nullptr);
    EXPECT_EQ(*mainframe->Flash(0, "cald"), caldata);
    // The caldata erase is a firm-area start over the caldata sectors.
    Send("special:private:firm:slot0:flash:start 262144,1,6,7\n");
    EXPECT_EQ(Error(), "0,\"No error\"\n");
    EXPECT_EQ(mainframe->Flash(0, "cald"), nullptr);
    Send("special:PRIVATE:cald:slot2:HEAD1:Flash:ERASE 0,4,7\n");
    EXPECT_EQ(Error(), "0,\"No error\"\n");
    Send("special:PRIVATE:cald:slot2:HEAD2:Flash:ERASE 0,4,7\n");
    EXPECT_EQ(Error(), "-241,\"No head at this position\"\n");
    // A module that reports empty answers once it is enabled.
    EXPECT_EQ(Send("slot3:empty?\n"), "1\n");
    Send("SPEC:PRIVATE:UPDATE:ENABLING 3,1,0\n");
    EXPECT_EQ(Send("slot3:empty?\n"), "0\n");
}

TEST_F(SimMainframeTest, FaultsFromTheScenario)
{
    Make(R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 1, "product": "73561A", "kind": "FLS"}],
             "faults": [{"type": "errorAfter", "command": "SLOT1:IDN?", "code": -350, "text": "Queue overflow"},
                        {"type": "noOpcReply", "n": 2},
                        {"type": "garbageReply", "command": "*IDN?", "reply": "\u0001x"},
                        {"type": "overlongReply", "command": "slot1:empty?", "length": 1500},
                        {"type": "shortWrite", "n": 8, "bytes": 3},
                        {"type": "dropAfterBytes", "n": 200}]})J");
    EXPECT_NE(Send("SLOT1:IDN?\n"), "");
    EXPECT_EQ(Error(), "-350,\"Queue overflow\"\n");
    EXPECT_EQ(Send("SLOT1:IDN?\n"), "Tessaly Technologies,73561A,MO000001,V1.00(100)\n"); // once only
    EXPECT_EQ(Send("*OPC?\n"), "1\n");
    EXPECT_EQ(Send("*OPC?\n"), "");
    EXPECT_EQ(Send("*IDN?\n"), "\x01x");
    EXPECT_EQ(Send("slot1:empty?\n"), std::string(1500, 'A') + "\n");
    const std::string eighth = "*OPC?\n";
    EXPECT_EQ(mainframe->Receive(reinterpret_cast<const unsigned char *>(eighth.data()), eighth.size()), 3);
    std::string filler(300, '\n');
    EXPECT_EQ(mainframe->Receive(reinterpret_cast<const unsigned char *>(filler.data()), filler.size()), -1);
    EXPECT_TRUE(mainframe->Dropped());
    EXPECT_EQ(mainframe->Receive(reinterpret_cast<const unsigned char *>("x"), 1), -1);
}

TEST(SimScenario, MalformedScenariosNameTheFileAndTheProblem)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{", "t.json: not valid JSON"},
        {R"J({"slots": [{"slot": 1}], "colour": 1})J", "t.json: unknown key \"colour\""},
        {R"J({"slots": [{"slot": 1, "product": "73561A", "kind": "XYZ"}]})J", "unknown module kind \"XYZ\""},
        {R"J({"mainframe": {"model": "7351A"}, "slots": [{"slot": 0}]})J", "slot 0 is not a slot of a 7351A"},
        {R"J({"slots": [{"slot": 1}, {"slot": 1}]})J", "slot 1 is listed twice"},
        {R"J({"faults": [{"type": "garbageReply"}]})J", "needs a \"command\""},
        {R"J({"faults": [{"type": "melt"}]})J", "unknown fault type \"melt\""},
        {R"J({"slots": [{"slot": "one"}]})J", "\"slot\" has the wrong type"},
    };
    for (const auto &[json, problem] : cases) {
        try {
            SSimScenario::Parse(json, "t.json", "");
            ADD_FAILURE() << json;
        } catch (const CSimScenarioError &e) {
            EXPECT_NE(std::string(e.what()).find(problem), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("t.json", 0), 0u);
        }
    }
    EXPECT_THROW(SSimScenario::Load("/nonexistent.json"), CSimScenarioError);
}

TEST(SimScenario, ShippedExamplesLoad)
{
    int loaded = 0;
    for (const auto &entry : std::filesystem::directory_iterator(KARVEL_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".json")
            continue;
        EXPECT_NO_THROW(CSimMainframe(SSimScenario::Load(entry.path().string()))) << entry.path();
        ++loaded;
    }
    EXPECT_GE(loaded, 4);
}
