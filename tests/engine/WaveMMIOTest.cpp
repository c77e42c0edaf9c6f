#include "engine/WaveMMIO.h"
#include "support/ListComboBox.h"
#include "support/FileIO.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

using namespace TestFiles;

namespace {

class WaveFiles : public ::testing::Test {
protected:
    TempDir Dir;
    std::string Write(const std::string& pName, const Bytes& pBytes) {
        const std::string path = Dir / pName;
        WriteFile(path, pBytes);
        return path;
    }
};

// --- Walking the chunk list -----------------------------------------------------------------

TEST_F(WaveFiles, FirstTwelveBytesAreNotChecked) {
    Bytes b = PcmWav(2, 44100, 16, Samples16({1, 2, 3, 4}));
    std::fill(b.begin(), b.begin() + 12, std::uint8_t('x'));
    const WaveInfo info = WaveMMIO::GetWaveInfo(Write("x.wav", b));
    EXPECT_EQ(info.Valid, 1);
    EXPECT_EQ(info.Frames, 2);
}

TEST_F(WaveFiles, OddChunkIsSkippedWithItsPadByte) {
    const Bytes b =
        Riff({Chunk("junk", {1, 2, 3}), Chunk("fmt ", FmtBody(1, 1, 8000, 8)), Chunk("data", {1, 2})});
    const std::string path = Write("odd.wav", b);
    EXPECT_EQ(WaveMMIO::FindChunk(path, WaveMMIO::FourCC("junk")), 12);
    EXPECT_EQ(WaveMMIO::FindChunk(path, WaveMMIO::FourCC("fmt ")), 12 + 12);
    const WaveInfo info = WaveMMIO::GetWaveInfo(path);
    EXPECT_EQ(info.Valid, 1);
    EXPECT_EQ(info.DataOffset, 12 + 12 + 24 + 8);
    EXPECT_EQ(WaveMMIO::FindChunk(path, WaveMMIO::FourCC("LIST")), -1);
}

TEST_F(WaveFiles, DataBeforeFmtAndLongFmtChunksGiveTheSameRecord) {
    const Bytes data = Samples16({5, 6, 7, 8, 9, 10});
    const WaveInfo plain = WaveMMIO::GetWaveInfo(Write("a.wav", PcmWav(2, 48000, 16, data)));
    const WaveInfo swapped = WaveMMIO::GetWaveInfo(
        Write("b.wav", Riff({Chunk("data", data), Chunk("fmt ", FmtBody(1, 2, 48000, 16))})));
    const WaveInfo fmt18 = WaveMMIO::GetWaveInfo(
        Write("c.wav", Riff({Chunk("fmt ", FmtBody(1, 2, 48000, 16, 2)), Chunk("data", data)})));
    const WaveInfo fmt40 = WaveMMIO::GetWaveInfo(
        Write("d.wav", Riff({Chunk("fmt ", FmtBody(1, 2, 48000, 16, 24)), Chunk("data", data)})));
    for (const WaveInfo* info : {&plain, &swapped, &fmt18, &fmt40}) {
        EXPECT_EQ(info->Valid, 1);
        EXPECT_EQ(info->Frames, 3);
        EXPECT_EQ(info->SamplesPerSec, 48000);
        EXPECT_EQ(info->Mode, 3);
        EXPECT_EQ(info->BlockAlign, 4);
        EXPECT_EQ(info->DataSize, 12);
        EXPECT_EQ(info->Milliseconds, 0);
    }
    EXPECT_EQ(plain.DataOffset, 44);
    EXPECT_EQ(swapped.DataOffset, 20);
    EXPECT_EQ(fmt40.DataOffset, 44 + 24);
    EXPECT_EQ(plain.FileSize, 56);
}

TEST_F(WaveFiles, AllTenModesAndTheirNames) {
    const std::map<int, std::pair<int, int>> modes{{0, {1, 8}},  {1, {2, 8}},  {2, {1, 16}}, {3, {2, 16}},
                                                   {4, {1, 24}}, {5, {2, 24}}, {6, {6, 16}}, {7, {8, 16}},
                                                   {8, {6, 24}}, {9, {8, 24}}};
    for (const auto& [mode, format] : modes) {
        const auto [channels, bits] = format;
        const Bytes data(std::size_t(channels * bits / 8 * 10), 0);
        const std::string path = Write("m" + std::to_string(mode) + ".wav",
                                       PcmWav(std::uint16_t(channels), 32000, std::uint16_t(bits), data));
        const WaveInfo info = WaveMMIO::GetWaveInfo(path);
        EXPECT_EQ(info.Valid, 1) << mode;
        EXPECT_EQ(info.Mode, mode);
        EXPECT_EQ(info.Frames, 10);
        EXPECT_EQ(WaveMMIO::GetWaveMode(path, 0, 0), mode);
        EXPECT_EQ(WaveMMIO::GetWaveMode("", std::int16_t(bits), std::int16_t(channels)), mode);
    }
    EXPECT_EQ(WaveMMIO::WaveModeName(0), "Mono8bit");
    EXPECT_EQ(WaveMMIO::WaveModeName(5), "Stereo24bit");
    EXPECT_EQ(WaveMMIO::WaveModeName(7), "Surround 7.1 16bit");
    EXPECT_EQ(WaveMMIO::WaveModeName(10), "");
    EXPECT_EQ(WaveMMIO::WaveModeName(-1), "");
    EXPECT_EQ(WaveMMIO::GetWaveMode("", 32, 2), 0);
}

TEST_F(WaveFiles, ExtensibleSurroundReadsAsModeWithNegativeTag) {
    const Bytes b = Riff({Chunk("fmt ", FmtBody(0xFFFE, 6, 48000, 24, 24)), Chunk("data", Bytes(18 * 4, 0))});
    const WaveInfo info = WaveMMIO::GetWaveInfo(Write("ext.wav", b));
    EXPECT_EQ(info.Valid, 1);
    EXPECT_EQ(info.Mode, 8);
    EXPECT_EQ(info.FormatTag, -2);
    EXPECT_EQ(info.Frames, 4);
}

TEST_F(WaveFiles, CombinationsThatAreNotModesKeepWhatWasRead) {
    struct Case {
        std::uint16_t Tag, Channels, Bits;
    };
    for (const Case c : {Case{1, 4, 16}, Case{1, 6, 8}, Case{1, 1, 32}, Case{85, 2, 0}, Case{3, 2, 32}}) {
        const std::string path =
            Write("bad.wav",
                  Riff({Chunk("fmt ", FmtBody(c.Tag, c.Channels, 44100, c.Bits)), Chunk("data", {0, 0})}));
        const WaveInfo info = WaveMMIO::GetWaveInfo(path);
        EXPECT_EQ(info.Valid, 0);
        EXPECT_EQ(info.FormatTag, c.Tag);
        EXPECT_EQ(info.Channels, c.Channels);
        EXPECT_EQ(info.BitsPerSample, c.Bits);
        EXPECT_EQ(info.SamplesPerSec, 44100);
        EXPECT_EQ(info.DataOffset, 0) << "reading stops at the fmt chunk";
        EXPECT_EQ(info.Mode, 0);
        EXPECT_EQ(info.Frames, 0);
    }
    const std::string mp3 =
        Write("mp3.wav", Riff({Chunk("fmt ", FmtBody(85, 2, 44100, 0)), Chunk("data", {0})}));
    EXPECT_EQ(WaveMMIO::WaveFileType(mp3), "mp3");
}

TEST_F(WaveFiles, FramesDropTheOddRemainderAndAreCapped) {
    const Bytes b = Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16)), Chunk("data", Bytes(10, 0))});
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Write("ten.wav", b)).Frames, 2);

    // 0xFFFFFFFF one-byte frames: more than the field holds.
    const Bytes huge = Riff({Chunk("fmt ", FmtBody(1, 1, 44100, 8)), Chunk("data", {}, 0xFFFFFFFF)});
    const WaveInfo info = WaveMMIO::GetWaveInfo(Write("huge.wav", huge));
    EXPECT_EQ(info.Valid, 1);
    EXPECT_EQ(info.DataSize, 0xFFFFFFFFLL);
    EXPECT_EQ(info.Frames, 2147483647);
    EXPECT_EQ(info.Milliseconds, 48695774); // 2147483647 / 44100 * 1000, rounded
}

