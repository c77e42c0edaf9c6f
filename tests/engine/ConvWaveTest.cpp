#include "engine/C_ConvWave.h"
#include "support/FileIO.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace TestFiles;

namespace {

// The block algorithm written out plainly, one frame at a time, for comparison with the engine.
Bytes ReferenceConvert(const Bytes& pData, int pSrcCh, int pSrcBits, int pSrcRate, int pFreq, int pBits,
                       int pCh, bool pInterpolate) {
    const int align = pSrcCh * pSrcBits / 8;
    const double total = double(pData.size()) / align;
    const double ratio = double(pSrcRate) / pFreq;
    const long k = pFreq < pSrcRate ? std::max(1L, long(std::floor(ratio))) : 1;
    const long block = long(pSrcRate) * 5;
    auto decode = [&](const Bytes& raw, long f, int c) -> long {
        const std::size_t at = std::size_t(f * align + (pSrcCh == 2 ? c : 0) * (pSrcBits / 8));
        if (pSrcBits == 8) return (long(raw[at]) - 128) * 65536;
        if (pSrcBits == 16) return long(GetS16(raw, at)) * 256;
        return GetS24(raw, at);
    };
    Bytes out;
    double done = 0;
    while (total > done) {
        const double rem = total - done;
        long n, a = 0;
        if (rem > block) {
            n = block;
            a = rem > block + 100 ? 100 : std::lrint(rem - block);
        } else {
            n = std::lrint(rem);
        }
        const long m = std::lrint(n / ratio);
        if (m == 0) break;
        Bytes raw(std::size_t((n + 201) * align), 0);
        const std::size_t from = std::size_t(done) * std::size_t(align);
        const std::size_t count = std::min(std::size_t((n + a) * align), pData.size() - from);
        std::copy_n(pData.begin() + long(from), count, raw.begin());
        for (long i = 0; i < m; ++i) {
            long v[2];
            const double t = i * ratio;
            for (int c = 0; c < 2; ++c) {
                if (!pInterpolate || pFreq == pSrcRate) {
                    v[c] = decode(raw, std::lrint(t), c);
                } else {
                    const long i0 = long(std::floor(t));
                    const long i1 = pFreq < pSrcRate ? i0 + k : i0 + 1;
                    const float w1 = float(t - i0);
                    const float w0 = 1 - w1;
                    double s = std::lrint(decode(raw, i1, c) * double(w1) + decode(raw, i0, c) * double(w0));
                    if (pFreq < pSrcRate) {
                        for (long j = i0 + 1; j < i1; ++j)
                            s += decode(raw, j, c);
                        s = std::lrint(s / k);
                    }
                    v[c] = long(s);
                }
            }
            const int outputs = pCh == 1 ? 1 : 2;
            const long mono = std::lrint((v[0] + v[1]) / 2.0);
            for (int c = 0; c < outputs; ++c) {
                const long x = pCh == 1 ? mono : v[c];
                if (pBits == 8) {
                    out.push_back(std::uint8_t(std::clamp(x / 65536 + 128, 0L, 255L)));
                } else if (pBits == 16) {
                    Put16(out,
                          std::uint32_t(std::uint16_t(std::int16_t(std::clamp(x / 256, -32767L, 32767L)))));
                } else {
                    Put24(out, std::int32_t(std::clamp(x, -8388608L, 8388607L)));
                }
            }
        }
        done += double(n);
    }
    if (out.size() % 2 == 1 && pCh == 1) {
        const std::size_t frame = std::size_t(pBits / 8);
        out.push_back(pBits == 8 ? 128 : 0);
        out.insert(out.end(), frame - 1, 0);
    }
    return out;
}

struct Converted {
    int Result = 0;
    Bytes File;
    Bytes Data;
    std::vector<float> Rates;
};

class ConvWave : public ::testing::Test {
protected:
    TempDir Dir;
    C_ConvWave CW;

    void SetUp() override { CW.BlockPause(0); }

