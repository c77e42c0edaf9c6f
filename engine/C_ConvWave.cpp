#include "engine/C_ConvWave.h"

#include "support/Rounding.h"
#include "support/ErrorTrap.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using Support::FileHandle;

static_assert(std::endian::native == std::endian::little, "samples are copied in file byte order");

namespace {

constexpr std::int64_t kLookAhead = 100;
constexpr std::int64_t kSpareFrames = 201;
// Keeps the estimated file under 2^32 - 101 bytes.
constexpr std::int64_t kSizeLimit = 4294967195LL;
constexpr double kSurroundWeight = 0.7071;

std::int32_t S16(const std::uint8_t* p) noexcept {
    return std::int16_t(std::uint16_t(p[0] | p[1] << 8));
}

std::int32_t S24(const std::uint8_t* p) noexcept {
    const std::int32_t v = std::int32_t(p[0]) | std::int32_t(p[1]) << 8 | std::int32_t(p[2]) << 16;
    return v > 0x7FFFFF ? v - 0x1000000 : v;
}

// Surround to stereo: each side takes its front channel plus 0.7071 of the centre and of every
// further channel of its side, LFE left out, scaled so that the mix cannot clip.
template <int Channels, int Bytes>
void DownmixSurround(const std::uint8_t* pRaw, std::size_t pFrames, SamplePair* pWork) noexcept {
    constexpr int kSideChannels = (Channels - 4) / 2;
    const double sum = 1.0 + kSurroundWeight * (1 + kSideChannels);
    for (std::size_t i = 0; i < pFrames; ++i) {
        const std::uint8_t* f = pRaw + i * Channels * Bytes;
        auto at = [f](int c) { return Bytes == 2 ? S16(f + c * Bytes) * 256 : S24(f + c * Bytes); };
        double left = at(0) + kSurroundWeight * at(2);
        double right = at(1) + kSurroundWeight * at(2);
        for (int s = 0; s < kSideChannels; ++s) {
            left += kSurroundWeight * at(4 + 2 * s);
            right += kSurroundWeight * at(5 + 2 * s);
        }
        pWork[i].Left = std::int32_t(RoundHalfEven(left / sum));
        pWork[i].Right = std::int32_t(RoundHalfEven(right / sum));
    }
}

// Source frames at 24-bit scale; frames past what was read decode from zero bytes.
void Unpack(int pMode, const std::uint8_t* pRaw, std::size_t pFrames, SamplePair* pWork) noexcept {
    switch (pMode) {
    case 0:
        for (std::size_t i = 0; i < pFrames; ++i) {
            const std::int32_t v = (std::int32_t(pRaw[i]) - 128) * 65536;
            pWork[i] = {v, v};
        }
        break;
    case 1:
        for (std::size_t i = 0; i < pFrames; ++i)
            pWork[i] = {(std::int32_t(pRaw[2 * i]) - 128) * 65536,
                        (std::int32_t(pRaw[2 * i + 1]) - 128) * 65536};
        break;
    case 2:
        for (std::size_t i = 0; i < pFrames; ++i) {
            const std::int32_t v = S16(pRaw + 2 * i) * 256;
            pWork[i] = {v, v};
        }
        break;
    case 3: {
        std::size_t i = 0;
#if defined(__SSE2__)
        // Four frames at a time: each 16-bit sample lands in the top half of a 32-bit lane,
        // and an arithmetic shift by 8 leaves sample * 256.
        const __m128i zero = _mm_setzero_si128();
        for (; i + 4 <= pFrames; i += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pRaw + 4 * i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pWork + i),
                             _mm_srai_epi32(_mm_unpacklo_epi16(zero, v), 8));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pWork + i + 2),
                             _mm_srai_epi32(_mm_unpackhi_epi16(zero, v), 8));
        }
