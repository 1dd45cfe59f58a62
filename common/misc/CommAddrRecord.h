// CommAddrRecord: the neutral contact record every contact crosses between
// the two address books in, and the field catalog that names its fields.
//
// The record is a flat block of fixed-width fields. Each field has an id from
// 1 to 90 (the CF_ constants below); the catalog gives each id its display
// name, its type and its width in bytes. Generic code addresses a field by id
// through the catalog (GetFieldAddress, GetTextField, SetTextField) and never
// needs to know member names.
//
// Conventions:
//  - A text field holds 8-bit text in the system's ANSI code page, at most
//    width - 1 characters and a terminator. Every writer cuts to width - 1
//    and terminates (CopyTextField does exactly that).
//  - A record is zero-filled as a whole before anyone fills it
//    (ZeroCommRecord), so an untouched field reads as empty text, 0 or 0.0.
//  - A date-time field is an OLE Automation date (double); 0.0 is "not set",
//    which reads as 30 December 1899, 00:00:00.
//  - An integer field is a signed 32-bit integer.
//
// The attached block: a record may carry a copy of the source-side record it
// was made from (pAttached, nAttachedLen; both 0 when there is none). The
// record never interprets it. A record does NOT own its block, except a
// stored copy inside a CommAddrMgr: the set duplicates the block with malloc
// when it stores the record and frees it with the record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Field ids. The id is the field's name everywhere: in the catalog, the
// key and compare lists of the contact set, and the column tables.
enum CommFieldId : int32_t {
    CF_FIRST_NAME = 1,
    CF_MIDDLE_NAME = 2,
    CF_LAST_NAME = 3,
    CF_PREFIX = 4,
    CF_SUFFIX = 5,
    CF_NICK_NAME = 6,
    CF_DISPLAY_NAME = 7,
    CF_GENDER = 8,
    CF_WORK_STREET = 9,
    CF_WORK_CITY = 10,
    CF_WORK_STATE = 11,
    CF_WORK_POSTAL = 12,
    CF_WORK_COUNTRY = 13,
    CF_HOME_STREET = 14,
    CF_HOME_CITY = 15,
    CF_HOME_STATE = 16,
    CF_HOME_POSTAL = 17,
    CF_HOME_COUNTRY = 18,
    CF_OTHER_STREET = 19,
    CF_OTHER_CITY = 20,
    CF_OTHER_STATE = 21,
    CF_OTHER_POSTAL = 22,
    CF_OTHER_COUNTRY = 23,
    CF_HOME_PHONE = 24,
    CF_WORK_PHONE = 25,
    CF_MOBILE_PHONE = 26,
    CF_OTHER_PHONE = 27,
    CF_PRIMARY_PHONE = 28,
    CF_CALLBACK_PHONE = 29,
    CF_CAR_PHONE = 30,
    CF_RADIO_PHONE = 31,
    CF_WORK_PHONE2 = 32,
    CF_HOME_PHONE2 = 33,
    CF_WORK_FAX = 34,
    CF_HOME_FAX = 35,
    CF_PAGER = 36,
    CF_EMAIL = 37,
    CF_EMAIL2 = 38,
    CF_EMAIL3 = 39,
    CF_PERSONAL_HOME_PAGE = 40,
    CF_WORK_HOME_PAGE = 41,
    CF_FTP_SITE = 42,
    CF_NOTE = 43,
    CF_CUSTOM1 = 44,  // Custom i is CF_CUSTOM1 + i - 1, up to 52
    CF_CUSTOM9 = 52,
    CF_COMPANY = 53,
    CF_DEPARTMENT = 54,
    CF_TITLE = 55,
    CF_IM1 = 56,
    CF_IM2 = 57,
    CF_MANAGER_NAME = 58,
    CF_ASSISTANT_NAME = 59,
    CF_ASSISTANT_PHONE = 60,
    CF_SPOUSE_NAME = 61,
    CF_CHILDREN_NAMES = 62,
    CF_PROFESSION = 63,
    CF_HOBBY = 64,
    CF_ACCOUNT = 65,
    CF_ANNIVERSARY = 66,
    CF_BIRTHDAY = 67,
    CF_KEYWORD = 68,
    CF_LANGUAGE = 69,
    CF_LOCATION = 70,
    CF_MHS_COMMON_NAME = 71,
    CF_CUSTOMER_ID = 72,
    CF_GOVERNMENT_ID = 73,
    CF_ORGANIZATION_ID = 74,
    CF_CATEGORY = 75,
    CF_CREATION_TIME = 76,
    CF_LAST_MODIFICATION_TIME = 77,
    CF_SOURCE_TYPE = 78,
    CF_STATUS = 79,
    CF_ID = 80,
    CF_PRIVATE = 81,
    CF_CUSTOM_LABEL1 = 82,  // Custom Label i is CF_CUSTOM_LABEL1 + i - 1, up to 90
    CF_CUSTOM_LABEL9 = 90,
};

