// The field mapping between WabRecord and the neutral CommAddrRecord, in
// both directions, and the custom field mapping.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "common/misc/MemberAt.h"
#include "common/oe/CxWab.h"

#include "common/oe/WabTextFields.h"
#include "platform/oletime/OleTime.h"
#include "platform/wab/MapiTags.h"
#include <atomic>

DWORD CxWab::dwCustomIDs[CxWab::kCustomCount] = {};
std::atomic<uint64_t> CxWab::s_nMappingGeneration{0};

namespace {

using wabtext::FieldAt;
using wabtext::kTextFields;
using wabtext::WabField;
using wabtext::WabTextField;

// One pair of fields exchanged between the two records. bToComm is false for
// a field that is only carried into the address book.
struct FieldPair {
    WabField wab;
    int32_t nCommId;
    bool bToComm;
};

#define PAIR(member, id)            \
    FieldPair                       \
    {                               \
        WAB_FIELD(member), id, true \
    }
#define PAIR_OUT_ONLY(member, id)    \
    FieldPair                        \
    {                                \
        WAB_FIELD(member), id, false \
    }

// Pairs exchanged before the custom mapping applies, so a custom field mapped
// onto one of these properties takes its place.
constexpr FieldPair kPairsBeforeCustom[] = {
    PAIR(PR_GIVEN_NAME, CF_FIRST_NAME),
    PAIR(PR_SURNAME, CF_LAST_NAME),
    PAIR_OUT_ONLY(PR_MIDDLE_NAME, CF_MIDDLE_NAME),
    // business, home and other address: country, state, city, street, postal code
    PAIR(PR_COUNTRY, CF_WORK_COUNTRY),
    PAIR(PR_STATE_OR_PROVINCE, CF_WORK_STATE),
    PAIR(PR_LOCALITY, CF_WORK_CITY),
    PAIR(PR_STREET_ADDRESS, CF_WORK_STREET),
    PAIR(PR_POSTAL_CODE, CF_WORK_POSTAL),
    PAIR(PR_HOME_ADDRESS_COUNTRY, CF_HOME_COUNTRY),
    PAIR(PR_HOME_ADDRESS_STATE_OR_PROVINCE, CF_HOME_STATE),
    PAIR(PR_HOME_ADDRESS_CITY, CF_HOME_CITY),
    PAIR(PR_HOME_ADDRESS_STREET, CF_HOME_STREET),
    PAIR(PR_HOME_ADDRESS_POSTAL_CODE, CF_HOME_POSTAL),
    PAIR(PR_OTHER_ADDRESS_COUNTRY, CF_OTHER_COUNTRY),
    PAIR(PR_OTHER_ADDRESS_STATE_OR_PROVINCE, CF_OTHER_STATE),
    PAIR(PR_OTHER_ADDRESS_CITY, CF_OTHER_CITY),
    PAIR(PR_OTHER_ADDRESS_STREET, CF_OTHER_STREET),
    PAIR(PR_OTHER_ADDRESS_POSTAL_CODE, CF_OTHER_POSTAL),
    PAIR(PR_COMPANY_NAME, CF_COMPANY),
    PAIR(PR_TITLE, CF_TITLE),
    PAIR(PR_DEPARTMENT_NAME, CF_DEPARTMENT),
    PAIR(PR_BUSINESS_TELEPHONE_NUMBER, CF_WORK_PHONE),
    PAIR(PR_HOME_TELEPHONE_NUMBER, CF_HOME_PHONE),
    PAIR(PR_MOBILE_TELEPHONE_NUMBER, CF_MOBILE_PHONE),
    PAIR(PR_OTHER_TELEPHONE_NUMBER, CF_OTHER_PHONE),
    PAIR(PR_PRIMARY_TELEPHONE_NUMBER, CF_PRIMARY_PHONE),
    PAIR(PR_CAR_TELEPHONE_NUMBER, CF_CAR_PHONE),
    PAIR(PR_CALLBACK_TELEPHONE_NUMBER, CF_CALLBACK_PHONE),
    PAIR(PR_RADIO_TELEPHONE_NUMBER, CF_RADIO_PHONE),
    PAIR(PR_PAGER_TELEPHONE_NUMBER, CF_PAGER),
    PAIR(PR_EMAIL_ADDRESS, CF_EMAIL),
    PAIR(PR_PRIMARY_FAX_NUMBER, CF_WORK_FAX),
    PAIR(PR_HOME_FAX_NUMBER, CF_HOME_FAX),
    PAIR(PR_COMMENT, CF_NOTE),
    PAIR(PR_BUSINESS_HOME_PAGE, CF_WORK_HOME_PAGE),
};

// Pairs exchanged after the custom mapping, so they overwrite a custom field
// mapped onto the same property.
constexpr FieldPair kPairsAfterCustom[] = {
    PAIR(PR_ACCOUNT, CF_ACCOUNT),
    PAIR(PR_GOVERNMENT_ID_NUMBER, CF_GOVERNMENT_ID),
    PAIR(PR_INITIALS, CF_PREFIX),
    PAIR(PR_KEYWORD, CF_KEYWORD),
    PAIR(PR_LANGUAGE, CF_LANGUAGE),
    PAIR(PR_LOCATION, CF_LOCATION),
    PAIR(PR_MHS_COMMON_NAME, CF_MHS_COMMON_NAME),
    PAIR(PR_ORGANIZATIONAL_ID_NUMBER, CF_ORGANIZATION_ID),
    PAIR(PR_HOME2_TELEPHONE_NUMBER, CF_HOME_PHONE2),
    PAIR(PR_ASSISTANT, CF_ASSISTANT_NAME),
    PAIR(PR_ASSISTANT_TELEPHONE_NUMBER, CF_ASSISTANT_PHONE),
    PAIR(PR_HOBBIES, CF_HOBBY),
    PAIR(PR_PROFESSION, CF_PROFESSION),
    PAIR(PR_CUSTOMER_ID, CF_CUSTOMER_ID),
    PAIR(PR_FTP_SITE, CF_FTP_SITE),
    PAIR(PR_MANAGER_NAME, CF_MANAGER_NAME),
    PAIR(PR_NICKNAME, CF_NICK_NAME),
    PAIR(PR_SPOUSE_NAME, CF_SPOUSE_NAME),
    PAIR(szChildrenNames, CF_CHILDREN_NAMES),
    PAIR(PR_BUSINESS2_TELEPHONE_NUMBER, CF_WORK_PHONE2),
    PAIR(szFolderName, CF_CATEGORY),
};

#undef PAIR
#undef PAIR_OUT_ONLY
#undef WAB_FIELD

// The First Name an entry without given name and surname shows its display
// name as.
constexpr size_t kDisplayNameAsFirstWidth = 32;

bool IsBlankText(const char* pszText)
{
    for (; *pszText != '\0'; ++pszText) {
        if (*pszText != ' ')
            return false;
    }
    return true;
}

// Copies the text of a field of nSrcWidth bytes into one of nDestWidth bytes,
// cut to nDestWidth - 1 characters and terminated. The source is read only
// within its width, terminated or not.
void CopyText(char* pszDest, size_t nDestWidth, const char* pszSrc, size_t nSrcWidth)
{
    if (nDestWidth == 0)
        return;
    // Most fields of an entry are empty, and an entry is converted each time
    // a classification reads it: no length to measure for those.
    if (pszSrc == nullptr || nSrcWidth == 0 || pszSrc[0] == '\0') {
        pszDest[0] = '\0';
        return;
    }
    size_t nLen = strnlen(pszSrc, nSrcWidth);
    if (nLen > nDestWidth - 1)
        nLen = nDestWidth - 1;
    if (nLen > 0)
        std::memmove(pszDest, pszSrc, nLen);
    pszDest[nLen] = '\0';
}

void PairToComm(const WabRecord* pRecord, const FieldPair& pair, CommAddrRecord* pComm)
{
    CopyText(GetTextField(pComm, pair.nCommId), static_cast<size_t>(GetFieldWidth(pair.nCommId)),
             MemberAt<char>(pRecord, pair.wab.nOffset), pair.wab.nWidth);
}

void PairFromComm(const CommAddrRecord* pComm, const FieldPair& pair, WabRecord* pRecord)
{
    CopyText(MemberAt<char>(pRecord, pair.wab.nOffset), pair.wab.nWidth, GetTextField(pComm, pair.nCommId),
             static_cast<size_t>(GetFieldWidth(pair.nCommId)));
}

bool IsFileTimeSet(const FILETIME& ft)
{
    return ft.dwLowDateTime != 0 || ft.dwHighDateTime != 0;
}

// A file time as an OLE Automation date, with no time-zone shift. A file
// time of 0 is "not set" and gives 0.0, as does one that has no date.
double FileTimeToDate(const FILETIME& ft)
{
    SYSTEMTIME st;
    double dDate = 0.0;
    if (!IsFileTimeSet(ft) || !FileTimeToSystemTime(&ft, &st) || !SystemTimeToVariantTime(&st, &dDate))
        return 0.0;
    return dDate;
}

// The reverse: 0.0 ("not set") and dates outside the file-time range give a
// file time of 0, which is never written.
FILETIME DateToFileTime(double dDate)
{
    FILETIME ft = {0, 0};
    SYSTEMTIME st;
    if (dDate == 0.0 || !VariantTimeToSystemTime(dDate, &st) || !SystemTimeToFileTime(&st, &ft))
        return FILETIME{0, 0};
    return ft;
}

// The text fields in tag order (the first of equal tags first): every entry
// written or read looks up each of its properties, so the lookup halves the
// table instead of walking it.
std::array<const WabTextField*, kTextFields.size()> TextFieldsByTag()
{
    std::array<const WabTextField*, kTextFields.size()> byTag{};
    for (size_t i = 0; i < kTextFields.size(); ++i)
        byTag[i] = &kTextFields[i];
    std::stable_sort(byTag.begin(), byTag.end(),
                     [](const WabTextField* pA, const WabTextField* pB) { return pA->ulTag < pB->ulTag; });
    return byTag;
}

const WabTextField* FindTextField(ULONG ulTag)
{
    static const std::array<const WabTextField*, kTextFields.size()> byTag = TextFieldsByTag();
    const auto found = std::lower_bound(byTag.begin(), byTag.end(), ulTag,
                                        [](const WabTextField* pEntry, ULONG ulKey) { return pEntry->ulTag < ulKey; });
    return found != byTag.end() && (*found)->ulTag == ulTag ? *found : nullptr;
}

}  // namespace

