// WabRecord: one entry of the address book as the program holds it.
//
// Each text field is named after the MAPI string property (PT_STRING8) it
// holds and keeps 8-bit text of at most width - 1 characters, terminated.
// Members stand in their fixed order with their fixed widths. A record is
// zero-filled as a whole before it is filled (nState 0 "same", dates 0 "not
// set"). It is plain data: the neutral copy of an entry carries a byte copy of
// it, which shares lpEntryID and lpMailUser with the original and owns neither.
#pragma once

#include <cstdint>
#include <type_traits>

#include "platform/oletime/OleTime.h"
#include "platform/wab/WabApi.h"

struct WabRecord {
    char PR_DISPLAY_NAME[64];
    char PR_EMAIL_ADDRESS[64];
    char PR_GIVEN_NAME[32];
    char PR_MIDDLE_NAME[32];
    char PR_SURNAME[32];
    char PR_COMPANY_NAME[32];
    char PR_TITLE[32];
    char PR_DEPARTMENT_NAME[64];
    char PR_COMMENT[2048];
    char PR_CALLBACK_TELEPHONE_NUMBER[32];
    char PR_BUSINESS_TELEPHONE_NUMBER[32];
    char PR_HOME_TELEPHONE_NUMBER[32];
    char PR_PRIMARY_TELEPHONE_NUMBER[32];
    char PR_RADIO_TELEPHONE_NUMBER[32];
    char PR_MOBILE_TELEPHONE_NUMBER[32];
    char PR_CAR_TELEPHONE_NUMBER[32];
    char PR_OTHER_TELEPHONE_NUMBER[32];
    char PR_PAGER_TELEPHONE_NUMBER[32];
    char PR_PRIMARY_FAX_NUMBER[32];
    char PR_BUSINESS_FAX_NUMBER[32];
    char PR_HOME_FAX_NUMBER[32];
    FILETIME PR_BIRTHDAY;  // 0 when not set
    char PR_PERSONAL_HOME_PAGE[64];
    char PR_BUSINESS_HOME_PAGE[64];
    char PR_COUNTRY[32];  // business address
    char PR_STATE_OR_PROVINCE[32];
    char PR_LOCALITY[32];  // business city
    char PR_STREET_ADDRESS[256];
    char PR_POSTAL_CODE[16];
    char PR_HOME_ADDRESS_COUNTRY[32];
    char PR_HOME_ADDRESS_STATE_OR_PROVINCE[32];
    char PR_HOME_ADDRESS_CITY[32];
    char PR_HOME_ADDRESS_STREET[256];
    char PR_HOME_ADDRESS_POSTAL_CODE[16];
    char PR_OTHER_ADDRESS_COUNTRY[32];
    char PR_OTHER_ADDRESS_STATE_OR_PROVINCE[32];
    char PR_OTHER_ADDRESS_CITY[32];
    char PR_OTHER_ADDRESS_STREET[256];
    char PR_OTHER_ADDRESS_POSTAL_CODE[16];
    ULONG cbEntryID;      // length of lpEntryID, 0 for none
    LPENTRYID lpEntryID;  // owned (calloc) by the folder's record
    int32_t nState;       // RecordState: 0 same, 1 new, 2 modified
    char PR_ACCOUNT[32];
    char PR_GENERATION[16];
    char PR_GOVERNMENT_ID_NUMBER[32];
    char PR_INITIALS[16];
    char PR_KEYWORD[64];
    char PR_LANGUAGE[8];
    char PR_LOCATION[32];
    char PR_MHS_COMMON_NAME[32];
    char PR_ORGANIZATIONAL_ID_NUMBER[32];
    char PR_BUSINESS2_TELEPHONE_NUMBER[32];
    char PR_HOME2_TELEPHONE_NUMBER[32];
    char PR_ISDN_NUMBER[32];
    char PR_ASSISTANT_TELEPHONE_NUMBER[32];
    char PR_ASSISTANT[32];
    char PR_HOBBIES[128];
    char PR_PROFESSION[32];
    char PR_CUSTOMER_ID[32];
    char PR_FTP_SITE[256];
    char PR_MANAGER_NAME[32];
    char PR_NICKNAME[32];
    int16_t PR_GENDER;
    FILETIME PR_WEDDING_ANNIVERSARY;  // 0 when not set
    char PR_SPOUSE_NAME[32];
    char szChildrenNames[128];  // no property of its own
    char PR_COMPUTER_NETWORK_NAME[32];
    char szFolderName[32];  // the folder holding the entry
    IMailUser* lpMailUser;  // owned reference of the folder's record
};

static_assert(std::is_trivially_copyable_v<WabRecord> && std::is_standard_layout_v<WabRecord>,
              "a WabRecord is copied byte for byte into its neutral copy");
