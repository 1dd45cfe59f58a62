// PmAddrExRecord: one contact of an extended ("PalmSG Database") Palm
// Desktop address.dat, as held in memory.
//
// The file stores 73 typed values per record (field numbers in the
// comments); PmAddrExUtil reads and writes them. Every text member is a
// zero-terminated 8-bit text cut to its width - 1 characters. The record
// owns the bytes of its four binary items: copying a record copies them, and
// no two records ever share them. Because of those buffers the record is not
// a plain byte block: create it with new or as a value (it starts cleared),
// copy it by assignment, and reset it with Clear(), never with memset or
// memcpy of the whole record (PlainBytes are the bytes that may be copied
// as bytes).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/palm/PmDBUtil.h"

// Widths of the extended record's text members, terminator included.
constexpr int kPmAddrExShortTextWidth = 32;  // names, title, fields 11/12/69-72, city, state, zip, country, messaging
constexpr int kPmAddrExLongTextWidth = 256;  // company, custom, street, field 64
constexpr int kPmAddrExNoteWidth = 2048;
// Phone slots hold e-mail addresses too, so they are as wide as the neutral
// record's "Email" field: an address that fits there survives a round trip.
constexpr int kPmAddrExPhoneWidth = 64;
constexpr int kPmAddrExCategoryNameWidth = 16;
constexpr int kPmAddrExPhoneCount = 7;
constexpr int kPmAddrExCustomCount = 9;
constexpr int kPmAddrExAddressCount = 3;
constexpr int kPmAddrExBinaryCount = 4;
constexpr int kPmAddrExTailTextCount = 4;  // fields 69 to 72

// An item with no content: count 0, no buffer, the given type code.
inline PmBinaryItem PmEmptyBinaryItem(int32_t nType)
{
    PmBinaryItem item;
    item.nType = nType;
    return item;
}

// One of the three addresses: kind, then street, city, state, zip, country
// (fields 42-47, 48-53, 54-59).
struct PmAddrExAddress {
    int32_t nKind;
    char szStreet[kPmAddrExLongTextWidth];
    char szCity[kPmAddrExShortTextWidth];
    char szState[kPmAddrExShortTextWidth];
    char szZip[kPmAddrExShortTextWidth];
    char szCountry[kPmAddrExShortTextWidth];
};

struct PmAddrExRecord {
    // Empty items carry the type codes of their fields (64 to 67), as Palm
    // Desktop writes them, so a new record is written as Palm Desktop would.
    // They come first: they are the only members with a constructor, and
    // every member after them is plain data (see ZeroedMemory).
    PmBinaryItem items[kPmAddrExBinaryCount] = {
        PmEmptyBinaryItem(kPmTypeBinary1), PmEmptyBinaryItem(kPmTypeBinary1 + 1), PmEmptyBinaryItem(kPmTypeBinary1 + 2),
        PmEmptyBinaryItem(kPmTypeBinary1 + 3)};  // 7 to 10

    // The members stand in memory in an order of their own, not in file
    // order: the short values that most contacts have first, the long texts
    // that most leave empty (company, note, custom fields, field 64) last.
    // In a page-sized slot of zero-filled memory, a record whose long texts
    // are short or empty then never touches its second page.
    int32_t nId;                                // 0
    int32_t nSequence;                          // 1
    int32_t nStatus;                            // 2: status bits (0x01 added, 0x02 changed, 0x04/0x80 not listed)
    int32_t nField3;                            // 3
    int32_t nPlacement;                         // 4
    int32_t nCategoryId;                        // 5
    int32_t nPrivate;                           // 6
    int32_t nField17;                           // 17
    char szField11[kPmAddrExShortTextWidth];    // 11
    char szField12[kPmAddrExShortTextWidth];    // 12
    char szLastName[kPmAddrExShortTextWidth];   // 14 (13 when names are swapped)
    char szFirstName[kPmAddrExShortTextWidth];  // 13 (14 when names are swapped)
    char szTitle[kPmAddrExShortTextWidth];      // 15
    char szPhone[kPmAddrExPhoneCount][kPmAddrExPhoneWidth];  // 19 to 25
    int32_t nPhoneLabel[kPmAddrExPhoneCount];                // 26 to 32
    PmAddrExAddress addresses[kPmAddrExAddressCount];        // 42 to 59
    char szMessaging1[kPmAddrExShortTextWidth];              // 60
    char szMessaging2[kPmAddrExShortTextWidth];              // 61
    int32_t nField62;                                        // 62
    int32_t nField63;                                        // 63
    // An IEEE double kept bit for bit (PmDBUtil::QuadToDouble gives the
    // value); the facade stores the birthday in it.
    uint64_t qBirthday;                                               // 65
    int32_t nField66;                                                 // 66
    int32_t nField67;                                                 // 67
    int32_t nField68;                                                 // 68
    char szField69[kPmAddrExTailTextCount][kPmAddrExShortTextWidth];  // 69 to 72
    // Not stored: the name of the category nCategoryId, looked up on reading.
    char szCategoryName[kPmAddrExCategoryNameWidth];
    char szCompany[kPmAddrExLongTextWidth];                       // 16
    char szNote[kPmAddrExNoteWidth];                              // 18
    char szCustom[kPmAddrExCustomCount][kPmAddrExLongTextWidth];  // 33 to 41
    char szField64[kPmAddrExLongTextWidth];                       // 64

    // A cleared record: every value zero, every text empty, every binary
    // item empty without a buffer (its type code kept as above).
    PmAddrExRecord();
    PmAddrExRecord(const PmAddrExRecord&) = default;
    PmAddrExRecord& operator=(const PmAddrExRecord&) = default;

    // For a record built in memory that holds zero bytes nothing has written
    // (a slot of a RecordArena that never held a record): only the binary
    // items are constructed, and the plain members keep the zeros the memory
    // holds, unwritten, so that its untouched pages stay untouched. Never use
    // it on other memory, nor on memory the program cleared itself just
    // before (the compiler may drop such a clearing as dead).
    struct ZeroedMemory { };
    explicit PmAddrExRecord(ZeroedMemory) { }

    // Back to the cleared state.
    void Clear();

    // The plain members as bytes: PlainSize() bytes from nId to the end of
    // the record.
    unsigned char* PlainBytes();
    const unsigned char* PlainBytes() const;
    static size_t PlainSize();
};

inline unsigned char* PmAddrExRecord::PlainBytes()
{
    return reinterpret_cast<unsigned char*>(this) + offsetof(PmAddrExRecord, nId);
}

inline const unsigned char* PmAddrExRecord::PlainBytes() const
{
    return reinterpret_cast<const unsigned char*>(this) + offsetof(PmAddrExRecord, nId);
}

inline size_t PmAddrExRecord::PlainSize()
{
    return sizeof(PmAddrExRecord) - offsetof(PmAddrExRecord, nId);
}