TEST_F(WaveFiles, MillisecondsRoundHalfToEven) {
    // At 16 Hz one frame is exactly 62.5 ms: 62; three are 187.5 ms: 188.
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Write("a.wav", PcmWav(1, 16, 8, Bytes(1, 128)))).Milliseconds, 62);
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Write("b.wav", PcmWav(1, 16, 8, Bytes(3, 128)))).Milliseconds, 188);
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Write("c.wav", PcmWav(1, 16, 8, Bytes(5, 128)))).Milliseconds, 312);
}

TEST_F(WaveFiles, HostileHeadersGiveNotValidWithoutHangOrCrash) {
    const Bytes data = Samples16({1, 2});
    std::vector<Bytes> files{
        Riff({Chunk("fmt ", FmtBody(1, 2, 0, 16)), Chunk("data", data)}),           // zero rate
        Riff({Chunk("fmt ", FmtBody(1, 0, 44100, 16)), Chunk("data", data)}),       // zero channels
        Riff({Chunk("fmt ", FmtBody(1, 2, 0x80000000u, 16)), Chunk("data", data)}), // rate reads negative
        Riff({Chunk("junk", {}, 0xFFFFFFFF), Chunk("fmt ", FmtBody(1, 2, 44100, 16))}),
        Riff({Chunk("junk", {}, 0xFFFFFFFE)}),
        Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16))}), // no data chunk
        Bytes{'R', 'I', 'F', 'F'},
        Bytes{},
    };
    Bytes truncated = PcmWav(2, 44100, 16, data);
    truncated.resize(30); // cut inside the fmt body
    files.push_back(truncated);
    int n = 0;
    for (const Bytes& b : files) {
        const std::string path = Write("h" + std::to_string(n++) + ".wav", b);
        const Bytes before = ReadFile(path);
        const WaveInfo info = WaveMMIO::GetWaveInfo(path);
        EXPECT_EQ(info.Valid, 0) << "case " << n - 1;
        EXPECT_EQ(ReadFile(path), before);
    }
    const WaveInfo missing = WaveMMIO::GetWaveInfo(Dir / "missing.wav");
    EXPECT_EQ(missing.Valid, 0);
    EXPECT_EQ(missing.FormatTag, 0);
    EXPECT_EQ(WaveMMIO::FindChunk(Dir / "missing.wav", WaveMMIO::FourCC("data")), -1);
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Dir.Path()).Valid, 0) << "a folder is not a file";
}

