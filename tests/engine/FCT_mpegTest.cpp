#include "engine/FCT_mpeg.h"
#include "support/ErrorTrap.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

#include <csignal>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace TestFiles;

namespace {

using Header = std::array<std::uint8_t, 3>;
constexpr Header kJs128{0xFB, 0x90, 0x64}; // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();

// Bit rates of indices 1 to 14 as the two standards list them, by the second header byte.
const std::map<std::uint8_t, std::vector<int>> kRateTables{
    {0xFE, {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}}, // MPEG-1 Layer I
    {0xFD, {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384}},    // MPEG-1 Layer II
    {0xFB, {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},     // MPEG-1 Layer III
    {0xF7, {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256}},    // MPEG-2 Layer I
    {0xF5, {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},         // MPEG-2 Layer II
    {0xF3, {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},         // MPEG-2 Layer III
};

void Put(Bytes& pFile, std::size_t pAt, const Bytes& pBytes) {
    std::copy(pBytes.begin(), pBytes.end(), pFile.begin() + std::ptrdiff_t(pAt));
}
void PutFrame(Bytes& pFile, std::size_t pAt, const Header& pHeader) {
    Put(pFile, pAt, {0xFF, pHeader[0], pHeader[1], pHeader[2]});
}
void PutXing(Bytes& pFile, std::size_t pFrameAt, std::uint32_t pFrames) {
    Put(pFile, pFrameAt + 36,
        {'X', 'i', 'n', 'g', 0, 0, 0, 0x0F, std::uint8_t(pFrames >> 24), std::uint8_t(pFrames >> 16),
         std::uint8_t(pFrames >> 8), std::uint8_t(pFrames)});
}
Bytes Id3(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return {'I', 'D', '3', 4, 0, 0, a, b, c, d};
}
Bytes FileWithFrame(std::size_t pSize, std::size_t pAt, const Header& pHeader = kJs128) {
    Bytes file(pSize, 0);
    PutFrame(file, pAt, pHeader);
    return file;
}
// pSize zero bytes with the given runs of bytes put in at their offsets.
Bytes Build(std::size_t pSize, const std::vector<std::pair<std::size_t, Bytes>>& pRuns) {
    Bytes file(pSize, 0);
    for (const auto& [at, bytes] : pRuns)
        Put(file, at, bytes);
    return file;
}
std::string Text(const std::string& pText) {
    return pText + std::string(255 - pText.size(), ' ');
}
// The numeric fields in record order, for comparing whole records at once.
std::string Fields(const MpegInfo& p) {
    std::ostringstream s;
    s << "start " << p.AudioStart << " bytes " << p.AudioBytes << " end " << p.AudioEnd << " size "
      << p.FileSize << " resync " << p.ResyncBytes << " vbr " << p.Vbr << "/" << p.VbrFrames << " rate "
      << p.SampleRate << " lsf " << p.Lsf << " kbps " << p.BitRate << " ch " << p.Channels << "/"
      << p.ChannelMode << " layer " << p.Layer << " ms " << p.Milliseconds;
    return s.str();
}

// An error escaping as an exception now ends the program instead of giving a quiet 0.
struct TrappingOff {
    bool Was = Support::TrapErrors();
    TrappingOff() { Support::TrapErrors(false); }
    ~TrappingOff() { Support::TrapErrors(Was); }
};

class MpegFiles : public ::testing::Test {
protected:
    TempDir Dir;
    std::string Write(const std::string& pName, const Bytes& pBytes) {
        WriteFile(Dir / pName, pBytes);
        return Dir / pName;
    }
    MpegInfo Read(const std::string& pName, const Bytes& pBytes, int pExpected = 1, int pQuick = 0) {
        MpegInfo info;
        EXPECT_EQ(FCT_mpeg::ReadMpegInfo(Write(pName, pBytes), info, pQuick), pExpected) << pName;
        return info;
    }
};

// --- Decoding the first header ----------------------------------------------------------------

TEST_F(MpegFiles, CbrFrameAtTheStartOfAMillionBytes) {
    WriteSparse(Dir / "song.mp3", {0xFF, 0xFB, 0x90, 0x64}, 1000000);
    MpegInfo info;
    info.Vbr = 5;
    ASSERT_EQ(FCT_mpeg::ReadMpegInfo(Dir / "song.mp3", info), 1);
    EXPECT_EQ(Fields(info), "start 1 bytes 1000000 end 1000000 size 1000000 resync 1254 vbr 0/0 rate 44100 "
                            "lsf 0 kbps 128 ch 2/1 layer 3 ms 62500");
    EXPECT_EQ(info.HeaderBytes, kJs128);
    EXPECT_EQ(info.ShortText, Text("mp3(44.1kHz/128kb/JS)"));
    EXPECT_EQ(info.LongText, Text("mp3(44100Hz/128kbps/JointStereo)"));
}

TEST_F(MpegFiles, EveryBitRateOfBothStandardsAndAllThreeLayers) {
    for (const auto& [versionLayer, rates] : kRateTables) {
        for (int index = 1; index <= 14; ++index) {
            const MpegInfo info =
                Read("t.mp2", FileWithFrame(100, 0, {versionLayer, std::uint8_t(index << 4), 0xC0}));
            EXPECT_EQ(info.BitRate, rates[std::size_t(index - 1)]) << int(versionLayer) << " " << index;
            EXPECT_EQ(info.Layer, 4 - ((versionLayer >> 1) & 3));
            EXPECT_EQ(info.Lsf, versionLayer < 0xF8 ? 1 : 0);
            EXPECT_EQ(info.SampleRate, versionLayer < 0xF8 ? 22050 : 44100);
        }
    }
}

TEST_F(MpegFiles, RatesChannelModesTextsAndLengths) {
    struct Case {
        Header Bytes;
        std::string Short, Long;
        std::int32_t Milliseconds, ResyncBytes;
    };
    // 48000 bytes each; the texts get the channel mode appended.
    const std::vector<Case> cases{
        {{0xFE, 0xC4, 0}, "mp1(48kHz/384kb/", "mp1(48000Hz/384kbps/", 1000, 3456},
        {{0xFD, 0xA8, 0}, "mp2(32kHz/192kb/", "mp2(32000Hz/192kbps/", 2000, 2592},
        {{0xFB, 0x90, 0}, "mp3(44.1kHz/128kb/", "mp3(44100Hz/128kbps/", 3000, 1254},
        {{0xF7, 0xE0, 0}, "mp1(22.05kHz/256kb/", "mp1(22050Hz/256kbps/", 1500, 5016},
        {{0xF5, 0x14, 0}, "mp2(24kHz/8kb/", "mp2(24000Hz/8kbps/", 48000, 144},
        {{0xF3, 0x88, 0}, "mp3(16kHz/64kb/", "mp3(16000Hz/64kbps/", 6000, 1728},
    };
    const std::vector<std::array<std::string, 3>> modes{{"ST)", "Stereo)", "2"},
                                                        {"JS)", "JointStereo)", "2"},
                                                        {"DC)", "DualChannel)", "2"},
                                                        {"Mono)", "Mono)", "1"}};
    for (const Case& c : cases) {
        for (std::uint8_t mode = 0; mode < 4; ++mode) {
            Header h = c.Bytes;
            h[2] = std::uint8_t(mode << 6 | 0x0F); // mode extension and flags do not matter
            const MpegInfo info = Read("m.mp3", FileWithFrame(48000, 0, h));
            EXPECT_EQ(info.ShortText, Text(c.Short + modes[mode][0]));
            EXPECT_EQ(info.LongText, Text(c.Long + modes[mode][1]));
            EXPECT_EQ(info.ChannelMode, mode);
            EXPECT_EQ(std::to_string(info.Channels), modes[mode][2]);
            EXPECT_EQ(info.Milliseconds, c.Milliseconds) << c.Short;
            EXPECT_EQ(info.ResyncBytes, c.ResyncBytes) << c.Short;
        }
    }
}

TEST_F(MpegFiles, AFirstHeaderWithABadFieldEndsTheSearch) {
    // Bit-rate index 15, sample-rate index 3, free format, layer 0.
    const std::vector<Header> bad{
        {0xFB, 0xF0, 0x64}, {0xFB, 0x9C, 0x64}, {0xFB, 0x00, 0x64}, {0xF9, 0x90, 0x64}};
    for (const std::size_t at : {std::size_t(0), std::size_t(300)}) {
        for (const Header& h : bad) {
            Bytes file = FileWithFrame(3000, at, h);
            PutFrame(file, 700, kJs128);
            const MpegInfo info = Read("bad.mp3", file, 0);
            EXPECT_EQ(info.AudioStart, std::int32_t(at) + 1) << "no later header is tried";
            EXPECT_EQ(info.HeaderBytes, h);
            EXPECT_EQ(info.Milliseconds, 0);
            EXPECT_EQ(info.ShortText, Text(""));
        }
    }
}

// --- Finding the first frame ------------------------------------------------------------------

TEST_F(MpegFiles, WhereTheFirstFrameIsFound) {
    const Bytes js{0xFF, 0xFB, 0x90, 0x64};
    const Bytes mono2{0xFF, 0xFD, 0xA4, 0xC4};
    const Bytes doubleFF{0xFF, 0xFF, 0x90, 0x64};
    const Bytes patternSetter{0xFF, 0xFB, 0xFF, 0x00};
    const Bytes otherSecondByte{0xFF, 0xFA, 0x90, 0x64};
    struct Case {
        const char* Why;
        std::string Name;
        Bytes File;
        std::int32_t Start;
        std::string Short;
    };
    const std::vector<Case> cases{
        {"after an ID3v2 tag of 257 bytes", "a.mp3",
         Build(5000, {{0, Id3(0, 0, 2, 1)}, {100, js}, {267, mono2}}), 268, "mp2(48kHz/192kb/Mono)"},
        {"only the low 7 bits of each size byte count", "a.mp3",
         Build(5000, {{0, Id3(0x80, 0x80, 0x82, 0x81)}, {267, mono2}}), 268, "mp2(48kHz/192kb/Mono)"},
        {"a leading TAG skips 128 bytes", "a.mp3",
         Build(3000, {{0, {'T', 'A', 'G'}}, {60, mono2}, {128, js}}), 129, "mp3(44.1kHz/128kb/JS)"},
        {"windows do not overlap", "a.mp3", Build(3000, {{998, js}, {1500, mono2}}), 1501,
         "mp2(48kHz/192kb/Mono)"},
        {"the last header byte may lie beyond the window", "a.mp3",
         Build(3000, {{997, {0xFF, 0xFB, 0x90, 0xC4}}, {1500, js}}), 998, "mp3(44.1kHz/128kb/Mono)"},
        {"FF FF in an mp3 name", "a.mp3", Build(2000, {{0, doubleFF}, {700, js}}), 701,
         "mp3(44.1kHz/128kb/JS)"},
        {"the name is compared without case", "B.MP3", Build(2000, {{300, doubleFF}, {700, js}}), 701,
         "mp3(44.1kHz/128kb/JS)"},
        {"a name that is just mp3", "mp3", Build(2000, {{300, doubleFF}, {700, js}}), 701,
         "mp3(44.1kHz/128kb/JS)"},
        {"FF FF elsewhere", "a.mp2", Build(2000, {{0, doubleFF}, {700, js}}), 1, "mp1(44.1kHz/288kb/JS)"},
        {"only the last three characters", "a.mp3.bak", Build(2000, {{300, doubleFF}, {700, js}}), 301,
         "mp1(44.1kHz/288kb/JS)"},
        {"third byte FF sets the pattern", "a.mp3",
         Build(2000,
               {{0, patternSetter}, {300, otherSecondByte}, {400, {0xFF, 0xFB, 0xFF, 0x64}}, {600, js}}),
         601, "mp3(44.1kHz/128kb/JS)"},
        {"the pattern from the scan", "a.mp3",
         Build(2000, {{100, patternSetter}, {300, otherSecondByte}, {600, js}}), 601,
         "mp3(44.1kHz/128kb/JS)"},
        {"without a pattern", "a.mp3", Build(2000, {{300, otherSecondByte}, {600, js}}), 301,
         "mp3(44.1kHz/128kb/JS)"},
        {"MPEG-2.5 is not recognised", "a.mp3", Build(3000, {{0, {0xFF, 0xE3, 0x90, 0x64}}, {700, mono2}}),
         701, "mp2(48kHz/192kb/Mono)"},
    };
    for (const Case& c : cases) {
        const MpegInfo info = Read(c.Name, c.File);
        EXPECT_EQ(info.AudioStart, c.Start) << c.Why;
        EXPECT_EQ(info.AudioBytes, std::int32_t(c.File.size()) - c.Start + 1) << c.Why;
        EXPECT_EQ(info.ShortText, Text(c.Short)) << c.Why;
    }
    EXPECT_EQ(Read("past.mp3", Build(5000, {{0, Id3(0x7F, 0x7F, 0x7F, 0x7F)}, {1000, js}}), 0).AudioStart, 1);
}

TEST_F(MpegFiles, TrailingTagInTheLast1024BytesCutsTheAudio) {
    const Bytes js{0xFF, 0xFB, 0x90, 0x64};
    const Bytes tag{'T', 'A', 'G'};
    EXPECT_EQ(Fields(Read("a.mp3", Build(10000, {{0, js}, {9872, tag}}))),
              "start 1 bytes 9872 end 9872 size 10000 resync 1254 vbr 0/0 rate 44100 lsf 0 kbps 128 ch 2/1 "
              "layer 3 ms 617");
    const std::vector<std::pair<Bytes, std::int32_t>> cases{
        {Build(10000, {{0, js}, {9000, tag}, {9872, tag}}), 9000}, // the first one counts
        {Build(10000, {{0, js}, {8976, tag}}), 8976},
        {Build(10000, {{0, js}, {8975, tag}}), 10000},
        {Build(200, {{0, js}, {4, tag}}), 4},   // a short file is searched whole
        {Build(200, {{0, js}, {3, tag}}), 200}, // a cut of 3 bytes or less is ignored
        {Build(10000, {{0, Id3(0, 0, 2, 1)}, {267, js}, {9872, tag}}), 9872 - 267},
        {Build(600, {{0, Id3(0, 0, 0, 100)}, {50, tag}, {110, js}}), 490}, // before the first frame
    };
    for (const auto& [file, audioBytes] : cases) {
        const MpegInfo info = Read("t.mp3", file);
        EXPECT_EQ(info.AudioBytes, audioBytes);
        EXPECT_EQ(info.AudioEnd, info.AudioStart + audioBytes - 1);
    }
}

// --- Xing headers -----------------------------------------------------------------------------

TEST_F(MpegFiles, XingFrameCountGivesLengthAndAverageBitRate) {
    Bytes file = FileWithFrame(417960, 0);
    PutXing(file, 0, 1000);
    const MpegInfo info = Read("vbr.mp3", file);
    EXPECT_EQ(Fields(info), "start 1 bytes 417960 end 417960 size 417960 resync 1254 vbr 1/1000 rate 44100 "
                            "lsf 0 kbps 128 ch 2/1 layer 3 ms 26122");
    EXPECT_EQ(info.LongText, Text("mp3(44100Hz/128kbps[VBR]/JointStereo)"));
    EXPECT_EQ(info.ShortText, Text("mp3(44.1kHz/128kb/JS)"));

    // The average subtracts the first frame's position from the byte count.
    Bytes late = FileWithFrame(8202 + 12000, 8202);
    Put(late, 0, Id3(0, 0, 0x40, 0));
    PutXing(late, 8202, 10);
    EXPECT_EQ(Fields(Read("late.mp3", late)),
              "start 8203 bytes 12000 end 20202 size 20202 resync 1136 vbr 1/10 "
              "rate 44100 lsf 0 kbps 116 ch 2/1 layer 3 ms 261");

    // Too close to the window's end to test there: read again from the file.
    Bytes nearEnd = FileWithFrame(417960, 960);
    PutXing(nearEnd, 960, 1000);
    EXPECT_EQ(Read("near.mp3", nearEnd).Milliseconds, 26122);
}

TEST_F(MpegFiles, XingIsOnlyLookedForAtByte36) {
    Bytes atStart(3000, 0);
    PutXing(atStart, 0, 1000);
    PutFrame(atStart, 500, kJs128);
    const MpegInfo info = Read("start.mp3", atStart);
    EXPECT_EQ(info.AudioStart, 501);
    EXPECT_EQ(info.VbrFrames, 1000) << "the file's first bytes count even without a frame there";

    Bytes mono = FileWithFrame(3000, 0, {0xFB, 0x90, 0xC4});
    Put(mono, 21, {'X', 'i', 'n', 'g', 0, 0, 0, 7, 0, 0, 3, 0xE8});
    EXPECT_EQ(Read("mono.mp3", mono).Vbr, 0);
    // The count of a Xing header cut off by the end of the file is not read.
    Bytes cut = FileWithFrame(1005, 960);
    Put(cut, 996, {'X', 'i', 'n', 'g'});
    EXPECT_EQ(Read("cut.mp3", cut).Vbr, 0);
}

TEST_F(MpegFiles, UnusableXingCountsGiveZeroWithTrappingOff) {
    const TrappingOff off;
    for (const std::uint32_t count : {0u, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu}) {
        Bytes file = FileWithFrame(5000, 0);
        PutXing(file, 0, count);
        const MpegInfo info = Read("x.mp3", file, 0);
        EXPECT_EQ(info.Vbr, 1) << count;
        EXPECT_EQ(info.ShortText, Text(""));
    }
    // One frame over two billion bytes: the bit rate fits, the resync size does not.
    Bytes head = FileWithFrame(48, 0);
    PutXing(head, 0, 1);
    WriteSparse(Dir / "huge.mp3", head, 2000000000);
    MpegInfo info;
    EXPECT_EQ(FCT_mpeg::ReadMpegInfo(Dir / "huge.mp3", info), 0);
    // The first frame lies beyond the bytes the average is taken over.
    Bytes behind = FileWithFrame(8202 + 100, 8202);
    Put(behind, 0, Id3(0, 0, 0x40, 0));
    PutXing(behind, 8202, 10);
    EXPECT_EQ(Read("behind.mp3", behind, 0).AudioStart, 8203);
}

// --- Hostile input and the quick mode ---------------------------------------------------------

TEST_F(MpegFiles, ShortMissingAndOversizedFilesGiveZero) {
    const TrappingOff off;
    for (std::size_t size = 0; size <= 48; ++size) {
        Bytes file(size, 0);
        if (size >= 4) PutFrame(file, 0, kJs128);
        const MpegInfo info = Read("s" + std::to_string(size) + ".mp3", file, size == 48 ? 1 : 0);
        EXPECT_EQ(info.FileSize, std::int32_t(size));
    }
    MpegInfo info;
    info.Layer = 3;
    info.LongText = "stale";
    EXPECT_EQ(FCT_mpeg::ReadMpegInfo(Dir / "missing.mp3", info), 0);
    EXPECT_EQ(Fields(info), Fields(MpegInfo{}));
    EXPECT_EQ(info.LongText, Text(""));
    EXPECT_EQ(FCT_mpeg::ReadMpegInfo(Dir.Path(), info), 0);
    EXPECT_EQ(Read("noframe.mp3", Bytes(5000, 0xFF), 0).AudioStart, 1);

    // Beyond what the 32-bit record can hold; the largest that fits still works.
    WriteSparse(Dir / "big.mp3", {0xFF, 0xFB, 0x90, 0x64}, 3221225472LL);
    EXPECT_EQ(FCT_mpeg::ReadMpegInfo(Dir / "big.mp3", info), 0);
    WriteSparse(Dir / "big.mp3", {0xFF, 0xFB, 0x90, 0x64}, 2147483647LL);
    ASSERT_EQ(FCT_mpeg::ReadMpegInfo(Dir / "big.mp3", info), 1);
    EXPECT_EQ(info.AudioEnd, 2147483647);
    EXPECT_EQ(info.Milliseconds, 134217728);
}

TEST_F(MpegFiles, RandomBytesNeverBreakTheRecordsInvariants) {
    const TrappingOff off;
    std::uint32_t x = 12345;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    int found = 0;
    for (int n = 0; n < 300; ++n) {
        Bytes file(48 + next() % 4000);
        for (auto& b : file)
            b = next() % 3 == 0 ? 0xFF : std::uint8_t(next());
        if (n % 3 == 0) Put(file, 0, Id3(0, 0, std::uint8_t(next() % 0x80), std::uint8_t(next() % 0x80)));
        const std::string path = Write(n % 2 == 0 ? "r.mp3" : "r.mp2", file);
        MpegInfo info;
        if (FCT_mpeg::ReadMpegInfo(path, info, n % 5 == 0) == 0) continue;
        ++found;
        EXPECT_GE(info.AudioStart, 1);
        EXPECT_GE(info.AudioBytes, 1);
        EXPECT_EQ(info.AudioEnd, info.AudioStart + info.AudioBytes - 1);
        EXPECT_LE(info.AudioEnd, info.FileSize);
        EXPECT_GT(info.BitRate, 0);
        EXPECT_GT(info.ResyncBytes, 0);
        EXPECT_EQ(info.LongText.size(), 255u);
        const std::int64_t cut = FCT_mpeg::FindNextFrame(path, std::int64_t(next() % 5000), info);
        EXPECT_GE(cut, info.AudioStart);
        EXPECT_LE(cut, std::int64_t(info.AudioEnd) + 1);
    }
    EXPECT_GT(found, 50) << "the inputs should often hold a usable header";
}

TEST_F(MpegFiles, QuickModeTakesALeadingFrameAsItIs) {
    Bytes file = FileWithFrame(5000, 0, {0xFF, 0x90, 0x64});
    PutXing(file, 0, 1000);
    Put(file, 5000 - 128, {'T', 'A', 'G'});
    EXPECT_EQ(Fields(Read("q.mp3", file, 1, 1)), "start 1 bytes 5000 end 5000 size 5000 resync 2821 vbr 0/0 "
                                                 "rate 44100 lsf 0 kbps 288 ch 2/1 layer 1 ms 139");
    Bytes id3 = FileWithFrame(5000, 267);
    Put(id3, 0, Id3(0, 0, 2, 1));
    EXPECT_EQ(Read("id3.mp3", id3, 1, 1).AudioStart, 268);
    EXPECT_EQ(Read("short.mp3", FileWithFrame(47, 0), 0, 1).FileSize, 47);
}

// --- The similarity search --------------------------------------------------------------------

class MpegFindNextFrame : public MpegFiles {
protected:
    // With the reference frame at 0 of 20000 bytes: ResyncBytes 1254, a 2508-byte window.
    std::pair<std::string, MpegInfo> Prepare(const Bytes& pFile) {
        const std::string path = Write("f.mp3", pFile);
        MpegInfo info;
        EXPECT_EQ(FCT_mpeg::ReadMpegInfo(path, info), 1);
        EXPECT_EQ(info.ResyncBytes, 1254);
        return {path, info};
    }
    static Header Differing(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
        return {std::uint8_t(kJs128[0] ^ a), std::uint8_t(kJs128[1] ^ b), std::uint8_t(kJs128[2] ^ c)};
    }
};

TEST_F(MpegFindNextFrame, FirstExactCopyWinsAndPaddingIsIgnored) {
    Bytes file = FileWithFrame(20000, 0);
    PutFrame(file, 2500, Differing(0, 0, 0x01)); // emphasis differs
    PutFrame(file, 3000, Differing(0, 0x02, 0)); // padding differs
    PutFrame(file, 3500, kJs128);
    const auto [path, info] = Prepare(file);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 2001, info), 3001);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 3002, info), 3501);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, kMin64, info), 1) << "clamped to the first frame";
}

