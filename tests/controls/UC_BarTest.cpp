#include "controls/UC_Bar.h"
#include "controls/Palette.h"
#include "support/Twips.h"
#include "tests/common/TestApp.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr std::int32_t kBlue = Palette::Rgb(40, 90, 200);

// A 204-pixel bar: a track of 200 pixels from x 2, so x = 2 + value / 5 at Max 1000.
void MakeBar(UC_Bar& pBar) {
    TestApp::Instance();
    Support::TwipsPerPixel(15);
    pBar.resize(204, 16);
    pBar.BarColor(kBlue);
    pBar.Init();
}

// The fill's last column is darker than the bar colour; the track is grey.
bool IsTip(const QImage& pImage, int pX) {
    return pImage.pixelColor(pX, 8) == Palette::Shifted(Palette::ToQColor(kBlue), -80);
}
bool IsBlue(const QImage& pImage, int pX) {
    const QColor c = pImage.pixelColor(pX, 8);
    return c.blue() > c.red() + 60;
}

TEST(Bar, ValuesAreClampedAndTheFillEndsAtItsTip) {
    TestApp::Instance();
    struct Case {
        std::int32_t Given;
        std::int32_t Stored;
        int Tip; // pixel column of the fill's last column
    };
    const Case cases[] = {
        {1500, 1000, 201}, // full
        {500, 500, 101},
        {0, 0, 2}, // a one-pixel sliver
        {-5, 0, 2},
    };
    for (const Case& c : cases) {
        UC_Bar bar;
        MakeBar(bar);
        bar.Value(c.Given);
        EXPECT_EQ(bar.Value(), c.Stored) << c.Given;
        const QImage image = bar.grab().toImage();
        EXPECT_TRUE(IsTip(image, c.Tip)) << c.Given;
        EXPECT_FALSE(IsBlue(image, c.Tip + 1)) << c.Given;
        if (c.Tip > 2) {
            EXPECT_TRUE(IsBlue(image, 3)) << c.Given;
        }
    }
}

TEST(Bar, InitKeepsTheHostsMaxAndNothingDividesByZero) {
    TestApp::Instance();
    UC_Bar bar;
    bar.Max(200);
    MakeBar(bar);
    EXPECT_EQ(bar.Max(), 200);
    bar.Value(100);
    EXPECT_TRUE(IsTip(bar.grab().toImage(), 101));
    UC_Bar fresh;
    MakeBar(fresh);
    EXPECT_EQ(fresh.Max(), 1000);

    UC_Bar none;
    none.Max(0);
    MakeBar(none);
    none.Value(300);
    EXPECT_EQ(none.Value(), 0);
    QTest::mouseClick(&none, Qt::LeftButton, Qt::NoModifier, QPoint(150, 8));
    EXPECT_EQ(none.Value(), 0);

    UC_Bar narrow;
    MakeBar(narrow);
    narrow.resize(3, 16);
    narrow.Init();
    EXPECT_EQ(narrow.TrackWidth(), 0);
    QTest::mouseClick(&narrow, Qt::LeftButton, Qt::NoModifier, QPoint(1, 8));
    EXPECT_EQ(narrow.Value(), 0);
    (void)narrow.grab();
}

TEST(Bar, SeekingByMouseWinsOverValuesFromCode) {
    TestApp::Instance();
    UC_Bar bar;
    MakeBar(bar);
    QSignalSpy updown(&bar, &UC_Bar::MouseUD);
    QSignalSpy scrolled(&bar, &UC_Bar::Scrolled);
    QSignalSpy right(&bar, &UC_Bar::RightClicked);
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(2, 8));
    EXPECT_EQ(bar.Value(), 0);
    EXPECT_EQ(bar.Clicked(), -1);
    bar.Value(900); // a progress update during the drag
    EXPECT_EQ(bar.Value(), 0);
    QTest::mouseMove(&bar, QPoint(102, 8));
    EXPECT_EQ(bar.Value(), 500);
    QTest::mouseMove(&bar, QPoint(250, 8));
    EXPECT_EQ(bar.Value(), 1000);
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(202, 8));
    EXPECT_EQ(bar.Value(), 1000);
    EXPECT_EQ(bar.Clicked(), 0);
    ASSERT_EQ(updown.count(), 2);
    EXPECT_TRUE(updown.at(0).at(0).toBool());
    EXPECT_FALSE(updown.at(1).at(0).toBool());
    EXPECT_EQ(scrolled.count(), 2);
    bar.Value(900);
    EXPECT_EQ(bar.Value(), 900);

    QTest::mouseClick(&bar, Qt::RightButton, Qt::NoModifier, QPoint(50, 8));
    EXPECT_EQ(right.count(), 1);
    EXPECT_EQ(bar.Value(), 900);
    bar.Locked(1);
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(50, 8));
    EXPECT_EQ(bar.Value(), 900);
    EXPECT_EQ(updown.count(), 2);
}

} // namespace
