// tolvane-wavgen: writes deterministic PCM WAV test signals (tone, log sweep, noise).
// Standalone on purpose: test and demo inputs must not depend on the code under test.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

enum class Signal { Tone, Sweep, Noise };

struct Options {
    std::string Path;
    std::uint32_t Rate = 44100;
    unsigned Bits = 16;
    unsigned Channels = 2;
    double Seconds = 1.0;
    Signal Kind = Signal::Tone;
    double Freq = 440.0;
    double Freq2 = 0.0; // 0: pick a default that suits the rate
    double Amplitude = 0.5;
};

constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kBlockFrames = 16384;

// std::sin dominated the run time; this is within ~1e-9 of it, far below a 24-bit step.
// pTurns is the phase in whole turns, any magnitude.
inline double SinTurns(double pTurns) {
    // Truncation instead of std::floor, which is a libm call without SSE4.1.
    double whole = static_cast<double>(static_cast<std::int64_t>(pTurns + 0.5));
    if (whole > pTurns + 0.5) whole -= 1.0;
    double t = pTurns - whole; // [-0.5, 0.5)
    if (t > 0.25)
        t = 0.5 - t;
    else if (t < -0.25)
        t = -0.5 - t;
    const double x = 2.0 * kPi * t; // [-pi/2, pi/2]
    const double x2 = x * x;
    double p = -1.0 / 1307674368000.0; // -1/15!
    p = p * x2 + 1.0 / 6227020800.0;
    p = p * x2 - 1.0 / 39916800.0;
    p = p * x2 + 1.0 / 362880.0;
    p = p * x2 - 1.0 / 5040.0;
    p = p * x2 + 1.0 / 120.0;
    p = p * x2 - 1.0 / 6.0;
    p = p * x2 + 1.0;
    return x * p;
}

class Xorshift64 {
public:
    // [-1, 1) from the top 53 bits.
    double Next() {
        c_State ^= c_State << 13;
        c_State ^= c_State >> 7;
        c_State ^= c_State << 17;
        return static_cast<double>(c_State >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }

private:
    std::uint64_t c_State = 0x9E3779B97F4A7C15ull; // fixed: the output must be reproducible
};

class WavFile {
public:
    explicit WavFile(const std::string& pPath)
        : c_Path(pPath) {
        // O_EXCL: a generator must never clobber an existing file, e.g. a real recording.
        c_Fd = ::open(pPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (c_Fd < 0) {
            if (errno == EEXIST)
                throw std::runtime_error(pPath + ": already exists; refusing to overwrite it");
            throw std::runtime_error(pPath + ": cannot create: " + std::strerror(errno));
        }
    }
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // A half-written file must not look like a valid input to whoever runs next.
    ~WavFile() {
        if (c_Fd >= 0) ::close(c_Fd);
        if (!c_Done) ::unlink(c_Path.c_str());
    }

    void Write(const std::uint8_t* pData, std::size_t pSize) {
        while (pSize > 0) {
            const ssize_t n = ::write(c_Fd, pData, pSize);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw std::runtime_error(c_Path + ": write failed: " + std::strerror(errno));
            }
            pData += n;
            pSize -= static_cast<std::size_t>(n);
        }
    }

    void Finish() {
        const int fd = c_Fd;
        c_Fd = -1;
        // close() is where NFS and full disks may report a failed write.
        if (::close(fd) != 0) throw std::runtime_error(c_Path + ": close failed: " + std::strerror(errno));
        c_Done = true;
    }

private:
    std::string c_Path;
    int c_Fd = -1;
    bool c_Done = false;
};

void PutLe(std::uint8_t*& pOut, std::uint32_t pValue, unsigned pBytes) {
    for (unsigned i = 0; i < pBytes; ++i)
        *pOut++ = static_cast<std::uint8_t>(pValue >> (8 * i));
}

std::array<std::uint8_t, 44> MakeHeader(const Options& pOpt, std::uint32_t pDataBytes, std::uint32_t pPad) {
    const std::uint32_t blockAlign = pOpt.Channels * (pOpt.Bits / 8);
    std::array<std::uint8_t, 44> h{};
    std::uint8_t* p = h.data();
    std::memcpy(p, "RIFF", 4);
    p += 4;
    PutLe(p, 36 + pDataBytes + pPad, 4);
    std::memcpy(p, "WAVEfmt ", 8);
    p += 8;
    PutLe(p, 16, 4);
    PutLe(p, 1, 2); // integer PCM
    PutLe(p, pOpt.Channels, 2);
    PutLe(p, pOpt.Rate, 4);
    PutLe(p, pOpt.Rate * blockAlign, 4);
    PutLe(p, blockAlign, 2);
    PutLe(p, pOpt.Bits, 2);
    std::memcpy(p, "data", 4);
    p += 4;
    PutLe(p, pDataBytes, 4);
    return h;
}

// Rounds half up by truncating a value made positive; std::lrint is a libm call per sample.
inline std::uint32_t Quantize(double pValue, double pScale) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(pValue * pScale + (pScale + 1.5)) -
                                      static_cast<std::int32_t>(pScale + 1.0));
}

