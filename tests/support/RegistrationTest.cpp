#include "support/Registration.h"
#include "tests/common/ProgramFixture.h"

#include <gtest/gtest.h>

using namespace Support;

namespace {

class FakeRegistry : public ComponentRegistry {
public:
    bool Registered = false;
    std::vector<std::string> Scanned;
    bool WavDestRegistered() override { return Registered; }
    void Rescan(const std::string& pFolder) override {
        Scanned.push_back(pFolder);
        // Registered while the plugin file is in the folder that was scanned.
        Registered = std::filesystem::exists(pFolder + kWavDestFile);
    }
};

class Registration : public ProgramFixture {
protected:
    FakeRegistry Registry;
    std::vector<std::string> Boxes;
    void SetUp() override {
        ProgramFixture::SetUp();
        ::setenv("XDG_DATA_HOME", (Dir / "data").c_str(), 1);
        UseComponentRegistry(&Registry);
        UseMessageShower([this](const std::string& pText, int pStyle) {
            Boxes.push_back((pStyle == 16 ? "critical: " : "info: ") + pText);
        });
    }
    void TearDown() override {
        UseComponentRegistry(nullptr);
        ::unsetenv("XDG_DATA_HOME");
        ProgramFixture::TearDown();
    }
    std::string Failure(const std::string& pError) const {
        return "critical: " + pError + "\r\n" + kWavDestFile + "の登録に失敗しました\r\n" +
               "初回起動時は管理者として実行してみてください";
    }
};

TEST_F(Registration, FoldersAndOtherComponents) {
    EXPECT_EQ(UsesSysWow64(), 0);
    EXPECT_EQ(ComponentFolder(), Dir / "data/gstreamer-1.0/plugins/");
    EXPECT_EQ(IsComponentRegistered("other.ax"), 1);
    EXPECT_EQ(IsComponentRegistered("LIBGSTWAVDEST.SO"), 0);
}

TEST_F(Registration, MissingEverywhereSaysSoOnce) {
    Registry.Registered = true; // registered from elsewhere: the file test still comes first
    EXPECT_EQ(RegisterComponent(kWavDestFile, 0, 0), 0);
    EXPECT_EQ(Boxes, std::vector<std::string>{Failure(Dir / std::string(kWavDestFile) + "が存在しません")});
    EXPECT_TRUE(Registry.Scanned.empty());
}

TEST_F(Registration, CopiesRegistersAndThenLeavesAlone) {
    TestFiles::WriteFile(Dir / kWavDestFile, {1, 2, 3});
    EXPECT_EQ(RegisterComponent(kWavDestFile, 0, 0), 1);
    EXPECT_EQ(Boxes, std::vector<std::string>{std::string("info: ") + kWavDestFile + "を登録します"});
    EXPECT_EQ(TestFiles::ReadFile(ComponentFolder() + kWavDestFile), (TestFiles::Bytes{1, 2, 3}));
    EXPECT_EQ(Registry.Scanned, std::vector<std::string>{ComponentFolder()});
    Boxes.clear();
    EXPECT_EQ(RegisterComponent(kWavDestFile, 0, 0), 1);
    EXPECT_TRUE(Boxes.empty()) << "already registered: nothing shown, nothing started";

    // Unregistering removes the copy and rescans; a component that is not there needs nothing.
    EXPECT_EQ(RegisterComponent(kWavDestFile, 1, 0), 1);
    EXPECT_FALSE(std::filesystem::exists(ComponentFolder() + kWavDestFile));
    Registry.Scanned.clear();
    EXPECT_EQ(RegisterComponent(kWavDestFile, 1, 0), 1);
    EXPECT_TRUE(Registry.Scanned.empty());
}

TEST_F(Registration, FailuresShowTheirTexts) {
    TestFiles::WriteFile(Dir / kWavDestFile, {1});
    // The component folder cannot be made: a file stands where it should be.
    std::filesystem::create_directories(Dir / "data");
    TestFiles::WriteFile(Dir / "data/gstreamer-1.0", {0});
    EXPECT_EQ(RegisterComponent(kWavDestFile, 0, 0), 0);
    const std::string target = ComponentFolder() + kWavDestFile;
    EXPECT_EQ(Boxes, std::vector<std::string>{
                         Failure("コピーできません : " + Dir / kWavDestFile + " To " + target)});

    // A rescan that does not register it.
    std::filesystem::remove(Dir / "data/gstreamer-1.0");
    Boxes.clear();
    struct Stubborn : FakeRegistry {
        void Rescan(const std::string&) override {}
    } stubborn;
    UseComponentRegistry(&stubborn);
    EXPECT_EQ(RegisterComponent(kWavDestFile, 0, 0), 0);
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1], Failure(std::string(kWavDestFile) + "の登録に失敗しました"));
}

} // namespace