#endif
        for (; i < pFrames; ++i)
            pWork[i] = {S16(pRaw + 4 * i) * 256, S16(pRaw + 4 * i + 2) * 256};
        break;
    }
    case 4:
        for (std::size_t i = 0; i < pFrames; ++i) {
            const std::int32_t v = S24(pRaw + 3 * i);
            pWork[i] = {v, v};
        }
        break;
    case 5:
        for (std::size_t i = 0; i < pFrames; ++i)
            pWork[i] = {S24(pRaw + 6 * i), S24(pRaw + 6 * i + 3)};
        break;
    case 6:
        DownmixSurround<6, 2>(pRaw, pFrames, pWork);
        break;
    case 7:
        DownmixSurround<8, 2>(pRaw, pFrames, pWork);
        break;
    case 8:
        DownmixSurround<6, 3>(pRaw, pFrames, pWork);
        break;
    case 9:
        DownmixSurround<8, 3>(pRaw, pFrames, pWork);
        break;
    default:
        break;
    }
}

// Where output i falls in the source: frame i0 = floor(i * ratio) and the single-precision
// weights of frames i0 + 1 (w1) and i0 (w0). Calls pVisit(i, i0, w1, w0) with the weights widened
// to double, two outputs at a time where SSE2 allows; the results equal the scalar formulas.
template <typename Visit>
inline void ForEachPosition(std::int64_t pOut, double pRatio, Visit&& pVisit) noexcept {
    std::int64_t i = 0;
#if defined(__SSE2__)
    // Blocks are at most 2^31 frames, so positions fit 32-bit lanes.
    const __m128d ratio = _mm_set1_pd(pRatio);
    for (; i + 2 <= pOut; i += 2) {
        const __m128d t = _mm_mul_pd(_mm_set_pd(double(i + 1), double(i)), ratio);
        const __m128i i0 = _mm_cvttpd_epi32(t);
        const __m128 w1 = _mm_cvtpd_ps(_mm_sub_pd(t, _mm_cvtepi32_pd(i0)));
        const __m128 w0 = _mm_sub_ps(_mm_set1_ps(1.0f), w1);
        const __m128d w1d = _mm_cvtps_pd(w1);
        const __m128d w0d = _mm_cvtps_pd(w0);
        pVisit(i, _mm_cvtsi128_si32(i0), _mm_unpacklo_pd(w1d, w1d), _mm_unpacklo_pd(w0d, w0d));
        pVisit(i + 1, _mm_cvtsi128_si32(_mm_srli_si128(i0, 4)), _mm_unpackhi_pd(w1d, w1d),
               _mm_unpackhi_pd(w0d, w0d));
    }
    for (; i < pOut; ++i) {
        const double t = double(i) * pRatio;
        const auto i0 = std::int64_t(t);
        const float w1 = float(t - double(i0));
        const float w0 = 1.0f - w1;
        pVisit(i, i0, _mm_set1_pd(double(w1)), _mm_set1_pd(double(w0)));
    }
#else
    for (; i < pOut; ++i) {
        const double t = double(i) * pRatio;
        const auto i0 = std::int64_t(t);
        const float w1 = float(t - double(i0));
        const float w0 = 1.0f - w1;
        pVisit(i, i0, double(w1), double(w0));
    }
#endif
}

#if defined(__SSE2__)
using Weight = __m128d;

// round(b * w1 + a * w0) for both channels, products and sum in double precision.
inline SamplePair Blend(const SamplePair& pB, Weight pW1, const SamplePair& pA, Weight pW0) noexcept {
    const __m128d b = _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&pB)));
    const __m128d a = _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&pA)));
    // Converts under the default rounding mode: to nearest, ties to even.
    SamplePair out;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&out),
                     _mm_cvtpd_epi32(_mm_add_pd(_mm_mul_pd(b, pW1), _mm_mul_pd(a, pW0))));
    return out;
}

