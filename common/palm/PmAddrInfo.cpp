// PmAddrInfo: see PmAddrInfo.h.
//
// The conversion between the three Palm record layouts and the neutral record
// is driven by one table (kFieldMap): each row names a neutral field and the
// member that holds it in each generation's record, by byte offset and width.
// Phones go through a second table (kPhoneLabels) that maps the Palm phone
// label codes onto neutral fields, and the phone slot layout of each
// generation's record.
//
// What differs between the generations beyond that (record types, readers,
// files) is behind PmAddrGeneration: the facade holds one object per
// generation and asks the one of the loaded generation, or of an entry.
#include "common/palm/PmAddrInfo.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>
#include <span>
#include <string>
#include <type_traits>
#include <utility>

#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CutText.h"
#include "common/misc/CxDebugUtil.h"
#include "common/misc/CxFile.h"
#include "common/misc/CxList.h"
#include "common/misc/MemberAt.h"
#include "common/misc/RecordArena.h"
#include "common/palm/PalmEntry.h"
#include "common/palm/PmAddrEx2Record.h"
#include "common/palm/PmAddrEx2Util.h"
#include "common/palm/PmAddrExRecord.h"
#include "common/palm/PmAddrExUtil.h"
#include "common/palm/PmAddrGeneration.h"
#include "common/palm/PmAddrRecord.h"
#include "common/palm/PmAddrUtil.h"
#include "common/palm/PmDesktop.h"
#include "platform/fsutil/FsUtil.h"
#include "platform/oletime/OleTime.h"

namespace {

// ---- The field mapping ------------------------------------------------------

enum MapKind : uint8_t {
    kMapText,      // a text member
    kMapCategory,  // the category name member, and the category id member beside it
    kMapPrivate,   // the private flag (int32)
    kMapDate,      // a date value: 8 bytes = IEEE double, 4 bytes = int32
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
    PalmMember member[3];  // by generation: classic, extended, Desktop 6
};

#define VW_MEMBER(T, m)                                                                                     \
    PalmMember                                                                                              \
    {                                                                                                       \
        static_cast<int32_t>(offsetof(T, m)), static_cast<int32_t>(sizeof(std::declval<T&>().m)), -1, false \
    }
#define VW_TO_PALM(T, m)                                                                                   \
    PalmMember                                                                                             \
    {                                                                                                      \
        static_cast<int32_t>(offsetof(T, m)), static_cast<int32_t>(sizeof(std::declval<T&>().m)), -1, true \
    }
#define VW_CATEGORY(T, name, id)                                                                        \
    PalmMember                                                                                          \
    {                                                                                                   \
        static_cast<int32_t>(offsetof(T, name)), static_cast<int32_t>(sizeof(std::declval<T&>().name)), \
            static_cast<int32_t>(offsetof(T, id)), false                                                \
    }
#define C_(m) VW_MEMBER(PmAddrRecord, m)
#define E_(m) VW_MEMBER(PmAddrExRecord, m)
#define D_(m) VW_MEMBER(PmAddrEx2Record, m)
#define NONE \
    PalmMember { }

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
    {CF_CATEGORY,
     kMapCategory,
     {VW_CATEGORY(PmAddrRecord, szCategoryName, nCategoryId), VW_CATEGORY(PmAddrExRecord, szCategoryName, nCategoryId),
      VW_CATEGORY(PmAddrEx2Record, categoryName, Category)}},
    {CF_PRIVATE, kMapPrivate, {VW_TO_PALM(PmAddrRecord, nPrivate), VW_TO_PALM(PmAddrExRecord, nPrivate), NONE}},
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
    int32_t nToNeutral;   // 0: none
    int32_t nToPalm;      // 0: none
    int32_t nToPalmElse;  // used when nToPalm is empty; 0: none
};

constexpr PhoneLabelRow kPhoneLabels[] = {
    {CF_WORK_PHONE, CF_WORK_PHONE, 0},        // 0
    {CF_HOME_PHONE, CF_HOME_PHONE, 0},        // 1
    {CF_WORK_FAX, CF_WORK_FAX, CF_HOME_FAX},  // 2
    {CF_OTHER_PHONE, CF_OTHER_PHONE, 0},      // 3
    {CF_EMAIL, CF_EMAIL, 0},                  // 4
    {CF_PRIMARY_PHONE, CF_PRIMARY_PHONE, 0},  // 5
    {0, 0, 0},                                // 6
    {CF_MOBILE_PHONE, CF_MOBILE_PHONE, 0},    // 7
};
constexpr int kPhoneLabelCount = static_cast<int>(std::size(kPhoneLabels));

// OLE Automation dates the neutral record can hold: 1 January 100 up to the
// end of 31 December 9999.
constexpr double kMinOleDate = -657434.0;
constexpr double kMaxOleDate = 2958466.0;

