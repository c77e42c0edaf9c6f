#include "engine/C_mp3acm.h"

#include "support/Rounding.h"
#include "support/ErrorTrap.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"
#include "support/Log.h"

#include <QString>

#include <cstdio>

using Support::FileHandle;

namespace {

constexpr std::int64_t kChunkFrames = 442368; // 384 frames of 1152 samples

// The two format records of a stream, as the compression manager wants them.
struct Formats {
    WaveFormatEx Pcm;
    MpegLayer3WaveFormat Mp3;
};

Formats BuildFormats(std::uint32_t pRate, std::uint16_t pChannels, std::uint16_t pBlockAlign,
                     std::uint16_t pBits, std::int32_t pKbps, bool pDecoding) {
    Formats f;
    f.Pcm.wFormatTag = 1;
    f.Pcm.nChannels = pChannels;
    f.Pcm.nSamplesPerSec = pRate;
    f.Pcm.nAvgBytesPerSec = pRate * pBlockAlign;
    f.Pcm.nBlockAlign = pBlockAlign;
    f.Pcm.wBitsPerSample = pBits;
    f.Pcm.cbSize = 18;
    const int fraction = pRate % 1000 != 0 ? 1 : 0;
    f.Mp3.wfx.wFormatTag = 85;
    f.Mp3.wfx.nChannels = pChannels;
    f.Mp3.wfx.nSamplesPerSec = pRate;
    f.Mp3.wfx.nAvgBytesPerSec = std::uint32_t(RoundHalfEven(pKbps / 8.0 * 1000));
    f.Mp3.wfx.nBlockAlign = 1;
    f.Mp3.wfx.wBitsPerSample = 0;
    f.Mp3.wfx.cbSize = 12;
    f.Mp3.wID = 1;
    f.Mp3.fdwFlags = pDecoding ? std::uint32_t(fraction) : 0;
    f.Mp3.nBlockSize = pRate > 0 ? std::uint16_t(RoundHalfEven(144000.0 * pKbps / pRate + fraction)) : 0;
    f.Mp3.nFramesPerBlock = 1;
    f.Mp3.nCodecDelay = 700;
    return f;
}

std::string Number(const void* pPointer) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(pPointer));
}

} // namespace

C_mp3acm::C_mp3acm(QObject* pParent)
    : QObject(pParent) {}

C_mp3acm::~C_mp3acm() {
    AcmClose();
}

const std::vector<std::int32_t>& C_mp3acm::CandidateBitRates() {
    static const std::vector<std::int32_t> rates{320, 256, 224, 192, 160, 128, 112, 96,
                                                 80,  64,  56,  48,  40,  32,  24};
    return rates;
}

void C_mp3acm::Init() {
    const Formats f = BuildFormats(44100, 2, 4, 16, 128, false);
    std::unique_ptr<AcmCodec::Stream> probe;
    c_EncAvailable =
        AcmCodec::StreamOpen(probe, f.Pcm, f.Mp3.wfx, f.Mp3, AcmCodec::kOpenNonRealtime) == 0 ? 1 : 0;
    if (c_EncAvailable == 0 && ErrorMessage) ErrorMessage("mp3エンコーダー登録ができません");
}

void C_mp3acm::AcmClose() {
    if (c_hacm) c_hacm->Reset();
    c_hacm.reset();
}

int C_mp3acm::EncInit(std::int32_t pBitrate, const WaveInfo* PtrtW) {
    return Support::Trapped(0, [&] {
        if (pBitrate != 0) c_BitRate = pBitrate;
        if (PtrtW != nullptr) c_SourceInfo = *PtrtW;
        c_EncSize = 0;
        AcmClose();
        const Formats f =
            BuildFormats(std::uint32_t(c_SourceInfo.SamplesPerSec), std::uint16_t(c_SourceInfo.Channels),
                         std::uint16_t(c_SourceInfo.BlockAlign), std::uint16_t(c_SourceInfo.BitsPerSample),
                         c_BitRate, false);
        return AcmCodec::StreamOpen(c_hacm, f.Pcm, f.Mp3.wfx, f.Mp3, AcmCodec::kOpenNonRealtime) == 0 ? 1 : 0;
    });
}

