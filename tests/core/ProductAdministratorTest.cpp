#include "KarvelBase/CProductAdministrator.h"
#include "KarvelBase/UsrException.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class ProductAdministratorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CProductAdministrator::InitTables();
        CProductAdministrator::SetForceMode(false);
    }
    void TearDown() override { CProductAdministrator::SetForceMode(false); }
};

int MinorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const UsrDataException &e) {
        return e.GetMinor();
    }
    return -1;
}

} // namespace

TEST_F(ProductAdministratorTest, TablesHaveTheirRowsInOrderAndAreBuiltOnce)
{
    CProductAdministrator::InitTables();
    const auto &products = CProductAdministrator::Products();
    ASSERT_EQ(products.size(), 90u);
    ASSERT_EQ(CProductAdministrator::ImageTypes().size(), 20u);
    ASSERT_EQ(CProductAdministrator::Mainframes().size(), 6u);
    EXPECT_EQ(products[0].mProductId, "Unsupported Module");
    EXPECT_EQ(products[17].mProductId, "73547B");
    EXPECT_EQ(products[17].mModuleType, ModType_HEAD);
    EXPECT_EQ(products[23].mProductId, "73547B");
    EXPECT_EQ(products[23].mModuleType, ModType_PM);
    EXPECT_EQ(products[89].mProductId, "73404A");
    EXPECT_EQ(CProductAdministrator::ImageTypes()[11].mModuleType, ModType_HEAD);
    EXPECT_EQ(CProductAdministrator::Mainframes()[5].mModel, "7353B");
}

TEST_F(ProductAdministratorTest, ProductLookups)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"73547B", ModType_PM},   {"Unsupported Module", ModType_Unknown},
        {"73581A", ModType_RLL},  {"73529A", ModType_RLL},
        {"73577A", ModType_PM},   {"73514A", ModType_PM},
        {"73536C", ModType_HEAD}, {"73543B", ModType_FPM},
        {"73591B", ModType_TLS},  {"73585B", ModType_TLS},
        {"73504A", ModType_QD},   {"73504B", ModType_QD2},
        {"73524A", ModType_QD2},  {"73561A", ModType_FLS},
        {"73520A", ModType_FLS},  {"73542A", ModType_DFB},
        {"73831A", ModType_ATT},  {"73860A", ModType_ATT},
        {"73878S", ModType_SW},   {"73874A", ModType_SW},
        {"73491A", ModType_TQ},   {"73404A", ModType_TQ},
    };
    for (const auto &[id, type] : cases)
        EXPECT_EQ(CProductAdministrator::GetModuleTypeOfProduct(id), type) << id;
}

TEST_F(ProductAdministratorTest, UnknownProductRaisesOutsideForceModeOnly)
{
    try {
        CProductAdministrator::GetModuleTypeOfProduct("73999Z");
        FAIL();
    } catch (const UsrDataException &e) {
        EXPECT_EQ(e.GetMinor(), 3030);
        EXPECT_EQ(e.GetReason(), "Unknown product ID found: 73999Z\nIf an old module is inserted, remove it.\n"
                                 "An old module cannot be updated.");
    }
    CProductAdministrator::SetForceMode(true);
    EXPECT_EQ(CProductAdministrator::GetModuleTypeOfProduct("73999Z"), ModType_None);
    // Mainframe models get no force-mode leniency and no old-module hint.
    try {
        CProductAdministrator::GetMainframeType("7354A");
        FAIL();
    } catch (const UsrDataException &e) {
        EXPECT_EQ(e.GetMinor(), 3030);
        EXPECT_EQ(e.GetReason(), "Unknown product ID found: 7354A");
    }
}

TEST_F(ProductAdministratorTest, MainframesAndSlotRanges)
{
    const std::vector<std::tuple<std::string, int, int, int>> cases = {
        {"7351A", MFType_7351A, 1, 2}, {"7352A", MFType_7352A, 0, 4}, {"7353A", MFType_7353A, 1, 17},
        {"7351B", MFType_7351B, 1, 2}, {"7352B", MFType_7352B, 0, 4}, {"7353B", MFType_7353B, 1, 17},
    };
    for (const auto &[model, type, first, last] : cases) {
        EXPECT_EQ(CProductAdministrator::GetMainframeType(model), type);
        EXPECT_EQ(CProductAdministrator::GetFirstSlot(type), first);
        EXPECT_EQ(CProductAdministrator::GetLastSlot(type), last);
    }
    EXPECT_EQ(MinorOf([] { CProductAdministrator::GetFirstSlot(MFType_Unknown); }), 3040);
    EXPECT_EQ(MinorOf([] { CProductAdministrator::GetLastSlot(MFType_None); }), 3040);
}

