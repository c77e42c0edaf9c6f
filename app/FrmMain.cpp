#include "app/FrmMain.h"

#include "app/BatchDriver.h"
#include "app/BatchFile.h"
#include "app/WindowChoices.h"
#include "controls/DroppedFiles.h"
#include "controls/FileList.h"
#include "controls/Palette.h"
#include "controls/QComboBoxAdapter.h"
#include "controls/Skin.h"
#include "engine/C_mp3acm.h"
#include "engine/WaveMMIO.h"
#include "engine/graph/PluginRegistry.h"
#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/Log.h"
#include "support/QtPlacementForm.h"
#include "support/Registration.h"
#include "support/Settings.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSocketNotifier>
#include <QTimer>

#include <cmath>

namespace {

constexpr float kInnerWidth = 7980;
constexpr float kMargin = 120;

// The window's design: left, top, width and height of each control in twips; start-up moves
// them next to each other and only the lefts and widths stay as designed.
struct Design {
    float Left;
    float Top;
    float Width;
    float Height;
};

int Pixels(float pTwips) {
    return int(std::lround(Support::ToPixels(pTwips)));
}

void SetDesign(QWidget& pControl, const Design& pDesign) {
    pControl.setGeometry(Pixels(pDesign.Left), Pixels(pDesign.Top), Pixels(pDesign.Width),
                         pDesign.Height > 0 ? Pixels(pDesign.Height) : pControl.sizeHint().height());
}

float LeftOf(const QWidget& pControl) {
    return Support::Px(float(pControl.x()));
}
float TopOf(const QWidget& pControl) {
    return Support::Px(float(pControl.y()));
}
float WidthOf(const QWidget& pControl) {
    return Support::Px(float(pControl.width()));
}
float HeightOf(const QWidget& pControl) {
    return Support::Px(float(pControl.height()));
}

// The placement a closing window leaves behind: a minimised window comes back normal, since on a
// desktop without a task bar a minimised window could not be found again.
class ClosingPlacement final : public PlacementForm {
public:
    explicit ClosingPlacement(QWidget& pWidget)
        : c_Form(pWidget) {}
    int WindowState() const override { return c_Form.WindowState() == 1 ? 0 : c_Form.WindowState(); }
    void WindowState(int pState) override { c_Form.WindowState(pState); }
    double Left() const override { return c_Form.Left(); }
    double Top() const override { return c_Form.Top(); }
    double Width() const override { return c_Form.Width(); }
    double Height() const override { return c_Form.Height(); }
    void Move(double pLeft, double pTop) override { c_Form.Move(pLeft, pTop); }
    void Width(double pWidth) override { c_Form.Width(pWidth); }
    void Height(double pHeight) override { c_Form.Height(pHeight); }
    double ScreenWidth() const override { return c_Form.ScreenWidth(); }
    double ScreenHeight() const override { return c_Form.ScreenHeight(); }

private:
    QtPlacementForm c_Form;
};

} // namespace

FrmMain::FrmMain(QWidget* pParent)
    : QWidget(pParent)
    , PictureInfo(this)
    , ProgBar(this)
    , ComboFreq(this)
    , ComboMode(this)
    , CheckDecodeOnly(this)
    , CheckUseDither(this)
    , CheckHighQuality(this)
    , LV(this)
    , ComboBitRate{QComboBox(this), QComboBox(this)}
    , CheckEncmp3(this)
    , CheckCopyTags(this)
    , CheckEncmp2(this)
    , Combomp2mode(this)
    , TextSoundPath(this)
    , CtrButtons(this) {
    setObjectName(QStringLiteral("FrmMain"));
    setAcceptDrops(true);
    setFocusPolicy(Qt::NoFocus);
    c_Mp2Available = !FindMp2Encoder().empty();
    // The list's device editors learn the names from the engine, which the controls do not know.
    UC_ListView::SetDeviceFiller([](ComboBox& pCombo, std::int32_t pIsIn) {
        WaveMMIO::LoadWaveDevToCombo(pCombo, pIsIn, std::string());
    });
}

FrmMain::~FrmMain() = default;

