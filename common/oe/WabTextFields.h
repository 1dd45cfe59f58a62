// The text properties a WabRecord holds: each PT_STRING8 tag with the field
// of WabRecord that carries it. The table is in the order the writer sets the
// properties on an entry; the field mapping looks tags up in it.
#pragma once

#include <array>
#include <cstddef>

#include "common/oe/WabRecord.h"
#include "platform/wab/MapiTags.h"

namespace wabtext {

// A text field of WabRecord: its offset and width in bytes.
struct WabField {
    size_t nOffset;
    size_t nWidth;
};

#define WAB_FIELD(member)                                      \
    ::wabtext::WabField                                        \
    {                                                          \
        offsetof(WabRecord, member), sizeof(WabRecord::member) \
    }

// One PT_STRING8 property and the field holding its text.
struct WabTextField {
    ULONG ulTag;
    WabField field;
};

#define WAB_TEXT(name)        \
    WabTextField              \
    {                         \
        name, WAB_FIELD(name) \
    }

// The 60 text properties, in write order.
inline constexpr std::array<WabTextField, 60> kTextFields = {{
    WAB_TEXT(PR_DISPLAY_NAME),
    WAB_TEXT(PR_EMAIL_ADDRESS),
    WAB_TEXT(PR_SURNAME),
    WAB_TEXT(PR_MIDDLE_NAME),
    WAB_TEXT(PR_GIVEN_NAME),
    WAB_TEXT(PR_COMPANY_NAME),
    WAB_TEXT(PR_TITLE),
    WAB_TEXT(PR_DEPARTMENT_NAME),
    WAB_TEXT(PR_COMMENT),
    WAB_TEXT(PR_CALLBACK_TELEPHONE_NUMBER),
    WAB_TEXT(PR_BUSINESS_TELEPHONE_NUMBER),
    WAB_TEXT(PR_HOME_TELEPHONE_NUMBER),
    WAB_TEXT(PR_PRIMARY_TELEPHONE_NUMBER),
    WAB_TEXT(PR_RADIO_TELEPHONE_NUMBER),
    WAB_TEXT(PR_MOBILE_TELEPHONE_NUMBER),
    WAB_TEXT(PR_CAR_TELEPHONE_NUMBER),
    WAB_TEXT(PR_OTHER_TELEPHONE_NUMBER),
    WAB_TEXT(PR_PAGER_TELEPHONE_NUMBER),
    WAB_TEXT(PR_PRIMARY_FAX_NUMBER),
    WAB_TEXT(PR_BUSINESS_FAX_NUMBER),
    WAB_TEXT(PR_HOME_FAX_NUMBER),
    WAB_TEXT(PR_PERSONAL_HOME_PAGE),
    WAB_TEXT(PR_BUSINESS_HOME_PAGE),
    WAB_TEXT(PR_COUNTRY),
    WAB_TEXT(PR_STATE_OR_PROVINCE),
    WAB_TEXT(PR_LOCALITY),
    WAB_TEXT(PR_STREET_ADDRESS),
    WAB_TEXT(PR_POSTAL_CODE),
    WAB_TEXT(PR_HOME_ADDRESS_COUNTRY),
    WAB_TEXT(PR_HOME_ADDRESS_STATE_OR_PROVINCE),
    WAB_TEXT(PR_HOME_ADDRESS_CITY),
    WAB_TEXT(PR_HOME_ADDRESS_STREET),
    WAB_TEXT(PR_HOME_ADDRESS_POSTAL_CODE),
    WAB_TEXT(PR_OTHER_ADDRESS_COUNTRY),
    WAB_TEXT(PR_OTHER_ADDRESS_STATE_OR_PROVINCE),
    WAB_TEXT(PR_OTHER_ADDRESS_CITY),
    WAB_TEXT(PR_OTHER_ADDRESS_STREET),
    WAB_TEXT(PR_OTHER_ADDRESS_POSTAL_CODE),
    WAB_TEXT(PR_ACCOUNT),
    WAB_TEXT(PR_GENERATION),
    WAB_TEXT(PR_GOVERNMENT_ID_NUMBER),
    WAB_TEXT(PR_INITIALS),
    WAB_TEXT(PR_KEYWORD),
    WAB_TEXT(PR_LANGUAGE),
    WAB_TEXT(PR_LOCATION),
    WAB_TEXT(PR_MHS_COMMON_NAME),
    WAB_TEXT(PR_ORGANIZATIONAL_ID_NUMBER),
    WAB_TEXT(PR_BUSINESS2_TELEPHONE_NUMBER),
    WAB_TEXT(PR_HOME2_TELEPHONE_NUMBER),
    WAB_TEXT(PR_ISDN_NUMBER),
    WAB_TEXT(PR_ASSISTANT_TELEPHONE_NUMBER),
    WAB_TEXT(PR_ASSISTANT),
    WAB_TEXT(PR_HOBBIES),
    WAB_TEXT(PR_PROFESSION),
    WAB_TEXT(PR_CUSTOMER_ID),
    WAB_TEXT(PR_FTP_SITE),
    WAB_TEXT(PR_MANAGER_NAME),
    WAB_TEXT(PR_NICKNAME),
    WAB_TEXT(PR_SPOUSE_NAME),
    WAB_TEXT(PR_COMPUTER_NETWORK_NAME),
}};

#undef WAB_TEXT

inline char* FieldAt(WabRecord* pRecord, const WabField& field)
{
    return reinterpret_cast<char*>(pRecord) + field.nOffset;
}

inline const char* FieldAt(const WabRecord* pRecord, const WabField& field)
{
    return reinterpret_cast<const char*>(pRecord) + field.nOffset;
}

}  // namespace wabtext
