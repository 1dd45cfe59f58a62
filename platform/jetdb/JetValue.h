// The typed value that goes into a Desktop 6 statement and comes out of its
// rows: a small tagged union holding a 32-bit integer, a yes/no flag or a
// 16-bit text. The narrower integer tags exist because value readers accept
// them from other producers.
//
// A value owns its text: JetClearValue frees it. Values are plain data, so
// an array of them is zero-initialised (every tag VT_EMPTY) and released
// element by element.
#pragma once

#include <cstddef>
#include <cstdint>

using VARTYPE = uint16_t;

constexpr VARTYPE VT_EMPTY = 0;  // no value: null, or a column type not handled
constexpr VARTYPE VT_I2 = 2;     // signed 16-bit integer
constexpr VARTYPE VT_I4 = 3;     // signed 32-bit integer
constexpr VARTYPE VT_BSTR = 8;   // 16-bit text, or none for empty text
constexpr VARTYPE VT_BOOL = 11;  // yes/no; any non-zero payload is yes
constexpr VARTYPE VT_I1 = 16;    // signed 8-bit integer

// Zero-terminated 16-bit text owned by the value that holds it. Allocated
// with JetAllocText and released with JetFreeText; null stands for "".
using BSTR = char16_t*;

struct VARIANT {
    VARTYPE vt;
    union {
        int32_t lVal;     // VT_I4
        int16_t iVal;     // VT_I2
        int8_t cVal;      // VT_I1
        int16_t boolVal;  // VT_BOOL
        BSTR bstrVal;     // VT_BSTR
    };
};

// A terminated copy of the first nLength units of pText. Null when out of
// memory; pText may be null only when nLength is 0.
BSTR JetAllocText(const char16_t* pText, size_t nLength);
void JetFreeText(BSTR pText);

// Number of units before the terminator; 0 for null.
size_t JetTextLength(const char16_t* pText);

// Sets the value to VT_EMPTY without looking at what it held.
void JetInitValue(VARIANT* pValue);
// Frees the value's text, if it holds one, and sets it to VT_EMPTY.
void JetClearValue(VARIANT* pValue);