// The field mapping's column for a generation: codes 1 to 3 are its columns
// 0 to 2, as PmAddrGeneration::All() lists them.
inline int MapColumn(PalmGeneration eGen)
{
    return static_cast<int>(eGen) - 1;
}

// The row of the category (there is one).
constexpr size_t kCategoryRow = [] {
    size_t nRow = 0;
    while (nRow < std::size(kFieldMap) && kFieldMap[nRow].kind != kMapCategory)
        ++nRow;
    return nRow;
}();
static_assert(kCategoryRow < std::size(kFieldMap));

using PhoneLayout = PmAddrGeneration::PhoneLayout;

// ---- Byte-level access ----------------------------------------------------------

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

// Writes an incoming text into a member, as CopyMember. An update leaves the
// member as it is when the incoming text is only the member's text cut short
// by a narrower field on its way: writing it would shorten the stored text.
void WriteIncomingText(char* pszMember, size_t nMemberWidth, const char* pszIncoming, size_t nIncomingWidth,
                       bool bUpdate)
{
    if (bUpdate &&
        IsCutCopy(pszIncoming, strnlen(pszIncoming, nIncomingWidth), pszMember, strnlen(pszMember, nMemberWidth)))
        return;
    CopyMember(pszMember, nMemberWidth, pszIncoming, nIncomingWidth);
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

// ---- Records and entries ----------------------------------------------------------

int32_t StatusOf(const PmAddrGeneration& gen, const void* pRecord)
{
    return *MemberAt<int32_t>(pRecord, gen.GetFacts().nStatusOffset);
}

void AddStatus(const PmAddrGeneration& gen, void* pRecord, int32_t nBits)
{
    *MemberAt<int32_t>(pRecord, gen.GetFacts().nStatusOffset) |= nBits;
}

// ---- Phone slots ------------------------------------------------------------------------

const char* SlotText(const PhoneLayout& phones, const void* pRecord, int nSlot)
{
    return MemberAt<char>(pRecord, phones.nTextOffset + nSlot * phones.nTextWidth);
}

char* SlotText(const PhoneLayout& phones, void* pRecord, int nSlot)
{
    return MemberAt<char>(pRecord, phones.nTextOffset + nSlot * phones.nTextWidth);
}

int32_t SlotLabel(const PhoneLayout& phones, const void* pRecord, int nSlot)
{
    return *MemberAt<int32_t>(pRecord, phones.nLabelOffset + nSlot * static_cast<int32_t>(sizeof(int32_t)));
}

void SetSlotLabel(const PhoneLayout& phones, void* pRecord, int nSlot, int32_t nLabel)
{
    *MemberAt<int32_t>(pRecord, phones.nLabelOffset + nSlot * static_cast<int32_t>(sizeof(int32_t))) = nLabel;
}

// The slot that holds a label: the one whose text the neutral record shows
// (when several slots of the label hold text, the last, as ReadPhones reads
// them), so that a change lands where it is read back from; when none holds
// text, the first slot with the label; -1 when no slot has it.
int SlotOfLabel(const PhoneLayout& phones, const void* pRecord, int32_t nLabel)
{
    int nFirst = -1;
    int nShown = -1;
    for (int nSlot = 0; nSlot < phones.nCount; ++nSlot) {
        if (SlotLabel(phones, pRecord, nSlot) != nLabel)
            continue;
        if (nFirst < 0)
            nFirst = nSlot;
        if (SlotText(phones, pRecord, nSlot)[0] != '\0')
            nShown = nSlot;
    }
    return nShown >= 0 ? nShown : nFirst;
}

// The first slot without text, or -1.
int FirstEmptySlot(const PhoneLayout& phones, const void* pRecord)
{
    for (int nSlot = 0; nSlot < phones.nCount; ++nSlot)
        if (SlotText(phones, pRecord, nSlot)[0] == '\0')
            return nSlot;
    return -1;
}

// ---- Palm to neutral ----------------------------------------------------------------

// The texts, the category name and the dates of the field mapping's column.
void ReadMappedFields(int nColumn, const void* pRecord, CommAddrRecord* pComm)
{
    for (const FieldMapRow& row : kFieldMap) {
        const PalmMember& member = row.member[nColumn];
        if (member.nOffset < 0 || member.bToPalmOnly)
            continue;
        switch (row.kind) {
        case kMapText:
        case kMapCategory:
            CopyMember(GetTextField(pComm, row.nFieldId), static_cast<size_t>(GetFieldWidth(row.nFieldId)),
                       MemberAt<char>(pRecord, member.nOffset), static_cast<size_t>(member.nWidth));
            break;
        case kMapDate: {
            double dPalm;
            if (member.nWidth == 8)
                dPalm = PmDBUtil::QuadToDouble(*MemberAt<uint64_t>(pRecord, member.nOffset));
            else
                dPalm = static_cast<double>(static_cast<uint32_t>(*MemberAt<int32_t>(pRecord, member.nOffset)));
            auto* pDate = static_cast<double*>(GetFieldAddress(pComm, row.nFieldId));
            *pDate = CheckedNeutralDate(dPalm - PmAddrInfo::DateConstant());
            break;
        }
        case kMapPrivate:
            break;  // not read back
        }
    }
}

// Phones: each non-empty slot fills the neutral field of its label; a later
// slot with the same label replaces an earlier one.
void ReadPhones(const PhoneLayout& phones, const void* pRecord, CommAddrRecord* pComm)
{
    for (int nSlot = 0; nSlot < phones.nCount; ++nSlot) {
        const char* pszText = SlotText(phones, pRecord, nSlot);
        const int32_t nLabel = SlotLabel(phones, pRecord, nSlot);
        if (pszText[0] == '\0' || nLabel < 0 || nLabel >= kPhoneLabelCount)
            continue;
        const int32_t nField = kPhoneLabels[nLabel].nToNeutral;
        if (nField == 0)
            continue;
        CopyMember(GetTextField(pComm, nField), static_cast<size_t>(GetFieldWidth(nField)), pszText,
                   static_cast<size_t>(phones.nTextWidth));
    }
}

void PalmToNeutral(const PmAddrGeneration& gen, const void* pRecord, CommAddrRecord* pComm)
{
    ReadMappedFields(MapColumn(gen.GetFacts().eGeneration), pRecord, pComm);
    ReadPhones(gen.GetFacts().phones, pRecord, pComm);
    pComm->nSourceType = CST_PALM;
}

// The neutral record of a reader's record as the contact set holds it:
// zero-filled, converted, with the record's status.
void ReaderRecordToNeutral(const PmAddrGeneration& gen, const void* pRecord, CommAddrRecord* pComm)
{
    ZeroCommRecord(pComm);
    PalmToNeutral(gen, pRecord, pComm);
    pComm->nStatus = StatusOf(gen, pRecord);
}

// Deleted and archived records are not listed: they stay in the reader's
// list and are saved unchanged.
bool IsListed(const PmAddrGeneration& gen, const void* pRecord)
{
    return (StatusOf(gen, pRecord) & (PmAddrInfo::kStatusDeleted | PmAddrInfo::kStatusArchived)) == 0;
}

// ---- Neutral to Palm --------------------------------------------------------------------
// A new record takes every value as the neutral record has it. An update
// keeps the Palm record's own values where the neutral record has nothing to
// say: an empty text, an unset date, a private flag of 0, and a text that is
// only the stored one cut short on its way.

// The neutral text a phone label takes to Palm: its field's, or its second
// field's when the first is empty. No text for a label without a field.
struct PhoneSource {
    const char* pszText = nullptr;
    size_t nWidth = 0;

    bool HasText() const { return pszText != nullptr && pszText[0] != '\0'; }
};

PhoneSource PhoneSourceOf(const CommAddrRecord* pComm, const PhoneLabelRow& label)
{
    PhoneSource source;
    if (label.nToPalm == 0)
        return source;
    int32_t nField = label.nToPalm;
    if (GetTextField(pComm, nField)[0] == '\0' && label.nToPalmElse != 0)
        nField = label.nToPalmElse;
    source.pszText = GetTextField(pComm, nField);
    source.nWidth = static_cast<size_t>(GetFieldWidth(nField));
    return source;
}

// One label's text into the slots: into the slot that holds the label; a
// label no slot holds yet takes the first empty slot (a label without text
// or field is given to it all the same); with every slot taken the text is
// dropped.
void WritePhoneLabel(const CommAddrRecord* pComm, int32_t nLabel, const PhoneLayout& phones, void* pRecord,
                     bool bUpdate)
{
    const PhoneLabelRow& label = kPhoneLabels[nLabel];
    const PhoneSource source = PhoneSourceOf(pComm, label);
    int nSlot = SlotOfLabel(phones, pRecord, nLabel);
    if (nSlot < 0 || !(source.HasText() || label.nToPalm == 0)) {
        nSlot = FirstEmptySlot(phones, pRecord);
        if (nSlot < 0)
            return;
        SetSlotLabel(phones, pRecord, nSlot, nLabel);
    }
    if (source.HasText())
        WriteIncomingText(SlotText(phones, pRecord, nSlot), static_cast<size_t>(phones.nTextWidth), source.pszText,
                          source.nWidth, bUpdate);
}

// Step 1: the phones, label by label in code order.
void WritePhones(const CommAddrRecord* pComm, const PhoneLayout& phones, void* pRecord, bool bUpdate)
{
    for (int32_t nLabel = 0; nLabel < kPhoneLabelCount; ++nLabel)
        WritePhoneLabel(pComm, nLabel, phones, pRecord, bUpdate);
}

void WriteTextMember(const CommAddrRecord* pComm, const FieldMapRow& row, const PalmMember& member, void* pRecord,
                     bool bUpdate)
{
    const char* pszIncoming = GetTextField(pComm, row.nFieldId);
    if (pszIncoming[0] == '\0')
        return;
    WriteIncomingText(MemberAt<char>(pRecord, member.nOffset), static_cast<size_t>(member.nWidth), pszIncoming,
                      static_cast<size_t>(GetFieldWidth(row.nFieldId)), bUpdate);
}

// The category name, up to its first comma (a neutral category may list
// several), into *pstrName and the member. False when the record keeps the
// category it has: no name came, or an update named the category the record
// already has (its id is then kept as it is).
bool WriteCategoryName(const CommAddrRecord* pComm, const FieldMapRow& row, const PalmMember& member, void* pRecord,
                       bool bUpdate, std::string* pstrName)
{
    const char* pszIncoming = GetTextField(pComm, row.nFieldId);
    if (pszIncoming[0] == '\0')
        return false;
    const char* pszComma = std::strchr(pszIncoming, ',');
    pstrName->assign(pszIncoming,
                     pszComma != nullptr ? static_cast<size_t>(pszComma - pszIncoming) : std::strlen(pszIncoming));
    char* pszMember = MemberAt<char>(pRecord, member.nOffset);
    const size_t nMemberWidth = static_cast<size_t>(member.nWidth);
    if (bUpdate && strnlen(pszMember, nMemberWidth) == pstrName->size() &&
        pstrName->compare(0, std::string::npos, pszMember, pstrName->size()) == 0)
        return false;
    CopyMember(pszMember, nMemberWidth, pstrName->c_str(), pstrName->size() + 1);
    return true;
}

void WritePrivateFlag(const CommAddrRecord* pComm, const PalmMember& member, void* pRecord, bool bUpdate)
{
    if (!bUpdate || pComm->nPrivate != 0)
        *MemberAt<int32_t>(pRecord, member.nOffset) = pComm->nPrivate;
}

void WriteDate(const CommAddrRecord* pComm, const FieldMapRow& row, const PalmMember& member, void* pRecord,
               bool bUpdate)
{
    const double dNeutral = CheckedNeutralDate(*static_cast<const double*>(GetFieldAddress(pComm, row.nFieldId)));
    if (bUpdate && dNeutral == 0.0)
        return;
    if (member.nWidth == 8)
        *MemberAt<uint64_t>(pRecord, member.nOffset) = PmDBUtil::DoubleToQuad(dNeutral + PmAddrInfo::DateConstant());
    else
        *MemberAt<int32_t>(pRecord, member.nOffset) =
            static_cast<int32_t>(std::trunc(dNeutral)) + PmAddrInfo::DateConstant();
}

// Steps 2 to 4: the texts, the category name, the private flag and the
// dates, row by row of the field mapping's column. True when the record was
// given the category name in *pstrCategory (WriteCategoryName).
bool WriteMappedFields(const CommAddrRecord* pComm, int nColumn, void* pRecord, bool bUpdate, std::string* pstrCategory)
{
    bool bCategoryNamed = false;
    for (const FieldMapRow& row : kFieldMap) {
        const PalmMember& member = row.member[nColumn];
        if (member.nOffset < 0)
            continue;
        switch (row.kind) {
        case kMapText:
            WriteTextMember(pComm, row, member, pRecord, bUpdate);
            break;
        case kMapCategory:
            bCategoryNamed = WriteCategoryName(pComm, row, member, pRecord, bUpdate, pstrCategory) || bCategoryNamed;
            break;
        case kMapPrivate:
            WritePrivateFlag(pComm, member, pRecord, bUpdate);
            break;
        case kMapDate:
            WriteDate(pComm, row, member, pRecord, bUpdate);
            break;
        }
    }
    return bCategoryNamed;
}

// Step 5: the category id for the category name, creating the category when
// it does not exist; -1 when it cannot be created. pszName is the full name
// the record was given (up to the comma), not the member's cut copy: a
// Desktop 6 category may be longer than the member holds; null for the name
// the member holds.
void WriteCategoryId(PmAddrGeneration& gen, int nColumn, void* pRecord, const char* pszName)
{
    const PalmMember& category = kFieldMap[kCategoryRow].member[nColumn];
    if (pszName == nullptr)
        pszName = MemberAt<char>(pRecord, category.nOffset);
    int32_t nId = 0;
    if (!gen.GetCategoryId(pszName, &nId) && pszName[0] != '\0')
        nId = -1;
    *MemberAt<int32_t>(pRecord, category.nIdOffset) = nId;
}

// Whether a load failed because the file cannot be had at all (missing, in
// use...), rather than because of what it holds: no other reader can do
// better with it.
bool IsFileLevel(FailKind eKind)
{
    return eKind == FailKind::Missing || eKind == FailKind::NotRegular || eKind == FailKind::Locked ||
           eKind == FailKind::PathTooLong || eKind == FailKind::Unreadable;
}

}  // namespace

