// Stands in for the audio compression manager and its MPEG Layer-3 codec: a stream opened
// with the two format records, sized, converted block by block, reset and closed.
// No LAME here; only AcmCodec.cpp includes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#pragma pack(push, 1)
struct WaveFormatEx {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

struct MpegLayer3WaveFormat {
    WaveFormatEx wfx;
    std::uint16_t wID = 0;
    std::uint32_t fdwFlags = 0;
    std::uint16_t nBlockSize = 0;
    std::uint16_t nFramesPerBlock = 0;
    std::uint16_t nCodecDelay = 0;
};
#pragma pack(pop)

namespace AcmCodec {

inline constexpr int kOk = 0;
inline constexpr int kNotPossible = 512;
inline constexpr int kInvalid = 11;
inline constexpr unsigned kOpenNonRealtime = 0x4;
inline constexpr unsigned kConvertBlockAlign = 0x4;

// Whether a real Layer III encoder can write this: the nine MPEG-1/2/2.5 rates with their legal
// bit rates, one or two channels of 16-bit PCM.
[[nodiscard]] bool EncoderAccepts(std::uint32_t pRate, std::uint32_t pKbps, std::uint16_t pChannels,
                                  std::uint16_t pBits);

class Stream {
public:
    virtual ~Stream() = default;
    // The largest output pSourceBytes can produce.
    [[nodiscard]] virtual int Size(std::uint32_t pSourceBytes, std::uint32_t& pDestBytes) = 0;
    [[nodiscard]] virtual int Convert(const std::uint8_t* pSource, std::uint32_t pSourceLength,
                                      std::uint8_t* pDest, std::uint32_t pDestLength,
                                      std::uint32_t& pSourceUsed, std::uint32_t& pDestUsed,
                                      unsigned pFlags) = 0;
    // What the codec still holds after the last block (the encoder's last frames).
    [[nodiscard]] virtual int Flush(std::uint8_t* pDest, std::uint32_t pDestLength,
                                    std::uint32_t& pDestUsed) = 0;
    // The encoder's Info (LAME) tag frame, to be written over the first frame it produced.
    [[nodiscard]] virtual std::size_t TagFrame(std::uint8_t* pDest, std::size_t pLength) = 0;
    virtual int Reset() = 0;
};

// 0 and an open stream when the codec accepts the pair; encoding when pSource is PCM.
[[nodiscard]] int StreamOpen(std::unique_ptr<Stream>& pStream, const WaveFormatEx& pSource,
                             const WaveFormatEx& pDest, const MpegLayer3WaveFormat& pMp3, unsigned pFlags);

} // namespace AcmCodec
