// The INI reader and writer on any file: every key the file holds reads back without regard to
// case, and one write (section, key and value chosen by the first bytes) reads back as written,
// leaves every other key as it was, is idempotent and leaves no temporary file behind.
#include "fuzz/FuzzFiles.h"
#include "support/ErrorTrap.h"
#include "support/IniFile.h"

#include <QString>

#include <optional>

using FuzzFiles::Check;

namespace {

struct Entry {
    std::string Section;
    std::string Key;
};

std::string Trim(const std::string& pText) {
    const auto first = pText.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return pText.substr(first, pText.find_last_not_of(" \t") - first + 1);
}

bool SameName(const std::string& pA, const std::string& pB) {
    return QString::fromStdString(pA).compare(QString::fromStdString(pB), Qt::CaseInsensitive) == 0;
}

std::string UpperAscii(std::string pText) {
    for (char& c : pText)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return pText;
}

std::vector<std::string> Lines(const std::string& pText) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < pText.size()) {
        std::size_t end = pText.find('\n', start);
        if (end == std::string::npos) end = pText.size();
        std::string line = pText.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The file's sections, and its keys with the section they stand in, as the format defines them:
// "[name]" opens a section, "key=value" sets a key, a key starting with ";" is a comment.
void Parse(const std::vector<std::string>& pLines, std::vector<std::string>& pSections,
           std::vector<Entry>& pEntries) {
    std::optional<std::string> section;
    for (const std::string& raw : pLines) {
        const std::string line = Trim(raw);
        if (line.size() >= 2 && line.front() == '[' && line.find(']') != std::string::npos) {
            section = Trim(line.substr(1, line.find(']') - 1));
            pSections.push_back(*section);
            continue;
        }
        const auto eq = raw.find('=');
        if (!section || eq == std::string::npos) continue;
        const std::string key = Trim(raw.substr(0, eq));
        if (!key.empty() && key.front() != ';') pEntries.push_back({*section, key});
    }
}

// A name the program could store: one that cannot be taken for something else on reading.
bool Storable(const std::string& pName, bool pSection) {
    if (pName.empty() || pName != Trim(pName) || pName.find_first_of("\r\n") != std::string::npos)
        return false;
    if (pSection) return pName.find(']') == std::string::npos;
    return pName.find('=') == std::string::npos && pName.front() != '[' && pName.front() != ';';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t pSize) {
    // An exception the trap would turn into a failure value still marks a case the code misses.
    Support::TrapErrors(false);
    const FuzzFiles::ScratchFolder& scratch = FuzzFiles::Scratch();
    const std::string path = scratch / "in.ini";
    FuzzFiles::WriteBytes(path, pData, pSize);
    const std::string text(reinterpret_cast<const char*>(pData), pSize);
    const std::vector<std::string> lines = Lines(text);
    std::vector<std::string> sections;
    std::vector<Entry> entries;
    Parse(lines, sections, entries);
    if (entries.size() > 64) entries.resize(64);

    std::vector<std::optional<std::string>> before;
    for (const Entry& e : entries) {
        const auto value = IniFile::Read(path, e.Section, e.Key);
        Check(value.has_value(), "Read: a key of the file is missing");
        Check(value->size() <= IniFile::kMaxValueBytes, "Read: value too long");
        Check(IniFile::Read(path, UpperAscii(e.Section), UpperAscii(e.Key)) == value, "Read: case matters");
        before.push_back(value);
    }
    Check(FuzzFiles::SameBytes(FuzzFiles::ReadBytes(path), pData, pSize), "Read changed the file");

    sections.emplace_back("conf");
    std::vector<std::string> keys{"Fuzz"};
    for (const Entry& e : entries)
        keys.push_back(e.Key);
    auto pick = [&](std::size_t pAt, std::size_t pCount) { return pAt < pSize ? pData[pAt] % pCount : 0; };
    const std::string section = sections[pick(0, sections.size())];
    const std::string key = keys[pick(1, keys.size())];
    std::string value = lines.empty() ? std::string() : lines[pick(2, lines.size())];
    std::erase(value, '\r');

    const bool written = IniFile::Write(path, section, key, value);
    Check(scratch.List().size() == 1, "Write left a temporary file");
    if (!Storable(section, true) || !Storable(key, false)) return 0;
    Check(written, "Write failed");

    const auto readBack = IniFile::Read(path, section, key);
    Check(readBack.has_value(), "Write: the key does not read back");
    if (value.size() <= IniFile::kMaxValueBytes)
        Check(*readBack == Trim(value), "Write: the value does not read back as written");
    else
        Check(readBack->size() <= IniFile::kMaxValueBytes && value.find(*readBack) != std::string::npos,
              "Write: a long value does not read back cut");

    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (SameName(entries[i].Section, section) && SameName(entries[i].Key, key)) continue;
        Check(IniFile::Read(path, entries[i].Section, entries[i].Key) == before[i],
              "Write changed another key");
    }

    const std::vector<std::uint8_t> once = FuzzFiles::ReadBytes(path);
    Check(IniFile::Write(path, section, key, value), "Write failed the second time");
    Check(FuzzFiles::ReadBytes(path) == once, "Write: the same value written twice changed the file");
    return 0;
}
