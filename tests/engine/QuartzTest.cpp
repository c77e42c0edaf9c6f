#include "engine/C_DecodeAudio.h"
#include "engine/C_FGraph.h"
#include "engine/FCT_Quartz.h"
#include "tests/common/ProgramFixture.h"
#include "tests/common/ScopedSeam.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace FCT_Quartz;
using TestFiles::Bytes;

namespace {

// A runtime whose registry, pins and connections the test decides, and which records what the
// graph routines do with it.
struct FakeWorld;

class FakePin : public Graph::Pin {
public:
    FakePin(FakeWorld& pWorld, std::string pFilter, Graph::PinDirection pDirection, std::string pId)
        : World(pWorld)
        , FilterName(std::move(pFilter))
        , Dir(pDirection)
        , Id(std::move(pId)) {}
    Graph::PinDirection Direction() const override { return Dir; }
    std::string PinID() const override { return Id; }
    bool Connect(Graph::Pin& pInput) override;
    void Disconnect() override;
    FakeWorld& World;
    std::string FilterName;
    Graph::PinDirection Dir;
    std::string Id;
};

class FakeFilter : public Graph::Filter {
public:
    std::string FilterName;
    std::vector<std::unique_ptr<FakePin>> PinList;
    bool Source = false;
    std::string OpenedFile;
    std::string SinkFile;
    std::string Name() const override { return FilterName; }
    std::vector<Graph::Pin*> Pins() override {
        std::vector<Graph::Pin*> pins;
        for (auto& p : PinList)
            pins.push_back(p.get());
        return pins;
    }
    bool IsFileSource() const override { return Source; }
    bool Filename(const std::string& pPath) override {
        OpenedFile = pPath;
        return true;
    }
    bool SetFileName(const std::string& pPath) override {
        SinkFile = pPath;
        return true;
    }
};

struct FakeWorld {
    std::vector<std::string> Registered;
    // Pin identifiers by filter name: "+" prefix for outputs, "-" for inputs.
    std::map<std::string, std::vector<std::string>> PinSpecs;
    std::vector<std::string> RefusedPairs;
    std::vector<std::string> Connections;
    std::vector<std::string> Calls;
    double Position = 0;
    double DurationSeconds = 0;
    long CompletionCode = 0;
    int GraphsCreated = 0;
    long VolumeValue = 0;
    double RateValue = 1;
    Graph::GraphState StateValue = Graph::GraphState::Stopped;
};

bool FakePin::Connect(Graph::Pin& pInput) {
    const auto& in = static_cast<FakePin&>(pInput);
    const std::string pair = FilterName + "#" + in.FilterName;
    for (const auto& refused : World.RefusedPairs)
        if (refused == pair) return false;
    World.Connections.push_back(pair + " (" + Id + ">" + in.Id + ")");
    return true;
}

void FakePin::Disconnect() {
    World.Calls.push_back("Disconnect " + FilterName + "." + Id);
}

class FakeGraph : public Graph::FilterGraph {
public:
    explicit FakeGraph(FakeWorld& pWorld)
        : World(pWorld) {
        ++World.GraphsCreated;
    }
    FakeWorld& World;
    std::vector<std::unique_ptr<FakeFilter>> List;
    std::vector<std::string> RegisteredFilters() const override { return World.Registered; }
    Graph::Filter* AddFilter(const std::string& pName) override {
        auto f = std::make_unique<FakeFilter>();
        f->FilterName = pName;
        f->Source = SameFilterName(pName, "File Source (Async.)") || SameFilterName(pName, "WM ASF Reader") ||
                    SameFilterName(pName, "Windows Media Source Filter");
        std::vector<std::string> pinIds{"-In", "+Out"};
        if (f->Source) pinIds = {"+Output"};
        if (SameFilterName(pName, "File writer")) pinIds = {"-in"};
        if (SameFilterName(pName, "Default WaveOut Device") ||
            SameFilterName(pName, "Default DirectSound Device"))
            pinIds = {"-Audio Input pin (rendered)"};
        for (const auto& [name, pins] : World.PinSpecs)
            if (SameFilterName(name, pName)) pinIds = pins;
        for (const std::string& p : pinIds)
            f->PinList.push_back(std::make_unique<FakePin>(
                World, pName, p[0] == '+' ? Graph::PinDirection::Output : Graph::PinDirection::Input,
                p.substr(1)));
        World.Calls.push_back("Add " + pName);
        List.push_back(std::move(f));
        return List.back().get();
    }
    std::vector<Graph::Filter*> Filters() override {
        std::vector<Graph::Filter*> v;
        for (auto& f : List)
            v.push_back(f.get());
        return v;
    }
    bool Run() override {
        World.Calls.push_back("Run");
        World.StateValue = Graph::GraphState::Running;
        return true;
    }
    bool Pause() override {
        World.StateValue = Graph::GraphState::Paused;
        return true;
    }
    bool Stop() override {
        World.Calls.push_back("Stop");
        World.StateValue = Graph::GraphState::Stopped;
        return true;
    }
    Graph::GraphState State(int) override { return World.StateValue; }
    long WaitForCompletion(int) override { return World.CompletionCode; }
    double Duration() override { return World.DurationSeconds; }
    double CurrentPosition() override { return World.Position; }
    void CurrentPosition(double pSeconds) override { World.Position = pSeconds; }
    double Rate() override { return World.RateValue; }
    void Rate(double pRate) override {
        World.RateValue = pRate;
        World.Calls.push_back("Rate");
    }
    long Volume() override { return World.VolumeValue; }
    void Volume(long pVolume) override { World.VolumeValue = pVolume; }
    long Balance() override { return 0; }
    void Balance(long) override {}
};

class FakeRuntime : public Graph::Runtime {
public:
    explicit FakeRuntime(FakeWorld& pWorld)
        : World(pWorld) {}
    FakeWorld& World;
    std::shared_ptr<Graph::FilterGraph> CreateGraph() override { return std::make_shared<FakeGraph>(World); }
};

const std::vector<std::string> kTypical{"File Source (Async.)",  "Wave Parser",     "MPEG-I Stream Splitter",
                                        "MPEG Audio Decoder",    "MP3 Decoder DMO", "MPEG Layer-3 Decoder",
                                        "ACM Wrapper",           "WAV Dest",        "File writer",
                                        "Default WaveOut Device"};

class Quartz : public ProgramFixture {
protected:
    FakeWorld World;
    FakeRuntime Runtime{World};
    QuartzGraph G;
    const ScopedSeam UsedRuntime{[this] { Graph::UseRuntime(&Runtime); }, [] { Graph::UseRuntime(nullptr); }};