inline SamplePair DivideRounded(std::int64_t pLeft, std::int64_t pRight, double pK) noexcept {
    SamplePair out;
    const __m128d q = _mm_div_pd(_mm_set_pd(double(pRight), double(pLeft)), _mm_set1_pd(pK));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&out), _mm_cvtpd_epi32(q));
    return out;
}
#else
using Weight = double;

inline SamplePair Blend(const SamplePair& pB, Weight pW1, const SamplePair& pA, Weight pW0) noexcept {
    return {std::int32_t(RoundHalfEven(double(pB.Left) * pW1 + double(pA.Left) * pW0)),
            std::int32_t(RoundHalfEven(double(pB.Right) * pW1 + double(pA.Right) * pW0))};
}

inline SamplePair DivideRounded(std::int64_t pLeft, std::int64_t pRight, double pK) noexcept {
    return {std::int32_t(RoundHalfEven(double(pLeft) / pK)),
            std::int32_t(RoundHalfEven(double(pRight) / pK))};
}
#endif

enum class Resampler { Pick, BoxAverage, Linear };

// The source frames one box average spans: the whole of the ratio when the rate goes down.
std::int64_t BoxFrames(std::int32_t pSourceRate, std::int32_t pTargetRate, double pRatio) noexcept {
    return pTargetRate < pSourceRate ? std::max<std::int64_t>(1, std::int64_t(std::floor(pRatio))) : 1;
}

void Resample(Resampler pKind, const SamplePair* pWork, std::int64_t pOut, double pRatio, std::int64_t pK,
              SamplePair* pResult) noexcept {
    switch (pKind) {
    case Resampler::Pick:
        if (pRatio == 1.0) {
            std::copy(pWork, pWork + pOut, pResult);
            return;
        }
        for (std::int64_t i = 0; i < pOut; ++i)
            pResult[i] = pWork[RoundHalfEven(double(i) * pRatio)];
        return;
    case Resampler::Linear:
        ForEachPosition(pOut, pRatio, [&](std::int64_t i, std::int64_t i0, Weight w1, Weight w0) {
            pResult[i] = Blend(pWork[i0 + 1], w1, pWork[i0], w0);
        });
        return;
    case Resampler::BoxAverage:
        ForEachPosition(pOut, pRatio, [&](std::int64_t i, std::int64_t i0, Weight w1, Weight w0) {
            const std::int64_t i1 = i0 + pK;
            const SamplePair ends = Blend(pWork[i1], w1, pWork[i0], w0);
            std::int64_t left = ends.Left;
            std::int64_t right = ends.Right;
            for (std::int64_t j = i0 + 1; j < i1; ++j) {
                left += pWork[j].Left;
                right += pWork[j].Right;
            }
            pResult[i] = DivideRounded(left, right, double(pK));
        });
        return;
    }
}

// (a + b) / 2 to the nearest integer, ties to even.
std::int32_t HalfEvenMean(std::int32_t pA, std::int32_t pB) noexcept {
    const std::int64_t s = std::int64_t(pA) + pB;
    const std::int64_t q = s >> 1; // floor; an odd sum with an odd floor rounds up to even
    return std::int32_t(q + (s & q & 1));
}

#if defined(__SSE2__)
// x / 2^pShift truncated toward zero, four lanes at a time.
inline __m128i DivideTowardZero(__m128i pX, int pShift) noexcept {
    const __m128i bias = _mm_and_si128(_mm_srai_epi32(pX, 31), _mm_set1_epi32((1 << pShift) - 1));
    return _mm_sra_epi32(_mm_add_epi32(pX, bias), _mm_cvtsi32_si128(pShift));
}
#endif

void PackValues(const std::int32_t* pValues, std::int64_t pCount, int pBits, std::uint8_t* pOut) noexcept {
    std::int64_t i = 0;
    switch (pBits) {
    case 8:
#if defined(__SSE2__)
        for (; i + 8 <= pCount; i += 8) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pValues + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pValues + i + 4));
            const __m128i words = _mm_add_epi16(
                _mm_packs_epi32(DivideTowardZero(a, 16), DivideTowardZero(b, 16)), _mm_set1_epi16(128));
            // Unsigned saturation is the clamp to 0 .. 255.
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pOut + i), _mm_packus_epi16(words, words));
        }
