#pragma once
// The error family: every failure of the system travels as one of these
// objects, raised by value and caught by reference to UsrException.

#include <ostream>
#include <string>

class UsrException
{
public:
    UsrException(const char *className, const char *file, int line, const char *reason, int minor);
    UsrException(const char *className, const char *file, int line, const std::string &reason, int minor);
    virtual ~UsrException() = default;
    UsrException(const UsrException &) = default;
    UsrException &operator=(const UsrException &) = default;

    // Class, minor, file, line and (when present) reason, one line each.
    virtual void Print(std::ostream &os) const;

    std::string GetReason() const { return mReason; }
    int GetMinor() const { return mMinor; }
    const std::string &GetClassName() const { return mClassName; }
    const std::string &GetFile() const { return mFile; }
    int GetLine() const { return mLine; }

    // Appends a decimal number to the reason ("%ld": negative numbers keep their sign).
    UsrException &AppendNumber(long number);

private:
    std::string mClassName;
    std::string mFile;
    int mLine;
    std::string mReason;
    int mMinor;
};

#define KARVEL_DECLARE_USR_EXCEPTION(Name)                                                                             \
    class Name : public UsrException                                                                                   \
    {                                                                                                                  \
    public:                                                                                                            \
        Name(const char *file, int line, const std::string &reason, int minor)                                         \
            : UsrException(#Name, file, line, reason, minor)                                                           \
        {                                                                                                              \
        }                                                                                                              \
        ~Name() override = default;                                                                                    \
    }

KARVEL_DECLARE_USR_EXCEPTION(UsrDataException);
KARVEL_DECLARE_USR_EXCEPTION(UsrVisaException);
KARVEL_DECLARE_USR_EXCEPTION(UsrOSException);
KARVEL_DECLARE_USR_EXCEPTION(UsrConfigException);
KARVEL_DECLARE_USR_EXCEPTION(UsrKarvException);
KARVEL_DECLARE_USR_EXCEPTION(UsrFileException);

class UsrClassException : public UsrException
{
public:
    UsrClassException(const char *file, int line, const std::string &reason, int minor)
        : UsrException("UsrClassException", file, line, reason, minor)
    {
    }
    UsrClassException(const char *file, int line, const char *reason, int minor)
        : UsrException("UsrClassException", file, line, reason, minor)
    {
    }
    ~UsrClassException() override = default;
};

// Raises an error of the family with the raising site's file and line.
#define KARVEL_RAISE(Cls, reason, minor) throw Cls(__FILE__, __LINE__, (reason), (minor))
