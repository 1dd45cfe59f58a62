// PmAddrEx2Record: one contact of a Desktop 6 database, a row of its table
// "Main" held in memory.
//
// A plain fixed-size record without pointers: it owns no memory and is
// copied byte for byte. Texts are zero-terminated 8-bit text in the ANSI
// code page; each width includes the terminator. A member that stores a
// column of "Main" is named after that column (blanks and hyphens left
// out); categoryName and labelText are derived when the record is read and
// are not columns. The columns Other Fax, Other Mobile, Work E-mail,
// E-mail 1 to 3 and Pager have no member: the seven phone slots, each with
// its label, stand for the phone columns Work Phone to Other Phone.
//
// Always zero-fill a record as a whole before filling it.
#pragma once

#include <cstdint>

struct PmAddrEx2Record {
    static constexpr int kPhoneCount = 7;       // phone slots
    static constexpr int kLabelTextCount = 11;  // labelText elements
    static constexpr int kCustomCount = 14;     // Custom 1 to Custom 14

    int32_t RecordID;  // Record ID
    int32_t Status;    // 0x01 added by the facade, 0x02 changed by it
    int32_t Placement;
    uint8_t Private;        // non-zero: a private record
    int32_t Category;       // category id
    char categoryName[32];  // name of that category (derived)
    char Note[2048];
    char Prefix[32];
    char FirstName[64];
    char MiddleName[64];
    char LastName[64];
    char Suffix[32];
    char NickName[64];
    int32_t Anniversary;  // dates as the database's integer values
    int32_t Birthday;
    char Profession[128];
    char Company[128];
    char JobTitle[128];
    char AssistantName[64];
    char AssistantPhone[64];
    char WorkStreet[256];
    char WorkCity[32];
    char WorkState[32];
    char WorkZip[32];
    char WorkCountry[32];
    char HomeStreet[256];
    char HomeCity[32];
    char HomeState[32];
    char HomeZip[32];
    char HomeCountry[32];
    char OtherStreet[256];
    char OtherCity[32];
    char OtherState[32];
    char OtherZip[32];
    char OtherCountry[32];
    // The phone slot texts by label (derived): labels 0 to 4 in elements 0
    // to 4, label 5 in 8, label 6 in 9, label 7 in 10; 5 to 7 unused.
    char labelText[kLabelTextCount][32];
    char Custom[kCustomCount][256];   // Custom 1 to Custom 14
    char phone[kPhoneCount][128];     // columns Work Phone .. Other Phone
    int32_t phoneLabel[kPhoneCount];  // columns Phone Label1 .. Phone Label7
    int32_t PrimaryContact;
    char FirstYomi[64];
    char LastYomi[64];
    char CompanyYomi[64];
    char Chat1[128];
    char Chat2[128];
    int32_t Chat1LabelID;
    int32_t Chat2LabelID;
    char Website[256];
    uint8_t BirthdayAlarmSet;
    int32_t BirthdayAlarmAdv;
    int32_t Avatar;
    int32_t AddrLabel1;
    int32_t AddrLabel2;
    int32_t AddrLabel3;
    uint8_t AnniversaryAlarmSet;
    int32_t AnniversaryAlarmAdv;
    char EnglishName[128];
    char PictureURL[256];
    char PictureFilename[256];
    char PictureMIMEType[32];
    char PictureSyncCounter[32];
    char RingtoneURL[256];
    char RingtoneFilename[256];
    char RingtoneMIMEType[32];
    char RingtoneSyncCounter[32];
};
