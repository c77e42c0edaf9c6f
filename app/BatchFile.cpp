#include "app/BatchFile.h"

#include "support/ErrorTrap.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"
#include "support/FormatMilliseconds.h"
#include "support/Log.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

bool IsSafeWordChar(char pChar) {
    return (pChar >= 'a' && pChar <= 'z') || (pChar >= 'A' && pChar <= 'Z') ||
           (pChar >= '0' && pChar <= '9') || pChar == '_' || pChar == '@' || pChar == '%' || pChar == '+' ||
           pChar == '=' || pChar == ':' || pChar == ',' || pChar == '.' || pChar == '/' || pChar == '-';
}

// dash's echo expands backslashes and takes a leading "-" as an option; printf does neither.
std::string EchoLine(const std::string& pText) {
    if (pText.find('\\') != std::string::npos || (!pText.empty() && pText[0] == '-'))
        return "printf '%s\\n' " + ShellQuote(pText);
    return "echo " + ShellQuote(pText);
}

std::string Quoted(const std::string& pPath) {
    return "\"" + pPath + "\"";
}

bool IsExecutableFile(const std::string& pPath) {
    struct stat st {};
    return ::stat(pPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(pPath.c_str(), X_OK) == 0;
}

} // namespace

std::string ShellQuote(const std::string& pText) {
    bool safe = !pText.empty();
    for (const char c : pText)
        safe = safe && IsSafeWordChar(c);
    if (safe) return pText;
    std::string quoted(1, '\'');
    for (const char c : pText) {
        if (c == '\'')
            quoted.append("'\\''");
        else
            quoted.push_back(c);
    }
    quoted.push_back('\'');
    return quoted;
}

std::string Mp2ModeLetter(const std::string& pModeText) {
    if (pModeText == "Stereo") return "s";
    if (pModeText == "JointStereo") return "j";
    if (pModeText == "Mono") return "m";
    if (pModeText == "DualMono") return "d";
    return {};
}

std::string FindMp2Encoder() {
    return Support::Trapped(std::string(), [] {
        static const char* const kNames[] = {"twolame", "toolame"};
        for (const char* name : kNames)
            if (IsExecutableFile(Support::AppFolder() + name)) return Support::AppFolder() + name;
        const char* path = std::getenv("PATH");
        const std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
        for (const char* name : kNames) {
            std::size_t from = 0;
            while (from <= dirs.size()) {
                const std::size_t to = std::min(dirs.find(':', from), dirs.size());
                const std::string dir = dirs.substr(from, to - from);
                // An empty entry means the current folder, which must never decide what runs.
                if (!dir.empty() && dir[0] == '/' && IsExecutableFile(dir + "/" + name))
                    return dir + "/" + name;
                from = to + 1;
            }
        }
        return std::string();
    });
}

BatchFile::BatchFile(std::string pProgramFolder, std::string pEncoder)
    : c_Folder(Support::SetTrailingSeparator(pProgramFolder, 0))
    , c_Encoder(std::move(pEncoder))
    , c_Path(c_Folder + "com.sh") {}

BatchFile::~BatchFile() {
    if (IsOpen()) Abandon();
}

std::vector<std::string> BatchFile::HeadLines(const std::string& pProgramFolder) {
    std::string folder = Support::SetTrailingSeparator(pProgramFolder, 1);
    if (folder.empty()) folder = "/";
    return {"#!/bin/sh", "cd -- " + ShellQuote(folder),
            // An interrupted encoding must not leave a partial file under the output's name.
            "trap 'rm -f -- ${out:+\"$out\"}; exit 130' INT TERM HUP"};
}

std::vector<std::string> BatchFile::SectionLines(const Mp2Section& pSection, const std::string& pEncoder) {
    const std::string length = Support::FormatMilliseconds(pSection.Milliseconds, 1);
    std::string encode = "out=" + ShellQuote(pSection.Out) + "; " + ShellQuote(pEncoder);
    // An empty bit rate or mode would make the encoder take the next word as its value.
    if (!pSection.BitRateText.empty()) encode += " -b " + ShellQuote(pSection.BitRateText);
    const std::string letter = Mp2ModeLetter(pSection.ModeText);
    if (!letter.empty()) encode += " -m " + letter;
    encode += " " + ShellQuote(pSection.Current) + " \"$out\" || rm -f -- \"$out\"; out=";

    std::vector<std::string> lines{
        "[ -t 1 ] && clear",
        EchoLine(std::to_string(pSection.Row + 1) + "/" + std::to_string(pSection.RowCount) +
                 " エンコード開始・・・"),
        "echo .",
        EchoLine("変換元ファイル"),
        EchoLine(Quoted(pSection.Current)),
        EchoLine(std::to_string(pSection.SamplesPerSec) + "Hz/" + std::to_string(pSection.BitsPerSample) +
                 "bit/" + std::to_string(pSection.Channels) + "ch  再生時間 " + length),
        "echo .",
        EchoLine("変換先ファイル"),
        EchoLine(Quoted(pSection.Out)),
        EchoLine("mpeg layer2/" + pSection.BitRateText + "kbps/" + pSection.ModeText),
        "echo .",
        encode,
    };
    if (pSection.Current != pSection.Source) lines.push_back("rm -f -- " + ShellQuote(pSection.Current));
    return lines;
}

