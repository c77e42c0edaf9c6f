#include "app/BatchFile.h"
#include "tests/common/ProgramFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestFiles;
using Lines = std::vector<std::string>;

namespace {

Mp2Section WorkedExample() {
    Mp2Section s;
    s.Row = 1;
    s.RowCount = 5;
    s.Current = "/out/~conv01.wav";
    s.Source = "/music/song.wav";
    s.Out = "/out/song.mp2";
    s.SamplesPerSec = 44100;
    s.BitsPerSample = 16;
    s.Channels = 2;
    s.Milliseconds = 205400;
    s.BitRateText = "192";
    s.ModeText = "JointStereo";
    return s;
}

TEST(BatchFileLines, TheWorkedExampleLineByLine) {
    EXPECT_EQ(
        BatchFile::SectionLines(WorkedExample(), "/usr/bin/twolame"),
        (Lines{"[ -t 1 ] && clear", "echo '2/5 エンコード開始・・・'", "echo .", "echo '変換元ファイル'",
               "echo '\"/out/~conv01.wav\"'", "echo '44100Hz/16bit/2ch  再生時間 03'\\''25.4'", "echo .",
               "echo '変換先ファイル'", "echo '\"/out/song.mp2\"'", "echo 'mpeg layer2/192kbps/JointStereo'",
               "echo .",
               "out=/out/song.mp2; /usr/bin/twolame -b 192 -m j '/out/~conv01.wav' \"$out\" || rm -f -- "
               "\"$out\"; out=",
               "rm -f -- '/out/~conv01.wav'"}));
}

TEST(BatchFileLines, SourceEncodedInPlaceAndMissingChoicesLeftOut) {
    Mp2Section s = WorkedExample();
    s.Current = s.Source;
    s.ModeText.clear();
    Lines lines = BatchFile::SectionLines(s, "twolame");
    ASSERT_EQ(lines.size(), 12u) << "the source itself is never deleted";
    EXPECT_EQ(lines[9], "echo 'mpeg layer2/192kbps/'");
    EXPECT_EQ(lines[11],
              "out=/out/song.mp2; twolame -b 192 /music/song.wav \"$out\" || rm -f -- \"$out\"; out=");
    s.BitRateText.clear();
    s.ModeText = "Mono";
    lines = BatchFile::SectionLines(s, "twolame");
    EXPECT_EQ(lines[11],
              "out=/out/song.mp2; twolame -m m /music/song.wav \"$out\" || rm -f -- \"$out\"; out=");
}

TEST(BatchFileLines, HeadGoesToTheProgramFolder) {
    const Lines head = BatchFile::HeadLines("/opt/Tolvane 1/");
    ASSERT_EQ(head.size(), 3u);
    EXPECT_EQ(head[0], "#!/bin/sh");
    EXPECT_EQ(head[1], "cd -- '/opt/Tolvane 1'");
    EXPECT_EQ(BatchFile::HeadLines("/")[1], "cd -- /");
}

TEST(BatchFileLines, QuotingAndModeLetters) {
    EXPECT_EQ(ShellQuote("/a/b-c_d.wav"), "/a/b-c_d.wav");
    EXPECT_EQ(ShellQuote(""), "''");
    EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
    EXPECT_EQ(ShellQuote("$(x) `y` ~z *"), "'$(x) `y` ~z *'");
    EXPECT_EQ(Mp2ModeLetter("Stereo"), "s");
    EXPECT_EQ(Mp2ModeLetter("JointStereo"), "j");
    EXPECT_EQ(Mp2ModeLetter("Mono"), "m");
    EXPECT_EQ(Mp2ModeLetter("DualMono"), "d");
    EXPECT_EQ(Mp2ModeLetter("stereo"), "");
    EXPECT_EQ(Mp2ModeLetter(""), "");
}

// A stand-in encoder in the program folder: records its arguments, then copies its input to its
// output, fails, or hangs, as the input's first byte asks.
class CommandFile : public ProgramFixture {
protected:
    std::string Encoder;
    std::string ArgLog;