TEST_F(MpegFindNextFrame, EqualBitsAreWeightedAndOnlyAHigherScoreReplaces) {
    struct Case {
        Header First, Second;
        bool SecondWins;
    };
    const std::vector<Case> cases{
        {Differing(0, 0x10, 0), Differing(0, 0x02, 0), true},     // bit rate 41, padding only 42
        {Differing(0, 0x04, 0), Differing(0, 0x70, 0), true},     // sample rate 38, three bit-rate bits 39
        {Differing(0, 0xF0, 0), Differing(0, 0x04, 0), false},    // 38 and 38: the first stays
        {Differing(0, 0, 0x10), Differing(0, 0, 0x40), false},    // mode extension 40, channel mode 38
        {Differing(0x01, 0x01, 0), Differing(0, 0, 0x10), false}, // protection and private 40, 40
        {Differing(0, 0, 0x10), Differing(0x01, 0, 0), true},     // 40, protection 41
        {Differing(0x08, 0, 0), Differing(0, 0, 0x30), false},    // version 38, mode extension 38
        {Differing(0x02, 0, 0), Differing(0, 0x01, 0x09), true},  // layer 38, private and flags 39
    };
    int n = 0;
    for (const Case& c : cases) {
        Bytes file = FileWithFrame(20000, 0);
        PutFrame(file, 2500, c.First);
        PutFrame(file, 3000, c.Second);
        const auto [path, info] = Prepare(file);
        EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 2001, info), c.SecondWins ? 3001 : 2501) << "case " << n++;
    }
}

