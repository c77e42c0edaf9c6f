// The window as the batch driver's host, and the way a close waits for the driver.
#include "app/BatchDriver.h"
#include "app/BatchFile.h"
#include "app/DesktopNotice.h"
#include "app/FrmMain.h"
#include "controls/Palette.h"
#include "support/FileUtil.h"
#include "support/Log.h"
#include "support/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <set>
#include <unistd.h>

FrmMain::Busy::Busy(FrmMain& pForm)
    : c_Form(pForm) {
    ++c_Form.c_BusyDepth;
}

FrmMain::Busy::~Busy() {
    if (--c_Form.c_BusyDepth == 0) c_Form.CloseWhenIdle();
}

namespace {

int g_SignalPipe[2] = {-1, -1};

// The window's own lines (the hint, the failure count, where outputs go) must read on the panel:
// white has 4.5:1 against the lightest grey of the idle colour set.
constexpr std::int32_t kNoteColor = Palette::Rgb(255, 255, 255);

void OnCloseSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here: the window learns of it through the pipe.
    [[maybe_unused]] const ssize_t written = ::write(g_SignalPipe[1], &byte, 1);
}

} // namespace

std::string FrmMain::FailedLine(int pCount) {
    return std::to_string(pCount) + " 件のファイルを変換できませんでした";
}

std::string FrmMain::RunSummary(int pConverted, int pUnchanged, int pFailed,
                                const std::vector<std::string>& pOutputs) {
    std::string text = std::to_string(pConverted) + " 件を変換しました";
    if (pUnchanged > 0) text += "、" + std::to_string(pUnchanged) + " 件は変換不要でした";
    if (pFailed > 0) text += "、" + std::to_string(pFailed) + " 件は変換できませんでした";
    std::set<std::string> folders;
    for (const std::string& output : pOutputs)
        folders.insert(Support::FolderOf(output));
    if (folders.size() == 1) text += "\n出力先: " + *folders.begin();
    if (folders.size() > 1) text += "\n出力先: それぞれ元のファイルと同じフォルダ";
    return text;
}

std::string FrmMain::OutputsBesideSources(const std::string& pFolder) {
    return "出力フォルダ「" + pFolder + "」がないため、元のファイルと同じフォルダに出力します";
}

std::string FrmMain::IdleHint() {
    return "ここにファイルをドロップしてください（Ctrl+O でも追加できます）";
}

void FrmMain::ShowNote(const std::string& pText) {
    c_HintShown = false;
    PictureInfo.TextColor(0, kNoteColor);
    PictureInfo.DispMes(0, QString::fromStdString(pText), -1);
    PictureInfo.DispMes(1, QString(), -1);
    PictureInfo.Draw(-1);
}

void FrmMain::ClearStatus() {
    c_HintShown = false;
    PictureInfo.TextColor(0, -1);
    PictureInfo.DispMes(0, QString(), -1);
    PictureInfo.DispMes(1, QString(), -1);
    PictureInfo.Draw(-1);
}

// The hint is for an empty list while nothing runs; it goes as soon as a file is listed.
void FrmMain::UpdateIdleHint() {
    const bool wanted = LV.ItemCount() == 0 && c_Driver && c_Driver->Running == 0;
    if (wanted == c_HintShown) return;
    if (wanted)
        ShowNote(IdleHint());
    else
        ClearStatus();
    c_HintShown = wanted;
}

int FrmMain::ItemCount() const {
    return LV.ItemCount();
}

std::string FrmMain::SourcePath(int pRow) const {
    return LV.AuxID(pRow, kPathAux).Text();
}

void FrmMain::ShowRow(int pRow) {
    LV.UnSelectAll();
    LV.SelectedItem(pRow);
    LV.IsSelected(pRow, 1);
    LV.ShowSelected(1);
    LV.ReDraw();
}

void FrmMain::ClearRows() {
    LV.DeleteAll();
    LV.Refresh();
    UpdateIdleHint();
}

void FrmMain::DispMes(int pLine, const std::string& pText, bool pDontDraw) {
    if (pLine == 0) {
        c_HintShown = false;
        PictureInfo.TextColor(0, -1);
    }
    PictureInfo.DispMes(pLine, QString::fromStdString(pText), -1);
    // The panel is drawn whole: a line shown with the same text as before (the next row's
    // "~conv.wav") must still bring the new line above it to the screen.
    if (!pDontDraw) PictureInfo.Draw(-1);
}

void FrmMain::SetBusyColor(bool pBusy) {
    PictureInfo.SetColor(pBusy ? 1 : 0, 1);
}

void FrmMain::SetWaitCursor(bool pWait) {
    if (pWait) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++c_WaitCursors;
    } else if (c_WaitCursors > 0) {
        QApplication::restoreOverrideCursor();
        --c_WaitCursors;
    }
}

