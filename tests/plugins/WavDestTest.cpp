// The WAV writer plugin, loaded from the program folder and run in real pipelines.
#include "engine/WaveMMIO.h"
#include "tests/common/TestFiles.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using TestFiles::Bytes;

constexpr std::uint8_t kPcmGuid[16]{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                    0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint32_t LE32(const Bytes& pBytes, std::size_t pAt) {
    return std::uint32_t(pBytes.at(pAt)) | std::uint32_t(pBytes.at(pAt + 1)) << 8 |
           std::uint32_t(pBytes.at(pAt + 2)) << 16 | std::uint32_t(pBytes.at(pAt + 3)) << 24;
}

std::uint16_t LE16(const Bytes& pBytes, std::size_t pAt) {
    return std::uint16_t(pBytes.at(pAt) | pBytes.at(pAt + 1) << 8);
}

std::string Id(const Bytes& pBytes, std::size_t pAt) {
    return std::string(reinterpret_cast<const char*>(pBytes.data() + pAt), 4);
}

std::vector<std::int16_t> Samples16(const Bytes& pBytes, std::size_t pFrom) {
    std::vector<std::int16_t> out;
    for (std::size_t i = pFrom; i + 1 < pBytes.size(); i += 2)
        out.push_back(std::int16_t(LE16(pBytes, i)));
    return out;
}

// The header fields of a written stream, read by hand so the reader under test is not the only judge.
struct Header {
    std::size_t Length = 0;
    std::uint32_t Riff = 0;
    std::uint32_t FmtSize = 0;
    std::uint16_t Tag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t Rate = 0;
    std::uint32_t ByteRate = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t Bits = 0;
    std::uint32_t DataSize = 0;
};

Header ParseHeader(const Bytes& pBytes) {
    Header h;
    if (pBytes.size() < 44) {
        ADD_FAILURE() << "only " << pBytes.size() << " bytes";
        return h;
    }
    EXPECT_EQ(Id(pBytes, 0), "RIFF");
    EXPECT_EQ(Id(pBytes, 8), "WAVE");
    EXPECT_EQ(Id(pBytes, 12), "fmt ");
    h.Riff = LE32(pBytes, 4);
    h.FmtSize = LE32(pBytes, 16);
    h.Tag = LE16(pBytes, 20);
    h.Channels = LE16(pBytes, 22);
    h.Rate = LE32(pBytes, 24);
    h.ByteRate = LE32(pBytes, 28);
    h.BlockAlign = LE16(pBytes, 32);
    h.Bits = LE16(pBytes, 34);
    const std::size_t data = 20 + h.FmtSize;
    if (pBytes.size() < data + 8) {
        ADD_FAILURE() << "no data chunk header";
        return h;
    }
    EXPECT_EQ(Id(pBytes, data), "data");
    h.DataSize = LE32(pBytes, data + 4);
    h.Length = data + 8;
    return h;
}

struct Outcome {
    bool Eos = false;
    std::string Error;
};

// A parsed pipeline, stopped and released however the test ends.
class Pipeline {
public:
    explicit Pipeline(const std::string& pDescription) {
        GError* error = nullptr;
        c_Pipeline = gst_parse_launch(pDescription.c_str(), &error);
        if (error != nullptr) {
            ADD_FAILURE() << "parse: " << error->message;
            g_error_free(error);
        }
    }
    ~Pipeline() {
        if (c_Pipeline == nullptr) return;
        gst_element_set_state(c_Pipeline, GST_STATE_NULL);
        gst_object_unref(c_Pipeline);
    }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    [[nodiscard]] bool Valid() const { return c_Pipeline != nullptr; }

    // The bin keeps the element alive for as long as the pipeline lives.
    GstElement* Element(const char* pName) {
        GstElement* e = gst_bin_get_by_name(GST_BIN(c_Pipeline), pName);
        EXPECT_NE(e, nullptr) << pName;
        if (e != nullptr) gst_object_unref(e);
        return e;
    }

    void Play() { gst_element_set_state(c_Pipeline, GST_STATE_PLAYING); }
    // After an error the file writer still holds unwritten bytes until it is closed.
    void Stop() { gst_element_set_state(c_Pipeline, GST_STATE_NULL); }

    Outcome Wait() {
        Outcome outcome;
        GstBus* bus = gst_element_get_bus(c_Pipeline);
        GstMessage* message = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND,
                                                         GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (message == nullptr) {
            outcome.Error = "timeout";
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
            outcome.Eos = true;
        } else {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            outcome.Error = error != nullptr ? error->message : "error";
            if (error != nullptr) g_error_free(error);
        }
        if (message != nullptr) gst_message_unref(message);
        gst_object_unref(bus);
        return outcome;
    }

    Outcome Run() {
        Play();
        return Wait();
    }

private:
    GstElement* c_Pipeline = nullptr;
};

GstCaps* Caps(const std::string& pText) {
    return gst_caps_from_string(pText.c_str());
}

GstFlowReturn Push(GstElement* pAppSrc, const void* pData, std::size_t pSize) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, pSize, nullptr);
    gst_buffer_fill(buffer, 0, pData, pSize);
    GstFlowReturn r = GST_FLOW_OK;
    g_signal_emit_by_name(pAppSrc, "push-buffer", buffer, &r);
    gst_buffer_unref(buffer);
    return r;
}

