// PmAddrInfo: see PmAddrInfo.h.
//
// The conversion between the three Palm record layouts and the neutral record
// is driven by one table (kFieldMap): each row names a neutral field and the
// member that holds it in each generation's record, by byte offset and width.
// Phones go through a second table (kPhoneLabels) that maps the Palm phone
// label codes onto neutral fields, and a per-generation phone slot layout.
#include "common/palm/PmAddrInfo.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <utility>

#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CxDebugUtil.h"
#include "common/misc/CxFile.h"
#include "common/misc/CxList.h"
#include "common/palm/PalmEntry.h"
#include "common/palm/PmAddrEx2DataMgr.h"
#include "common/palm/PmAddrEx2Record.h"
#include "common/palm/PmAddrEx2Util.h"
#include "common/palm/PmAddrExUtil.h"
#include "common/palm/PmAddrUtil.h"
#include "common/palm/PmDesktop.h"
#include "common/palm/PmMDBAccessor.h"
#include "platform/fsutil/FsUtil.h"
#include "platform/oletime/OleTime.h"

namespace {

// ---- The field mapping ------------------------------------------------------

enum MapKind : uint8_t {
    kMapText,       // a text member
    kMapCategory,   // the category name member, and the category id member beside it
    kMapPrivate,    // the private flag (int32)
    kMapDate,       // a date value: 8 bytes = IEEE double, 4 bytes = int32
};

// Where one generation's record keeps a neutral field.
struct PalmMember {
    int32_t nOffset = -1;      // byte offset in the record; -1: the generation has none
    int32_t nWidth = 0;        // member width in bytes
    int32_t nIdOffset = -1;    // category rows: offset of the int32 category id
    bool bToPalmOnly = false;  // written to the Palm record, never read back
};

struct FieldMapRow {
    int32_t nFieldId;
    MapKind kind;
    PalmMember member[3];      // classic, extended, Desktop 6
};

#define VW_MEMBER(T, m) PalmMember{static_cast<int32_t>(offsetof(T, m)), \
                                   static_cast<int32_t>(sizeof(std::declval<T&>().m)), -1, false}
#define VW_TO_PALM(T, m) PalmMember{static_cast<int32_t>(offsetof(T, m)), \
                                    static_cast<int32_t>(sizeof(std::declval<T&>().m)), -1, true}
#define VW_CATEGORY(T, name, id) PalmMember{static_cast<int32_t>(offsetof(T, name)), \
                                            static_cast<int32_t>(sizeof(std::declval<T&>().name)), \
                                            static_cast<int32_t>(offsetof(T, id)), false}
#define C_(m) VW_MEMBER(PmAddrRecord, m)
#define E_(m) VW_MEMBER(PmAddrExRecord, m)
#define D_(m) VW_MEMBER(PmAddrEx2Record, m)
#define NONE PalmMember{}

constexpr FieldMapRow kFieldMap[] = {
    {CF_FIRST_NAME, kMapText, {C_(szFirstName), E_(szFirstName), D_(FirstName)}},
    {CF_LAST_NAME, kMapText, {C_(szLastName), E_(szLastName), D_(LastName)}},
    {CF_MIDDLE_NAME, kMapText, {NONE, NONE, D_(MiddleName)}},
    {CF_PREFIX, kMapText, {NONE, NONE, D_(Prefix)}},
    {CF_SUFFIX, kMapText, {NONE, NONE, D_(Suffix)}},
    {CF_NICK_NAME, kMapText, {NONE, NONE, D_(NickName)}},
    {CF_DISPLAY_NAME, kMapText, {NONE, NONE, D_(EnglishName)}},
    {CF_COMPANY, kMapText, {C_(szCompany), E_(szCompany), D_(Company)}},
    {CF_TITLE, kMapText, {C_(szTitle), E_(szTitle), D_(JobTitle)}},
    {CF_WORK_STREET, kMapText, {C_(szAddress), E_(addresses[0].szStreet), D_(WorkStreet)}},
    {CF_WORK_CITY, kMapText, {C_(szCity), E_(addresses[0].szCity), D_(WorkCity)}},
    {CF_WORK_STATE, kMapText, {C_(szState), E_(addresses[0].szState), D_(WorkState)}},
    {CF_WORK_POSTAL, kMapText, {C_(szZip), E_(addresses[0].szZip), D_(WorkZip)}},
    {CF_WORK_COUNTRY, kMapText, {C_(szCountry), E_(addresses[0].szCountry), D_(WorkCountry)}},
    {CF_HOME_STREET, kMapText, {NONE, E_(addresses[1].szStreet), D_(HomeStreet)}},
    {CF_HOME_CITY, kMapText, {NONE, E_(addresses[1].szCity), D_(HomeCity)}},
    {CF_HOME_STATE, kMapText, {NONE, E_(addresses[1].szState), D_(HomeState)}},
    {CF_HOME_POSTAL, kMapText, {NONE, E_(addresses[1].szZip), D_(HomeZip)}},
    {CF_HOME_COUNTRY, kMapText, {NONE, E_(addresses[1].szCountry), D_(HomeCountry)}},
    {CF_OTHER_STREET, kMapText, {NONE, E_(addresses[2].szStreet), D_(OtherStreet)}},
    {CF_OTHER_CITY, kMapText, {NONE, E_(addresses[2].szCity), D_(OtherCity)}},
    {CF_OTHER_STATE, kMapText, {NONE, E_(addresses[2].szState), D_(OtherState)}},
    {CF_OTHER_POSTAL, kMapText, {NONE, E_(addresses[2].szZip), D_(OtherZip)}},
    {CF_OTHER_COUNTRY, kMapText, {NONE, E_(addresses[2].szCountry), D_(OtherCountry)}},
    {CF_NOTE, kMapText, {C_(szNote), E_(szNote), D_(Note)}},
    {CF_CUSTOM1 + 0, kMapText, {C_(szCustom[0]), E_(szCustom[0]), NONE}},
    {CF_CUSTOM1 + 1, kMapText, {C_(szCustom[1]), E_(szCustom[1]), NONE}},
    {CF_CUSTOM1 + 2, kMapText, {C_(szCustom[2]), E_(szCustom[2]), NONE}},
    {CF_CUSTOM1 + 3, kMapText, {C_(szCustom[3]), E_(szCustom[3]), NONE}},
    {CF_CUSTOM1 + 4, kMapText, {NONE, E_(szCustom[4]), NONE}},
    {CF_CUSTOM1 + 5, kMapText, {NONE, E_(szCustom[5]), NONE}},
    {CF_CUSTOM1 + 6, kMapText, {NONE, E_(szCustom[6]), NONE}},
    {CF_CUSTOM1 + 7, kMapText, {NONE, E_(szCustom[7]), NONE}},
    {CF_CUSTOM1 + 8, kMapText, {NONE, E_(szCustom[8]), NONE}},
    {CF_IM1, kMapText, {NONE, VW_TO_PALM(PmAddrExRecord, szMessaging1), D_(Chat1)}},
    {CF_IM2, kMapText, {NONE, VW_TO_PALM(PmAddrExRecord, szMessaging2), D_(Chat2)}},
    {CF_ASSISTANT_NAME, kMapText, {NONE, NONE, D_(AssistantName)}},
    {CF_ASSISTANT_PHONE, kMapText, {NONE, NONE, D_(AssistantPhone)}},
    {CF_CATEGORY, kMapCategory,
     {VW_CATEGORY(PmAddrRecord, szCategoryName, nCategoryId),
      VW_CATEGORY(PmAddrExRecord, szCategoryName, nCategoryId),
      VW_CATEGORY(PmAddrEx2Record, categoryName, Category)}},
    {CF_PRIVATE, kMapPrivate,
     {VW_TO_PALM(PmAddrRecord, nPrivate), VW_TO_PALM(PmAddrExRecord, nPrivate), NONE}},
    {CF_BIRTHDAY, kMapDate, {NONE, E_(qBirthday), D_(Birthday)}},
    {CF_ANNIVERSARY, kMapDate, {NONE, NONE, D_(Anniversary)}},
};