int C_mp3acm::EncProc(const std::uint8_t* pPtrSrc, std::int32_t pSize, std::vector<std::uint8_t>& pOutData,
                      std::int32_t& pSrcLengthUsed, std::int32_t& pDstLengthUsed) {
    pSrcLengthUsed = 0;
    pDstLengthUsed = 0;
    return Support::Trapped(0, [&] {
        if (!(pSize > 0) || pPtrSrc == nullptr || !IsOpen()) {
            Support::WriteLog("EncProc Fail pSize=" + std::to_string(pSize) + " pPtrSrc=" + Number(pPtrSrc) +
                                  " c_hacm=" + Number(c_hacm.get()),
                              1);
            return 0;
        }
        if (c_EncSizeFixed == 1) {
            if (c_EncSize == 0) {
                c_EncSize = pSize;
            } else if (pSize != c_EncSize) {
                Support::WriteLog("EncProc Fail c_EncSize=" + std::to_string(c_EncSize) +
                                      " pSize=" + std::to_string(pSize),
                                  1);
                return 0;
            }
        }
        std::uint32_t outSize = 0;
        const int sized = c_hacm->Size(std::uint32_t(pSize), outSize);
        if (sized != 0 || outSize < 1) {
            Support::WriteLog("acmStreamSize Fail r(0)=" + std::to_string(sized) +
                                  " pSize=" + std::to_string(pSize) + " tOutSize=" + std::to_string(outSize),
                              1);
            return 0;
        }
        if (pOutData.size() < outSize) pOutData.resize(std::size_t(outSize) * 2 + 1);
        std::uint32_t used = 0;
        std::uint32_t produced = 0;
        const int converted =
            c_hacm->Convert(pPtrSrc, std::uint32_t(pSize), pOutData.data(), std::uint32_t(pOutData.size()),
                            used, produced, AcmCodec::kConvertBlockAlign);
        if (converted != 0) {
            Support::WriteLog("acmStreamConvert Fail r(2)=" + std::to_string(converted), 1);
            return 0;
        }
        pSrcLengthUsed = std::int32_t(used);
        pDstLengthUsed = std::int32_t(produced);
        return 1;
    });
}

int C_mp3acm::EncFromWavfile(const std::string& pSourceFN, const std::string& pTargetFN,
                             std::int32_t pBitrate) {
    const WaveInfo info = WaveMMIO::GetWaveInfo(pSourceFN);
    if (!info.Valid) return 0;
    if (!EncInit(pBitrate, &info)) return 0;
    c_CurrentTarget = pTargetFN;
    Support::DeleteFileSafe(pTargetFN);
    FileHandle target;
    bool success = false;
    const int trapped = Support::Trapped(0, [&] {
        // Only the audio the file holds: a data size field past its end would add hours of silence.
        const std::int64_t n = WaveMMIO::FramesPresent(info);
        std::int64_t i = 1;
        std::vector<std::uint8_t> chunk;
        for (;;) {
            if (i > n) {
                success = true;
                break;
            }
            Support::WaitWithEvents(0, 0);
            std::int32_t cancel = 0;
            Q_EMIT EncProg(float(double(i) / double(n)), cancel);
            c_Canceled = cancel;
            Support::WaitWithEvents(0, 0);
            const std::int64_t frames = std::min<std::int64_t>(n - i + 1, kChunkFrames);
            chunk.assign(std::size_t(frames * info.BlockAlign), 0);
            // The frames were there when the encoding started: a source that shrank since would
            // only turn into silence, so the file fails instead.
            if (Support::ReadFileAtCounted(chunk.data(), chunk.size(), pSourceFN,
                                           info.DataOffset + (i - 1) * std::int64_t(info.BlockAlign)) !=
                std::int64_t(chunk.size()))
                break;
            i += frames;
            std::int32_t used = 0;
            std::int32_t produced = 0;
            if (!EncProc(chunk.data(), std::int32_t(chunk.size()), c_OutData, used, produced)) {
                Support::WriteLog("EncProc Failed", 0);
                break;
            }
            if (produced < 1) {
                Support::WriteLog("Encode " + std::to_string(produced) + "#" + c_CurrentTarget, 0);
            } else if (!Support::WriteFileAt(c_OutData.data(), std::size_t(produced), -1, target,
                                             pTargetFN)) {
                Support::WriteLog("Write Error " + c_CurrentTarget, 0);
                break;
            }
            if (c_Canceled != 0) {
                Support::WriteLog("Canceled#" + c_CurrentTarget, 0);
                break;
            }
        }
        // The frames the encoder still holds belong to the file, and its Info tag goes over the
        // placeholder frame it wrote first, so that players know the exact length.
        if (success && n > 0) {
            std::uint32_t flushed = 0;
            if (c_OutData.size() < 7200) c_OutData.resize(7200);
            if (c_hacm->Flush(c_OutData.data(), std::uint32_t(c_OutData.size()), flushed) != 0)
                success = false;
            if (success && flushed > 0 &&
                !Support::WriteFileAt(c_OutData.data(), flushed, -1, target, pTargetFN)) {
                Support::WriteLog("Write Error " + c_CurrentTarget, 0);
                success = false;
            }
            std::vector<std::uint8_t> tag(2880);
            const std::size_t tagSize = success ? c_hacm->TagFrame(tag.data(), tag.size()) : 0;
            if (tagSize > 0 && tagSize <= tag.size() &&
                !Support::WriteFileAt(tag.data(), tagSize, 0, target, pTargetFN))
                success = false;
        }
        return 1;
    });
    if (trapped == 0) success = false;
    if (!target.Close()) success = false;
    AcmClose();
    if (!success) Support::DeleteFileSafe(pTargetFN);
    return success ? 1 : 0;
}

