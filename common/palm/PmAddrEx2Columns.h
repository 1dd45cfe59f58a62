// The 95 columns of the Desktop 6 contacts table "Main", in id order: the
// order in which they are selected, read and inserted. Each column names
// the member of PmAddrEx2Record that stores it and how its value travels:
//
//   Int       int32 member, written as a decimal number (VT_I4)
//   Flag      uint8 member, written as 1 or 0 (VT_BOOL)
//   Category  int32 category id, written as its decimal digits in quotes
//             (VT_BSTR)
//   Text      char member of nSize bytes, written as quoted text (VT_BSTR)
//   None      no member: never read, never updated; an insert writes ''
//
// bCompared marks the members that decide whether two records are equal;
// Placement, the assistant, the yomi fields and Avatar do not.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/palm/PmAddrEx2Record.h"

enum class Ex2ColumnKind : uint8_t { Int, Flag, Category, Text, None };

struct PmAddrEx2Column {
    const char* pszName;
    Ex2ColumnKind kind;
    size_t nOffset;  // of the member in PmAddrEx2Record
    size_t nSize;    // of the member in bytes
    bool bCompared;
};

#define VW_EX2_MEMBER(member) offsetof(PmAddrEx2Record, member), sizeof(PmAddrEx2Record::member)
#define VW_EX2_INT(name, member, cmp)                        \
    {                                                        \
        name, Ex2ColumnKind::Int, VW_EX2_MEMBER(member), cmp \
    }
#define VW_EX2_FLAG(name, member)                              \
    {                                                          \
        name, Ex2ColumnKind::Flag, VW_EX2_MEMBER(member), true \
    }
#define VW_EX2_TEXT(name, member, cmp)                        \
    {                                                         \
        name, Ex2ColumnKind::Text, VW_EX2_MEMBER(member), cmp \
    }
#define VW_EX2_NONE(name)                      \
    {                                          \
        name, Ex2ColumnKind::None, 0, 0, false \
    }

