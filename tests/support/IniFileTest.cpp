#include "support/IniFile.h"

#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

using TestFiles::Bytes;
using TestFiles::TempDir;

namespace {

void Put(const std::string& pPath, const std::string& pText) {
    TestFiles::WriteFile(pPath, Bytes(pText.begin(), pText.end()));
}

std::string Get(const std::string& pPath) {
    const Bytes bytes = TestFiles::ReadFile(pPath);
    return std::string(bytes.begin(), bytes.end());
}

TEST(IniFile, QuotesBehindBlanksReadBackAsWritten) {
    TempDir dir;
    const std::string file = dir / "a.ini";
    ASSERT_TRUE(IniFile::Write(file, "conf", "A", "\t'x'"));
    ASSERT_TRUE(IniFile::Write(file, "conf", "B", "  \"q\"  "));
    ASSERT_TRUE(IniFile::Write(file, "conf", "C", "  a b  "));
    EXPECT_EQ(IniFile::Read(file, "conf", "A"), "'x'");
    EXPECT_EQ(IniFile::Read(file, "conf", "B"), "\"q\"");
    EXPECT_EQ(IniFile::Read(file, "conf", "C"), "a b");
    EXPECT_EQ(Get(file), "[conf]\nA=\"'x'\"\nB=\"\"q\"\"\nC=a b\n");
}

TEST(IniFile, AWriteKeepsWhatOtherLinesRead) {
    TempDir dir;
    const std::string file = dir / "a.ini";
    // One CR ends the line; the one before it belongs to the value.
    Put(file, "[conf]\r\nA=x\r\r\nB=1\r\n\r\r");
    ASSERT_EQ(IniFile::Read(file, "conf", "A"), "x\r");
    ASSERT_TRUE(IniFile::Write(file, "conf", "B", "2"));
    EXPECT_EQ(IniFile::Read(file, "conf", "A"), "x\r");
    EXPECT_EQ(IniFile::Read(file, "conf", "B"), "2");
    const std::string once = Get(file);
    ASSERT_TRUE(IniFile::Write(file, "conf", "B", "2"));
    EXPECT_EQ(Get(file), once) << "writing the same value again changes nothing";
}

} // namespace
