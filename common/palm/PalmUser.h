// One Palm Desktop (HotSync) user, and the listing of all of them.
#pragma once

#include "platform/wintypes/WinTypes.h"

class CxList;

struct PalmUser {
    DWORD dwUserID;         // the HotSync user id
    char szName[64];        // the user's name, zero-terminated ANSI
    char szDirectory[256];  // the user's folder below the HotSync root directory
};

// Appends to pList one PalmUser per HotSync user of the loaded user library,
// in the library's index order, and answers how many it appended. Each entry
// is taken from calloc and owned by the list: free them with
// ClearPalmUsers. A count of 0 or less (the library not loaded) appends
// nothing. The calls for one user are not checked: a user the library
// cannot describe keeps empty fields.
int LoadPalmUsers(CxList* pList);

// Frees every PalmUser of pList and empties it.
void ClearPalmUsers(CxList* pList);
