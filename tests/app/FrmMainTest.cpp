#include "app/FrmMain.h"
#include "app/BatchDriver.h"
#include "support/MessageBox.h"
#include "support/Settings.h"
#include "tests/app/AppTestFiles.h"
#include "tests/common/ProgramFixture.h"
#include "tests/common/TestApp.h"

#include <QDir>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using AppTestFiles::ToneWav;

namespace {

// The window in a test's own program folder and settings, with message boxes answered.
class Window : public ProgramFixture {
protected:
    std::unique_ptr<FrmMain> Form;
    std::vector<std::string> Boxes;
    QString StartFolder;

    void SetUp() override {
        TestApp::Instance();
        StartFolder = QDir::currentPath();
        ProgramFixture::SetUp();
        std::filesystem::create_directories(Dir / "data");
        ::setenv("XDG_DATA_HOME", (Dir / "data").c_str(), 1);
        // Installed as the first start installs it, so registration has nothing to say.
        std::filesystem::copy_file(TOLVANE_BIN_DIR "/libgstwavdest.so", Dir / "libgstwavdest.so");
        Support::UseMessageBoxHook([this](const std::string& pText, int, const std::string&, QWidget*, bool) {
            Boxes.push_back(pText);
            return Support::vbOK;
        });
    }
    void TearDown() override {
        Form.reset();
        Support::UseMessageBoxHook(nullptr);
        ::unsetenv("XDG_DATA_HOME");
        QDir::setCurrent(StartFolder);
        ProgramFixture::TearDown();
    }
    FrmMain& Open(bool pMp2 = true) {
        Form = std::make_unique<FrmMain>();
        Form->Mp2Available(pMp2);
        Form->Load();
        return *Form;
    }
    static void Click(UC_Check& pCheck) {
        QTest::mouseClick(&pCheck, Qt::LeftButton, {}, QPoint(4, pCheck.height() / 2));
    }
    static void Choose(QComboBox& pCombo, const QString& pText) {
        pCombo.setCurrentIndex(pCombo.findText(pText));
        Q_EMIT pCombo.activated(pCombo.currentIndex());
    }
    [[nodiscard]] std::string Wav(const std::string& pName, std::uint32_t pRate, double pSeconds) const {
        const std::string path = Dir / pName;
        TestFiles::WriteFile(path, ToneWav(2, pRate, pSeconds));
        return path;
    }
};

TEST_F(Window, FirstStartShowsTheDefaultsAndClosingWritesThem) {
    FrmMain& f = Open();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Tolvane - Hesterby"));
    EXPECT_EQ(f.ComboFreq.currentText(), QStringLiteral("44100"));
    EXPECT_EQ(f.ComboMode.currentText(), QStringLiteral("Stereo16bit"));
    EXPECT_EQ(f.CheckUseDither.Value(), 1);
    EXPECT_EQ(f.CheckDecodeOnly.Value(), 0);
    EXPECT_EQ(f.CheckEncmp3.Value(), 0);
    EXPECT_NE(f.CheckEncmp3.Enabled(), 0);
    EXPECT_EQ(f.ComboBitRate[0].currentText(), QStringLiteral("128"));
    EXPECT_EQ(f.ComboBitRate[1].currentIndex(), -1);
    EXPECT_EQ(f.Combomp2mode.currentIndex(), -1);
    EXPECT_TRUE(f.TextSoundPath.Text().isEmpty());
    EXPECT_FALSE(f.ComboFreq.isEditable());
    EXPECT_EQ(f.LV.TabName(0), "ファイル");
    // Closed while minimised, it comes back normal: minimised it could not be found again.
    f.showMinimized();
    f.close();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(Support::ReadSetting("WindowState", std::int32_t(9)), "0");
    EXPECT_EQ(Support::ReadSetting("TargetFreq", std::int32_t(0)), "44100");
    EXPECT_EQ(Support::ReadSetting("mp3BitRate", std::int32_t(0)), "128");
    EXPECT_EQ(Support::ReadSetting("mp2BitRate", std::string("none")), "none")
        << "no rate selected: not written";
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(Window, SavedChoicesComeBackAndWithoutTheEncoderMp2IsHidden) {
    Support::WriteSetting("TargetFreq", std::int32_t(22050));
    Support::WriteSetting("TargetMode", std::int32_t(1));
    Support::WriteSetting("mp2BitRate", std::int32_t(192));
    Support::WriteSetting("mp2Mode", std::string("DualMono"));
    Support::WriteSetting("Encmp2", std::int32_t(1));
    Support::WriteSetting("SoundPath", std::string("/music/"));
    FrmMain& f = Open();
    EXPECT_EQ(f.ComboFreq.currentText(), QStringLiteral("22050"));
    EXPECT_EQ(f.ComboMode.currentIndex(), 1);
    EXPECT_EQ(f.ComboBitRate[1].currentText(), QStringLiteral("192"));
    EXPECT_EQ(f.Combomp2mode.currentIndex(), 3);
    EXPECT_EQ(f.CheckEncmp2.Value(), 1);
    EXPECT_EQ(f.TextSoundPath.Text(), QStringLiteral("/music/"));
    EXPECT_EQ(f.CheckEncmp3.Enabled(), 0) << "8-bit modes have no MP3";
    Form.reset();
    FrmMain& without = Open(false);
    EXPECT_TRUE(without.CheckEncmp2.isHidden());
    EXPECT_TRUE(without.Combomp2mode.isHidden());
    EXPECT_EQ(without.CheckEncmp2.Value(), 0) << "not read without the encoder";
}

TEST_F(Window, OptionRulesFollowTheUsersClicks) {
    FrmMain& f = Open();
    // mp3 and mp2 exclude each other.
    Click(f.CheckEncmp3);
    EXPECT_EQ(f.CheckEncmp3.Value(), 1);
    Click(f.CheckEncmp2);
    EXPECT_EQ(f.CheckEncmp2.Value(), 1);
    EXPECT_EQ(f.CheckEncmp3.Value(), 0);
    Click(f.CheckEncmp3);
    EXPECT_EQ(f.CheckEncmp2.Value(), 0);
    // An 8-bit mode empties the MP3 list; Stereo16bit refills it with the highest rate.
    Choose(f.ComboMode, QStringLiteral("Mono8bit"));
    EXPECT_EQ(f.ComboBitRate[0].count(), 0);
    EXPECT_FALSE(f.ComboBitRate[0].isEnabled());
    EXPECT_EQ(f.CheckEncmp3.Enabled(), 0);
    EXPECT_EQ(f.CheckEncmp3.Value(), 1) << "the box keeps its value";
    Choose(f.ComboMode, QStringLiteral("Stereo16bit"));
    EXPECT_EQ(f.ComboBitRate[0].currentText(), QStringLiteral("320"));
    // A rate change keeps the MP3 rate while it is still offered.
    f.ComboBitRate[0].setCurrentIndex(f.ComboBitRate[0].findText(QStringLiteral("160")));
    Choose(f.ComboFreq, QStringLiteral("48000"));
    EXPECT_EQ(f.ComboBitRate[0].currentText(), QStringLiteral("160"));
    Choose(f.ComboFreq, QStringLiteral("22050"));
    EXPECT_EQ(f.ComboBitRate[0].currentText(), QStringLiteral("160"));
    // Decode-only disables every target and encoder choice, and gives them back.
    Click(f.CheckDecodeOnly);
    for (const QWidget* w : std::initializer_list<const QWidget*>{
             &f.ComboFreq, &f.ComboMode, &f.ComboBitRate[0], &f.ComboBitRate[1], &f.Combomp2mode})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (const UC_Check* c : {&f.CheckUseDither, &f.CheckHighQuality, &f.CheckEncmp3, &f.CheckEncmp2})
        EXPECT_EQ(c->Enabled(), 0);
    Click(f.CheckDecodeOnly);
    EXPECT_TRUE(f.ComboMode.isEnabled());
    EXPECT_NE(f.CheckHighQuality.Enabled(), 0);
    EXPECT_NE(f.CheckEncmp3.Enabled(), 0);
    EXPECT_NE(f.CheckEncmp2.Enabled(), 0);
}

TEST_F(Window, TheHighQualityBoxStandsBesideDitherAndIsKept) {
    FrmMain& f = Open();
    const UC_Check& box = f.CheckHighQuality;
    EXPECT_EQ(box.Caption(), QStringLiteral("高音質"));
    EXPECT_EQ(box.Value(), 0);
    // On the row of the other two, between dither and the rate list, and next to dither for Tab.
    const QRect dither = f.CheckUseDither.geometry();
    EXPECT_EQ(box.geometry().center().y(), dither.center().y());
    EXPECT_GT(box.x(), dither.right());
    EXPECT_LT(box.geometry().right(), f.ComboFreq.x());
    EXPECT_EQ(f.CheckUseDither.nextInFocusChain(), &box);
    EXPECT_EQ(box.nextInFocusChain(), &f.ComboFreq);

    Click(f.CheckHighQuality);
    EXPECT_EQ(f.Options().HighQuality, 1);
    f.close();
    EXPECT_EQ(Support::ReadSetting("HighQuality", std::int32_t(0)), "1");
    Form.reset();
    EXPECT_EQ(Open().CheckHighQuality.Value(), 1);
}

TEST_F(Window, IntakeListsAcceptedNamesAndTheRunSkipsWhatIsNoFile) {
    FrmMain& f = Open();
    const std::string a = Wav("a.WAV", 22050, 0.5);
    std::filesystem::create_directory(Dir / "old.wav");
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(QString::fromStdString(a)),
                  QUrl::fromLocalFile(QString::fromStdString(Dir / "b.Mp3")),
                  QUrl::fromLocalFile(QString::fromStdString(Dir / "c.txt")),
                  QUrl::fromLocalFile(QString::fromStdString(Dir / "old.wav"))});
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &drop, Qt::NoButton, {});
    QCoreApplication::sendEvent(&f, &enter);
    QDropEvent event(QPointF(4, 4), Qt::CopyAction, &drop, Qt::NoButton, {});
    QCoreApplication::sendEvent(&f, &event);
    ASSERT_EQ(f.LV.ItemCount(), 3);
    EXPECT_EQ(f.LV.IconType(0), 1);
    EXPECT_EQ(f.LV.IconType(1), 4);
    EXPECT_EQ(f.LV.IconType(2), 1);
    EXPECT_EQ(f.LV.Value(0, 0).Text(), "a");
    EXPECT_EQ(f.LV.Value(0, 1).Text(), "000'00.500");
    EXPECT_EQ(f.LV.AuxID(1, 0).Text(), Dir / "b.Mp3");
    f.TextSoundPath.Text(QString::fromStdString(Dir.Path() + "/"));
    f.CtrButtons_ButtonClicked(2);
    EXPECT_TRUE(std::filesystem::exists(Dir / "a01.wav") || std::filesystem::exists(Dir / "a.wav"));
    // Two rows failed: the missing MP3 and the folder.
    EXPECT_EQ(f.PictureInfo.TextMes(0).toStdString(), FrmMain::FailedLine(2));
    EXPECT_EQ(f.LV.IconType(1), 10);
    EXPECT_EQ(f.LV.IconType(2), 10);
    EXPECT_EQ(f.LV.IconType(0), 1);

    // Ctrl+O offers the accepted types and adds what was chosen; Delete removes the selection.
    QString offered;
    const auto previous =
        FrmMain::SetFilesDialogRunner([&](QWidget*, const QString&, const QString& pFilter) {
            offered = pFilter;
            return QStringList{QString::fromStdString(a), QString::fromStdString(Dir / "d.ogg")};
        });
    QTest::keyClick(&f, Qt::Key_O, Qt::ControlModifier);
    FrmMain::SetFilesDialogRunner(previous);
    EXPECT_TRUE(offered.contains(QStringLiteral("*.aif")));
    ASSERT_EQ(f.LV.ItemCount(), 5);
    EXPECT_EQ(f.LV.IconType(4), 0);
    f.LV.UnSelectAll();
    f.LV.SelectedItem(4);
    QTest::keyClick(f.LV.PictureList(), Qt::Key_Delete);
    EXPECT_EQ(f.LV.ItemCount(), 4);
}