void FrmMain::Load() {
    // Until the switches are read, an error ends start-up as it would end the program.
    QDir::setCurrent(QString::fromStdString(Support::AppFolder()));
    Support::InitSettingsStore(Support::kProductTitle);
    setWindowTitle(QString::fromStdString(Support::AppTitle() + " - " + Support::kCompanyName));
    Support::LoadLogSwitches();

    const auto step = [](auto&& pStatement) {
        Support::Trapped(0, [&] {
            pStatement();
            return 0;
        });
    };
    step([&] {
        Support::CheckStartupLanguage();
        if (IntegerText(Support::ReadSetting("AltFont", std::int32_t(1))) == 1) Support::ChooseUiFont();
        Support::ApplyUiFont(this, -2);
    });
    step([&] {
        mp3enc = std::make_unique<C_mp3acm>();
        (void)mp3enc->Init();
        Support::WaitWithEvents(50, 10);
    });
    c_Driver = std::make_unique<BatchDriver>(*this, *mp3enc);
    const WindowChoices saved = LoadSavedChoices(c_Mp2Available);
    // With more than one job, even a single row goes to a worker: this thread only hands out rows.
    c_Jobs = saved.Jobs;
    c_Driver->Jobs(RowsAtOnce(c_Jobs));
    c_Driver->RowsOnWorkers(c_Jobs != 1);
    c_AddFolder = QString::fromStdString(Support::ReadSetting("AddFilesFolder", std::string()));
    step([] {
        Graph::InstallComponentRegistry();
        (void)Support::RegisterComponent(Support::kWavDestFile, 0, 0);
    });
    step([&] { BuildControls(saved); });
    step([&] { LayOut(); });
    step([&] { PaintBackground(); });
    step([&] {
        if (c_Mp2Available) {
            SetUpCheckBox(CheckEncmp2, "mp2", saved.Encmp2, 9, 1);
        } else {
            ComboBitRate[1].hide();
            Combomp2mode.hide();
            CheckEncmp2.hide();
        }
    });
    step([&] {
        CheckDecodeOnly_Click();
        CheckDecodeOnly.Draw();
    });
    step([&] { UpdateMp3BitRates(saved.Mp3BitRate); });
    step([&] {
        // The size comes back too, within the screen and never below the design.
        QtPlacementForm placement(*this);
        Support::LoadWindowPlacement(placement, "", false, false, false);
        if (const QScreen* screen = this->screen())
            resize(size().boundedTo(screen->availableGeometry().size()));
    });
    ConnectEvents();
    SetTabOrder();
    show();
    // Keys first reach the files: arrows, Delete, Ctrl+A.
    LV.setFocus();
    Support::WaitWithEvents(10, 5);

    for (const std::string& path : Support::ParseCommandLine()) {
        if (Support::FolderExists(path) != 0 || Support::FileExists(path) == 0) continue;
        step([&] { AddTitle(path, LV.ItemCount() - 1); });
    }
    // An empty panel says nothing to someone who has not used the program before.
    UpdateIdleHint();
    if (LV.ItemCount() > 0) {
        LV.Refresh();
        c_Driver->AutoExit = 1;
        // The run starts once the event loop turns, so the window is painted first.
        QTimer::singleShot(0, this, [this] { CtrButtons_ButtonClicked(BatchDriver::kStart); });
    }
}

void FrmMain::Unload() {
    SaveChoices(Options());
    // Written as read, so that the setting is there to be found and changed.
    Support::Trapped(0, [&] {
        Support::WriteSetting("Jobs", std::int32_t(c_Jobs));
        return 0;
    });
    if (!c_AddFolder.isEmpty())
        Support::Trapped(0, [&] {
            Support::WriteSetting("AddFilesFolder", c_AddFolder.toStdString());
            return 0;
        });
    Support::Trapped(0, [&] {
        const ClosingPlacement placement(*this);
        Support::SaveWindowPlacement(placement, "", false, false);
        return 0;
    });
    if (Support::ReleaseFontsAtExit() == 1) Support::ReleaseUiFonts();
}

