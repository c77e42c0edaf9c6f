#include "support/UiFont.h"
#include "support/Twips.h"
#include "tests/common/TestApp.h"
#include "tests/common/TestFiles.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QWidget>

#include <gtest/gtest.h>

#include <fstream>

using namespace Support;

namespace {

class UiFont : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp::Instance();
        Reset();
    }
    void TearDown() override { Reset(); }
    static void Reset() {
        ReleaseUiFonts();
        UiFontName(std::string());
        TwipsPerPixel(15);
    }
};

TEST_F(UiFont, ChoiceFollowsThePreferenceListThenAnyJapaneseFace) {
    const struct {
        InstalledFaces Faces;
        std::string Chosen;
    } cases[] = {
        {{{"DejaVu Sans", "MS UI Gothic", "Noto Sans CJK JP"}, {"Noto Sans CJK JP"}}, "MS UI Gothic"},
        {{{"VL PGothic", "Noto Sans CJK JP", "IPAPGothic"}, {"VL PGothic"}}, "Noto Sans CJK JP"},
        {{{"DejaVu Sans", "Takao PGothic"}, {"Takao PGothic"}}, "Takao PGothic"},
        {{{"DejaVu Sans"}, {}}, kUiFontFallback},
        {{}, kUiFontFallback},
    };
    for (const auto& c : cases) {
        ChooseUiFont(c.Faces);
        EXPECT_EQ(UiFontName(), c.Chosen);
    }
}

TEST_F(UiFont, ControlsAskingForTheSameFontShareOneEntry) {
    UiFontName("Noto Sans CJK JP");
    QWidget a;
    QWidget b;
    const int first = ApplyUiFont(&a, -2, nullptr, 9, 0, 0, "");
    const int count = UiFontCount();
    // Size 0 means 9 points; an empty face means the interface face.
    EXPECT_EQ(ApplyUiFont(&b, -2, nullptr, 0, 0, 0, "Noto Sans CJK JP"), first);
    EXPECT_EQ(UiFontCount(), count);
    EXPECT_EQ(a.font(), b.font());
    EXPECT_EQ(UiFontAt(first).Size, 9.0F);
    EXPECT_NE(ApplyUiFont(&b, -2, nullptr, 9, -1, 0, ""), first);
    EXPECT_TRUE(b.font().bold());
    // -1 takes the font the control already has: the bold one just given.
    QWidget c;
    c.setFont(b.font());
    EXPECT_EQ(ApplyUiFont(nullptr, -1, &c), ApplyUiFont(nullptr, -2, nullptr, 9, -1, 0, ""));
    EXPECT_EQ(ApplyUiFont(&a, -3), -3);
    EXPECT_EQ(ApplyUiFont(&a, UiFontCount()), -3);
}

TEST_F(UiFont, SizesFollowTwipsPerPixelAndBoldStaysBold) {
    // At 12 twips per pixel a 9-point face with height factor 1.34 has a 20-pixel cell.
    TwipsPerPixel(12);
    ASSERT_EQ(CreateUiFont(9, -1, 0, "メイリオ"), 1);
    const UiFontEntry& meiryo = UiFontAt(UiFontCount() - 1);
    EXPECT_EQ(meiryo.CellHeight, 20);
    EXPECT_EQ(meiryo.Weight, 875);
    EXPECT_TRUE(meiryo.Font.bold());
    EXPECT_FLOAT_EQ(meiryo.HeightCorrection, 1.0F / 1.34F);
    // Below 10.5 twips per pixel the weight would leave the scale.
    TwipsPerPixel(9);
    ASSERT_EQ(CreateUiFont(9, -1, 0, "Noto Sans CJK JP"), 1);
    EXPECT_EQ(UiFontAt(UiFontCount() - 1).Weight, 1000);
    EXPECT_TRUE(UiFontAt(UiFontCount() - 1).Font.bold());
    // 9 points: a 12-pixel em at 96 DPI, and the cell the face really lays out.
    TwipsPerPixel(15);
    ASSERT_EQ(CreateUiFont(9, 0, 0, "Noto Sans CJK JP"), 1);
    const UiFontEntry& noto = UiFontAt(UiFontCount() - 1);
    EXPECT_EQ(noto.Font.pixelSize(), 12);
    EXPECT_EQ(noto.Weight, 0);
    ASSERT_EQ(QFontInfo(noto.Font).family(), QStringLiteral("Noto Sans CJK JP"));
    EXPECT_NEAR(QFontMetrics(noto.Font).height(), noto.CellHeight, 1);
    EXPECT_EQ(CreateUiFont(0, 0, 0, "Noto Sans CJK JP"), 0);
}

TEST_F(UiFont, FontsAreReleasedAtExitOnlyWithoutTheToolkitsJapaneseTexts) {
    TestFiles::TempDir program;
    TestFiles::TempDir system;
    const auto touch = [](const std::string& pPath) { std::ofstream(pPath).put('x'); };
    LanguageEnvironment env{true, program.Path(), system.Path()};
    EXPECT_EQ(StartupLanguageFlag(env, 0), 1);
    EXPECT_EQ(StartupLanguageFlag(env, 1), 0);
    touch(system / "qtbase_ja.qm");
    EXPECT_EQ(StartupLanguageFlag(env, 0), 0);
    // A toolkit in the program folder without its Japanese texts decides alone.
    touch(program / "libQt6Core.so.6");
    EXPECT_EQ(StartupLanguageFlag(env, 0), 1);
    touch(program / "qtbase_ja.qm");
    EXPECT_EQ(StartupLanguageFlag(env, 0), 0);
    env.JapaneseSystem = false;
    std::filesystem::remove(program / "qtbase_ja.qm");
    EXPECT_EQ(StartupLanguageFlag(env, 0), 0);
}

} // namespace
