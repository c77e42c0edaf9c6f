#include "engine/FCT_AudioInf.h"
#include "engine/C_FGraph.h"
#include "engine/WaveMMIO.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

using namespace TestFiles;
using FCT_AudioInf::FileTypeName;
using FCT_AudioInf::GetAudioInfo;

namespace {

// One MPEG-1 Layer III frame header: 128 kbit/s, 44100 Hz, joint stereo; 417 bytes a frame.
Bytes Mp3Frames(std::size_t pBytes) {
    Bytes b(pBytes, 0);
    for (std::size_t at = 0; at + 4 <= pBytes; at += 417)
        b[at] = 0xFF, b[at + 1] = 0xFB, b[at + 2] = 0x90, b[at + 3] = 0x64;
    return b;
}

class AudioInf : public ::testing::Test {
protected:
    TempDir Dir;
    std::string Make(const std::string& pName, const Bytes& pBytes) {
        WriteFile(Dir / pName, pBytes);
        return Dir / pName;
    }
};

TEST_F(AudioInf, PcmWavTextsInBothForms) {
    const std::string stereo = Make("a.wav", PcmWav(2, 44100, 16, Bytes(4 * 44100, 0)));
    const AudioInfo info = GetAudioInfo(stereo, 0, 1, 0);
    EXPECT_EQ(info.Ok, 1);
    EXPECT_EQ(info.Milliseconds, 1000);
    EXPECT_EQ(info.Text, "wav(44100Hz/16bit/Stereo)");
    EXPECT_EQ(GetAudioInfo(stereo, 0, 0, 0).Text, "wav(44.1kHz/16bit/St)");
    const std::string mono = Make("m.wav", PcmWav(1, 48000, 24, Bytes(3 * 24000, 0)));
    EXPECT_EQ(GetAudioInfo(mono, 0, 0, 0).Text, "wav(48kHz/24bit/Mono)");
    EXPECT_EQ(GetAudioInfo(mono, 0, 1, 0).Text, "wav(48000Hz/24bit/Mono)");
    EXPECT_EQ(GetAudioInfo(mono, 0, 1, 0).Milliseconds, 500);

    // Extensible header (tag 0xFFFE): other channel counts are written as "n" + "ch".
    const Bytes six =
        Riff({Chunk("fmt ", FmtBody(0xFFFE, 6, 48000, 24, 24)), Chunk("data", Bytes(18 * 480, 0))});
    const AudioInfo sixInfo = GetAudioInfo(Make("s.wav", six), 0, 1, 0);
    EXPECT_EQ(sixInfo.Ok, 1);
    EXPECT_EQ(sixInfo.Text, "wav(48000Hz/24bit/6ch)");
    EXPECT_EQ(sixInfo.Milliseconds, 10);
    EXPECT_EQ(GetAudioInfo(Make("t.wav", PcmWav(6, 22050, 16, {})), 0, 0, 1).Text, "wav(22.05kHz/16bit/6ch)");
}

TEST_F(AudioInf, MpegFilesAndMpegInsideWav) {
    const Bytes frames = Mp3Frames(417 * 10);
    const std::string mp3 = Make("a.mp3", frames);
    const AudioInfo info = GetAudioInfo(mp3, 0, 1, 1);
    EXPECT_EQ(info.Ok, 1);
    EXPECT_EQ(info.Text, "mp3(44100Hz/128kbps/JointStereo)") << "the reader's padded text, trimmed";
    EXPECT_EQ(info.Milliseconds, 261);
    EXPECT_EQ(GetAudioInfo(mp3, 0, 0, 1).Text, "mp3(44.1kHz/128kb/JS)");

    // Tag 85 in a WAV file: described by the MPEG reader, never as "wav(...)".
    const Bytes wav = Riff({Chunk("fmt ", FmtBody(85, 2, 44100, 0, 14)), Chunk("data", frames)});
    const std::string inWav = Make("mp3.wav", wav);
    const AudioInfo wrapped = GetAudioInfo(inWav, 0, 1, 1);
    EXPECT_EQ(wrapped.Ok, 1);
    EXPECT_EQ(wrapped.Text, "mp3(44100Hz/128kbps/JointStereo)");
    EXPECT_GT(wrapped.Milliseconds, 0);
    EXPECT_EQ(GetAudioInfo(inWav, 0, 0, 1).Text, "mp3(44.1kHz/128kb/JS)");
}

TEST_F(AudioInf, UnmeasuredTypesAndMissingFiles) {
    for (const char* name : {"a.ogg", "a.mp4"}) {
        SCOPED_TRACE(name);
        const std::string path = Make(name, Bytes(100, 7));
        const AudioInfo info = GetAudioInfo(path, 0, 1, 0);
        EXPECT_EQ(info.Ok, 0);
        EXPECT_EQ(info.Milliseconds, 0);
        EXPECT_FALSE(info.Text.empty());
        EXPECT_EQ(info.Text, FileTypeName(path));
        // Nothing measured: the detailed text has no description line and a zero length.
        EXPECT_EQ(GetAudioInfo(path, 1, 1, 0).Text, path + "\r\n" + info.Text + "\r\n000'00.000");
    }
    for (int detailed : {0, 1}) {
        const AudioInfo missing = GetAudioInfo(Dir / "none.wav", detailed, 1, 0);
        EXPECT_EQ(missing.Ok, 0);
        EXPECT_EQ(missing.Milliseconds, 0);
        EXPECT_EQ(missing.Text, "");
    }
    // A missing file still has the type its name suggests, the same as an existing one.
    const std::string wav = Make("b.wav", PcmWav(1, 8000, 8, Bytes(80, 0x80)));
    EXPECT_FALSE(FileTypeName(Dir / "none.wav").empty());
    EXPECT_EQ(FileTypeName(Dir / "none.wav"), FileTypeName(wav));
    EXPECT_NE(FileTypeName(wav), FileTypeName(Dir / "a.ogg"));
}

TEST_F(AudioInf, DetailedLayout) {
    const std::string wav = Make("d.wav", PcmWav(2, 44100, 16, Bytes(4 * 44100 * 2 + 4 * 441 * 5, 0)));
    const std::string type = FileTypeName(wav);
    EXPECT_EQ(GetAudioInfo(wav, 1, 1, 0).Text,
              wav + "\r\n" + type + "\r\nwav(44100Hz/16bit/Stereo)\r\n000'02.050");
    EXPECT_EQ(GetAudioInfo(wav, 1, 0, 0).Text,
              wav + "\r\n" + type + "\r\nwav(44.1kHz/16bit/St)\r\n000'02.050");
    // Only 1 asks for the detailed layout.
    EXPECT_EQ(GetAudioInfo(wav, 2, 1, 0).Text, "wav(44100Hz/16bit/Stereo)");
}

TEST_F(AudioInf, NoGraphKeepsWhatTheReadersFound) {
    // A graph type, an unreadable WAV mode and an MPEG name without frames: with the graph
    // forbidden, nothing is measured and the type name shows.
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, Bytes>>{
             {"a.m4a", Bytes(64, 3)}, {"u.wav", PcmWav(6, 22050, 8, {})}, {"n.mp3", Bytes(2000, 0)}}) {
        SCOPED_TRACE(name);
        const std::string path = Make(name, bytes);
        const AudioInfo info = GetAudioInfo(path, 0, 1, 1);
        EXPECT_EQ(info.Ok, 0);
        EXPECT_EQ(info.Milliseconds, 0);
        EXPECT_EQ(info.Text, FileTypeName(path));
    }
}