void FrmMain::BuildControls(const WindowChoices& pSaved) {
    PictureInfo.AddStdColorSet(0);
    PictureInfo.AddStdColorSet(1);
    PictureInfo.AddTextSpace(9, 0, 0, "", 120, 105);
    PictureInfo.AddTextSpace(9, 0, 0, "", 120, 405);

    for (QComboBox* combo : {&ComboFreq, &ComboMode, &ComboBitRate[0], &ComboBitRate[1], &Combomp2mode}) {
        combo->setEditable(false);
        Support::ApplyUiFont(combo, -2);
    }
    QComboBoxAdapter freq(ComboFreq);
    WaveMMIO::LoadFreqToCombo(freq, IntegerText(pSaved.Freq).value_or(0), 0, 0);
    QComboBoxAdapter mode(ComboMode);
    WaveMMIO::LoadModeToCombo(mode, pSaved.Mode, WaveMode::kLastTarget);

    SetUpCheckBox(CheckDecodeOnly, "デコードのみ", pSaved.DecodeOnly, 9, 1);
    CheckUseDither.Gradhdc(CheckDecodeOnly.Gradhdc());
    CheckEncmp3.Gradhdc(CheckDecodeOnly.Gradhdc());
    CheckEncmp2.Gradhdc(CheckDecodeOnly.Gradhdc());
    CheckCopyTags.Gradhdc(CheckDecodeOnly.Gradhdc());
    SetUpCheckBox(CheckUseDither, "ディザ", pSaved.UseDither, 9, 1);
    CheckHighQuality.Gradhdc(CheckDecodeOnly.Gradhdc());
    SetUpCheckBox(CheckHighQuality, "高音質", pSaved.HighQuality, 9, 1);

    SetUpFileList(LV, 3);
    LV.CutToolTip(1);

    SetUpCheckBox(CheckEncmp3, "mp3", pSaved.Encmp3, 9, 1);
    SetUpCheckBox(CheckCopyTags, "タグ", pSaved.CopyTags, 9, 1);
    for (const std::string& rate : Mp2BitRateTexts())
        ComboBitRate[1].addItem(QString::fromStdString(rate));
    SelectComboText(ComboBitRate[1], pSaved.Mp2BitRate);
    for (const std::string& word : Mp2ModeTexts())
        Combomp2mode.addItem(QString::fromStdString(word));
    SelectComboText(Combomp2mode, pSaved.Mp2Mode);

    TextSoundPath.Usage(0);
    TextSoundPath.Init();
    TextSoundPath.Text(QString::fromStdString(pSaved.SoundPath));

    CtrButtons.DesignType(1);
    CtrButtons.NumButtons(3);
    CtrButtons.SetButtonChar(0, QStringLiteral("クリア"));
    CtrButtons.SetButtonChar(1, QStringLiteral("中止"));
    CtrButtons.SetButtonChar(2, QStringLiteral("開始"));
}

