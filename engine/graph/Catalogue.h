// Stands in for the registry of installed media filters: each friendly filter name the graph
// routines use, with the GStreamer elements behind it. No GStreamer headers here.
#pragma once

#include <string>
#include <vector>

namespace Graph {

enum class FilterKind {
    FileSource,  // reads the file: one output
    SourceSplit, // reads and splits the file: audio and video outputs
    Parser,      // bytes or parsed streams in, elementary streams out
    Splitter,    // like a parser, with audio and video outputs
    Decoder,     // anything in, raw audio out (a generic decoder)
    MpegDecoder, // parsed MPEG audio in, raw audio out, through one fixed decoder
    PassThrough, // hands its input on unchanged
    WavWriter,   // raw audio in, WAV bytes out
    FileWriter,  // bytes in, written to a file
    Renderer,    // raw audio in, played (or swallowed when no device can open)
};

struct CatalogueEntry {
    std::string Name;
    FilterKind Kind;
    // Every element factory that must exist here for the name to count as registered.
    std::vector<std::string> Factories;
    // The decoder element of an MPEG decoder entry.
    std::string Decoder;
    std::vector<std::string> Inputs;
    std::vector<std::string> Outputs;
    // The kinds of file (media types) the input takes straight from a file source; empty: any.
    std::vector<std::string> Accepts = {};
};

// The whole table, in the order the registry lists it.
[[nodiscard]] const std::vector<CatalogueEntry>& Catalogue();
// Puts pTable (not owned) in place of the table for the whole process, as when filters are
// uninstalled; null returns to the table.
void UseCatalogue(const std::vector<CatalogueEntry>* pTable);
[[nodiscard]] const CatalogueEntry* FindEntry(const std::string& pName);

} // namespace Graph