// Number of fields in the catalog; ids run from 1 to COMM_FIELD_COUNT.
constexpr int32_t COMM_FIELD_COUNT = 90;
// Number of custom fields (and of custom labels).
constexpr int32_t COMM_CUSTOM_COUNT = 9;

// Type codes of CommField::type.
enum CommFieldType : int32_t {
    CFT_TEXT = 1,      // zero-terminated 8-bit text
    CFT_GENDER = 4,    // gender code, 32-bit signed
    CFT_INTEGER = 5,   // 32-bit signed
    CFT_DATETIME = 6,  // OLE Automation date, double
};

// Codes of field 78 "Source Type": the kind of address book a record came
// from. FieldToText shows them by their labels.
enum CommSourceType : int32_t {
    CST_PALM = 1,     // "Palm"
    CST_PALM_EX = 2,  // "Palm(4.1.2 and aboves)"
    CST_OUTLOOK = 3,  // "Outlook"
    CST_WAB = 4,      // "Windows Address Book"
    CST_MSN = 5,
    CST_ICQ = 6,
    CST_YAHOO = 7,
    CST_GOOGLE = 8,
    CST_DOMINO = 9,
    CST_ENDORA = 10,
    CST_CSV = 11,
    CST_XML = 12,
    CST_VCARD = 13,
    CST_DATABASE = 14,
    CST_OSTRELLE = 15,
};

// The neutral contact record. Members stand in their fixed order with their
// fixed widths (checked at compile time against the catalog); comments give
// the field id.
struct CommAddrRecord {
    char szFirstName[32];           // 1
    char szLastName[32];            // 3
    char szMiddleName[32];          // 2
    char szPrefix[32];              // 4
    char szSuffix[32];              // 5
    char szNickName[32];            // 6
    char szDisplayName[32];         // 7
    int32_t nGender;                // 8
    char szWorkStreet[256];         // 9
    char szWorkCity[32];            // 10
    char szWorkState[32];           // 11
    char szWorkPostal[16];          // 12
    char szWorkCountry[32];         // 13
    char szHomeStreet[256];         // 14
    char szHomeCity[32];            // 15
    char szHomeState[32];           // 16
    char szHomePostal[16];          // 17
    char szHomeCountry[32];         // 18
    char szOtherStreet[256];        // 19
    char szOtherCity[32];           // 20
    char szOtherState[32];          // 21
    char szOtherPostal[16];         // 22
    char szOtherCountry[32];        // 23
    char szHomePhone[24];           // 24
    char szWorkPhone[24];           // 25
    char szMobilePhone[24];         // 26
    char szPrimaryPhone[24];        // 28
    char szOtherPhone[24];          // 27
    char szCallbackPhone[24];       // 29
    char szRadioPhone[24];          // 31
    char szCarPhone[24];            // 30
    char szWorkPhone2[24];          // 32
    char szHomePhone2[24];          // 33
    char szWorkFax[24];             // 34
    char szHomeFax[24];             // 35
    char szPager[24];               // 36
    char szEmail[64];               // 37
    char szEmail2[64];              // 38
    char szEmail3[64];              // 39
    char szWorkHomePage[256];       // 41
    char szPersonalHomePage[256];   // 40
    char szFtpSite[256];            // 42
    char szNote[8192];              // 43
    char szCustom[9][64];           // 44-52: szCustom[i] is Custom i+1
    char szCompany[64];             // 53
    char szTitle[32];               // 55
    char szDepartment[32];          // 54
    char szIM1[32];                 // 56
    char szIM2[32];                 // 57
    char szManagerName[32];         // 58
    char szAssistantName[32];       // 59
    char szAssistantPhone[24];      // 60
    char szSpouseName[32];          // 61
    char szChildrenNames[32];       // 62
    char szProfession[64];          // 63
    char szHobby[64];               // 64
    char szAccount[32];             // 65
    double dtBirthday;              // 67
    double dtAnniversary;           // 66
    char szKeyword[64];             // 68
    char szLanguage[64];            // 69
    char szLocation[64];            // 70
    char szMHSCommonName[32];       // 71
    char szCustomerID[32];          // 72
    char szGovernmentID[32];        // 73
    char szOrganizationID[32];      // 74
    char szCategory[256];           // 75
    double dtCreationTime;          // 76
    double dtLastModificationTime;  // 77
    int32_t nSourceType;            // 78, a CommSourceType code
    int32_t nStatus;                // 79, a RecordState (CommAddrMgr.h)
    char szID[64];                  // 80
    int32_t nPrivate;               // 81
    char szCustomLabel[9][64];      // 82-90: label of szCustom[i]
    void* pAttached;                // attached source-side record, or null
    uint32_t nAttachedLen;          // its length in bytes, 0 when none
};

