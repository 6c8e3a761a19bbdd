#include "CResourceTable.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <strings.h>

namespace {

std::string Trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool EndsWithInstr(const std::string &name)
{
    const std::string suffix = "::INSTR";
    return name.size() > suffix.size() && strcasecmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0;
}

bool IsPort(const std::string &text)
{
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return false;
    const long port = std::strtol(text.c_str(), nullptr, 10);
    return port >= 1 && port <= 65535;
}

// Sort key of a serial device: its family (ttyS, ttyUSB, ttyACM) and number.
std::pair<int, long> DeviceOrder(const std::string &path)
{
    static const char *const kFamilies[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    for (int family = 2; family >= 0; --family) {
        const std::string prefix = kFamilies[family];
        if (path.rfind(prefix, 0) == 0)
            return {family, std::strtol(path.c_str() + prefix.size(), nullptr, 10)};
    }
    return {3, 0};
}

} // namespace

CResourceTable CResourceTable::Load()
{
    const char *conf = std::getenv(kConfVariable);
    if (conf && *conf) {
        std::ifstream file(conf);
        if (!file.is_open()) {
            CResourceTable table;
            table.mDiagnostics.push_back(std::string(conf) + ": cannot open the resource table");
            return table;
        }
        std::ostringstream text;
        text << file.rdbuf();
        return Parse(text.str(), conf, std::filesystem::path(conf).parent_path().string());
    }
    std::vector<std::string> devices;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string path = entry.path().string();
        if (DeviceOrder(path).first < 3 && std::isdigit(static_cast<unsigned char>(path.back())))
            devices.push_back(path);
    }
    return FromSerialDevices(devices);
}

CResourceTable CResourceTable::FromSerialDevices(const std::vector<std::string> &devices)
{
    std::vector<std::string> sorted = devices;
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string &a, const std::string &b) { return DeviceOrder(a) < DeviceOrder(b); });
    CResourceTable table;
    int number = 1;
    for (const auto &device : sorted) {
        SResource resource;
        resource.name = "ASRL" + std::to_string(number++) + "::INSTR";
        resource.device = device;
        table.mResources.push_back(resource);
    }
    return table;
}

CResourceTable CResourceTable::Parse(const std::string &text, const std::string &fileName, const std::string &baseDir)
{
    CResourceTable table;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::string problem;
        if (!table.ParseLine(line, baseDir, problem))
            table.mDiagnostics.push_back(fileName + ":" + std::to_string(number) + ": " + problem);
    }
    return table;
}

bool CResourceTable::ParseLine(const std::string &rawLine, const std::string &baseDir, std::string &problem)
{
    const std::string line = Trim(rawLine.substr(0, rawLine.find('#')));
    if (line.empty())
        return true;
    const auto split = line.find_first_of(" \t");
    SResource resource;
    resource.name = line.substr(0, split);
    const std::string target = split == std::string::npos ? "" : Trim(line.substr(split));
    if (!EndsWithInstr(resource.name)) {
        problem = "resource \"" + resource.name + "\" does not end in ::INSTR";
        return false;
    }
    if (Find(resource.name)) {
        problem = "resource \"" + resource.name + "\" is listed twice";
        return false;
    }
    if (target.rfind("serial:", 0) == 0 && target.size() > 7) {
        resource.kind = SResource::EKind::Serial;
        resource.device = target.substr(7);
    } else if (target.rfind("tcp:", 0) == 0) {
        const std::string address = target.substr(4);
        const auto colon = address.rfind(':');
        if (colon == std::string::npos || colon == 0 || !IsPort(address.substr(colon + 1))) {
            problem = "target \"" + target + "\" is not tcp:<host>:<port>";
            return false;
        }
        resource.kind = SResource::EKind::Tcp;
        resource.host = address.substr(0, colon);
        resource.port = address.substr(colon + 1);
    } else if (target.rfind("sim:", 0) == 0 && target.size() > 4) {
        resource.kind = SResource::EKind::Sim;
        std::filesystem::path scenario = target.substr(4);
        if (scenario.is_relative() && !baseDir.empty())
            scenario = std::filesystem::path(baseDir) / scenario;
        resource.scenario = scenario.string();
    } else {
        problem = target.empty() ? "no target after \"" + resource.name + "\""
                                 : "unknown target \"" + target + "\" (serial:, tcp: or sim:)";
        return false;
    }
    mResources.push_back(resource);
    return true;
}

const SResource *CResourceTable::Find(const std::string &name) const
{
    for (const auto &resource : mResources)
        if (strcasecmp(resource.name.c_str(), name.c_str()) == 0)
            return &resource;
    return nullptr;
}
