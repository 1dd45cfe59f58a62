#include "platform/codepage/CodePage.h"

#include <iconv.h>
#include <strings.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/profile/PrivateProfile.h"

namespace {

constexpr char32_t kReplacement = U'?';

// Windows-1252 bytes 0x80 to 0x9F; the five undefined ones map to the C1
// control of the same number so that they survive a round trip.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// One code page. Single-byte code pages convert through a table of all 256
// bytes; multi-byte ones (CP932, CP936...) go through iconv each time.
struct CodePage {
    std::string name;
    bool singleByte = true;
    char32_t toUnicode[256] = {};
    std::unordered_map<char32_t, unsigned char> fromUnicode;
    // fromUnicode for the characters below 256, as a table: the byte of
    // character c, or -1 when no byte stands for it.
    int16_t fromLow[256] = {};
    // Every byte below 0x80 stands for the character of its own number.
    bool asciiSame = false;

    void BuildReverse()
    {
        // Bytes in ascending order, so an earlier byte wins a shared character;
        // a byte that maps to its own number always wins its own character.
        for (int b = 255; b >= 0; --b)
            fromUnicode[toUnicode[b]] = static_cast<unsigned char>(b);
        for (int b = 0; b < 256; ++b) {
            if (toUnicode[b] == static_cast<char32_t>(b))
                fromUnicode[toUnicode[b]] = static_cast<unsigned char>(b);
        }
        for (int c = 0; c < 256; ++c) {
            const auto found = fromUnicode.find(static_cast<char32_t>(c));
            fromLow[c] = found != fromUnicode.end() ? static_cast<int16_t>(found->second) : int16_t{-1};
        }
        asciiSame = true;
        for (int b = 0; b < 0x80; ++b)
            asciiSame = asciiSame && toUnicode[b] == static_cast<char32_t>(b);
    }

