#include "common/palm/PmAddrUtil.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"
#include "platform/profile/PrivateProfile.h"

namespace {

// How a record field is read and written.
enum class FieldKind {
    Int,        // read as an integer value, written with type 1
    Bool,       // read as an integer value, written with type 6
    Category,   // an Int whose category name is looked up on reading
    Text,       // a text value of the member's width
};

struct FieldSlot {
    FieldKind kind;
    size_t nOffset;   // of the member in PmAddrRecord
    int nWidth;       // text members only
};

constexpr FieldSlot Int(size_t nOffset) { return {FieldKind::Int, nOffset, 0}; }
constexpr FieldSlot Text(size_t nOffset, int nWidth) { return {FieldKind::Text, nOffset, nWidth}; }
constexpr size_t PhoneLabel(int i) { return offsetof(PmAddrRecord, nPhoneLabel) + sizeof(int32_t) * i; }
constexpr size_t Phone(int i) { return offsetof(PmAddrRecord, szPhone) + kPmAddrPhoneWidth * i; }
constexpr size_t Custom(int i) { return offsetof(PmAddrRecord, szCustom) + kPmAddrCustomWidth * i; }

// The record on disk, field by field. Fields 3 and 4 trade places when names
// are swapped.
constexpr FieldSlot kFields[PmAddrUtil::kRecordFields] = {
    Int(offsetof(PmAddrRecord, nId)),                                        // 0
    Int(offsetof(PmAddrRecord, nStatus)),                                    // 1
    Int(offsetof(PmAddrRecord, nPosition)),                                  // 2
    Text(offsetof(PmAddrRecord, szLastName), kPmAddrShortTextWidth),         // 3
    Text(offsetof(PmAddrRecord, szFirstName), kPmAddrShortTextWidth),        // 4
    Text(offsetof(PmAddrRecord, szTitle), kPmAddrShortTextWidth),            // 5
    Text(offsetof(PmAddrRecord, szCompany), kPmAddrLongTextWidth),           // 6
    Int(PhoneLabel(0)), Text(Phone(0), kPmAddrPhoneWidth),                   // 7, 8
    Int(PhoneLabel(1)), Text(Phone(1), kPmAddrPhoneWidth),                   // 9, 10
    Int(PhoneLabel(2)), Text(Phone(2), kPmAddrPhoneWidth),                   // 11, 12
    Int(PhoneLabel(3)), Text(Phone(3), kPmAddrPhoneWidth),                   // 13, 14
    Int(PhoneLabel(4)), Text(Phone(4), kPmAddrPhoneWidth),                   // 15, 16
    Text(offsetof(PmAddrRecord, szAddress), kPmAddrLongTextWidth),           // 17
    Text(offsetof(PmAddrRecord, szCity), kPmAddrShortTextWidth),             // 18
    Text(offsetof(PmAddrRecord, szState), kPmAddrShortTextWidth),            // 19
    Text(offsetof(PmAddrRecord, szZip), kPmAddrShortTextWidth),              // 20
    Text(offsetof(PmAddrRecord, szCountry), kPmAddrShortTextWidth),          // 21
    Text(offsetof(PmAddrRecord, szNote), kPmAddrNoteWidth),                  // 22
    {FieldKind::Bool, offsetof(PmAddrRecord, nPrivate), 0},                  // 23
    {FieldKind::Category, offsetof(PmAddrRecord, nCategoryId), 0},           // 24
    Text(Custom(0), kPmAddrCustomWidth),                                     // 25
    Text(Custom(1), kPmAddrCustomWidth),                                     // 26
    Text(Custom(2), kPmAddrCustomWidth),                                     // 27
    Text(Custom(3), kPmAddrCustomWidth),                                     // 28
    Int(offsetof(PmAddrRecord, nField29)),                                   // 29
};

// Schema type codes of a classic file that carries none of its own.
constexpr WORD kDefaultTypes[PmAddrUtil::kRecordFields] = {
    1, 1, 1, 5, 5, 5, 5, 1, 5, 1, 5, 1, 5, 1, 5, 1, 5, 5, 5, 5, 5, 5, 5, 6, 1, 5, 5, 5, 5, 1};

// Every typed value takes at least its type code and a 4-byte payload.
constexpr size_t kMinValueBytes = 8;

constexpr int kNameField1 = 3;
constexpr int kNameField2 = 4;

// The slot of kFields that file field nField is read into and written from.
int SlotOf(int nField, bool bSwapName)
{
    if (bSwapName && (nField == kNameField1 || nField == kNameField2))
        return kNameField1 + kNameField2 - nField;
    return nField;
}

int32_t* IntMember(PmAddrRecord& record, const FieldSlot& slot)
{
    return reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&record) + slot.nOffset);
}

