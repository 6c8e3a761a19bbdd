#include "KarvelBase/CProductAdministrator.h"
#include "KarvelBase/UsrException.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

std::string Printed(const UsrException &e)
{
    std::ostringstream os;
    e.Print(os);
    return os.str();
}

} // namespace

TEST(ErrorFamily, PrintsFiveLinesInFixedColumns)
{
    UsrVisaException e("KarvelManager/CKarvelManager.cpp", 238, "Unknown Visa connection type", 5012);
    EXPECT_EQ(Printed(e), "UsrVisaException:\n"
                          "   Minor: 5012\n"
                          "   File:  KarvelManager/CKarvelManager.cpp\n"
                          "   Line:  238\n"
                          "   Reason: Unknown Visa connection type\n");
}

TEST(ErrorFamily, EmptyReasonPrintsFourLinesAndNegativesKeepTheirSign)
{
    UsrDataException e("f.cpp", -3, "", -42);
    EXPECT_EQ(Printed(e), "UsrDataException:\n   Minor: -42\n   File:  f.cpp\n   Line:  -3\n");
}

TEST(ErrorFamily, EveryClassIsCaughtAsUsrExceptionWithItsOwnName)
{
    const std::vector<std::pair<std::function<void()>, std::string>> raisers = {
        {[] { KARVEL_RAISE(UsrClassException, "r", 0); }, "UsrClassException"},
        {[] { throw UsrClassException("f", 1, std::string("r"), 0); }, "UsrClassException"},
        {[] { KARVEL_RAISE(UsrDataException, "r", 1); }, "UsrDataException"},
        {[] { KARVEL_RAISE(UsrVisaException, "r", 2); }, "UsrVisaException"},
        {[] { KARVEL_RAISE(UsrOSException, "r", 3); }, "UsrOSException"},
        {[] { KARVEL_RAISE(UsrConfigException, "r", 4); }, "UsrConfigException"},
        {[] { KARVEL_RAISE(UsrKarvException, "r", 5); }, "UsrKarvException"},
        {[] { KARVEL_RAISE(UsrFileException, "r", 6); }, "UsrFileException"},
    };
    for (const auto &[raise, name] : raisers) {
        try {
            raise();
            FAIL() << name;
        } catch (const UsrException &e) {
            EXPECT_EQ(e.GetClassName(), name);
            EXPECT_EQ(e.GetReason(), "r");
        }
    }
}

TEST(ErrorFamily, CopyPrintsTheSameAndAppendNumberAddsDecimal)
{
    UsrVisaException original("a.cpp", 7, "Unknown visa session: ", 3310);
    original.AppendNumber(-5);
    UsrVisaException copy(original);
    EXPECT_EQ(Printed(copy), Printed(original));
    EXPECT_EQ(copy.GetReason(), "Unknown visa session: -5");
}

TEST(ErrorFamily, RecordsTheSourcePathRelativeToTheTree)
{
    CProductAdministrator::InitTables();
    try {
        CProductAdministrator::ModuleTypeToText(0);
        FAIL();
    } catch (const UsrException &e) {
        EXPECT_EQ(e.GetFile(), "KarvelBase/CProductAdministrator.cpp");
        EXPECT_GT(e.GetLine(), 0);
    }
}
