#pragma once
// The simulated 735x mainframe: it takes the controller's bytes, carries out
// the SCPI commands of the update protocol against its slots, flash areas and
// error queue, and queues replies, each ready at a given time. Faults of the
// scenario are injected here. One thread at a time drives an instance.

#include "CSimEventLog.h"
#include "CSimFramer.h"
#include "CSimScenario.h"

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class CSimMainframe
{
public:
    using Clock = std::chrono::steady_clock;

    struct SReply
    {
        std::string bytes;
        Clock::time_point ready;
    };

    explicit CSimMainframe(SSimScenario scenario);

    // Takes bytes from the controller; returns how many were accepted (a short
    // write may take fewer), or -1 once the connection has dropped.
    long Receive(const unsigned char *data, std::size_t count);
    // The oldest queued reply, if any.
    const SReply *PeekReply() const { return mReplies.empty() ? nullptr : &mReplies.front(); }
    std::string TakeReply();
    // Device clear: discards a partly received message and every queued reply.
    void DeviceClear();
    bool Dropped() const { return mDropped; }

    // What tests and the flash directory read back.
    const std::string *Flash(int slot, const std::string &area) const;
    const std::string *HeadCaldata(int slot, int head) const;
    int LoadedMinikernel() const { return mMinikernel; }
    std::size_t ErrorCount() const { return mErrors.size(); }
    std::string FirmwareRevision(int slot) const;
    const SSimScenario &Scenario() const { return mScenario; }

private:
    struct SSlotState
    {
        SSimSlot config;
        bool enabled = false;     // a module that reported empty was enabled
        bool newFirmware = false; // firmware written since the last reboot
        std::string firmwareRevision;
        std::map<std::string, std::string> flash; // area -> stored bytes
        std::map<int, std::string> headCaldata;
    };
    struct SSequence
    {
        bool active = false;
        bool failed = false;
        int slot = -1;
        std::string area;
        std::size_t announced = 0;
        std::string data;
    };

    void Execute(const SSimMessage &message);
    bool Dispatch(const SSimMessage &message, const std::vector<std::string> &nodes, const std::string &args);
    bool DispatchSlot(const std::vector<std::string> &nodes, int slot);
    bool DispatchSpecial(const SSimMessage &message, const std::vector<std::string> &nodes, const std::string &args);
    bool DispatchFlash(const SSimMessage &message, const std::vector<std::string> &nodes, const std::string &args);

    void Reply(const std::string &text, double delayMs = 0);
    void QueueError(int code, const std::string &text);
    void FailedQuery(int code, const std::string &text);
    SSlotState *SlotOf(int slot);
    bool HasHardware(const SSlotState *slot) const;
    bool ReportsPresent(const SSlotState *slot) const;

    bool IdentityRefused(const SSlotState *state);
    void SlotIdentity(int slot);
    void HeadIdentity(int slot, int head);
    void LoadMinikernel(const std::string &args);
    void Enable(const std::string &args);
    void Reboot();
    void FlashStart(int slot, const std::string &area, const std::string &args);
    void FlashData(int slot, const std::string &area, const SSimMessage &message);
    void FlashFinished(int slot, const std::string &area);
    void CheckCaldata(int slot, const SSimMessage &message);
    void EraseHead(int slot, int head, const std::string &args);
    void Store(SSlotState &slot, const std::string &area, const std::string &data);
    void ApplyReplyFaults(const std::string &messageText, std::size_t repliesBefore);
    void ApplyErrorFaults(const std::string &messageText);

    SSimScenario mScenario;
    CSimFramer mFramer;
    CSimEventLog mLog;
    std::map<int, SSlotState> mSlots;
    std::deque<std::pair<int, std::string>> mErrors;
    std::deque<SReply> mReplies;
    SSequence mSequence;
    int mMinikernel = -1; // interface code of the loaded minikernel, -1 for none
    long mOpcCount = 0;
    double mPendingWriteMs = 0; // the flash write the next *OPC? waits for
    long mReceived = 0;
    long mWrites = 0;
    bool mDropped = false;
    std::vector<int> mFaultUses;
};

} // namespace sim
