// The tag reader and writer on hostile files of every kind: whatever TagLib makes of them, the
// record holds valid UTF-8, no empty value and no cover over the limit, and the MP3 written with
// it is its tag followed by the untouched audio.
#include "engine/Tags.h"
#include "fuzz/FuzzFiles.h"
#include "support/ErrorTrap.h"

#include <string>

using FuzzFiles::Check;

namespace {

bool ValidUtf8(const std::string& pText) {
    return FuzzFiles::Convert(pText, "UTF-8", "UTF-32LE").has_value();
}

void CheckRecord(const Tags::TagRecord& pRecord) {
    for (const Tags::TagProperty& property : pRecord.Properties) {
        Check(!property.Key.empty() && ValidUtf8(property.Key), "ReadTags: bad key");
        Check(!property.Values.empty(), "ReadTags: a property without values");
        for (const std::string& value : property.Values)
            Check(!value.empty() && ValidUtf8(value), "ReadTags: bad value");
    }
    if (pRecord.Cover) {
        Check(!pRecord.Cover->Data.empty() && pRecord.Cover->Data.size() <= Tags::kMaxPictureBytes,
              "ReadTags: cover size");
        Check(ValidUtf8(pRecord.Cover->Description), "ReadTags: cover description");
    }
}

// The tag WriteMp3 puts in front: an ID3v2.3 header whose size covers the rest exactly.
void CheckTag(const std::string& pTag, const Tags::TagRecord& pRecord) {
    Check(pTag.empty() == pRecord.Empty(), "RenderId3v2: a tag for an empty record, or none for a full one");
    if (pTag.empty()) return;
    Check(pTag.size() > 10 && pTag.compare(0, 5, std::string("ID3\x03\x00", 5)) == 0, "RenderId3v2: header");
    std::size_t size = 0;
    for (std::size_t i = 6; i < 10; ++i) {
        const auto byte = static_cast<unsigned char>(pTag[i]);
        Check(byte < 0x80, "RenderId3v2: size not syncsafe");
        size = size << 7 | byte;
    }
    Check(size + 10 == pTag.size(), "RenderId3v2: size");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t pSize) {
    Support::TrapErrors(false);
    const FuzzFiles::ScratchFolder& scratch = FuzzFiles::Scratch();
    const std::string audio = scratch / "audio.mp3";
    const std::string out = scratch / "out.mp3";
    FuzzFiles::WriteBytes(audio, pData, pSize);
    // The extension chooses TagLib's first guess; the content decides when that guess fails.
    for (const char* extension : {"mp3", "flac", "m4a", "ogg", "wav", "aiff", "wma"}) {
        const std::string source = scratch / (std::string("in.") + extension);
        FuzzFiles::WriteBytes(source, pData, pSize);
        const Tags::TagRecord record = Tags::ReadTags(source);
        CheckRecord(record);
        const std::string tag = Tags::RenderId3v2(record);
        CheckTag(tag, record);
        Check(Tags::WriteMp3(audio, out, record), "WriteMp3 failed");
        const std::vector<std::uint8_t> written = FuzzFiles::ReadBytes(out);
        Check(written.size() == tag.size() + pSize &&
                  std::equal(tag.begin(), tag.end(), written.begin(),
                             [](char a, std::uint8_t b) { return static_cast<unsigned char>(a) == b; }) &&
                  FuzzFiles::SameBytes(
                      std::vector<std::uint8_t>(written.begin() + std::ptrdiff_t(tag.size()), written.end()),
                      pData, pSize),
              "WriteMp3: not the tag followed by the audio");
        Check(FuzzFiles::SameBytes(FuzzFiles::ReadBytes(source), pData, pSize), "the source was changed");
        std::remove(source.c_str());
    }
    std::remove(out.c_str());
    return 0;
}