#undef C_
#undef E_
#undef D_
#undef NONE
#undef VW_MEMBER
#undef VW_TO_PALM
#undef VW_CATEGORY

// The neutral fields behind each Palm phone label code (0 to 7). A label
// without a field (6) carries nothing in either direction; codes above 7 are
// ignored. Label 2 takes "Home Fax" on its way to Palm when "Work Fax" is
// empty.
struct PhoneLabelRow {
    int32_t nToNeutral;     // 0: none
    int32_t nToPalm;        // 0: none
    int32_t nToPalmElse;    // used when nToPalm is empty; 0: none
};

constexpr PhoneLabelRow kPhoneLabels[] = {
    {CF_WORK_PHONE, CF_WORK_PHONE, 0},       // 0
    {CF_HOME_PHONE, CF_HOME_PHONE, 0},       // 1
    {CF_WORK_FAX, CF_WORK_FAX, CF_HOME_FAX}, // 2
    {CF_OTHER_PHONE, CF_OTHER_PHONE, 0},     // 3
    {CF_EMAIL, CF_EMAIL, 0},                 // 4
    {CF_PRIMARY_PHONE, CF_PRIMARY_PHONE, 0}, // 5
    {0, 0, 0},                               // 6
    {CF_MOBILE_PHONE, CF_MOBILE_PHONE, 0},   // 7
};
constexpr int kPhoneLabelCount = static_cast<int>(std::size(kPhoneLabels));

// The phone slots of one generation's record: nCount texts of nTextWidth
// bytes from nTextOffset, and nCount int32 labels from nLabelOffset.
struct PhoneLayout {
    int32_t nCount;
    int32_t nTextOffset;
    int32_t nTextWidth;
    int32_t nLabelOffset;
};

constexpr PhoneLayout kPhoneLayouts[3] = {
    {kPmAddrPhoneCount, offsetof(PmAddrRecord, szPhone), kPmAddrPhoneWidth,
     offsetof(PmAddrRecord, nPhoneLabel)},
    {kPmAddrExPhoneCount, offsetof(PmAddrExRecord, szPhone), kPmAddrExPhoneWidth,
     offsetof(PmAddrExRecord, nPhoneLabel)},
    {PmAddrEx2Record::kPhoneCount, offsetof(PmAddrEx2Record, phone),
     sizeof(PmAddrEx2Record::phone[0]), offsetof(PmAddrEx2Record, phoneLabel)},
};

static_assert(sizeof(PmAddrEx2Record::phone[0]) * PmAddrEx2Record::kPhoneCount ==
              sizeof(PmAddrEx2Record::phone));

// Lengths at which a text arrives cut by a narrower field somewhere on its
// way (a field width minus one).
constexpr size_t kCutLengths[] = {15, 23, 31, 63, 127, 255, 2047};

// OLE Automation dates the neutral record can hold: 1 January 100 up to the
// end of 31 December 9999.
constexpr double kMinOleDate = -657434.0;
constexpr double kMaxOleDate = 2958466.0;

// ---- Byte-level access ----------------------------------------------------------

inline int32_t IntAt(const void* pRecord, int32_t nOffset)
{
    int32_t nValue;
    std::memcpy(&nValue, static_cast<const char*>(pRecord) + nOffset, sizeof nValue);
    return nValue;
}

inline void SetIntAt(void* pRecord, int32_t nOffset, int32_t nValue)
{
    std::memcpy(static_cast<char*>(pRecord) + nOffset, &nValue, sizeof nValue);
}

