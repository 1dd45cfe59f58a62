#include "common/palm/PmAddrUtil.h"

#include <cstddef>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmRecordStream.h"
#include "platform/profile/PrivateProfile.h"

namespace {

constexpr PmField Int(size_t nOffset)
{
    return PmField::Int(nOffset);
}
constexpr PmField Text(size_t nOffset, int nWidth)
{
    return PmField::Text(nOffset, nWidth);
}
constexpr size_t PhoneLabel(int i)
{
    return offsetof(PmAddrRecord, nPhoneLabel) + sizeof(int32_t) * i;
}
constexpr size_t Phone(int i)
{
    return offsetof(PmAddrRecord, szPhone) + kPmAddrPhoneWidth * i;
}
constexpr size_t Custom(int i)
{
    return offsetof(PmAddrRecord, szCustom) + kPmAddrCustomWidth * i;
}

// The record on disk, field by field. Fields 3 and 4 trade places when names
// are swapped.
constexpr PmField kFields[PmAddrUtil::kRecordFields] = {
    Int(offsetof(PmAddrRecord, nId)),                                  // 0
    Int(offsetof(PmAddrRecord, nStatus)),                              // 1
    Int(offsetof(PmAddrRecord, nPosition)),                            // 2
    Text(offsetof(PmAddrRecord, szLastName), kPmAddrShortTextWidth),   // 3
    Text(offsetof(PmAddrRecord, szFirstName), kPmAddrShortTextWidth),  // 4
    Text(offsetof(PmAddrRecord, szTitle), kPmAddrShortTextWidth),      // 5
    Text(offsetof(PmAddrRecord, szCompany), kPmAddrLongTextWidth),     // 6
    Int(PhoneLabel(0)),
    Text(Phone(0), kPmAddrPhoneWidth),  // 7, 8
    Int(PhoneLabel(1)),
    Text(Phone(1), kPmAddrPhoneWidth),  // 9, 10
    Int(PhoneLabel(2)),
    Text(Phone(2), kPmAddrPhoneWidth),  // 11, 12
    Int(PhoneLabel(3)),
    Text(Phone(3), kPmAddrPhoneWidth),  // 13, 14
    Int(PhoneLabel(4)),
    Text(Phone(4), kPmAddrPhoneWidth),                               // 15, 16
    Text(offsetof(PmAddrRecord, szAddress), kPmAddrLongTextWidth),   // 17
    Text(offsetof(PmAddrRecord, szCity), kPmAddrShortTextWidth),     // 18
    Text(offsetof(PmAddrRecord, szState), kPmAddrShortTextWidth),    // 19
    Text(offsetof(PmAddrRecord, szZip), kPmAddrShortTextWidth),      // 20
    Text(offsetof(PmAddrRecord, szCountry), kPmAddrShortTextWidth),  // 21
    Text(offsetof(PmAddrRecord, szNote), kPmAddrNoteWidth),          // 22
    PmField::Bool(offsetof(PmAddrRecord, nPrivate)),                 // 23
    PmField::Category(offsetof(PmAddrRecord, nCategoryId)),          // 24
    Text(Custom(0), kPmAddrCustomWidth),                             // 25
    Text(Custom(1), kPmAddrCustomWidth),                             // 26
    Text(Custom(2), kPmAddrCustomWidth),                             // 27
    Text(Custom(3), kPmAddrCustomWidth),                             // 28
    Int(offsetof(PmAddrRecord, nField29)),                           // 29
};

// Rows are read and written with the schema's fields per row.
constexpr PmRecordFormat kFormat = {
    .fields = kFields,
    .nNameFields = {3, 4},
    .nCategoryNameOffset = offsetof(PmAddrRecord, szCategoryName),
    .bRowsByFieldCount = false,
};

// Schema type codes of a classic file that carries none of its own.
constexpr WORD kDefaultTypes[PmAddrUtil::kRecordFields] = {1, 1, 1, 5, 5, 5, 5, 1, 5, 1, 5, 1, 5, 1, 5,
                                                           1, 5, 5, 5, 5, 5, 5, 5, 6, 1, 5, 5, 5, 5, 1};

}  // namespace

PmAddrUtil::PmAddrUtil() : SwapName(ReadSwapNameSetting()), m_pDataMgr(new PmAddrDataMgr), m_nSignature(kSignature)
{
    m_Schema = PmSchema::Default(kSchemaCapacity, kDefaultTypes, /*nStatusPos=*/1, /*nPlacementPos=*/2);
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
    g_DebugUtil.Log(2, __FILE__, __LINE__, "Loading Palm Desktop Address Book:%s", pszPath != nullptr ? pszPath : "");
    return RunLoad<PmAddrUtil>(pszPath,
                               {&PmAddrUtil::ReadSignature, &PmAddrUtil::ReadHeaderText, &PmAddrUtil::ReadCategories,
                                &PmAddrUtil::ReadSchema, &PmAddrUtil::ReadRecords});
}

bool PmAddrUtil::SaveFile(const char* pszPath)
{
    return RunSave<PmAddrUtil>(pszPath, {&PmAddrUtil::WriteHeader, &PmAddrUtil::WriteCategories,
                                         &PmAddrUtil::WriteSchema, &PmAddrUtil::WriteRecords});
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
    while (nTaken < nLength && nTaken < static_cast<uint32_t>(kHeaderTextMax) && nLineFeeds < kHeaderTextLines) {
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
    return PmRecordStream(*this, kFormat, SwapName).Read<PmAddrRecord>(*m_pDataMgr);
}

bool PmAddrUtil::WriteHeader()
{
    return WriteInt32(m_nSignature) && WriteCString(m_szFileName) &&
           WriteCString(m_strHeaderText.data(), m_strHeaderText.size());
}

bool PmAddrUtil::WriteRecords()
{
    return PmRecordStream(*this, kFormat, SwapName).Write(*m_pDataMgr, [this](const PmAddrRecord* pRecord) {
        return WriteRecord(pRecord);
    });
}

bool PmAddrUtil::WriteRecord(const PmAddrRecord* pRecord)
{
    return PmRecordStream(*this, kFormat, SwapName).WriteRecord(pRecord, m_pDataMgr->GetWholeTexts());
}
