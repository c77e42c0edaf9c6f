// Stands in for the registry of installed media filters (data only).
// May include nothing from GStreamer.
#include "engine/graph/Catalogue.h"

#include "engine/graph/FilterGraph.h"
#include "support/FileUtil.h"

#include <atomic>

namespace Graph {

namespace {
std::atomic<const std::vector<CatalogueEntry>*> g_Installed{nullptr};
const std::vector<CatalogueEntry>& Table();
} // namespace

const std::vector<CatalogueEntry>& Catalogue() {
    const std::vector<CatalogueEntry>* installed = g_Installed.load();
    return installed != nullptr ? *installed : Table();
}

void UseCatalogue(const std::vector<CatalogueEntry>* pTable) {
    g_Installed.store(pTable);
}

std::size_t PreferredOutput(const std::vector<std::string>& pOutputIds) {
    for (std::size_t i = 0; i < pOutputIds.size(); ++i) {
        std::string id = Support::LowerCase(pOutputIds[i]);
        std::erase(id, ' ');
        if (id.find("audio") != std::string::npos ||
            (id.find('1') != std::string::npos && id.find("stream") != std::string::npos))
            return i;
    }
    return 0;
}

namespace {

const std::vector<CatalogueEntry>& Table() {
    using K = FilterKind;
    static const std::vector<CatalogueEntry> table{
        {"File Source (Async.)", K::FileSource, {"filesrc"}, {}, {}, {"Output"}},
        {"Wave Parser", K::Parser, {"parsebin", "wavparse", "aiffparse"}, {}, {"input pin"}, {"output"}},
        // It reads MPEG audio and system streams, not the RIFF wrapper of MPEG audio in a WAV file.
        {"MPEG-I Stream Splitter",
         K::Splitter,
         {"parsebin", "mpegaudioparse"},
         {},
         {"Input"},
         {"Audio", "Video"},
         {"audio/mpeg", "video/mpeg", "video/mpeg-sys", "application/x-id3", "application/x-apetag"}},
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

} // namespace

const CatalogueEntry* FindEntry(const std::string& pName) {
    const std::string wanted = Support::LowerCase(Support::TrimSpaces(pName));
    for (const CatalogueEntry& entry : Catalogue())
        if (Support::LowerCase(entry.Name) == wanted) return &entry;
    return nullptr;
}

} // namespace Graph
