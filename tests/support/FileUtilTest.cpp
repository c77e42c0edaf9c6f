#include "support/FileUtil.h"

#include "tests/common/TestApp.h"
#include "tests/common/TestFiles.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace Support;
using namespace std::string_literals;
using TestFiles::Bytes;
using TestFiles::TempDir;
namespace fs = std::filesystem;

namespace {

void Put(const std::string& pPath, const std::string& pText) {
    TestFiles::WriteFile(pPath, Bytes(pText.begin(), pText.end()));
}

std::string Get(const std::string& pPath) {
    const Bytes b = TestFiles::ReadFile(pPath);
    return std::string(b.begin(), b.end());
}

double MsSince(std::chrono::steady_clock::time_point pStart) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - pStart).count();
}

// Events only run with an application object, and a process may have only one.
void EnsureApp() {
    TestApp::Instance();
}

// The fake xdg-open must be found first; the real PATH comes back even when an assertion fails.
class PathPrefix {
public:
    explicit PathPrefix(const std::string& pFolder) {
        const char* old = std::getenv("PATH");
        c_Old = old != nullptr ? old : "";
        ::setenv("PATH", (pFolder + ":" + c_Old).c_str(), 1);
    }
    ~PathPrefix() { ::setenv("PATH", c_Old.c_str(), 1); }
    PathPrefix(const PathPrefix&) = delete;
    PathPrefix& operator=(const PathPrefix&) = delete;

private:
    std::string c_Old;
};

} // namespace

TEST(SplitPath, PartsConcatenateInOrder) {
    const std::string p = "/a/b.c.wav";
    EXPECT_EQ(SplitPath(p, 1, 1, 0, 0, 0), "/a/");
    EXPECT_EQ(SplitPath(p, 1, 0, 0, 0, 0), "/a");
    EXPECT_EQ(SplitPath(p, 0, 0, 1, 0, 0), "b.c");
    EXPECT_EQ(SplitPath(p, 0, 0, 0, 1, 1), ".wav");
    EXPECT_EQ(SplitPath(p, 0, 0, 0, 0, 1), "wav");
    EXPECT_EQ(SplitPath(p, 1, 1, 1, 0, 0), "/a/b.c");
    EXPECT_EQ(SplitPath(p, 1, 1, 1, 1, 1), p);
    EXPECT_EQ(SplitPath("/x.wav", 1, 1, 0, 0, 0), "/");
    EXPECT_EQ(SplitPath("", 1, 1, 1, 1, 1), "");
    EXPECT_EQ(SplitPath("/Mix/Song.WaV", 1, 1, 1, 1, 1, 1), "/mix/song.wav");
    EXPECT_EQ(SplitPath("/Mix/Song.WaV", 0, 0, 0, 0, 1, 2), "WAV");
}

TEST(SplitPath, OnlyTheFileNameHasAnExtension) {
    EXPECT_EQ(SplitPath("/dir.v2/file", 0, 0, 0, 1, 1), "");
    EXPECT_EQ(SplitPath("/dir.v2/file", 0, 0, 1, 0, 0), "file");
    EXPECT_EQ(SplitPath("/dir.v2/file", 1, 1, 0, 0, 0), "/dir.v2/");
    EXPECT_EQ(SplitPath("song", 0, 0, 0, 1, 1), "");
    EXPECT_EQ(SplitPath("song", 0, 0, 1, 1, 1), "song");
    EXPECT_EQ(SplitPath("song", 1, 1, 0, 0, 0), "");
}

TEST(SplitPath, NamedPartsAndTextHelpers) {
    struct Row {
        std::string Path, Extension, Folder, Base;
    };
    for (const Row& r : std::vector<Row>{{"/Mix/Song.WaV", "wav", "/Mix/", "Song"},
                                         {"/dir.v2/file", "", "/dir.v2/", "file"},
                                         {"song.MP3", "mp3", "", "song"},
                                         {"", "", "", ""}}) {
        SCOPED_TRACE(r.Path);
        EXPECT_EQ(Extension(r.Path), r.Extension);
        EXPECT_EQ(FolderOf(r.Path), r.Folder);
        EXPECT_EQ(BaseName(r.Path), r.Base);
    }
    EXPECT_EQ(LowerCase("WAV Dest ÄÖ"), "wav dest äö");
    EXPECT_EQ(KilohertzText(44100), "44.1");
    EXPECT_EQ(KilohertzText(22050), "22.05");
    EXPECT_EQ(KilohertzText(11025), "11.025");
    EXPECT_EQ(KilohertzText(48000), "48");
}

