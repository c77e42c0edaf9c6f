#include "engine/FCT_mpeg.h"

#include "support/Rounding.h"
#include "support/ErrorTrap.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace FCT_mpeg {

namespace {

constexpr std::int64_t kWindowBytes = 1000;
constexpr std::size_t kHeadBytes = 48;
constexpr std::int64_t kTailBytes = 1024;
constexpr std::int64_t kCopyChunk = 16777216;
// FindNextFrame reads its window in blocks of this size so a corrupt ResyncBytes cannot demand a
// buffer as large as the file.
constexpr std::int64_t kSearchBlock = 1 << 20;
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// kbit/s for bit-rate indices 1 to 14.
using RateRow = std::array<std::int32_t, 14>;
constexpr RateRow kMpeg1Layer1{32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr RateRow kMpeg1Layer2{32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr RateRow kMpeg1Layer3{32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr RateRow kMpeg2Layer1{32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr RateRow kMpeg2Layer23{8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

// MPEG-1 rates; MPEG-2 uses half of each.
constexpr std::array<std::int32_t, 3> kSampleRates{44100, 48000, 32000};

struct ChannelModeName {
    const char* Long;
    const char* Short;
    std::int32_t Channels;
};
constexpr std::array<ChannelModeName, 4> kChannelModes{
    {{"Stereo", "ST", 2}, {"JointStereo", "JS", 2}, {"DualChannel", "DC", 2}, {"Mono", "Mono", 1}}};

// Weight of each equal bit of header bytes 2, 3 and 4, most significant bit first. The sync bits
// always match and the padding bit changes from frame to frame, so neither counts.
constexpr std::array<std::array<int, 8>, 3> kBitWeights{{
    {0, 0, 0, 0, 4, 4, 4, 1}, // version, layer, protection
    {1, 1, 1, 1, 4, 4, 0, 1}, // bit rate, sample rate, padding, private
    {4, 4, 2, 2, 1, 1, 1, 1}, // channel mode, mode extension, flags, emphasis
}};
constexpr int kBestScore = 42;

constexpr int WeightSum() {
    int sum = 0;
    for (const auto& row : kBitWeights)
        for (const int w : row)
            sum += w;
    return sum;
}
static_assert(WeightSum() == kBestScore);

bool IsTag(const std::uint8_t* p) noexcept {
    return p[0] == 'T' && p[1] == 'A' && p[2] == 'G';
}

bool EndsWithMp3(const std::string& pName) {
    if (pName.size() < 3) return false;
    const std::string tail = pName.substr(pName.size() - 3);
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(tail[0]) == 'm' && lower(tail[1]) == 'p' && tail[2] == '3';
}

// Nothing when the value cannot be stored in a 32-bit field.
std::optional<std::int32_t> RoundToInt32(double pValue) noexcept {
    if (!(pValue > -2147483649.0 && pValue < 2147483648.0)) return std::nullopt;
    const std::int64_t r = RoundHalfEven(pValue);
    if (r < std::numeric_limits<std::int32_t>::min() || r > kInt32Max) return std::nullopt;
    return std::int32_t(r);
}

enum class Xing { Absent, Found, Unusable };

// pFrame has at least 48 readable bytes.
Xing TestXing(const std::uint8_t* pFrame, MpegInfo& pInfo) noexcept {
    if (pFrame[36] != 'X' || pFrame[37] != 'i' || pFrame[38] != 'n' || pFrame[39] != 'g') return Xing::Absent;
    pInfo.Vbr = 1;
    const std::uint32_t count = std::uint32_t(pFrame[44]) << 24 | std::uint32_t(pFrame[45]) << 16 |
                                std::uint32_t(pFrame[46]) << 8 | std::uint32_t(pFrame[47]);
    // More than the record's signed 32-bit field holds: no length can be derived from it.
    if (count > std::uint32_t(kInt32Max)) return Xing::Unusable;
    pInfo.VbrFrames = std::int32_t(count);
    return Xing::Found;
}

// Records the frame whose sync byte is pWindow[pIndex], the window having been read at pWindowStart.
bool TakeFrame(const std::string& pName, std::span<const std::uint8_t> pWindow, std::int64_t pWindowStart,
               std::size_t pIndex, MpegInfo& pInfo) {
    const std::int64_t offset = pWindowStart + std::int64_t(pIndex);
    if (pInfo.Vbr == 0) {
        Xing xing = Xing::Absent;
        if (pIndex + 47 < pWindow.size() - 1) {
            xing = TestXing(pWindow.data() + pIndex, pInfo);
        } else if (offset + 47 < pInfo.FileSize) {
            std::array<std::uint8_t, kHeadBytes> frame{};
            if (!Support::ReadFileAt(frame.data(), frame.size(), pName, offset)) return false;
            xing = TestXing(frame.data(), pInfo);
        }
        if (xing == Xing::Unusable) return false;
    }
    std::array<std::uint8_t, 3> header{};
    if (pIndex + 3 < pWindow.size()) {
        std::copy_n(pWindow.begin() + std::ptrdiff_t(pIndex) + 1, 3, header.begin());
    } else if (!Support::ReadFileAt(header.data(), header.size(), pName, offset + 1)) {
        return false;
    }
    pInfo.HeaderBytes = header;
    pInfo.AudioStart = std::int32_t(offset + 1);
    return true;
}

std::int32_t BitRateOf(std::int32_t pLsf, std::int32_t pLayer, int pIndex) noexcept {
    if (pIndex < 1 || pIndex > 14 || pLayer < 1 || pLayer > 3) return 0;
    const RateRow& row = pLsf == 0 ? (pLayer == 1   ? kMpeg1Layer1
                                      : pLayer == 2 ? kMpeg1Layer2
                                                    : kMpeg1Layer3)
                                   : (pLayer == 1 ? kMpeg2Layer1 : kMpeg2Layer23);
    return row[std::size_t(pIndex - 1)];
}

std::string Padded(std::string pText) {
    pText.resize(255, ' ');
    return pText;
}

// Decodes HeaderBytes and derives everything else from the positions already found.
bool Complete(MpegInfo& pInfo) {
    const auto [versionLayer, rates, mode] = pInfo.HeaderBytes;
    static constexpr std::array<std::int32_t, 4> kLayers{0, 3, 2, 1};
    pInfo.Layer = kLayers[std::size_t((versionLayer >> 1) & 3)];
    pInfo.Lsf = (versionLayer & 0x08) != 0 ? 0 : 1;
    pInfo.BitRate = BitRateOf(pInfo.Lsf, pInfo.Layer, rates >> 4);
    const int rateIndex = (rates >> 2) & 3;
    pInfo.SampleRate = rateIndex < 3 ? kSampleRates[std::size_t(rateIndex)] >> pInfo.Lsf : 0;
    if (pInfo.Layer == 0 || pInfo.BitRate == 0 || pInfo.SampleRate == 0) return false;

    std::string marker;
    if (pInfo.Vbr == 1) {
        const auto ms = RoundToInt32(double(pInfo.VbrFrames) * 1152.0 / (pInfo.SampleRate / 1000.0));
        if (!ms) return false;
        pInfo.Milliseconds = *ms;
        // A frame count of 0 leaves no time to spread the bytes over.
        if (pInfo.Milliseconds <= 0) return false;
        const auto rate = RoundToInt32(double(std::int64_t(pInfo.AudioBytes) - pInfo.AudioStart) * 8.0 /
                                       pInfo.Milliseconds);
        // Callers divide by the bit rate; an average of nothing is no bit rate.
        if (!rate || *rate <= 0) return false;
        pInfo.BitRate = *rate;
        marker = "[VBR]";
    } else {
        const auto ms = RoundToInt32(pInfo.AudioBytes / (pInfo.BitRate / 8.0));
        if (!ms) return false;
        pInfo.Milliseconds = *ms;
    }

    const ChannelModeName& names = kChannelModes[std::size_t(mode >> 6)];
    pInfo.ChannelMode = mode >> 6;
    pInfo.Channels = names.Channels;
    const std::string layer = std::to_string(pInfo.Layer);
    const std::string bitRate = std::to_string(pInfo.BitRate);
    pInfo.LongText = Padded("mp" + layer + "(" + std::to_string(pInfo.SampleRate) + "Hz/" + bitRate + "kbps" +
                            marker + "/" + names.Long + ")");
    pInfo.ShortText = Padded("mp" + layer + "(" + Support::KilohertzText(pInfo.SampleRate) + "kHz/" +
                             bitRate + "kb/" + names.Short + ")");

    const auto resync = RoundToInt32(3456.0 / pInfo.SampleRate * pInfo.BitRate * 125.0);
    if (!resync) return false;
    pInfo.ResyncBytes = *resync;
    return true;
}

bool ReadInfo(const std::string& pName, MpegInfo& pInfo, int pQuick) {
    pInfo = MpegInfo{};
    const bool mp3Name = EndsWithMp3(pName);
    std::int64_t size = 0;
    (void)Support::FileSizeOfPath(pName, size);
    // The record holds 32-bit positions; a larger file cannot be described truthfully.
    if (size > kInt32Max) return false;
    pInfo.FileSize = std::int32_t(size);
    if (size < std::int64_t(kHeadBytes)) return false;

    if (pQuick != 0) {
        std::array<std::uint8_t, 4> first{};
        if (!Support::ReadFileAt(first.data(), first.size(), pName, 0)) return false;
        if (first[0] == 0xFF && first[1] >= 0xF0) {
            pInfo.HeaderBytes = {first[1], first[2], first[3]};
            pInfo.AudioBytes = pInfo.FileSize;
            pInfo.AudioEnd = pInfo.FileSize;
            return Complete(pInfo);
        }
    }

    std::array<std::uint8_t, kHeadBytes> head{};
    if (!Support::ReadFileAt(head.data(), head.size(), pName, 0)) return false;
    std::int64_t start = 0;
    int pattern = -1;
    bool found = false;
    if (IsTag(head.data())) {
        start = 128;
    } else if (head[0] == 'I' && head[1] == 'D' && head[2] == '3') {
        start = std::int64_t(head[6] & 0x7F) << 21 | std::int64_t(head[7] & 0x7F) << 14 |
                std::int64_t(head[8] & 0x7F) << 7 | std::int64_t(head[9] & 0x7F);
        start += 10;
    } else {
        if (TestXing(head.data(), pInfo) == Xing::Unusable) return false;
        if (head[0] == 0xFF && head[1] >= 0xF0 && !(head[1] == 0xFF && mp3Name)) {
            if (head[2] != 0xFF) {
                if (!TakeFrame(pName, head, 0, 0, pInfo)) return false;
                found = true;
            } else {
                pattern = head[1];
            }
        }
    }

    // Windows do not overlap: a header straddling two of them is not seen.
    std::vector<std::uint8_t> window(static_cast<std::size_t>(kWindowBytes));
    for (std::int64_t w = start; !found; w += kWindowBytes) {
        if (w >= size) return false;
        std::fill(window.begin(), window.end(), 0);
        if (!Support::ReadFileAt(window.data(), window.size(), pName, w)) return false;
        for (std::size_t i = 0; i + 2 < window.size(); ++i) {
            if (window[i] != 0xFF) continue;
            const std::uint8_t next = window[i + 1];
            const std::uint8_t after = window[i + 2];
            if (pattern < 0) {
                if (next < 0xF0 || (next == 0xFF && mp3Name)) continue;
                if (after == 0xFF) {
                    pattern = next;
                    continue;
                }
            } else if (next != pattern || after == 0xFF) {
                continue;
            }
            if (!TakeFrame(pName, window, w, i, pInfo)) return false;
            found = true;
            break;
        }
    }

    const std::int64_t tailBytes = std::min(kTailBytes, size);
    std::vector<std::uint8_t> tail(std::size_t(tailBytes), 0);
    if (!Support::ReadFileAt(tail.data(), tail.size(), pName, size - tailBytes)) return false;
    std::int64_t audioBytes = size - pInfo.AudioStart + 1;
    for (std::size_t p = 0; p + 2 < tail.size(); ++p) {
        if (!IsTag(tail.data() + p)) continue;
        // A tag at or before the first frame cuts nothing.
        const std::int64_t upToTag = size - tailBytes + std::int64_t(p) - pInfo.AudioStart + 1;
        if (upToTag > 3) audioBytes = upToTag;
        break;
    }
    pInfo.AudioBytes = std::int32_t(audioBytes);
    pInfo.AudioEnd = std::int32_t(std::int64_t(pInfo.AudioStart) + pInfo.AudioBytes - 1);
    return Complete(pInfo);
}

int Similarity(const std::uint8_t* pHeader, const std::array<std::uint8_t, 3>& pReference) noexcept {
    int score = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const unsigned same = ~unsigned(pHeader[k] ^ pReference[k]);
        for (std::size_t bit = 0; bit < 8; ++bit)
            if ((same & (0x80u >> bit)) != 0) score += kBitWeights[k][bit];
    }
    return score;
}

std::int64_t FindFrame(const std::string& pName, std::int64_t pPosition, const MpegInfo& pInfo) {
    const std::int64_t none = std::int64_t(pInfo.AudioEnd) + 1;
    std::int64_t position = std::max<std::int64_t>(pPosition, pInfo.AudioStart);
    position = std::min<std::int64_t>(position, pInfo.AudioEnd);
    const std::int64_t resync = pInfo.ResyncBytes;
    const std::int64_t length = std::min(2 * resync, std::int64_t(pInfo.AudioEnd) - position + 1);
    if (length < resync) return none;
    // Also covers a record that describes no audio at all.
    if (length < 4 || position < 1) return none;

    std::vector<std::uint8_t> block(std::size_t(std::min(length, kSearchBlock)));
    int bestScore = 0;
    std::int64_t best = none;
    for (std::int64_t base = 0;;) {
        const std::int64_t count = std::min(length - base, std::int64_t(block.size()));
        std::fill(block.begin(), block.end(), 0);
        if (!Support::ReadFileAt(block.data(), std::size_t(count), pName, position - 1 + base)) return none;
        for (std::int64_t i = 0; i + 3 < count; ++i) {
            const std::uint8_t* candidate = block.data() + i;
            if (candidate[0] != 0xFF || candidate[1] < 0xF0) continue;
            const int score = Similarity(candidate + 1, pInfo.HeaderBytes);
            if (score <= bestScore) continue;
            bestScore = score;
            best = position + base + i;
            if (score == kBestScore) return best;
        }
        if (base + count >= length) return best;
        // The next block repeats the last three bytes so no candidate falls between blocks.
        base += count - 3;
    }
}

// Removes a half-written target on every way out unless the copy completed.
class PartialTarget {
public:
    explicit PartialTarget(const std::string& pName)
        : c_Name(pName) {}
    ~PartialTarget() {
        if (!c_Kept) Support::DeleteFileSafe(c_Name);
    }
    PartialTarget(const PartialTarget&) = delete;
    PartialTarget& operator=(const PartialTarget&) = delete;
    void Keep() noexcept { c_Kept = true; }

private:
    const std::string& c_Name;
    bool c_Kept = false;
};

int CopyRange(const std::string& pSource, const std::string& pTarget, std::int64_t pFirst,
              std::int64_t pLast) {
    std::int64_t size = 0;
    (void)Support::FileSizeOfPath(pSource, size);
    if (size <= 0) return 0;
    // Deleting the target first would destroy a source that is the same file.
    std::error_code ec;
    if (std::filesystem::equivalent(pSource, pTarget, ec)) return 0;
    if (!Support::DeleteFileSafe(pTarget)) return 0;

    std::int64_t from = pFirst < 1 ? 0 : pFirst - 1;
    const std::int64_t to = std::clamp<std::int64_t>(pLast, 0, size);
    if (from >= to) return 1;

    // Exclusive: a file someone else puts there in between is never written into.
    Support::FileHandle out = Support::CreateExclusive(pTarget);
    if (!out) return 0;
    PartialTarget partial(pTarget);
    std::vector<std::uint8_t> buffer(std::size_t(std::min(to - from, kCopyChunk)));
    while (from < to) {
        Support::WaitWithEvents(0, 0);
        const std::int64_t chunk = std::min(to - from, kCopyChunk);
        // A short read means the source shrank; its old bytes are not there to copy.
        if (Support::ReadFileAtCounted(buffer.data(), std::size_t(chunk), pSource, from) != chunk) return 0;
        if (!Support::WriteFileAt(buffer.data(), std::size_t(chunk), -1, out, pTarget)) return 0;
        from += chunk;
    }
    if (!out.Close()) return 0;
    partial.Keep();
    return 1;
}

} // namespace

int ReadMpegInfo(const std::string& pName, MpegInfo& pInfo, int pQuick) {
    return Support::Trapped(0, [&] { return ReadInfo(pName, pInfo, pQuick) ? 1 : 0; });
}

std::int64_t FindNextFrame(const std::string& pName, std::int64_t pPosition, const MpegInfo& pInfo) {
    return Support::Trapped(std::int64_t(pInfo.AudioEnd) + 1,
                            [&] { return FindFrame(pName, pPosition, pInfo); });
}

int CopyFileRange(const std::string& pSource, const std::string& pTarget, std::int64_t pFirst,
                  std::int64_t pLast) {
    return Support::Trapped(0, [&] { return CopyRange(pSource, pTarget, pFirst, pLast); });
}

} // namespace FCT_mpeg
