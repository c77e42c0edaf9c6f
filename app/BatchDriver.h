#pragma once

#include "app/BatchHost.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class BatchFile;
class C_DecodeAudio;
class C_mp3acm;

// The decoder's stall detector: a decode is given up when more than kStallLimit reports in a row
// repeat the fraction before them.
struct StallWatch {
    static constexpr std::int32_t kStallLimit = 200;

    std::int32_t StallCount = 0;
    float LastRate = 0;
    bool Stalled = false;

    // Counts one report; true once, on the report that gives the decode up.
    [[nodiscard]] bool Report(float pRate) noexcept;
};

// The main loop of the program: the Clear/Stop/Start buttons and the engine's progress events.
// Start takes every listed file through tag stripping, decoding, conversion and one of the three
// outputs: one file at a time on the thread that calls Start, where the engine lets the host's
// events through while it works, which is how Stop arrives; or several at once, each on a worker
// thread of its own, while the thread that called Start hands out rows and lets events run.
class BatchDriver {
public:
    // A driver that takes one row at a time.
    BatchDriver(BatchHost& pHost, C_mp3acm& pMp3Encoder);
    // A driver that may take several rows at once (see Jobs).
    BatchDriver(ParallelBatchHost& pHost, C_mp3acm& pMp3Encoder);
    ~BatchDriver();
    BatchDriver(const BatchDriver&) = delete;
    BatchDriver& operator=(const BatchDriver&) = delete;

    // The buttons of the strip, as ButtonClicked numbers them.
    enum Button : int { kClear = 0, kStop = 1, kStart = 2 };
    void ButtonClicked(int pClickedIndex);
    void Start();
    // Safe from any thread and from a signal's watcher.
    void Stop() noexcept { CancelRequested = 1; }
    void Clear();

    // The bar's value for a fraction: per mille, halves to the even neighbour.
    [[nodiscard]] static int ProgressValue(float pRate) noexcept;

    // The encoder command written into the MP2 command file; found at construction.
    [[nodiscard]] const std::string& Mp2Encoder() const noexcept { return c_Mp2Encoder; }
    void Mp2Encoder(std::string pCommand) { c_Mp2Encoder = std::move(pCommand); }

    // The converter's pause after each block, which lets a window repaint and take Stop; a
    // front end without a window sets 0.
    void BlockPause(int pMilliseconds) noexcept { c_BlockPause = pMilliseconds; }

    // The free bytes in a folder (-1 when unknown), which tells a full disk from other write
    // failures; tests stand in for the file system. An empty function asks the file system.
    using FreeSpaceProbe = std::function<std::int64_t(const std::string& pFolder)>;
    void FreeSpace(FreeSpaceProbe pProbe) { c_FreeSpace = std::move(pProbe); }
    [[nodiscard]] static std::int64_t FreeBytes(const std::string& pFolder);

    // Files converted at once: 1 takes one row after the other on the thread that pressed Start,
    // with the engine's pauses; more take rows on worker threads, which pause for nothing. Only
    // a host that takes rows at once can have more than 1.
    [[nodiscard]] int Jobs() const noexcept { return c_Jobs; }
    void Jobs(int pJobs) noexcept { c_Jobs = pJobs < 1 || c_Parallel == nullptr ? 1 : pJobs; }
    // Whether a run whose jobs come down to one row at a time (a list of one file, one
    // processor) still takes it on a worker, so that the thread that pressed Start only hands
    // out rows: the window's way with more than one job. Otherwise such a run is taken as Jobs 1.
    void RowsOnWorkers(bool pValue) noexcept { c_RowsOnWorkers = pValue && c_Parallel != nullptr; }

    std::int32_t Running = 0;
    std::atomic<std::int32_t> CancelRequested{0};
    std::int32_t AutoExit = 0;

private:
    struct Target {
        std::int32_t Rate = 0;
        int Mode = -1;
    };
    struct Lane;
    struct Row;
    // A stage's word on its row: the row's outcome when it ends there, nothing when it goes on.
    using Outcome = std::optional<RowResult>;

    void RunRows(const Target& pTarget);
    void RunRowsAtOnce(const Target& pTarget, int pJobs);
    void FinishRun();

    [[nodiscard]] Outcome Work(Row& pRow, const Target& pTarget);
    [[nodiscard]] Outcome Strip(Row& pRow);
    [[nodiscard]] Outcome Decode(Row& pRow);
    [[nodiscard]] Outcome Convert(Row& pRow, const Target& pTarget);
    [[nodiscard]] Outcome Deliver(Row& pRow);
    void CopyTags(Row& pRow);
    [[nodiscard]] RowResult Place(Row& pRow);
    [[nodiscard]] Outcome Used(Row& pRow, bool pCompleted);
    [[nodiscard]] RowResult WriteFailed(const Row& pRow, FailReason pOtherwise, std::int64_t pNeeded) const;

    [[nodiscard]] BatchOptions Options(const Row& pRow) const;
    void Show(const Row& pRow, int pLine, const std::string& pText, bool pDontDraw);
    void Events(const Row& pRow);
    [[nodiscard]] std::string Claim(Row& pRow, const std::string& pName);
    [[nodiscard]] std::string Temporary(Row& pRow, const std::string& pStem, const std::string& pExtension);

    void DA_Prog(Row& pRow, C_DecodeAudio& pDecoder, StallWatch& pWatch, float pRate, std::int32_t& pCancel);
    // The converter's and the encoder's reports.
    void Prog(const Row& pRow, float pRate, std::int32_t& pCancel);

    BatchHost& c_Host;
    // The same host when it takes rows at once; null otherwise.
    ParallelBatchHost* c_Parallel = nullptr;
    C_mp3acm& mp3enc;
    std::string c_Mp2Encoder;
    int c_BlockPause = 20;
    int c_Jobs = 1;
    bool c_RowsOnWorkers = false;
    FreeSpaceProbe c_FreeSpace;
    // The run's command file while MP2 rows are queued into it.
    BatchFile* c_Batch = nullptr;
};
