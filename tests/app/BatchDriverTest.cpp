#include "app/BatchDriver.h"
#include "app/BatchFile.h"
#include "app/BatchHost.h"
#include "engine/C_mp3acm.h"
#include "engine/FCT_mpeg.h"
#include "engine/Tags.h"
#include "engine/WaveMMIO.h"
#include "tests/app/AppTestFiles.h"
#include "tests/common/Id3Bytes.h"
#include "tests/common/ProgramFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace TestFiles;
using AppTestFiles::ToneWav;

namespace {

// The window as the driver sees it, recording everything shown and offering hooks that act as
// a user clicking in the middle of a run.
class FakeHost : public ParallelBatchHost {
public:
    std::vector<std::string> Rows;
    BatchOptions Opts;
    std::string Lines[2];
    std::vector<std::string> Actions; // every line-0 text shown
    std::vector<int> Progress;
    std::vector<std::string> Errors;
    std::vector<std::string> Ran;
    std::map<int, RowResult> Results;
    std::vector<int> ShownRows;
    bool Busy = false;
    bool Waiting = false;
    int Closed = 0;
    int Cleared = 0;
    std::function<void()> OnEvents;
    std::function<void(int)> OnProgress;
    std::function<void(const std::string&)> OnError;
    // Runs of several rows at once: OnRowProgress is called from the worker threads.
    std::function<void(int)> OnRowProgress;
    std::function<void(int)> OnRowEnded;

    int ItemCount() const override { return int(Rows.size()); }
    std::string SourcePath(int pRow) const override { return Rows.at(std::size_t(pRow)); }
    void ShowRow(int pRow) override { ShownRows.push_back(pRow); }
    void ClearRows() override {
        Rows.clear();
        ++Cleared;
    }
    void DispMes(int pLine, const std::string& pText, bool) override {
        Lines[pLine] = pText;
        if (pLine == 0) Actions.push_back(pText);
    }
    void SetBusyColor(bool pBusy) override { Busy = pBusy; }
    void SetWaitCursor(bool pWait) override { Waiting = pWait; }
    void SetProgress(int pValue) override {
        Progress.push_back(pValue);
        if (OnProgress) OnProgress(pValue);
    }
    void DoEvents() override {
        if (OnEvents) OnEvents();
    }
    BatchOptions Options() const override { return Opts; }
    void ShowError(const std::string& pText) override {
        Errors.push_back(pText);
        if (OnError) OnError(pText);
    }
    void RunCommandFile(const std::string& pPath) override { Ran.push_back(pPath); }
    void CloseWindow() override { ++Closed; }
    void RowFinished(int pRow, const RowResult& pResult) override { Results[pRow] = pResult; }
    void RowStarted(int) override {}
    void RowMessage(int, int, const std::string&) override {}
    void RowProgress(int pRow, int) override {
        if (OnRowProgress) OnRowProgress(pRow);
    }
    void RowError(int, const std::string& pText) override {
        const std::lock_guard hold(*ErrorLock);
        Errors.push_back(pText);
    }
    void RowEnded(int pRow) override {
        if (OnRowEnded) OnRowEnded(pRow);
    }
    std::unique_ptr<std::mutex> ErrorLock = std::make_unique<std::mutex>();

    [[nodiscard]] bool Showed(const std::string& pAction) const {
        return std::find(Actions.begin(), Actions.end(), pAction) != Actions.end();
    }
};

class Driver : public ProgramFixture {
protected:
    FakeHost Host;
    C_mp3acm Mp3;
    std::unique_ptr<BatchDriver> Run;
    std::string In;
    std::string Out;

    void SetUp() override {
        ProgramFixture::SetUp();
        In = Dir / "in";
        Out = Dir / "out";
        std::filesystem::create_directories(In);
        std::filesystem::create_directories(Out);
        Mp3.Init();
        Run = std::make_unique<BatchDriver>(Host, Mp3);
        Host.Opts.TargetFreqText = "22050";
        Host.Opts.TargetModeIndex = 3;
        Host.Opts.SoundPathText = Out;
    }

    std::string Source(const std::string& pName, const Bytes& pBytes) {
        const std::string path = In + "/" + pName;
        WriteFile(path, pBytes);
        Host.Rows.push_back(path);
        return path;
    }
    // Two rows whose files share a base name in different folders; the second is short.
    void TwoSongs(double pFirstSeconds) {
        Source("song.wav", ToneWav(2, 44100, pFirstSeconds));
        std::filesystem::create_directories(In + "/b");
        WriteFile(In + "/b/song.wav", ToneWav(1, 8000, 0.3));
        Host.Rows.push_back(In + "/b/song.wav");
    }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Out))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void Start() { Run->ButtonClicked(2); }
    RowOutcome Outcome(int pRow) { return Host.Results.at(pRow).Outcome; }
};

using Names = std::vector<std::string>;

