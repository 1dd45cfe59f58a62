// Fuzzes the settings-file reader and writer with whole files: reads end
// cleanly and stay inside their buffers, and a key written to a file that
// loaded reads back as written while every other key keeps its value.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/profile/PrivateProfile.h"
#include "tools/fuzz/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = vwfuzz::MakeScratchFolder("profile") + "/corvane.ini";
    vwfuzz::WriteBytes(path, data, size);

    const char* sections[] = {"iSysVal", "CodePage", "a", "ISYSVAL"};
    const char* keys[] = {"PDPath", "Ansi", "b", "DatFile"};
    char buffer[16];
    for (const char* section : sections) {
        for (const char* key : keys) {
            std::memset(buffer, 'x', sizeof(buffer));
            const DWORD got = GetPrivateProfileStringA(section, key, "dflt", buffer, sizeof(buffer), path.c_str());
            vwfuzz::Abort(got < sizeof(buffer) && buffer[got] == '\0');
            (void)GetPrivateProfileIntA(section, key, -7, path.c_str());
        }
    }

    char before[256];
    GetPrivateProfileStringA("a", "b", "", before, sizeof(before), path.c_str());
    if (WritePrivateProfileStringA("iSysVal", "FuzzKey", "v=1;x", path.c_str())) {
        char after[256];
        GetPrivateProfileStringA("iSysVal", "FuzzKey", "", after, sizeof(after), path.c_str());
        vwfuzz::Abort(std::strcmp(after, "v=1;x") == 0);
        GetPrivateProfileStringA("a", "b", "", after, sizeof(after), path.c_str());
        vwfuzz::Abort(std::strcmp(after, before) == 0);
    }
    return 0;
}