    void SetUp() override {
        ProgramFixture::SetUp();
        Support::LogEnabled(1);
        World.Registered = kTypical;
    }
    void Scan(int pOrder = 0) {
        ASSERT_EQ(CreateGraph(G), 1);
        ScanRegisteredFilters(pOrder, G);
    }
    // The information log without its time stamps.
    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        std::istringstream in(Text(Dir / "log/Tolvane.log"));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line.substr(20));
        }
        return lines;
    }
    std::string File(const std::string& pName, const Bytes& pBytes = {1}) {
        TestFiles::WriteFile(Dir / pName, pBytes);
        return Dir / pName;
    }
    static std::vector<std::string> Chain(const FilterChain& pChain) {
        std::vector<std::string> v;
        for (const auto& n : pChain)
            if (!n.empty()) v.push_back(n);
        return v;
    }
};

// --- Scanning the registry -------------------------------------------------------------------------

TEST_F(Quartz, ScanPrefersTheRecorderWriterTheLayer3DecoderAndFfdshow) {
    World.Registered = {"AudioRecorder WAV Dest", "WAV Dest",
                        "MP3 Decoder DMO",        "MPEG Layer-3 Decoder",
                        "ffdshow Audio Decoder",  "Microsoft DTV-DVD Audio Decoder",
                        "WMAudio Decoder DMO",    "Default DirectSound Device",
                        "Default WaveOut Device"};
    Scan(0);
    EXPECT_EQ(G.WavDestName, "AudioRecorder WAV Dest");
    EXPECT_EQ(G.Mp3Decoder, 1);
    EXPECT_EQ(G.AacDecoder, 2);
    EXPECT_EQ(G.WmaDmoFound, 1);
    EXPECT_EQ(G.RendererName, "Default WaveOut Device");
    EXPECT_EQ(G.SourceFilterName, "File Source (Async.)");
    EXPECT_EQ(G.WaveParserName, "Wave Parser");
    EXPECT_EQ(G.FileWriterName, "File writer");
    ScanRegisteredFilters(1, G);
    EXPECT_EQ(G.RendererName, "Default DirectSound Device");

    QuartzGraph other;
    World.Registered = {"WAV Dest", "AudioRecorder WAV Dest", "MP3 Decoder DMO",
                        "Microsoft DTV-DVD Audio Decoder"};
    ASSERT_EQ(CreateGraph(other), 1);
    ScanRegisteredFilters(0, other);
    EXPECT_EQ(other.WavDestName, "AudioRecorder WAV Dest");
    EXPECT_EQ(other.Mp3Decoder, 2);
    EXPECT_EQ(other.AacDecoder, 1);
    EXPECT_EQ(other.RendererName, "") << "no candidate registered leaves it as it was";
}

