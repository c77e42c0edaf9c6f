#include "support/Settings.h"
#include "support/IniFile.h"
#include "support/QtPlacementForm.h"
#include "support/WindowPlacement.h"
#include "tests/common/ProgramFixture.h"
#include "tests/common/TestApp.h"

#include <QWidget>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <thread>

using namespace Support;

namespace {

class Settings : public ProgramFixture {};

// --- Choosing the store ------------------------------------------------------------------------

TEST_F(Settings, WithoutAnIniFileEverythingGoesToTheUserStore) {
    EXPECT_EQ(ResolveSettingsStore("", 0),
              std::make_pair(SettingsStoreKind::Registry, std::string("Tolvane")));
    WriteSetting("TargetFreq", std::int32_t(22050));
    WriteSetting("OutputPath", std::string("/music/out"));
    EXPECT_FALSE(std::filesystem::exists(IniFile()));
    EXPECT_EQ(Text(UserStore()), "[Software\\hesterby\\tolvane]\nTargetFreq=22050\nOutputPath=/music/out\n");
    EXPECT_EQ(ReadSetting("targetfreq", std::int32_t(44100)), "22050");
    EXPECT_EQ(ReadSetting("Missing", std::int32_t(7)), "7");
    EXPECT_EQ(Text(UserStore()).find("Missing"), std::string::npos) << "reading writes nothing back";
}

TEST_F(Settings, AnIniFilePresentAtStartUpTakesEverything) {
    TestFiles::WriteFile(IniFile(), {});
    EXPECT_EQ(ReadSetting("TargetFreq", std::int32_t(44100)), "44100")
        << "not yet: the store was chosen at start";
    Restart();
    EXPECT_EQ(ResolveSettingsStore("", 0), std::make_pair(SettingsStoreKind::Ini, IniFile()));
    // An empty file fills itself with every key read, with its default, in section "conf".
    EXPECT_EQ(ReadSetting("TargetFreq", std::int32_t(44100)), "44100");
    EXPECT_EQ(ReadSetting("OutputPath", std::string()), "");
    EXPECT_EQ(ReadSetting("Volume", 0.5f), "0.5");
    EXPECT_EQ(Text(IniFile()), "[conf]\nTargetFreq=44100\nOutputPath=***\nVolume=0.5\n");
    WriteSetting("TargetFreq", std::int32_t(8000));
    EXPECT_EQ(ReadSetting("TARGETFREQ", std::int32_t(44100)), "8000");
    EXPECT_FALSE(std::filesystem::exists(UserStore()));

    // Mode 1 and named stores look for their file now, not at start-up.
    EXPECT_EQ(ResolveSettingsStore("", 1).first, SettingsStoreKind::Ini);
    EXPECT_EQ(ResolveSettingsStore("Other", 0),
              std::make_pair(SettingsStoreKind::Registry, std::string("Other")));
    TestFiles::WriteFile(Dir / "Other.ini", {});
    EXPECT_EQ(ResolveSettingsStore("Other", 0), std::make_pair(SettingsStoreKind::Ini, Dir / "Other.ini"));
}

// --- The sentinels and case rules, in both stores ------------------------------------------------

class BothStores : public ProgramFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        if (GetParam()) {
            TestFiles::WriteFile(IniFile(), {});
            Restart();
        }
    }
};

TEST_P(BothStores, EmptyValuesAreStoredAsStarsAndToldApartFromMissing) {
    WriteSetting("OutputPath", std::string());
    EXPECT_EQ(ReadSetting("OutputPath", std::string("/default")), "");
    EXPECT_NE(Text(GetParam() ? IniFile() : UserStore()).find("OutputPath=***"), std::string::npos);
}

TEST_P(BothStores, KeysMatchWithoutRegardToCase) {
    WriteSetting("mp2BitRate", std::int32_t(192));
    WriteSetting("MP2BITRATE", std::int32_t(256));
    EXPECT_EQ(ReadSetting("mp2bitRate", std::int32_t(0)), "256");
    const std::string text = Text(GetParam() ? IniFile() : UserStore());
    EXPECT_EQ(text.find("mp2BitRate"), text.rfind("=256") - std::string("mp2BitRate").size()) << text;
    EXPECT_EQ(text.find("MP2BITRATE"), std::string::npos) << "one value, under its first name";
}