// pValue in [-1, 1]; symmetric scaling so +1 and -1 both fit without clipping.
inline void PutSample(std::uint8_t*& pOut, double pValue, unsigned pBits) {
    switch (pBits) {
    case 8:
        *pOut++ = static_cast<std::uint8_t>(Quantize(pValue, 127.0) + 128);
        break;
    case 16: {
        const std::uint32_t v = Quantize(pValue, 32767.0);
        *pOut++ = static_cast<std::uint8_t>(v);
        *pOut++ = static_cast<std::uint8_t>(v >> 8);
        break;
    }
    default: {
        const std::uint32_t v = Quantize(pValue, 8388607.0);
        *pOut++ = static_cast<std::uint8_t>(v);
        *pOut++ = static_cast<std::uint8_t>(v >> 8);
        *pOut++ = static_cast<std::uint8_t>(v >> 16);
        break;
    }
    }
}

class Generator {
public:
    Generator(const Options& pOpt, std::uint64_t pFrames)
        : c_Opt(pOpt)
        , c_Frames(pFrames) {
        const double nyquist = pOpt.Rate / 2.0;
        c_LeftStep = pOpt.Freq / pOpt.Rate;
        // A different right channel makes swapped or dropped channels visible in the output.
        const double right = pOpt.Freq * 1.5 <= nyquist ? pOpt.Freq * 1.5 : pOpt.Freq / 1.5;
        c_RightStep = right / pOpt.Rate;
        c_SweepRatio = pOpt.Freq2 / pOpt.Freq;
        if (pOpt.Kind == Signal::Sweep && pFrames > 0 && c_SweepRatio != 1.0) {
            const double duration = static_cast<double>(pFrames) / pOpt.Rate;
            c_SweepScale = pOpt.Freq * duration / std::log(c_SweepRatio);
            c_SweepGrowth = std::pow(c_SweepRatio, 1.0 / static_cast<double>(pFrames));
        }
    }

    // Phases derive from the absolute frame index (the sweep's at each block start), so rounding error
    // cannot build up over a long file.
    void Fill(std::uint8_t* pOut, std::uint64_t pFirst, std::size_t pCount) {
        const unsigned bits = c_Opt.Bits;
        const bool stereo = c_Opt.Channels == 2;
        const double a = c_Opt.Amplitude;
        switch (c_Opt.Kind) {
        case Signal::Tone:
            for (std::size_t i = 0; i < pCount; ++i) {
                const double n = static_cast<double>(pFirst + i);
                PutSample(pOut, a * SinTurns(n * c_LeftStep), bits);
                if (stereo) PutSample(pOut, a * SinTurns(n * c_RightStep), bits);
            }
            break;
        case Signal::Sweep: {
            if (c_SweepScale == 0.0) { // equal start and end: a plain tone
                for (std::size_t i = 0; i < pCount; ++i) {
                    const double turns = static_cast<double>(pFirst + i) * c_LeftStep;
                    PutSample(pOut, a * SinTurns(turns), bits);
                    if (stereo) PutSample(pOut, a * SinTurns(turns + 0.25), bits);
                }
                break;
            }
            // k^(n/N) advanced by multiplication: exp per sample is the slow part otherwise.
            double growth =
                std::pow(c_SweepRatio, static_cast<double>(pFirst) / static_cast<double>(c_Frames));
            for (std::size_t i = 0; i < pCount; ++i) {
                const double turns = c_SweepScale * (growth - 1.0);
                PutSample(pOut, a * SinTurns(turns), bits);
                if (stereo) PutSample(pOut, a * SinTurns(turns + 0.25), bits);
                growth *= c_SweepGrowth;
            }
            break;
        }
        case Signal::Noise:
            for (std::size_t i = 0; i < pCount * c_Opt.Channels; ++i)
                PutSample(pOut, a * c_Noise.Next(), bits);
            break;
        }
    }

private:
    Options c_Opt;
    std::uint64_t c_Frames;
    double c_LeftStep = 0.0;
    double c_RightStep = 0.0;
    double c_SweepRatio = 1.0;
    double c_SweepScale = 0.0;
    double c_SweepGrowth = 1.0;
    Xorshift64 c_Noise;
};

