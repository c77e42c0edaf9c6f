#pragma once

#include <cstdint>
#include <string>

// A file's format description and playing time, as the file list shows them.
struct AudioInfo {
    std::int32_t Ok = 0;
    std::int32_t Milliseconds = 0;
    std::string Text;
};

namespace FCT_AudioInf {

// From the WAV header, the MPEG frame header, or (unless pNoGraph) a media graph that measures
// it. pDetailed 1 gives the multi-line text; pLongForm non-zero the long format texts.
[[nodiscard]] AudioInfo GetAudioInfo(const std::string& pPath, int pDetailed, int pLongForm, int pNoGraph);
// The desktop's description of the file's type, in the user's language; for a missing file, the
// description its extension suggests.
[[nodiscard]] std::string FileTypeName(const std::string& pPath);

} // namespace FCT_AudioInf