    // The byte of a character, '?' when the code page has none.
    char ByteOf(char32_t c) const
    {
        if (c < 256)
            return fromLow[c] >= 0 ? static_cast<char>(fromLow[c]) : '?';
        const auto found = fromUnicode.find(c);
        return found != fromUnicode.end() ? static_cast<char>(found->second) : '?';
    }
};

std::shared_ptr<const CodePage> MakeCp1252()
{
    auto page = std::make_shared<CodePage>();
    page->name = "CP1252";
    for (int b = 0; b < 256; ++b)
        page->toUnicode[b] = b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char32_t>(b);
    page->BuildReverse();
    return page;
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) { }
    ~Iconv()
    {
        if (Valid())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }
    void Reset() const { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

char32_t ReadUtf32Le(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<char32_t>(u[0]) | (static_cast<char32_t>(u[1]) << 8) | (static_cast<char32_t>(u[2]) << 16) |
           (static_cast<char32_t>(u[3]) << 24);
}

std::shared_ptr<const CodePage> MakeWithIconv(const std::string& name)
{
    Iconv decoder("UTF-32LE", name.c_str());
    Iconv encoder(name.c_str(), "UTF-32LE");
    if (!decoder.Valid() || !encoder.Valid())
        return nullptr;
    auto page = std::make_shared<CodePage>();
    page->name = name;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        char out[16];
        char* inPtr = &in;
        size_t inLeft = 1;
        char* outPtr = out;
        size_t outLeft = sizeof(out);
        decoder.Reset();
        const size_t result = iconv(decoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        const size_t produced = sizeof(out) - outLeft;
        if (result == static_cast<size_t>(-1) && errno == EINVAL) {
            page->singleByte = false;  // a lead byte waiting for more
            break;
        }
        if (result == static_cast<size_t>(-1) || produced != 4) {
            if (produced > 4 || (result != static_cast<size_t>(-1) && produced == 0)) {
                page->singleByte = false;  // stateful or otherwise not byte-to-char
                break;
            }
            page->toUnicode[b] = static_cast<char32_t>(b);  // undefined byte
        } else {
            page->toUnicode[b] = ReadUtf32Le(out);
        }
    }
    if (page->singleByte)
        page->BuildReverse();
    return page;
}

std::mutex g_mutex;
std::shared_ptr<const CodePage> g_current;

std::shared_ptr<const CodePage> Current()
{
    std::lock_guard<std::mutex> guard(g_mutex);
    if (!g_current)
        g_current = MakeCp1252();
    return g_current;
}

std::u32string Decode(std::string_view ansi)
{
    if (ansi.empty())
        return std::u32string();
    const auto page = Current();
    std::u32string chars;
    chars.reserve(ansi.size());
    if (page->singleByte) {
        for (const char c : ansi)
            chars.push_back(page->toUnicode[static_cast<unsigned char>(c)]);
        return chars;
    }
    Iconv decoder("UTF-32LE", page->name.c_str());
    if (!decoder.Valid())
        return std::u32string(ansi.size(), kReplacement);
    std::string input(ansi);
    char* inPtr = input.data();
    size_t inLeft = input.size();
    std::vector<char> out(input.size() * 4 + 16);
    while (inLeft > 0) {
        char* outPtr = out.data();
        size_t outLeft = out.size();
        const size_t result = iconv(decoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        for (const char* p = out.data(); p + 4 <= outPtr; p += 4)
            chars.push_back(ReadUtf32Le(p));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            // A byte sequence the code page does not define, or one cut at
            // the end: one '?' for its first byte, then go on.
            chars.push_back(kReplacement);
            ++inPtr;
            --inLeft;
            decoder.Reset();
        }
    }
    return chars;
}

std::string Encode(const std::u32string& chars)
{
    if (chars.empty())
        return std::string();
    const auto page = Current();
    std::string ansi;
    ansi.reserve(chars.size());
    if (page->singleByte) {
        for (const char32_t c : chars)
            ansi.push_back(page->ByteOf(c));
        return ansi;
    }
    Iconv encoder(page->name.c_str(), "UTF-32LE");
    if (!encoder.Valid())
        return std::string(chars.size(), '?');
    for (const char32_t c : chars) {
        char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                      static_cast<char>((c >> 16) & 0xFF), static_cast<char>((c >> 24) & 0xFF)};
        char out[16];
        char* inPtr = in;
        size_t inLeft = sizeof(in);
        char* outPtr = out;
        size_t outLeft = sizeof(out);
        if (iconv(encoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            ansi.push_back('?');
            encoder.Reset();
        } else {
            ansi.append(out, static_cast<size_t>(outPtr - out));
        }
    }
    return ansi;
}

bool IsScalarValue(char32_t c)
{
    return c < 0x110000 && (c < 0xD800 || c > 0xDFFF);
}

// Strict UTF-8: overlong forms, surrogates and values past U+10FFFF are
// malformed; each malformed sequence (a stray byte, or a lead byte with the
// continuation bytes that follow it) gives one '?'.
std::u32string DecodeUtf8(std::string_view utf8)
{
    std::u32string chars;
    chars.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        size_t length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            chars.push_back(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, c = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, c = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, c = lead & 0x07, minimum = 0x10000;
        } else {
            chars.push_back(kReplacement);
            ++i;
            continue;
        }
        size_t n = 1;
        for (; n < length && i + n < utf8.size(); ++n) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + n]);
            if ((next & 0xC0) != 0x80)
                break;
            c = (c << 6) | (next & 0x3F);
        }
        if (n == length && c >= minimum && IsScalarValue(c)) {
            chars.push_back(c);
            i += length;
        } else {
            chars.push_back(kReplacement);
            i += n > 1 ? n : 1;
        }
    }
    return chars;
}

std::u32string DecodeUtf16(std::u16string_view wide)
{
    std::u32string chars;
    chars.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            chars.push_back(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                            (static_cast<char32_t>(wide[i + 1]) - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            chars.push_back(kReplacement);
        } else {
            chars.push_back(unit);
        }
    }
    return chars;
}

