#include "app/CliInfo.h"

#include "engine/FCT_AudioInf.h"
#include "engine/FCT_mpeg.h"
#include "engine/WaveMMIO.h"
#include "support/FileUtil.h"
#include "support/FormatMilliseconds.h"

#include <cstdio>
#include <sstream>

namespace {

std::string Hex(const std::array<std::uint8_t, 3>& pBytes) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", pBytes[0], pBytes[1], pBytes[2]);
    return text;
}

} // namespace

std::string DescribeFile(const std::string& pPath) {
    std::ostringstream out;
    out << "File=" << pPath << "\n";

    const WaveInfo w = WaveMMIO::GetWaveInfo(pPath);
    out << "WaveInfo.Valid=" << w.Valid << "\n"
        << "WaveInfo.Frames=" << w.Frames << "\n"
        << "WaveInfo.SamplesPerSec=" << w.SamplesPerSec << "\n"
        << "WaveInfo.BitsPerSample=" << w.BitsPerSample << "\n"
        << "WaveInfo.Channels=" << w.Channels << "\n"
        << "WaveInfo.BlockAlign=" << w.BlockAlign << "\n"
        << "WaveInfo.DataOffset=" << w.DataOffset << "\n"
        << "WaveInfo.DataSize=" << w.DataSize << "\n"
        << "WaveInfo.FileSize=" << w.FileSize << "\n"
        << "WaveInfo.Mode=" << w.Mode << "\n"
        << "WaveInfo.Milliseconds=" << w.Milliseconds << "\n"
        << "WaveInfo.FormatTag=" << w.FormatTag << "\n";

    MpegInfo m;
    const int result = FCT_mpeg::ReadMpegInfo(pPath, m, 0);
    out << "MpegInfo.Result=" << result << "\n"
        << "MpegInfo.AudioStart=" << m.AudioStart << "\n"
        << "MpegInfo.AudioBytes=" << m.AudioBytes << "\n"
        << "MpegInfo.AudioEnd=" << m.AudioEnd << "\n"
        << "MpegInfo.FileSize=" << m.FileSize << "\n"
        << "MpegInfo.ResyncBytes=" << m.ResyncBytes << "\n"
        << "MpegInfo.Vbr=" << m.Vbr << "\n"
        << "MpegInfo.VbrFrames=" << m.VbrFrames << "\n"
        << "MpegInfo.SampleRate=" << m.SampleRate << "\n"
        << "MpegInfo.Lsf=" << m.Lsf << "\n"
        << "MpegInfo.BitRate=" << m.BitRate << "\n"
        << "MpegInfo.Channels=" << m.Channels << "\n"
        << "MpegInfo.ChannelMode=" << m.ChannelMode << "\n"
        << "MpegInfo.Layer=" << m.Layer << "\n"
        << "MpegInfo.Milliseconds=" << m.Milliseconds << "\n"
        << "MpegInfo.ShortText=" << Support::TrimSpaces(m.ShortText) << "\n"
        << "MpegInfo.LongText=" << Support::TrimSpaces(m.LongText) << "\n"
        << "MpegInfo.HeaderBytes=" << Hex(m.HeaderBytes) << "\n";

    out << "WaveFileType=" << WaveMMIO::WaveFileType(pPath) << "\n";

    // As the file list shows it: not detailed, long form, the graph allowed.
    const AudioInfo a = FCT_AudioInf::GetAudioInfo(pPath, 0, 1, 0);
    out << "AudioInfo.Ok=" << a.Ok << "\n"
        << "AudioInfo.Milliseconds=" << a.Milliseconds << "\n"
        << "AudioInfo.Text=" << a.Text << "\n"
        << "Length=" << Support::FormatMilliseconds(a.Milliseconds, 0) << "\n\n";
    return out.str();
}
