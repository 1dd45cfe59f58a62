#include "platform/userdata/HotSyncUsers.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/codepage/CodePage.h"
#include "platform/fsutil/FsUtil.h"

namespace fs = std::filesystem;

namespace {

// Calls visit(path, name) for each entry of folder; errors end the walk.
template <typename Visit>
void ForEachEntry(const fs::path& folder, Visit visit)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!visit(it->path(), it->path().filename().string()))
            return;
    }
}

bool HoldsAddressFile(const fs::path& userFolder)
{
    bool found = false;
    ForEachEntry(userFolder, [&](const fs::path& path, const std::string& name) {
        if (!EqualsIgnoringCase(name, "address") || !IsFolder(path.string()))
            return true;
        ForEachEntry(path, [&](const fs::path& file, const std::string& fileName) {
            found = (EqualsIgnoringCase(fileName, "address.dat") || EqualsIgnoringCase(fileName, "address.mdb")) &&
                    IsRegularFile(file.string());
            return !found;
        });
        return !found;
    });
    return found;
}

bool IsValidUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        if (lead < 0x80)
            extra = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            extra = 2;
        else if (lead >= 0xF0 && lead <= 0xF4)
            extra = 3;
        else
            return false;
        if (i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

// Linux file names are UTF-8; the program's text is ANSI. A name that is
// not UTF-8 most likely came from Windows as ANSI already.
std::string DisplayName(const std::string& folder)
{
    return IsValidUtf8(folder) ? Utf8ToAnsi(folder) : folder;
}

}  // namespace

DWORD HotSyncUserIdOf(const std::string& folder)
{
    // 32-bit FNV-1a over the folder name with ASCII letters folded to lower case.
    DWORD hash = 2166136261u;
    for (char c : folder) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash != 0 ? hash : 1;
}

std::vector<HotSyncUser> ScanHotSyncUsers(const std::string& rootDirectory)
{
    std::vector<std::string> folders;
    if (!rootDirectory.empty()) {
        ForEachEntry(rootDirectory, [&](const fs::path& path, const std::string& name) {
            if (IsFolder(path.string()) && HoldsAddressFile(path))
                folders.push_back(name);
            return true;
        });
    }
    std::sort(folders.begin(), folders.end());

    std::vector<HotSyncUser> users;
    std::set<DWORD> taken;
    for (const std::string& folder : folders) {
        DWORD id = HotSyncUserIdOf(folder);
        while (id == 0 || taken.count(id) != 0)
            ++id;
        taken.insert(id);
        users.push_back(HotSyncUser{id, folder, DisplayName(folder)});
    }
    return users;
}
