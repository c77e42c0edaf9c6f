#include "engine/C_ConvWaveHQ.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace TestFiles;

namespace {

// A tone at pDbfs on every channel, faded in and out over 50 ms so that its start and end add no
// clicks, rounded to the source depth.
Bytes ToneData(int pRate, int pBits, int pChannels, double pSeconds, double pFreq, double pDbfs) {
    const auto frames = std::size_t(pSeconds * pRate);
    const double fade = 0.05 * pRate;
    const double full = double(1 << (pBits - 1));
    const double amplitude = std::pow(10.0, pDbfs / 20) * full;
    Bytes b;
    for (std::size_t i = 0; i < frames; ++i) {
        const double edge = std::min({1.0, double(i) / fade, double(frames - 1 - i) / fade});
        const double gain = 0.5 - 0.5 * std::cos(std::numbers::pi * edge);
        const double x = amplitude * gain * std::sin(2 * std::numbers::pi * pFreq * double(i) / pRate);
        const auto v = std::int32_t(std::clamp(std::nearbyint(x), -full, full - 1));
        for (int c = 0; c < pChannels; ++c) {
            if (pBits == 16)
                Put16(b, std::uint32_t(std::uint16_t(std::int16_t(v))));
            else
                Put24(b, v);
        }
    }
    return b;
}

// The first channel of 16- or 24-bit data as fractions of full scale.
std::vector<double> FirstChannel(const Bytes& pData, int pBits, int pChannels) {
    const std::size_t bytes = std::size_t(pBits / 8);
    std::vector<double> x;
    for (std::size_t at = 0; at + bytes * std::size_t(pChannels) <= pData.size();
         at += bytes * std::size_t(pChannels))
        x.push_back(pBits == 16 ? GetS16(pData, at) / 32768.0 : GetS24(pData, at) / 8388608.0);
    return x;
}

// Signal to everything else, in dB, over whole periods of a tone whose period is a whole number of
// samples: there the sine, the cosine and the constant are orthogonal, so each fits on its own.
double SnrDb(const std::vector<double>& pX, std::size_t pFrom, std::size_t pTo, std::size_t pPeriod) {
    const std::size_t n = (pTo - pFrom) / pPeriod * pPeriod;
    double s = 0, c = 0, mean = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 2 * std::numbers::pi * double(i % pPeriod) / double(pPeriod);
        s += pX[pFrom + i] * std::sin(w);
        c += pX[pFrom + i] * std::cos(w);
        mean += pX[pFrom + i];
    }
    s *= 2.0 / double(n);
    c *= 2.0 / double(n);
    mean /= double(n);
    double rest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 2 * std::numbers::pi * double(i % pPeriod) / double(pPeriod);
        const double e = pX[pFrom + i] - s * std::sin(w) - c * std::cos(w) - mean;
        rest += e * e;
    }
    return 10 * std::log10((s * s + c * c) / 2 / (rest / double(n)));
}

std::vector<int> Values(const Bytes& pData, int pBits) {
    std::vector<int> v;
    if (pBits == 8) return {pData.begin(), pData.end()};
    for (std::size_t at = 0; at + std::size_t(pBits / 8) <= pData.size(); at += std::size_t(pBits / 8))
        v.push_back(pBits == 16 ? GetS16(pData, at) : GetS24(pData, at));
    return v;
}

class ConvWaveHQ : public ::testing::Test {
protected:
    TempDir Dir;
    C_ConvWaveHQ HQ;

    void SetUp() override { HQ.BlockPause(0); }

    std::string Source(const Bytes& pFile) {
        const std::string path = Dir / "src.wav";
        WriteFile(path, pFile);
        return path;
    }

    // The whole target file, or nothing when the conversion failed.
    static Bytes Convert(C_ConvWave& pConverter, const std::string& pSource, const std::string& pTarget,
                         int pFreq, int pBits, int pCh, int pFlg) {
        if (pConverter.ConvWave(pSource, pTarget, pFreq, std::int16_t(pBits), std::int16_t(pCh), pFlg, 0) !=
            1)
            return {};
        return ReadFile(pTarget);
    }

    Bytes Data(const std::string& pSource, int pFreq, int pBits, int pCh, int pFlg) {
        const Bytes file = Convert(HQ, pSource, Dir / "out.wav", pFreq, pBits, pCh, pFlg);
        std::filesystem::remove(Dir / "out.wav");
        return file.size() < 44 ? Bytes{} : Bytes(file.begin() + 44, file.end());
    }
};

// --- Filtering -------------------------------------------------------------------------------------

