#include "platform/registry/WinePath.h"

#include <cctype>
#include <vector>

#include "platform/fsutil/FsUtil.h"

std::string GetWinePrefix()
{
    std::string prefix = EnvironmentValue("WINEPREFIX");
    if (prefix.empty()) {
        prefix = HomeFolder();
        if (prefix.empty())
            return std::string();
        while (!prefix.empty() && prefix.back() == '/')
            prefix.pop_back();
        prefix += "/.wine";
    }
    while (prefix.size() > 1 && prefix.back() == '/')
        prefix.pop_back();
    return prefix;
}

std::string MapWindowsPath(const std::string& windowsPath)
{
    if (windowsPath.empty())
        return std::string();
    if (windowsPath[0] == '/')
        return windowsPath;

    std::string path = windowsPath;
    if (path.compare(0, 4, "\\\\?\\") == 0)
        path.erase(0, 4);
    const char letter = path.size() >= 2 ? path[0] : '\0';
    const bool hasDrive = ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) && path[1] == ':';
    // Relative paths ("Palm\"), drive-relative ones ("C:Palm") and network
    // paths ("\\server\share") have no place in the Wine prefix.
    if (!hasDrive || (path.size() > 2 && path[2] != '\\' && path[2] != '/'))
        return std::string();
    const std::string prefix = GetWinePrefix();
    if (prefix.empty())
        return std::string();

    std::vector<std::string> parts;
    size_t start = 2;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }

    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    std::string mapped = prefix + "/dosdevices/" + lower + ":";
    for (const std::string& part : parts)
        mapped += "/" + part;
    mapped = ResolvePathCase(mapped);
    const char last = path.back();
    if (parts.empty() || last == '\\' || last == '/')
        mapped += '/';
    return mapped;
}