TEST_P(BothStores, LongPathsSurviveASaveAndRestart) {
    std::string folder = "/";
    while (folder.size() < 4000)
        folder += "\xE9\x9F\xB3\xE6\xA5\xBD/"; // 音楽/
    WriteSetting("OutputPath", folder);
    Restart();
    EXPECT_EQ(ReadSetting("OutputPath", std::string()), folder);

    // Past 4095 bytes a value is cut, and never inside a character.
    std::string huge(4094, 'a');
    huge += "\xE9\x9F\xB3";
    WriteSetting("Huge", huge);
    EXPECT_EQ(ReadSetting("Huge", std::string()), std::string(4094, 'a'));
}

TEST_P(BothStores, LineBreaksCannotInjectKeys) {
    WriteSetting("OutputPath", std::string("/a\nTargetFreq=8000\r\n[evil]\nb\\n"));
    WriteSetting("TargetFreq", std::int32_t(44100));
    Restart();
    EXPECT_EQ(ReadSetting("OutputPath", std::string()), "/a\nTargetFreq=8000\r\n[evil]\nb\\n");
    EXPECT_EQ(ReadSetting("TargetFreq", std::int32_t(0)), "44100");
    const std::string text = Text(GetParam() ? IniFile() : UserStore());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
}

TEST_P(BothStores, QuotedValuesAndSurroundingSpacesRoundTrip) {
    WriteSetting("Title", std::string("\"quoted\""));
    EXPECT_EQ(ReadSetting("Title", std::string()), "\"quoted\"");
    WriteSetting("Spaced", std::string("  a b  "));
    EXPECT_EQ(ReadSetting("Spaced", std::string()), "a b") << "values are trimmed, as the stores always did";
}

INSTANTIATE_TEST_SUITE_P(Settings, BothStores, ::testing::Values(false, true), [](const auto& pInfo) {
    return pInfo.param ? std::string("Ini") : std::string("UserStore");
});

TEST_F(Settings, IniSentinelIsDefaultReadsAsAbsentAndIsOverwritten) {
    TestFiles::WriteFile(IniFile(), {});
    Restart();
    const std::string text = "; comment kept\n[Other]\nTargetFreq=1\n\n[CONF]\n  targetfreq = ISDEFAULT  \n";
    TestFiles::WriteFile(IniFile(), TestFiles::Bytes(text.begin(), text.end()));
    EXPECT_EQ(ReadSetting("TargetFreq", std::int32_t(48000)), "48000");
    EXPECT_EQ(Text(IniFile()), "; comment kept\n[Other]\nTargetFreq=1\n\n[CONF]\ntargetfreq=48000\n");
    EXPECT_EQ(IniRead("TargetFreq", std::int32_t(0), IniFile(), "other"), "1");
    EXPECT_EQ(IniRead("Nothing", std::int32_t(3), Dir / "none.ini", "conf"), "3");
    EXPECT_FALSE(std::filesystem::exists(Dir / "none.ini")) << "no write-default unless asked";
}

TEST_F(Settings, WritesReplaceTheFileWholeAndKeepItsMode) {
    TestFiles::WriteFile(IniFile(), {'[', 'c', 'o', 'n', 'f', ']', '\n', 'A', '=', '1', '\n'});
    ::chmod(IniFile().c_str(), 0600);
    EXPECT_EQ(IniWrite("B", std::string("2"), IniFile()), 1);
    EXPECT_EQ(Text(IniFile()), "[conf]\nA=1\nB=2\n");
    struct stat st {};
    ::stat(IniFile().c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Dir.List(), (std::vector<std::string>{"Tolvane.ini", "config"})) << "no temporary left behind";
    // A store that cannot be written loses the value, not the file.
    EXPECT_EQ(IniWrite("C", std::string("3"), Dir / "missing/x.ini"), 0);
}

