#include "app/CliConverter.h"

#include "engine/C_ConvWave.h"
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

CliConverter::CliConverter(CliSettings pSettings)
    : c_Settings(std::move(pSettings)) {}

void CliConverter::Stop() noexcept {
    g_StopRequested = 1;
}

bool CliConverter::StopRequested() noexcept {
    return g_StopRequested != 0;
}

CliFileResult CliConverter::ConvertFile(const std::string& pSource) {
    if (StopRequested()) return {CliOutcome::Stopped, {}, {}};
    if (!Support::FileExists(pSource)) return {CliOutcome::Failed, {}, "file not found"};

    const WaveInfo info = WaveMMIO::GetWaveInfo(pSource);
    if (info.FormatTag != 1) return {CliOutcome::Failed, {}, "not a PCM WAV file"};
    if (!info.Valid)
        return {CliOutcome::Failed,
                {},
                "unsupported PCM layout (" + std::to_string(info.Channels) + " channels, " +
                    std::to_string(info.BitsPerSample) + " bits)"};
    if (info.SamplesPerSec == c_Settings.Rate && info.Mode == c_Settings.Mode)
        return {CliOutcome::Unchanged, {}, "already " + Describe(info.SamplesPerSec, info.Mode)};

    const std::string folder = c_Settings.OutFolder.empty()
                                   ? Support::SplitPath(pSource, 1, 1, 0, 0, 0)
                                   : Support::SetTrailingSeparator(c_Settings.OutFolder, 0);
    const std::string base = Support::SplitPath(pSource, 0, 0, 1, 0, 0);

    const std::string temp = Support::ClaimNumberedName(folder + "~conv.wav", 2);
    if (temp.empty()) return {CliOutcome::Failed, {}, "cannot create a temporary file in " + folder};

    C_ConvWave converter;
    converter.BlockPause(0);
    QObject::connect(
        &converter, &C_ConvWave::Prog, &converter,
        [this](float pRate, std::int32_t& pCancel) {
            if (OnProgress) OnProgress(pRate);
            pCancel = StopRequested() ? 1 : 0;
        },
        Qt::DirectConnection);
    const int ok =
        converter.ConvWave(pSource, temp, c_Settings.Rate, std::int16_t(WaveMode::Bits(c_Settings.Mode)),
                           std::int16_t(WaveMode::Channels(c_Settings.Mode)), c_Settings.Dither ? 1 : 0, 0);
    if (ok == 0) {
        Support::DeleteFileSafe(temp);
        if (StopRequested()) return {CliOutcome::Stopped, {}, {}};
        return {
            CliOutcome::Failed, {}, "conversion failed (unreadable data, no space, or too large for WAV)"};
    }

    const std::string out = Support::MoveToNumberedName(temp, folder + base + ".wav", 2);
    if (out.empty()) {
        Support::DeleteFileSafe(temp);
        return {CliOutcome::Failed, {}, "cannot create the output file in " + folder};
    }
    return {CliOutcome::Converted, out,
            Describe(info.SamplesPerSec, info.Mode) + " => " + Describe(c_Settings.Rate, c_Settings.Mode)};
}