// The design is the smallest window. Room beyond it widens the status panel, the bar, the list
// and the path box, and lengthens the list; the rate and mode lists and the buttons keep to the
// right edge, and everything below the list keeps to the bottom.
void FrmMain::LayOut() {
    const QSize extra = c_MinSize.isValid() ? (size() - c_MinSize).expandedTo(QSize(0, 0)) : QSize(0, 0);
    const float wider = Support::Px(float(extra.width()));
    const float taller = Support::Px(float(extra.height()));
    const float inner = kInnerWidth + wider;
    const float gap = 90;
    const float right = inner - kMargin;
    SetDesign(PictureInfo, {kMargin, kMargin, inner - 2 * kMargin, 720});
    PictureInfo.Init(1, 0);
    ProgBar.setGeometry(0, 0, Pixels(inner - 2 * kMargin), Pixels(210));
    PlaceControl(ProgBar, PictureInfo, kBelow, -1, kOtherFromReference);
    // A calm blue fill reads at a glance against the grey track.
    ProgBar.BarColor(Palette::Rgb(98, 140, 206));
    // The window's bar only shows progress: a click must not move it.
    ProgBar.Locked(1);
    ProgBar.Init();

    SetDesign(ComboFreq, {4260 + wider, 0, 1320, 0});
    SetDesign(ComboMode, {right - 1740, 0, 1740, 0});
    PlaceControl(ComboFreq, ProgBar, kBelow, gap, kKeepOther);
    PlaceControl(ComboMode, ProgBar, kBelow, gap, kKeepOther);
    PlaceControl(CheckDecodeOnly, ComboFreq, kCentredBeside, 0, kOtherAtPosition, LeftOf(PictureInfo));
    CheckUseDither.move(Pixels(1920), CheckUseDither.y());
    PlaceControl(CheckUseDither, ComboFreq, kCentredBeside, 0, kKeepOther);
    PlaceControl(CheckHighQuality, CheckUseDither, kRightOf, 300, kOtherFromReference);

    SetDesign(LV, {kMargin, 0, inner - 2 * kMargin, 4320 + taller});
    PlaceControl(LV, ComboFreq, kBelow, gap, kOtherAtPosition, LeftOf(PictureInfo));
    // The last column takes the rows' spare width, never less than designed.
    const std::int32_t others = LV.TabWidth(0) + LV.TabWidth(1);
    LV.TabWidth(2, std::max(kFileListColumns[2].Width, LV.RowsWidthBesideBar() - others));
    LV.UserControl_Resize();

    SetDesign(ComboBitRate[0], {1080, 0, 1080, 0});
    PlaceControl(ComboBitRate[0], LV, kBelow, gap, kKeepOther);
    CheckEncmp3.move(Pixels(kMargin), 0);
    PlaceControl(CheckEncmp3, ComboBitRate[0], kCentredBeside, 0, kKeepOther);

    SetDesign(ComboBitRate[1], {1080, 0, 1080, 0});
    PlaceControl(ComboBitRate[1], ComboBitRate[0], kBelow, Support::Px(4), kKeepOther);
    CheckEncmp2.move(Pixels(kMargin), 0);
    PlaceControl(CheckEncmp2, ComboBitRate[1], kCentredBeside, 0, kKeepOther);
    SetDesign(Combomp2mode, {2760, 0, 1800, 0});
    PlaceControl(Combomp2mode, ComboBitRate[1], kCentredBeside, 0, kKeepOther);
    // Beside the MP3 rate and its "kbps", in the column of the MP2 mode list.
    CheckCopyTags.move(Combomp2mode.x(), 0);
    PlaceControl(CheckCopyTags, ComboBitRate[0], kCentredBeside, 0, kKeepOther);

    SetDesign(TextSoundPath, {0, 0, right - 2760, 300});
    PlaceControl(TextSoundPath, Combomp2mode, kBelow, Support::Px(8), kOtherFromReference);

    SetDesign(CtrButtons, {right - 5175, 0, 5175, 450});
    PlaceControl(CtrButtons, TextSoundPath, kBelow, Support::Px(8), kKeepOther);
    CtrButtons.Init();
    // Init fits the strip to whole buttons: keep its right edge where it was designed.
    CtrButtons.move(Pixels(right) - CtrButtons.width(), CtrButtons.y());

    if (!c_MinSize.isValid()) {
        c_MinSize = QSize(Pixels(kInnerWidth), CtrButtons.y() + CtrButtons.height() + Pixels(Support::Px(8)));
        setMinimumSize(c_MinSize);
        resize(c_MinSize);
    }
}

void FrmMain::PaintBackground() {
    c_Background = Skin::MakeSurface(size(), this);
    QPainter painter(&c_Background);
    Skin::PaintSkin(painter, rect(), Skin::kBackground);
    Skin::PaintSkin(painter, rect(), Skin::kFaceQuiet);
    painter.end();
    for (UC_Check* check :
         {&CheckDecodeOnly, &CheckUseDither, &CheckHighQuality, &CheckEncmp3, &CheckCopyTags, &CheckEncmp2})
        check->SetBGPic(LeftOf(*check), TopOf(*check), &c_Background);
    update();
}

void FrmMain::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!c_Background.isNull()) painter.drawPixmap(0, 0, c_Background);
    painter.setFont(font());
    painter.setPen(Palette::SystemColor(Palette::kWindowText));
    PrintCaptionNear(painter, ComboFreq, QStringLiteral("Hz"), kCaptionRightTop, 0, 0);
    PrintCaptionNear(painter, ComboBitRate[0], QStringLiteral("kbps"), kCaptionRightTop, 0, 0);
    PrintCaptionNear(painter, TextSoundPath, QStringLiteral("出力フォルダ"), kCaptionLeftTop, 0, 0);
}

void FrmMain::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    if (!c_MinSize.isValid()) return;
    LayOut();
    PaintBackground();
}

