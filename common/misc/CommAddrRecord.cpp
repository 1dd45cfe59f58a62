#include "common/misc/CommAddrRecord.h"

#include <cstring>

#include "common/misc/CxDateTime.h"
#include "common/misc/MemberAt.h"

namespace {

// One row of the field table: the public catalog row and where the field sits
// in CommAddrRecord. The member's own size is kept to check the catalog width
// against the record at compile time.
struct FieldRow {
    CommField field;
    size_t nOffset;
    size_t nMemberSize;
};

#define FIELD_ROW(id, name, type, width, member)                                                  \
    {                                                                                             \
        {id, name, type, width}, offsetof(CommAddrRecord, member), sizeof(CommAddrRecord::member) \
    }

// The field catalog: id, display name, type, width, and the record member.
constexpr FieldRow kFieldRows[] = {
    FIELD_ROW(1, "First Name", CFT_TEXT, 32, szFirstName),
    FIELD_ROW(2, "Middle Name", CFT_TEXT, 32, szMiddleName),
    FIELD_ROW(3, "Last Name", CFT_TEXT, 32, szLastName),
    FIELD_ROW(4, "Prefix", CFT_TEXT, 32, szPrefix),
    FIELD_ROW(5, "Suffix", CFT_TEXT, 32, szSuffix),
    FIELD_ROW(6, "Nick Name", CFT_TEXT, 32, szNickName),
    FIELD_ROW(7, "Display Name", CFT_TEXT, 32, szDisplayName),
    FIELD_ROW(8, "Gender", CFT_GENDER, 4, nGender),
    FIELD_ROW(9, "(Work) Street", CFT_TEXT, 256, szWorkStreet),
    FIELD_ROW(10, "(Work) City", CFT_TEXT, 32, szWorkCity),
    FIELD_ROW(11, "(Work) State", CFT_TEXT, 32, szWorkState),
    FIELD_ROW(12, "(Work) Postal", CFT_TEXT, 16, szWorkPostal),
    FIELD_ROW(13, "(Work) Country", CFT_TEXT, 32, szWorkCountry),
    FIELD_ROW(14, "(Home) Street", CFT_TEXT, 256, szHomeStreet),
    FIELD_ROW(15, "(Home) City", CFT_TEXT, 32, szHomeCity),
    FIELD_ROW(16, "(Home) State", CFT_TEXT, 32, szHomeState),
    FIELD_ROW(17, "(Home) Postal", CFT_TEXT, 16, szHomePostal),
    FIELD_ROW(18, "(Home) Country", CFT_TEXT, 32, szHomeCountry),
    FIELD_ROW(19, "(Other) Street", CFT_TEXT, 256, szOtherStreet),
    FIELD_ROW(20, "(Other) City", CFT_TEXT, 32, szOtherCity),
    FIELD_ROW(21, "(Other) State", CFT_TEXT, 32, szOtherState),
    FIELD_ROW(22, "(Other) Postal", CFT_TEXT, 16, szOtherPostal),
    FIELD_ROW(23, "(Other) Country", CFT_TEXT, 32, szOtherCountry),
    FIELD_ROW(24, "Home Phone", CFT_TEXT, 24, szHomePhone),
    FIELD_ROW(25, "Work Phone", CFT_TEXT, 24, szWorkPhone),
    FIELD_ROW(26, "Mobile Phone", CFT_TEXT, 24, szMobilePhone),
    FIELD_ROW(27, "Other Phone", CFT_TEXT, 24, szOtherPhone),
    FIELD_ROW(28, "Primary Phone", CFT_TEXT, 24, szPrimaryPhone),
    FIELD_ROW(29, "Callback Phone", CFT_TEXT, 24, szCallbackPhone),
    FIELD_ROW(30, "Car Phone", CFT_TEXT, 24, szCarPhone),
    FIELD_ROW(31, "Radio Phone", CFT_TEXT, 24, szRadioPhone),
    FIELD_ROW(32, "Work Phone 2", CFT_TEXT, 24, szWorkPhone2),
    FIELD_ROW(33, "Home Phone 2", CFT_TEXT, 24, szHomePhone2),
    FIELD_ROW(34, "Work Fax", CFT_TEXT, 24, szWorkFax),
    FIELD_ROW(35, "Home Fax", CFT_TEXT, 24, szHomeFax),
    FIELD_ROW(36, "Pager", CFT_TEXT, 24, szPager),
    FIELD_ROW(37, "Email", CFT_TEXT, 64, szEmail),
    FIELD_ROW(38, "Email 2", CFT_TEXT, 64, szEmail2),
    FIELD_ROW(39, "Email 3", CFT_TEXT, 64, szEmail3),
    FIELD_ROW(41, "Work Home Page", CFT_TEXT, 256, szWorkHomePage),
    FIELD_ROW(40, "Personal Home Page", CFT_TEXT, 256, szPersonalHomePage),
    FIELD_ROW(42, "FTP Site", CFT_TEXT, 256, szFtpSite),
    FIELD_ROW(43, "Note", CFT_TEXT, 8192, szNote),
    FIELD_ROW(44, "Custom 1", CFT_TEXT, 64, szCustom[0]),
    FIELD_ROW(45, "Custom 2", CFT_TEXT, 64, szCustom[1]),
    FIELD_ROW(46, "Custom 3", CFT_TEXT, 64, szCustom[2]),
    FIELD_ROW(47, "Custom 4", CFT_TEXT, 64, szCustom[3]),
    FIELD_ROW(48, "Custom 5", CFT_TEXT, 64, szCustom[4]),
    FIELD_ROW(49, "Custom 6", CFT_TEXT, 64, szCustom[5]),
    FIELD_ROW(50, "Custom 7", CFT_TEXT, 64, szCustom[6]),
    FIELD_ROW(51, "Custom 8", CFT_TEXT, 64, szCustom[7]),
    FIELD_ROW(52, "Custom 9", CFT_TEXT, 64, szCustom[8]),
    FIELD_ROW(53, "Company", CFT_TEXT, 64, szCompany),
    FIELD_ROW(55, "Title", CFT_TEXT, 32, szTitle),
    FIELD_ROW(54, "Department", CFT_TEXT, 32, szDepartment),
    FIELD_ROW(56, "IM 1", CFT_TEXT, 32, szIM1),
    FIELD_ROW(57, "IM 2", CFT_TEXT, 32, szIM2),
    FIELD_ROW(58, "Manager Name", CFT_TEXT, 32, szManagerName),
    FIELD_ROW(59, "Assistant Name", CFT_TEXT, 32, szAssistantName),
    FIELD_ROW(60, "Assistant Phone", CFT_TEXT, 24, szAssistantPhone),
    FIELD_ROW(61, "Spouse Name", CFT_TEXT, 32, szSpouseName),
    FIELD_ROW(62, "Children's Names", CFT_TEXT, 32, szChildrenNames),
    FIELD_ROW(63, "Profession", CFT_TEXT, 64, szProfession),
    FIELD_ROW(64, "Hobby", CFT_TEXT, 64, szHobby),
    FIELD_ROW(65, "Account", CFT_TEXT, 32, szAccount),
    FIELD_ROW(67, "Birthday", CFT_DATETIME, 8, dtBirthday),
    FIELD_ROW(66, "Anniversary", CFT_DATETIME, 8, dtAnniversary),
    FIELD_ROW(68, "Keyword", CFT_TEXT, 64, szKeyword),
    FIELD_ROW(69, "Language", CFT_TEXT, 64, szLanguage),
    FIELD_ROW(70, "Location", CFT_TEXT, 64, szLocation),
    FIELD_ROW(71, "MHS Common Name", CFT_TEXT, 32, szMHSCommonName),
    FIELD_ROW(72, "Customer ID", CFT_TEXT, 32, szCustomerID),
    FIELD_ROW(73, "Government ID", CFT_TEXT, 32, szGovernmentID),
    FIELD_ROW(74, "Organization ID", CFT_TEXT, 32, szOrganizationID),
    FIELD_ROW(75, "Category", CFT_TEXT, 256, szCategory),
    FIELD_ROW(76, "Creation Time", CFT_DATETIME, 8, dtCreationTime),
    FIELD_ROW(77, "Last Modification Time", CFT_DATETIME, 8, dtLastModificationTime),
    FIELD_ROW(78, "Source Type", CFT_INTEGER, 4, nSourceType),
    FIELD_ROW(79, "Status", CFT_INTEGER, 4, nStatus),
    FIELD_ROW(80, "ID", CFT_TEXT, 64, szID),
    FIELD_ROW(81, "Private", CFT_INTEGER, 4, nPrivate),
    FIELD_ROW(82, "Custom Label 1", CFT_TEXT, 64, szCustomLabel[0]),
    FIELD_ROW(83, "Custom Label 2", CFT_TEXT, 64, szCustomLabel[1]),
    FIELD_ROW(84, "Custom Label 3", CFT_TEXT, 64, szCustomLabel[2]),
    FIELD_ROW(85, "Custom Label 4", CFT_TEXT, 64, szCustomLabel[3]),
    FIELD_ROW(86, "Custom Label 5", CFT_TEXT, 64, szCustomLabel[4]),
    FIELD_ROW(87, "Custom Label 6", CFT_TEXT, 64, szCustomLabel[5]),
    FIELD_ROW(88, "Custom Label 7", CFT_TEXT, 64, szCustomLabel[6]),
    FIELD_ROW(89, "Custom Label 8", CFT_TEXT, 64, szCustomLabel[7]),
    FIELD_ROW(90, "Custom Label 9", CFT_TEXT, 64, szCustomLabel[8]),
};

#undef FIELD_ROW

constexpr size_t kRowCount = sizeof kFieldRows / sizeof kFieldRows[0];
static_assert(kRowCount == COMM_FIELD_COUNT, "one catalog row per field id");

// Labels of the Source Type codes 1 to 15, in code order.
constexpr const char* kSourceTypeLabels[] = {
    "Palm",     "Palm(4.1.2 and aboves)",
    "Outlook",  "Windows Address Book",
    "MSN",      "ICQ",
    "Yahoo",    "Google",
    "Domino",   "Endora",
    "CSV",      "XML",
    "VCard",    "Database",
    "Ostrelle",
};
static_assert(sizeof kSourceTypeLabels / sizeof kSourceTypeLabels[0] == CST_OSTRELLE);

// Row index of each id, -1 for an id without a row; built from the table.
constexpr std::array<int, COMM_FIELD_COUNT + 1> MakeRowIndex()
{
    std::array<int, COMM_FIELD_COUNT + 1> rowOfId{};
    for (int& nRow : rowOfId)
        nRow = -1;
    for (size_t nRow = 0; nRow < kRowCount; ++nRow) {
        const int32_t nId = kFieldRows[nRow].field.id;
        if (nId >= 1 && nId <= COMM_FIELD_COUNT)
            rowOfId[static_cast<size_t>(nId)] = static_cast<int>(nRow);
    }
    return rowOfId;
}
constexpr std::array<int, COMM_FIELD_COUNT + 1> kRowOfId = MakeRowIndex();

// --- compile-time checks of the table against the record -------------------

// Every id 1-90 has exactly one row, and each width is the member's size and
// fits its type.
constexpr bool RowsAreConsistent()
{
    int nSeen[COMM_FIELD_COUNT + 1] = {};
    for (const FieldRow& row : kFieldRows) {
        const CommField& field = row.field;
        if (field.id < 1 || field.id > COMM_FIELD_COUNT || nSeen[field.id]++ != 0)
            return false;
        if (static_cast<size_t>(field.size) != row.nMemberSize)
            return false;
        if (field.type == CFT_DATETIME && field.size != 8)
            return false;
        if ((field.type == CFT_INTEGER || field.type == CFT_GENDER) && field.size != 4)
            return false;
    }
    return true;
}
static_assert(RowsAreConsistent(), "catalog widths must match the record");

// The record declares its members in catalog order, except for the three
// pairs that the catalog keeps in id order (2/3, 27/28, 30/31), where the
// record has the higher id first.
constexpr bool IsIdOrderPair(int32_t nFirst, int32_t nSecond)
{
    return (nFirst == 2 && nSecond == 3) || (nFirst == 27 && nSecond == 28) || (nFirst == 30 && nSecond == 31);
}

// Walks the rows in the record's declared order and checks that each member
// follows the previous one with at most alignment padding between them, and
// that the last one is followed by the attached block.
constexpr bool RecordOrderMatchesCatalog()
{
    size_t nDeclared[kRowCount] = {};
    for (size_t nRow = 0, nOut = 0; nRow < kRowCount; ++nRow, ++nOut) {
        if (nRow + 1 < kRowCount && IsIdOrderPair(kFieldRows[nRow].field.id, kFieldRows[nRow + 1].field.id)) {
            nDeclared[nOut++] = nRow + 1;
            nDeclared[nOut] = nRow;
            ++nRow;
        } else {
            nDeclared[nOut] = nRow;
        }
    }
    size_t nEnd = 0;
    for (size_t nRow : nDeclared) {
        const FieldRow& row = kFieldRows[nRow];
        if (row.nOffset < nEnd || row.nOffset - nEnd >= alignof(double))
            return false;
        nEnd = row.nOffset + row.nMemberSize;
    }
    const size_t nAttached = offsetof(CommAddrRecord, pAttached);
    return nAttached >= nEnd && nAttached - nEnd < alignof(void*);
}
static_assert(RecordOrderMatchesCatalog(), "record members must stand in their fixed order");

static_assert(offsetof(CommAddrRecord, szFirstName) == 0);
static_assert(offsetof(CommAddrRecord, pAttached) < offsetof(CommAddrRecord, nAttachedLen));
static_assert(sizeof(CommAddrRecord::nAttachedLen) == 4);

// --- helpers -----------------------------------------------------------------

const FieldRow* FindRow(int32_t nId)
{
    if (nId < 1 || nId > COMM_FIELD_COUNT)
        return nullptr;
    const int nRow = kRowOfId[static_cast<size_t>(nId)];
    return nRow >= 0 ? &kFieldRows[nRow] : nullptr;
}

// Writes pszText into pszBuf, cut to nLen - 1 characters and to nSrcMax
// source bytes, terminated. nLen must be at least 1.
void WriteCut(char* pszBuf, size_t nLen, const char* pszText, size_t nSrcMax)
{
    size_t nCopy = strnlen(pszText, nSrcMax);
    if (nCopy > nLen - 1)
        nCopy = nLen - 1;
    std::memcpy(pszBuf, pszText, nCopy);
    pszBuf[nCopy] = '\0';
}

constexpr std::array<CommField, COMM_FIELD_COUNT> MakeCatalog()
{
    std::array<CommField, COMM_FIELD_COUNT> catalog{};
    for (size_t nRow = 0; nRow < kRowCount; ++nRow)
        catalog[nRow] = kFieldRows[nRow].field;
    return catalog;
}

}  // namespace

