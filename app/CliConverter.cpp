#include "app/CliConverter.h"

#include "engine/C_ConvWave.h"
#include "engine/C_DecodeAudio.h"
#include "engine/C_mp3acm.h"
#include "engine/FCT_mpeg.h"
#include "engine/WaveMMIO.h"
#include "support/FileUtil.h"

#include <QString>

#include <charconv>

namespace {

volatile std::sig_atomic_t g_StopRequested = 0;

std::string Describe(std::int32_t pRate, int pMode) {
    return std::to_string(pRate) + " Hz " + WaveMMIO::WaveModeName(pMode);
}

} // namespace

int ParseTargetMode(const std::string& pText) {
    int number = -1;
    const auto [end, ec] = std::from_chars(pText.data(), pText.data() + pText.size(), number);
    if (ec == std::errc() && end == pText.data() + pText.size())
        return number >= 0 && number <= WaveMode::kLastTarget ? number : -1;
    const QString wanted = QString::fromStdString(pText).trimmed();
    for (int m = 0; m <= WaveMode::kLastTarget; ++m)
        if (wanted.compare(QString::fromStdString(WaveMMIO::WaveModeName(m)), Qt::CaseInsensitive) == 0)
            return m;
    return -1;
}

std::function<void(float, std::int32_t&)> CliConverter::ProgressHandler() {
    return [this](float pRate, std::int32_t& pCancel) {
        if (OnProgress) OnProgress(pRate);
        pCancel = StopRequested() ? 1 : 0;
    };
}

CliConverter::CliConverter(CliSettings pSettings)
    : c_Settings(std::move(pSettings)) {}

void CliConverter::Stop() noexcept {
    g_StopRequested = 1;
}

bool CliConverter::StopRequested() noexcept {
    return g_StopRequested != 0;
}

namespace {

// Temporary files of one source, removed on every way out unless handed on.
class Temporaries {
public:
    ~Temporaries() {
        for (const std::string& path : c_Paths)
            Support::DeleteFileSafe(path);
    }
    void Add(const std::string& pPath) { c_Paths.push_back(pPath); }
    void Release(const std::string& pPath) { std::erase(c_Paths, pPath); }
    void Drop(const std::string& pPath) {
        Support::DeleteFileSafe(pPath);
        Release(pPath);
    }

private:
    std::vector<std::string> c_Paths;
};

// A decoder that reports the same fraction this many times in a row has stalled.
constexpr int kStallReports = 200;

} // namespace