// Writes the neutral record into the entry's record (see "Neutral to Palm"
// above). An update whose category is empty or the one the record already
// has keeps the record's category id, so that a category the list does not
// know (or knows under a longer name) is never replaced behind the user's
// back. Last, the generation derives what follows from the values written.
bool PmAddrInfo::NeutralToPalm(const CommAddrRecord* pComm, PalmEntry* pEntry, bool bUpdate)
{
    PmAddrGeneration* pGen = GenerationOf(pEntry->nKind);
    if (pGen == nullptr)
        return false;
    const int nColumn = MapColumn(pEntry->nKind);
    void* pRecord = pEntry->pRecord;

    WritePhones(pComm, pGen->GetFacts().phones, pRecord, bUpdate);
    std::string strCategory;
    const bool bCategoryNamed = WriteMappedFields(pComm, nColumn, pRecord, bUpdate, &strCategory);
    if (!bUpdate || bCategoryNamed)
        WriteCategoryId(*pGen, nColumn, pRecord, bCategoryNamed ? strCategory.c_str() : nullptr);
    pGen->CompleteRecord(pRecord);
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
    m_eExpectedGen = GenerationFromVersion(dwDesktopVersion);
    g_DebugUtil.Log(2, __FILE__, __LINE__, "Palm Desktop Version: %d", static_cast<int>(dwDesktopVersion));
    m_eLoadedGen = kGenUnknown;
    m_pAddrUtil = new PmAddrUtil();
    m_pAddrExUtil = new PmAddrExUtil();
    m_pAddrEx2Util = new PmAddrEx2Util();
    m_pEntries = new CxList();
    m_pContacts = new CommAddrMgr();
    m_pHold = new FileHold();
    m_pAddrUtil->ShareHold(m_pHold);
    m_pAddrExUtil->ShareHold(m_pHold);
    for (const PmAddrGeneration::Row& row : PmAddrGeneration::All())
        m_Generations.emplace_back(row.Create(row.facts, *this, m_pHold));
}