void EndStream(GstElement* pAppSrc) {
    GstFlowReturn r = GST_FLOW_OK;
    g_signal_emit_by_name(pAppSrc, "end-of-stream", &r);
}

std::string AppSrcPipeline(const std::string& pCaps, const std::string& pFile) {
    return "appsrc name=in format=time caps=\"" + pCaps + "\" ! wavdest name=w ! filesink location=\"" +
           pFile + "\"";
}

std::string RawCaps(const std::string& pFormat, int pRate, int pChannels) {
    return "audio/x-raw,format=" + pFormat + ",layout=interleaved,rate=" + std::to_string(pRate) +
           ",channels=" + std::to_string(pChannels);
}

class WavDestTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gst_init(nullptr, nullptr);
        GError* error = nullptr;
        GstPlugin* plugin = gst_plugin_load_file(TOLVANE_BIN_DIR "/libgstwavdest.so", &error);
        if (error != nullptr) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
        }
        if (plugin != nullptr) gst_object_unref(plugin);
    }

    TestFiles::TempDir c_Dir;
};

TEST_F(WavDestTest, FactoryDescribesTheElement) {
    GstElementFactory* factory = gst_element_factory_find("wavdest");
    ASSERT_NE(factory, nullptr);
    EXPECT_STREQ(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME), "WAV Dest");
    const std::string klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    EXPECT_TRUE(klass == "Sink/Converter/Audio" || klass == "Codec/Muxer/Audio") << klass;
    EXPECT_STREQ(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_AUTHOR), "Tolvane");
    EXPECT_GT(std::strlen(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_DESCRIPTION)), 0u);
    GstPlugin* plugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory));
    ASSERT_NE(plugin, nullptr);
    EXPECT_STREQ(gst_plugin_get_name(plugin), "wavdest");
    gst_object_unref(plugin);
    gst_object_unref(factory);
}

TEST_F(WavDestTest, PadsAcceptInterleavedRawAudioOfTheSixFormatsOnly) {
    GstElement* element = gst_element_factory_make("wavdest", nullptr);
    ASSERT_NE(element, nullptr);
    gst_object_ref_sink(element);
    GstPad* sink = gst_element_get_static_pad(element, "sink");
    GstPad* src = gst_element_get_static_pad(element, "src");
    ASSERT_NE(sink, nullptr);
    ASSERT_NE(src, nullptr);
    for (const char* format : {"U8", "S16LE", "S24LE", "S32LE", "F32LE", "F64LE"}) {
        GstCaps* caps = Caps(RawCaps(format, 7, 5));
        EXPECT_TRUE(gst_pad_query_accept_caps(sink, caps)) << format;
        gst_caps_unref(caps);
    }
    for (const char* text : {"audio/x-raw,format=S16LE,layout=non-interleaved,rate=44100,channels=2",
                             "audio/x-raw,format=S16BE,layout=interleaved,rate=44100,channels=2",
                             "audio/x-raw,format=S24_32LE,layout=interleaved,rate=44100,channels=2",
                             "audio/mpeg,mpegversion=1,layer=3"}) {
        GstCaps* caps = Caps(text);
        EXPECT_FALSE(gst_pad_query_accept_caps(sink, caps)) << text;
        gst_caps_unref(caps);
    }
    GstCaps* srcCaps = gst_pad_get_pad_template_caps(src);
    GstCaps* wav = Caps("audio/x-wav");
    EXPECT_TRUE(gst_caps_is_equal(srcCaps, wav));
    gst_caps_unref(wav);
    gst_caps_unref(srcCaps);
    gst_object_unref(src);
    gst_object_unref(sink);
    gst_object_unref(element);
}

struct DepthCase {
    const char* Format;
    int Bits;
};

class WavDestDepthTest : public WavDestTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(WavDestDepthTest, SilenceKeepsOrNarrowsTheDepthWithExactSizes) {
    const DepthCase c = GetParam();
    const std::string file = c_Dir / "out.wav";
    Pipeline p("audiotestsrc wave=silence num-buffers=4 samplesperbuffer=250 ! " +
               RawCaps(c.Format, 44100, 2) + " ! wavdest ! filesink location=\"" + file + "\"");
    ASSERT_TRUE(p.Valid());
    const Outcome outcome = p.Run();
    ASSERT_TRUE(outcome.Eos) << outcome.Error;

    const std::int64_t dataBytes = 1000 * 2 * c.Bits / 8;
    const Bytes bytes = TestFiles::ReadFile(file);
    ASSERT_EQ(std::int64_t(bytes.size()), 44 + dataBytes);
    const Header h = ParseHeader(bytes);
    EXPECT_EQ(h.Length, 44u);
    EXPECT_EQ(h.Riff, bytes.size() - 8);
    EXPECT_EQ(h.DataSize, std::uint32_t(dataBytes));
    EXPECT_EQ(h.FmtSize, 16u);
    EXPECT_EQ(h.Tag, 1);
    EXPECT_EQ(h.BlockAlign, 2 * c.Bits / 8);
    EXPECT_EQ(h.ByteRate, 44100u * 2 * std::uint32_t(c.Bits) / 8);

