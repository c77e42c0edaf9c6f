#pragma once

#include <array>
#include <cstdint>
#include <string>

// What the MPEG reader finds in an MPEG audio file. Positions are 1-based; the texts are
// blank-padded to 255 characters.
struct MpegInfo {
    std::int32_t AudioStart = 1;
    std::int32_t AudioBytes = 0;
    std::int32_t AudioEnd = 0;
    std::int32_t FileSize = 0;
    std::int32_t ResyncBytes = 0;
    std::int32_t Vbr = 0;
    std::int32_t VbrFrames = 0;
    std::int32_t SampleRate = 0;
    std::int32_t Lsf = 0;
    std::int32_t BitRate = 0;
    std::int32_t Channels = 0;
    std::int32_t ChannelMode = 0;
    std::int32_t Layer = 0;
    std::int32_t Milliseconds = 0;
    std::string ShortText = std::string(255, ' ');
    std::string LongText = std::string(255, ' ');
    std::array<std::uint8_t, 3> HeaderBytes{};
};

namespace FCT_mpeg {

// 1 when a frame was found and its header decoded completely, else 0; on 0 pInfo keeps what was
// determined before the failure. A file too large for the record's 32-bit fields gives 0.
[[nodiscard]] int ReadMpegInfo(const std::string& pName, MpegInfo& pInfo, int pQuick = 0);

// 1-based position of the frame header at or after pPosition most like the first one in pInfo
// (filled by ReadMpegInfo for the same file); pInfo.AudioEnd + 1 when there is none.
[[nodiscard]] std::int64_t FindNextFrame(const std::string& pName, std::int64_t pPosition,
                                         const MpegInfo& pInfo);

// Copies the bytes at 1-based positions pFirst to pLast inclusive into a new file pTarget,
// deleting any file of that name first. An empty range leaves no target and still gives 1.
// A failed read or write removes the partial target and gives 0.
[[nodiscard]] int CopyFileRange(const std::string& pSource, const std::string& pTarget, std::int64_t pFirst,
                                std::int64_t pLast);

} // namespace FCT_mpeg
