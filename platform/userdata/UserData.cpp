#include "platform/userdata/UserData.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

const UserTable* g_pActiveTable = nullptr;

const HotSyncUser* FindUser(DWORD dwUserID)
{
    if (g_pActiveTable == nullptr)
        return nullptr;
    for (const HotSyncUser& user : g_pActiveTable->users) {
        if (user.dwUserID == dwUserID)
            return &user;
    }
    return nullptr;
}

bool BufferUsable(const char* pszBuffer, const int16_t* pnSize)
{
    return pszBuffer != nullptr && pnSize != nullptr && *pnSize > 0;
}

// Copies text cut to the buffer and reports the size the whole text needs.
void CopyCut(const std::string& text, char* pszBuffer, int16_t* pnSize)
{
    const size_t capacity = static_cast<size_t>(*pnSize);
    const size_t count = std::min(text.size(), capacity - 1);
    std::memcpy(pszBuffer, text.data(), count);
    pszBuffer[count] = '\0';
    *pnSize = static_cast<int16_t>(std::min<size_t>(text.size() + 1, INT16_MAX));
}

LONG UserText(DWORD dwUserID, char* pszBuffer, int16_t* pnSize, std::string HotSyncUser::*text)
{
    if (!BufferUsable(pszBuffer, pnSize))
        return UM_ERR_ARGUMENT;
    const HotSyncUser* user = FindUser(dwUserID);
    if (user == nullptr) {
        pszBuffer[0] = '\0';
        return UM_ERR_NO_USER;
    }
    CopyCut(user->*text, pszBuffer, pnSize);
    return 0;
}

}  // namespace

void SetActiveUserTable(const UserTable* pTable)
{
    g_pActiveTable = pTable;
}

const UserTable* GetActiveUserTable()
{
    return g_pActiveTable;
}

namespace userdata {

int16_t UmGetUserCount()
{
    if (g_pActiveTable == nullptr)
        return 0;
    return static_cast<int16_t>(std::min<size_t>(g_pActiveTable->users.size(), INT16_MAX));
}

LONG UmGetUserID(int16_t nIndex, DWORD* pdwUserID)
{
    if (pdwUserID == nullptr)
        return UM_ERR_ARGUMENT;
    if (nIndex < 0 || nIndex >= UmGetUserCount())
        return UM_ERR_NO_USER;
    *pdwUserID = g_pActiveTable->users[static_cast<size_t>(nIndex)].dwUserID;
    return 0;
}

LONG UmGetUserName(DWORD dwUserID, char* pszName, int16_t* pnSize)
{
    return UserText(dwUserID, pszName, pnSize, &HotSyncUser::name);
}

LONG UmGetUserDirectory(DWORD dwUserID, char* pszDirectory, int16_t* pnSize)
{
    return UserText(dwUserID, pszDirectory, pnSize, &HotSyncUser::folder);
}

LONG UmGetRootDirectory(char* pszDirectory, int16_t* pnSize)
{
    if (!BufferUsable(pszDirectory, pnSize) || g_pActiveTable == nullptr)
        return 0;
    const std::string& root = g_pActiveTable->rootDirectory;
    if (root.size() + 1 > static_cast<size_t>(*pnSize)) {
        pszDirectory[0] = '\0';
        *pnSize = static_cast<int16_t>(std::min<size_t>(root.size() + 1, INT16_MAX));
        return 0;
    }
    CopyCut(root, pszDirectory, pnSize);
    return 1;
}

}  // namespace userdata
