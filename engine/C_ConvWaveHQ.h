#pragma once

#include "engine/C_ConvWave.h"

#include <memory>

// The high-quality converter: the same files, blocks, events, stop rules, header and padding as
// C_ConvWave, but the samples are mixed down in floating point, resampled by a very-high-quality
// band-limited filter and requantised to the target depth by rounding, with triangular dither
// when the interpolation switch (the "dither" option) is on and the depth would lose detail.
// The dither sequence starts afresh with every conversion: the same source gives the same bytes.
// Output length follows C_ConvWave's block rule frame for frame. Each channel is filtered on a
// thread of its own while the next block is read, so a block's output is written with the next;
// the threads end with the conversion. Objects share nothing and may work on different threads.
class C_ConvWaveHQ : public C_ConvWave {
    Q_OBJECT
public:
    explicit C_ConvWaveHQ(QObject* pParent = nullptr);
    ~C_ConvWaveHQ() override;

    // Rates at most 256 times apart either way; others are refused. Far beyond that (a source of a
    // few hertz) the filter would hold minutes of output at once.
    [[nodiscard]] static bool RatesSupported(std::int32_t pSourceRate, std::int32_t pTargetRate) noexcept;

protected:
    bool BeginBlocks(const Request& pRequest) override;
    std::optional<std::span<const std::uint8_t>> ConvertBlock(const Request& pRequest,
                                                              const SamplePair* pWork, std::int64_t pFrames,
                                                              std::int64_t pOut, bool pLast) override;
    void EndBlocks() noexcept override;

private:
    struct Stream;
    std::unique_ptr<Stream> c_Stream;
};
