#include "engine/C_ConvWaveHQ.h"
#include "engine/FCT_mpeg.h"
#include "engine/WaveMMIO.h"
#include "tests/app/AppTestFiles.h"
#include "tests/app/CliRunner.h"
#include "tests/common/Id3Bytes.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace TestFiles;

namespace {

class Cli : public ::testing::Test {
protected:
    TempDir Dir;
    std::string Make(const std::string& pName, const Bytes& pBytes) {
        const std::string path = Dir / pName;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, pBytes);
        return path;
    }
    std::string Folder(const std::string& pName) {
        std::filesystem::create_directories(Dir / pName);
        return Dir / pName;
    }
};

bool Contains(const std::string& pText, const std::string& pPart) {
    return pText.find(pPart) != std::string::npos;
}

TEST_F(Cli, ConvertsIntoTheOutputFolderAndNeverReplaces) {
    const std::string src = Make("in/song.wav", PcmWav(2, 44100, 16, Samples16(Noise16(2 * 4410, 1))));
    const Bytes original = ReadFile(src);
    const std::string out = Folder("out");
    Finished r = RunCli(Dir, {src, "--rate", "22050", "--mode", "Mono8bit", "--out", out});
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    EXPECT_TRUE(Contains(r.Output, "converted  " + src + " -> " + out + "/song.wav")) << r.Output;
    WaveInfo info = WaveMMIO::GetWaveInfo(out + "/song.wav");
    EXPECT_EQ(info.Valid, 1);
    EXPECT_EQ(info.SamplesPerSec, 22050);
    EXPECT_EQ(info.Mode, 0);
    EXPECT_EQ(info.Frames, 2206) << "2205 frames padded to an even size";

    // Again: a numbered name, the first output untouched, no temporary left over.
    const Bytes first = ReadFile(out + "/song.wav");
    WriteFile(out + "/song01.wav", Bytes{1, 2, 3});
    r = RunCli(Dir, {src, "--rate", "22050", "--mode", "0", "--out", out});
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    EXPECT_EQ(ReadFile(out + "/song.wav"), first);
    EXPECT_EQ(ReadFile(out + "/song01.wav"), (Bytes{1, 2, 3}));
    EXPECT_EQ(ReadFile(out + "/song02.wav"), first);
    EXPECT_EQ(std::filesystem::directory_iterator(out) != std::filesystem::directory_iterator(), true);
    for (const auto& e : std::filesystem::directory_iterator(out))
        EXPECT_FALSE(Contains(e.path().filename().string(), "~conv")) << e.path();
    EXPECT_EQ(ReadFile(src), original);
}

TEST_F(Cli, OutputGoesBesideTheSourceByDefaultAndRelativePathsWork) {
    Make("a.wav", PcmWav(1, 8000, 8, Bytes(800, 128)));
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(Dir.Path());
    const Finished r = RunCli(Dir, {"a.wav", "--rate", "16000", "--mode", "stereo16BIT"});
    std::filesystem::current_path(cwd);
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    const WaveInfo info = WaveMMIO::GetWaveInfo(Dir / "a01.wav");
    EXPECT_EQ(info.Valid, 1);
    EXPECT_EQ(info.Frames, 1600);
    EXPECT_EQ(info.Mode, 3);
}

TEST_F(Cli, FilesAlreadyInTheTargetFormatWriteNothing) {
    const std::string src = Make("same.wav", PcmWav(2, 48000, 24, Bytes(600, 0)));
    const Finished r = RunCli(Dir, {src, "--rate", "48000", "--mode", "Stereo24bit", "--out", Folder("o")});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(Contains(r.Output, "unchanged  " + src)) << r.Output;
    EXPECT_TRUE(std::filesystem::is_empty(Dir / "o"));
}