char* CxWab::FieldForTag(WabRecord* pRecord, ULONG ulTag, int* pnWidth)
{
    const WabTextField* pEntry = pRecord != nullptr ? FindTextField(ulTag) : nullptr;
    if (pnWidth != nullptr)
        *pnWidth = pEntry != nullptr ? static_cast<int>(pEntry->field.nWidth) : 0;
    return pEntry != nullptr ? MemberAt<char>(pRecord, pEntry->field.nOffset) : nullptr;
}

const char* CxWab::FieldForTag(const WabRecord* pRecord, ULONG ulTag, int* pnWidth)
{
    return FieldForTag(const_cast<WabRecord*>(pRecord), ulTag, pnWidth);
}

bool CxWab::SetCustomMapping(const DWORD* pdwTags, int nCount)
{
    if (pdwTags == nullptr || nCount < 1 || nCount > kCustomCount)
        return false;
    bool bChanged = false;
    for (int i = 0; i < nCount; ++i) {
        bChanged = bChanged || dwCustomIDs[i] != pdwTags[i];
        dwCustomIDs[i] = pdwTags[i];
    }
    // The books' sets convert their entries through the mapping.
    if (bChanged)
        ++s_nMappingGeneration;
    return true;
}

bool CxWab::ConvertToComm(const WabRecord* pRecord, CommAddrRecord* pComm)
{
    return ConvertFieldsToComm(pRecord, pComm, nullptr);
}

