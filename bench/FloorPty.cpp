// The floor of this machine for the serial update: the same minikernel query,
// Flash:Start, 32768 block-and-"*OPC?" exchanges and Flash:Finished written
// directly on the pseudo-terminal of karvel-sim, with no VISA layer and no
// session. Usage: karvel-bench-floor PTY IMAGE SLOT

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

int gFd = -1;

void WriteAll(const char *data, std::size_t size)
{
    while (size) {
        const ssize_t n = write(gFd, data, size);
        if (n <= 0)
            throw std::runtime_error("write failed");
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Reads one reply line; replies never straddle reads in this exchange.
void ReadLine()
{
    char buffer[256];
    for (;;) {
        pollfd entry{gFd, POLLIN, 0};
        if (poll(&entry, 1, 5000) != 1)
            throw std::runtime_error("no reply");
        const ssize_t n = read(gFd, buffer, sizeof buffer);
        if (n <= 0)
            throw std::runtime_error("read failed");
        if (buffer[n - 1] == '\n')
            return;
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    gFd = open(argv[1], O_RDWR | O_NOCTTY);
    termios tio{};
    tcgetattr(gFd, &tio);
    cfmakeraw(&tio);
    tcsetattr(gFd, TCSANOW, &tio);
    std::ifstream file(argv[2], std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    const std::string data = std::string("\x08\0\0\0\x08\0\0\0", 8) + content.str();
    const std::string slot = argv[3];

    const std::string load = "SPECIAL:PRIVATE:UPDATE:MODULE:INTTYPE? " + slot + ",1,7\n";
    WriteAll(load.c_str(), load.size() + 1);
    ReadLine();
    const std::string start =
        "Special:PRIVATE:firm:slot" + slot + ":Flash:Start " + std::to_string(data.size()) + ",1,0,54\n";
    WriteAll(start.c_str(), start.size() + 1);
    const std::string header = "Special:PRIVATE:firm:slot" + slot + ":Flash:Data #264";
    char block[256];
    std::memcpy(block, header.data(), header.size());
    std::size_t at = 0;
    for (; at + 64 <= data.size(); at += 64) {
        std::memcpy(block + header.size(), data.data() + at, 64);
        block[header.size() + 64] = '\n';
        WriteAll(block, header.size() + 65);
        WriteAll("*OPC?\n", 6);
        ReadLine();
    }
    const std::size_t rest = data.size() - at;
    std::string last =
        "Special:PRIVATE:firm:slot" + slot + ":Flash:Data #1" + std::to_string(rest) + data.substr(at) + "\n";
    WriteAll(last.data(), last.size());
    const std::string finish = "special:PRIVATE:firm:slot" + slot + ":Flash:Finished 0\n";
    WriteAll(finish.c_str(), finish.size() + 1);
    close(gFd);
    return 0;
}
