// The MPEG audio reader: ReadMpegInfo (both scans, both kinds of name), FindNextFrame from several
// positions, and CopyFileRange over the audio it finds and over ranges taken from the input.
#include "engine/FCT_mpeg.h"
#include "fuzz/FuzzFiles.h"
#include "support/ErrorTrap.h"

#include <algorithm>
#include <limits>

using FuzzFiles::Check;

namespace {

std::int64_t SignedPair(const std::uint8_t* pData, std::size_t pSize, std::size_t pAt) {
    if (pAt + 1 >= pSize) return 0;
    return std::int16_t(std::uint16_t(pData[pAt] | pData[pAt + 1] << 8));
}

void CheckRecord(const MpegInfo& pInfo, const std::uint8_t* pData, std::size_t pSize) {
    const std::int64_t size = std::int64_t(pSize);
    Check(pInfo.Layer >= 1 && pInfo.Layer <= 3, "ReadMpegInfo: Layer");
    Check(pInfo.Lsf == 0 || pInfo.Lsf == 1, "ReadMpegInfo: Lsf");
    static constexpr std::int32_t kRates[]{44100, 48000, 32000, 22050, 24000, 16000};
    Check(std::find(std::begin(kRates), std::end(kRates), pInfo.SampleRate) != std::end(kRates),
          "ReadMpegInfo: SampleRate");
    Check(pInfo.BitRate > 0, "ReadMpegInfo: BitRate");
    Check(pInfo.ChannelMode >= 0 && pInfo.ChannelMode <= 3, "ReadMpegInfo: ChannelMode");
    Check(pInfo.Channels == (pInfo.ChannelMode == 3 ? 1 : 2), "ReadMpegInfo: Channels");
    Check(pInfo.Vbr == 0 || pInfo.Vbr == 1, "ReadMpegInfo: Vbr");
    Check(pInfo.Milliseconds >= 0, "ReadMpegInfo: Milliseconds");
    Check(pInfo.ResyncBytes > 0, "ReadMpegInfo: ResyncBytes");
    Check(pInfo.AudioStart >= 1 && pInfo.AudioStart <= size, "ReadMpegInfo: AudioStart");
    Check(pInfo.AudioBytes >= 1, "ReadMpegInfo: AudioBytes");
    Check(std::int64_t(pInfo.AudioEnd) == std::int64_t(pInfo.AudioStart) + pInfo.AudioBytes - 1 &&
              pInfo.AudioEnd <= size,
          "ReadMpegInfo: AudioEnd");
    Check(pInfo.ShortText.size() == 255 && pInfo.LongText.size() == 255, "ReadMpegInfo: text width");
    // The frame begins with its sync byte and the header bytes follow it; past the end they read as 0.
    const auto at = std::size_t(pInfo.AudioStart - 1);
    Check(pData[at] == 0xFF, "ReadMpegInfo: no sync byte at AudioStart");
    for (std::size_t k = 0; k < 3; ++k)
        Check(pInfo.HeaderBytes[k] == (at + 1 + k < pSize ? pData[at + 1 + k] : 0),
              "ReadMpegInfo: HeaderBytes");
}

void CheckNextFrame(const std::string& pName, std::int64_t pPosition, const MpegInfo& pInfo,
                    const std::uint8_t* pData, std::size_t pSize) {
    const std::int64_t found = FCT_mpeg::FindNextFrame(pName, pPosition, pInfo);
    const std::int64_t none = std::int64_t(pInfo.AudioEnd) + 1;
    if (found == none) return;
    const std::int64_t from = std::clamp<std::int64_t>(pPosition, pInfo.AudioStart, pInfo.AudioEnd);
    Check(found >= from && found <= pInfo.AudioEnd, "FindNextFrame: outside the searched range");
    Check(pData[found - 1] == 0xFF && std::size_t(found) < pSize && pData[found] >= 0xF0,
          "FindNextFrame: no frame header there");
}

// The copy holds exactly the bytes of the clamped range; an empty range leaves no file.
void CheckCopy(const std::string& pSource, const std::string& pTarget, std::int64_t pFirst,
               std::int64_t pLast, const std::uint8_t* pData, std::size_t pSize) {
    const int result = FCT_mpeg::CopyFileRange(pSource, pTarget, pFirst, pLast);
    bool exists = false;
    const std::vector<std::uint8_t> copy = FuzzFiles::ReadBytes(pTarget, &exists);
    const std::int64_t from = pFirst < 1 ? 0 : pFirst - 1;
    const std::int64_t to = std::clamp<std::int64_t>(pLast, 0, std::int64_t(pSize));
    Check(result == 1, "CopyFileRange failed");
    if (from >= to) {
        Check(!exists, "CopyFileRange: a file for an empty range");
    } else {
        Check(exists && FuzzFiles::SameBytes(copy, pData + from, std::size_t(to - from)),
              "CopyFileRange: wrong bytes");
    }
    std::remove(pTarget.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t pSize) {
    // An exception the trap would turn into a failure value still marks a case the code misses.
    Support::TrapErrors(false);
    const FuzzFiles::ScratchFolder& scratch = FuzzFiles::Scratch();
    // A name ending in "mp3" changes how a leading FF FF is taken.
    const std::string names[]{scratch / "in.mp3", scratch / "in.mp2"};
    for (const std::string& name : names)
        FuzzFiles::WriteBytes(name, pData, pSize);
    const std::string copy = scratch / "copy.bin";
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

    for (const std::string& name : names) {
        for (const int quick : {0, 1}) {
            MpegInfo info;
            const int result = FCT_mpeg::ReadMpegInfo(name, info, quick);
            Check(result == 0 || result == 1, "ReadMpegInfo: result");
            Check(info.FileSize == std::int64_t(pSize), "ReadMpegInfo: FileSize");
            const std::int64_t wild = SignedPair(pData, pSize, 4);
            if (result == 0) {
                // A caller should not search with a failed record, but it must not hurt either.
                (void)FCT_mpeg::FindNextFrame(name, wild, info);
                continue;
            }
            CheckRecord(info, pData, pSize);
            for (const std::int64_t position :
                 {std::int64_t(info.AudioStart), std::int64_t(info.AudioStart) + 1,
                  std::int64_t(info.AudioStart) + info.ResyncBytes / 2, std::int64_t(info.AudioStart) + wild,
                  std::int64_t(info.AudioEnd), std::int64_t(0), kMin, kMax})
                CheckNextFrame(name, position, info, pData, pSize);
            CheckCopy(name, copy, info.AudioStart, info.AudioEnd, pData, pSize);
        }
    }

    if (pSize > 0) {
        CheckCopy(names[0], copy, SignedPair(pData, pSize, 6), SignedPair(pData, pSize, 8), pData, pSize);
        CheckCopy(names[0], copy, kMin, kMax, pData, pSize);
        // The source named as its own target is refused, not emptied.
        Check(FCT_mpeg::CopyFileRange(names[0], names[0], 1, std::int64_t(pSize)) == 0,
              "CopyFileRange onto its own source");
    }
    for (const std::string& name : names)
        Check(FuzzFiles::SameBytes(FuzzFiles::ReadBytes(name), pData, pSize), "the source was changed");
    return 0;
}
