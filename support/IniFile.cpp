#include "support/IniFile.h"

#include "support/FileIO.h"
#include "support/FileUtil.h"

#include <QString>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace IniFile {

namespace {

std::string Trim(const std::string& pText) {
    const auto first = pText.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = pText.find_last_not_of(" \t");
    return pText.substr(first, last - first + 1);
}

bool SameName(const std::string& pA, const std::string& pB) {
    return QString::fromStdString(pA).compare(QString::fromStdString(pB), Qt::CaseInsensitive) == 0;
}

// A whole file as lines, without their line ends; nothing when it cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::string& pFile) {
    const Support::FileHandle file = Support::OpenForRead(pFile);
    if (!file) return std::nullopt;
    const std::optional<std::string> whole = Support::ReadWhole(file);
    if (!whole) return std::nullopt;
    const std::string& text = *whole;
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::optional<std::string> SectionName(const std::string& pLine) {
    const std::string line = Trim(pLine);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// Key and raw value of a "key=value" line.
std::optional<std::pair<std::string, std::string>> KeyValue(const std::string& pLine) {
    const auto eq = pLine.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = Trim(pLine.substr(0, eq));
    if (key.empty() || key.front() == ';') return std::nullopt;
    return std::make_pair(key, Trim(pLine.substr(eq + 1)));
}

// Cuts at a character boundary so that a long value never ends in half a UTF-8 sequence.
std::string CutToLimit(std::string pValue) {
    if (pValue.size() <= kMaxValueBytes) return pValue;
    std::size_t cut = kMaxValueBytes;
    while (cut > 0 && (static_cast<unsigned char>(pValue[cut]) & 0xC0) == 0x80)
        --cut;
    pValue.resize(cut);
    return pValue;
}

bool WriteWhole(const std::string& pFile, const std::string& pText) {
    std::error_code ec;
    // Write through a link to the file it names, keeping the link.
    std::filesystem::path target = std::filesystem::weakly_canonical(pFile, ec);
    if (ec) target = pFile;
    std::string temp = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    Support::FileHandle handle(fd);
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t(0644);
    ::fchmod(fd, mode);
    bool ok = Support::WriteAll(fd, pText.data(), pText.size());
    ok = ok && ::fsync(fd) == 0;
    ok = handle.Close() && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

} // namespace

std::string EscapeValue(const std::string& pValue) {
    std::string out;
    out.reserve(pValue.size());
    for (const char c : pValue) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string UnescapeValue(const std::string& pText) {
    std::string out;
    out.reserve(pText.size());
    for (std::size_t i = 0; i < pText.size(); ++i) {
        const char c = pText[i];
        if (c == '\\' && i + 1 < pText.size()) {
            const char next = pText[i + 1];
            if (next == '\\' || next == 'n' || next == 'r') {
                out += next == '\\' ? '\\' : (next == 'n' ? '\n' : '\r');
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::optional<std::string> Read(const std::string& pFile, const std::string& pSection,
                                const std::string& pKey) {
    const auto lines = ReadLines(pFile);
    if (!lines) return std::nullopt;
    bool inSection = false;
    for (const std::string& line : *lines) {
        if (const auto section = SectionName(line)) {
            inSection = SameName(*section, pSection);
            continue;
        }
        if (!inSection) continue;
        const auto kv = KeyValue(line);
        if (!kv || !SameName(kv->first, pKey)) continue;
        std::string value = kv->second;
        // One pair of surrounding quotes is not part of the value.
        if (value.size() >= 2 && value.front() == value.back() &&
            (value.front() == '"' || value.front() == '\''))
            value = value.substr(1, value.size() - 2);
        return CutToLimit(UnescapeValue(value));
    }
    return std::nullopt;
}

bool Write(const std::string& pFile, const std::string& pSection, const std::string& pKey,
           const std::string& pValue) {
    if (pKey.empty() || pSection.empty()) return false;
    std::vector<std::string> lines;
    if (Support::FileExists(pFile)) {
        auto existing = ReadLines(pFile);
        // An unreadable store is not replaced by one that holds only this key.
        if (!existing) return false;
        lines = std::move(*existing);
    }
    // The reader trims values before it looks for quotes, so the quotes are judged on the trimmed
    // value; the blanks would not read back anyway.
    std::string stored = EscapeValue(Trim(CutToLimit(pValue)));
    // The reader drops one pair of surrounding quotes: give such a value a pair to lose.
    if (stored.size() >= 2 && stored.front() == stored.back() &&
        (stored.front() == '"' || stored.front() == '\''))
        stored = '"' + stored + '"';
    const std::string entry = pKey + "=" + stored;
    std::optional<std::size_t> sectionEnd;
    bool inSection = false;
    bool done = false;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        if (const auto section = SectionName(lines[i])) {
            if (inSection) break;
            inSection = SameName(*section, pSection);
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (const auto kv = KeyValue(lines[i])) {
            if (SameName(kv->first, pKey)) {
                // The key keeps the spelling it was first stored under.
                lines[i] = kv->first + "=" + stored;
                done = true;
            }
        }
        if (!Trim(lines[i]).empty()) sectionEnd = i + 1;
    }
    if (!done) {
        if (sectionEnd) {
            lines.insert(lines.begin() + std::ptrdiff_t(*sectionEnd), entry);
        } else {
            if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
            lines.push_back("[" + pSection + "]");
            lines.push_back(entry);
        }
    }
    std::string text;
    for (const std::string& line : lines) {
        // Reading took one CR off a line that had more; a CR LF gives it back, so the line reads
        // the same again.
        text += line;
        text += !line.empty() && line.back() == '\r' ? "\r\n" : "\n";
    }
    return WriteWhole(pFile, text);
}

} // namespace IniFile
