// The only file that includes libsoxr.
#include "engine/C_ConvWaveHQ.h"

#include <soxr.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <future>
#include <memory>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Samples at 24-bit scale become floats in -1 .. 1, exactly.
constexpr float kFromWork = 1.0f / 8388608.0f;
// The filter takes this many frames at a time, so that its buffers stay in the cache.
constexpr std::size_t kChunkFrames = 16384;
constexpr std::int64_t kMaxRatio = 256;
// Detail a filtered or surround-mixed signal carries: a 24-bit target rounds it, smaller ones dither.
constexpr int kWorkBits = 24;

struct SoxrDeleter {
    void operator()(soxr_t pResampler) const noexcept { soxr_delete(pResampler); }
};
using Resampler = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

// Triangular dither of up to one step either way, four values at a time: each of four xorshift
// generators gives one 32-bit draw whose two 16-bit halves are the two uniform values. The fixed
// start makes the same source give the same bytes.
struct Triangular {
    std::array<std::uint32_t, 4> State{0x9E3779B9u, 0x7F4A7C15u, 0xF39CC060u, 0x5CEDC834u};
};

#if defined(__SSE2__)
inline __m128 NextDither(__m128i& pState) noexcept {
    __m128i x = pState;
    x = _mm_xor_si128(x, _mm_slli_epi32(x, 13));
    x = _mm_xor_si128(x, _mm_srli_epi32(x, 17));
    x = _mm_xor_si128(x, _mm_slli_epi32(x, 5));
    pState = x;
    const __m128i sum = _mm_add_epi32(_mm_srli_epi32(x, 16), _mm_and_si128(x, _mm_set1_epi32(0xFFFF)));
    return _mm_mul_ps(_mm_cvtepi32_ps(_mm_sub_epi32(sum, _mm_set1_epi32(65535))), _mm_set1_ps(1.0f / 65536));
}
#else
inline std::array<float, 4> NextDither(std::array<std::uint32_t, 4>& pState) noexcept {
    std::array<float, 4> d{};
    for (std::size_t lane = 0; lane < 4; ++lane) {
        std::uint32_t x = pState[lane];
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        pState[lane] = x;
        d[lane] = float(std::int32_t((x >> 16) + (x & 0xFFFF)) - 65535) * (1.0f / 65536);
    }
    return d;
}
#endif

// Samples in -1 .. 1 to target samples, pStride bytes apart: scaled to the depth, dithered when
// asked, clamped and rounded to the nearest step, ties to even; 8-bit samples are unsigned. Single
// precision is exact without dither (a power-of-two scale) and loses nothing that matters with it.
template <int Bits, bool Dither>
void Requantise(const float* pIn, std::size_t pCount, std::size_t pStride, Triangular& pNoise,
                std::uint8_t* pOut) noexcept {
    constexpr float kScale = float(1 << (Bits - 1));
    // Four samples at a time; past pCount the values are computed and not stored.
    auto store = [pStride](const std::int32_t* pValues, std::size_t pHowMany, std::uint8_t* pTo) {
        for (std::size_t k = 0; k < pHowMany; ++k, pTo += pStride) {
            const auto v = std::uint32_t(pValues[k]);
            if constexpr (Bits == 8) {
                pTo[0] = std::uint8_t(v + 128);
            } else {
                pTo[0] = std::uint8_t(v);
                pTo[1] = std::uint8_t(v >> 8);
                if constexpr (Bits == 24) pTo[2] = std::uint8_t(v >> 16);
            }
        }
    };
#if defined(__SSE2__)
    __m128i state = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pNoise.State.data()));
    for (std::size_t i = 0; i < pCount; i += 4) {
        const std::size_t n = std::min<std::size_t>(4, pCount - i);
        __m128 x;
        if (n == 4) {
            x = _mm_loadu_ps(pIn + i);
        } else {
            alignas(16) std::array<float, 4> tail{};
            std::copy_n(pIn + i, n, tail.begin());
            x = _mm_load_ps(tail.data());
        }
        __m128 v = _mm_mul_ps(x, _mm_set1_ps(kScale));
        if constexpr (Dither) v = _mm_add_ps(v, NextDither(state));
        v = _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(-kScale)), _mm_set1_ps(kScale - 1));
        // Converts under the default rounding mode: to nearest, ties to even.
        alignas(16) std::array<std::int32_t, 4> q;
        _mm_store_si128(reinterpret_cast<__m128i*>(q.data()), _mm_cvtps_epi32(v));
        store(q.data(), n, pOut + i * pStride);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pNoise.State.data()), state);
#else
    for (std::size_t i = 0; i < pCount; i += 4) {
        const std::size_t n = std::min<std::size_t>(4, pCount - i);
        const std::array<float, 4> d = Dither ? NextDither(pNoise.State) : std::array<float, 4>{};
        std::array<std::int32_t, 4> q{};
        for (std::size_t k = 0; k < n; ++k)
            q[k] = std::int32_t(std::lrintf(std::clamp(pIn[i + k] * kScale + d[k], -kScale, kScale - 1)));
        store(q.data(), n, pOut + i * pStride);
    }
