#include "KarvelBase/CReportFiles.h"
#include "KarvelBase/CUpdateReportHolder.h"
#include "KarvelBase/UsrException.h"
#include "support/EnvGuard.h"
#include "support/Recorders.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <vector>

namespace {

class ReportHolderTest : public ::testing::Test
{
protected:
    void SetUp() override { holder->Reset(); }
    void TearDown() override { holder->Reset(); }
    CUpdateReportHolder *holder = CUpdateReportHolder::Instance();
};

} // namespace

TEST_F(ReportHolderTest, FreshHolderIsEmpty)
{
    EXPECT_EQ(holder->GetReportText(), "");
    EXPECT_EQ(holder->GetLastItemType(), RepType_None);
    EXPECT_EQ(holder->GetProgress(), -1);
}

TEST_F(ReportHolderTest, ItemsAppendWithLineFeedAndNotifyTheirType)
{
    CRecordingObserver observer;
    holder->SetObserver(&observer);
    holder->AddReportItem("A", RepType_Info);
    holder->AddReportItem("B", RepType_Error);
    holder->AddReportItem("", RepType_Silent);
    EXPECT_EQ(holder->GetReportText(), "A\nB\n\n");
    EXPECT_EQ(holder->GetLastItemText(), "");
    EXPECT_EQ(observer.types, (std::vector<EreportItemType>{RepType_Info, RepType_Error, RepType_Silent}));
}

TEST_F(ReportHolderTest, ProgressIsStoredUnchangedAndLeavesTheTextAlone)
{
    CRecordingObserver observer;
    holder->AddReportItem("A", RepType_Info); // nobody registered yet: nobody told
    holder->SetObserver(&observer);
    holder->SetProgress(101);
    EXPECT_EQ(holder->GetProgress(), 101);
    EXPECT_EQ(holder->GetReportText(), "A\n");
    EXPECT_EQ(holder->GetLastItemType(), RepType_Info);
    EXPECT_EQ(observer.types, std::vector<EreportItemType>{RepType_Progress});
}

TEST(ReportFiles, CrLfConversion)
{
    EXPECT_EQ(CReportFiles::ToCrLf("A\nB\n"), "A\r\nB\r\n\r\n");
    EXPECT_EQ(CReportFiles::ToCrLf(""), "\r\n");
    EXPECT_EQ(CReportFiles::ToCrLf("H\nV\nT\n\n"), "H\r\nV\r\nT\r\n\r\n\r\n");
    const std::string longLine(100000, 'x');
    EXPECT_EQ(CReportFiles::ToCrLf(longLine + "\n"), longLine + "\r\n\r\n");
}

TEST(ReportFiles, ReportFileIsWrittenAnewWithCrLf)
{
    CScratchDir dir;
    dir.Write("KarvRep.log", "old content that is longer than the new one");
    EXPECT_EQ(CReportFiles::WriteReportFile(dir.Path(), "A\nB\n"), CReportFiles::EWriteResult::Ok);
    EXPECT_EQ(ReadWholeFile(dir.File("KarvRep.log")), "A\r\nB\r\n\r\n");
    EXPECT_EQ(CReportFiles::WriteReportFile(dir.File("missing"), "A\n"), CReportFiles::EWriteResult::OpenFailed);
}

TEST(ReportFiles, LastImageFileRoundTripAndSizeLimit)
{
    CScratchDir dir;
    EXPECT_FALSE(CReportFiles::ReadLastImageFile(dir.Path()));
    CReportFiles::WriteLastImageFile(dir.Path(), "/images/tls.bin");
    EXPECT_EQ(ReadWholeFile(dir.File("KarvFil.dat")), "/images/tls.bin");
    EXPECT_EQ(CReportFiles::ReadLastImageFile(dir.Path()), "/images/tls.bin");
    const std::vector<std::pair<std::size_t, bool>> sizes = {{0, false}, {1023, true}, {1024, false}, {5000, false}};
    for (const auto &[size, used] : sizes) {
        dir.Write("KarvFil.dat", std::string(size, 'p'));
        EXPECT_EQ(CReportFiles::ReadLastImageFile(dir.Path()).has_value(), used) << size;
    }
}

TEST(ReportFiles, DirectoryPrefersTmpThenTempAndSkipsOverlongValues)
{
    const std::string tooLong(2000, 'd');
    {
        CEnvGuard tmp("TMP", "/tmp-a"), temp("TEMP", "/temp-b");
        EXPECT_EQ(CReportFiles::ReportDirectory(), "/tmp-a");
    }
    {
        CEnvGuard tmp("TMP", std::nullopt), temp("TEMP", "/temp-b");
        EXPECT_EQ(CReportFiles::ReportDirectory(), "/temp-b");
    }
    {
        CEnvGuard tmp("TMP", tooLong), temp("TEMP", "/temp-b");
        EXPECT_EQ(CReportFiles::ReportDirectory(), "/temp-b");
    }
    {
        CEnvGuard tmp("TMP", std::nullopt), temp("TEMP", std::nullopt);
        EXPECT_EQ(CReportFiles::ReportDirectory(), std::filesystem::current_path().string());
    }
    EXPECT_EQ(CReportFiles::JoinPath("/tmp", "KarvRep.log"), "/tmp/KarvRep.log");
}

TEST(ReportFiles, FixedItemsAndTimeText)
{
    const std::string time = CReportFiles::TimeText();
    ASSERT_EQ(time.size(), 25u);
    EXPECT_TRUE(std::regex_match(time, std::regex("(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                                  "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                  "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\n")));
    EXPECT_EQ(CReportFiles::HeaderItemText("Version 2.2.5.6")
                  .rfind("Tessaly Technologies 735x module update program\nVersion 2.2.5.6\n", 0),
              0u);
    EXPECT_EQ(CReportFiles::StartItemText().substr(0, 24), "\nStarting module update ");
    EXPECT_EQ(CReportFiles::FooterItemText("Version 2.2.5.6").substr(0, 51),
              "\nModule update program Version 2.2.5.6 finished at ");
}

TEST(ReportFiles, ErrorItemWithoutReasonHasNoReasonLine)
{
    UsrDataException e("KarvelBase/X.cpp", 9, "", 1020);
    EXPECT_EQ(CReportFiles::ErrorItemText(e, "DUMP"),
              "UsrDataException:\n   Minor: 1020\n   File:  KarvelBase/X.cpp\n   Line:  9\n"
              "\n*** Internal data begin ***\nDUMP\n*** Internal data end ***");
}
