#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// A source's tags carried into an MP3 output. The reader takes every kind of file the program
// accepts; the writer puts an ID3v2.3 tag with UTF-16 text in front of an MP3 file's first frame.
// Each call has its own TagLib objects: calls may run on several threads at once.
namespace Tags {

// Pictures above this size are left out rather than read into every output.
inline constexpr std::size_t kMaxPictureBytes = 16 * 1024 * 1024;

// One text property under its common upper-case name ("TITLE", "ALBUMARTIST", "TRACKNUMBER" as
// "3/12", "COMMENT:description", or the source's own name for the rest), values in UTF-8.
struct TagProperty {
    std::string Key;
    std::vector<std::string> Values;
};

struct TagPicture {
    std::string MimeType;
    std::string Description;
    // The image file's bytes as the source holds them.
    std::string Data;
};

struct TagRecord {
    std::vector<TagProperty> Properties;
    std::optional<TagPicture> Cover;
    // What could not be read or was left out, one line each, for the log.
    std::vector<std::string> Notes;

    [[nodiscard]] bool Empty() const noexcept { return Properties.empty() && !Cover; }
    // The values of pKey; none when the record does not have it.
    [[nodiscard]] const std::vector<std::string>* Find(const std::string& pKey) const;
};

// The text properties and the front cover (the first picture when none is marked front) of any
// file; an unreadable or untagged file gives an empty record, with a note when something was
// there but could not be read.
[[nodiscard]] TagRecord ReadTags(const std::string& pPath);

// The record as the ID3v2.3 tag that WriteMp3 puts in front; empty for an empty record.
[[nodiscard]] std::string RenderId3v2(const TagRecord& pRecord);

// Writes pTarget (which may exist and is then replaced) as the record's tag followed by every
// byte of pMp3. False when pTarget could not be written whole.
[[nodiscard]] bool WriteMp3(const std::string& pMp3, const std::string& pTarget, const TagRecord& pRecord);

} // namespace Tags
