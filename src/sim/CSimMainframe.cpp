#include "CSimMainframe.h"

#include "CSimCatalog.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

constexpr std::size_t kErrorQueueSize = 30;
constexpr const char *kManufacturer = "Tessaly Technologies";
const std::string kLoaderHeader("\x08\x00\x00\x00\x08\x00\x00\x00", 8);

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A header node against a keyword in SCPI notation, e.g. "SPECial": the
// upper-case part is the short form, the whole word the long form.
bool Keyword(const std::string &node, const char *keyword)
{
    std::string longForm, shortForm;
    for (const char *p = keyword; *p; ++p) {
        longForm += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        if (!std::islower(static_cast<unsigned char>(*p)))
            shortForm += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    const std::string lower = Lower(node);
    return lower == longForm || lower == shortForm;
}

// A node with a number suffix, e.g. "SLOT3" or "head2".
bool Numbered(const std::string &node, const char *keyword, int &number)
{
    std::size_t digits = node.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(node[digits - 1])))
        --digits;
    if (digits == node.size() || node.size() - digits > 3)
        return false;
    number = std::stoi(node.substr(digits));
    return Keyword(node.substr(0, digits), keyword);
}

// Comma-separated integers; false unless exactly `count` of them.
bool Integers(const std::string &args, std::size_t count, std::vector<long> &values)
{
    values.clear();
    std::stringstream stream(args);
    std::string item;
    while (std::getline(stream, item, ',')) {
        item = Trim(item);
        char *end = nullptr;
        const long value = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end)
            return false;
        values.push_back(value);
    }
    return values.size() == count;
}

bool Contains(const std::string &text, const std::string &part)
{
    return Lower(text).find(Lower(part)) != std::string::npos;
}

} // namespace

CSimMainframe::CSimMainframe(SSimScenario scenario)
    : mScenario(std::move(scenario)), mLog(mScenario.eventLog, mScenario.capture),
      mFaultUses(mScenario.faults.size(), 0)
{
    if (const SMainframeModel *model = CSimCatalog::Mainframe(mScenario.model)) {
        for (int slot = model->firstSlot; slot <= model->lastSlot; ++slot) {
            SSlotState &state = mSlots[slot];
            state.config.slot = slot;
            auto configured = mScenario.slots.find(slot);
            if (configured != mScenario.slots.end())
                state.config = configured->second;
            state.firmwareRevision = state.config.firmware;
        }
    }
    if (!mScenario.flashDir.empty())
        std::filesystem::create_directories(mScenario.flashDir);
}

long CSimMainframe::Receive(const unsigned char *data, std::size_t count)
{
    if (mDropped)
        return -1;
    ++mWrites;
    std::size_t accept = count;
    bool drop = false;
    for (std::size_t i = 0; i < mScenario.faults.size(); ++i) {
        const SSimFault &fault = mScenario.faults[i];
        if (fault.type == SSimFault::EType::ShortWrite && fault.n == mWrites)
            accept = std::min<std::size_t>(accept, static_cast<std::size_t>(std::max(0L, fault.bytes)));
        if (fault.type == SSimFault::EType::DropAfterBytes && mReceived + static_cast<long>(accept) >= fault.n) {
            accept = static_cast<std::size_t>(std::max(0L, fault.n - mReceived));
            drop = true;
        }
    }
    mLog.Capture(data, accept);
    mReceived += static_cast<long>(accept);
    std::vector<SSimMessage> messages;
    mFramer.Feed(data, accept, messages);
    for (const auto &message : messages)
        Execute(message);
    if (drop) {
        mDropped = true;
        mReplies.clear();
        mLog.Event("connection dropped after " + std::to_string(mReceived) + " bytes");
        return -1;
    }
    return static_cast<long>(accept);
}

std::string CSimMainframe::TakeReply()
{
    if (mReplies.empty())
        return "";
    std::string reply = std::move(mReplies.front().bytes);
    mReplies.pop_front();
    return reply;
}

void CSimMainframe::DeviceClear()
{
    mFramer.Reset();
    mReplies.clear();
    mLog.Event("device clear");
}

const std::string *CSimMainframe::Flash(int slot, const std::string &area) const
{
    auto state = mSlots.find(slot);
    if (state == mSlots.end())
        return nullptr;
    auto stored = state->second.flash.find(area);
    return stored == state->second.flash.end() ? nullptr : &stored->second;
}