TEST_F(WaveFiles, FmtCutShortByTheEndOfFileReadsZeros) {
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, 0);
    PutId(b, "WAVE");
    b.push_back('d'), b.push_back('a'), b.push_back('t'), b.push_back('a');
    Put32(b, 0);
    PutId(b, "fmt ");
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, 2); // the file ends after the channel count
    const WaveInfo info = WaveMMIO::GetWaveInfo(Write("short.wav", b));
    EXPECT_EQ(info.FormatTag, 1);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.BitsPerSample, 0);
    EXPECT_EQ(info.Valid, 0);
}

TEST_F(WaveFiles, SizesPastTwoAndFourGiBAreRead) {
    // Sparse files: a 3 GiB data chunk, and a 5 GiB file whose data field says 0xFFFFFFFF.
    const std::int64_t threeGiB = 3LL << 30;
    Bytes head = PcmWav(2, 48000, 16, {});
    head[40] = 0, head[41] = 0, head[42] = 0, head[43] = 0xC0; // data size 0xC0000000
    const std::string big = Dir / "big.wav";
    WriteSparse(big, head, 44 + threeGiB);
    WaveInfo info = WaveMMIO::GetWaveInfo(big);
    EXPECT_EQ(info.Valid, 1);
    EXPECT_EQ(info.DataSize, threeGiB);
    EXPECT_EQ(info.FileSize, 44 + threeGiB);
    EXPECT_EQ(info.Frames, std::int32_t(threeGiB / 4));

    Bytes head5 = PcmWav(1, 8000, 8, {});
    for (int i = 40; i < 44; ++i)
        head5[std::size_t(i)] = 0xFF;
    const std::string five = Dir / "five.wav";
    const std::int64_t fiveGiB = 5LL << 30;
    WriteSparse(five, head5, fiveGiB);
    info = WaveMMIO::GetWaveInfo(five);
    EXPECT_EQ(info.FileSize, fiveGiB);
    EXPECT_EQ(info.DataSize, 0xFFFFFFFFLL);

    // A chunk list that walks past 4 GiB: the data chunk behind a 4.5 GiB-long run of chunks.
    Bytes far = Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 8))});
    const std::int64_t gap = 0xFFFFFFF0LL;
    PutId(far, "pad1");
    Put32(far, std::uint32_t(gap));
    const std::string walk = Dir / "walk.wav";
    WriteSparse(walk, far, std::int64_t(far.size()) + gap);
    std::int64_t size = 0;
    const std::int32_t low = Support::FileSizeOfPath(walk, size);
    EXPECT_EQ(size, std::int64_t(far.size()) + gap);
    EXPECT_EQ(low, std::int32_t(std::uint32_t(std::uint64_t(size))));
    Bytes tail;
    PutId(tail, "data");
    Put32(tail, 4);
    Put32(tail, 0x80808080);
    Support::FileHandle h;
    ASSERT_EQ(Support::WriteFileAt(tail.data(), tail.size(), -1, h, walk), 1);
    h.Close();
    EXPECT_EQ(WaveMMIO::FindChunk(walk, WaveMMIO::FourCC("data")), size);
    EXPECT_GT(size, 0xFFFFFFFFLL);
    EXPECT_EQ(WaveMMIO::GetWaveInfo(walk).Valid, 0) << "data beyond a 32-bit offset cannot be described";
}