void FrmMain::SetProgress(int pValue) {
    ProgBar.Value(pValue);
}

void FrmMain::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

BatchOptions FrmMain::Options() const {
    BatchOptions o;
    o.TargetFreqText = ComboFreq.currentText().toStdString();
    o.TargetModeIndex = ComboMode.currentIndex();
    o.DecodeOnly = CheckDecodeOnly.Value();
    o.UseDither = CheckUseDither.Value();
    o.HighQuality = CheckHighQuality.Value();
    o.Encmp3Enabled = CheckEncmp3.Enabled() != 0;
    o.Encmp3 = CheckEncmp3.Value();
    o.Mp3BitRateText = ComboBitRate[0].currentText().toStdString();
    o.Encmp2Enabled = c_Mp2Available && CheckEncmp2.Enabled() != 0;
    o.Encmp2 = CheckEncmp2.Value();
    o.Mp2BitRateText = ComboBitRate[1].currentText().toStdString();
    o.Mp2ModeText = Combomp2mode.currentText().toStdString();
    o.SoundPathText = TextSoundPath.Text().toStdString();
    o.CopyTags = CheckCopyTags.Value();
    return o;
}

void FrmMain::ShowError(const std::string& pText) {
    const Busy busy(*this);
    (void)Support::ShowMessageCentered(pText, Support::vbCritical, std::string(), this);
}

void FrmMain::RunCommandFile(const std::string& pPath) {
    if (LaunchCommandFile(pPath) == 0) Support::WriteLog("cannot start the command file " + pPath, 1);
}

void FrmMain::CloseWindow() {
    close();
}

void FrmMain::RowFinished(int pRow, const RowResult& pResult) {
    if (pResult.Outcome == RowOutcome::Stopped) return;
    if (pResult.Outcome == RowOutcome::Unchanged) ++c_RunUnchanged;
    if (pResult.Outcome == RowOutcome::Converted || pResult.Outcome == RowOutcome::Queued) {
        ++c_RunConverted;
        c_RunOutputs.push_back(pResult.Output);
    }
    if (pResult.Outcome != RowOutcome::Failed) {
        // A row that failed before and now went through loses its mark.
        if (LV.IconType(pRow) == kFailedIcon) {
            LV.IconType(pRow, AcceptedIcon(SourcePath(pRow)));
            LV.AuxID(pRow, kReasonAux, std::string());
            LV.ReDraw();
        }
        return;
    }
    ++c_RunFailures;
    LV.IconType(pRow, kFailedIcon);
    LV.AuxID(pRow, kReasonAux, FailReasonTextJa(pResult.Reason, pResult.Place));
    LV.ReDraw();
    Support::WriteLog("not converted: " + SourcePath(pRow) + ": " + pResult.Detail);
}

void FrmMain::RowStarted(int pRow) {
    c_AtWork[pRow] = RowAtWork{};
    c_LastStarted = pRow;
    LV.IsSelected(pRow, 1);
    LV.ReDraw();
    ShowRowsAtWork();
}

void FrmMain::RowMessage(int pRow, int pLine, const std::string& pText) {
    // Line 1 of a row is its temporary or output file; the panel names the sources at work instead.
    if (pLine != 0) return;
    QMetaObject::invokeMethod(
        this,
        [this, pRow, text = pText] {
            const auto row = c_AtWork.find(pRow);
            if (row == c_AtWork.end()) return; // it ended meanwhile
            row->second.Step = text;
            ShowRowsAtWork();
        },
        Qt::QueuedConnection);
}

void FrmMain::RowProgress(int pRow, int pValue) {
    const std::lock_guard hold(c_ReportLock);
    c_Reported[pRow] = pValue;
    if (c_ReportPosted) return;
    c_ReportPosted = true;
    // The bar moves a few times a second: painting every block would take a worker's processor.
    QMetaObject::invokeMethod(
        this, [this] { QTimer::singleShot(kReportPeriodMs, this, [this] { TakeReports(); }); },
        Qt::QueuedConnection);
}

void FrmMain::TakeReports() {
    std::map<int, int> reported;
    {
        const std::lock_guard hold(c_ReportLock);
        reported.swap(c_Reported);
        c_ReportPosted = false;
    }
    for (const auto& [row, value] : reported)
        if (const auto atWork = c_AtWork.find(row); atWork != c_AtWork.end())
            atWork->second.Progress = std::max(atWork->second.Progress, value);
    ShowRunProgress();
}

void FrmMain::RowError(int, const std::string& pText) {
    QMetaObject::invokeMethod(
        this, [this, text = pText] { ShowError(text); }, Qt::QueuedConnection);
}

void FrmMain::RowEnded(int pRow) {
    c_AtWork.erase(pRow);
    ++c_RowsEnded;
    if (pRow >= 0 && std::size_t(pRow) < c_RowWeights.size())
        c_EndedWeight += c_RowWeights[std::size_t(pRow)];
    LV.IsSelected(pRow, 0);
    LV.ReDraw();
    ShowRowsAtWork();
}