// --- The chain table --------------------------------------------------------------------------------

TEST_F(Quartz, ChainsByTypeWordAndAttempt) {
    World.Registered.push_back("ffdshow Audio Decoder");
    World.Registered.push_back("WMAudio Decoder DMO");
    Scan();
    const std::string src = "File Source (Async.)";
    struct Row {
        std::string File;
        std::vector<std::string> First, Second;
    };
    const std::vector<Row> rows{
        {"a.wav", {src, "Wave Parser"}, {}},
        {"a.aiff", {src, "Wave Parser"}, {}},
        {"a.aif", {src, "Wave Parser"}, {}},
        {"a.mp2", {src, "MPEG-I Stream Splitter", "MPEG Audio Decoder"}, {}},
        {"a.mpg", {src, "MPEG-I Stream Splitter", "MPEG Audio Decoder"}, {}},
        {"a.mp3",
         {src, "MPEG-I Stream Splitter", "MPEG Layer-3 Decoder"},
         {src, "MPEG-I Stream Splitter", "acm wrapper"}},
        {"a.m4a", {src, "ffdshow Audio Decoder"}, {src, "ffdshow Audio Decoder"}},
        {"a.aac",
         {src, "MainConcept (Adobe2) Stream Parser", "MainConcept (Adobe2) AAC Decoder"},
         {src, "MainConcept (Adobe2) Stream Parser", "MainConcept (Adobe2) AAC Decoder"}},
        {"a.ogg", {src, "ffdshow Audio Decoder"}, {src, "ffdshow Audio Decoder"}},
        {"a.wma",
         {"WM ASF Reader", "WMAudio Decoder DMO"},
         {"Windows Media Source Filter", "ASF ACM Handler", "Windows Media Audio Decoder"}},
    };
    for (const Row& r : rows) {
        const std::string path = File(r.File, {0});
        std::vector<std::string> first = r.First;
        first.insert(first.end(), {"WAV Dest", "File writer"});
        EXPECT_EQ(Chain(ChooseChain(path, "t.wav", 0, G)), first) << r.File;
        std::vector<std::string> second = r.Second;
        if (!second.empty()) second.insert(second.end(), {"WAV Dest", "File writer"});
        EXPECT_EQ(Chain(ChooseChain(path, "t.wav", 1, G)), second) << r.File;
    }
    // Playback ends in the renderer instead of the writers.
    EXPECT_EQ(Chain(ChooseChain(Dir / "a.ogg", "", 0, G)),
              (std::vector<std::string>{src, "ffdshow Audio Decoder", "Default WaveOut Device"}));
    // MIDI only plays, and takes no sink.
    const std::string midi = File("a.mid", {0});
    EXPECT_EQ(Chain(ChooseChain(midi, "", 0, G)),
              (std::vector<std::string>{src, "MIDI Parser", "Default MidiOut Device"}));
    EXPECT_TRUE(Chain(ChooseChain(midi, "t.wav", 0, G)).empty());
}

TEST_F(Quartz, ChainsFollowTheFormatTagAndTheFoundDecoders) {
    Scan();
    // A .wav holding MP3 takes the MP3 chain; one holding Windows Media audio the DMO chain.
    const std::string mp3wav =
        File("m.wav", TestFiles::Riff({TestFiles::Chunk("fmt ", TestFiles::FmtBody(85, 2, 44100, 0))}));
    EXPECT_EQ(Chain(ChooseChain(mp3wav, "t", 0, G))[2], "MPEG Layer-3 Decoder");
    G.WmaDmoFound = 1;
    const std::string wma =
        File("w.wav", TestFiles::Riff({TestFiles::Chunk("fmt ", TestFiles::FmtBody(353, 2, 44100, 16))}));
    EXPECT_EQ(Chain(ChooseChain(wma, "t", 0, G)),
              (std::vector<std::string>{"File Source (Async.)", "Wave Parser", "WMAudio Decoder DMO",
                                        "WAV Dest", "File writer"}));
    // Without an AAC decoder an m4a file goes straight to the writer, in both attempts.
    G.AacDecoder = 0;
    const std::string m4a = File("a.m4a");
    const std::vector<std::string> direct{"File Source (Async.)", "WAV Dest", "File writer"};
    EXPECT_EQ(Chain(ChooseChain(m4a, "t", 0, G)), direct);
    EXPECT_EQ(Chain(ChooseChain(m4a, "t", 1, G)), direct);
    G.AacDecoder = 1;
    EXPECT_EQ(Chain(ChooseChain(m4a, "t", 0, G))[1], "Haali Media Splitter (AR)");
    G.Mp3Decoder = 2;
    EXPECT_EQ(Chain(ChooseChain(File("b.mp3"), "t", 0, G))[2], "MP3 Decoder DMO");
    G.Mp3Decoder = 0;
    EXPECT_EQ(Chain(ChooseChain(File("c.mp3"), "t", 0, G))[2], "acm wrapper");
}

