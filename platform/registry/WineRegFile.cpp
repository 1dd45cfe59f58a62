#include "platform/registry/WineRegFile.h"

#include <cstring>
#include <fstream>

#include "platform/fsutil/FsUtil.h"

namespace {

// First line of every registry file Wine writes.
constexpr char kSignature[] = "WINE REGISTRY Version 2";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

void SkipBlanks(const std::string& line, size_t& pos)
{
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
}

bool OnlyBlanksFrom(const std::string& line, size_t pos)
{
    SkipBlanks(line, pos);
    return pos == line.size();
}

void AppendCodePoint(char32_t cp, std::u16string& out)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// Wine writes non-ASCII text as \x escapes, but a file edited by hand may
// hold raw UTF-8. Decodes one such character at line[pos]; a byte that does
// not start a valid sequence stands for itself (as Latin-1).
void AppendRawChar(const std::string& line, size_t& pos, std::u16string& out)
{
    const unsigned char lead = static_cast<unsigned char>(line[pos]);
    int extra = 0;
    char32_t cp = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
    }
    if (extra > 0 && pos + extra < line.size()) {
        char32_t value = cp;
        bool valid = true;
        for (int i = 1; i <= extra; ++i) {
            const unsigned char next = static_cast<unsigned char>(line[pos + i]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            value = (value << 6) | (next & 0x3F);
        }
        const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (valid && value >= minimum[extra] && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF)) {
            AppendCodePoint(value, out);
            pos += static_cast<size_t>(extra) + 1;
            return;
        }
    }
    out.push_back(lead);
    ++pos;
}

// Decodes escaped text from line[pos] up to the first unescaped terminator
// and leaves pos after it. False when the line ends first.
bool ParseEscaped(const std::string& line, size_t& pos, char terminator, std::u16string& out)
{
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == terminator) {
            ++pos;
            return true;
        }
        if (c != '\\') {
            if (static_cast<unsigned char>(c) < 0x80) {
                out.push_back(static_cast<unsigned char>(c));
                ++pos;
            } else {
                AppendRawChar(line, pos, out);
            }
            continue;
        }
        ++pos;
        if (pos >= line.size())
            return false;
        const char e = line[pos++];
        switch (e) {
        case 'a':
            out.push_back(7);
            break;
        case 'b':
            out.push_back(8);
            break;
        case 't':
            out.push_back(9);
            break;
        case 'n':
            out.push_back(10);
            break;
        case 'v':
            out.push_back(11);
            break;
        case 'f':
            out.push_back(12);
            break;
        case 'r':
            out.push_back(13);
            break;
        case 'e':
            out.push_back(27);
            break;
        case 'x': {
            unsigned value = 0;
            int digits = 0;
            while (digits < 4 && pos < line.size() && HexDigit(line[pos]) >= 0) {
                value = value * 16 + static_cast<unsigned>(HexDigit(line[pos++]));
                ++digits;
            }
            out.push_back(digits > 0 ? static_cast<char16_t>(value) : u'x');
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned value = static_cast<unsigned>(e - '0');
                for (int digits = 1; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits)
                    value = value * 8 + static_cast<unsigned>(line[pos++] - '0');
                out.push_back(static_cast<char16_t>(value));
            } else if (static_cast<unsigned char>(e) >= 0x80) {
                --pos;
                AppendRawChar(line, pos, out);
            } else {
                out.push_back(static_cast<unsigned char>(e));
            }
            break;
        }
    }
    return false;
}

void AppendUtf16Le(const std::u16string& text, std::vector<BYTE>& data)
{
    for (char16_t unit : text) {
        data.push_back(static_cast<BYTE>(unit & 0xFF));
        data.push_back(static_cast<BYTE>(unit >> 8));
    }
}

