// The window's option lists: the engine's fillers through the adapter into real combo boxes.
#include "controls/QComboBoxAdapter.h"
#include "engine/WaveMMIO.h"

#include "tests/common/TestApp.h"

#include <gtest/gtest.h>

namespace {

TEST(QComboBoxAdapter, RateListSelectsTheSavedRateInARealComboBox) {
    TestApp::Instance();
    QComboBox box;
    QComboBoxAdapter combo(box);
    WaveMMIO::LoadFreqToCombo(combo, 44100, 0, 0);
    ASSERT_EQ(box.count(), 12);
    EXPECT_EQ(box.itemText(0), QStringLiteral("192000"));
    EXPECT_EQ(box.currentText(), QStringLiteral("44100"));

    WaveMMIO::LoadModeToCombo(combo, 3, 5);
    EXPECT_EQ(box.count(), 6);
    EXPECT_EQ(box.currentText(), QStringLiteral("Stereo16bit"));
    combo.ListIndex(-1);
    EXPECT_EQ(combo.ListIndex(), -1);
}

TEST(QComboBoxAdapter, AFilledBoxSelectsNothingUntilTheFillerChooses) {
    TestApp::Instance();
    QComboBox box;
    QComboBoxAdapter combo(box);
    // Neither a rate that is not offered nor a negative mode may fall back to the first entry.
    WaveMMIO::LoadFreqToCombo(combo, 50000, 0, 0);
    EXPECT_EQ(box.count(), 12);
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_TRUE(box.currentText().isEmpty());
    WaveMMIO::LoadModeToCombo(combo, -1, 5);
    EXPECT_EQ(box.currentIndex(), -1);
    // Filling a box that shows a selection keeps the filler's choice only.
    WaveMMIO::LoadFreqToCombo(combo, 8000, 0, 0);
    EXPECT_EQ(box.currentText(), QStringLiteral("8000"));
}

} // namespace
