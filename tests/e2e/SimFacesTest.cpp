// The faces of karvel-sim: a pseudo-terminal and a loopback TCP port, driven by a plain client.

#include "support/Process.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string Exchange(int fd, const std::string &message)
{
    EXPECT_EQ(write(fd, message.data(), message.size()), static_cast<ssize_t>(message.size()));
    std::string reply;
    while (reply.empty() || reply.back() != '\n') {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 3000) != 1)
            break;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    return reply;
}

const char *const kScenario = R"J({"mainframe": {"model": "7353A"}})J";

} // namespace

TEST(SimFaces, PseudoTerminalAndCleanExitOnSigterm)
{
    CScratchDir dir;
    CBackgroundProgram sim(
        {ProgramDirectory() + "/karvel-sim", "--scenario", dir.Write("s.json", kScenario), "--pty", dir.File("pty")},
        dir.File("out"));
    ASSERT_TRUE(WaitForPath(dir.File("pty")));
    const int fd = open(dir.File("pty").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    EXPECT_EQ(Exchange(fd, "*IDN?\n"), "Tessaly Technologies,7353A,DE41000001,V4.12(310)\n");
    EXPECT_EQ(Exchange(fd, "slot17:empty?\n"), "1\n");
    close(fd);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("pty"))); // the link is removed
}

TEST(SimFaces, LoopbackTcpServesOneControllerAfterAnother)
{
    CScratchDir dir;
    CBackgroundProgram sim(
        {ProgramDirectory() + "/karvel-sim", "--scenario", dir.Write("s.json", kScenario), "--tcp", "0"},
        dir.File("out"));
    std::string out;
    for (int i = 0; i < 500 && out.find("ready on 127.0.0.1:") == std::string::npos; ++i) {
        usleep(10000);
        out = ReadWholeFile(dir.File("out"));
    }
    const auto at = out.find("127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << out;
    const int port = std::stoi(out.substr(at + 10));
    for (int client = 0; client < 2; ++client) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        EXPECT_EQ(Exchange(fd, "*IDN?\n"), "Tessaly Technologies,7353A,DE41000001,V4.12(310)\n");
        close(fd);
    }
    EXPECT_EQ(sim.Stop(), 0);
}
