// The RIFF chunk walk: GetWaveInfo and FindChunk over any bytes.
#include "engine/WaveMMIO.h"
#include "fuzz/FuzzFiles.h"
#include "support/ErrorTrap.h"

#include <initializer_list>

using FuzzFiles::Check;

namespace {

std::uint32_t LE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// A found chunk starts inside the file, past the RIFF header, with the identifier asked for.
void CheckFound(std::int64_t pOffset, std::uint32_t pFourCC, const std::uint8_t* pData, std::size_t pSize) {
    if (pOffset == -1) return;
    Check(pOffset >= 12 && pOffset + 4 <= std::int64_t(pSize), "FindChunk: offset outside the file");
    Check(LE32(pData + pOffset) == pFourCC, "FindChunk: another identifier at the offset");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t pSize) {
    // An exception the trap would turn into a failure value still marks a case the code misses.
    Support::TrapErrors(false);
    const std::string path = FuzzFiles::Scratch() / "in.wav";
    FuzzFiles::WriteBytes(path, pData, pSize);

    const WaveInfo info = WaveMMIO::GetWaveInfo(path);
    if (info.Valid != 0) {
        Check(info.FileSize == std::int64_t(pSize), "GetWaveInfo: FileSize");
        Check(info.Mode == WaveMode::FromFormat(info.Channels, info.BitsPerSample), "GetWaveInfo: Mode");
        Check(info.SamplesPerSec > 0, "GetWaveInfo: rate");
        Check(info.BlockAlign > 0 && info.BlockAlign == info.Channels * info.BitsPerSample / 8,
              "GetWaveInfo: BlockAlign");
        Check(info.DataOffset >= 20, "GetWaveInfo: DataOffset");
        Check(info.DataSize >= 0 && info.DataSize <= 0xFFFFFFFFLL, "GetWaveInfo: DataSize");
        Check(info.Frames >= 0 && std::int64_t(info.Frames) * info.BlockAlign <= info.DataSize,
              "GetWaveInfo: Frames");
        Check(info.Milliseconds >= 0, "GetWaveInfo: Milliseconds");
        // Both walk the same chunk list, so both stop at the same data chunk.
        Check(WaveMMIO::FindChunk(path, WaveMMIO::FourCC("data")) == info.DataOffset - 8,
              "FindChunk and GetWaveInfo disagree on the data chunk");
    }

    for (const std::uint32_t fourcc : {WaveMMIO::FourCC("fmt "), WaveMMIO::FourCC("data"),
                                       WaveMMIO::FourCC("LIST"), WaveMMIO::FourCC("fact")})
        CheckFound(WaveMMIO::FindChunk(path, fourcc), fourcc, pData, pSize);
    if (pSize >= 16) {
        // Whatever stands at byte 12 is the first chunk.
        const std::uint32_t first = LE32(pData + 12);
        Check(WaveMMIO::FindChunk(path, first) == 12, "FindChunk: first chunk not found at 12");
    }
    if (pSize >= 4) {
        const std::uint32_t last = LE32(pData + pSize - 4);
        CheckFound(WaveMMIO::FindChunk(path, last), last, pData, pSize);
    }

    Check(FuzzFiles::SameBytes(FuzzFiles::ReadBytes(path), pData, pSize), "the file was changed by reading");
    return 0;
}
