#pragma once

// Runs tolvane-cli as a separate process with its two output streams in files, its own settings
// store, and optionally a file-size limit (writes beyond it fail as on a full disk) or without
// root's privileges (so that folder permissions apply).
#include "tests/common/TestFiles.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct Finished {
    int ExitCode = -1;
    std::string Output;
    std::string Errors;
};

struct CliLimits {
    // Bytes; 0 for no limit.
    rlim_t FileSize = 0;
    bool Unprivileged = false;
};

class CliRun {
public:
    CliRun(const TestFiles::TempDir& pDir, std::vector<std::string> pArgs, CliLimits pLimits = {})
        : c_Out(pDir / "cli.out")
        , c_Err(pDir / "cli.err") {
        const std::string exe = std::string(TOLVANE_BIN_DIR) + "/tolvane-cli";
        pArgs.insert(pArgs.begin(), exe);
        std::vector<char*> argv;
        for (auto& a : pArgs)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env{"XDG_CONFIG_HOME=" + pDir / "config", "PATH=/usr/bin:/bin",
                                     "LANG=C.UTF-8", "HOME=" + pDir.Path()};
        // A sanitizer build's child takes the same options (suppressions) as the test.
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS", "UBSAN_OPTIONS"})
            if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const bool dropRoot = pLimits.Unprivileged && ::geteuid() == 0;
        const int out = ::open(c_Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = ::open(c_Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        c_Pid = ::fork();
        if (c_Pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::setpgid(0, 0);
            // On a busy machine the test, which acts on what it sees the program do, runs first.
            ::setpriority(PRIO_PROCESS, 0, 10);
            if (pLimits.FileSize != 0) {
                const struct rlimit limit { pLimits.FileSize, pLimits.FileSize };
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (dropRoot && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(126);
            ::execve(exe.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(in);
        ::close(out);
        ::close(err);
        if (c_Pid < 0) throw std::runtime_error("cannot start tolvane-cli");
    }
    void Signal(int pSignal) const { ::kill(c_Pid, pSignal); }
    Finished Wait() {
        int status = 0;
        ::waitpid(c_Pid, &status, 0);
        const TestFiles::Bytes out = TestFiles::ReadFile(c_Out);
        const TestFiles::Bytes err = TestFiles::ReadFile(c_Err);
        ::unlink(c_Out.c_str());
        ::unlink(c_Err.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                std::string(out.begin(), out.end()), std::string(err.begin(), err.end())};
    }

private:
    std::string c_Out;
    std::string c_Err;
    pid_t c_Pid = -1;
};

inline Finished RunCli(const TestFiles::TempDir& pDir, std::vector<std::string> pArgs,
                       CliLimits pLimits = {}) {
    return CliRun(pDir, std::move(pArgs), pLimits).Wait();
}
