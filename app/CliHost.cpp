#include "app/CliHost.h"

#include "app/BatchDriver.h"
#include "app/BatchFile.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::atomic<int> g_Interrupts{0};

// A progress value (0 to 1000) as the whole percent the live line shows.
int Percent(int pValue) {
    return std::clamp(pValue, 0, 1000) / 10;
}

int TerminalWidth(std::FILE* pStream) {
    struct winsize size {};
    if (::ioctl(::fileno(pStream), TIOCGWINSZ, &size) == 0 && size.ws_col > 20) return size.ws_col;
    return 80;
}

// Cuts a UTF-8 text to at most pWidth characters, keeping its end (the file name) or its start.
std::string Fit(const std::string& pText, std::size_t pWidth, bool pKeepEnd) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < pText.size(); ++i)
        if ((static_cast<unsigned char>(pText[i]) & 0xC0) != 0x80) starts.push_back(i);
    if (starts.size() <= pWidth || pWidth < 2) return pText;
    if (pKeepEnd) return "…" + pText.substr(starts[starts.size() - pWidth + 1]);
    return pText.substr(0, starts[pWidth - 1]) + "…";
}

} // namespace

CliHost::CliHost(std::vector<std::string> pFiles, BatchOptions pOptions, bool pLive, std::FILE* pOut,
                 std::FILE* pErr)
    : c_Files(std::move(pFiles))
    , c_Options(std::move(pOptions))
    , c_Live(pLive)
    , c_Out(pOut)
    , c_Err(pErr) {}

void CliHost::RequestStop() noexcept {
    if (g_Interrupts.load() < 1000) ++g_Interrupts;
}

bool CliHost::StopRequested() noexcept {
    return g_Interrupts.load() > 0;
}

void CliHost::PassStop() {
    if (StopRequested() && c_Driver != nullptr) c_Driver->Stop();
}

void CliHost::Print(std::FILE* pStream, const std::string& pText) {
    std::fputs(pText.c_str(), pStream);
    std::fflush(pStream);
}

void CliHost::ShowRow(int) {
    const std::lock_guard hold(c_Lock);
    c_Lines[0].clear();
    c_Lines[1].clear();
    c_Progress = 0;
    PassStop();
}

void CliHost::DispMes(int pLine, const std::string& pText, bool) {
    if (pLine < 0 || pLine > 1) return;
    const std::lock_guard hold(c_Lock);
    c_Lines[pLine] = pText;
    if (c_Live)
        DrawLive();
    else if (pLine == 1 && !pText.empty() && !c_Lines[0].empty())
        Print(c_Err, c_Lines[0] + "  " + pText + "\n");
}

void CliHost::SetProgress(int pValue) {
    const std::lock_guard hold(c_Lock);
    c_Progress = pValue;
    PassStop();
    if (c_Live && Percent(pValue) != c_DrawnPercent) DrawLive();
}

void CliHost::DoEvents() {
    const std::lock_guard hold(c_Lock);
    PassStop();
}

void CliHost::RowStarted(int pRow) {
    const std::lock_guard hold(c_Lock);
    c_Parallel = true;
    c_Working[pRow] = Working{};
    PassStop();
    if (c_Live) DrawLive();
}

void CliHost::RowMessage(int pRow, int pLine, const std::string& pText) {
    const std::lock_guard hold(c_Lock);
    Working& work = c_Working[pRow];
    if (pLine == 0)
        work.Action = pText;
    else if (!c_Live && pLine == 1 && !pText.empty() && !work.Action.empty())
        Print(c_Err, work.Action + "  " + pText + "\n");
}

void CliHost::RowProgress(int pRow, int pValue) {
    const std::lock_guard hold(c_Lock);
    PassStop();
    Working& work = c_Working[pRow];
    const int before = Percent(work.Progress);
    work.Progress = pValue;
    if (c_Live && Percent(pValue) != before) DrawLive();
}

void CliHost::RowError(int, const std::string& pText) {
    ShowError(pText);
}

void CliHost::RowEnded(int pRow) {
    const std::lock_guard hold(c_Lock);
    c_Working.erase(pRow);
    ++c_Ended;
    if (c_Live) DrawLive();
}

std::string CliHost::WorkingLine(int pWidth) const {
    std::string line = std::to_string(c_Ended) + "/" + std::to_string(ItemCount()) + " done";
    if (c_Working.empty()) return line;
    // Each file in progress gets its share of the width: percent and the end of its name.
    const int share = std::max(8, (pWidth - int(line.size())) / int(c_Working.size()) - 7);
    for (const auto& [row, work] : c_Working) {
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%% ", Percent(work.Progress));
        const std::string name = std::filesystem::path(SourcePath(row)).filename().string();
        line += "  " + (percent + Fit(name, std::size_t(share), true));
    }
    return Fit(line, std::size_t(pWidth), false);
}

