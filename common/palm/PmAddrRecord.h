// PmAddrRecord: one contact of a classic Palm Desktop address.dat, as held
// in memory.
//
// A plain fixed-size record: zero-filled texts and integers, safe to copy
// with memcpy and to clear with memset. Every text member is a zero-
// terminated 8-bit text cut to its width - 1 characters. The file stores the
// members in the order listed, as 30 typed values (field numbers in the
// comments); PmAddrUtil reads and writes them.
#pragma once

#include <cstdint>

// Widths of the classic record's text members, terminator included.
constexpr int kPmAddrShortTextWidth = 32;  // names, title, city, state, zip, country
constexpr int kPmAddrLongTextWidth = 256;  // company, address
constexpr int kPmAddrCustomWidth = 64;     // custom 1 to 4
constexpr int kPmAddrNoteWidth = 2048;
// Phone slots hold e-mail addresses too, so they are as wide as the neutral
// record's "Email" field: an address that fits there survives a round trip.
constexpr int kPmAddrPhoneWidth = 64;
constexpr int kPmAddrCategoryNameWidth = 16;  // as a category's own name
constexpr int kPmAddrPhoneCount = 5;
constexpr int kPmAddrCustomCount = 4;

struct PmAddrRecord {
    int32_t nId;                              // field 0
    int32_t nStatus;                          // 1: status bits (0x01 added, 0x02 changed, 0x04/0x80 not listed)
    int32_t nPosition;                        // 2
    char szLastName[kPmAddrShortTextWidth];   // 3 (4 when names are swapped)
    char szFirstName[kPmAddrShortTextWidth];  // 4 (3 when names are swapped)
    char szTitle[kPmAddrShortTextWidth];      // 5
    char szCompany[kPmAddrLongTextWidth];     // 6
    int32_t nPhoneLabel[kPmAddrPhoneCount];   // 7, 9, 11, 13, 15
    char szPhone[kPmAddrPhoneCount][kPmAddrPhoneWidth];     // 8, 10, 12, 14, 16
    char szAddress[kPmAddrLongTextWidth];                   // 17
    char szCity[kPmAddrShortTextWidth];                     // 18
    char szState[kPmAddrShortTextWidth];                    // 19
    char szZip[kPmAddrShortTextWidth];                      // 20
    char szCountry[kPmAddrShortTextWidth];                  // 21
    char szNote[kPmAddrNoteWidth];                          // 22
    int32_t nPrivate;                                       // 23
    int32_t nCategoryId;                                    // 24
    char szCustom[kPmAddrCustomCount][kPmAddrCustomWidth];  // 25 to 28
    int32_t nField29;                                       // 29
    // Not stored: the name of the category nCategoryId, looked up on reading.
    char szCategoryName[kPmAddrCategoryNameWidth];

    // Zero-fills the whole record.
    void Clear();
};