const std::array<CommField, COMM_FIELD_COUNT> g_CommFieldCatalog = MakeCatalog();

void ZeroCommRecord(CommAddrRecord* pRecord)
{
    if (pRecord != nullptr)
        std::memset(static_cast<void*>(pRecord), 0, sizeof *pRecord);
}

bool LookupField(int32_t nId, CommField* pField)
{
    if (pField == nullptr)
        return false;
    const FieldRow* pRow = FindRow(nId);
    if (pRow == nullptr)
        return false;
    *pField = pRow->field;
    return true;
}

const char* SourceTypeLabel(int32_t nSourceType)
{
    if (nSourceType < CST_PALM || nSourceType > CST_OSTRELLE)
        return nullptr;
    return kSourceTypeLabels[nSourceType - 1];
}

bool FieldToText(const CommAddrRecord* pRecord, const CommField* pField, char* pszBuf, uint32_t nLen)
{
    if (pRecord == nullptr || pField == nullptr || pszBuf == nullptr || nLen == 0)
        return false;
    if (pField->size > 0 && nLen < static_cast<uint32_t>(pField->size))
        return false;

    pszBuf[0] = '\0';
    pszBuf[nLen - 1] = '\0';

    const FieldRow* pRow = FindRow(pField->id);
    if (pRow == nullptr)
        return false;

    const char* pField0 = MemberAt<char>(pRecord, pRow->nOffset);
    switch (pRow->field.type) {
    case CFT_TEXT:
        WriteCut(pszBuf, nLen, pField0, pRow->nMemberSize);
        return true;
    case CFT_DATETIME: {
        double dDate;
        std::memcpy(&dDate, pField0, sizeof dDate);
        CxDateTime dateTime;
        dateTime.SetDate(dDate);
        dateTime.GetDateTimeText(pszBuf, nLen);
        return true;
    }
    case CFT_GENDER:
        return true;
    default:
        break;
    }

    if (pRow->field.id == CF_SOURCE_TYPE) {
        const char* pszLabel = SourceTypeLabel(pRecord->nSourceType);
        if (pszLabel == nullptr)
            return false;
        WriteCut(pszBuf, nLen, pszLabel, static_cast<size_t>(-1));
        return true;
    }
    // Status and Private have no text form.
    return false;
}

