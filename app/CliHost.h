#pragma once

#include "app/BatchHost.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class BatchDriver;

// The command-line front end's stand-in for the window: the files named on the command line
// are the list, the status lines and progress bar become one live line on a terminal (plain
// lines otherwise), messages go to standard error, and the MP2 command file runs in the
// foreground. When several files are converted at once, the live line counts the files done and
// shows those in progress; every line is written whole.
class CliHost : public ParallelBatchHost {
public:
    CliHost(std::vector<std::string> pFiles, BatchOptions pOptions, bool pLive, std::FILE* pOut,
            std::FILE* pErr);

    // The driver to stop when an interrupt arrives.
    void Driver(BatchDriver* pDriver) noexcept { c_Driver = pDriver; }

    int ItemCount() const override { return int(c_Files.size()); }
    std::string SourcePath(int pRow) const override { return c_Files.at(std::size_t(pRow)); }
    void ShowRow(int pRow) override;
    void ClearRows() override { c_Files.clear(); }
    void DispMes(int pLine, const std::string& pText, bool pDontDraw) override;
    void SetBusyColor(bool) override {}
    void SetWaitCursor(bool) override {}
    void SetProgress(int pValue) override;
    void DoEvents() override;
    BatchOptions Options() const override { return c_Options; }
    void ShowError(const std::string& pText) override;
    void RunCommandFile(const std::string& pPath) override;
    void CloseWindow() override {}
    void RowFinished(int pRow, const RowResult& pResult) override;
    void RowStarted(int pRow) override;
    void RowMessage(int pRow, int pLine, const std::string& pText) override;
    void RowProgress(int pRow, int pValue) override;
    void RowError(int pRow, const std::string& pText) override;
    void RowEnded(int pRow) override;

    // Prints the totals and the failed files; the exit status: 0, 1 when a file failed, 130
    // when the run was stopped.
    [[nodiscard]] int Summary();

    // Set from a signal handler.
    static void RequestStop() noexcept;
    [[nodiscard]] static bool StopRequested() noexcept;

private:
    struct Working {
        std::string Action;
        int Progress = 0;
    };

    // The callers hold c_Lock.
    void PassStop();
    void DrawLive();
    void ClearLive();
    void Print(std::FILE* pStream, const std::string& pText);
    [[nodiscard]] std::string WorkingLine(int pWidth) const;

    std::vector<std::string> c_Files;
    BatchOptions c_Options;
    bool c_Live;
    std::FILE* c_Out;
    std::FILE* c_Err;
    BatchDriver* c_Driver = nullptr;
    std::string c_Lines[2];
    int c_Progress = 0;
    int c_DrawnPercent = -1;
    bool c_LiveShown = false;
    // Files converted at once: those in progress, and how many have ended.
    std::mutex c_Lock;
    std::map<int, Working> c_Working;
    int c_Ended = 0;
    bool c_Parallel = false;

    int c_Converted = 0;
    int c_Unchanged = 0;
    int c_Reached = 0;
    bool c_Stopped = false;
    std::vector<std::pair<std::string, std::string>> c_Failed;
    std::vector<std::pair<std::string, RowResult>> c_Queued;
    bool c_BatchRan = false;
};
