// The fixture, settings files and byte helpers shared by the tests of the
// classic and extended address.dat readers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"
#include "tests/support/TestFiles.h"
#include "tools/datgen/DatGen.h"

namespace dattest {

using vwtest::Bytes;
using vwtest::ReadFileBytes;
using vwtest::TempDir;
using vwtest::WriteFileText;

// Points corvane.ini at a file of the scratch folder (absent until written)
// and the diagnostic log, with detail logging on, at the same folder; both
// are restored at the end.
class ScratchSettings {
public:
    explicit ScratchSettings(const TempDir& dir)
        : m_iniPath(dir.File("corvane.ini")), m_logPath(dir.Path() + "/appdebug.log")
    {
        SetIniFilePathOverride(m_iniPath.c_str());
        g_DebugUtil.SetFolder((dir.Path() + "/").c_str());
        g_DebugUtil.SetDetail(true, 2);
    }
    ~ScratchSettings()
    {
        SetIniFilePathOverride(nullptr);
        g_DebugUtil.SetFolder(nullptr);
        g_DebugUtil.SetDetail(false, 0);
    }
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;

    bool WriteIni(const std::string& text) const { return WriteFileText(m_iniPath, text); }
    std::string ReadLog() const { return vwtest::ReadFileText(m_logPath); }
    const std::string& IniPath() const { return m_iniPath; }
    const std::string& LogPath() const { return m_logPath; }

private:
    std::string m_iniPath;
    std::string m_logPath;
};

// A scratch folder with the settings file and the log pointed into it, and
// the path of the address.dat the tests load and save there.
class DatFileTest : public ::testing::Test {
protected:
    explicit DatFileTest(datgen::DatFormat format)
        : m_format(format), m_settings(m_dir), m_path(m_dir.File("address.dat"))
    {
    }

    // A description in the form this program writes when saving to m_path.
    datgen::DatDescription Normal() const
    {
        datgen::DatDescription desc;
        desc.format = m_format;
        desc.strStoredFileName = m_path;
        desc.bProgramTypes = m_format == datgen::DatFormat::Extended;
        return desc;
    }

    void WriteFile(const datgen::DatDescription& desc) const
    {
        ASSERT_TRUE(datgen::WriteBytesToFile(m_path, datgen::BuildFile(desc)));
    }

    const datgen::DatFormat m_format;
    TempDir m_dir{"datrec"};
    ScratchSettings m_settings;
    std::string m_path;
};

// The unit repeated and cut to exactly nLength characters.
inline std::string Repeat(const std::string& unit, size_t nLength)
{
    std::string s;
    while (s.size() < nLength)
        s += unit;
    s.resize(nLength);
    return s;
}

// Index of the first difference of two byte strings, or -1 when equal; for
// readable failure messages.
inline long FirstDifference(const Bytes& a, const Bytes& b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return static_cast<long>(i);
    }
    return a.size() == b.size() ? -1 : static_cast<long>(n);
}

// Writes v little-endian into bytes at nOffset.
inline void PatchInt32(Bytes& bytes, size_t nOffset, int64_t v)
{
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        bytes.at(nOffset + static_cast<size_t>(i)) = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace dattest