bool IsAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Appends one character as UTF-8.
void AppendUtf8(std::string& utf8, char32_t c)
{
    if (c < 0x80) {
        utf8.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
        utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
        utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        utf8.push_back(static_cast<char>(0xF0 | (c >> 18)));
        utf8.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Appends one character as UTF-16.
void AppendUtf16(std::u16string& wide, char32_t c)
{
    if (c < 0x10000) {
        wide.push_back(static_cast<char16_t>(c));
    } else {
        wide.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        wide.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
}

}  // namespace

namespace {

// A name as SetAnsiCodePage takes it, and the code page it stands for.
std::shared_ptr<const CodePage> MakeByName(const char* pszName)
{
    if (pszName == nullptr || pszName[0] == '\0')
        return nullptr;
    std::string name = pszName;
    if (name.find_first_not_of("0123456789") == std::string::npos)
        name = "CP" + name;  // a bare number names a Windows code page
    if (strcasecmp(name.c_str(), "CP1252") == 0 || strcasecmp(name.c_str(), "WINDOWS-1252") == 0)
        return MakeCp1252();
    return MakeWithIconv(name);
}

// The single-byte code pages of Windows, as Windows names their scripts.
constexpr CodePageChoice kWindowsCodePages[] = {
    {"CP1252", "Western European"}, {"CP874", "Thai"},    {"CP1250", "Central European"},
    {"CP1251", "Cyrillic"},         {"CP1253", "Greek"},  {"CP1254", "Turkish"},
    {"CP1255", "Hebrew"},           {"CP1256", "Arabic"}, {"CP1257", "Baltic"},
    {"CP1258", "Vietnamese"},
};

}  // namespace

bool SetAnsiCodePage(const char* pszName)
{
    const std::shared_ptr<const CodePage> page = MakeByName(pszName);
    if (!page)
        return false;
    std::lock_guard<std::mutex> guard(g_mutex);
    g_current = page;
    return true;
}

std::vector<CodePageChoice> WindowsCodePages()
{
    std::vector<CodePageChoice> choices;
    for (const CodePageChoice& choice : kWindowsCodePages) {
        const auto page = MakeByName(choice.pszName);
        if (page && page->singleByte)
            choices.push_back(choice);
    }
    return choices;
}

bool IsKnownCodePage(const char* pszName)
{
    return MakeByName(pszName) != nullptr;
}

std::string GetAnsiCodePage()
{
    return Current()->name;
}

bool LoadAnsiCodePageSetting(const char* pszIniPath)
{
    char name[64];
    GetPrivateProfileStringA("CodePage", "Ansi", "", name, sizeof(name), pszIniPath);
    return name[0] != '\0' && SetAnsiCodePage(name);
}

// A single-byte code page converts byte by byte in one pass; the others go
// through the 32-bit form (and iconv).
std::string AnsiToUtf8(std::string_view ansi)
{
    std::string utf8;
    if (ansi.empty())
        return utf8;
    const auto page = Current();
    if (page->singleByte && page->asciiSame && IsAscii(ansi))
        return std::string(ansi);  // the same bytes
    utf8.reserve(ansi.size());
    if (page->singleByte) {
        for (const char c : ansi)
            AppendUtf8(utf8, page->toUnicode[static_cast<unsigned char>(c)]);
        return utf8;
    }
    for (const char32_t c : Decode(ansi))
        AppendUtf8(utf8, c);
    return utf8;
}

std::string Utf8ToAnsi(std::string_view utf8)
{
    return Encode(DecodeUtf8(utf8));
}

std::u16string AnsiToWide(std::string_view ansi)
{
    std::u16string wide;
    if (ansi.empty())
        return wide;
    wide.reserve(ansi.size());
    const auto page = Current();
    if (page->singleByte) {
        for (const char c : ansi)
            AppendUtf16(wide, page->toUnicode[static_cast<unsigned char>(c)]);
        return wide;
    }
    for (const char32_t c : Decode(ansi))
        AppendUtf16(wide, c);
    return wide;
}

std::string WideToAnsi(std::u16string_view wide)
{
    if (wide.empty())
        return std::string();
    const auto page = Current();
    if (!page->singleByte)
        return Encode(DecodeUtf16(wide));
    // DecodeUtf16 and Encode in one pass.
    std::string ansi;
    ansi.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            ansi.push_back(page->ByteOf(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                                        (static_cast<char32_t>(wide[i + 1]) - 0xDC00)));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            ansi.push_back(page->ByteOf(kReplacement));
        } else {
            ansi.push_back(page->ByteOf(unit));
        }
    }
    return ansi;
}

bool Utf8ToAnsiExact(std::string_view utf8, std::string* pAnsi)
{
    std::string ansi = Utf8ToAnsi(utf8);
    const bool bExact = AnsiToUtf8(ansi) == utf8;
    if (pAnsi != nullptr)
        *pAnsi = std::move(ansi);
    return bExact;
}

bool IsValidUtf8(std::string_view text)
{
    if (IsAscii(text))
        return true;
    std::string utf8;
    for (const char32_t c : DecodeUtf8(text))
        AppendUtf8(utf8, c);
    return utf8 == text;
}

bool CharsetToUtf8(const char* pszCharset, std::string_view text, std::string* pUtf8)
{
    if (pszCharset == nullptr || pszCharset[0] == '\0' || pUtf8 == nullptr)
        return false;
    Iconv decoder("UTF-8", pszCharset);
    if (!decoder.Valid())
        return false;
    std::string input(text);
    char* inPtr = input.data();
    size_t inLeft = input.size();
    std::string out(input.size() * 4 + 16, '\0');
    char* outPtr = out.data();
    size_t outLeft = out.size();
    if (iconv(decoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return false;
    out.resize(out.size() - outLeft);
    *pUtf8 = std::move(out);
    return true;
}
