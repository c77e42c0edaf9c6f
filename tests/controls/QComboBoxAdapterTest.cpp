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

} // namespace
