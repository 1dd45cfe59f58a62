// The line-based text description of vw-datgen.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <strings.h>

#include "tools/datgen/DatGen.h"

namespace datgen {

namespace {

// Names of the text format and the field each stands for (-1: not in that
// generation).
struct NamedField {
    const char* pszName;
    int nClassic;
    int nExtended;
};
constexpr NamedField kNamedFields[] = {
    {"id", 0, 0},           {"status", 1, 2},     {"position", 2, 4},   {"placement", 2, 4},  {"sequence", -1, 1},
    {"last", 3, 14},        {"first", 4, 13},     {"title", 5, 15},     {"company", 6, 16},   {"phone1", 8, 19},
    {"phone2", 10, 20},     {"phone3", 12, 21},   {"phone4", 14, 22},   {"phone5", 16, 23},   {"phone6", -1, 24},
    {"phone7", -1, 25},     {"label1", 7, 26},    {"label2", 9, 27},    {"label3", 11, 28},   {"label4", 13, 29},
    {"label5", 15, 30},     {"label6", -1, 31},   {"label7", -1, 32},   {"address", 17, 43},  {"street", 17, 43},
    {"city", 18, 44},       {"state", 19, 45},    {"zip", 20, 46},      {"country", 21, 47},  {"note", 22, 18},
    {"private", 23, 6},     {"category", 24, 5},  {"custom1", 25, 33},  {"custom2", 26, 34},  {"custom3", 27, 35},
    {"custom4", 28, 36},    {"custom5", -1, 37},  {"custom6", -1, 38},  {"custom7", -1, 39},  {"custom8", -1, 40},
    {"custom9", -1, 41},    {"kind1", -1, 42},    {"street1", -1, 43},  {"city1", -1, 44},    {"state1", -1, 45},
    {"zip1", -1, 46},       {"country1", -1, 47}, {"kind2", -1, 48},    {"street2", -1, 49},  {"city2", -1, 50},
    {"state2", -1, 51},     {"zip2", -1, 52},     {"country2", -1, 53}, {"kind3", -1, 54},    {"street3", -1, 55},
    {"city3", -1, 56},      {"state3", -1, 57},   {"zip3", -1, 58},     {"country3", -1, 59}, {"messaging1", -1, 60},
    {"messaging2", -1, 61}, {"birthday", -1, 65},
};

const char kHelp[] =
    "A description is read line by line; blank lines and lines starting with # are skipped.\n"
    "File settings (before the first record):\n"
    "  format classic|extended        generation (default classic)\n"
    "  filename <text>                stored file name\n"
    "  header <text>                  classic header text\n"
    "  nextfreeid <n>                 next free category id (default 128)\n"
    "  category <index> <id> <dirty> <name>   one stored category\n"
    "  shortname <text>               short name of the last category (default its name)\n"
    "  swapnames yes|no               first and last name change places in the file\n"
    "  programtypes yes|no            type codes as this program writes them\n"
    "  valuecount <n>                 value count written instead of records x fields per row\n"
    "  valuesperrecord <n>            values written per record\n"
    "  schema resource|fieldsperrow|recordidpos|statuspos|placementpos <n>\n"
    "  schema types <code> <code> ... type codes (their number is the field count)\n"
    "  bannerprefix <hex>  bannertext <text>  headerblock <hex>  headercount yes|no\n"
    "  nameblock <hex>  labelblock <hex>  label <1-9> <text>  labelword <1-9> <n>\n"
    "Records:\n"
    "  record                         starts a record\n"
    "  <name> <value>                 a named field: id status position sequence first last\n"
    "                                 title company phone1-7 label1-7 address city state zip\n"
    "                                 country note private category custom1-9 kind1-3\n"
    "                                 street1-3 city1-3 ... messaging1-2 birthday\n"
    "  field <n> <kind>[:<type>] <value>   any field; kind int bool text quad double binary;\n"
    "                                 :<type> writes another type code\n"
    "  field <n> binary <type> <count> [<a> <b> <size>] <hex|->\n"
    "  end                            ends the record (optional)\n"
    "  random <count> [<seed>]        appends generated records\n"
    "Texts take the escapes \\n \\r \\t \\\\ \\xHH (any other backslash stays as written);\n"
    "a text *N is N generated characters.\n"
    "A category value may be a category name of the description or a number.\n";

std::string Trim(const std::string& s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

// Splits off the first word; rest gets what follows the blanks after it.
std::string FirstWord(const std::string& line, std::string& rest)
{
    size_t i = 0;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
        ++i;
    const std::string word = line.substr(0, i);
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    rest = line.substr(i);
    return word;
}

bool ParseInt(const std::string& s, int64_t& n)
{
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    n = std::strtoll(s.c_str(), &end, 0);
    return errno == 0 && *end == '\0' && n >= INT32_MIN && n <= static_cast<int64_t>(UINT32_MAX);
}

bool ParseBool(const std::string& s, bool& b)
{
    if (s == "yes" || s == "1" || s == "true") {
        b = true;
        return true;
    }
    if (s == "no" || s == "0" || s == "false") {
        b = false;
        return true;
    }
    return false;
}

bool ParseHex(const std::string& s, std::string& out)
{
    out.clear();
    if (s == "-")
        return true;
    std::string digits;
    for (char c : s) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
        else if (!std::isspace(static_cast<unsigned char>(c)))
            return false;
    }
    if (digits.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        out += static_cast<char>(std::strtol(digits.substr(i, 2).c_str(), nullptr, 16));
    return true;
}

template <size_t N>
bool ParseBlock(const std::string& s, std::array<uint8_t, N>& block)
{
    std::string bytes;
    if (!ParseHex(s, bytes) || bytes.size() > N)
        return false;
    block.fill(0);
    std::memcpy(block.data(), bytes.data(), bytes.size());
    return true;
}

// A text value: escapes, or *N for N generated characters.
bool ParseText(const std::string& s, std::string& out)
{
    out.clear();
    if (s.size() > 1 && s[0] == '*' && std::isdigit(static_cast<unsigned char>(s[1]))) {
        int64_t n = 0;
        if (!ParseInt(s.substr(1), n) || n < 0 || n > 1000000)
            return false;
        static const char kPattern[] = "The quick brown fox jumps over the lazy dog. ";
        for (int64_t i = 0; i < n; ++i)
            out += kPattern[i % (sizeof(kPattern) - 1)];
        return true;
    }
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c == 'n') {
            out += '\n';
        } else if (c == 'r') {
            out += '\r';
        } else if (c == 't') {
            out += '\t';
        } else if (c == 'x' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else if (c == '\\') {
            out += c;
        } else {
            // Not an escape: the backslash stays (Windows paths read as written).
            out += '\\';
            out += c;
        }
    }
    return true;
}

uint16_t LayoutTypeOf(DatFormat format, int nField)
{
    const DatSchema schema = DefaultSchema(format);
    return (nField >= 0 && static_cast<size_t>(nField) < schema.types.size())
               ? schema.types[static_cast<size_t>(nField)]
               : 1;
}

class Parser {
public:
    explicit Parser(DatDescription& desc) : m_desc(desc) { }

