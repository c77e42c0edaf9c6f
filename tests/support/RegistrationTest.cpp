#include "support/Registration.h"
#include "support/MessageBox.h"
#include "tests/common/ProgramFixture.h"
#include "tests/common/ScopedSeam.h"
#include "tests/common/TestApp.h"

#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace Support;

namespace {

// Knows the plugin while its file is in a folder that was scanned, as the runtime does.
class FakeRegistry : public ComponentRegistry {
public:
    bool Registered = false;
    std::vector<std::string> Scanned;
    bool WavDestRegistered() override { return Registered; }
    void Rescan(const std::string& pFolder) override {
        Scanned.push_back(pFolder);
        Registered = std::filesystem::exists(pFolder + kWavDestFile);
    }
};

class Registration : public ProgramFixture {
protected:
    FakeRegistry Registry;
    std::vector<std::string> Boxes;
    const std::string Name = kWavDestFile;

    const ScopedSeam UsedRegistry{[this] { UseComponentRegistry(&Registry); },
                                  [] { UseComponentRegistry(nullptr); }};
    const ScopedSeam AnsweredBoxes{[this] {
                                       UseMessageBoxHook([this](const std::string& pText, int pStyle,
                                                                const std::string&, QWidget*, bool) {
                                           const std::string icon = pStyle == vbCritical      ? "critical: "
                                                                    : pStyle == vbInformation ? "info: "
                                                                                              : "other: ";
                                           Boxes.push_back(icon + pText);
                                           return vbOK;
                                       });
                                   },
                                   [] { UseMessageBoxHook(nullptr); }};

