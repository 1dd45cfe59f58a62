#include "common/misc/CxFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "tests/support/TestFiles.h"

namespace {

TEST(CxFileTest, OpenWriteAndMeasure)
{
    const vwtest::TempDir dir("cxfile");
    const std::string path = dir.File("out.txt");

    CxFile file;
    EXPECT_FALSE(file.WriteLine("nothing open"));
    EXPECT_FALSE(file.Open(nullptr, "wb"));
    EXPECT_FALSE(file.Open("", "wb"));
    EXPECT_FALSE(file.Open(path.c_str(), nullptr));
    EXPECT_FALSE(file.Open(path.c_str(), ""));
    EXPECT_FALSE(file.Open(path.c_str(), "rb"));  // missing
    EXPECT_EQ(CxFile::GetFileLength(path.c_str()), -1);
    EXPECT_EQ(CxFile::GetFileLength(nullptr), -1);
    EXPECT_EQ(CxFile::GetFileLength(""), -1);

    ASSERT_TRUE(file.Open(path.c_str(), "wb"));
    EXPECT_TRUE(file.WriteLine("abc"));
    EXPECT_TRUE(file.WriteLine(nullptr));
    EXPECT_TRUE(file.Close());
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.WriteLine("closed"));

    EXPECT_EQ(vwtest::ReadFileText(path), "abc\r\n\r\n");
    EXPECT_EQ(CxFile::GetFileLength(path.c_str()), 7);
}

// Only a regular file has a length; a folder is never opened, and a FIFO
// nobody reads fails at once instead of blocking the program (a log named
// by VARNWICK_LOG may be anything). /dev/null still takes a log.
TEST(CxFileTest, FoldersFifosAndDevicesNeverBlock)
{
    const vwtest::TempDir dir("cxfile");
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        bool bOpensForAppend;
    };
    for (const Case& c : {Case{dir.Path(), false}, Case{fifo, false}, Case{"/dev/null", true}}) {
        CxFile file;
        EXPECT_EQ(file.Open(c.path.c_str(), "ab"), c.bOpensForAppend) << c.path;
        if (c.bOpensForAppend) {
            EXPECT_TRUE(file.WriteLine("discarded")) << c.path;
        }
        EXPECT_EQ(CxFile::GetFileLength(c.path.c_str()), -1) << c.path;
    }
}

}  // namespace
