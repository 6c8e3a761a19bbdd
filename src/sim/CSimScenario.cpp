#include "CSimScenario.h"

#include "CSimCatalog.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace sim {

namespace {

using nlohmann::json;

[[noreturn]] void Fail(const std::string &file, const std::string &problem)
{
    throw CSimScenarioError(file + ": " + problem);
}

template <typename T> T Get(const json &object, const char *key, const T &fallback, const std::string &where)
{
    if (!object.contains(key))
        return fallback;
    try {
        return object.at(key).get<T>();
    } catch (const json::exception &) {
        throw CSimScenarioError(where + ": \"" + key + "\" has the wrong type");
    }
}

void CheckKeys(const json &object, const std::set<std::string> &known, const std::string &where)
{
    if (!object.is_object())
        throw CSimScenarioError(where + ": expected an object");
    for (const auto &item : object.items())
        if (!known.count(item.key()))
            throw CSimScenarioError(where + ": unknown key \"" + item.key() + "\"");
}

std::string PathFrom(const std::string &baseDir, const std::string &path)
{
    if (path.empty() || std::filesystem::path(path).is_absolute() || baseDir.empty())
        return path;
    return (std::filesystem::path(baseDir) / path).string();
}

SSimSlot ParseSlot(const json &entry, const std::string &where)
{
    CheckKeys(entry,
              {"slot", "product", "kind", "serial", "firmware", "reportsEmpty", "unsupported", "interfaceModule",
               "caldataAccepted", "heads"},
              where);
    SSimSlot slot;
    if (!entry.contains("slot"))
        throw CSimScenarioError(where + ": \"slot\" is missing");
    slot.slot = Get<int>(entry, "slot", 0, where);
    slot.product = Get<std::string>(entry, "product", "", where);
    slot.kind = Get<std::string>(entry, "kind", "", where);
    slot.serial = Get<std::string>(entry, "serial", slot.serial, where);
    slot.firmware = Get<std::string>(entry, "firmware", slot.firmware, where);
    slot.reportsEmpty = Get<bool>(entry, "reportsEmpty", false, where);
    slot.unsupported = Get<bool>(entry, "unsupported", false, where);
    slot.interfaceModule = Get<std::string>(entry, "interfaceModule", "", where);
    slot.caldataAccepted = Get<bool>(entry, "caldataAccepted", true, where);
    if (!slot.product.empty() && !CSimCatalog::Kind(slot.kind))
        throw CSimScenarioError(where + ": unknown module kind \"" + slot.kind + "\"");
    if (!slot.interfaceModule.empty() && slot.interfaceModule != "single" && slot.interfaceModule != "dual")
        throw CSimScenarioError(where + ": \"interfaceModule\" must be \"single\" or \"dual\"");
    for (const auto &headEntry : Get<json>(entry, "heads", json::array(), where)) {
        const std::string headWhere = where + " head";
        CheckKeys(headEntry, {"head", "product", "serial", "firmware"}, headWhere);
        SSimHead head;
        head.head = Get<int>(headEntry, "head", 1, headWhere);
        head.product = Get<std::string>(headEntry, "product", "", headWhere);
        head.serial = Get<std::string>(headEntry, "serial", head.serial, headWhere);
        head.firmware = Get<std::string>(headEntry, "firmware", head.firmware, headWhere);
        if (head.head != 1 && head.head != 2)
            throw CSimScenarioError(headWhere + ": \"head\" must be 1 or 2");
        slot.heads.push_back(head);
    }
    return slot;
}

SSimFault ParseFault(const json &entry, const std::string &where)
{
    CheckKeys(entry, {"type", "command", "code", "text", "times", "n", "bytes", "reply", "length"}, where);
    static const std::map<std::string, SSimFault::EType> kTypes = {
        {"errorAfter", SSimFault::EType::ErrorAfter},         {"noOpcReply", SSimFault::EType::NoOpcReply},
        {"dropAfterBytes", SSimFault::EType::DropAfterBytes}, {"garbageReply", SSimFault::EType::GarbageReply},
        {"overlongReply", SSimFault::EType::OverlongReply},   {"shortWrite", SSimFault::EType::ShortWrite}};
    const std::string type = Get<std::string>(entry, "type", "", where);
    auto found = kTypes.find(type);
    if (found == kTypes.end())
        throw CSimScenarioError(where + ": unknown fault type \"" + type + "\"");
    SSimFault fault;
    fault.type = found->second;
    fault.command = Get<std::string>(entry, "command", "", where);
    fault.code = Get<int>(entry, "code", fault.code, where);
    fault.text = Get<std::string>(entry, "text", fault.text, where);
    fault.times = Get<int>(entry, "times", 1, where);
    fault.n = Get<long>(entry, "n", 0, where);
    fault.bytes = Get<long>(entry, "bytes", 0, where);
    fault.reply = Get<std::string>(entry, "reply", std::string("\x01garbage\x7f", 9), where);
    fault.length = Get<long>(entry, "length", 2000, where);
    const bool needsCommand = fault.type == SSimFault::EType::ErrorAfter ||
                              fault.type == SSimFault::EType::GarbageReply ||
                              fault.type == SSimFault::EType::OverlongReply;
    if (needsCommand && fault.command.empty())
        throw CSimScenarioError(where + ": fault \"" + type + "\" needs a \"command\"");
    if (!needsCommand && fault.n <= 0)
        throw CSimScenarioError(where + ": fault \"" + type + "\" needs a positive \"n\"");
    return fault;
}

} // namespace