    void SetUp() override {
        ProgramFixture::SetUp();
        ::setenv("XDG_DATA_HOME", (Dir / "data").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_DATA_HOME");
        ProgramFixture::TearDown();
    }
    [[nodiscard]] std::string FailureText(const std::string& pError) const {
        return pError + "\r\n" + Name + "の登録に失敗しました\r\n" +
               "初回起動時は管理者として実行してみてください";
    }
    [[nodiscard]] std::string Failure(const std::string& pError) const {
        return "critical: " + FailureText(pError);
    }
    [[nodiscard]] std::string Installed() const { return ComponentFolder() + Name; }
    void Ship() { TestFiles::WriteFile(Dir / Name, {1, 2, 3}); }
};

TEST_F(Registration, FoldersAndWhatCountsAsRegistered) {
    EXPECT_EQ(UsesSysWow64(), 0);
    EXPECT_EQ(ComponentFolder(), Dir / "data/gstreamer-1.0/plugins/");
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    EXPECT_EQ(ComponentFolder(), home + "/.local/share/gstreamer-1.0/plugins/");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(ComponentFolder(), home + "/.local/share/gstreamer-1.0/plugins/");

    // Only the plugin, in any letter case, is asked about; anything else counts as registered.
    EXPECT_EQ(IsComponentRegistered("wavdest.ax"), 1);
    EXPECT_EQ(IsComponentRegistered("LIBGSTWAVDEST.SO"), 0);
    Registry.Registered = true;
    EXPECT_EQ(IsComponentRegistered("LibGstWavDest.so"), 1);
    // Before the runtime installs its registry nothing is known.
    UseComponentRegistry(nullptr);
    EXPECT_EQ(IsComponentRegistered(Name), 0);
}

TEST_F(Registration, MissingEverywhereSaysSoBeforeAskingTheRegistry) {
    Registry.Registered = true; // registered from elsewhere: the file test still comes first
    EXPECT_EQ(RegisterComponent(Name, 0, 0), 0);
    EXPECT_EQ(Boxes, std::vector<std::string>{Failure(Dir / Name + "が存在しません")});
    EXPECT_TRUE(Registry.Scanned.empty());

    // In place needs the program folder's file even when the component folder has one.
    std::filesystem::create_directories(ComponentFolder());
    TestFiles::WriteFile(Installed(), {9});
    Boxes.clear();
    EXPECT_EQ(RegisterComponent(Name, 0, 1), 0);
    EXPECT_EQ(Boxes, std::vector<std::string>{Failure(Dir / Name + "が存在しません")});
    EXPECT_TRUE(Registry.Scanned.empty());
}

TEST_F(Registration, CopiesTellsAndRegistersOnce) {
    Ship();
    EXPECT_EQ(RegisterComponent(Name, 0, 0), 1);
    EXPECT_EQ(Boxes, std::vector<std::string>{"info: " + Name + "を登録します"});
    EXPECT_EQ(TestFiles::ReadFile(Installed()), (TestFiles::Bytes{1, 2, 3}));
    EXPECT_EQ(Registry.Scanned, std::vector<std::string>{ComponentFolder()});
    EXPECT_EQ(IsComponentRegistered(Name), 1);

    // The next start finds it registered: nothing shown, nothing scanned, the copy not redone.
    Boxes.clear();
    Registry.Scanned.clear();
    TestFiles::WriteFile(Dir / Name, {4, 5});
    EXPECT_EQ(RegisterComponent(Name, 0, 0), 1);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(Registry.Scanned.empty());
    EXPECT_EQ(TestFiles::ReadFile(Installed()), (TestFiles::Bytes{1, 2, 3}));
}

TEST_F(Registration, AnInstalledCopyIsRegisteredWithoutTheProgramFolderFile) {
    std::filesystem::create_directories(ComponentFolder());
    TestFiles::WriteFile(Installed(), {7});
    EXPECT_EQ(RegisterComponent(Name, 0, 0), 1);
    EXPECT_EQ(Boxes, std::vector<std::string>{"info: " + Name + "を登録します"});
    EXPECT_EQ(Registry.Scanned, std::vector<std::string>{ComponentFolder()});
    EXPECT_EQ(TestFiles::ReadFile(Installed()), (TestFiles::Bytes{7}));
}

TEST_F(Registration, InPlaceScansTheProgramFolderAndCopiesNothing) {
    Ship();
    EXPECT_EQ(RegisterComponent(Name, 0, 1), 1);
    EXPECT_EQ(Registry.Scanned, std::vector<std::string>{Dir.Path() + "/"});
    EXPECT_EQ(Boxes, std::vector<std::string>{"info: " + Name + "を登録します"});
    EXPECT_FALSE(std::filesystem::exists(ComponentFolder()));
}

TEST_F(Registration, UnregisterRemovesTheCopyOnly) {
    // Not in the component folder: nothing to do, nothing scanned, nothing shown.
    Ship();
    Registry.Registered = true;
    EXPECT_EQ(RegisterComponent(Name, 1, 0), 1);
    EXPECT_TRUE(Registry.Scanned.empty());
    EXPECT_TRUE(Boxes.empty());

    Registry.Registered = false;
    ASSERT_EQ(RegisterComponent(Name, 0, 0), 1);
    Registry.Scanned.clear();
    Boxes.clear();
    EXPECT_EQ(RegisterComponent(Name, 1, 0), 1);
    EXPECT_FALSE(std::filesystem::exists(Installed()));
    EXPECT_TRUE(std::filesystem::exists(Dir / Name)) << "the shipped file stays";
    EXPECT_EQ(Registry.Scanned, std::vector<std::string>{ComponentFolder()});
    EXPECT_EQ(IsComponentRegistered(Name), 0);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(Registration, FailuresShowOneCriticalBox) {
    Ship();
    // The component folder cannot be made: a file stands where it should be.
    std::filesystem::create_directories(Dir / "data");
    TestFiles::WriteFile(Dir / "data/gstreamer-1.0", {0});
    EXPECT_EQ(RegisterComponent(Name, 0, 0), 0);
    EXPECT_EQ(Boxes,
              std::vector<std::string>{Failure("コピーできません : " + Dir / Name + " To " + Installed())});
    EXPECT_TRUE(Registry.Scanned.empty());

    // A scan that does not register it: the failure text appears twice.
    std::filesystem::remove(Dir / "data/gstreamer-1.0");
    Boxes.clear();
    struct Stubborn : FakeRegistry {
        void Rescan(const std::string& pFolder) override { Scanned.push_back(pFolder); }
    } stubborn;
    UseComponentRegistry(&stubborn);
    EXPECT_EQ(RegisterComponent(Name, 0, 0), 0);
    EXPECT_EQ(Boxes, (std::vector<std::string>{"info: " + Name + "を登録します",
                                               Failure(Name + "の登録に失敗しました")}));
    EXPECT_EQ(stubborn.Scanned.size(), 1u);
}

TEST_F(Registration, ATrappedErrorEndsTheRoutineAtOnce) {
    struct Throwing : FakeRegistry {
        void Rescan(const std::string& pFolder) override {
            Scanned.push_back(pFolder);
            throw std::runtime_error("scan failed");
        }
    } throwing;
    UseComponentRegistry(&throwing);
    TrapErrors(true);
    Ship();
    // The box before the scan was shown; no error text had been set, so no critical box follows.
    EXPECT_EQ(RegisterComponent(Name, 0, 0), 0);
    EXPECT_EQ(Boxes, std::vector<std::string>{"info: " + Name + "を登録します"});
    EXPECT_EQ(throwing.Scanned.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(Installed()));
}

TEST_F(Registration, TheRealBoxIsAPlainStandardBox) {
    TestApp::Instance();
    UseMessageBoxHook(nullptr);
    struct Seen {
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QString Title = QStringLiteral("unset");
        QString Text;
        bool Parentless = false;
    } seen;
    // Reads and closes the box once it is up; the routine waits for it like a user would.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        seen = {box->icon(), box->windowTitle(), box->text(), box->parentWidget() == nullptr};
        box->accept();
    });
    poll.start(10);
    EXPECT_EQ(RegisterComponent(Name, 0, 0), 0);
    poll.stop();
    EXPECT_EQ(seen.Icon, QMessageBox::Critical);
    EXPECT_TRUE(seen.Title.isEmpty());
    EXPECT_TRUE(seen.Parentless);
    EXPECT_EQ(seen.Text.toStdString(), FailureText(Dir / Name + "が存在しません"));
}

} // namespace