    const WaveInfo info = WaveMMIO::GetWaveInfo(file);
    ASSERT_EQ(info.Valid, 1);
    EXPECT_EQ(info.BitsPerSample, c.Bits);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.SamplesPerSec, 44100);
    EXPECT_EQ(info.Frames, 1000);
    EXPECT_EQ(info.DataOffset, 44);
    EXPECT_EQ(info.DataSize, dataBytes);
    EXPECT_EQ(info.FileSize, std::int64_t(bytes.size()));
    EXPECT_EQ(info.FormatTag, 1);

    // Unsigned 8-bit silence sits at mid-scale; every signed format's is zero.
    const std::uint8_t silence = c.Bits == 8 ? 0x80 : 0x00;
    std::size_t wrong = 0;
    for (std::size_t i = 44; i < bytes.size(); ++i)
        wrong += bytes[i] != silence;
    EXPECT_EQ(wrong, 0u);
}

INSTANTIATE_TEST_SUITE_P(Formats, WavDestDepthTest,
                         ::testing::Values(DepthCase{"U8", 8}, DepthCase{"S16LE", 16}, DepthCase{"S24LE", 24},
                                           DepthCase{"S32LE", 16}, DepthCase{"F32LE", 16},
                                           DepthCase{"F64LE", 16}),
                         [](const auto& pInfo) { return std::string(pInfo.param.Format); });

struct LayoutCase {
    int Channels;
    int Rate;
    const char* Format;
    int Bits;
    std::uint32_t Mask;
};

class WavDestLayoutTest : public WavDestTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(WavDestLayoutTest, HeaderFollowsChannelsAndRate) {
    const LayoutCase c = GetParam();
    const std::string file = c_Dir / "out.wav";
    Pipeline p("audiotestsrc num-buffers=4 samplesperbuffer=300 ! " + RawCaps(c.Format, c.Rate, c.Channels) +
               " ! wavdest ! filesink location=\"" + file + "\"");
    ASSERT_TRUE(p.Valid());
    const Outcome outcome = p.Run();
    ASSERT_TRUE(outcome.Eos) << outcome.Error;

    const bool extensible = c.Channels != 1 && c.Channels != 2;
    const std::size_t headerBytes = extensible ? 68 : 44;
    const std::uint32_t blockAlign = std::uint32_t(c.Channels * c.Bits / 8);
    const Bytes bytes = TestFiles::ReadFile(file);
    ASSERT_EQ(bytes.size(), headerBytes + 1200 * blockAlign);
    const Header h = ParseHeader(bytes);
    EXPECT_EQ(h.Length, headerBytes);
    EXPECT_EQ(h.Riff, bytes.size() - 8);
    EXPECT_EQ(h.DataSize, 1200 * blockAlign);
    EXPECT_EQ(h.Channels, c.Channels);
    EXPECT_EQ(h.Rate, std::uint32_t(c.Rate));
    EXPECT_EQ(h.ByteRate, std::uint32_t(c.Rate) * blockAlign);
    EXPECT_EQ(h.BlockAlign, blockAlign);
    EXPECT_EQ(h.Bits, c.Bits);
    if (extensible) {
        EXPECT_EQ(h.FmtSize, 40u);
        EXPECT_EQ(h.Tag, 0xFFFE);
        EXPECT_EQ(LE16(bytes, 36), 22);
        EXPECT_EQ(LE16(bytes, 38), c.Bits);
        EXPECT_EQ(LE32(bytes, 40), c.Mask);
        EXPECT_TRUE(std::equal(std::begin(kPcmGuid), std::end(kPcmGuid), bytes.begin() + 44));
    } else {
        EXPECT_EQ(h.FmtSize, 16u);
        EXPECT_EQ(h.Tag, 1);
    }

    // The reader knows the 1, 2, 6 and 8 channel layouts only.
    if (WaveMode::FromFormat(c.Channels, c.Bits) < 0) return;
    const WaveInfo info = WaveMMIO::GetWaveInfo(file);
    ASSERT_EQ(info.Valid, 1);
    EXPECT_EQ(info.Frames, 1200);
    EXPECT_EQ(info.Channels, c.Channels);
    EXPECT_EQ(info.SamplesPerSec, c.Rate);
    EXPECT_EQ(info.BitsPerSample, c.Bits);
    EXPECT_EQ(info.DataOffset, std::int32_t(headerBytes));
    EXPECT_EQ(info.FormatTag, extensible ? -2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WavDestLayoutTest,
    ::testing::Values(LayoutCase{1, 8000, "S16LE", 16, 0}, LayoutCase{1, 22050, "U8", 8, 0},
                      LayoutCase{2, 48000, "S24LE", 24, 0}, LayoutCase{2, 96000, "F32LE", 16, 0},
                      LayoutCase{6, 44100, "S16LE", 16, 0x3F}, LayoutCase{6, 48000, "S24LE", 24, 0x3F},
                      LayoutCase{8, 44100, "F64LE", 16, 0xFF}, LayoutCase{3, 32000, "S16LE", 16, 0}),
    [](const auto& pInfo) {
        return std::to_string(pInfo.param.Channels) + "ch" + std::to_string(pInfo.param.Rate) +
               pInfo.param.Format;
    });

class WavDestPassthroughTest : public WavDestTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WavDestPassthroughTest, SamplesOfAtMost24BitsAreCopiedByteForByte) {
    const std::string file = c_Dir / "out.wav";
    Pipeline p(AppSrcPipeline(RawCaps(GetParam(), 44100, 2), file));
    ASSERT_TRUE(p.Valid());
    GstElement* in = p.Element("in");
    ASSERT_NE(in, nullptr);
    p.Play();
    // 1200 bytes is a whole number of stereo frames at 8, 16 and 24 bits.
    std::mt19937 random(7);
    Bytes input(6000);
    for (auto& b : input)
        b = std::uint8_t(random());
    for (std::size_t at = 0; at < input.size(); at += 1200)
        ASSERT_EQ(Push(in, input.data() + at, 1200), GST_FLOW_OK);
    EndStream(in);
    const Outcome outcome = p.Wait();
    ASSERT_TRUE(outcome.Eos) << outcome.Error;

