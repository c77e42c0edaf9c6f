#include "app/FrmMain.h"
#include "app/BatchDriver.h"
#include "app/DesktopNotice.h"
#include "app/QtJapanese.h"
#include "engine/WaveMMIO.h"
#include "support/MessageBox.h"
#include "support/Settings.h"
#include "support/Twips.h"
#include "tests/app/AppTestFiles.h"
#include "tests/common/ProgramFixture.h"
#include "tests/common/ScopedSeam.h"
#include "tests/common/TestApp.h"
#include "tests/common/ToolTipAt.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

using AppTestFiles::ToneWav;

namespace {

// The window in a test's own program folder and settings, with message boxes answered.
class Window : public ProgramFixture {
protected:
    std::vector<std::string> Boxes;
    const ScopedSeam AnsweredBoxes{[this] {
                                       Support::UseMessageBoxHook([this](const std::string& pText, int,
                                                                         const std::string&, QWidget*, bool) {
                                           Boxes.push_back(pText);
                                           return Support::vbOK;
                                       });
                                   },
                                   [] { Support::UseMessageBoxHook(nullptr); }};
    std::unique_ptr<FrmMain> Form;
    QString StartFolder;

    void SetUp() override {
        TestApp::Instance();
        StartFolder = QDir::currentPath();
        ProgramFixture::SetUp();
        // One plugin folder for the process: GStreamer's registry remembers the first window's
        // plugin file for as long as the process lives, so that file must live as long.
        static const TestFiles::TempDir data;
        ::setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
        // Installed as the first start installs it, so registration has nothing to say.
        std::filesystem::copy_file(TOLVANE_BIN_DIR "/libgstwavdest.so", Dir / "libgstwavdest.so");
    }
    void TearDown() override {
        Form.reset();
        ::unsetenv("XDG_DATA_HOME");
        QDir::setCurrent(StartFolder);
        ProgramFixture::TearDown();
    }
    template <typename Form_ = FrmMain> Form_& Open(bool pMp2 = true) {
        auto form = std::make_unique<Form_>();
        Form_& opened = *form;
        Form = std::move(form);
        Form->Mp2Available(pMp2);
        Form->Load();
        return opened;
    }
    static void Click(UC_Check& pCheck) {
        QTest::mouseClick(&pCheck, Qt::LeftButton, {}, QPoint(4, pCheck.height() / 2));
    }
    static void Choose(QComboBox& pCombo, const QString& pText) {
        pCombo.setCurrentIndex(pCombo.findText(pText));
        Q_EMIT pCombo.activated(pCombo.currentIndex());
    }
    // The middle of a row of the list, where a user would point at it.
    static QPoint RowPoint(const FrmMain& pForm, int pRow) {
        const int rowHeight = int(Support::ToPixels(float(pForm.LV.OneHeight())));
        return {40, pRow * rowHeight + rowHeight / 2};
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

TEST_F(Window, StoredRatesNoEntryMatchesSelectNothingAndStayStored) {
    Support::WriteSetting("TargetFreq", std::int32_t(50000));
    Support::WriteSetting("mp2BitRate", std::int32_t(100));
    FrmMain& f = Open();
    EXPECT_EQ(f.ComboFreq.currentIndex(), -1);
    EXPECT_EQ(f.ComboBitRate[1].currentIndex(), -1);
    f.close();
    EXPECT_EQ(Support::ReadSetting("TargetFreq", std::int32_t(0)), "50000");
    EXPECT_EQ(Support::ReadSetting("mp2bitRate", std::int32_t(0)), "100");
}

TEST_F(Window, KeysAndClicksThatMustNotChangeTheList) {
    FrmMain& f = Open();
    f.AddFiles({Wav("a.wav", 8000, 0.1), Wav("b.wav", 8000, 0.1), Wav("c.wav", 8000, 0.1)}, 0);
    QWidget* rows = f.LV.PictureList();
    // Enter is no double click: after Ctrl+A it would empty the list.
    QTest::keyClick(&f.LV, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&f.LV, Qt::Key_Return);
    QTest::keyClick(&f.LV, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(f.LV.ItemCount(), 3);

    // A right press selects the row under it, unless it is part of the selection already.
    // The release opens the list's menu: it is read and closed from inside.
    const auto rightClick = [&](int pRow) {
        const QPoint at = RowPoint(f, pRow);
        bool removeOffered = false;
        QTimer::singleShot(0, &f, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* action : menu->actions())
                if (action->text() == QStringLiteral("選択した行を削除")) removeOffered = action->isEnabled();
            menu->close();
        });
        QTest::mousePress(rows, Qt::RightButton, {}, at);
        QTest::mouseRelease(rows, Qt::RightButton, {}, at);
        return removeOffered;
    };
    EXPECT_TRUE(rightClick(1));
    EXPECT_EQ(f.LV.NumSelectedItems(), 3) << "pressed inside the selection";
    f.LV.UnSelectAll();
    f.LV.SelectedItem(0);
    const bool removeOffered = rightClick(2);
    EXPECT_EQ(f.LV.NumSelectedItems(), 1);
    EXPECT_EQ(f.LV.IsSelected(2), 1);
    EXPECT_EQ(f.LV.SelectedItem(), 2);
    EXPECT_TRUE(removeOffered);
    EXPECT_EQ(f.LV.ItemCount(), 3);

    // The bar shows progress only: a click while idle leaves it at 0.
    QTest::mouseClick(&f.ProgBar, Qt::LeftButton, {}, QPoint(f.ProgBar.width() / 2, 3));
    EXPECT_EQ(f.ProgBar.Value(), 0);
}

// Records the status lines each time the panel really paints: a line stored without a paint
// never reaches the screen.
class PaintedLines : public QObject {
public:
    explicit PaintedLines(UC_TextPicture& pPanel)
        : c_Panel(pPanel) {
        pPanel.installEventFilter(this);
    }
    std::vector<std::pair<std::string, std::string>> Seen;
    [[nodiscard]] bool Painted(const std::string& pLine0, const std::string& pLine1) const {
        return std::find(Seen.begin(), Seen.end(), std::pair(pLine0, pLine1)) != Seen.end();
    }

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Paint)
            Seen.emplace_back(c_Panel.TextMes(0).toStdString(), c_Panel.TextMes(1).toStdString());
        return false;
    }

private:
    UC_TextPicture& c_Panel;
};

