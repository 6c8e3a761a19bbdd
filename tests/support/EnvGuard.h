#pragma once
// Sets an environment variable for the lifetime of the object.

#include <cstdlib>
#include <optional>
#include <string>

class CEnvGuard
{
public:
    CEnvGuard(const char *name, const std::optional<std::string> &value) : mName(name)
    {
        if (const char *old = std::getenv(name))
            mOld = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~CEnvGuard()
    {
        if (mOld)
            setenv(mName.c_str(), mOld->c_str(), 1);
        else
            unsetenv(mName.c_str());
    }
    CEnvGuard(const CEnvGuard &) = delete;
    CEnvGuard &operator=(const CEnvGuard &) = delete;

private:
    std::string mName;
    std::optional<std::string> mOld;
};
