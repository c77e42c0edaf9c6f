#include "support/Settings.h"

#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/IniFile.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace Support {

namespace {

constexpr const char* kAbsent = "ISDEFAULT";
constexpr const char* kEmpty = "***";

struct Globals {
    std::mutex Lock;
    std::string Title;
    std::string Ini;
};

Globals& State() {
    static Globals g;
    return g;
}

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

// The section that holds a key's values inside its file.
std::string KeySection(const std::string& pKey) {
    return pKey;
}

} // namespace

void InitSettingsStore(const std::string& pTitle) {
    AppTitle(pTitle);
    const std::string ini = AppFolder() + pTitle + ".ini";
    IniPath(FileExists(ini) ? ini : std::string());
}

std::string AppTitle() {
    std::lock_guard lock(State().Lock);
    return State().Title;
}

void AppTitle(const std::string& pTitle) {
    std::lock_guard lock(State().Lock);
    State().Title = pTitle;
}

std::string IniPath() {
    std::lock_guard lock(State().Lock);
    return State().Ini;
}

void IniPath(const std::string& pPath) {
    std::lock_guard lock(State().Lock);
    State().Ini = pPath;
}

std::string SettingText(const SettingValue& pValue) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, float>) {
                char buffer[32];
                const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
                return std::string(buffer, r.ptr);
            } else {
                return std::to_string(v);
            }
        },
        pValue);
}

std::pair<SettingsStoreKind, std::string> ResolveSettingsStore(const std::string& pStoreName, int pMode) {
    if (!pStoreName.empty()) {
        const std::string ini = AppFolder() + pStoreName + ".ini";
        if (FileExists(ini)) return {SettingsStoreKind::Ini, ini};
        return {SettingsStoreKind::Registry, pStoreName};
    }
    if (pMode == 1) {
        const std::string ini = AppFolder() + AppTitle() + ".ini";
        if (FileExists(ini)) return {SettingsStoreKind::Ini, ini};
        return {SettingsStoreKind::Registry, {}};
    }
    const std::string ini = IniPath();
    if (!ini.empty()) return {SettingsStoreKind::Ini, ini};
    return {SettingsStoreKind::Registry, AppTitle()};
}

std::string ReadSetting(const std::string& pKey, const SettingValue& pDefault, int pMode,
                        const std::string& pStoreName) {
    const auto [kind, target] = ResolveSettingsStore(pStoreName, pMode);
    if (kind == SettingsStoreKind::Registry) return RegRead(pKey, pDefault, target);
    return IniRead(pKey, pDefault, target, {}, true);
}

void WriteSetting(const std::string& pKey, const SettingValue& pValue, int pMode,
                  const std::string& pStoreName) {
    const auto [kind, target] = ResolveSettingsStore(pStoreName, pMode);
    if (kind == SettingsStoreKind::Registry)
        (void)RegWrite(pKey, pValue, target);
    else
        (void)IniWrite(pKey, pValue, target);
}

std::string IniRead(const std::string& pKey, const SettingValue& pDefault, const std::string& pFile,
                    const std::string& pSection, bool pWriteDefault) {
    const std::string fallback = SettingText(pDefault);
    return Trapped(fallback, [&]() -> std::string {
        const std::string file = pFile.empty() ? AppFolder() + AppTitle() + ".ini" : pFile;
        const std::string section = pSection.empty() ? kDefaultSection : pSection;
        const std::string text = IniFile::Read(file, section, pKey).value_or(kAbsent);
        if (text == kAbsent) {
            // A fresh file fills itself with every key the program reads.
            if (pWriteDefault) (void)IniWrite(pKey, pDefault, file, section);
            return fallback;
        }
        return text == kEmpty ? std::string() : text;
    });
}

int IniWrite(const std::string& pKey, const SettingValue& pValue, const std::string& pFile,
             const std::string& pSection) {
    return Trapped(0, [&] {
        const std::string file = pFile.empty() ? AppFolder() + AppTitle() + ".ini" : pFile;
        const std::string section = pSection.empty() ? kDefaultSection : pSection;
        std::string text = SettingText(pValue);
        if (text.empty()) text = kEmpty;
        return IniFile::Write(file, section, pKey, text) ? 1 : 0;
    });
}

std::string DefaultRegistryKey(const std::string& pStoreName) {
    return "Software\\" + LowerCase(kCompanyName) + "\\" +
           LowerCase(pStoreName.empty() ? AppTitle() : pStoreName);
}

std::string RegistryFile(const std::string& pKey) {
    std::string relative = pKey;
    const std::string software = "software\\";
    if (LowerCase(relative.substr(0, software.size())) == software)
        relative = relative.substr(software.size());
    std::string path;
    for (const char c : LowerCase(relative))
        path += c == '\\' ? '/' : c;
    // A key never climbs out of the store's folder.
    std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
    std::string safe;
    for (const auto& part : normal) {
        const std::string p = part.string();
        if (p.empty() || p == "." || p == ".." || p == "/") continue;
        safe += (safe.empty() ? "" : "/") + p;
    }
    if (safe.empty()) safe = "default";
    return ConfigHome() + "/" + safe + ".conf";
}

std::string RegRead(const std::string& pValueName, const SettingValue& pDefault,
                    const std::string& pStoreName, RegistryHive pHive, const std::string& pKey) {
    const std::string fallback = SettingText(pDefault);
    return Trapped(fallback, [&]() -> std::string {
        RegistryHive hive = pHive;
        std::string key = pKey;
        if (key.empty()) {
            hive = RegistryHive::CurrentUser;
            key = DefaultRegistryKey(pStoreName);
        }
        // The machine-wide hive has no per-user file here: its reads give their default.
        if (hive != RegistryHive::CurrentUser) return fallback;
        const auto stored = IniFile::Read(RegistryFile(key), KeySection(key), pValueName);
        if (!stored) return fallback;
        const std::string text = CutAtNul(*stored);
        return text == kEmpty ? std::string() : text;
    });
}

int RegWrite(const std::string& pValueName, const SettingValue& pValue, const std::string& pStoreName,
             RegistryHive pHive, const std::string& pKey) {
    return Trapped(0, [&] {
        RegistryHive hive = pHive;
        std::string key = pKey;
        if (key.empty()) {
            hive = RegistryHive::CurrentUser;
            key = DefaultRegistryKey(pStoreName);
        }
        if (hive != RegistryHive::CurrentUser || pValueName.empty()) return 0;
        std::string text = SettingText(pValue);
        if (text.empty()) text = kEmpty;
        const std::string file = RegistryFile(key);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
        return IniFile::Write(file, KeySection(key), pValueName, text) ? 1 : 0;
    });
}

} // namespace Support