// --- Writing and patching headers -------------------------------------------------------------

TEST_F(WaveFiles, PlainHeaderBytesForStereo) {
    const Bytes h = WaveMMIO::WaveHeaderBytes(44100, 16, 2, 0);
    const Bytes expected = PcmWav(2, 44100, 16, {});
    EXPECT_EQ(h, expected);
    const std::string path = Dir / "h.wav";
    WriteFile(path, Bytes(100, 0xAA)); // an older file of that name is replaced
    {
        Support::FileHandle handle = WaveMMIO::WriteWaveHeader(44100, 16, 2, path, 0);
        ASSERT_TRUE(handle);
        EXPECT_EQ(Support::FileSizeOfHandle(handle), 44);
    }
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(WaveFiles, ExtensibleHeaderBytesForSixChannels) {
    const Bytes h = WaveMMIO::WaveHeaderBytes(48000, 16, 6, 0);
    ASSERT_EQ(h.size(), 68u);
    EXPECT_EQ(Get32(h, 4), 60u);
    EXPECT_EQ(Get32(h, 16), 40u);
    EXPECT_EQ(GetS16(h, 20), -2);
    EXPECT_EQ(GetS16(h, 22), 6);
    EXPECT_EQ(Get32(h, 24), 48000u);
    EXPECT_EQ(Get32(h, 28), 576000u);
    EXPECT_EQ(GetS16(h, 32), 12);
    EXPECT_EQ(GetS16(h, 34), 16);
    EXPECT_EQ(GetS16(h, 36), 22);
    EXPECT_EQ(GetS16(h, 38), 16);
    EXPECT_EQ(Get32(h, 40), 0x3Fu);
    const Bytes guid(h.begin() + 44, h.begin() + 60);
    EXPECT_EQ(guid, (Bytes{0x01, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}));
    EXPECT_EQ(std::string(h.begin() + 60, h.begin() + 64), "data");
    EXPECT_EQ(Get32(WaveMMIO::WaveHeaderBytes(48000, 24, 8, 0), 40), 0xFFu);

    // What we write, we read back as the same mode.
    const std::string path = Dir / "s.wav";
    {
        Support::FileHandle handle = WaveMMIO::WriteWaveHeader(48000, 24, 8, path, 0);
        const Bytes frame(24 * 3, 1);
        ASSERT_EQ(Support::WriteFileAt(frame.data(), frame.size(), -1, handle, path), 1);
        ASSERT_EQ(WaveMMIO::FixWaveHeader(path, 0, 0, handle), 1);
    }
    const WaveInfo info = WaveMMIO::GetWaveInfo(path);
    EXPECT_EQ(info.Mode, 9);
    EXPECT_EQ(info.Frames, 3);
    EXPECT_EQ(info.FormatTag, -2);
}

TEST_F(WaveFiles, FixWaveHeaderBoundaries) {
    const std::string small = Write("43.wav", Bytes(43, 7));
    EXPECT_EQ(WaveMMIO::FixWaveHeader(small), 0);
    EXPECT_EQ(ReadFile(small), Bytes(43, 7));

    Bytes header = PcmWav(1, 8000, 8, {});
    header[4] = header[40] = 0x55;
    const std::string exact = Write("44.wav", header);
    EXPECT_EQ(WaveMMIO::FixWaveHeader(exact), 1);
    const Bytes fixed = ReadFile(exact);
    EXPECT_EQ(Get32(fixed, 4), 36u);
    EXPECT_EQ(Get32(fixed, 40), 0u);

    // Trailing bytes that are not sample data are left out of the data size.
    Bytes withTail = PcmWav(1, 8000, 8, Bytes(10, 128));
    withTail.insert(withTail.end(), 6, 0);
    const std::string tail = Write("tail.wav", withTail);
    EXPECT_EQ(WaveMMIO::FixWaveHeader(tail, 6, 0), 1);
    EXPECT_EQ(Get32(ReadFile(tail), 40), 10u);
    EXPECT_EQ(Get32(ReadFile(tail), 4), std::uint32_t(withTail.size() - 8));

    // No data chunk: the RIFF size is written, then 0.
    Bytes noData = Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 8)), Chunk("LIST", Bytes(20, 0))});
    noData[4] = 0;
    const std::string nd = Write("nodata.wav", noData);
    EXPECT_EQ(WaveMMIO::FixWaveHeader(nd), 0);
    EXPECT_EQ(Get32(ReadFile(nd), 4), std::uint32_t(noData.size() - 8));
    EXPECT_EQ(WaveMMIO::FixWaveHeader(nd, 0, 1), 1) << "riff-only needs no data chunk";

    // A data chunk before offset 36 is not one this program wrote.
    const std::string early = Write("early.wav", Riff({Chunk("data", Bytes(30, 0))}));
    EXPECT_EQ(WaveMMIO::FixWaveHeader(early), 0);

    // Above 4 GiB the sizes cannot be stored: nothing is written.
    const std::string big = Dir / "big.wav";
    WriteSparse(big, PcmWav(2, 44100, 16, {}), (4LL << 30) + 100);
    EXPECT_EQ(WaveMMIO::FixWaveHeader(big), 0);
    Bytes first(44);
    ASSERT_EQ(Support::ReadFileAt(first.data(), first.size(), big, 0), 1);
    EXPECT_EQ(first, PcmWav(2, 44100, 16, {}));
    EXPECT_EQ(WaveMMIO::FixWaveHeader(Dir / "missing.wav"), 0);
}