void CliHost::DrawLive() {
    const int width = TerminalWidth(c_Err) - 1;
    std::string line;
    if (c_Parallel) {
        line = WorkingLine(width);
    } else {
        if (c_Lines[0].empty() || c_Lines[0] == "Done.") return;
        c_DrawnPercent = Percent(c_Progress);
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%% ", c_DrawnPercent);
        const std::string head = percent + c_Lines[0] + "  ";
        line = head + Fit(c_Lines[1], std::size_t(std::max(10, width - int(head.size()))), true);
    }
    Print(c_Err, "\r\033[K" + line);
    c_LiveShown = true;
}

void CliHost::ClearLive() {
    if (!c_LiveShown) return;
    Print(c_Err, "\r\033[K");
    c_LiveShown = false;
    c_DrawnPercent = -1;
}

void CliHost::ShowError(const std::string& pText) {
    const std::lock_guard hold(c_Lock);
    ClearLive();
    Print(c_Err, "tolvane-cli: " + pText + "\n");
    if (c_Live && c_Parallel) DrawLive();
}

void CliHost::RowFinished(int pRow, const RowResult& pResult) {
    const std::lock_guard hold(c_Lock);
    ClearLive();
    ++c_Reached;
    const std::string& source = SourcePath(pRow);
    switch (pResult.Outcome) {
    case RowOutcome::Converted:
        ++c_Converted;
        std::fprintf(c_Out, "converted  %s -> %s  (%s)\n", source.c_str(), pResult.Output.c_str(),
                     pResult.Detail.c_str());
        break;
    case RowOutcome::Queued:
        c_Queued.push_back({source, pResult});
        std::fprintf(c_Out, "queued     %s -> %s  (%s, encoded after the list)\n", source.c_str(),
                     pResult.Output.c_str(), pResult.Detail.c_str());
        break;
    case RowOutcome::Unchanged:
        ++c_Unchanged;
        std::fprintf(c_Out, "unchanged  %s  (%s; nothing written)\n", source.c_str(), pResult.Detail.c_str());
        break;
    case RowOutcome::Failed:
        c_Failed.emplace_back(source, pResult.Detail);
        std::fprintf(c_Out, "failed     %s  (%s)\n", source.c_str(), pResult.Detail.c_str());
        break;
    case RowOutcome::Stopped:
        c_Stopped = true;
        std::fprintf(c_Out, "stopped    %s  (partial output deleted)\n", source.c_str());
        break;
    }
    std::fflush(c_Out);
    if (c_Live && c_Parallel && c_Reached < ItemCount()) DrawLive();
}

void CliHost::RunCommandFile(const std::string& pPath) {
    {
        const std::lock_guard hold(c_Lock);
        ClearLive();
    }
    std::fprintf(c_Out, "running the MP2 encoder: /bin/sh %s\n", pPath.c_str());
    std::fflush(c_Out);
    std::fflush(c_Err);
    // The interrupt that stopped the list lets the queued files still be encoded; a new one
    // interrupts the encoder as well.
    const int before = g_Interrupts.load();
    const int status = RunCommandFileAndWait(pPath, [before] { return g_Interrupts.load() > before; });
    if (status != 0) std::fprintf(c_Err, "tolvane-cli: the MP2 command file ended with status %d\n", status);
    c_BatchRan = true;
}

int CliHost::Summary() {
    {
        const std::lock_guard hold(c_Lock);
        ClearLive();
    }
    for (const auto& [source, result] : c_Queued) {
        std::int64_t size = 0;
        const bool made = Support::FileExists(result.Output) != 0 &&
                          Support::FileSizeOfPath(result.Output, size) != 0 && size > 0;
        if (made) {
            ++c_Converted;
            continue;
        }
        // A file the encoder never reached: its claimed name and temporary input are ours alone.
        if (Support::FileExists(result.Output) != 0 && size == 0) Support::DeleteFileSafe(result.Output);
        if (!result.Temporary.empty()) Support::DeleteFileSafe(result.Temporary);
        c_Failed.emplace_back(source, c_BatchRan ? "the MP2 encoder did not write " + result.Output
                                                 : "the MP2 command file was not run");
    }
    c_Queued.clear();
    const int notStarted = ItemCount() - c_Reached;
    std::fprintf(c_Out, "%d converted, %d unchanged, %d failed", c_Converted, c_Unchanged,
                 int(c_Failed.size()));
    if (c_Stopped || notStarted > 0) std::fprintf(c_Out, ", stopped (%d not started)", notStarted);
    std::fputc('\n', c_Out);
    for (const auto& [source, detail] : c_Failed)
        std::fprintf(c_Out, "  failed: %s  (%s)\n", source.c_str(), detail.c_str());
    std::fflush(c_Out);
    if (c_Stopped || notStarted > 0) return 130;
    return c_Failed.empty() ? 0 : 1;
}