#endif
        for (; i < pCount; ++i)
            pOut[i] = std::uint8_t(std::clamp(pValues[i] / 65536 + 128, 0, 255));
        break;
    case 16:
#if defined(__SSE2__)
        for (; i + 8 <= pCount; i += 8) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pValues + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pValues + i + 4));
            const __m128i words = _mm_packs_epi32(DivideTowardZero(a, 8), DivideTowardZero(b, 8));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 2 * i),
                             _mm_max_epi16(words, _mm_set1_epi16(-32767)));
        }
#endif
        // -32768 is written as -32767, like any value past the positive limit.
        for (; i < pCount; ++i) {
            const auto v = std::int16_t(std::clamp(pValues[i] / 256, -32767, 32767));
            std::memcpy(pOut + 2 * i, &v, 2);
        }
        break;
    default:
        for (; i < pCount; ++i) {
            const std::int32_t v = std::clamp(pValues[i], -8388608, 8388607);
            pOut[3 * i] = std::uint8_t(v & 0xFF);
            pOut[3 * i + 1] = std::uint8_t((v >> 8) & 0xFF);
            pOut[3 * i + 2] = std::uint8_t((v >> 16) & 0xFF);
        }
        break;
    }
}

// One step of the block loop: n source frames, a frames of look-ahead read after them, and the
// m output frames they make. m = 0 ends the loop.
struct BlockStep {
    std::int64_t N = 0;
    std::int64_t A = 0;
    std::int64_t M = 0;
};

BlockStep NextBlock(double pTotal, double pDone, std::int64_t pBlock, double pRatio) noexcept {
    BlockStep s;
    if (pTotal <= pDone) return s;
    const double remaining = pTotal - pDone;
    if (remaining > double(pBlock)) {
        s.N = pBlock;
        s.A =
            remaining > double(pBlock + kLookAhead) ? kLookAhead : RoundHalfEven(remaining - double(pBlock));
    } else {
        s.N = RoundHalfEven(remaining);
    }
    s.M = RoundHalfEven(double(s.N) / pRatio);
    return s;
}

} // namespace

C_ConvWave::C_ConvWave(QObject* pParent)
    : QObject(pParent) {}

C_ConvWave::~C_ConvWave() = default;

int C_ConvWave::NeedConv(const std::string& pFilename, std::int32_t pFreq, std::int16_t pBit,
                         std::int16_t pCh, std::int32_t pWaveMode) const {
    return Support::Trapped(-1, [&] {
        const WaveInfo info = WaveMMIO::GetWaveInfo(pFilename);
        if (!info.Valid || info.DataOffset < 0 || info.DataSize < 0) return -1;
        if (info.SamplesPerSec != pFreq) return 1;
        if (pBit == 0 && pCh == 0) return pWaveMode != info.Mode ? 1 : 0;
        return pBit != info.BitsPerSample || pCh != info.Channels ? 1 : 0;
    });
}

int C_ConvWave::ConvWave(const std::string& pSourceFN, const std::string& pTargetFN, std::int32_t pFreq,
                         std::int16_t pBit, std::int16_t pCh, std::int32_t pFlg, std::int32_t HeadderExists) {
    bool created = false;
    const int result = Support::Trapped(-1, [&] {
        c_Canceled = 0;
        c_SourceFN = pSourceFN;
        c_TargetFN = pTargetFN;
        created = HeadderExists == 0;
        return Convert(pSourceFN, pTargetFN, pFreq, pBit, pCh, pFlg, HeadderExists);
    });
    EndBlocks();
    // The block arrays live as long as one conversion.
    c_Raw = {};
    c_Work = {};
    c_Resampled = {};
    c_Mono = {};
    c_Packed = {};
    if (result >= 0) return result;
    // Trapped failure half way: leave no partial target behind.
    if (created) Support::DeleteFileSafe(pTargetFN);
    return 0;
}

