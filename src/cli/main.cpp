// karvel-cli: firmware and caldata updates and caldata erases of 735x
// mainframe modules from the command line.

#include "CCliRun.h"
#include "CModuleTypeNames.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>

namespace {

constexpr int kUsageError = 2;

class CUsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

int ParseNumber(const std::string &text, const std::string &what)
{
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw CUsageError(what + ": \"" + text + "\" is not a number");
    return value;
}

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);)
        parts.push_back(part);
    if (text.empty() || text.back() == separator)
        parts.push_back("");
    return parts;
}

std::vector<int> ParseSlots(const std::string &text)
{
    std::vector<int> slots;
    for (const auto &part : Split(text, ','))
        slots.push_back(ParseNumber(part, "SLOTS"));
    return slots;
}

std::vector<std::pair<int, int>> ParseEntries(const std::string &text)
{
    std::vector<std::pair<int, int>> entries;
    for (const auto &part : Split(text, ',')) {
        const auto colon = part.find(':');
        if (colon == std::string::npos)
            entries.emplace_back(ParseNumber(part, "ENTRIES"), -1);
        else
            entries.emplace_back(ParseNumber(part.substr(0, colon), "ENTRIES"),
                                 ParseNumber(part.substr(colon + 1), "ENTRIES"));
    }
    return entries;
}

void CheckResource(const std::string &resource)
{
    if (CCliRun::ConnectionTypeOf(resource) == 0)
        throw CUsageError("RESOURCE: \"" + resource + "\" is neither a GPIB... nor an ASRL... resource string");
}

} // namespace

int main(int argc, char **argv)
{
    CLI::App app{"karvel-cli: update firmware and caldata of 735x mainframe modules, or erase caldata"};
    app.fallthrough();
    app.require_subcommand(1);
    SCliOptions options;
    std::string type;
    app.add_option("--baud", options.baud, "serial baud rate of scan and session (default 38400)");
    app.add_flag("--force", options.force, "force mode: empty and unknown slots can be treated");
    app.add_option("--type", type,
                   "module type for unknown slots in force mode: FLS, TLS, QD, QD2, PM, FPM, HEAD, "
                   "RLL, DFB, ATT, SW, TQ");
    app.add_flag("--caldata", options.caldata, "update caldata instead of firmware");
    app.add_flag("--session-log", options.sessionLog, "report a VISA session log");

    auto *version = app.add_subcommand("version", "VISA library information");
    auto *scan = app.add_subcommand("scan", "list the mainframes found, one connection string a line");
    std::string kind;
    scan->add_option("KIND", kind, "gpib or serial")
        ->required()
        ->check(CLI::IsMember({"gpib", "serial"}, CLI::ignore_case));
    auto *slots =
        app.add_subcommand("slots", "the slot table of one mainframe: slot, product id, module type, version");
    std::string resource, image, list;
    slots->add_option("RESOURCE", resource, "VISA resource string, GPIB... or ASRL...")->required();
    auto *update = app.add_subcommand("update", "firmware (or with --caldata: caldata) update");
    update->add_option("RESOURCE", resource, "VISA resource string, GPIB... or ASRL...")->required();
    update->add_option("IMAGE", image, "image file")->required();
    update->add_option("SLOTS", list, "comma-separated slot numbers, in update order")->required();
    auto *erase = app.add_subcommand("erase", "caldata erase");
    erase->add_option("RESOURCE", resource, "VISA resource string, GPIB... or ASRL...")->required();
    erase->add_option("ENTRIES", list, "comma-separated SLOT (the module) or SLOT:CHANNEL (a head)")->required();

    try {
        app.parse(argc, argv);
        if (!type.empty()) {
            const auto moduleType = CModuleTypeNames::FromKeyword(type);
            if (!moduleType)
                throw CUsageError("--type: \"" + type + "\" is not a module type");
            options.forcedModuleType = *moduleType;
        }
        if (!scan->parsed() && !version->parsed())
            CheckResource(resource);
        std::vector<int> slotList;
        std::vector<std::pair<int, int>> entries;
        if (update->parsed())
            slotList = ParseSlots(list);
        if (erase->parsed())
            entries = ParseEntries(list);

        CCliRun run(options);
        if (version->parsed())
            return run.Version();
        if (scan->parsed())
            return run.Scan(kind == "gpib" || kind == "GPIB" ? 1 : 2);
        if (slots->parsed())
            return run.Slots(resource);
        if (update->parsed())
            return run.Update(resource, image, slotList);
        return run.Erase(resource, entries);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::cerr << "karvel-cli: " << e.what() << "\n\n" << app.help();
        return kUsageError;
    } catch (const CUsageError &e) {
        std::cerr << "karvel-cli: " << e.what() << "\n\n" << app.help();
        return kUsageError;
    }
}