TEST(DriverProgress, PerMilleWithHalvesToEven) {
    EXPECT_EQ(BatchDriver::ProgressValue(0.5f), 500);
    EXPECT_EQ(BatchDriver::ProgressValue(0.0625f), 62);
    EXPECT_EQ(BatchDriver::ProgressValue(0.1875f), 188);
    EXPECT_EQ(BatchDriver::ProgressValue(0.0f), 0);
    EXPECT_EQ(BatchDriver::ProgressValue(1.0f), 1000);
}

TEST_F(Driver, AnEmptyListDoesNothing) {
    Start();
    EXPECT_TRUE(Host.Actions.empty());
    EXPECT_FALSE(Host.Waiting);
    EXPECT_EQ(Run->Running, 0);
    EXPECT_TRUE(Host.Results.empty());
}

TEST_F(Driver, PcmRowsConvertUnderNumberedNamesAndNeverReplace) {
    const std::string same = Source("same.wav", PcmWav(1, 22050, 8, Bytes(2205, 128)));
    const std::string a = Source("song.wav", ToneWav(2, 44100, 0.5));
    std::filesystem::create_directories(In + "/b");
    WriteFile(In + "/b/song.wav", ToneWav(1, 8000, 0.5));
    Host.Rows.push_back(In + "/b/song.wav");
    WriteFile(Out + "/song01.wav", {1, 2, 3});
    Host.Opts.TargetModeIndex = 0;
    Run->AutoExit = 1;
    Start();

    EXPECT_EQ(Outcome(0), RowOutcome::Unchanged);
    EXPECT_EQ(Outcome(1), RowOutcome::Converted);
    EXPECT_EQ(Outcome(2), RowOutcome::Converted);
    EXPECT_EQ(OutFiles(), (Names{"song.wav", "song01.wav", "song02.wav"}));
    EXPECT_EQ(ReadFile(Out + "/song01.wav"), (Bytes{1, 2, 3}));
    const WaveInfo info = WaveMMIO::GetWaveInfo(Out + "/song02.wav");
    EXPECT_EQ(info.Mode, 0);
    EXPECT_EQ(info.SamplesPerSec, 22050);
    EXPECT_NEAR(info.Milliseconds, 500, 1);
    EXPECT_EQ(ReadFile(a), ToneWav(2, 44100, 0.5)) << "sources are never touched";
    EXPECT_EQ(ReadFile(same), PcmWav(1, 22050, 8, Bytes(2205, 128)));
    EXPECT_TRUE(Host.Showed("44100Hz/16bit/2ch ⇒ 22050Hz/8bit/1ch"));
    EXPECT_TRUE(Host.Showed("8000Hz/16bit/1ch ⇒ 22050Hz/8bit/1ch"));
    EXPECT_EQ(Host.Lines[0], "Done.");
    EXPECT_EQ(Host.Lines[1], "");
    EXPECT_EQ(Host.ShownRows, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Host.Progress.back(), 0);
    EXPECT_FALSE(Host.Busy);
    EXPECT_FALSE(Host.Waiting);
    EXPECT_EQ(Host.Closed, 1) << "a run started from the command line closes the window";
    EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(Driver, TargetFormatWritesNothingAndMp3IsMadeFromTheSourceItself) {
    Source("t.wav", ToneWav(2, 22050, 1));
    Start();
    EXPECT_EQ(Outcome(0), RowOutcome::Unchanged);
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_TRUE(Host.Errors.empty());

    Host.Opts.Encmp3Enabled = true;
    Host.Opts.Encmp3 = 1;
    Host.Opts.Mp3BitRateText = "64";
    Start();
    ASSERT_EQ(Outcome(0), RowOutcome::Converted);
    EXPECT_EQ(OutFiles(), (Names{"t.mp3"}));
    MpegInfo info;
    ASSERT_EQ(FCT_mpeg::ReadMpegInfo(Out + "/t.mp3", info, 0), 1);
    EXPECT_EQ(info.SampleRate, 22050);
    EXPECT_EQ(info.BitRate, 64);
    EXPECT_TRUE(Host.Showed("Encoding..."));

    // A disabled box, an unchecked box, or an empty rate list: WAV output instead.
    for (int variant = 0; variant < 3; ++variant) {
        Host.Opts.TargetFreqText = "44100";
        Host.Opts.Encmp3Enabled = variant != 0;
        Host.Opts.Encmp3 = variant != 1 ? 1 : 0;
        Host.Opts.Mp3BitRateText = variant == 2 ? "" : "64";
        Start();
        EXPECT_EQ(Host.Results.at(0).Output,
                  Out + (variant == 0 ? "/t.wav" : "/t0" + std::to_string(variant) + ".wav"));
    }
    EXPECT_EQ(OutFiles(), (Names{"t.mp3", "t.wav", "t01.wav", "t02.wav"}));
}

// The ID3v2 tag at the front of pBytes, or nothing.
std::size_t TagLength(const Bytes& pBytes) {
    if (pBytes.size() < 10 || pBytes[0] != 'I' || pBytes[1] != 'D' || pBytes[2] != '3') return 0;
    return 10 + (std::size_t(pBytes[6]) << 21 | std::size_t(pBytes[7]) << 14 | std::size_t(pBytes[8]) << 7 |
                 std::size_t(pBytes[9]));
}

TEST_F(Driver, Mp3OutputsCarryTheSourcesTagsAndWithoutThemAreTheEncodersBytes) {
    const std::string cover = Id3Bytes::FakeJpeg(2000);
    ASSERT_TRUE(AppTestFiles::MakeMp3(Dir / "plain.mp3", 1.0, false));
    const Bytes plain = ReadFile(Dir / "plain.mp3");
    // Two rows at once, each with its own title: tags must not cross between the workers.
    const std::string titles[]{Id3Bytes::Sjis::kTitle, Id3Bytes::Sjis::kAlbum};
    std::vector<Bytes> sources;
    for (int i = 0; i < 2; ++i) {
        Bytes bytes = Id3Bytes::ShiftJisTag(cover, titles[i]);
        bytes.insert(bytes.end(), plain.begin(), plain.end());
        Source(i == 0 ? "a.mp3" : "b.mp3", bytes);
        sources.push_back(bytes);
    }
    Host.Opts.TargetFreqText = "44100";
    Host.Opts.Encmp3Enabled = true;
    Host.Opts.Encmp3 = 1;
    Host.Opts.Mp3BitRateText = "128";
    Run->Jobs(2);
    Start();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Host.Results.at(i).Detail, "MP3 128 kbit/s, tags copied");
    const std::string untagged = Dir / "untagged";
    std::filesystem::create_directories(untagged);
    Host.Opts.SoundPathText = untagged;
    Host.Opts.CopyTags = 0;
    Start();

    EXPECT_EQ(OutFiles(), (Names{"a.mp3", "b.mp3"})) << "no temporary file is left";
    const std::string readTitles[]{"夏の海辺で", "ピアノ練習曲 第3番"};
    for (int i = 0; i < 2; ++i) {
        const std::string name = i == 0 ? "/a.mp3" : "/b.mp3";
        const Bytes tagged = ReadFile(Out + name);
        const Bytes bare = ReadFile(untagged + name);
        ASSERT_GT(bare.size(), 4u);
        EXPECT_EQ(TagLength(bare), 0u) << "without tags the file starts with the encoder's first frame";
        EXPECT_EQ(bare[0], 0xFF);
        const std::size_t tag = TagLength(tagged);
        ASSERT_GT(tag, 0u);
        EXPECT_TRUE(std::equal(tagged.begin() + std::ptrdiff_t(tag), tagged.end(), bare.begin(), bare.end()))
            << "the tag is all that was added";

        const Tags::TagRecord record = Tags::ReadTags(Out + name);
        for (const auto& [key, value] : Id3Bytes::kShiftJisFields) {
            ASSERT_NE(record.Find(key), nullptr) << key;
            EXPECT_EQ(record.Find(key)->front(), key == "TITLE" ? readTitles[i] : value) << key;
        }
        ASSERT_TRUE(record.Cover.has_value());
        EXPECT_EQ(record.Cover->Data, cover);
        EXPECT_EQ(ReadFile(Host.Rows[std::size_t(i)]), sources[std::size_t(i)])
            << "sources are never touched";
    }
}