TEST_F(Window, EveryStepOfARowIsPaintedWhileItRuns) {
    const std::string song = Dir / "song.mp3";
    ASSERT_TRUE(AppTestFiles::MakeMp3(song, 6, true));
    // One row at a time on the window's own thread, each step shown as it comes.
    Support::WriteSetting("Jobs", std::int32_t(1));
    FrmMain& f = Open();
    f.AddFiles({song}, 0);
    const std::string out = Dir.Path() + "/out/";
    std::filesystem::create_directory(out);
    f.TextSoundPath.Text(QString::fromStdString(out));
    Choose(f.ComboFreq, QStringLiteral("22050"));
    Click(f.CheckEncmp3);
    f.ComboBitRate[0].setCurrentIndex(f.ComboBitRate[0].findText(QStringLiteral("64")));
    // A finished run's last line must not be what the panel shows while the next one works.
    f.PictureInfo.DispMes(0, QStringLiteral("Done."));
    PaintedLines panel(f.PictureInfo);
    f.CtrButtons_ButtonClicked(2);
    EXPECT_TRUE(panel.Painted("Stripping...", song));
    EXPECT_TRUE(panel.Painted("Decording...", song));
    EXPECT_TRUE(panel.Painted("44100Hz/16bit/2ch ⇒ 22050Hz/16bit/2ch", out + "~conv.wav"));
    EXPECT_TRUE(panel.Painted("Encoding...", out + "song.mp3"));
    EXPECT_TRUE(std::filesystem::exists(out + "song.mp3"));
}

TEST_F(Window, AFailedRowSaysWhyInItsToolTip) {
    FrmMain& f = Open();
    const std::string broken = Dir / "broken.ogg";
    TestFiles::WriteFile(broken, TestFiles::Bytes(5000, 0x41));
    f.AddFiles({broken, Wav("fine.wav", 8000, 0.2)}, 0);
    f.CtrButtons_ButtonClicked(2);
    ASSERT_EQ(f.LV.IconType(0), 10);
    const auto toolTip = [&](int pRow) {
        return TestApp::ToolTipAt(*f.LV.PictureList(), RowPoint(f, pRow)).toStdString();
    };
    EXPECT_EQ(toolTip(0), "変換できませんでした: " + FailReasonTextJa(FailReason::CannotDecode));
    EXPECT_EQ(toolTip(1), "");
    // Once it goes through, the mark and the reason go.
    TestFiles::WriteFile(broken, ToneWav(1, 8000, 0.2));
    f.CtrButtons_ButtonClicked(2);
    EXPECT_EQ(f.LV.IconType(0), 0);
    EXPECT_EQ(toolTip(0), "");
}

