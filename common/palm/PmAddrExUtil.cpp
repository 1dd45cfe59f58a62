#include "common/palm/PmAddrExUtil.h"

#include <cstddef>
#include <cstring>

#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmAddrUtil.h"
#include "common/palm/PmRecordStream.h"

namespace {

// The banner's first five bytes, as a save writes them.
constexpr BYTE kBannerLead[5] = {0xBE, 0xBA, 0xFE, 0xCA, 0x0F};
// The banner's bytes 5 to 23, checked on reading.
constexpr char kBannerText[] = "PalmSG Database00RV";

// Header block bytes a save recomputes from the record count.
constexpr int kCountLowByte = 12;
constexpr int kCountHighByte = 13;
constexpr int kCountBias = 4096;

constexpr PmField Int(size_t nOffset)
{
    return PmField::Int(nOffset);
}
constexpr PmField Text(size_t nOffset, int nWidth)
{
    return PmField::Text(nOffset, nWidth);
}
constexpr PmField Short(size_t nOffset)
{
    return Text(nOffset, kPmAddrExShortTextWidth);
}
constexpr PmField Long(size_t nOffset)
{
    return Text(nOffset, kPmAddrExLongTextWidth);
}
constexpr PmField Binary(int i)
{
    return PmField::Binary(offsetof(PmAddrExRecord, items) + sizeof(PmBinaryItem) * i);
}
constexpr PmField Phone(int i)
{
    return Text(offsetof(PmAddrExRecord, szPhone) + kPmAddrExPhoneWidth * i, kPmAddrExPhoneWidth);
}
constexpr PmField PhoneLabel(int i)
{
    return Int(offsetof(PmAddrExRecord, nPhoneLabel) + sizeof(int32_t) * i);
}
constexpr PmField Custom(int i)
{
    return Long(offsetof(PmAddrExRecord, szCustom) + kPmAddrExLongTextWidth * i);
}
constexpr size_t Address(int i)
{
    return offsetof(PmAddrExRecord, addresses) + sizeof(PmAddrExAddress) * i;
}
constexpr PmField AddrKind(int i)
{
    return Int(Address(i) + offsetof(PmAddrExAddress, nKind));
}
constexpr PmField Street(int i)
{
    return Long(Address(i) + offsetof(PmAddrExAddress, szStreet));
}
constexpr PmField City(int i)
{
    return Short(Address(i) + offsetof(PmAddrExAddress, szCity));
}
constexpr PmField State(int i)
{
    return Short(Address(i) + offsetof(PmAddrExAddress, szState));
}
constexpr PmField Zip(int i)
{
    return Short(Address(i) + offsetof(PmAddrExAddress, szZip));
}
constexpr PmField Country(int i)
{
    return Short(Address(i) + offsetof(PmAddrExAddress, szCountry));
}
constexpr PmField Tail(int i)
{
    return Short(offsetof(PmAddrExRecord, szField69) + kPmAddrExShortTextWidth * i);
}

// The record on disk, field by field. Fields 13 and 14 trade places when
// names are swapped.
constexpr PmField kFields[PmAddrExUtil::kRecordFields] = {
    Int(offsetof(PmAddrExRecord, nId)),                        // 0
    Int(offsetof(PmAddrExRecord, nSequence)),                  // 1
    Int(offsetof(PmAddrExRecord, nStatus)),                    // 2
    Int(offsetof(PmAddrExRecord, nField3)),                    // 3
    Int(offsetof(PmAddrExRecord, nPlacement)),                 // 4
    PmField::Category(offsetof(PmAddrExRecord, nCategoryId)),  // 5
    Int(offsetof(PmAddrExRecord, nPrivate)),                   // 6
    Binary(0),
    Binary(1),
    Binary(2),
    Binary(3),                                                   // 7 to 10
    Short(offsetof(PmAddrExRecord, szField11)),                  // 11
    Short(offsetof(PmAddrExRecord, szField12)),                  // 12
    Short(offsetof(PmAddrExRecord, szFirstName)),                // 13
    Short(offsetof(PmAddrExRecord, szLastName)),                 // 14
    Short(offsetof(PmAddrExRecord, szTitle)),                    // 15
    Long(offsetof(PmAddrExRecord, szCompany)),                   // 16
    Int(offsetof(PmAddrExRecord, nField17)),                     // 17
    Text(offsetof(PmAddrExRecord, szNote), kPmAddrExNoteWidth),  // 18
    Phone(0),
    Phone(1),
    Phone(2),
    Phone(3),
    Phone(4),
    Phone(5),
    Phone(6),  // 19 to 25
    PhoneLabel(0),
    PhoneLabel(1),
    PhoneLabel(2),
    PhoneLabel(3),  // 26 to 29
    PhoneLabel(4),
    PhoneLabel(5),
    PhoneLabel(6),  // 30 to 32
    Custom(0),
    Custom(1),
    Custom(2),
    Custom(3),
    Custom(4),  // 33 to 37
    Custom(5),
    Custom(6),
    Custom(7),
    Custom(8),  // 38 to 41
    AddrKind(0),
    Street(0),
    City(0),
    State(0),
    Zip(0),
    Country(0),  // 42 to 47
    AddrKind(1),
    Street(1),
    City(1),
    State(1),
    Zip(1),
    Country(1),  // 48 to 53
    AddrKind(2),
    Street(2),
    City(2),
    State(2),
    Zip(2),
    Country(2),                                          // 54 to 59
    Short(offsetof(PmAddrExRecord, szMessaging1)),       // 60
    Short(offsetof(PmAddrExRecord, szMessaging2)),       // 61
    Int(offsetof(PmAddrExRecord, nField62)),             // 62
    Int(offsetof(PmAddrExRecord, nField63)),             // 63
    Long(offsetof(PmAddrExRecord, szField64)),           // 64
    PmField::Quad(offsetof(PmAddrExRecord, qBirthday)),  // 65
    PmField::Bool(offsetof(PmAddrExRecord, nField66)),   // 66
    Int(offsetof(PmAddrExRecord, nField67)),             // 67
    Int(offsetof(PmAddrExRecord, nField68)),             // 68
    Tail(0),
    Tail(1),
    Tail(2),
    Tail(3),  // 69 to 72
};

// Rows are read with the schema's field count and written with its fields
// per row.
constexpr PmRecordFormat kFormat = {
    .fields = kFields,
    .nNameFields = {13, 14},
    .nCategoryNameOffset = offsetof(PmAddrExRecord, szCategoryName),
    .bRowsByFieldCount = true,
};

// Schema type codes of an extended file that carries none of its own, as
// runs of equal codes: {first field, last field, code}.
struct TypeRun {
    int nFirst;
    int nLast;
    WORD wType;
};
constexpr TypeRun kDefaultTypes[] = {
    {0, 5, 1},   {6, 6, 6},   {7, 7, 64},  {8, 8, 65},   {9, 9, 66},  {10, 10, 67}, {11, 16, 5}, {17, 17, 1},
    {18, 25, 5}, {26, 32, 1}, {33, 41, 5}, {42, 42, 1},  {43, 47, 5}, {48, 48, 1},  {49, 53, 5}, {54, 54, 1},
    {55, 61, 5}, {62, 63, 1}, {64, 64, 5}, {65, 65, 68}, {66, 66, 6}, {67, 68, 1},  {69, 72, 5},
};

}  // namespace