const std::string *CSimMainframe::HeadCaldata(int slot, int head) const
{
    auto state = mSlots.find(slot);
    if (state == mSlots.end())
        return nullptr;
    auto stored = state->second.headCaldata.find(head);
    return stored == state->second.headCaldata.end() ? nullptr : &stored->second;
}

std::string CSimMainframe::FirmwareRevision(int slot) const
{
    auto state = mSlots.find(slot);
    return state == mSlots.end() ? "" : state->second.firmwareRevision;
}

void CSimMainframe::Reply(const std::string &text, double delayMs)
{
    const auto delay = std::chrono::microseconds(static_cast<long long>(delayMs * 1000));
    mReplies.push_back({text, Clock::now() + delay});
    mLog.Replied(text);
}

void CSimMainframe::QueueError(int code, const std::string &text)
{
    mLog.Error(code, text);
    if (mErrors.size() >= kErrorQueueSize) {
        mErrors.back() = {-350, "Queue overflow"};
        return;
    }
    mErrors.emplace_back(code, text);
}

// A query that fails answers an empty line and queues the error, so the
// controller's read completes and its error-queue read tells why.
void CSimMainframe::FailedQuery(int code, const std::string &text)
{
    QueueError(code, text);
    Reply("\n");
}

CSimMainframe::SSlotState *CSimMainframe::SlotOf(int slot)
{
    auto state = mSlots.find(slot);
    return state == mSlots.end() ? nullptr : &state->second;
}

bool CSimMainframe::HasHardware(const SSlotState *slot) const
{
    return slot && !slot->config.product.empty();
}

bool CSimMainframe::ReportsPresent(const SSlotState *slot) const
{
    return HasHardware(slot) && (!slot->config.reportsEmpty || slot->enabled);
}

void CSimMainframe::Execute(const SSimMessage &message)
{
    mLog.Received(message.raw);
    const std::size_t repliesBefore = mReplies.size();
    if (message.badBlock) {
        QueueError(-160, "Block data error");
    } else {
        const std::string text = Trim(message.text);
        const auto split = text.find_first_of(" \t");
        const std::string header = text.substr(0, split);
        const std::string args = split == std::string::npos ? "" : Trim(text.substr(split));
        std::vector<std::string> nodes;
        std::stringstream stream(header.size() && header[0] == ':' ? header.substr(1) : header);
        for (std::string node; std::getline(stream, node, ':');)
            nodes.push_back(node);
        if (nodes.empty() || !Dispatch(message, nodes, args))
            QueueError(-113, "Undefined header");
    }
    ApplyReplyFaults(message.text, repliesBefore);
    ApplyErrorFaults(message.text);
}

bool CSimMainframe::Dispatch(const SSimMessage &message, const std::vector<std::string> &nodes, const std::string &args)
{
    int slot = 0;
    if (nodes.size() == 1) {
        if (Keyword(nodes[0], "*IDN?")) {
            Reply(std::string(kManufacturer) + "," + mScenario.model + "," + mScenario.serial + "," +
                  mScenario.firmware + "\n");
        } else if (Keyword(nodes[0], "*CLS")) {
            mErrors.clear();
        } else if (Keyword(nodes[0], "*OPC?")) {
            ++mOpcCount;
            const bool silent = std::any_of(mScenario.faults.begin(), mScenario.faults.end(), [&](const SSimFault &f) {
                return f.type == SSimFault::EType::NoOpcReply && f.n == mOpcCount;
            });
            if (!silent)
                Reply("1\n", mPendingWriteMs);
            mPendingWriteMs = 0;
        } else if (!Keyword(nodes[0], "*RST")) {
            return false;
        }
        return true;
    }
    if (Keyword(nodes[0], "SYSTem") &&
        (Keyword(nodes[1], "ERRor?") ||
         (nodes.size() == 3 && Keyword(nodes[1], "ERRor") && Keyword(nodes[2], "NEXT?")))) {
        if (mErrors.empty()) {
            Reply("0,\"No error\"\n");
        } else {
            Reply(std::to_string(mErrors.front().first) + ",\"" + mErrors.front().second + "\"\n");
            mErrors.pop_front();
        }
        return true;
    }
    if (Numbered(nodes[0], "SLOT", slot))
        return DispatchSlot(nodes, slot);
    if (Keyword(nodes[0], "SPECial"))
        return DispatchSpecial(message, nodes, args);
    return false;
}

