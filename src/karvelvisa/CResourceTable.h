#pragma once
// Which resources the bundled VISA library offers and where each one leads.
//
// With KARVEL_VISA_CONF set, the named file lists one resource a line:
//     <resource> <target>      target: serial:<device>, tcp:<host>:<port>, sim:<scenario file>
// '#' starts a comment, blank lines are ignored, a relative sim path is taken
// from the file's folder, and a malformed line is reported and skipped.
// Without the variable, the serial devices present are listed as
// ASRL1::INSTR, ASRL2::INSTR, ... in the order /dev/ttyS<n> (by n), then
// /dev/ttyUSB<n>, then /dev/ttyACM<n>.

#include <string>
#include <vector>

struct SResource
{
    enum class EKind
    {
        Serial,
        Tcp,
        Sim
    };
    std::string name;
    EKind kind = EKind::Serial;
    std::string device;   // serial
    std::string host;     // tcp
    std::string port;     // tcp
    std::string scenario; // sim
};

class CResourceTable
{
public:
    static constexpr const char *kConfVariable = "KARVEL_VISA_CONF";

    // Reads KARVEL_VISA_CONF, or lists the serial devices when it is not set.
    static CResourceTable Load();
    static CResourceTable Parse(const std::string &text, const std::string &fileName, const std::string &baseDir);
    static CResourceTable FromSerialDevices(const std::vector<std::string> &devices);

    // Case-insensitive look-up of a resource string; null when unknown.
    const SResource *Find(const std::string &name) const;
    const std::vector<SResource> &Resources() const { return mResources; }
    // One text per malformed line: "<file>:<line>: <problem>".
    const std::vector<std::string> &Diagnostics() const { return mDiagnostics; }

private:
    bool ParseLine(const std::string &line, const std::string &baseDir, std::string &problem);

    std::vector<SResource> mResources;
    std::vector<std::string> mDiagnostics;
};
