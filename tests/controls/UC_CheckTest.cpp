#include "controls/UC_Check.h"
#include "controls/Palette.h"
#include "support/Twips.h"
#include "tests/common/TestApp.h"

#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct CheckFixture : ::testing::Test {
    void SetUp() override {
        TestApp::Instance();
        Support::TwipsPerPixel(15);
    }
    static void Make(UC_Check& pBox, const QString& pCaption) {
        pBox.resize(10, 20);
        pBox.Caption(pCaption);
    }
};

TEST_F(CheckFixture, SizesItselfToTheCaptionAndTheBoxRate) {
    UC_Check box;
    Make(box, QStringLiteral("ディザ"));
    EXPECT_EQ(box.BoxSide(), 16);
    EXPECT_EQ(box.width(), 16 + 4 + QFontMetrics(box.font()).horizontalAdvance(QStringLiteral("ディザ")));
    EXPECT_EQ(box.height(), 20);
    EXPECT_EQ(box.BoxTop(), 2);
    UC_Check large;
    large.SizeRate(1.5F);
    Make(large, QString());
    EXPECT_EQ(large.BoxSide(), 24);
    EXPECT_EQ(large.size(), QSize(24, 24));
}

TEST_F(CheckFixture, OneBoxImageServesEveryBoxThatIsGivenIt) {
    UC_Check first;
    Make(first, QStringLiteral("mp3"));
    const UC_Check::BoxImage image = first.Gradhdc();
    ASSERT_TRUE(image);
    UC_Check second;
    second.Gradhdc(image);
    Make(second, QStringLiteral("mp2"));
    EXPECT_EQ(second.Gradhdc(), image);
    second.Gradhdc(nullptr);
    EXPECT_EQ(second.Gradhdc(), image);
}

TEST_F(CheckFixture, OnlyLeftClicksOnAnEnabledBoxToggleAndOnlyTheyRaiseClick) {
    struct Case {
        const char* Name;
        std::int32_t IsOption;
        std::int16_t Enabled;
        Qt::MouseButton Button;
        std::int32_t Before;
        std::int32_t After;
        int Clicks;
    };
    const Case cases[] = {
        {"check", 0, -1, Qt::LeftButton, 0, 1, 1},
        {"uncheck", 0, -1, Qt::LeftButton, 1, 0, 1},
        {"any other value checks", 0, -1, Qt::LeftButton, 7, 1, 1},
        {"right button", 0, -1, Qt::RightButton, 0, 0, 0},
        {"middle button", 0, -1, Qt::MiddleButton, 1, 1, 0},
        {"disabled", 0, 0, Qt::LeftButton, 0, 0, 0},
        {"option sets", 1, -1, Qt::LeftButton, 0, 1, 1},
        {"option never clears", 1, -1, Qt::LeftButton, 1, 1, 1},
    };
    for (const Case& c : cases) {
        UC_Check box;
        box.IsOption(c.IsOption);
        Make(box, QStringLiteral("mp3"));
        QSignalSpy clicks(&box, &UC_Check::Click);
        box.Value(c.Before);
        box.Enabled(c.Enabled);
        EXPECT_EQ(clicks.count(), 0) << c.Name; // values set by code raise nothing
        QTest::mouseClick(&box, c.Button, Qt::NoModifier, QPoint(8, 10));
        EXPECT_EQ(box.Value(), c.After) << c.Name;
        EXPECT_EQ(clicks.count(), c.Clicks) << c.Name;
    }
}

TEST_F(CheckFixture, DrawsTheMarkOnlyWhenCheckedOverTheParentsPicture) {
    QPixmap background(200, 100);
    background.fill(QColor(200, 30, 30));
    UC_Check box;
    Make(box, QStringLiteral("mp3"));
    box.SetBGPic(Support::Px(50), Support::Px(40), &background);
    const QColor text = Palette::SystemColor(Palette::kButtonText);
    // (105, 150) twips lies inside the mark's lower stroke, below the box's top.
    const QPoint onMark(7, box.BoxTop() + 10);
    QImage image = box.grab().toImage();
    EXPECT_NE(image.pixelColor(onMark), text);
    EXPECT_EQ(image.pixelColor(box.width() - 1, 0), QColor(200, 30, 30));
    box.Value(1);
    image = box.grab().toImage();
    EXPECT_EQ(image.pixelColor(onMark), text);
    box.CloseBGObj();
    EXPECT_EQ(box.grab().toImage().pixelColor(box.width() - 1, 0),
              Palette::SystemColor(Palette::kButtonFace));
}

} // namespace