    std::string Source(const Bytes& pBytes, const std::string& pName = "src.wav") {
        const std::string path = Dir / pName;
        WriteFile(path, pBytes);
        return path;
    }

    Converted Run(const std::string& pSource, int pFreq, int pBits, int pCh, int pFlg,
                  const std::function<void(float, std::int32_t&)>& pOnProg = {}) {
        Converted c;
        const std::string target = Dir / "out.wav";
        const auto link = QObject::connect(
            &CW, &C_ConvWave::Prog, &CW,
            [&](float pRate, std::int32_t& pCancel) {
                c.Rates.push_back(pRate);
                if (pOnProg) pOnProg(pRate, pCancel);
            },
            Qt::DirectConnection);
        c.Result = CW.ConvWave(pSource, target, pFreq, std::int16_t(pBits), std::int16_t(pCh), pFlg, 0);
        QObject::disconnect(link);
        if (std::filesystem::exists(target)) {
            c.File = ReadFile(target);
            const WaveInfo info = WaveMMIO::GetWaveInfo(target);
            EXPECT_EQ(info.Valid, 1);
            c.Data.assign(c.File.begin() + info.DataOffset, c.File.end());
            EXPECT_EQ(std::int64_t(c.Data.size()), info.DataSize);
            EXPECT_EQ(std::int64_t(c.File.size()) - 8, std::int64_t(Get32(c.File, 4)));
        }
        return c;
    }

    Converted Run(const Bytes& pSource, int pFreq, int pBits, int pCh, int pFlg) {
        return Run(Source(pSource), pFreq, pBits, pCh, pFlg);
    }
};

// The format part of a plain header, between the RIFF size and the data chunk.
Bytes HeaderFormat(const Bytes& pFile) {
    return Bytes(pFile.begin() + 8, pFile.begin() + 36);
}
Bytes HeaderFormat(int pChannels, int pRate, int pBits) {
    return HeaderFormat(PcmWav(std::uint16_t(pChannels), std::uint32_t(pRate), std::uint16_t(pBits), {}));
}

std::vector<int> Values16(const Bytes& pData) {
    std::vector<int> v;
    for (std::size_t i = 0; i + 1 < pData.size(); i += 2)
        v.push_back(GetS16(pData, i));
    return v;
}

std::vector<int> Values24(const Bytes& pData) {
    std::vector<int> v;
    for (std::size_t i = 0; i + 2 < pData.size(); i += 3)
        v.push_back(GetS24(pData, i));
    return v;
}

// --- Packing and channel rules at equal rates --------------------------------------------------

TEST_F(ConvWave, SameFormatCopiesExceptTheMostNegativeSample) {
    const std::vector<int> in{0, 1, -1, 32767, -32768, 12345, -32767, 7};
    const Converted c = Run(PcmWav(2, 44100, 16, Samples16(in)), 44100, 16, 2, 1);
    ASSERT_EQ(c.Result, 1);
    EXPECT_EQ(Values16(c.Data), (std::vector<int>{0, 1, -1, 32767, -32767, 12345, -32767, 7}));
    EXPECT_EQ(HeaderFormat(c.File), HeaderFormat(2, 44100, 16));
}

TEST_F(ConvWave, MonoToStereoDuplicatesAndStereoToMonoAverages) {
    Converted c = Run(PcmWav(1, 8000, 16, Samples16({5, -6})), 8000, 16, 2, 0);
    EXPECT_EQ(Values16(c.Data), (std::vector<int>{5, 5, -6, -6}));
    // L = 1, R = 2: 384 at 24-bit scale, written as 1.
    c = Run(PcmWav(2, 8000, 16, Samples16({1, 2, -1, -2, 100, 301})), 8000, 16, 1, 0);
    EXPECT_EQ(Values16(c.Data), (std::vector<int>{1, -1, 200}));
    // Half-way means go to the even neighbour at 24-bit scale: (1 + 2) / 2 -> 2, (3 + 4) / 2 -> 4.
    c = Run(PcmWav(2, 8000, 24, Samples24({1, 2, 3, 4, 2, 3, -1, -2})), 8000, 24, 1, 0);
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{2, 4, 2, -2}));
}