// Copies the text of pszSrc (up to its terminator, at most nSrcWidth bytes)
// into the nDestWidth-byte member, cut to nDestWidth - 1 characters and
// zero-filled behind.
void CopyMember(char* pszDest, size_t nDestWidth, const char* pszSrc, size_t nSrcWidth)
{
    if (nDestWidth == 0)
        return;
    size_t nLen = strnlen(pszSrc, nSrcWidth);
    if (nLen > nDestWidth - 1)
        nLen = nDestWidth - 1;
    std::memmove(pszDest, pszSrc, nLen);
    std::memset(pszDest + nLen, 0, nDestWidth - nLen);
}

// Whether the incoming text is the stored one cut short by a narrower field
// on its way: its length is such a cut length and the stored text starts
// with it and goes on. Writing it would shorten the stored text.
bool IsCutCopy(const char* pszIncoming, size_t nIncomingWidth, const char* pszStored, size_t nStoredWidth)
{
    size_t nLen = strnlen(pszIncoming, nIncomingWidth);
    bool bCutLength = false;
    for (size_t nCut : kCutLengths)
        bCutLength = bCutLength || nLen == nCut;
    if (!bCutLength)
        return false;
    size_t nStored = strnlen(pszStored, nStoredWidth);
    return nStored > nLen && std::memcmp(pszStored, pszIncoming, nLen) == 0;
}

// A date as the neutral record may hold it: a value outside the dates an
// OLE Automation date can name (a Palm record without a date stores 0, which
// is far before them) or not a number reads as "not set" (0.0).
double CheckedNeutralDate(double dDate)
{
    if (!std::isfinite(dDate) || dDate < kMinOleDate || dDate >= kMaxOleDate)
        return 0.0;
    return dDate;
}

// ---- Per-generation helpers -------------------------------------------------------

inline int GenIndex(int nKind)
{
    return nKind - 1;
}

int32_t StatusOf(int nKind, const void* pRecord)
{
    switch (nKind) {
    case PalmEntry::kClassic: return static_cast<const PmAddrRecord*>(pRecord)->nStatus;
    case PalmEntry::kExtended: return static_cast<const PmAddrExRecord*>(pRecord)->nStatus;
    case PalmEntry::kDesktop6: return static_cast<const PmAddrEx2Record*>(pRecord)->Status;
    default: return 0;
    }
}

int32_t* StatusField(const PalmEntry& entry)
{
    switch (entry.nKind) {
    case PalmEntry::kClassic: return &entry.Classic()->nStatus;
    case PalmEntry::kExtended: return &entry.Extended()->nStatus;
    case PalmEntry::kDesktop6: return &entry.Desktop6()->Status;
    default: return nullptr;
    }
}

// A new zero-filled record of the kind, or null when memory runs out.
void* NewRecord(int nKind)
{
    switch (nKind) {
    case PalmEntry::kClassic: return new (std::nothrow) PmAddrRecord();
    case PalmEntry::kExtended: return new (std::nothrow) PmAddrExRecord();
    case PalmEntry::kDesktop6: return new (std::nothrow) PmAddrEx2Record();
    default: return nullptr;
    }
}

void DeleteRecord(int nKind, void* pRecord)
{
    switch (nKind) {
    case PalmEntry::kClassic: delete static_cast<PmAddrRecord*>(pRecord); break;
    case PalmEntry::kExtended: delete static_cast<PmAddrExRecord*>(pRecord); break;
    case PalmEntry::kDesktop6: {
        auto* pRec = static_cast<PmAddrEx2Record*>(pRecord);
        PmAddrEx2DataMgr::FreeRecord(pRec);
        delete pRec;
        break;
    }
    default: break;
    }
}

// Copies a record of the kind over another (extended: the binary items'
// bytes too, so the two never share a buffer).
void CopyRecord(int nKind, void* pDest, const void* pSrc)
{
    switch (nKind) {
    case PalmEntry::kClassic:
        *static_cast<PmAddrRecord*>(pDest) = *static_cast<const PmAddrRecord*>(pSrc);
        break;
    case PalmEntry::kExtended:
        *static_cast<PmAddrExRecord*>(pDest) = *static_cast<const PmAddrExRecord*>(pSrc);
        break;
    case PalmEntry::kDesktop6:
        PmAddrEx2DataMgr::CopyRecord(static_cast<PmAddrEx2Record*>(pDest),
                                     static_cast<const PmAddrEx2Record*>(pSrc));
        break;
    default: break;
    }
}

// A new entry of the kind with a zero-filled record, or null.
PalmEntry* NewEntry(int nKind)
{
    auto* pEntry = new (std::nothrow) PalmEntry{};
    if (pEntry == nullptr)
        return nullptr;
    pEntry->nKind = nKind;
    pEntry->pRecord = NewRecord(nKind);
    if (pEntry->pRecord == nullptr) {
        delete pEntry;
        return nullptr;
    }
    return pEntry;
}

// ---- Palm to neutral ----------------------------------------------------------------

void PalmToNeutral(int nKind, const void* pRecord, CommAddrRecord* pComm)
{
    const int nGen = GenIndex(nKind);
    const char* pBytes = static_cast<const char*>(pRecord);

    for (const FieldMapRow& row : kFieldMap) {
        const PalmMember& member = row.member[nGen];
        if (member.nOffset < 0 || member.bToPalmOnly)
            continue;
        switch (row.kind) {
        case kMapText:
        case kMapCategory:
            CopyMember(GetTextField(pComm, row.nFieldId), static_cast<size_t>(GetFieldWidth(row.nFieldId)),
                       pBytes + member.nOffset, static_cast<size_t>(member.nWidth));
            break;
        case kMapDate: {
            double dPalm;
            if (member.nWidth == 8) {
                uint64_t qValue;
                std::memcpy(&qValue, pBytes + member.nOffset, sizeof qValue);
                dPalm = PmDBUtil::QuadToDouble(qValue);
            } else {
                dPalm = static_cast<double>(static_cast<uint32_t>(IntAt(pRecord, member.nOffset)));
            }
            auto* pDate = static_cast<double*>(GetFieldAddress(pComm, row.nFieldId));
            *pDate = CheckedNeutralDate(dPalm - PmAddrInfo::DateConstant());
            break;
        }
        case kMapPrivate:
            break;   // not read back
        }
    }

    // Phones: each non-empty slot fills the neutral field of its label; a
    // later slot with the same label replaces an earlier one.
    const PhoneLayout& phones = kPhoneLayouts[nGen];
    for (int nSlot = 0; nSlot < phones.nCount; ++nSlot) {
        const char* pszText = pBytes + phones.nTextOffset + nSlot * phones.nTextWidth;
        int32_t nLabel = IntAt(pRecord, phones.nLabelOffset + nSlot * static_cast<int32_t>(sizeof(int32_t)));
        if (pszText[0] == '\0' || nLabel < 0 || nLabel >= kPhoneLabelCount)
            continue;
        int32_t nField = kPhoneLabels[nLabel].nToNeutral;
        if (nField == 0)
            continue;
        CopyMember(GetTextField(pComm, nField), static_cast<size_t>(GetFieldWidth(nField)), pszText,
                   static_cast<size_t>(phones.nTextWidth));
    }

    pComm->nSourceType = CST_PALM;
}

}  // namespace

