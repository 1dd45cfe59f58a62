#include "src/core/SysSettings.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"
#include "platform/profile/PrivateProfile.h"

namespace {

constexpr const char kSection[] = "iSysVal";

struct IntKey {
    const char* name;
    int SysSettings::*member;
    int defaultValue;
};

// Keys before the custom mapping, in file order.
constexpr IntKey kLeadingKeys[] = {
    {"SyncMode", &SysSettings::SyncMode, 0},
    {"UserID", &SysSettings::UserID, 0},
    {"SwapName", &SysSettings::SwapName, 0},
    {"SyncCustom", &SysSettings::SyncCustom, 0},
};

// The column flags, in file order.
constexpr IntKey kShowKeys[] = {
    {"ShowDisplayName", &SysSettings::ShowDisplayName, 1},
    {"ShowFirstName", &SysSettings::ShowFirstName, 0},
    {"ShowLastName", &SysSettings::ShowLastName, 0},
    {"ShowCompany", &SysSettings::ShowCompany, 1},
    {"ShowTitle", &SysSettings::ShowTitle, 1},
    {"ShowEmail", &SysSettings::ShowEmail, 1},
    {"ShowHomePhone", &SysSettings::ShowHomePhone, 1},
    {"ShowBusiPhone", &SysSettings::ShowBusiPhone, 1},
    {"ShowMobilePhone", &SysSettings::ShowMobilePhone, 1},
    {"ShowFax", &SysSettings::ShowFax, 0},
    {"ShowMainPhone", &SysSettings::ShowMainPhone, 0},
    {"ShowHomeCountry", &SysSettings::ShowHomeCountry, 0},
    {"ShowHomeState", &SysSettings::ShowHomeState, 0},
    {"ShowHomeCity", &SysSettings::ShowHomeCity, 0},
    {"ShowHomeStreet", &SysSettings::ShowHomeStreet, 0},
    {"ShowHomePostal", &SysSettings::ShowHomePostal, 0},
    {"ShowBusiCountry", &SysSettings::ShowBusiCountry, 0},
    {"ShowBusiState", &SysSettings::ShowBusiState, 0},
    {"ShowBusiCity", &SysSettings::ShowBusiCity, 0},
    {"ShowBusiStreet", &SysSettings::ShowBusiStreet, 0},
    {"ShowBusiPostal", &SysSettings::ShowBusiPostal, 0},
    {"ShowOtherCountry", &SysSettings::ShowOtherCountry, 0},
    {"ShowOtherState", &SysSettings::ShowOtherState, 0},
    {"ShowOtherCity", &SysSettings::ShowOtherCity, 0},
    {"ShowOtherStreet", &SysSettings::ShowOtherStreet, 0},
    {"ShowOtherPostal", &SysSettings::ShowOtherPostal, 0},
};

// The row colours (0x00BBGGRR): black, dark blue, green.
constexpr IntKey kColorKeys[] = {
    {"SameColor", &SysSettings::SameColor, 0},
    {"ModifiedColor", &SysSettings::ModifiedColor, 8388608},
    {"NewColor", &SysSettings::NewColor, 32768},
};

static_assert(2 + std::size(kLeadingKeys) + 9 + std::size(kShowKeys) + 1 + std::size(kColorKeys) + 1 ==
                  SysSettings::kKeyCount,
              "every key of the section is listed once");

int ReadInt(const char* key, int defaultValue, const char* path)
{
    return static_cast<int>(GetPrivateProfileIntA(kSection, key, defaultValue, path));
}

void CustomKeyName(int index, char (&name)[24])
{
    std::snprintf(name, sizeof(name), "Custom%d", index + 1);
}

}  // namespace

namespace {

// Reads a path key into a MAX_PATH field. A value that does not fit is
// refused whole (the field stays empty, *pnTooLong its length): a cut path
// would name another file.
void ReadPath(const char* pszKey, char (&szField)[MAX_PATH], int* pnTooLong, const char* pszIniPath)
{
    char szValue[4 * MAX_PATH + 2];
    const DWORD nLength = GetPrivateProfileStringA(kSection, pszKey, "", szValue, sizeof(szValue), pszIniPath);
    *pnTooLong = 0;
    szField[0] = '\0';
    if (nLength >= MAX_PATH) {
        *pnTooLong = static_cast<int>(nLength);
        return;
    }
    std::memcpy(szField, szValue, nLength + 1);
}

}  // namespace

bool SysSettings::LoadSettings()
{
    char path[MAX_PATH];
    if (!GetIniFilePath(path)) {
        LoadSettings(nullptr);
        return false;
    }
    return LoadSettings(path);
}

bool SysSettings::LoadSettings(const char* pszIniPath)
{
    // A null path reads no file: every key takes its default.
    *this = SysSettings{};
    ReadPath("WabFile", WabFile, &nWabFileTooLong, pszIniPath);
    ReadPath("DatFile", DatFile, &nDatFileTooLong, pszIniPath);
    for (const IntKey& key : kLeadingKeys)
        this->*key.member = ReadInt(key.name, key.defaultValue, pszIniPath);
    for (int i = 0; i < 9; ++i) {
        char name[24];
        CustomKeyName(i, name);
        Custom[i] = ReadInt(name, 0, pszIniPath);
    }
    for (const IntKey& key : kShowKeys)
        this->*key.member = ReadInt(key.name, key.defaultValue, pszIniPath);
    EmailOnly = ReadInt("EmailOnly", 0, pszIniPath);
    for (const IntKey& key : kColorKeys)
        this->*key.member = ReadInt(key.name, key.defaultValue, pszIniPath);
    DisableColor = ReadInt("DisableColor", 0, pszIniPath) != 0;
    return pszIniPath != nullptr;
}

bool SysSettings::SaveSettings() const
{
    char path[MAX_PATH];
    if (!GetIniFilePath(path, true)) {
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not save settings: no path for corvane.ini");
        return false;
    }
    return SaveSettings(path);
}

bool SysSettings::SaveSettings(const char* pszIniPath) const
{
    PrivateProfileWriter writer(pszIniPath);
    bool ok = writer.IsLoaded();
    if (WabFile[0] != '\0' || nWabFileTooLong == 0)
        ok = ok && writer.SetString(kSection, "WabFile", WabFile);
    if (DatFile[0] != '\0' || nDatFileTooLong == 0)
        ok = ok && writer.SetString(kSection, "DatFile", DatFile);
    for (const IntKey& key : kLeadingKeys)
        ok = ok && writer.SetInt(kSection, key.name, this->*key.member);
    for (int i = 0; i < 9; ++i) {
        char name[24];
        CustomKeyName(i, name);
        ok = ok && writer.SetInt(kSection, name, Custom[i]);
    }
    for (const IntKey& key : kShowKeys)
        ok = ok && writer.SetInt(kSection, key.name, this->*key.member);
    ok = ok && writer.SetString(kSection, "EmailOnly", EmailOnly != 0 ? "1" : "0");
    for (const IntKey& key : kColorKeys)
        ok = ok && writer.SetInt(kSection, key.name, this->*key.member);
    ok = ok && writer.SetString(kSection, "DisableColor", DisableColor ? "1" : "0");
    ok = ok && writer.Save();
    if (!ok) {
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not save settings: %s",
                        pszIniPath != nullptr ? pszIniPath : "<null>");
    }
    return ok;
}