// Relative luminance of a colour, as contrast ratios are figured.
double Luminance(QRgb pColor) {
    const auto channel = [](int pValue) {
        const double c = pValue / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(pColor)) + 0.7152 * channel(qGreen(pColor)) +
           0.0722 * channel(qBlue(pColor));
}

TEST_F(Window, TheHintIsForAnEmptyIdleListAndAFailureLineLastsUntilClearOrStart) {
    FrmMain& f = Open();
    const QString hint = QString::fromStdString(FrmMain::IdleHint());
    const auto line = [&] { return f.PictureInfo.TextMes(0); };
    EXPECT_EQ(line(), hint);

    const std::string good = Wav("good.wav", 8000, 0.2);
    f.AddFiles({good}, 0);
    EXPECT_TRUE(line().isEmpty()) << "a listed file needs no hint";
    const QImage empty = f.PictureInfo.grab().toImage();
    f.LV.SelectAll();
    QTest::keyClick(f.LV.PictureList(), Qt::Key_Delete);
    EXPECT_EQ(line(), hint);
    // The hint reads on the panel: its brightest ink against the panel's lightest grey.
    const QImage shown = f.PictureInfo.grab().toImage();
    ASSERT_EQ(shown.size(), empty.size());
    double ink = 0;
    double panel = 0;
    for (int y = 2; y < shown.height() - 2; ++y)
        for (int x = 2; x < shown.width() - 2; ++x) {
            panel = std::max(panel, Luminance(empty.pixel(x, y)));
            if (shown.pixel(x, y) != empty.pixel(x, y)) ink = std::max(ink, Luminance(shown.pixel(x, y)));
        }
    EXPECT_GE((ink + 0.05) / (panel + 0.05), 4.5);

    // A run with a failure ends on the failure line; the next Start puts it away at once.
    f.AddFiles({Dir / "gone.wav", good}, 0);
    std::filesystem::remove(Dir / "gone.wav");
    f.TextSoundPath.Text(QString::fromStdString(Dir.Path()));
    f.CtrButtons_ButtonClicked(2);
    EXPECT_EQ(line().toStdString(), FrmMain::FailedLine(1));
    QString duringRun;
    QTimer::singleShot(0, &f, [&] { duringRun = line(); });
    f.CtrButtons_ButtonClicked(2);
    EXPECT_NE(duringRun.toStdString(), FrmMain::FailedLine(1));
    EXPECT_EQ(line().toStdString(), FrmMain::FailedLine(1));
    // Clear empties the list: the hint takes the failure line's place.
    f.CtrButtons_ButtonClicked(0);
    EXPECT_EQ(line(), hint);
}

TEST_F(Window, TheWindowGrowsAroundItsListAndKeepsItsSize) {
    FrmMain& f = Open();
    const QSize smallest = f.size();
    EXPECT_EQ(f.minimumSize(), smallest) << "the design is the smallest size";
    const QRect list = f.LV.geometry();
    const QRect path = f.TextSoundPath.geometry();
    const QRect buttons = f.CtrButtons.geometry();
    const QRect mp3 = f.CheckEncmp3.geometry();
    f.resize(760, 580);
    QCoreApplication::processEvents();
    const QSize extra = QSize(760, 580) - smallest;
    for (const auto& [widget, widthBefore] : std::initializer_list<std::pair<QWidget*, int>>{
             {&f.PictureInfo, list.width()}, {&f.ProgBar, list.width()}, {&f.LV, list.width()}})
        EXPECT_EQ(widget->width(), widthBefore + extra.width()) << widget->metaObject()->className();
    EXPECT_EQ(f.LV.height(), list.height() + extra.height());
    EXPECT_EQ(f.TextSoundPath.width(), path.width() + extra.width());
    EXPECT_EQ(f.CtrButtons.geometry(), buttons.translated(extra.width(), extra.height()));
    EXPECT_EQ(f.CheckEncmp3.geometry(), mp3.translated(0, extra.height())) << "left controls keep their left";
    EXPECT_EQ(f.LV.TabRight(2), f.LV.RowsWidthBesideBar()) << "the last column takes the spare width";
    f.resize(300, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.size(), smallest);
    f.resize(760, 580);
    f.close();
    // Kept beside the placement, in its twips (within the offscreen screen of 800 pixels).
    EXPECT_EQ(Support::ReadSetting("WindowWidth", std::int32_t(0)), "11400");
    EXPECT_EQ(Support::ReadSetting("WindowHeight", std::int32_t(0)), "8700");
    Form.reset();
    EXPECT_EQ(Open().size(), QSize(760, 580));
}

