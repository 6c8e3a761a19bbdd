#include "CVisaLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

// Stand-ins while no library is loaded: every call fails, nothing crashes.
ViStatus StubOpenDefaultRM(ViPSession vi)
{
    if (vi)
        *vi = 0;
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubFindRsrc(ViSession, ViConstString, ViPFindList, ViPUInt32 count, ViChar desc[])
{
    if (count)
        *count = 0;
    if (desc)
        desc[0] = '\0';
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubFindNext(ViFindList, ViChar desc[])
{
    if (desc)
        desc[0] = '\0';
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubOpen(ViSession, ViConstRsrc, ViAccessMode, ViUInt32, ViPSession vi)
{
    if (vi)
        *vi = 0;
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubClose(ViObject)
{
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubGetAttribute(ViObject, ViAttr, void *)
{
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubSetAttribute(ViObject, ViAttr, ViAttrState)
{
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubClear(ViSession)
{
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubPrintf(ViSession, ViConstString, ...)
{
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubScanf(ViSession, ViConstString, ...)
{
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubQueryf(ViSession, ViConstString, ViConstString, ...)
{
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubWrite(ViSession, ViConstBuf, ViUInt32, ViPUInt32 ret)
{
    if (ret)
        *ret = 0;
    return VI_ERROR_LIBRARY_NFOUND;
}
ViStatus StubRead(ViSession, ViPBuf, ViUInt32, ViPUInt32 ret)
{
    if (ret)
        *ret = 0;
    return VI_ERROR_LIBRARY_NFOUND;
}

template <typename T> bool Resolve(void *handle, const char *name, T &slot, std::string &missing)
{
    void *symbol = dlsym(handle, name);
    if (!symbol) {
        missing += missing.empty() ? name : std::string(", ") + name;
        return false;
    }
    slot = reinterpret_cast<T>(symbol);
    return true;
}

std::string ExecutableDirectory()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

} // namespace

CVisaLibrary &CVisaLibrary::Instance()
{
    static CVisaLibrary library;
    return library;
}

CVisaLibrary::CVisaLibrary()
{
    InstallStubs();
    const char *named = std::getenv(kLibraryVariable);
    Load(named && *named ? std::string(named) : FindBundledLibrary());
}

CVisaLibrary::~CVisaLibrary()
{
    // The library stays mapped until the process ends: sessions may still be
    // closed by static destructors that run after this one.
}

std::string CVisaLibrary::FindBundledLibrary()
{
    const std::filesystem::path dir = ExecutableDirectory();
    for (const auto &candidate : {dir / kBundledLibraryName, dir / ".." / "lib" / kBundledLibraryName,
                                  dir / ".." / "lib" / "karvel" / kBundledLibraryName}) {
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec))
            return candidate.lexically_normal().string();
    }
    return (dir / kBundledLibraryName).string();
}

void CVisaLibrary::InstallStubs()
{
    mFunctions = SVisaFunctions{StubOpenDefaultRM, StubFindRsrc,     StubFindNext, StubOpen,   StubClose,
                                StubGetAttribute,  StubSetAttribute, StubClear,    StubPrintf, StubScanf,
                                StubQueryf,        StubWrite,        StubRead};
}

void CVisaLibrary::Unload()
{
    InstallStubs();
    mHandle = nullptr; // never dlclose'd: see the destructor
}

bool CVisaLibrary::Load(const std::string &path)
{
    Unload();
    mPath = path;
    mLoadError.clear();
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *reason = dlerror();
        mLoadError = "VISA library " + path + " could not be loaded: " + (reason ? reason : "unknown reason");
        return false;
    }
    SVisaFunctions table{};
    std::string missing;
    bool ok = Resolve(handle, "viOpenDefaultRM", table.viOpenDefaultRM, missing);
    ok &= Resolve(handle, "viFindRsrc", table.viFindRsrc, missing);
    ok &= Resolve(handle, "viFindNext", table.viFindNext, missing);
    ok &= Resolve(handle, "viOpen", table.viOpen, missing);
    ok &= Resolve(handle, "viClose", table.viClose, missing);
    ok &= Resolve(handle, "viGetAttribute", table.viGetAttribute, missing);
    ok &= Resolve(handle, "viSetAttribute", table.viSetAttribute, missing);
    ok &= Resolve(handle, "viClear", table.viClear, missing);
    ok &= Resolve(handle, "viPrintf", table.viPrintf, missing);
    ok &= Resolve(handle, "viScanf", table.viScanf, missing);
    ok &= Resolve(handle, "viQueryf", table.viQueryf, missing);
    ok &= Resolve(handle, "viWrite", table.viWrite, missing);
    ok &= Resolve(handle, "viRead", table.viRead, missing);
    if (!ok) {
        mLoadError = "VISA library " + path + " lacks the function(s): " + missing;
        dlclose(handle);
        return false;
    }
    mFunctions = table;
    mHandle = handle;
    return true;
}
