#pragma once

// A temporary folder that plays program folder, per-user settings folder and log folder, with
// a restart that chooses the settings store again as start-up does.
#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/Log.h"
#include "support/Settings.h"
#include "tests/common/TestFiles.h"

#include <cstdlib>

class ProgramFixture : public ::testing::Test {
protected:
    TestFiles::TempDir Dir;

    void SetUp() override {
        std::filesystem::create_directories(Dir / "config");
        ::setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
        Support::AppFolder(Dir.Path());
        Restart();
    }

    void TearDown() override {
        Support::AppFolder(std::string());
        Support::IniPath(std::string());
        Support::LogEnabled(0);
        Support::TrapErrors(true);
        ::unsetenv("XDG_CONFIG_HOME");
    }

    // What start-up does: the INI file is used only when it exists now.
    void Restart() { Support::InitSettingsStore("Tolvane"); }

    [[nodiscard]] std::string IniFile() const { return Dir / "Tolvane.ini"; }
    [[nodiscard]] std::string UserStore() const { return Dir / "config/hesterby/tolvane.conf"; }
    [[nodiscard]] std::string Text(const std::string& pPath) const {
        const auto bytes = TestFiles::ReadFile(pPath);
        return std::string(bytes.begin(), bytes.end());
    }
};