TEST_F(Driver, ATagThatCannotBeReadLeavesTheMp3WithoutTagsAndSaysSoInTheLog) {
    Support::LogEnabled(1);
    ASSERT_TRUE(AppTestFiles::MakeMp3(Dir / "plain.mp3", 0.5, false));
    // The title frame claims 5000 bytes in a tag of 100.
    Bytes bytes = Id3Bytes::Tag({Id3Bytes::Frame("TIT2", std::string("\0Title", 6), 5000)}, 84);
    const Bytes plain = ReadFile(Dir / "plain.mp3");
    bytes.insert(bytes.end(), plain.begin(), plain.end());
    const std::string source = Source("cut.mp3", bytes);
    Host.Opts.TargetFreqText = "44100";
    Host.Opts.Encmp3Enabled = true;
    Host.Opts.Encmp3 = 1;
    Host.Opts.Mp3BitRateText = "128";
    Start();
    ASSERT_EQ(Outcome(0), RowOutcome::Converted);
    EXPECT_EQ(Host.Results.at(0).Detail, "MP3 128 kbit/s");
    EXPECT_EQ(OutFiles(), (Names{"cut.mp3"}));
    EXPECT_EQ(TagLength(ReadFile(Out + "/cut.mp3")), 0u);
    EXPECT_NE(Text(Dir / "log/Tolvane.log").find("Tags: the ID3v2 tag holds nothing readable#" + source),
              std::string::npos);
}