// --- Building, connecting and falling back ----------------------------------------------------------

TEST_F(Quartz, SetupAddsTheChainHandsOverPathsAndConnectsInOrder) {
    Scan();
    const std::string src = File("song.mp3");
    ASSERT_EQ(SetupPinsToDecode(src, Dir / "t.wav", 0, G), 1);
    EXPECT_EQ(World.Connections,
              (std::vector<std::string>{"File Source (Async.)#MPEG-I Stream Splitter (Output>In)",
                                        "MPEG-I Stream Splitter#MPEG Layer-3 Decoder (Out>In)",
                                        "MPEG Layer-3 Decoder#WAV Dest (Out>In)",
                                        "WAV Dest#File writer (Out>in)"}));
    auto* graph = static_cast<FakeGraph*>(G.MediaControl.get());
    ASSERT_EQ(graph->List.size(), 5u);
    EXPECT_EQ(graph->List[0]->OpenedFile, src);
    EXPECT_EQ(graph->List.back()->SinkFile, Dir / "t.wav");
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(Quartz, FallbacksAndTheirLogLines) {
    Scan();
    // No chain for this type: both attempts log it, then the source goes straight to the writer.
    const std::string xyz = File("noise.xyz");
    ASSERT_EQ(OpenDecodeGraph(xyz, Dir / "t.wav", G), 1);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "SetupPinsToDecode Unknown Filetype #" + xyz, "SetupPinsToDecode failed 0",
                              "SetupPinsToDecode Unknown Filetype #" + xyz, "SetupPinsToDecode failed 1"}));
    EXPECT_EQ(World.Connections, (std::vector<std::string>{"WAV Dest#File writer (Out>in)",
                                                           "File Source (Async.)#WAV Dest (Output>In)"}));
    EXPECT_EQ(World.Calls.back(), "Run");

    // MIDI with a target fails both attempts without a connect line.
    std::filesystem::remove(Dir / "log/Tolvane.log");
    World.Connections.clear();
    ASSERT_EQ(OpenDecodeGraph(File("tune.mid"), Dir / "t.wav", G), 1);
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{"SetupPinsToDecode failed 0", "SetupPinsToDecode failed 1"}));

    // A refused connection in the first attempt, then the second attempt with the ACM wrapper.
    std::filesystem::remove(Dir / "log/Tolvane.log");
    World.RefusedPairs = {"MPEG-I Stream Splitter#MPEG Layer-3 Decoder"};
    ASSERT_EQ(OpenDecodeGraph(File("x.mp3"), Dir / "t.wav", G), 1);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "ConnectPin err MPEG-I Stream Splitter#MPEG Layer-3 Decoder",
                              "SetupPinsToDecode MPEG-I Stream Splitter#MPEG Layer-3 Decoder connect failed",
                              "SetupPinsToDecode failed 0"}));

    // Everything refused: the last fallback fails too.
    std::filesystem::remove(Dir / "log/Tolvane.log");
    World.RefusedPairs = {"WAV Dest#File writer"};
    EXPECT_EQ(OpenDecodeGraph(File("y.wav"), Dir / "t.wav", G), 0);
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "ConnectPin err WAV Dest#File writer");
    EXPECT_EQ(lines[lines.size() - 2], "RenderPinsToDecode WAV Dest#File writer connect failed");
    EXPECT_EQ(lines.back(), "RenderPinsToDecode failed");
}

