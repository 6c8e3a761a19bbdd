#pragma once
// One run of karvel-cli through the facade: scan, open, act, and end like the
// desktop program's close procedure (close the session, footer, last-image
// file, report file).

#include "KarvelVisa.h"

#include <string>
#include <utility>
#include <vector>

struct SCliOptions
{
    int baud = 38400;
    bool force = false;
    int forcedModuleType = 13; // ModType_Unknown until --type names one
    bool caldata = false;
    bool sessionLog = false;
};

class CCliRun
{
public:
    explicit CCliRun(SCliOptions options);
    ~CCliRun();

    // Each returns the exit status: 0 success, 1 the run failed.
    int Version();
    int Scan(int connType);
    int Slots(const std::string &resource);
    int Update(const std::string &resource, const std::string &image, const std::vector<int> &slots);
    int Erase(const std::string &resource, const std::vector<std::pair<int, int>> &entries);

    // The connection type of a resource string: GPIB... 1, ASRL... 2, else 0.
    static int ConnectionTypeOf(const std::string &resource);

private:
    template <typename F> int Guarded(F &&work);
    void OpenResource(const std::string &resource);
    int ForcedType(int moduleType) const;
    void Close();

    SCliOptions mOptions;
    ViSession mSessionId = 0;
    std::string mImagePath;
};