TEST_F(ConvWaveHQ, ATwentyKilohertzToneLeavesNoAliasAtHalfTheRate) {
    // The exact converter folds it to 2.05 kHz at full level; the filter must remove it.
    const std::string src = Source(PcmWav(2, 44100, 24, ToneData(44100, 24, 2, 2.0, 20000, -1)));
    const Bytes data = Data(src, 22050, 24, 2, 1);
    ASSERT_EQ(data.size(), 22050u * 2 * 2 * 3);
    double peak = 0;
    for (const int v : Values(data, 24))
        peak = std::max(peak, std::abs(v) / 8388608.0);
    EXPECT_LT(20 * std::log10(std::max(peak, 1e-12)), -100.0);
}

TEST_F(ConvWaveHQ, AOneKilohertzToneKeepsItsSignalToNoise) {
    // 44.1 kHz to 48 kHz, the steady middle of a -1 dBFS tone. Rounding to 16 bits costs about
    // 97 dB; triangular dither adds twice the rounding noise (4.8 dB more), which shows it is there.
    const std::string src = Source(PcmWav(2, 44100, 24, ToneData(44100, 24, 2, 2.0, 1000, -1)));
    const struct {
        int Bits, Flg;
        double Least, Most;
    } cases[] = {{24, 1, 120, 200}, {24, 0, 120, 200}, {16, 1, 90, 94}, {16, 0, 95, 200}};
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.Bits) + " bits, dither switch " + std::to_string(k.Flg));
        const std::vector<double> x = FirstChannel(Data(src, 48000, k.Bits, 2, k.Flg), k.Bits, 2);
        ASSERT_EQ(x.size(), 96000u);
        const double snr = SnrDb(x, 12000, 84000, 48);
        EXPECT_GE(snr, k.Least);
        EXPECT_LE(snr, k.Most);
    }
}

// --- Requantisation without a rate change --------------------------------------------------------

TEST_F(ConvWaveHQ, UnfilteredSamplesAreRoundedAndDitheredOnlyWhenDetailIsLost) {
    const struct {
        const char* What;
        Bytes File;
        int Bits, Ch, Flg;
        std::vector<int> Expected;
    } cases[] = {
        // Nothing is lost: dither stays off although the switch is on.
        {"16 to 24 bits",
         PcmWav(2, 44100, 16, Samples16({1, -1, 32767, -32768})),
         24,
         2,
         1,
         {256, -256, 8388352, -8388608}},
        {"8 bits to 16, the full range",
         PcmWav(1, 8000, 8, Bytes{0, 255, 128, 127}),
         16,
         2,
         1,
         {-32768, -32768, 32512, 32512, 0, 0, -256, -256}},
        // Halves go to the even neighbour; the top of the range clamps.
        {"24 to 16 bits, rounded",
         PcmWav(1, 8000, 24, Samples24({384, 640, -384, 8388607, -8388608, 100})),
         16,
         1,
         0,
         {2, 2, -2, 32767, -32768, 0}},
        // The mean of 256 and 512 is 1.5 steps of 8 bits: rounded to 2, then made unsigned.
        {"two channels to one at 8 bits",
         PcmWav(2, 8000, 16, Samples16({256, 512, -256, -512})),
         8,
         1,
         0,
         {130, 126}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.What);
        const WaveInfo info = WaveMMIO::GetWaveInfo(Source(k.File));
        EXPECT_EQ(Values(Data(Dir / "src.wav", info.SamplesPerSec, k.Bits, k.Ch, k.Flg), k.Bits), k.Expected);
    }

    // 24 to 16 bits with the switch on: each sample within one step of its rounded value, and
    // not all of them on it.
    const std::vector<int> noise = Noise16(4000, 11);
    std::vector<int> wide;
    for (const int v : noise)
        wide.push_back(v * 256 + (v & 0xFF));
    const std::vector<int> out =
        Values(Data(Source(PcmWav(1, 8000, 24, Samples24(wide))), 8000, 16, 1, 1), 16);
    ASSERT_EQ(out.size(), wide.size());
    int moved = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const long rounded = std::clamp(std::lrint(wide[i] / 256.0), -32768L, 32767L);
        EXPECT_LE(std::abs(out[i] - rounded), 1) << i;
        moved += out[i] != rounded ? 1 : 0;
    }
    EXPECT_GT(moved, 1000);
}

