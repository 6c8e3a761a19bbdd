#include "CSimTransport.h"

#include "CSimMainframe.h"

#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace {

std::mutex gMutex;
std::map<std::string, std::shared_ptr<sim::CSimMainframe>> gMainframes;

} // namespace

std::unique_ptr<CTransport> CSimTransport::Open(const std::string &scenarioFile)
{
    std::lock_guard lock(gMutex);
    auto &mainframe = gMainframes[scenarioFile];
    if (!mainframe) {
        try {
            mainframe = std::make_shared<sim::CSimMainframe>(sim::SSimScenario::Load(scenarioFile));
        } catch (const std::exception &) {
            gMainframes.erase(scenarioFile);
            return nullptr;
        }
    }
    return std::make_unique<CSimTransport>(mainframe);
}

CSimTransport::CSimTransport(std::shared_ptr<sim::CSimMainframe> mainframe) : mMainframe(std::move(mainframe)) {}

ViStatus CSimTransport::Write(const unsigned char *data, std::size_t count, std::size_t &written, int)
{
    std::lock_guard lock(gMutex);
    const long accepted = mMainframe->Receive(data, count);
    written = accepted < 0 ? 0 : static_cast<std::size_t>(accepted);
    return accepted < 0 ? VI_ERROR_CONN_LOST : VI_SUCCESS;
}

ViStatus CSimTransport::ReadSome(unsigned char *buffer, std::size_t max, std::size_t &got, bool &end, int timeoutMs)
{
    got = 0;
    end = false;
    if (mPartial.empty()) {
        std::unique_lock lock(gMutex);
        if (mMainframe->Dropped())
            return VI_ERROR_CONN_LOST;
        const auto *reply = mMainframe->PeekReply();
        if (!reply)
            return VI_ERROR_TMO;
        const auto ready = reply->ready;
        const auto now = sim::CSimMainframe::Clock::now();
        if (ready > now) {
            if (timeoutMs >= 0 && ready - now > std::chrono::milliseconds(timeoutMs)) {
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
                return VI_ERROR_TMO;
            }
            lock.unlock();
            std::this_thread::sleep_until(ready);
            lock.lock();
        }
        mPartial = mMainframe->TakeReply();
        if (mPartial.empty()) {
            end = true; // an empty reply is still a complete message
            return VI_SUCCESS;
        }
    }
    got = std::min(max, mPartial.size());
    std::memcpy(buffer, mPartial.data(), got);
    mPartial.erase(0, got);
    end = mPartial.empty();
    return VI_SUCCESS;
}

ViStatus CSimTransport::Clear()
{
    std::lock_guard lock(gMutex);
    mPartial.clear();
    mMainframe->DeviceClear();
    return VI_SUCCESS;
}