    const Bytes bytes = TestFiles::ReadFile(file);
    ASSERT_EQ(bytes.size(), 44 + input.size());
    EXPECT_EQ(ParseHeader(bytes).DataSize, input.size());
    EXPECT_TRUE(std::equal(input.begin(), input.end(), bytes.begin() + 44));
}

INSTANTIATE_TEST_SUITE_P(Formats, WavDestPassthroughTest, ::testing::Values("U8", "S16LE", "S24LE"));

// Float input pushed in two buffers, and the 16-bit samples that come out.
template <typename T>
std::vector<std::int16_t> WriteFloats(const std::string& pFile, const char* pFormat,
                                      const std::vector<T>& pFirst, const std::vector<T>& pSecond) {
    Pipeline p(AppSrcPipeline(RawCaps(pFormat, 44100, 1), pFile));
    if (!p.Valid()) return {};
    GstElement* in = p.Element("in");
    if (in == nullptr) return {};
    p.Play();
    EXPECT_EQ(Push(in, pFirst.data(), pFirst.size() * sizeof(T)), GST_FLOW_OK);
    EXPECT_EQ(Push(in, pSecond.data(), pSecond.size() * sizeof(T)), GST_FLOW_OK);
    EndStream(in);
    const Outcome outcome = p.Wait();
    EXPECT_TRUE(outcome.Eos) << outcome.Error;
    const Bytes bytes = TestFiles::ReadFile(pFile);
    const Header h = ParseHeader(bytes);
    EXPECT_EQ(h.Bits, 16);
    EXPECT_EQ(h.DataSize, (pFirst.size() + pSecond.size()) * 2);
    return Samples16(bytes, 44);
}

struct FloatCase {
    double Value;
    std::int16_t Expected;
};

// Groups of four so the vectorised path meets the plain values, the clamped ones and, last, those it
// must leave to the one-by-one path.
const std::vector<FloatCase> kFloatCases{
    {0.0, 0},
    {0.5, 16384}, // 16383.5: a tie, to the even neighbour
    {-0.5, -16384},
    {1.0, 32767},
    {-1.0, -32767},
    {0.25, 8192}, // 8191.75
    {100.4 / 32767, 100},
    {-100.6 / 32767, -101},
    {1.5, 32767},
    {-1.5, -32768},
    {2.0, 32767},
    {-3.0, -32768},
    {3e10, 32767},
    {-std::numeric_limits<double>::infinity(), -32768},
    {std::numeric_limits<double>::quiet_NaN(), 0},
    {0.75, 24575}, // 24575.25
    {-0.75, -24575},
    // Past the values above, the rest of the buffer goes one by one.
    {0.5, 16384},
    {100.6 / 32767, 101},
    {-100.6 / 32767, -101},
};

// A ramp through and beyond full scale, and what nearest rounding gives for it. Float values times
// 32767 are exact in double and never land half way except at ±0.5, where both tie rules agree.
template <typename T> void Ramp(std::vector<T>& pValues, std::vector<std::int16_t>& pExpected) {
    for (int i = 0; i < 1001; ++i) {
        const float v = -1.2f + float(i) * 0.0024f;
        pValues.push_back(T(v));
        pExpected.push_back(std::int16_t(std::clamp<long>(std::lround(double(v) * 32767.0), -32768, 32767)));
    }
}

TEST_F(WavDestTest, Float32IsScaledRoundedAndClamped) {
    std::vector<float> edges;
    std::vector<std::int16_t> expected;
    for (const FloatCase& c : kFloatCases) {
        edges.push_back(float(c.Value));
        expected.push_back(c.Expected);
    }
    std::vector<float> ramp;
    Ramp(ramp, expected);
    EXPECT_EQ(WriteFloats(c_Dir / "out.wav", "F32LE", edges, ramp), expected);
}

TEST_F(WavDestTest, Float64IsScaledRoundedAndClamped) {
    std::vector<double> edges;
    std::vector<std::int16_t> expected;
    for (const FloatCase& c : kFloatCases) {
        edges.push_back(c.Value);
        expected.push_back(c.Expected);
    }
    std::vector<double> ramp;
    Ramp(ramp, expected);
    EXPECT_EQ(WriteFloats(c_Dir / "out.wav", "F64LE", edges, ramp), expected);
}