// --- 24-bit packing ---------------------------------------------------------------------------

TEST(Pack24, LimitsAndSignExtension) {
    Bytes out(3 * 5);
    const std::vector<std::int32_t> values{8388608, -8388609, 8388607, -8388608, -1};
    WaveMMIO::Pack24Mono(values, out);
    EXPECT_EQ(out, (Bytes{0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xFF, 0xFF,
                          0xFF}));
    std::vector<std::int32_t> back(5);
    WaveMMIO::Unpack24Mono(out, back);
    EXPECT_EQ(back, (std::vector<std::int32_t>{8388607, -8388608, 8388607, -8388608, -1}));

    const std::vector<SamplePair> pairs{{1, -2}, {-8388608, 0x123456}};
    Bytes stereo(12);
    WaveMMIO::Pack24Stereo(pairs, stereo);
    EXPECT_EQ(stereo, (Bytes{1, 0, 0, 0xFE, 0xFF, 0xFF, 0, 0, 0x80, 0x56, 0x34, 0x12}));
    std::vector<SamplePair> unpacked(2);
    WaveMMIO::Unpack24Stereo(stereo, unpacked);
    EXPECT_EQ(unpacked[0].Left, 1);
    EXPECT_EQ(unpacked[0].Right, -2);
    EXPECT_EQ(unpacked[1].Left, -8388608);
    EXPECT_EQ(unpacked[1].Right, 0x123456);
}

// --- Type words and lists ---------------------------------------------------------------------

