#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One row's share of the MP2 command file, as the driver knows it when the row is queued.
struct Mp2Section {
    int Row = 0;
    int RowCount = 0;
    // The WAV file the encoder reads: the source itself or one of the driver's temporary files.
    std::string Current;
    std::string Source;
    std::string Out;
    // Format and length shown for the file: those of the source or of the decoder's output.
    std::int32_t SamplesPerSec = 0;
    std::int32_t BitsPerSample = 0;
    std::int32_t Channels = 0;
    std::int32_t Milliseconds = 0;
    std::string BitRateText;
    std::string ModeText;
};

// The shell script that encodes the queued rows with the external MP2 encoder after a run.
// It is written under a private name and moved to "com.sh" only when complete, so neither a
// half-written file nor an older one is ever run in its place, and a script still running from
// an earlier batch keeps reading its own copy.
class BatchFile {
public:
    // pEncoder: the encoder command as it should appear in the script.
    BatchFile(std::string pProgramFolder, std::string pEncoder);
    ~BatchFile();
    BatchFile(const BatchFile&) = delete;
    BatchFile& operator=(const BatchFile&) = delete;

    // Starts a new script with its head; false when it cannot be created.
    [[nodiscard]] bool Open();
    // Appends a row's lines; false when they could not be written.
    [[nodiscard]] bool WriteSection(const Mp2Section& pSection);
    // Completes the script and puts it in place; false (and nothing in place) on any failure.
    [[nodiscard]] bool Close();
    // Drops an unfinished script together with the files its sections would have consumed or made.
    void Abandon();

    [[nodiscard]] bool IsOpen() const noexcept { return c_Fd >= 0; }
    // Program folder + "com.sh".
    [[nodiscard]] const std::string& Path() const noexcept { return c_Path; }

    [[nodiscard]] static std::vector<std::string> HeadLines(const std::string& pProgramFolder);
    [[nodiscard]] static std::vector<std::string> SectionLines(const Mp2Section& pSection,
                                                               const std::string& pEncoder);

private:
    [[nodiscard]] bool WriteLines(const std::vector<std::string>& pLines);

    std::string c_Folder;
    std::string c_Encoder;
    std::string c_Path;
    std::string c_WorkPath;
    int c_Fd = -1;
    bool c_Failed = false;
    // What the sections hand to the script: temporary inputs it deletes, outputs it creates.
    std::vector<std::string> c_Consumed;
};

// A word the shell takes literally, whatever bytes it holds.
[[nodiscard]] std::string ShellQuote(const std::string& pText);
// "s", "j", "m" or "d" for the four stereo modes; empty for anything else.
[[nodiscard]] std::string Mp2ModeLetter(const std::string& pModeText);
// The MP2 encoder ("twolame", else "toolame") in the program folder, else on PATH; empty when
// there is none.
[[nodiscard]] std::string FindMp2Encoder();
// Runs the script in the foreground in a process group of its own and waits; pStop is polled,
// and when it turns true the script's group is interrupted. The script's exit status, or -1.
[[nodiscard]] int RunCommandFileAndWait(const std::string& pPath, const std::function<bool()>& pStop);
// Runs the script in a terminal window when the desktop has one, otherwise detached with its
// output in the log folder; does not wait. 1 when it was started.
[[nodiscard]] int LaunchCommandFile(const std::string& pPath);