TEST_F(Window, ARunFromTheCommandLineSaysHowItWentAndExitsWithItsStatus) {
    const std::string out = Dir.Path() + "/out/";
    std::filesystem::create_directory(out);
    Support::WriteSetting("SoundPath", out);
    Support::WriteSetting("TargetFreq", std::int32_t(22050));
    const std::string good = Wav("good.wav", 8000, 0.3);
    const std::string broken = Dir / "broken.ogg";
    TestFiles::WriteFile(broken, TestFiles::Bytes(3000, 0x41));
    struct Case {
        std::vector<std::string> Files;
        int Status;
        std::string Notice;
    };
    const Case cases[] = {
        {{good, broken}, 1, FrmMain::RunSummary(1, 0, 1, {out + "good.wav"})},
        {{good}, 0, FrmMain::RunSummary(1, 0, 0, {out + "good01.wav"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Status);
        std::vector<const char*> args{"tolvane"};
        for (const std::string& file : c.Files)
            args.push_back(file.c_str());
        Support::SetCommandLine(int(args.size()), args.data());
        std::vector<std::pair<QString, QString>> notices;
        const ScopedSeam poster =
            ScopedSeam::Swap(&DesktopNotice::SetPoster,
                             DesktopNotice::Poster([&](const QString& pSummary, const QString& pBody) {
                                 notices.emplace_back(pSummary, pBody);
                             }));
        FrmMain& f = Open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.isVisible(); }, 20000));
        const char* const alone[] = {"tolvane"};
        Support::SetCommandLine(1, alone);
        EXPECT_EQ(f.ExitStatus(), c.Status);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].second.toStdString(), c.Notice);
        Form.reset();
    }
    EXPECT_EQ(FrmMain::RunSummary(2, 1, 0, {"/a/x.wav", "/b/y.wav"}),
              "2 件を変換しました、1 件は変換不要でした\n出力先: それぞれ元のファイルと同じフォルダ");
}

