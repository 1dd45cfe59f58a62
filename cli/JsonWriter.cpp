#include "cli/JsonWriter.h"

#include <cinttypes>

OutputBuffer::OutputBuffer(std::FILE* pFile) : m_pFile(pFile)
{
    m_strBuffer.reserve(kFlushSize + 16 * 1024);
}

OutputBuffer::OutputBuffer(std::string* pText) : m_pText(pText) { }

OutputBuffer::~OutputBuffer()
{
    Flush();
}

void OutputBuffer::AppendInt(int64_t nValue)
{
    char szNumber[24];
    const int nLength = std::snprintf(szNumber, sizeof szNumber, "%" PRId64, nValue);
    Append(std::string_view(szNumber, static_cast<size_t>(nLength)));
}

void OutputBuffer::WriteOut()
{
    if (m_pText != nullptr)
        m_pText->append(m_strBuffer);
    else if (!m_strBuffer.empty() &&
             std::fwrite(m_strBuffer.data(), 1, m_strBuffer.size(), m_pFile) != m_strBuffer.size())
        m_bFailed = true;
    m_strBuffer.clear();
}

bool OutputBuffer::Flush()
{
    WriteOut();
    if (m_pFile != nullptr && (std::fflush(m_pFile) != 0 || std::ferror(m_pFile) != 0))
        m_bFailed = true;
    return !m_bFailed;
}

void AppendJsonString(std::string& out, std::string_view s)
{
    out += '"';
    size_t nPlain = 0;  // start of the run of bytes that need no escape
    for (size_t i = 0; i < s.size(); ++i) {
        const auto byte = static_cast<unsigned char>(s[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        out.append(s.data() + nPlain, i - nPlain);
        nPlain = i + 1;
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: {
            char szEscape[8];
            std::snprintf(szEscape, sizeof szEscape, "\\u%04x", byte);
            out += szEscape;
        }
        }
    }
    out.append(s.data() + nPlain, s.size() - nPlain);
    out += '"';
}

void JsonWriter::Separate()
{
    if (m_frames.empty())
        return;
    Frame& frame = m_frames.back();
    if (frame.bEmpty) {
        m_out.Append(frame.pszFirst);
        frame.bEmpty = false;
    } else {
        m_out.Append(',');
        m_out.Append(frame.pszNext);
    }
}

void JsonWriter::BeforeValue()
{
    if (m_bAfterKey)
        m_bAfterKey = false;
    else
        Separate();
}

void JsonWriter::BeginObject(const char* pszFirst, const char* pszNext)
{
    BeforeValue();
    m_out.Append('{');
    m_frames.push_back({pszFirst, pszNext, true});
}

void JsonWriter::BeginArray(const char* pszFirst, const char* pszNext)
{
    BeforeValue();
    m_out.Append('[');
    m_frames.push_back({pszFirst, pszNext, true});
}

void JsonWriter::EndObject()
{
    m_frames.pop_back();
    m_out.Append('}');
}

void JsonWriter::EndArray()
{
    m_frames.pop_back();
    m_out.Append(']');
}

void JsonWriter::Key(std::string_view key)
{
    Separate();
    m_strScratch.clear();
    AppendJsonString(m_strScratch, key);
    m_strScratch += ": ";
    m_out.Append(m_strScratch);
    m_bAfterKey = true;
}

void JsonWriter::String(std::string_view value)
{
    BeforeValue();
    m_strScratch.clear();
    AppendJsonString(m_strScratch, value);
    m_out.Append(m_strScratch);
}

void JsonWriter::Int(int64_t nValue)
{
    BeforeValue();
    m_out.AppendInt(nValue);
}

void JsonWriter::Bool(bool bValue)
{
    BeforeValue();
    m_out.Append(bValue ? "true" : "false");
}

void JsonWriter::Null()
{
    BeforeValue();
    m_out.Append("null");
}
