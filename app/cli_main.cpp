// tolvane-cli: the window's batch run from the command line, with the same driver and engine.
#include "app/BatchDriver.h"
#include "app/BatchFile.h"
#include "app/CliHost.h"
#include "app/CliInfo.h"
#include "app/WindowChoices.h"
#include "engine/C_mp3acm.h"
#include "engine/WaveMMIO.h"
#include "support/FileUtil.h"
#include "support/Log.h"
#include "support/Settings.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace {

void OnSignal(int) {
    CliHost::RequestStop();
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    // At a file-size limit a write should fail like on a full disk, not kill the run.
    ::signal(SIGXFSZ, SIG_IGN);
}

std::string Joined(const std::vector<std::string>& pItems) {
    std::string list;
    for (const auto& item : pItems)
        list += (list.empty() ? "" : ", ") + item;
    return list;
}

std::vector<std::string> RateTexts() {
    std::vector<std::string> texts;
    for (const auto r : WaveMMIO::TargetRates())
        texts.push_back(std::to_string(r));
    return texts;
}

std::string Saved(const std::string& pText) {
    return " (saved setting: " + (pText.empty() ? std::string("none") : pText) + ")";
}

int Usage(const std::string& pMessage) {
    std::cerr << "tolvane-cli: " << pMessage << "\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    Support::SetCommandLine(argc, argv);
    Support::InitSettingsStore(Support::kProductTitle);
    Support::LoadLogSwitches();
    const bool mp2Available = !FindMp2Encoder().empty();
    WindowChoices choices = LoadSavedChoices(mp2Available);

    CLI::App app{
        "Tolvane: converts audio and video files to WAV at a chosen sample rate and channel/bit mode,\n"
        "or encodes them to MP3 or MP2. Defaults are the window's saved settings. Outputs never\n"
        "replace existing files; numbered names are used instead."};
    std::vector<std::string> files;
    std::optional<std::int32_t> rate;
    std::optional<std::string> modeText;
    bool dither = false;
    bool noDither = false;
    bool highQuality = false;
    bool noHighQuality = false;
    bool decodeOnly = false;
    bool noDecodeOnly = false;
    std::optional<std::int32_t> mp3;
    std::optional<std::string> mp2;
    std::optional<std::string> mp2Mode;
    bool wav = false;
    bool tags = false;
    bool noTags = false;
    std::optional<std::string> outFolder;
    bool info = false;
    // The saved "Jobs" is the default; the front end still writes no setting.
    int jobs = RowsAtOnce(choices.Jobs);
    app.add_option("FILE", files, "files to convert (WAV, MP3, MP2, M4A, OGG, WMA, video files, ...)")
        ->required();
    app.add_option("--rate", rate, "target sample rate in Hz: " + Joined(RateTexts()) + Saved(choices.Freq));
    app.add_option("--mode", modeText,
                   "target mode by name or number: 0 Mono8bit, 1 Stereo8bit, 2 Mono16bit, 3 Stereo16bit, "
                   "4 Mono24bit, 5 Stereo24bit" +
                       Saved(choices.Mode >= 0 ? WaveMMIO::WaveModeName(choices.Mode) : std::string()));
    app.add_flag("--dither", dither,
                 "interpolate when resampling; with --high-quality, dither when the depth shrinks" +
                     Saved(std::to_string(choices.UseDither)));
    app.add_flag("--no-dither", noDither,
                 "pick the nearest sample when resampling; with --high-quality, round without dither");
    app.add_flag("--high-quality", highQuality,
                 "convert with a very-high-quality filtering resampler and real requantisation" +
                     Saved(std::to_string(choices.HighQuality)));
    app.add_flag("--no-high-quality", noHighQuality, "convert with the exact, fastest converter");
    app.add_flag("--decode-only", decodeOnly,
                 "write decoded files as they come out of the decoder, without conversion or encoding" +
                     Saved(std::to_string(choices.DecodeOnly)));
    app.add_flag("--no-decode-only", noDecodeOnly, "convert decoded files (the opposite of --decode-only)");
    app.add_option("--mp3", mp3,
                   "encode to MP3 at this bit rate in kbit/s (Mono16bit and Stereo16bit only)" +
                       Saved(choices.Encmp3 == 1 ? std::to_string(choices.Mp3BitRate) : ""));
    app.add_option("--mp2", mp2,
                   "encode to MP2 at this bit rate in kbit/s with twolame after the list: " +
                       Joined(Mp2BitRateTexts()) + Saved(choices.Encmp2 == 1 ? choices.Mp2BitRate : ""));
    app.add_option("--mp2-mode", mp2Mode,
                   "MP2 stereo mode: " + Joined(Mp2ModeTexts()) + Saved(choices.Mp2Mode));
    app.add_flag("--wav", wav, "write WAV files even when the saved settings choose MP3 or MP2");
    app.add_flag("--tags", tags,
                 "copy each source's tags and cover into its MP3 output" +
                     Saved(std::to_string(choices.CopyTags)));
    app.add_flag("--no-tags", noTags, "write MP3 outputs without tags");
    app.add_option("--out", outFolder,
                   "output folder, made when it does not exist; without --out, a saved folder that does not "
                   "exist sends the outputs beside each source" +
                       Saved(choices.SoundPath));
    app.add_option("-j,--jobs", jobs,
                   "files converted at once (default: the saved Jobs setting, 0 for the number of "
                   "processors; here " +
                       std::to_string(jobs) + "); 1 converts one file after the other");
    app.add_flag("--info", info, "print what Tolvane reads from each file instead of converting");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version end well; anything else is bad usage, whatever CLI11 would number it.
        return app.exit(e) == 0 ? 0 : 2;
    }

    const std::string startFolder = std::filesystem::current_path().string();
    if (info) {
        for (const std::string& path : Support::ParseCommandLine(files, startFolder))
            std::cout << DescribeFile(path);
        return 0;
    }

    if (jobs < 1) return Usage("--jobs must be 1 or more");
    if (rate) {
        const auto rates = WaveMMIO::TargetRates();
        if (std::find(rates.begin(), rates.end(), *rate) == rates.end())
            return Usage("--rate must be one of " + Joined(RateTexts()));
        choices.Freq = std::to_string(*rate);
    }
    if (modeText) {
        choices.Mode = ParseTargetMode(*modeText);
        if (choices.Mode < 0) return Usage("unknown --mode '" + *modeText + "'");
    }
    if (dither && noDither) return Usage("--dither and --no-dither cannot be combined");
    if (dither || noDither) choices.UseDither = dither ? 1 : 0;
    if (highQuality && noHighQuality) return Usage("--high-quality and --no-high-quality cannot be combined");
    if (highQuality || noHighQuality) choices.HighQuality = highQuality ? 1 : 0;
    if (decodeOnly && noDecodeOnly) return Usage("--decode-only and --no-decode-only cannot be combined");
    if (decodeOnly || noDecodeOnly) choices.DecodeOnly = decodeOnly ? 1 : 0;
    if (tags && noTags) return Usage("--tags and --no-tags cannot be combined");
    if (tags || noTags) choices.CopyTags = tags ? 1 : 0;
    if (int(mp3.has_value()) + int(mp2.has_value()) + int(wav) > 1)
        return Usage("choose one of --mp3, --mp2 and --wav");
    if (decodeOnly && (mp3 || mp2))
        return Usage("--decode-only writes WAV files; it cannot be combined with --mp3 or --mp2");
    if (wav) choices.Encmp3 = choices.Encmp2 = 0;
    if (mp3) {
        choices.Encmp3 = 1;
        choices.Encmp2 = 0;
        choices.Mp3BitRate = *mp3;
    }
    if (mp2) {
        if (!mp2Available) return Usage("--mp2 needs the twolame encoder (in the program folder or on PATH)");
        if (std::find(Mp2BitRateTexts().begin(), Mp2BitRateTexts().end(), *mp2) == Mp2BitRateTexts().end())
            return Usage("--mp2 must be one of " + Joined(Mp2BitRateTexts()));
        choices.Encmp2 = 1;
        choices.Encmp3 = 0;
        choices.Mp2BitRate = *mp2;
    }
    if (mp2Mode) {
        choices.Mp2Mode = ParseMp2Mode(*mp2Mode);
        if (choices.Mp2Mode.empty()) return Usage("--mp2-mode must be one of " + Joined(Mp2ModeTexts()));
    }
    if (outFolder) {
        choices.SoundPath.clear();
        if (!outFolder->empty()) {
            std::error_code ec;
            choices.SoundPath = std::filesystem::absolute(*outFolder, ec).lexically_normal().string();
            // A folder asked for by name is made, rather than the outputs landing elsewhere unasked.
            if (Support::FolderExists(choices.SoundPath) == 0) {
                if (!std::filesystem::create_directories(choices.SoundPath, ec) || ec)
                    return Usage("cannot create the output folder '" + choices.SoundPath + "': " +
                                 (ec ? ec.message() : std::string("a file of that name is in the way")));
                std::cerr << "tolvane-cli: created the output folder '" << choices.SoundPath << "'\n";
            }
        }
    }
    if (!choices.SoundPath.empty() && Support::FolderExists(choices.SoundPath) == 0)
        std::cerr << "tolvane-cli: output folder '" << choices.SoundPath
                  << "' does not exist; outputs go beside each source\n";

    C_mp3acm mp3enc;
    mp3enc.ErrorMessage = [](const std::string& pText) { std::cerr << "tolvane-cli: " << pText << "\n"; };
    mp3enc.Init();
    const BatchOptions options = ChoicesToOptions(choices, mp3enc, mp2Available);
    if (mp3 && (!options.Encmp3Enabled || options.Mp3BitRateText != std::to_string(*mp3)))
        return Usage("--mp3 " + std::to_string(*mp3) + " is not an MP3 bit rate for " +
                     options.TargetFreqText + " Hz " +
                     (choices.Mode >= 0 ? WaveMMIO::WaveModeName(choices.Mode) : std::string("(no mode)")) +
                     " (MP3 needs Mono16bit or Stereo16bit)");

    InstallStopHandlers();
    CliHost host(Support::ParseCommandLine(files, startFolder), options, ::isatty(STDERR_FILENO) == 1, stdout,
                 stderr);
    BatchDriver driver(host, mp3enc);
    driver.BlockPause(0);
    driver.Jobs(jobs);
    host.Driver(&driver);
    driver.ButtonClicked(BatchDriver::kStart);
    return host.Summary();
}
