// The one builder of WAV headers: the engine's writer and the wavdest plugin both call it.
// Standard library only, so that the plugin can include it.
#pragma once

#include <cstdint>
#include <iterator>
#include <vector>

namespace WaveHeader {

inline constexpr std::uint32_t kPlainBytes = 44;
inline constexpr std::uint32_t kExtensibleBytes = 68;

// A PCM header followed directly by the data: 44 bytes, or 68 with the extensible format
// (tag 0xFFFE, PCM sub-format, valid bits = bits per sample). The channel mask names the 5.1 and
// 7.1 speakers for 6 and 8 channels and no positions otherwise. The two size fields are written
// as given; block align is channels x bits / 8.
inline std::vector<std::uint8_t> Build(std::uint32_t pSamplesPerSec, std::uint16_t pBitsPerSample,
                                       std::uint16_t pChannels, bool pExtensible, std::uint32_t pRiffSize,
                                       std::uint32_t pDataSize) {
    std::vector<std::uint8_t> h;
    h.reserve(kExtensibleBytes);
    auto put16 = [&h](std::uint32_t pValue) {
        h.push_back(std::uint8_t(pValue));
        h.push_back(std::uint8_t(pValue >> 8));
    };
    auto put32 = [&](std::uint32_t pValue) {
        put16(pValue & 0xFFFF);
        put16(pValue >> 16);
    };
    auto id = [&h](const char(&pId)[5]) { h.insert(h.end(), pId, pId + 4); };
    const auto blockAlign = std::uint16_t((std::uint32_t(pBitsPerSample) * pChannels) / 8);
    id("RIFF");
    put32(pRiffSize);
    id("WAVE");
    id("fmt ");
    put32(pExtensible ? 40 : 16);
    put16(pExtensible ? 0xFFFE : 1);
    put16(pChannels);
    put32(pSamplesPerSec);
    put32(std::uint32_t(blockAlign) * pSamplesPerSec);
    put16(blockAlign);
    put16(pBitsPerSample);
    if (pExtensible) {
        put16(22);
        put16(pBitsPerSample);
        put32(pChannels == 6 ? 0x3F : (pChannels == 8 ? 0xFF : 0));
        // KSDATAFORMAT_SUBTYPE_PCM {00000001-0000-0010-8000-00AA00389B71}
        static constexpr std::uint8_t kPcmGuid[16]{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        h.insert(h.end(), std::begin(kPcmGuid), std::end(kPcmGuid));
    }
    id("data");
    put32(pDataSize);
    return h;
}

} // namespace WaveHeader