CliFileResult CliConverter::ConvertFile(const std::string& pSource) {
    if (StopRequested()) return {CliOutcome::Stopped, {}, {}};
    if (!Support::FileExists(pSource)) return {CliOutcome::Failed, {}, "file not found"};

    const std::string folder = c_Settings.OutFolder.empty()
                                   ? Support::SplitPath(pSource, 1, 1, 0, 0, 0)
                                   : Support::SetTrailingSeparator(c_Settings.OutFolder, 0);
    const std::string base = Support::SplitPath(pSource, 0, 0, 1, 0, 0);
    Temporaries temps;
    std::string current = pSource;
    WaveInfo info = WaveMMIO::GetWaveInfo(current);
    std::string from;

    if (info.FormatTag != 1) {
        if (Support::SplitPath(pSource, 0, 0, 0, 0, 1, 1) == "mp3") {
            MpegInfo mpeg;
            if (FCT_mpeg::ReadMpegInfo(current, mpeg, 0) != 1)
                return {CliOutcome::Failed, {}, "not MPEG audio"};
            if (mpeg.AudioStart != 1) {
                // The decoder starts at the first frame: a leading tag is cut off first.
                const std::string strip = Support::ClaimNumberedName(folder + "~strip.mp3", 2);
                if (strip.empty())
                    return {CliOutcome::Failed, {}, "cannot create a temporary file in " + folder};
                temps.Add(strip);
                if (!FCT_mpeg::CopyFileRange(current, strip, mpeg.AudioStart, mpeg.AudioEnd))
                    return {CliOutcome::Failed, {}, "cannot copy the audio frames"};
                current = strip;
            }
        }
        const std::string decoded = Support::ClaimNumberedName(folder + "~decode.wav", 2);
        if (decoded.empty()) return {CliOutcome::Failed, {}, "cannot create a temporary file in " + folder};
        temps.Add(decoded);
        C_DecodeAudio decoder;
        float last = -1;
        int repeats = 0;
        bool stalled = false;
        QObject::connect(
            &decoder, &C_DecodeAudio::Prog, &decoder,
            [&](float pRate, std::int32_t& pCancel) {
                repeats = pRate == last ? repeats + 1 : 0;
                last = pRate;
                if (repeats > kStallReports) {
                    stalled = true;
                    decoder.Canceled(1);
                }
                if (OnProgress) OnProgress(pRate);
                pCancel = StopRequested() ? 1 : 0;
            },
            Qt::DirectConnection);
        (void)decoder.DecodeAudio(current, decoded);
        if (current != pSource) temps.Drop(current);
        if (StopRequested()) return {CliOutcome::Stopped, {}, {}};
        info = WaveMMIO::GetWaveInfo(decoded);
        if (stalled || !info.Valid)
            return {CliOutcome::Failed, {}, stalled ? "decoding stalled" : "cannot decode"};
        current = decoded;
        from = "decoded, ";
    } else if (!info.Valid) {
        return {CliOutcome::Failed,
                {},
                "unsupported PCM layout (" + std::to_string(info.Channels) + " channels, " +
                    std::to_string(info.BitsPerSample) + " bits)"};
    }

    from += Describe(info.SamplesPerSec, info.Mode);
    if (info.SamplesPerSec != c_Settings.Rate || info.Mode != c_Settings.Mode) {
        const std::string converted = Support::ClaimNumberedName(folder + "~conv.wav", 2);
        if (converted.empty()) return {CliOutcome::Failed, {}, "cannot create a temporary file in " + folder};
        temps.Add(converted);
        C_ConvWave converter;
        converter.BlockPause(0);
        QObject::connect(&converter, &C_ConvWave::Prog, &converter, ProgressHandler(), Qt::DirectConnection);
        const int ok = converter.ConvWave(
            current, converted, c_Settings.Rate, std::int16_t(WaveMode::Bits(c_Settings.Mode)),
            std::int16_t(WaveMode::Channels(c_Settings.Mode)), c_Settings.Dither ? 1 : 0, 0);
        if (current != pSource) temps.Drop(current);
        if (ok == 0) {
            if (StopRequested()) return {CliOutcome::Stopped, {}, {}};
            return {CliOutcome::Failed,
                    {},
                    "conversion failed (unreadable data, no space, or too large for WAV)"};
        }
        current = converted;
    } else if (current == pSource && c_Settings.Mp3Kbps == 0) {
        return {CliOutcome::Unchanged, {}, "already " + from};
    }

    if (c_Settings.Mp3Kbps != 0) {
        const std::string mp3 = Support::ClaimNumberedName(folder + base + ".mp3", 2);
        if (mp3.empty()) return {CliOutcome::Failed, {}, "cannot create the output file in " + folder};
        temps.Add(mp3);
        C_mp3acm encoder;
        QObject::connect(&encoder, &C_mp3acm::EncProg, &encoder, ProgressHandler(), Qt::DirectConnection);
        const int ok = encoder.EncFromWavfile(current, mp3, c_Settings.Mp3Kbps);
        if (current != pSource) temps.Drop(current);
        if (ok == 0 || !Support::FileExists(mp3)) {
            if (StopRequested()) return {CliOutcome::Stopped, {}, {}};
            return {CliOutcome::Failed, {}, "MP3 encoding failed"};
        }
        temps.Release(mp3);
        return {CliOutcome::Converted, mp3,
                from + " => mp3 " + std::to_string(c_Settings.Mp3Kbps) + " kbit/s"};
    }

    const std::string out = Support::MoveToNumberedName(current, folder + base + ".wav", 2);
    if (out.empty()) return {CliOutcome::Failed, {}, "cannot create the output file in " + folder};
    temps.Release(current);
    return {CliOutcome::Converted, out, from + " => " + Describe(c_Settings.Rate, c_Settings.Mode)};
}