    void SetUp() override {
        ProgramFixture::SetUp();
        Encoder = Dir / "twolame";
        ArgLog = Dir / "args.log";
        WriteText(Encoder, "#!/bin/sh\n"
                           "for a in \"$@\"; do printf '%s\\0' \"$a\" >> '" +
                               ArgLog +
                               "'; done\n"
                               "for last; do :; done\n"
                               "in=\"\"; for a in \"$@\"; do [ \"$a\" = \"$last\" ] || in=\"$a\"; done\n"
                               "case \"$(head -c 1 \"$in\")\" in\n"
                               "  F) printf partial > \"$last\"; exit 1;;\n"
                               "  H) printf partial > \"$last\"; sleep 30; exit 0;;\n"
                               "esac\n"
                               "cat \"$in\" > \"$last\"\n");
        ::chmod(Encoder.c_str(), 0755);
    }
    static void WriteText(const std::string& pPath, const std::string& pText) {
        WriteFile(pPath, Bytes(pText.begin(), pText.end()));
    }
    [[nodiscard]] Lines LoggedArgs() const {
        const Bytes bytes = ReadFile(ArgLog);
        Lines args;
        std::string arg;
        for (const auto b : bytes) {
            if (b == 0) {
                args.push_back(arg);
                arg.clear();
            } else {
                arg += char(b);
            }
        }
        return args;
    }
    // Runs the script with its screen output in a file.
    int RunQuietly(const std::string& pScript, const std::function<bool()>& pStop = {}) {
        const int saved = ::dup(1);
        const int log = ::open((Dir / "screen.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(log, 1);
        const int status = RunCommandFileAndWait(pScript, pStop);
        ::dup2(saved, 1);
        ::close(saved);
        ::close(log);
        return status;
    }
    struct Queued {
        std::string Base;
        std::string Content;
        bool Temporary = false;
    };
    // Two rows queued as the driver leaves them: the input WAV (the source itself, or a
    // "~" temporary) and the claimed, empty output. Returns the script.
    std::string QueueTwo(const Queued& pFirst, const Queued& pSecond) {
        BatchFile batch(Dir.Path(), Encoder);
        EXPECT_TRUE(batch.Open());
        for (const Queued& q : {pFirst, pSecond}) {
            const std::string source = Dir / (q.Base + ".wav");
            const std::string current = q.Temporary ? Dir / ("~" + q.Base + ".wav") : source;
            WriteText(current, q.Content);
            WriteText(Dir / (q.Base + ".mp2"), "");
            EXPECT_TRUE(batch.WriteSection(Section(current, source, Dir / (q.Base + ".mp2"))));
        }
        EXPECT_TRUE(batch.Close());
        return batch.Path();
    }
    Mp2Section Section(const std::string& pCurrent, const std::string& pSource, const std::string& pOut) {
        Mp2Section s = WorkedExample();
        s.Current = pCurrent;
        s.Source = pSource;
        s.Out = pOut;
        return s;
    }
};

TEST_F(CommandFile, HostileNamesAreDataNeverCode) {
    const Lines names{"it's \"quoted\".wav",
                      "$(touch PWNED1).wav",
                      "`touch PWNED2`.wav",
                      "semi;touch PWNED3;.wav",
                      "new\nline.wav",
                      "back\\nslash\\c.wav",
                      "-n.wav",
                      "*.wav",
                      "~tilde.wav",
                      "\xff\xfe bytes.wav",
                      "${HOME}.wav",
                      "a  b\ttab.wav"};
    std::filesystem::create_directories(Dir / "in");
    BatchFile batch(Dir.Path(), Encoder);
    ASSERT_TRUE(batch.Open());
    Lines expectedArgs;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string current = Dir / ("in/~" + names[i]);
        const std::string out = Dir / ("in/" + names[i] + ".mp2");
        WriteText(current, "audio " + std::to_string(i));
        WriteText(out, "");
        Mp2Section s = Section(current, Dir / ("in/" + names[i]), out);
        s.Row = int(i);
        ASSERT_TRUE(batch.WriteSection(s));
        expectedArgs.insert(expectedArgs.end(), {"-b", "192", "-m", "j", current, out});
    }
    ASSERT_TRUE(batch.Close());
    EXPECT_EQ(RunQuietly(batch.Path()), 0);
    EXPECT_EQ(LoggedArgs(), expectedArgs);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const Bytes out = ReadFile(Dir / ("in/" + names[i] + ".mp2"));
        EXPECT_EQ(std::string(out.begin(), out.end()), "audio " + std::to_string(i));
        EXPECT_FALSE(std::filesystem::exists(Dir / ("in/~" + names[i]))) << "the temporary input is deleted";
    }
    for (const char* injected : {"PWNED1", "PWNED2", "PWNED3"}) {
        EXPECT_FALSE(std::filesystem::exists(Dir / injected)) << injected;
        EXPECT_FALSE(std::filesystem::exists(Dir / ("in/" + std::string(injected)))) << injected;
    }
    // What the screen shows is the names exactly, in double quotes.
    const Bytes screen = ReadFile(Dir / "screen.log");
    const std::string shown(screen.begin(), screen.end());
    for (const std::string& name : names)
        EXPECT_NE(shown.find("\"" + Dir / ("in/~" + name) + "\"\n"), std::string::npos) << name << "\n"
                                                                                        << shown;
}

TEST_F(CommandFile, AFailedEncodingLeavesNoOutputAndTheBatchGoesOn) {
    const std::string script = QueueTwo({"bad", "Fail", false}, {"good", "good", false});
    EXPECT_EQ(RunQuietly(script), 0);
    EXPECT_FALSE(std::filesystem::exists(Dir / "bad.mp2"));
    EXPECT_EQ(ReadFile(Dir / "good.mp2"), ReadFile(Dir / "good.wav"));
    EXPECT_TRUE(std::filesystem::exists(Dir / "bad.wav")) << "a source is never deleted";
}

TEST_F(CommandFile, AnInterruptedBatchRemovesThePartialOutputAndStops) {
    const std::string script = QueueTwo({"hang", "Hang", true}, {"next", "next", true});
    const auto started = std::chrono::steady_clock::now();
    const int status = RunQuietly(script, [&] {
        return std::filesystem::exists(Dir / "hang.mp2") && std::filesystem::file_size(Dir / "hang.mp2") > 0;
    });
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_EQ(status, 130);
    EXPECT_FALSE(std::filesystem::exists(Dir / "hang.mp2"));
    EXPECT_EQ(ReadFile(Dir / "next.mp2"), Bytes{}) << "the section after the interrupt never ran";
}

TEST_F(CommandFile, ReplacesOnlyItsOwnFileAndOnlyWhenComplete) {
    WriteText(Dir / "com.sh", "old");
    WriteText(Dir / "~t.wav", "x");
    WriteText(Dir / "t.mp2", "");
    {
        BatchFile batch(Dir.Path(), Encoder);
        ASSERT_TRUE(batch.Open());
        ASSERT_TRUE(batch.WriteSection(Section(Dir / "~t.wav", Dir / "t.wav", Dir / "t.mp2")));
        EXPECT_EQ(ReadFile(Dir / "com.sh"), (Bytes{'o', 'l', 'd'})) << "unfinished: the old file stays";
    }
    // Dropped unfinished: the files it would have consumed or filled are gone, the old file stays.
    EXPECT_EQ(Dir.List(), (Lines{"com.sh", "config", "twolame"}));
    EXPECT_EQ(ReadFile(Dir / "com.sh"), (Bytes{'o', 'l', 'd'}));

    BatchFile batch(Dir.Path(), Encoder);
    ASSERT_TRUE(batch.Open());
    ASSERT_TRUE(batch.Close());
    const Bytes text = ReadFile(Dir / "com.sh");
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "#!/bin/sh\ncd -- " + ShellQuote(Dir.Path()) +
                  "\ntrap 'rm -f -- ${out:+\"$out\"}; exit 130' INT TERM HUP\n");
    struct stat st {};
    ASSERT_EQ(::stat((Dir / "com.sh").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IXUSR, 0u);
    for (const auto& e : std::filesystem::directory_iterator(Dir.Path()))
        EXPECT_EQ(e.path().filename().string().find(".com.sh"), std::string::npos) << e.path();
}

TEST_F(CommandFile, TheEncoderInTheProgramFolderComesFirst) {
    EXPECT_EQ(FindMp2Encoder(), Encoder);
    std::filesystem::remove(Encoder);
    const std::string found = FindMp2Encoder();
    if (!found.empty()) {
        EXPECT_EQ(found.front(), '/') << "only absolute PATH entries are searched";
    }
    EXPECT_NE(found, Encoder);
}

} // namespace