inline constexpr PmAddrEx2Column kAddrEx2Columns[] = {
    VW_EX2_INT("Record ID", RecordID, true),                               // 0
    VW_EX2_INT("Status", Status, true),                                    // 1
    VW_EX2_INT("Placement", Placement, false),                             // 2
    VW_EX2_FLAG("Private", Private),                                       // 3
    {"Category", Ex2ColumnKind::Category, VW_EX2_MEMBER(Category), true},  // 4
    VW_EX2_TEXT("Note", Note, true),                                       // 5
    VW_EX2_TEXT("Prefix", Prefix, true),                                   // 6
    VW_EX2_TEXT("First Name", FirstName, true),                            // 7
    VW_EX2_TEXT("Middle Name", MiddleName, true),                          // 8
    VW_EX2_TEXT("Last Name", LastName, true),                              // 9
    VW_EX2_TEXT("Suffix", Suffix, true),                                   // 10
    VW_EX2_TEXT("NickName", NickName, true),                               // 11
    VW_EX2_INT("Anniversary", Anniversary, true),                          // 12
    VW_EX2_INT("Birthday", Birthday, true),                                // 13
    VW_EX2_TEXT("Profession", Profession, true),                           // 14
    VW_EX2_TEXT("Company", Company, true),                                 // 15
    VW_EX2_TEXT("Job Title", JobTitle, true),                              // 16
    VW_EX2_TEXT("Assistant Name", AssistantName, false),                   // 17
    VW_EX2_TEXT("Assistant Phone", AssistantPhone, false),                 // 18
    VW_EX2_TEXT("Work Street", WorkStreet, true),                          // 19
    VW_EX2_TEXT("Work City", WorkCity, true),                              // 20
    VW_EX2_TEXT("Work State", WorkState, true),                            // 21
    VW_EX2_TEXT("Work Zip", WorkZip, true),                                // 22
    VW_EX2_TEXT("Work Country", WorkCountry, true),                        // 23
    VW_EX2_TEXT("Home Street", HomeStreet, true),                          // 24
    VW_EX2_TEXT("Home City", HomeCity, true),                              // 25
    VW_EX2_TEXT("Home State", HomeState, true),                            // 26
    VW_EX2_TEXT("Home Zip", HomeZip, true),                                // 27
    VW_EX2_TEXT("Home Country", HomeCountry, true),                        // 28
    VW_EX2_TEXT("Other Street", OtherStreet, true),                        // 29
    VW_EX2_TEXT("Other City", OtherCity, true),                            // 30
    VW_EX2_TEXT("Other State", OtherState, true),                          // 31
    VW_EX2_TEXT("Other Zip", OtherZip, true),                              // 32
    VW_EX2_TEXT("Other Country", OtherCountry, true),                      // 33
    VW_EX2_TEXT("Work Phone", phone[0], true),                             // 34
    VW_EX2_TEXT("Work Fax", phone[1], true),                               // 35
    VW_EX2_TEXT("Work Mobile", phone[2], true),                            // 36
    VW_EX2_TEXT("Home Phone", phone[3], true),                             // 37
    VW_EX2_TEXT("Home Fax", phone[4], true),                               // 38
    VW_EX2_TEXT("Home Mobile", phone[5], true),                            // 39
    VW_EX2_TEXT("Other Phone", phone[6], true),                            // 40
    VW_EX2_NONE("Other Fax"),                                              // 41
    VW_EX2_NONE("Other Mobile"),                                           // 42
    VW_EX2_NONE("Work E-mail"),                                            // 43
    VW_EX2_NONE("E-mail 1"),                                               // 44
    VW_EX2_NONE("E-mail 2"),                                               // 45
    VW_EX2_NONE("E-mail 3"),                                               // 46
    VW_EX2_NONE("Pager"),                                                  // 47
    VW_EX2_TEXT("Custom 1", Custom[0], true),                              // 48
    VW_EX2_TEXT("Custom 2", Custom[1], true),                              // 49
    VW_EX2_TEXT("Custom 3", Custom[2], true),                              // 50
    VW_EX2_TEXT("Custom 4", Custom[3], true),                              // 51
    VW_EX2_INT("Primary Contact", PrimaryContact, true),                   // 52
    VW_EX2_INT("Phone Label1", phoneLabel[0], true),                       // 53
    VW_EX2_INT("Phone Label2", phoneLabel[1], true),                       // 54
    VW_EX2_INT("Phone Label3", phoneLabel[2], true),                       // 55
    VW_EX2_INT("Phone Label4", phoneLabel[3], true),                       // 56
    VW_EX2_INT("Phone Label5", phoneLabel[4], true),                       // 57
    VW_EX2_INT("Phone Label6", phoneLabel[5], true),                       // 58
    VW_EX2_INT("Phone Label7", phoneLabel[6], true),                       // 59
    VW_EX2_TEXT("First Yomi", FirstYomi, false),                           // 60
    VW_EX2_TEXT("Last Yomi", LastYomi, false),                             // 61
    VW_EX2_TEXT("Company Yomi", CompanyYomi, false),                       // 62
    VW_EX2_TEXT("Chat1", Chat1, true),                                     // 63
    VW_EX2_TEXT("Chat2", Chat2, true),                                     // 64
    VW_EX2_INT("Chat1 LabelID", Chat1LabelID, true),                       // 65
    VW_EX2_INT("Chat2 LabelID", Chat2LabelID, true),                       // 66
    VW_EX2_TEXT("Website", Website, true),                                 // 67
    VW_EX2_TEXT("Custom 5", Custom[4], true),                              // 68
    VW_EX2_TEXT("Custom 6", Custom[5], true),                              // 69
    VW_EX2_TEXT("Custom 7", Custom[6], true),                              // 70
    VW_EX2_TEXT("Custom 8", Custom[7], true),                              // 71
    VW_EX2_TEXT("Custom 9", Custom[8], true),                              // 72
    VW_EX2_TEXT("Custom 10", Custom[9], true),                             // 73
    VW_EX2_TEXT("Custom 11", Custom[10], true),                            // 74
    VW_EX2_TEXT("Custom 12", Custom[11], true),                            // 75
    VW_EX2_TEXT("Custom 13", Custom[12], true),                            // 76
    VW_EX2_TEXT("Custom 14", Custom[13], true),                            // 77
    VW_EX2_FLAG("Birthday AlarmSet", BirthdayAlarmSet),                    // 78
    VW_EX2_INT("Birthday AlarmAdv", BirthdayAlarmAdv, true),               // 79
    VW_EX2_INT("Avatar", Avatar, false),                                   // 80
    VW_EX2_INT("Addr Label1", AddrLabel1, true),                           // 81
    VW_EX2_INT("Addr Label2", AddrLabel2, true),                           // 82
    VW_EX2_INT("Addr Label3", AddrLabel3, true),                           // 83
    VW_EX2_FLAG("Anniversary AlarmSet", AnniversaryAlarmSet),              // 84
    VW_EX2_INT("Anniversary AlarmAdv", AnniversaryAlarmAdv, true),         // 85
    VW_EX2_TEXT("English Name", EnglishName, true),                        // 86
    VW_EX2_TEXT("Picture URL", PictureURL, true),                          // 87
    VW_EX2_TEXT("Picture Filename", PictureFilename, true),                // 88
    VW_EX2_TEXT("Picture MIME type", PictureMIMEType, true),               // 89
    VW_EX2_TEXT("Picture Sync counter", PictureSyncCounter, true),         // 90
    VW_EX2_TEXT("Ringtone URL", RingtoneURL, true),                        // 91
    VW_EX2_TEXT("Ringtone Filename", RingtoneFilename, true),              // 92
    VW_EX2_TEXT("Ringtone MIME type", RingtoneMIMEType, true),             // 93
    VW_EX2_TEXT("Ringtone Sync counter", RingtoneSyncCounter, true),       // 94
};

#undef VW_EX2_MEMBER
#undef VW_EX2_INT
#undef VW_EX2_FLAG
#undef VW_EX2_TEXT
#undef VW_EX2_NONE

inline constexpr int kAddrEx2ColumnCount = static_cast<int>(sizeof(kAddrEx2Columns) / sizeof(kAddrEx2Columns[0]));
static_assert(kAddrEx2ColumnCount == 95, "\"Main\" has 95 columns");

// The columns an update may name, in the order they are tested and listed:
// the record's own data columns. The unmapped columns, the address labels,
// the yomi columns and the chat label ids never reach an update. The phone
// labels and the chat texts do: a number written into a slot that changed
// its label must be read back under that label, not under the old one.
inline constexpr int kAddrEx2UpdateOrder[] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
    27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 48, 49, 50, 51, 68, 69, 70, 71, 72, 73, 74, 75, 76,
    77, 52, 67, 78, 79, 80, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 53, 54, 55, 56, 57, 58, 59, 63, 64,
};