// ---- Neutral to Palm --------------------------------------------------------------------

// Writes the neutral record into the entry's record. A new record (bUpdate
// false) takes every value as the neutral record has it. An update keeps the
// Palm record's own values where the neutral record has nothing to say: an
// empty text, an unset date, a private flag of 0, and a text that is only
// the stored one cut short on its way.
bool PmAddrInfo::NeutralToPalm(const CommAddrRecord* pComm, PalmEntry* pEntry, bool bUpdate)
{
    const int nKind = pEntry->nKind;
    const int nGen = GenIndex(nKind);
    void* pRecord = pEntry->pRecord;
    char* pBytes = static_cast<char*>(pRecord);

    // 1. Phones, label by label in code order.
    const PhoneLayout& phones = kPhoneLayouts[nGen];
    auto slotText = [&](int nSlot) { return pBytes + phones.nTextOffset + nSlot * phones.nTextWidth; };
    auto slotLabel = [&](int nSlot) {
        return phones.nLabelOffset + nSlot * static_cast<int32_t>(sizeof(int32_t));
    };
    for (int32_t nLabel = 0; nLabel < kPhoneLabelCount; ++nLabel) {
        const PhoneLabelRow& label = kPhoneLabels[nLabel];
        const char* pszSource = nullptr;
        int32_t nSourceField = 0;
        if (label.nToPalm != 0) {
            nSourceField = label.nToPalm;
            pszSource = GetTextField(pComm, nSourceField);
            if (pszSource[0] == '\0' && label.nToPalmElse != 0) {
                nSourceField = label.nToPalmElse;
                pszSource = GetTextField(pComm, nSourceField);
            }
        }
        const bool bHasSource = pszSource != nullptr && pszSource[0] != '\0';
        const size_t nSourceWidth = nSourceField != 0 ? static_cast<size_t>(GetFieldWidth(nSourceField)) : 0;

        // The slot with this label: the one whose text the neutral record
        // shows (when several slots of the label hold text, the last, as
        // PalmToNeutral reads them), so that a change lands where it is read
        // back from; when none holds text, the first slot with the label.
        int nFound = -1;
        int nShown = -1;
        for (int nSlot = 0; nSlot < phones.nCount; ++nSlot) {
            if (IntAt(pRecord, slotLabel(nSlot)) != nLabel)
                continue;
            if (nFound < 0)
                nFound = nSlot;
            if (slotText(nSlot)[0] != '\0')
                nShown = nSlot;
        }
        if (nShown >= 0)
            nFound = nShown;
        if (nFound >= 0 && (bHasSource || label.nToPalm == 0)) {
            if (bHasSource &&
                !(bUpdate && IsCutCopy(pszSource, nSourceWidth, slotText(nFound),
                                       static_cast<size_t>(phones.nTextWidth))))
                CopyMember(slotText(nFound), static_cast<size_t>(phones.nTextWidth), pszSource, nSourceWidth);
            continue;
        }
        int nEmpty = -1;
        for (int nSlot = 0; nSlot < phones.nCount && nEmpty < 0; ++nSlot) {
            if (slotText(nSlot)[0] == '\0')
                nEmpty = nSlot;
        }
        if (nEmpty < 0)
            continue;   // every slot has text: the source is dropped
        SetIntAt(pRecord, slotLabel(nEmpty), nLabel);
        if (bHasSource)
            CopyMember(slotText(nEmpty), static_cast<size_t>(phones.nTextWidth), pszSource, nSourceWidth);
    }

    // 2 to 4. Texts, category name, private flag, dates.
    bool bCategoryNamed = false;
    std::string strCategory;
    for (const FieldMapRow& row : kFieldMap) {
        const PalmMember& member = row.member[nGen];
        if (member.nOffset < 0)
            continue;
        char* pszMember = pBytes + member.nOffset;
        const size_t nMemberWidth = static_cast<size_t>(member.nWidth);
        switch (row.kind) {
        case kMapText: {
            const char* pszIncoming = GetTextField(pComm, row.nFieldId);
            const size_t nIncomingWidth = static_cast<size_t>(GetFieldWidth(row.nFieldId));
            if (pszIncoming[0] == '\0')
                break;
            if (bUpdate && IsCutCopy(pszIncoming, nIncomingWidth, pszMember, nMemberWidth))
                break;
            CopyMember(pszMember, nMemberWidth, pszIncoming, nIncomingWidth);
            break;
        }
        case kMapCategory: {
            const char* pszIncoming = GetTextField(pComm, row.nFieldId);
            if (pszIncoming[0] == '\0')
                break;
            const char* pszComma = std::strchr(pszIncoming, ',');
            strCategory.assign(pszIncoming, pszComma != nullptr ? static_cast<size_t>(pszComma - pszIncoming)
                                                                : std::strlen(pszIncoming));
            if (bUpdate && strnlen(pszMember, nMemberWidth) == strCategory.size() &&
                strCategory.compare(0, std::string::npos, pszMember, strCategory.size()) == 0)
                break;   // the category it already has: keep its id as it is
            bCategoryNamed = true;
            CopyMember(pszMember, nMemberWidth, strCategory.c_str(), strCategory.size() + 1);
            break;
        }
        case kMapPrivate: {
            const int32_t nPrivate = pComm->nPrivate;
            if (!bUpdate || nPrivate != 0)
                SetIntAt(pRecord, member.nOffset, nPrivate);
            break;
        }
        case kMapDate: {
            const double dNeutral = CheckedNeutralDate(*static_cast<const double*>(GetFieldAddress(pComm, row.nFieldId)));
            if (bUpdate && dNeutral == 0.0)
                break;
            if (member.nWidth == 8) {
                uint64_t qValue = PmDBUtil::DoubleToQuad(dNeutral + DateConstant());
                std::memcpy(pszMember, &qValue, sizeof qValue);
            } else {
                SetIntAt(pRecord, member.nOffset, static_cast<int32_t>(std::trunc(dNeutral)) + DateConstant());
            }
            break;
        }
        }
    }

    // The extended record's three addresses are work, home and other.
    if (nKind == PalmEntry::kExtended) {
        for (int i = 0; i < kPmAddrExAddressCount; ++i)
            pEntry->Extended()->addresses[i].nKind = i;
    }

    // 5. The category id for the record's category name, creating the
    // category when it does not exist. An update whose category is empty or
    // the one the record already has keeps the record's id, so that a
    // category the list does not know (or knows under a longer name) is never
    // replaced behind the user's back.
    const FieldMapRow* pCategoryRow = nullptr;
    for (const FieldMapRow& row : kFieldMap) {
        if (row.kind == kMapCategory)
            pCategoryRow = &row;
    }
    const PalmMember& category = pCategoryRow->member[nGen];
    if (!bUpdate || bCategoryNamed) {
        // The full name (up to the comma) is looked up, not the member's cut
        // copy: a Desktop 6 category may be longer than the member holds.
        const char* pszName = bCategoryNamed ? strCategory.c_str() : pBytes + category.nOffset;
        int32_t nId = 0;
        bool bFound = true;
        switch (nKind) {
        case PalmEntry::kClassic: bFound = m_pAddrUtil->GetCategoryId(pszName, nId, true); break;
        case PalmEntry::kExtended: bFound = m_pAddrExUtil->GetCategoryId(pszName, nId, true); break;
        case PalmEntry::kDesktop6: bFound = m_pAddrEx2Util->GetCategoryId(pszName, &nId, true); break;
        default: break;
        }
        if (!bFound && pszName[0] != '\0')
            nId = -1;
        SetIntAt(pRecord, category.nIdOffset, nId);
    }

    // 6. Desktop 6 derives its label texts and category name from the slots
    // and the id (so the name becomes the one of the category chosen above).
    if (nKind == PalmEntry::kDesktop6)
        m_pAddrEx2Util->FillDerivedFields(pEntry->Desktop6());
    return true;
}

