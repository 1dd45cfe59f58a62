#include "common/misc/CxFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(CxFileTest, OpenWriteAndMeasure)
{
    char pattern[] = "/tmp/vw-cxfile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string path = dir + "/out.txt";

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

    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "abc\r\n\r\n");
    EXPECT_EQ(CxFile::GetFileLength(path.c_str()), 7);

    std::string command = "rm -rf '" + dir + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

} // namespace
