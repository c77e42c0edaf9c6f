#include "controls/UC_Slider.h"
#include "support/Twips.h"
#include "tests/common/TestApp.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A 200-pixel horizontal slider with 18-pixel arrows: a 164-pixel track, 160 pixels less 4.
class Slider : public ::testing::Test, TestApp::First {
protected:
    UC_Slider S;
    void SetUp() override {
        TestApp::Instance();
        Support::TwipsPerPixel(15);
        S.resize(200, 18);
        S.Init();
    }
    // The pixel of the widget where a point pPx pixels along the track lies.
    [[nodiscard]] QPoint AlongTrack(int pPx) const { return QPoint(S.TrackRect().left() + 2 + pPx, 9); }
};

TEST_F(Slider, ValueAndThumbMapThroughTheTravel) {
    ASSERT_FLOAT_EQ(S.TrackLength(), 160 * 15);
    S.SetPointerSize(0.25F);
    EXPECT_EQ(S.PointerSize(), 600);
    const float travel = S.Travel();
    const struct {
        int Value;
        float Thumb;
    } cases[] = {{0, 0}, {1000, travel}, {500, std::round(travel / 2)}, {-20, 0}, {1500, travel}};
    for (const auto& c : cases) {
        S.Value(c.Value);
        EXPECT_EQ(S.Value(), std::clamp(c.Value, 0, 1000));
        EXPECT_FLOAT_EQ(S.ThumbPosition(), c.Thumb) << c.Value;
    }
    // Pointer sizes of 1 and more are 95 %, and never below 8 pixels.
    S.SetPointerSize(2);
    EXPECT_EQ(S.PointerSize(), std::lround(S.TrackLength() * 0.95));
    S.SetPointerSize(0);
    EXPECT_EQ(S.PointerSize(), 8 * 15);
    // With no range, assignments do nothing.
    S.Value(300);
    S.Min(50);
    S.Max(50);
    S.Value(10);
    EXPECT_EQ(S.Value(), 300);
}

TEST_F(Slider, AThumbThatCannotTravelFillsTheTrackAtMin) {
    S.Min(5);
    S.Max(40);
    S.PointerSize(int(S.TrackLength()) + 300);
    S.Init2();
    ASSERT_LE(S.Travel(), 0);
    S.Value(20);
    EXPECT_EQ(S.ThumbPosition(), 0);
    QTest::mousePress(&S, Qt::LeftButton, {}, AlongTrack(100));
    QTest::mouseMove(&S, AlongTrack(120));
    QTest::mouseRelease(&S, Qt::LeftButton, {}, AlongTrack(120));
    EXPECT_EQ(S.Value(), 5);
    EXPECT_EQ(S.ThumbPosition(), 0);
}

TEST_F(Slider, PressCentresTheThumbOrKeepsTheGrabPoint) {
    S.SetPointerSize(0.25F); // 40 pixels
    S.Value(0);
    QSignalSpy updown(&S, &UC_Slider::MouseUD);
    QSignalSpy scrolled(&S, &UC_Slider::Scrolled);
    // Far from the thumb: its centre comes under the pointer.
    QTest::mousePress(&S, Qt::LeftButton, {}, AlongTrack(100));
    EXPECT_FLOAT_EQ(S.ThumbPosition(), 100 * 15 - S.PointerSize() / 2.0F);
    EXPECT_EQ(S.Clicked(), -1);
    QTest::mouseRelease(&S, Qt::LeftButton, {}, AlongTrack(100));
    EXPECT_EQ(S.Clicked(), 0);
    // On the thumb, 5 pixels into it: that point stays under the pointer while dragging.
    const int start = int(S.ThumbPosition() / 15);
    QTest::mousePress(&S, Qt::LeftButton, {}, AlongTrack(start + 5));
    QTest::mouseMove(&S, AlongTrack(start + 25));
    EXPECT_FLOAT_EQ(S.ThumbPosition(), float((start + 20) * 15));
    QTest::mouseRelease(&S, Qt::LeftButton, {}, AlongTrack(start + 25));
    ASSERT_EQ(updown.count(), 4);
    EXPECT_EQ(updown.at(0).at(0).toBool(), true);
    EXPECT_EQ(updown.at(1).at(0).toBool(), false);
    EXPECT_EQ(scrolled.count(), 5);
}

TEST_F(Slider, HeldArrowsRepeatWithinTheRange) {
    S.SmallChange(10);
    S.Value(40);
    QSignalSpy scrolled(&S, &UC_Slider::Scrolled);
    const QPoint left = S.ArrowRect(0).center();
    QTest::mousePress(&S, Qt::LeftButton, {}, left);
    EXPECT_EQ(S.Value(), 30);
    QTest::qWait(600);
    EXPECT_EQ(S.Value(), 0) << "repeats until the minimum, and no further";
    QTest::mouseRelease(&S, Qt::LeftButton, {}, left);
    const int steps = int(scrolled.count());
    QTest::qWait(150);
    EXPECT_EQ(scrolled.count(), steps) << "the repeat stops at release";
    // Arrows that are switched off do nothing.
    S.Disabletrim(-1);
    QTest::mouseClick(&S, Qt::LeftButton, {}, S.ArrowRect(1).center());
    EXPECT_EQ(S.Value(), 0);
}

} // namespace