TEST_F(ConvWave, EightBitTruncatesTowardZeroAndClamps) {
    const Converted c =
        Run(PcmWav(1, 8000, 16, Samples16({-255, -1, 0, 255, 256, 32767, -32768, -256})), 8000, 8, 1, 0);
    EXPECT_EQ(c.Data, (Bytes{128, 128, 128, 128, 129, 255, 0, 127}));

    const Converted up = Run(PcmWav(1, 8000, 8, Bytes{0, 255, 128, 127}), 8000, 16, 1, 0);
    EXPECT_EQ(Values16(up.Data), (std::vector<int>{-32767, 32512, 0, -256}));

    const Converted wide = Run(PcmWav(1, 8000, 8, Bytes{0, 255, 128, 1}), 8000, 24, 1, 0);
    EXPECT_EQ(Values24(wide.Data), (std::vector<int>{-8388608, 8323072, 0, -8323072}));
}

TEST_F(ConvWave, OddMonoOutputsGetOneFrameOfSilence) {
    Converted c = Run(PcmWav(1, 8000, 16, Samples16({0, 100, 200})), 8000, 8, 1, 0);
    EXPECT_EQ(c.Data, (Bytes{128, 128, 128, 128}));
    c = Run(PcmWav(1, 8000, 16, Samples16({256, 512, 768})), 8000, 24, 1, 0);
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{65536, 131072, 196608, 0}));
    // Stereo 8-bit frames are two bytes: never odd, never padded.
    c = Run(PcmWav(1, 8000, 16, Samples16({0, 0, 0})), 8000, 8, 2, 0);
    EXPECT_EQ(c.Data.size(), 6u);
}

TEST_F(ConvWave, SurroundIsMixedDownWithoutClipping) {
    // FL FR FC LFE BL BR: LFE is dropped, the rest mixed at 0.7071 and scaled by 1 / 2.4142.
    Converted c = Run(Riff({Chunk("fmt ", FmtBody(0xFFFE, 6, 48000, 16, 24)),
                            Chunk("data", Samples16({1000, -1000, 500, 30000, 200, -200}))}),
                      48000, 24, 2, 1);
    ASSERT_EQ(c.Result, 1);
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{158526, -83545}));
    // 7.1: a third channel a side.
    c = Run(PcmWav(8, 48000, 16, Samples16({1000, -1000, 500, 30000, 200, -200, -300, 100})), 48000, 24, 2,
            1);
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{105215, -58819}));
    // Full scale on every channel stays inside the range.
    c = Run(PcmWav(6, 48000, 24, Samples24({8388607, 8388607, 8388607, 8388607, 8388607, 8388607})), 48000,
            24, 2, 1);
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{8388607, 8388607}));
    // And it resamples like any other source.
    const auto noise = Noise16(6 * 4800, 7);
    c = Run(PcmWav(6, 48000, 16, Samples16(noise)), 22050, 16, 1, 1);
    EXPECT_EQ(c.Result, 1);
    EXPECT_EQ(c.Data.size(), 2u * 2205);
}

// --- Resampling rules --------------------------------------------------------------------------

TEST_F(ConvWave, HalvingTheRateAveragesPairsOrPicks) {
    const std::vector<int> in{1, 2, 3, 4, 2, 3, -1, -2, 10, 0};
    Converted c = Run(PcmWav(1, 48000, 24, Samples24(in)), 24000, 24, 1, 1);
    // Five 3-byte frames are odd: one frame of silence follows.
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{2, 4, 2, -2, 5, 0}));
    c = Run(PcmWav(1, 48000, 24, Samples24(in)), 24000, 24, 1, 0);
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{1, 3, 2, -1, 10, 0}));
}