TEST_F(WavDestTest, Int32KeepsItsTop16Bits) {
    const std::string file = c_Dir / "out.wav";
    const std::vector<std::int32_t> input{0x7FFFFFFF, std::numeric_limits<std::int32_t>::min(),
                                          -1,         0x00018000,
                                          -65536,     -65537,
                                          0x12345678, 0x0000FFFF,
                                          -0x12345678};
    // Truncation towards minus infinity, as an arithmetic shift does; rounding would give 2 and 0x1235.
    const std::vector<std::int16_t> expected{32767, -32768, -1, 1, -1, -2, 0x1234, 0, -0x1235};
    Pipeline p(AppSrcPipeline(RawCaps("S32LE", 8000, 1), file));
    ASSERT_TRUE(p.Valid());
    GstElement* in = p.Element("in");
    ASSERT_NE(in, nullptr);
    p.Play();
    ASSERT_EQ(Push(in, input.data(), input.size() * 4), GST_FLOW_OK);
    EndStream(in);
    const Outcome outcome = p.Wait();
    ASSERT_TRUE(outcome.Eos) << outcome.Error;
    const Bytes bytes = TestFiles::ReadFile(file);
    EXPECT_EQ(ParseHeader(bytes).Bits, 16);
    EXPECT_EQ(Samples16(bytes, 44), expected);
}

TEST_F(WavDestTest, NonInterleavedInputIsRefused) {
    const std::string file = c_Dir / "out.wav";
    Pipeline p(AppSrcPipeline("audio/x-raw,format=S16LE,layout=non-interleaved,rate=44100,channels=2", file));
    ASSERT_TRUE(p.Valid());
    GstElement* in = p.Element("in");
    ASSERT_NE(in, nullptr);
    p.Play();
    const std::vector<std::int16_t> samples(200, 1000);
    Push(in, samples.data(), samples.size() * 2);
    EndStream(in);
    const Outcome outcome = p.Wait();
    EXPECT_FALSE(outcome.Eos);
    EXPECT_FALSE(outcome.Error.empty());
    p.Stop();
    EXPECT_TRUE(TestFiles::ReadFile(file).empty());
}

TEST_F(WavDestTest, NonInterleavedInputIsWrittenThroughAudioconvert) {
    const std::string file = c_Dir / "out.wav";
    Pipeline p("audiotestsrc num-buffers=3 samplesperbuffer=100 ! "
               "audio/x-raw,format=F32LE,layout=non-interleaved,rate=22050,channels=2 ! audioconvert ! "
               "wavdest ! filesink location=\"" +
               file + "\"");
    ASSERT_TRUE(p.Valid());
    const Outcome outcome = p.Run();
    ASSERT_TRUE(outcome.Eos) << outcome.Error;
    const WaveInfo info = WaveMMIO::GetWaveInfo(file);
    ASSERT_EQ(info.Valid, 1);
    EXPECT_EQ(info.Frames, 300);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.SamplesPerSec, 22050);
}

TEST_F(WavDestTest, PlanarFloatIsTakenDirectlyWithTheSameSamples) {
    // The same tone once as planes straight into the writer, once interleaved in front of it.
    const std::string tone = "audiotestsrc num-buffers=4 samplesperbuffer=1000 wave=sine freq=997 ! "
                             "audio/x-raw,format=F32LE,layout=non-interleaved,rate=32000,channels=2 ! ";
    const std::string planar = c_Dir / "planar.wav";
    const std::string interleaved = c_Dir / "interleaved.wav";
    Pipeline direct(tone + "wavdest ! filesink location=\"" + planar + "\"");
    Pipeline converted(tone +
                       "audioconvert ! audio/x-raw,format=F32LE,layout=interleaved ! wavdest ! "
                       "filesink location=\"" +
                       interleaved + "\"");
    ASSERT_TRUE(direct.Valid());
    ASSERT_TRUE(converted.Valid());
    ASSERT_TRUE(direct.Run().Eos);
    ASSERT_TRUE(converted.Run().Eos);
    const Bytes bytes = TestFiles::ReadFile(planar);
    EXPECT_EQ(bytes, TestFiles::ReadFile(interleaved));
    const WaveInfo info = WaveMMIO::GetWaveInfo(planar);
    EXPECT_EQ(info.Frames, 4000);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.BitsPerSample, 16);
    const std::vector<std::int16_t> samples = Samples16(bytes, 44);
    EXPECT_GT(*std::max_element(samples.begin(), samples.end()), 10000) << "a tone, not silence";
}

struct CapsChangeCase {
    const char* Name;
    const char* Second;
};

class WavDestCapsChangeTest : public WavDestTest, public ::testing::WithParamInterface<CapsChangeCase> {};