bool CSimMainframe::DispatchSlot(const std::vector<std::string> &nodes, int slot)
{
    int head = 0;
    if (nodes.size() == 2 && Keyword(nodes[1], "IDN?")) {
        SlotIdentity(slot);
    } else if (nodes.size() == 2 && Keyword(nodes[1], "EMPTy?")) {
        SSlotState *state = SlotOf(slot);
        if (!state)
            FailedQuery(-222, "Data out of range");
        else
            Reply(ReportsPresent(state) ? "0\n" : "1\n");
    } else if (nodes.size() == 3 && Numbered(nodes[1], "HEAD", head) && Keyword(nodes[2], "IDN?")) {
        HeadIdentity(slot, head);
    } else {
        return false;
    }
    return true;
}

bool CSimMainframe::DispatchSpecial(const SSimMessage &message, const std::vector<std::string> &nodes,
                                    const std::string &args)
{
    if (nodes.size() == 2 && Keyword(nodes[1], "REBoot")) {
        Reboot();
        return true;
    }
    if (nodes.size() < 4 || !Keyword(nodes[1], "PRIVate"))
        return false;
    if (Keyword(nodes[2], "UPDate")) {
        if (nodes.size() == 5 && Keyword(nodes[3], "MODule") && Keyword(nodes[4], "INTType?"))
            LoadMinikernel(args);
        else if (nodes.size() == 4 && Keyword(nodes[3], "ENABling"))
            Enable(args);
        else
            return false;
        return true;
    }
    return DispatchFlash(message, nodes, args);
}

bool CSimMainframe::DispatchFlash(const SSimMessage &message, const std::vector<std::string> &nodes,
                                  const std::string &args)
{
    const std::string area = Lower(nodes[2]);
    int slot = 0, head = 0;
    if ((area != "firm" && area != "cald") || !Numbered(nodes[3], "SLOT", slot))
        return false;
    if (nodes.size() == 6 && Keyword(nodes[4], "FLASh")) {
        if (Keyword(nodes[5], "STARt"))
            FlashStart(slot, area, args);
        else if (Keyword(nodes[5], "DATA"))
            FlashData(slot, area, message);
        else if (Keyword(nodes[5], "FINished"))
            FlashFinished(slot, area);
        else if (area == "cald" && Keyword(nodes[5], "CHKC?"))
            CheckCaldata(slot, message);
        else
            return false;
        return true;
    }
    if (nodes.size() == 7 && area == "cald" && Numbered(nodes[4], "HEAD", head) && Keyword(nodes[5], "FLASh") &&
        Keyword(nodes[6], "ERASe")) {
        EraseHead(slot, head, args);
        return true;
    }
    return false;
}

// The refusals that slot and head identification share; true when one answered.
bool CSimMainframe::IdentityRefused(const SSlotState *state)
{
    if (!state)
        FailedQuery(-222, "Data out of range");
    else if (!ReportsPresent(state))
        FailedQuery(-241, "Hardware missing");
    else if (state->config.unsupported)
        FailedQuery(-303, "Module not identified");
    else
        return false;
    return true;
}

void CSimMainframe::SlotIdentity(int slot)
{
    SSlotState *state = SlotOf(slot);
    if (IdentityRefused(state))
        return;
    if (!state->config.interfaceModule.empty())
        return FailedQuery(-307, "Head interface module");
    Reply(std::string(kManufacturer) + "," + state->config.product + "," + state->config.serial + "," +
          state->firmwareRevision + "\n");
}

void CSimMainframe::HeadIdentity(int slot, int head)
{
    SSlotState *state = SlotOf(slot);
    if (IdentityRefused(state))
        return;
    for (const auto &present : state->config.heads)
        if (present.head == head)
            return Reply(std::string(kManufacturer) + "," + present.product + "," + present.serial + "," +
                         present.firmware + "\n");
    if (state->config.interfaceModule == "single" && head == 2)
        return FailedQuery(-303, "No head position");
    if (!state->config.interfaceModule.empty())
        return FailedQuery(-307, "Head not connected");
    FailedQuery(-301, "No head");
}

void CSimMainframe::LoadMinikernel(const std::string &args)
{
    std::vector<long> values;
    if (!Integers(args, 3, values))
        return FailedQuery(-109, "Missing parameter");
    SSlotState *state = SlotOf(static_cast<int>(values[0]));
    const SModuleKind *kind = HasHardware(state) ? CSimCatalog::Kind(state->config.kind) : nullptr;
    if (!kind) {
        QueueError(-241, "Hardware missing");
        return Reply("1\n", mScenario.minikernelLoadMs);
    }
    if (kind->interfaceCode != values[2]) {
        QueueError(-221, "Minikernel does not fit the module");
        return Reply("1\n", mScenario.minikernelLoadMs);
    }
    mMinikernel = static_cast<int>(values[2]);
    mLog.Event("minikernel " + std::to_string(mMinikernel) + " loaded via slot " + std::to_string(values[0]));
    Reply("0\n", mScenario.minikernelLoadMs);
}

