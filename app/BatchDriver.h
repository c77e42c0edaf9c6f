#pragma once

#include "app/BatchHost.h"

#include <atomic>
#include <cstdint>
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
// outputs. The window's run takes one file at a time on the thread that calls Start, and the engine
// lets the host's events through while it works, which is how Stop arrives; a front end without a
// window may ask for several files at once, each on a worker thread of its own.
class BatchDriver {
public:
    BatchDriver(BatchHost& pHost, C_mp3acm& pMp3Encoder);
    ~BatchDriver();
    BatchDriver(const BatchDriver&) = delete;
    BatchDriver& operator=(const BatchDriver&) = delete;

    // 0 Clear, 1 Stop, 2 Start.
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

    // Files converted at once; 1, the window's way, unless a front end without a window asks for more.
    [[nodiscard]] int Jobs() const noexcept { return c_Jobs; }
    void Jobs(int pJobs) noexcept { c_Jobs = pJobs < 1 ? 1 : pJobs; }

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

    [[nodiscard]] BatchOptions Options(const Row& pRow) const;
    void Show(const Row& pRow, int pLine, const std::string& pText, bool pDontDraw);
    void Events(const Row& pRow);
    [[nodiscard]] std::string Claim(Row& pRow, const std::string& pName);
    [[nodiscard]] std::string Temporary(Row& pRow, const std::string& pStem, const std::string& pExtension);

    void DA_Prog(Row& pRow, C_DecodeAudio& pDecoder, StallWatch& pWatch, float pRate, std::int32_t& pCancel);
    // The converter's and the encoder's reports.
    void Prog(const Row& pRow, float pRate, std::int32_t& pCancel);

    BatchHost& c_Host;
    C_mp3acm& mp3enc;
    std::string c_Mp2Encoder;
    int c_BlockPause = 20;
    int c_Jobs = 1;
    // The run's command file while MP2 rows are queued into it.
    BatchFile* c_Batch = nullptr;
};
