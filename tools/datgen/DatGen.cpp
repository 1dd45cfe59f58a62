#include "tools/datgen/DatGen.h"

#include <cstdio>
#include <cstring>
#include <random>

namespace datgen {

namespace {

// Little-endian byte writer of the file sections.
class ByteWriter {
public:
    std::vector<uint8_t> bytes;

    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v)
    {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void I32(int64_t v)
    {
        const auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            U8(static_cast<uint8_t>(u >> (8 * i)));
    }
    void U64(uint64_t v)
    {
        for (int i = 0; i < 8; ++i)
            U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Raw(const void* p, size_t n)
    {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    void Raw(const std::string& s) { Raw(s.data(), s.size()); }
    // Counted text: length byte below 255, else FF and a 16-bit length.
    // Longer texts than the format carries are cut to 65535 bytes.
    void CString(const std::string& s)
    {
        const size_t n = s.size() > 0xFFFF ? 0xFFFF : s.size();
        if (n < 255) {
            U8(static_cast<uint8_t>(n));
        } else {
            U8(0xFF);
            U16(static_cast<uint16_t>(n));
        }
        Raw(s.data(), n);
    }
    // Exactly n bytes of s, padded with zero bytes.
    void Fixed(const std::string& s, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            U8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
};

// Type codes of the classic fields 0 to 29.
constexpr uint16_t kClassicTypes[classic::kFieldsPerRow] = {1, 1, 1, 5, 5, 5, 5, 1, 5, 1, 5, 1, 5, 1, 5,
                                                            1, 5, 5, 5, 5, 5, 5, 5, 6, 1, 5, 5, 5, 5, 1};

// Type codes of the extended fields 0 to 72, as runs of equal codes.
struct TypeRun {
    int nFirst;
    int nLast;
    uint16_t wType;
};
constexpr TypeRun kExtendedTypeRuns[] = {
    {0, 5, 1},   {6, 6, 6},   {7, 7, 64},  {8, 8, 65},   {9, 9, 66},  {10, 10, 67}, {11, 16, 5}, {17, 17, 1},
    {18, 25, 5}, {26, 32, 1}, {33, 41, 5}, {42, 42, 1},  {43, 47, 5}, {48, 48, 1},  {49, 53, 5}, {54, 54, 1},
    {55, 61, 5}, {62, 63, 1}, {64, 64, 5}, {65, 65, 68}, {66, 66, 6}, {67, 68, 1},  {69, 72, 5},
};

void WriteCategoryBlock(ByteWriter& w, const DatDescription& desc)
{
    w.I32(desc.nNextFreeId);
    w.I32(static_cast<int64_t>(desc.categories.size()));
    for (const DatCategory& c : desc.categories) {
        w.I32(c.nIndex);
        w.I32(c.nId);
        w.I32(c.nDirty);
        w.CString(c.name);
        w.CString(c.shortName);
    }
}

void WriteSchemaBlock(ByteWriter& w, const DatSchema& schema)
{
    w.I32(schema.nResourceId);
    w.I32(schema.nFieldsPerRow);
    w.I32(schema.nRecordIdPos);
    w.I32(schema.nStatusPos);
    w.I32(schema.nPlacementPos);
    w.U16(static_cast<uint16_t>(schema.types.size()));
    for (uint16_t t : schema.types)
        w.U16(t);
}

// The layout's type code of a field; fields past the layout are integers.
uint16_t LayoutType(DatFormat format, int nField)
{
    const DatSchema layout = DefaultSchema(format);
    if (nField >= 0 && static_cast<size_t>(nField) < layout.types.size())
        return layout.types[static_cast<size_t>(nField)];
    return 1;
}

void WriteValue(ByteWriter& w, const DatValue& v, uint16_t wLayoutType)
{
    switch (v.kind) {
    case DatValue::Kind::Int: {
        int32_t nType = v.nType;
        if (nType == 0)
            nType = (wLayoutType == 1 || wLayoutType == 3 || wLayoutType == 6) ? wLayoutType : 1;
        w.I32(nType);
        w.I32(v.nInt);
        break;
    }
    case DatValue::Kind::Text:
        w.I32(v.nType != 0 ? v.nType : 5);
        w.I32(v.nInt);
        w.CString(v.text);
        break;
    case DatValue::Kind::Quad:
        w.I32(v.nType != 0 ? v.nType : 68);
        w.U64(v.qQuad);
        break;
    case DatValue::Kind::Binary: {
        const DatBinary& b = v.binary;
        w.I32(b.nType);
        w.I32(b.nCount);
        if (b.nCount >= 4) {
            w.Fixed(b.bytes, b.nCount);
        } else if (b.nCount > 0) {
            w.I32(b.nA);
            w.I32(b.nB);
            w.I32(b.nSize);
            w.Fixed(b.bytes, b.nSize);
        }
        break;
    }
    }
}

// The empty value of a layout type.
DatValue EmptyValue(uint16_t wType)
{
    DatValue v;
    if (wType == 5) {
        v.kind = DatValue::Kind::Text;
        v.nInt = 1;
    } else if (wType == 68) {
        v.kind = DatValue::Kind::Quad;
    } else if (wType >= 64 && wType <= 67) {
        v.kind = DatValue::Kind::Binary;
        v.binary.nType = wType;
    }
    return v;
}

void WriteRecords(ByteWriter& w, const DatDescription& desc, const DatSchema& schema, int nValuesPerRecord,
                  int nFirstName, int nLastName)
{
    const int64_t nE = desc.nValueCount.has_value() ? *desc.nValueCount
                                                    : static_cast<int64_t>(desc.records.size()) * schema.nFieldsPerRow;
    w.I32(nE);
    for (const DatRecord& rec : desc.records) {
        for (int nField = 0; nField < nValuesPerRecord; ++nField) {
            int nSource = nField;
            if (desc.bSwapNames && nField == nFirstName)
                nSource = nLastName;
            else if (desc.bSwapNames && nField == nLastName)
                nSource = nFirstName;
            uint16_t wLayout = LayoutType(desc.format, nField);
            if (desc.bProgramTypes && desc.format == DatFormat::Extended && nField == extended::kPrivate)
                wLayout = 1;
            const auto it = rec.fields.find(nSource);
            WriteValue(w, it != rec.fields.end() ? it->second : EmptyValue(wLayout), wLayout);
        }
    }
}

}  // namespace

// ---- Records ----------------------------------------------------------------

DatRecord& DatRecord::Int(int nField, int32_t nValue, int32_t nType)
{
    DatValue v;
    v.kind = DatValue::Kind::Int;
    v.nInt = nValue;
    v.nType = nType;
    fields[nField] = v;
    return *this;
}

DatRecord& DatRecord::Text(int nField, const std::string& text)
{
    DatValue v;
    v.kind = DatValue::Kind::Text;
    v.nInt = 1;
    v.text = text;
    fields[nField] = v;
    return *this;
}

DatRecord& DatRecord::Quad(int nField, uint64_t qValue)
{
    DatValue v;
    v.kind = DatValue::Kind::Quad;
    v.qQuad = qValue;
    fields[nField] = v;
    return *this;
}

DatRecord& DatRecord::Double(int nField, double dValue)
{
    uint64_t q = 0;
    std::memcpy(&q, &dValue, sizeof(q));
    return Quad(nField, q);
}

DatRecord& DatRecord::Binary(int nField, const DatBinary& item)
{
    DatValue v;
    v.kind = DatValue::Kind::Binary;
    v.binary = item;
    fields[nField] = v;
    return *this;
}

DatRecord& DatRecord::Value(int nField, const DatValue& value)
{
    fields[nField] = value;
    return *this;
}

// ---- Files --------------------------------------------------------------------

DatSchema DefaultSchema(DatFormat format)
{
    DatSchema schema;
    if (format == DatFormat::Classic) {
        schema.nFieldsPerRow = classic::kFieldsPerRow;
        schema.nStatusPos = 1;
        schema.nPlacementPos = 2;
        schema.types.assign(std::begin(kClassicTypes), std::end(kClassicTypes));
    } else {
        schema.nFieldsPerRow = extended::kFieldsPerRow;
        schema.nStatusPos = 2;
        schema.nPlacementPos = 4;
        for (const TypeRun& run : kExtendedTypeRuns) {
            for (int i = run.nFirst; i <= run.nLast; ++i)
                schema.types.push_back(run.wType);
        }
    }
    return schema;
}

std::vector<uint8_t> BuildClassicFile(const DatDescription& desc)
{
    DatDescription d = desc;
    d.format = DatFormat::Classic;
    const DatSchema schema = d.schema ? *d.schema : DefaultSchema(DatFormat::Classic);
    ByteWriter w;
    w.I32(0x41420100);
    w.CString(d.strStoredFileName);
    w.CString(d.strHeaderText);
    WriteCategoryBlock(w, d);
    WriteSchemaBlock(w, schema);
    const int nValues = d.nValuesPerRecord ? *d.nValuesPerRecord : schema.nFieldsPerRow;
    WriteRecords(w, d, schema, nValues, classic::kFirstName, classic::kLastName);
    return w.bytes;
}

std::vector<uint8_t> BuildExtendedFile(const DatDescription& desc)
{
    DatDescription d = desc;
    d.format = DatFormat::Extended;
    const DatSchema schema = d.schema ? *d.schema : DefaultSchema(DatFormat::Extended);
    ByteWriter w;
    w.Raw(d.bannerPrefix.data(), d.bannerPrefix.size());
    w.Fixed(d.strBannerText, 19);
    w.I32(0x41420200);
    std::array<uint8_t, 24> header = d.headerBlock;
    if (d.bComputeHeaderCount) {
        const size_t nCount = d.records.size();
        header[12] = static_cast<uint8_t>(nCount % 256);
        header[13] = static_cast<uint8_t>((nCount / 256 + 16) % 256);
    }
    w.Raw(header.data(), header.size());
    w.CString(d.strStoredFileName);
    w.Raw(d.nameBlock.data(), d.nameBlock.size());
    for (size_t i = 0; i < d.labels.size(); ++i) {
        w.CString(d.labels[i]);
        w.I32(d.labelWords[i]);
    }
    w.Raw(d.labelBlock.data(), d.labelBlock.size());
    WriteCategoryBlock(w, d);
    WriteSchemaBlock(w, schema);
    const int nValues = d.nValuesPerRecord ? *d.nValuesPerRecord : static_cast<int>(schema.types.size());
    WriteRecords(w, d, schema, nValues, extended::kFirstName, extended::kLastName);
    return w.bytes;
}

std::vector<uint8_t> BuildFile(const DatDescription& desc)
{
    return desc.format == DatFormat::Classic ? BuildClassicFile(desc) : BuildExtendedFile(desc);
}

bool WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    if (fp == nullptr)
        return false;
    const bool bOk = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    return std::fclose(fp) == 0 && bOk;
}

// ---- Random records ---------------------------------------------------------

namespace {

const char* const kFirstNames[] = {"Anna",  "Ben",   "Chloe", "Dmitri", "Elena",   "Farid",    "Grace", "Hiro",
                                   "Ines",  "Jonas", "Kaito", "Lena",   "Mateo",   "Nora",     "Oskar", "Priya",
                                   "Quinn", "Rosa",  "Sven",  "Tara",   "Ren\xE9", "Bj\xF6rn", "Zo\xEB"};
const char* const kLastNames[] = {"Abbott",  "Brennan",  "Castillo",  "Dubois",         "Eriksen",  "Fischer",
                                  "Garcia",  "Huang",    "Ivanova",   "Jensen",         "Kowalski", "Laurent",
                                  "Moreau",  "Nakamura", "O'Brien",   "Petrov",         "Quist",    "Rossi",
                                  "Schmidt", "Tanaka",   "M\xFCller", "Lefebvre-Durand"};
const char* const kCompanies[] = {"Hollowfen Supply",   "Northwind Traders",
                                  "Bramble & Sons",     "Keystone Logistics",
                                  "Quarry Lane Dental", "International Federation of Independent Cartographers Ltd"};
const char* const kCities[] = {"Lyon", "Seattle", "Osaka", "Porto", "Leipzig", "Toronto", "Krak\xF3w"};
const char* const kStreets[] = {"Rue des Lilas", "Main Street",
                                "Hauptstra\xDF"
                                "e",
                                "Elm Avenue", "Harbour Road"};
const char* const kWords[] = {"call",     "about",   "the",   "invoice", "meeting",  "next",  "week",
                              "birthday", "project", "lunch", "Tuesday", "contract", "review"};

std::string Words(std::mt19937& rng, size_t nLength)
{
    std::string s;
    while (s.size() < nLength) {
        if (!s.empty())
            s += (rng() % 9 == 0) ? "\r\n" : " ";
        s += kWords[rng() % std::size(kWords)];
    }
    s.resize(nLength);
    return s;
}

template <size_t N>
const char* Pick(std::mt19937& rng, const char* const (&list)[N])
{
    return list[rng() % N];
}

std::string PhoneNumber(std::mt19937& rng)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "+%u %03u %03u %04u", 1 + static_cast<unsigned>(rng() % 98),
                  static_cast<unsigned>(rng() % 1000), static_cast<unsigned>(rng() % 1000),
                  static_cast<unsigned>(rng() % 10000));
    return buf;
}

std::string Email(std::mt19937& rng, const std::string& first, const std::string& last, int n)
{
    std::string s;
    for (char c : first + "." + last) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.')
            s += static_cast<char>(c | 0x20);
    }
    // Now and then an address longer than the classic 31-character slot.
    if (rng() % 10 == 0)
        s += ".consultancy-division";
    return s + std::to_string(n % 100) + "@example.com";
}

}  // namespace

