#pragma once
// Every fixed protocol wait (1000 ms after a device clear and after "*CLS",
// 500 ms steps of a minikernel load) goes through one clock object, so that
// tests can record the waits instead of sleeping. KARVEL_WAIT_SCALE (0 to 1,
// default 1) shortens real waits for simulated instruments.

class CWaitClock
{
public:
    virtual ~CWaitClock() = default;
    virtual void Wait(int milliseconds) = 0;

    // The clock in use: the real one unless a test installed another.
    static CWaitClock &Instance();
    // Installs a clock (not owned); null goes back to the real one.
    static void Install(CWaitClock *clock);
    // The scale read from KARVEL_WAIT_SCALE, clamped to 0..1; 1 when unset or not a number.
    static double ScaleFromEnvironment();
};
