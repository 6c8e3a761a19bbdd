#include "UsrException.h"

UsrException::UsrException(const char *className, const char *file, int line, const char *reason, int minor)
    : mClassName(className), mFile(file ? file : ""), mLine(line), mReason(reason ? reason : ""), mMinor(minor)
{
}

UsrException::UsrException(const char *className, const char *file, int line, const std::string &reason, int minor)
    : mClassName(className), mFile(file ? file : ""), mLine(line), mReason(reason), mMinor(minor)
{
}

void UsrException::Print(std::ostream &os) const
{
    os << mClassName << ":" << std::endl;
    os << "   Minor: " << mMinor << std::endl;
    os << "   File:  " << mFile << std::endl;
    os << "   Line:  " << mLine << std::endl;
    if (!mReason.empty())
        os << "   Reason: " << mReason << std::endl;
}

UsrException &UsrException::AppendNumber(long number)
{
    mReason += std::to_string(number);
    return *this;
}