#endif
}

template <bool Dither>
void Requantise(int pBits, const float* pIn, std::size_t pCount, std::size_t pStride, Triangular& pNoise,
                std::uint8_t* pOut) noexcept {
    if (pBits == 8)
        Requantise<8, Dither>(pIn, pCount, pStride, pNoise, pOut);
    else if (pBits == 16)
        Requantise<16, Dither>(pIn, pCount, pStride, pNoise, pOut);
    else
        Requantise<24, Dither>(pIn, pCount, pStride, pNoise, pOut);
}

// A growing run of samples. New room is not cleared, as every sample is written before it is read.
struct Samples {
    std::unique_ptr<float[]> Data;
    std::size_t Size = 0;
    std::size_t Capacity = 0;

    // Room for pCount samples after the first Size.
    float* Room(std::size_t pCount) {
        if (Capacity < Size + pCount) {
            const std::size_t capacity = std::max(Size + pCount, 2 * Capacity);
            auto data = std::make_unique_for_overwrite<float[]>(capacity);
            std::copy_n(Data.get(), Size, data.get());
            Data = std::move(data);
            Capacity = capacity;
        }
        return Data.get() + Size;
    }

    void DropFront(std::size_t pCount) noexcept {
        std::copy(Data.get() + pCount, Data.get() + Size, Data.get());
        Size -= pCount;
    }
};

// One channel's way through the filter. Each block's samples are filtered on a thread of their own
// while the next block is read and the one before is written; the output joins Ready when the
// next block collects it.
struct Channel {
    // None when the rate stays.
    Resampler Filter;
    double OutPerIn = 1;
    // The block being filtered, and what the filter made of it: the job's alone while it runs.
    std::vector<float> In;
    Samples Made;
    // Samples ready to be written; the filter's output runs behind its input.
    Samples Ready;
    // Declared last: it is waited for before the buffers go.
    std::future<bool> Job;

    // The job: pCount samples of In through the filter, in pieces that stay in the cache. What the
    // filter makes beyond the room given stays in it for the next call, so that a burst never piles
    // up here. At the end of the input it gives what it still holds, up to pWanted samples in all.
    bool Run(std::size_t pCount, bool pLast, std::size_t pWanted) {
        for (std::size_t used = 0; used < pCount;) {
            const std::size_t piece = std::min(kChunkFrames, pCount - used);
            const auto room = std::size_t(double(piece) * OutPerIn) + 256;
            std::size_t taken = 0;
            std::size_t made = 0;
            if (soxr_process(Filter.get(), In.data() + used, piece, &taken, Made.Room(room), room, &made) !=
                    nullptr ||
                (taken == 0 && made == 0))
                return false;
            Made.Size += made;
            used += taken;
        }
        while (pLast && Made.Size < pWanted) {
            std::size_t made = 0;
            const std::size_t room = pWanted - Made.Size;
            if (soxr_process(Filter.get(), nullptr, 0, nullptr, Made.Room(room), room, &made) != nullptr)
                return false;
            if (made == 0) break;
            Made.Size += made;
        }
        return true;
    }

    // Waits for the running job and takes its output. False when it failed.
    bool Collect() {
        if (!Job.valid()) return true;
        const bool ok = Job.get();
        if (Ready.Size == 0) {
            std::swap(Ready, Made);
        } else {
            std::copy_n(Made.Data.get(), Made.Size, Ready.Room(Made.Size));
            Ready.Size += Made.Size;
        }
        Made.Size = 0;
        return ok;
    }
};

// Channel pChannel of the source frames, or with -1 the mean of both, as floats.
void Take(const SamplePair* pWork, std::size_t pFrames, int pChannel, float* pOut) noexcept {
    if (pChannel < 0) {
        // The sum of two 24-bit values and the halving are exact in single precision.
        for (std::size_t i = 0; i < pFrames; ++i)
            pOut[i] = float(std::int64_t(pWork[i].Left) + pWork[i].Right) * (0.5f * kFromWork);
    } else {
        for (std::size_t i = 0; i < pFrames; ++i)
            pOut[i] = float(pChannel == 0 ? pWork[i].Left : pWork[i].Right) * kFromWork;
    }
}

} // namespace

struct C_ConvWaveHQ::Stream {
    // One for a mono source or a mono target, else left and right.
    std::vector<Channel> Channels;
    bool Dither = false;
    // One sequence for each target channel.
    std::array<Triangular, 2> Noise;
    // Target frames the block rule has promised and that are not written yet.
    std::size_t Owed = 0;
    std::vector<std::uint8_t> Packed;
};

C_ConvWaveHQ::C_ConvWaveHQ(QObject* pParent)
    : C_ConvWave(pParent) {}

C_ConvWaveHQ::~C_ConvWaveHQ() = default;

