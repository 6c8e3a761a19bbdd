#include "CSimEventLog.h"

#include <nlohmann/json.hpp>

namespace sim {

CSimEventLog::CSimEventLog(const std::string &logPath, const std::string &capturePath)
{
    if (!logPath.empty())
        mLog.open(logPath, std::ios::trunc);
    if (!capturePath.empty())
        mCapture.open(capturePath, std::ios::binary | std::ios::trunc);
}

std::string CSimEventLog::Escape(const std::string &bytes)
{
    static const char *const kHex = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c >= 0x20 && c < 0x7f)
            out += static_cast<char>(c);
        else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

void CSimEventLog::Line(const char *key, const std::string &value)
{
    if (!mLog.is_open())
        return;
    nlohmann::json line = {{"seq", ++mSequence}, {key, value}};
    mLog << line.dump() << '\n' << std::flush;
}

void CSimEventLog::Received(const std::string &raw)
{
    if (mLog.is_open())
        Line("rx", Escape(raw));
}

void CSimEventLog::Replied(const std::string &reply)
{
    if (mLog.is_open())
        Line("tx", Escape(reply));
}

void CSimEventLog::Error(int code, const std::string &text)
{
    if (mLog.is_open())
        Line("error", std::to_string(code) + ",\"" + text + "\"");
}

void CSimEventLog::Event(const std::string &what)
{
    Line("event", what);
}

void CSimEventLog::Capture(const unsigned char *data, std::size_t count)
{
    if (mCapture.is_open()) {
        mCapture.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(count));
        mCapture.flush();
    }
}

} // namespace sim
