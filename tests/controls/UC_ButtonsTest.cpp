#include "controls/UC_Buttons.h"
#include "controls/IconSheet.h"
#include "controls/Palette.h"
#include "support/Twips.h"
#include "tests/common/TestApp.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct StripFixture : ::testing::Test {
    void SetUp() override {
        TestApp::Instance();
        Support::TwipsPerPixel(15);
    }
};

// The main window's strip: 5175 twips, three captioned buttons, design 1.
void MakeRunStrip(UC_Buttons& pStrip) {
    pStrip.resize(345, 26);
    pStrip.DesignType(1);
    pStrip.NumButtons(3);
    pStrip.SetButtonChar(0, QStringLiteral("クリア"));
    pStrip.SetButtonChar(1, QStringLiteral("中止"));
    pStrip.SetButtonChar(2, QStringLiteral("開始"));
    pStrip.Init();
}

TEST_F(StripFixture, ButtonWidthComesFromTheStripAndTheStripFromTheButtons) {
    struct Case {
        int Design;
        int Mimi;
        int Count;
        int Width;
        int ButtonWidth;
        int StripWidth;
    };
    const Case cases[] = {
        {1, -1, 3, 345, 114, 344},                           // the main window's strip
        {0, -1, 3, 345, 109, 345},                           // design 0 has 8-pixel end pieces
        {2, 5, 4, 201, 47, 200},   {1, -1, 0, 100, 98, 100}, // 0 buttons is one button
        {1, -1, 3, 1, 0, 2},                                 // too narrow: no button width, no crash
    };
    for (const Case& c : cases) {
        UC_Buttons strip;
        strip.resize(c.Width, 24);
        strip.DesignType(c.Design);
        strip.MimiWidth(c.Mimi);
        strip.NumButtons(c.Count);
        strip.Init();
        EXPECT_EQ(strip.ButtonWidth(), c.ButtonWidth) << c.Width;
        EXPECT_EQ(strip.width(), c.StripWidth) << c.Width;
        (void)strip.grab();
    }
    UC_Buttons run;
    MakeRunStrip(run);
    EXPECT_EQ(run.ButtonAtX(1), 0);
    EXPECT_EQ(run.ButtonAtX(115), 1);
    EXPECT_EQ(run.ButtonAtX(342), 2);
    EXPECT_EQ(run.ButtonAtX(344), -1);
    EXPECT_EQ(run.ButtonAtX(0), -1);
    EXPECT_EQ(run.ButtonAtX(400), -1);
}

TEST_F(StripFixture, OkCancelPreset) {
    UC_Buttons strip;
    strip.SetOKCancel(1, 0, 1);
    EXPECT_EQ(strip.GetButtonChar(0), QStringLiteral("OK"));
    EXPECT_EQ(strip.GetButtonChar(1), QStringLiteral("キャンセル"));
    EXPECT_EQ(strip.size(), QSize(160, 22));
    EXPECT_EQ(strip.SelectedColor(), Palette::Rgb(255, 255, 255));
    strip.SetOKCancel(0, 1, 0);
    EXPECT_EQ(strip.GetButtonChar(0), QStringLiteral("キャンセル"));
    EXPECT_EQ(strip.size(), QSize(160, 22));
}