TEST_F(WaveFiles, WaveFileTypeFromTagElseExtension) {
    EXPECT_EQ(WaveMMIO::WaveFileType(Write("a.WAV", PcmWav(1, 8000, 8, {128}))), "wav");
    EXPECT_EQ(WaveMMIO::WaveFileType(Write("b.wav", Riff({Chunk("fmt ", FmtBody(80, 2, 44100, 0))}))), "mp2");
    EXPECT_EQ(WaveMMIO::WaveFileType(Write("c.wav", Riff({Chunk("fmt ", FmtBody(353, 2, 44100, 16))}))),
              "wmariff");
    EXPECT_EQ(WaveMMIO::WaveFileType(Write("d.wav", Riff({Chunk("fmt ", FmtBody(352, 2, 44100, 16))}))),
              "wmariff");
    EXPECT_EQ(WaveMMIO::WaveFileType(Write("song.Mp3", Bytes{0xFF, 0xFB, 0x90, 0})), "mp3");
    EXPECT_EQ(WaveMMIO::WaveFileType(Write("float.wav", Riff({Chunk("fmt ", FmtBody(3, 2, 44100, 32))}))),
              "wav");
    EXPECT_EQ(WaveMMIO::WaveFileType(Dir / "noext"), "");
}

TEST(ComboLists, ModesAndRates) {
    ListComboBox combo;
    WaveMMIO::LoadModeToCombo(combo, 3, 5);
    EXPECT_EQ(combo.Items, (std::vector<std::string>{"Mono8bit", "Stereo8bit", "Mono16bit", "Stereo16bit",
                                                     "Mono24bit", "Stereo24bit"}));
    EXPECT_EQ(combo.Index, 3);
    WaveMMIO::LoadModeToCombo(combo, 9, 5);
    EXPECT_EQ(combo.Index, 0) << "a missing entry selects the first";
    WaveMMIO::LoadModeToCombo(combo, -1, 9);
    EXPECT_EQ(combo.Items.size(), 10u);
    EXPECT_EQ(combo.Index, -1);

    WaveMMIO::LoadFreqToCombo(combo, 22050, 16000, 48000);
    EXPECT_EQ(combo.Items, (std::vector<std::string>{"48000", "44100", "32000", "24000", "22050", "16000"}));
    EXPECT_EQ(combo.Index, 4);
    WaveMMIO::LoadFreqToCombo(combo, 12345, 0, 0);
    EXPECT_EQ(combo.Items.size(), 12u);
    EXPECT_EQ(combo.Items.front(), "192000");
    EXPECT_EQ(combo.Items.back(), "8000");
    EXPECT_EQ(combo.Index, -1);
}

TEST(ComboLists, DeviceSelection) {
    ListComboBox combo;
    const std::vector<std::string> devices{"Built-in Audio Analog Stereo", "USB Headset",
                                           std::string("HDMI Output\0junk", 16)};
    WaveMMIO::LoadDeviceNamesToCombo(combo, devices, "  usb headset ");
    EXPECT_EQ(combo.Index, 1);
    EXPECT_EQ(combo.Items[2], "HDMI Output");
    WaveMMIO::LoadDeviceNamesToCombo(combo, devices, "");
    EXPECT_EQ(combo.Index, -1);
    WaveMMIO::LoadDeviceNamesToCombo(combo, devices, "nothing like it");
    EXPECT_EQ(combo.Index, -1);
    WaveMMIO::LoadDeviceNamesToCombo(combo, {}, "USB Headset");
    EXPECT_EQ(combo.ListCount(), 0);
    // A machine without sound devices (as in CI) still gives a usable, empty or filled list.
    WaveMMIO::LoadWaveDevToCombo(combo, 0, "");
    EXPECT_GE(combo.ListCount(), 0);
}

TEST(ComboLists, SameDeviceNameToleratesNumbering) {
    EXPECT_TRUE(WaveMMIO::SameDeviceName("Speakers", "SPEAKERS"));
    EXPECT_TRUE(WaveMMIO::SameDeviceName("Speakers - 2 (Realtek)", "speakers  (realtek)"));
    EXPECT_TRUE(WaveMMIO::SameDeviceName("2- Speakers", "Speakers"));
    EXPECT_TRUE(WaveMMIO::SameDeviceName("1- Line In", "line in"));
    EXPECT_FALSE(WaveMMIO::SameDeviceName("USB Audio", "HDMI Audio"));
    EXPECT_FALSE(WaveMMIO::SameDeviceName("Line In", "Line Out"));
}

} // namespace