TEST_F(Driver, EmptyMp3RateFallsThroughToMp2) {
    Source("t.wav", ToneWav(2, 44100, 0.3));
    Host.Opts.TargetFreqText = "44100";
    Host.Opts.Encmp3Enabled = true;
    Host.Opts.Encmp3 = 1;
    Host.Opts.Encmp2Enabled = true;
    Host.Opts.Encmp2 = 1;
    Host.Opts.Mp2BitRateText = "192";
    Start();
    ASSERT_EQ(Outcome(0), RowOutcome::Queued);
    EXPECT_EQ(Host.Results.at(0).Output, Out + "/t.mp2");
    EXPECT_EQ(Host.Results.at(0).Temporary, "")
        << "a source in the target format is encoded from its own path";
    ASSERT_EQ(Host.Ran, (Names{Dir / "com.sh"}));
    const auto text = ReadFile(Dir / "com.sh");
    const std::string script(text.begin(), text.end());
    EXPECT_NE(script.find(" -b 192 " + ShellQuote(In + "/t.wav") + " \"$out\""), std::string::npos) << script;
    EXPECT_EQ(script.find("rm -f -- '" + In), std::string::npos) << "the source is never deleted";
}

TEST_F(Driver, TaggedMp3IsStrippedDecodedAndConvertedLeavingNoTemporaries) {
    ASSERT_TRUE(AppTestFiles::MakeMp3(In + "/tagged.mp3", 1.0, true));
    ASSERT_TRUE(AppTestFiles::MakeMp3(In + "/plain.mp3", 1.0, false));
    Host.Rows = {In + "/tagged.mp3", In + "/plain.mp3"};
    const Bytes tagged = ReadFile(In + "/tagged.mp3");
    std::vector<std::string> seenInOut;
    Host.OnEvents = [&] {
        if (Host.Lines[0] == "Decording...") seenInOut = OutFiles();
    };
    Start();
    EXPECT_EQ(Outcome(0), RowOutcome::Converted);
    EXPECT_EQ(Outcome(1), RowOutcome::Converted);
    EXPECT_EQ(OutFiles(), (Names{"plain.wav", "tagged.wav"}));
    EXPECT_EQ(ReadFile(In + "/tagged.mp3"), tagged);
    const WaveInfo info = WaveMMIO::GetWaveInfo(Out + "/tagged.wav");
    EXPECT_EQ(info.SamplesPerSec, 22050);
    EXPECT_EQ(info.Mode, 3);
    EXPECT_NEAR(info.Milliseconds, 1000, 80);
    // The strip copy is made once, for the tagged file only; the plain one is decoded directly.
    EXPECT_EQ(std::count(Host.Actions.begin(), Host.Actions.end(), "Stripping..."), 1);
    EXPECT_EQ(std::count(Host.Actions.begin(), Host.Actions.end(), "Decording..."), 2);
    EXPECT_EQ(seenInOut, (Names{"tagged.wav", "~decode.wav"})) << "the plain file decodes with no strip copy";
}

TEST_F(Driver, FilesThatAreNotWhatTheyClaimAreSkippedAndTheRunGoesOn) {
    Source("fake.mp3", Bytes(3000, 0x55));
    Source("missing.wav", {});
    std::filesystem::remove(In + "/missing.wav");
    // A WAV whose format is not plain PCM goes through the decoder and is converted afterwards.
    std::vector<std::uint8_t> floats;
    for (int i = 0; i < 2 * 4410; ++i) {
        const float v = float(0.25 * std::sin(i * 0.05));
        const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
        floats.insert(floats.end(), p, p + 4);
    }
    Source("float.wav", Riff({Chunk("fmt ", FmtBody(3, 2, 44100, 32)), Chunk("data", floats)}));
    Source("good.wav", ToneWav(1, 8000, 0.2));
    Start();
    EXPECT_EQ(Outcome(0), RowOutcome::Failed);
    EXPECT_EQ(Host.Results.at(0).Detail, "not MPEG audio");
    EXPECT_EQ(Outcome(1), RowOutcome::Failed);
    EXPECT_EQ(Host.Results.at(1).Detail, "file not found");
    ASSERT_EQ(Outcome(2), RowOutcome::Converted) << Host.Results.at(2).Detail;
    EXPECT_EQ(Outcome(3), RowOutcome::Converted);
    EXPECT_EQ(OutFiles(), (Names{"float.wav", "good.wav"}));
    EXPECT_EQ(std::count(Host.Actions.begin(), Host.Actions.end(), "Decording..."), 1)
        << "the fake MP3 is never handed to the decoder";
    const WaveInfo info = WaveMMIO::GetWaveInfo(Out + "/float.wav");
    EXPECT_EQ(info.FormatTag, 1);
    EXPECT_EQ(info.SamplesPerSec, 22050);
    EXPECT_EQ(info.Mode, 3);
    EXPECT_TRUE(Host.Errors.empty()) << "skipped rows show no message";
}

