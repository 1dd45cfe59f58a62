#include "common/exchange/ContactExchange.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "common/exchange/CsvReader.h"
#include "common/exchange/CsvWriter.h"
#include "common/exchange/VCardReader.h"
#include "common/exchange/VCardWriter.h"
#include "platform/codepage/CodePage.h"
#include "platform/oletime/OleTime.h"

namespace {

// ---- The contact in UTF-8, between a neutral record and a file ---------

struct Utf8Contact {
    std::array<std::string, COMM_FIELD_COUNT + 1> text;  // by field id; only text fields used
    double dtBirthday = 0.0;
    double dtAnniversary = 0.0;
    int32_t nGender = 0;  // 1 female, 2 male, as the address book numbers them
    int32_t nPrivate = 0;

    std::string& operator[](int32_t nId) { return text[static_cast<size_t>(nId)]; }
    const std::string& operator[](int32_t nId) const { return text[static_cast<size_t>(nId)]; }
};

bool IsTextField(int32_t nId)
{
    CommField field;
    return LookupField(nId, &field) && field.type == CFT_TEXT;
}

Utf8Contact FromRecord(const CommAddrRecord& record)
{
    Utf8Contact contact;
    for (const CommField& field : g_CommFieldCatalog) {
        if (field.type != CFT_TEXT)
            continue;
        const char* pszText = GetTextField(&record, field.id);
        if (pszText != nullptr && pszText[0] != '\0')
            contact[field.id] = AnsiToUtf8(pszText);
    }
    contact.dtBirthday = record.dtBirthday;
    contact.dtAnniversary = record.dtAnniversary;
    contact.nGender = record.nGender;
    contact.nPrivate = record.nPrivate;
    return contact;
}

std::string JoinNonEmpty(std::initializer_list<const std::string*> parts, const char* pszSeparator)
{
    std::string out;
    for (const std::string* pPart : parts) {
        if (pPart->empty())
            continue;
        if (!out.empty())
            out += pszSeparator;
        out += *pPart;
    }
    return out;
}

// The name a file shows for the contact: Display Name, else the name put
// together, else the company, else the e-mail address.
std::string ComposedName(const Utf8Contact& c)
{
    return JoinNonEmpty({&c[CF_PREFIX], &c[CF_FIRST_NAME], &c[CF_MIDDLE_NAME], &c[CF_LAST_NAME], &c[CF_SUFFIX]}, " ");
}

std::string ShownName(const Utf8Contact& c)
{
    if (!c[CF_DISPLAY_NAME].empty())
        return c[CF_DISPLAY_NAME];
    std::string name = ComposedName(c);
    if (name.empty())
        name = c[CF_COMPANY];
    if (name.empty())
        name = c[CF_EMAIL];
    return name;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// ---- Dates ------------------------------------------------------------

// A set date as "YYYY-MM-DD" (bBasic: "YYYYMMDD"), with the time of day
// when it has one. "" for a date that is not set or outside the calendar.
std::string DateText(double dtValue, bool bBasic)
{
    SYSTEMTIME st;
    if (dtValue == 0.0 || !VariantTimeToSystemTime(dtValue, &st))
        return std::string();
    char szText[32];
    if (bBasic)
        std::snprintf(szText, sizeof szText, "%04u%02u%02u", st.wYear, st.wMonth, st.wDay);
    else
        std::snprintf(szText, sizeof szText, "%04u-%02u-%02u", st.wYear, st.wMonth, st.wDay);
    std::string out = szText;
    if (st.wHour != 0 || st.wMinute != 0 || st.wSecond != 0) {
        if (bBasic)
            std::snprintf(szText, sizeof szText, "T%02u%02u%02u", st.wHour, st.wMinute, st.wSecond);
        else
            std::snprintf(szText, sizeof szText, "T%02u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
        out += szText;
    }
    return out;
}

// Reads "YYYY-MM-DD", "YYYYMMDD", either with "THH:MM:SS" or "THHMMSS"
// (a zone after it is ignored), and "M/D/YYYY". 0.0 for anything else,
// dates without a year included.
double ParseDate(std::string_view text)
{
    text = Trim(text);
    std::string digits;
    int values[6] = {0, 0, 0, 0, 0, 0};
    int nCount = 0;
    SYSTEMTIME st = {};
    const size_t slash = text.find('/');
    if (slash != std::string_view::npos) {
        unsigned month = 0, day = 0, year = 0;
        if (std::sscanf(std::string(text).c_str(), "%u/%u/%u", &month, &day, &year) != 3 || year < 100)
            return 0.0;
        st.wYear = static_cast<WORD>(year);
        st.wMonth = static_cast<WORD>(month);
        st.wDay = static_cast<WORD>(day);
    } else {
        // Pick the numbers in order: year (4 digits), month, day, hour,
        // minute, second (2 digits each), skipping '-', ':' and 'T'.
        static const int kWidths[6] = {4, 2, 2, 2, 2, 2};
        size_t i = 0;
        if (text.substr(0, 2) == "--")
            return 0.0;  // no year
        while (nCount < 6 && i < text.size()) {
            const char c = text[i];
            if (c == '-' || c == ':' || (nCount == 3 && (c == 'T' || c == 't'))) {
                ++i;
                continue;
            }
            if (nCount == 3 && c != 'T' && !std::isdigit(static_cast<unsigned char>(c)))
                break;
            if (!std::isdigit(static_cast<unsigned char>(c)))
                break;
            int value = 0;
            int width = 0;
            while (width < kWidths[nCount] && i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
                value = value * 10 + (text[i] - '0');
                ++i;
                ++width;
            }
            if (width != kWidths[nCount])
                return 0.0;
            values[nCount++] = value;
        }
        if (nCount < 3 || (nCount > 3 && nCount < 5))
            return 0.0;
        st.wYear = static_cast<WORD>(values[0]);
        st.wMonth = static_cast<WORD>(values[1]);
        st.wDay = static_cast<WORD>(values[2]);
        st.wHour = static_cast<WORD>(values[3]);
        st.wMinute = static_cast<WORD>(values[4]);
        st.wSecond = static_cast<WORD>(values[5]);
    }
    double dtValue = 0.0;
    if (!SystemTimeToVariantTime(&st, &dtValue))
        return 0.0;
    return dtValue;
}

// "M/D/YYYY", as Outlook writes dates in its CSV.
std::string UsDateText(double dtValue)
{
    SYSTEMTIME st;
    if (dtValue == 0.0 || !VariantTimeToSystemTime(dtValue, &st))
        return std::string();
    char szText[32];
    std::snprintf(szText, sizeof szText, "%u/%u/%04u", st.wMonth, st.wDay, st.wYear);
    return szText;
}

// ---- Phones --------------------------------------------------------------

// Every phone field with the vCard TYPE values it is written with and the
// label Google's CSV gives it. Two fields of one kind (Home Phone and Home
// Phone 2) share their types: the first such number read fills the first
// (a vCard marks a second one written without a first, see kSlotParam).
struct PhoneKind {
    int32_t nId;
    const char* pszTypes;        // vCard TYPE values
    const char* pszGoogleLabel;  // Google "Phone n - Type"
};
constexpr PhoneKind kPhones[] = {
    {CF_HOME_PHONE, "home,voice", "Home"}, {CF_HOME_PHONE2, "home,voice", "Home 2"},
    {CF_WORK_PHONE, "work,voice", "Work"}, {CF_WORK_PHONE2, "work,voice", "Work 2"},
    {CF_MOBILE_PHONE, "cell", "Mobile"},   {CF_PRIMARY_PHONE, "pref,voice", "Main"},
    {CF_OTHER_PHONE, "voice", "Other"},    {CF_CALLBACK_PHONE, "x-callback", "Callback"},
    {CF_CAR_PHONE, "car", "Car"},          {CF_RADIO_PHONE, "x-radio", "Radio"},
    {CF_WORK_FAX, "work,fax", "Work Fax"}, {CF_HOME_FAX, "home,fax", "Home Fax"},
    {CF_PAGER, "pager", "Pager"},          {CF_ASSISTANT_PHONE, "x-assistant", "Assistant"},
};

// The fields a number of one kind may fill, in order; the caller takes the
// first that is still empty, then any empty phone field.
std::vector<int32_t> PhoneCandidates(bool bHome, bool bWork, bool bFax, bool bCell, bool bPager, bool bCar, bool bRadio,
                                     bool bCallback, bool bAssistant, bool bPref)
{
    if (bFax)
        return bHome && !bWork ? std::vector<int32_t>{CF_HOME_FAX, CF_WORK_FAX}
                               : std::vector<int32_t>{CF_WORK_FAX, CF_HOME_FAX};
    if (bCell)
        return {CF_MOBILE_PHONE};
    if (bPager)
        return {CF_PAGER};
    if (bCar)
        return {CF_CAR_PHONE};
    if (bRadio)
        return {CF_RADIO_PHONE};
    if (bCallback)
        return {CF_CALLBACK_PHONE};
    if (bAssistant)
        return {CF_ASSISTANT_PHONE};
    if (bHome)
        return {CF_HOME_PHONE, CF_HOME_PHONE2};
    if (bWork)
        return {CF_WORK_PHONE, CF_WORK_PHONE2};
    if (bPref)
        return {CF_PRIMARY_PHONE};
    return {CF_OTHER_PHONE};
}

// Stores value in the first empty field of candidates, else in the first
// empty field of fallback. False when all are taken.
bool PutFirstFree(Utf8Contact& c, const std::vector<int32_t>& candidates, std::initializer_list<int32_t> fallback,
                  const std::string& value)
{
    if (value.empty())
        return true;
    for (int32_t nId : candidates) {
        if (c[nId].empty()) {
            c[nId] = value;
            return true;
        }
    }
    for (int32_t nId : fallback) {
        if (c[nId].empty()) {
            c[nId] = value;
            return true;
        }
    }
    return false;
}

const std::initializer_list<int32_t> kAnyPhone = {
    CF_OTHER_PHONE, CF_HOME_PHONE2, CF_WORK_PHONE2, CF_PRIMARY_PHONE, CF_CALLBACK_PHONE, CF_RADIO_PHONE,
    CF_CAR_PHONE,   CF_PAGER,       CF_HOME_PHONE,  CF_WORK_PHONE,    CF_MOBILE_PHONE,   CF_ASSISTANT_PHONE};

bool PutPhoneByLabel(Utf8Contact& c, std::string_view label, const std::string& value)
{
    label = Trim(label);
    if (label.substr(0, 2) == "* ")
        label.remove_prefix(2);  // Google marks the primary number so
    std::vector<int32_t> candidates;
    for (const PhoneKind& kind : kPhones) {
        if (EqualsNoCase(label, kind.pszGoogleLabel))
            candidates.push_back(kind.nId);
    }
    // Google's own files give the second work or home number the same label.
    if (candidates.size() == 1 && (candidates[0] == CF_HOME_PHONE || candidates[0] == CF_WORK_PHONE))
        candidates.push_back(candidates[0] == CF_HOME_PHONE ? CF_HOME_PHONE2 : CF_WORK_PHONE2);
    if (candidates.empty()) {
        const std::string lower = [&] {
            std::string s(label);
            for (char& ch : s)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            return s;
        }();
        const bool bFax = lower.find("fax") != std::string::npos;
        candidates =
            PhoneCandidates(lower.find("home") != std::string::npos, lower.find("work") != std::string::npos, bFax,
                            lower.find("mobile") != std::string::npos || lower.find("cell") != std::string::npos,
                            lower.find("pager") != std::string::npos, false, false, false, false, false);
    }
    return PutFirstFree(c, candidates, kAnyPhone, value);
}

// ---- Fields written as X- properties in a vCard -----------------------

struct ExtraProperty {
    int32_t nId;
    const char* pszName;
};
constexpr ExtraProperty kExtraProperties[] = {
    {CF_MANAGER_NAME, "X-MANAGER"},
    {CF_ASSISTANT_NAME, "X-ASSISTANT"},
    {CF_SPOUSE_NAME, "X-SPOUSE"},
    {CF_CHILDREN_NAMES, "X-CHILDREN"},
    {CF_HOBBY, "X-HOBBY"},
    {CF_ACCOUNT, "X-ACCOUNT"},
    {CF_KEYWORD, "X-KEYWORD"},
    {CF_LANGUAGE, "X-LANGUAGE"},
    {CF_LOCATION, "X-LOCATION"},
    {CF_MHS_COMMON_NAME, "X-MHS-COMMON-NAME"},
    {CF_CUSTOMER_ID, "X-CUSTOMER-ID"},
    {CF_GOVERNMENT_ID, "X-GOVERNMENT-ID"},
    {CF_ORGANIZATION_ID, "X-ORGANIZATION-ID"},
};
// Names other programs write for the same fields.
constexpr ExtraProperty kExtraAliases[] = {
    {CF_MANAGER_NAME, "X-EVOLUTION-MANAGER"},     {CF_MANAGER_NAME, "X-MS-MANAGER"},
    {CF_ASSISTANT_NAME, "X-EVOLUTION-ASSISTANT"}, {CF_ASSISTANT_NAME, "X-MS-ASSISTANT"},
    {CF_SPOUSE_NAME, "X-EVOLUTION-SPOUSE"},       {CF_SPOUSE_NAME, "X-MS-SPOUSE"},
};
constexpr const char kCustomPrefix[] = "X-VARNWICK-CUSTOM";
constexpr const char kCustomLabelPrefix[] = "X-VARNWICK-CUSTOM-LABEL";

// ---- Fields of one kind that fill in order -----------------------------

// A file lists the e-mail addresses (and the IMs, and the two home and the
// two work numbers) in order, and the reader fills the fields in order. A
// later field written while an earlier one is empty carries its place
// ("X-SLOT=2"), so that it comes back to the same field.
constexpr const char kSlotParam[] = "X-SLOT";
const std::vector<std::vector<int32_t>> kSlotLists = {{CF_EMAIL, CF_EMAIL2, CF_EMAIL3},
                                                      {CF_IM1, CF_IM2},
                                                      {CF_HOME_PHONE, CF_HOME_PHONE2},
                                                      {CF_WORK_PHONE, CF_WORK_PHONE2}};

// ";X-SLOT=n" for a field that needs it, "" otherwise.
std::string SlotParam(const Utf8Contact& c, int32_t nId)
{
    for (const std::vector<int32_t>& slots : kSlotLists) {
        for (size_t i = 0; i < slots.size(); ++i) {
            if (slots[i] != nId)
                continue;
            for (size_t k = 0; k < i; ++k) {
                if (c[slots[k]].empty())
                    return ";" + std::string(kSlotParam) + "=" + std::to_string(i + 1);
            }
            return std::string();
        }
    }
    return std::string();
}

// Stores value in place nSlot (1 up) of the list that starts with nFirst
// when that field is empty. False when it is taken or there is no such
// place.
bool PutInSlot(Utf8Contact& c, int32_t nFirst, int nSlot, const std::string& value)
{
    for (const std::vector<int32_t>& slots : kSlotLists) {
        if (slots[0] != nFirst || nSlot < 1 || static_cast<size_t>(nSlot) > slots.size())
            continue;
        const int32_t nId = slots[static_cast<size_t>(nSlot - 1)];
        if (!c[nId].empty())
            return false;
        c[nId] = value;
        return true;
    }
    return false;
}

int SlotOf(const VCardProperty& p)
{
    const std::string slot = p.Param(kSlotParam);
    return slot.size() == 1 && slot[0] >= '1' && slot[0] <= '9' ? slot[0] - '0' : 0;
}

// ---- vCard writing -----------------------------------------------------

void WriteCard(VCardWriter& writer, const Utf8Contact& c)
{
    const bool bV4 = writer.Version() == 4;
    writer.BeginCard();
    writer.AddRaw("FN", "", VCardWriter::EscapeText(ShownName(c)));
    writer.AddRaw("N", "",
                  VCardWriter::JoinStructured(
                      {c[CF_LAST_NAME], c[CF_FIRST_NAME], c[CF_MIDDLE_NAME], c[CF_PREFIX], c[CF_SUFFIX]}));
    writer.AddText("NICKNAME", "", c[CF_NICK_NAME]);
    if (!c[CF_COMPANY].empty() || !c[CF_DEPARTMENT].empty()) {
        std::vector<std::string> org = {c[CF_COMPANY]};
        if (!c[CF_DEPARTMENT].empty())
            org.push_back(c[CF_DEPARTMENT]);
        writer.AddRaw("ORG", "", VCardWriter::JoinStructured(org));
    }
    writer.AddText("TITLE", "", c[CF_TITLE]);
    writer.AddText("ROLE", "", c[CF_PROFESSION]);

    // The three addresses: work, home, and the other one without a type.
    struct Address {
        int32_t nStreet;
        const char* pszParams;
    };
    static const Address kAddresses[] = {
        {CF_WORK_STREET, "TYPE=work"}, {CF_HOME_STREET, "TYPE=home"}, {CF_OTHER_STREET, ""}};
    for (const Address& address : kAddresses) {
        const int32_t n = address.nStreet;  // street, city, state, postal, country follow
        if (c[n].empty() && c[n + 1].empty() && c[n + 2].empty() && c[n + 3].empty() && c[n + 4].empty())
            continue;
        writer.AddRaw("ADR", address.pszParams,
                      VCardWriter::JoinStructured({"", "", c[n], c[n + 1], c[n + 2], c[n + 3], c[n + 4]}));
    }

    for (const PhoneKind& kind : kPhones) {
        if (c[kind.nId].empty())
            continue;
        // 4.0 takes a TEL value as a URI unless told it is text; its
        // preferred number has a parameter of its own.
        std::string params = bV4 ? "VALUE=text;" : "";
        if (bV4 && kind.nId == CF_PRIMARY_PHONE)
            params += "PREF=1;TYPE=voice";
        else
            params += std::string("TYPE=") + kind.pszTypes;
        writer.AddText("TEL", params + SlotParam(c, kind.nId), c[kind.nId]);
    }
    for (int32_t nId : {CF_EMAIL, CF_EMAIL2, CF_EMAIL3}) {
        const std::string slot = SlotParam(c, nId);
        writer.AddText("EMAIL", bV4 ? (slot.empty() ? "" : slot.substr(1)) : "TYPE=internet" + slot, c[nId]);
    }
    writer.AddText("URL", "TYPE=work", c[CF_WORK_HOME_PAGE]);
    writer.AddText("URL", "TYPE=home", c[CF_PERSONAL_HOME_PAGE]);
    writer.AddText("URL", "TYPE=x-ftp", c[CF_FTP_SITE]);
    for (int32_t nId : {CF_IM1, CF_IM2})
        writer.AddText("IMPP", SlotParam(c, nId).substr(SlotParam(c, nId).empty() ? 0 : 1), c[nId]);

    const std::string birthday = DateText(c.dtBirthday, bV4);
    if (!birthday.empty())
        writer.AddRaw("BDAY", "", birthday);
    const std::string anniversary = DateText(c.dtAnniversary, bV4);
    if (!anniversary.empty())
        writer.AddRaw(bV4 ? "ANNIVERSARY" : "X-ANNIVERSARY", "", anniversary);
    if (c.nGender == 1 || c.nGender == 2) {
        if (bV4)
            writer.AddRaw("GENDER", "", c.nGender == 1 ? "F" : "M");
        else
            writer.AddRaw("X-GENDER", "", c.nGender == 1 ? "Female" : "Male");
    }
    if (c.nPrivate != 0)
        writer.AddRaw(bV4 ? "X-CLASS" : "CLASS", "", "PRIVATE");
    writer.AddText("CATEGORIES", "", c[CF_CATEGORY]);
    writer.AddText("NOTE", "", c[CF_NOTE]);
    for (const ExtraProperty& extra : kExtraProperties)
        writer.AddText(extra.pszName, "", c[extra.nId]);
    for (int i = 0; i < COMM_CUSTOM_COUNT; ++i) {
        writer.AddText(kCustomPrefix + std::to_string(i + 1), "", c[CF_CUSTOM1 + i]);
        writer.AddText(kCustomLabelPrefix + std::to_string(i + 1), "", c[CF_CUSTOM_LABEL1 + i]);
    }
    writer.EndCard();
}

// ---- vCard reading -----------------------------------------------------

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The custom field number (1-9) of "X-VARNWICK-CUSTOM<n>" with prefix, or 0.
int CustomNumber(const std::string& name, const char* pszPrefix)
{
    const size_t nPrefix = std::strlen(pszPrefix);
    if (name.size() != nPrefix + 1 || name.compare(0, nPrefix, pszPrefix) != 0)
        return 0;
    const char digit = name[nPrefix];
    return digit >= '1' && digit <= '9' ? digit - '0' : 0;
}

Utf8Contact ReadCard(const VCard& card)
{
    Utf8Contact c;
    std::string fn;
    bool bHasN = false;
    std::vector<const VCardProperty*> unplacedAddresses;
    for (const VCardProperty& p : card.properties) {
        const std::string& name = p.strName;
        if (name == "FN") {
            fn = VCardReader::UnescapeValue(p.strValue);
        } else if (name == "N") {
            bHasN = true;
            const std::vector<std::string> parts = VCardReader::SplitValue(p.strValue, ';');
            const int32_t ids[] = {CF_LAST_NAME, CF_FIRST_NAME, CF_MIDDLE_NAME, CF_PREFIX, CF_SUFFIX};
            for (size_t i = 0; i < parts.size() && i < 5; ++i)
                c[ids[i]] = parts[i];
        } else if (name == "NICKNAME") {
            c[CF_NICK_NAME] = VCardReader::UnescapeValue(p.strValue);
        } else if (name == "ORG") {
            const std::vector<std::string> parts = VCardReader::SplitValue(p.strValue, ';');
            c[CF_COMPANY] = parts.empty() ? "" : parts[0];
            if (parts.size() > 1)
                c[CF_DEPARTMENT] = parts[1];
        } else if (name == "TITLE") {
            c[CF_TITLE] = VCardReader::UnescapeValue(p.strValue);
        } else if (name == "ROLE") {
            c[CF_PROFESSION] = VCardReader::UnescapeValue(p.strValue);
        } else if (name == "ADR") {
            int32_t nStreet = 0;
            if (p.HasType("work"))
                nStreet = CF_WORK_STREET;
            else if (p.HasType("home"))
                nStreet = CF_HOME_STREET;
            else
                nStreet = CF_OTHER_STREET;
            const int32_t n = nStreet;
            if (!c[n].empty() || !c[n + 1].empty() || !c[n + 2].empty() || !c[n + 3].empty() || !c[n + 4].empty()) {
                unplacedAddresses.push_back(&p);
                continue;
            }
            const std::vector<std::string> parts = VCardReader::SplitValue(p.strValue, ';');
            auto part = [&parts](size_t i) { return i < parts.size() ? parts[i] : std::string(); };
            const std::string pobox = part(0), extended = part(1), street = part(2);
            c[n] = JoinNonEmpty({&pobox, &extended, &street}, "\n");
            c[n + 1] = part(3);
            c[n + 2] = part(4);
            c[n + 3] = part(5);
            c[n + 4] = part(6);
        } else if (name == "TEL") {
            std::string value = VCardReader::UnescapeValue(p.strValue);
            if (EqualsNoCase(p.Param("VALUE"), "uri") && StartsWithNoCase(value, "tel:"))
                value.erase(0, 4);
            const bool bPref = p.HasType("pref") || !p.Param("PREF").empty();
            const int nSlot = SlotOf(p);
            if (nSlot > 1 && PutInSlot(c, p.HasType("home") ? CF_HOME_PHONE : CF_WORK_PHONE, nSlot, value))
                continue;
            PutFirstFree(c,
                         PhoneCandidates(p.HasType("home"), p.HasType("work"), p.HasType("fax"),
                                         p.HasType("cell") || p.HasType("mobile"), p.HasType("pager"), p.HasType("car"),
                                         p.HasType("x-radio"), p.HasType("x-callback"), p.HasType("x-assistant"),
                                         bPref),
                         kAnyPhone, value);
        } else if (name == "EMAIL") {
            const std::string value = VCardReader::UnescapeValue(p.strValue);
            if (!PutInSlot(c, CF_EMAIL, SlotOf(p), value))
                PutFirstFree(c, {CF_EMAIL, CF_EMAIL2, CF_EMAIL3}, {}, value);
        } else if (name == "URL") {
            const std::string value = VCardReader::UnescapeValue(p.strValue);
            if (p.HasType("x-ftp"))
                PutFirstFree(c, {CF_FTP_SITE}, {CF_PERSONAL_HOME_PAGE, CF_WORK_HOME_PAGE}, value);
            else if (p.HasType("work"))
                PutFirstFree(c, {CF_WORK_HOME_PAGE}, {CF_PERSONAL_HOME_PAGE, CF_FTP_SITE}, value);
            else
                PutFirstFree(c, {CF_PERSONAL_HOME_PAGE}, {CF_WORK_HOME_PAGE, CF_FTP_SITE}, value);
        } else if (name == "IMPP" || name == "X-AIM" || name == "X-ICQ" || name == "X-JABBER" || name == "X-MSN" ||
                   name == "X-YAHOO" || name == "X-SKYPE") {
            const std::string value = VCardReader::UnescapeValue(p.strValue);
            if (!PutInSlot(c, CF_IM1, SlotOf(p), value))
                PutFirstFree(c, {CF_IM1, CF_IM2}, {}, value);
        } else if (name == "BDAY") {
            c.dtBirthday = ParseDate(p.strValue);
        } else if (name == "ANNIVERSARY" || name == "X-ANNIVERSARY" || name == "X-MS-ANNIVERSARY" ||
                   name == "X-EVOLUTION-ANNIVERSARY") {
            c.dtAnniversary = ParseDate(p.strValue);
        } else if (name == "GENDER" || name == "X-GENDER") {
            const std::string_view value = Trim(p.strValue);
            if (StartsWithNoCase(value, "F"))
                c.nGender = 1;
            else if (StartsWithNoCase(value, "M"))
                c.nGender = 2;
        } else if (name == "CLASS" || name == "X-CLASS") {
            const std::string_view value = Trim(p.strValue);
            c.nPrivate = EqualsNoCase(value, "PRIVATE") || EqualsNoCase(value, "CONFIDENTIAL") ? 1 : 0;
        } else if (name == "CATEGORIES") {
            std::string joined;
            for (const std::string& category : VCardReader::SplitValue(p.strValue, ',')) {
                if (category.empty())
                    continue;
                if (!joined.empty())
                    joined += ',';
                joined += category;
            }
            c[CF_CATEGORY] = joined;
        } else if (name == "NOTE") {
            c[CF_NOTE] = VCardReader::UnescapeValue(p.strValue);
        } else if (int n = CustomNumber(name, kCustomPrefix); n != 0) {
            c[CF_CUSTOM1 + n - 1] = VCardReader::UnescapeValue(p.strValue);
        } else if (int m = CustomNumber(name, kCustomLabelPrefix); m != 0) {
            c[CF_CUSTOM_LABEL1 + m - 1] = VCardReader::UnescapeValue(p.strValue);
        } else {
            for (const ExtraProperty& extra : kExtraProperties) {
                if (name == extra.pszName)
                    c[extra.nId] = VCardReader::UnescapeValue(p.strValue);
            }
            for (const ExtraProperty& extra : kExtraAliases) {
                if (name == extra.pszName && c[extra.nId].empty())
                    c[extra.nId] = VCardReader::UnescapeValue(p.strValue);
            }
        }
    }
    // An address whose kind was taken goes to the first empty address.
    for (const VCardProperty* pAddress : unplacedAddresses) {
        for (int32_t n : {CF_OTHER_STREET, CF_WORK_STREET, CF_HOME_STREET}) {
            if (!c[n].empty() || !c[n + 1].empty() || !c[n + 2].empty() || !c[n + 3].empty() || !c[n + 4].empty())
                continue;
            const std::vector<std::string> parts = VCardReader::SplitValue(pAddress->strValue, ';');
            for (int k = 0; k < 5; ++k)
                c[n + k] = static_cast<size_t>(k + 2) < parts.size() ? parts[static_cast<size_t>(k + 2)] : "";
            break;
        }
    }
    // FN: a display name of its own, or the only name of a card without N
    // (as the address book takes a display name as the first name).
    if (!fn.empty() && fn != ComposedName(c)) {
        if (!bHasN) {
            if (fn != c[CF_COMPANY] && fn != c[CF_EMAIL])
                c[CF_FIRST_NAME] = fn;
        } else if (ComposedName(c).empty() && (fn == c[CF_COMPANY] || fn == c[CF_EMAIL])) {
            // The name the writer made up for a contact without one.
        } else {
            c[CF_DISPLAY_NAME] = fn;
        }
    }
    return c;
}

// ---- CSV: Outlook ------------------------------------------------------

// Outlook's columns, each holding one field; the columns after "Web Page"
// are this program's own, for the fields Outlook's header has no column for.
struct CsvColumn {
    const char* pszHeader;
    int32_t nId;
};
constexpr CsvColumn kOutlookColumns[] = {
    {"Title", CF_PREFIX},
    {"First Name", CF_FIRST_NAME},
    {"Middle Name", CF_MIDDLE_NAME},
    {"Last Name", CF_LAST_NAME},
    {"Suffix", CF_SUFFIX},
    {"Company", CF_COMPANY},
    {"Department", CF_DEPARTMENT},
    {"Job Title", CF_TITLE},
    {"Business Street", CF_WORK_STREET},
    {"Business City", CF_WORK_CITY},
    {"Business State", CF_WORK_STATE},
    {"Business Postal Code", CF_WORK_POSTAL},
    {"Business Country/Region", CF_WORK_COUNTRY},
    {"Home Street", CF_HOME_STREET},
    {"Home City", CF_HOME_CITY},
    {"Home State", CF_HOME_STATE},
    {"Home Postal Code", CF_HOME_POSTAL},
    {"Home Country/Region", CF_HOME_COUNTRY},
    {"Other Street", CF_OTHER_STREET},
    {"Other City", CF_OTHER_CITY},
    {"Other State", CF_OTHER_STATE},
    {"Other Postal Code", CF_OTHER_POSTAL},
    {"Other Country/Region", CF_OTHER_COUNTRY},
    {"Assistant's Phone", CF_ASSISTANT_PHONE},
    {"Business Fax", CF_WORK_FAX},
    {"Business Phone", CF_WORK_PHONE},
    {"Business Phone 2", CF_WORK_PHONE2},
    {"Callback", CF_CALLBACK_PHONE},
    {"Car Phone", CF_CAR_PHONE},
    {"Home Fax", CF_HOME_FAX},
    {"Home Phone", CF_HOME_PHONE},
    {"Home Phone 2", CF_HOME_PHONE2},
    {"Mobile Phone", CF_MOBILE_PHONE},
    {"Other Phone", CF_OTHER_PHONE},
    {"Pager", CF_PAGER},
    {"Primary Phone", CF_PRIMARY_PHONE},
    {"Radio Phone", CF_RADIO_PHONE},
    {"Account", CF_ACCOUNT},
    {"Anniversary", CF_ANNIVERSARY},
    {"Assistant's Name", CF_ASSISTANT_NAME},
    {"Birthday", CF_BIRTHDAY},
    {"Categories", CF_CATEGORY},
    {"Children", CF_CHILDREN_NAMES},
    {"E-mail Address", CF_EMAIL},
    {"E-mail 2 Address", CF_EMAIL2},
    {"E-mail 3 Address", CF_EMAIL3},
    {"Gender", CF_GENDER},
    {"Government ID Number", CF_GOVERNMENT_ID},
    {"Hobby", CF_HOBBY},
    {"Keywords", CF_KEYWORD},
    {"Language", CF_LANGUAGE},
    {"Location", CF_LOCATION},
    {"Manager's Name", CF_MANAGER_NAME},
    {"Notes", CF_NOTE},
    {"Organizational ID Number", CF_ORGANIZATION_ID},
    {"Private", CF_PRIVATE},
    {"Profession", CF_PROFESSION},
    {"Spouse", CF_SPOUSE_NAME},
    {"User 1", CF_CUSTOM1},
    {"User 2", CF_CUSTOM1 + 1},
    {"User 3", CF_CUSTOM1 + 2},
    {"User 4", CF_CUSTOM1 + 3},
    {"Web Page", CF_WORK_HOME_PAGE},
    {"Nickname", CF_NICK_NAME},
    {"Display Name", CF_DISPLAY_NAME},
    {"Personal Web Page", CF_PERSONAL_HOME_PAGE},
    {"FTP Site", CF_FTP_SITE},
    {"IM Address", CF_IM1},
    {"IM Address 2", CF_IM2},
    {"Customer ID", CF_CUSTOMER_ID},
    {"MHS Common Name", CF_MHS_COMMON_NAME},
    {"User 5", CF_CUSTOM1 + 4},
    {"User 6", CF_CUSTOM1 + 5},
    {"User 7", CF_CUSTOM1 + 6},
    {"User 8", CF_CUSTOM1 + 7},
    {"User 9", CF_CUSTOM1 + 8},
    {"User 1 Label", CF_CUSTOM_LABEL1},
    {"User 2 Label", CF_CUSTOM_LABEL1 + 1},
    {"User 3 Label", CF_CUSTOM_LABEL1 + 2},
    {"User 4 Label", CF_CUSTOM_LABEL1 + 3},
    {"User 5 Label", CF_CUSTOM_LABEL1 + 4},
    {"User 6 Label", CF_CUSTOM_LABEL1 + 5},
    {"User 7 Label", CF_CUSTOM_LABEL1 + 6},
    {"User 8 Label", CF_CUSTOM_LABEL1 + 7},
    {"User 9 Label", CF_CUSTOM_LABEL1 + 8},
};

// A field in a one-field column, as Outlook writes it.
std::string ColumnText(const Utf8Contact& c, int32_t nId, bool bOutlook)
{
    switch (nId) {
    case CF_BIRTHDAY:
        return bOutlook ? UsDateText(c.dtBirthday) : DateText(c.dtBirthday, false);
    case CF_ANNIVERSARY:
        return bOutlook ? UsDateText(c.dtAnniversary) : DateText(c.dtAnniversary, false);
    case CF_GENDER:
        return c.nGender == 1 ? "Female" : c.nGender == 2 ? "Male" : bOutlook ? "Unspecified" : "";
    case CF_PRIVATE:
        return bOutlook ? (c.nPrivate != 0 ? "True" : "False") : (c.nPrivate != 0 ? "Private" : "");
    default:
        return IsTextField(nId) ? c[nId] : std::string();
    }
}

void SetColumnText(Utf8Contact& c, int32_t nId, std::string_view value)
{
    switch (nId) {
    case CF_BIRTHDAY:
        c.dtBirthday = ParseDate(value);
        return;
    case CF_ANNIVERSARY:
        c.dtAnniversary = ParseDate(value);
        return;
    case CF_GENDER:
        c.nGender = EqualsNoCase(Trim(value), "Female") ? 1 : EqualsNoCase(Trim(value), "Male") ? 2 : 0;
        return;
    case CF_PRIVATE:
        c.nPrivate = EqualsNoCase(Trim(value), "True") || EqualsNoCase(Trim(value), "Private") ? 1 : 0;
        return;
    default:
        break;
    }
    if (IsTextField(nId) && !value.empty()) {
        if (c[nId].empty())
            c[nId] = std::string(value);
        else
            c[nId] += "\n" + std::string(value);  // "Business Street 2" and the like
    }
}

// ---- CSV: Google -------------------------------------------------------

// Google's one-field columns.
constexpr CsvColumn kGoogleColumns[] = {
    {"Given Name", CF_FIRST_NAME}, {"Additional Name", CF_MIDDLE_NAME},
    {"Family Name", CF_LAST_NAME}, {"Name Prefix", CF_PREFIX},
    {"Name Suffix", CF_SUFFIX},    {"Nickname", CF_NICK_NAME},
    {"Birthday", CF_BIRTHDAY},     {"Gender", CF_GENDER},
    {"Location", CF_LOCATION},     {"Billing Information", CF_ACCOUNT},
    {"Occupation", CF_PROFESSION}, {"Hobby", CF_HOBBY},
    {"Sensitivity", CF_PRIVATE},   {"Notes", CF_NOTE},
    {"Language", CF_LANGUAGE},     {"Group Membership", CF_CATEGORY},
};

// The typed groups of Google's header ("Phone 2 - Type", "Phone 2 - Value").
struct GoogleAddress {
    const char* pszType;
    int32_t nStreet;
};
constexpr GoogleAddress kGoogleAddresses[] = {
    {"Work", CF_WORK_STREET}, {"Home", CF_HOME_STREET}, {"Other", CF_OTHER_STREET}};
constexpr const char* kGoogleAddressParts[] = {"Street", "City", "Region", "Postal Code", "Country"};

struct TypedField {
    const char* pszType;
    int32_t nId;
};
constexpr TypedField kGoogleRelations[] = {{"Manager", CF_MANAGER_NAME},
                                           {"Assistant", CF_ASSISTANT_NAME},
                                           {"Spouse", CF_SPOUSE_NAME},
                                           {"Child", CF_CHILDREN_NAMES}};
constexpr TypedField kGoogleWebsites[] = {
    {"Work", CF_WORK_HOME_PAGE}, {"Home Page", CF_PERSONAL_HOME_PAGE}, {"FTP", CF_FTP_SITE}};
// Fields in "Custom Field n": their type is the field's catalog name.
constexpr int32_t kGoogleCustomFields[] = {
    CF_DISPLAY_NAME,      CF_KEYWORD,           CF_MHS_COMMON_NAME,   CF_CUSTOMER_ID,       CF_GOVERNMENT_ID,
    CF_ORGANIZATION_ID,   CF_CUSTOM1,           CF_CUSTOM1 + 1,       CF_CUSTOM1 + 2,       CF_CUSTOM1 + 3,
    CF_CUSTOM1 + 4,       CF_CUSTOM1 + 5,       CF_CUSTOM1 + 6,       CF_CUSTOM1 + 7,       CF_CUSTOM1 + 8,
    CF_CUSTOM_LABEL1,     CF_CUSTOM_LABEL1 + 1, CF_CUSTOM_LABEL1 + 2, CF_CUSTOM_LABEL1 + 3, CF_CUSTOM_LABEL1 + 4,
    CF_CUSTOM_LABEL1 + 5, CF_CUSTOM_LABEL1 + 6, CF_CUSTOM_LABEL1 + 7, CF_CUSTOM_LABEL1 + 8};

std::string CatalogName(int32_t nId)
{
    CommField field;
    return LookupField(nId, &field) ? std::string(field.name) : std::string();
}

std::vector<std::string> GoogleHeader()
{
    std::vector<std::string> header = {"Name"};
    for (const CsvColumn& column : kGoogleColumns)
        header.emplace_back(column.pszHeader);
    auto group = [&header](const std::string& prefix, int n, std::initializer_list<const char*> parts) {
        for (const char* pszPart : parts)
            header.push_back(prefix + " " + std::to_string(n) + " - " + pszPart);
    };
    for (int n = 1; n <= 3; ++n)
        group("E-mail", n, {"Type", "Value"});
    for (size_t n = 1; n <= std::size(kPhones); ++n)
        group("Phone", static_cast<int>(n), {"Type", "Value"});
    for (int n = 1; n <= 3; ++n)
        group("Address", n, {"Type", "Street", "City", "Region", "Postal Code", "Country"});
    group("Organization", 1, {"Type", "Name", "Title", "Department"});
    for (size_t n = 1; n <= std::size(kGoogleRelations); ++n)
        group("Relation", static_cast<int>(n), {"Type", "Value"});
    for (size_t n = 1; n <= std::size(kGoogleWebsites); ++n)
        group("Website", static_cast<int>(n), {"Type", "Value"});
    group("Event", 1, {"Type", "Value"});
    for (int n = 1; n <= 2; ++n)
        group("IM", n, {"Type", "Value"});
    for (size_t n = 1; n <= std::size(kGoogleCustomFields); ++n)
        group("Custom Field", static_cast<int>(n), {"Type", "Value"});
    return header;
}

std::vector<std::string> GoogleRow(const Utf8Contact& c)
{
    std::vector<std::string> row = {ShownName(c)};
    for (const CsvColumn& column : kGoogleColumns)
        row.push_back(ColumnText(c, column.nId, false));
    auto pair = [&row](const std::string& type, const std::string& value) {
        row.push_back(value.empty() ? std::string() : type);
        row.push_back(value);
    };
    for (int32_t nId : {CF_EMAIL, CF_EMAIL2, CF_EMAIL3})
        pair("Other", c[nId]);
    for (const PhoneKind& kind : kPhones)
        pair(kind.pszGoogleLabel, c[kind.nId]);
    for (const GoogleAddress& address : kGoogleAddresses) {
        const int32_t n = address.nStreet;
        const bool bAny =
            !c[n].empty() || !c[n + 1].empty() || !c[n + 2].empty() || !c[n + 3].empty() || !c[n + 4].empty();
        row.push_back(bAny ? address.pszType : "");
        for (int k = 0; k < 5; ++k)
            row.push_back(c[n + k]);
    }
    const bool bOrg = !c[CF_COMPANY].empty() || !c[CF_TITLE].empty() || !c[CF_DEPARTMENT].empty();
    row.push_back(bOrg ? "Work" : "");
    row.push_back(c[CF_COMPANY]);
    row.push_back(c[CF_TITLE]);
    row.push_back(c[CF_DEPARTMENT]);
    for (const TypedField& relation : kGoogleRelations)
        pair(relation.pszType, c[relation.nId]);
    for (const TypedField& website : kGoogleWebsites)
        pair(website.pszType, c[website.nId]);
    pair("Anniversary", DateText(c.dtAnniversary, false));
    for (int32_t nId : {CF_IM1, CF_IM2})
        pair("Other", c[nId]);
    for (int32_t nId : kGoogleCustomFields)
        pair(CatalogName(nId), c[nId]);
    return row;
}

// Splits "Phone 2 - Value" into ("Phone", 2, "Value"). False for a header
// of another shape.
bool SplitGroupHeader(std::string_view header, std::string* pPrefix, int* pnIndex, std::string* pPart)
{
    const size_t dash = header.find(" - ");
    if (dash == std::string_view::npos)
        return false;
    std::string_view head = header.substr(0, dash);
    const size_t space = head.rfind(' ');
    if (space == std::string_view::npos)
        return false;
    const std::string_view number = head.substr(space + 1);
    if (number.empty() || number.size() > 3)
        return false;
    int n = 0;
    for (const char ch : number) {
        if (!std::isdigit(static_cast<unsigned char>(ch)))
            return false;
        n = n * 10 + (ch - '0');
    }
    *pPrefix = std::string(head.substr(0, space));
    *pnIndex = n;
    *pPart = std::string(Trim(header.substr(dash + 3)));
    return true;
}

// Google joins several values of one cell with " ::: ".
std::vector<std::string> SplitGoogleValues(const std::string& value)
{
    if (value.find(" ::: ") == std::string::npos)
        return {value};  // one value, kept as written
    std::vector<std::string> values;
    size_t start = 0;
    for (;;) {
        const size_t found = value.find(" ::: ", start);
        values.emplace_back(Trim(
            std::string_view(value).substr(start, found == std::string::npos ? std::string::npos : found - start)));
        if (found == std::string::npos)
            break;
        start = found + 5;
    }
    return values;
}

// Where a Google header puts what: worked out once per file.
struct GoogleLayout {
    // A typed group ("Phone 2") and the columns of its parts ("Type", "Value").
    struct Group {
        std::string prefix;
        int nIndex;
        std::vector<std::pair<std::string, size_t>> parts;
    };
    size_t nNameColumn = std::string::npos;
    std::vector<std::pair<size_t, int32_t>> singles;  // column, field id
    std::vector<Group> groups;                        // in header order
};

GoogleLayout MakeGoogleLayout(const std::vector<std::string>& header)
{
    GoogleLayout layout;
    std::map<std::string, size_t> groupIndex;
    for (size_t i = 0; i < header.size(); ++i) {
        if (EqualsNoCase(header[i], "Name")) {
            layout.nNameColumn = i;
            continue;
        }
        bool bDone = false;
        for (const CsvColumn& column : kGoogleColumns) {
            if (EqualsNoCase(header[i], column.pszHeader)) {
                layout.singles.emplace_back(i, column.nId);
                bDone = true;
                break;
            }
        }
        std::string prefix, part;
        int n = 0;
        if (bDone || !SplitGroupHeader(header[i], &prefix, &n, &part))
            continue;
        const std::string key = prefix + " " + std::to_string(n);
        auto found = groupIndex.find(key);
        if (found == groupIndex.end()) {
            found = groupIndex.emplace(key, layout.groups.size()).first;
            layout.groups.push_back({prefix, n, {}});
        }
        layout.groups[found->second].parts.emplace_back(part, i);
    }
    return layout;
}

Utf8Contact ReadGoogleRow(const GoogleLayout& layout, const std::vector<std::string>& row)
{
    Utf8Contact c;
    static const std::string kNone;
    auto cell = [&row](size_t nColumn) -> const std::string& { return nColumn < row.size() ? row[nColumn] : kNone; };
    const std::string& name = cell(layout.nNameColumn);
    for (const auto& [nColumn, nId] : layout.singles) {
        const std::string& value = cell(nColumn);
        if (nId == CF_CATEGORY) {
            std::string joined;
            for (const std::string& group : SplitGoogleValues(value)) {
                if (group.empty() || group[0] == '*')
                    continue;  // Google's own groups ("* myContacts")
                joined += (joined.empty() ? "" : ",") + group;
            }
            c[CF_CATEGORY] = joined;
        } else if (nId == CF_NOTE) {
            c[CF_NOTE] = value;
        } else {
            SetColumnText(c, nId, value);
        }
    }
    using Group = GoogleLayout::Group;
    auto partOf = [&cell](const Group& group, const char* pszPart) -> const std::string& {
        for (const auto& [part, nColumn] : group.parts) {
            if (part == pszPart)
                return cell(nColumn);
        }
        return kNone;
    };
    const std::vector<Group>& groups = layout.groups;

    std::vector<const Group*> unplacedAddresses;
    for (const Group& group : groups) {
        const std::string& prefix = group.prefix;
        auto part = [&partOf, &group](const char* pszPart) { return partOf(group, pszPart); };
        const std::string type = part("Type");
        const std::string value = part("Value");
        if (EqualsNoCase(prefix, "E-mail")) {
            // "E-mail n" is the n-th address when that place is free.
            for (const std::string& one : SplitGoogleValues(value)) {
                if (one.empty() || PutInSlot(c, CF_EMAIL, group.nIndex, one))
                    continue;
                PutFirstFree(c, {CF_EMAIL, CF_EMAIL2, CF_EMAIL3}, {}, one);
            }
        } else if (EqualsNoCase(prefix, "Phone")) {
            for (const std::string& one : SplitGoogleValues(value))
                PutPhoneByLabel(c, type, one);
        } else if (EqualsNoCase(prefix, "Address")) {
            int32_t nStreet = CF_OTHER_STREET;
            for (const GoogleAddress& address : kGoogleAddresses) {
                if (EqualsNoCase(Trim(type), address.pszType))
                    nStreet = address.nStreet;
            }
            const int32_t n = nStreet;
            if (!c[n].empty() || !c[n + 1].empty() || !c[n + 2].empty() || !c[n + 3].empty() || !c[n + 4].empty()) {
                unplacedAddresses.push_back(&group);
                continue;
            }
            std::string street = part("Street");
            if (street.empty())
                street = part("Formatted");
            c[n] = street;
            for (int k = 1; k < 5; ++k)
                c[n + k] = part(kGoogleAddressParts[k]);
        } else if (EqualsNoCase(prefix, "Organization")) {
            if (c[CF_COMPANY].empty() && c[CF_TITLE].empty() && c[CF_DEPARTMENT].empty()) {
                c[CF_COMPANY] = part("Name");
                c[CF_TITLE] = part("Title");
                c[CF_DEPARTMENT] = part("Department");
            }
        } else if (EqualsNoCase(prefix, "Relation")) {
            for (const TypedField& relation : kGoogleRelations) {
                if (EqualsNoCase(Trim(type), relation.pszType) && c[relation.nId].empty())
                    c[relation.nId] = value;
            }
        } else if (EqualsNoCase(prefix, "Website")) {
            int32_t nId = 0;
            for (const TypedField& website : kGoogleWebsites) {
                if (EqualsNoCase(Trim(type), website.pszType))
                    nId = website.nId;
            }
            if (nId != 0)
                PutFirstFree(c, {nId}, {CF_PERSONAL_HOME_PAGE, CF_WORK_HOME_PAGE, CF_FTP_SITE}, value);
            else
                PutFirstFree(c, {CF_PERSONAL_HOME_PAGE, CF_WORK_HOME_PAGE, CF_FTP_SITE}, {}, value);
        } else if (EqualsNoCase(prefix, "Event")) {
            if (EqualsNoCase(Trim(type), "Anniversary"))
                c.dtAnniversary = ParseDate(value);
        } else if (EqualsNoCase(prefix, "IM")) {
            if (!value.empty() && !PutInSlot(c, CF_IM1, group.nIndex, value))
                PutFirstFree(c, {CF_IM1, CF_IM2}, {}, value);
        } else if (EqualsNoCase(prefix, "Custom Field")) {
            for (const CommField& field : g_CommFieldCatalog) {
                if (field.type == CFT_TEXT && EqualsNoCase(Trim(type), field.name)) {
                    c[field.id] = value;
                    break;
                }
            }
        }
    }
    for (const Group* pGroup : unplacedAddresses) {
        for (int32_t n : {CF_OTHER_STREET, CF_WORK_STREET, CF_HOME_STREET}) {
            if (!c[n].empty() || !c[n + 1].empty() || !c[n + 2].empty() || !c[n + 3].empty() || !c[n + 4].empty())
                continue;
            for (int k = 0; k < 5; ++k)
                c[n + k] = partOf(*pGroup, kGoogleAddressParts[k]);
            break;
        }
    }
    if (!name.empty() && name != ComposedName(c) && c[CF_DISPLAY_NAME].empty()) {
        if (c[CF_FIRST_NAME].empty() && c[CF_LAST_NAME].empty() && c[CF_MIDDLE_NAME].empty()) {
            if (name != c[CF_COMPANY] && name != c[CF_EMAIL])
                c[CF_FIRST_NAME] = name;
        }
    }
    return c;
}

Utf8Contact ReadOutlookRow(const std::vector<int32_t>& columns, const std::vector<std::string>& row)
{
    Utf8Contact c;
    for (size_t i = 0; i < columns.size() && i < row.size(); ++i) {
        if (columns[i] == 0)
            continue;
        if (columns[i] == CF_NOTE)
            c[CF_NOTE] = row[i];  // kept as written, blanks and all
        else
            SetColumnText(c, columns[i], row[i]);
    }
    return c;
}

// The field of an Outlook header, 0 for a column nobody reads. "Business
// Street 2" and "3" (and the same of the home and other streets) add lines
// to the street.
int32_t OutlookColumnField(std::string_view header)
{
    header = Trim(header);
    for (const CsvColumn& column : kOutlookColumns) {
        if (EqualsNoCase(header, column.pszHeader))
            return column.nId;
    }
    static const CsvColumn kStreetLines[] = {
        {"Business Street 2", CF_WORK_STREET}, {"Business Street 3", CF_WORK_STREET},
        {"Home Street 2", CF_HOME_STREET},     {"Home Street 3", CF_HOME_STREET},
        {"Other Street 2", CF_OTHER_STREET},   {"Other Street 3", CF_OTHER_STREET},
        {"Business Country", CF_WORK_COUNTRY}, {"Home Country", CF_HOME_COUNTRY},
        {"Other Country", CF_OTHER_COUNTRY},   {"E-mail", CF_EMAIL},
    };
    for (const CsvColumn& column : kStreetLines) {
        if (EqualsNoCase(header, column.pszHeader))
            return column.nId;
    }
    return 0;
}

// ---- From UTF-8 to the neutral record ----------------------------------

bool IsEmpty(const Utf8Contact& c)
{
    for (const std::string& text : c.text) {
        if (!text.empty())
            return false;
    }
    return c.dtBirthday == 0.0 && c.dtAnniversary == 0.0 && c.nGender == 0 && c.nPrivate == 0;
}

// Converts the contact into a record and adds it to the result, or names it
// among the refused or shortened contacts.
void Finish(Utf8Contact& c, int32_t nSourceType, ContactImport* pResult)
{
    if (IsEmpty(c)) {
        ++pResult->nEmpty;
        return;
    }
    std::unique_ptr<CommAddrRecord> record(new CommAddrRecord);  // zero-filled once, here
    ZeroCommRecord(record.get());
    std::string shortenedFields;
    std::string unheldFields;
    for (const CommField& field : g_CommFieldCatalog) {
        if (field.type != CFT_TEXT || c[field.id].empty())
            continue;
        std::string ansi;
        if (!Utf8ToAnsiExact(c[field.id], &ansi))
            unheldFields += (unheldFields.empty() ? "" : ", ") + std::string(field.name);
        if (ansi.size() > static_cast<size_t>(field.size - 1))
            shortenedFields += (shortenedFields.empty() ? "" : ", ") + std::string(field.name);
        SetTextField(record.get(), field.id, ansi.c_str());
    }
    const std::string name = ShownName(c);
    if (!unheldFields.empty()) {
        pResult->refused.push_back(
            {name, "characters the code page " + GetAnsiCodePage() + " cannot hold (" + unheldFields + ")"});
        return;
    }
    if (!shortenedFields.empty())
        pResult->shortened.push_back({name, "too long for " + shortenedFields});
    record->dtBirthday = c.dtBirthday;
    record->dtAnniversary = c.dtAnniversary;
    record->nGender = c.nGender;
    record->nPrivate = c.nPrivate;
    record->nSourceType = nSourceType;
    pResult->records.push_back(std::move(record));
}

bool HeaderHas(const std::vector<std::string>& header, const char* pszName)
{
    for (const std::string& column : header) {
        if (EqualsNoCase(Trim(column), pszName))
            return true;
    }
    return false;
}

bool IsGoogleHeader(const std::vector<std::string>& header)
{
    return HeaderHas(header, "Given Name") || HeaderHas(header, "Family Name") ||
           HeaderHas(header, "E-mail 1 - Value") || HeaderHas(header, "Phone 1 - Value");
}

bool IsOutlookHeader(const std::vector<std::string>& header)
{
    for (const std::string& column : header) {
        if (OutlookColumnField(column) != 0)
            return true;
    }
    return false;
}

// CSV from old Windows programs is often in their code page, not UTF-8.
std::string CsvTextAsUtf8(std::string_view text)
{
    if (IsValidUtf8(text))
        return std::string(text);
    std::string utf8;
    if (CharsetToUtf8("WINDOWS-1252", text, &utf8))
        return utf8;
    return std::string(text);
}

}  // namespace

const char* ExchangeFormatName(ExchangeFormat eFormat)
{
    switch (eFormat) {
    case EXF_VCARD3:
        return "vcard3";
    case EXF_CSV_GOOGLE:
        return "csv-google";
    case EXF_CSV_OUTLOOK:
        return "csv-outlook";
    case EXF_VCARD4:
    default:
        return "vcard4";
    }
}

bool ParseExchangeFormat(std::string_view name, ExchangeFormat* peFormat)
{
    for (ExchangeFormat eFormat : {EXF_VCARD4, EXF_VCARD3, EXF_CSV_GOOGLE, EXF_CSV_OUTLOOK}) {
        if (name == ExchangeFormatName(eFormat)) {
            if (peFormat != nullptr)
                *peFormat = eFormat;
            return true;
        }
    }
    return false;
}

bool IsCsvFormat(ExchangeFormat eFormat)
{
    return eFormat == EXF_CSV_GOOGLE || eFormat == EXF_CSV_OUTLOOK;
}

bool DetectExchangeFormat(std::string_view text, ExchangeFormat* peFormat)
{
    ExchangeFormat eFormat;
    // A vCard: BEGIN:VCARD on one of the first lines.
    const std::string_view head = text.substr(0, 4096);
    std::string upper(head);
    for (char& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (upper.find("BEGIN:VCARD") != std::string::npos) {
        eFormat = EXF_VCARD4;
    } else {
        // A CSV: its first row.
        std::vector<CsvReader::Row> rows;
        const size_t end = text.find_first_of("\r\n");
        CsvReader::Parse(CsvTextAsUtf8(text.substr(0, end)), &rows, nullptr);
        if (rows.empty())
            return false;
        if (IsGoogleHeader(rows[0]))
            eFormat = EXF_CSV_GOOGLE;
        else if (IsOutlookHeader(rows[0]))
            eFormat = EXF_CSV_OUTLOOK;
        else
            return false;
    }
    if (peFormat != nullptr)
        *peFormat = eFormat;
    return true;
}

std::string WriteContacts(const std::vector<const CommAddrRecord*>& records, ExchangeFormat eFormat)
{
    if (eFormat == EXF_VCARD3 || eFormat == EXF_VCARD4) {
        VCardWriter writer(eFormat == EXF_VCARD3 ? 3 : 4);
        for (const CommAddrRecord* pRecord : records) {
            if (pRecord != nullptr)
                WriteCard(writer, FromRecord(*pRecord));
        }
        return writer.TakeText();
    }
    if (eFormat == EXF_CSV_GOOGLE) {
        CsvWriter writer(false);
        writer.AddRow(GoogleHeader());
        for (const CommAddrRecord* pRecord : records) {
            if (pRecord != nullptr)
                writer.AddRow(GoogleRow(FromRecord(*pRecord)));
        }
        return writer.TakeText();
    }
    // Outlook reads a CSV as UTF-8 only when it starts with the byte order mark.
    CsvWriter writer(true);
    std::vector<std::string> header;
    for (const CsvColumn& column : kOutlookColumns)
        header.emplace_back(column.pszHeader);
    writer.AddRow(header);
    for (const CommAddrRecord* pRecord : records) {
        if (pRecord == nullptr)
            continue;
        const Utf8Contact c = FromRecord(*pRecord);
        std::vector<std::string> row;
        row.reserve(std::size(kOutlookColumns));
        for (const CsvColumn& column : kOutlookColumns)
            row.push_back(ColumnText(c, column.nId, true));
        writer.AddRow(row);
    }
    return writer.TakeText();
}

bool ReadContacts(std::string_view text, ExchangeFormat eFormat, ContactImport* pResult)
{
    if (pResult == nullptr)
        return false;
    if (!IsCsvFormat(eFormat)) {
        std::vector<VCard> cards;
        if (VCardReader::Parse(text, &cards) == 0) {
            pResult->strError = "the file holds no vCard (no BEGIN:VCARD line)";
            return false;
        }
        pResult->records.reserve(cards.size());
        for (const VCard& card : cards) {
            Utf8Contact c = ReadCard(card);
            Finish(c, CST_VCARD, pResult);
        }
        return true;
    }

    std::vector<CsvReader::Row> rows;
    std::string strError;
    if (!CsvReader::Parse(CsvTextAsUtf8(text), &rows, &strError)) {
        pResult->strError = "the CSV file is damaged: " + strError;
        return false;
    }
    if (rows.empty()) {
        pResult->strError = "the CSV file is empty";
        return false;
    }
    const std::vector<std::string>& header = rows[0];
    const bool bGoogle = IsGoogleHeader(header);
    if (!bGoogle && !IsOutlookHeader(header)) {
        pResult->strError = "the first row of the CSV file names no column of Google's or Outlook's contacts";
        return false;
    }
    pResult->records.reserve(rows.size() - 1);
    std::vector<int32_t> columns;
    const GoogleLayout layout = bGoogle ? MakeGoogleLayout(header) : GoogleLayout();
    if (!bGoogle) {
        for (const std::string& column : header)
            columns.push_back(OutlookColumnField(column));
    }
    for (size_t r = 1; r < rows.size(); ++r) {
        Utf8Contact c = bGoogle ? ReadGoogleRow(layout, rows[r]) : ReadOutlookRow(columns, rows[r]);
        Finish(c, CST_CSV, pResult);
    }
    return true;
}
