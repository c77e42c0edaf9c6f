#pragma once

// Media inputs for the batch tests, made at test time: tones as PCM WAV, MP3 through the
// project's own encoder with an ID3v2 tag in front, and other formats through GStreamer.
#include "engine/C_mp3acm.h"
#include "tests/common/TestFiles.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace AppTestFiles {

using TestFiles::Bytes;

inline Bytes ToneWav(std::uint16_t pChannels, std::uint32_t pRate, double pSeconds, double pFreq = 440) {
    std::vector<int> samples;
    const auto frames = std::size_t(pRate * pSeconds);
    samples.reserve(frames * pChannels);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < pChannels; ++c)
            samples.push_back(int(9000 * std::sin(2 * M_PI * pFreq * double(i) / pRate)));
    return TestFiles::PcmWav(pChannels, pRate, 16, TestFiles::Samples16(samples));
}

// An ID3v2.3 tag of pPadding bytes of padding and no frames.
inline Bytes Id3v2Tag(std::uint32_t pPadding) {
    Bytes tag{'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(std::uint8_t((pPadding >> shift) & 0x7F));
    tag.resize(tag.size() + pPadding, 0);
    return tag;
}

// A stereo 44.1 kHz MP3 of pSeconds made by our encoder, with a tag in front when asked.
inline bool MakeMp3(const std::string& pPath, double pSeconds, bool pTagged) {
    const std::string wav = pPath + ".src.wav";
    const std::string mp3 = pPath + ".enc.mp3";
    TestFiles::WriteFile(wav, ToneWav(2, 44100, pSeconds));
    C_mp3acm encoder;
    encoder.Init();
    const bool ok = encoder.EncFromWavfile(wav, mp3, 128) != 0;
    std::filesystem::remove(wav);
    if (!ok) return false;
    Bytes bytes = pTagged ? Id3v2Tag(2000) : Bytes{};
    const Bytes audio = TestFiles::ReadFile(mp3);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    std::filesystem::remove(mp3);
    TestFiles::WriteFile(pPath, bytes);
    return true;
}

inline bool HaveLauncher() {
    return std::system("gst-launch-1.0 --version >/dev/null 2>&1") == 0;
}

// pEncoder, for example "vorbisenc ! oggmux" or "avenc_aac ! mp4mux": a 440 Hz tone of about
// pSeconds at 44.1 kHz stereo.
inline bool MakeWithGst(const std::string& pPath, const std::string& pEncoder, double pSeconds) {
    const int buffers = int(pSeconds * 44100 / 1024) + 1;
    const std::string command = "gst-launch-1.0 -q audiotestsrc num-buffers=" + std::to_string(buffers) +
                                " samplesperbuffer=1024 wave=sine freq=440 ! "
                                "audio/x-raw,rate=44100,channels=2 ! audioconvert ! " +
                                pEncoder + " ! filesink location='" + pPath + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(pPath);
}

} // namespace AppTestFiles