TEST_F(Window, StartSaysSoWhenOutputsGoBesideTheirSources) {
    FrmMain& f = Open();
    const std::string song = Wav("song.wav", 8000, 0.2);
    f.AddFiles({song}, 0);
    const std::string missing = Dir / "no such folder/";
    f.TextSoundPath.Text(QString::fromStdString(missing));
    QString firstRow;
    QTimer::singleShot(0, &f, [&] { firstRow = f.PictureInfo.TextMes(0); });
    f.CtrButtons_ButtonClicked(2);
    EXPECT_EQ(firstRow.toStdString(), FrmMain::OutputsBesideSources(missing));
    EXPECT_TRUE(std::filesystem::exists(Dir / "song01.wav"));
    EXPECT_FALSE(std::filesystem::exists(missing));
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

TEST_F(Window, TheTagsBoxSitsBesideMp3FollowsItAndIsSaved) {
    FrmMain& f = Open();
    EXPECT_EQ(f.CheckCopyTags.Caption(), QStringLiteral("タグ"));
    EXPECT_EQ(f.CheckCopyTags.Value(), 1) << "tags are copied on a first start";
    EXPECT_NE(f.CheckCopyTags.Enabled(), 0);
    EXPECT_EQ(f.Options().CopyTags, 1);
    const QRect box = f.CheckCopyTags.geometry();
    const QRect rates = f.ComboBitRate[0].geometry();
    EXPECT_NEAR(box.center().y(), rates.center().y(), 1) << "on the mp3 line";
    EXPECT_GT(box.left(), rates.right() + f.fontMetrics().horizontalAdvance(QStringLiteral("kbps")))
        << "right of the rate and its kbps";
    EXPECT_LE(box.right(), f.width());
    EXPECT_FALSE(box.intersects(f.Combomp2mode.geometry()));

    Click(f.CheckCopyTags);
    EXPECT_EQ(f.CheckCopyTags.Value(), 0);
    EXPECT_EQ(f.Options().CopyTags, 0);
    Choose(f.ComboMode, QStringLiteral("Mono8bit"));
    EXPECT_EQ(f.CheckCopyTags.Enabled(), 0) << "no MP3, no tags";
    Choose(f.ComboMode, QStringLiteral("Stereo16bit"));
    EXPECT_NE(f.CheckCopyTags.Enabled(), 0);
    Click(f.CheckDecodeOnly);
    EXPECT_EQ(f.CheckCopyTags.Enabled(), 0);
    Click(f.CheckDecodeOnly);
    f.close();
    EXPECT_EQ(Support::ReadSetting("CopyTags", std::int32_t(9)), "0");
    Form.reset();
    EXPECT_EQ(Open().CheckCopyTags.Value(), 0);
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
    {
        const ScopedSeam dialog = ScopedSeam::Swap(
            &FrmMain::SetFilesDialogRunner,
            FrmMain::FilesDialogRunner([&](QWidget*, const QString&, const QString&, const QString& pFilter) {
                offered = pFilter;
                return QStringList{QString::fromStdString(a), QString::fromStdString(Dir / "d.ogg")};
            }));
        QTest::keyClick(&f, Qt::Key_O, Qt::ControlModifier);
    }
    EXPECT_TRUE(offered.contains(QStringLiteral("*.aif")));
    ASSERT_EQ(f.LV.ItemCount(), 5);
    EXPECT_EQ(f.LV.IconType(4), 0);
    f.LV.UnSelectAll();
    f.LV.SelectedItem(4);
    QTest::keyClick(f.LV.PictureList(), Qt::Key_Delete);
    EXPECT_EQ(f.LV.ItemCount(), 4);
}

TEST_F(Window, TheAddFilesDialogOpensWhereFilesWereLastAddedFrom) {
    const std::string song = Wav("song.wav", 8000, 0.1);
    QStringList folders;
    QStringList chosen{QString::fromStdString(song)};
    const ScopedSeam dialog = ScopedSeam::Swap(
        &FrmMain::SetFilesDialogRunner,
        FrmMain::FilesDialogRunner([&](QWidget*, const QString&, const QString& pFolder, const QString&) {
            folders.push_back(pFolder);
            return std::exchange(chosen, {});
        }));
    FrmMain& f = Open();
    QTest::keyClick(&f, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&f, Qt::Key_O, Qt::ControlModifier); // cancelled: the folder stays
    f.close();
    Form.reset();
    QTest::keyClick(&Open(), Qt::Key_O, Qt::ControlModifier);
    const QString dir = QString::fromStdString(Dir.Path());
    EXPECT_EQ(folders, (QStringList{QDir::homePath(), dir, dir})) << "home first, never the program folder";
}

TEST(QtJapanese, QtsOwnDialogsSpeakJapanese) {
    QApplication& app = TestApp::Instance();
    const std::string file = InstallQtJapanese(app);
    EXPECT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("開く(&O)"));
}

