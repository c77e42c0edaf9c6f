// Faults from outside during a run: a full disk, an output folder that goes away or cannot be
// written, sources that shrink or vanish, and the program killed outright. After each, no
// existing file was replaced or changed, no source was touched, nothing partial sits under a
// final name, and every failed file was reported while the run went on.
#include "engine/FCT_mpeg.h"
#include "engine/WaveMMIO.h"
#include "tests/app/AppTestFiles.h"
#include "tests/app/CliRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

using namespace TestFiles;
using AppTestFiles::ToneWav;

namespace {

using Names = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

bool Contains(const std::string& pText, const std::string& pPart) {
    return pText.find(pPart) != std::string::npos;
}

// Each fault with one file at a time and with two at once.
class Faults : public ::testing::TestWithParam<int> {
protected:
    TempDir Dir;
    const int Jobs = GetParam();
    std::string In;
    std::string Out;
    // Every file that existed before the run, with its bytes.
    std::map<std::string, Bytes> Before;

    void SetUp() override {
        In = Dir / "in";
        Out = Dir / "out";
        std::filesystem::create_directories(In);
        std::filesystem::create_directories(Out);
    }
    std::string Source(const std::string& pName, const Bytes& pBytes) {
        WriteFile(In + "/" + pName, pBytes);
        return In + "/" + pName;
    }
    void Snapshot() {
        Before.clear();
        for (const auto& e : std::filesystem::recursive_directory_iterator(Dir.Path()))
            if (e.is_regular_file()) Before[e.path().string()] = ReadFile(e.path().string());
    }
    // Files that existed before are unchanged (unless listed as allowed to go), and every other
    // file under a final name in pFolder is a complete, valid output.
    void ExpectNothingDamaged(const std::string& pFolder, const Names& pMayBeGone = {}) {
        for (const auto& [path, bytes] : Before) {
            const bool mayGo = std::find(pMayBeGone.begin(), pMayBeGone.end(), path) != pMayBeGone.end();
            if (mayGo && !std::filesystem::exists(path)) continue;
            EXPECT_EQ(ReadFile(path), bytes) << path << " was changed";
        }
        if (!std::filesystem::exists(pFolder)) return;
        for (const auto& e : std::filesystem::directory_iterator(pFolder)) {
            const std::string name = e.path().filename().string();
            if (Before.count(e.path().string()) != 0 || name.front() == '~') continue;
            if (e.path().extension() == ".wav") {
                const WaveInfo info = WaveMMIO::GetWaveInfo(e.path().string());
                EXPECT_EQ(info.Valid, 1) << name;
                EXPECT_EQ(info.DataOffset + info.DataSize + (info.DataSize & 1), info.FileSize) << name;
            } else if (e.path().extension() == ".mp3") {
                MpegInfo info;
                EXPECT_EQ(FCT_mpeg::ReadMpegInfo(e.path().string(), info, 0), 1) << name;
            }
        }
    }
    static bool WaitFor(const std::function<bool()>& pCondition, int pSeconds = 30) {
        const auto deadline = Clock::now() + std::chrono::seconds(pSeconds);
        while (!pCondition()) {
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    // The run's command line: the files, the options, the output folder and the number of jobs.
    [[nodiscard]] Names Args(Names pArgs) const {
        pArgs.insert(pArgs.end(), {"--out", Out, "--jobs", std::to_string(Jobs)});
        return pArgs;
    }
    // One long source per job, so that every worker is in the middle of one when the fault comes.
    [[nodiscard]] Names LongSources(const std::string& pStem, double pSeconds) {
        Names paths;
        for (int i = 0; i < Jobs; ++i)
            paths.push_back(
                Source(pStem + (i == 0 ? "" : std::to_string(i + 1)) + ".wav", ToneWav(2, 44100, pSeconds)));
        return paths;
    }
    // Waits until every job has a temporary file of at least pBytes whose name starts with pPrefix.
    [[nodiscard]] bool WaitForWork(const std::string& pPrefix, std::uintmax_t pBytes = 1) const {
        return WaitFor([&] {
            int busy = 0;
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(Out, ec))
                busy +=
                    e.path().filename().string().starts_with(pPrefix) && e.file_size(ec) >= pBytes ? 1 : 0;
            return busy >= Jobs;
        });
    }
    [[nodiscard]] Names List(const std::string& pFolder) const {
        Names names;
        for (const auto& e : std::filesystem::directory_iterator(pFolder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Conversion, decoding and MP3 encoding each hit a 2 MB file-size limit in the middle of the file.
TEST_P(Faults, AFullDiskFailsTheFileRemovesThePartAndTheRunGoesOn) {
    if (!AppTestFiles::HaveLauncher()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
    const std::string big = Source("big.wav", ToneWav(2, 44100, 20));
    ASSERT_TRUE(AppTestFiles::MakeWithGst(In + "/long.ogg", "vorbisenc ! oggmux", 30));
    // A WAV of 200 s that is not in the target format: MP3 of it is more than 2 MB at 128 kbit/s.
    const std::string huge = Source("huge.wav", ToneWav(2, 44100, 200));
    const std::string small = Source("small.wav", ToneWav(1, 8000, 0.5));
    WriteFile(Out + "/big.wav", {1, 2, 3});
    WriteFile(Out + "/keep.mp3", {4, 5, 6});
    ::chmod(Dir.Path().c_str(), 0755);
    Snapshot();
    const CliLimits full{2'000'000, false};

    struct Case {
        Names Args;
        Names Failed;
    };
    const std::vector<Case> cases{
        {{big, small, "--rate", "96000", "--mode", "Stereo24bit", "--wav"}, {big}},
        {{In + "/long.ogg", small, "--decode-only", "--wav", "--rate", "8000", "--mode", "Stereo16bit"},
         {In + "/long.ogg"}},
        {{huge, small, "--rate", "44100", "--mode", "Stereo16bit", "--mp3", "128"}, {huge}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args[0]);
        const Finished r = RunCli(Dir, Args(c.Args), full);
        EXPECT_EQ(r.ExitCode, 1) << r.Output << r.Errors;
        for (const std::string& failed : c.Failed)
            EXPECT_TRUE(Contains(r.Output, "  failed: " + failed)) << r.Output;
        EXPECT_TRUE(Contains(r.Output, "1 converted")) << "the small file after the failure: " << r.Output;
        ExpectNothingDamaged(Out);
        for (const std::string& name : List(Out))
            EXPECT_NE(name.front(), '~') << "temporary left: " << name;
    }
    EXPECT_EQ(List(Out), (Names{"big.wav", "keep.mp3", "small.mp3", "small.wav", "small01.wav"}));
}

TEST_P(Faults, AnOutputFolderThatCannotBeWrittenFailsEveryFileClearly) {
    Source("a.wav", ToneWav(2, 44100, 1));
    ASSERT_TRUE(AppTestFiles::MakeMp3(In + "/b.mp3", 1, true));
    ::chmod(Dir.Path().c_str(), 0755);
    ::chmod(In.c_str(), 0555);
    ::chmod(Out.c_str(), 0555);
    Snapshot();
    const Finished r =
        RunCli(Dir, Args({In + "/a.wav", In + "/b.mp3", "--rate", "22050", "--wav"}), {0, true});
    ::chmod(In.c_str(), 0755);
    ::chmod(Out.c_str(), 0755);
    EXPECT_EQ(r.ExitCode, 1) << r.Output << r.Errors;
    EXPECT_TRUE(Contains(r.Output, "0 converted, 0 unchanged, 2 failed")) << r.Output;
    EXPECT_TRUE(Contains(r.Output, "failed: " + In + "/a.wav  (cannot create a file in " + Out + "/)"))
        << r.Output;
    EXPECT_TRUE(List(Out).empty());
    ExpectNothingDamaged(Out);
}

TEST_P(Faults, AnOutputFolderRemovedDuringTheRun) {
    const Names first = LongSources("first", 240);
    const std::string second = Source("second.wav", ToneWav(1, 8000, 0.5));
    Snapshot();
    Names args = first;
    args.insert(args.end(), {second, "--rate", "96000", "--mode", "Stereo24bit", "--wav"});
    CliRun run(Dir, Args(args));
    ASSERT_TRUE(WaitForWork("~conv"));
    // Held still while the folder goes, so that the removal lands in the middle of the files.
    run.Signal(SIGSTOP);
    std::filesystem::remove_all(Out);
    run.Signal(SIGCONT);
    const Finished r = run.Wait();
    EXPECT_EQ(r.ExitCode, 1) << r.Output << r.Errors;
    for (const std::string& path : first)
        EXPECT_TRUE(Contains(r.Output, "  failed: " + path)) << r.Output;
    // Without its folder, the next output goes beside its source, as a missing folder always does.
    EXPECT_TRUE(Contains(r.Output, "converted  " + second + " -> " + In + "/second01.wav")) << r.Output;
    Names expected{"second.wav", "second01.wav"};
    for (const std::string& path : first)
        expected.push_back(path.substr(In.size() + 1));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(List(In), expected);
    ExpectNothingDamaged(In);
}

TEST_P(Faults, SourcesTruncatedOrRemovedDuringTheRun) {
    const Names shrinking = LongSources("shrinking", 240);
    const std::string vanishing = Source("vanishing.wav", ToneWav(2, 44100, 2));
    const std::string last = Source("last.wav", ToneWav(1, 8000, 0.5));
    Names args = shrinking;
    args.insert(args.end(), {vanishing, last, "--rate", "96000", "--mode", "Stereo24bit", "--wav"});
    CliRun run(Dir, Args(args));
    ASSERT_TRUE(WaitForWork("~conv"));
    // Another program cuts the files being converted short and deletes the next one.
    run.Signal(SIGSTOP);
    for (const std::string& path : shrinking)
        std::filesystem::resize_file(path, 100000);
    std::filesystem::remove(vanishing);
    run.Signal(SIGCONT);
    const Finished r = run.Wait();
    EXPECT_EQ(r.ExitCode, 1) << r.Output << r.Errors;
    EXPECT_TRUE(Contains(r.Output, "  failed: " + vanishing + "  (file not found)")) << r.Output;
    // On a busy machine the program may be held before it measured a source, or after it read the
    // last of it: then the output holds all the audio there was when it was read, 0.567 s or
    // 240 s. What must never happen is a cut output reported as converted.
    Names made{"last.wav"};
    for (const std::string& path : shrinking) {
        SCOPED_TRACE(path);
        const std::string name = std::filesystem::path(path).filename().string();
        if (!Contains(r.Output, "converted  " + path)) {
            EXPECT_TRUE(Contains(r.Output, "  failed: " + path + "  (conversion failed")) << r.Output;
            continue;
        }
        made.push_back(name);
        const WaveInfo out = WaveMMIO::GetWaveInfo(Out + "/" + name);
        EXPECT_EQ(out.DataOffset + out.DataSize, out.FileSize);
        EXPECT_TRUE(std::abs(out.Milliseconds - 567) <= 1 || out.Milliseconds == 240000) << out.Milliseconds;
    }
    std::sort(made.begin(), made.end());
    EXPECT_EQ(List(Out), made);
    ExpectNothingDamaged(Out);
}

// Killed in the middle of conversions and of MP3 encodings, then started again with the same
// files: the stale temporaries stay as they are, are never taken for outputs, and nothing partial
// appears under a final name.
TEST_P(Faults, KilledInTheMiddleAndStartedAgain) {
    const Names longer = LongSources("long", 240);
    const std::string done = Source("done.wav", ToneWav(1, 8000, 0.5));
    Names finals;
    for (const bool mp3 : {false, true}) {
        SCOPED_TRACE(mp3 ? "MP3" : "WAV");
        const Names format = mp3 ? Names{"--rate", "22050", "--mode", "Stereo16bit", "--mp3", "64"}
                                 : Names{"--rate", "96000", "--mode", "Stereo24bit", "--wav"};
        Names args = longer;
        args.push_back(done);
        args.insert(args.end(), format.begin(), format.end());
        Snapshot();
        CliRun run(Dir, Args(args));
        ASSERT_TRUE(WaitForWork(mp3 ? "~encode" : "~conv", 50000));
        run.Signal(SIGKILL);
        EXPECT_EQ(run.Wait().ExitCode, 128 + SIGKILL);
        ExpectNothingDamaged(Out);
        Names stale;
        for (const std::string& name : List(Out))
            if (name.front() == '~') stale.push_back(name);
        ASSERT_GE(stale.size(), std::size_t(Jobs));

        Snapshot();
        const Finished r = RunCli(Dir, Args(args));
        EXPECT_EQ(r.ExitCode, 0) << r.Output << r.Errors;
        ExpectNothingDamaged(Out);
        const std::string ext = mp3 ? ".mp3" : ".wav";
        for (const std::string& path : longer) {
            const std::string name = std::filesystem::path(path).stem().string() + ext;
            EXPECT_TRUE(Contains(r.Output, "-> " + Out + "/" + name)) << r.Output;
            finals.push_back(name);
        }
        EXPECT_TRUE(Contains(r.Output, "-> " + Out + "/done" + ext)) << r.Output;
        finals.push_back("done" + ext);
        // The stale temporaries are left alone, and the second run left none of its own.
        Names after;
        for (const std::string& name : List(Out))
            if (name.front() == '~') after.push_back(name);
        EXPECT_EQ(after, stale);
        for (const std::string& name : stale)
            EXPECT_EQ(ReadFile(Out + "/" + name), Before.at(Out + "/" + name)) << name;
    }
    Names names;
    for (const std::string& name : List(Out))
        if (name.front() != '~') names.push_back(name);
    std::sort(finals.begin(), finals.end());
    EXPECT_EQ(names, finals);
}

INSTANTIATE_TEST_SUITE_P(Jobs, Faults, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& pInfo) {
                             return "Jobs" + std::to_string(pInfo.param);
                         });

} // namespace
