#include "CReportFiles.h"

#include "UsrException.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::optional<std::string> UsableDirectory(const char *name)
{
    const char *value = std::getenv(name);
    if (!value)
        return std::nullopt;
    std::string text(value);
    if (text.size() > CReportFiles::kMaxDirectoryLength)
        return std::nullopt;
    return text;
}

} // namespace

std::string CReportFiles::ReportDirectory()
{
    if (auto tmp = UsableDirectory("TMP"))
        return *tmp;
    if (auto temp = UsableDirectory("TEMP"))
        return *temp;
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    return ec ? std::string(".") : cwd;
}

std::string CReportFiles::JoinPath(const std::string &directory, const std::string &fileName)
{
    // The directory value is used unchanged; a trailing '/' gives "//", which the file system accepts.
    return directory + "/" + fileName;
}

std::string CReportFiles::ToCrLf(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    out += "\r\n";
    return out;
}

CReportFiles::EWriteResult CReportFiles::WriteReportFile(const std::string &directory, const std::string &reportText)
{
    std::ofstream file(JoinPath(directory, kReportFileName), std::ios::binary | std::ios::trunc);
    if (!file.is_open())
        return EWriteResult::OpenFailed;
    const std::string content = ToCrLf(reportText);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    file.close();
    return file.fail() ? EWriteResult::WriteFailed : EWriteResult::Ok;
}

void CReportFiles::WriteLastImageFile(const std::string &directory, const std::string &imagePath)
{
    std::ofstream file(JoinPath(directory, kLastImageFileName), std::ios::binary | std::ios::trunc);
    if (file.is_open())
        file.write(imagePath.data(), static_cast<std::streamsize>(imagePath.size()));
}

std::optional<std::string> CReportFiles::ReadLastImageFile(const std::string &directory)
{
    std::ifstream file(JoinPath(directory, kLastImageFileName), std::ios::binary);
    if (!file.is_open())
        return std::nullopt;
    char buffer[1024];
    file.read(buffer, sizeof buffer);
    const std::streamsize got = file.gcount();
    if (got <= 0 || got >= 1024 || !file.eof())
        return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(got));
}

std::string CReportFiles::TimeText()
{
    static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d\n", kDays[local.tm_wday % 7],
                  kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  local.tm_year + 1900);
    return text;
}

std::string CReportFiles::HeaderItemText(const std::string &versionText)
{
    return "Tessaly Technologies 735x module update program\n" + versionText + "\n" + TimeText();
}

std::string CReportFiles::StartItemText()
{
    return "\nStarting module update " + TimeText() + "\n";
}

std::string CReportFiles::FooterItemText(const std::string &versionText)
{
    return "\nModule update program " + versionText + " finished at " + TimeText();
}

std::string CReportFiles::ErrorItemText(const UsrException &error, const std::string &internalData)
{
    std::ostringstream text;
    error.Print(text);
    text << "\n*** Internal data begin ***\n";
    text << internalData;
    text << "\n*** Internal data end ***";
    return text.str();
}
