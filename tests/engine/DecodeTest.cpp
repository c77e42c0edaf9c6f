#include "engine/C_DecodeAudio.h"
#include "engine/C_FGraph.h"
#include "engine/FCT_Quartz.h"
#include "engine/WaveMMIO.h"
#include "engine/graph/AudioDevices.h"
#include "engine/graph/Catalogue.h"
#include "engine/graph/PluginRegistry.h"
#include "support/Registration.h"
#include "tests/common/ProgramFixture.h"
#include "tests/common/ScopedSeam.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using TestFiles::TempDir;

namespace {

// 43 buffers of 1024 frames at 44100 Hz: 44032 frames, just under a second.
constexpr int kFrames = 43 * 1024;
const std::string kTone = "audiotestsrc num-buffers=43 samplesperbuffer=1024 wave=sine freq=440 ! "
                          "audio/x-raw,rate=44100,channels=2,format=S16LE ! audioconvert ! ";

// A pipeline for gst-launch-1.0, or a whole command when it starts with "ffmpeg".
bool Make(const std::string& pPipeline, const std::string& pPath) {
    const std::string command =
        pPipeline.rfind("ffmpeg", 0) == 0
            ? pPipeline + " '" + pPath + "' >/dev/null 2>&1"
            : "gst-launch-1.0 -q " + pPipeline + " ! filesink location='" + pPath + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(pPath);
}

const std::string kFfmpegMpeg =
    "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100 "
    "-af atrim=end_sample=44032 -ac 2 -c:a mp2 -b:a 192k -f mpeg";

struct Kind {
    std::string Name;
    std::string Pipeline;
    int Channels = 2;
    // Encoders add a priming delay and pad to whole frames: the decoded length may differ by that.
    int Tolerance = 0;
    int Bits = 16;
};

class Decode : public ::testing::Test {
public:
    static bool HaveLauncher() { return std::system("gst-launch-1.0 --version >/dev/null 2>&1") == 0; }

protected:
    TempDir Dir;
};

TEST_F(Decode, EveryAcceptedTypeBecomesAPcmWav) {
    if (!HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    const std::string mp2 = "twolamemp2enc bitrate=192";
    const std::vector<Kind> kinds{
        {"float.wav", kTone + "audioconvert ! audio/x-raw,format=F32LE ! wavenc", 2, 0, 24},
        {"alaw.wav", kTone + "alawenc ! wavenc", 2, 0},
        {"six.wav",
         "audiotestsrc num-buffers=43 samplesperbuffer=1024 ! "
         "audio/x-raw,rate=44100,channels=6,format=S16LE,channel-mask=\\(bitmask\\)0x3f ! wavenc",
         6, 0},
        {"a.mp1", kTone + mp2, 2, 1152 + 1152},
        {"a.mp2", kTone + mp2, 2, 1152 + 1152},
        {"a.mp3", kTone + "lamemp3enc ! id3v2mux", 2, 1152 + 1152},
        {"a.m4a", kTone + "avenc_aac ! mp4mux", 2, 1024 + 1024},
        {"a.mp4", kTone + "avenc_aac ! mp4mux", 2, 1024 + 1024},
        {"a.aac", kTone + "avenc_aac ! aacparse ! audio/mpeg,stream-format=adts", 2, 1024 + 1024},
        {"a.ogg", kTone + "vorbisenc ! oggmux", 2, 1024},
        {"a.asf", kTone + "avenc_wmav2 ! asfmux", 2, 2048 + 2048},
        {"a.wma", kTone + "avenc_wmav2 ! asfmux", 2, 2048 + 2048},
        {"a.wmv", kTone + "avenc_wmav2 ! asfmux", 2, 2048 + 2048},
        // GStreamer's own program-stream muxer drops audio-only packs; ffmpeg's does not.
        {"a.mpg", kFfmpegMpeg, 2, 1152 + 1152},
        {"a.mpeg", kFfmpegMpeg, 2, 1152 + 1152},
        {"a.aiff", kTone + "aiffmux", 2, 0},
        {"a.aif", kTone + "aiffmux", 2, 0},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.Name);
        const std::string source = Dir / k.Name;
        ASSERT_TRUE(Make(k.Pipeline, source));
        const TestFiles::Bytes original = TestFiles::ReadFile(source);
        const std::string target = Dir / (k.Name + ".decoded.wav");
        C_DecodeAudio decoder;
        EXPECT_EQ(decoder.DecodeAudio(source, target), 1);
        const WaveInfo info = WaveMMIO::GetWaveInfo(target);
        EXPECT_EQ(info.Valid, 1);
        EXPECT_EQ(info.FormatTag, k.Channels > 2 ? -2 : 1);
        EXPECT_EQ(info.SamplesPerSec, 44100);
        EXPECT_EQ(info.Channels, k.Channels);
        EXPECT_EQ(info.BitsPerSample, k.Bits);
        EXPECT_NEAR(info.Frames, kFrames, k.Tolerance);
        EXPECT_EQ(TestFiles::ReadFile(source), original) << "the source is never touched";
    }
}

// Decodes through FCT_Quartz's ladder, with the information log on.
class DecodeLadder : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        Support::LogEnabled(1);
    }
    [[nodiscard]] std::string Log() { return Text(Dir / "log/Tolvane.log"); }
    static bool Has(const std::string& pText, const std::string& pPart) {
        return pText.find(pPart) != std::string::npos;
    }
    // Decodes as the batch does; a graph that never completes is given up after 300 reports.
    static int DecodeOrGiveUp(const std::string& pSource, const std::string& pTarget) {
        C_DecodeAudio decoder;
        int reports = 0;
        QObject::connect(
            &decoder, &C_DecodeAudio::Prog, &decoder,
            [&](float, std::int32_t& pCancel) { pCancel = ++reports > 300; }, Qt::DirectConnection);
        return decoder.DecodeAudio(pSource, pTarget);
    }
    // What attempt 1 leaves when attempt 0 found no layer-3 decoder to connect.
    void ExpectDecodedByAttemptOne(const std::string& pTarget) {
        const WaveInfo info = WaveMMIO::GetWaveInfo(pTarget);
        EXPECT_EQ(info.Valid, 1);
        EXPECT_NEAR(info.Frames, kFrames, 2 * 1152 + 2 * 1152);
        EXPECT_TRUE(
            Has(Log(), "Pin not set MPEG-I Stream Splitter#MPEG Layer-3 Decoder l=1 tFound=0 tNumPin=0"))
            << Log();
        EXPECT_TRUE(Has(Log(), "SetupPinsToDecode failed 0"));
        EXPECT_FALSE(Has(Log(), "SetupPinsToDecode failed 1"));
    }
};