TEST_F(ConvWave, DoublingTheRateInterpolatesOrRepeats) {
    // The last output looks one frame past the data, which reads as silence.
    const std::vector<int> in{1, 2, 3, 6, 7};
    Converted c = Run(PcmWav(1, 22050, 24, Samples24(in)), 44100, 24, 1, 1);
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{1, 2, 2, 2, 3, 4, 6, 6, 7, 4}));
    c = Run(PcmWav(1, 22050, 24, Samples24(in)), 44100, 24, 1, 0);
    // round(i / 2): 0, 0, 1, 2, 2, 2, 3, 4, 4, 4 (ties to even)
    EXPECT_EQ(Values24(c.Data), (std::vector<int>{1, 1, 2, 3, 3, 3, 6, 7, 7, 7}));
}

TEST_F(ConvWave, BlocksOfFiveSecondsAndTheirProgress) {
    // 44100 -> 48000: each full block of 220500 frames gives 240000.
    Converted c = Run(PcmWav(1, 44100, 8, Bytes(44100 * 6, 128)), 48000, 8, 1, 1);
    EXPECT_EQ(c.Data.size(), 240000u + 48000u);
    EXPECT_EQ(c.Rates.size(), 2u);

    c = Run(PcmWav(1, 8000, 8, Bytes(8000, 128)), 8000, 16, 1, 1);
    EXPECT_EQ(c.Rates, (std::vector<float>{1.0f}));

    c = Run(PcmWav(1, 8000, 8, Bytes(8000 * 12, 128)), 11025, 8, 1, 1);
    ASSERT_EQ(c.Rates.size(), 3u);
    EXPECT_FLOAT_EQ(c.Rates[0], 5.0f / 12);
    EXPECT_FLOAT_EQ(c.Rates[1], 10.0f / 12);
    EXPECT_FLOAT_EQ(c.Rates[2], 1.0f);
}

// Every source mode into every target mode, up, down and level, against the plain transcription.
TEST_F(ConvWave, MatchesThePlainAlgorithmByteForByte) {
    struct Rates {
        int From, To;
    };
    const std::vector<Rates> rates{{11025, 8000}, {22050, 8000}, {48000, 8000}, {8000, 11025}, {8000, 8000}};
    const std::vector<std::pair<int, int>> formats{{1, 8}, {2, 8}, {1, 16}, {2, 16}, {1, 24}, {2, 24}};
    for (const auto& [from, to] : rates) {
        // Long enough for several blocks, the look-ahead and a short last block.
        const auto frames = std::size_t(from * 11 + 37);
        for (const auto& [srcCh, srcBits] : formats) {
            const auto noise =
                Noise16(frames * std::size_t(srcCh), std::uint32_t(from + srcCh * 31 + srcBits));
            Bytes data;
            for (const int v : noise) {
                if (srcBits == 8)
                    data.push_back(std::uint8_t(v & 0xFF));
                else if (srcBits == 16)
                    Put16(data, std::uint32_t(std::uint16_t(v)));
                else
                    Put24(data, v * 256 + (v & 0xFF));
            }
            const std::string src =
                Source(PcmWav(std::uint16_t(srcCh), std::uint32_t(from), std::uint16_t(srcBits), data));
            for (const auto& [ch, bits] : formats)
                for (const int flg : {0, 1}) {
                    SCOPED_TRACE(std::to_string(from) + "->" + std::to_string(to) + " " +
                                 std::to_string(srcCh) + "ch" + std::to_string(srcBits) + " -> " +
                                 std::to_string(ch) + "ch" + std::to_string(bits) + " flg " +
                                 std::to_string(flg));
                    const Converted c = Run(src, to, bits, ch, flg);
                    ASSERT_EQ(c.Result, 1);
                    ASSERT_EQ(c.Data, ReferenceConvert(data, srcCh, srcBits, from, to, bits, ch, flg == 1));
                    ASSERT_EQ(HeaderFormat(c.File), HeaderFormat(ch, to, bits));
                }
        }
    }
}

// --- Stopping, failing and refusing ------------------------------------------------------------