TEST(MakeNumberedName, FreeNameIsKeptUnlessForced) {
    TempDir d;
    const std::string p = d / "song.wav";
    EXPECT_EQ(MakeNumberedName(p, 1, 1, 3, 0), p);
    EXPECT_EQ(MakeNumberedName(p, 0, 1, 3, 0), "song.wav");
    EXPECT_EQ(MakeNumberedName(p, 1, 0, 3, 0), d / "song");
    EXPECT_EQ(MakeNumberedName(p, 1, 1, 3, 1), d / "song001.wav");
    EXPECT_TRUE(d.List().empty());
}

TEST(MakeNumberedName, ExistingNameGetsFirstFreeNumber) {
    TempDir d;
    const std::string p = d / "song.wav";
    Put(p, "x");
    EXPECT_EQ(MakeNumberedName(p, 1, 1, 3, 0), d / "song001.wav");
    Put(d / "song001.wav", "x");
    Put(d / "song002.mp3", "x"); // another extension does not take the number
    EXPECT_EQ(MakeNumberedName(p, 1, 1, 3, 0), d / "song002.wav");
    EXPECT_EQ(MakeNumberedName(p, 0, 0, 3, 0), "song002");
    EXPECT_EQ(MakeNumberedName(p, 1, 1, 0, 0), d / "song1.wav");
    Put(d / "song1.wav", "x");
    EXPECT_EQ(MakeNumberedName(p, 1, 1, 0, 0), d / "song2.wav");
    EXPECT_EQ(d.List().size(), 4U);
}

TEST(MakeNumberedName, NumbersGrowPastTheDigitCount) {
    TempDir d;
    Put(d / "song.wav", "x");
    for (int n = 1; n <= 99; ++n)
        Put(d / ("song" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".wav"), "x");
    EXPECT_EQ(MakeNumberedName(d / "song.wav", 1, 1, 2, 0), d / "song100.wav");
}

TEST(MakeNumberedName, FoldersAndDanglingLinksAreTaken) {
    TempDir d;
    Put(d / "song.wav", "x");
    fs::create_directory(d / "song01.wav");
    fs::create_symlink(d / "nowhere", d / "song02.wav");
    EXPECT_EQ(MakeNumberedName(d / "song.wav", 1, 1, 2, 0), d / "song03.wav");
    fs::create_symlink(d / "nowhere", d / "take.wav");
    EXPECT_EQ(MakeNumberedName(d / "take.wav", 1, 1, 2, 0), d / "take01.wav");
}

TEST(NumberedFiles, ClaimCreatesTheFirstFreeNameEmpty) {
    TempDir d;
    const std::string p = d / "out.wav";
    ASSERT_EQ(ClaimNumberedName(p, 2), p);
    EXPECT_EQ(fs::file_size(p), 0U);
    Put(p, "keep");
    EXPECT_EQ(ClaimNumberedName(p, 2), d / "out01.wav");
    EXPECT_EQ(ClaimNumberedName(p, 2), d / "out02.wav");
    EXPECT_EQ(fs::file_size(d / "out01.wav"), 0U);
    EXPECT_EQ(Get(p), "keep");
    EXPECT_EQ(ClaimNumberedName(d / "missing/out.wav", 2), "");
}

TEST(NumberedFiles, MoveNeverReplacesAFile) {
    TempDir d;
    Put(d / "src.wav", "new");
    Put(d / "out.wav", "old");
    Put(d / "out01.wav", "old1");
    EXPECT_EQ(MoveToNumberedName(d / "src.wav", d / "out.wav", 2), d / "out02.wav");
    EXPECT_EQ(Get(d / "out02.wav"), "new");
    EXPECT_EQ(Get(d / "out.wav"), "old");
    EXPECT_EQ(Get(d / "out01.wav"), "old1");
    EXPECT_FALSE(fs::exists(d / "src.wav"));
    Put(d / "b.wav", "b");
    EXPECT_EQ(MoveToNumberedName(d / "b.wav", d / "free.wav", 2), d / "free.wav");
    EXPECT_EQ(Get(d / "free.wav"), "b");
    const auto before = d.List();
    EXPECT_EQ(MoveToNumberedName(d / "gone.wav", d / "out.wav", 2), "");
    EXPECT_EQ(d.List(), before);
}

