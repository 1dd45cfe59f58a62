#include "common/exchange/VCardReader.h"

#include <cctype>
#include <cstring>

#include "platform/codepage/CodePage.h"

namespace {

char Upper(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string ToUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = Upper(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Quoted-printable: "=XX" is a byte, a '=' at a line end is a soft break
// (the reader has already joined such lines, leaving "=\r\n" or "=\n").
std::string DecodeQuotedPrintable(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '=') {
            out.push_back(c);
            continue;
        }
        if (i + 1 < value.size() && (value[i + 1] == '\r' || value[i + 1] == '\n')) {
            ++i;
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            continue;
        }
        const int hi = i + 1 < value.size() ? HexDigit(value[i + 1]) : -1;
        const int lo = i + 2 < value.size() ? HexDigit(value[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
            out.push_back(c);  // a lone '=' stays
            continue;
        }
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

std::string DecodeBase64(std::string_view value)
{
    std::string out;
    unsigned int buffer = 0;
    int bits = 0;
    for (const char c : value) {
        int digit;
        if (c >= 'A' && c <= 'Z')
            digit = c - 'A';
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            digit = c - '0' + 52;
        else if (c == '+')
            digit = 62;
        else if (c == '/')
            digit = 63;
        else
            continue;  // padding, blanks, line breaks
        buffer = (buffer << 6) | static_cast<unsigned int>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

// The physical lines of text, without their line ends (CRLF, LF or CR).
std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// Splits "group.NAME;P=a,b;Q=\"x;y\":value" at its first ':' outside
// quotes. False when the line has no ':' or no name.
bool ParseContentLine(std::string_view line, VCardProperty* pProperty)
{
    size_t colon = std::string_view::npos;
    bool bQuoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            bQuoted = !bQuoted;
        else if (line[i] == ':' && !bQuoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string_view::npos)
        return false;
    const std::string_view head = line.substr(0, colon);
    pProperty->strValue = std::string(line.substr(colon + 1));

    // The head: name, then parameters separated by unquoted ';'.
    std::vector<std::string_view> parts;
    size_t start = 0;
    bQuoted = false;
    for (size_t i = 0; i <= head.size(); ++i) {
        if (i < head.size() && head[i] == '"')
            bQuoted = !bQuoted;
        if (i == head.size() || (head[i] == ';' && !bQuoted)) {
            parts.push_back(head.substr(start, i - start));
            start = i + 1;
        }
    }
    std::string_view name = Trim(parts[0]);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        pProperty->strGroup = std::string(name.substr(0, dot));
        name = name.substr(dot + 1);
    }
    if (name.empty())
        return false;
    pProperty->strName = ToUpper(name);

    for (size_t p = 1; p < parts.size(); ++p) {
        const std::string_view part = Trim(parts[p]);
        if (part.empty())
            continue;
        const size_t equals = part.find('=');
        std::string paramName = equals == std::string_view::npos ? "TYPE" : ToUpper(Trim(part.substr(0, equals)));
        const std::string_view values = equals == std::string_view::npos ? part : part.substr(equals + 1);
        std::vector<std::string> list;
        size_t valueStart = 0;
        bQuoted = false;
        for (size_t i = 0; i <= values.size(); ++i) {
            if (i < values.size() && values[i] == '"')
                bQuoted = !bQuoted;
            if (i == values.size() || (values[i] == ',' && !bQuoted)) {
                std::string_view value = Trim(values.substr(valueStart, i - valueStart));
                if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                    value = value.substr(1, value.size() - 2);
                list.emplace_back(value);
                valueStart = i + 1;
            }
        }
        // A bare 2.1 parameter that names an encoding or a character set.
        if (equals == std::string_view::npos && list.size() == 1) {
            const std::string upper = ToUpper(list[0]);
            if (upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "8BIT" || upper == "7BIT")
                paramName = "ENCODING";
        }
        pProperty->params.emplace_back(std::move(paramName), std::move(list));
    }
    return true;
}

// Decodes the value's transfer encoding and converts it to UTF-8.
void DecodeValue(VCardProperty* pProperty)
{
    const std::string encoding = ToUpper(pProperty->Param("ENCODING"));
    if (encoding == "QUOTED-PRINTABLE")
        pProperty->strValue = DecodeQuotedPrintable(pProperty->strValue);
    else if (encoding == "BASE64" || encoding == "B")
        pProperty->strValue = DecodeBase64(pProperty->strValue);

    const std::string charset = pProperty->Param("CHARSET");
    std::string utf8;
    if (!charset.empty() && !EqualsNoCase(charset, "UTF-8") &&
        CharsetToUtf8(charset.c_str(), pProperty->strValue, &utf8)) {
        pProperty->strValue = std::move(utf8);
    } else if (!IsValidUtf8(pProperty->strValue) && CharsetToUtf8("WINDOWS-1252", pProperty->strValue, &utf8)) {
        // 8-bit text without a character set: old phones and mail programs
        // wrote their Windows code page.
        pProperty->strValue = std::move(utf8);
    }
}

bool IsQuotedPrintable(const VCardProperty& property)
{
    return EqualsNoCase(property.Param("ENCODING"), "QUOTED-PRINTABLE");
}

}  // namespace

bool VCardProperty::HasType(std::string_view type) const
{
    for (const auto& [name, values] : params) {
        if (name != "TYPE")
            continue;
        // 4.0 also writes the list quoted as one value: TYPE="voice,home".
        for (const std::string& value : values) {
            size_t start = 0;
            for (;;) {
                const size_t comma = value.find(',', start);
                const std::string_view one = Trim(std::string_view(value).substr(
                    start, comma == std::string::npos ? std::string::npos : comma - start));
                if (EqualsNoCase(one, type))
                    return true;
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        }
    }
    return false;
}

std::string VCardProperty::Param(std::string_view name) const
{
    for (const auto& [paramName, values] : params) {
        if (paramName == name && !values.empty())
            return values[0];
    }
    return std::string();
}

const VCardProperty* VCard::Find(std::string_view name) const
{
    for (const VCardProperty& property : properties) {
        if (property.strName == name)
            return &property;
    }
    return nullptr;
}

size_t VCardReader::Parse(std::string_view text, std::vector<VCard>* pCards)
{
    if (pCards == nullptr)
        return 0;
    const std::vector<std::string_view> lines = SplitLines(text);
    size_t nFound = 0;
    VCard card;
    bool bInCard = false;
    int nNested = 0;  // cards inside a card (2.1 AGENT) are skipped

    size_t i = 0;
    while (i < lines.size()) {
        // The logical line: this one and the folded ones after it. 2.1
        // keeps the blank that starts a continuation, 3.0 and 4.0 drop it.
        const bool bKeepBlank = card.strVersion == "2.1";
        std::string line(lines[i++]);
        while (i < lines.size() && !lines[i].empty() && (lines[i][0] == ' ' || lines[i][0] == '\t')) {
            line.append(lines[i].substr(bKeepBlank ? 0 : 1));
            ++i;
        }
        if (Trim(line).empty())
            continue;

        VCardProperty property;
        if (!ParseContentLine(line, &property))
            continue;
        // Quoted-printable soft line breaks: a value ending in '=' goes on
        // on the next physical line.
        if (IsQuotedPrintable(property)) {
            while (!property.strValue.empty() && property.strValue.back() == '=' && i < lines.size()) {
                property.strValue.append("\r\n");
                property.strValue.append(lines[i++]);
            }
        }

        if (property.strName == "BEGIN" && EqualsNoCase(Trim(property.strValue), "VCARD")) {
            if (bInCard)
                ++nNested;
            else {
                card = VCard();
                bInCard = true;
            }
            continue;
        }
        if (!bInCard)
            continue;
        if (property.strName == "END" && EqualsNoCase(Trim(property.strValue), "VCARD")) {
            if (nNested > 0) {
                --nNested;
                continue;
            }
            pCards->push_back(std::move(card));
            card = VCard();
            bInCard = false;
            ++nFound;
            continue;
        }
        if (nNested > 0)
            continue;
        if (property.strName == "VERSION") {
            card.strVersion = std::string(Trim(property.strValue));
            continue;
        }
        DecodeValue(&property);
        card.properties.push_back(std::move(property));
    }
    if (bInCard) {
        pCards->push_back(std::move(card));
        ++nFound;
    }
    return nFound;
}

std::vector<std::string> VCardReader::SplitValue(std::string_view value, char cSeparator)
{
    std::vector<std::string> components;
    size_t start = 0;
    size_t i = 0;
    for (;;) {
        if (i >= value.size()) {
            components.push_back(UnescapeValue(value.substr(start)));
            break;
        }
        if (value[i] == '\\') {
            i += 2;  // the escaped character never separates
            continue;
        }
        if (value[i] == cSeparator) {
            components.push_back(UnescapeValue(value.substr(start, i - start)));
            start = i + 1;
        }
        ++i;
    }
    return components;
}

std::string VCardReader::UnescapeValue(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 >= value.size()) {
            out.push_back(c);
            continue;
        }
        const char next = value[i + 1];
        if (next == 'n' || next == 'N') {
            out.push_back('\n');
            ++i;
        } else if (next == ',' || next == ';' || next == ':' || next == '\\') {
            out.push_back(next);
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}
