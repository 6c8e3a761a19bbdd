#include "CVisaLibrary.h"
#include "support/EnvGuard.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

namespace {

// The bundled library through the run-time loaded table, with a resource
// table written for the test.
class VisaFixture : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(library.Load(CVisaLibrary::FindBundledLibrary())) << library.LoadError(); }
    void UseTable(const std::string &text) { conf.emplace("KARVEL_VISA_CONF", dir.Write("visa.conf", text)); }

    ViSession OpenResource(const std::string &name)
    {
        EXPECT_EQ(Visa().viOpenDefaultRM(&rm), VI_SUCCESS);
        ViSession vi = 0;
        EXPECT_EQ(Visa().viOpen(rm, name.c_str(), 0, 0, &vi), VI_SUCCESS);
        return vi;
    }
    void TearDown() override
    {
        if (rm)
            Visa().viClose(rm);
    }
    const SVisaFunctions &Visa() { return library.Functions(); }

    CVisaLibrary &library = CVisaLibrary::Instance();
    CScratchDir dir;
    std::optional<CEnvGuard> conf;
    ViSession rm = 0;
};

// A pseudo-terminal pair; the test drives the master side as the instrument.
class CPty
{
public:
    CPty()
    {
        char name[256];
        if (openpty(&mMaster, &mSlave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        mName = name;
        termios tio{};
        tcgetattr(mSlave, &tio);
        cfmakeraw(&tio);
        tcsetattr(mSlave, TCSANOW, &tio);
    }
    ~CPty()
    {
        close(mMaster);
        close(mSlave);
    }
    const std::string &Name() const { return mName; }
    void Send(const std::string &bytes)
    {
        ASSERT_EQ(write(mMaster, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    }
    // Reads exactly n bytes (or what arrives within a second).
    std::string Receive(std::size_t n)
    {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        fcntl(mMaster, F_SETFL, O_NONBLOCK);
        while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
            char buffer[4096];
            const ssize_t r = read(mMaster, buffer, std::min(sizeof buffer, n - got.size()));
            if (r > 0)
                got.append(buffer, static_cast<std::size_t>(r));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return got;
    }

private:
    int mMaster = -1, mSlave = -1;
    std::string mName;
};

} // namespace

TEST(VisaLoader, MissingOrIncompleteLibraryIsAClearErrorAndCallsFailSafely)
{
    CVisaLibrary &library = CVisaLibrary::Instance();
    EXPECT_FALSE(library.Load("/nonexistent/libvisa.so"));
    EXPECT_NE(library.LoadError().find("/nonexistent/libvisa.so"), std::string::npos);
    EXPECT_NE(library.LoadError().find("No such file"), std::string::npos) << library.LoadError();
    ViSession rm = 7;
    EXPECT_EQ(library.Functions().viOpenDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND);
    EXPECT_EQ(rm, 0u);
    EXPECT_EQ(library.Functions().viPrintf(1, "*IDN?\n"), VI_ERROR_LIBRARY_NFOUND);

    EXPECT_FALSE(library.Load("libm.so.6"));
    EXPECT_NE(library.LoadError().find("lacks the function(s): viOpenDefaultRM"), std::string::npos);
    EXPECT_TRUE(library.Load(CVisaLibrary::FindBundledLibrary()));
    EXPECT_TRUE(library.LoadError().empty());
}

TEST_F(VisaFixture, ResourceTableFindListsAndHandles)
{
    UseTable("# test table\n"
             "ASRL1::INSTR serial:/dev/null   # a comment\n"
             "\n"
             "GPIB0::22::INSTR tcp:127.0.0.1:5025\n"
             "bad-line\n"
             "GPIB0::5::INSTR ftp:x\n"
             "GPIB0::6::INSTR tcp:host:99999\n"
             "ASRL2::INSTR sim:scenario.json\n");
    ASSERT_EQ(Visa().viOpenDefaultRM(&rm), VI_SUCCESS);
    ViFindList list = 0;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN];
    ASSERT_EQ(Visa().viFindRsrc(rm, "?*INSTR", &list, &count, desc), VI_SUCCESS);
    EXPECT_EQ(count, 3u);
    std::vector<std::string> names = {desc};
    while (Visa().viFindNext(list, desc) == VI_SUCCESS)
        names.push_back(desc);
    EXPECT_EQ(names, (std::vector<std::string>{"ASRL1::INSTR", "GPIB0::22::INSTR", "ASRL2::INSTR"}));
    EXPECT_NE(list, 0u);
    EXPECT_NE(list, rm);
    EXPECT_EQ(Visa().viFindRsrc(rm, "TCPIP?*INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(count, 0u);

    auto diagnostics =
        reinterpret_cast<ViUInt32 (*)(ViChar *, ViUInt32)>(dlsym(RTLD_DEFAULT, "kvGetConfigDiagnostics"));
    if (!diagnostics) {
        void *handle = dlopen(CVisaLibrary::FindBundledLibrary().c_str(), RTLD_NOW | RTLD_NOLOAD);
        diagnostics = reinterpret_cast<ViUInt32 (*)(ViChar *, ViUInt32)>(dlsym(handle, "kvGetConfigDiagnostics"));
    }
    ASSERT_NE(diagnostics, nullptr);
    char text[2048];
    diagnostics(text, sizeof text);
    EXPECT_NE(std::string(text).find("visa.conf:5: resource \"bad-line\""), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("visa.conf:6: unknown target"), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("visa.conf:7: target"), std::string::npos) << text;

    char name[256];
    EXPECT_EQ(Visa().viGetAttribute(rm, VI_ATTR_RSRC_MANF_NAME, name), VI_SUCCESS);
    ViVersion version = 0;
    EXPECT_EQ(Visa().viGetAttribute(rm, VI_ATTR_RSRC_SPEC_VERSION, &version), VI_SUCCESS);
    EXPECT_NE(version, 0u);

    ViSession vi = 0;
    EXPECT_EQ(Visa().viOpen(rm, "ASRL9::INSTR", 0, 0, &vi), VI_ERROR_RSRC_NFOUND);
    ASSERT_EQ(Visa().viOpen(rm, "asrl1::instr", 0, 0, &vi), VI_SUCCESS);
    EXPECT_NE(vi, 0u);
    EXPECT_EQ(Visa().viClose(rm), VI_SUCCESS); // closes the session opened through it
    rm = 0;
    ViUInt32 written = 0;
    EXPECT_EQ(Visa().viWrite(vi, reinterpret_cast<const ViByte *>("x"), 1, &written), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(Visa().viClose(vi), VI_ERROR_INV_OBJECT);
}

TEST_F(VisaFixture, SerialExchangeTerminationTimeoutsAndCutReplies)
{
    CPty pty;
    UseTable("ASRL1::INSTR serial:" + pty.Name() + "\n");
    const ViSession vi = OpenResource("ASRL1::INSTR");
    ASSERT_NE(vi, 0u);

    char name[256];
    ASSERT_EQ(Visa().viGetAttribute(vi, VI_ATTR_INTF_INST_NAME, name), VI_SUCCESS);
    EXPECT_NE(std::string(name).find("COM1"), std::string::npos);
    EXPECT_NE(std::string(name).find(pty.Name()), std::string::npos);
    const std::vector<std::pair<ViAttr, ViAttrState>> serial = {{VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_RTS_CTS},
                                                                {VI_ATTR_ASRL_BAUD, 38400},
                                                                {VI_ATTR_ASRL_DATA_BITS, 8},
                                                                {VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_NONE},
                                                                {VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_ONE},
                                                                {VI_ATTR_ASRL_END_IN, VI_ASRL_END_TERMCHAR},
                                                                {VI_ATTR_ASRL_END_OUT, VI_ASRL_END_NONE},
                                                                {VI_ATTR_IO_PROT, VI_ASRL488},
                                                                {VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS},
                                                                {VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS},
                                                                {VI_ATTR_TMO_VALUE, 200}};
    for (const auto &[attribute, value] : serial)
        EXPECT_EQ(Visa().viSetAttribute(vi, attribute, value), VI_SUCCESS) << std::hex << attribute;
    ViUInt32 baud = 0;
    EXPECT_EQ(Visa().viGetAttribute(vi, VI_ATTR_ASRL_BAUD, &baud), VI_SUCCESS);
    EXPECT_EQ(baud, 38400u);
    EXPECT_EQ(Visa().viSetAttribute(vi, VI_ATTR_ASRL_BAUD, 12345), VI_ERROR_NSUP_ATTR_STATE);

    // No end sequence is added on output.
    EXPECT_EQ(Visa().viPrintf(vi, "SLOT%d:IDN?\n", 3), VI_SUCCESS);
    EXPECT_EQ(pty.Receive(11), "SLOT3:IDN?\n");

    // %ld,%t with the error-queue reply; the text keeps its quotes and line end.
    pty.Send("-113,\"Undefined header\"\n");
    long number = 0;
    char text[256];
    EXPECT_EQ(Visa().viQueryf(vi, "SYST:ERR?\n", "%ld,%255t", &number, text), VI_SUCCESS);
    EXPECT_EQ(pty.Receive(10), "SYST:ERR?\n");
    EXPECT_EQ(number, -113);
    EXPECT_STREQ(text, "\"Undefined header\"\n");

    // Two replies in one burst are two messages.
    pty.Send("one\ntwo\n");
    char reply[64];
    EXPECT_EQ(Visa().viScanf(vi, "%63t", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "one\n");
    EXPECT_EQ(Visa().viScanf(vi, "%63t", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "two\n");

    // A reply longer than the caller's buffer is cut; the rest of the message is dropped.
    char small[8];
    std::memset(small, 'Z', sizeof small);
    pty.Send(std::string(3000, 'x') + "\nnext\n");
    EXPECT_EQ(Visa().viScanf(vi, "%6t", small), VI_SUCCESS);
    EXPECT_STREQ(small, "xxxxxx");
    EXPECT_EQ(small[7], 'Z');
    EXPECT_EQ(Visa().viScanf(vi, "%63t", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "next\n");

    // viRead: stops at the end of the message, or fills the buffer.
    ViByte bytes[4];
    ViUInt32 got = 0;
    pty.Send("12345\n");
    EXPECT_EQ(Visa().viRead(vi, bytes, 4, &got), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(Visa().viRead(vi, bytes, 4, &got), VI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(bytes), got), "5\n");

    // Nothing to read: a timeout within the attribute's time.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Visa().viRead(vi, bytes, 4, &got), VI_ERROR_TMO);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(3));

    // viClear discards what is pending.
    pty.Send("stale\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Visa().viClear(vi), VI_SUCCESS);
    pty.Send("fresh\n");
    EXPECT_EQ(Visa().viScanf(vi, "%63t", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "fresh\n");
}

TEST_F(VisaFixture, TcpExchangeAndLostConnection)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    listen(listener, 1);
    UseTable("GPIB0::22::INSTR tcp:127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "\n");

    std::string received;
    std::thread instrument([&] {
        const int client = accept(listener, nullptr, nullptr);
        char buffer[64];
        const ssize_t n = read(client, buffer, sizeof buffer);
        received.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
        const std::string reply = "Tessaly Technologies,7352A,DE1,V1\n";
        write(client, reply.data(), reply.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        close(client);
    });
    const ViSession vi = OpenResource("GPIB0::22::INSTR");
    char name[256];
    Visa().viGetAttribute(vi, VI_ATTR_INTF_INST_NAME, name);
    EXPECT_NE(std::string(name).find("GPIB"), std::string::npos);
    ViUInt16 type = 0;
    EXPECT_EQ(Visa().viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type), VI_SUCCESS);
    EXPECT_EQ(type, VI_INTF_GPIB);
    Visa().viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000);
    char reply[256];
    EXPECT_EQ(Visa().viQueryf(vi, "*IDN?\n", "%255t", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "Tessaly Technologies,7352A,DE1,V1\n");
    instrument.join();
    EXPECT_EQ(received, "*IDN?\n");
    ViByte byte;
    ViUInt32 got = 0;
    EXPECT_EQ(Visa().viRead(vi, &byte, 1, &got), VI_ERROR_CONN_LOST);
    close(listener);
}
