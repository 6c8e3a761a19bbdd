#pragma once
/// @file
/// The VISA library loaded at run time: the path in KARVEL_VISA_LIBRARY, else
/// our bundled libkarvelvisa.so beside the program. Every function is resolved
/// once, at load time, into one table. A library that cannot be loaded, or
/// lacks a function, leaves a table whose every call fails with
/// VI_ERROR_LIBRARY_NFOUND; LoadError() names the path and the reason.
///
/// Threading: Instance() loads on first use; call it once on the main thread
/// before a worker thread uses VISA.

#include "KarvelVisa.h"

#include <string>

struct SVisaFunctions
{
    PviOpenDefaultRM viOpenDefaultRM;
    PviFindRsrc viFindRsrc;
    PviFindNext viFindNext;
    PviOpen viOpen;
    PviClose viClose;
    PviGetAttribute viGetAttribute;
    PviSetAttribute viSetAttribute;
    PviClear viClear;
    PviPrintf viPrintf;
    PviScanf viScanf;
    PviQueryf viQueryf;
    PviWrite viWrite;
    PviRead viRead;
};

class CVisaLibrary
{
public:
    static constexpr const char *kBundledLibraryName = "libkarvelvisa.so";
    static constexpr const char *kLibraryVariable = "KARVEL_VISA_LIBRARY";

    /// The process's library, loaded at the first call.
    static CVisaLibrary &Instance();

    /// Loads the library at an explicit path (tests); a loaded one is closed first.
    bool Load(const std::string &path);

    const SVisaFunctions &Functions() const { return mFunctions; }
    bool IsLoaded() const { return mHandle != nullptr; }
    const std::string &Path() const { return mPath; }
    /// Empty when loaded; otherwise "<path>: <loader's reason>".
    const std::string &LoadError() const { return mLoadError; }

    /// Where the bundled library is looked for: beside the executable, then ../lib and ../lib/karvel.
    static std::string FindBundledLibrary();

    ~CVisaLibrary();

private:
    CVisaLibrary();
    void Unload();
    void InstallStubs();

    void *mHandle = nullptr;
    std::string mPath;
    std::string mLoadError;
    SVisaFunctions mFunctions{};
};

/// The loaded function table of the process.
inline const SVisaFunctions &Visa()
{
    return CVisaLibrary::Instance().Functions();
}