    bool Line(const std::string& raw, std::string& strError)
    {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            return true;
        std::string rest;
        const std::string key = FirstWord(line, rest);
        if (key == "record") {
            m_desc.records.emplace_back();
            m_pRecord = &m_desc.records.back();
            return true;
        }
        if (key == "end") {
            m_pRecord = nullptr;
            return true;
        }
        if (key == "random") {
            std::string seedText;
            const std::string countText = FirstWord(rest, seedText);
            int64_t nCount = 0;
            int64_t nSeed = 1;
            if (!ParseInt(countText, nCount) || nCount < 0 || (!seedText.empty() && !ParseInt(seedText, nSeed)))
                return Fail(strError, "random <count> [<seed>]");
            AddRandomRecords(m_desc, static_cast<int>(nCount), static_cast<uint32_t>(nSeed));
            m_pRecord = nullptr;
            return true;
        }
        if (m_pRecord != nullptr)
            return RecordLine(key, rest, strError);
        return SettingLine(key, rest, strError);
    }

private:
    static bool Fail(std::string& strError, const std::string& what)
    {
        strError = what;
        return false;
    }

    bool SettingLine(const std::string& key, const std::string& rest, std::string& strError)
    {
        int64_t n = 0;
        if (key == "format") {
            if (!m_desc.records.empty())
                return Fail(strError, "format must come before the records");
            if (rest == "classic")
                m_desc.format = DatFormat::Classic;
            else if (rest == "extended")
                m_desc.format = DatFormat::Extended;
            else
                return Fail(strError, "format classic|extended");
            return true;
        }
        if (key == "filename")
            return ParseText(rest, m_desc.strStoredFileName) || Fail(strError, "bad text");
        if (key == "header")
            return ParseText(rest, m_desc.strHeaderText) || Fail(strError, "bad text");
        if (key == "bannertext")
            return ParseText(rest, m_desc.strBannerText) || Fail(strError, "bad text");
        if (key == "nextfreeid") {
            if (!ParseInt(rest, n))
                return Fail(strError, "nextfreeid <n>");
            m_desc.nNextFreeId = static_cast<int32_t>(n);
            return true;
        }
        if (key == "swapnames")
            return ParseBool(rest, m_desc.bSwapNames) || Fail(strError, "swapnames yes|no");
        if (key == "programtypes")
            return ParseBool(rest, m_desc.bProgramTypes) || Fail(strError, "programtypes yes|no");
        if (key == "headercount")
            return ParseBool(rest, m_desc.bComputeHeaderCount) || Fail(strError, "headercount yes|no");
        if (key == "valuecount") {
            if (!ParseInt(rest, n))
                return Fail(strError, "valuecount <n>");
            m_desc.nValueCount = n;
            return true;
        }
        if (key == "valuesperrecord") {
            if (!ParseInt(rest, n) || n < 0 || n > 1000)
                return Fail(strError, "valuesperrecord <n>");
            m_desc.nValuesPerRecord = static_cast<int>(n);
            return true;
        }
        if (key == "bannerprefix")
            return ParseBlock(rest, m_desc.bannerPrefix) || Fail(strError, "bannerprefix: up to 5 hex bytes");
        if (key == "headerblock")
            return ParseBlock(rest, m_desc.headerBlock) || Fail(strError, "headerblock: up to 24 hex bytes");
        if (key == "nameblock")
            return ParseBlock(rest, m_desc.nameBlock) || Fail(strError, "nameblock: up to 11 hex bytes");
        if (key == "labelblock")
            return ParseBlock(rest, m_desc.labelBlock) || Fail(strError, "labelblock: up to 42 hex bytes");
        if (key == "label" || key == "labelword") {
            std::string value;
            const std::string indexText = FirstWord(rest, value);
            if (!ParseInt(indexText, n) || n < 1 || n > 9)
                return Fail(strError, key + " <1-9> <value>");
            const auto i = static_cast<size_t>(n - 1);
            if (key == "label")
                return ParseText(value, m_desc.labels[i]) || Fail(strError, "bad text");
            if (!ParseInt(value, n))
                return Fail(strError, "labelword <1-9> <n>");
            m_desc.labelWords[i] = static_cast<int32_t>(n);
            return true;
        }
        if (key == "category") {
            std::istringstream in(rest);
            int64_t nIndex = 0, nId = 0, nDirty = 0;
            std::string a, bText, c;
            in >> a >> bText >> c;
            std::string name;
            std::getline(in, name);
            if (!ParseInt(a, nIndex) || !ParseInt(bText, nId) || !ParseInt(c, nDirty))
                return Fail(strError, "category <index> <id> <dirty> <name>");
            DatCategory cat;
            cat.nIndex = static_cast<int32_t>(nIndex);
            cat.nId = static_cast<int32_t>(nId);
            cat.nDirty = static_cast<int32_t>(nDirty);
            if (!ParseText(Trim(name), cat.name))
                return Fail(strError, "bad text");
            cat.shortName = cat.name;
            m_desc.categories.push_back(cat);
            return true;
        }
        if (key == "shortname") {
            if (m_desc.categories.empty())
                return Fail(strError, "shortname needs a category before it");
            return ParseText(rest, m_desc.categories.back().shortName) || Fail(strError, "bad text");
        }
        if (key == "schema") {
            std::string value;
            const std::string what = FirstWord(rest, value);
            if (!m_desc.schema)
                m_desc.schema = DefaultSchema(m_desc.format);
            DatSchema& schema = *m_desc.schema;
            if (what == "types") {
                schema.types.clear();
                std::istringstream in(value);
                std::string code;
                while (in >> code) {
                    if (!ParseInt(code, n) || n < 0 || n > 0xFFFF)
                        return Fail(strError, "schema types <code> ...");
                    schema.types.push_back(static_cast<uint16_t>(n));
                }
                return true;
            }
            int32_t* const targets[] = {&schema.nResourceId, &schema.nFieldsPerRow, &schema.nRecordIdPos,
                                        &schema.nStatusPos, &schema.nPlacementPos};
            const char* const names[] = {"resource", "fieldsperrow", "recordidpos", "statuspos", "placementpos"};
            for (size_t i = 0; i < std::size(names); ++i) {
                if (what == names[i]) {
                    if (!ParseInt(value, n))
                        return Fail(strError, "schema " + what + " <n>");
                    *targets[i] = static_cast<int32_t>(n);
                    return true;
                }
            }
            return Fail(strError, "unknown schema setting " + what);
        }
        return Fail(strError, "unknown setting " + key);
    }