// Line 0: the files done out of the total and the step of the row started last; line 1: the
// files at work.
void FrmMain::ShowRowsAtWork() {
    std::string done = std::to_string(c_RowsEnded) + "/" + std::to_string(c_RowWeights.size()) + " 件完了";
    if (const auto last = c_AtWork.find(c_LastStarted); last != c_AtWork.end() && !last->second.Step.empty())
        done += "　" + last->second.Step;
    std::string names;
    for (const auto& [row, work] : c_AtWork)
        names += (names.empty() ? "" : "、") + Support::BaseName(SourcePath(row));
    DispMes(0, done, true);
    DispMes(1, names, false);
    ShowRunProgress();
}

// The whole run by audio length: the rows that ended, and each row at work as far as the furthest
// report of its steps (a row's next step starts again from nothing).
void FrmMain::ShowRunProgress() {
    const double total = c_TotalWeight;
    double done = c_EndedWeight;
    for (const auto& [row, work] : c_AtWork)
        if (std::size_t(row) < c_RowWeights.size())
            done += c_RowWeights[std::size_t(row)] * std::clamp(work.Progress, 0, 1000) / 1000.0;
    const int value = total > 0 ? int(std::lround(1000.0 * std::min(done / total, 1.0))) : 0;
    if (value > ProgBar.Value()) SetProgress(value);
}

void FrmMain::CtrButtons_ButtonClicked(int pIndex) {
    const Busy busy(*this);
    if (pIndex == BatchDriver::kStart && c_Driver->Running == 0 && ItemCount() > 0) {
        RunStarting();
        c_Driver->ButtonClicked(pIndex);
        RunEnded();
        return;
    }
    c_Driver->ButtonClicked(pIndex);
}

void FrmMain::RunStarting() {
    c_RunFailures = 0;
    c_RunConverted = 0;
    c_RunUnchanged = 0;
    c_RunOutputs.clear();
    // The last run's failure line and the hint say nothing about this run.
    ClearStatus();
    const std::string folder = TextSoundPath.Text().toStdString();
    if (!folder.empty() && Support::FolderExists(folder) == 0) ShowNote(OutputsBesideSources(folder));
    // Each file is converted once: the rows must not move under the driver.
    LV.SortDisabled(1);
    // Rows at work are the selected ones.
    LV.UnSelectAll();
    c_AtWork.clear();
    c_LastStarted = -1;
    c_RowsEnded = 0;
    c_EndedWeight = 0;
    c_RowWeights.clear();
    c_TotalWeight = 0;
    for (int i = 0; i < ItemCount(); ++i) {
        // A file whose length is unknown counts as a minute.
        const double ms = LV.AuxID(i, kLengthAux).Number().value_or(0);
        c_RowWeights.push_back(ms > 0 ? ms : 60000.0);
        c_TotalWeight += c_RowWeights.back();
    }
}

void FrmMain::RunEnded() {
    LV.SortDisabled(0);
    LV.ReDraw();
    // The end of a run says how many files failed instead of a plain "Done.".
    if (c_RunFailures > 0) ShowNote(FailedLine(c_RunFailures));
    UpdateIdleHint();
    if (c_Driver->AutoExit == 1) {
        // A run from the command line closes the window: what it did is said on the way out.
        c_ExitStatus = c_RunFailures > 0 ? 1 : 0;
        DesktopNotice::Post(
            QStringLiteral("Tolvane"),
            QString::fromStdString(RunSummary(c_RunConverted, c_RunUnchanged, c_RunFailures, c_RunOutputs)));
    }
}

void FrmMain::closeEvent(QCloseEvent* pEvent) {
    if (c_Closing) {
        pEvent->accept();
        return;
    }
    if (c_Driver && c_Driver->Running == 1) c_Driver->Stop();
    // The driver must return first: it deletes the partial output and its temporary files.
    if (c_BusyDepth > 0 || (c_Driver && c_Driver->Running == 1)) {
        c_ClosePending = true;
        pEvent->ignore();
        return;
    }
    c_Closing = true;
    Unload();
    pEvent->accept();
}

void FrmMain::CloseWhenIdle() {
    if (!c_ClosePending || c_BusyDepth > 0) return;
    c_ClosePending = false;
    QTimer::singleShot(0, this, [this] { close(); });
}

void FrmMain::CloseOnSignals() {
    if (g_SignalPipe[0] < 0 && ::pipe2(g_SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    c_SignalNotifier = std::make_unique<QSocketNotifier>(g_SignalPipe[0], QSocketNotifier::Read);
    connect(c_SignalNotifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_SignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        close();
    });
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    // At a file-size limit a write should fail like on a full disk, not kill the program.
    ::signal(SIGXFSZ, SIG_IGN);
}