// Reads a hexadecimal number of minDigits to maxDigits digits at line[pos].
// Data is always written with full width (dword:%08x, two digits a byte), so
// a shorter number there is the mark of a file cut short.
bool ParseHexNumber(const std::string& line, size_t& pos, int minDigits, int maxDigits, DWORD& value)
{
    value = 0;
    int digits = 0;
    while (pos < line.size() && HexDigit(line[pos]) >= 0) {
        if (++digits > maxDigits)
            return false;
        value = value * 16 + static_cast<DWORD>(HexDigit(line[pos++]));
    }
    return digits >= minDigits;
}

bool StartsWith(const std::string& text, size_t pos, const char* prefix)
{
    return text.compare(pos, std::strlen(prefix), prefix) == 0;
}

// The lines of a file, with the CR of CR LF endings removed.
class LineReader {
public:
    explicit LineReader(std::string text) : m_text(std::move(text)) { }

    bool Next(std::string& line)
    {
        if (m_pos >= m_text.size())
            return false;
        size_t end = m_text.find('\n', m_pos);
        if (end == std::string::npos)
            end = m_text.size();
        line.assign(m_text, m_pos, end - m_pos);
        m_bTerminated = end < m_text.size();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_pos = end + 1;
        return true;
    }

    // Whether the line last read ended with a line feed. Wine ends every
    // line with one, so a last line without it is a file cut short.
    bool LastTerminated() const { return m_bTerminated; }

    // The next line when it continues binary data (starts with a blank);
    // nothing is consumed otherwise.
    bool NextContinuation(std::string& line)
    {
        if (m_pos >= m_text.size() || !IsBlank(m_text[m_pos]))
            return false;
        return Next(line);
    }

private:
    std::string m_text;
    size_t m_pos = 0;
    bool m_bTerminated = false;
};

// Parses comma separated hex bytes from line[pos], pulling continuation
// lines after a trailing backslash. Binary data has no closing mark, so
// data on a cut last line is refused rather than read short.
bool ParseHexBytes(std::string line, size_t pos, LineReader& reader, std::vector<BYTE>& data)
{
    for (;;) {
        SkipBlanks(line, pos);
        if (pos == line.size())
            return reader.LastTerminated();
        if (line[pos] == '\\') {
            if (!OnlyBlanksFrom(line, pos + 1) || !reader.NextContinuation(line))
                return false;
            pos = 0;
            continue;
        }
        DWORD value = 0;
        if (!ParseHexNumber(line, pos, 2, 2, value))
            return false;
        data.push_back(static_cast<BYTE>(value));
        SkipBlanks(line, pos);
        if (pos < line.size() && line[pos] == ',') {
            // A comma always leads to another byte or to a continuation.
            ++pos;
            if (OnlyBlanksFrom(line, pos))
                return false;
        } else if (pos < line.size()) {
            return false;
        }
    }
}

// Parses a value line ("name"=data or @=data). False when it is malformed.
bool ParseValueLine(const std::string& line, LineReader& reader, std::string& name, WineRegValue& value)
{
    size_t pos = 0;
    std::u16string rawName;
    if (line[0] == '@') {
        pos = 1;
    } else {
        pos = 1;
        if (!ParseEscaped(line, pos, '"', rawName))
            return false;
    }
    name = RegFoldCase(RegUtf16ToUtf8(rawName));
    SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=')
        return false;
    ++pos;
    SkipBlanks(line, pos);

    value = WineRegValue();
    DWORD type = 0;
    if (pos < line.size() && line[pos] == '"') {
        type = 1;
    } else if (StartsWith(line, pos, "str(")) {
        pos += 4;
        if (!ParseHexNumber(line, pos, 1, 8, type) || !StartsWith(line, pos, "):\""))
            return false;
        pos += 2;
    } else if (StartsWith(line, pos, "dword:")) {
        pos += 6;
        DWORD number = 0;
        if (!ParseHexNumber(line, pos, 8, 8, number) || !OnlyBlanksFrom(line, pos))
            return false;
        value.dwType = 4;
        for (int i = 0; i < 4; ++i)
            value.data.push_back(static_cast<BYTE>(number >> (8 * i)));
        return true;
    } else if (StartsWith(line, pos, "hex:")) {
        value.dwType = 3;
        return ParseHexBytes(line, pos + 4, reader, value.data);
    } else if (StartsWith(line, pos, "hex(")) {
        pos += 4;
        if (!ParseHexNumber(line, pos, 1, 8, value.dwType) || !StartsWith(line, pos, "):"))
            return false;
        return ParseHexBytes(line, pos + 2, reader, value.data);
    } else {
        return false;
    }

    // A quoted string at line[pos].
    ++pos;
    std::u16string text;
    if (!ParseEscaped(line, pos, '"', text) || !OnlyBlanksFrom(line, pos))
        return false;
    text.push_back(0);
    value.dwType = type;
    AppendUtf16Le(text, value.data);
    return true;
}

