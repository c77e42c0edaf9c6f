#include "support/Log.h"

#include "support/ErrorTrap.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"
#include "support/Settings.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace Support {

namespace {
std::atomic<std::int32_t> g_LogEnabled{0};

} // namespace

std::int32_t LogEnabled() noexcept {
    return g_LogEnabled.load(std::memory_order_relaxed);
}

void LogEnabled(std::int32_t pValue) noexcept {
    g_LogEnabled.store(pValue, std::memory_order_relaxed);
}

void LoadLogSwitches() {
    LogEnabled(IntegerOrZero(ReadSetting("LogError", std::int32_t(0))));
    const bool errorCatch = IntegerOrZero(ReadSetting("ErrorCatch", std::int32_t(0))) != 0;
    TrapErrors(!(errorCatch || FileExists(AppFolder() + "ec.txt")));
}

std::string FormatTimestamp(int pYear, int pMonth, int pDay, double pSecondsSinceMidnight) {
    double clock = pSecondsSinceMidnight;
    if (!(clock >= 0)) clock = 0;
    if (clock > 86399.999) clock = 86399.999;
    const int whole = int(clock);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", pYear, pMonth, pDay, whole / 3600,
                  (whole / 60) % 60, whole % 60);
    return text;
}

std::string FormatTimestamp() {
    const time_t now = ::time(nullptr);
    tm local{};
    ::localtime_r(&now, &local);
    return FormatTimestamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, SecondsSinceMidnight());
}

void WriteLog(const std::string& pText, int pIsError) {
    if (LogEnabled() == 0) return;
    try {
        const std::string folder = AppFolder() + "log";
        if (!FolderExists(folder) && !MakeFolder(folder)) return;
        const std::string file = folder + "/" + AppTitle() + (pIsError != 0 ? ".err" : ".log");
        std::int64_t size = 0;
        if (FileExists(file) && FileSizeOfPath(file, size) > kLogRestartBytes) DeleteFileSafe(file);
        const std::string line = FormatTimestamp() + " " + pText + "\r\n";
        const FileHandle handle = OpenFile(file, O_WRONLY | O_CREAT | O_APPEND);
        // One write per line keeps lines whole when two processes log at once.
        if (handle) (void)WriteAll(handle.Fd(), line.data(), line.size());
    } catch (...) {
        // Logging never fails visibly.
    }
}

} // namespace Support