bool C_ConvWave::BeginBlocks(const Request&) {
    return true;
}

std::optional<std::span<const std::uint8_t>> C_ConvWave::ConvertBlock(const Request& pRequest,
                                                                      const SamplePair* pWork, std::int64_t,
                                                                      std::int64_t pOut, bool) {
    const std::int32_t sourceRate = pRequest.Source.SamplesPerSec;
    const std::int64_t k = BoxFrames(sourceRate, pRequest.Freq, pRequest.Ratio);
    Resampler kind = Resampler::Pick;
    if ((pRequest.Flg & 1) != 0 && pRequest.Freq != sourceRate)
        kind = pRequest.Freq < sourceRate ? Resampler::BoxAverage : Resampler::Linear;

    const auto m = std::size_t(pOut);
    if (c_Resampled.size() < m) c_Resampled.resize(m);
    Resample(kind, pWork, pOut, pRequest.Ratio, k, c_Resampled.data());

    const auto outBytes = m * std::size_t(pRequest.Bit / 8) * std::size_t(pRequest.Ch);
    if (c_Packed.size() < outBytes) c_Packed.resize(outBytes);
    if (pRequest.Ch == 1) {
        if (c_Mono.size() < m) c_Mono.resize(m);
        for (std::size_t i = 0; i < m; ++i)
            c_Mono[i] = HalfEvenMean(c_Resampled[i].Left, c_Resampled[i].Right);
        PackValues(c_Mono.data(), pOut, pRequest.Bit, c_Packed.data());
    } else {
        // A pair is two packed 32-bit values: left then right, as the file interleaves them.
        static_assert(sizeof(SamplePair) == 2 * sizeof(std::int32_t));
        PackValues(reinterpret_cast<const std::int32_t*>(c_Resampled.data()), 2 * pOut, pRequest.Bit,
                   c_Packed.data());
    }
    return std::span<const std::uint8_t>(c_Packed.data(), outBytes);
}

