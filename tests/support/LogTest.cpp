#include "support/Log.h"
#include "support/MessageBox.h"
#include "support/MessageBoxGeometry.h"
#include "tests/common/ProgramFixture.h"
#include "tests/common/TestApp.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <regex>

using namespace Support;

namespace {

class Logging : public ProgramFixture {
protected:
    std::string LogFile(const char* pExt) const { return Dir / (std::string("log/Tolvane") + pExt); }
};

TEST_F(Logging, NothingIsWrittenUnlessLogErrorIsSet) {
    LoadLogSwitches();
    EXPECT_EQ(LogEnabled(), 0);
    WriteLog("hello", 0);
    WriteLog("trouble", 1);
    EXPECT_FALSE(std::filesystem::exists(Dir / "log"));
}

TEST_F(Logging, LinesGoToTheLogOrErrorFileWithATimeStamp) {
    WriteSetting("LogError", std::int32_t(1));
    LoadLogSwitches();
    ASSERT_EQ(LogEnabled(), 1);
    WriteLog("first", 0);
    WriteLog("second", 0);
    WriteLog("broken", 1);
    const std::string log = Text(LogFile(".log"));
    const std::regex line(
        R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} first\r\n\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} second\r\n)");
    EXPECT_TRUE(std::regex_match(log, line)) << log;
    EXPECT_NE(Text(LogFile(".err")).find(" broken\r\n"), std::string::npos);
}

TEST_F(Logging, AFilePastTheLimitStartsAgain) {
    LogEnabled(1);
    std::filesystem::create_directories(Dir / "log");
    TestFiles::WriteFile(LogFile(".log"), TestFiles::Bytes(std::size_t(kLogRestartBytes), 'x'));
    WriteLog("kept", 0);
    EXPECT_GT(std::filesystem::file_size(LogFile(".log")), std::uintmax_t(kLogRestartBytes))
        << "exactly the limit is appended to";
    TestFiles::WriteFile(LogFile(".log"), TestFiles::Bytes(std::size_t(kLogRestartBytes + 1), 'x'));
    WriteLog("fresh", 0);
    const std::string log = Text(LogFile(".log"));
    EXPECT_EQ(log.size(), 20u + 5u + 2u);
    EXPECT_NE(log.find(" fresh\r\n"), std::string::npos);
}

TEST_F(Logging, UnwritableLogFolderLosesTheLineQuietly) {
    LogEnabled(1);
    TestFiles::WriteFile(Dir / "log", {'x'}); // a file where the folder should be
    WriteLog("lost", 1);
    EXPECT_EQ(Text(Dir / "log"), "x");
}

TEST_F(Logging, ErrorTrappingFollowsTheSettingOrEcTxt) {
    LoadLogSwitches();
    EXPECT_TRUE(TrapErrors());
    WriteSetting("ErrorCatch", std::int32_t(1));
    LoadLogSwitches();
    EXPECT_FALSE(TrapErrors());
    WriteSetting("ErrorCatch", std::int32_t(0));
    TestFiles::WriteFile(Dir / "ec.txt", {});
    LoadLogSwitches();
    EXPECT_FALSE(TrapErrors()) << "ec.txt turns trapping off even when ErrorCatch is 0";
    std::filesystem::remove(Dir / "ec.txt");
    LoadLogSwitches();
    EXPECT_TRUE(TrapErrors());
}

TEST(Timestamp, FormatAndClockClamping) {
    EXPECT_EQ(FormatTimestamp(2026, 12, 8, 3661.9), "2026/12/08 01:01:01");
    EXPECT_EQ(FormatTimestamp(2026, 1, 2, 86399.9995), "2026/01/02 23:59:59");
    EXPECT_EQ(FormatTimestamp(2026, 1, 2, 90000), "2026/01/02 23:59:59");
    EXPECT_EQ(FormatTimestamp(2026, 1, 2, -4), "2026/01/02 00:00:00");
    EXPECT_TRUE(std::regex_match(FormatTimestamp(), std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})")));
}

// --- Message boxes -------------------------------------------------------------------------------

TEST(MessageBoxGeometry, CentresOnTheOwnerAndStaysOnScreen) {
    // 15 twips a pixel; a 1920 x 1080 screen; a 300 x 120 box.
    BoxPoint p = CenteredBoxTopLeft(15 * 600, 15 * 300, 15 * 400, 15 * 200, 300, 120, 1920, 1080, 15);
    EXPECT_EQ(p.X, 800 - 150);
    EXPECT_EQ(p.Y, 400 - 60);
    // Near the bottom: lifted so that its bottom stays 600 twips (40 px) above the edge.
    p = CenteredBoxTopLeft(15 * 600, 15 * 1000, 15 * 400, 15 * 100, 300, 120, 1920, 1080, 15);
    EXPECT_EQ(p.Y, 1080 - 40 - 120);
    // Off the right edge, and off the left and top.
    p = CenteredBoxTopLeft(15 * 1900, 15 * 300, 15 * 400, 15 * 200, 300, 120, 1920, 1080, 15);
    EXPECT_EQ(p.X, 1920 - 300);
    p = CenteredBoxTopLeft(-15 * 500, -15 * 500, 15 * 100, 15 * 100, 300, 120, 1920, 1080, 15);
    EXPECT_EQ(p.X, 0);
    EXPECT_EQ(p.Y, 0);
}

TEST(MessageBox, ShowsCentredAndReturnsTheButtonPressed) {
    TestApp::Instance();
    QWidget owner;
    owner.setGeometry(200, 150, 600, 400);
    owner.show();
    QPoint seen;
    QString text;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = box->frameGeometry().center();
        text = box->text();
        box->button(QMessageBox::No)->click();
    });
    const int result = ShowMessageCentered("デコード失敗", vbYesNo | vbCritical, "", &owner);
    EXPECT_EQ(result, vbNo);
    EXPECT_EQ(text, QStringLiteral("デコード失敗"));
    EXPECT_NEAR(seen.x(), owner.frameGeometry().center().x(), 2);
    EXPECT_NEAR(seen.y(), owner.frameGeometry().center().y(), 2);
}

} // namespace
