#include "controls/UC_TextPicture.h"
#include "support/Twips.h"
#include "tests/common/TestApp.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Counts the paints a widget receives.
struct PaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Paint) ++Paints;
        return false;
    }
};

// The main window's status panel: sets 0 and 1, two lines at 105 and 405 twips.
void MakeStatusPanel(UC_TextPicture& pPanel) {
    TestApp::Instance();
    Support::TwipsPerPixel(15);
    pPanel.resize(345, 46);
    pPanel.AddStdColorSet(0);
    pPanel.AddStdColorSet(1);
    pPanel.AddStdColorSet(4);
    pPanel.AddTextSpace(9, 0, 0, {}, 120, 105);
    pPanel.AddTextSpace(9, 0, 0, {}, 120, 405);
    pPanel.Init(1, 0);
}

TEST(TextPicture, MessagesRedrawOnlyWhenTheyChange) {
    TestApp::Instance();
    UC_TextPicture panel;
    MakeStatusPanel(panel);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    PaintCounter counter;
    panel.installEventFilter(&counter);
    const auto paintsAfter = [&](auto pAction) {
        QCoreApplication::processEvents();
        counter.Paints = 0;
        pAction();
        QCoreApplication::processEvents();
        return counter.Paints;
    };
    EXPECT_EQ(paintsAfter([&] { panel.DispMes(0, QStringLiteral("変換中")); }), 1);
    EXPECT_EQ(paintsAfter([&] { panel.DispMes(0, QStringLiteral("変換中")); }), 0);
    EXPECT_EQ(paintsAfter([&] { panel.DispMes(1, QStringLiteral("行 2"), 1); }), 0);
    EXPECT_EQ(paintsAfter([&] { panel.DispMes(2, QStringLiteral("無い行")); }), 0);
    EXPECT_EQ(panel.TextMes(1), QStringLiteral("行 2"));
    EXPECT_EQ(panel.TextMes(2), QString());
    EXPECT_EQ(panel.TextMes(-1), QString());
    // An unknown set keeps the current one, and still redraws.
    panel.SetColor(1, 0);
    EXPECT_EQ(paintsAfter([&] { panel.SetColor(9, 1); }), 1);
    EXPECT_EQ(panel.CurrentColorSet(), 1);
}

TEST(TextPicture, ColourSetsPaintTheirBackgrounds) {
    TestApp::Instance();
    UC_TextPicture panel;
    MakeStatusPanel(panel);
    const auto centre = [&] { return panel.grab().toImage().pixelColor(300, 23); };
    const auto near = [](const QColor& pA, const QColor& pB) {
        return std::abs(pA.red() - pB.red()) <= 16 && std::abs(pA.green() - pB.green()) <= 16 &&
               std::abs(pA.blue() - pB.blue()) <= 16;
    };
    EXPECT_TRUE(near(centre(), QColor(104, 104, 104)));
    EXPECT_EQ(panel.grab().toImage().pixelColor(0, 0), QColor(0, 0, 0)); // the frame in colour 1
    panel.SetColor(1, 1);
    EXPECT_TRUE(near(centre(), QColor(104, 104, 136)));
    EXPECT_GT(centre().blue(), centre().red() + 20);

    // The lit slot is lighter than the others.
    panel.DispMes(0, QString(40, QChar(u'■')));
    const QImage normal = panel.grab().toImage();
    panel.Draw(0);
    const QImage lit = panel.grab().toImage();
    EXPECT_NE(normal, lit);
    EXPECT_EQ(normal.copy(0, 25, 345, 21), lit.copy(0, 25, 345, 21));
}

TEST(TextPicture, PressesFindTheirSlotAndLockingSilencesThem) {
    TestApp::Instance();
    UC_TextPicture panel;
    MakeStatusPanel(panel);
    panel.UseClick(1, 1);
    QSignalSpy updown(&panel, &UC_TextPicture::MouseUD);
    QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 35));
    QTest::mouseClick(&panel, Qt::RightButton, Qt::NoModifier, QPoint(100, 12));
    QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2)); // above and left of all: 0
    ASSERT_EQ(updown.count(), 6);
    const int expected[][3] = {{1, 1, 1}, {1, 0, 1}, {2, 1, 0}, {2, 0, 0}, {1, 1, 0}, {1, 0, 0}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(updown.at(i).at(0).toInt(), expected[i][0]) << i;
        EXPECT_EQ(updown.at(i).at(1).toBool(), expected[i][1] == 1) << i;
        EXPECT_EQ(updown.at(i).at(2).toInt(), expected[i][2]) << i;
    }
    QSignalSpy doubles(&panel, &UC_TextPicture::DblClicked);
    panel.UseDblClick(1);
    QTest::mouseDClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 35));
    EXPECT_EQ(doubles.count(), 1);
    panel.Locked(1);
    const qsizetype before = updown.count();
    QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 35));
    QTest::mouseDClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 35));
    EXPECT_EQ(updown.count(), before);
    EXPECT_EQ(doubles.count(), 1);
}

TEST(TextPicture, DropsRelayTheLocalFilesInOrderAsBytes) {
    TestApp::Instance();
    UC_TextPicture panel;
    MakeStatusPanel(panel);
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), QByteArray("file:///music/a%20b.wav\r\n"
                                                             "# a comment\r\n"
                                                             "http://example.org/remote.mp3\r\n"
                                                             "file://localhost/music/%E6%BC%A2.mp3\r\n"
                                                             "file:///music/latin1-%E9.wav\r\n"));
    const std::vector<std::string> expected = {"/music/a b.wav", "/music/漢.mp3", "/music/latin1-\xE9.wav"};

    std::vector<std::string> relayed;
    float x = 0;
    QObject::connect(&panel, &UC_TextPicture::OLEDragDrop,
                     [&](const std::vector<std::string>& pData, std::int32_t, std::int16_t, std::int16_t,
                         float pX, float) {
                         relayed = pData;
                         x = pX;
                     });
    QDragEnterEvent enter(QPoint(10, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&panel, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&panel, &drop);
    EXPECT_EQ(relayed, expected);
    EXPECT_EQ(x, 150);
    panel.Locked(1);
    QDragEnterEvent refused(QPoint(10, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QCoreApplication::sendEvent(&panel, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST(TextPicture, CentredSlotsNeverStartAboveThePanel) {
    TestApp::Instance();
    UC_TextPicture panel;
    panel.resize(100, 4);
    panel.AddTextSpace(9, 0, 0, {}, -1, -1);
    panel.resize(100, 60);
    panel.AddTextSpace(9, 0, 0, {}, -1, -1);
    EXPECT_EQ(panel.TextTop(0), 0);
    EXPECT_GT(panel.TextTop(1), Support::Px(15));
}

} // namespace