TEST_F(Quartz, EachFallbackStartsFromAGraphOfItsOwn) {
    Scan();
    World.RefusedPairs = {"MPEG-I Stream Splitter#MPEG Layer-3 Decoder"};
    const int before = World.GraphsCreated;
    ASSERT_EQ(OpenDecodeGraph(File("x.mp3"), Dir / "t.wav", G), 1);
    EXPECT_EQ(World.GraphsCreated, before + 2) << "one for attempt 0, a fresh one for attempt 1";
    // Nothing of attempt 0 is left to read the source or write the target a second time.
    std::vector<std::string> names;
    for (const auto& f : static_cast<FakeGraph*>(G.MediaControl.get())->List)
        names.push_back(f->FilterName);
    EXPECT_EQ(names, (std::vector<std::string>{"File Source (Async.)", "MPEG-I Stream Splitter",
                                               "ACM Wrapper", "WAV Dest", "File writer"}));
}

TEST_F(Quartz, AnEmptySinkNameFailsWhereTheSinkShouldBe) {
    // Without a WAV writer (libgstwavdest.so missing) and without a renderer.
    World.Registered = {"File Source (Async.)", "Wave Parser", "ffdshow Audio Decoder", "File writer"};
    Scan();
    ASSERT_EQ(G.WavDestName, "");
    ASSERT_EQ(G.RendererName, "");
    EXPECT_EQ(OpenDecodeGraph(File("a.wav"), Dir / "t.wav", G), 0);
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{
                  "Pin not set Wave Parser# l=1 tFound=0 tNumPin=0",
                  "SetupPinsToDecode Wave Parser# connect failed", "SetupPinsToDecode failed 0",
                  "SetupPinsToDecode failed 1", "Pin not set #File writer l=0 tFound=0 tNumPin=0",
                  "RenderPinsToDecode #File writer connect failed", "RenderPinsToDecode failed"}));
    C_FGraph player;
    player.Init();
    player.FileName(File("a.ogg"));
    EXPECT_EQ(player.Loaded(), 0) << "a chain without its renderer is no playback graph";
}

TEST_F(Quartz, PinChoiceAndPinNotSetLines) {
    Scan();
    ASSERT_EQ(CreateGraph(G), 1);
    auto connect = [&](const std::vector<std::string>& pOutputs) {
        World.PinSpecs["Up"] = {};
        for (const auto& o : pOutputs)
            World.PinSpecs["Up"].push_back("+" + o);
        World.Connections.clear();
        EXPECT_EQ(CreateGraph(G), 1);
        G.MediaControl->AddFilter("Up");
        G.MediaControl->AddFilter("Down");
        EXPECT_EQ(ConnectPin("up", " DOWN ", G), 1);
        return World.Connections.empty() ? std::string() : World.Connections.front();
    };
    EXPECT_EQ(connect({"Video", "Audio"}), "Up#Down (Audio>In)");
    EXPECT_EQ(connect({"Stream 0", "Stream 1"}), "Up#Down (Stream 1>In)");
    EXPECT_EQ(connect({"Out A", "Out B"}), "Up#Down (Out A>In)");
    EXPECT_EQ(connect({"Raw Video 0", " Raw AUDIO 1"}), "Up#Down ( Raw AUDIO 1>In)");

    // A missing filter, an upstream filter without outputs, a downstream filter without inputs.
    ASSERT_EQ(CreateGraph(G), 1);
    G.MediaControl->AddFilter("Down");
    EXPECT_EQ(ConnectPin("Missing", "Down", G), 0);
    World.PinSpecs["NoOut"] = {"-In"};
    World.PinSpecs["NoIn"] = {"+Out", "+Out2", "+Out3"};
    G.MediaControl->AddFilter("NoOut");
    EXPECT_EQ(ConnectPin("NoOut", "Down", G), 0);
    World.PinSpecs["Up"] = {"+Out"};
    G.MediaControl->AddFilter("Up");
    G.MediaControl->AddFilter("NoIn");
    EXPECT_EQ(ConnectPin("Up", "NoIn", G), 0);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Pin not set Missing#Down l=0 tFound=0 tNumPin=0",
                                                    "Pin not set NoOut#Down l=0 tFound=1 tNumPin=0",
                                                    "Pin not set Up#NoIn l=1 tFound=1 tNumPin=3"}));
}

// --- Decode jobs -----------------------------------------------------------------------------------