void FrmMain::PlaceControl(QWidget& pControl, const QWidget& pReference, int pPlacement, float pGap,
                           int pAlign, float pPosition) {
    const float gap = pGap == -1 ? Support::Px(2) : pGap;
    float left = LeftOf(pControl);
    float top = TopOf(pControl);
    const float refLeft = LeftOf(pReference);
    const float refTop = TopOf(pReference);
    switch (pPlacement) {
    case kBelow:
        top = refTop + HeightOf(pReference) + gap;
        if (pAlign == kOtherFromReference) left = refLeft;
        if (pAlign == kOtherAtPosition) left = pPosition;
        break;
    case kRightOf:
        left = refLeft + WidthOf(pReference) + gap;
        if (pAlign == kOtherFromReference) top = refTop;
        if (pAlign == kOtherAtPosition) top = pPosition;
        break;
    case kCentredBeside:
        top = refTop + HeightOf(pReference) / 2 - HeightOf(pControl) / 2;
        if (pAlign == kOtherFromReference) left = refLeft;
        if (pAlign == kOtherAtPosition) left = pPosition;
        break;
    case kRightEdgesAligned:
        left = refLeft + WidthOf(pReference) - WidthOf(pControl) + gap;
        if (pAlign == kOtherFromReference) top = refTop + HeightOf(pReference) + gap;
        if (pAlign == kOtherAtPosition) top = pPosition;
        break;
    default:
        return;
    }
    pControl.move(Pixels(left), Pixels(top));
}

void FrmMain::SetUpCheckBox(UC_Check& pCheck, const std::string& pCaption, std::int32_t pValue,
                            float pFontSize, float pSizeRate) {
    // The window's background picture reaches the boxes in PaintBackground, once it is painted
    // and the boxes stand where they stay.
    pCheck.FontSize(pFontSize);
    pCheck.SizeRate(pSizeRate);
    pCheck.Caption(QString::fromStdString(pCaption));
    pCheck.Value(pValue);
}

void FrmMain::PrintCaptionNear(QPainter& pPainter, const QWidget& pControl, const QString& pText,
                               int pPlacement, float pDx, float pDy) const {
    if (pControl.isHidden()) return;
    const QFontMetrics metrics(pPainter.font());
    const float l = LeftOf(pControl);
    const float t = TopOf(pControl);
    const float w = WidthOf(pControl);
    const float h = HeightOf(pControl);
    const float tw = Support::Px(float(metrics.horizontalAdvance(pText)));
    const float th = Support::Px(float(metrics.height()));
    float left = 0;
    float top = 0;
    switch (pPlacement) {
    case kCaptionLeftTop:
        left = l - tw - 90;
        top = t + 60;
        break;
    case kCaptionAboveLeft:
        left = l + 30;
        top = t - th - 30;
        break;
    case kCaptionRightTop:
        left = l + w + 30;
        top = t + 60;
        break;
    case kCaptionAboveCentred:
        left = l + w / 2 - tw / 2;
        top = t - th - 30;
        break;
    case kCaptionBelowLeft:
        left = l + 30;
        top = t + h + 30;
        break;
    case kCaptionBelowRight:
        left = l + w - tw;
        top = t + h + 30;
        break;
    case kCaptionLeftCentred:
        left = l - tw - 90;
        top = t + (h - th) / 2;
        break;
    case kCaptionRightCentred:
        left = l + w + 30;
        top = t + (h - th) / 2;
        break;
    default:
        return;
    }
    pPainter.drawText(QPointF(Support::ToPixels(left + pDx), Support::ToPixels(top + pDy) + metrics.ascent()),
                      pText);
}

void FrmMain::SelectComboText(QComboBox& pCombo, const std::string& pText) {
    pCombo.setCurrentIndex(-1);
    const QString text = QString::fromStdString(pText);
    for (int i = 0; i < pCombo.count(); ++i)
        if (pCombo.itemText(i) == text) pCombo.setCurrentIndex(i);
}

void FrmMain::UpdateMp3BitRates(std::int32_t pPreferred) {
    bool possible = ComboMode.isEnabled() && (ComboMode.currentIndex() == 2 || ComboMode.currentIndex() == 3);
    if (possible && mp3enc) {
        const std::int32_t select =
            pPreferred != 0 ? pPreferred
                            : IntegerText(ComboBitRate[0].currentText().toStdString()).value_or(0);
        QComboBoxAdapter rates(ComboBitRate[0]);
        mp3enc->LoadBitRateToCombo(rates, IntegerText(ComboFreq.currentText().toStdString()).value_or(0),
                                   ComboMode.currentIndex(), select);
    } else {
        ComboBitRate[0].clear();
    }
    if (ComboBitRate[0].count() == 0) possible = false;
    CheckEncmp3.Enabled(possible ? -1 : 0);
    CheckCopyTags.Enabled(possible ? -1 : 0);
    ComboBitRate[0].setEnabled(possible);
}

