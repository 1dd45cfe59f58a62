// The value types, status codes and flags of the address-book library.
//
// The address book describes everything it stores as MAPI properties: a
// 32-bit property tag whose high 16 bits are the property id and whose low
// 16 bits are the value type, and a value of that type. The library hands
// out property arrays, row sets and identifiers in blocks that the caller
// returns with IWABObject::FreeBuffer.
#pragma once

#include <cstdint>

#include "platform/oletime/OleTime.h"
#include "platform/wintypes/WinTypes.h"

// ---------------------------------------------------------------------------
// Property tags

// Value types (the low 16 bits of a tag).
constexpr ULONG PT_UNSPECIFIED = 0x0000;
constexpr ULONG PT_SHORT = 0x0002;       // signed 16-bit
constexpr ULONG PT_LONG = 0x0003;        // signed 32-bit
constexpr ULONG PT_ERROR = 0x000A;       // no value: the status code says why
constexpr ULONG PT_STRING8 = 0x001E;     // zero-terminated 8-bit text
constexpr ULONG PT_SYSTIME = 0x0040;     // FILETIME
constexpr ULONG PT_BINARY = 0x0102;      // counted bytes
constexpr ULONG PT_MV_STRING8 = 0x101E;  // several 8-bit texts

constexpr ULONG PROP_TAG(ULONG ulType, ULONG ulId)
{
    return (ulId << 16) | (ulType & 0xFFFF);
}
constexpr ULONG PROP_ID(ULONG ulTag)
{
    return ulTag >> 16;
}
constexpr ULONG PROP_TYPE(ULONG ulTag)
{
    return ulTag & 0xFFFF;
}
// The same property with another value type (used for error values).
constexpr ULONG CHANGE_PROP_TYPE(ULONG ulTag, ULONG ulType)
{
    return (ulTag & 0xFFFF0000u) | (ulType & 0xFFFF);
}

// ---------------------------------------------------------------------------
// Status codes. Negative values are failures; a positive value is a success
// with a warning.

constexpr HRESULT hrSuccess = 0;
// GetProps: some requested properties came back as PT_ERROR values.
constexpr HRESULT MAPI_W_ERRORS_RETURNED = 0x00040380;

constexpr HRESULT MakeMapiError(uint32_t ulCode)
{
    return static_cast<HRESULT>(0x80040000u | ulCode);
}
constexpr HRESULT MAPI_E_CALL_FAILED = MakeMapiError(0x0101);      // storage failed
constexpr HRESULT MAPI_E_NO_SUPPORT = MakeMapiError(0x0102);       // not offered
constexpr HRESULT MAPI_E_INVALID_ENTRYID = MakeMapiError(0x0107);  // unknown identifier
constexpr HRESULT MAPI_E_NOT_FOUND = MakeMapiError(0x010F);        // no such property/entry
constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = MakeMapiError(0x0110);
constexpr HRESULT MAPI_E_INVALID_PARAMETER = MakeMapiError(0x0111);
constexpr HRESULT MAPI_E_NO_ACCESS = MakeMapiError(0x0112);   // opened read-only
constexpr HRESULT MAPI_E_NOT_A_BOOK = MakeMapiError(0x0113);  // file is no address book
constexpr HRESULT MAPI_E_BAD_VALUE = MakeMapiError(0x0114);   // value type not stored

constexpr bool HR_SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool HR_FAILED(HRESULT hr)
{
    return hr < 0;
}

// ---------------------------------------------------------------------------
// Flags and codes

// OpenEntry: open the object for writing (SetProps, SaveChanges).
constexpr ULONG MAPI_MODIFY = 0x00000001;
// CreateEntry: accepted for compatibility; the library never refuses a new
// entry because another one looks like it.
constexpr ULONG CREATE_CHECK_DUP_LOOSE = 0x00000002;

// Object types (PR_OBJECT_TYPE).
constexpr LONG MAPI_ABCONT = 4;    // an address-book container
constexpr LONG MAPI_MAILUSER = 6;  // a contact
constexpr LONG MAPI_DISTLIST = 8;  // a distribution list

// Table positions for IMAPITable::SeekRow.
using BOOKMARK = ULONG;
constexpr BOOKMARK BOOKMARK_BEGINNING = 0;
constexpr BOOKMARK BOOKMARK_CURRENT = 1;
constexpr BOOKMARK BOOKMARK_END = 2;

// ---------------------------------------------------------------------------
// Structures

// A 16-byte identifier (interface ids, the extension id of WAB_PARAM).
struct MAPIUID {
    BYTE ab[16];
};

// Entry identifiers are opaque byte strings of a given length.
using ENTRYID = BYTE;
using LPENTRYID = ENTRYID*;

struct SBinary {
    ULONG cb;
    BYTE* lpb;
};

union PropValueData {
    int16_t i;    // PT_SHORT
    LONG l;       // PT_LONG
    FILETIME ft;  // PT_SYSTIME
    LPSTR lpszA;  // PT_STRING8
    SBinary bin;  // PT_BINARY
    HRESULT err;  // PT_ERROR
    int64_t li;   // keeps the union 8-byte aligned
};

// One property: its tag and its value.
struct SPropValue {
    ULONG ulPropTag;
    ULONG dwAlignPad;
    PropValueData Value;
};
using LPSPropValue = SPropValue*;

// A counted list of property tags. Callers build one with
// SizedSPropTagArray or allocate cValues entries themselves.
struct SPropTagArray {
    ULONG cValues;
    ULONG aulPropTag[1];
};
using LPSPropTagArray = SPropTagArray*;

template <ULONG N>
struct SizedSPropTagArray {
    ULONG cValues;
    ULONG aulPropTag[N];

    LPSPropTagArray Get() { return reinterpret_cast<LPSPropTagArray>(this); }
};

// One row of a table: its column values.
struct SRow {
    ULONG ulAdrEntryPad;
    ULONG cValues;
    LPSPropValue lpProps;  // a block of its own, freed with FreeBuffer
};

// The rows one QueryRows returns. The row set and each row's lpProps are
// separate blocks; free the rows' blocks first, then the set.
struct SRowSet {
    ULONG cRows;
    SRow aRow[1];
};
using LPSRowSet = SRowSet*;

// One property SetProps could not set.
struct SPropProblem {
    ULONG ulIndex;
    ULONG ulPropTag;
    HRESULT scode;
};
struct SPropProblemArray {
    ULONG cProblem;
    SPropProblem aProblem[1];
};
using LPSPropProblemArray = SPropProblemArray*;
