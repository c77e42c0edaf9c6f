// Stands in for the audio compression manager's MPEG Layer-3 codec, with LAME (and its hip
// decoder). The only file that includes LAME.
#include "engine/AcmCodec.h"

#include "support/Log.h"

#include <lame.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <shared_mutex>
#include <string>
#include <vector>

namespace AcmCodec {

namespace {

struct LameDeleter {
    void operator()(lame_global_flags* p) const noexcept { lame_close(p); }
};
struct HipDeleter {
    void operator()(hip_global_flags* p) const noexcept { hip_decode_exit(p); }
};

constexpr std::array<std::uint32_t, 14> kMpeg1{32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<std::uint32_t, 14> kMpeg2{8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::array<std::uint32_t, 8> kMpeg25{8, 16, 24, 32, 40, 48, 56, 64};

// LAME and its decoder fill tables the whole process shares (powers, synthesis windows) whenever a
// stream is set up, while the other streams read them: a set-up runs alone, coding side by side.
// A waiting set-up goes before further coding, and coding holds the tables a few frames at a time,
// so that a set-up waits a few milliseconds, not for another stream's whole block.
class TablesLock {
public:
    TablesLock() {
        pthread_rwlockattr_t attr;
        pthread_rwlockattr_init(&attr);
        pthread_rwlockattr_setkind_np(&attr, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
        pthread_rwlock_init(&c_Lock, &attr);
        pthread_rwlockattr_destroy(&attr);
    }
    ~TablesLock() { pthread_rwlock_destroy(&c_Lock); }
    TablesLock(const TablesLock&) = delete;
    TablesLock& operator=(const TablesLock&) = delete;
    // The names std::unique_lock and std::shared_lock call.
    void lock() { pthread_rwlock_wrlock(&c_Lock); }
    void unlock() { pthread_rwlock_unlock(&c_Lock); }
    void lock_shared() { pthread_rwlock_rdlock(&c_Lock); }
    void unlock_shared() { pthread_rwlock_unlock(&c_Lock); }

private:
    pthread_rwlock_t c_Lock;
};

TablesLock& SharedTables() {
    static TablesLock tables;
    return tables;
}

// Frames handed to the encoder per turn at the tables: about 0.2 s of audio.
constexpr int kFramesPerTurn = 8 * 1152;

template <std::size_t N> bool Contains(const std::array<std::uint32_t, N>& pList, std::uint32_t pValue) {
    return std::find(pList.begin(), pList.end(), pValue) != pList.end();
}

class Encoder final : public Stream {
public:
    Encoder(lame_global_flags* pFlags, int pChannels)
        : c_Lame(pFlags)
        , c_Channels(pChannels) {}
    int Size(std::uint32_t pSourceBytes, std::uint32_t& pDestBytes) override {
        const std::uint64_t samples = pSourceBytes / std::uint32_t(2 * c_Channels);
        // LAME's own bound for a buffer that can never be too small.
        pDestBytes = std::uint32_t(std::min<std::uint64_t>(0xFFFFFFFFu, samples * 5 / 4 + 7200));
        return kOk;
    }
    int Convert(const std::uint8_t* pSource, std::uint32_t pSourceLength, std::uint8_t* pDest,
                std::uint32_t pDestLength, std::uint32_t& pSourceUsed, std::uint32_t& pDestUsed,
                unsigned) override {
        const int frames = int(pSourceLength / std::uint32_t(2 * c_Channels));
        c_Samples.resize(std::size_t(frames) * std::size_t(c_Channels));
        std::memcpy(c_Samples.data(), pSource, c_Samples.size() * 2);
        // LAME keeps what does not fill a frame for the next call: the turns make the same stream.
        std::uint32_t produced = 0;
        for (int done = 0; done < frames;) {
            const int turn = std::min(kFramesPerTurn, frames - done);
            short* samples = c_Samples.data() + std::size_t(done) * std::size_t(c_Channels);
            const int room = int(std::min<std::uint32_t>(pDestLength - produced, 0x7FFFFFFF));
            const std::shared_lock reading(SharedTables());
            const int n =
                c_Channels == 2
                    ? lame_encode_buffer_interleaved(c_Lame.get(), samples, turn, pDest + produced, room)
                    : lame_encode_buffer(c_Lame.get(), samples, nullptr, turn, pDest + produced, room);
            if (n < 0) return kInvalid;
            produced += std::uint32_t(n);
            done += turn;
        }
        pSourceUsed = std::uint32_t(frames) * std::uint32_t(2 * c_Channels);
        pDestUsed = produced;
        return kOk;
    }
    int Flush(std::uint8_t* pDest, std::uint32_t pDestLength, std::uint32_t& pDestUsed) override {
        const std::shared_lock reading(SharedTables());
        const int n = lame_encode_flush(c_Lame.get(), pDest, int(pDestLength));
        if (n < 0) return kInvalid;
        pDestUsed = std::uint32_t(n);
        return kOk;
    }
    std::size_t TagFrame(std::uint8_t* pDest, std::size_t pLength) override {
        return lame_get_lametag_frame(c_Lame.get(), pDest, pLength);
    }
    int Reset() override { return kOk; }

private:
    std::unique_ptr<lame_global_flags, LameDeleter> c_Lame;
    int c_Channels;
    std::vector<short> c_Samples;
};

class Decoder final : public Stream {
public:
    Decoder(hip_global_flags* pHip, int pChannels)
        : c_Hip(pHip)
        , c_Channels(pChannels) {}
    int Size(std::uint32_t pSourceBytes, std::uint32_t& pDestBytes) override {
        // The smallest Layer III frame (8 kbit/s at 24 kHz, 576 samples) is 24 bytes.
        const std::uint64_t frames = pSourceBytes / 24 + 4;
        pDestBytes = std::uint32_t(
            std::min<std::uint64_t>(0x7FFFFFFFu, frames * 1152 * 2 * std::uint32_t(c_Channels)));
        return kOk;
    }
    int Convert(const std::uint8_t* pSource, std::uint32_t pSourceLength, std::uint8_t* pDest,
                std::uint32_t pDestLength, std::uint32_t& pSourceUsed, std::uint32_t& pDestUsed,
                unsigned) override {
        pDestUsed = 0;
        const std::size_t capacity = pDestLength / std::uint32_t(2 * c_Channels);
        c_Left.resize(std::max<std::size_t>(capacity, 1152));
        c_Right.resize(c_Left.size());
        // hip stops at the first frame that yields nothing (the Info tag frame, a frame that only
        // fills the bit reservoir) although more are buffered: drain it until it has given nothing
        // several times in a row.
        std::size_t n = 0;
        const std::shared_lock reading(SharedTables());
        int r = hip_decode(c_Hip.get(), const_cast<unsigned char*>(pSource), pSourceLength, c_Left.data(),
                           c_Right.data());
        int idle = r == 0 ? 1 : 0;
        constexpr int kIdleCalls = 4;
        while (r >= 0 && idle < kIdleCalls) {
            n += std::size_t(r);
            if (n + 4608 > c_Left.size()) {
                c_Left.resize(n + 4608 * 16);
                c_Right.resize(c_Left.size());
            }
            // An empty read of the same buffer: hip copies nothing but must be given an address.
            r = hip_decode(c_Hip.get(), const_cast<unsigned char*>(pSource), 0, c_Left.data() + n,
                           c_Right.data() + n);
            idle = r == 0 ? idle + 1 : 0;
        }
        if (r < 0) return kInvalid;
        if (n > capacity) return kInvalid;
        auto* out = reinterpret_cast<short*>(pDest);
        for (std::size_t i = 0; i < n; ++i) {
            if (c_Channels == 2) {
                out[2 * i] = c_Left[i];
                out[2 * i + 1] = c_Right[i];
            } else {
                out[i] = c_Left[i];
            }
        }
        pSourceUsed = pSourceLength;
        pDestUsed = std::uint32_t(n) * std::uint32_t(2 * c_Channels);
        return kOk;
    }
    int Flush(std::uint8_t*, std::uint32_t, std::uint32_t& pDestUsed) override {
        pDestUsed = 0;
        return kOk;
    }
    std::size_t TagFrame(std::uint8_t*, std::size_t) override { return 0; }
    int Reset() override { return kOk; }

private:
    std::unique_ptr<hip_global_flags, HipDeleter> c_Hip;
    int c_Channels;
    std::vector<short> c_Left;
    std::vector<short> c_Right;
};

} // namespace

bool EncoderAccepts(std::uint32_t pRate, std::uint32_t pKbps, std::uint16_t pChannels, std::uint16_t pBits) {
    if (pBits != 16 || (pChannels != 1 && pChannels != 2)) return false;
    switch (pRate) {
    case 32000:
    case 44100:
    case 48000:
        return Contains(kMpeg1, pKbps);
    case 16000:
    case 22050:
    case 24000:
        return Contains(kMpeg2, pKbps);
    case 8000:
    case 11025:
    case 12000:
        return Contains(kMpeg25, pKbps);
    default:
        return false;
    }
}

int StreamOpen(std::unique_ptr<Stream>& pStream, const WaveFormatEx& pSource, const WaveFormatEx& pDest,
               const MpegLayer3WaveFormat& pMp3, unsigned) {
    pStream.reset();
    const std::unique_lock setting(SharedTables());
    const bool encode = pSource.wFormatTag == 1 && pDest.wFormatTag == 85;
    const bool decode = pSource.wFormatTag == 85 && pDest.wFormatTag == 1;
    if (!encode && !decode) return kNotPossible;
    const WaveFormatEx& pcm = encode ? pSource : pDest;
    if (pcm.nChannels != pMp3.wfx.nChannels || pcm.nSamplesPerSec != pMp3.wfx.nSamplesPerSec)
        return kNotPossible;
    // The bit rate travels as bytes per second, rounded from kbit/s / 8 x 1000.
    const std::uint32_t kbps = (pMp3.wfx.nAvgBytesPerSec * 8 + 500) / 1000;
    if (encode) {
        if (!EncoderAccepts(pcm.nSamplesPerSec, kbps, pcm.nChannels, pcm.wBitsPerSample)) return kNotPossible;
        lame_global_flags* flags = lame_init();
        if (flags == nullptr) return kNotPossible;
        std::unique_ptr<lame_global_flags, LameDeleter> owner(flags);
        // Every setting must take: one that LAME refused would leave it encoding something else.
        bool accepted = true;
        const auto set = [&accepted](int pResult, const char* pName) {
            if (pResult == 0) return;
            Support::WriteLog(std::string("lame_set_") + pName + " refused r=" + std::to_string(pResult), 1);
            accepted = false;
        };
        set(lame_set_in_samplerate(flags, int(pcm.nSamplesPerSec)), "in_samplerate");
        set(lame_set_out_samplerate(flags, int(pcm.nSamplesPerSec)), "out_samplerate");
        set(lame_set_num_channels(flags, pcm.nChannels), "num_channels");
        set(lame_set_mode(flags, pcm.nChannels == 1 ? MONO : JOINT_STEREO), "mode");
        set(lame_set_VBR(flags, vbr_off), "VBR");
        set(lame_set_brate(flags, int(kbps)), "brate");
        // An Info tag frame leads the file so that players know the exact length.
        set(lame_set_bWriteVbrTag(flags, 1), "bWriteVbrTag");
        if (!accepted) return kNotPossible;
        if (lame_init_params(flags) < 0) {
            Support::WriteLog("lame_init_params refused", 1);
            return kNotPossible;
        }
        pStream = std::make_unique<Encoder>(owner.release(), pcm.nChannels);
        return kOk;
    }
    if (pcm.wBitsPerSample != 16 || (pcm.nChannels != 1 && pcm.nChannels != 2)) return kNotPossible;
    hip_global_flags* hip = hip_decode_init();
    if (hip == nullptr) return kNotPossible;
    pStream = std::make_unique<Decoder>(hip, pcm.nChannels);
    return kOk;
}

} // namespace AcmCodec