const int32_t* IntMember(const PmAddrRecord& record, const FieldSlot& slot)
{
    return reinterpret_cast<const int32_t*>(reinterpret_cast<const char*>(&record) + slot.nOffset);
}

char* TextMember(PmAddrRecord& record, const FieldSlot& slot)
{
    return reinterpret_cast<char*>(&record) + slot.nOffset;
}

const char* TextMember(const PmAddrRecord& record, const FieldSlot& slot)
{
    return reinterpret_cast<const char*>(&record) + slot.nOffset;
}

// Values of a record that the schema's row holds (fields beyond 29 are not
// stored by this program).
int ValuesPerRecord(const PmSchema& schema)
{
    return schema.nFieldsPerRow < PmAddrUtil::kRecordFields ? schema.nFieldsPerRow
                                                            : PmAddrUtil::kRecordFields;
}

}  // namespace

PmAddrUtil::PmAddrUtil()
    : SwapName(ReadSwapNameSetting()), m_pDataMgr(new PmAddrDataMgr), m_nSignature(kSignature)
{
    m_Schema.nCapacity = kSchemaCapacity;
    m_Schema.nResourceId = 74;
    m_Schema.nFieldsPerRow = kRecordFields;
    m_Schema.nRecordIdPos = 0;
    m_Schema.nStatusPos = 1;
    m_Schema.nPlacementPos = 2;
    m_Schema.wFieldCount = kRecordFields;
    std::memcpy(m_Schema.wTypes, kDefaultTypes, sizeof(kDefaultTypes));
}

PmAddrUtil::~PmAddrUtil()
{
    delete m_pDataMgr;
    Close();
}

bool PmAddrUtil::ReadSwapNameSetting()
{
    char szIniPath[MAX_PATH] = {};
    if (!GetIniFilePath(szIniPath))
        return false;
    return GetPrivateProfileIntA("Hollowfen", "SwapName", 0, szIniPath) == 1;
}

bool PmAddrUtil::LoadFile(const char* pszPath)
{
    g_DebugUtil.Log(2, __FILE__, __LINE__, "Loading Palm Desktop Address Book:%s",
                    pszPath != nullptr ? pszPath : "");
    const bool bOk = BeginLoad(pszPath) && ReadSignature() && ReadHeaderText() &&
                     ReadCategories() && ReadSchema() && ReadRecords();
    return EndLoad(pszPath, bOk);
}

bool PmAddrUtil::SaveFile(const char* pszPath)
{
    if (!BeginSave(pszPath))
        return false;
    const bool bOk = WriteHeader() && WriteCategories() && WriteSchema() && WriteRecords();
    return EndSave(bOk);
}

bool PmAddrUtil::ReadSignature()
{
    int32_t nSignature = 0;
    if (!ReadInt32(nSignature) || nSignature != kSignature)
        return false;
    MarkRecognised();
    // The path the file was last saved to; a save writes its own.
    char szStoredName[kStoredNameCapacity + 1];
    int nCapacity = kStoredNameCapacity;
    return ReadCString(szStoredName, nCapacity);
}