// A FIFO or device in place of a registry file is refused, not waited on.
bool ReadWholeFile(const std::string& path, std::string& text)
{
    return ReadRegularFile(path, &text);
}

// Registry files are large (a prefix's system.reg holds many megabytes of
// class registrations) and read again on every key opened, so headers are
// first compared undecoded. False only when the header at line[1...] can be
// neither the wanted key nor below it; any escape other than a doubled
// backslash, or any non-ASCII byte, leaves the decision to the full decode.
bool HeaderMayMatch(const std::string& line, const std::string& wanted)
{
    size_t pos = 1;
    for (size_t j = 0; j < wanted.size(); ++j) {
        if (pos >= line.size())
            return true;
        char c = line[pos];
        if (c == '\\') {
            if (pos + 1 >= line.size() || line[pos + 1] != '\\')
                return true;
            ++pos;
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != wanted[j])
            return false;
        ++pos;
    }
    return true;
}

}  // namespace

std::string RegFoldCase(const std::string& text)
{
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::string RegUtf16ToUtf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::vector<WineRegKey> ReadWineRegKeys(const std::string& filePath, const std::vector<std::string>& keyPaths)
{
    std::vector<WineRegKey> keys(keyPaths.size());
    std::string text;
    if (!ReadWholeFile(filePath, text))
        return keys;

    LineReader reader(std::move(text));
    std::string line;
    if (!reader.Next(line) || line.compare(0, sizeof(kSignature) - 1, kSignature) != 0)
        return keys;

    // Indices of the requested keys that the current section is.
    std::vector<size_t> current;
    while (reader.Next(line)) {
        if (line.empty())
            continue;
        if (line[0] == '[') {
            current.clear();
            bool bMayMatch = false;
            for (const std::string& wanted : keyPaths)
                bMayMatch = bMayMatch || HeaderMayMatch(line, wanted);
            if (!bMayMatch)
                continue;
            size_t pos = 1;
            std::u16string rawPath;
            if (!ParseEscaped(line, pos, ']', rawPath))
                continue;  // unsound header: its values belong to no key
            const std::string path = RegFoldCase(RegUtf16ToUtf8(rawPath));
            for (size_t i = 0; i < keyPaths.size(); ++i) {
                const std::string& wanted = keyPaths[i];
                if (path == wanted) {
                    keys[i].bExists = true;
                    current.push_back(i);
                } else if (wanted.empty() || (path.size() > wanted.size() && path[wanted.size()] == '\\' &&
                                              path.compare(0, wanted.size(), wanted) == 0)) {
                    keys[i].bExists = true;
                }
            }
            continue;
        }
        if ((line[0] == '"' || line[0] == '@') && !current.empty()) {
            std::string name;
            WineRegValue value;
            if (!ParseValueLine(line, reader, name, value))
                continue;
            for (size_t i : current)
                keys[i].values[name] = value;
        }
        // Comments (;), metadata (#time, #arch, #link...) and anything else: skipped.
    }
    return keys;
}
