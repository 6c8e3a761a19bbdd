#include "KarvelBase/CProductAdministrator.h"
#include "KarvelBase/UsrException.h"
#include "KarvelManager/CKarvelViewManager.h"
#include "KarvelManager/CModuleImageManager.h"
#include "support/Recorders.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace {

// Captures standard output for the lifetime of the object.
class CCoutCapture
{
public:
    CCoutCapture() : mOld(std::cout.rdbuf(mBuffer.rdbuf())) {}
    ~CCoutCapture() { std::cout.rdbuf(mOld); }
    std::string Text() const { return mBuffer.str(); }

private:
    std::ostringstream mBuffer;
    std::streambuf *mOld;
};

class FacadeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CUpdateReportHolder::Instance()->Reset();
        manager = GetManager();
        manager->Initialize();
    }
    void TearDown() override
    {
        DestroyManager();
        CUpdateReportHolder::Instance()->Reset();
    }
    CKarvelViewManager *manager = nullptr;
    CScratchDir dir;
};

} // namespace

TEST_F(FacadeTest, GetManagerReturnsOneInstanceRegisteredAsObserver)
{
    EXPECT_EQ(GetManager(), manager);
    EXPECT_EQ(CUpdateReportHolder::Instance()->GetObserver(), manager);
    DestroyManager();
    EXPECT_EQ(CUpdateReportHolder::Instance()->GetObserver(), nullptr);
    manager = GetManager();
}

TEST_F(FacadeTest, ConsoleReactionWritesLinesAndDots)
{
    CCoutCapture capture;
    auto *holder = CUpdateReportHolder::Instance();
    holder->AddReportItem("first", RepType_Info);
    for (int i = 1; i <= 10; ++i)
        holder->SetProgress(i * 10);
    holder->AddReportItem("silent", RepType_Silent);
    holder->AddReportItem("warn", RepType_Warning);
    EXPECT_EQ(capture.Text(), "first\n..........warn\n");
    try {
        manager->CKarvelManager::NotifyModelChanged(static_cast<EreportItemType>(0));
        FAIL();
    } catch (const UsrClassException &e) {
        EXPECT_EQ(e.GetMinor(), 0);
        EXPECT_EQ(e.GetReason(), "Unknown report item type in CKarvelManager::NotifyModelChanged(EreportItemType)");
    }
}

TEST_F(FacadeTest, ViewManagerForwardsToTheViewAndFallsBackToConsoleWithoutOne)
{
    CRecordingView view;
    manager->mView = &view;
    CUpdateReportHolder::Instance()->AddReportItem("x", RepType_Info);
    CUpdateReportHolder::Instance()->SetProgress(5);
    manager->NotifyModelChanged(static_cast<EreportItemType>(42)); // the view decides, nothing raised here
    EXPECT_EQ(view.types,
              (std::vector<EreportItemType>{RepType_Info, RepType_Progress, static_cast<EreportItemType>(42)}));
    manager->mView = nullptr;
    CCoutCapture capture;
    CUpdateReportHolder::Instance()->AddReportItem("y", RepType_Info);
    EXPECT_EQ(capture.Text(), "y\n");
}

TEST_F(FacadeTest, LoadImageFileNarratesBeforeAndAfterOnlyOnSuccess)
{
    CCoutCapture capture;
    const std::string good = dir.Write("tls.bin", MakeFirmwareImage("@(#)Image Stamp: TLS_", 300));
    manager->LoadImageFile(good, ModType_TLS, ModImageType_Firmware);
    EXPECT_EQ(CUpdateReportHolder::Instance()->GetReportText(), "Reading image file: " + good + "...\nSuccess.\n");
    const std::string bad = dir.Write("bad.bin", "no stamp");
    EXPECT_THROW(manager->LoadImageFile(bad, ModType_FLS, ModImageType_Firmware), UsrDataException);
    EXPECT_EQ(CUpdateReportHolder::Instance()->GetLastItemText(), "Reading image file: " + bad + "...");
}

TEST_F(FacadeTest, InternalDataDumpWritesBothHeadings)
{
    std::ostringstream dump;
    dump << *manager;
    EXPECT_NE(dump.str().find("Connection manager:\n\n"), std::string::npos);
    EXPECT_NE(dump.str().find("Image manager:\n\nImage Map:\n"), std::string::npos);
    EXPECT_STREQ(CKarvelManager::kVersionText, "Version 2.2.5.6");
}
