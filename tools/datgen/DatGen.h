// datgen: writes Palm Desktop address.dat files (classic and extended
// "PalmSG Database") from a compact description, for tests, demos and
// benchmarks.
//
// The bytes are produced by a small writer of its own, following the file
// layouts directly and sharing no code with the program's readers, so tests
// can check those readers against an independent writer. Every section can
// be set or bent (banner, header, schema, value count, type codes of single
// values), so the same descriptions produce well-formed files and the broken
// ones the readers must refuse.
//
// Records are addressed by file field number (see the classic and extended
// namespaces below); a field the record does not set is written as the empty
// value of the type its layout gives it (0, "", no binary bytes).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace datgen {

enum class DatFormat { Classic, Extended };

// An opaque binary item (extended fields 7 to 10). bytes holds count bytes
// for a count of 4 or more, size bytes for a count of 1 to 3.
struct DatBinary {
    int32_t nType = 64;
    uint32_t nCount = 0;
    int32_t nA = 0;
    int32_t nB = 0;
    uint32_t nSize = 0;
    std::string bytes;
};

// One typed value of a record.
struct DatValue {
    enum class Kind { Int, Text, Quad, Binary };
    Kind kind = Kind::Int;
    // Type code written; 0 means the layout's code for the field (for an
    // integer on a non-integer field, 1). Binary items write binary.nType.
    int32_t nType = 0;
    int32_t nInt = 0;  // Int: the value; Text: the int32 written before the text
    std::string text;
    uint64_t qQuad = 0;
    DatBinary binary;
};

struct DatRecord {
    std::map<int, DatValue> fields;  // by file field number

    DatRecord& Int(int nField, int32_t nValue, int32_t nType = 0);
    DatRecord& Text(int nField, const std::string& text);
    DatRecord& Quad(int nField, uint64_t qValue);
    DatRecord& Double(int nField, double dValue);
    DatRecord& Binary(int nField, const DatBinary& item);
    DatRecord& Value(int nField, const DatValue& value);
};

struct DatCategory {
    int32_t nIndex = 1;
    int32_t nId = 1;
    int32_t nDirty = 0;
    std::string name;
    std::string shortName;  // written as is
};

struct DatSchema {
    int32_t nResourceId = 74;
    int32_t nFieldsPerRow = 0;
    int32_t nRecordIdPos = 0;
    int32_t nStatusPos = 0;
    int32_t nPlacementPos = 0;
    std::vector<uint16_t> types;  // the field count is types.size()
};

struct DatDescription {
    DatFormat format = DatFormat::Classic;
    std::string strStoredFileName = "C:\\Palm\\User\\address\\address.dat";
    std::string strHeaderText;  // classic only
    int32_t nNextFreeId = 128;
    std::vector<DatCategory> categories;
    std::optional<DatSchema> schema;  // default: the generation's own
    std::vector<DatRecord> records;
    // Writes each record's first name where the last name belongs and the
    // other way round, as a file whose user keeps names swapped.
    bool bSwapNames = false;
    // Writes the values this program writes with another type code than
    // the layout's (extended field 6 as type 1), so a load and save of the
    // file gives it back byte for byte.
    bool bProgramTypes = false;
    // Value count E written instead of records × fields per row.
    std::optional<int64_t> nValueCount;
    // Values written per record instead of the generation's own number
    // (classic: fields per row; extended: the schema's field count).
    std::optional<int> nValuesPerRecord;

    // Extended only.
    std::array<uint8_t, 5> bannerPrefix = {0xBE, 0xBA, 0xFE, 0xCA, 0x0F};
    std::string strBannerText = "PalmSG Database00RV";  // written as 19 bytes
    std::array<uint8_t, 24> headerBlock = {};
    bool bComputeHeaderCount = true;  // bytes 12, 13 = record count + 4096
    std::array<uint8_t, 11> nameBlock = {};
    std::array<std::string, 9> labels;
    std::array<int32_t, 9> labelWords = {};
    std::array<uint8_t, 42> labelBlock = {};
};

// File field numbers of the classic record.
namespace classic {
constexpr int kId = 0, kStatus = 1, kPosition = 2, kLastName = 3, kFirstName = 4, kTitle = 5, kCompany = 6,
              kAddress = 17, kCity = 18, kState = 19, kZip = 20, kCountry = 21, kNote = 22, kPrivate = 23,
              kCategory = 24, kField29 = 29;
constexpr int kFieldsPerRow = 30;
constexpr int Phone(int n)
{
    return 6 + 2 * n;
}  // n = 1..5
constexpr int PhoneLabel(int n)
{
    return 5 + 2 * n;
}  // n = 1..5
constexpr int Custom(int n)
{
    return 24 + n;
}  // n = 1..4
}  // namespace classic

// File field numbers of the extended record.
namespace extended {
constexpr int kId = 0, kSequence = 1, kStatus = 2, kField3 = 3, kPlacement = 4, kCategory = 5, kPrivate = 6,
              kField11 = 11, kField12 = 12, kFirstName = 13, kLastName = 14, kTitle = 15, kCompany = 16, kField17 = 17,
              kNote = 18, kMessaging1 = 60, kMessaging2 = 61, kField62 = 62, kField63 = 63, kField64 = 64,
              kBirthday = 65, kField66 = 66, kField67 = 67, kField68 = 68;
constexpr int kFieldsPerRow = 73;
constexpr int Binary(int n)
{
    return 6 + n;
}  // n = 1..4
constexpr int Phone(int n)
{
    return 18 + n;
}  // n = 1..7
constexpr int PhoneLabel(int n)
{
    return 25 + n;
}  // n = 1..7
constexpr int Custom(int n)
{
    return 32 + n;
}  // n = 1..9
// Address n = 1..3: kind, street, city, state, zip, country.
constexpr int AddrKind(int n)
{
    return 42 + 6 * (n - 1);
}
constexpr int Street(int n)
{
    return AddrKind(n) + 1;
}
constexpr int City(int n)
{
    return AddrKind(n) + 2;
}
constexpr int State(int n)
{
    return AddrKind(n) + 3;
}
constexpr int Zip(int n)
{
    return AddrKind(n) + 4;
}
constexpr int Country(int n)
{
    return AddrKind(n) + 5;
}
constexpr int Field69(int n)
{
    return 68 + n;
}  // n = 1..4: fields 69 to 72
}  // namespace extended

// The generation's schema as Palm Desktop writes it.
DatSchema DefaultSchema(DatFormat format);

// The file bytes.
std::vector<uint8_t> BuildClassicFile(const DatDescription& desc);
std::vector<uint8_t> BuildExtendedFile(const DatDescription& desc);
std::vector<uint8_t> BuildFile(const DatDescription& desc);  // by desc.format

// Writes bytes to path (created or replaced). False on failure.
bool WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Appends nCount varied, plausible records (names, phones and e-mail
// addresses under their labels, addresses, notes of all lengths including
// some longer than their slot, a few deleted or archived records, binary
// items of every form, categories of the description). The same seed gives
// the same records. Adds a few categories when the description has none.
void AddRandomRecords(DatDescription& desc, int nCount, uint32_t nSeed);

// The field number a name of the text format stands for in a generation
// ("first", "phone3", "label3", "note", "street2"...), or -1.
int FieldByName(DatFormat format, const std::string& name);

// Reads the line-based text description (see the vw-datgen help text, and
// DescriptionHelp()). False with a message naming the line on error.
bool ParseDescription(const std::string& text, DatDescription& desc, std::string& strError);
const char* DescriptionHelp();

}  // namespace datgen
