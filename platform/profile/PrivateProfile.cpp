#include "platform/profile/PrivateProfile.h"

// Plain 8-bit text: no character-set conversion, ASCII letter case folding.
// The Debian header keeps the template bodies behind SI_IMPLEMENTATION;
// this is the one translation unit that instantiates them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/fsutil/FsUtil.h"

namespace {

enum class LoadResult { Loaded, Missing, Failed };

// Reads the whole file as bytes. A file that does not exist is Missing (an
// empty profile); anything else that cannot be read is Failed.
LoadResult ReadFileBytes(const char* path, std::string* content)
{
    content->clear();
    std::FILE* fp = std::fopen(path, "rb");
    if (fp == nullptr)
        return errno == ENOENT || errno == ENOTDIR ? LoadResult::Missing : LoadResult::Failed;
    char buffer[8192];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), fp)) > 0)
        content->append(buffer, got);
    const bool failed = std::ferror(fp) != 0;
    std::fclose(fp);
    return failed ? LoadResult::Failed : LoadResult::Loaded;
}

// An ini parser set up as Windows profiles read: 8-bit text, names ignoring
// case, one value per key, "Key=Value" with no blanks around '='.
struct Profile {
    CSimpleIniA ini{false, false, false};

    Profile() { ini.SetSpaces(false); }

    LoadResult Load(const char* path)
    {
        std::string content;
        const LoadResult result = ReadFileBytes(path, &content);
        if (result == LoadResult::Loaded && ini.LoadData(content) < 0)
            return LoadResult::Failed;
        return result;
    }

    bool Set(const char* section, const char* key, const char* value)
    {
        if (section == nullptr || section[0] == '\0')
            return false;
        if (key == nullptr) {
            ini.Delete(section, nullptr);
            return true;
        }
        if (value == nullptr) {
            ini.Delete(section, key);
            return true;
        }
        return ini.SetValue(section, key, value) >= 0;
    }

    bool Save(const char* path) const
    {
        std::string content;
        if (ini.Save(content, false) < 0)
            return false;
        return AtomicWriteFile(path, content.data(), content.size());
    }
};

// The value of a key as Windows hands it out: one pair of matching quotes
// around the whole value is removed.
bool LookupValue(LPCSTR section, LPCSTR key, LPCSTR fileName, std::string* value)
{
    if (section == nullptr || key == nullptr || fileName == nullptr || fileName[0] == '\0')
        return false;
    Profile profile;
    if (profile.Load(fileName) != LoadResult::Loaded)
        return false;
    const char* found = profile.ini.GetValue(section, key, nullptr);
    if (found == nullptr)
        return false;
    *value = found;
    if (value->size() >= 2 && (value->front() == '"' || value->front() == '\'') &&
        value->back() == value->front())
        *value = value->substr(1, value->size() - 2);
    return true;
}

} // namespace

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName)
{
    if (lpReturnedString == nullptr || nSize == 0)
        return 0;
    std::string value;
    if (!LookupValue(lpAppName, lpKeyName, lpFileName, &value))
        value = lpDefault != nullptr ? lpDefault : "";
    const size_t copied = value.size() < nSize ? value.size() : nSize - 1;
    std::memcpy(lpReturnedString, value.data(), copied);
    lpReturnedString[copied] = '\0';
    return static_cast<DWORD>(copied);
}

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName)
{
    std::string value;
    if (!LookupValue(lpAppName, lpKeyName, lpFileName, &value))
        return static_cast<UINT>(nDefault);
    size_t pos = 0;
    while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t'))
        ++pos;
    bool negative = false;
    if (pos < value.size() && (value[pos] == '-' || value[pos] == '+'))
        negative = value[pos++] == '-';
    // Digits beyond 32 bits wrap around, as unsigned arithmetic does.
    UINT result = 0;
    for (; pos < value.size() && value[pos] >= '0' && value[pos] <= '9'; ++pos)
        result = result * 10u + static_cast<UINT>(value[pos] - '0');
    return negative ? 0u - result : result;
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName)
{
    PrivateProfileWriter writer(lpFileName);
    return writer.IsLoaded() && writer.SetString(lpAppName, lpKeyName, lpString) && writer.Save()
               ? TRUE
               : FALSE;
}

struct PrivateProfileWriter::Impl {
    Profile profile;
    std::string path;
    bool loaded = false;
};

PrivateProfileWriter::PrivateProfileWriter(const char* pszFileName) : m_impl(std::make_unique<Impl>())
{
    if (pszFileName == nullptr || pszFileName[0] == '\0')
        return;
    m_impl->path = pszFileName;
    m_impl->loaded = m_impl->profile.Load(pszFileName) != LoadResult::Failed;
}

PrivateProfileWriter::~PrivateProfileWriter() = default;

bool PrivateProfileWriter::IsLoaded() const
{
    return m_impl->loaded;
}

bool PrivateProfileWriter::SetString(const char* pszSection, const char* pszKey, const char* pszValue)
{
    return m_impl->loaded && m_impl->profile.Set(pszSection, pszKey, pszValue);
}

bool PrivateProfileWriter::SetInt(const char* pszSection, const char* pszKey, int nValue)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%d", nValue);
    return SetString(pszSection, pszKey, text);
}

bool PrivateProfileWriter::Save()
{
    return m_impl->loaded && m_impl->profile.Save(m_impl->path.c_str());
}