bool PmAddrUtil::ReadHeaderText()
{
    m_strHeaderText.clear();
    uint32_t nLength = 0;
    if (!ReadCStringLength(nLength))
        return false;
    uint32_t nTaken = 0;
    int nLineFeeds = 0;
    while (nTaken < nLength && nTaken < static_cast<uint32_t>(kHeaderTextMax) &&
           nLineFeeds < kHeaderTextLines) {
        BYTE byChar = 0;
        if (!ReadByte(byChar))
            return false;
        ++nTaken;
        m_strHeaderText.push_back(static_cast<char>(byChar));
        if (byChar == '\n')
            ++nLineFeeds;
    }
    return SkipBytes(nLength - nTaken);
}

bool PmAddrUtil::ReadRecords()
{
    m_pDataMgr->Clear();
    int32_t nValueCount = 0;
    if (!ReadInt32(nValueCount) || nValueCount < 0)
        return false;
    const int32_t nRecords = nValueCount / m_Schema.nFieldsPerRow;
    const int nValues = ValuesPerRecord(m_Schema);
    // A count the rest of the file cannot hold fails before anything is
    // allocated for it.
    if (!CanHold(static_cast<uint64_t>(nRecords), kMinValueBytes * static_cast<size_t>(nValues)))
        return false;

    PmAddrRecord record;
    std::string strWhole[kRecordFields];
    for (int32_t nRecord = 0; nRecord < nRecords; ++nRecord) {
        record.Clear();
        for (int nField = 0; nField < nValues; ++nField) {
            const int nSlot = SlotOf(nField, SwapName);
            const FieldSlot& slot = kFields[nSlot];
            strWhole[nSlot].clear();
            bool bOk = false;
            switch (slot.kind) {
            case FieldKind::Int:
            case FieldKind::Bool:
                bOk = ReadIntField(*IntMember(record, slot));
                break;
            case FieldKind::Category:
                bOk = ReadIntField(*IntMember(record, slot));
                // An unknown id leaves the name empty and keeps the id.
                if (bOk)
                    GetCategoryName(record.nCategoryId, record.szCategoryName);
                break;
            case FieldKind::Text:
                bOk = PmWholeTexts::ReadTextField(*this, TextMember(record, slot), slot.nWidth,
                                                  strWhole[nSlot]);
                break;
            }
            if (!bOk)
                return false;
        }
        if (!m_pDataMgr->Append(&record))
            return false;
        const PmAddrRecord* pStored = m_pDataMgr->GetAt(m_pDataMgr->Count() - 1);
        for (int nSlot = 0; nSlot < kRecordFields; ++nSlot) {
            if (!strWhole[nSlot].empty())
                m_pDataMgr->GetWholeTexts().Keep(pStored, nSlot, std::move(strWhole[nSlot]));
            strWhole[nSlot].clear();
        }
    }
    return true;
}

bool PmAddrUtil::WriteHeader()
{
    return WriteInt32(m_nSignature) && WriteCString(m_szFileName) &&
           WriteCString(m_strHeaderText.data(), m_strHeaderText.size());
}

bool PmAddrUtil::WriteRecords()
{
    return WriteRecordStream(m_pDataMgr, [this](const PmAddrRecord* pRecord) { return WriteRecord(pRecord); });
}

bool PmAddrUtil::WriteRecord(const PmAddrRecord* pRecord)
{
    if (pRecord == nullptr)
        return false;
    const int nValues = ValuesPerRecord(m_Schema);
    for (int nField = 0; nField < nValues; ++nField) {
        const int nSlot = SlotOf(nField, SwapName);
        const FieldSlot& slot = kFields[nSlot];
        bool bOk = false;
        switch (slot.kind) {
        case FieldKind::Int:
        case FieldKind::Category:
            bOk = WriteIntField(*IntMember(*pRecord, slot));
            break;
        case FieldKind::Bool:
            bOk = WriteBoolField(*IntMember(*pRecord, slot));
            break;
        case FieldKind::Text:
            bOk = PmWholeTexts::WriteTextField(*this, TextMember(*pRecord, slot), slot.nWidth,
                                               m_pDataMgr->GetWholeTexts().Find(pRecord, nSlot));
            break;
        }
        if (!bOk)
            return false;
    }
    return true;
}