TEST_F(MpegFindNextFrame, WindowLimitsAndNothingFound) {
    Bytes file = FileWithFrame(20000, 0);
    PutFrame(file, 4504, Differing(0, 0x10, 0)); // last candidate of the window from 2001
    PutFrame(file, 4600, Differing(0x80, 0, 0)); // no frame: second byte below F0
    PutFrame(file, 20000 - 1254, kJs128);
    PutFrame(file, 20000 - 1250, kJs128);
    auto [path, info] = Prepare(file);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 2001, info), 4505);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 2000, info), 20001) << "its last byte is now outside";
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 4506, info), 20001);
    // Fewer than ResyncBytes left up to AudioEnd: not searched, even with a frame right there.
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 20000 - 1253, info), 20000 - 1253);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 20000 - 1252, info), 20001);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, kMax64, info), 20001);

    // The window ends at AudioEnd, before a trailing tag.
    Bytes tagged = FileWithFrame(20000, 0);
    Put(tagged, 19872, {'T', 'A', 'G'});
    PutFrame(tagged, 19900, kJs128);
    std::tie(path, info) = Prepare(tagged);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 18000, info), 19873);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(path, 1, MpegInfo{}), 1);
    EXPECT_EQ(FCT_mpeg::FindNextFrame(Dir / "missing.mp3", 2001, info), 19873);
}

