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
#include <memory>
#include <string>
#include <vector>

class BatchDriver;
class C_mp3acm;
class QMimeData;
class QSocketNotifier;
struct WindowChoices;

// The program's only window: start-up, the option rules, shut-down, the file intake and the
// host side of the batch driver. The controls keep the window's names.
class FrmMain : public QWidget, public BatchHost {
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
    using FilesDialogRunner =
        std::function<QStringList(QWidget* pOwner, const QString& pTitle, const QString& pFilter)>;
    static FilesDialogRunner SetFilesDialogRunner(FilesDialogRunner pRunner);

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

    [[nodiscard]] BatchDriver& Driver() noexcept { return *c_Driver; }
    // Whether the external MP2 encoder was found (tests decide it before Load).
    void Mp2Available(bool pValue) noexcept { c_Mp2Available = pValue; }

    // Closing waits for the running driver and for handlers that let events through.
    [[nodiscard]] bool ClosePending() const noexcept { return c_ClosePending; }
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
    UC_Check CheckEncmp2;
    QComboBox Combomp2mode;
    UC_PathText TextSoundPath;
    UC_Buttons CtrButtons;

    // Clear, Stop and Start, as the buttons and their keys press them.
    void CtrButtons_ButtonClicked(int pIndex);

    // The last status line of a run in which rows failed, in place of "Done.".
    [[nodiscard]] static std::string FailedLine(int pCount);

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
    void BringToFront();
    void CloseWhenIdle();
    void ShowListMenu(const QPoint& pGlobal);

    std::unique_ptr<C_mp3acm> mp3enc;
    std::unique_ptr<BatchDriver> c_Driver;
    QPixmap c_Background;
    bool c_Mp2Available = false;
    bool c_Loaded = false;
    // Handlers in progress that let events through (a run, a drop, a message box).
    int c_BusyDepth = 0;
    bool c_ClosePending = false;
    bool c_Closing = false;
    int c_WaitCursors = 0;
    int c_RunFailures = 0;
    std::unique_ptr<QSocketNotifier> c_SignalNotifier;
};