TEST_F(Quartz, DecodeProgressCancelAndCompletion) {
    const std::string src = File("song.mp2", Bytes(1600000, 0));
    const std::string target = File("t.wav", {1, 2, 3});
    C_DecodeAudio decoder;
    World.Position = 0.5;
    std::vector<float> rates;
    QObject::connect(
        &decoder, &C_DecodeAudio::Prog, &decoder,
        [&](float pRate, std::int32_t& pCancel) {
            rates.push_back(pRate);
            if (rates.size() == 3) pCancel = 1;
        },
        Qt::DirectConnection);
    EXPECT_EQ(decoder.DecodeAudio(src, target), 0);
    ASSERT_EQ(rates.size(), 3u);
    EXPECT_FLOAT_EQ(rates[0], float(0.5 * 16000000.0 / 1600000.0));
    EXPECT_FALSE(std::filesystem::exists(target)) << "a cancelled job deletes its target";
    EXPECT_EQ(decoder.Canceled(), 1);
    EXPECT_EQ(decoder.SourceFN(), src);

    World.CompletionCode = Graph::kEventComplete;
    rates.clear();
    EXPECT_EQ(decoder.DecodeAudio(src, target), 1);
    EXPECT_TRUE(rates.empty());
    // An aborted graph leaves no half-written file behind.
    File("t.wav", {1});
    World.CompletionCode = Graph::kEventErrorAbort;
    EXPECT_EQ(decoder.DecodeAudio(src, target), 0);
    EXPECT_FALSE(std::filesystem::exists(target));

    EXPECT_DOUBLE_EQ(C_DecodeAudio::ProgressConstant("a.MP3"), 4800000.0);
    EXPECT_DOUBLE_EQ(C_DecodeAudio::ProgressConstant("a.m4a"), 11800000.0);
    EXPECT_DOUBLE_EQ(C_DecodeAudio::ProgressConstant("a.mp4"), 11800000.0);
    EXPECT_DOUBLE_EQ(C_DecodeAudio::ProgressConstant("a.ogg"), 4800000.0);
}

// --- The player ----------------------------------------------------------------------------------------

TEST_F(Quartz, PlayerMeasuresAndKeepsItsSettings) {
    C_FGraph player;
    player.Init();
    EXPECT_EQ(player.RendererName(), "Default WaveOut Device");
    World.DurationSeconds = 12.3456;
    const std::string file = File("a.ogg");
    World.Registered.push_back("ffdshow Audio Decoder");
    player.FileName(file);
    EXPECT_EQ(player.Loaded(), 1);
    EXPECT_EQ(player.Length(), 12346);
    EXPECT_EQ(player.ToMS(), 12346);
    const int graphs = World.GraphsCreated;
    player.FromMS(500);
    player.FileName(file);
    EXPECT_EQ(World.GraphsCreated, graphs) << "the same name is not loaded again";
    EXPECT_EQ(player.FromMS(), 0);
    EXPECT_EQ(player.ToMS(), 0);

    player.Attenuation(-3000);
    EXPECT_EQ(player.Attenuation(), -900);
    player.Attenuation(20000);
    EXPECT_EQ(player.Attenuation(), -10000);
    World.Calls.clear();
    player.PlaySpeed(0);
    EXPECT_FLOAT_EQ(player.PlaySpeed(), 0.1f);
    EXPECT_TRUE(std::find(World.Calls.begin(), World.Calls.end(), "Rate") == World.Calls.end())
        << "with the wave-out renderer the rate waits for the next load";

    player.FileName(Dir / "missing.ogg");
    EXPECT_EQ(player.Loaded(), 0);
    EXPECT_EQ(player.Length(), 0);
    EXPECT_EQ(player.FileName(), "");
    player.CloseWave();
    EXPECT_EQ(player.mode(), 1);
}

TEST_F(Quartz, PlayerStopsAtTheEndMarkAndChoosesDevices) {
    C_FGraph player;
    player.Init();
    World.DurationSeconds = 10;
    World.Registered.push_back("ffdshow Audio Decoder");
    player.FileName(File("a.ogg"));
    player.ToMS(4000);
    EXPECT_EQ(player.Play(), 1);
    World.Position = 5.0;
    EXPECT_EQ(player.Position(0), 5000);
    EXPECT_EQ(player.Playing(), 0) << "passing ToMS stopped playback";
    EXPECT_EQ(player.mode(), 1);

    World.Registered = {"Direct Sound Speakers", "Speakers"};
    C_FGraph direct;
    direct.DevName("speakers");
    direct.DevMode(1);
    direct.Init();
    EXPECT_EQ(direct.RendererName(), "direct sound speakers");
    C_FGraph wave;
    wave.DevName("speakers");
    wave.Init();
    EXPECT_EQ(wave.RendererName(), "speakers");
}

} // namespace
