#include "common/exchange/VCardWriter.h"

namespace {

// RFC 2426 and RFC 6350: a content line is at most 75 octets, not counting
// its CRLF; a continuation line starts with one blank, which counts.
constexpr size_t kMaxLineOctets = 75;

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

VCardWriter::VCardWriter(int nVersion) : m_nVersion(nVersion == 3 ? 3 : 4) { }

void VCardWriter::BeginCard()
{
    m_strText += "BEGIN:VCARD\r\n";
    m_strText += m_nVersion == 3 ? "VERSION:3.0\r\n" : "VERSION:4.0\r\n";
}

void VCardWriter::EndCard()
{
    m_strText += "END:VCARD\r\n";
}

void VCardWriter::AddRaw(std::string_view name, std::string_view params, std::string_view value)
{
    std::string line(name);
    if (!params.empty()) {
        line += ';';
        line += params;
    }
    line += ':';
    line += value;
    AppendFolded(line);
}

void VCardWriter::AddText(std::string_view name, std::string_view params, std::string_view value)
{
    if (!value.empty())
        AddRaw(name, params, EscapeText(value));
}

void VCardWriter::AppendFolded(const std::string& line)
{
    size_t start = 0;
    size_t room = kMaxLineOctets;
    while (line.size() - start > room) {
        size_t end = start + room;
        while (end > start && IsContinuationByte(line[end]))
            --end;  // never cut a UTF-8 sequence
        if (end == start)
            end = start + room;
        m_strText.append(line, start, end - start);
        m_strText += "\r\n ";
        start = end;
        room = kMaxLineOctets - 1;
    }
    m_strText.append(line, start, std::string::npos);
    m_strText += "\r\n";
}

std::string VCardWriter::EscapeText(std::string_view value)
{
    std::string out;
    out.reserve(value.size() + 8);
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case ',':
            out += "\\,";
            break;
        case ';':
            out += "\\;";
            break;
        case '\r':
            out += "\\n";
            if (i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out.push_back(c);
            break;
        }
    }
    return out;
}

std::string VCardWriter::JoinStructured(const std::vector<std::string>& components)
{
    std::string out;
    for (size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            out += ';';
        out += EscapeText(components[i]);
    }
    return out;
}
