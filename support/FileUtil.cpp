#include "support/FileUtil.h"

#include "support/ErrorTrap.h"
#include "support/FileIO.h"

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace Support {

namespace {

struct PathParts {
    std::string Folder;
    bool HasSeparator = false;
    std::string Base;
    bool HasDot = false;
    std::string Extension;
};

PathParts Split(const std::string& pPath) {
    PathParts p;
    const auto sep = pPath.rfind(kSeparator);
    std::string name = pPath;
    if (sep != std::string::npos) {
        p.HasSeparator = true;
        p.Folder = pPath.substr(0, sep);
        name = pPath.substr(sep + 1);
    }
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        p.Base = name;
    } else {
        p.HasDot = true;
        p.Base = name.substr(0, dot);
        p.Extension = name.substr(dot + 1);
    }
    return p;
}

std::string ToUpper(const std::string& pText) {
    return QString::fromStdString(pText).toUpper().toStdString();
}

// Any directory entry, dangling links included: a name that exists in any form is taken.
bool EntryExists(const std::string& pPath) {
    struct stat st {};
    return !pPath.empty() && ::lstat(pPath.c_str(), &st) == 0;
}

// Two names for the same directory entry (not merely two hard links to one file).
bool SameEntry(const std::string& pA, const std::string& pB) {
    std::error_code ec1;
    std::error_code ec2;
    const auto a = std::filesystem::weakly_canonical(pA, ec1);
    const auto b = std::filesystem::weakly_canonical(pB, ec2);
    return !ec1 && !ec2 && a == b;
}

bool RenameNoReplace(const std::string& pSource, const std::string& pTarget) {
    if (::renameat2(AT_FDCWD, pSource.c_str(), AT_FDCWD, pTarget.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // File systems without the no-replace flag: a hard link fails on an existing name just as well.
    if (::link(pSource.c_str(), pTarget.c_str()) == 0) {
        ::unlink(pSource.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    if (EntryExists(pTarget)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(pSource.c_str(), pTarget.c_str()) == 0;
}

std::string FormatNumber(long pNumber, int pDigits) {
    std::string digits = std::to_string(pNumber);
    if (pDigits > 0 && static_cast<int>(digits.size()) < pDigits)
        digits.insert(0, static_cast<std::size_t>(pDigits) - digits.size(), '0');
    return digits;
}

void PumpEvents() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread()) QCoreApplication::processEvents();
}

struct CommandLine {
    std::vector<std::string> Arguments;
    std::string StartFolder;
};

CommandLine& RecordedCommandLine() {
    static CommandLine line;
    return line;
}

} // namespace

std::string TrimSpaces(const std::string& pText) {
    const auto first = pText.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = pText.find_last_not_of(' ');
    return pText.substr(first, last - first + 1);
}

std::string LowerCase(const std::string& pText) {
    return QString::fromStdString(pText).toLower().toStdString();
}

std::optional<std::int32_t> IntegerText(const std::string& pText) {
    const std::string text = TrimSpaces(pText);
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string KilohertzText(std::int32_t pRate) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, double(pRate) / 1000.0);
    return std::string(text, r.ptr);
}

namespace {
std::string& AppFolderOverride() {
    static std::string folder;
    return folder;
}
} // namespace

void AppFolder(const std::string& pFolder) {
    AppFolderOverride() = pFolder.empty() ? pFolder : SetTrailingSeparator(pFolder, 0);
}

std::string AppFolder() {
    if (!AppFolderOverride().empty()) return AppFolderOverride();
    static const std::string folder = [] {
        std::error_code ec;
        const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        std::string dir = ec ? std::filesystem::current_path(ec).string() : exe.parent_path().string();
        return SetTrailingSeparator(dir, 0);
    }();
    return folder;
}

std::string SystemFolder() {
    return "/usr/bin/";
}

int FileExists(const std::string& pPath) {
    return Trapped(0, [&] {
        const std::string path = TrimSpaces(pPath);
        if (path.empty()) return 0;
        struct stat st {};
        if (::stat(pPath.c_str(), &st) != 0) return 0;
        return S_ISDIR(st.st_mode) ? 0 : 1;
    });
}

int FolderExists(const std::string& pPath) {
    return Trapped(0, [&] {
        if (pPath.empty()) return 0;
        std::string path = SetTrailingSeparator(pPath, 1);
        // Only the root itself loses everything to the separator rule; blanks name nothing.
        if (path.empty() && pPath == std::string(1, kSeparator)) path = pPath;
        if (path.empty()) return 0;
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
    });
}

int MakeFolder(const std::string& pPath) {
    return Trapped(0, [&] {
        const std::string path = SetTrailingSeparator(pPath, 1);
        if (path.empty()) return 0;
        return ::mkdir(path.c_str(), 0777) == 0 ? 1 : 0;
    });
}

int DeleteFileSafe(const std::string& pPath) {
    return Trapped(0, [&] {
        struct stat st {};
        if (pPath.empty() || ::lstat(pPath.c_str(), &st) != 0) return 1;
        if (IsReservedDeviceName(pPath)) return 1;
        if (S_ISDIR(st.st_mode)) return 0;
        if (::unlink(pPath.c_str()) == 0) return 1;
        return errno == ENOENT ? 1 : 0;
    });
}

int RenameFileRetry(const std::string& pSource, const std::string& pTarget, int pOverwrite) {
    return Trapped(0, [&] {
        if (IsReservedDeviceName(pSource) || IsReservedDeviceName(pTarget)) return 0;
        if (pSource.empty() || pTarget.empty()) return 0;
        // Moving a file onto itself is already done; deleting the "target" would lose it.
        if (SameEntry(pSource, pTarget)) return 1;
        // The target is only given up when there is something to take its place.
        if (pOverwrite != 0 && EntryExists(pSource)) DeleteFileSafe(pTarget);
        for (int n = 1; n <= 10; ++n) {
            if (RenameNoReplace(pSource, pTarget)) return 1;
            if (n < 10) WaitWithEvents(n * 10, 1);
        }
        return 0;
    });
}

int CopyFileSafe(const std::string& pSource, const std::string& pTarget, int pOverwrite) {
    return Trapped(0, [&] {
        if (SameEntry(pSource, pTarget)) return 0;
        FileHandle in = OpenForRead(pSource);
        if (!in) return 0;
        if (pOverwrite != 0 && EntryExists(pTarget) && !DeleteFileSafe(pTarget)) return 0;
        FileHandle out = CreateExclusive(pTarget);
        if (!out) return 0;
        std::vector<char> buffer(1 << 20);
        bool ok = true;
        for (std::int64_t at = 0;;) {
            const std::int64_t n = ReadAt(in, buffer.data(), buffer.size(), at);
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            ok = WriteAll(out.Fd(), buffer.data(), static_cast<std::size_t>(n));
            if (!ok) break;
            at += n;
        }
        if (!out.Close()) ok = false;
        if (!ok) ::unlink(pTarget.c_str());
        return ok ? 1 : 0;
    });
}

int IsReservedDeviceName(const std::string&) {
    return 0;
}

std::string SetTrailingSeparator(const std::string& pPath, int pRemove) {
    if (TrimSpaces(pPath).empty()) return {};
    const bool ends = pPath.back() == kSeparator;
    if (pRemove != 0) return ends ? pPath.substr(0, pPath.size() - 1) : pPath;
    return ends ? pPath : pPath + kSeparator;
}

std::string EnsureExtension(const std::string& pPath, const std::string& pExtension) {
    std::string ext = TrimSpaces(pExtension);
    if (pPath.empty() || ext.empty()) return pPath;
    if (ext.front() != '.') ext.insert(0, 1, '.');
    if (pPath.size() >= ext.size() && LowerCase(pPath.substr(pPath.size() - ext.size())) == LowerCase(ext))
        return pPath;
    return pPath + LowerCase(ext);
}

std::string SplitPath(const std::string& pPath, int pFolder, int pBackslash, int pBaseName, int pDot,
                      int pExtension, int pCase) {
    if (pPath.empty()) return {};
    const PathParts p = Split(pPath);
    std::string out;
    if (pFolder) out += p.Folder;
    // No separator is invented for a bare file name: "/" alone would name the root.
    if (pBackslash && p.HasSeparator) out += kSeparator;
    if (pBaseName) out += p.Base;
    if (pDot && p.HasDot) out += '.';
    if (pExtension) out += p.Extension;
    if (pCase == 1) return LowerCase(out);
    if (pCase == 2) return ToUpper(out);
    return out;
}

std::string Extension(const std::string& pPath) {
    return SplitPath(pPath, 0, 0, 0, 0, 1, 1);
}

std::string FolderOf(const std::string& pPath) {
    return SplitPath(pPath, 1, 1, 0, 0, 0);
}

std::string BaseName(const std::string& pPath) {
    return SplitPath(pPath, 0, 0, 1, 0, 0);
}

std::string MakeNumberedName(const std::string& pPath, int pKeepFolder, int pKeepExtension, int pDigits,
                             int pForce) {
    return Trapped(std::string(), [&]() -> std::string {
        if (pForce == 0 && !EntryExists(pPath))
            return SplitPath(pPath, pKeepFolder, pKeepFolder, 1, pKeepExtension, pKeepExtension);
        const std::string folder = FolderOf(pPath);
        const std::string base = BaseName(pPath);
        const std::string dotExt = SplitPath(pPath, 0, 0, 0, 1, 1);
        constexpr long kLastNumber = 10'000'000;
        for (long n = 1; n <= kLastNumber; ++n) {
            const std::string number = FormatNumber(n, pDigits);
            if (EntryExists(folder + base + number + dotExt)) continue;
            return (pKeepFolder ? folder : std::string()) + base + number +
                   (pKeepExtension ? dotExt : std::string());
        }
        return {};
    });
}

std::vector<std::string> ParseCommandLine(const std::vector<std::string>& pArguments,
                                          const std::string& pStartFolder) {
    std::vector<std::string> paths;
    for (const std::string& arg : pArguments) {
        if (arg.empty() || arg.front() == '-') continue;
        std::filesystem::path path(arg);
        if (path.is_relative()) path = std::filesystem::path(pStartFolder) / path;
        paths.push_back(path.lexically_normal().string());
    }
    return paths;
}

void SetCommandLine(int pArgc, const char* const* pArgv) {
    CommandLine& line = RecordedCommandLine();
    line.Arguments.clear();
    for (int i = 1; i < pArgc; ++i)
        line.Arguments.emplace_back(pArgv[i]);
    std::error_code ec;
    line.StartFolder = std::filesystem::current_path(ec).string();
}

std::vector<std::string> ParseCommandLine() {
    const CommandLine& line = RecordedCommandLine();
    return ParseCommandLine(line.Arguments, line.StartFolder);
}

double SecondsSinceMidnight() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    const time_t secs = ts.tv_sec;
    ::localtime_r(&secs, &local);
    const double value = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ts.tv_nsec / 1e9;
    if (value < 0) return 0;
    return value > 86399.999 ? 86399.999 : value;
}

double ElapsedSinceMidnight(double pStart, double pNow) noexcept {
    return pStart > pNow ? pNow + 86400.0 - pStart : pNow - pStart;
}

void WaitWithEvents(int pMilliseconds, int pSleepMilliseconds) {
    if (pMilliseconds <= 0) {
        PumpEvents();
        return;
    }
    const double wait = pMilliseconds / 1000.0;
    const double start = SecondsSinceMidnight();
    for (;;) {
        PumpEvents();
        if (ElapsedSinceMidnight(start, SecondsSinceMidnight()) > wait) return;
        if (pSleepMilliseconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(pSleepMilliseconds));
    }
}

std::string CutAtNul(const std::string& pText) {
    const auto nul = pText.find('\0');
    return TrimSpaces(nul == std::string::npos ? pText : pText.substr(0, nul));
}

int OpenWithShell(const std::string& pPath) {
    return Trapped(0, [&] {
        if (TrimSpaces(pPath).empty()) return 0;
        return QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{QString::fromStdString(pPath)})
                   ? 1
                   : 0;
    });
}

} // namespace Support

namespace Support {

namespace {
constexpr int kClaimAttempts = 1000;
}

std::string ClaimNumberedName(const std::string& pPath, int pDigits) {
    return Trapped(std::string(), [&]() -> std::string {
        for (int i = 0; i < kClaimAttempts; ++i) {
            const std::string name = MakeNumberedName(pPath, 1, 1, pDigits, 0);
            if (name.empty()) return {};
            if (CreateExclusive(name)) return name;
            if (errno != EEXIST) return {};
        }
        return {};
    });
}

std::string MoveToNumberedName(const std::string& pSource, const std::string& pPath, int pDigits) {
    return Trapped(std::string(), [&]() -> std::string {
        for (int i = 0; i < kClaimAttempts; ++i) {
            const std::string name = MakeNumberedName(pPath, 1, 1, pDigits, 0);
            if (name.empty()) return {};
            if (RenameNoReplace(pSource, name)) return name;
            if (errno != EEXIST) return {};
        }
        return {};
    });
}

} // namespace Support