TEST(PathText, TrailingSeparator) {
    EXPECT_EQ(SetTrailingSeparator("/a/b", 0), "/a/b/");
    EXPECT_EQ(SetTrailingSeparator("/a/b/", 0), "/a/b/");
    EXPECT_EQ(SetTrailingSeparator("/a/b/", 1), "/a/b");
    EXPECT_EQ(SetTrailingSeparator("/a/b", 1), "/a/b");
    EXPECT_EQ(SetTrailingSeparator("/a//", 1), "/a/");
    EXPECT_EQ(SetTrailingSeparator(" a ", 0), " a /");
    EXPECT_EQ(SetTrailingSeparator("   ", 0), "");
    EXPECT_EQ(SetTrailingSeparator("", 1), "");
}

TEST(PathText, EnsureExtension) {
    EXPECT_EQ(EnsureExtension("song", "wav"), "song.wav");
    EXPECT_EQ(EnsureExtension("song", ".WAV"), "song.wav");
    EXPECT_EQ(EnsureExtension("song.WAV", "wav"), "song.WAV");
    EXPECT_EQ(EnsureExtension("song.mp3", " .wav "), "song.mp3.wav");
    EXPECT_EQ(EnsureExtension("songwav", "wav"), "songwav.wav");
    EXPECT_EQ(EnsureExtension("", "wav"), "");
    EXPECT_EQ(EnsureExtension("song", "   "), "song");
}

TEST(PathText, CutAtNulTrimsSpacesOnly) {
    EXPECT_EQ(CutAtNul("  name.wav \0junk"s), "name.wav");
    EXPECT_EQ(CutAtNul("\0abc"s), "");
    EXPECT_EQ(CutAtNul("\tname "), "\tname");
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces(" \t "), "\t");
}

TEST(Existence, FilesAndFolders) {
    TempDir d;
    Put(d / "f.wav", "x");
    fs::create_directory(d / "sub");
    EXPECT_EQ(FileExists(d / "f.wav"), 1);
    EXPECT_EQ(FileExists(d / "sub"), 0);
    EXPECT_EQ(FileExists(d / "none"), 0);
    EXPECT_EQ(FileExists(""), 0);
    EXPECT_EQ(FileExists("   "), 0);
    EXPECT_EQ(FolderExists(d / "sub"), 1);
    EXPECT_EQ(FolderExists(d / "sub/"), 1);
    EXPECT_EQ(FolderExists(d / "f.wav"), 0);
    EXPECT_EQ(FolderExists(d / "none"), 0);
    EXPECT_EQ(FolderExists("/"), 1);
    EXPECT_EQ(FolderExists(""), 0);
}

// A blank folder field must not stand for the root folder.
TEST(Existence, BlankPathIsNoFolder) {
    EXPECT_EQ(FolderExists("   "), 0);
}

TEST(Existence, MakeFolderMakesOneLevel) {
    TempDir d;
    EXPECT_EQ(MakeFolder(d / "new"), 1);
    EXPECT_TRUE(fs::is_directory(d / "new"));
    EXPECT_EQ(MakeFolder(d / "new"), 0);
    EXPECT_EQ(MakeFolder(d / "trail/"), 1);
    EXPECT_TRUE(fs::is_directory(d / "trail"));
    EXPECT_EQ(MakeFolder(d / "a/b"), 0);
    EXPECT_FALSE(fs::exists(d / "a"));
}

