// Fuzzes the code-page conversions: 8-bit text must survive the way out to
// UTF-8 and UTF-16 and back byte for byte, and any UTF-8 or UTF-16 input
// (malformed included) must convert without failing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage/CodePage.h"
#include "tools/fuzz/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte picks the code page, so the table-driven and the
    // multi-byte ones are both reached.
    static const char* const codePages[] = {"CP1252", "CP1251", "CP1250", "ISO-8859-15", "CP932", "CP936"};
    if (size == 0)
        return 0;
    const char* pszCodePage = codePages[data[0] % (sizeof(codePages) / sizeof(codePages[0]))];
    vwfuzz::Abort(SetAnsiCodePage(pszCodePage));
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const bool bSingleByte = data[0] % 6 < 4;
    const std::string utf8 = AnsiToUtf8(text);
    const std::u16string wide = AnsiToWide(text);
    if (bSingleByte) {
        vwfuzz::Abort(Utf8ToAnsi(utf8) == text);
        vwfuzz::Abort(WideToAnsi(wide) == text);
    } else {
        (void)Utf8ToAnsi(utf8);
        (void)WideToAnsi(wide);
    }

    (void)Utf8ToAnsi(text);
    std::u16string units((size - 1) / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[1 + 2 * i] | (data[2 + 2 * i] << 8));
    (void)WideToAnsi(units);
    return 0;
}