void FrmMain::CheckDecodeOnly_Click() {
    const bool enabled = CheckDecodeOnly.Value() == 0;
    ComboFreq.setEnabled(enabled);
    ComboMode.setEnabled(enabled);
    CheckUseDither.Enabled(enabled ? -1 : 0);
    CheckHighQuality.Enabled(enabled ? -1 : 0);
    ComboBitRate[1].setEnabled(enabled);
    Combomp2mode.setEnabled(enabled);
    CheckEncmp2.Enabled(enabled ? -1 : 0);
    UpdateMp3BitRates(0);
}

void FrmMain::CheckEncmp3_Click() {
    if (CheckEncmp3.Value() == 1 && CheckEncmp2.Value() == 1) CheckEncmp2.Value(0);
}

void FrmMain::CheckEncmp2_Click() {
    if (CheckEncmp2.Value() == 1 && CheckEncmp3.Value() == 1) CheckEncmp3.Value(0);
}

void FrmMain::SetTabOrder() {
    // The order the eye reads the window in: options, list, encoders, folder, buttons.
    QWidget* const chain[] = {
        &CheckDecodeOnly, &CheckUseDither,  &ComboFreq,     &ComboMode,   &LV,
        &CheckEncmp3,     &ComboBitRate[0], &CheckCopyTags, &CheckEncmp2, &ComboBitRate[1],
        &Combomp2mode,    &TextSoundPath,   &CtrButtons};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    // Moved in behind the dither box, where it stands on the screen.
    setTabOrder(&CheckUseDither, &CheckHighQuality);
}

void FrmMain::ConnectEvents() {
    // The rules follow what the user does; start-up's own selections do not run them early.
    connect(&ComboFreq, &QComboBox::activated, this, [this] { UpdateMp3BitRates(0); });
    connect(&ComboMode, &QComboBox::activated, this, [this] { UpdateMp3BitRates(0); });
    connect(&CheckDecodeOnly, &UC_Check::Click, this, [this] { CheckDecodeOnly_Click(); });
    connect(&CheckEncmp3, &UC_Check::Click, this, [this] { CheckEncmp3_Click(); });
    connect(&CheckEncmp2, &UC_Check::Click, this, [this] { CheckEncmp2_Click(); });
    connect(&CtrButtons, &UC_Buttons::ButtonClicked, this,
            [this](std::int16_t pIndex) { CtrButtons_ButtonClicked(pIndex); });
    connect(&LV, &UC_ListView::DblClicked, this, [this] { DeleteSelectedRows(); });
    connect(&LV, &UC_ListView::KeyDeletePressed, this, [this] { DeleteSelectedRows(); });
    connect(&LV, &UC_ListView::OLEDragOver, this, [this] { BringToFront(); });
    connect(&LV, &UC_ListView::OLEDragDrop, this,
            [this](const QMimeData* pData, std::int32_t&, std::int16_t, std::int16_t, float, float pY) {
                if (pData != nullptr) AddFiles(DroppedFiles(*pData), LV.YsItem(pY));
            });
    connect(&PictureInfo, &UC_TextPicture::OLEDragDrop, this,
            [this](const std::vector<std::string>& pFiles, std::int32_t, std::int16_t, std::int16_t, float,
                   float) { AddFiles(pFiles, LV.ItemCount()); });
    connect(&LV, &UC_ListView::MouseDown, this, [this](std::int16_t pButton, std::int16_t, float, float pY) {
        if (pButton == 2) SelectForMenu(pY);
    });
    connect(&LV, &UC_ListView::RightClicked, this, [this](float, float) { ShowListMenu(QCursor::pos()); });
    connect(&LV, &UC_ListView::ToolTipText, this, [this](std::int32_t pItem, std::int32_t, QString& pText) {
        const QString reason = QString::fromStdString(LV.AuxID(pItem, kReasonAux).Text());
        if (!reason.isEmpty())
            pText = QStringLiteral("変換できませんでした: ") + reason +
                    (pText.isEmpty() ? QString() : u'\n' + pText);
    });

    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, [this] { ChooseFilesToAdd(); });
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* start = new QShortcut(keys, this);
        connect(start, &QShortcut::activated, this,
                [this] { CtrButtons_ButtonClicked(BatchDriver::kStart); });
    }
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, [this] {
        if (c_Driver->Running == 1) CtrButtons_ButtonClicked(BatchDriver::kStop);
    });
}
