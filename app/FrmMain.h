#pragma once

#include "app/BatchHost.h"
#include "controls/UC_Bar.h"
#include "controls/UC_Buttons.h"
#include "controls/UC_Check.h"
#include "controls/UC_ListView.h"
#include "controls/UC_PathText.h"
#include "controls/UC_TextPicture.h"

#include <QComboBox>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class BatchDriver;
class C_mp3acm;
class QMimeData;
class QSocketNotifier;
struct WindowChoices;

// The program's only window: start-up, the option rules, shut-down, the file intake and the
// host side of the batch driver. The controls keep the window's names.
class FrmMain : public QWidget, public ParallelBatchHost {
    Q_OBJECT
public:
    explicit FrmMain(QWidget* pParent = nullptr);
    ~FrmMain() override;
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;

    // Start-up, after the single-instance check: everything up to showing the window and
    // listing the command line's files, whose run is started once the event loop turns.
    void Load();
    // Shut-down: the settings and the placement are written.
    void Unload();

    // The option rules.
    void UpdateMp3BitRates(std::int32_t pPreferred);
    void CheckDecodeOnly_Click();
    void CheckEncmp3_Click();
    void CheckEncmp2_Click();

    // Adds one file to the list when its extension is accepted.
    void AddTitle(const std::string& pFilename, int pIndex);
    // Files dropped or chosen: added in order, at the row under the drop point; repainted once.
    void AddFiles(const std::vector<std::string>& pFiles, int pRow);
    // Removes the selected rows unless a run is going.
    void DeleteSelectedRows();
    // The file dialog of "ファイルを追加..." and Ctrl+O.
    void ChooseFilesToAdd();
    // Shows the multi-select open dialog and returns the chosen files (none when cancelled). Tests
    // answer it instead; an empty function returns to the real dialog. Returns the previous one.
    using FilesDialogRunner = std::function<QStringList(QWidget* pOwner, const QString& pTitle,
                                                        const QString& pFolder, const QString& pFilter)>;
    static FilesDialogRunner SetFilesDialogRunner(FilesDialogRunner pRunner);

    // Where PlaceControl puts a control beside its reference: below it, right of it, centred on
    // its height beside it, or with the right edges aligned; and what becomes of the coordinate
    // it does not compute: kept, taken from the reference, or set to the given position.
    enum Placement : int { kBelow = 0, kRightOf = 1, kCentredBeside = 2, kRightEdgesAligned = 3 };
    enum Alignment : int { kKeepOther = 0, kOtherFromReference = 1, kOtherAtPosition = 2 };
    // Where PrintCaptionNear writes its text beside the control, and how it lines up with it.
    enum CaptionPlace : int {
        kCaptionLeftTop = 0,
        kCaptionAboveLeft = 1,
        kCaptionRightTop = 2,
        kCaptionAboveCentred = 3,
        kCaptionBelowLeft = 4,
        kCaptionBelowRight = 5,
        kCaptionLeftCentred = 6,
        kCaptionRightCentred = 7,
    };

    // Layout routines, in twips.
    void PlaceControl(QWidget& pControl, const QWidget& pReference, int pPlacement, float pGap, int pAlign,
                      float pPosition = 0);
    void SetUpCheckBox(UC_Check& pCheck, const std::string& pCaption, std::int32_t pValue, float pFontSize,
                       float pSizeRate);
    void PrintCaptionNear(QPainter& pPainter, const QWidget& pControl, const QString& pText, int pPlacement,
                          float pDx, float pDy) const;
    static void SelectComboText(QComboBox& pCombo, const std::string& pText);

    // The batch driver's window.
    [[nodiscard]] int ItemCount() const override;
    [[nodiscard]] std::string SourcePath(int pRow) const override;
    void ShowRow(int pRow) override;
    void ClearRows() override;
    void DispMes(int pLine, const std::string& pText, bool pDontDraw) override;
    void SetBusyColor(bool pBusy) override;
    void SetWaitCursor(bool pWait) override;
    void SetProgress(int pValue) override;
    void DoEvents() override;
    [[nodiscard]] BatchOptions Options() const override;
    void ShowError(const std::string& pText) override;
    void RunCommandFile(const std::string& pPath) override;
    void CloseWindow() override;
    void RowFinished(int pRow, const RowResult& pResult) override;
    // Rows at work at once: marked in the list, counted and named in the status panel, and
    // weighed by their length on the progress bar. The workers' reports reach the widgets
    // through the event loop.
    void RowStarted(int pRow) override;
    void RowMessage(int pRow, int pLine, const std::string& pText) override;
    void RowProgress(int pRow, int pValue) override;
    void RowError(int pRow, const std::string& pText) override;
    void RowEnded(int pRow) override;

    [[nodiscard]] BatchDriver& Driver() noexcept { return *c_Driver; }
    // Whether the external MP2 encoder was found (tests decide it before Load).
    void Mp2Available(bool pValue) noexcept { c_Mp2Available = pValue; }