TEST_P(WavDestCapsChangeTest, ChangeMidStreamStopsRatherThanMixing) {
    const std::string file = c_Dir / "out.wav";
    Pipeline p(AppSrcPipeline(RawCaps("S16LE", 44100, 2), file));
    ASSERT_TRUE(p.Valid());
    GstElement* in = p.Element("in");
    ASSERT_NE(in, nullptr);
    p.Play();
    const std::vector<std::int16_t> samples(400, 1234);
    ASSERT_EQ(Push(in, samples.data(), samples.size() * 2), GST_FLOW_OK);
    GstCaps* second = Caps(GetParam().Second);
    g_object_set(in, "caps", second, nullptr);
    gst_caps_unref(second);
    Push(in, samples.data(), samples.size() * 2);
    EndStream(in);
    const Outcome outcome = p.Wait();
    EXPECT_FALSE(outcome.Eos);
    EXPECT_NE(outcome.Error, "timeout");
    EXPECT_FALSE(outcome.Error.empty());
    // Only the first part reached the file. The source still ends the stream after its error, so the
    // header may or may not have been completed by the time the pipeline stops; either way it claims
    // no more than that part.
    p.Stop();
    const Bytes bytes = TestFiles::ReadFile(file);
    // The error can also overtake the first part on its way to the file: then nothing was written.
    if (bytes.empty()) return;
    ASSERT_EQ(bytes.size(), 44 + samples.size() * 2);
    const Header h = ParseHeader(bytes);
    EXPECT_EQ(h.Rate, 44100u);
    EXPECT_EQ(h.Channels, 2);
    EXPECT_EQ(h.Bits, 16);
    EXPECT_TRUE(h.DataSize == 800 || h.DataSize == 0xFFFFFFFFu) << h.DataSize;
}

INSTANTIATE_TEST_SUITE_P(
    Changes, WavDestCapsChangeTest,
    ::testing::Values(
        CapsChangeCase{"Rate", "audio/x-raw,format=S16LE,layout=interleaved,rate=48000,channels=2"},
        CapsChangeCase{"Channels", "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=1"},
        CapsChangeCase{"Format", "audio/x-raw,format=S24LE,layout=interleaved,rate=44100,channels=2"}),
    [](const auto& pInfo) { return std::string(pInfo.param.Name); });

void CollectBytes(GstElement*, GstBuffer* pBuffer, GstPad*, gpointer pBytes) {
    auto* bytes = static_cast<Bytes*>(pBytes);
    const std::size_t at = bytes->size();
    bytes->resize(at + gst_buffer_get_size(pBuffer));
    gst_buffer_extract(pBuffer, 0, bytes->data() + at, gst_buffer_get_size(pBuffer));
}

TEST_F(WavDestTest, UnseekableDownstreamKeepsTheOpenEndedSizes) {
    Pipeline p("audiotestsrc num-buffers=2 samplesperbuffer=100 ! " + RawCaps("S16LE", 44100, 2) +
               " ! wavdest ! fakesink name=out sync=false signal-handoffs=true");
    ASSERT_TRUE(p.Valid());
    GstElement* out = p.Element("out");
    ASSERT_NE(out, nullptr);
    Bytes bytes;
    g_signal_connect(out, "handoff", G_CALLBACK(CollectBytes), &bytes);
    const Outcome outcome = p.Run();
    ASSERT_TRUE(outcome.Eos) << outcome.Error;
    // One header, then the samples, and nothing sent again at the end.
    ASSERT_EQ(bytes.size(), 44u + 800u);
    const Header h = ParseHeader(bytes);
    EXPECT_EQ(h.Riff, 0xFFFFFFFFu);
    EXPECT_EQ(h.DataSize, 0xFFFFFFFFu);
    EXPECT_EQ(h.Rate, 44100u);
}

TEST_F(WavDestTest, EmptyStreamGetsAHeaderWithZeroData) {
    const std::string file = c_Dir / "out.wav";
    Pipeline p("audiotestsrc num-buffers=0 ! " + RawCaps("S16LE", 44100, 1) +
               " ! wavdest ! filesink location=\"" + file + "\"");
    ASSERT_TRUE(p.Valid());
    const Outcome outcome = p.Run();
    ASSERT_TRUE(outcome.Eos) << outcome.Error;
    const Bytes bytes = TestFiles::ReadFile(file);
    ASSERT_EQ(bytes.size(), 44u);
    const Header h = ParseHeader(bytes);
    EXPECT_EQ(h.Riff, 36u);
    EXPECT_EQ(h.DataSize, 0u);
    const WaveInfo info = WaveMMIO::GetWaveInfo(file);
    EXPECT_EQ(info.Valid, 1);
    EXPECT_EQ(info.Frames, 0);
}

TEST_F(WavDestTest, PositionQueriesCountWhatWasWritten) {
    const std::string file = c_Dir / "out.wav";
    Pipeline p("audiotestsrc num-buffers=5 samplesperbuffer=441 ! " + RawCaps("F32LE", 44100, 2) +
               " ! wavdest name=w ! filesink location=\"" + file + "\"");
    ASSERT_TRUE(p.Valid());
    GstElement* w = p.Element("w");
    ASSERT_NE(w, nullptr);
    const Outcome outcome = p.Run();
    ASSERT_TRUE(outcome.Eos) << outcome.Error;
    GstPad* src = gst_element_get_static_pad(w, "src");
    gint64 bytes = -1;
    gint64 time = -1;
    EXPECT_TRUE(gst_pad_query_position(src, GST_FORMAT_BYTES, &bytes));
    EXPECT_TRUE(gst_pad_query_position(src, GST_FORMAT_TIME, &time));
    gst_object_unref(src);
    EXPECT_EQ(bytes, 44 + 2205 * 4);
    EXPECT_EQ(time, gint64(GST_SECOND) / 20);
    EXPECT_EQ(std::int64_t(TestFiles::ReadFile(file).size()), bytes);
}

// What the writer sends downstream, seen from its source pad, with downstream claiming it can seek.
struct Capture {
    std::vector<std::size_t> BufferSizes;
    Bytes LastSmallBuffer;
    std::vector<std::string> Order;
};

