#include "app/WindowChoices.h"
#include "engine/C_mp3acm.h"
#include "tests/common/ProgramFixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class Choices : public ProgramFixture {
protected:
    C_mp3acm Mp3;
    void SetUp() override {
        ProgramFixture::SetUp();
        Mp3.Init();
    }
};

TEST_F(Choices, FirstStartGivesTheWindowDefaults) {
    const WindowChoices c = LoadSavedChoices(true);
    EXPECT_EQ(c.Freq, "44100");
    EXPECT_EQ(c.Mode, 3);
    EXPECT_EQ(c.UseDither, 1);
    EXPECT_EQ(c.HighQuality, 0) << "the exact converter unless asked";
    EXPECT_EQ(c.DecodeOnly, 0);
    EXPECT_EQ(c.Encmp3, 0);
    EXPECT_EQ(c.Mp2BitRate, "") << "the stored 0 matches no entry";
    EXPECT_EQ(c.Mp2Mode, "");
    EXPECT_EQ(c.SoundPath, "");
    EXPECT_EQ(c.CopyTags, 1) << "tags are copied unless the user said otherwise";
    const BatchOptions o = ChoicesToOptions(c, Mp3, true);
    EXPECT_EQ(o.CopyTags, 1);
    EXPECT_TRUE(o.Encmp3Enabled);
    EXPECT_EQ(o.Mp3BitRateText, "128");
    EXPECT_TRUE(o.Encmp2Enabled);
}

TEST_F(Choices, StoredValuesFollowTheComboRules) {
    Support::WriteSetting("TargetFreq", std::int32_t(12345));
    Support::WriteSetting("TargetMode", std::int32_t(9));
    Support::WriteSetting("mp2BitRate", std::int32_t(384));
    Support::WriteSetting("mp2Mode", std::string("DualMono"));
    Support::WriteSetting("Encmp2", std::int32_t(1));
    WindowChoices c = LoadSavedChoices(true);
    EXPECT_EQ(c.Freq, "") << "a rate that is not offered selects nothing";
    EXPECT_EQ(c.Mode, 0) << "an index beyond the list selects the first mode";
    EXPECT_EQ(c.Mp2BitRate, "384") << "written as mp2BitRate, read as mp2bitRate: one value";
    EXPECT_EQ(c.Mp2Mode, "DualMono");
    EXPECT_EQ(c.Encmp2, 1);
    EXPECT_EQ(LoadSavedChoices(false).Encmp2, 0) << "not read without the encoder";

    // 8-bit modes and decode-only leave MP3 unavailable; decode-only also disables MP2.
    c.Freq = "44100";
    BatchOptions o = ChoicesToOptions(c, Mp3, true);
    EXPECT_FALSE(o.Encmp3Enabled);
    EXPECT_EQ(o.Mp3BitRateText, "");
    c.Mode = 2;
    c.Mp3BitRate = 100;
    o = ChoicesToOptions(c, Mp3, true);
    EXPECT_TRUE(o.Encmp3Enabled);
    EXPECT_EQ(o.Mp3BitRateText, "320") << "a rate not offered selects the first (highest) entry";
    c.DecodeOnly = 1;
    o = ChoicesToOptions(c, Mp3, true);
    EXPECT_FALSE(o.Encmp3Enabled);
    EXPECT_FALSE(o.Encmp2Enabled);
}

TEST_F(Choices, ShutDownWritesInOrderAndRestartRestores) {
    std::ofstream(IniFile()) << "[conf]\n";
    Restart();
    BatchOptions shown;
    shown.SoundPathText = "/music/out/";
    shown.TargetFreqText = "22050";
    shown.TargetModeIndex = 5;
    shown.UseDither = 0;
    shown.DecodeOnly = 1;
    shown.Encmp3 = 1;
    shown.Mp3BitRateText = ""; // an emptied rate list writes nothing
    shown.Encmp2 = 0;
    shown.Mp2BitRateText = "384";
    shown.Mp2ModeText = "DualMono";
    shown.CopyTags = 0;
    shown.HighQuality = 1;
    SaveChoices(shown);
    EXPECT_EQ(Text(IniFile()), "[conf]\nSoundPath=/music/out/\nTargetFreq=22050\nTargetMode=5\n"
                               "UseDither=0\nDecodeOnly=1\nEncmp3=1\nEncmp2=0\nmp2BitRate=384\n"
                               "mp2Mode=DualMono\nCopyTags=0\nHighQuality=1\n");
    Restart();
    const WindowChoices c = LoadSavedChoices(true);
    EXPECT_EQ(c.SoundPath, "/music/out/");
    EXPECT_EQ(c.Freq, "22050");
    EXPECT_EQ(c.Mode, 5);
    EXPECT_EQ(c.UseDither, 0);
    EXPECT_EQ(c.DecodeOnly, 1);
    EXPECT_EQ(c.HighQuality, 1);
    EXPECT_EQ(ChoicesToOptions(c, Mp3, true).HighQuality, 1);
    EXPECT_EQ(c.Mp3BitRate, 128) << "not written, so the default";
    EXPECT_EQ(c.Mp2BitRate, "384");
    EXPECT_EQ(c.Mp2Mode, "DualMono");
    EXPECT_EQ(c.CopyTags, 0);
}

TEST(ChoiceNames, ModesByNameOrNumber) {
    EXPECT_EQ(ParseTargetMode("0"), 0);
    EXPECT_EQ(ParseTargetMode("5"), 5);
    EXPECT_EQ(ParseTargetMode("mono24BIT"), 4);
    EXPECT_EQ(ParseTargetMode("6"), -1);
    EXPECT_EQ(ParseTargetMode("-1"), -1);
    EXPECT_EQ(ParseTargetMode("Surround 7.1 24bit"), -1);
    EXPECT_EQ(ParseTargetMode(""), -1);
    EXPECT_EQ(ParseMp2Mode("jointstereo"), "JointStereo");
    EXPECT_EQ(ParseMp2Mode("DUALMONO"), "DualMono");
    EXPECT_EQ(ParseMp2Mode("auto"), "");
    EXPECT_EQ(IntegerText(" 128 "), 128);
    EXPECT_EQ(IntegerText("-3"), -3);
    EXPECT_EQ(IntegerText(""), std::nullopt);
    EXPECT_EQ(IntegerText("12a"), std::nullopt);
    EXPECT_EQ(IntegerText("99999999999"), std::nullopt);
}

} // namespace
