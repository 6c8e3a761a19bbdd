#pragma once
// What the simulated mainframe received and answered, as JSON lines, and a
// raw capture of every byte received. Binary bytes are shown as \xNN.

#include <cstddef>
#include <fstream>
#include <string>

namespace sim {

class CSimEventLog
{
public:
    CSimEventLog(const std::string &logPath, const std::string &capturePath);

    void Received(const std::string &raw);
    void Replied(const std::string &reply);
    void Error(int code, const std::string &text);
    void Event(const std::string &what);
    void Capture(const unsigned char *data, std::size_t count);

    // Printable ASCII as it is, a backslash doubled, \n for a line feed, \xNN for other bytes.
    static std::string Escape(const std::string &bytes);

private:
    void Line(const char *key, const std::string &value);

    std::ofstream mLog;
    std::ofstream mCapture;
    long mSequence = 0;
};

} // namespace sim
