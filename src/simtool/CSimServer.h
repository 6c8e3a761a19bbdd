#pragma once
// Serves one simulated mainframe on a pseudo-terminal or a loopback TCP port
// until a signal asks it to stop or the scenario drops the connection.

#include "CSimMainframe.h"

#include <atomic>
#include <string>

class CSimServer
{
public:
    explicit CSimServer(sim::CSimMainframe &mainframe) : mMainframe(mainframe) {}
    ~CSimServer();

    // Creates a pseudo-terminal and links its device at `linkPath`.
    void OpenPty(const std::string &linkPath);
    // Listens on 127.0.0.1:port (0: any free port); returns the port.
    int ListenTcp(int port);
    // Serves until `stop` is set; returns 0, or 3 when the scenario dropped the connection.
    int Run(const std::atomic<bool> &stop);

private:
    bool Pump(int fd);
    bool SendReady(int fd);
    int PollTimeoutMs() const;

    sim::CSimMainframe &mMainframe;
    int mMaster = -1;
    int mSlave = -1;
    int mListener = -1;
    int mClient = -1;
    std::string mLinkPath;
};