bool BatchFile::WriteLines(const std::vector<std::string>& pLines) {
    if (!IsOpen() || c_Failed) return false;
    std::string text;
    for (const std::string& line : pLines)
        text += line + "\n";
    if (!Support::WriteAll(c_Fd, text.data(), text.size())) c_Failed = true;
    return !c_Failed;
}

bool BatchFile::Open() {
    return Support::Trapped(false, [&] {
        if (IsOpen()) Abandon();
        c_Failed = false;
        c_Consumed.clear();
        std::string work = c_Folder + ".com.sh.XXXXXX";
        c_Fd = ::mkostemp(work.data(), O_CLOEXEC);
        if (c_Fd < 0) {
            Support::WriteLog("BatchFile.Open#" + c_Path + " cannot be created", 1);
            return false;
        }
        c_WorkPath = work;
        (void)::fchmod(c_Fd, 0755);
        if (WriteLines(HeadLines(c_Folder))) return true;
        Abandon();
        return false;
    });
}

bool BatchFile::WriteSection(const Mp2Section& pSection) {
    return Support::Trapped(false, [&] {
        if (pSection.Current != pSection.Source) c_Consumed.push_back(pSection.Current);
        c_Consumed.push_back(pSection.Out);
        return WriteLines(SectionLines(pSection, c_Encoder));
    });
}

bool BatchFile::Close() {
    return Support::Trapped(false, [&] {
        if (!IsOpen()) return false;
        const bool written = !c_Failed;
        const int fd = c_Fd;
        c_Fd = -1;
        const bool closed = ::close(fd) == 0;
        // Our own command file from an earlier run is the one file that is meant to be replaced.
        if (written && closed && ::rename(c_WorkPath.c_str(), c_Path.c_str()) == 0) {
            c_Consumed.clear();
            return true;
        }
        Support::WriteLog("BatchFile.Close#" + c_Path + " cannot be written", 1);
        Abandon();
        return false;
    });
}

void BatchFile::Abandon() {
    if (c_Fd >= 0) ::close(c_Fd);
    c_Fd = -1;
    if (!c_WorkPath.empty()) ::unlink(c_WorkPath.c_str());
    c_WorkPath.clear();
    for (const std::string& path : c_Consumed)
        Support::DeleteFileSafe(path);
    c_Consumed.clear();
}

int RunCommandFileAndWait(const std::string& pPath, const std::function<bool()>& pStop) {
    return Support::Trapped(-1, [&] {
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int sig : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&defaults, sig);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        // A group of its own, so an interrupt reaches the shell and the encoder together.
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
        std::string shell = "/bin/sh";
        std::string script = pPath;
        char* argv[] = {shell.data(), script.data(), nullptr};
        pid_t pid = -1;
        const int rc = ::posix_spawn(&pid, shell.c_str(), nullptr, &attr, argv, environ);
        posix_spawnattr_destroy(&attr);
        if (rc != 0) return -1;
        bool interrupted = false;
        int status = 0;
        for (;;) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) break;
            if (done < 0 && errno != EINTR) return -1;
            if (!interrupted && pStop && pStop()) {
                ::kill(-pid, SIGINT);
                interrupted = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    });
}

int LaunchCommandFile(const std::string& pPath) {
    return Support::Trapped(0, [&] {
        const QString script = QString::fromStdString(pPath);
        const bool desktop = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
        if (desktop && QProcess::startDetached(QStringLiteral("x-terminal-emulator"),
                                               {QStringLiteral("-e"), QStringLiteral("/bin/sh"), script}))
            return 1;
        const std::string logFolder = Support::AppFolder() + "log";
        (void)Support::MakeFolder(logFolder);
        QProcess process;
        process.setProgram(QStringLiteral("/bin/sh"));
        process.setArguments({script});
        process.setStandardInputFile(QProcess::nullDevice());
        const QString log = QString::fromStdString(logFolder + "/com.sh.log");
        process.setStandardOutputFile(log, QIODevice::Append);
        process.setStandardErrorFile(log, QIODevice::Append);
        return process.startDetached() ? 1 : 0;
    });
}
