#pragma once

#include <string>

// The option controls as the driver reads them: texts and values exactly as the window shows
// them, so that an empty bit-rate list or an unselected mode behaves the same in every front end.
struct BatchOptions {
    std::string TargetFreqText = "44100";
    // Selected index of the mode list; -1 when nothing is selected.
    int TargetModeIndex = 3;
    int DecodeOnly = 0;
    int UseDither = 1;
    // The filtering converter instead of the exact one; "dither" then means real dither.
    int HighQuality = 0;
    bool Encmp3Enabled = false;
    int Encmp3 = 0;
    std::string Mp3BitRateText;
    bool Encmp2Enabled = false;
    int Encmp2 = 0;
    std::string Mp2BitRateText;
    std::string Mp2ModeText;
    std::string SoundPathText;
};

// How one row of a run ended; the window shows nothing of it, the command-line front end sums it up.
enum class RowOutcome {
    Converted, // an output file was made
    Queued,    // left for the MP2 command file, which makes Output after the run
    Unchanged, // already in the target format: nothing written
    Failed,
    Stopped,
};

struct RowResult {
    RowOutcome Outcome = RowOutcome::Failed;
    std::string Output;
    std::string Detail;
    // Queued rows: the driver's temporary WAV file that the command file deletes when it is done.
    std::string Temporary = {};
};

// What the batch driver needs from its window: the list rows, the two status lines, the busy
// colour, the progress bar, the option controls and the few messages. The window and the
// command-line front end each provide one.
class BatchHost {
public:
    virtual ~BatchHost() = default;

    [[nodiscard]] virtual int ItemCount() const = 0;
    // The full path kept with the row.
    [[nodiscard]] virtual std::string SourcePath(int pRow) const = 0;
    // Unselects everything, selects the row and redraws the list.
    virtual void ShowRow(int pRow) = 0;
    // Empties the list and repaints it.
    virtual void ClearRows() = 0;

    virtual void DispMes(int pLine, const std::string& pText, bool pDontDraw) = 0;
    // Colour set 1 (busy) or 0 (idle), repainted at once.
    virtual void SetBusyColor(bool pBusy) = 0;
    virtual void SetWaitCursor(bool pWait) = 0;
    // 0 to 1000.
    virtual void SetProgress(int pValue) = 0;
    // Lets pending user-interface events run.
    virtual void DoEvents() = 0;

    [[nodiscard]] virtual BatchOptions Options() const = 0;

    // An error message centred on the window: "デコード失敗" and the command-file failure.
    virtual void ShowError(const std::string& pText) = 0;
    // Hands the MP2 command file to the shell.
    virtual void RunCommandFile(const std::string& pPath) = 0;
    // Closes the window at the end of a run started from the command line.
    virtual void CloseWindow() = 0;

    // Called once for every row the run reached, in list order.
    virtual void RowFinished(int pRow, const RowResult& pResult) = 0;

    // A run of several rows at once (the command line's) reports each row through these instead
    // of ShowRow, DispMes, SetProgress and DoEvents. They come from the worker threads, together
    // with SourcePath, Options and ShowError, which must then answer from any thread; the rest
    // keeps to the thread that pressed Start. RowEnded says the work is over: the outcome follows
    // through RowFinished once every row above has had its own.
    virtual void RowStarted(int /*pRow*/) {}
    virtual void RowMessage(int /*pRow*/, int /*pLine*/, const std::string& /*pText*/) {}
    virtual void RowProgress(int /*pRow*/, int /*pValue*/) {}
    virtual void RowEnded(int /*pRow*/) {}
};