void* GetFieldAddress(CommAddrRecord* pRecord, int32_t nId)
{
    const FieldRow* pRow = FindRow(nId);
    if (pRecord == nullptr || pRow == nullptr)
        return nullptr;
    return MemberAt<void>(pRecord, pRow->nOffset);
}

const void* GetFieldAddress(const CommAddrRecord* pRecord, int32_t nId)
{
    return GetFieldAddress(const_cast<CommAddrRecord*>(pRecord), nId);
}

char* GetTextField(CommAddrRecord* pRecord, int32_t nId)
{
    const FieldRow* pRow = FindRow(nId);
    const bool bText = pRow != nullptr && pRow->field.type == CFT_TEXT;
    return bText ? static_cast<char*>(GetFieldAddress(pRecord, nId)) : nullptr;
}

const char* GetTextField(const CommAddrRecord* pRecord, int32_t nId)
{
    return GetTextField(const_cast<CommAddrRecord*>(pRecord), nId);
}

int32_t GetFieldWidth(int32_t nId)
{
    const FieldRow* pRow = FindRow(nId);
    return pRow != nullptr ? pRow->field.size : 0;
}

bool SetTextField(CommAddrRecord* pRecord, int32_t nId, const char* pszText)
{
    char* pszField = GetTextField(pRecord, nId);
    if (pszField == nullptr)
        return false;
    CopyTextField(pszField, static_cast<size_t>(GetFieldWidth(nId)), pszText);
    return true;
}

size_t CopyTextField(char* pszDest, size_t nWidth, const char* pszSrc)
{
    if (pszDest == nullptr || nWidth == 0)
        return 0;
    if (pszSrc == nullptr)
        pszSrc = "";
    size_t nCopy = strnlen(pszSrc, nWidth - 1);
    std::memmove(pszDest, pszSrc, nCopy);
    pszDest[nCopy] = '\0';
    pszDest[nWidth - 1] = '\0';
    return nCopy;
}
