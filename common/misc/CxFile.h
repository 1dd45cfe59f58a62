// A thin owner of one buffered standard-library file stream.
#pragma once

#include <cstdio>

class CxFile {
public:
    CxFile();
    virtual ~CxFile();  // closes the stream
    CxFile(const CxFile&) = delete;
    CxFile& operator=(const CxFile&) = delete;

    // Opens pszPath with an fopen mode ("ab", "wb", "rb"...), closing any
    // stream held before. False when the path or mode is null or empty, or
    // the stream cannot be opened.
    bool Open(const char* pszPath, const char* pszMode);

    // Closes the stream if one is open. Always true.
    bool Close();

    // Writes pszText (nothing for null) followed by CR LF. False when no
    // stream is open or the write failed.
    bool WriteLine(const char* pszText);

    // Size of the named file in bytes: -1 when the path is null or empty or
    // the file cannot be opened for reading. Sizes beyond 2^31 - 1 read as
    // 2147483647.
    static int GetFileLength(const char* pszPath);

protected:
    std::FILE* m_fp;
};
