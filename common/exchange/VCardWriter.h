// VCardWriter: writes cards of vCard 3.0 (RFC 2426) or 4.0 (RFC 6350) as
// UTF-8 text with CRLF line ends, content lines folded at 75 octets (never
// inside a UTF-8 sequence) and text values escaped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class VCardWriter {
public:
    // nVersion is 3 or 4.
    explicit VCardWriter(int nVersion);

    int Version() const { return m_nVersion; }

    // BEGIN:VCARD and the VERSION line.
    void BeginCard();
    // END:VCARD.
    void EndCard();

    // One content line "NAME;PARAMS:VALUE" with pszParams written as given
    // (without the leading ';', "" for none) and value written as given
    // (already escaped): for values built with EscapeText or JoinStructured.
    void AddRaw(std::string_view name, std::string_view params, std::string_view value);
    // A text property: the value escaped. Nothing is written for an empty
    // value.
    void AddText(std::string_view name, std::string_view params, std::string_view value);

    // The text so far.
    const std::string& Text() const { return m_strText; }
    std::string TakeText() { return std::move(m_strText); }

    // Backslash, ',' and ';' escaped, line breaks (CRLF, CR or LF) as "\n".
    static std::string EscapeText(std::string_view value);
    // The components escaped and joined with ';' (N, ADR, ORG).
    static std::string JoinStructured(const std::vector<std::string>& components);

private:
    void AppendFolded(const std::string& line);

    int m_nVersion;
    std::string m_strText;
};
