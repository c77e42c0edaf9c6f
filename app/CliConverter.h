#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

// What the command-line front end needs to run the PCM-WAV path of a batch.
struct CliSettings {
    std::int32_t Rate = 44100;
    int Mode = 3;
    bool Dither = true;
    // Non-zero: the result is encoded to MP3 at this many kbit/s instead of written as WAV.
    std::int32_t Mp3Kbps = 0;
    // Empty: each output goes beside its source.
    std::string OutFolder;
};

enum class CliOutcome { Converted, Unchanged, Failed, Stopped };

struct CliFileResult {
    CliOutcome Outcome = CliOutcome::Failed;
    std::string Output;
    std::string Detail;
};

// Converts one file after another; Stop() may be called from a signal handler.
class CliConverter {
public:
    explicit CliConverter(CliSettings pSettings);

    [[nodiscard]] CliFileResult ConvertFile(const std::string& pSource);

    static void Stop() noexcept;
    [[nodiscard]] static bool StopRequested() noexcept;

    // Called with the fraction done of the file in hand.
    std::function<void(float)> OnProgress;

private:
    // Reports progress and answers the cancel flag with a pending stop.
    std::function<void(float, std::int32_t&)> ProgressHandler();

    CliSettings c_Settings;
};

// Parses a mode given as its name (any case) or number; -1 when it is not a target mode.
[[nodiscard]] int ParseTargetMode(const std::string& pText);