TEST_F(ProductAdministratorTest, FlashLayoutOfEveryPair)
{
    struct SRow
    {
        int module, image, first, last, size;
    };
    const std::vector<SRow> rows = {
        {ModType_FLS, 1, 0, 3, 262144},  {ModType_TLS, 1, 0, 5, 786432},  {ModType_QD, 1, 0, 3, 262144},
        {ModType_QD2, 1, 0, 3, 262144},  {ModType_PM, 1, 0, 5, 393216},   {ModType_RLL, 1, 0, 5, 393216},
        {ModType_DFB, 1, 0, 5, 393216},  {ModType_ATT, 1, 0, 10, 524288}, {ModType_SW, 1, 0, 10, 524288},
        {ModType_TQ, 1, 0, 54, 2097152}, {ModType_FPM, 1, 0, 10, 524288}, {ModType_HEAD, 2, 4, 7, 65536},
        {ModType_FLS, 2, 7, 7, 65536},   {ModType_TLS, 2, 6, 7, 262144},  {ModType_PM, 2, 7, 7, 65536},
        {ModType_RLL, 2, 7, 7, 65536},   {ModType_DFB, 2, 7, 7, 65536},   {ModType_ATT, 2, 14, 17, 262144},
        {ModType_FPM, 2, 18, 18, 65536}, {ModType_TQ, 2, 55, 56, 131072},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(CProductAdministrator::GetFirstSector(row.module, row.image), row.first) << row.module;
        EXPECT_EQ(CProductAdministrator::GetLastSector(row.module, row.image), row.last) << row.module;
        EXPECT_EQ(CProductAdministrator::GetMaxImageSize(row.module, row.image), row.size) << row.module;
    }
    const std::vector<std::pair<int, int>> missing = {{ModType_HEAD, 1}, {ModType_QD, 2},      {ModType_QD2, 2},
                                                      {ModType_SW, 2},   {ModType_Unknown, 1}, {ModType_FLS, 3}};
    for (const auto &[module, image] : missing)
        EXPECT_EQ(MinorOf([&] { CProductAdministrator::GetFirstSector(module, image); }), 3045);
}

TEST_F(ProductAdministratorTest, TextForms)
{
    EXPECT_EQ(CProductAdministrator::ModuleTypeToText(1), "ModType_FLS");
    EXPECT_EQ(CProductAdministrator::ModuleTypeToText(13), "ModType_Unknown");
    EXPECT_EQ(CProductAdministrator::ImageTypeToText(2), "ModImageType_Caldata");
    EXPECT_EQ(CProductAdministrator::MainframeTypeToText(7), "MFType_Unknown");
    EXPECT_EQ(CProductAdministrator::MainframeTypeToText(5), "MFType_7352B");
    const std::vector<std::pair<std::function<void()>, int>> errors = {
        {[] { CProductAdministrator::ModuleTypeToText(14); }, 3001},
        {[] { CProductAdministrator::ModuleTypeToText(0); }, 3001},
        {[] { CProductAdministrator::ImageTypeToText(3); }, 3010},
        {[] { CProductAdministrator::MainframeTypeToText(8); }, 3002},
        {[] { CProductAdministrator::MainframeTypeToText(0); }, 3002},
    };
    for (const auto &[call, minor] : errors)
        EXPECT_EQ(MinorOf(call), minor);
}

TEST_F(ProductAdministratorTest, ExtractProductId)
{
    const std::vector<std::tuple<std::string, bool, std::string>> cases = {
        {"Tessaly Technologies,73591B,DE123,V3.10(12)\n", true, "73591B"},
        {"Tessaly Technologies,7352A,DE123,V4.0\n", true, "7352A"},
        {"x,Unsupported Module,y", true, "Unsupported Module"},
        {"x,HP 73591Bxyz,y", true, "73591B"},
        {"x,ab73", true, "73"},
        {"x,,y", false, "unchanged"},
        {"no comma at all", false, "unchanged"},
        {"x,", false, "unchanged"},
        {"x,7352A", true, "7352A"},
    };
    for (const auto &[reply, result, expected] : cases) {
        std::string out = "unchanged";
        EXPECT_EQ(CProductAdministrator::ExtractProductId(reply, out), result) << reply;
        EXPECT_EQ(out, expected) << reply;
    }
}