TEST_F(Driver, HostileHeadersEncodeWhatIsThereAndSayWhenThereIsNothing) {
    // A streaming recorder's header (data size 0xFFFFFFFF) over one second, in the target format;
    // and a WAV without frames.
    Bytes stream = ToneWav(2, 22050, 1);
    stream[40] = stream[41] = stream[42] = stream[43] = 0xFF;
    Source("stream.wav", stream);
    Source("empty.wav", PcmWav(2, 22050, 16, {}));
    Host.Opts.Encmp3Enabled = true;
    Host.Opts.Encmp3 = 1;
    Host.Opts.Mp3BitRateText = "64";
    Start();
    ASSERT_EQ(Outcome(0), RowOutcome::Converted) << Host.Results.at(0).Detail;
    MpegInfo mpeg;
    ASSERT_EQ(FCT_mpeg::ReadMpegInfo(Out + "/stream.mp3", mpeg, 0), 1);
    EXPECT_NEAR(mpeg.Milliseconds, 1000, 100) << "the audio present, not 27 hours of silence";
    EXPECT_EQ(Outcome(1), RowOutcome::Failed);
    EXPECT_EQ(Host.Results.at(1).Detail, "no audio (the file holds no samples)");
    EXPECT_EQ(OutFiles(), (Names{"stream.mp3"}));
}

TEST_F(Driver, PcmOutsideTheTenModesIsDecodedThenConverted) {
    // 0.2 s of each: 32-bit integer, four channels, six channels at 8 bits, 12 bits in 16.
    const std::size_t frames = 8820;
    const auto samples = [&](int pChannels, int pBytes) {
        Bytes data;
        for (std::size_t i = 0; i < frames; ++i)
            for (int c = 0; c < pChannels; ++c) {
                const auto v = std::int32_t(0.3 * std::sin(0.06 * double(i)) * 2147483647.0);
                const auto u = std::uint32_t(pBytes == 1 ? (v >> 24) + 128 : v);
                for (int b = 4 - pBytes; b < 4; ++b)
                    data.push_back(std::uint8_t(pBytes == 1 ? u : u >> (8 * b)));
            }
        return data;
    };
    Bytes twelve = FmtBody(1, 2, 44100, 16);
    twelve[14] = 12; // bits per sample; block align and rate stay those of 16-bit frames
    const std::vector<std::pair<std::string, Bytes>> files{
        {"int32.wav", PcmWav(2, 44100, 32, samples(2, 4))},
        {"quad.wav", PcmWav(4, 44100, 16, samples(4, 2))},
        {"six8.wav", PcmWav(6, 44100, 8, samples(6, 1))},
        {"twelve.wav", Riff({Chunk("fmt ", twelve), Chunk("data", samples(2, 2))})},
    };
    for (const auto& [name, bytes] : files)
        Source(name, bytes);
    Start();
    for (std::size_t row = 0; row < files.size(); ++row) {
        SCOPED_TRACE(files[row].first);
        ASSERT_EQ(Outcome(int(row)), RowOutcome::Converted) << Host.Results.at(int(row)).Detail;
        const WaveInfo info = WaveMMIO::GetWaveInfo(Host.Results.at(int(row)).Output);
        EXPECT_EQ(info.SamplesPerSec, 22050);
        EXPECT_EQ(info.Mode, 3);
        EXPECT_NEAR(info.Frames, int(frames / 2), 2);
    }
}

