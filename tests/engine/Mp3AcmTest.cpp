#include "engine/C_DecodeAudio.h"
#include "engine/C_mp3acm.h"
#include "support/ListComboBox.h"
#include "tests/common/ProgramFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace TestFiles;

namespace {

// A sine of pFreq Hz (the right channel at 1.5 x) as 16-bit PCM.
Bytes Tone(int pRate, int pChannels, double pSeconds, double pFreq) {
    const auto frames = std::size_t(pRate * pSeconds);
    std::vector<int> samples;
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < pChannels; ++c)
            samples.push_back(
                int(std::lrint(12000 * std::sin(2 * M_PI * pFreq * (c == 0 ? 1 : 1.5) * double(i) / pRate))));
    return PcmWav(std::uint16_t(pChannels), std::uint32_t(pRate), 16, Samples16(samples));
}

// The dominant frequency of the left channel, from its upward zero crossings.
double Frequency(const std::string& pWav) {
    const WaveInfo info = WaveMMIO::GetWaveInfo(pWav);
    const Bytes b = ReadFile(pWav);
    int crossings = 0;
    int previous = 0;
    const std::size_t step = std::size_t(info.BlockAlign);
    // Skip the first and last tenth: encoder delay and padding.
    const std::size_t begin = std::size_t(info.DataOffset) + step * std::size_t(info.Frames / 10);
    const std::size_t end = std::size_t(info.DataOffset) + step * std::size_t(info.Frames * 9 / 10);
    for (std::size_t at = begin; at + 1 < end; at += step) {
        const int v = GetS16(b, at);
        if (previous < 0 && v >= 0) ++crossings;
        previous = v;
    }
    return crossings / (double(info.Frames) * 0.8 / info.SamplesPerSec);
}

class Mp3 : public ProgramFixture {
protected:
    C_mp3acm Enc;
    void SetUp() override {
        ProgramFixture::SetUp();
        Support::LogEnabled(1);
    }
    std::string Source(const Bytes& pBytes, const std::string& pName = "in.wav") {
        WriteFile(Dir / pName, pBytes);
        return Dir / pName;
    }
    std::vector<std::string> Lines(const char* pExt) {
        std::vector<std::string> lines;
        std::istringstream in(Text(Dir / (std::string("log/Tolvane") + pExt)));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(20, line.size() - 21));
        return lines;
    }
};

TEST_F(Mp3, BitRateListsFollowTheLegalRates) {
    ListComboBox combo;
    Enc.LoadBitRateToCombo(combo, 44100, 3, 128);
    EXPECT_EQ(combo.Items, (std::vector<std::string>{"320", "256", "224", "192", "160", "128", "112", "96",
                                                     "80", "64", "56", "48", "40", "32"}));
    EXPECT_EQ(combo.List(combo.Index), "128");
    Enc.LoadBitRateToCombo(combo, 44100, 2, 24);
    EXPECT_EQ(combo.Index, 0) << "a default not offered selects the first";
    Enc.LoadBitRateToCombo(combo, 22050, 2, 128);
    EXPECT_EQ(combo.Items.front(), "160");
    EXPECT_EQ(combo.Items.back(), "24");
    EXPECT_EQ(combo.Items.size(), 11u);
    Enc.LoadBitRateToCombo(combo, 8000, 3, 128);
    EXPECT_EQ(combo.Items, (std::vector<std::string>{"64", "56", "48", "40", "32", "24"}));
    for (const int mode : {0, 1, 4, 5}) {
        Enc.LoadBitRateToCombo(combo, 44100, mode, 128);
        EXPECT_TRUE(combo.Items.empty()) << mode;
    }
    for (const int rate : {88200, 96000, 192000}) {
        Enc.LoadBitRateToCombo(combo, rate, 3, 128);
        EXPECT_TRUE(combo.Items.empty()) << rate;
    }
    Enc.Init();
    EXPECT_EQ(Enc.EncAvailable(), 1);
}

TEST_F(Mp3, EncodedTonesDecodeBackWithTheirLengthRateAndPitch) {
    struct Case {
        int Rate, Channels, Kbps;
    };
    for (const Case c : {Case{44100, 2, 128}, Case{22050, 1, 64}, Case{8000, 1, 32}, Case{48000, 2, 320}}) {
        SCOPED_TRACE(std::to_string(c.Rate) + "/" + std::to_string(c.Channels));
        const std::string src = Source(Tone(c.Rate, c.Channels, 2.0, 440), "tone.wav");
        const std::string mp3 = Dir / "tone.mp3";
        std::filesystem::remove(mp3);
        ASSERT_EQ(Enc.EncFromWavfile(src, mp3, c.Kbps), 1);
        const int frameSamples = c.Rate >= 32000 ? 1152 : 576;
        // The MPEG reader and our decoder know MPEG-1 and MPEG-2; 8 kHz is MPEG-2.5.
        if (c.Rate > 12000) {
            MpegInfo info;
            ASSERT_EQ(FCT_mpeg::ReadMpegInfo(mp3, info, 0), 1);
            EXPECT_EQ(info.SampleRate, c.Rate);
            EXPECT_EQ(info.BitRate, c.Kbps);
            EXPECT_EQ(info.Layer, 3);
            EXPECT_EQ(info.Channels, c.Channels);
            // Our own decoder, which does not trim the encoder's delay and padding.
            const std::string back = Dir / "back.wav";
            std::filesystem::remove(back);
            ASSERT_EQ(Enc.DecFrommp3file(mp3, back), 1);
            const WaveInfo w = WaveMMIO::GetWaveInfo(back);
            EXPECT_EQ(w.SamplesPerSec, c.Rate);
            EXPECT_EQ(w.Channels, c.Channels);
            EXPECT_NEAR(w.Frames, 2 * c.Rate, 2 * frameSamples + 1105);
            EXPECT_NEAR(Frequency(back), 440, 5);
        }
        // And GStreamer's, which reads the Info tag.
        const std::string viaGraph = Dir / "graph.wav";
        std::filesystem::remove(viaGraph);
        C_DecodeAudio decoder;
        ASSERT_EQ(decoder.DecodeAudio(mp3, viaGraph), 1);
        const WaveInfo w = WaveMMIO::GetWaveInfo(viaGraph);
        EXPECT_EQ(w.SamplesPerSec, c.Rate);
        EXPECT_EQ(w.Channels, c.Channels);
        EXPECT_NEAR(w.Frames, 2 * c.Rate, frameSamples + 1105);
        EXPECT_NEAR(Frequency(viaGraph), 440, 5);
    }
}

