// vw-pdgen: writes a Palm Desktop folder as Windows would leave it.
//
//   vw-pdgen FOLDER [--version A.B.C.D | --no-version] [--libs MASK]
//            [--user NAME[=ADDRESSFILE]]... [--wine-prefix DIR]
//
// --user adds a HotSync user folder NAME/address/ holding address.dat
// (empty), or a copy of ADDRESSFILE (named address.mdb when it ends in
// .mdb). --libs chooses the library files (1 condmgr.dll, 2 UserData.dll,
// 4 HSAPI.DLL, 8 instaide.dll; default 15). --wine-prefix also writes a
// Wine prefix whose registry names FOLDER as Palm Desktop's folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/pdgen/PdGen.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: vw-pdgen FOLDER [--version A.B.C.D | --no-version] [--libs MASK]\n"
                 "                [--user NAME[=ADDRESSFILE]]... [--wine-prefix DIR]\n");
    return 2;
}

bool ParseVersion(const char* text, uint16_t version[4])
{
    unsigned parts[4] = {};
    char tail = '\0';
    if (std::sscanf(text, "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        if (parts[i] > 0xFFFF)
            return false;
        version[i] = static_cast<uint16_t>(parts[i]);
    }
    return true;
}

bool ParseUser(const std::string& argument, pdgen::User& user)
{
    const size_t equals = argument.find('=');
    user.folder = argument.substr(0, equals);
    if (user.folder.empty() || user.folder.find('/') != std::string::npos)
        return false;
    if (equals == std::string::npos)
        return true;
    const std::string source = argument.substr(equals + 1);
    std::ifstream in(source, std::ios::binary);
    if (!in)
        return false;
    user.addressData.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (source.size() >= 4 && strcasecmp(source.c_str() + source.size() - 4, ".mdb") == 0)
        user.addressFile = "address.mdb";
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-')
        return Usage();
    const std::string path = argv[1];
    pdgen::Folder folder;
    std::string winePrefix;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--version" && hasValue) {
            if (!ParseVersion(argv[++i], folder.version))
                return Usage();
        } else if (option == "--no-version") {
            folder.bVersioned = false;
        } else if (option == "--libs" && hasValue) {
            char* end = nullptr;
            const unsigned long mask = std::strtoul(argv[++i], &end, 0);
            if (*end != '\0' || mask > 15)
                return Usage();
            folder.libraryMask = static_cast<unsigned>(mask);
        } else if (option == "--user" && hasValue) {
            pdgen::User user;
            if (!ParseUser(argv[++i], user)) {
                std::fprintf(stderr, "vw-pdgen: bad user '%s'\n", argv[i]);
                return 1;
            }
            folder.users.push_back(user);
        } else if (option == "--wine-prefix" && hasValue) {
            winePrefix = argv[++i];
        } else {
            return Usage();
        }
    }

    std::string error;
    if (!pdgen::MakePalmDesktopFolder(path, folder, &error) ||
        (!winePrefix.empty() && !pdgen::MakeWinePrefix(winePrefix, path, &error))) {
        std::fprintf(stderr, "vw-pdgen: %s\n", error.c_str());
        return 1;
    }
    std::printf("Palm Desktop %u.%u.%u.%u folder with %zu user(s) written to %s\n", folder.version[0],
                folder.version[1], folder.version[2], folder.version[3], folder.users.size(), path.c_str());
    return 0;
}