TEST_F(Window, DuringARunTheListKeepsItsRowsAndACloseWaitsForTheDriver) {
    FrmMain& f = Open();
    // Long enough to still be running when the clicks arrive: the window pauses between blocks.
    const std::string b = Wav("b.wav", 48000, 60);
    const std::string a = Wav("a.wav", 48000, 60);
    f.AddFiles({b, a}, 0);
    const QString out = QString::fromStdString(Dir / "out/");
    QDir().mkpath(out);
    f.TextSoundPath.Text(out);
    f.ComboFreq.setCurrentIndex(f.ComboFreq.findText(QStringLiteral("22050")));
    bool tried = false;
    QTimer::singleShot(200, &f, [&] {
        tried = f.Driver().Running == 1;
        QTest::mouseDClick(f.LV.PictureList(), Qt::LeftButton, {}, QPoint(30, 5));
        QTest::mouseClick(f.LV.PictureTab(), Qt::LeftButton, {}, QPoint(20, 5));
        f.CtrButtons_ButtonClicked(2); // a second Start does nothing
        f.close();
        EXPECT_TRUE(f.ClosePending());
        EXPECT_TRUE(f.isVisible());
    });
    f.CtrButtons_ButtonClicked(2);
    EXPECT_TRUE(tried);
    ASSERT_EQ(f.LV.ItemCount(), 2) << "no row deleted during the run";
    EXPECT_EQ(f.LV.Value(0, 0).Text(), "b") << "no sort during the run";
    QTest::qWait(50);
    EXPECT_FALSE(f.isVisible()) << "closed once the driver returned";
    EXPECT_TRUE(QDir(out).isEmpty()) << "the stopped row leaves neither output nor temporaries";
    EXPECT_EQ(Support::ReadSetting("TargetFreq", std::int32_t(0)), "22050");
}

} // namespace