bool CxWab::ConvertFieldsToComm(const WabRecord* pRecord, CommAddrRecord* pComm, const CommFieldMask* pFields)
{
    if (pRecord == nullptr || pComm == nullptr)
        return false;
    // First and last name always: whether the display name stands in for
    // the first name depends on both.
    auto wanted = [pFields](int32_t nId) {
        return pFields == nullptr || nId == CF_FIRST_NAME || nId == CF_LAST_NAME ||
               pFields->test(static_cast<size_t>(nId));
    };
    for (const FieldPair& pair : kPairsBeforeCustom) {
        if (pair.bToComm && wanted(pair.nCommId))
            PairToComm(pRecord, pair, pComm);
    }
    // A display name of blanks only is what a nameless contact is written
    // with; taking it as a first name would make that contact differ from its
    // own source on every later comparison and be added again each time.
    if (pComm->szFirstName[0] == '\0' && pComm->szLastName[0] == '\0' && !IsBlankText(pRecord->PR_DISPLAY_NAME))
        CopyText(pComm->szFirstName, kDisplayNameAsFirstWidth, pRecord->PR_DISPLAY_NAME,
                 sizeof pRecord->PR_DISPLAY_NAME);
    for (int i = 0; i < kCustomCount; ++i) {
        if (!wanted(CF_CUSTOM1 + i))
            continue;
        int nWidth = 0;
        const char* pszField = FieldForTag(pRecord, dwCustomIDs[i], &nWidth);
        if (pszField != nullptr)
            CopyText(pComm->szCustom[i], sizeof pComm->szCustom[i], pszField, static_cast<size_t>(nWidth));
    }
    for (const FieldPair& pair : kPairsAfterCustom) {
        if (wanted(pair.nCommId))
            PairToComm(pRecord, pair, pComm);
    }
    // An unset date keeps the caller's value (0.0 in a zero-filled record).
    if (IsFileTimeSet(pRecord->PR_BIRTHDAY))
        pComm->dtBirthday = FileTimeToDate(pRecord->PR_BIRTHDAY);
    if (IsFileTimeSet(pRecord->PR_WEDDING_ANNIVERSARY))
        pComm->dtAnniversary = FileTimeToDate(pRecord->PR_WEDDING_ANNIVERSARY);
    return true;
}

