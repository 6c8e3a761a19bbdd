#pragma once
// A scenario: what the simulated mainframe holds and how it misbehaves, read
// from a JSON file. A malformed file is a CSimScenarioError naming the file
// and the problem.

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

class CSimScenarioError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct SSimHead
{
    int head = 1;
    std::string product;
    std::string serial = "HD000001";
    std::string firmware = "V1.00(1)";
};

struct SSimSlot
{
    int slot = 0;
    std::string product; // empty: nothing in the slot
    std::string kind;    // module kind, as the catalogue names it
    std::string serial = "MO000001";
    std::string firmware = "V1.00(100)";
    bool reportsEmpty = false;   // a disabled or blank module: "empty" until enabled
    bool unsupported = false;    // refuses identification (-303)
    std::string interfaceModule; // "", "single" or "dual": a head interface module (-307)
    bool caldataAccepted = true; // verdict of the caldata revision check
    std::vector<SSimHead> heads;
};

struct SSimFault
{
    enum class EType
    {
        ErrorAfter,
        NoOpcReply,
        DropAfterBytes,
        GarbageReply,
        OverlongReply,
        ShortWrite
    };
    EType type = EType::ErrorAfter;
    std::string command; // case-insensitive part of the message it applies to
    int code = -200;
    std::string text = "Execution error";
    int times = 1;
    long n = 0;         // NoOpcReply: which *OPC?; DropAfterBytes: byte count; ShortWrite: which write
    long bytes = 0;     // ShortWrite: bytes accepted
    std::string reply;  // GarbageReply
    long length = 2000; // OverlongReply
};

struct SSimScenario
{
    std::string fileName;
    std::string model = "7352A";
    std::string serial = "DE41000001";
    std::string firmware = "V4.12(310)";
    std::map<int, SSimSlot> slots;
    double flashWriteMsPerBlock = 0;
    double minikernelLoadMs = 0;
    std::vector<SSimFault> faults;
    std::string eventLog; // JSON lines of every message and reply
    std::string capture;  // every byte received, raw
    std::string flashDir; // flash contents per slot and area

    static SSimScenario Load(const std::string &fileName);
    static SSimScenario Parse(const std::string &jsonText, const std::string &fileName, const std::string &baseDir);
};

} // namespace sim
