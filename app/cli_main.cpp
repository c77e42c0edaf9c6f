// tolvane-cli: converts WAV files from the command line with the same engine as the window.
#include "app/CliConverter.h"
#include "app/CliInfo.h"
#include "engine/AcmCodec.h"
#include "engine/WaveMMIO.h"
#include "support/FileUtil.h"
#include "support/Log.h"
#include "support/Settings.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

void OnSignal(int) {
    CliConverter::Stop();
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

std::string RateList() {
    std::string list;
    for (const auto r : WaveMMIO::TargetRates())
        list += (list.empty() ? "" : ", ") + std::to_string(r);
    return list;
}

} // namespace

int main(int argc, char** argv) {
    Support::SetCommandLine(argc, argv);

    CLI::App app{"Tolvane: converts WAV files to another sample rate and channel/bit-depth mode.\n"
                 "Outputs never replace existing files; numbered names are used instead."};
    std::vector<std::string> files;
    std::int32_t rate = 44100;
    std::string modeText = "Stereo16bit";
    bool noDither = false;
    std::string outFolder;
    bool info = false;
    std::int32_t mp3 = 0;
    app.add_option("FILE", files, "WAV files to convert")->required();
    app.add_option("--mp3", mp3, "encode the result to MP3 at this bit rate in kbit/s (16-bit modes only)");
    app.add_flag("--info", info, "print what Tolvane reads from each file instead of converting");
    app.add_option("--rate", rate, "target sample rate in Hz (" + RateList() + ")")->capture_default_str();
    app.add_option("--mode", modeText,
                   "target mode by name or number: 0 Mono8bit, 1 Stereo8bit, 2 Mono16bit, 3 Stereo16bit, "
                   "4 Mono24bit, 5 Stereo24bit")
        ->capture_default_str();
    app.add_flag("--no-dither", noDither, "pick the nearest sample instead of interpolating when resampling");
    app.add_option("--out", outFolder, "output folder (created when missing; default: beside each source)");
    CLI11_PARSE(app, argc, argv);

    Support::InitSettingsStore(Support::kProductTitle);
    Support::LoadLogSwitches();
    const std::string startFolder = std::filesystem::current_path().string();

    if (info) {
        for (const std::string& path : Support::ParseCommandLine(files, startFolder))
            std::cout << DescribeFile(path);
        return 0;
    }

    const auto rates = WaveMMIO::TargetRates();
    if (std::find(rates.begin(), rates.end(), rate) == rates.end()) {
        std::cerr << "tolvane-cli: --rate must be one of " << RateList() << "\n";
        return 2;
    }
    CliSettings settings;
    settings.Rate = rate;
    settings.Mode = ParseTargetMode(modeText);
    settings.Dither = !noDither;
    if (settings.Mode < 0) {
        std::cerr << "tolvane-cli: unknown --mode '" << modeText << "'\n";
        return 2;
    }
    if (mp3 != 0) {
        const int channels = WaveMode::Channels(settings.Mode);
        if (WaveMode::Bits(settings.Mode) != 16 ||
            !AcmCodec::EncoderAccepts(std::uint32_t(rate), std::uint32_t(mp3), std::uint16_t(channels), 16)) {
            std::cerr << "tolvane-cli: --mp3 " << mp3 << " is not an MP3 bit rate for " << rate << " Hz "
                      << modeText << " (MP3 needs Mono16bit or Stereo16bit)\n";
            return 2;
        }
        settings.Mp3Kbps = mp3;
    }
    if (!outFolder.empty()) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(outFolder, ec).lexically_normal();
        std::filesystem::create_directories(absolute, ec);
        if (!Support::FolderExists(absolute.string())) {
            std::cerr << "tolvane-cli: cannot use output folder '" << outFolder << "'\n";
            return 2;
        }
        settings.OutFolder = absolute.string();
    }

    InstallStopHandlers();
    CliConverter converter(settings);
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    int failed = 0;
    int converted = 0;
    int unchanged = 0;
    bool stopped = false;
    for (const std::string& source :
         Support::ParseCommandLine(files, std::filesystem::current_path().string())) {
        if (showProgress) {
            converter.OnProgress = [&source](float pRate) {
                std::fprintf(stderr, "\r\033[K%3d%%  %s", int(std::min(pRate, 1.0f) * 100.0f),
                             source.c_str());
                std::fflush(stderr);
            };
        }
        const CliFileResult r = converter.ConvertFile(source);
        if (showProgress) std::fputs("\r\033[K", stderr);
        switch (r.Outcome) {
        case CliOutcome::Converted:
            ++converted;
            std::cout << "converted  " << source << " -> " << r.Output << "  (" << r.Detail << ")\n";
            break;
        case CliOutcome::Unchanged:
            ++unchanged;
            std::cout << "unchanged  " << source << "  (" << r.Detail << "; nothing written)\n";
            break;
        case CliOutcome::Failed:
            ++failed;
            std::cout << "failed     " << source << "  (" << r.Detail << ")\n";
            break;
        case CliOutcome::Stopped:
            stopped = true;
            std::cout << "stopped    " << source << "  (partial output deleted)\n";
            break;
        }
        std::cout.flush();
        if (stopped) break;
    }
    std::cout << converted << " converted, " << unchanged << " unchanged, " << failed << " failed"
              << (stopped ? ", stopped" : "") << "\n";
    if (stopped) return 130;
    return failed > 0 ? 1 : 0;
}