void CSimMainframe::Enable(const std::string &args)
{
    std::vector<long> values;
    if (!Integers(args, 3, values))
        return QueueError(-109, "Missing parameter");
    SSlotState *state = SlotOf(static_cast<int>(values[0]));
    if (!HasHardware(state))
        return QueueError(-241, "Hardware missing");
    state->enabled = true;
    mLog.Event("slot " + std::to_string(values[0]) + " enabled");
}

void CSimMainframe::Reboot()
{
    mMinikernel = -1;
    mSequence = SSequence{};
    mErrors.clear();
    for (auto &[number, state] : mSlots) {
        if (!state.newFirmware)
            continue;
        state.newFirmware = false;
        state.enabled = true;
        const std::string &image = state.flash["firm"];
        const std::size_t stamp = image.find(CSimCatalog::kStampPrefix);
        const SModuleKind *kind = CSimCatalog::Kind(state.config.kind);
        if (stamp == std::string::npos || !kind || !kind->stampTag)
            continue;
        std::size_t from = stamp + std::strlen(CSimCatalog::kStampPrefix) + std::strlen(kind->stampTag);
        std::string revision;
        while (from < image.size() && revision.size() < 32 && std::isgraph(static_cast<unsigned char>(image[from])))
            revision += image[from++];
        if (!revision.empty())
            state.firmwareRevision = revision;
    }
    mLog.Event("reboot");
}

void CSimMainframe::FlashStart(int slot, const std::string &area, const std::string &args)
{
    std::vector<long> values;
    if (!Integers(args, 4, values))
        return QueueError(-109, "Missing parameter");
    if (mSequence.active) {
        QueueError(-221, "Flash sequence was still open");
        mSequence = SSequence{};
    }
    const std::size_t length = static_cast<std::size_t>(std::max(0L, values[0]));
    const int first = static_cast<int>(values[2]), last = static_cast<int>(values[3]);
    SSlotState *state = SlotOf(slot);
    if (!state)
        return QueueError(-222, "Data out of range");
    const SModuleKind *kind = HasHardware(state) ? CSimCatalog::Kind(state->config.kind) : nullptr;
    if (!kind)
        return QueueError(-241, "Hardware missing");
    const auto fits = [&](const std::optional<SFlashArea> &layout) {
        return layout && layout->firstSector == first && layout->lastSector == last;
    };
    if (area == "firm" && fits(kind->firmware)) {
        if (mMinikernel != kind->interfaceCode)
            return QueueError(-221, "Minikernel not loaded");
        if (length > static_cast<std::size_t>(kind->firmware->maxBytes + CSimCatalog::kFirmwareHeaderBytes))
            return QueueError(-222, "Image does not fit the flash area");
    } else if (area == "firm" && fits(kind->caldata) && values[1] == 1) {
        // A start over the caldata sectors with no data to follow erases them.
        if (!ReportsPresent(state))
            return QueueError(-241, "Hardware missing");
        if (length > static_cast<std::size_t>(kind->caldata->maxBytes))
            return QueueError(-222, "Data out of range");
        state->flash.erase("cald");
        if (!mScenario.flashDir.empty())
            std::filesystem::remove(mScenario.flashDir + "/slot" + std::to_string(slot) + "-cald.bin");
        return mLog.Event("caldata of slot " + std::to_string(slot) + " erased");
    } else if (area == "cald" && fits(kind->caldata)) {
        if (!ReportsPresent(state))
            return QueueError(-241, "Hardware missing");
        if (length > static_cast<std::size_t>(kind->caldata->maxBytes))
            return QueueError(-222, "Image does not fit the flash area");
    } else {
        return QueueError(-222, "Sector range does not fit the module");
    }
    mSequence = SSequence{true, false, slot, area, length, {}};
    mSequence.data.reserve(length);
}