TEST_F(Window, DuringARunTheListKeepsItsRowsAndACloseWaitsForTheDriver) {
    Support::WriteSetting("Jobs", std::int32_t(1));
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

namespace {

// The window with a hand on the moment each row of a run of rows at once starts.
class HookedForm : public FrmMain {
public:
    std::function<void(int)> OnRowStarted;
    void RowStarted(int pRow) override {
        FrmMain::RowStarted(pRow);
        if (OnRowStarted) OnRowStarted(pRow);
    }
};

class RowsAtOnce : public Window {
protected:
    // Two songs with one base name in two folders, and a third file; outputs into one folder.
    std::vector<std::string> Sources() {
        std::filesystem::create_directories(Dir / "a");
        std::filesystem::create_directories(Dir / "b");
        const std::string first = Dir / "a/song.wav";
        const std::string second = Dir / "b/song.wav";
        TestFiles::WriteFile(first, ToneWav(2, 44100, 20));
        TestFiles::WriteFile(second, ToneWav(1, 48000, 3));
        return {first, second, Wav("c.wav", 32000, 2)};
    }
    std::map<std::string, TestFiles::Bytes> Outputs(const std::string& pFolder) const {
        std::map<std::string, TestFiles::Bytes> files;
        for (const auto& e : std::filesystem::directory_iterator(pFolder))
            files[e.path().filename().string()] = TestFiles::ReadFile(e.path().string());
        return files;
    }
    // Converts pFiles to 22050 Hz into pOut with pJobs rows at once, WAV or MP3.
    HookedForm& Convert(const std::vector<std::string>& pFiles, const std::string& pOut, int pJobs,
                        bool pMp3) {
        Form.reset();
        Support::WriteSetting("Jobs", std::int32_t(pJobs));
        HookedForm& f = Open<HookedForm>();
        f.AddFiles(pFiles, 0);
        std::filesystem::create_directories(pOut);
        f.TextSoundPath.Text(QString::fromStdString(pOut));
        Choose(f.ComboFreq, QStringLiteral("22050"));
        if (pMp3 != (f.CheckEncmp3.Value() == 1)) Click(f.CheckEncmp3);
        return f;
    }
};

TEST_F(RowsAtOnce, TheyMakeWhatOneAtATimeMakes) {
    const std::vector<std::string> files = Sources();
    for (const bool mp3 : {false, true}) {
        SCOPED_TRACE(mp3 ? "MP3" : "WAV");
        const std::string kind = mp3 ? "mp3" : "wav";
        Convert(files, Dir / ("one-" + kind), 1, mp3).CtrButtons_ButtonClicked(2);
        HookedForm& f = Convert(files, Dir / ("two-" + kind), 2, mp3);
        std::set<int> atWork;
        std::size_t most = 0;
        f.OnRowStarted = [&](int pRow) {
            atWork.insert(pRow);
            most = std::max<std::size_t>(most, std::size_t(f.LV.NumSelectedItems()));
        };
        f.CtrButtons_ButtonClicked(2);
        const auto one = Outputs(Dir / ("one-" + kind));
        const auto two = Outputs(Dir / ("two-" + kind));
        EXPECT_EQ(one.size(), 3u);
        EXPECT_TRUE(one == two) << "the same names and the same bytes";
        EXPECT_TRUE(one.count("song." + kind) && one.count("song01." + kind));
        EXPECT_EQ(atWork, (std::set<int>{0, 1, 2}));
        EXPECT_EQ(most, 2u) << "the rows at work are marked in the list";
        EXPECT_EQ(f.LV.NumSelectedItems(), 0);
        EXPECT_EQ(f.PictureInfo.TextMes(0).toStdString(), "Done.");
    }
}

// A row reads the options when it starts, as a row of its own does when it gets there; the target
// rate and mode are the run's, read at Start.
TEST_F(RowsAtOnce, OptionsChangedDuringTheRunReachTheRowsStartedAfterwards) {
    const std::vector<std::string> files = Sources();
    HookedForm& f = Convert(files, Dir / "out", 2, false);
    std::filesystem::create_directories(Dir / "later");
    // Once the second row is at work, the choices change: only the third row starts after that.
    f.OnRowStarted = [&](int pRow) {
        if (pRow != 1) return;
        f.TextSoundPath.Text(QString::fromStdString(Dir / "later"));
        Click(f.CheckEncmp3);
        Choose(f.ComboMode, QStringLiteral("Mono16bit"));
    };
    f.CtrButtons_ButtonClicked(2);
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Dir / "out/song.wav").Mode, 3);
    EXPECT_EQ(WaveMMIO::GetWaveInfo(Dir / "out/song01.wav").Mode, 3);
    EXPECT_TRUE(std::filesystem::exists(Dir / "later/c.mp3"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir / "later"), {}), 1);
}

TEST_F(RowsAtOnce, StopAndCloseEndEveryRowAtWorkAndLeaveNothingPartial) {
    std::vector<std::string> files;
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"})
        files.push_back(Wav(name, 48000, 60));
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "close" : "Stop");
        const std::string out = Dir / (close ? "closed" : "stopped");
        HookedForm& f = Convert(files, out, 2, true);
        std::set<int> started;
        f.OnRowStarted = [&](int pRow) {
            started.insert(pRow);
            if (pRow != 1) return;
            // Both rows are at work when the user asks; the answer waits for their next block.
            QTimer::singleShot(100, &f, [&, close] {
                if (close)
                    f.close();
                else
                    f.CtrButtons_ButtonClicked(1);
            });
        };
        f.CtrButtons_ButtonClicked(2);
        EXPECT_EQ(started, (std::set<int>{0, 1})) << "no row starts after the answer";
        EXPECT_EQ(f.Driver().Running, 0);
        EXPECT_TRUE(std::filesystem::is_empty(out)) << "no partial output and no temporaries";
        EXPECT_EQ(f.LV.NumSelectedItems(), 0);
        if (!close) continue;
        QTest::qWait(50);
        EXPECT_FALSE(f.isVisible()) << "closed once the rows had stopped";
        EXPECT_EQ(Support::ReadSetting("Jobs", std::int32_t(-1)), "2") << "and the settings were saved";
    }
}

} // namespace