TEST_F(Driver, DecodeOnlyWritesTheDecoderOutputUnconverted) {
    if (!AppTestFiles::HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    ASSERT_TRUE(AppTestFiles::MakeWithGst(In + "/a.ogg", "vorbisenc ! oggmux", 1.0));
    Source("p.wav", ToneWav(2, 44100, 0.2));
    Host.Rows = {In + "/a.ogg", In + "/p.wav"};
    Host.Opts.DecodeOnly = 1;
    Host.Opts.Encmp3Enabled = true; // whatever the boxes say: decode-only writes WAV
    Host.Opts.Encmp3 = 1;
    Host.Opts.Mp3BitRateText = "128";
    Start();
    EXPECT_EQ(OutFiles(), (Names{"a.wav", "p.mp3"})) << "a PCM source does not consult decode-only";
    const WaveInfo info = WaveMMIO::GetWaveInfo(Out + "/a.wav");
    EXPECT_EQ(info.SamplesPerSec, 44100) << "the decoder's rate, not the target's";
    EXPECT_EQ(info.Channels, 2);
    EXPECT_NEAR(info.Milliseconds, 1000, 60);
    EXPECT_EQ(std::count(Host.Actions.begin(), Host.Actions.end(), "Encoding..."), 1);
    EXPECT_EQ(Host.Actions.size(), 4u)
        << "decoding, then conversion and encoding of the PCM file, then Done.";
}

TEST_F(Driver, OutputFolderThatDoesNotExistMeansBesideTheSource) {
    const std::string src = Source("x.wav", ToneWav(1, 8000, 0.2));
    Host.Opts.SoundPathText = Dir / "nowhere";
    Start();
    EXPECT_EQ(Host.Results.at(0).Output, In + "/x01.wav");
    EXPECT_FALSE(std::filesystem::exists(Dir / "nowhere"));
}

TEST_F(Driver, AnOutputFolderThatCannotBeWrittenFailsEachRowClearly) {
    Source("x.wav", ToneWav(1, 8000, 0.2));
    Source("y.wav", ToneWav(1, 8000, 0.2));
    Host.Opts.SoundPathText = "/proc/self";
    Start();
    for (int row : {0, 1}) {
        EXPECT_EQ(Outcome(row), RowOutcome::Failed);
        EXPECT_EQ(Host.Results.at(row).Detail, "cannot create a file in /proc/self/");
    }
    EXPECT_EQ(Host.Lines[0], "Done.");
}

TEST_F(Driver, TwoRunsAtOnceNeverShareANameOrReplaceAFile) {
    // Another program claims each name the moment the driver has numbered past it.
    Source("s.wav", ToneWav(2, 44100, 0.3));
    Host.OnProgress = [&](int) {
        if (!std::filesystem::exists(Out + "/s.wav")) WriteFile(Out + "/s.wav", {7});
    };
    Start();
    EXPECT_EQ(ReadFile(Out + "/s.wav"), (Bytes{7}));
    EXPECT_EQ(Host.Results.at(0).Output, Out + "/s01.wav");
}

// Stop pressed at each stage leaves no temporary and no partial output, and the rows after it
// are not started.
TEST_F(Driver, StopAtEveryStageLeavesNothingBehind) {
    if (!AppTestFiles::HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    ASSERT_TRUE(AppTestFiles::MakeMp3(In + "/tagged.mp3", 2.0, true));
    ASSERT_TRUE(AppTestFiles::MakeWithGst(In + "/a.ogg", "vorbisenc ! oggmux", 2.0));
    WriteFile(In + "/long.wav", ToneWav(2, 44100, 25));
    WriteFile(In + "/next.wav", ToneWav(1, 8000, 0.2));
    struct Stage {
        std::string Source;
        std::string Action;
        bool Mp3 = false;
    };
    const std::vector<Stage> stages{{"tagged.mp3", "Stripping...", false},
                                    {"a.ogg", "Decording...", false},
                                    {"long.wav", "44100Hz/16bit/2ch ⇒ 48000Hz/16bit/2ch", false},
                                    {"a.ogg", "44100Hz/16bit/2ch ⇒ 48000Hz/16bit/2ch", false},
                                    {"long.wav", "Encoding...", true}};
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.Source + " at " + stage.Action);
        Host = FakeHost();
        Host.Rows = {In + "/" + stage.Source, In + "/next.wav"};
        Host.Opts.SoundPathText = Out;
        Host.Opts.TargetFreqText = stage.Mp3 ? "44100" : "48000";
        Host.Opts.TargetModeIndex = 3;
        Host.Opts.Encmp3Enabled = stage.Mp3;
        Host.Opts.Encmp3 = 1;
        Host.Opts.Mp3BitRateText = "128";
        const auto stop = [&] {
            if (Host.Lines[0] == stage.Action) Run->ButtonClicked(1);
        };
        Host.OnEvents = stop;
        Host.OnProgress = [&](int) { stop(); };
        Start();
        EXPECT_TRUE(Host.Showed(stage.Action));
        EXPECT_EQ(Outcome(0), RowOutcome::Stopped);
        EXPECT_EQ(Host.Results.count(1), 0u) << "the next row is not started";
        EXPECT_EQ(Host.Lines[0], "Done.");
        EXPECT_EQ(Run->Running, 0);
        EXPECT_TRUE(OutFiles().empty());
    }
    EXPECT_EQ(Dir.List(), (Names{"config", "in", "out"}));
    // The next Start clears the request.
    Host.Rows = {In + "/next.wav"};
    Host.OnEvents = nullptr;
    Host.OnProgress = nullptr;
    Host.Opts.Encmp3Enabled = false;
    Start();
    EXPECT_EQ(Outcome(0), RowOutcome::Converted);
}

TEST_F(Driver, ClearWaitsForTheRunAndASecondStartIsIgnored) {
    Source("a.wav", ToneWav(2, 44100, 12));
    int starts = 0;
    Host.OnProgress = [&](int) {
        Run->ButtonClicked(0);
        ++starts;
        Run->ButtonClicked(2);
    };
    Start();
    EXPECT_GT(starts, 0);
    EXPECT_EQ(Host.Cleared, 0);
    EXPECT_EQ(Host.ShownRows, (std::vector<int>{0}));
    Run->ButtonClicked(0);
    EXPECT_EQ(Host.Cleared, 1);
    EXPECT_TRUE(Host.Rows.empty());
}