    bool RecordLine(const std::string& key, const std::string& rest, std::string& strError)
    {
        if (key == "field") {
            std::string tail;
            const std::string fieldText = FirstWord(rest, tail);
            int64_t nField = 0;
            if (!ParseInt(fieldText, nField) || nField < 0 || nField > 1000)
                return Fail(strError, "field <n> <kind> <value>");
            std::string value;
            std::string kind = FirstWord(tail, value);
            int64_t nType = 0;
            const size_t colon = kind.find(':');
            if (colon != std::string::npos) {
                if (!ParseInt(kind.substr(colon + 1), nType))
                    return Fail(strError, "bad type code in " + kind);
                kind = kind.substr(0, colon);
            }
            return Value(static_cast<int>(nField), kind, value, static_cast<int32_t>(nType), strError);
        }
        const int nField = FieldByName(m_desc.format, key);
        if (nField < 0)
            return Fail(strError, "no field " + key + " in this format");
        const uint16_t wType = LayoutTypeOf(m_desc.format, nField);
        const bool bCategory = key == "category";
        if (bCategory && !rest.empty() && !std::isdigit(static_cast<unsigned char>(rest[0])) && rest[0] != '-') {
            int32_t nId = -1;
            if (strcasecmp(rest.c_str(), "Unfiled") == 0)
                nId = 0;
            for (const DatCategory& c : m_desc.categories) {
                if (strcasecmp(c.name.c_str(), rest.c_str()) == 0)
                    nId = c.nId;
            }
            if (nId < 0)
                return Fail(strError, "no category " + rest);
            m_pRecord->Int(nField, nId);
            return true;
        }
        const char* kind = wType == 5 ? "text" : wType == 68 ? "double" : "int";
        return Value(nField, kind, rest, 0, strError);
    }

