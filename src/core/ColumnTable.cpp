#include "src/core/ColumnTable.h"

#include "common/misc/CommAddrRecord.h"
#include "platform/wab/MapiTags.h"

// Width, caption, flag, Palm catalog id, address-book property: one row per
// list column. Palm ids are the neutral catalog's; the address-book side is
// named by the tag of the PT_STRING8 property its WabRecord field holds.
constexpr ColumnDef g_ColumnDef[kColumnCount] = {
    {0, "", nullptr, 0, 0},
    {80, "Display Name", nullptr, 0, 0},
    {80, "First Name", &SysSettings::ShowFirstName, CF_FIRST_NAME, PR_GIVEN_NAME},
    {80, "Last Name", &SysSettings::ShowLastName, CF_LAST_NAME, PR_SURNAME},
    {80, "Company", &SysSettings::ShowCompany, CF_COMPANY, PR_COMPANY_NAME},
    {80, "Title", &SysSettings::ShowTitle, CF_TITLE, PR_TITLE},
    {80, "Email", &SysSettings::ShowEmail, CF_EMAIL, PR_EMAIL_ADDRESS},
    {90, "Business Phone", &SysSettings::ShowBusiPhone, CF_WORK_PHONE, PR_BUSINESS_TELEPHONE_NUMBER},
    {90, "Home Phone", &SysSettings::ShowHomePhone, CF_HOME_PHONE, PR_HOME_TELEPHONE_NUMBER},
    {90, "Mobile Phone", &SysSettings::ShowMobilePhone, CF_MOBILE_PHONE, PR_MOBILE_TELEPHONE_NUMBER},
    {80, "Fax", &SysSettings::ShowFax, CF_WORK_FAX, PR_PRIMARY_FAX_NUMBER},
    {90, "Main Phone", &SysSettings::ShowMainPhone, CF_PRIMARY_PHONE, PR_PRIMARY_TELEPHONE_NUMBER},
    {120, "Country (Busi.)", &SysSettings::ShowBusiCountry, CF_WORK_COUNTRY, PR_COUNTRY},
    {90, "State (Busi.)", &SysSettings::ShowBusiState, CF_WORK_STATE, PR_STATE_OR_PROVINCE},
    {90, "City (Busi.)", &SysSettings::ShowBusiCity, CF_WORK_CITY, PR_LOCALITY},
    {150, "Street (Busi.)", &SysSettings::ShowBusiStreet, CF_WORK_STREET, PR_STREET_ADDRESS},
    {90, "Zip Code (Busi.)", &SysSettings::ShowBusiPostal, CF_WORK_POSTAL, PR_POSTAL_CODE},
    {120, "Country (Home)", &SysSettings::ShowHomeCountry, CF_HOME_COUNTRY, PR_HOME_ADDRESS_COUNTRY},
    {90, "State (Home)", &SysSettings::ShowHomeState, CF_HOME_STATE, PR_HOME_ADDRESS_STATE_OR_PROVINCE},
    {90, "City (Home)", &SysSettings::ShowHomeCity, CF_HOME_CITY, PR_HOME_ADDRESS_CITY},
    {150, "Street (Home)", &SysSettings::ShowHomeStreet, CF_HOME_STREET, PR_HOME_ADDRESS_STREET},
    {90, "Zip Code (Home)", &SysSettings::ShowHomePostal, CF_HOME_POSTAL, PR_HOME_ADDRESS_POSTAL_CODE},
    {120, "Country (Other)", &SysSettings::ShowOtherCountry, CF_OTHER_COUNTRY, PR_OTHER_ADDRESS_COUNTRY},
    {90, "State (Other)", &SysSettings::ShowOtherState, CF_OTHER_STATE, PR_OTHER_ADDRESS_STATE_OR_PROVINCE},
    {90, "City (Other)", &SysSettings::ShowOtherCity, CF_OTHER_CITY, PR_OTHER_ADDRESS_CITY},
    {150, "Street (Other)", &SysSettings::ShowOtherStreet, CF_OTHER_STREET, PR_OTHER_ADDRESS_STREET},
    {90, "Zip Code (Other)", &SysSettings::ShowOtherPostal, CF_OTHER_POSTAL, PR_OTHER_ADDRESS_POSTAL_CODE},
};

bool IsColumnShown(const SysSettings& settings, int nIndex)
{
    if (nIndex < 1 || nIndex >= kColumnCount)
        return false;
    const ColumnDef& column = g_ColumnDef[nIndex];
    return column.pShowFlag == nullptr || settings.*column.pShowFlag != 0;
}
