#include "KarvelBase/CModuleImageContainer.h"
#include "KarvelBase/UsrException.h"
#include "KarvelManager/CModuleImageManager.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class ImageManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { CProductAdministrator::InitTables(); }

    std::string Tls(const std::string &name)
    {
        return dir.Write(name, MakeFirmwareImage("@(#)Image Stamp: TLS_", 512));
    }
    std::string Fls(const std::string &name)
    {
        return dir.Write(name, MakeFirmwareImage("@(#)Image Stamp: FLS_", 512));
    }

    CScratchDir dir;
    CModuleImageManager manager;
};

} // namespace

TEST_F(ImageManagerTest, SecondFileForTheSamePairIsRefused)
{
    const std::string a = Tls("a.bin"), b = Tls("b.bin");
    manager.LoadImage(a, ModType_TLS, 1);
    try {
        manager.LoadImage(b, ModType_TLS, 1);
        FAIL();
    } catch (const UsrDataException &e) {
        EXPECT_EQ(e.GetMinor(), 4042);
        EXPECT_EQ(e.GetReason(), "Image file not loaded, since an image of this type is already loaded: " + b);
    }
    EXPECT_EQ(manager.GetImage(ModType_TLS, 1)->GetFileName(), a);
    EXPECT_EQ(manager.Images().size(), 1u);
}

TEST_F(ImageManagerTest, FailedReloadLeavesNoImageUnderThatName)
{
    const std::string a = Tls("a.bin");
    manager.LoadImage(a, ModType_TLS, 1);
    EXPECT_THROW(manager.LoadImage(a, ModType_FLS, 1), UsrDataException); // a is TLS firmware: 2010
    EXPECT_TRUE(manager.Images().empty());
    EXPECT_THROW(manager.GetImage(ModType_TLS, 1), UsrDataException);
}

TEST_F(ImageManagerTest, ReloadUnderTheSameKeyCanShareAPairAndGetImageTakesTheLastKey)
{
    // A is loaded as TLS caldata, B (sorting before A) as FLS caldata; reloading A
    // as FLS caldata is accepted and both then hold FLS caldata.
    const std::string a = dir.Write("z-a.bin", MakeCaldataImage("73561A"));
    const std::string b = dir.Write("m-b.bin", MakeCaldataImage("73561A"));
    manager.LoadImage(b, ModType_FLS, 2);
    dir.Write("z-a.bin", MakeCaldataImage("73591B"));
    manager.LoadImage(a, ModType_TLS, 2);
    dir.Write("z-a.bin", MakeCaldataImage("73561A"));
    manager.LoadImage(a, ModType_FLS, 2);
    EXPECT_EQ(manager.Images().size(), 2u);
    EXPECT_EQ(manager.GetImage(ModType_FLS, 2)->GetFileName(), a);
    EXPECT_THROW(manager.GetImage(ModType_TLS, 2), UsrDataException);
}

TEST_F(ImageManagerTest, DumpListsImagesInByteOrderAndForceModeReachesContainers)
{
    const std::string c = Tls("c.bin");
    const std::string a = Fls("a.bin");
    const std::string b = dir.Write("B.bin", MakeCaldataImage("73591B"));
    manager.LoadImage(c, ModType_TLS, 1);
    manager.LoadImage(a, ModType_FLS, 1);
    manager.SetForceMode(true);
    manager.LoadImage(b, ModType_TLS, 2);
    for (const auto &entry : manager.Images())
        EXPECT_TRUE(entry.second->GetForceMode());
    std::ostringstream dump;
    dump << manager;
    EXPECT_EQ(dump.str(), "Image Map:\n"
                          " Image: " +
                              b + "\n" + b + " ModType_TLS ModImageType_Caldata 'image loaded' 73591B\n" +
                              " Image: " + a + "\n" + a + " ModType_FLS ModImageType_Firmware 'image loaded' \n" +
                              " Image: " + c + "\n" + c + " ModType_TLS ModImageType_Firmware 'image loaded' \n");
}

TEST_F(ImageManagerTest, GetImageOnEmptyManager)
{
    const std::vector<std::tuple<int, int, int, std::string>> cases = {
        {ModType_TLS, 1, 4044, "Requested image type not found:  ModType_TLS ModImageType_Firmware"},
        {ModType_None, 1, 3001, "Invalid module type found."},
        {ModType_None, 3, 3010, "Invalid module image type found."},
    };
    for (const auto &[module, image, minor, reason] : cases) {
        try {
            manager.GetImage(module, image);
            FAIL();
        } catch (const UsrDataException &e) {
            EXPECT_EQ(e.GetMinor(), minor);
            EXPECT_EQ(e.GetReason(), reason);
        }
    }
}