    bool Value(int nField, const std::string& kind, const std::string& value, int32_t nType, std::string& strError)
    {
        int64_t n = 0;
        DatValue v;
        v.nType = nType;
        if (kind == "int" || kind == "bool") {
            if (!ParseInt(value, n))
                return Fail(strError, "bad integer " + value);
            v.kind = DatValue::Kind::Int;
            v.nInt = static_cast<int32_t>(n);
            if (kind == "bool" && nType == 0)
                v.nType = 6;
        } else if (kind == "text") {
            v.kind = DatValue::Kind::Text;
            v.nInt = 1;
            if (!ParseText(value, v.text))
                return Fail(strError, "bad text");
        } else if (kind == "quad") {
            errno = 0;
            char* end = nullptr;
            v.kind = DatValue::Kind::Quad;
            v.qQuad = std::strtoull(value.c_str(), &end, 0);
            if (value.empty() || *end != '\0' || errno != 0)
                return Fail(strError, "bad quad " + value);
        } else if (kind == "double") {
            char* end = nullptr;
            const double d = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0')
                return Fail(strError, "bad number " + value);
            DatRecord tmp;
            tmp.Double(0, d);
            v = tmp.fields[0];
            v.nType = nType;
        } else if (kind == "binary") {
            std::istringstream in(value);
            std::vector<std::string> words;
            std::string w;
            while (in >> w)
                words.push_back(w);
            int64_t nBinType = 0, nCount = 0;
            if (words.size() < 3 || !ParseInt(words[0], nBinType) || !ParseInt(words[1], nCount))
                return Fail(strError, "field <n> binary <type> <count> [<a> <b> <size>] <hex|->");
            v.kind = DatValue::Kind::Binary;
            v.binary.nType = static_cast<int32_t>(nBinType);
            v.binary.nCount = static_cast<uint32_t>(nCount);
            size_t nHex = 2;
            if (nCount >= 1 && nCount <= 3) {
                int64_t a = 0, b = 0, size = 0;
                if (words.size() < 6 || !ParseInt(words[2], a) || !ParseInt(words[3], b) || !ParseInt(words[4], size))
                    return Fail(strError, "binary with count 1 to 3 needs <a> <b> <size>");
                v.binary.nA = static_cast<int32_t>(a);
                v.binary.nB = static_cast<int32_t>(b);
                v.binary.nSize = static_cast<uint32_t>(size);
                nHex = 5;
            }
            if (words.size() != nHex + 1 || !ParseHex(words[nHex], v.binary.bytes))
                return Fail(strError, "bad binary bytes");
        } else {
            return Fail(strError, "unknown kind " + kind);
        }
        m_pRecord->Value(nField, v);
        return true;
    }

    DatDescription& m_desc;
    DatRecord* m_pRecord = nullptr;
};

}  // namespace

int FieldByName(DatFormat format, const std::string& name)
{
    for (const NamedField& f : kNamedFields) {
        if (name == f.pszName)
            return format == DatFormat::Classic ? f.nClassic : f.nExtended;
    }
    return -1;
}

bool ParseDescription(const std::string& text, DatDescription& desc, std::string& strError)
{
    Parser parser(desc);
    std::istringstream in(text);
    std::string line;
    int nLine = 0;
    while (std::getline(in, line)) {
        ++nLine;
        std::string what;
        if (!parser.Line(line, what)) {
            strError = "line " + std::to_string(nLine) + ": " + what;
            return false;
        }
    }
    return true;
}

const char* DescriptionHelp()
{
    return kHelp;
}

}  // namespace datgen
