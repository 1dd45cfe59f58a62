#include "common/misc/CxFile.h"

#include <climits>

#include "platform/fsutil/FsUtil.h"

CxFile::CxFile() : m_fp(nullptr) { }

CxFile::~CxFile()
{
    Close();
}

bool CxFile::Open(const char* pszPath, const char* pszMode)
{
    if (pszPath == nullptr || pszPath[0] == '\0' || pszMode == nullptr || pszMode[0] == '\0')
        return false;
    Close();
    m_fp = OpenFileStream(pszPath, pszMode);
    return m_fp != nullptr;
}

bool CxFile::Close()
{
    if (m_fp != nullptr) {
        std::fclose(m_fp);
        m_fp = nullptr;
    }
    return true;
}

bool CxFile::WriteLine(const char* pszText)
{
    if (m_fp == nullptr)
        return false;
    if (pszText != nullptr && std::fputs(pszText, m_fp) == EOF)
        return false;
    return std::fputs("\r\n", m_fp) != EOF;
}

int CxFile::GetFileLength(const char* pszPath)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return -1;
    const long long size = RegularFileSize(pszPath);
    if (size < 0)
        return -1;
    // A size that does not fit the 32-bit answer must still read as large,
    // never wrap to a negative or small number.
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}