PmAddrExUtil::PmAddrExUtil()
    : SwapName(false), m_pDataMgr(nullptr), m_nSignature(kSignature), m_byHeader{}, m_byNameBlock{}, m_byLabelBlock{}
{
    Reset();
}

PmAddrExUtil::~PmAddrExUtil()
{
    ReleaseRecords();
    Close();
}

void PmAddrExUtil::Reset()
{
    m_nSignature = kSignature;
    ReleaseRecords();
    m_pDataMgr = new PmAddrExDataMgr;
    m_pCatMgr.reset();
    for (std::string& strLabel : m_strLabels)
        strLabel.clear();
    std::memset(m_byHeader, 0, sizeof(m_byHeader));
    m_byHeader[kCountLowByte] = kCountBias & 0xFF;
    m_byHeader[kCountHighByte] = kCountBias >> 8;
    std::memset(m_byNameBlock, 0, sizeof(m_byNameBlock));
    std::memset(m_byLabelBlock, 0, sizeof(m_byLabelBlock));

    WORD wTypes[kRecordFields] = {};
    for (const TypeRun& run : kDefaultTypes) {
        for (int nField = run.nFirst; nField <= run.nLast; ++nField)
            wTypes[nField] = run.wType;
    }
    m_Schema = PmSchema::Default(kRecordFields, wTypes, /*nStatusPos=*/2, /*nPlacementPos=*/4);
    SwapName = PmAddrUtil::ReadSwapNameSetting();
}

void PmAddrExUtil::ReleaseRecords()
{
    delete m_pDataMgr;
    m_pDataMgr = nullptr;
}