TEST_F(Cli, FailedFilesAreReportedAndTheRestStillConverted) {
    const std::string bad = Make("bad.wav", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v'});
    const std::string mp3 =
        Make("x.wav", Riff({Chunk("fmt ", FmtBody(85, 2, 44100, 0)), Chunk("data", {1, 2})}));
    const std::string good = Make("good.wav", PcmWav(1, 8000, 16, Samples16({1, 2, 3, 4})));
    const std::string out = Folder("o");
    const Finished r = RunCli(
        Dir, {bad, Dir / "missing.wav", mp3, good, "--rate", "8000", "--mode", "Mono8bit", "--out", out});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Contains(r.Output, "failed     " + bad + "  (cannot decode)")) << r.Output;
    EXPECT_TRUE(Contains(r.Output, "failed     " + Dir / "missing.wav" + "  (file not found)")) << r.Output;
    EXPECT_TRUE(Contains(r.Output, "failed     " + mp3)) << r.Output;
    EXPECT_TRUE(Contains(r.Output, "1 converted, 0 unchanged, 3 failed\n  failed: " + bad +
                                       "  (cannot decode)\n  failed: " + Dir / "missing.wav" +
                                       "  (file not found)\n  failed: " + mp3))
        << r.Output;
    EXPECT_EQ(WaveMMIO::GetWaveInfo(out + "/good.wav").Valid, 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()),
              1);
}

TEST_F(Cli, FormatsNothingReadsSaySoAndChannelsWithoutPlacesConvertQuietly) {
    // Core Audio: a header GStreamer recognises and nothing installed here reads.
    Bytes caf{'c', 'a', 'f', 'f', 0,    1,    0,    0,   'd', 'e', 's', 'c', 0,   0,   0,    0,
              0,   0,   0,   32,  0x40, 0xBF, 0x40, 0,   0,   0,   0,   0,   'l', 'p', 'c',  'm',
              0,   0,   0,   2,   0,    0,    0,    2,   0,   0,   0,   1,   0,   0,   0,    1,
              0,   0,   0,   16,  'd',  'a',  't',  'a', 0,   0,   0,   0,   0,   0,   0x03, 0xEC};
    caf.resize(caf.size() + 1000, 0);
    const std::string unread = Make("a.caf", caf);
    const std::string three =
        Make("three.wav", PcmWav(3, 8000, 16, Samples16(std::vector<int>(3 * 800, 500))));
    const Finished r =
        RunCli(Dir, {unread, three, "--rate", "8000", "--mode", "Stereo16bit", "--out", Folder("o")});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Contains(r.Output, "failed     " + unread +
                                       "  (cannot decode: nothing installed here reads this format)"))
        << r.Output;
    EXPECT_TRUE(Contains(r.Output, "converted  " + three)) << r.Output;
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Dir / "o/three.wav").Frames, 800);
    EXPECT_FALSE(Contains(r.Errors, "WARNING")) << r.Errors;
}

TEST_F(Cli, TheSavedJobsSettingIsTheDefaultNumberOfFilesAtOnce) {
    for (const auto& [stored, shown] : {std::pair{"3", "here 3"}, std::pair{"1", "here 1"}}) {
        const std::string line = std::string("[Software\\hesterby\\tolvane]\nJobs=") + stored + "\n";
        Make("config/hesterby/tolvane.conf", Bytes(line.begin(), line.end()));
        const Finished r = RunCli(Dir, {"--help"});
        EXPECT_EQ(r.ExitCode, 0);
        EXPECT_TRUE(Contains(r.Output, shown)) << r.Output;
    }
}

