// VCardReader: reads vCard 2.1, 3.0 and 4.0 text into cards of properties.
//
// One property per content line, after unfolding (a line that starts with a
// blank or a tab continues the one before). Grouped names ("item1.TEL") keep
// their group apart from the name. Parameters are kept by name with their
// values; a bare 2.1 parameter ("TEL;WORK;FAX:") counts as a TYPE value.
// Values of 2.1 encoded QUOTED-PRINTABLE (with its soft line breaks) or
// BASE64 are decoded; a CHARSET parameter, or 8-bit text that is not UTF-8,
// is converted to UTF-8. Backslash escapes are left in the value, since a
// structured value (N, ADR) must be split at its unescaped ';' first:
// SplitValue and UnescapeValue undo them.
//
// The reader takes any bytes: it never reads outside its input and never
// fails on a malformed line (it leaves the line out). Text outside
// BEGIN:VCARD ... END:VCARD is ignored; a card cut off at the end of the
// input is kept.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct VCardProperty {
    std::string strGroup;  // "" or the group before the '.' of the name
    std::string strName;   // upper case: "TEL", "X-ANNIVERSARY"
    // Parameters in order, names upper case, values as written (quotes
    // removed). A bare 2.1 parameter is ("TYPE", {value}).
    std::vector<std::pair<std::string, std::vector<std::string>>> params;
    std::string strValue;  // UTF-8, escapes still in

    // A TYPE value given in any of the ways the versions allow, compared
    // ignoring letter case ("TYPE=work,voice", "TYPE=WORK;TYPE=VOICE",
    // "WORK;VOICE").
    bool HasType(std::string_view type) const;
    // The first value of parameter name (upper case), "" when absent.
    std::string Param(std::string_view name) const;
};

struct VCard {
    std::string strVersion;  // the VERSION property, "" when missing
    std::vector<VCardProperty> properties;

    // The first property named name (upper case), or null.
    const VCardProperty* Find(std::string_view name) const;
};

class VCardReader {
public:
    // Appends every card of text to *pCards and answers how many it found.
    static size_t Parse(std::string_view text, std::vector<VCard>* pCards);

    // The components of a structured value split at unescaped cSeparator,
    // each unescaped: "Doe;John;;Dr." -> {"Doe", "John", "", "Dr."}.
    static std::vector<std::string> SplitValue(std::string_view value, char cSeparator);

    // The value with "\n" and "\N" as line feeds and "\," "\;" "\:" "\\" as
    // the character after the backslash; any other backslash stays.
    static std::string UnescapeValue(std::string_view value);
};
