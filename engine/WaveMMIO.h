#pragma once

#include "support/ComboBox.h"
#include "support/FileHandle.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The wave format record as the reader finds it. Unset fields stay 0.
struct WaveInfo {
    std::int32_t Valid = 0;
    std::int32_t Frames = 0;
    std::int32_t SamplesPerSec = 0;
    std::int16_t BitsPerSample = 0;
    std::int16_t Channels = 0;
    std::int32_t BlockAlign = 0;
    std::int32_t DataOffset = 0;
    std::int64_t DataSize = 0;
    std::int64_t FileSize = 0;
    std::int32_t Mode = 0;
    std::int32_t Milliseconds = 0;
    std::int32_t FormatTag = 0;
};

// The ten channel/bit-depth modes; the numbers are stored in settings and never change.
namespace WaveMode {
inline constexpr int kCount = 10;
inline constexpr int kLastTarget = 5;
// -1 when the combination is not a mode.
[[nodiscard]] int FromFormat(int pChannels, int pBits) noexcept;
[[nodiscard]] int Channels(int pMode) noexcept;
[[nodiscard]] int Bits(int pMode) noexcept;
} // namespace WaveMode

// A stereo frame at 24-bit scale.
struct SamplePair {
    std::int32_t Left = 0;
    std::int32_t Right = 0;
};

namespace WaveMMIO {

inline constexpr std::uint32_t FourCC(const char (&pId)[5]) noexcept {
    return std::uint32_t(std::uint8_t(pId[0])) | std::uint32_t(std::uint8_t(pId[1])) << 8 |
           std::uint32_t(std::uint8_t(pId[2])) << 16 | std::uint32_t(std::uint8_t(pId[3])) << 24;
}

// Offset of the chunk's identifier, or -1. The chunk list is assumed to start at byte 12.
[[nodiscard]] std::int64_t FindChunk(const std::string& pName, std::uint32_t pFourCC);
[[nodiscard]] WaveInfo GetWaveInfo(const std::string& pName);
// The whole frames a record's file really holds: its Frames, or fewer when the data size field
// runs past the end of the file (streaming recorders leave 0xFFFFFFFF there). 0 when not valid.
[[nodiscard]] std::int32_t FramesPresent(const WaveInfo& pInfo) noexcept;
// The playing time of those frames in milliseconds, rounded as Milliseconds is.
[[nodiscard]] std::int32_t MillisecondsPresent(const WaveInfo& pInfo) noexcept;

// Replaces any file of that name with a fresh header (44 bytes, or 68 for 6 and 8 channels) and
// returns the open handle positioned after it; the caller appends the data and owns the handle.
// The individual writes are not checked; an empty handle means the file could not be created.
[[nodiscard]] Support::FileHandle WriteWaveHeader(std::int32_t pSamplesPerSec, std::int16_t pBitsPerSample,
                                                  std::int16_t pChannels, const std::string& pName,
                                                  std::uint32_t pDataSize);
// The header bytes WriteWaveHeader writes.
[[nodiscard]] std::vector<std::uint8_t> WaveHeaderBytes(std::int32_t pSamplesPerSec,
                                                        std::int16_t pBitsPerSample, std::int16_t pChannels,
                                                        std::uint32_t pDataSize);

// Patches the RIFF size and, unless pRiffOnly, the data size of a finished file. pHandle is the
// caller's open write handle (left open unless a write fails) or empty (the file is opened by name).
[[nodiscard]] int FixWaveHeader(const std::string& pName, std::int64_t pTrailingBytes, int pRiffOnly,
                                Support::FileHandle& pHandle);
[[nodiscard]] int FixWaveHeader(const std::string& pName, std::int64_t pTrailingBytes = 0, int pRiffOnly = 0);

void Unpack24Stereo(std::span<const std::uint8_t> pBytes, std::span<SamplePair> pPairs) noexcept;
void Unpack24Mono(std::span<const std::uint8_t> pBytes, std::span<std::int32_t> pValues) noexcept;
void Pack24Stereo(std::span<const SamplePair> pPairs, std::span<std::uint8_t> pBytes) noexcept;
void Pack24Mono(std::span<const std::int32_t> pValues, std::span<std::uint8_t> pBytes) noexcept;

[[nodiscard]] int GetWaveMode(const std::string& pName, std::int16_t pBitsPerSample, std::int16_t pChannels);
[[nodiscard]] std::string WaveModeName(int pMode);
[[nodiscard]] std::string WaveFileType(const std::string& pName);

void LoadModeToCombo(ComboBox& pCombo, int pSelected, int pLastMode);
void LoadFreqToCombo(ComboBox& pCombo, std::int32_t pSelected, std::int32_t pMinRate, std::int32_t pMaxRate);
// The wave output (or input) devices of this machine, with pName selected when it is among them.
void LoadWaveDevToCombo(ComboBox& pCombo, int pIsInput, const std::string& pName);
// The selection rules of LoadWaveDevToCombo over a given device list.
void LoadDeviceNamesToCombo(ComboBox& pCombo, const std::vector<std::string>& pDevices,
                            const std::string& pName);
[[nodiscard]] bool SameDeviceName(const std::string& pA, const std::string& pB);

// The twelve target rates in the order the rate list shows them.
[[nodiscard]] std::span<const std::int32_t> TargetRates() noexcept;

} // namespace WaveMMIO