GstPadProbeReturn OnDownstream(GstPad*, GstPadProbeInfo* pInfo, gpointer pCapture) {
    auto* capture = static_cast<Capture*>(pCapture);
    if ((GST_PAD_PROBE_INFO_TYPE(pInfo) & GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM) != 0) {
        GstQuery* query = GST_PAD_PROBE_INFO_QUERY(pInfo);
        if (GST_QUERY_TYPE(query) != GST_QUERY_SEEKING) return GST_PAD_PROBE_OK;
        gst_query_set_seeking(query, GST_FORMAT_BYTES, TRUE, 0, -1);
        return GST_PAD_PROBE_HANDLED;
    }
    if ((GST_PAD_PROBE_INFO_TYPE(pInfo) & GST_PAD_PROBE_TYPE_BUFFER) != 0) {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(pInfo);
        const std::size_t size = gst_buffer_get_size(buffer);
        capture->BufferSizes.push_back(size);
        capture->Order.push_back("buffer");
        // The large buffers point at memory that is never there; only headers are read.
        if (size <= 68) {
            capture->LastSmallBuffer.resize(size);
            gst_buffer_extract(buffer, 0, capture->LastSmallBuffer.data(), size);
        }
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(pInfo);
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(event, &segment);
        capture->Order.push_back(segment->format == GST_FORMAT_BYTES && segment->start == 0 ? "segment@0"
                                                                                            : "segment");
    }
    return GST_PAD_PROBE_OK;
}

// Data sizes beyond what a small test can hold: buffers that claim the size without the memory.
Capture WriteClaimedSizes(const std::vector<guint64>& pSizes) {
    Capture capture;
    Pipeline p("appsrc name=in caps=\"" + RawCaps("S16LE", 44100, 2) +
               "\" ! wavdest name=w ! fakesink sync=false");
    if (!p.Valid()) return capture;
    GstElement* in = p.Element("in");
    GstElement* w = p.Element("w");
    if (in == nullptr || w == nullptr) return capture;
    GstPad* src = gst_element_get_static_pad(w, "src");
    gst_pad_add_probe(src,
                      GstPadProbeType(GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM | GST_PAD_PROBE_TYPE_BUFFER |
                                      GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      OnDownstream, &capture, nullptr);
    gst_object_unref(src);
    p.Play();
    static std::uint8_t nothing[4]{};
    for (const guint64 size : pSizes) {
        GstBuffer* buffer =
            gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, nothing, size, 0, size, nullptr, nullptr);
        GstFlowReturn r = GST_FLOW_OK;
        g_signal_emit_by_name(in, "push-buffer", buffer, &r);
        gst_buffer_unref(buffer);
        EXPECT_EQ(r, GST_FLOW_OK);
    }
    EndStream(in);
    const Outcome outcome = p.Wait();
    EXPECT_TRUE(outcome.Eos) << outcome.Error;
    return capture;
}

TEST_F(WavDestTest, SeekableDownstreamGetsTheHeaderAgainFromTheStart) {
    const Capture c = WriteClaimedSizes({4000, 4000});
    ASSERT_GE(c.Order.size(), 2u);
    EXPECT_EQ(c.Order[c.Order.size() - 2], "segment@0");
    EXPECT_EQ(c.Order.back(), "buffer");
    EXPECT_EQ(c.BufferSizes, (std::vector<std::size_t>{44, 4000, 4000, 44}));
    const Header h = ParseHeader(c.LastSmallBuffer);
    EXPECT_EQ(h.DataSize, 8000u);
    EXPECT_EQ(h.Riff, 8036u);
}

TEST_F(WavDestTest, SizesBeyond4GiBSaturateInsteadOfWrapping) {
    const guint64 gib = guint64(1) << 30;
    {
        // 6 GiB: both fields would wrap to 2 GiB.
        const Capture c = WriteClaimedSizes({3 * gib, 3 * gib});
        const Header h = ParseHeader(c.LastSmallBuffer);
        EXPECT_EQ(h.DataSize, 0xFFFFFFFFu);
        EXPECT_EQ(h.Riff, 0xFFFFFFFFu);
    }
    {
        // The data fits; the RIFF size, 36 bytes more, does not.
        const Capture c = WriteClaimedSizes({3 * gib, 0xFFFFFFFFull - 35 - 3 * gib});
        const Header h = ParseHeader(c.LastSmallBuffer);
        EXPECT_EQ(h.DataSize, 0xFFFFFFFFu - 35);
        EXPECT_EQ(h.Riff, 0xFFFFFFFFu);
    }
    {
        const Capture c = WriteClaimedSizes({3 * gib, 0xFFFFFFFFull - 39 - 3 * gib});
        const Header h = ParseHeader(c.LastSmallBuffer);
        EXPECT_EQ(h.DataSize, 0xFFFFFFFFu - 39);
        EXPECT_EQ(h.Riff, 0xFFFFFFFFu - 3);
    }
}

// The element alone between two pads of the test's own, fed and read one event and buffer at a time;
// downstream claims it can seek.
struct Harness {
    GstElement* Element = nullptr;
    GstPad* Feeder = nullptr;
    GstPad* Catcher = nullptr;
    std::vector<std::string> Seen;
    Bytes Written;

