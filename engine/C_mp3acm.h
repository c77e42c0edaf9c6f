#pragma once

#include "engine/AcmCodec.h"
#include "support/ComboBox.h"
#include "engine/FCT_mpeg.h"
#include "engine/WaveMMIO.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Encodes 16-bit PCM WAV files to MP3 (and decodes MP3 to WAV) through the compression-manager
// stream of AcmCodec, block by block, with progress and stop.
class C_mp3acm : public QObject {
    Q_OBJECT
public:
    explicit C_mp3acm(QObject* pParent = nullptr);
    ~C_mp3acm() override;

    void Init();
    [[nodiscard]] std::int32_t EncAvailable() const noexcept { return c_EncAvailable; }
    [[nodiscard]] std::int32_t Canceled() const noexcept { return c_Canceled; }
    void Canceled(std::int32_t pValue) noexcept { c_Canceled = pValue; }
    void EncSizeFixed(std::int32_t pValue) noexcept { c_EncSizeFixed = pValue; }

    [[nodiscard]] int EncInit(std::int32_t pBitrate, const WaveInfo* PtrtW);
    [[nodiscard]] int EncProc(const std::uint8_t* pPtrSrc, std::int32_t pSize,
                              std::vector<std::uint8_t>& pOutData, std::int32_t& pSrcLengthUsed,
                              std::int32_t& pDstLengthUsed);
    [[nodiscard]] int EncFromWavfile(const std::string& pSourceFN, const std::string& pTargetFN, std::int32_t pBitrate);
    void LoadBitRateToCombo(ComboBox& pCombo, std::int32_t pFreq, int pMode, std::int32_t pDefault);
    void AcmClose();

    [[nodiscard]] int DecInit(const MpegInfo* Ptrmpginfo);
    [[nodiscard]] int DecProc(const std::uint8_t* pPtrSrc, std::int32_t pSize,
                              std::vector<std::uint8_t>& pOutData, std::int32_t& pDstLengthUsed);
    [[nodiscard]] int DecFrommp3file(const std::string& pSourceFN, const std::string& pTargetFN);

    // Shows "mp3エンコーダー登録ができません" when Init finds no encoder; the window sets it.
    std::function<void(const std::string&)> ErrorMessage;

    // The candidate bit rates, highest first.
    static const std::vector<std::int32_t>& CandidateBitRates();

Q_SIGNALS:
    void EncProg(float pRate, std::int32_t& pCancel);

private:
    [[nodiscard]] bool IsOpen() const { return static_cast<bool>(c_hacm); }

    std::int32_t c_EncAvailable = 0;
    std::int32_t c_Canceled = 0;
    std::int32_t c_EncSizeFixed = 0;
    std::unique_ptr<AcmCodec::Stream> c_hacm;
    std::int32_t c_EncSize = 0;
    std::int32_t c_BitRate = 128;
    WaveInfo c_SourceInfo;
    std::string c_CurrentTarget;
    std::vector<std::uint8_t> c_OutData;
};
