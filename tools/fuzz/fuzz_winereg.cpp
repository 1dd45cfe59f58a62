// Fuzzes the Wine registry file reader with whole files: whatever the bytes,
// the scan must end cleanly, answer one entry per key path asked, and keep
// string values as whole UTF-16 code units.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/WineRegFile.h"
#include "tools/fuzz/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = vwfuzz::MakeScratchFolder("winereg") + "/user.reg";
    vwfuzz::WriteBytes(path, data, size);

    const std::vector<std::string> keys = {"software\\palmsource\\desktop\\core", "software\\wine", "a", "software"};
    const std::vector<WineRegKey> found = ReadWineRegKeys(path, keys);
    vwfuzz::Abort(found.size() == keys.size());
    for (const WineRegKey& key : found) {
        vwfuzz::Abort(key.bExists || key.values.empty());
        for (const auto& [name, value] : key.values) {
            if (value.dwType == 1 || value.dwType == 2 || value.dwType == 7) {
                std::u16string wide(value.data.size() / 2, u'\0');
                for (size_t i = 0; i < wide.size(); ++i)
                    wide[i] = static_cast<char16_t>(value.data[2 * i] | (value.data[2 * i + 1] << 8));
                (void)RegUtf16ToUtf8(wide);
            }
            vwfuzz::Abort(RegFoldCase(name) == name);
        }
    }
    return 0;
}