void C_mp3acm::LoadBitRateToCombo(ComboBox& pCombo, std::int32_t pFreq, int pMode, std::int32_t pDefault) {
    pCombo.Clear();
    int channels = 0;
    if (pMode == 2) channels = 1;
    if (pMode == 3) channels = 2;
    if (channels == 0) return;
    std::string remembered;
    for (const std::int32_t kbps : CandidateBitRates()) {
        const Formats f = BuildFormats(std::uint32_t(pFreq), std::uint16_t(channels),
                                       std::uint16_t(2 * channels), 16, kbps, false);
        std::unique_ptr<AcmCodec::Stream> probe;
        if (AcmCodec::StreamOpen(probe, f.Pcm, f.Mp3.wfx, f.Mp3, AcmCodec::kOpenNonRealtime) != 0) continue;
        pCombo.AddItem(std::to_string(kbps));
        if (kbps == pDefault) remembered = std::to_string(kbps);
        probe->Reset();
    }
    if (!remembered.empty()) {
        for (int i = 0; i < pCombo.ListCount(); ++i)
            if (pCombo.List(i) == remembered) pCombo.ListIndex(i);
    }
    if ((pCombo.ListIndex() < 0) && pCombo.ListCount() > 0) pCombo.ListIndex(0);
}

int C_mp3acm::DecInit(const MpegInfo* Ptrmpginfo) {
    return Support::Trapped(0, [&] {
        if (Ptrmpginfo == nullptr) return 0;
        AcmClose();
        const auto channels = std::uint16_t(Ptrmpginfo->Channels);
        const Formats f = BuildFormats(std::uint32_t(Ptrmpginfo->SampleRate), channels,
                                       std::uint16_t(2 * channels), 16, Ptrmpginfo->BitRate, true);
        return AcmCodec::StreamOpen(c_hacm, f.Mp3.wfx, f.Pcm, f.Mp3, 0) == 0 ? 1 : 0;
    });
}

int C_mp3acm::DecProc(const std::uint8_t* pPtrSrc, std::int32_t pSize, std::vector<std::uint8_t>& pOutData,
                      std::int32_t& pDstLengthUsed) {
    pDstLengthUsed = 0;
    return Support::Trapped(0, [&] {
        if (!IsOpen() || pPtrSrc == nullptr || pSize <= 0) return 0;
        std::uint32_t size = 0;
        (void)c_hacm->Size(std::uint32_t(pSize), size);
        if (size == 0) return 0;
        pOutData.resize(size);
        std::uint32_t used = 0;
        std::uint32_t produced = 0;
        const int r =
            c_hacm->Convert(pPtrSrc, std::uint32_t(pSize), pOutData.data(), size, used, produced, 0);
        pDstLengthUsed = std::int32_t(produced);
        return r == 0 ? 1 : 0;
    });
}

int C_mp3acm::DecFrommp3file(const std::string& pSourceFN, const std::string& pTargetFN) {
    c_CurrentTarget = pTargetFN;
    Support::DeleteFileSafe(pTargetFN);
    MpegInfo info;
    if (FCT_mpeg::ReadMpegInfo(pSourceFN, info, 0) != 1) return 0;
    if (!DecInit(&info)) return 0;
    FileHandle target =
        WaveMMIO::WriteWaveHeader(info.SampleRate, 16, std::int16_t(info.Channels), pTargetFN, 0);
    bool success = false;
    if (target) {
        Support::Trapped(0, [&] {
            std::int64_t p = info.AudioStart;
            const std::int64_t end = info.AudioEnd;
            const std::int64_t step =
                std::int64_t(BuildFormats(std::uint32_t(info.SampleRate), 2, 4, 16, info.BitRate, true)
                                 .Mp3.nBlockSize) *
                64;
            std::vector<std::uint8_t> chunk;
            std::vector<std::uint8_t> out;
            for (;;) {
                if (p >= end) {
                    success = WaveMMIO::FixWaveHeader(pTargetFN, 0, 0, target) == 1;
                    break;
                }
                std::int32_t cancel = 0;
                Q_EMIT EncProg(float(double(p) / double(end)), cancel);
                c_Canceled = cancel;
                Support::WaitWithEvents(0, 0);
                std::int64_t size = end - p + 1;
                if (!(end - p < step + 200))
                    size = FCT_mpeg::FindNextFrame(pSourceFN, p + step - 10, info) - p;
                if (size <= 0) break;
                chunk.assign(std::size_t(size), 0);
                if (!Support::ReadFileAt(chunk.data(), chunk.size(), pSourceFN, p - 1, 0)) break;
                p += size;
                std::int32_t produced = 0;
                if (!DecProc(chunk.data(), std::int32_t(chunk.size()), out, produced)) break;
                if (produced > 0 &&
                    !Support::WriteFileAt(out.data(), std::size_t(produced), -1, target, pTargetFN))
                    break;
                if (c_Canceled != 0) break;
            }
            return 1;
        });
    }
    if (!target.Close()) success = false;
    AcmClose();
    if (!success) Support::DeleteFileSafe(pTargetFN);
    return success ? 1 : 0;
}