TEST(DeleteFileSafe, RemovesFilesButNotFolders) {
    TempDir d;
    Put(d / "f.wav", "x");
    EXPECT_EQ(DeleteFileSafe(d / "f.wav"), 1);
    EXPECT_FALSE(fs::exists(d / "f.wav"));
    EXPECT_EQ(DeleteFileSafe(d / "f.wav"), 1);
    Put(d / "ro.wav", "x");
    ASSERT_EQ(::chmod((d / "ro.wav").c_str(), 0444), 0);
    EXPECT_EQ(DeleteFileSafe(d / "ro.wav"), 1);
    EXPECT_FALSE(fs::exists(d / "ro.wav"));
    for (const char* name : {"con.wav", "nul.txt"}) {
        Put(d / name, "x");
        EXPECT_EQ(IsReservedDeviceName(d / name), 0) << name;
        EXPECT_EQ(DeleteFileSafe(d / name), 1) << name;
        EXPECT_FALSE(fs::exists(d / name)) << name;
    }
    fs::create_directory(d / "sub");
    EXPECT_EQ(DeleteFileSafe(d / "sub"), 0);
    EXPECT_TRUE(fs::is_directory(d / "sub"));
    // A link goes, not what it points to.
    Put(d / "target.wav", "t");
    fs::create_symlink(d / "target.wav", d / "link.wav");
    EXPECT_EQ(DeleteFileSafe(d / "link.wav"), 1);
    EXPECT_FALSE(fs::is_symlink(d / "link.wav"));
    EXPECT_EQ(Get(d / "target.wav"), "t");
}

TEST(RenameFileRetry, MovesAndOverwriteReplaces) {
    TempDir d;
    Put(d / "a.wav", "abc");
    EXPECT_EQ(RenameFileRetry(d / "a.wav", d / "b.wav", 0), 1);
    EXPECT_FALSE(fs::exists(d / "a.wav"));
    EXPECT_EQ(Get(d / "b.wav"), "abc");
    EXPECT_EQ(RenameFileRetry(d / "b.wav", d / "con.wav", 0), 1);
    EXPECT_EQ(Get(d / "con.wav"), "abc");
    Put(d / "src.wav", "new");
    EXPECT_EQ(RenameFileRetry(d / "src.wav", d / "con.wav", 1), 1);
    EXPECT_FALSE(fs::exists(d / "src.wav"));
    EXPECT_EQ(Get(d / "con.wav"), "new");
}

TEST(RenameFileRetry, NeverReplacesWithoutOverwrite) {
    TempDir d;
    Put(d / "src.wav", "new");
    Put(d / "tgt.wav", "old");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RenameFileRetry(d / "src.wav", d / "tgt.wav", 0), 0);
    EXPECT_GE(MsSince(start), 400.0); // it retried before giving up
    EXPECT_EQ(Get(d / "src.wav"), "new");
    EXPECT_EQ(Get(d / "tgt.wav"), "old");
}

// Deleting the "target" first must not destroy the only copy.
TEST(SafeOperations, OverwriteOntoItselfKeepsTheFile) {
    TempDir d;
    Put(d / "a.wav", "only");
    EXPECT_EQ(RenameFileRetry(d / "a.wav", d / "a.wav", 1), 1);
    EXPECT_EQ(Get(d / "a.wav"), "only");
    EXPECT_EQ(CopyFileSafe(d / "a.wav", d / "a.wav", 1), 0);
    EXPECT_EQ(Get(d / "a.wav"), "only");
}

