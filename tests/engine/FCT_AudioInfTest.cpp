#include "engine/FCT_AudioInf.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

using namespace TestFiles;
using FCT_AudioInf::GetAudioInfo;

namespace {

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
    AudioInfo info = GetAudioInfo(stereo, 0, 1, 0);
    EXPECT_EQ(info.Ok, 1);
    EXPECT_EQ(info.Milliseconds, 1000);
    EXPECT_EQ(info.Text, "wav(44100Hz/16bit/Stereo)");
    EXPECT_EQ(GetAudioInfo(stereo, 0, 0, 0).Text, "wav(44.1kHz/16bit/St)");
    EXPECT_EQ(GetAudioInfo(Make("m.wav", PcmWav(1, 48000, 24, Bytes(3, 0))), 0, 0, 0).Text,
              "wav(48kHz/24bit/Mono)");
    const Bytes six = Riff({Chunk("fmt ", FmtBody(0xFFFE, 6, 48000, 24, 24)), Chunk("data", Bytes(18, 0))});
    EXPECT_EQ(GetAudioInfo(Make("s.wav", six), 0, 1, 0).Text, "wav(48000Hz/24bit/6ch)");
    EXPECT_EQ(GetAudioInfo(Make("t.wav", PcmWav(6, 22050, 16, {})), 0, 0, 1).Text, "wav(22.05kHz/16bit/6ch)");
    // Not one of the modes: the graph would be asked, which is forbidden here, so the type name shows.
    const AudioInfo odd = GetAudioInfo(Make("u.wav", PcmWav(6, 22050, 8, {})), 0, 0, 1);
    EXPECT_EQ(odd.Ok, 0);
    EXPECT_EQ(odd.Text, FCT_AudioInf::FileTypeName(Dir / "u.wav"));
}

TEST_F(AudioInf, MpegInsideWavAndMpegFiles) {
    Bytes frame(1000, 0);
    frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x64;
    const std::string mp3 = Make("a.mp3", frame);
    AudioInfo info = GetAudioInfo(mp3, 0, 1, 0);
    EXPECT_EQ(info.Ok, 1);
    EXPECT_EQ(info.Text, "mp3(44100Hz/128kbps/JointStereo)");
    EXPECT_EQ(info.Milliseconds, 62);
    EXPECT_EQ(GetAudioInfo(mp3, 0, 0, 0).Text, "mp3(44.1kHz/128kb/JS)");

    Bytes body = FmtBody(85, 2, 44100, 0);
    Bytes wav = Riff({Chunk("fmt ", body)});
    wav.insert(wav.end(), frame.begin(), frame.end());
    const AudioInfo inWav = GetAudioInfo(Make("mp3.wav", wav), 0, 1, 1);
    EXPECT_EQ(inWav.Text.rfind("mp3(", 0), 0u) << inWav.Text;
}

TEST_F(AudioInf, UnmeasuredTypesMissingFilesAndTheDetailedLayout) {
    for (const char* name : {"a.ogg", "a.mp4"}) {
        const AudioInfo info = GetAudioInfo(Make(name, Bytes(100, 7)), 0, 1, 0);
        EXPECT_EQ(info.Ok, 0) << name;
        EXPECT_EQ(info.Milliseconds, 0);
        EXPECT_EQ(info.Text, FCT_AudioInf::FileTypeName(Dir / name));
        EXPECT_FALSE(info.Text.empty());
    }
    const AudioInfo missing = GetAudioInfo(Dir / "none.wav", 1, 1, 0);
    EXPECT_EQ(missing.Ok, 0);
    EXPECT_EQ(missing.Text, "");

    const std::string wav = Make("d.wav", PcmWav(2, 44100, 16, Bytes(4 * 44100 * 2, 0)));
    EXPECT_EQ(GetAudioInfo(wav, 1, 1, 0).Text,
              wav + "\r\n" + FCT_AudioInf::FileTypeName(wav) + "\r\nwav(44100Hz/16bit/Stereo)\r\n000'02.000");
    // A graph type with the graph forbidden keeps what the readers found: nothing.
    const AudioInfo noGraph = GetAudioInfo(Make("a.m4a", Bytes(10, 0)), 0, 1, 1);
    EXPECT_EQ(noGraph.Ok, 0);
}

TEST_F(AudioInf, UnreadableGraphTypesStillCountWithoutLength) {
    const AudioInfo info = GetAudioInfo(Make("bad.m4a", Bytes(64, 3)), 0, 1, 0);
    EXPECT_EQ(info.Ok, 1);
    EXPECT_EQ(info.Milliseconds, 0);
    EXPECT_EQ(info.Text, FCT_AudioInf::FileTypeName(Dir / "bad.m4a"));
}

} // namespace