// ---- Construction ---------------------------------------------------------------------------

PmAddrInfo::PmAddrInfo()
{
    Init(GetDesktopVersion());
}

PmAddrInfo::PmAddrInfo(DWORD dwDesktopVersion)
{
    Init(dwDesktopVersion);
}

void PmAddrInfo::Init(DWORD dwDesktopVersion)
{
    m_nExpectedGen = GenerationFromVersion(dwDesktopVersion);
    g_DebugUtil.Log(2, __FILE__, __LINE__, "Palm Desktop Version: %d", static_cast<int>(dwDesktopVersion));
    m_nLoadedGen = kGenUnknown;
    m_pAddrUtil = new PmAddrUtil();
    m_pAddrExUtil = new PmAddrExUtil();
    m_pAddrEx2Util = new PmAddrEx2Util();
    m_pEntries = new CxList();
    m_pContacts = new CommAddrMgr();
    m_pHold = new FileHold();
    m_pAddrUtil->ShareHold(m_pHold);
    m_pAddrExUtil->ShareHold(m_pHold);
}

PmAddrInfo::~PmAddrInfo()
{
    ClearEntries();
    delete m_pContacts;
    delete m_pEntries;
    delete m_pAddrEx2Util;
    delete m_pAddrExUtil;
    delete m_pAddrUtil;
    delete m_pHold;
    delete m_pVisited;
}

int PmAddrInfo::GenerationFromVersion(DWORD dwDesktopVersion)
{
    if (dwDesktopVersion >= 60000u)
        return kGenDesktop6;
    if (dwDesktopVersion >= 40102u)
        return kGenExtended;
    if (dwDesktopVersion >= 30500u)
        return kGenClassic;
    return kGenUnknown;
}

int PmAddrInfo::DateConstant()
{
    static const int nConstant = [] {
        SYSTEMTIME epoch{};
        epoch.wYear = 1970;
        epoch.wMonth = 1;
        epoch.wDay = 1;
        double dDays = 0.0;
        SystemTimeToVariantTime(&epoch, &dDays);
        const int nPacked = epoch.wYear * 65536 + epoch.wMonth * 256 + epoch.wDay;
        return nPacked - static_cast<int>(dDays);
    }();
    return nConstant;
}

// ---- Paths and loading ---------------------------------------------------------------------

