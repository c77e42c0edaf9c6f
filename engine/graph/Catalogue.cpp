// Stands in for the registry of installed media filters (data only).
// May include nothing from GStreamer.
#include "engine/graph/Catalogue.h"

#include <QString>

namespace Graph {

const std::vector<CatalogueEntry>& Catalogue() {
    using K = FilterKind;
    static const std::vector<CatalogueEntry> table{
        {"File Source (Async.)", K::FileSource, {"filesrc"}, {}, {}, {"Output"}},
        {"Wave Parser", K::Parser, {"parsebin", "wavparse", "aiffparse"}, {}, {"input pin"}, {"output"}},
        {"MPEG-I Stream Splitter",
         K::Splitter,
         {"parsebin", "mpegaudioparse"},
         {},
         {"Input"},
         {"Audio", "Video"}},
        {"MPEG Audio Decoder",
         K::MpegDecoder,
         {"mpegaudioparse", "mpg123audiodec"},
         "mpg123audiodec",
         {"In"},
         {"Out"}},
        {"MPEG Layer-3 Decoder",
         K::MpegDecoder,
         {"mpegaudioparse", "mpg123audiodec"},
         "mpg123audiodec",
         {"XForm In"},
         {"XForm Out"}},
        {"MP3 Decoder DMO",
         K::MpegDecoder,
         {"mpegaudioparse", "avdec_mp3float"},
         "avdec_mp3float",
         {"in0"},
         {"out0"}},
        {"ACM Wrapper", K::Decoder, {"decodebin"}, {}, {"Input"}, {"Output"}},
        {"Haali Media Splitter (AR)",
         K::Splitter,
         {"parsebin", "qtdemux"},
         {},
         {"Input"},
         {"Video", "Audio"}},
        {"Microsoft DTV-DVD Audio Decoder",
         K::Decoder,
         {"decodebin", "avdec_aac"},
         {},
         {"XForm In"},
         {"XForm Out"}},
        {"ffdshow Audio Decoder", K::Decoder, {"decodebin"}, {}, {"In"}, {"Out"}},
        {"MainConcept (Adobe2) Stream Parser", K::Parser, {"parsebin", "aacparse"}, {}, {"In"}, {"Out"}},
        {"MainConcept (Adobe2) AAC Decoder", K::Decoder, {"decodebin", "avdec_aac"}, {}, {"In"}, {"Out"}},
        {"WM ASF Reader",
         K::SourceSplit,
         {"filesrc", "parsebin", "asfdemux"},
         {},
         {},
         {"Raw Video 0", "Raw Audio 1"}},
        {"Windows Media Source Filter",
         K::SourceSplit,
         {"filesrc", "parsebin", "asfdemux"},
         {},
         {},
         {"Stream 0", "Stream 1"}},
        {"ASF ACM Handler", K::PassThrough, {"identity"}, {}, {"In"}, {"Out"}},
        {"WMAudio Decoder DMO", K::Decoder, {"decodebin", "avdec_wmav2"}, {}, {"in0"}, {"out0"}},
        {"Windows Media Audio Decoder", K::Decoder, {"decodebin", "avdec_wmav2"}, {}, {"In"}, {"Out"}},
        {"MIDI Parser", K::Parser, {"parsebin", "midiparse"}, {}, {"Input"}, {"Output"}},
        {"WAV Dest", K::WavWriter, {"audioconvert", "wavdest"}, {}, {"In"}, {"Out"}},
        {"File writer", K::FileWriter, {"filesink"}, {}, {"in"}, {}},
        {"Default WaveOut Device",
         K::Renderer,
         {"audioconvert", "audioresample", "volume", "fakesink"},
         {},
         {"Audio Input pin (rendered)"},
         {}},
        {"Default DirectSound Device",
         K::Renderer,
         {"audioconvert", "audioresample", "volume", "pulsesink"},
         {},
         {"Audio Input pin (rendered)"},
         {}},
    };
    return table;
}

const CatalogueEntry* FindEntry(const std::string& pName) {
    const QString wanted = QString::fromStdString(pName).trimmed().toLower();
    for (const CatalogueEntry& entry : Catalogue())
        if (QString::fromStdString(entry.Name).toLower() == wanted) return &entry;
    return nullptr;
}

} // namespace Graph