bool C_ConvWaveHQ::RatesSupported(std::int32_t pSourceRate, std::int32_t pTargetRate) noexcept {
    const std::int64_t from = pSourceRate;
    const std::int64_t to = pTargetRate;
    return from > 0 && to > 0 && from <= kMaxRatio * to && to <= kMaxRatio * from;
}

bool C_ConvWaveHQ::BeginBlocks(const Request& pRequest) {
    const WaveInfo& src = pRequest.Source;
    if (!RatesSupported(src.SamplesPerSec, pRequest.Freq)) return false;
    auto s = std::make_unique<Stream>();
    s->Channels.resize(src.Channels == 1 || pRequest.Ch == 1 ? 1 : 2);
    const bool resampled = pRequest.Freq != src.SamplesPerSec;
    for (Channel& c : s->Channels) {
        if (!resampled) continue;
        // Linear phase also keeps libsoxr away from its one process-wide table (the one its
        // phase-changing filters build), so filters on different threads share nothing.
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ | SOXR_LINEAR_PHASE, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_error_t error = nullptr;
        c.Filter.reset(soxr_create(double(src.SamplesPerSec), double(pRequest.Freq), 1, &error, &io, &quality,
                                   &runtime));
        if (!c.Filter || error != nullptr) return false;
        c.OutPerIn = 1.0 / pRequest.Ratio;
    }
    // Dither only where rounding loses detail. Unfiltered samples carry the source's own depth,
    // one bit more for the mean of two channels.
    const int carried = resampled || src.Channels > 2
                            ? kWorkBits
                            : src.BitsPerSample + (src.Channels == 2 && pRequest.Ch == 1 ? 1 : 0);
    s->Dither = (pRequest.Flg & 1) != 0 && pRequest.Bit < std::min(carried, kWorkBits);
    c_Stream = std::move(s);
    return true;
}

std::optional<std::span<const std::uint8_t>> C_ConvWaveHQ::ConvertBlock(const Request& pRequest,
                                                                        const SamplePair* pWork,
                                                                        std::int64_t pFrames,
                                                                        std::int64_t pOut, bool pLast) {
    Stream& s = *c_Stream;
    s.Owed += std::size_t(pOut);
    const auto frames = std::size_t(pFrames);
    for (std::size_t index = 0; index < s.Channels.size(); ++index) {
        Channel& c = s.Channels[index];
        if (!c.Collect()) return std::nullopt;
        const int which = s.Channels.size() == 1 ? -1 : int(index);
        if (!c.Filter) {
            Take(pWork, frames, which, c.Ready.Room(frames));
            c.Ready.Size += frames;
            continue;
        }
        if (c.In.size() < frames) c.In.resize(frames);
        Take(pWork, frames, which, c.In.data());
        const std::size_t wanted = s.Owed > c.Ready.Size ? s.Owed - c.Ready.Size : 0;
        // When no thread can be started, the job runs when it is collected.
        c.Job = std::async(std::launch::async | std::launch::deferred,
                           [&c, frames, pLast, wanted] { return c.Run(frames, pLast, wanted); });
    }
    if (pLast) {
        for (Channel& c : s.Channels) {
            if (!c.Collect()) return std::nullopt;
            // The filter may end a frame short of the block rule's count: silence makes it up.
            if (c.Ready.Size < s.Owed) {
                std::fill_n(c.Ready.Room(s.Owed - c.Ready.Size), s.Owed - c.Ready.Size, 0.0f);
                c.Ready.Size = s.Owed;
            }
        }
    }
    std::size_t ready = s.Owed;
    for (const Channel& c : s.Channels)
        ready = std::min(ready, c.Ready.Size);
    // At a low source rate the filter's first output can be blocks away.
    if (ready == 0) return std::span<const std::uint8_t>();

    // Each target channel into its places in the frames; a one-channel signal fills both.
    const auto sampleBytes = std::size_t(pRequest.Bit / 8);
    const std::size_t frameBytes = sampleBytes * std::size_t(pRequest.Ch);
    const std::size_t bytes = ready * frameBytes;
    if (s.Packed.size() < bytes) s.Packed.resize(bytes);
    for (std::size_t index = 0; index < std::size_t(pRequest.Ch); ++index) {
        const float* in = s.Channels[std::min(index, s.Channels.size() - 1)].Ready.Data.get();
        std::uint8_t* out = s.Packed.data() + index * sampleBytes;
        if (s.Dither)
            Requantise<true>(pRequest.Bit, in, ready, frameBytes, s.Noise[index], out);
        else
            Requantise<false>(pRequest.Bit, in, ready, frameBytes, s.Noise[index], out);
    }
    for (Channel& c : s.Channels)
        c.Ready.DropFront(ready);
    s.Owed -= ready;
    return std::span<const std::uint8_t>(s.Packed.data(), bytes);
}

void C_ConvWaveHQ::EndBlocks() noexcept {
    c_Stream.reset();
}