// Fills the whole record with zero bytes (every field empty, 0 or 0.0, no
// attached block). Does not free an attached block.
void ZeroCommRecord(CommAddrRecord* pRecord);

// One catalog row.
struct CommField {
    int32_t id;     // 1 to 90
    char name[32];  // display name, e.g. "Personal Home Page"
    int32_t type;   // a CommFieldType code
    int32_t size;   // the field's width in bytes
};

// The constant catalog: one row per id 1 to 90, ids unique. Rows stand in id
// order except that 41 comes before 40, 55 before 54 and 67 before 66; no
// caller depends on the row order, every lookup is by id.
extern const std::array<CommField, COMM_FIELD_COUNT> g_CommFieldCatalog;

// Copies the catalog row of nId into *pField and returns true. Returns false
// when pField is null or no row has that id.
bool LookupField(int32_t nId, CommField* pField);

// Writes the field of pRecord whose id is pField->id into pszBuf as
// zero-terminated text of at most nLen - 1 characters. pField normally comes
// from LookupField.
//  - Refuses (false, pszBuf untouched) a null argument, nLen 0, or nLen
//    smaller than pField->size.
//  - Text fields: the text, true.
//  - Date-time fields: "MM/DD/YYYY HH:MM:SS" (0.0 reads 12/30/1899 00:00:00),
//    true.
//  - Source Type: the label of the code, true; a code outside 1-15 gives an
//    empty text and false.
//  - Gender: an empty text and true.
//  - Status, Private and ids outside 1-90: an empty text and false.
bool FieldToText(const CommAddrRecord* pRecord, const CommField* pField, char* pszBuf, uint32_t nLen);

// The label of a Source Type code ("Palm" ... "Ostrelle"), or null for a code
// outside 1-15.
const char* SourceTypeLabel(int32_t nSourceType);

// Field access by id. The address (or null for an id outside 1-90) of the
// field nId inside pRecord; the catalog tells its type and width.
void* GetFieldAddress(CommAddrRecord* pRecord, int32_t nId);
const void* GetFieldAddress(const CommAddrRecord* pRecord, int32_t nId);

// The text field nId of pRecord, or null when pRecord is null or nId is not a
// text field.
char* GetTextField(CommAddrRecord* pRecord, int32_t nId);
const char* GetTextField(const CommAddrRecord* pRecord, int32_t nId);

// Width in bytes of the field nId, 0 for an id outside 1-90.
int32_t GetFieldWidth(int32_t nId);

// Copies pszText into the text field nId of pRecord, cut to width - 1
// characters and terminated. A null pszText stores an empty text. Returns
// false (nothing written) when pRecord is null or nId is not a text field.
bool SetTextField(CommAddrRecord* pRecord, int32_t nId, const char* pszText);

// Copies pszSrc into the nWidth-byte buffer pszDest, cut to nWidth - 1
// characters, and terminates it. A null pszSrc stores an empty text; nWidth 0
// writes nothing. Returns the number of characters copied.
size_t CopyTextField(char* pszDest, size_t nWidth, const char* pszSrc);

template <size_t N>
inline size_t CopyTextField(char (&szDest)[N], const char* pszSrc)
{
    return CopyTextField(szDest, N, pszSrc);
}
