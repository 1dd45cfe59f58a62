// Palm Desktop's user library (UserData.dll): the five calls the program
// makes, and this project's stand-in that answers them.
//
// The stand-in answers from the user table of the UserData.dll file loaded
// last through LoadDesktopModule (DesktopModule.h): its folder is the
// HotSync root directory, and the users are the user folders found there
// when it was loaded (HotSyncUsers.h). Text comes back zero-terminated and
// cut to the buffer; *pnSize holds the buffer size on entry and the size
// the whole text needs, terminator included, on return.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/userdata/HotSyncUsers.h"
#include "platform/wintypes/WinTypes.h"

// Shapes of the exports, as reached through GetDesktopProcAddress.
using UmGetUserCountProc = int16_t (*)();
using UmGetUserIDProc = LONG (*)(int16_t nIndex, DWORD* pdwUserID);
using UmGetUserNameProc = LONG (*)(DWORD dwUserID, char* pszName, int16_t* pnSize);
using UmGetUserDirectoryProc = LONG (*)(DWORD dwUserID, char* pszDirectory, int16_t* pnSize);
using UmGetRootDirectoryProc = LONG (*)(char* pszDirectory, int16_t* pnSize);

// Error results of UmGetUserID, UmGetUserName and UmGetUserDirectory (0 is
// success). UmGetRootDirectory answers 1 for success and 0 for failure.
constexpr LONG UM_ERR_NO_USER = -1;   // no user of that index or id
constexpr LONG UM_ERR_ARGUMENT = -2;  // a null buffer, or a size below 1

// What one loaded user library answers for.
struct UserTable {
    std::string rootDirectory;  // ends with '/'
    std::vector<HotSyncUser> users;
};

// Chooses the table the stand-in answers from; null makes it answer as a
// library without users. The table must outlive its time as the active one.
void SetActiveUserTable(const UserTable* pTable);
const UserTable* GetActiveUserTable();

namespace userdata {

// Number of users, at most 32767; 0 without an active table.
int16_t UmGetUserCount();
// Writes the id of the user at nIndex (0-based, in list order).
LONG UmGetUserID(int16_t nIndex, DWORD* pdwUserID);
// The user's name (ANSI). An unknown id leaves "" in the buffer.
LONG UmGetUserName(DWORD dwUserID, char* pszName, int16_t* pnSize);
// The user's folder name below the root directory, without separators.
// An unknown id leaves "" in the buffer.
LONG UmGetUserDirectory(DWORD dwUserID, char* pszDirectory, int16_t* pnSize);
// The HotSync root directory with its trailing '/'. 0 (failure) without an
// active table or when it does not fit the buffer; a cut root is never given.
LONG UmGetRootDirectory(char* pszDirectory, int16_t* pnSize);

}  // namespace userdata
