// Scratch folders, settings files and byte helpers shared by the tests of the
// classic and extended address.dat readers.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"

namespace dattest {

using Bytes = std::vector<uint8_t>;

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir()
    {
        char szTemplate[] = "/tmp/vw-datrec-XXXXXX";
        const char* pszMade = mkdtemp(szTemplate);
        if (pszMade == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        else
            m_path = pszMade;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }
    // Names of the entries of the folder (no "." or "..").
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::string m_path;
};

inline Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

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
    std::string ReadLog() const
    {
        const Bytes bytes = ReadFileBytes(m_logPath);
        return std::string(bytes.begin(), bytes.end());
    }
    const std::string& IniPath() const { return m_iniPath; }
    const std::string& LogPath() const { return m_logPath; }

private:
    std::string m_iniPath;
    std::string m_logPath;
};

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
