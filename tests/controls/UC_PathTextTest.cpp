#include "controls/UC_PathText.h"
#include "support/Twips.h"
#include "tests/common/ScopedSeam.h"
#include "tests/common/TestApp.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Stands in for the dialogs: records what was asked and answers with a fixed path.
struct FakeDialogs : ::testing::Test, TestApp::First {
    void SetUp() override {
        Support::TwipsPerPixel(15);
        Box.resize(200, 20);
        Box.Init();
    }
    void ClickButton(QPoint pReleaseAt = QPoint(190, 10)) {
        QTest::mousePress(&Box, Qt::LeftButton, Qt::NoModifier, QPoint(190, 10));
        QTest::mouseRelease(&Box, Qt::LeftButton, Qt::NoModifier, pReleaseAt);
    }

    std::vector<PathDialogRequest> Requests;
    QString Answer;
    UC_PathText Box;
    const ScopedSeam Dialogs = ScopedSeam::Swap(
        &UC_PathText::SetDialogRunner, PathDialogRunner([this](QWidget*, const PathDialogRequest& pRequest) {
            Requests.push_back(pRequest);
            return Answer;
        }));
};

TEST_F(FakeDialogs, ThreeThousandTwipsMakeATwentySevenHundredTwipTextBoxAndASquareButton) {
    Box.show();
    Box.resize(200, 50);
    EXPECT_EQ(Box.height(), 20);
    EXPECT_EQ(Box.TextBoxRect(), QRect(0, 0, 180, 20));
    EXPECT_EQ(Box.ButtonArea(), QRect(180, 0, 20, 20));
    Box.TextHeight(450);
    EXPECT_EQ(Box.height(), 30);
    EXPECT_EQ(Box.TextBoxRect().width(), 170);
}

TEST_F(FakeDialogs, SaveDialogOffersTheExtensionAndEnsuresIt) {
    Box.Usage(2);
    Box.Ext(QStringLiteral(".wav"));
    EXPECT_EQ(Box.Ext(), QStringLiteral("wav"));
    Box.InitDir(QStringLiteral("/music/"));
    Box.Text(QStringLiteral("take1"));
    Answer = QStringLiteral("/music/take2");
    QSignalSpy selected(&Box, &UC_PathText::SelectButtonClicked);
    QSignalSpy changed(&Box, &UC_PathText::TextChange);
    ClickButton();
    ASSERT_EQ(Requests.size(), 1U);
    EXPECT_EQ(Requests[0].Mode, PathDialogRequest::Kind::Save);
    EXPECT_EQ(Requests[0].Filter, QStringLiteral("wavファイル (*.wav)"));
    EXPECT_EQ(Requests[0].Directory, QStringLiteral("/music"));
    EXPECT_EQ(Requests[0].FileName, QStringLiteral("take1"));
    EXPECT_EQ(Box.Text(), QStringLiteral("/music/take2.wav"));
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(FakeDialogs, FolderBrowserStartsAtTheTextsFolderAndAnswersWithASeparator) {
    Box.Text(QStringLiteral("/data/out/old/"));
    // No length limit: the whole long path comes back.
    Answer = QStringLiteral("/data/") + QString(400, QChar(u'長'));
    Box.SelectButtonClick();
    ASSERT_EQ(Requests.size(), 1U);
    EXPECT_EQ(Requests[0].Mode, PathDialogRequest::Kind::Folder);
    EXPECT_EQ(Requests[0].Title, QStringLiteral("フォルダを選択してください"));
    EXPECT_EQ(Requests[0].Directory, QStringLiteral("/data/out/old"));
    EXPECT_EQ(Box.Text(), Answer + QLatin1Char('/'));
}

TEST_F(FakeDialogs, CancelDisabledAndNoDialog) {
    Box.Text(QStringLiteral("/keep/"));
    QSignalSpy selected(&Box, &UC_PathText::SelectButtonClicked);
    ClickButton(); // cancelled: nothing changes, no event
    EXPECT_EQ(Box.Text(), QStringLiteral("/keep/"));
    EXPECT_EQ(selected.count(), 0);
    ClickButton(QPoint(50, 10)); // let go over the text: no dialog
    EXPECT_EQ(Requests.size(), 1U);

    Answer = QStringLiteral("/new");
    Box.ButtonDisabled(1);
    ClickButton();
    EXPECT_EQ(Requests.size(), 1U);
    Box.SelectButtonClick(); // the host still can
    EXPECT_EQ(Box.Text(), QStringLiteral("/new/"));
    Box.ButtonDisabled(0);
    Box.Enabled(0);
    ClickButton();
    EXPECT_EQ(Requests.size(), 2U);

    Box.Enabled(-1);
    Box.Usage(-1);
    ClickButton();
    EXPECT_EQ(Requests.size(), 2U);
    EXPECT_EQ(selected.count(), 2);
}

TEST(PathText, FiltersTakeTheToolkitsForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"mp3ファイル|*.mp3", "mp3ファイル (*.mp3)"},
        {"音声|*.wav;*.mp3|すべて|*.*", "音声 (*.wav *.mp3);;すべて (*.*)"},
        {"WAV (*.wav)|*.wav", "WAV (*.wav)"},
        {"名前だけ", "名前だけ (*)"},
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(UC_PathText::DialogFilter(QString::fromUtf8(given)), QString::fromUtf8(expected)) << given;
}

} // namespace
