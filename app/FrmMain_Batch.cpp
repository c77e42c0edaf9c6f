// The window as the batch driver's host, and the way a close waits for the driver.
#include "app/BatchDriver.h"
#include "app/BatchFile.h"
#include "app/FrmMain.h"
#include "support/Log.h"
#include "support/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
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

void OnCloseSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here: the window learns of it through the pipe.
    [[maybe_unused]] const ssize_t written = ::write(g_SignalPipe[1], &byte, 1);
}

} // namespace

std::string FrmMain::FailedLine(int pCount) {
    return std::to_string(pCount) + " 件のファイルを変換できませんでした";
}

int FrmMain::ItemCount() const {
    return LV.ItemCount();
}

std::string FrmMain::SourcePath(int pRow) const {
    return LV.AuxID(pRow, 0).Text();
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
}

void FrmMain::DispMes(int pLine, const std::string& pText, bool pDontDraw) {
    PictureInfo.DispMes(pLine, QString::fromStdString(pText), pDontDraw ? -1 : 0);
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
    if (pResult.Outcome != RowOutcome::Failed) return;
    ++c_RunFailures;
    LV.IconType(pRow, 10);
    LV.ReDraw();
    Support::WriteLog("not converted: " + SourcePath(pRow) + ": " + pResult.Detail);
}

void FrmMain::CtrButtons_ButtonClicked(int pIndex) {
    const Busy busy(*this);
    if (pIndex == 2 && c_Driver->Running == 0 && ItemCount() > 0) {
        RunStarting();
        c_Driver->ButtonClicked(pIndex);
        RunEnded();
        return;
    }
    c_Driver->ButtonClicked(pIndex);
}

void FrmMain::RunStarting() {
    c_RunFailures = 0;
    // Each file is converted once: the rows must not move under the driver.
    LV.SortDisabled(1);
    // A progress bar cannot be a seek bar while it shows progress.
    ProgBar.Locked(1);
}

void FrmMain::RunEnded() {
    LV.SortDisabled(0);
    ProgBar.Locked(0);
    LV.ReDraw();
    // The end of a run says how many files failed instead of a plain "Done.".
    if (c_RunFailures > 0) PictureInfo.DispMes(0, QString::fromStdString(FailedLine(c_RunFailures)));
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