bool CxWab::ConvertFromComm(const CommAddrRecord* pComm, WabRecord* pRecord)
{
    if (pComm == nullptr || pRecord == nullptr)
        return false;
    for (const FieldPair& pair : kPairsBeforeCustom)
        PairFromComm(pComm, pair, pRecord);
    if (pComm->szDisplayName[0] == '\0') {
        char szName[sizeof pComm->szFirstName + sizeof pComm->szLastName + 1];
        std::snprintf(szName, sizeof szName, "%.*s %.*s", static_cast<int>(sizeof pComm->szFirstName - 1),
                      pComm->szFirstName, static_cast<int>(sizeof pComm->szLastName - 1), pComm->szLastName);
        CopyText(pRecord->PR_DISPLAY_NAME, sizeof pRecord->PR_DISPLAY_NAME, szName, sizeof szName);
    } else {
        CopyText(pRecord->PR_DISPLAY_NAME, sizeof pRecord->PR_DISPLAY_NAME, pComm->szDisplayName,
                 sizeof pComm->szDisplayName);
    }
    for (int i = 0; i < kCustomCount; ++i) {
        int nWidth = 0;
        char* pszField = FieldForTag(pRecord, dwCustomIDs[i], &nWidth);
        if (pszField != nullptr)
            CopyText(pszField, static_cast<size_t>(nWidth), pComm->szCustom[i], sizeof pComm->szCustom[i]);
    }
    for (const FieldPair& pair : kPairsAfterCustom)
        PairFromComm(pComm, pair, pRecord);
    pRecord->PR_BIRTHDAY = DateToFileTime(pComm->dtBirthday);
    pRecord->PR_WEDDING_ANNIVERSARY = DateToFileTime(pComm->dtAnniversary);
    return true;
}
