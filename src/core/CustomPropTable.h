// The address-book properties a Palm custom field can be exchanged with.
//
// Each of the nine Palm custom fields ("Custom 1" to "Custom 9") may be
// mapped onto one address-book property; the settings Custom1..Custom9 hold
// the chosen property tag, or 0 for none. This is the list the mapping
// dialog offers, in its order: a choice box lists "None" (tag 0) and then
// these rows, so a row's item index in the box is its position here + 1.
//
// The tags are MAPI property tags: text (type 0x001E) except the two dates
// (0x0040), the gender (0x0002) and the children's names (multi-valued
// text, 0x101E). The last row's 0x0000FFFF is no property of the address
// book; it is offered all the same, and the address-book side ignores it.
#pragma once

#include <cstdint>

struct WabPropertyChoice {
    uint32_t ulTag;       // property tag
    const char* pszName;  // shown name, at most 63 characters
};

// Number of rows (choices besides "None").
constexpr int kWabPropertyChoiceCount = 65;

constexpr WabPropertyChoice g_WabPropertyChoices[kWabPropertyChoiceCount] = {
    {0x3001001E, "Display Name"},
    {0x3003001E, "Email Address"},
    {0x3A11001E, "Last Name"},
    {0x3A44001E, "Middle Name"},
    {0x3A06001E, "First Name"},
    {0x3A16001E, "Company"},
    {0x3A17001E, "Title"},
    {0x3A18001E, "Department"},
    {0x3004001E, "Comment"},
    {0x3A02001E, "Callback Telephone No."},
    {0x3A08001E, "Business Telephone No."},
    {0x3A09001E, "Home Telephone No."},
    {0x3A1A001E, "Primary Telephone No."},
    {0x3A1D001E, "Radio Telephone No."},
    {0x3A1C001E, "Mobile Telephone No."},
    {0x3A1E001E, "Car Telephone No."},
    {0x3A1F001E, "Other Telephone No."},
    {0x3A21001E, "Pager No."},
    {0x3A23001E, "Primary Fax"},
    {0x3A24001E, "Business Fax"},
    {0x3A25001E, "Home Fax"},
    {0x3A50001E, "Personal Homepage"},
    {0x3A51001E, "Business Homepage"},
    {0x3A26001E, "Country ( Business )"},
    {0x3A28001E, "State or Province ( Business )"},
    {0x3A27001E, "City ( Business )"},
    {0x3A29001E, "Street ( Business )"},
    {0x3A2A001E, "Postal ( Business )"},
    {0x3A5A001E, "Country ( Home )"},
    {0x3A5C001E, "State or Province ( Home )"},
    {0x3A59001E, "City ( Home )"},
    {0x3A5D001E, "Street (Home )"},
    {0x3A5B001E, "Postal ( Home )"},
    {0x3A60001E, "Country ( Other )"},
    {0x3A62001E, "State or Province ( Other )"},
    {0x3A5F001E, "City ( Other )"},
    {0x3A63001E, "Street ( Other )"},
    {0x3A61001E, "Postal ( Other )"},
    {0x3A00001E, "Account"},
    {0x3A05001E, "Generation"},
    {0x3A07001E, "Government ID"},
    {0x3A0A001E, "Initials"},
    {0x3A0B001E, "Keyword"},
    {0x3A0C001E, "Language"},
    {0x3A0D001E, "Location"},
    {0x3A0F001E, "MHS Common Name"},
    {0x3A10001E, "Organizational ID"},
    {0x3A1B001E, "Business Phone 2"},
    {0x3A2F001E, "Home Phone 2"},
    {0x3A2D001E, "ISDN Number"},
    {0x3A2E001E, "Assistant Telephone No."},
    {0x3A30001E, "Assistant"},
    {0x3A43001E, "Hobbies"},
    {0x3A46001E, "Profession"},
    {0x3A420040, "Birthday"},
    {0x3A410040, "Wedding Anniversary"},
    {0x3A4C001E, "FTP Site"},
    {0x3A4A001E, "Customer ID"},
    {0x3A4E001E, "Manager Name"},
    {0x3A49001E, "Computer Network Name"},
    {0x3A4D0002, "Gender"},
    {0x3A4F001E, "Nick Name"},
    {0x3A48001E, "Spouse Name"},
    {0x3A58101E, "Children's Names"},
    {0x0000FFFF, "Folder Name"},
};

// The item index of ulTag in a choice box: 1 + the position of the last row
// carrying it, 0 ("None") when no row does (tag 0 included).
constexpr int WabPropertyChoiceIndex(uint32_t ulTag)
{
    int nIndex = 0;
    for (int nRow = 0; nRow < kWabPropertyChoiceCount; ++nRow) {
        if (ulTag != 0 && g_WabPropertyChoices[nRow].ulTag == ulTag)
            nIndex = nRow + 1;
    }
    return nIndex;
}

static_assert(WabPropertyChoiceIndex(0x3A06001E) == 5, "First Name is the fifth choice");
static_assert(WabPropertyChoiceIndex(0x0000FFFF) == kWabPropertyChoiceCount, "Folder Name is the last");
static_assert(WabPropertyChoiceIndex(12345) == 0, "an unknown tag is None");