std::string Hz(double pValue) {
    char text[32];
    std::snprintf(text, sizeof text, "%g Hz", pValue);
    return text;
}

void Validate(Options& pOpt) {
    // Checked here rather than by CLI11: its range checks let NaN through (a NaN length would never end)
    // and print unreadable bounds.
    if (pOpt.Rate == 0) throw std::runtime_error("--rate must be at least 1 Hz");
    if (!(std::isfinite(pOpt.Seconds) && pOpt.Seconds >= 0.0))
        throw std::runtime_error("--seconds must be a finite number, 0 or more");
    if (!(pOpt.Amplitude >= 0.0 && pOpt.Amplitude <= 1.0))
        throw std::runtime_error("--amplitude must be between 0 and 1");
    const double nyquist = pOpt.Rate / 2.0;
    if (pOpt.Freq2 == 0.0) pOpt.Freq2 = std::min(8000.0, 0.9 * nyquist);
    if (pOpt.Kind == Signal::Noise) return;
    if (!(pOpt.Freq > 0.0 && pOpt.Freq <= nyquist))
        throw std::runtime_error("--freq must be above 0 and at most half the rate (" + Hz(nyquist) + ")");
    if (pOpt.Kind == Signal::Sweep && !(pOpt.Freq2 > 0.0 && pOpt.Freq2 <= nyquist))
        throw std::runtime_error("--freq2 must be above 0 and at most half the rate (" + Hz(nyquist) + ")");
}

int Run(Options pOpt) {
    Validate(pOpt);
    const std::uint32_t blockAlign = pOpt.Channels * (pOpt.Bits / 8);
    const double frames = std::round(pOpt.Seconds * pOpt.Rate);
    const double maxData = std::numeric_limits<std::uint32_t>::max() - 36.0 - 1.0;
    if (static_cast<double>(pOpt.Rate) * blockAlign > std::numeric_limits<std::uint32_t>::max())
        throw std::runtime_error("--rate is too high for a WAV header at this format");
    if (frames * blockAlign > maxData)
        throw std::runtime_error("too long: a WAV file holds at most 4 GiB of samples; lower --seconds");
    const auto frameCount = static_cast<std::uint64_t>(frames);
    const auto dataBytes = static_cast<std::uint32_t>(frameCount * blockAlign);
    const std::uint32_t pad = dataBytes & 1u; // RIFF chunks are word-aligned

    WavFile file(pOpt.Path);
    const auto header = MakeHeader(pOpt, dataBytes, pad);
    file.Write(header.data(), header.size());

    Generator gen(pOpt, frameCount);
    std::vector<std::uint8_t> block(kBlockFrames * blockAlign);
    for (std::uint64_t first = 0; first < frameCount; first += kBlockFrames) {
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockFrames, frameCount - first));
        gen.Fill(block.data(), first, count);
        file.Write(block.data(), count * blockAlign);
    }
    if (pad != 0) {
        const std::uint8_t zero = 0;
        file.Write(&zero, 1);
    }
    file.Finish();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a PCM WAV test signal. Stereo files get a different right channel: a tone at 1.5x "
                 "--freq (2/3x when 1.5x would pass half the rate), a sweep a quarter turn ahead, "
                 "independent noise.",
                 "tolvane-wavgen"};
    Options opt;
    std::string signal = "tone";

    app.add_option("OUT", opt.Path, "WAV file to create (never overwritten)")->required();
    app.add_option("--rate", opt.Rate, "sample rate in Hz")->capture_default_str();
    app.add_option("--bits", opt.Bits, "bits per sample: 8 (unsigned), 16 or 24")
        ->capture_default_str()
        ->check(CLI::IsMember({8u, 16u, 24u}));
    app.add_option("--channels", opt.Channels, "1 or 2")
        ->capture_default_str()
        ->check(CLI::IsMember({1u, 2u}));
    app.add_option("--seconds", opt.Seconds, "duration")->capture_default_str();
    app.add_option("--signal", signal, "tone, sweep (logarithmic, --freq to --freq2) or noise")
        ->capture_default_str()
        ->check(CLI::IsMember({"tone", "sweep", "noise"}));
    app.add_option("--freq", opt.Freq, "tone frequency, or sweep start, in Hz")->capture_default_str();
    app.add_option("--freq2", opt.Freq2, "sweep end in Hz (default: 8000 or 90% of half the rate, if lower)");
    app.add_option("--amplitude", opt.Amplitude, "peak level, 0 to 1 of full scale")->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    opt.Kind = signal == "sweep" ? Signal::Sweep : signal == "noise" ? Signal::Noise : Signal::Tone;
    try {
        return Run(opt);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvane-wavgen: %s\n", e.what());
        return 1;
    }
}