void AddRandomRecords(DatDescription& desc, int nCount, uint32_t nSeed)
{
    std::mt19937 rng(nSeed);
    if (desc.categories.empty()) {
        const char* const names[] = {"Business", "Personal", "QuickList", "Suppliers"};
        for (int i = 0; i < 4; ++i) {
            DatCategory c;
            c.nIndex = i + 1;
            c.nId = i + 1;
            c.name = names[i];
            c.shortName = names[i];
            desc.categories.push_back(c);
        }
    }
    const bool bExt = desc.format == DatFormat::Extended;
    const int nBase = static_cast<int>(desc.records.size());
    for (int n = 0; n < nCount; ++n) {
        const int nIndex = nBase + n;
        DatRecord r;
        const std::string first = Pick(rng, kFirstNames);
        const std::string last = Pick(rng, kLastNames);
        int32_t nStatus = 0;
        const unsigned nRoll = rng() % 100;
        if (nRoll < 2)
            nStatus = 0x04;  // deleted
        else if (nRoll < 3)
            nStatus = 0x80;  // archived
        else if (nRoll < 10)
            nStatus = 0x02;
        const int32_t nCategory = (rng() % 3 == 0) ? 0 : desc.categories[rng() % desc.categories.size()].nId;
        const int nPhones = bExt ? 7 : 5;
        // Labels 0 work, 1 home, 2 fax, 3 other, 4 e-mail, 5 main, 6 pager, 7 mobile.
        const int32_t labelOrder[7] = {0, 1, 2, 3, 4, 5, 7};
        const int nFilled = static_cast<int>(rng() % (nPhones + 1));

        if (bExt) {
            using namespace extended;
            r.Int(kId, 0x00A00000 + nIndex).Int(kSequence, 4096 + nIndex).Int(kStatus, nStatus);
            r.Int(kField3, nIndex * 73).Int(kPlacement, nIndex).Int(kCategory, nCategory);
            r.Int(kPrivate, rng() % 20 == 0 ? 1 : 0);
            r.Text(kFirstName, first).Text(kLastName, last);
            for (int p = 1; p <= nPhones; ++p) {
                const int32_t nLabel = labelOrder[p - 1];
                r.Int(PhoneLabel(p), nLabel);
                if (p <= nFilled)
                    r.Text(Phone(p), nLabel == 4 ? Email(rng, first, last, nIndex) : PhoneNumber(rng));
            }
            for (int a = 1; a <= 3; ++a)
                r.Int(AddrKind(a), a - 1);
            if (rng() % 2 == 0) {
                r.Text(Street(1), std::to_string(1 + rng() % 400) + " " + Pick(rng, kStreets));
                r.Text(City(1), Pick(rng, kCities)).Text(Zip(1), std::to_string(10000 + rng() % 89999));
            }
            if (rng() % 3 == 0)
                r.Text(kCompany, Pick(rng, kCompanies)).Text(kTitle, "Manager");
            if (rng() % 4 == 0)
                r.Double(kBirthday, 129080608.0 + 20000 + static_cast<double>(rng() % 15000));
            else
                r.Double(kBirthday, 0.0);
            if (rng() % 8 == 0)
                r.Text(Custom(1 + static_cast<int>(rng() % 9)), Words(rng, 10 + rng() % 60));
            // Binary items of every form.
            const unsigned nForm = rng() % 10;
            if (nForm == 0) {
                DatBinary b;
                b.nType = 64;
                b.nCount = 4 + rng() % 40;
                b.bytes = Words(rng, b.nCount);
                r.Binary(Binary(1), b);
            } else if (nForm == 1) {
                DatBinary b;
                b.nType = 66;
                b.nCount = 1 + rng() % 3;
                b.nA = static_cast<int32_t>(rng() % 5);
                b.nB = static_cast<int32_t>(rng() % 5);
                b.nSize = rng() % 16;
                b.bytes = Words(rng, b.nSize);
                r.Binary(Binary(3), b);
            }
        } else {
            using namespace classic;
            r.Int(kId, 0x00A00000 + nIndex).Int(kStatus, nStatus).Int(kPosition, nIndex);
            r.Text(kFirstName, first).Text(kLastName, last);
            for (int p = 1; p <= nPhones; ++p) {
                const int32_t nLabel = labelOrder[p - 1];
                r.Int(PhoneLabel(p), nLabel);
                if (p <= nFilled)
                    r.Text(Phone(p), nLabel == 4 ? Email(rng, first, last, nIndex) : PhoneNumber(rng));
            }
            if (rng() % 2 == 0) {
                r.Text(kAddress, std::to_string(1 + rng() % 400) + " " + Pick(rng, kStreets));
                r.Text(kCity, Pick(rng, kCities)).Text(kZip, std::to_string(10000 + rng() % 89999));
            }
            if (rng() % 3 == 0)
                r.Text(kCompany, Pick(rng, kCompanies)).Text(kTitle, "Manager");
            r.Int(kPrivate, rng() % 20 == 0 ? 1 : 0).Int(kCategory, nCategory);
            if (rng() % 8 == 0)
                r.Text(Custom(1 + static_cast<int>(rng() % 4)), Words(rng, 10 + rng() % 50));
        }
        // Notes: mostly none or short, some long, a few beyond the 2047
        // characters a record slot holds.
        const unsigned nNote = rng() % 100;
        size_t nNoteLength = 0;
        if (nNote < 30)
            nNoteLength = 10 + rng() % 120;
        else if (nNote < 35)
            nNoteLength = 300 + rng() % 1500;
        else if (nNote < 36)
            nNoteLength = 2100 + rng() % 2000;
        if (nNoteLength > 0)
            r.Text(bExt ? extended::kNote : classic::kNote, Words(rng, nNoteLength));
        desc.records.push_back(std::move(r));
    }
}

}  // namespace datgen