TEST_F(MpegFindNextFrame, ACandidateAnywhereInAVeryLongWindowIsSeen) {
    const std::int64_t mib = 1 << 20;
    MpegInfo info;
    info.AudioEnd = std::int32_t(4 * mib);
    info.ResyncBytes = std::int32_t(3 * mib / 2);
    info.HeaderBytes = kJs128;
    for (const std::int64_t at : {mib - 4, mib - 2, mib - 1, 2 * mib - 5}) {
        WriteSparse(Dir / "long.mp3", {}, 4 * mib);
        std::fstream out(Dir / "long.mp3", std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(at);
        out.write("\xFF\xFB\x90\x64", 4);
        out.close();
        EXPECT_EQ(FCT_mpeg::FindNextFrame(Dir / "long.mp3", 1, info), at + 1);
    }
}

// --- Copying a byte range ---------------------------------------------------------------------

class CopyFileRangeTest : public MpegFiles {
protected:
    const Bytes Source = Counting(100);
    static Bytes Slice(const Bytes& pBytes, std::int64_t pFrom, std::int64_t pTo) {
        return Bytes(pBytes.begin() + pFrom, pBytes.begin() + pTo);
    }
    static Bytes Counting(std::size_t pCount) {
        Bytes b(pCount);
        std::iota(b.begin(), b.end(), std::uint8_t(0));
        return b;
    }
};

TEST_F(CopyFileRangeTest, CopiesTheInclusiveRangeClampedToTheFile) {
    const std::string src = Write("src.mp3", Source);
    const std::string dst = Dir / "dst.mp3";
    const std::vector<std::array<std::int64_t, 4>> cases{{11, 20, 10, 20},    {1, 100, 0, 100},
                                                         {-5, 3, 0, 3},       {95, 1000, 94, 100},
                                                         {100, 100, 99, 100}, {kMin64, kMax64, 0, 100}};
    for (const auto& [first, last, from, to] : cases) {
        WriteFile(dst, Bytes(1000, 0xEE)); // replaced, not overwritten in place
        ASSERT_EQ(FCT_mpeg::CopyFileRange(src, dst, first, last), 1) << first << ".." << last;
        EXPECT_EQ(ReadFile(dst), Slice(Source, from, to)) << first << ".." << last;
    }
    // An empty range deletes the old target and makes no new one.
    for (const auto& [first, last] : std::vector<std::pair<std::int64_t, std::int64_t>>{
             {20, 10}, {101, 200}, {0, 0}, {5, -3}, {kMax64, kMax64}}) {
        WriteFile(dst, {1, 2, 3});
        EXPECT_EQ(FCT_mpeg::CopyFileRange(src, dst, first, last), 1);
        EXPECT_FALSE(std::filesystem::exists(dst)) << first << ".." << last;
    }
    EXPECT_EQ(ReadFile(src), Source);
}

TEST_F(CopyFileRangeTest, RefusalsLeaveEveryFileAsItWas) {
    const std::string src = Write("src.mp3", Source);
    const std::string dst = Write("dst.mp3", {9, 9});
    EXPECT_EQ(FCT_mpeg::CopyFileRange(Dir / "missing.mp3", dst, 1, 10), 0);
    EXPECT_EQ(FCT_mpeg::CopyFileRange(Write("empty.mp3", {}), dst, 1, 10), 0);
    EXPECT_EQ(FCT_mpeg::CopyFileRange(Dir.Path(), dst, 1, 10), 0);
    EXPECT_EQ(ReadFile(dst), Bytes({9, 9}));

    std::filesystem::create_directory(Dir / "folder");
    EXPECT_EQ(FCT_mpeg::CopyFileRange(src, Dir / "folder", 1, 10), 0);
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "folder"));
    EXPECT_EQ(FCT_mpeg::CopyFileRange(src, Dir / "nowhere/dst.mp3", 1, 10), 0);

    // The source itself, under its own name, another spelling or a hard link.
    std::filesystem::create_hard_link(src, Dir / "link.mp3");
    for (const std::string& self : {src, Dir.Path() + "/./src.mp3", Dir / "link.mp3"})
        EXPECT_EQ(FCT_mpeg::CopyFileRange(src, self, 11, 20), 0) << self;
    EXPECT_EQ(ReadFile(src), Source);
}