bool PmAddrExUtil::LoadFile(const char* pszPath)
{
    g_DebugUtil.Log(2, __FILE__, __LINE__, "Loading Palm Desktop Contacts: %s", pszPath != nullptr ? pszPath : "");
    return RunLoad<PmAddrExUtil>(pszPath,
                                 {&PmAddrExUtil::ReadBanner, &PmAddrExUtil::ReadSignature, &PmAddrExUtil::ReadFileName,
                                  &PmAddrExUtil::ReadLabels, &PmAddrExUtil::ReadCategories, &PmAddrExUtil::ReadSchema,
                                  &PmAddrExUtil::ReadRecords});
}

bool PmAddrExUtil::SaveFile(const char* pszPath)
{
    // m_szFileName holds the path being written (its letter case resolved).
    return RunSave<PmAddrExUtil>(pszPath, {&PmAddrExUtil::WriteBanner, &PmAddrExUtil::WriteSignature,
                                           [](PmAddrExUtil& util) { return util.WriteFileName(util.m_szFileName); },
                                           &PmAddrExUtil::WriteLabels, &PmAddrExUtil::WriteCategories,
                                           &PmAddrExUtil::WriteSchema, &PmAddrExUtil::WriteRecords});
}

bool PmAddrExUtil::Save()
{
    return SaveFile(m_szFileName);
}

bool PmAddrExUtil::ReadBanner()
{
    static_assert(sizeof(kBannerLead) + sizeof(kBannerText) - 1 == kBannerSize);
    BYTE byBanner[kBannerSize];
    if (!ReadBytes(byBanner, sizeof(byBanner)))
        return false;
    return std::memcmp(byBanner + sizeof(kBannerLead), kBannerText, sizeof(kBannerText) - 1) == 0;
}

bool PmAddrExUtil::ReadSignature()
{
    int32_t nSignature = 0;
    if (!ReadInt32(nSignature) || nSignature != kSignature)
        return false;
    MarkRecognised();
    return ReadBytes(m_byHeader, sizeof(m_byHeader));
}

bool PmAddrExUtil::ReadFileName()
{
    // The path the file was last saved to; a save writes its own.
    char szStoredName[kStoredNameCapacity + 1];
    int nCapacity = kStoredNameCapacity;
    return ReadCString(szStoredName, nCapacity) && ReadBytes(m_byNameBlock, sizeof(m_byNameBlock));
}

bool PmAddrExUtil::ReadLabels()
{
    for (std::string& strLabel : m_strLabels)
        strLabel.clear();
    for (std::string& strLabel : m_strLabels) {
        int32_t nDropped = 0;
        if (!ReadCString(strLabel) || strLabel.size() > static_cast<size_t>(kLabelMax) || !ReadInt32(nDropped))
            return false;
    }
    return ReadBytes(m_byLabelBlock, sizeof(m_byLabelBlock));
}

bool PmAddrExUtil::ReadRecords()
{
    return PmRecordStream(*this, kFormat, SwapName).Read<PmAddrExRecord>(*m_pDataMgr);
}

bool PmAddrExUtil::WriteBanner()
{
    return WriteBytes(kBannerLead, sizeof(kBannerLead)) && WriteBytes(kBannerText, sizeof(kBannerText) - 1);
}

bool PmAddrExUtil::WriteSignature()
{
    const uint32_t nCounted = static_cast<uint32_t>(m_pDataMgr->Count()) + kCountBias;
    m_byHeader[kCountLowByte] = static_cast<BYTE>(nCounted & 0xFF);
    m_byHeader[kCountHighByte] = static_cast<BYTE>((nCounted >> 8) & 0xFF);
    return WriteInt32(m_nSignature) && WriteBytes(m_byHeader, sizeof(m_byHeader));
}

bool PmAddrExUtil::WriteFileName(const char* pszPath)
{
    return WriteCString(pszPath) && WriteBytes(m_byNameBlock, sizeof(m_byNameBlock));
}

bool PmAddrExUtil::WriteLabels()
{
    for (const std::string& strLabel : m_strLabels) {
        if (!WriteCString(strLabel.data(), strLabel.size()) || !WriteInt32(0))
            return false;
    }
    return WriteBytes(m_byLabelBlock, sizeof(m_byLabelBlock));
}

bool PmAddrExUtil::WriteRecords()
{
    return PmRecordStream(*this, kFormat, SwapName).Write(*m_pDataMgr, [this](const PmAddrExRecord* pRecord) {
        return WriteRecord(pRecord);
    });
}

bool PmAddrExUtil::WriteRecord(const PmAddrExRecord* pRecord)
{
    return PmRecordStream(*this, kFormat, SwapName).WriteRecord(pRecord, m_pDataMgr->GetWholeTexts());
}