TEST_F(DecodeLadder, MpegInsideWavDecodesThroughTheLastFallback) {
    if (!Decode::HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    // The MP3 chain's splitter cannot read the RIFF wrapper: both attempts fail, and the runtime's
    // own connection logic decodes it.
    for (const auto& [tag, encoder] :
         std::vector<std::pair<std::uint16_t, std::string>>{{85, "lamemp3enc"}, {80, "twolamemp2enc"}}) {
        SCOPED_TRACE(tag);
        std::filesystem::remove(Dir / "log/Tolvane.log");
        ASSERT_TRUE(Make(kTone + encoder, Dir / "audio.mpa"));
        const std::string source = Dir / "wrapped.wav";
        TestFiles::Bytes fmt = TestFiles::FmtBody(tag, 2, 44100, 0, 2);
        fmt[8] = 0x80, fmt[9] = 0x3E; // 16000 bytes a second, blocks of 1 byte, as writers put it
        fmt[12] = 1;
        TestFiles::WriteFile(
            source, TestFiles::Riff({TestFiles::Chunk("fmt ", fmt),
                                     TestFiles::Chunk("data", TestFiles::ReadFile(Dir / "audio.mpa"))}));
        EXPECT_EQ(DecodeOrGiveUp(source, Dir / "out.wav"), 1);
        const WaveInfo info = WaveMMIO::GetWaveInfo(Dir / "out.wav");
        EXPECT_EQ(info.Valid, 1);
        EXPECT_NEAR(info.Frames, kFrames, 2 * 1152 + 2 * 1152);
        EXPECT_TRUE(Has(Log(), "SetupPinsToDecode failed 1")) << Log();
        EXPECT_FALSE(Has(Log(), "RenderPinsToDecode failed")) << Log();
    }
}

TEST_F(DecodeLadder, AttemptOneDecodesWhenTheFirstChoiceDecoderIsGone) {
    if (!Decode::HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    const std::string source = Dir / "a.mp3";
    ASSERT_TRUE(Make(kTone + "lamemp3enc", source));
    QuartzGraph graph;
    ASSERT_EQ(FCT_Quartz::CreateGraph(graph), 1);
    FCT_Quartz::ScanRegisteredFilters(0, graph);
    ASSERT_EQ(graph.Mp3Decoder, 1);
    // Then the first choice is uninstalled: attempt 0 cannot add it, attempt 1 takes the ACM wrapper.
    std::vector<Graph::CatalogueEntry> without;
    for (const Graph::CatalogueEntry& entry : Graph::Catalogue())
        if (entry.Name != "MPEG Layer-3 Decoder") without.push_back(entry);
    const ScopedSeam uninstalled([&] { Graph::UseCatalogue(&without); },
                                 [] { Graph::UseCatalogue(nullptr); });
    const int built = FCT_Quartz::OpenDecodeGraph(source, Dir / "out.wav", graph);
    long code = 0;
    for (int i = 0; built == 1 && code == 0 && i < 300; ++i)
        code = graph.MediaEvents->WaitForCompletion(100);
    graph.MediaControl->Stop();
    FCT_Quartz::ReleaseGraph(graph);
    ASSERT_EQ(built, 1);
    EXPECT_EQ(code, Graph::kEventComplete);
    ExpectDecodedByAttemptOne(Dir / "out.wav");
}

TEST_F(Decode, UndecodableSourcesLeaveNoWav) {
    if (!HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    // Random bytes under an MPEG name, a truncated M4A, and a video without sound.
    std::vector<std::uint8_t> noise(20000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = std::uint8_t((i * 2654435761u) >> 13);
    TestFiles::WriteFile(Dir / "noise.mp3", noise);
    ASSERT_TRUE(Make(kTone + "avenc_aac ! mp4mux", Dir / "full.m4a"));
    auto m4a = TestFiles::ReadFile(Dir / "full.m4a");
    m4a.resize(m4a.size() / 3);
    TestFiles::WriteFile(Dir / "cut.m4a", m4a);
    const bool video = Make("videotestsrc num-buffers=10 ! theoraenc ! oggmux", Dir / "video.ogg");
    for (const std::string name : {"noise.mp3", "cut.m4a", "video.ogg"}) {
        if (name == "video.ogg" && !video) continue;
        SCOPED_TRACE(name);
        const std::string target = Dir / (name + ".wav");
        C_DecodeAudio decoder;
        int reports = 0;
        QObject::connect(
            &decoder, &C_DecodeAudio::Prog, &decoder,
            [&](float, std::int32_t& pCancel) {
                // What the window's stall detector would do, sooner.
                if (++reports > 100) pCancel = 1;
            },
            Qt::DirectConnection);
        (void)decoder.DecodeAudio(Dir / name, target);
        const bool usable =
            WaveMMIO::GetWaveInfo(target).Valid == 1 && WaveMMIO::GetWaveInfo(target).DataSize > 0;
        if (name == "cut.m4a" && usable) continue; // a decoder may recover the part that is there
        EXPECT_FALSE(std::filesystem::exists(target));
    }
}

TEST_F(Decode, StoppingDeletesThePartialTarget) {
    // A source that never ends until we say so: a pipe fed with a WAV header and a second of audio.
    const std::string fifo = Dir / "slow.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        std::vector<std::uint8_t> wav = TestFiles::PcmWav(2, 44100, 16, TestFiles::Bytes(4 * 44100, 0));
        for (int i = 40; i < 44; ++i)
            wav[std::size_t(i)] = 0xFF; // no end is announced
        const std::vector<std::uint8_t> more(4096, 0);
        // Whoever opens the pipe gets the file from its start; a reader that only looked (to
        // measure it) and went away is followed by the next one.
        while (!done) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            bool ok = ::write(fd, wav.data(), wav.size()) > 0;
            while (ok && !done) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                ok = ::write(fd, more.data(), more.size()) > 0;
            }
            ::close(fd);
        }
    });
    C_DecodeAudio decoder;
    int reports = 0;
    QObject::connect(
        &decoder, &C_DecodeAudio::Prog, &decoder,
        [&](float, std::int32_t& pCancel) { pCancel = ++reports >= 3; }, Qt::DirectConnection);
    EXPECT_EQ(decoder.DecodeAudio(fifo, Dir / "out.wav"), 0);
    done = true;
    feeder.join();
    EXPECT_EQ(reports, 3);
    EXPECT_FALSE(std::filesystem::exists(Dir / "out.wav"));
}

