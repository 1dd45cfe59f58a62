#include "platform/pefile/PeVersion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "tests/support/TestFiles.h"
#include "tools/pegen/PeBuilder.h"

namespace {

class PeFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(pegen::WriteBytes(path, bytes));
        return path;
    }
    // Runs the reader on an exact-size heap copy, so that the sanitizer sees
    // any read past the end.
    static bool Find(const std::vector<uint8_t>& bytes, VS_FIXEDFILEINFO* info)
    {
        std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size()]);
        if (!bytes.empty())
            std::memcpy(copy.get(), bytes.data(), bytes.size());
        std::vector<uint8_t> block;
        return FindVersionBlock(copy.get(), bytes.size(), &block) &&
               ParseVersionBlock(block.data(), block.size(), info);
    }
    vwtest::TempDir m_tmp{"pefile"};
    const std::string dir = m_tmp.Path();
};

TEST_F(PeFileTest, ReadsTheFixedVersionThroughTheWindowsCalls)
{
    const std::string path = Write("palm.exe", pegen::BuildVersionedPe(6, 2, 1, 37));
    DWORD handle = 99;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(handle, 0u);

    std::vector<uint8_t> block(size);
    EXPECT_FALSE(GetFileVersionInfoA(path.c_str(), 0, size - 1, block.data()));
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO info{};
    std::memcpy(&info, value, sizeof(info));
    EXPECT_EQ(info.dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(info.dwFileVersionMS, (6u << 16) | 2u);
    EXPECT_EQ(info.dwFileVersionLS, (1u << 16) | 37u);
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileVersion", &value, &length));
}

TEST_F(PeFileTest, FilesWithoutAVersionGiveNothing)
{
    const std::string unversioned = Write("plain.exe", pegen::BuildUnversionedPe());
    std::vector<uint8_t> truncatedBytes = pegen::BuildVersionedPe(4, 1, 0, 0);
    truncatedBytes.resize(truncatedBytes.size() / 2 + 40);
    const std::string truncated = Write("cut.exe", truncatedBytes);
    const std::string text = Write("notes.txt", {'h', 'e', 'l', 'l', 'o'});
    for (const std::string& path : {unversioned, truncated, text, dir + "/missing.exe", dir}) {
        EXPECT_EQ(GetFileVersionInfoSizeA(path.c_str(), nullptr), 0u) << path;
        uint8_t buffer[256];
        EXPECT_FALSE(GetFileVersionInfoA(path.c_str(), 0, sizeof(buffer), buffer)) << path;
    }
    EXPECT_EQ(GetFileVersionInfoSizeA(nullptr, nullptr), 0u);
}

TEST_F(PeFileTest, EveryTruncationFailsCleanly)
{
    const std::vector<uint8_t> image = pegen::BuildVersionedPe(4, 1, 0, 0);
    VS_FIXEDFILEINFO info{};
    ASSERT_TRUE(Find(image, &info));
    // The version block is the last content of the section; its padding
    // follows. Cutting anywhere before the block ends must fail.
    size_t firstGood = image.size();
    for (size_t size = 0; size <= image.size(); ++size) {
        const std::vector<uint8_t> prefix(image.begin(), image.begin() + static_cast<long>(size));
        if (Find(prefix, &info) && firstGood == image.size())
            firstGood = size;
    }
    EXPECT_EQ(firstGood, 0x200u + 88u + 92u);
}

TEST_F(PeFileTest, RandomAndCorruptedBytesNeverReadOutside)
{
    std::mt19937 random(20240517);
    const std::vector<uint8_t> image = pegen::BuildVersionedPe(1, 2, 3, 4);
    VS_FIXEDFILEINFO info{};
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes;
        if (round % 2 == 0) {
            bytes.resize(random() % 1024);
            for (uint8_t& b : bytes)
                b = static_cast<uint8_t>(random());
            if (bytes.size() >= 2) {
                bytes[0] = 'M';
                bytes[1] = 'Z';
            }
        } else {
            // Corrupt a few header or directory bytes of a valid image.
            bytes = image;
            for (int flips = 0; flips < 4; ++flips)
                bytes[random() % (0x200 + 180)] = static_cast<uint8_t>(random());
        }
        Find(bytes, &info);
    }
}

}  // namespace