TEST_F(ConvWave, StopInAnyBlockDeletesTheTarget) {
    const std::string src = Source(PcmWav(2, 8000, 16, Samples16(Noise16(2 * 8000 * 12, 3))));
    for (const int stopAt : {1, 2, 3}) {
        int calls = 0;
        const Converted c = Run(src, 22050, 16, 2, 1, [&](float, std::int32_t& pCancel) {
            EXPECT_EQ(pCancel, 0);
            if (++calls == stopAt) pCancel = 1;
        });
        EXPECT_EQ(c.Result, 0) << stopAt;
        EXPECT_EQ(calls, stopAt);
        EXPECT_TRUE(c.File.empty());
        EXPECT_EQ(CW.Canceled(), 1);
        EXPECT_EQ(Dir.List(), std::vector<std::string>{"src.wav"});
    }
    // The property works as well as the flag; a new call starts un-stopped.
    const Converted c = Run(src, 22050, 16, 2, 1, [&](float, std::int32_t&) { CW.Canceled(1); });
    EXPECT_EQ(c.Result, 0);
    EXPECT_EQ(Run(src, 22050, 16, 2, 1).Result, 1);
    EXPECT_EQ(CW.Canceled(), 0);
    EXPECT_EQ(CW.SourceFN(), src);
    EXPECT_EQ(CW.TargetFN(), Dir / "out.wav");
}

TEST_F(ConvWave, UnusableSourcesCreateNoTarget) {
    const std::vector<Bytes> sources{
        PcmWav(2, 44100, 16, {}),                                                 // empty data
        Riff({Chunk("fmt ", FmtBody(1, 4, 44100, 16)), Chunk("data", Bytes(8))}), // not a mode
        Riff({Chunk("fmt ", FmtBody(1, 2, 0, 16)), Chunk("data", Bytes(8))}),     // zero rate
        Bytes{1, 2, 3},
    };
    for (const Bytes& b : sources) {
        const Converted c = Run(b, 44100, 16, 2, 1);
        EXPECT_EQ(c.Result, 0);
        EXPECT_EQ(Dir.List(), std::vector<std::string>{"src.wav"});
    }
    EXPECT_EQ(Run(Dir / "missing.wav", 44100, 16, 2, 1).Result, 0);
    // Targets outside the six modes are refused rather than written wrongly.
    EXPECT_EQ(Run(PcmWav(1, 8000, 8, {1, 2}), 8000, 12, 1, 0).Result, 0);
    EXPECT_EQ(Run(PcmWav(1, 8000, 8, {1, 2}), 0, 16, 1, 0).Result, 0);
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"src.wav"});
}

TEST_F(ConvWave, DataSizeBeyondTheFileConvertsWhatIsThere) {
    Bytes b = PcmWav(1, 8000, 16, Samples16({100, 200, 300, 400}));
    b[40] = 0xFF, b[41] = 0xFF, b[42] = 0xFF, b[43] = 0x7F; // claims 2 GiB of samples
    const Converted c = Run(b, 8000, 16, 1, 0);
    ASSERT_EQ(c.Result, 1);
    EXPECT_EQ(Values16(c.Data), (std::vector<int>{100, 200, 300, 400}));
}

