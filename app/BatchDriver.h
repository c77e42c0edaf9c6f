#pragma once

#include "app/BatchHost.h"

#include <cstdint>
#include <memory>
#include <string>

class BatchFile;
class C_ConvWave;
class C_DecodeAudio;
class C_mp3acm;
struct WaveInfo;

// The main loop of the program: the Clear/Stop/Start buttons and the engine's progress events.
// Start takes every listed file through tag stripping, decoding, conversion and one of the three
// outputs, on the thread that calls it; the engine lets the host's events through while it works,
// which is how Stop arrives.
class BatchDriver {
public:
    BatchDriver(BatchHost& pHost, C_mp3acm& pMp3Encoder);
    ~BatchDriver();
    BatchDriver(const BatchDriver&) = delete;
    BatchDriver& operator=(const BatchDriver&) = delete;

    // 0 Clear, 1 Stop, 2 Start.
    void ButtonClicked(int pClickedIndex);
    void Start();
    void Stop() noexcept { CancelRequested = 1; }
    void Clear();

    void DA_Prog(float pRate, std::int32_t& pCancel);
    void CW_Prog(float pRate, std::int32_t& pCancel);
    void mp3enc_EncProg(float pRate, std::int32_t& pCancel);

    // The bar's value for a fraction: per mille, halves to the even neighbour.
    [[nodiscard]] static int ProgressValue(float pRate) noexcept;

    // The encoder command written into the MP2 command file; found at construction.
    [[nodiscard]] const std::string& Mp2Encoder() const noexcept { return c_Mp2Encoder; }
    void Mp2Encoder(std::string pCommand) { c_Mp2Encoder = std::move(pCommand); }

    // The converter's pause after each block, which lets a window repaint and take Stop; a
    // front end without a window sets 0.
    void BlockPause(int pMilliseconds) noexcept { c_BlockPause = pMilliseconds; }

    std::int32_t Running = 0;
    std::int32_t CancelRequested = 0;
    std::int32_t AutoExit = 0;
    std::int32_t StallCount = 0;
    float LastRate = 0;

    // Decoder progress reports in a row that may repeat one fraction before the decode is stopped.
    static constexpr std::int32_t kStallLimit = 200;

private:
    struct Target {
        std::int32_t Rate = 0;
        int Mode = -1;
    };

    [[nodiscard]] RowResult OneFile(int pRow, const Target& pTarget, BatchFile* pBatch);
    void RunRows(const Target& pTarget, BatchFile* pBatch);
    void FinishRun();

    BatchHost& c_Host;
    C_mp3acm& mp3enc;
    std::unique_ptr<C_DecodeAudio> DA;
    std::unique_ptr<C_ConvWave> CW;
    std::string c_Mp2Encoder;
    bool c_Stalled = false;
    int c_BlockPause = 20;
};
