// C_ConvWave::ConvWave on a WAV file taken from the input. The first four bytes choose the job:
// target rate, target mode (0..5), flags (bit 0: interpolate, bit 1: append behind an existing
// header, bit 2: the high-quality converter) and the progress event that asks to stop (0: none);
// the rest is the source file.
#include "engine/C_ConvWave.h"
#include "engine/C_ConvWaveHQ.h"
#include "engine/WaveMMIO.h"
#include "fuzz/FuzzFiles.h"
#include "support/ErrorTrap.h"

#include <algorithm>
#include <cmath>
#include <memory>

using FuzzFiles::Check;

namespace {

constexpr std::size_t kParameterBytes = 4;
// Small sources and outputs keep each run in the milliseconds.
constexpr std::size_t kMaxSourceBytes = 65536 + 1024;
constexpr double kMaxOutputFrames = 1 << 18;
constexpr double kMaxBlocks = 2048;
// Largest target file the converter writes (2^32 - 101 bytes, header included).
constexpr double kSizeLimit = 4294967195.0;

std::uint32_t LE32(const std::vector<std::uint8_t>& pBytes, std::size_t pAt) {
    return std::uint32_t(pBytes[pAt]) | std::uint32_t(pBytes[pAt + 1]) << 8 |
           std::uint32_t(pBytes[pAt + 2]) << 16 | std::uint32_t(pBytes[pAt + 3]) << 24;
}

struct Job {
    std::int32_t Freq = 0;
    std::int16_t Bit = 0;
    std::int16_t Ch = 0;
    std::int32_t Flg = 0;
    bool HeaderExists = false;
    bool HighQuality = false;
    int StopAtEvent = 0;
};

// Source frames the conversion will read, as the converter counts them (possibly fractional).
double SourceFrames(const WaveInfo& pInfo) {
    const double present = double(std::min<std::int64_t>(pInfo.DataSize, pInfo.FileSize - pInfo.DataOffset));
    return present > 0 ? present / pInfo.BlockAlign : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t pSize) {
    // An exception the trap would turn into a failure value still marks a case the code misses.
    Support::TrapErrors(false);
    if (pSize < kParameterBytes || pSize - kParameterBytes > kMaxSourceBytes) return 0;
    const FuzzFiles::ScratchFolder& scratch = FuzzFiles::Scratch();
    const std::string source = scratch / "src.wav";
    const std::string target = scratch / "out.wav";
    const std::uint8_t* file = pData + kParameterBytes;
    const std::size_t fileSize = pSize - kParameterBytes;
    FuzzFiles::WriteBytes(source, file, fileSize);

    Job job;
    const auto rates = WaveMMIO::TargetRates();
    std::size_t rateIndex = pData[0] % rates.size();
    const int mode = pData[1] % (WaveMode::kLastTarget + 1);
    job.Bit = std::int16_t(WaveMode::Bits(mode));
    job.Ch = std::int16_t(WaveMode::Channels(mode));
    job.Flg = pData[2] & 1;
    job.HeaderExists = (pData[2] & 2) != 0;
    job.HighQuality = (pData[2] & 4) != 0;
    job.StopAtEvent = pData[3];

    // The reader the converter itself uses tells how much work a rate would make; a rate that
    // would take too long gives way to the next lower one. Far beyond the size limit the
    // converter refuses at once, which is worth running too.
    const WaveInfo src = WaveMMIO::GetWaveInfo(source);
    const double frames = src.Valid != 0 ? SourceFrames(src) : 0;
    const double targetFrameBytes = job.Bit / 8 * job.Ch;
    bool withinLimit = true;
    if (src.Valid != 0 && frames > 0) {
        if (frames / (5.0 * src.SamplesPerSec) > kMaxBlocks) return 0;
        auto outputFrames = [&](std::size_t pIndex) { return frames * rates[pIndex] / src.SamplesPerSec; };
        while (rateIndex + 1 < rates.size() && outputFrames(rateIndex) > kMaxOutputFrames)
            ++rateIndex;
        const double outBytes = outputFrames(rateIndex) * targetFrameBytes;
        if (outputFrames(rateIndex) > kMaxOutputFrames && outBytes < 8e9) return 0;
        // The limit also counts the frames the header declares, present or not.
        const double largest = std::max(outBytes, double(src.Frames) * targetFrameBytes);
        withinLimit = largest < kSizeLimit - 1e6;
    }
    job.Freq = rates[rateIndex];

    if (job.HeaderExists) (void)WaveMMIO::WriteWaveHeader(job.Freq, job.Bit, job.Ch, target, 0);

    const std::unique_ptr<C_ConvWave> owner =
        job.HighQuality ? std::make_unique<C_ConvWaveHQ>() : std::make_unique<C_ConvWave>();
    C_ConvWave& converter = *owner;
    converter.BlockPause(0);
    int events = 0;
    float lastRate = 0;
    QObject::connect(
        &converter, &C_ConvWave::Prog, &converter,
        [&](float pRate, std::int32_t& pCancel) {
            ++events;
            Check(pRate > lastRate, "Prog: progress does not grow");
            lastRate = pRate;
            if (events == job.StopAtEvent) pCancel = 1;
        },
        Qt::DirectConnection);
    const int result =
        converter.ConvWave(source, target, job.Freq, job.Bit, job.Ch, job.Flg, job.HeaderExists);
    Check(result == 0 || result == 1, "ConvWave: result");
    Check(FuzzFiles::SameBytes(FuzzFiles::ReadBytes(source), file, fileSize),
          "ConvWave: the source was changed");

    const bool stopped = job.StopAtEvent != 0 && events >= job.StopAtEvent;
    // A conversion fails only for an unusable source, a target too large, or a stop request.
    const bool expectDone = src.Valid != 0 && src.DataSize > 0 && frames > 0 && withinLimit &&
                            std::int64_t(src.SamplesPerSec) * 5 <= 0x7FFFFFFF && !stopped &&
                            (!job.HighQuality || C_ConvWaveHQ::RatesSupported(src.SamplesPerSec, job.Freq));
    if (result == 0) {
        Check(!expectDone, "ConvWave: a usable source was not converted");
        if (!job.HeaderExists) Check(!FuzzFiles::Exists(target), "ConvWave: a failed target was left behind");
    } else {
        Check(!stopped && src.Valid != 0 && frames > 0, "ConvWave: success although stopped or unusable");
        const std::vector<std::uint8_t> out = FuzzFiles::ReadBytes(target);
        const WaveInfo info = WaveMMIO::GetWaveInfo(target);
        Check(info.Valid != 0 && info.SamplesPerSec == job.Freq && info.BitsPerSample == job.Bit &&
                  info.Channels == job.Ch,
              "ConvWave: target format");
        Check(info.DataOffset == 44 && info.DataOffset + info.DataSize == std::int64_t(out.size()),
              "ConvWave: target data size");
        Check(out.size() >= 8 && LE32(out, 4) == out.size() - 8, "ConvWave: target RIFF size");
        // Each block rounds its output to whole frames, the last one also its source frames (half a
        // source frame is 0.5 / ratio target frames), and a mono target is padded to even bytes.
        const double ratio = double(src.SamplesPerSec) / job.Freq;
        const double blocks = std::ceil(frames / (5.0 * src.SamplesPerSec)) + 1;
        Check(std::abs(double(info.Frames) - frames / ratio) <= blocks + 0.5 / ratio + 2,
              "ConvWave: target length");
        // Same rate and mode: the samples come back unchanged, but for the one 16-bit value that
        // has no positive counterpart in the exact converter.
        const bool sameFormat = src.SamplesPerSec == job.Freq && src.Mode == mode;
        const auto present = std::min<std::int64_t>(src.DataSize, src.FileSize - src.DataOffset);
        if (sameFormat && present % src.BlockAlign == 0) {
            // An odd number of mono bytes gets one frame of silence.
            const std::int64_t pad = job.Ch == 1 && present % 2 != 0 ? job.Bit / 8 : 0;
            Check(info.DataSize == present + pad, "ConvWave: same format, other size");
            for (std::int64_t i = 0; i < pad; ++i)
                Check(out[std::size_t(44 + present + i)] == (job.Bit == 8 ? 128 : 0),
                      "ConvWave: padding not silent");
            for (std::int64_t i = 0; i < present; ++i) {
                std::uint8_t expected = file[src.DataOffset + i];
                if (!job.HighQuality && job.Bit == 16 && i % 2 == 0 && expected == 0x00 &&
                    file[src.DataOffset + i + 1] == 0x80)
                    expected = 0x01;
                Check(out[std::size_t(44 + i)] == expected, "ConvWave: same format, other samples");
            }
        }
    }
    std::remove(target.c_str());
    Check(scratch.List().size() == 1, "ConvWave: files left in the folder");
    return 0;
}