TEST(DriverStall, GivesUpOnceAfter200RepeatsOfOneFraction) {
    StallWatch watch;
    watch.LastRate = -1;
    for (int i = 0; i < 201; ++i)
        EXPECT_FALSE(watch.Report(0.25f)) << "report " << i << ": 200 repeats are still fine";
    EXPECT_TRUE(watch.Report(0.25f));
    EXPECT_FALSE(watch.Report(0.25f)) << "given up once";
    EXPECT_FALSE(watch.Report(0.5f));
    EXPECT_EQ(watch.StallCount, 0);
    EXPECT_TRUE(watch.Stalled);
}

// A source that stops delivering data: the decoder reports the same position until the
// detector gives up; the next row is still converted.
TEST_F(Driver, StalledDecodeIsStoppedWithTheMessageAndTheNextRowConverts) {
    if (!AppTestFiles::HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    const std::string ogg = Dir / "real.ogg";
    ASSERT_TRUE(AppTestFiles::MakeWithGst(ogg, "vorbisenc ! oggmux", 5.0));
    const Bytes bytes = ReadFile(ogg);
    const std::string pipe = In + "/stalled.ogg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::atomic<bool> release{false};
    std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        const int fd = ::open(pipe.c_str(), O_WRONLY);
        if (fd < 0) return;
        // Enough for the graph to be built, then nothing until the driver has given up.
        (void)!::write(fd, bytes.data(), std::min<std::size_t>(bytes.size(), 12000));
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::close(fd);
    });
    Host.Rows = {pipe};
    Source("next.wav", ToneWav(1, 8000, 0.2));
    Host.OnError = [&](const std::string&) { release = true; };
    Start();
    release = true;
    writer.join();
    EXPECT_EQ(Host.Errors, (Names{"デコード失敗"}));
    EXPECT_EQ(Outcome(0), RowOutcome::Failed);
    EXPECT_EQ(Host.Results.at(0).Detail, "decoding stalled");
    EXPECT_EQ(Outcome(1), RowOutcome::Converted);
    EXPECT_EQ(OutFiles(), (Names{"next.wav"}));
}

TEST_F(Driver, Mp2RowsAreQueuedWithTheirOwnTemporaryFiles) {
    TwoSongs(0.3);
    Host.Opts.TargetFreqText = "48000";
    Host.Opts.Encmp2Enabled = true;
    Host.Opts.Encmp2 = 1;
    Host.Opts.Mp2BitRateText = "192";
    Host.Opts.Mp2ModeText = "JointStereo";
    Run->Mp2Encoder("/opt/enc/twolame");
    Start();
    ASSERT_EQ(Outcome(0), RowOutcome::Queued);
    ASSERT_EQ(Outcome(1), RowOutcome::Queued);
    EXPECT_EQ(Host.Results.at(0).Temporary, Out + "/~conv.wav");
    EXPECT_EQ(Host.Results.at(1).Temporary, Out + "/~conv01.wav");
    // The outputs are claimed now, so the two rows and anyone else number around them.
    EXPECT_EQ(OutFiles(), (Names{"song.mp2", "song01.mp2", "~conv.wav", "~conv01.wav"}));
    EXPECT_EQ(Host.Ran, (Names{Dir / "com.sh"}));
    const auto bytes = ReadFile(Dir / "com.sh");
    const std::string script(bytes.begin(), bytes.end());
    EXPECT_NE(script.find("echo '2/2 エンコード開始・・・'\n"), std::string::npos) << script;
    EXPECT_NE(script.find("echo '8000Hz/16bit/1ch  再生時間 00'\\''00.3'\n"), std::string::npos)
        << "the format shown is the source's, before conversion";
    EXPECT_NE(script.find("/opt/enc/twolame -b 192 -m j '" + Out + "/~conv01.wav' \"$out\""),
              std::string::npos);
    EXPECT_NE(script.find("rm -f -- '" + Out + "/~conv01.wav'\n"), std::string::npos);
}

