#include "support/FileIO.h"
#include "support/ErrorTrap.h"

#include "tests/common/TestFiles.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

using namespace Support;
using TestFiles::Bytes;
using TestFiles::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kGiB = std::int64_t(1) << 30;

void Put(const std::string& pPath, const std::string& pText) {
    TestFiles::WriteFile(pPath, Bytes(pText.begin(), pText.end()));
}

std::string Get(const std::string& pPath) {
    const Bytes b = TestFiles::ReadFile(pPath);
    return std::string(b.begin(), b.end());
}

} // namespace

TEST(ReadFileAt, ShortReadAtTheEndKeepsTheRestOfTheBuffer) {
    TempDir d;
    const std::string p = d / "data.bin";
    Put(p, "0123456789");
    std::array<char, 8> buf{};
    buf.fill('#');
    EXPECT_EQ(ReadFileAt(buf.data(), 4, p, 3), 1);
    EXPECT_EQ(std::string(buf.data(), buf.size()), "3456####");
    buf.fill('#');
    EXPECT_EQ(ReadFileAt(buf.data(), 8, p, 7), 1);
    EXPECT_EQ(std::string(buf.data(), buf.size()), "789#####");
    EXPECT_EQ(ReadFileAtCounted(buf.data(), 8, p, 7), 3);
    EXPECT_EQ(ReadFileAtCounted(buf.data(), 8, p, 0), 8);
    EXPECT_EQ(std::string(buf.data(), buf.size()), "01234567");
    EXPECT_EQ(ReadFileAtCounted(buf.data(), 8, p, 50), 0);
}

TEST(ReadFileAt, FailsWithoutAReadableFile) {
    TempDir d;
    Put(d / "data.bin", "0123");
    std::array<char, 4> buf{};
    EXPECT_EQ(ReadFileAt(buf.data(), 4, d / "missing.bin", 0), 0);
    EXPECT_EQ(ReadFileAtCounted(buf.data(), 4, d / "missing.bin", 0), -1);
    EXPECT_EQ(ReadFileAt(buf.data(), 4, d.Path(), 0), 0);
    EXPECT_EQ(ReadFileAtCounted(buf.data(), 4, d / "data.bin", -1), -1);
    EXPECT_EQ(ReadFileAt(buf.data(), 4, "", 0), 0);
}

TEST(ReadFileAt, RetriesAfterAPause) {
    TempDir d;
    const std::string p = d / "late.bin";
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Put(p + ".tmp", "late");
        fs::rename(p + ".tmp", p); // appears whole, never half-written
    });
    std::array<char, 4> buf{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadFileAt(buf.data(), 4, p, 0, 2), 1);
    const std::chrono::duration<double, std::milli> waited = std::chrono::steady_clock::now() - start;
    writer.join();
    EXPECT_GE(waited.count(), 490.0);
    EXPECT_EQ(std::string(buf.data(), buf.size()), "late");
}

TEST(WriteFileAt, OpensKeepingContentAndLeavesTheHandleOpen) {
    TempDir d;
    const std::string p = d / "out.bin";
    Put(p, "ABCDEFGH");
    FileHandle h;
    EXPECT_EQ(WriteFileAt("xy", 2, 2, h, p), 1);
    ASSERT_TRUE(h.IsOpen());
    // The open handle is used from now on; no name is needed.
    EXPECT_EQ(WriteFileAt("Z", 1, -1, h, ""), 1);
    EXPECT_EQ(WriteFileAt("0", 1, 0, h, ""), 1);
    EXPECT_EQ(Get(p), "0BxyEFGHZ");
    EXPECT_EQ(FileSizeOfHandle(h), 9);
}

TEST(WriteFileAt, CreatesAMissingFileAndAppends) {
    TempDir d;
    const std::string p = d / "new.bin";
    FileHandle h;
    EXPECT_EQ(WriteFileAt("abc", 3, -1, h, p), 1);
    EXPECT_EQ(WriteFileAt("de", 2, -1, h, p), 1);
    EXPECT_EQ(WriteFileAt("!", 1, 8, h, p), 1);
    EXPECT_EQ(Get(p), std::string("abcde\0\0\0!", 9));
}

TEST(WriteFileAt, FailureReturnsZeroAndClosesTheHandle) {
    TempDir d;
    Put(d / "file.txt", "keep");
    FileHandle h;
    EXPECT_EQ(WriteFileAt("x", 1, 0, h, d / "missing/out.bin"), 0);
    EXPECT_FALSE(h.IsOpen());
    EXPECT_EQ(WriteFileAt("x", 1, 0, h, d / "file.txt/x"), 0);
    EXPECT_FALSE(h.IsOpen());
    EXPECT_EQ(WriteFileAt("x", 1, 0, h, ""), 0);
    EXPECT_FALSE(h.IsOpen());
    FileHandle readOnly = OpenForRead(d / "file.txt");
    ASSERT_TRUE(readOnly.IsOpen());
    EXPECT_EQ(WriteFileAt("x", 1, 0, readOnly, d / "file.txt"), 0);
    EXPECT_FALSE(readOnly.IsOpen());
    EXPECT_EQ(Get(d / "file.txt"), "keep");
    EXPECT_EQ(d.List(), std::vector<std::string>{"file.txt"});
}

