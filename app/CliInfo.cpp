#include "app/CliInfo.h"

#include "engine/FCT_AudioInf.h"
#include "engine/FCT_mpeg.h"
#include "engine/Tags.h"
#include "engine/WaveMMIO.h"
#include "support/FileUtil.h"
#include "support/FormatMilliseconds.h"

#include <cstdio>
#include <map>
#include <sstream>

namespace {

std::string Hex(const std::array<std::uint8_t, 3>& pBytes) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", pBytes[0], pBytes[1], pBytes[2]);
    return text;
}

// The common fields by the names the line shows; any other property keeps its own name.
std::string TagName(const std::string& pKey) {
    static const std::map<std::string, std::string> kNames{
        {"TITLE", "Title"},       {"ARTIST", "Artist"},    {"ALBUM", "Album"}, {"ALBUMARTIST", "AlbumArtist"},
        {"TRACKNUMBER", "Track"}, {"DISCNUMBER", "Disc"},  {"DATE", "Date"},   {"GENRE", "Genre"},
        {"COMMENT", "Comment"},   {"COMPOSER", "Composer"}};
    const auto name = kNames.find(pKey);
    return name != kNames.end() ? name->second : pKey;
}

// One value a line: line breaks inside a value (comments, lyrics) are shown as \n.
std::string OneLine(const std::string& pText) {
    std::string line;
    for (std::size_t i = 0; i < pText.size(); ++i) {
        if (pText[i] == '\r' && i + 1 < pText.size() && pText[i + 1] == '\n') continue;
        line += pText[i] == '\n' || pText[i] == '\r' ? std::string("\\n") : std::string(1, pText[i]);
    }
    return line;
}

void DescribeTags(std::ostringstream& pOut, const std::string& pPath) {
    const Tags::TagRecord tags = Tags::ReadTags(pPath);
    for (const Tags::TagProperty& property : tags.Properties)
        for (const std::string& value : property.Values)
            pOut << "Tag." << TagName(property.Key) << "=" << OneLine(value) << "\n";
    if (tags.Cover)
        pOut << "Tag.Picture=" << tags.Cover->MimeType << " " << tags.Cover->Data.size() << " bytes\n";
    for (const std::string& note : tags.Notes)
        pOut << "Tag.Note=" << note << "\n";
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
        << "Length=" << Support::FormatMilliseconds(a.Milliseconds, 0) << "\n";
    DescribeTags(out, pPath);
    out << "\n";
    return out.str();
}
