#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

// Where every persistent choice lives: the INI file beside the executable when it exists at
// start-up, otherwise the per-user store that stands in for the registry.
namespace Support {

// A value as callers hand it over; it is always stored as its text form.
using SettingValue = std::variant<std::int32_t, std::int16_t, float, std::string>;

enum class SettingsStoreKind { Registry = 1, Ini = 2 };

enum class RegistryHive { CurrentUser, LocalMachine };

inline constexpr const char* kCompanyName = "Hesterby";
inline constexpr const char* kProductTitle = "Tolvane";
inline constexpr const char* kDefaultSection = "conf";

// Start-up: caches the title and chooses the store once, by whether "<title>.ini" exists now.
void InitSettingsStore(const std::string& pTitle);

[[nodiscard]] std::string AppTitle();
void AppTitle(const std::string& pTitle);
[[nodiscard]] std::string IniPath();
void IniPath(const std::string& pPath);

// The text form of a value: numbers in plain decimal, floats in their shortest exact form.
[[nodiscard]] std::string SettingText(const SettingValue& pValue);

[[nodiscard]] std::pair<SettingsStoreKind, std::string> ResolveSettingsStore(const std::string& pStoreName,
                                                                             int pMode);

[[nodiscard]] std::string ReadSetting(const std::string& pKey, const SettingValue& pDefault, int pMode = 0,
                                      const std::string& pStoreName = {});
void WriteSetting(const std::string& pKey, const SettingValue& pValue, int pMode = 0,
                  const std::string& pStoreName = {});

// Empty file: the INI file named after the title in the program folder; empty section: "conf".
[[nodiscard]] std::string IniRead(const std::string& pKey, const SettingValue& pDefault,
                                  const std::string& pFile = {}, const std::string& pSection = {},
                                  bool pWriteDefault = false);
[[nodiscard]] int IniWrite(const std::string& pKey, const SettingValue& pValue, const std::string& pFile = {},
                           const std::string& pSection = {});

// Empty key: the title's own key of the current user. Reads never write anything back.
[[nodiscard]] std::string RegRead(const std::string& pValueName, const SettingValue& pDefault,
                                  const std::string& pStoreName = {},
                                  RegistryHive pHive = RegistryHive::CurrentUser,
                                  const std::string& pKey = {});
[[nodiscard]] int RegWrite(const std::string& pValueName, const SettingValue& pValue,
                           const std::string& pStoreName = {}, RegistryHive pHive = RegistryHive::CurrentUser,
                           const std::string& pKey = {});

// The file that holds a current-user key: ${XDG_CONFIG_HOME:-$HOME/.config}/<company>/<store>.conf
// for the title's own key, and a file named after the key's path for any other key.
[[nodiscard]] std::string RegistryFile(const std::string& pKey);
[[nodiscard]] std::string DefaultRegistryKey(const std::string& pStoreName);

} // namespace Support