TEST(FileHandle, SeekSizeAndOwnership) {
    TempDir d;
    const std::string p = d / "data.bin";
    Put(p, "0123456789");
    FileHandle h = OpenForRead(p);
    ASSERT_TRUE(h.IsOpen());
    EXPECT_EQ(FileSizeOfHandle(h), 10);
    EXPECT_EQ(SeekFile(h, 6), 0);
    std::array<char, 2> two{};
    ASSERT_EQ(::read(h.Fd(), two.data(), two.size()), 2);
    EXPECT_EQ(std::string(two.data(), two.size()), "67");
    EXPECT_EQ(SeekFile(h, -1), -1);
    const FileHandle none;
    EXPECT_EQ(SeekFile(none, 0), -1);
    EXPECT_EQ(FileSizeOfHandle(none), -1);
    EXPECT_FALSE(OpenForRead(d / "missing.bin").IsOpen());
    EXPECT_FALSE(OpenForRead(d.Path()).IsOpen());
    const int fd = h.Fd();
    {
        FileHandle moved(std::move(h));
        EXPECT_FALSE(h.IsOpen()); // NOLINT(bugprone-use-after-move)
        EXPECT_EQ(moved.Fd(), fd);
    }
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1); // the new owner closed it
}

TEST(FileSizeOfPath, ReturnsLow32BitsAndSetsTheFullSize) {
    TempDir d;
    std::int64_t size = 99;
    EXPECT_EQ(FileSizeOfPath(d / "missing.bin", size), 0);
    EXPECT_EQ(size, 0);
    size = 99;
    EXPECT_EQ(FileSizeOfPath(d.Path(), size), 0);
    EXPECT_EQ(size, 0);
    Put(d / "small.bin", "12345");
    EXPECT_EQ(FileSizeOfPath(d / "small.bin", size), 5);
    EXPECT_EQ(size, 5);
    TestFiles::WriteSparse(d / "three.bin", {}, 3 * kGiB);
    EXPECT_EQ(FileSizeOfPath(d / "three.bin", size), std::int32_t(-1073741824));
    EXPECT_EQ(size, 3 * kGiB);
    TestFiles::WriteSparse(d / "four.bin", {'R'}, 4 * kGiB + 7);
    EXPECT_EQ(FileSizeOfPath(d / "four.bin", size), 7);
    EXPECT_EQ(size, 4 * kGiB + 7);
    TestFiles::WriteSparse(d / "five.bin", {'R'}, 5 * kGiB + 7);
    EXPECT_EQ(FileSizeOfPath(d / "five.bin", size), 0x40000007);
    EXPECT_EQ(size, 5 * kGiB + 7);
}

TEST(LargeFiles, OffsetsBeyond4GiBLandInPlace) {
    TempDir d;
    const std::string p = d / "big.bin";
    const std::int64_t at = 4 * kGiB + kGiB / 2;
    FileHandle h;
    ASSERT_EQ(WriteFileAt("MARKER!!", 8, at, h, p), 1);
    EXPECT_EQ(FileSizeOfHandle(h), at + 8);
    h.Close();
    std::array<char, 12> buf{};
    buf.fill('#');
    EXPECT_EQ(ReadFileAt(buf.data(), buf.size(), p, at - 4), 1);
    EXPECT_EQ(std::string(buf.data(), buf.size()), std::string(4, '\0') + "MARKER!!");
    // Nothing landed where a 32-bit offset would have put it.
    buf.fill('#');
    EXPECT_EQ(ReadFileAt(buf.data(), 8, p, kGiB / 2), 1);
    EXPECT_EQ(std::string(buf.data(), 8), std::string(8, '\0'));
    ASSERT_EQ(WriteFileAt("END", 3, -1, h, p), 1);
    EXPECT_EQ(ReadFileAtCounted(buf.data(), buf.size(), p, at + 8), 3);
    EXPECT_EQ(std::string(buf.data(), 3), "END");
}

TEST(SaturateToDword, ClampsToTheFieldRange) {
    EXPECT_EQ(SaturateToDword(-5), 0U);
    EXPECT_EQ(SaturateToDword(std::numeric_limits<std::int64_t>::min()), 0U);
    EXPECT_EQ(SaturateToDword(123), 123U);
    EXPECT_EQ(SaturateToDword(4294967295LL), 4294967295U);
    EXPECT_EQ(SaturateToDword(4294967296LL), 0xFFFFFFFFU);
    EXPECT_EQ(SaturateToDword(std::numeric_limits<std::int64_t>::max()), 0xFFFFFFFFU);
}

TEST(CreateExclusive, RefusesAnExistingName) {
    TempDir d;
    Put(d / "old.bin", "keep");
    EXPECT_FALSE(CreateExclusive(d / "old.bin").IsOpen());
    EXPECT_EQ(Get(d / "old.bin"), "keep");
    FileHandle h = CreateExclusive(d / "new.bin");
    ASSERT_TRUE(h.IsOpen());
    EXPECT_EQ(::write(h.Fd(), "ab", 2), 2);
    h.Close();
    EXPECT_FALSE(CreateExclusive(d / "new.bin").IsOpen());
    EXPECT_EQ(Get(d / "new.bin"), "ab");
    EXPECT_FALSE(CreateExclusive(d / "missing/x.bin").IsOpen());
}

TEST(Trapped, ExceptionsBecomeTheFailureValue) {
    ASSERT_TRUE(TrapErrors());
    EXPECT_EQ(Trapped(-3, []() -> int { throw std::runtime_error("x"); }), -3);
    EXPECT_EQ(Trapped(-3, []() -> int { throw 42; }), -3);
    EXPECT_EQ(Trapped(std::string("fail"), []() -> std::string { return "ok"; }), "ok");
}

TEST(TrappedDeathTest, UntrappedErrorEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            TrapErrors(false);
            (void)Trapped(0, []() -> int { throw std::runtime_error("boom"); });
        },
        "boom");
    EXPECT_TRUE(TrapErrors());
}
