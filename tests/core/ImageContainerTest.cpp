#include "KarvelBase/CModuleImageContainer.h"
#include "KarvelBase/UsrException.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ImageContainerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CProductAdministrator::InitTables();
        CProductAdministrator::SetForceMode(false);
    }
    void TearDown() override { CProductAdministrator::SetForceMode(false); }

    // Loads the bytes as the given types and returns the minor code (0 on success).
    int LoadMinor(const std::string &bytes, int moduleType, int imageType, std::string *reason = nullptr)
    {
        const std::string path = dir.Write("image.bin", bytes);
        CModuleImageContainer image(path, moduleType, imageType);
        try {
            image.Load();
            return 0;
        } catch (const UsrException &e) {
            EXPECT_EQ(image.GetContentLength(), 0u) << "half-loaded after minor " << e.GetMinor();
            EXPECT_EQ(image.GetProductId(), "");
            if (reason)
                *reason = e.GetReason();
            return e.GetMinor();
        }
    }

    CScratchDir dir;
};

} // namespace

TEST_F(ImageContainerTest, StampsAreTestedInOrderAndLaterRowsOverride)
{
    struct SCase
    {
        std::vector<std::string> stamps;
        int expected;
    };
    const std::vector<SCase> cases = {
        {{"@(#)Image Stamp: FLS_"}, ModType_FLS},
        {{"@(#)Image Stamp: TLS_"}, ModType_TLS},
        {{"@(#)Image Stamp: DFB_"}, ModType_DFB},
        {{"@(#)Image Stamp: QUENDREL1_"}, ModType_QD},
        {{"@(#)Image Stamp: ULVAR_"}, ModType_QD2},
        {{"@(#)Image Stamp: PM_"}, ModType_PM},
        {{"@(#)Image Stamp: RLL_"}, ModType_RLL},
        {{"@(#)Image Stamp: ATT_"}, ModType_ATT},
        {{"@(#)Image Stamp: PM_FASTPM"}, ModType_FPM},
        {{"@(#)Image Stamp: Tarquell_"}, ModType_TQ},
        {{"@(#)Image Stamp: Switch_"}, ModType_SW},
        {{"@(#)Image Stamp: PM_", "@(#)Image Stamp: PM_FASTPM"}, ModType_FPM},
        {{"@(#)Image Stamp: Switch_", "@(#)Image Stamp: TLS_"}, ModType_SW},
        {{"@(#)Image Stamp: FLS_", "@(#)Image Stamp: TLS_"}, ModType_TLS},
    };
    for (const auto &c : cases) {
        std::string bytes = MakeFirmwareImage("", 4096);
        std::size_t at = 100;
        for (const auto &stamp : c.stamps) {
            bytes.replace(at, stamp.size(), stamp);
            at += 1000;
        }
        EXPECT_EQ(LoadMinor(bytes, c.expected, ModImageType_Firmware), 0) << c.stamps.back();
    }
}

TEST_F(ImageContainerTest, FirmwareErrors)
{
    std::string reason;
    const std::string fastPm = MakeFirmwareImage("@(#)Image Stamp: PM_", 2048, 10);
    std::string both = fastPm;
    both.replace(500, 26, "@(#)Image Stamp: PM_FASTPM");
    EXPECT_EQ(LoadMinor(both, ModType_PM, ModImageType_Firmware, &reason), 2010);
    EXPECT_NE(reason.find(" Expected module type: ModType_PM Current module type: ModType_FPM"), std::string::npos)
        << reason;

    const std::string tls = MakeFirmwareImage("@(#)Image Stamp: TLS_", 2048);
    EXPECT_EQ(LoadMinor("", ModType_TLS, ModImageType_Firmware), 2001);
    EXPECT_EQ(LoadMinor(MakeFirmwareImage("@(#)Image Stamp: XYZ_", 2048), ModType_TLS, 1), 2020);
    EXPECT_EQ(LoadMinor(MakeFirmwareImage("", 2048), ModType_TLS, ModImageType_Firmware), 4030);
    EXPECT_EQ(LoadMinor(std::string(4096, '\0'), ModType_TLS, ModImageType_Firmware), 4030);
    EXPECT_EQ(LoadMinor(tls, ModType_None, ModImageType_Firmware), 1001);
    EXPECT_EQ(LoadMinor(tls, ModType_Unknown, ModImageType_Firmware), 1001);
    EXPECT_EQ(LoadMinor(tls, 0, ModImageType_Firmware), 1001);
    EXPECT_EQ(LoadMinor(tls, 15, ModImageType_Firmware), 3001);
    EXPECT_EQ(LoadMinor(tls, ModType_TLS, ModImageType_None, &reason), 3010);
    EXPECT_EQ(reason, "Invalid module image type found." + dir.File("image.bin"));
    // A stamp that ends at the last byte is found; one cut by the end is not.
    const std::string stamp = "@(#)Image Stamp: TLS_";
    EXPECT_EQ(LoadMinor(MakeFirmwareImage(stamp, 1000, 1000 - stamp.size()), ModType_TLS, 1), 0);
    EXPECT_EQ(LoadMinor(MakeFirmwareImage("", 1000) + stamp.substr(0, 20), ModType_TLS, 1), 2020);
}

