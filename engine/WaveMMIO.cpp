#include "engine/WaveMMIO.h"

#include "support/Rounding.h"
#include "engine/WaveHeader.h"
#include "engine/graph/AudioDevices.h"
#include "support/ErrorTrap.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

using Support::FileHandle;

namespace WaveMode {

namespace {
struct Format {
    int Channels;
    int Bits;
};
constexpr std::array<Format, kCount> kFormats{
    {{1, 8}, {2, 8}, {1, 16}, {2, 16}, {1, 24}, {2, 24}, {6, 16}, {8, 16}, {6, 24}, {8, 24}}};
} // namespace

int FromFormat(int pChannels, int pBits) noexcept {
    for (int m = 0; m < kCount; ++m)
        if (kFormats[std::size_t(m)].Channels == pChannels && kFormats[std::size_t(m)].Bits == pBits)
            return m;
    return -1;
}

int Channels(int pMode) noexcept {
    return pMode >= 0 && pMode < kCount ? kFormats[std::size_t(pMode)].Channels : 0;
}

int Bits(int pMode) noexcept {
    return pMode >= 0 && pMode < kCount ? kFormats[std::size_t(pMode)].Bits : 0;
}

} // namespace WaveMode

namespace WaveMMIO {

namespace {

constexpr std::array<std::int32_t, 12> kRates{192000, 96000, 88200, 48000, 44100, 32000,
                                              24000,  22050, 16000, 12000, 11025, 8000};

constexpr std::array<const char*, WaveMode::kCount> kModeNames{
    "Mono8bit",    "Stereo8bit",         "Mono16bit",          "Stereo16bit",        "Mono24bit",
    "Stereo24bit", "Surround 5.1 16bit", "Surround 7.1 16bit", "Surround 5.1 24bit", "Surround 7.1 24bit"};

std::uint32_t LE32(const std::uint8_t* p) noexcept {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint16_t LE16(const std::uint8_t* p) noexcept {
    return std::uint16_t(p[0] | p[1] << 8);
}

bool ReadExact(const FileHandle& pFile, std::int64_t pOffset, std::uint8_t* pOut, std::size_t pCount) {
    // Positioning and reading in one step; a short read leaves the zeroed rest, as a plain read would.
    return Support::ReadAt(pFile, pOut, pCount, pOffset) >= 0;
}

std::int32_t Unpack24(const std::uint8_t* p) noexcept {
    std::int32_t v = std::int32_t(p[0]) | std::int32_t(p[1]) << 8 | std::int32_t(p[2]) << 16;
    return v > 0x7FFFFF ? v - 0x1000000 : v;
}

void Pack24(std::int32_t pValue, std::uint8_t* p) noexcept {
    std::int32_t v = pValue < -8388608 ? -8388608 : (pValue > 8388607 ? 8388607 : pValue);
    if (v < 0) v += 0x1000000;
    p[0] = std::uint8_t(v % 256);
    p[1] = std::uint8_t((v / 256) % 256);
    p[2] = std::uint8_t(v / 65536);
}

WaveInfo ReadWaveInfo(const std::string& pName) {
    WaveInfo info;
    const FileHandle file = Support::OpenForRead(pName);
    const std::int64_t size = Support::FileSizeOfHandle(file);
    if (size < 0) return info;
    bool fmtFound = false;
    bool dataFound = false;
    std::int64_t o = 12;
    for (;;) {
        std::uint8_t id[4]{};
        if (o + 4 > size || !ReadExact(file, o, id, 4)) return info;
        const std::uint32_t fourcc = LE32(id);
        if (fourcc == FourCC("fmt ")) {
            std::uint8_t fmt[16]{};
            if (o + 8 > size || !ReadExact(file, o + 8, fmt, 16)) return info;
            info.FormatTag = std::int16_t(LE16(fmt));
            info.Channels = std::int16_t(LE16(fmt + 2));
            info.SamplesPerSec = std::int32_t(LE32(fmt + 4));
            info.BitsPerSample = std::int16_t(LE16(fmt + 14));
            info.BlockAlign = std::int32_t(RoundHalfEven(double(info.Channels) * info.BitsPerSample / 8.0));
            const int mode = WaveMode::FromFormat(info.Channels, info.BitsPerSample);
            if (mode < 0) return info;
            info.Mode = mode;
            fmtFound = true;
        }
        if (fourcc == FourCC("data")) {
            // The record keeps a 32-bit offset: a data chunk that starts beyond it cannot be described.
            if (o + 8 > std::numeric_limits<std::int32_t>::max()) return info;
            info.DataOffset = std::int32_t(o + 8);
            std::uint8_t sizeField[4]{};
            if (o + 4 > size || !ReadExact(file, o + 4, sizeField, 4)) return info;
            info.DataSize = LE32(sizeField);
            dataFound = true;
        }
        if (fmtFound && dataFound) {
            // A rate that is zero or reads as negative cannot time anything: not a usable file.
            if (info.SamplesPerSec <= 0) return info;
            const double frameBytes = double(info.Channels) * info.BitsPerSample / 8.0;
            const double frames = std::floor(double(info.DataSize) / frameBytes);
            info.Frames = frames > 2147483647.0 ? 2147483647 : std::int32_t(frames);
            const double ms = double(info.Frames) / info.SamplesPerSec * 1000.0;
            if (!(ms <= 2147483647.0)) return info;
            info.Milliseconds = std::int32_t(RoundHalfEven(ms));
            info.FileSize = size;
            info.Valid = 1;
            return info;
        }
        std::uint8_t sizeField[4]{};
        if (o + 8 > size || !ReadExact(file, o + 4, sizeField, 4)) return info;
        const std::uint32_t s = LE32(sizeField);
        o += 8 + std::int64_t(s) + (s & 1);
    }
}

} // namespace

std::span<const std::int32_t> TargetRates() noexcept {
    return kRates;
}

std::int64_t FindChunk(const std::string& pName, std::uint32_t pFourCC) {
    return Support::Trapped<std::int64_t>(-1, [&]() -> std::int64_t {
        std::int64_t size = 0;
        Support::FileSizeOfPath(pName, size);
        std::int64_t o = 12;
        for (;;) {
            if (o + 4 > size) return -1;
            std::uint8_t id[4]{};
            if (!Support::ReadFileAt(id, 4, pName, o, 0)) return -1;
            if (LE32(id) == pFourCC) return o;
            if (o + 8 > size) return -1;
            std::uint8_t sizeField[4]{};
            if (!Support::ReadFileAt(sizeField, 4, pName, o + 4, 0)) return -1;
            const std::uint32_t s = LE32(sizeField);
            o += 8 + std::int64_t(s) + (s & 1);
        }
    });
}

WaveInfo GetWaveInfo(const std::string& pName) {
    return Support::Trapped(WaveInfo{}, [&] { return ReadWaveInfo(pName); });
}

std::int32_t FramesPresent(const WaveInfo& pInfo) noexcept {
    if (pInfo.Valid == 0 || pInfo.BlockAlign <= 0) return 0;
    const std::int64_t bytes = std::max<std::int64_t>(0, pInfo.FileSize - pInfo.DataOffset);
    return std::int32_t(std::min<std::int64_t>(pInfo.Frames, bytes / pInfo.BlockAlign));
}

std::int32_t MillisecondsPresent(const WaveInfo& pInfo) noexcept {
    const std::int32_t frames = FramesPresent(pInfo);
    if (frames == pInfo.Frames) return pInfo.Milliseconds;
    return std::int32_t(RoundHalfEven(double(frames) / pInfo.SamplesPerSec * 1000.0));
}

std::vector<std::uint8_t> WaveHeaderBytes(std::int32_t pSamplesPerSec, std::int16_t pBitsPerSample,
                                          std::int16_t pChannels, std::uint32_t pDataSize) {
    // The extensible header is chosen by the channel count alone.
    const bool extensible = pChannels == 6 || pChannels == 8;
    return WaveHeader::Build(
        std::uint32_t(pSamplesPerSec), std::uint16_t(pBitsPerSample), std::uint16_t(pChannels), extensible,
        pDataSize + (extensible ? WaveHeader::kExtensibleBytes : WaveHeader::kPlainBytes) - 8, pDataSize);
}

FileHandle WriteWaveHeader(std::int32_t pSamplesPerSec, std::int16_t pBitsPerSample, std::int16_t pChannels,
                           const std::string& pName, std::uint32_t pDataSize) {
    return Support::Trapped(FileHandle(), [&] {
        Support::DeleteFileSafe(pName);
        // Created exclusively: should another program take the name in between, we fail rather
        // than write into its file.
        FileHandle file = Support::CreateExclusive(pName);
        if (!file) return file;
        const auto header = WaveHeaderBytes(pSamplesPerSec, pBitsPerSample, pChannels, pDataSize);
        (void)Support::WriteFileAt(header.data(), header.size(), -1, file, pName);
        return file;
    });
}

int FixWaveHeader(const std::string& pName, std::int64_t pTrailingBytes, int pRiffOnly, FileHandle& pHandle) {
    FileHandle own;
    FileHandle& file = pHandle ? pHandle : own;
    return Support::Trapped(0, [&] {
        std::int64_t size = 0;
        if (file)
            size = Support::FileSizeOfHandle(file);
        else
            Support::FileSizeOfPath(pName, size);
        if (size < 44 || size > 0xFFFFFFFFLL) return 0;
        std::uint8_t field[4];
        auto put = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                field[i] = std::uint8_t(v >> (8 * i));
        };
        put(Support::SaturateToDword(size - 8));
        if (!Support::WriteFileAt(field, 4, 4, file, pName)) return 0;
        if (pRiffOnly != 0) return 1;
        const std::int64_t data = FindChunk(pName, FourCC("data"));
        if (data < 36) return 0;
        put(Support::SaturateToDword(size - (data + 8) - pTrailingBytes));
        return Support::WriteFileAt(field, 4, data + 4, file, pName);
    });
}

int FixWaveHeader(const std::string& pName, std::int64_t pTrailingBytes, int pRiffOnly) {
    FileHandle none;
    return FixWaveHeader(pName, pTrailingBytes, pRiffOnly, none);
}

void Unpack24Stereo(std::span<const std::uint8_t> pBytes, std::span<SamplePair> pPairs) noexcept {
    const std::size_t n = std::min(pPairs.size(), pBytes.size() / 6);
    for (std::size_t i = 0; i < n; ++i) {
        pPairs[i].Left = Unpack24(&pBytes[6 * i]);
        pPairs[i].Right = Unpack24(&pBytes[6 * i + 3]);
    }
}

void Unpack24Mono(std::span<const std::uint8_t> pBytes, std::span<std::int32_t> pValues) noexcept {
    const std::size_t n = std::min(pValues.size(), pBytes.size() / 3);
    for (std::size_t i = 0; i < n; ++i)
        pValues[i] = Unpack24(&pBytes[3 * i]);
}

void Pack24Stereo(std::span<const SamplePair> pPairs, std::span<std::uint8_t> pBytes) noexcept {
    const std::size_t n = std::min(pPairs.size(), pBytes.size() / 6);
    for (std::size_t i = 0; i < n; ++i) {
        Pack24(pPairs[i].Left, &pBytes[6 * i]);
        Pack24(pPairs[i].Right, &pBytes[6 * i + 3]);
    }
}

void Pack24Mono(std::span<const std::int32_t> pValues, std::span<std::uint8_t> pBytes) noexcept {
    const std::size_t n = std::min(pValues.size(), pBytes.size() / 3);
    for (std::size_t i = 0; i < n; ++i)
        Pack24(pValues[i], &pBytes[3 * i]);
}

int GetWaveMode(const std::string& pName, std::int16_t pBitsPerSample, std::int16_t pChannels) {
    int bits = pBitsPerSample;
    int channels = pChannels;
    if (!pName.empty()) {
        const WaveInfo info = GetWaveInfo(pName);
        bits = info.BitsPerSample;
        channels = info.Channels;
    }
    const int mode = WaveMode::FromFormat(channels, bits);
    return mode < 0 ? 0 : mode;
}

std::string WaveModeName(int pMode) {
    return pMode >= 0 && pMode < WaveMode::kCount ? kModeNames[std::size_t(pMode)] : std::string();
}

std::string WaveFileType(const std::string& pName) {
    switch (GetWaveInfo(pName).FormatTag) {
    case 1:
        return "wav";
    case 80:
        return "mp2";
    case 85:
        return "mp3";
    case 352:
    case 353:
        return "wmariff";
    default:
        return Support::Extension(pName);
    }
}

void LoadModeToCombo(ComboBox& pCombo, int pSelected, int pLastMode) {
    pCombo.Clear();
    for (int m = 0; m <= pLastMode && m < WaveMode::kCount; ++m)
        pCombo.AddItem(WaveModeName(m));
    if (pCombo.ListCount() > 0 && pSelected >= 0)
        pCombo.ListIndex(pSelected < pCombo.ListCount() ? pSelected : 0);
}

void LoadFreqToCombo(ComboBox& pCombo, std::int32_t pSelected, std::int32_t pMinRate, std::int32_t pMaxRate) {
    pCombo.Clear();
    for (const std::int32_t r : kRates)
        if ((r >= pMinRate || pMinRate == 0) && (r <= pMaxRate || pMaxRate == 0))
            pCombo.AddItem(std::to_string(r));
    const std::string wanted = std::to_string(pSelected);
    for (int i = 0; i < pCombo.ListCount(); ++i)
        if (pCombo.List(i) == wanted) {
            pCombo.ListIndex(i);
            return;
        }
}

void LoadDeviceNamesToCombo(ComboBox& pCombo, const std::vector<std::string>& pDevices,
                            const std::string& pName) {
    pCombo.Clear();
    for (const std::string& device : pDevices)
        pCombo.AddItem(Support::CutAtNul(device));
    if (pCombo.ListCount() == 0) return;
    const QString wanted = QString::fromStdString(Support::TrimSpaces(pName)).toLower();
    for (int i = 0; i < pCombo.ListCount(); ++i)
        if (QString::fromStdString(pCombo.List(i)).toLower() == wanted) {
            pCombo.ListIndex(i);
            return;
        }
    if (pName.empty()) return;
    for (int i = 0; i < pCombo.ListCount(); ++i)
        if (SameDeviceName(pCombo.List(i), pName)) {
            pCombo.ListIndex(i);
            return;
        }
}

void LoadWaveDevToCombo(ComboBox& pCombo, int pIsInput, const std::string& pName) {
    LoadDeviceNamesToCombo(pCombo, Graph::AudioDeviceNames(pIsInput != 0), pName);
}

bool SameDeviceName(const std::string& pA, const std::string& pB) {
    std::array<QString, 2> names{QString::fromStdString(pA).toLower(), QString::fromStdString(pB).toLower()};
    for (QString& name : names)
        for (char k = '0'; k <= '5'; ++k) {
            const QString dashDigit = QStringLiteral("- ") + QChar::fromLatin1(k);
            if (name.contains(dashDigit) && name.contains(QLatin1Char('('))) name.remove(dashDigit);
        }
    if (names[0] == names[1]) return true;
    static const QString kNoise = QStringLiteral(" 0123456789-()");
    for (QString& name : names) {
        if (name.size() <= 4) continue;
        // Device numbers and brackets that prefix a name differ between enumerations.
        for (int p = 1; p <= 4; ++p)
            if (p <= name.size() && kNoise.contains(name.at(p - 1))) name.remove(0, 1);
        name = name.trimmed();
    }
    return names[0] == names[1];
}

} // namespace WaveMMIO
