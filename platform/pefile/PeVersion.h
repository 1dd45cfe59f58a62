// The version resource of a Windows executable (PE file: .exe or .dll).
//
// The reader walks the PE headers and the resource directory to the first
// RT_VERSION resource and hands out its raw version block (VS_VERSIONINFO),
// whose value is the fixed file information below. The file is untrusted:
// every offset, size and count is checked against the bytes actually there,
// and nothing is read outside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/wintypes/WinTypes.h"

// Signature that opens a valid VS_FIXEDFILEINFO.
constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;

// The fixed part of a version resource: 13 little-endian 32-bit words.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // VS_FFI_SIGNATURE
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;  // major << 16 | minor
    DWORD dwFileVersionLS;  // release << 16 | build
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "VS_FIXEDFILEINFO is 52 bytes on disk");

// Size in bytes of the version block of lptstrFilename, 0 when the file
// cannot be read, is no PE file, or has no valid version resource.
// *lpdwHandle (when not null) is set to 0.
DWORD GetFileVersionInfoSizeA(LPCSTR lptstrFilename, DWORD* lpdwHandle);

// Copies the version block of the file into lpData, which holds dwLen bytes.
// FALSE when the file has no valid version block, lpData is null, or dwLen
// is smaller than the block. dwHandle is ignored.
BOOL GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);

// Looks up a value in a version block filled by GetFileVersionInfoA. Only
// the root block "\\" is supported: *lplpBuffer then points at the
// VS_FIXEDFILEINFO inside pBlock and *puLen is its size. FALSE for any other
// sub-block or a malformed block.
BOOL VerQueryValueA(const void* pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen);

// The same reader over bytes in memory. Returns true and the version block
// (the raw resource data) when `image` is a PE file with a valid version
// resource.
bool FindVersionBlock(const uint8_t* image, size_t size, std::vector<uint8_t>* block);

// Extracts the fixed file information from a version block of `size` bytes.
bool ParseVersionBlock(const uint8_t* block, size_t size, VS_FIXEDFILEINFO* info);