TEST_F(ImageContainerTest, SizeLimitExactMaximumPassesOneMoreFails)
{
    const std::vector<std::pair<std::string, int>> stamps = {{"@(#)Image Stamp: FLS_", ModType_FLS},
                                                             {"@(#)Image Stamp: TLS_", ModType_TLS},
                                                             {"@(#)Image Stamp: Tarquell_", ModType_TQ},
                                                             {"@(#)Image Stamp: ATT_", ModType_ATT}};
    for (const auto &[stamp, type] : stamps) {
        const std::size_t max = static_cast<std::size_t>(CProductAdministrator::GetMaxImageSize(type, 1));
        EXPECT_EQ(LoadMinor(MakeFirmwareImage(stamp, max), type, 1), 0) << stamp;
        EXPECT_EQ(LoadMinor(MakeFirmwareImage(stamp, max + 1), type, 1), 3021) << stamp;
    }
    const std::string caldata = MakeCaldataImage("73591B", 262144);
    EXPECT_EQ(LoadMinor(caldata, ModType_TLS, ModImageType_Caldata), 0);
    EXPECT_EQ(LoadMinor(caldata + "x", ModType_TLS, ModImageType_Caldata), 3021);
}

TEST_F(ImageContainerTest, HugeFileIsRefusedWithoutBeingRead)
{
    const std::string path = dir.File("huge.bin");
    {
        std::ofstream file(path, std::ios::binary);
    }
    ASSERT_EQ(truncate(path.c_str(), 8LL << 30), 0); // a sparse 8 GiB file
    for (const auto &[moduleType, imageType, minor] : std::vector<std::tuple<int, int, int>>{
             {ModType_TLS, 1, 3021}, {ModType_TLS, 2, 3021}, {ModType_None, 1, 1001}, {ModType_TLS, 7, 3010}}) {
        CModuleImageContainer image(path, moduleType, imageType);
        try {
            image.Load();
            FAIL();
        } catch (const UsrException &e) {
            EXPECT_EQ(e.GetMinor(), minor);
        }
    }
}

TEST_F(ImageContainerTest, CaldataIdentifierAndPrefixRules)
{
    std::string reason;
    const std::vector<std::tuple<std::string, int, int>> cases = {
        {MakeCaldataImage("73591B"), ModType_TLS, 0},       {MakeCaldataImage("73831A"), ModType_ATT, 0},
        {MakeCaldataImage("73591B"), ModType_FLS, 1010},    {MakeCaldataImage("74591B"), ModType_TLS, 2030},
        {MakeCaldataImage("73599Z"), ModType_TLS, 3030},    {MakeCaldataImage("735", 139), ModType_TLS, 3030},
        {MakeCaldataImage("7359", 138), ModType_TLS, 2030}, {std::string(), ModType_TLS, 2030},
        {std::string(100, '\0'), ModType_TLS, 2030},
    };
    for (const auto &[bytes, type, minor] : cases)
        EXPECT_EQ(LoadMinor(bytes, type, ModImageType_Caldata), minor) << bytes.size();

    CProductAdministrator::SetForceMode(true);
    EXPECT_EQ(LoadMinor(MakeCaldataImage("735", 139), ModType_TLS, 2), 1010);
    EXPECT_EQ(LoadMinor(MakeCaldataImage("735", 139), ModType_None, 2), 3045);

    const std::string path = dir.Write("cal.bin", MakeCaldataImage("73591B"));
    CModuleImageContainer image(path, ModType_TLS, ModImageType_Caldata);
    image.Load();
    EXPECT_EQ(image.GetProductId(), "73591B");
    EXPECT_EQ(image.GetContentLength(), 512u);
    std::ostringstream dump;
    dump << image;
    EXPECT_EQ(dump.str(), path + " ModType_TLS ModImageType_Caldata 'image loaded' 73591B");
    CModuleImageContainer unloaded(path, ModType_TLS, ModImageType_Firmware);
    std::ostringstream dump2;
    dump2 << unloaded;
    EXPECT_EQ(dump2.str(), path + " ModType_TLS ModImageType_Firmware 'NO image loaded' ");
}

TEST_F(ImageContainerTest, UnopenableFiles)
{
    std::string reason;
    CModuleImageContainer missing(dir.File("nope.bin"), ModType_TLS, 1);
    try {
        missing.Load();
        FAIL();
    } catch (const UsrFileException &e) {
        EXPECT_EQ(e.GetMinor(), 4001);
        EXPECT_EQ(e.GetReason(), "Cannot open image file: " + dir.File("nope.bin"));
    }
    CModuleImageContainer directory(dir.Path(), ModType_TLS, 1);
    EXPECT_THROW(directory.Load(), UsrFileException);
    if (geteuid() != 0) { // root reads files whatever their permissions
        const std::string path = dir.Write("locked.bin", MakeFirmwareImage("@(#)Image Stamp: TLS_", 512));
        chmod(path.c_str(), 0);
        CModuleImageContainer locked(path, ModType_TLS, 1);
        EXPECT_THROW(locked.Load(), UsrFileException);
    }
}
