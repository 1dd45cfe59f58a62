// The HotSync users of a Palm Desktop folder, found on disk.
//
// Palm Desktop keeps each user's data in a sub-folder of its folder (the
// HotSync root directory), with the contacts in "address/address.dat" or,
// from Desktop 6 on, "address/address.mdb". A folder copied from a Windows
// disk comes in any letter case ("Address/ADDRESS.DAT"), so every name is
// matched ignoring case.
#pragma once

#include <string>
#include <vector>

#include "platform/wintypes/WinTypes.h"

struct HotSyncUser {
    DWORD dwUserID = 0;  // stable, never 0, unique within the list
    std::string folder;  // the sub-folder's name, bytes as on disk
    std::string name;    // the folder name as ANSI text, for display
};

// Lists the users below rootDirectory: every sub-folder that holds an
// "address" folder with "address.dat" or "address.mdb" (any letter case),
// in byte order of the folder names. Each id is derived from the folder
// name ignoring letter case, so it survives a new copy of the same data;
// should two names give the same id, the later one in the list takes the
// next free value. A missing or unreadable folder has no users.
std::vector<HotSyncUser> ScanHotSyncUsers(const std::string& rootDirectory);

// The id a folder name is given when no other user claims it first.
DWORD HotSyncUserIdOf(const std::string& folder);
