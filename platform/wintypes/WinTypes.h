// Fixed-width names for the integer and pointer types that the address-book
// formats and the platform stand-ins are described in. They carry no Windows
// semantics of their own; they only keep the widths explicit.
#pragma once

#include <cstdint>

using BOOL = int32_t;  // 32-bit truth value: 0 false, anything else true
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using HRESULT = int32_t;  // status code: negative is a failure
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using HMODULE = void*;  // a loaded module; null means the running program

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Length of a path buffer, terminator included.
constexpr int MAX_PATH = 260;