TEST_F(Cli, BadOptionsAreRefusedBeforeAnythingIsWritten) {
    const std::string src = Make("a.wav", PcmWav(1, 8000, 8, Bytes(8, 128)));
    EXPECT_EQ(RunCli(Dir, {src, "--rate", "12345"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--mode", "Surround 5.1 16bit"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--mode", "6"}).ExitCode, 2);
    // Usage errors CLI11 itself finds (no file, an unknown option) end with 2 as well; help with 0.
    EXPECT_EQ(RunCli(Dir, {}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--bogus"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {"--help"}).ExitCode, 0);
    EXPECT_EQ(RunCli(Dir, {src, "--mp3", "128", "--mp2", "192"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--mp3", "128", "--wav"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--dither", "--no-dither"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--high-quality", "--no-high-quality"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--decode-only", "--mp3", "128"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--mp2", "100"}).ExitCode, 2);
    for (const char* jobs : {"0", "-1", "two"})
        EXPECT_EQ(RunCli(Dir, {src, "--jobs", jobs}).ExitCode, 2) << jobs;
    const Finished mode = RunCli(Dir, {src, "--mp2", "192", "--mp2-mode", "Quad"});
    EXPECT_EQ(mode.ExitCode, 2);
    EXPECT_TRUE(Contains(mode.Errors, "--mp2-mode must be one of Stereo, JointStereo, Mono, DualMono"))
        << mode.Errors;
    EXPECT_EQ(Dir.List(), (std::vector<std::string>{"a.wav"}));
}

TEST_F(Cli, InterruptStopsEveryFileInHandLikeTheStopButton) {
    // Long enough to be caught in the middle, also on a loaded machine: 6 minutes at 44.1 kHz to
    // 96 kHz 24-bit stereo (3 minutes converted before the interrupt once in a while).
    const Bytes longWav = PcmWav(2, 44100, 16, Bytes(std::size_t(4 * 44100 * 360), 1));
    for (const int jobs : {1, 2}) {
        SCOPED_TRACE(jobs);
        std::vector<std::string> args;
        for (int i = 0; i < jobs; ++i)
            args.push_back(Make("long" + std::to_string(i) + ".wav", longWav));
        const std::string next = Make("next.wav", PcmWav(1, 8000, 8, Bytes(80, 128)));
        const std::string out = Folder("o" + std::to_string(jobs));
        args.insert(args.end(), {next, "--rate", "96000", "--mode", "Stereo24bit", "--out", out, "--jobs",
                                 std::to_string(jobs)});
        CliRun run(Dir, args);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        const auto inHand = [&] {
            int n = 0;
            for (const auto& e : std::filesystem::directory_iterator(out))
                n += e.path().filename().string().starts_with("~conv") ? 1 : 0;
            return n;
        };
        while (inHand() < jobs && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const bool caught = inHand() >= jobs;
        run.Signal(SIGINT);
        const Finished r = run.Wait();
        ASSERT_TRUE(caught) << "every file was to be in hand at the interrupt";
        EXPECT_EQ(r.ExitCode, 130) << r.Output;
        for (int i = 0; i < jobs; ++i)
            EXPECT_TRUE(Contains(r.Output, "stopped    " + args[std::size_t(i)])) << r.Output;
        EXPECT_FALSE(Contains(r.Output, next)) << "no file after the stop is started";
        EXPECT_TRUE(Contains(r.Output, "0 converted, 0 unchanged, 0 failed, stopped (1 not started)"))
            << r.Output;
        EXPECT_TRUE(std::filesystem::is_empty(out));
    }
}

// Several files at once make the same files, bytes and names as one after the other: a row that
// wants a name an earlier row also wants waits for it, and rows that write nothing take no name.
TEST_F(Cli, ParallelRunsMakeWhatASerialRunMakes) {
    const std::vector<std::pair<std::string, Bytes>> sources{
        {"a/song.wav", AppTestFiles::ToneWav(2, 44100, 30)},      // long: finishes last
        {"b/song.wav", AppTestFiles::ToneWav(2, 22050, 0.2)},     // unchanged
        {"c/song.mp3", Bytes(3000, 0x55)},                        // not MPEG audio
        {"d/song.wav", AppTestFiles::ToneWav(1, 8000, 0.3)},      // song01.wav
        {"e/song01.wav", AppTestFiles::ToneWav(1, 11025, 0.3)},   // song0101.wav
        {"f/song.wav", PcmWav(2, 48000, 24, Bytes(6 * 4800, 0))}, // song02.wav
    };
    std::vector<std::string> files;
    for (const auto& [name, bytes] : sources)
        files.push_back(Make("in/" + name, bytes));
    Folder("in/g");
    ASSERT_TRUE(AppTestFiles::MakeMp3(Dir / "in/g/song.mp3", 1.0, true)); // stripped, decoded: song03.wav
    files.push_back(Dir / "in/g/song.mp3");

    // MP3 as well: the encoders of the workers share LAME's process-wide tables.
    for (const bool mp3 : {false, true}) {
        std::map<std::string, Bytes> serial;
        std::string serialReport;
        for (const int jobs : {1, 2, 3}) {
            SCOPED_TRACE(std::string(mp3 ? "MP3, " : "WAV, ") + std::to_string(jobs) + " jobs");
            const std::string out = Folder(std::string(mp3 ? "mp3-" : "wav-") + std::to_string(jobs));
            std::vector<std::string> args = files;
            args.insert(args.end(), {"--rate", "22050", "--mode", "Stereo16bit", "--out", out, "--jobs",
                                     std::to_string(jobs)});
            const std::vector<std::string> format =
                mp3 ? std::vector<std::string>{"--mp3", "64"} : std::vector<std::string>{"--wav"};
            args.insert(args.end(), format.begin(), format.end());
            const Finished r = RunCli(Dir, args);
            EXPECT_EQ(r.ExitCode, 1) << r.Output << r.Errors;
            std::map<std::string, Bytes> made;
            for (const auto& e : std::filesystem::directory_iterator(out))
                made[e.path().filename().string()] = ReadFile(e.path().string());
            std::string report = r.Output;
            for (std::size_t at; (at = report.find(out)) != std::string::npos;)
                report.replace(at, out.size(), "OUT");
            // Each step is a whole line of its own: an action, two spaces, a path.
            std::istringstream steps(r.Errors);
            for (std::string line; std::getline(steps, line);)
                EXPECT_TRUE(Contains(line, "  " + Dir.Path())) << line;
            if (jobs > 1) {
                EXPECT_EQ(made, serial);
                EXPECT_EQ(report, serialReport);
                continue;
            }
            serial = made;
            serialReport = report;
            if (mp3) continue;
            std::vector<std::string> names;
            for (const auto& [name, bytes] : made)
                names.push_back(name);
            EXPECT_EQ(names, (std::vector<std::string>{"song.wav", "song01.wav", "song0101.wav", "song02.wav",
                                                       "song03.wav"}));
            EXPECT_TRUE(Contains(report, "converted  " + files[0] + " -> OUT/song.wav  (WAV)\nunchanged  " +
                                             files[1]))
                << report;
        }
    }
}

TEST_F(Cli, InfoPrintsEveryFieldTheReadersFill) {
    const std::string wav = Make("a.wav", PcmWav(2, 48000, 16, Samples16({1, 2, 3, 4})));
    // One MPEG-1 Layer III frame header, 128 kbit/s, 44100 Hz, joint stereo, in a 1000-byte file.
    Bytes mp3(1000, 0);
    mp3[0] = 0xFF, mp3[1] = 0xFB, mp3[2] = 0x90, mp3[3] = 0x64;
    const std::string mpeg = Make("b.mp3", mp3);
    const Finished r = RunCli(Dir, {"--info", wav, mpeg});
    EXPECT_EQ(r.ExitCode, 0);
    const std::string first = r.Output.substr(0, r.Output.find("\n\n") + 2);
    const std::vector<std::string> expected{"File=" + wav,
                                            "WaveInfo.Valid=1",
                                            "WaveInfo.Frames=2",
                                            "WaveInfo.SamplesPerSec=48000",
                                            "WaveInfo.BitsPerSample=16",
                                            "WaveInfo.Channels=2",
                                            "WaveInfo.BlockAlign=4",
                                            "WaveInfo.DataOffset=44",
                                            "WaveInfo.DataSize=8",
                                            "WaveInfo.FileSize=52",
                                            "WaveInfo.Mode=3",
                                            "WaveInfo.Milliseconds=0",
                                            "WaveInfo.FormatTag=1",
                                            "MpegInfo.Result=0",
                                            "MpegInfo.AudioStart=1"};
    std::string lines;
    for (const auto& line : expected)
        lines += line + "\n";
    EXPECT_EQ(first.substr(0, lines.size()), lines);
    EXPECT_TRUE(Contains(first, "\nMpegInfo.HeaderBytes=000000\nWaveFileType=wav\nAudioInfo.Ok=1\n"
                                "AudioInfo.Milliseconds=0\nAudioInfo.Text=wav(48000Hz/16bit/Stereo)\n"
                                "Length=000'00.000\n\n"))
        << first;

    const std::string second = r.Output.substr(first.size());
    for (const std::string& line :
         {"File=" + mpeg, std::string("WaveInfo.Valid=0"), std::string("MpegInfo.Result=1"),
          std::string("MpegInfo.AudioBytes=1000"), std::string("MpegInfo.Milliseconds=62"),
          std::string("MpegInfo.ResyncBytes=1254"), std::string("MpegInfo.ShortText=mp3(44.1kHz/128kb/JS)"),
          std::string("MpegInfo.LongText=mp3(44100Hz/128kbps/JointStereo)"),
          std::string("MpegInfo.HeaderBytes=FB9064"), std::string("WaveFileType=mp3"),
          std::string("AudioInfo.Text=mp3(44100Hz/128kbps/JointStereo)"), std::string("Length=000'00.062")})
        EXPECT_TRUE(Contains(second, line + "\n")) << line << "\n" << second;
    EXPECT_EQ(std::count(r.Output.begin(), r.Output.end(), '='), 2 * (1 + 12 + 1 + 17 + 1 + 4));
}

TEST_F(Cli, TagsAreShownByInfoAndCopiedUnlessNoTagsIsGiven) {
    ASSERT_TRUE(AppTestFiles::MakeMp3(Dir / "plain.mp3", 0.5, false));
    Bytes bytes = Id3Bytes::ShiftJisTag(Id3Bytes::FakeJpeg(2000));
    const Bytes plain = ReadFile(Dir / "plain.mp3");
    bytes.insert(bytes.end(), plain.begin(), plain.end());
    const std::string src = Make("in/song.mp3", bytes);

    const Finished info = RunCli(Dir, {"--info", src});
    EXPECT_EQ(info.ExitCode, 0);
    for (const std::string line :
         {"Tag.Title=夏の海辺で", "Tag.Artist=アーティストA/アーティストB", "Tag.Album=ピアノ練習曲 第3番",
          "Tag.Track=3/12", "Tag.Date=2019-05-04", "Tag.MOOD=静か", "Tag.Picture=image/jpeg 2000 bytes"})
        EXPECT_TRUE(Contains(info.Output, "\n" + line + "\n")) << line << "\n" << info.Output;

    EXPECT_EQ(RunCli(Dir, {src, "--mp3", "128", "--tags", "--no-tags"}).ExitCode, 2);
    const std::vector<std::string> common{src,           "--rate", "44100", "--mode",
                                          "Stereo16bit", "--mp3",  "128",   "--out"};
    std::vector<std::string> bare = common;
    bare.insert(bare.end(), {Folder("bare"), "--no-tags"});
    Finished r = RunCli(Dir, bare);
    EXPECT_EQ(r.ExitCode, 0) << r.Output << r.Errors;
    EXPECT_TRUE(Contains(r.Output, "(MP3 128 kbit/s)\n")) << r.Output;
    EXPECT_EQ(ReadFile(Dir / "bare/song.mp3").at(0), 0xFF);
    std::vector<std::string> tagged = common;
    tagged.insert(tagged.end(), {Folder("tagged"), "--tags"});
    r = RunCli(Dir, tagged);
    EXPECT_EQ(r.ExitCode, 0) << r.Output << r.Errors;
    EXPECT_TRUE(Contains(r.Output, "(MP3 128 kbit/s, tags copied)\n")) << r.Output;
    const Bytes out = ReadFile(Dir / "tagged/song.mp3");
    EXPECT_EQ(std::string(out.begin(), out.begin() + 3), "ID3");
}

TEST_F(Cli, EncodesToMp3AtLegalBitRatesOnly) {
    std::vector<int> tone;
    for (int i = 0; i < 22050; ++i)
        tone.push_back(int(8000 * std::sin(i * 0.0627)));
    const std::string src = Make("t.wav", PcmWav(1, 22050, 16, Samples16(tone)));
    const std::string out = Folder("o");
    Finished r = RunCli(Dir, {src, "--rate", "22050", "--mode", "Mono16bit", "--mp3", "64", "--out", out});
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    EXPECT_TRUE(Contains(r.Output, "-> " + out + "/t.mp3")) << r.Output;
    MpegInfo info;
    EXPECT_EQ(FCT_mpeg::ReadMpegInfo(out + "/t.mp3", info, 0), 1);
    EXPECT_EQ(info.SampleRate, 22050);
    EXPECT_EQ(info.BitRate, 64);
    EXPECT_EQ(Dir.List(), (std::vector<std::string>{"o", "t.wav"}));
    // 320 kbit/s is not an MPEG-2 rate, and 8-bit audio is never encoded.
    EXPECT_EQ(RunCli(Dir, {src, "--rate", "22050", "--mode", "Mono16bit", "--mp3", "320"}).ExitCode, 2);
    EXPECT_EQ(RunCli(Dir, {src, "--rate", "22050", "--mode", "Mono8bit", "--mp3", "64"}).ExitCode, 2);
}

TEST_F(Cli, SavedSettingsAreTheDefaultsAndAreNeverWritten) {
    std::vector<int> tone;
    for (int i = 0; i < 8000; ++i)
        tone.push_back(int(8000 * std::sin(i * 0.3)));
    const std::string src = Make("in/t.wav", PcmWav(1, 8000, 16, Samples16(tone)));
    const std::string out = Folder("saved-out");
    const std::string store = Dir / "config/hesterby/tolvane.conf";
    const std::string text = "[Software\\hesterby\\tolvane]\nTargetFreq=16000\nTargetMode=2\nUseDither="
                             "0\nEncmp3=1\nmp3BitRate=32\n"
                             "SoundPath=" +
                             out + "\n";
    Make("config/hesterby/tolvane.conf", Bytes(text.begin(), text.end()));

    Finished r = RunCli(Dir, {src});
    EXPECT_EQ(r.ExitCode, 0) << r.Output << r.Errors;
    MpegInfo info;
    ASSERT_EQ(FCT_mpeg::ReadMpegInfo(out + "/t.mp3", info, 0), 1) << r.Output;
    EXPECT_EQ(info.SampleRate, 16000);
    EXPECT_EQ(info.BitRate, 32);
    EXPECT_EQ(info.Channels, 1);

    // Options win over the settings; the saved MP3 choice needs a 16-bit mode, like the window.
    r = RunCli(Dir, {src, "--mode", "Mono8bit"});
    EXPECT_EQ(r.ExitCode, 0) << r.Output << r.Errors;
    EXPECT_EQ(WaveMMIO::GetWaveInfo(out + "/t.wav").Mode, 0);
    r = RunCli(Dir, {src, "--wav", "--out", ""});
    EXPECT_EQ(r.ExitCode, 0) << r.Output << r.Errors;
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Dir / "in/t01.wav").SamplesPerSec, 16000);
    const Bytes after = ReadFile(store);
    EXPECT_EQ(std::string(after.begin(), after.end()), text);
}

// Each run's output against the engine's own conversion of the same source: the flag (or the saved
// setting) chooses the converter, and the dither switch reaches it.
TEST_F(Cli, HighQualityChoosesTheFilteringConverter) {
    const std::string src = Make("in/n.wav", PcmWav(2, 44100, 24, Samples24(Noise16(2 * 22050, 4))));
    auto engine = [&](C_ConvWave& pConverter, int pFlg) {
        pConverter.BlockPause(0);
        EXPECT_EQ(pConverter.ConvWave(src, Dir / "direct.wav", 48000, 16, 2, pFlg, 0), 1);
        const Bytes bytes = ReadFile(Dir / "direct.wav");
        std::filesystem::remove(Dir / "direct.wav");
        return bytes;
    };
    C_ConvWaveHQ hq;
    C_ConvWave exact;
    const Bytes hqDithered = engine(hq, 1);
    const Bytes hqRounded = engine(hq, 0);
    const Bytes exactLinear = engine(exact, 1);
    ASSERT_NE(hqDithered, hqRounded);
    ASSERT_NE(hqDithered, exactLinear);
    const struct {
        std::vector<std::string> Options;
        std::string Saved;
        const Bytes& Expected;
    } cases[] = {
        {{"--high-quality", "--dither"}, "", hqDithered},
        {{"--high-quality", "--no-dither"}, "", hqRounded},
        {{"--dither"}, "", exactLinear},
        {{"--dither"}, "HighQuality=1\n", hqDithered},
        {{"--no-high-quality", "--dither"}, "HighQuality=1\n", exactLinear},
    };
    for (const auto& k : cases) {
        const std::string store = "[Software\\hesterby\\tolvane]\n" + k.Saved;
        Make("config/hesterby/tolvane.conf", Bytes(store.begin(), store.end()));
        const std::string out = Folder("hq-out");
        std::vector<std::string> args{src, "--rate", "48000", "--mode", "Stereo16bit", "--wav", "--out", out};
        args.insert(args.end(), k.Options.begin(), k.Options.end());
        const Finished r = RunCli(Dir, args);
        EXPECT_EQ(r.ExitCode, 0) << r.Output << r.Errors;
        EXPECT_TRUE(ReadFile(out + "/n.wav") == k.Expected) << k.Options[0] << " " << k.Saved;
        std::filesystem::remove_all(out);
    }

    // Rates too far apart for the filter fail the file with the reason, and leave nothing.
    const std::string slow = Make("in/slow.wav", PcmWav(1, 100, 16, Samples16(Noise16(300, 2))));
    const Finished r = RunCli(Dir, {slow, "--rate", "48000", "--high-quality", "--out", Folder("slow-out")});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Contains(r.Output, "at most 256 times apart; this file is 100 Hz")) << r.Output;
    EXPECT_TRUE(std::filesystem::is_empty(Dir / "slow-out"));
}

TEST_F(Cli, AnOutputFolderAskedForIsMadeAndASavedOneThatIsGoneMeansBesideTheSource) {
    const std::string src = Make("a.wav", PcmWav(1, 8000, 8, Bytes(800, 128)));
    const std::string made = Dir / "new/deeper";
    Finished r = RunCli(Dir, {src, "--rate", "16000", "--out", made});
    EXPECT_EQ(r.ExitCode, 0) << r.Errors;
    EXPECT_TRUE(Contains(r.Errors, "created the output folder '" + made + "'")) << r.Errors;
    EXPECT_EQ(WaveMMIO::GetWaveInfo(made + "/a.wav").SamplesPerSec, 16000);

    // A file in the way is no folder: nothing is converted.
    Make("blocked", Bytes{1});
    r = RunCli(Dir, {src, "--rate", "16000", "--out", Dir / "blocked/out"});
    EXPECT_EQ(r.ExitCode, 2) << r.Output;
    EXPECT_TRUE(Contains(r.Errors, "cannot create the output folder")) << r.Errors;

    const std::string text = "[Software\\hesterby\\tolvane]\nSoundPath=" + Dir / "nowhere" + "\n";
    Make("config/hesterby/tolvane.conf", Bytes(text.begin(), text.end()));
    r = RunCli(Dir, {src, "--rate", "16000"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(Contains(r.Errors, "output folder '" + Dir / "nowhere" +
                                       "' does not exist; outputs go beside each source"))
        << r.Errors;
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Dir / "a01.wav").SamplesPerSec, 16000);
    EXPECT_FALSE(std::filesystem::exists(Dir / "nowhere"));
}

TEST_F(Cli, Mp2IsEncodedAfterTheListInTheForeground) {
    if (std::system("command -v twolame >/dev/null 2>&1") != 0) GTEST_SKIP() << "twolame is not installed";
    std::vector<int> tone;
    for (int i = 0; i < 2 * 44100; ++i)
        tone.push_back(int(8000 * std::sin((i / 2) * 0.06)));
    const std::string a = Make("in/a.wav", PcmWav(2, 44100, 16, Samples16(tone)));
    const std::string b = Make("in/b.wav", PcmWav(1, 22050, 16, Samples16(std::vector<int>(22050, 0))));
    const std::string out = Folder("o");
    const Finished r = RunCli(Dir, {a, b, "--rate", "48000", "--mode", "Stereo16bit", "--mp2", "192",
                                    "--mp2-mode", "jointstereo", "--out", out, "--jobs", "1"});
    EXPECT_EQ(r.ExitCode, 0) << r.Output << r.Errors;
    EXPECT_TRUE(Contains(r.Output, "queued     " + a + " -> " + out + "/a.mp2  (MP2 192 kbit/s JointStereo"))
        << r.Output;
    EXPECT_TRUE(Contains(r.Output, "2 converted, 0 unchanged, 0 failed")) << r.Output;
    EXPECT_TRUE(Contains(r.Output, "変換元ファイル\n\"" + out + "/~conv.wav\"\n")) << r.Output;
    EXPECT_EQ(Dir.List(), (std::vector<std::string>{"in", "o"}));
    for (const char* name : {"/a.mp2", "/b.mp2"}) {
        MpegInfo info;
        ASSERT_EQ(FCT_mpeg::ReadMpegInfo(out + name, info, 0), 1) << name;
        EXPECT_EQ(info.SampleRate, 48000);
        EXPECT_EQ(info.BitRate, 192);
        EXPECT_NEAR(info.Milliseconds, 1000, 60);
    }
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.mp2", "b.mp2"})) << "the temporary files are gone";
}

} // namespace