TEST_F(ConvWaveHQ, TheSameSourceGivesTheSameBytes) {
    const std::string src = Source(PcmWav(2, 44100, 24, ToneData(44100, 24, 2, 1.0, 440, -20)));
    const Bytes first = Data(src, 22050, 16, 2, 1);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(Data(src, 22050, 16, 2, 1), first);
    C_ConvWaveHQ other;
    other.BlockPause(0);
    EXPECT_EQ(Convert(other, src, Dir / "other.wav", 22050, 16, 2, 1),
              Convert(HQ, src, Dir / "out.wav", 22050, 16, 2, 1));
}

// --- The exact converter's files ---------------------------------------------------------------------

TEST_F(ConvWaveHQ, LengthAndHeaderFollowTheExactConverter) {
    const struct {
        int Rate, Ch, Bits;
        std::size_t Frames;
        int Freq, TargetCh, TargetBits;
    } cases[] = {
        {44100, 2, 16, 44100 * 12 + 37, 48000, 2, 16}, // three blocks, the last one short
        {44100, 1, 16, 44100 * 7 + 3, 8000, 1, 8},     // an odd mono 8-bit count gets its pad
        {8000, 2, 24, 8000 * 11 + 1, 11025, 1, 24},
        {48000, 6, 16, 48000 * 6 + 5, 22050, 2, 16}, // surround mixed down first
        {96000, 2, 24, 7, 8000, 2, 16},              // a tail of less than one output frame
        {22050, 2, 16, 5, 22050, 1, 8},
        // 256 times apart, the most taken: the filter's output runs far behind its input.
        {750, 1, 16, 750 * 11 + 3, 192000, 1, 16},
        {100, 2, 16, 100 * 12 + 1, 8000, 2, 24}, // the first blocks make nothing yet
        {2048000, 2, 16, 2048000 + 7, 8000, 2, 24},
    };
    C_ConvWave exact;
    exact.BlockPause(0);
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.Rate) + " Hz " + std::to_string(k.Ch) + " ch -> " +
                     std::to_string(k.Freq));
        const std::size_t bytes = k.Frames * std::size_t(k.Ch * k.Bits / 8);
        Bytes body = Samples16(Noise16(bytes / 2 + 1, 5));
        body.resize(bytes);
        const std::string src =
            Source(PcmWav(std::uint16_t(k.Ch), std::uint32_t(k.Rate), std::uint16_t(k.Bits), body));
        const Bytes ours = Convert(HQ, src, Dir / "hq.wav", k.Freq, k.TargetBits, k.TargetCh, 1);
        const Bytes theirs = Convert(exact, src, Dir / "exact.wav", k.Freq, k.TargetBits, k.TargetCh, 1);
        ASSERT_FALSE(ours.empty());
        EXPECT_EQ(ours.size(), theirs.size());
        EXPECT_EQ(Bytes(ours.begin(), ours.begin() + 44), Bytes(theirs.begin(), theirs.begin() + 44));
        std::filesystem::remove(Dir / "hq.wav");
        std::filesystem::remove(Dir / "exact.wav");
    }
}

TEST_F(ConvWaveHQ, RatesMoreThan256TimesApartAreRefused) {
    EXPECT_TRUE(C_ConvWaveHQ::RatesSupported(750, 192000));
    EXPECT_FALSE(C_ConvWaveHQ::RatesSupported(749, 192000));
    EXPECT_TRUE(C_ConvWaveHQ::RatesSupported(2048000, 8000));
    EXPECT_FALSE(C_ConvWaveHQ::RatesSupported(2048001, 8000));
    EXPECT_FALSE(C_ConvWaveHQ::RatesSupported(0, 8000));
    EXPECT_EQ(
        HQ.ConvWave(Source(PcmWav(1, 100, 16, Samples16({1, 2, 3}))), Dir / "out.wav", 48000, 16, 1, 1, 0),
        0);
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"src.wav"});
}

TEST_F(ConvWaveHQ, StopInAnyBlockDeletesTheTarget) {
    const std::string src = Source(PcmWav(2, 8000, 16, Samples16(Noise16(2 * 8000 * 12, 3))));
    for (const int stopAt : {1, 2, 3}) {
        int calls = 0;
        const auto link = QObject::connect(
            &HQ, &C_ConvWave::Prog, &HQ,
            [&](float, std::int32_t& pCancel) {
                if (++calls == stopAt) pCancel = 1;
            },
            Qt::DirectConnection);
        EXPECT_EQ(HQ.ConvWave(src, Dir / "out.wav", 22050, 16, 2, 1, 0), 0) << stopAt;
        QObject::disconnect(link);
        EXPECT_EQ(calls, stopAt);
        EXPECT_EQ(HQ.Canceled(), 1);
        EXPECT_EQ(Dir.List(), std::vector<std::string>{"src.wav"});
    }
}

} // namespace
