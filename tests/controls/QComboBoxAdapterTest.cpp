#include "controls/QComboBoxAdapter.h"
#include "engine/WaveMMIO.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "tests_controls";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

TEST(QComboBoxAdapter, RateListSelectsTheSavedRateInARealComboBox) {
    App();
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