PmAddrInfo::~PmAddrInfo()
{
    ClearEntries();
    m_Generations.clear();
    delete m_pContacts;
    delete m_pEntries;
    delete m_pAddrEx2Util;
    delete m_pAddrExUtil;
    delete m_pAddrUtil;
    delete m_pHold;
    delete m_pVisited;
}

PalmGeneration PmAddrInfo::GenerationFromVersion(DWORD dwDesktopVersion)
{
    // The rows are oldest first: the last one the version has reached.
    PalmGeneration eGen = kGenUnknown;
    for (const PmAddrGeneration::Row& row : PmAddrGeneration::All())
        if (dwDesktopVersion >= row.facts.dwFirstVersion)
            eGen = row.facts.eGeneration;
    return eGen;
}

PmAddrGeneration* PmAddrInfo::GenerationOf(PalmGeneration eGen) const
{
    for (const std::unique_ptr<PmAddrGeneration>& pGen : m_Generations)
        if (pGen->GetFacts().eGeneration == eGen)
            return pGen.get();
    return nullptr;
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
    // The expected generation's file; an unknown version expects the
    // oldest generation's.
    const std::span<const PmAddrGeneration::Row> generations = PmAddrGeneration::All();
    const char* pszExpected = generations.front().facts.pszUserFile;
    for (const PmAddrGeneration::Row& row : generations)
        if (row.facts.eGeneration == m_eExpectedGen)
            pszExpected = row.facts.pszUserFile;
    // Folders copied from Windows come in any letter case.
    std::string strPath = ResolvePathCase(std::string(szFolder) + pszExpected);
    // A folder copied without its palm.exe says nothing of its version: a
    // user who has only another generation's file gets that file.
    for (size_t i = 0; i < generations.size() && CxFile::GetFileLength(strPath.c_str()) < 0; ++i) {
        if (std::strcmp(generations[i].facts.pszUserFile, pszExpected) == 0)
            continue;
        const std::string strOther = ResolvePathCase(std::string(szFolder) + generations[i].facts.pszUserFile);
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
    for (const std::unique_ptr<PmAddrGeneration>& pGen : m_Generations)
        pGen->SetSwapName(bSwap);
}

bool PmAddrInfo::LoadContacts(const char* pszPath)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return false;
    ClearAll();
    m_LastFailure.Clear();
    if (std::strlen(pszPath) >= MAX_PATH) {
        // A cut path would name another file.
        m_eLoadedGen = kGenFailed;
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

    PmAddrGeneration* pLoaded = LoadByExtension(pszPath, pszExt);
    m_eLoadedGen = pLoaded != nullptr ? pLoaded->GetFacts().eGeneration : kGenFailed;
    if (pLoaded == nullptr) {
        if (!m_LastFailure.IsSet())
            m_LastFailure = FailReason::Of(FailKind::Unreadable);
        m_pHold->Release();
        return false;
    }
    if (m_bBuildContactSet)
        BuildContactSet();
    return true;
}

PmAddrGeneration* PmAddrInfo::LoadByExtension(const char* pszPath, const char* pszExtension)
{
    // Newest first: the extended address.dat carries a signature that the
    // classic one lacks, so the classic reader is the last resort.
    int nTried = 0;
    FailReason damaged;
    for (auto it = m_Generations.rbegin(); it != m_Generations.rend(); ++it) {
        PmAddrGeneration& gen = **it;
        if (!EqualsIgnoringCase(pszExtension, gen.GetFacts().pszExtension))
            continue;
        if (gen.Load(pszPath))
            return &gen;
        ++nTried;
        m_LastFailure = gen.GetLoadFailure();
        if (m_LastFailure.eKind == FailKind::Damaged && !damaged.IsSet())
            damaged = m_LastFailure;
        if (IsFileLevel(m_LastFailure.eKind))
            break;  // not tried a second time with another reader
    }
    if (nTried == 0) {
        m_LastFailure = FailReason::Of(FailKind::WrongKind, "not a Palm Desktop data file (.dat or .mdb)");
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not load Palm Desktop Contacts: %s (%s)", pszPath,
                        FailReasonText(m_LastFailure).c_str());
        return nullptr;
    }
    // The reader that knew the file says what is wrong with it; when several
    // readers each took it for something else, it is not an address file at
    // all, and is named for what it is.
    if (damaged.IsSet())
        m_LastFailure = damaged;
    if (nTried > 1 && m_LastFailure.eKind == FailKind::WrongKind && m_LastFailure.strDetail != "an empty file") {
        const std::string content = DescribeContent(ResolvePathCase(pszPath));
        m_LastFailure.strDetail = content == "unknown data" ? std::string("not a Palm Desktop address file")
                                                            : content + ", not a Palm Desktop address file";
    }
    return nullptr;
}