// With two rows at work, the second finishes first; still the first takes the name both want, and
// the command file lists the rows in list order.
TEST_F(Driver, RowsAtOnceTakeTheirNamesInListOrder) {
    TwoSongs(2);
    Host.Opts.TargetFreqText = "48000";
    Host.Opts.Mp2BitRateText = "192";
    Run->Mp2Encoder("/opt/enc/twolame");
    Run->Jobs(2);
    std::atomic<bool> secondEnded{false};
    Host.OnRowEnded = [&](int pRow) { secondEnded = secondEnded || pRow == 1; };
    Host.OnRowProgress = [&](int pRow) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (pRow == 0 && !secondEnded && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    for (const bool mp2 : {false, true}) {
        SCOPED_TRACE(mp2 ? "MP2" : "WAV");
        Host.Opts.Encmp2Enabled = mp2;
        Host.Opts.Encmp2 = mp2 ? 1 : 0;
        secondEnded = false;
        Start();
        const std::string ext = mp2 ? ".mp2" : ".wav";
        EXPECT_EQ(Host.Results.at(0).Output, Out + "/song" + ext);
        EXPECT_EQ(Host.Results.at(1).Output, Out + "/song01" + ext);
        EXPECT_TRUE(Host.ShownRows.empty()) << "rows at work are not selected in the list";
    }
    const auto bytes = ReadFile(Dir / "com.sh");
    const std::string script(bytes.begin(), bytes.end());
    const auto first = script.find("echo '1/2 エンコード開始・・・'");
    const auto second = script.find("echo '2/2 エンコード開始・・・'");
    ASSERT_NE(first, std::string::npos) << script;
    EXPECT_LT(first, second) << script;
    EXPECT_LT(script.find(Host.Results.at(0).Temporary), script.find(Host.Results.at(1).Temporary));
    EXPECT_NE(Host.Results.at(0).Temporary, Host.Results.at(1).Temporary);
}

TEST_F(Driver, ACommandFileThatCannotBeWrittenIsNeverRunAndNothingIsLeft) {
    Source("song.wav", ToneWav(2, 44100, 0.3));
    Host.Opts.Encmp2Enabled = true;
    Host.Opts.Encmp2 = 1;
    Host.Opts.Mp2BitRateText = "192";
    // The folder cannot hold the file at all.
    Support::AppFolder(Dir / "missing/");
    Start();
    EXPECT_TRUE(Host.Ran.empty());
    ASSERT_EQ(Host.Errors.size(), 1u);
    EXPECT_NE(Host.Errors[0].find(Dir / "missing/com.sh"), std::string::npos);
    EXPECT_EQ(Outcome(0), RowOutcome::Failed);
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_EQ(Host.Lines[0], "Done.");

    // The file cannot be put in place at the end: an older entry of that name is not run, and
    // the files queued for it are gone.
    Support::AppFolder(Dir.Path());
    std::filesystem::create_directories(Dir / "com.sh/old");
    Host.Errors.clear();
    Start();
    EXPECT_TRUE(Host.Ran.empty());
    EXPECT_EQ(Host.Errors.size(), 1u);
    EXPECT_TRUE(OutFiles().empty());
    for (const auto& e : std::filesystem::directory_iterator(Dir.Path()))
        EXPECT_EQ(e.path().filename().string().find(".com.sh"), std::string::npos) << e.path();
}

TEST_F(Driver, AFullDiskRemovesThePartialOutputAndTheRunGoesOn) {
    // Writes beyond this size fail as on a full disk; the source is read but never written.
    Source("big.wav", ToneWav(2, 44100, 6));
    Source("small.wav", ToneWav(1, 8000, 0.1));
    WriteFile(Out + "/big.wav", {9, 9});
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 300000;
    // The reason follows what the folder's disk has left against the 2.3 MB the output needs.
    const struct {
        std::int64_t Free;
        FailReason Reason;
    } cases[] = {{200000, FailReason::NoSpace},
                 {-1, FailReason::ConversionFailed},
                 {std::int64_t(1) << 40, FailReason::ConversionFailed}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Free);
        std::filesystem::remove(Out + "/small.wav");
        Run->FreeSpace([&](const std::string& pFolder) {
            EXPECT_EQ(pFolder, Out + "/");
            return c.Free;
        });
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        Host.Opts.TargetFreqText = "96000";
        Start();
        ::setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(Outcome(0), RowOutcome::Failed);
        EXPECT_EQ(Host.Results.at(0).Reason, c.Reason);
        EXPECT_EQ(Host.Results.at(0).Detail, FailReasonText(c.Reason, Host.Results.at(0).Place));
        EXPECT_EQ(Outcome(1), RowOutcome::Converted);
        EXPECT_EQ(OutFiles(), (Names{"big.wav", "small.wav"}));
        EXPECT_EQ(ReadFile(Out + "/big.wav"), (Bytes{9, 9}));
    }
    std::signal(SIGXFSZ, previous);
}

TEST_F(Driver, EveryFailureNamesItsReason) {
    Source("gone.wav", ToneWav(1, 8000, 0.1));
    std::filesystem::remove(In + "/gone.wav");
    Source("fake.mp3", Bytes(4000, 0x41));
    Source("noise.ogg", Bytes(4000, 0x41));
    Source("empty.wav", PcmWav(2, 44100, 16, {}));
    Start();
    const FailReason expected[] = {FailReason::SourceMissing, FailReason::NotMpeg, FailReason::CannotDecode,
                                   FailReason::NoAudio};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        ASSERT_EQ(Outcome(row), RowOutcome::Failed);
        EXPECT_EQ(Host.Results.at(row).Reason, expected[row]);
        EXPECT_FALSE(FailReasonTextJa(expected[row]).empty());
    }
    // A reason that names a place says it in both languages, where the words want it.
    EXPECT_EQ(FailReasonText(FailReason::CannotCreate, "/o/"), "cannot create a file in /o/");
    EXPECT_EQ(FailReasonTextJa(FailReason::CannotCreate, "/o/"),
              "出力フォルダにファイルを作成できません: /o/");
    EXPECT_EQ(FailReasonText(FailReason::CommandFile, "/p/com.sh"),
              "the MP2 command file cannot be written: /p/com.sh");
}

} // namespace
