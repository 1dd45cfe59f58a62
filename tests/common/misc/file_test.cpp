#include "common/misc/CxFile.h"

#include <gtest/gtest.h>

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
    EXPECT_FALSE(file.Open(path.c_str(), "rb"));   // missing
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

} // namespace
