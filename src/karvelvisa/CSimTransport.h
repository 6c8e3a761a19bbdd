#pragma once
// The simulated mainframe in-process. Instances are kept per scenario file for
// the whole process, so the mainframe keeps its state between sessions, as a
// real one does between connections.

#include "CTransport.h"

#include <memory>
#include <string>

namespace sim {
class CSimMainframe;
}

class CSimTransport : public CTransport
{
public:
    // Null when the scenario cannot be loaded.
    static std::unique_ptr<CTransport> Open(const std::string &scenarioFile);

    explicit CSimTransport(std::shared_ptr<sim::CSimMainframe> mainframe);

    ViStatus Write(const unsigned char *data, std::size_t count, std::size_t &written, int timeoutMs) override;
    // A reply not yet ready is waited for within the timeout; with no reply
    // queued the read times out at once, as nothing can arrive while the
    // only caller waits.
    ViStatus ReadSome(unsigned char *buffer, std::size_t max, std::size_t &got, bool &end, int timeoutMs) override;
    ViStatus Clear() override;
    bool LineFeedEndsMessage() const override { return false; }

private:
    std::shared_ptr<sim::CSimMainframe> mMainframe;
    std::string mPartial; // the rest of a reply longer than one read
};