TEST_F(AudioInf, UnreadableFilesFallBackToTheGraph) {
    // The graph cannot load any of these, yet they count as measured with no length.
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, Bytes>>{
             {"bad.m4a", Bytes(64, 3)}, {"junk.wav", Bytes(64, 3)}, {"n.mp3", Bytes(2000, 0)}}) {
        SCOPED_TRACE(name);
        const std::string path = Make(name, bytes);
        const AudioInfo info = GetAudioInfo(path, 0, 1, 0);
        EXPECT_EQ(info.Ok, 1);
        EXPECT_EQ(info.Milliseconds, 0);
        EXPECT_EQ(info.Text, FileTypeName(path));
        // The graph's description is the type name, so it shows twice in the detailed text.
        EXPECT_EQ(GetAudioInfo(path, 1, 1, 0).Text,
                  path + "\r\n" + info.Text + "\r\n" + info.Text + "\r\n000'00.000");
    }
}

TEST_F(AudioInf, HostileHeadersGiveTheLengthPresentAndNeverStallTheList) {
    // A streaming recorder's data size (0xFFFFFFFF) over one second: the record keeps what it
    // read, the list shows the second that is there.
    Bytes stream = PcmWav(1, 8000, 8, Bytes(8000, 0x80));
    stream[40] = stream[41] = stream[42] = stream[43] = 0xFF;
    const std::string streamed = Make("stream.wav", stream);
    EXPECT_EQ(WaveMMIO::GetWaveInfo(streamed).DataSize, 0xFFFFFFFFLL);
    EXPECT_GT(WaveMMIO::GetWaveInfo(streamed).Milliseconds, 3600000) << "hours, as the header says";
    EXPECT_EQ(GetAudioInfo(streamed, 0, 1, 0).Milliseconds, 1000);

    // A rate field of 0xFD00BB80: the graph makes no progress and is given up within 2 s; the row
    // then shows what a graph that cannot be built gives.
    Bytes corrupt = PcmWav(2, 44100, 16, Bytes(17640, 0));
    corrupt[24] = 0x80, corrupt[25] = 0xBB, corrupt[26] = 0x00, corrupt[27] = 0xFD;
    const std::string bad = Make("corrupt.wav", corrupt);
    // Timed once the runtime has started: a first graph also loads the media framework.
    (void)GetAudioInfo(Make("junk.wav", Bytes(64, 3)), 0, 1, 0);
    const auto start = std::chrono::steady_clock::now();
    const AudioInfo info = GetAudioInfo(bad, 0, 1, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(info.Ok, 1);
    EXPECT_EQ(info.Milliseconds, 0);
    EXPECT_EQ(info.Text, FileTypeName(bad));
}

// Files only GStreamer can write; measured through the media graph.
class AudioInfGraph : public AudioInf {
protected:
    bool Launch(const std::string& pPipeline, const std::string& pPath) {
        const std::string command = "gst-launch-1.0 -q audiotestsrc num-buffers=43 samplesperbuffer=1024 ! "
                                    "audio/x-raw,rate=44100,channels=2,format=S16LE ! audioconvert ! " +
                                    pPipeline + " ! filesink location='" + pPath + "' >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 && std::filesystem::exists(pPath);
    }
    static std::int32_t GraphLength(const std::string& pPath) {
        C_FGraph player;
        player.Init();
        player.FileName(pPath);
        const std::int32_t length = player.Length();
        player.CloseWave();
        return length;
    }
};

// 43 * 1024 frames at 44100 Hz: 998 ms, plus what the encoders add at the ends.
constexpr int kToneMs = 998;

TEST_F(AudioInfGraph, GraphTypesAndUnreadableWavAreMeasuredByTheGraph) {
    if (std::system("gst-launch-1.0 --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no gst-launch-1.0";
    const std::string m4a = Dir / "a.m4a";
    ASSERT_TRUE(Launch("avenc_aac ! mp4mux", m4a));
    if (GraphLength(m4a) == 0) GTEST_SKIP() << "the media graph cannot measure files yet";

    // Float samples (tag 3) are not one of the WAV reader's modes.
    const std::string floatWav = Dir / "f.wav";
    ASSERT_TRUE(Launch("audio/x-raw,format=F32LE ! wavenc", floatWav));
    const std::string aiff = Dir / "a.aiff";
    ASSERT_TRUE(Launch("aiffmux", aiff));
    // Raw ADTS carries no length: its parser reads it through (the encoder adds a frame or two).
    const std::string aac = Dir / "a.aac";
    ASSERT_TRUE(Launch("avenc_aac ! aacparse ! audio/mpeg,stream-format=adts", aac));
    for (const std::string& path : {m4a, floatWav, aiff, aac}) {
        SCOPED_TRACE(path);
        const AudioInfo info = GetAudioInfo(path, 0, 1, 0);
        EXPECT_EQ(info.Ok, 1);
        EXPECT_NEAR(info.Milliseconds, kToneMs, path == aac ? 100 : 60);
        EXPECT_EQ(info.Text, FileTypeName(path));
        EXPECT_EQ(info.Text.find("wav("), std::string::npos);
        const AudioInfo forbidden = GetAudioInfo(path, 0, 1, 1);
        EXPECT_EQ(forbidden.Ok, 0);
        EXPECT_EQ(forbidden.Milliseconds, 0);
    }
    // The same file renamed to a type outside the lists is not measured at all.
    const std::string mp4 = Dir / "a.mp4";
    std::filesystem::copy_file(m4a, mp4);
    EXPECT_EQ(GetAudioInfo(mp4, 0, 1, 0).Ok, 0);
    EXPECT_EQ(GetAudioInfo(mp4, 0, 1, 0).Milliseconds, 0);
}

} // namespace