TEST_F(Mp3, TheFileEndsWithTheEncodersLastFramesAndStartsWithItsInfoTag) {
    const std::string src = Source(Tone(44100, 2, 1.0, 440));
    ASSERT_EQ(Enc.EncFromWavfile(src, Dir / "a.mp3", 128), 1);
    const Bytes mp3 = ReadFile(Dir / "a.mp3");
    // 128 kbit/s at 44.1 kHz: 417 or 418 bytes a frame; a second and a flushed tail need 39+.
    EXPECT_GE(mp3.size(), 39u * 417);
    const std::string head(mp3.begin() + 36, mp3.begin() + 40);
    EXPECT_TRUE(head == "Info" || head == "Xing") << head;
}

TEST_F(Mp3, StopDuringTheSecondChunkLeavesNoTarget) {
    const std::string src = Source(Tone(44100, 1, 11.0, 440));
    int events = 0;
    QObject::connect(
        &Enc, &C_mp3acm::EncProg, &Enc, [&](float, std::int32_t& pCancel) { pCancel = ++events == 2; },
        Qt::DirectConnection);
    EXPECT_EQ(Enc.EncFromWavfile(src, Dir / "out.mp3", 128), 0);
    EXPECT_EQ(events, 2);
    EXPECT_FALSE(std::filesystem::exists(Dir / "out.mp3"));
    EXPECT_EQ(Lines(".log"), std::vector<std::string>{"Canceled#" + Dir / "out.mp3"});
}

TEST_F(Mp3, FailuresAndTheirLogLines) {
    std::vector<std::uint8_t> out;
    std::int32_t used = 7;
    std::int32_t produced = 7;
    const std::uint8_t byte = 0;
    EXPECT_EQ(Enc.EncProc(&byte, 0, out, used, produced), 0);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(produced, 0);
    const auto errors = Lines(".err");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("EncProc Fail pSize=0 pPtrSrc=", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find(" c_hacm=0"), std::string::npos);

    // A fixed block size refuses the shorter last chunk.
    const std::string src = Source(Tone(44100, 1, 11.0, 440));
    Enc.EncSizeFixed(1);
    EXPECT_EQ(Enc.EncFromWavfile(src, Dir / "fixed.mp3", 128), 0);
    EXPECT_FALSE(std::filesystem::exists(Dir / "fixed.mp3"));
    EXPECT_EQ(Lines(".log").back(), "EncProc Failed");
    EXPECT_EQ(Lines(".err").back(),
              "EncProc Fail c_EncSize=884736 pSize=" + std::to_string((485100 - 442368) * 2));

    // Formats no Layer III encoder writes: nothing is created.
    Enc.EncSizeFixed(0);
    EXPECT_EQ(Enc.EncFromWavfile(Source(PcmWav(2, 96000, 16, Bytes(400, 0)), "hi.wav"), Dir / "hi.mp3", 128),
              0);
    EXPECT_EQ(
        Enc.EncFromWavfile(Source(PcmWav(2, 44100, 24, Bytes(600, 0)), "deep.wav"), Dir / "deep.mp3", 128),
        0);
    EXPECT_FALSE(std::filesystem::exists(Dir / "hi.mp3"));
    EXPECT_FALSE(std::filesystem::exists(Dir / "deep.mp3"));
    // An empty source succeeds without a file.
    EXPECT_EQ(Enc.EncFromWavfile(Source(PcmWav(2, 44100, 16, {}), "empty.wav"), Dir / "empty.mp3", 128), 1);
    EXPECT_FALSE(std::filesystem::exists(Dir / "empty.mp3"));
}

TEST_F(Mp3, AStoppedDecodeRemovesItsPartialWav) {
    ASSERT_EQ(Enc.EncFromWavfile(Source(Tone(44100, 2, 3.0, 440)), Dir / "a.mp3", 128), 1);
    int events = 0;
    QObject::connect(
        &Enc, &C_mp3acm::EncProg, &Enc, [&](float, std::int32_t& pCancel) { pCancel = ++events == 2; },
        Qt::DirectConnection);
    EXPECT_EQ(Enc.DecFrommp3file(Dir / "a.mp3", Dir / "a.wav"), 0);
    EXPECT_FALSE(std::filesystem::exists(Dir / "a.wav"));
    WriteFile(Dir / "text.mp3", Bytes(2000, 'x'));
    EXPECT_EQ(Enc.DecFrommp3file(Dir / "text.mp3", Dir / "b.wav"), 0) << "not MPEG audio";
    EXPECT_FALSE(std::filesystem::exists(Dir / "b.wav"));
}

} // namespace