bool PmAddrInfo::GetUserFilePath(DWORD dwUserId, char* pszBuf, int nLen)
{
    if (pszBuf == nullptr || nLen < 1)
        return false;
    char szFolder[MAX_PATH] = {};
    if (!GetUserFolder(dwUserId, szFolder, MAX_PATH))
        return false;
    const bool bDesktop6 = m_nExpectedGen == kGenDesktop6;
    // Folders copied from Windows come in any letter case.
    std::string strPath = ResolvePathCase(std::string(szFolder) + (bDesktop6 ? "address/address.mdb" : "address/address.dat"));
    // A folder copied without its palm.exe says nothing of its version: a
    // user who has only the other generation's file gets that file.
    if (CxFile::GetFileLength(strPath.c_str()) < 0) {
        const std::string strOther =
            ResolvePathCase(std::string(szFolder) + (bDesktop6 ? "address/address.dat" : "address/address.mdb"));
        if (CxFile::GetFileLength(strOther.c_str()) >= 0)
            strPath = strOther;
    }
    const size_t nCopy = std::min(strPath.size(), static_cast<size_t>(nLen - 1));
    std::memcpy(pszBuf, strPath.data(), nCopy);
    pszBuf[nCopy] = '\0';
    pszBuf[nLen - 1] = '\0';
    return true;
}

void PmAddrInfo::SetSwapName(bool bSwap)
{
    m_pAddrUtil->SwapName = bSwap;
    m_pAddrExUtil->SwapName = bSwap;
    m_pAddrEx2Util->SetSwapName(bSwap);
}

bool PmAddrInfo::LoadContacts(const char* pszPath)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return false;
    ClearAll();
    m_LastFailure.Clear();
    if (std::strlen(pszPath) >= MAX_PATH) {
        // A cut path would name another file.
        m_nLoadedGen = kGenFailed;
        m_pHold->Release();
        m_LastFailure = CheckInputPath(pszPath, MAX_PATH);
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not load Palm Desktop Contacts: %.200s... (%s)", pszPath,
                        FailReasonText(m_LastFailure).c_str());
        return false;
    }

    // The extension: from the last dot of the file name on.
    const char* pszName = pszPath;
    for (const char* p = pszPath; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            pszName = p + 1;
    }
    const char* pszExt = std::strrchr(pszName, '.');
    if (pszExt == nullptr)
        pszExt = "";

    int nGen = kGenFailed;
    if (strcasecmp(pszExt, ".mdb") == 0) {
        // The database is held from its load for as long as it stays loaded:
        // its changes are written as they are made.
        const std::string path = ResolvePathCase(pszPath);
        FailReason reason = CheckInputPath(path);
        if (!reason.IsSet() && !m_pHold->Acquire(path, &reason))
            g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not load Palm Desktop Contacts: %s (%s)", pszPath,
                            FailReasonText(reason).c_str());
        if (!reason.IsSet() && m_pAddrEx2Util->LoadFile(pszPath))
            nGen = kGenDesktop6;
        else
            m_LastFailure = reason.IsSet() ? reason : m_pAddrEx2Util->GetLastFailure();
    } else if (strcasecmp(pszExt, ".dat") == 0) {
        // A file that cannot be had at all (missing, in use...) is not
        // tried a second time with the other reader.
        const auto fileLevel = [](FailKind eKind) {
            return eKind == FailKind::Missing || eKind == FailKind::NotRegular || eKind == FailKind::Locked ||
                   eKind == FailKind::PathTooLong || eKind == FailKind::Unreadable;
        };
        if (m_pAddrExUtil->LoadFile(pszPath)) {
            nGen = kGenExtended;
        } else if (fileLevel(m_pAddrExUtil->GetLastFailure().eKind)) {
            m_LastFailure = m_pAddrExUtil->GetLastFailure();
        } else if (m_pAddrUtil->LoadFile(pszPath)) {
            nGen = kGenClassic;
        } else {
            // The reader that knew the file says what is wrong with it;
            // when neither did, it is not an address file at all.
            const FailReason& extended = m_pAddrExUtil->GetLastFailure();
            const FailReason& classic = m_pAddrUtil->GetLastFailure();
            m_LastFailure = extended.eKind == FailKind::Damaged ? extended : classic;
            if (m_LastFailure.eKind == FailKind::WrongKind && m_LastFailure.strDetail != "an empty file") {
                const std::string content = DescribeContent(ResolvePathCase(pszPath));
                m_LastFailure.strDetail = content == "unknown data" ? std::string("not a Palm Desktop address file")
                                                                    : content + ", not a Palm Desktop address file";
            }
        }
    } else {
        m_LastFailure = FailReason::Of(FailKind::WrongKind, "not a Palm Desktop data file (.dat or .mdb)");
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not load Palm Desktop Contacts: %s (%s)", pszPath,
                        FailReasonText(m_LastFailure).c_str());
    }
    m_nLoadedGen = nGen;
    if (nGen == kGenFailed) {
        if (!m_LastFailure.IsSet())
            m_LastFailure = FailReason::Of(FailKind::Unreadable);
        m_pHold->Release();
        return false;
    }
    if (m_bBuildContactSet)
        BuildContactSet();
    return true;
}

void PmAddrInfo::SetBuildContactSet(bool bBuild)
{
    m_bBuildContactSet = bBuild;
}

CommAddrRecord* PmAddrInfo::NextLoadedContact(bool bFirst)
{
    const int nKind = m_nLoadedGen;
    auto step = [&]() -> void* {
        switch (nKind) {
        case kGenClassic: return bFirst ? m_pAddrUtil->m_pDataMgr->First() : m_pAddrUtil->m_pDataMgr->Next();
        case kGenExtended: return bFirst ? m_pAddrExUtil->m_pDataMgr->First() : m_pAddrExUtil->m_pDataMgr->Next();
        case kGenDesktop6: return bFirst ? m_pAddrEx2Util->GetDataMgr()->First() : m_pAddrEx2Util->GetDataMgr()->Next();
        default: return nullptr;
        }
    };
    if (m_pVisited == nullptr) {
        m_pVisited = new (std::nothrow) CommAddrRecord;
        if (m_pVisited == nullptr)
            return nullptr;
    }
    for (void* pReaderRecord = step(); pReaderRecord != nullptr; bFirst = false, pReaderRecord = step()) {
        if ((StatusOf(nKind, pReaderRecord) & (kStatusDeleted | kStatusArchived)) != 0)
            continue;
        // As BuildContactSet fills the record it stores.
        ZeroCommRecord(m_pVisited);
        PalmToNeutral(nKind, pReaderRecord, m_pVisited);
        m_pVisited->nSourceType = CST_PALM;
        m_pVisited->nStatus = StatusOf(nKind, pReaderRecord);
        return m_pVisited;
    }
    return nullptr;
}