void PmAddrInfo::SetBuildContactSet(bool bBuild)
{
    m_bBuildContactSet = bBuild;
}

CommAddrRecord* PmAddrInfo::NextLoadedContact(bool bFirst)
{
    PmAddrGeneration* pGen = GenerationOf(m_eLoadedGen);
    if (pGen == nullptr)
        return nullptr;
    if (m_pVisited == nullptr) {
        m_pVisited = new (std::nothrow) CommAddrRecord;
        if (m_pVisited == nullptr)
            return nullptr;
    }
    for (void* pReaderRecord = bFirst ? pGen->First() : pGen->Next(); pReaderRecord != nullptr;
         pReaderRecord = pGen->Next()) {
        if (!IsListed(*pGen, pReaderRecord))
            continue;
        ReaderRecordToNeutral(*pGen, pReaderRecord, m_pVisited);
        return m_pVisited;
    }
    return nullptr;
}

bool PmAddrInfo::BuildContactSet()
{
    PmAddrGeneration* pGen = GenerationOf(m_eLoadedGen);
    if (pGen == nullptr)
        return true;
    bool bAll = true;
    for (void* pReaderRecord = pGen->First(); pReaderRecord != nullptr; pReaderRecord = pGen->Next()) {
        if (!IsListed(*pGen, pReaderRecord))
            continue;
        // The entry works on the reader's record itself: a second copy of
        // every contact would only have to be kept equal to it.
        PalmEntry* pEntry = TakeEntry();
        if (pEntry == nullptr) {
            bAll = false;
            continue;
        }
        pEntry->nKind = m_eLoadedGen;
        pEntry->pRecord = pReaderRecord;
        pEntry->pReaderRecord = pReaderRecord;

        // The stored copy's attached block is the entry itself, which lives
        // as long as the set's copies (both go with ClearEntries): a
        // duplicate would only have to be kept equal to it.
        CommAddrRecord comm;
        ReaderRecordToNeutral(*pGen, pEntry->pRecord, &comm);
        comm.pAttached = pEntry;
        comm.nAttachedLen = sizeof(PalmEntry);

        pEntry->pSetRecord = m_pContacts->AddCopySharingBlock(&comm);
        if (pEntry->pSetRecord == nullptr) {
            FreeEntry(pEntry);
            bAll = false;
            continue;
        }
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
    return GenerationOf(m_eLoadedGen) != nullptr;
}

// ---- Adding and updating -----------------------------------------------------------------

bool PmAddrInfo::AddOrUpdate(const CommAddrRecord* pRecord)
{
    int32_t nPos = 0;
    CommAddrRecord* pMatch = nullptr;
    switch (m_pContacts->Classify(pRecord, &pMatch, &nPos)) {
    case CLASSIFY_NEW:
        return AddRecord(pRecord);
    case CLASSIFY_MODIFIED:
        return UpdateRecord(pRecord, nPos);
    default:
        return false;
    }
}

bool PmAddrInfo::AddRecord(const CommAddrRecord* pRecord)
{
    if (!IsLoaded() || pRecord == nullptr)
        return false;
    PmAddrGeneration& gen = *GenerationOf(m_eLoadedGen);
    PalmEntry* pEntry = NewEntry(gen);
    if (pEntry == nullptr)
        return false;
    NeutralToPalm(pRecord, pEntry, false);

    // Into the reader's list first: only a record the reader holds gets an
    // entry, so entries, contact set and reader stay in step on failure.
    AddStatus(gen, pEntry->pRecord, kStatusAdded);
    pEntry->pReaderRecord = gen.Append(pEntry->pRecord);
    if (pEntry->pReaderRecord == nullptr) {
        FreeEntry(pEntry);
        m_bWrittenLost = true;  // a reader may have taken part of it
        return false;
    }
    // From here on the entry works on the reader's copy, as a loaded one does.
    gen.DeleteRecord(pEntry->pRecord);
    pEntry->pRecord = pEntry->pReaderRecord;

    // The stored copy keeps the incoming fields as they are, and carries the
    // entry as its attached block like every other record of this set (an
    // incoming record may carry the other side's block).
    CommAddrRecord stored = *pRecord;
    stored.pAttached = pEntry;
    stored.nAttachedLen = sizeof(PalmEntry);
    pEntry->pSetRecord = m_pContacts->AddCopySharingBlock(&stored);
    if (pEntry->pSetRecord == nullptr) {
        // The reader keeps the record (it is saved and listed after the next
        // load); the entries must stay parallel to the contact set.
        FreeEntry(pEntry);
        m_bWrittenLost = true;
        return false;
    }
    m_pEntries->AddTail(pEntry);
    m_bUnsaved = true;
    NoteWritten(m_pContacts->GetCount() - 1);
    return true;
}

bool PmAddrInfo::UpdateRecord(const CommAddrRecord* pRecord, int nPos)
{
    if (pRecord == nullptr || nPos < 0 || !IsLoaded())
        return false;
    auto* pEntry = static_cast<PalmEntry*>(m_pEntries->GetByIndex(static_cast<uint32_t>(nPos)));
    PmAddrGeneration* pGen = pEntry != nullptr ? GenerationOf(pEntry->nKind) : nullptr;
    if (pGen == nullptr)
        return false;

    NeutralToPalm(pRecord, pEntry, true);
    m_pContacts->MergeAt(pRecord, nPos);

    AddStatus(*pGen, pEntry->pRecord, kStatusModified);
    if (pEntry->pReaderRecord != pEntry->pRecord)
        pGen->CopyRecord(pEntry->pReaderRecord, pEntry->pRecord);
    m_bUnsaved = true;
    NoteWritten(nPos);
    // Desktop 6: back into the row it was loaded from (a record added in
    // this run has its row too); the .dat files wait for SaveContacts.
    const bool bWritten = pGen->WriteBack(pEntry->pReaderRecord);
    if (!bWritten)
        m_bWrittenLost = true;  // the record in memory is not the row in the file
    return bWritten;
}

void PmAddrInfo::NoteWritten(int32_t nPos)
{
    try {
        m_Written.push_back(nPos);
    } catch (const std::bad_alloc&) {
        m_bWrittenLost = true;
    }
}

bool PmAddrInfo::RefreshSavedRecords()
{
    PmAddrGeneration* pGen = GenerationOf(m_eLoadedGen);
    bool bOk = pGen != nullptr && !m_bUnsaved && !m_bWrittenLost &&
               static_cast<int32_t>(m_pEntries->GetCount()) == m_pContacts->GetCount();
    if (bOk && !m_Written.empty()) {
        try {
            std::vector<bool> written(static_cast<size_t>(m_pContacts->GetCount()), false);
            for (int32_t nPos : m_Written) {
                if (nPos < 0 || static_cast<size_t>(nPos) >= written.size())
                    bOk = false;
                else
                    written[static_cast<size_t>(nPos)] = true;
            }
            // Each copy as BuildContactSet makes it from the reader's record.
            CommAddrRecord comm;
            int32_t nPos = 0;
            for (void* p = m_pEntries->GetFirst(); p != nullptr && bOk; p = m_pEntries->GetNext(), ++nPos) {
                if (!written[static_cast<size_t>(nPos)])
                    continue;
                const auto* pEntry = static_cast<const PalmEntry*>(p);
                PmAddrGeneration* pEntryGen = GenerationOf(pEntry->nKind);
                bOk = pEntryGen != nullptr && pEntry->pRecord == pEntry->pReaderRecord;
                if (!bOk)
                    break;
                pEntryGen->ReadBack(pEntry->pReaderRecord);
                ReaderRecordToNeutral(*pEntryGen, pEntry->pRecord, &comm);
                bOk = m_pContacts->ReplaceFieldsAt(&comm, nPos);
            }
        } catch (const std::bad_alloc&) {
            bOk = false;
        }
    }
    if (bOk)
        m_Written.clear();
    return bOk;
}

// ---- Saving and clearing -------------------------------------------------------------------

void PmAddrInfo::BeginSaveBatch()
{
    if (PmAddrGeneration* pGen = GenerationOf(m_eLoadedGen))
        pGen->BeginWriteBatch();
}

bool PmAddrInfo::SaveContacts()
{
    PmAddrGeneration* pGen = GenerationOf(m_eLoadedGen);
    if (pGen == nullptr) {
        if (m_eLoadedGen != kGenFailed)
            m_LastFailure = FailReason::Of(FailKind::Missing, "nothing is loaded");
        return false;
    }
    if (pGen->GetFacts().bWholeFile && !m_bUnsaved)
        return true;  // nothing changed: the file stays as it is, bytes and time
    const bool bOk = pGen->Save(&m_LastFailure);
    if (bOk)
        m_bUnsaved = false;
    else if (!m_LastFailure.IsSet())
        m_LastFailure = FailReason::Of(FailKind::WriteFailed);
    return bOk;
}

FailReason PmAddrInfo::GetWriteFailure() const
{
    if (const PmAddrGeneration* pGen = GenerationOf(m_eLoadedGen)) {
        FailReason write = pGen->GetWriteFailure();
        if (write.IsSet())
            return write;
    }
    return m_LastFailure;
}

void PmAddrInfo::ReleaseFile()
{
    ClearAll();
    m_pHold->Release();
}

void PmAddrInfo::ClearAll()
{
    m_eLoadedGen = kGenUnknown;
    m_bUnsaved = false;
    for (const std::unique_ptr<PmAddrGeneration>& pGen : m_Generations)
        pGen->ClearList();
    ClearEntries();
}

void PmAddrInfo::ClearEntries()
{
    for (void* p = m_pEntries->GetFirst(); p != nullptr; p = m_pEntries->GetNext())
        FreeEntry(static_cast<PalmEntry*>(p));
    m_pEntries->RemoveAll(false);
    m_pContacts->ClearRecords();
    m_pEntryMemory.reset();
    m_Written.clear();
    m_bWrittenLost = false;
}

PalmEntry* PmAddrInfo::TakeEntry()
{
    static_assert(std::is_trivially_copyable_v<PalmEntry> && alignof(PalmEntry) <= alignof(std::max_align_t));
    if (m_pEntryMemory == nullptr) {
        m_pEntryMemory.reset(new (std::nothrow) RecordArena(sizeof(PalmEntry)));
        if (m_pEntryMemory == nullptr)
            return nullptr;
    }
    void* pSlot = m_pEntryMemory->TakeZeroed();
    return pSlot != nullptr ? new (pSlot) PalmEntry{} : nullptr;
}

PalmEntry* PmAddrInfo::NewEntry(const PmAddrGeneration& gen)
{
    PalmEntry* pEntry = TakeEntry();
    if (pEntry == nullptr)
        return nullptr;
    pEntry->nKind = gen.GetFacts().eGeneration;
    pEntry->pRecord = gen.NewRecord();
    if (pEntry->pRecord == nullptr) {
        FreeEntry(pEntry);
        return nullptr;
    }
    return pEntry;
}

void PmAddrInfo::FreeEntry(PalmEntry* pEntry)
{
    if (pEntry == nullptr)
        return;
    // The reader's record is the reader's.
    if (pEntry->pRecord != nullptr && pEntry->pRecord != pEntry->pReaderRecord) {
        if (const PmAddrGeneration* pGen = GenerationOf(pEntry->nKind))
            pGen->DeleteRecord(pEntry->pRecord);
    }
    // Only an entry that was never listed is the last one taken; a listed
    // one's memory goes with the others in ClearEntries.
    if (m_pEntryMemory != nullptr)
        m_pEntryMemory->GiveBack(pEntry);
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
