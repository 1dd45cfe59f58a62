#include "tools/pdgen/PdGen.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "tools/pegen/PeBuilder.h"

namespace fs = std::filesystem;

namespace pdgen {
namespace {

// The desktop library files, by mask bit.
const char* const kLibraryFiles[] = {"condmgr.dll", "UserData.dll", "HSAPI.DLL", "instaide.dll"};

bool Fail(std::string* error, const std::string& message)
{
    if (error != nullptr)
        *error = message;
    return false;
}

bool MakeFolder(const fs::path& path, std::string* error)
{
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec)
        return Fail(error, "cannot create " + path.string() + ": " + ec.message());
    return true;
}

bool Write(const fs::path& path, const std::vector<uint8_t>& bytes, std::string* error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!bytes.empty())
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        return Fail(error, "cannot write " + path.string());
    return true;
}

// Appends text in the quoted form of a registry file. Non-ASCII UTF-8 is
// written as \x escapes of its UTF-16 units, four digits when a hex digit
// follows so that the escape cannot swallow it.
void AppendEscaped(const std::string& text, std::string& out)
{
    std::u16string units;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        char32_t cp = lead;
        size_t length = 1;
        if (lead >= 0xF0 && i + 3 < text.size()) {
            cp = ((lead & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6) |
                 (text[i + 3] & 0x3Fu);
            length = 4;
        } else if (lead >= 0xE0 && i + 2 < text.size()) {
            cp = ((lead & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
            length = 3;
        } else if (lead >= 0xC0 && i + 1 < text.size()) {
            cp = ((lead & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
            length = 2;
        }
        i += length;
        if (cp >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
    }
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        char buffer[16];
        if (unit >= 0x80) {
            const bool hexFollows =
                i + 1 < units.size() && units[i + 1] < 0x80 && std::isxdigit(static_cast<int>(units[i + 1])) != 0;
            std::snprintf(buffer, sizeof(buffer), hexFollows ? "\\x%04x" : "\\x%x", unit);
            out += buffer;
        } else if (unit < 0x20) {
            std::snprintf(buffer, sizeof(buffer), "\\%03o", unit);
            out += buffer;
        } else {
            if (unit == '\\' || unit == '"')
                out += '\\';
            out += static_cast<char>(unit);
        }
    }
}

}  // namespace

bool MakePalmDesktopFolder(const std::string& path, const Folder& folder, std::string* error)
{
    const fs::path root(path);
    if (!MakeFolder(root, error))
        return false;
    if (folder.bPalmExe) {
        const std::vector<uint8_t> image =
            folder.bVersioned
                ? pegen::BuildVersionedPe(folder.version[0], folder.version[1], folder.version[2], folder.version[3])
                : pegen::BuildUnversionedPe();
        if (!Write(root / folder.palmExeName, image, error))
            return false;
    }
    for (unsigned bit = 0; bit < 4; ++bit) {
        if ((folder.libraryMask & (1u << bit)) != 0 &&
            !Write(root / kLibraryFiles[bit], pegen::BuildUnversionedPe(), error))
            return false;
    }
    for (const User& user : folder.users) {
        const fs::path addressFolder = root / user.folder / user.addressFolder;
        if (!MakeFolder(addressFolder, error) || !Write(addressFolder / user.addressFile, user.addressData, error))
            return false;
    }
    return true;
}

bool WriteWineRegistry(const std::string& path, const std::vector<RegValue>& values)
{
    const bool bMachine = fs::path(path).filename() == "system.reg";
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to ";
    text += bMachine ? "\\\\Machine" : "\\\\User\\\\S-1-5-21-0-0-0-1000";
    text += "\n\n#arch=win32\n";
    std::string currentKey;
    bool bAnyKey = false;
    for (const RegValue& value : values) {
        if (!bAnyKey || value.key != currentKey) {
            text += "\n[";
            std::string escapedKey;
            AppendEscaped(value.key, escapedKey);
            text += escapedKey + "] 1700000000\n#time=1da0000000000000\n";
            currentKey = value.key;
            bAnyKey = true;
        }
        if (value.name.empty()) {
            text += "@";
        } else {
            text += "\"";
            AppendEscaped(value.name, text);
            text += "\"";
        }
        text += "=\"";
        AppendEscaped(value.value, text);
        text += "\"\n";
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

bool LinkDosDevice(const std::string& prefix, char drive, const std::string& target)
{
    std::error_code ec;
    const fs::path devices = fs::path(prefix) / "dosdevices";
    fs::create_directories(devices, ec);
    if (ec)
        return false;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(drive)));
    const fs::path link = devices / (std::string(1, letter) + ":");
    fs::remove(link, ec);
    fs::create_directory_symlink(target, link, ec);
    return !ec;
}

std::string LinuxToDriveZ(const std::string& linuxPath)
{
    std::string windows = "Z:";
    for (char c : linuxPath)
        windows += c == '/' ? '\\' : c;
    if (windows == "Z:")
        windows += '\\';
    return windows;
}

bool MakeWinePrefix(const std::string& prefix, const std::string& desktopFolder, std::string* error)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(desktopFolder, ec);
    if (ec)
        return Fail(error, "cannot make " + desktopFolder + " absolute");
    if (!LinkDosDevice(prefix, 'z', "/"))
        return Fail(error, "cannot link drive Z: in " + prefix);
    const std::vector<RegValue> values = {
        {"Software\\U.S. Robotics\\Pilot Desktop\\Core", "DesktopPath",
         LinuxToDriveZ(absolute.lexically_normal().string())},
    };
    if (!WriteWineRegistry(prefix + "/user.reg", values))
        return Fail(error, "cannot write " + prefix + "/user.reg");
    return true;
}

}  // namespace pdgen