bool PmAddrInfo::BuildContactSet()
{
    const int nKind = m_nLoadedGen;
    auto first = [&]() -> void* {
        switch (nKind) {
        case kGenClassic: return m_pAddrUtil->m_pDataMgr->First();
        case kGenExtended: return m_pAddrExUtil->m_pDataMgr->First();
        case kGenDesktop6: return m_pAddrEx2Util->GetDataMgr()->First();
        default: return nullptr;
        }
    };
    auto next = [&]() -> void* {
        switch (nKind) {
        case kGenClassic: return m_pAddrUtil->m_pDataMgr->Next();
        case kGenExtended: return m_pAddrExUtil->m_pDataMgr->Next();
        case kGenDesktop6: return m_pAddrEx2Util->GetDataMgr()->Next();
        default: return nullptr;
        }
    };

    bool bAll = true;
    for (void* pReaderRecord = first(); pReaderRecord != nullptr; pReaderRecord = next()) {
        if ((StatusOf(nKind, pReaderRecord) & (kStatusDeleted | kStatusArchived)) != 0)
            continue;   // not listed; stays in the reader's list and is saved unchanged
        // The entry works on the reader's record itself: a second copy of
        // every contact would only have to be kept equal to it.
        auto* pEntry = new (std::nothrow) PalmEntry{};
        if (pEntry == nullptr) {
            bAll = false;
            continue;
        }
        pEntry->nKind = nKind;
        pEntry->pRecord = pReaderRecord;
        pEntry->pReaderRecord = pReaderRecord;

        CommAddrRecord comm;
        ZeroCommRecord(&comm);
        PalmToNeutral(nKind, pEntry->pRecord, &comm);
        comm.pAttached = pEntry;
        comm.nAttachedLen = sizeof(PalmEntry);
        comm.nSourceType = CST_PALM;
        comm.nStatus = StatusOf(nKind, pEntry->pRecord);

        pEntry->pSetRecord = m_pContacts->AddCopy(&comm);
        if (pEntry->pSetRecord == nullptr) {
            FreeEntry(pEntry);
            bAll = false;
            continue;
        }
        // The stored copy's block was copied before the entry knew its set
        // link: bring the copy up to date.
        if (pEntry->pSetRecord->pAttached != nullptr)
            std::memcpy(pEntry->pSetRecord->pAttached, pEntry, sizeof(PalmEntry));
        m_pEntries->AddTail(pEntry);
    }
    return bAll;
}

CommAddrMgr* PmAddrInfo::GetContactSet()
{
    return m_pContacts;
}

bool PmAddrInfo::IsLoaded() const
{
    return m_nLoadedGen == kGenClassic || m_nLoadedGen == kGenExtended || m_nLoadedGen == kGenDesktop6;
}

// ---- Adding and updating -----------------------------------------------------------------

bool PmAddrInfo::AddOrUpdate(const CommAddrRecord* pRecord)
{
    int32_t nPos = 0;
    CommAddrRecord* pMatch = nullptr;
    switch (m_pContacts->Classify(pRecord, &pMatch, &nPos)) {
    case CLASSIFY_NEW: return AddRecord(pRecord);
    case CLASSIFY_MODIFIED: return UpdateRecord(pRecord, nPos);
    default: return false;
    }
}

bool PmAddrInfo::AddRecord(const CommAddrRecord* pRecord)
{
    if (!IsLoaded() || pRecord == nullptr)
        return false;
    const int nKind = m_nLoadedGen;
    PalmEntry* pEntry = NewEntry(nKind);
    if (pEntry == nullptr)
        return false;
    NeutralToPalm(pRecord, pEntry, false);

    // Into the reader's list first: only a record the reader holds gets an
    // entry, so entries, contact set and reader stay in step on failure.
    bool bAppended = false;
    switch (nKind) {
    case kGenClassic: {
        PmAddrRecord* pRec = pEntry->Classic();
        pRec->nStatus |= kStatusAdded;
        pRec->nPosition = 0x7FFFFFFF;
        PmAddrDataMgr* pMgr = m_pAddrUtil->m_pDataMgr;
        bAppended = pMgr->Append(pRec);
        if (bAppended)
            pEntry->pReaderRecord = pMgr->GetAt(pMgr->Count() - 1);
        break;
    }
    case kGenExtended: {
        PmAddrExRecord* pRec = pEntry->Extended();
        PmAddrExDataMgr* pMgr = m_pAddrExUtil->m_pDataMgr;
        const int32_t n = pMgr->Count();
        pRec->nStatus |= kStatusAdded;
        pRec->nSequence = n + 4096;
        pRec->nField3 = n * 73;
        pRec->nPlacement = 0x7FFFFFFF;
        bAppended = pMgr->Append(pRec);
        if (bAppended)
            pEntry->pReaderRecord = pMgr->GetAt(pMgr->Count() - 1);
        break;
    }
    case kGenDesktop6: {
        PmAddrEx2Record* pRec = pEntry->Desktop6();
        pRec->Status |= kStatusAdded;
        pRec->Placement = 0x7FFFFFFF;
        // A record id of its own, so the row can never be confused with
        // another contact's; the row is written at once.
        bAppended = m_pAddrEx2Util->InsertNewRecord(pRec);
        PmAddrEx2DataMgr* pMgr = m_pAddrEx2Util->GetDataMgr();
        if (bAppended)
            bAppended = pMgr->Append(pRec);
        if (bAppended)
            pEntry->pReaderRecord = pMgr->GetAt(pMgr->Count() - 1);
        break;
    }
    default: break;
    }
    if (!bAppended || pEntry->pReaderRecord == nullptr) {
        FreeEntry(pEntry);
        return false;
    }
    // From here on the entry works on the reader's copy, as a loaded one does.
    DeleteRecord(nKind, pEntry->pRecord);
    pEntry->pRecord = pEntry->pReaderRecord;

    // The stored copy keeps the incoming fields as they are, and carries the
    // entry as its attached block like every other record of this set (an
    // incoming record may carry the other side's block).
    CommAddrRecord stored = *pRecord;
    stored.pAttached = pEntry;
    stored.nAttachedLen = sizeof(PalmEntry);
    pEntry->pSetRecord = m_pContacts->AddCopy(&stored);
    if (pEntry->pSetRecord == nullptr) {
        // The reader keeps the record (it is saved and listed after the next
        // load); the entries must stay parallel to the contact set.
        FreeEntry(pEntry);
        return false;
    }
    if (pEntry->pSetRecord->pAttached != nullptr)
        std::memcpy(pEntry->pSetRecord->pAttached, pEntry, sizeof(PalmEntry));
    m_pEntries->AddTail(pEntry);
    m_bUnsaved = true;
    return true;
}