    static Harness* Of(GstPad* pPad) { return static_cast<Harness*>(gst_pad_get_element_private(pPad)); }

    static GstFlowReturn Chain(GstPad* pPad, GstObject*, GstBuffer* pBuffer) {
        Harness* h = Of(pPad);
        h->Seen.push_back("buffer " + std::to_string(gst_buffer_get_size(pBuffer)));
        gst_buffer_unref(pBuffer);
        return GST_FLOW_OK;
    }

    static gboolean Event(GstPad* pPad, GstObject*, GstEvent* pEvent) {
        Harness* h = Of(pPad);
        if (GST_EVENT_TYPE(pEvent) == GST_EVENT_SEGMENT) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(pEvent, &segment);
            h->Seen.push_back(std::string("segment ") + gst_format_get_name(segment->format) + " " +
                              std::to_string(segment->start));
        } else if (GST_EVENT_TYPE(pEvent) != GST_EVENT_STREAM_START &&
                   GST_EVENT_TYPE(pEvent) != GST_EVENT_CAPS) {
            h->Seen.push_back(GST_EVENT_TYPE_NAME(pEvent));
        }
        gst_event_unref(pEvent);
        return TRUE;
    }

    static gboolean Query(GstPad* pPad, GstObject* pParent, GstQuery* pQuery) {
        if (GST_QUERY_TYPE(pQuery) != GST_QUERY_SEEKING) return gst_pad_query_default(pPad, pParent, pQuery);
        gst_query_set_seeking(pQuery, GST_FORMAT_BYTES, TRUE, 0, -1);
        return TRUE;
    }

    Harness() {
        Element = gst_element_factory_make("wavdest", nullptr);
        if (Element == nullptr) return;
        gst_object_ref_sink(Element);
        Feeder = gst_pad_new("feeder", GST_PAD_SRC);
        Catcher = gst_pad_new("catcher", GST_PAD_SINK);
        gst_pad_set_element_private(Catcher, this);
        gst_pad_set_chain_function(Catcher, Chain);
        gst_pad_set_event_function(Catcher, Event);
        gst_pad_set_query_function(Catcher, Query);
        GstPad* sink = gst_element_get_static_pad(Element, "sink");
        GstPad* src = gst_element_get_static_pad(Element, "src");
        EXPECT_EQ(gst_pad_link(Feeder, sink), GST_PAD_LINK_OK);
        EXPECT_EQ(gst_pad_link(src, Catcher), GST_PAD_LINK_OK);
        gst_object_unref(src);
        gst_object_unref(sink);
        gst_pad_set_active(Feeder, TRUE);
        gst_pad_set_active(Catcher, TRUE);
        gst_element_set_state(Element, GST_STATE_PLAYING);
        gst_pad_push_event(Feeder, gst_event_new_stream_start("wavdest-test"));
        GstCaps* caps = Caps(RawCaps("S16LE", 44100, 2));
        gst_pad_push_event(Feeder, gst_event_new_caps(caps));
        gst_caps_unref(caps);
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_TIME);
        gst_pad_push_event(Feeder, gst_event_new_segment(&segment));
    }
    ~Harness() {
        if (Element == nullptr) return;
        gst_element_set_state(Element, GST_STATE_NULL);
        gst_pad_set_active(Feeder, FALSE);
        gst_pad_set_active(Catcher, FALSE);
        gst_object_unref(Feeder);
        gst_object_unref(Catcher);
        gst_object_unref(Element);
    }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    GstFlowReturn PushSilence(std::size_t pBytes) {
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, pBytes, nullptr);
        gst_buffer_memset(buffer, 0, 0, pBytes);
        return gst_pad_push(Feeder, buffer);
    }
};

TEST_F(WavDestTest, AfterAFlushTheDataGoesWhereTheNewSegmentStarts) {
    // A restart from the beginning overwrites what was written instead of adding it again.
    Harness h;
    ASSERT_NE(h.Element, nullptr);
    ASSERT_EQ(h.PushSilence(400), GST_FLOW_OK);
    gst_pad_push_event(h.Feeder, gst_event_new_flush_start());
    gst_pad_push_event(h.Feeder, gst_event_new_flush_stop(TRUE));
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_pad_push_event(h.Feeder, gst_event_new_segment(&segment));
    ASSERT_EQ(h.PushSilence(400), GST_FLOW_OK);
    // A flush to a later time keeps what came before it; one past the end leaves no gap.
    gst_pad_push_event(h.Feeder, gst_event_new_flush_start());
    gst_pad_push_event(h.Feeder, gst_event_new_flush_stop(TRUE));
    segment.start = segment.time = GST_SECOND;
    gst_pad_push_event(h.Feeder, gst_event_new_segment(&segment));
    ASSERT_EQ(h.PushSilence(400), GST_FLOW_OK);
    gst_pad_push_event(h.Feeder, gst_event_new_eos());
    EXPECT_EQ(h.Seen, (std::vector<std::string>{"segment bytes 0", "buffer 44", "buffer 400", "flush-start",
                                                "flush-stop", "segment bytes 44", "buffer 400", "flush-start",
                                                "flush-stop", "segment bytes 444", "buffer 400",
                                                "segment bytes 0", "buffer 44", "eos"}));
}

} // namespace
