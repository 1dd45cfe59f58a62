// Builds Palm Desktop installations on disk, as Windows would leave them,
// for tests and demo data: a Palm Desktop folder with palm.exe carrying a
// chosen file version, the four desktop library files and the HotSync user
// folders; and a Wine prefix whose registry points at such a folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pdgen {

// One HotSync user folder: <folder>/<addressFolder>/<addressFile>.
struct User {
    std::string folder;                       // the user's folder name
    std::string addressFolder = "address";    // any letter case
    std::string addressFile = "address.dat";  // "address.mdb" for Desktop 6; any case
    std::vector<uint8_t> addressData;         // content of the address file (may be empty)
};

struct Folder {
    bool bPalmExe = true;  // write the main program at all
    std::string palmExeName = "Palm.exe";
    bool bVersioned = true;              // give palm.exe a version resource
    uint16_t version[4] = {4, 1, 2, 0};  // major, minor, release, build
    // Which desktop libraries to write: 1 condmgr.dll, 2 UserData.dll,
    // 4 HSAPI.DLL, 8 instaide.dll.
    unsigned libraryMask = 0x0F;
    std::vector<User> users;
};

// Creates `path` (and its parents) and fills it as described. False, with
// *error set when given, on the first failure.
bool MakePalmDesktopFolder(const std::string& path, const Folder& folder, std::string* error = nullptr);

// One string value of a registry file.
struct RegValue {
    std::string key;    // path below the file's root, single backslashes
    std::string name;   // "" for the key's default value
    std::string value;  // UTF-8
};

// Writes a Wine registry file holding the values, grouped by key in the
// order given, with the escapes Wine uses.
bool WriteWineRegistry(const std::string& path, const std::vector<RegValue>& values);

// Makes <prefix>/dosdevices/<drive>: a link to target (creating folders).
bool LinkDosDevice(const std::string& prefix, char drive, const std::string& target);

// A Windows path on drive Z:, which Wine maps to the Linux root:
// /home/me/Palm gives Z:\home\me\Palm.
std::string LinuxToDriveZ(const std::string& linuxPath);

// Creates a Wine prefix whose user registry names desktopFolder (a Linux
// path) as Palm Desktop's "DesktopPath", through drive Z:.
bool MakeWinePrefix(const std::string& prefix, const std::string& desktopFolder, std::string* error = nullptr);

}  // namespace pdgen
