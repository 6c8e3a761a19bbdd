#pragma once
// The two files a run leaves behind: the report file and the last-image file,
// both in the report directory (TMP, else TEMP, else the current directory).

#include <optional>
#include <string>

class UsrException;

class CReportFiles
{
public:
    static constexpr const char *kReportFileName = "KarvRep.log";
    static constexpr const char *kLastImageFileName = "KarvFil.dat";
    // Values longer than this do not fit the directory buffer and are passed over.
    static constexpr std::size_t kMaxDirectoryLength = 1023;

    enum class EWriteResult
    {
        Ok,
        OpenFailed,
        WriteFailed
    };

    // TMP, else TEMP, else the current directory. A value that is longer than
    // kMaxDirectoryLength is skipped in favour of the next choice.
    static std::string ReportDirectory();
    static std::string JoinPath(const std::string &directory, const std::string &fileName);

    // Every line feed becomes CR LF, and the text after the last line feed is
    // followed by CR LF too, so the file ends with an empty line.
    static std::string ToCrLf(const std::string &text);
    static EWriteResult WriteReportFile(const std::string &directory, const std::string &reportText);

    // Failures are ignored, as the close of a run must not stop on them.
    static void WriteLastImageFile(const std::string &directory, const std::string &imagePath);
    // The remembered path when the file exists, is not empty and is shorter than 1024 bytes.
    static std::optional<std::string> ReadLastImageFile(const std::string &directory);

    // "Mon Jan 06 14:05:09 2025\n": 25 characters, English names whatever the locale.
    static std::string TimeText();
    static std::string HeaderItemText(const std::string &versionText);
    static std::string StartItemText();
    static std::string FooterItemText(const std::string &versionText);
    // Error text, then the internal data between the two markers.
    static std::string ErrorItemText(const UsrException &error, const std::string &internalData);
};
