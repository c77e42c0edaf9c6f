#pragma once

#include "app/FailReason.h"

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
    // 1: MP3 outputs carry the source's tags.
    int CopyTags = 1;
};

// How one row of a run ended: the command-line front end sums it up, the window marks failed rows.
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
    // In English, for the command line; a failure's is FailReasonText(Reason, Place).
    std::string Detail;
    // Queued rows: the driver's temporary WAV file that the command file deletes when it is done.
    std::string Temporary = {};
    FailReason Reason = FailReason::None;
    // The folder or file the reason names, if any.
    std::string Place = {};
};

// What the batch driver needs from its window: the list rows, the two status lines, the busy
// colour, the progress bar, the option controls and the few messages. The window and the
// command-line front end each provide one. Every call comes from the thread that pressed Start:
// a run with this host takes one row at a time on that thread, and lets the host's events
// through between blocks (DoEvents, and the engine's own pauses).
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
};

// A host that also takes several rows at once, each worked on by a thread of its own. The thread
// that pressed Start hands the rows out: it reads each row's path and options when the row starts
// (SourcePath, Options), places the results in list order (RowFinished) and lets the user interface
// run in between (DoEvents). The workers report through the calls marked "any thread", which must
// neither touch a widget nor wait for the thread that pressed Start.
class ParallelBatchHost : public BatchHost {
public:
    // Start thread: a worker has taken pRow, with the options read just before.
    virtual void RowStarted(int pRow) = 0;
    // Any thread: a status line of a row in progress (what DispMes shows for a row of its own).
    virtual void RowMessage(int pRow, int pLine, const std::string& pText) = 0;
    // Any thread: the progress of a row's current step, 0 to 1000.
    virtual void RowProgress(int pRow, int pValue) = 0;
    // Any thread: a message about a row in progress ("デコード失敗"); never waits for an answer.
    virtual void RowError(int pRow, const std::string& pText) = 0;
    // Start thread: the row's work is over. Its outcome follows through RowFinished once every row
    // above has had its own.
    virtual void RowEnded(int pRow) = 0;
};