TEST_F(Settings, RegistryKeysMapToFilesAndTheMachineHiveReadsDefaults) {
    EXPECT_EQ(DefaultRegistryKey(""), "Software\\hesterby\\tolvane");
    EXPECT_EQ(RegistryFile("Software\\Hesterby\\Tolvane"), Dir / "config/hesterby/tolvane.conf");
    EXPECT_EQ(RegistryFile("Software\\..\\..\\etc\\passwd"), Dir / "config/etc/passwd.conf");
    EXPECT_EQ(RegWrite("X", std::string("1"), "", RegistryHive::CurrentUser, "Software\\Vendor\\Codecs"), 1);
    EXPECT_EQ(RegRead("x", std::string("0"), "", RegistryHive::CurrentUser, "Software\\Vendor\\Codecs"), "1");
    EXPECT_EQ(RegRead("X", std::string("none"), "", RegistryHive::LocalMachine, "Software\\Vendor\\Codecs"),
              "none");
    EXPECT_EQ(RegWrite("X", std::string("1"), "", RegistryHive::LocalMachine, "Software\\Vendor\\Codecs"), 0);
    EXPECT_EQ(SettingText(std::int16_t(-3)), "-3");
    EXPECT_EQ(SettingText(1234.5f), "1234.5");
}

TEST_F(Settings, ConcurrentWritersNeverCorruptTheStore) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 25; ++i)
                (void)RegWrite("Key" + std::to_string(t),
                               std::string(200, char('a' + t)) + std::to_string(i));
        });
    for (auto& w : writers)
        w.join();
    // Updates may be lost to each other, but every line is whole and the file parses.
    const std::string text = Text(UserStore());
    EXPECT_EQ(text.rfind("[Software\\hesterby\\tolvane]\n", 0), 0u) << text;
    for (int t = 0; t < 4; ++t) {
        const std::string v = RegRead("Key" + std::to_string(t), std::string());
        if (!v.empty()) {
            EXPECT_EQ(v.substr(0, 200), std::string(200, char('a' + t)));
        }
    }
}

// --- Window placement ----------------------------------------------------------------------------

class FakeForm : public PlacementForm {
public:
    int State = 0;
    double L = 100, T = 200, W = 9000, H = 6000;
    int WindowState() const override { return State; }
    void WindowState(int pState) override { State = pState; }
    double Left() const override { return L; }
    double Top() const override { return T; }
    double Width() const override { return W; }
    double Height() const override { return H; }
    void Move(double pLeft, double pTop) override { L = pLeft, T = pTop; }
    void Width(double pWidth) override { W = pWidth; }
    void Height(double pHeight) override { H = pHeight; }
    double ScreenWidth() const override { return 28800; }
    double ScreenHeight() const override { return 16200; }
};

TEST_F(Settings, WindowPlacementRestoresAndClampsOffScreenPositions) {
    FakeForm form;
    form.L = 30000; // beyond the right edge
    form.T = -50;
    SaveWindowPlacement(form, "", false, false);
    FakeForm restored;
    LoadWindowPlacement(restored, "", false, false, false);
    EXPECT_EQ(restored.L, 0);
    EXPECT_EQ(restored.T, 0);
    EXPECT_EQ(restored.W, 9000);

    form.L = 1440.5;
    form.T = 720;
    form.W = 5000;
    SaveWindowPlacement(form, "", true, false);
    LoadWindowPlacement(restored, "", true, false, false);
    EXPECT_EQ(restored.L, 1440.5);
    EXPECT_EQ(restored.W, 9000) << "size skipped on save keeps the stored size";

    // A run that ends maximised keeps the last normal placement but remembers the state.
    form.State = 2;
    form.L = 5;
    SaveWindowPlacement(form, "", true, false);
    FakeForm next;
    LoadWindowPlacement(next, "", true, false, false);
    EXPECT_EQ(next.L, 1440.5);
    EXPECT_EQ(next.State, 2);
    EXPECT_EQ(ReadSetting("WindowState", std::int16_t(9)), "2");

    WriteSetting("WindowLeftB", std::string("not a number"));
    FakeForm other;
    LoadWindowPlacement(other, "B", true, true, false);
    EXPECT_EQ(other.L, 100) << "an unreadable value keeps the current one";
}

TEST_F(Settings, QtWindowsArePlacedInTwips) {
    TestApp::Instance();
    QWidget window;
    window.resize(400, 300);
    QtPlacementForm form(window);
    const double tpp = 1440.0 / window.logicalDpiX();
    form.Move(150 * tpp, 60 * tpp);
    EXPECT_EQ(window.pos(), QPoint(150, 60));
    EXPECT_DOUBLE_EQ(form.Width(), 400 * tpp);
    form.Width(200 * tpp);
    EXPECT_EQ(window.width(), 200);
    EXPECT_EQ(form.WindowState(), 0);
    EXPECT_GT(form.ScreenWidth(), 0);
}

} // namespace
