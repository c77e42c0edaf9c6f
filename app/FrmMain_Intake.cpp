// Files into the list: drops anywhere on the window, the command line and the add-files dialog.
#include "app/BatchDriver.h"
#include "app/FrmMain.h"
#include "controls/DroppedFiles.h"
#include "engine/FCT_AudioInf.h"
#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/FormatMilliseconds.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>

#include <algorithm>
#include <array>
#include <utility>

namespace {

struct Accepted {
    const char* Extension;
    std::int32_t Icon;
};

// Extensions the list takes, and the icon each row gets.
constexpr std::array<Accepted, 23> kAccepted = {{
    {"wav", 1},
    {"mp1", 2},
    {"mp2", 3},
    {"mp3", 4},
    {"m4a", 0},
    {"mp4", 0},
    {"ogg", 0},
    {"aac", 0},
    {"asf", 5},
    {"wma", 5},
    {"m1v", 6},
    {"m2v", 6},
    {"mpg", 6},
    {"mpeg", 6},
    {"wmv", 7},
    {"asx", 7},
    {"aiff", 9},
    {"aif", 9},
    // Kinds of file people have today, decoded like the others through the media graph.
    {"flac", 0},
    {"opus", 0},
    {"oga", 0},
    {"webm", 0},
    {"mka", 0},
}};

int IconFor(const std::string& pPath) {
    const std::string extension = Support::Extension(pPath);
    for (const Accepted& accepted : kAccepted)
        if (extension == accepted.Extension) return accepted.Icon;
    return -1;
}

QString DialogFilter() {
    QString patterns;
    for (const Accepted& accepted : kAccepted)
        patterns += (patterns.isEmpty() ? QStringLiteral("*.") : QStringLiteral(" *.")) +
                    QString::fromLatin1(accepted.Extension);
    return QStringLiteral("音声・動画ファイル (%1);;すべてのファイル (*)").arg(patterns);
}

FrmMain::FilesDialogRunner& FilesDialog() {
    static FrmMain::FilesDialogRunner runner;
    return runner;
}

} // namespace

int FrmMain::AcceptedIcon(const std::string& pPath) {
    return IconFor(pPath);
}

FrmMain::FilesDialogRunner FrmMain::SetFilesDialogRunner(FilesDialogRunner pRunner) {
    return std::exchange(FilesDialog(), std::move(pRunner));
}

void FrmMain::AddTitle(const std::string& pFilename, int pIndex) {
    (void)pIndex; // the new row gets the new file's icon; no other row is touched
    const int icon = IconFor(pFilename);
    if (icon < 0) return;
    LV.AddItem(1);
    const AudioInfo info = FCT_AudioInf::GetAudioInfo(pFilename, 0, 1, 0);
    LV.IconType(-2, icon);
    LV.AuxID(-2, kPathAux, pFilename);
    LV.AuxID(-2, kLengthAux, std::int64_t(info.Milliseconds));
    LV.Value(-2, 0, Support::BaseName(pFilename));
    LV.Value(-2, 1, Support::FormatMilliseconds(info.Milliseconds, 0));
    LV.Value(-2, 2, info.Text);
}

void FrmMain::AddFiles(const std::vector<std::string>& pFiles, int pRow) {
    if (pFiles.empty()) return;
    const Busy busy(*this);
    SetWaitCursor(true);
    for (const std::string& file : pFiles) {
        QCoreApplication::processEvents();
        // One file that cannot be added does not keep the others out.
        Support::Trapped(0, [&] {
            AddTitle(file, pRow);
            return 0;
        });
    }
    LV.ReDraw();
    LV.SetVbarParm();
    UpdateIdleHint();
    SetWaitCursor(false);
}

void FrmMain::DeleteSelectedRows() {
    if (c_Driver->Running == 1) return;
    LV.DeleteSelected();
    LV.ReDraw();
    LV.SetVbarParm();
    UpdateIdleHint();
}

void FrmMain::ChooseFilesToAdd() {
    // A modal dialog in the middle of a run would hold the run up until it closes.
    if (c_Driver->Running == 1) return;
    const Busy busy(*this);
    const QString title = QStringLiteral("ファイルを追加");
    // Never the program folder, which start-up made the current one.
    const QString folder =
        !c_AddFolder.isEmpty() && QDir(c_AddFolder).exists() ? c_AddFolder : QDir::homePath();
    const QStringList files = FilesDialog()
                                  ? FilesDialog()(this, title, folder, DialogFilter())
                                  : QFileDialog::getOpenFileNames(this, title, folder, DialogFilter());
    if (!files.isEmpty()) c_AddFolder = QFileInfo(files.front()).absolutePath();
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(QFile::encodeName(file).toStdString());
    AddFiles(paths, LV.ItemCount());
}

// As in a file manager: the menu acts on the row under the pointer, unless that row is part of
// the selection already.
void FrmMain::SelectForMenu(float pY) {
    const int row = LV.YsItem(pY);
    if (row >= LV.ItemCount() || LV.IsSelected(row) == 1) return;
    LV.UnSelectAll();
    LV.SelectedItem(row);
    LV.ReDraw();
}

void FrmMain::ShowListMenu(const QPoint& pGlobal) {
    QMenu menu(this);
    QAction* add = menu.addAction(QStringLiteral("ファイルを追加..."));
    add->setShortcut(QKeySequence::Open);
    add->setEnabled(c_Driver->Running == 0);
    QAction* remove = menu.addAction(QStringLiteral("選択した行を削除"));
    remove->setShortcut(QKeySequence::Delete);
    remove->setEnabled(c_Driver->Running == 0 && LV.NumSelectedItems() > 0);
    const Busy busy(*this);
    QAction* chosen = menu.exec(pGlobal);
    if (chosen == add) ChooseFilesToAdd();
    if (chosen == remove) DeleteSelectedRows();
}

void FrmMain::BringToFront() {
    if (isActiveWindow()) return;
    raise();
    activateWindow();
}

void FrmMain::dragEnterEvent(QDragEnterEvent* pEvent) {
    BringToFront();
    if (HasDroppedFiles(*pEvent->mimeData())) pEvent->acceptProposedAction();
}

void FrmMain::dragMoveEvent(QDragMoveEvent* pEvent) {
    if (HasDroppedFiles(*pEvent->mimeData())) pEvent->acceptProposedAction();
}

void FrmMain::dropEvent(QDropEvent* pEvent) {
    const std::vector<std::string> files = DroppedFiles(*pEvent->mimeData());
    pEvent->acceptProposedAction();
    AddFiles(files, LV.ItemCount());
}