SSimScenario SSimScenario::Load(const std::string &fileName)
{
    std::ifstream file(fileName);
    if (!file.is_open())
        Fail(fileName, "cannot open the scenario file");
    std::ostringstream text;
    text << file.rdbuf();
    return Parse(text.str(), fileName, std::filesystem::path(fileName).parent_path().string());
}

SSimScenario SSimScenario::Parse(const std::string &jsonText, const std::string &fileName, const std::string &baseDir)
{
    json root;
    try {
        root = json::parse(jsonText);
    } catch (const json::parse_error &e) {
        Fail(fileName, std::string("not valid JSON: ") + e.what());
    }
    CheckKeys(root, {"mainframe", "slots", "timing", "faults", "eventLog", "capture", "flashDir", "comment"}, fileName);
    SSimScenario scenario;
    scenario.fileName = fileName;
    const json mainframe = Get<json>(root, "mainframe", json::object(), fileName);
    CheckKeys(mainframe, {"model", "serial", "firmware"}, fileName + ": mainframe");
    scenario.model = Get<std::string>(mainframe, "model", scenario.model, fileName);
    scenario.serial = Get<std::string>(mainframe, "serial", scenario.serial, fileName);
    scenario.firmware = Get<std::string>(mainframe, "firmware", scenario.firmware, fileName);
    const SMainframeModel *model = CSimCatalog::Mainframe(scenario.model);
    for (const auto &entry : Get<json>(root, "slots", json::array(), fileName)) {
        SSimSlot slot = ParseSlot(entry, fileName + ": slot");
        if (model && (slot.slot < model->firstSlot || slot.slot > model->lastSlot))
            Fail(fileName, "slot " + std::to_string(slot.slot) + " is not a slot of a " + scenario.model);
        if (!scenario.slots.emplace(slot.slot, slot).second)
            Fail(fileName, "slot " + std::to_string(slot.slot) + " is listed twice");
    }
    const json timing = Get<json>(root, "timing", json::object(), fileName);
    CheckKeys(timing, {"flashWriteMsPerBlock", "minikernelLoadMs"}, fileName + ": timing");
    scenario.flashWriteMsPerBlock = Get<double>(timing, "flashWriteMsPerBlock", 0, fileName);
    scenario.minikernelLoadMs = Get<double>(timing, "minikernelLoadMs", 0, fileName);
    for (const auto &entry : Get<json>(root, "faults", json::array(), fileName))
        scenario.faults.push_back(ParseFault(entry, fileName + ": fault"));
    scenario.eventLog = PathFrom(baseDir, Get<std::string>(root, "eventLog", "", fileName));
    scenario.capture = PathFrom(baseDir, Get<std::string>(root, "capture", "", fileName));
    scenario.flashDir = PathFrom(baseDir, Get<std::string>(root, "flashDir", "", fileName));
    return scenario;
}

} // namespace sim