void CSimMainframe::FlashData(int slot, const std::string &area, const SSimMessage &message)
{
    mPendingWriteMs = mScenario.flashWriteMsPerBlock;
    if (!message.hasBlock)
        return QueueError(-160, "Block data error");
    if (!mSequence.active || mSequence.slot != slot || mSequence.area != area)
        return QueueError(-221, "No flash sequence open");
    if (mSequence.failed)
        return;
    const std::size_t remaining = mSequence.announced - mSequence.data.size();
    if (message.block.size() > remaining) {
        mSequence.failed = true;
        return QueueError(-223, "Too much data");
    }
    if (message.block.size() != std::min<std::size_t>(64, remaining)) {
        mSequence.failed = true;
        return QueueError(-160, "Block data error");
    }
    mSequence.data += message.block;
}

void CSimMainframe::FlashFinished(int slot, const std::string &area)
{
    if (!mSequence.active || mSequence.slot != slot || mSequence.area != area)
        return QueueError(-221, "No flash sequence open");
    SSequence sequence = std::move(mSequence);
    mSequence = SSequence{};
    if (sequence.failed)
        return QueueError(-200, "Flash write failed");
    if (sequence.data.size() != sequence.announced)
        return QueueError(-200, "Incomplete flash data");
    if (area == "firm" && sequence.data.compare(0, kLoaderHeader.size(), kLoaderHeader) != 0)
        return QueueError(-200, "Bad loader header");
    Store(*SlotOf(slot), area, sequence.data);
}

void CSimMainframe::Store(SSlotState &slot, const std::string &area, const std::string &data)
{
    slot.flash[area] = data;
    if (area == "firm")
        slot.newFirmware = true;
    mLog.Event(area + " of slot " + std::to_string(slot.config.slot) + " written, " + std::to_string(data.size()) +
               " bytes");
    if (mScenario.flashDir.empty())
        return;
    std::ofstream file(mScenario.flashDir + "/slot" + std::to_string(slot.config.slot) + "-" + area + ".bin",
                       std::ios::binary | std::ios::trunc);
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
}

void CSimMainframe::CheckCaldata(int slot, const SSimMessage &message)
{
    SSlotState *state = SlotOf(slot);
    if (!state)
        return FailedQuery(-222, "Data out of range");
    if (!ReportsPresent(state))
        return FailedQuery(-241, "Hardware missing");
    if (!message.hasBlock || message.block.size() != 20)
        return FailedQuery(-160, "Block data error");
    Reply(std::string(state->config.caldataAccepted ? "1," : "0,") + state->firmwareRevision + "\n");
}

void CSimMainframe::EraseHead(int slot, int head, const std::string &args)
{
    std::vector<long> values;
    if (!Integers(args, 3, values))
        return QueueError(-109, "Missing parameter");
    SSlotState *state = SlotOf(slot);
    if (!ReportsPresent(state))
        return QueueError(-241, "Hardware missing");
    const bool present = std::any_of(state->config.heads.begin(), state->config.heads.end(),
                                     [&](const SSimHead &h) { return h.head == head; });
    if (!present)
        return QueueError(-241, "No head at this position");
    const SModuleKind *headKind = CSimCatalog::Kind("HEAD");
    if (values[1] != headKind->caldata->firstSector || values[2] != headKind->caldata->lastSector)
        return QueueError(-222, "Sector range does not fit the head");
    state->headCaldata.erase(head);
    mLog.Event("caldata of slot " + std::to_string(slot) + " head " + std::to_string(head) + " erased");
}

void CSimMainframe::ApplyReplyFaults(const std::string &messageText, std::size_t repliesBefore)
{
    if (mReplies.size() <= repliesBefore)
        return;
    for (std::size_t i = 0; i < mScenario.faults.size(); ++i) {
        const SSimFault &fault = mScenario.faults[i];
        const bool garbage = fault.type == SSimFault::EType::GarbageReply;
        if ((!garbage && fault.type != SSimFault::EType::OverlongReply) || mFaultUses[i] >= fault.times ||
            !Contains(messageText, fault.command))
            continue;
        ++mFaultUses[i];
        mReplies.back().bytes = garbage ? fault.reply : std::string(static_cast<std::size_t>(fault.length), 'A') + "\n";
        mLog.Event("reply replaced by fault");
    }
}

void CSimMainframe::ApplyErrorFaults(const std::string &messageText)
{
    for (std::size_t i = 0; i < mScenario.faults.size(); ++i) {
        const SSimFault &fault = mScenario.faults[i];
        if (fault.type != SSimFault::EType::ErrorAfter || mFaultUses[i] >= fault.times ||
            !Contains(messageText, fault.command))
            continue;
        ++mFaultUses[i];
        QueueError(fault.code, fault.text);
    }
}

} // namespace sim
