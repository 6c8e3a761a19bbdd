#include "CWaitClock.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

class CRealWaitClock : public CWaitClock
{
public:
    CRealWaitClock() : mScale(ScaleFromEnvironment()) {}
    void Wait(int milliseconds) override
    {
        if (milliseconds > 0 && mScale > 0)
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(milliseconds * mScale));
    }

private:
    double mScale;
};

CWaitClock *gInstalled = nullptr;

} // namespace

double CWaitClock::ScaleFromEnvironment()
{
    const char *text = std::getenv("KARVEL_WAIT_SCALE");
    if (!text || !*text)
        return 1.0;
    char *end = nullptr;
    const double scale = std::strtod(text, &end);
    if (end == text || *end)
        return 1.0;
    return scale < 0 ? 0 : scale > 1 ? 1 : scale;
}

CWaitClock &CWaitClock::Instance()
{
    static CRealWaitClock real;
    return gInstalled ? *gInstalled : real;
}

void CWaitClock::Install(CWaitClock *clock)
{
    gInstalled = clock;
}
