#include "common/misc/FileVersion.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestFiles.h"
#include "tools/pegen/PeBuilder.h"

namespace {

TEST(FileVersionTest, ReadsFourNumbersOrFourZeros)
{
    const vwtest::TempDir dir("fileversion");
    const std::string versioned = dir.File("Palm.exe");
    const std::string plain = dir.File("plain.exe");
    ASSERT_TRUE(pegen::WriteBytes(versioned, pegen::BuildVersionedPe(6, 2, 1, 37)));
    ASSERT_TRUE(pegen::WriteBytes(plain, pegen::BuildUnversionedPe()));

    int major = -1, minor = -1, release = -1, build = -1;
    EXPECT_TRUE(GetFileVersion(versioned.c_str(), &major, &minor, &release, &build));
    EXPECT_EQ(major, 6);
    EXPECT_EQ(minor, 2);
    EXPECT_EQ(release, 1);
    EXPECT_EQ(build, 37);

    for (const char* path : {plain.c_str(), "/no/such/palm.exe", "", static_cast<const char*>(nullptr)}) {
        major = minor = release = build = -1;
        EXPECT_FALSE(GetFileVersion(path, &major, &minor, &release, &build));
        EXPECT_EQ(major | minor | release | build, 0);
    }
}

}  // namespace