TEST_F(CopyFileRangeTest, AFailedWriteRemovesThePartialTarget) {
    WriteSparse(Dir / "big.mp3", Source, 1 << 20);
    // Writes past 64 KiB fail for the moment, as on a full disk.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 65536;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const int limited = ::setrlimit(RLIMIT_FSIZE, &small);
    const int result = FCT_mpeg::CopyFileRange(Dir / "big.mp3", Dir / "dst.mp3", 1, 1 << 20);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(limited, 0);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(std::filesystem::exists(Dir / "dst.mp3"));
}

TEST_F(CopyFileRangeTest, LargeRangesCrossChunksAndFourGiB) {
    const std::int64_t chunk = 16777216;
    const std::string src = Dir / "src.bin";
    WriteSparse(src, {}, (4LL << 30) + 100);
    std::fstream out(src, std::ios::in | std::ios::out | std::ios::binary);
    for (const std::int64_t at : {chunk - 1, std::int64_t(4LL << 30) + 10}) {
        out.seekp(at);
        out.write("\1\2\3\4\5\6\7\10\11\12", 10);
    }
    out.close();
    const std::string dst = Dir / "dst.bin";
    ASSERT_EQ(FCT_mpeg::CopyFileRange(src, dst, (4LL << 30) + 11, (4LL << 30) + 20), 1);
    EXPECT_EQ(ReadFile(dst), Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    ASSERT_EQ(FCT_mpeg::CopyFileRange(src, dst, chunk - 4, chunk + 5), 1);
    EXPECT_EQ(ReadFile(dst), Bytes({0, 0, 0, 0, 1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(FCT_mpeg::CopyFileRange(src, dst, 1, chunk + 5), 1);
    const Bytes copied = ReadFile(dst);
    ASSERT_EQ(copied.size(), std::size_t(chunk + 5));
    EXPECT_EQ(Slice(copied, chunk - 2, chunk + 5), Bytes({0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(CopyFileRangeTest, QueuedEventsRunWhileCopying) {
    std::unique_ptr<QCoreApplication> app;
    static int argc = 1;
    static char name[] = "tests_engine";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) app = std::make_unique<QCoreApplication>(argc, argv);
    QObject receiver;
    bool ran = false;
    QMetaObject::invokeMethod(
        &receiver, [&ran] { ran = true; }, Qt::QueuedConnection);
    EXPECT_EQ(FCT_mpeg::CopyFileRange(Write("src.mp3", Source), Dir / "dst.mp3", 1, 10), 1);
    EXPECT_TRUE(ran);
}

// --- Files made by real encoders --------------------------------------------------------------

// Runs a command line with its output discarded; its exit code.
int RunProgram(const std::string& pCommand) {
    const int status = std::system((pCommand + " >/dev/null 2>&1").c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Steps from frame to frame by the frame-length rule of Layers II and III: the number of frames,
// or -1 when the walk does not end exactly at the end of the file.
int CountFrames(const Bytes& pFile, std::size_t pStart, int pSamplesPerFrame, int pRate) {
    std::size_t at = pStart;
    int frames = 0;
    for (; at + 4 <= pFile.size() && pFile[at] == 0xFF; ++frames) {
        const auto table = kRateTables.find(std::uint8_t(pFile[at + 1] | 0x01));
        const int index = pFile[at + 2] >> 4;
        if (table == kRateTables.end() || index < 1 || index > 14) return -1;
        at += std::size_t(pSamplesPerFrame / 8 * table->second[std::size_t(index - 1)] * 1000 / pRate +
                          ((pFile[at + 2] >> 1) & 1));
    }
    return at == pFile.size() ? frames : -1;
}

class MpegRealFiles : public MpegFiles {};

TEST_F(MpegRealFiles, RateBitRateModeAndLengthAreWhatTheEncoderWasTold) {
    if (RunProgram("gst-launch-1.0 --version") != 0) GTEST_SKIP() << "gst-launch-1.0 missing";
    for (const char* element : {"lamemp3enc", "twolamemp2enc", "id3v2mux", "xingmux"})
        if (RunProgram(std::string("gst-inspect-1.0 --exists ") + element) != 0)
            GTEST_SKIP() << element << " missing";
    struct Case {
        std::string Name, Format, Encoder, Texts;
        int Samples; // per frame
    };
    const int buffers = 43; // of 1024 samples each
    const std::vector<Case> cases{
        {"cbr.mp3", "44100,channels=2", "lamemp3enc target=bitrate bitrate=128 cbr=true",
         "mp3(44100Hz/128kbps/JointStereo)", 1152},
        {"mono.mp3", "22050,channels=1", "lamemp3enc target=bitrate bitrate=64 cbr=true",
         "mp3(22050Hz/64kbps/Mono)", 576},
        {"vbr.mp3", "44100,channels=2", "lamemp3enc target=quality quality=4 ! xingmux",
         "kbps[VBR]/JointStereo)", 1152},
        {"tag.mp3", "44100,channels=2",
         "lamemp3enc target=bitrate bitrate=128 cbr=true ! taginject tags='\"title=Tone\"' ! id3v2mux",
         "mp3(44100Hz/128kbps/JointStereo)", 1152},
        {"mono.mp2", "48000,channels=1", "twolamemp2enc mode=mono bitrate=192", "mp2(48000Hz/192kbps/Mono)",
         1152},
        {"dual.mp2", "32000,channels=2", "twolamemp2enc mode=dual bitrate=256",
         "mp2(32000Hz/256kbps/DualChannel)", 1152},
    };
    for (const Case& c : cases) {
        const std::string path = Dir / c.Name;
        ASSERT_EQ(RunProgram("gst-launch-1.0 -q audiotestsrc num-buffers=" + std::to_string(buffers) +
                             " ! audio/x-raw,rate=" + c.Format + " ! " + c.Encoder +
                             " ! filesink location=" + path),
                  0)
            << c.Encoder;
        MpegInfo info;
        ASSERT_EQ(FCT_mpeg::ReadMpegInfo(path, info), 1) << c.Name;
        EXPECT_NE(info.LongText.find(c.Texts), std::string::npos) << info.LongText;
        EXPECT_EQ(info.Vbr, c.Name == "vbr.mp3" ? 1 : 0);
        const Bytes bytes = ReadFile(path);
        EXPECT_EQ(info.AudioStart > 1, c.Name == "tag.mp3");
        EXPECT_EQ(bytes[std::size_t(info.AudioStart - 1)], 0xFF) << c.Name;
        // The length is that of the frames in the file, give or take one, and covers all the input.
        const int frames = CountFrames(bytes, std::size_t(info.AudioStart - 1), c.Samples, info.SampleRate);
        ASSERT_GT(frames, 0) << c.Name;
        const double frameMs = 1000.0 * c.Samples / info.SampleRate;
        EXPECT_NEAR(info.Milliseconds, frames * frameMs, frameMs) << c.Name;
        EXPECT_GE(info.Milliseconds + frameMs, buffers * 1024 * 1000.0 / info.SampleRate) << c.Name;
    }
}

} // namespace