TEST_F(ConvWave, AFileCutInsideItsLastFrameConvertsWhatIsThere) {
    // 3.5 stereo frames: the half frame rounds up to a whole one whose missing half is silence.
    Bytes b = PcmWav(2, 8000, 16, Samples16({1, 2, 3, 4, 5, 6, 7, 8}));
    b.resize(b.size() - 2);
    Converted c = Run(b, 8000, 16, 2, 0);
    ASSERT_EQ(c.Result, 1);
    EXPECT_EQ(Values16(c.Data), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 0}));
    // 2.5 frames round down to two.
    b = PcmWav(2, 8000, 16, Samples16({1, 2, 3, 4, 5, 6}));
    b.resize(b.size() - 2);
    c = Run(b, 8000, 16, 2, 0);
    ASSERT_EQ(c.Result, 1);
    EXPECT_EQ(Values16(c.Data), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(ConvWave, SizeLimitKeepsEveryDataSizeBelowFourGiB) {
    // 3 GiB of 8-bit mono becomes 18 GiB at 24-bit stereo: refused at once.
    Bytes head = PcmWav(1, 8000, 8, {});
    head[40] = 0, head[41] = 0, head[42] = 0, head[43] = 0xC0;
    const std::string big = Dir / "big.wav";
    WriteSparse(big, head, 44 + (3LL << 30));
    EXPECT_EQ(Run(big, 8000, 24, 2, 1).Result, 0);
    EXPECT_FALSE(std::filesystem::exists(Dir / "out.wav"));

    // 4,000,000,000 bytes at 44100 Hz fit by the source's frame count, but at 48000 Hz the
    // output would pass 2^32 bytes: the rate change is counted too.
    Bytes head2 = PcmWav(2, 44100, 16, {});
    const std::uint32_t size = 4000000000u;
    for (int i = 0; i < 4; ++i)
        head2[std::size_t(40 + i)] = std::uint8_t(size >> (8 * i));
    const std::string up = Dir / "up.wav";
    WriteSparse(up, head2, 44 + std::int64_t(size));
    int events = 0;
    EXPECT_EQ(Run(up, 48000, 16, 2, 1, [&](float, std::int32_t&) { ++events; }).Result, 0);
    EXPECT_EQ(events, 0);
    EXPECT_FALSE(std::filesystem::exists(Dir / "out.wav"));
}

TEST_F(ConvWave, AppendsBehindAnExistingHeader) {
    const std::string src = Source(PcmWav(1, 8000, 16, Samples16({256, 512})));
    const std::string target = Dir / "out.wav";
    WriteFile(target, PcmWav(1, 8000, 16, Samples16({7})));
    ASSERT_EQ(CW.ConvWave(src, target, 8000, 16, 1, 0, 1), 1);
    const Bytes out = ReadFile(target);
    EXPECT_EQ(Values16(Bytes(out.begin() + 44, out.end())), (std::vector<int>{7, 256, 512}));
    EXPECT_EQ(Get32(out, 40), 6u);
}

TEST_F(ConvWave, AWriteFailureFailsTheFileAndLeavesNothing) {
    const std::string src = Source(PcmWav(2, 44100, 16, Samples16(Noise16(2 * 44100 * 8, 9))));
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 300000; // room for part of the first block only
    ::setrlimit(RLIMIT_FSIZE, &small);
    const int result = CW.ConvWave(src, Dir / "out.wav", 48000, 16, 2, 1, 0);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"src.wav"});
}

TEST_F(ConvWave, TheSourceIsOnlyRead) {
    const Bytes original = PcmWav(2, 44100, 16, Samples16(Noise16(2 * 1000, 5)));
    const std::string src = Source(original);
    ::chmod(src.c_str(), 0444);
    struct stat before {};
    ::stat(src.c_str(), &before);
    EXPECT_EQ(Run(src, 8000, 8, 1, 1).Result, 1);
    struct stat after {};
    ::stat(src.c_str(), &after);
    EXPECT_EQ(ReadFile(src), original);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

TEST_F(ConvWave, NeedConvComparesRateThenModeOrFormat) {
    const std::string src = Source(PcmWav(2, 44100, 16, Samples16({1, 2})));
    EXPECT_EQ(CW.NeedConv(src, 48000, 16, 2, 3), 1);
    EXPECT_EQ(CW.NeedConv(src, 44100, 0, 0, 3), 0);
    EXPECT_EQ(CW.NeedConv(src, 44100, 0, 0, 2), 1);
    EXPECT_EQ(CW.NeedConv(src, 44100, 16, 2, 0), 0);
    EXPECT_EQ(CW.NeedConv(src, 44100, 8, 2, 3), 1);
    EXPECT_EQ(CW.NeedConv(src, 44100, 16, 1, 3), 1);
    EXPECT_EQ(CW.NeedConv(Dir / "missing.wav", 44100, 16, 2, 3), -1);
}

} // namespace