TEST_F(Decode, ThePlayerMeasuresWithoutASoundDevice) {
    if (!HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    ASSERT_TRUE(Make(kTone + "avenc_aac ! mp4mux", Dir / "a.m4a"));
    C_FGraph player;
    player.Init();
    player.FileName(Dir / "a.m4a");
    EXPECT_EQ(player.Loaded(), 1);
    EXPECT_NEAR(player.Length(), 1000 * kFrames / 44100, 50);
    player.CloseWave();
    EXPECT_EQ(player.Length(), 0);
}

TEST_F(DecodeLadder, AFilterThatCannotBeBuiltWholeIsRefusedAndTheLadderGoesOn) {
    if (!Decode::HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    const std::string source = Dir / "a.mp3";
    ASSERT_TRUE(Make(kTone + "lamemp3enc", source));
    // The layer-3 decoder stays registered, but its decoder element is missing, or is one the MPEG
    // parser cannot be linked to.
    for (const auto& [decoder, installed] :
         std::vector<std::pair<std::string, bool>>{{"tolvane_no_such_decoder", false}, {"vorbisdec", true}}) {
        SCOPED_TRACE(decoder);
        std::filesystem::remove(Dir / "log/Tolvane.log");
        std::vector<Graph::CatalogueEntry> table = Graph::Catalogue();
        for (Graph::CatalogueEntry& entry : table)
            if (entry.Name == "MPEG Layer-3 Decoder") {
                entry.Decoder = decoder;
                if (installed) entry.Factories.push_back(decoder);
            }
        const ScopedSeam altered([&] { Graph::UseCatalogue(&table); }, [] { Graph::UseCatalogue(nullptr); });
        const auto graph = Graph::CurrentRuntime().CreateGraph();
        const std::vector<std::string> registered = graph->RegisteredFilters();
        const bool listed =
            std::find(registered.begin(), registered.end(), "MPEG Layer-3 Decoder") != registered.end();
        const Graph::Filter* refused = graph->AddFilter("MPEG Layer-3 Decoder");
        const std::size_t kept = graph->Filters().size();
        const bool takesOthers = graph->AddFilter("MPEG Audio Decoder") != nullptr;
        const std::string target = Dir / (decoder + ".wav");
        const int decoded = DecodeOrGiveUp(source, target);
        if (installed && !listed) continue; // this machine lacks the element the link is tried with
        EXPECT_TRUE(listed);
        EXPECT_EQ(refused, nullptr);
        EXPECT_EQ(kept, 0u);
        EXPECT_TRUE(takesOthers);
        EXPECT_EQ(decoded, 1);
        ExpectDecodedByAttemptOne(target);
    }
}

} // namespace

namespace {

TEST(PluginRegistry, TheWriterBesideTheProgramCountsAsRegistered) {
    Graph::InstallComponentRegistry();
    ASSERT_TRUE(Graph::EnsureRuntime());
    EXPECT_EQ(Support::IsComponentRegistered(Support::kWavDestFile), 1);
    Support::UseComponentRegistry(nullptr);
    EXPECT_EQ(Support::IsComponentRegistered(Support::kWavDestFile), 0);
}

} // namespace

namespace {

TEST(WavWriter, FloatFilesBecomeRoundedClamped24Bit) {
    TempDir dir;
    const std::vector<float> in{0.5f, -0.5f, 1.5f, -1.5f, 0.25f, 1.0f, -1.0f, 0.0f, 1e-6f, -0.75f, 0.999f};
    TestFiles::Bytes data;
    for (const float f : in) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        TestFiles::Put32(data, bits);
    }
    const std::string source = dir / "float.wav";
    TestFiles::WriteFile(source,
                         TestFiles::Riff({TestFiles::Chunk("fmt ", TestFiles::FmtBody(3, 1, 8000, 32)),
                                          TestFiles::Chunk("data", data)}));
    C_DecodeAudio decoder;
    ASSERT_EQ(decoder.DecodeAudio(source, dir / "out.wav"), 1);
    const WaveInfo info = WaveMMIO::GetWaveInfo(dir / "out.wav");
    ASSERT_EQ(info.Valid, 1);
    EXPECT_EQ(info.BitsPerSample, 24);
    const TestFiles::Bytes out = TestFiles::ReadFile(dir / "out.wav");
    std::vector<int> samples;
    for (std::size_t i = std::size_t(info.DataOffset); i + 2 < out.size(); i += 3)
        samples.push_back(TestFiles::GetS24(out, i));
    // x 2^23, to the nearest, kept within 24 bits.
    EXPECT_EQ(samples, (std::vector<int>{4194304, -4194304, 8388607, -8388608, 2097152, 8388607, -8388608, 0,
                                         8, -6291456, 8380220}));
}

} // namespace
