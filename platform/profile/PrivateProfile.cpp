#include "platform/profile/PrivateProfile.h"

// Plain 8-bit text: no character-set conversion, ASCII letter case folding.
// The Debian header keeps the template bodies behind SI_IMPLEMENTATION;
// this is the one translation unit that instantiates them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/fsutil/FsUtil.h"

namespace {

enum class LoadResult { Loaded, Missing, Failed };

// Reads the whole file as bytes. A file that does not exist is Missing (an
// empty profile); anything else that cannot be read is Failed, and so is
// something that is not a regular file (a FIFO is refused, not waited on).
LoadResult ReadFileBytes(const char* path, std::string* content)
{
    content->clear();
    FailReason reason;
    if (ReadRegularFile(path, content, &reason))
        return LoadResult::Loaded;
    return reason.eKind == FailKind::Missing ? LoadResult::Missing : LoadResult::Failed;
}

void ForgetParsed();

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
        ForgetParsed();
        const bool ok = AtomicWriteFile(path, content.data(), content.size());
        ForgetParsed();
        return ok;
    }
};

// The file last read, parsed once: the settings are read key by key (some
// fifty keys at start-up), and parsing a large file again for each would
// take seconds. It is parsed again as soon as the file on disk is another
// one or has changed (its identity, size or times differ).
struct ParsedFile {
    std::string path;
    struct stat st { };
    std::shared_ptr<Profile> profile;
};

std::mutex g_parsedMutex;
ParsedFile g_parsed;

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The parsed profile of a file; null when it is missing or cannot be read.
std::shared_ptr<Profile> ParsedProfile(const char* fileName)
{
    struct stat before { };
    if (stat(fileName, &before) != 0 || !S_ISREG(before.st_mode))
        return nullptr;
    std::lock_guard<std::mutex> lock(g_parsedMutex);
    if (g_parsed.profile && g_parsed.path == fileName && SameFile(g_parsed.st, before))
        return g_parsed.profile;
    auto profile = std::make_shared<Profile>();
    if (profile->Load(fileName) != LoadResult::Loaded)
        return nullptr;
    struct stat after { };
    // Kept only when the file did not change while it was read.
    if (stat(fileName, &after) == 0 && SameFile(before, after)) {
        g_parsed.path = fileName;
        g_parsed.st = after;
        g_parsed.profile = profile;
    }
    return profile;
}

void ForgetParsed()
{
    std::lock_guard<std::mutex> lock(g_parsedMutex);
    g_parsed = ParsedFile();
}

// The value of a key as Windows hands it out: one pair of matching quotes
// around the whole value is removed.
bool LookupValue(LPCSTR section, LPCSTR key, LPCSTR fileName, std::string* value)
{
    if (section == nullptr || key == nullptr || fileName == nullptr || fileName[0] == '\0')
        return false;
    const std::shared_ptr<Profile> profile = ParsedProfile(fileName);
    if (!profile)
        return false;
    const char* found = profile->ini.GetValue(section, key, nullptr);
    if (found == nullptr)
        return false;
    *value = found;
    if (value->size() >= 2 && (value->front() == '"' || value->front() == '\'') && value->back() == value->front())
        *value = value->substr(1, value->size() - 2);
    return true;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName)
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

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName)
{
    PrivateProfileWriter writer(lpFileName);
    return writer.IsLoaded() && writer.SetString(lpAppName, lpKeyName, lpString) && writer.Save() ? TRUE : FALSE;
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