TEST_F(StripFixture, MouseSequencesRaiseTheirEvents) {
    struct Case {
        const char* Name;
        Qt::MouseButton Button;
        Qt::KeyboardModifiers Modifiers;
        QPoint ReleaseAt;
        int TempDisabled;
        int Down, Clicked, Right, Shift;
    };
    const QPoint onStop(170, 13);
    const Case cases[] = {
        {"click", Qt::LeftButton, Qt::NoModifier, onStop, 0, 1, 1, 0, 0},
        {"moved off", Qt::LeftButton, Qt::NoModifier, QPoint(170, 60), 0, 1, 0, 0, 0},
        {"moved to the next", Qt::LeftButton, Qt::NoModifier, QPoint(300, 13), 0, 1, 0, 0, 0},
        {"shift click", Qt::LeftButton, Qt::ShiftModifier, onStop, 0, 1, 0, 0, 1},
        {"right click", Qt::RightButton, Qt::NoModifier, onStop, 0, 0, 0, 1, 0},
        {"disabled", Qt::LeftButton, Qt::NoModifier, onStop, 1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        UC_Buttons strip;
        MakeRunStrip(strip);
        strip.SetButtonDisable(1, c.TempDisabled, 1, 1);
        const QImage before = strip.grab().toImage();
        QSignalSpy down(&strip, &UC_Buttons::ButtonDown);
        QSignalSpy clicked(&strip, &UC_Buttons::ButtonClicked);
        QSignalSpy right(&strip, &UC_Buttons::RightClicked);
        QSignalSpy shift(&strip, &UC_Buttons::ShiftClicked);
        QTest::mousePress(&strip, c.Button, c.Modifiers, onStop);
        QTest::mouseMove(&strip, c.ReleaseAt);
        QTest::mouseRelease(&strip, c.Button, c.Modifiers, c.ReleaseAt);
        EXPECT_EQ(down.count(), c.Down) << c.Name;
        EXPECT_EQ(clicked.count(), c.Clicked) << c.Name;
        EXPECT_EQ(right.count(), c.Right) << c.Name;
        EXPECT_EQ(shift.count(), c.Shift) << c.Name;
        for (const QSignalSpy* spy : {&down, &clicked, &right, &shift})
            if (!spy->isEmpty()) {
                EXPECT_EQ(spy->first().at(0).toInt(), 1) << c.Name;
            }
        // Whatever happened, the button is not left drawn pushed.
        EXPECT_EQ(strip.grab().toImage(), before) << c.Name;
    }
}

TEST_F(StripFixture, PressedAndDisabledButtonsLookDifferent) {
    UC_Buttons strip;
    MakeRunStrip(strip);
    const QImage normal = strip.grab().toImage();
    strip.SetButtonState(1, 1);
    EXPECT_NE(strip.grab().toImage(), normal);
    strip.SetButtonState(1, 0);
    strip.SetButtonDisable(2, 1, 1, 0);
    EXPECT_EQ(strip.GetButtonDisable(2, 0), 1);
    EXPECT_EQ(strip.GetButtonDisable(2, 1), 0);
    EXPECT_EQ(strip.GetButtonDisable(7, 0), 0);
    const QImage disabled = strip.grab().toImage();
    EXPECT_NE(disabled, normal);
    strip.NoGrayAtDisabled(1);
    EXPECT_EQ(strip.grab().toImage(), normal);
}

TEST_F(StripFixture, HoverAndKeyboard) {
    QWidget window;
    QLineEdit before(&window);
    UC_Buttons strip(&window);
    QLineEdit after(&window);
    MakeRunStrip(strip);
    strip.SetButtonDisable(1, 1, 1, 1);
    strip.move(0, 30);
    after.move(0, 70);
    window.resize(400, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy hover(&strip, &UC_Buttons::Hover);
    QTest::mouseMove(&strip, QPoint(10, 5));
    QTest::mouseMove(&strip, QPoint(20, 5));
    QTest::mouseMove(&strip, QPoint(250, 5));
    ASSERT_EQ(hover.count(), 2);
    EXPECT_EQ(hover.at(1).at(0).toInt(), 2);

    // Tab walks into the strip, over its disabled button and out again; Space presses.
    QSignalSpy clicked(&strip, &UC_Buttons::ButtonClicked);
    before.setFocus();
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    }
    EXPECT_EQ(QApplication::focusWidget(), &after);
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked.at(0).at(0).toInt(), 0);
    EXPECT_EQ(clicked.at(1).at(0).toInt(), 2);

    // The focus mark follows the mouse: Space presses the button last clicked.
    before.setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), &strip);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(250, 5));
    QTest::keyClick(&strip, Qt::Key_Space);
    ASSERT_EQ(clicked.count(), 4);
    EXPECT_EQ(clicked.at(3).at(0).toInt(), 2);
}

TEST_F(StripFixture, BrightnessShadeNeverDividesByZeroNorGivesZero) {
    struct Case {
        std::int32_t Face;
        int Brightness;
        std::int32_t Shade;
    };
    const Case cases[] = {
        {Palette::Rgb(236, 238, 241), 60, Palette::Rgb(59, 60, 61)},
        {Palette::Rgb(0, 0, 0), 60, Palette::Rgb(60, 60, 60)}, // black face: neutral grey
        {Palette::Rgb(0, 0, 0), 0, 1},                         // never the colour value 0
        {Palette::Rgb(1, 0, 0), 60, Palette::Rgb(60, 60, 60)}, // averages 0 too
        {Palette::Rgb(3, 0, 0), 60, Palette::Rgb(180, 0, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UC_Buttons::BrightnessShade(c.Face, c.Brightness), c.Shade) << c.Face;
}

TEST_F(StripFixture, IconSheetHasMasksAndIsTintedOnce) {
    const QImage sheet = IconSheet::Make(1);
    ASSERT_EQ(sheet.size(), QSize(468, 36));
    // Cell 1, the square: opaque in the middle, transparent in the corner.
    EXPECT_EQ(sheet.pixel(18 + 9, 18 + 9), qRgb(0, 0, 0));
    EXPECT_EQ(sheet.pixel(18, 18), qRgb(255, 255, 255));
    EXPECT_EQ(sheet.pixel(18, 0), qRgb(0, 0, 0));
    EXPECT_NE(sheet.pixel(18 + 9, 9), qRgb(0, 0, 0));

    QImage tinted = sheet;
    IconSheet::Tint(tinted, QColor(231, 231, 231));
    EXPECT_EQ(tinted.copy(9 * 18, 0, 18, 36), sheet.copy(9 * 18, 0, 18, 36)); // green square kept
    EXPECT_NE(tinted.copy(18, 0, 18, 18), sheet.copy(18, 0, 18, 18));
    EXPECT_EQ(tinted.copy(0, 18, 468, 18), sheet.copy(0, 18, 468, 18)); // masks kept

    UC_Buttons strip;
    strip.resize(120, 26);
    strip.SetButtonsMCI();
    strip.Init();
    const QImage once = strip.PiclibHdc().toImage();
    strip.Init();
    EXPECT_EQ(strip.PiclibHdc().toImage(), once);
}

} // namespace