TEST(CopyFileSafe, CopiesBytesExactly) {
    TempDir d;
    Bytes data(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t((i * 7919) >> 3);
    TestFiles::WriteFile(d / "src.bin", data);
    EXPECT_EQ(CopyFileSafe(d / "src.bin", d / "copy.bin", 0), 1);
    EXPECT_EQ(TestFiles::ReadFile(d / "copy.bin"), data);
    EXPECT_EQ(TestFiles::ReadFile(d / "src.bin"), data);
    Put(d / "empty.bin", "");
    EXPECT_EQ(CopyFileSafe(d / "empty.bin", d / "empty2.bin", 0), 1);
    EXPECT_TRUE(fs::exists(d / "empty2.bin"));
}

TEST(CopyFileSafe, ExistingTargetNeedsOverwrite) {
    TempDir d;
    Put(d / "src.wav", "new");
    Put(d / "tgt.wav", "older and longer");
    EXPECT_EQ(CopyFileSafe(d / "src.wav", d / "tgt.wav", 0), 0);
    EXPECT_EQ(Get(d / "tgt.wav"), "older and longer");
    EXPECT_EQ(CopyFileSafe(d / "src.wav", d / "tgt.wav", 1), 1);
    EXPECT_EQ(Get(d / "tgt.wav"), "new");
    EXPECT_EQ(Get(d / "src.wav"), "new");
}

TEST(CopyFileSafe, MissingSourceCreatesNothing) {
    TempDir d;
    EXPECT_EQ(CopyFileSafe(d / "none.wav", d / "tgt.wav", 0), 0);
    EXPECT_EQ(CopyFileSafe(d / "none.wav", d / "tgt.wav", 1), 0);
    Put(d / "src.wav", "x");
    EXPECT_EQ(CopyFileSafe(d / "src.wav", d / "nofolder/tgt.wav", 0), 0);
    EXPECT_EQ(d.List(), std::vector<std::string>{"src.wav"});
}

// A copy that cannot happen must not cost the existing target.
TEST(CopyFileSafe, OverwriteWithMissingSourceKeepsTarget) {
    TempDir d;
    Put(d / "tgt.wav", "old");
    EXPECT_EQ(CopyFileSafe(d / "none.wav", d / "tgt.wav", 1), 0);
    EXPECT_EQ(Get(d / "tgt.wav"), "old");
}

TEST(ParseCommandLine, KeepsPathsMadeAbsolute) {
    const auto paths =
        ParseCommandLine({"-q", "a.wav", "/abs/b.wav", "--out=x", "./sub/c d.wav", "x/../e.wav"}, "/start");
    EXPECT_EQ(paths,
              (std::vector<std::string>{"/start/a.wav", "/abs/b.wav", "/start/sub/c d.wav", "/start/e.wav"}));
    EXPECT_EQ(ParseCommandLine({"a.wav"}, "/start/"), std::vector<std::string>{"/start/a.wav"});
    EXPECT_TRUE(ParseCommandLine({"-a", "-b"}, "/start").empty());
    const char* argv[] = {"prog", "-v", "x.wav"};
    SetCommandLine(3, argv);
    EXPECT_EQ(ParseCommandLine(), std::vector<std::string>{(fs::current_path() / "x.wav").string()});
}

TEST(Clock, WaitLastsAtLeastTheRequestedTime) {
    const auto start = std::chrono::steady_clock::now();
    WaitWithEvents(60, 5);
    EXPECT_GE(MsSince(start), 60.0);
}

TEST(Clock, WaitRunsQueuedEvents) {
    EnsureApp();
    QObject context; // cancels any timer still pending when the test ends
    int early = 0;
    bool later = false;
    QTimer::singleShot(0, &context, [&] { ++early; });
    WaitWithEvents(0, 1);
    EXPECT_EQ(early, 1);
    QTimer::singleShot(0, &context, [&] { ++early; });
    WaitWithEvents(-5, 1);
    EXPECT_EQ(early, 2);
    QTimer::singleShot(20, &context, [&] { later = true; });
    WaitWithEvents(100, 1);
    EXPECT_TRUE(later);
}

TEST(Clock, ElapsedAcrossMidnight) {
    EXPECT_NEAR(ElapsedSinceMidnight(86399.9, 0.1), 0.2, 1e-6);
    EXPECT_NEAR(ElapsedSinceMidnight(10.0, 12.5), 2.5, 1e-9);
    EXPECT_EQ(ElapsedSinceMidnight(5.0, 5.0), 0.0);
    const double first = SecondsSinceMidnight();
    EXPECT_GE(first, 0.0);
    EXPECT_LE(first, 86399.999);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(ElapsedSinceMidnight(first, SecondsSinceMidnight()), 0.025);
}

TEST(OpenWithShell, StartsXdgOpenWithThePath) {
    TempDir d;
    const std::string bin = d / "bin";
    fs::create_directory(bin);
    const std::string record = d / "opened.txt";
    Put(bin + "/xdg-open",
        "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + ".tmp' && mv '" + record + ".tmp' '" + record + "'\n");
    fs::permissions(bin + "/xdg-open", fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const PathPrefix path(bin);
    const std::string target = d / "my song.wav";
    ASSERT_EQ(OpenWithShell(target), 1);
    for (int i = 0; i < 250 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(fs::exists(record));
    EXPECT_EQ(Get(record), target);
    EXPECT_EQ(OpenWithShell(""), 0);
    EXPECT_EQ(OpenWithShell("   "), 0);
}

TEST(AppFolder, IsTheExecutablesFolder) {
    const std::string folder = AppFolder();
    ASSERT_GE(folder.size(), 2U);
    EXPECT_EQ(folder.back(), '/');
    EXPECT_NE(folder[folder.size() - 2], '/');
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(folder, exe.parent_path().string() + "/");
    EXPECT_EQ(FileExists(folder + exe.filename().string()), 1);
}
