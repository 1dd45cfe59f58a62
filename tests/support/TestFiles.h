// Scratch folders and whole-file reads and writes for the tests of every
// folder: each test works in a fresh folder of its own under /tmp and leaves
// nothing behind.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/fsutil/ScratchFolder.h"

namespace vwtest {

using Bytes = std::vector<uint8_t>;

// A fresh folder /tmp/vw-<name>-XXXXXX, removed with everything in it when
// the holder goes. A folder that cannot be made throws, so the test (or the
// fixture holding it) fails before it touches any path; one that cannot be
// removed fails the running test.
class TempDir {
public:
    explicit TempDir(const std::string& name = "test") : m_folder(("vw-" + name).c_str())
    {
        if (!m_folder.IsValid())
            throw std::runtime_error("cannot make a scratch folder /tmp/vw-" + name + "-XXXXXX");
        m_path = m_folder.Path();
    }
    ~TempDir()
    {
        std::string error;
        if (!m_folder.Remove(&error))
            ADD_FAILURE() << "cannot remove " << m_path << ": " << error;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing '/'.
    const std::string& Path() const { return m_path; }
    // The folder followed by '/' and the name.
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Names of the entries of the folder (no "." or ".."), sorted.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    ScratchFolder m_folder;
    std::string m_path;
};

// The whole file; empty when it cannot be read.
inline std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file with the bytes given, exactly (no newline translation);
// false when it cannot be written.
inline bool WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

inline bool WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Whether anything (file, folder, ...) stands at the path.
inline bool PathExists(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0;
}

}  // namespace vwtest
