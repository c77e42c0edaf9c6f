#pragma once

#include "engine/WaveMMIO.h"

#include <QObject>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Converts an uncompressed WAV file to another rate and mono/stereo mode at 8, 16 or 24 bits,
// five seconds of source at a time, with progress and stop between blocks. A derived converter
// keeps the files, the blocks, the events and the stop rules and replaces what a block becomes.
class C_ConvWave : public QObject {
    Q_OBJECT
public:
    explicit C_ConvWave(QObject* pParent = nullptr);
    ~C_ConvWave() override;

    // 1 when the target was completed; 0 otherwise, and a target created here is gone again.
    [[nodiscard]] int ConvWave(const std::string& pSourceFN, const std::string& pTargetFN, std::int32_t pFreq,
                               std::int16_t pBit, std::int16_t pCh, std::int32_t pFlg,
                               std::int32_t HeadderExists);
    // -1 unreadable, 1 when the file differs from the given format, 0 when it matches.
    [[nodiscard]] int NeedConv(const std::string& pFilename, std::int32_t pFreq, std::int16_t pBit,
                               std::int16_t pCh, std::int32_t pWaveMode) const;

    [[nodiscard]] std::int32_t Canceled() const noexcept { return c_Canceled; }
    void Canceled(std::int32_t pValue) noexcept { c_Canceled = pValue; }
    [[nodiscard]] const std::string& SourceFN() const noexcept { return c_SourceFN; }
    [[nodiscard]] const std::string& TargetFN() const noexcept { return c_TargetFN; }

    // The pause after each block that lets a window repaint and take Stop (20 ms). A front end
    // without a window sets 0: events are then pumped once per block without waiting.
    [[nodiscard]] int BlockPause() const noexcept { return c_BlockPause; }
    void BlockPause(int pMilliseconds) noexcept { c_BlockPause = pMilliseconds; }

Q_SIGNALS:
    // pRate: fraction of the source done; set pCancel non-zero to stop after this block.
    void Prog(float pRate, std::int32_t& pCancel);

protected:
    // One conversion as the block stage sees it.
    struct Request {
        WaveInfo Source;
        std::int32_t Freq = 0;
        std::int16_t Bit = 0;
        std::int16_t Ch = 0;
        std::int32_t Flg = 0;
        // Source rate / target rate.
        double Ratio = 1;
    };

    // Before the first block; false refuses the conversion (the target is then deleted).
    virtual bool BeginBlocks(const Request& pRequest);
    // The target bytes of one block: pFrames source frames at 24-bit scale in pWork (spare frames,
    // the look-ahead and then silence, follow them) are worth pOut target frames. A stage may write
    // some of them with later blocks, all by the last (pLast). The bytes stay valid until the next
    // call; nothing when the block cannot be converted.
    virtual std::optional<std::span<const std::uint8_t>> ConvertBlock(const Request& pRequest,
                                                                      const SamplePair* pWork,
                                                                      std::int64_t pFrames, std::int64_t pOut,
                                                                      bool pLast);
    // After the last block on every way out, also a failed or stopped one.
    virtual void EndBlocks() noexcept {}

private:
    [[nodiscard]] int Convert(const std::string& pSourceFN, const std::string& pTargetFN, std::int32_t pFreq,
                std::int16_t pBit, std::int16_t pCh, std::int32_t pFlg, std::int32_t HeadderExists);

    std::int32_t c_Canceled = 0;
    std::string c_SourceFN;
    std::string c_TargetFN;
    int c_BlockPause = 20;

    // Block arrays, reused from block to block and cleared where a fresh array would be zero.
    std::vector<std::uint8_t> c_Raw;
    std::vector<SamplePair> c_Work;
    std::vector<SamplePair> c_Resampled;
    std::vector<std::int32_t> c_Mono;
    std::vector<std::uint8_t> c_Packed;
};