int C_ConvWave::Convert(const std::string& pSourceFN, const std::string& pTargetFN, std::int32_t pFreq,
                        std::int16_t pBit, std::int16_t pCh, std::int32_t pFlg, std::int32_t HeadderExists) {
    const WaveInfo src = WaveMMIO::GetWaveInfo(pSourceFN);
    if (!src.Valid || src.DataOffset <= 0 || src.DataSize <= 0) return 0;
    if (pFreq <= 0 || (pBit != 8 && pBit != 16 && pBit != 24) || (pCh != 1 && pCh != 2)) return 0;
    // A 32-bit block length, as the block loop counts in whole seconds of source.
    if (std::int64_t(src.SamplesPerSec) * 5 > 0x7FFFFFFF) return 0;

    // A data size field beyond the end of the file would only add silence: convert what is there.
    const std::int64_t present = std::min<std::int64_t>(src.DataSize, src.FileSize - src.DataOffset);
    if (present <= 0) return 0;

    const std::int64_t targetFrameBytes = std::int64_t(pBit / 8) * pCh;

    FileHandle target;
    std::int64_t headerSize = 0;
    if (HeadderExists == 0) {
        target = WaveMMIO::WriteWaveHeader(pFreq, pBit, pCh, pTargetFN, 0);
        if (!target) return 0;
        headerSize = Support::FileSizeOfHandle(target);
    } else {
        Support::FileSizeOfPath(pTargetFN, headerSize);
    }

    const Request request{src, pFreq, pBit, pCh, pFlg, double(src.SamplesPerSec) / double(pFreq)};
    const double ratio = request.Ratio;
    const std::int64_t k = BoxFrames(src.SamplesPerSec, pFreq, ratio);
    const double total = double(present) / double(src.BlockAlign);
    const std::int64_t block = std::int64_t(src.SamplesPerSec) * 5;

    // Output frames this file can produce. Downsampling never yields more frames than the source
    // has; upsampling multiplies them, plus up to half a frame per block and the odd-size pad.
    std::int64_t estimatedFrames = std::max<std::int64_t>(src.Frames, std::int64_t(std::floor(total)));
    if (ratio < 1.0)
        estimatedFrames =
            std::int64_t(std::ceil((total + 1.0) / ratio)) + std::int64_t(std::ceil(total / block)) + 1;
    if (estimatedFrames > (kSizeLimit - headerSize) / targetFrameBytes) {
        if (HeadderExists == 0) {
            target.Close();
            Support::DeleteFileSafe(pTargetFN);
        }
        return 0;
    }

    const std::int64_t srcAlign = src.BlockAlign;
    // The box average reaches k frames ahead; a source rate far above the target needs more spare.
    const std::int64_t spare = std::max(kSpareFrames, k + 2);
    std::int64_t written = 0;
    double done = 0;
    std::int32_t cancel = 0;
    bool failed = !BeginBlocks(request);
    BlockStep step = NextBlock(total, done, block, ratio);
    while (!failed && step.M != 0) {
        const std::int64_t n = step.N;
        const std::int64_t frames = n + spare;
        const auto rawBytes = std::size_t(frames * srcAlign);
        if (c_Raw.size() < rawBytes) c_Raw.resize(rawBytes);
        const std::int64_t offset = src.DataOffset + std::int64_t(done) * srcAlign;
        // A part frame at the end of a cut file is rounded up to a whole one; what the file lacks
        // reads as zeros, like the frames past the data.
        const auto wanted =
            std::size_t(std::clamp<std::int64_t>(src.FileSize - offset, 0, (n + step.A) * srcAlign));
        const std::int64_t got = Support::ReadFileAtCounted(c_Raw.data(), wanted, pSourceFN, offset);
        // The bytes were there when the conversion started: a source that vanished or shrank since
        // would only turn into silence, so the file fails instead.
        if (got < std::int64_t(wanted)) {
            failed = true;
            break;
        }
        // What a fresh zero-filled array would hold past the bytes read.
        std::memset(c_Raw.data() + wanted, 0, rawBytes - wanted);

        const auto workFrames = std::size_t(frames);
        if (c_Work.size() < workFrames) c_Work.resize(workFrames);
        Unpack(src.Mode, c_Raw.data(), workFrames, c_Work.data());

        const BlockStep next = NextBlock(total, done + double(n), block, ratio);
        const auto out = ConvertBlock(request, c_Work.data(), n, step.M, next.M == 0);
        // A lost block (full disk, I/O error) would leave a file that looks complete: fail instead.
        if (!out ||
            (!out->empty() && !Support::WriteFileAt(out->data(), out->size(), -1, target, pTargetFN))) {
            failed = true;
            break;
        }
        written += std::int64_t(out->size());
        done += double(n);
        step = next;

        Q_EMIT Prog(float(done / total), cancel);
        Support::WaitWithEvents(c_BlockPause, 1);
        if (cancel != 0) c_Canceled = 1;
        if (c_Canceled != 0) break;
    }

    if (c_Canceled == 0 && !failed && (written & 1) != 0 && pCh == 1) {
        std::vector<std::uint8_t> silence(std::size_t(targetFrameBytes), 0);
        if (pBit == 8) silence[0] = 128;
        failed = !Support::WriteFileAt(silence.data(), silence.size(), -1, target, pTargetFN);
    }
    if (c_Canceled == 0 && !failed)
        failed = !WaveMMIO::FixWaveHeader(pTargetFN, 0, 0, target) || !target.Close();
    if (c_Canceled != 0 || failed) {
        target.Close();
        Support::DeleteFileSafe(pTargetFN);
        return 0;
    }
    return 1;
}