bool PmAddrInfo::UpdateRecord(const CommAddrRecord* pRecord, int nPos)
{
    if (pRecord == nullptr || nPos < 0 || !IsLoaded())
        return false;
    auto* pEntry = static_cast<PalmEntry*>(m_pEntries->GetByIndex(static_cast<uint32_t>(nPos)));
    if (pEntry == nullptr)
        return false;

    NeutralToPalm(pRecord, pEntry, true);
    m_pContacts->MergeAt(pRecord, nPos);

    *StatusField(*pEntry) |= kStatusModified;
    if (pEntry->pReaderRecord != pEntry->pRecord)
        CopyRecord(pEntry->nKind, pEntry->pReaderRecord, pEntry->pRecord);
    m_bUnsaved = true;
    // Desktop 6: back into the row it was loaded from (a record added in
    // this run has its row too).
    if (pEntry->nKind == PalmEntry::kDesktop6)
        return m_pAddrEx2Util->RewriteRecord(static_cast<PmAddrEx2Record*>(pEntry->pReaderRecord));
    return true;
}

// ---- Saving and clearing -------------------------------------------------------------------

void PmAddrInfo::BeginSaveBatch()
{
    if (m_nLoadedGen == kGenDesktop6)
        m_pAddrEx2Util->BeginWriteBatch();
}

bool PmAddrInfo::SaveContacts()
{
    if ((m_nLoadedGen == kGenClassic || m_nLoadedGen == kGenExtended) && !m_bUnsaved)
        return true;   // nothing changed: the file stays as it is, bytes and time
    bool bOk = false;
    switch (m_nLoadedGen) {
    case kGenClassic: {
        // SaveFile sets the reader's file name while it runs: pass a copy.
        const std::string strPath = m_pAddrUtil->m_szFileName;
        bOk = m_pAddrUtil->SaveFile(strPath.c_str());
        m_LastFailure = bOk ? FailReason() : m_pAddrUtil->GetLastFailure();
        break;
    }
    case kGenExtended:
        bOk = m_pAddrExUtil->Save();
        m_LastFailure = bOk ? FailReason() : m_pAddrExUtil->GetLastFailure();
        break;
    case kGenDesktop6: bOk = m_pAddrEx2Util->SaveFile(); break;
    default:
        m_LastFailure = m_nLoadedGen == kGenFailed ? m_LastFailure : FailReason::Of(FailKind::Missing, "nothing is loaded");
        return false;
    }
    if (bOk)
        m_bUnsaved = false;
    else if (!m_LastFailure.IsSet())
        m_LastFailure = FailReason::Of(FailKind::WriteFailed);
    return bOk;
}

FailReason PmAddrInfo::GetWriteFailure() const
{
    if (m_nLoadedGen == kGenDesktop6 && m_pAddrEx2Util->GetAccessor() != nullptr &&
        m_pAddrEx2Util->GetAccessor()->GetLastFailure().IsSet())
        return m_pAddrEx2Util->GetAccessor()->GetLastFailure();
    return m_LastFailure;
}

void PmAddrInfo::ReleaseFile()
{
    ClearAll();
    m_pHold->Release();
}

void PmAddrInfo::ClearAll()
{
    m_nLoadedGen = kGenUnknown;
    m_bUnsaved = false;
    if (m_pAddrUtil->m_pDataMgr != nullptr)
        m_pAddrUtil->m_pDataMgr->Clear();
    if (m_pAddrExUtil->m_pDataMgr != nullptr)
        m_pAddrExUtil->m_pDataMgr->Clear();
    if (m_pAddrEx2Util->GetDataMgr() != nullptr)
        m_pAddrEx2Util->GetDataMgr()->Clear();
    ClearEntries();
}

void PmAddrInfo::ClearEntries()
{
    for (void* p = m_pEntries->GetFirst(); p != nullptr; p = m_pEntries->GetNext())
        FreeEntry(static_cast<PalmEntry*>(p));
    m_pEntries->RemoveAll(false);
    m_pContacts->ClearRecords();
}

void PmAddrInfo::FreeEntry(PalmEntry* pEntry)
{
    if (pEntry == nullptr)
        return;
    // The reader's record is the reader's.
    if (pEntry->pRecord != pEntry->pReaderRecord)
        DeleteRecord(pEntry->nKind, pEntry->pRecord);
    delete pEntry;
}

int PmAddrInfo::GetEntryCount() const
{
    return static_cast<int>(m_pEntries->GetCount());
}

const PalmEntry* PmAddrInfo::GetEntry(int nPos) const
{
    if (nPos < 0)
        return nullptr;
    return static_cast<const PalmEntry*>(m_pEntries->GetByIndex(static_cast<uint32_t>(nPos)));
}