    // Closing waits for the running driver and for handlers that let events through.
    [[nodiscard]] bool ClosePending() const noexcept { return c_ClosePending; }
    // The program's exit status: 1 when a run started from the command line left a file
    // unconverted, else 0.
    [[nodiscard]] int ExitStatus() const noexcept { return c_ExitStatus; }
    // SIGTERM, SIGINT and SIGHUP close the window as its close button does.
    void CloseOnSignals();

    UC_TextPicture PictureInfo;
    UC_Bar ProgBar;
    QComboBox ComboFreq;
    QComboBox ComboMode;
    UC_Check CheckDecodeOnly;
    UC_Check CheckUseDither;
    UC_Check CheckHighQuality;
    UC_ListView LV;
    std::array<QComboBox, 2> ComboBitRate;
    UC_Check CheckEncmp3;
    // "タグ": MP3 outputs carry the source's tags; usable whenever MP3 is.
    UC_Check CheckCopyTags;
    UC_Check CheckEncmp2;
    QComboBox Combomp2mode;
    UC_PathText TextSoundPath;
    UC_Buttons CtrButtons;

    // Clear, Stop and Start, as the buttons and their keys press them.
    void CtrButtons_ButtonClicked(int pIndex);

    // The last status line of a run in which rows failed, in place of "Done.".
    [[nodiscard]] static std::string FailedLine(int pCount);
    // What Start says when the output folder box names no folder.
    [[nodiscard]] static std::string OutputsBesideSources(const std::string& pFolder);
    // What an empty list says while nothing runs.
    [[nodiscard]] static std::string IdleHint();
    // The desktop notification at the end of a run started from the command line.
    [[nodiscard]] static std::string RunSummary(int pConverted, int pUnchanged, int pFailed,
                                                const std::vector<std::string>& pOutputs);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    // Held by a handler that lets events through; a close that arrives meanwhile waits for the
    // last one to return.
    class Busy {
    public:
        explicit Busy(FrmMain& pForm);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        FrmMain& c_Form;
    };
    void BuildControls(const WindowChoices& pSaved);
    void LayOut();
    void ConnectEvents();
    void SetTabOrder();
    void PaintBackground();
    void RunStarting();
    void RunEnded();
    void ShowRowsAtWork();
    void ShowRunProgress();
    void TakeReports();
    // The window's own status lines, in a colour of their own.
    void ShowNote(const std::string& pText);
    void ClearStatus();
    void UpdateIdleHint();
    void BringToFront();
    void CloseWhenIdle();
    void SelectForMenu(float pY);
    [[nodiscard]] static int AcceptedIcon(const std::string& pPath);
    void ShowListMenu(const QPoint& pGlobal);

    // The list's hidden values: the full path, and why the row failed in the last run that reached it.
    static constexpr std::int32_t kPathAux = 0;
    static constexpr std::int32_t kReasonAux = 1;
    // Milliseconds, as the list shows them: a row's weight in a run of rows at once.
    static constexpr std::int32_t kLengthAux = 2;
    static constexpr std::int32_t kFailedIcon = 10;

    std::unique_ptr<C_mp3acm> mp3enc;
    std::unique_ptr<BatchDriver> c_Driver;
    QPixmap c_Background;
    // The design's size, the smallest the window takes; invalid until the first layout.
    QSize c_MinSize;
    bool c_Mp2Available = false;
    // The "Jobs" setting as read at start-up.
    int c_Jobs = 0;
    // Handlers in progress that let events through (a run, a drop, a message box).
    int c_BusyDepth = 0;
    bool c_ClosePending = false;
    bool c_Closing = false;
    int c_WaitCursors = 0;
    // A row at work in a run of rows at once: its last step, and how far it got (per mille).
    struct RowAtWork {
        std::string Step;
        int Progress = 0;
    };
    std::map<int, RowAtWork> c_AtWork;
    int c_LastStarted = -1;
    int c_RowsEnded = 0;
    // Each row's share of the run's audio, their sum (kept, as every progress report needs it),
    // and the share of the rows that have ended.
    std::vector<double> c_RowWeights;
    double c_TotalWeight = 0;
    double c_EndedWeight = 0;
    // Progress reports are many: the latest of each row waits here for one pass of the event loop.
    static constexpr int kReportPeriodMs = 40;
    std::mutex c_ReportLock;
    std::map<int, int> c_Reported;
    bool c_ReportPosted = false;
    int c_RunFailures = 0;
    int c_RunConverted = 0;
    int c_RunUnchanged = 0;
    std::vector<std::string> c_RunOutputs;
    int c_ExitStatus = 0;
    bool c_HintShown = false;
    // Where the add-files dialog opens: the folder files were last added from.
    QString c_AddFolder;
    std::unique_ptr<QSocketNotifier> c_SignalNotifier;
};