namespace {

TEST_F(Window, LaterKindsOfFileAreListedWithTheirLengthAndOthersStillRefused) {
    if (!AppTestFiles::HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    FrmMain& f = Open();
    struct Kind {
        const char* Name;
        const char* Encoder;
        const char* Text;
    };
    const std::vector<Kind> kinds{{"a.flac", "flacenc", "flac(44100Hz/16bit/Stereo)"},
                                  {"b.opus", "audioresample ! opusenc ! oggmux", "opus(48000Hz/Stereo)"},
                                  {"c.oga", "vorbisenc ! oggmux", "vorbis(44100Hz/Stereo)"},
                                  {"d.webm", "audioresample ! opusenc ! webmmux", "opus(48000Hz/Stereo)"},
                                  {"e.mka", "flacenc ! matroskamux", "flac(44100Hz/16bit/Stereo)"}};
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.Name);
        ASSERT_TRUE(AppTestFiles::MakeWithGst(Dir / k.Name, k.Encoder, 1.0));
        const int row = f.LV.ItemCount();
        f.AddTitle(Dir / k.Name, row);
        ASSERT_EQ(f.LV.ItemCount(), row + 1);
        EXPECT_EQ(f.LV.IconType(row), 0);
        EXPECT_EQ(f.LV.Value(row, 2).Text(), k.Text);
        // About a second: whole 1024-frame buffers at 44.1 kHz.
        EXPECT_EQ(f.LV.Value(row, 1).Text().substr(0, 7), "000'01.");
    }
    // Names outside the table stay out, whatever they hold.
    for (const char* name : {"f.caf", "g.aifc", "h.mkv", "i.FLAC.txt"}) {
        std::filesystem::copy_file(Dir / "a.flac", Dir / name);
        f.AddTitle(Dir / name, f.LV.ItemCount());
    }
    EXPECT_EQ(f.LV.ItemCount(), int(kinds.size()));
}

} // namespace
