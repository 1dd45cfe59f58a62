#include "platform/pefile/PeVersion.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "platform/fsutil/FsUtil.h"

namespace {

// Layout constants of the PE format.
constexpr size_t kDosLfanewOffset = 0x3C;  // file offset of the PE header's offset
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kPe32DirCountOffset = 92;  // NumberOfRvaAndSizes in the optional header
constexpr size_t kPe32PlusDirCountOffset = 108;
constexpr uint32_t kResourceDirIndex = 2;  // data directory of the resources
constexpr uint32_t kRtVersion = 16;        // resource type of version blocks
constexpr size_t kResourceDirSize = 16;
constexpr size_t kResourceEntrySize = 8;
constexpr size_t kResourceDataEntrySize = 16;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kNamedEntryFlag = 0x80000000u;

// Version block: three 16-bit words, the UTF-16 key "VS_VERSION_INFO" with
// its terminator (32 bytes), padding to a 4-byte boundary, then the value.
constexpr size_t kVersionKeyOffset = 6;
constexpr size_t kVersionValueOffset = 40;
constexpr char kVersionKey[] = "VS_VERSION_INFO";

// Files larger than this are not executables this program cares about.
constexpr long kMaxImageSize = 256L * 1024 * 1024;

// Bounds-checked little-endian view over untrusted bytes.
class ByteView {
public:
    ByteView(const uint8_t* data, size_t size) : m_data(data), m_size(size) { }

    bool Has(size_t offset, size_t length) const { return offset <= m_size && length <= m_size - offset; }
    bool U16(size_t offset, uint16_t* value) const
    {
        if (!Has(offset, 2))
            return false;
        *value = static_cast<uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
        return true;
    }
    bool U32(size_t offset, uint32_t* value) const
    {
        if (!Has(offset, 4))
            return false;
        *value = static_cast<uint32_t>(m_data[offset]) | (static_cast<uint32_t>(m_data[offset + 1]) << 8) |
                 (static_cast<uint32_t>(m_data[offset + 2]) << 16) | (static_cast<uint32_t>(m_data[offset + 3]) << 24);
        return true;
    }
    const uint8_t* At(size_t offset) const { return m_data + offset; }

private:
    const uint8_t* m_data;
    size_t m_size;
};

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
};

// Maps a range of `length` bytes at relative virtual address `rva` to a file
// offset; false unless the whole range lies in one section's raw data.
bool RvaToOffset(const ByteView& file, const std::vector<Section>& sections, uint32_t rva, uint32_t length,
                 size_t* offset)
{
    for (const Section& section : sections) {
        if (rva < section.virtualAddress)
            continue;
        const uint64_t delta = rva - section.virtualAddress;
        if (delta + length > section.rawSize)
            continue;
        const uint64_t fileOffset = static_cast<uint64_t>(section.rawOffset) + delta;
        if (fileOffset > SIZE_MAX || !file.Has(static_cast<size_t>(fileOffset), length))
            return false;
        *offset = static_cast<size_t>(fileOffset);
        return true;
    }
    return false;
}

// Finds in the resource directory at `dirOffset` (relative to the resource
// base) the entry with the given id, or the first id entry when id is 0.
// Answers the entry's OffsetToData word.
bool FindResourceEntry(const ByteView& file, size_t base, size_t resourceSize, size_t dirOffset, uint32_t id,
                       uint32_t* target)
{
    uint16_t named = 0;
    uint16_t ids = 0;
    if (dirOffset > resourceSize || kResourceDirSize > resourceSize - dirOffset ||
        !file.U16(base + dirOffset + 12, &named) || !file.U16(base + dirOffset + 14, &ids))
        return false;
    const size_t count = static_cast<size_t>(named) + ids;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = dirOffset + kResourceDirSize + i * kResourceEntrySize;
        if (entry + kResourceEntrySize > resourceSize)
            return false;
        uint32_t name = 0;
        uint32_t data = 0;
        if (!file.U32(base + entry, &name) || !file.U32(base + entry + 4, &data))
            return false;
        if ((name & kNamedEntryFlag) != 0)
            continue;
        if (id == 0 || name == id) {
            *target = data;
            return true;
        }
    }
    return false;
}

// Reads the file when it is a regular file of at most kMaxImageSize bytes;
// a FIFO or device under an executable's name is refused, not waited on.
bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes)
{
    if (path == nullptr || path[0] == '\0')
        return false;
    struct stat st { };
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxImageSize)
        return false;
    return ReadRegularFile(path, bytes) && bytes->size() <= static_cast<size_t>(kMaxImageSize);
}

bool ReadVersionBlock(const char* path, std::vector<uint8_t>* block)
{
    std::vector<uint8_t> image;
    return ReadWholeFile(path, &image) && FindVersionBlock(image.data(), image.size(), block);
}

}  // namespace

bool FindVersionBlock(const uint8_t* image, size_t size, std::vector<uint8_t>* block)
{
    if (image == nullptr || block == nullptr)
        return false;
    const ByteView file(image, size);
    uint32_t peOffset = 0;
    if (!file.Has(0, 2) || image[0] != 'M' || image[1] != 'Z' || !file.U32(kDosLfanewOffset, &peOffset))
        return false;
    if (!file.Has(peOffset, 4 + kCoffHeaderSize) || std::memcmp(file.At(peOffset), "PE\0\0", 4) != 0)
        return false;
    const size_t coff = static_cast<size_t>(peOffset) + 4;
    uint16_t sectionCount = 0;
    uint16_t optionalSize = 0;
    if (!file.U16(coff + 2, &sectionCount) || !file.U16(coff + 16, &optionalSize))
        return false;
    const size_t optional = coff + kCoffHeaderSize;
    uint16_t magic = 0;
    if (!file.U16(optional, &magic) || !file.Has(optional, optionalSize))
        return false;
    size_t dirCountOffset = 0;
    if (magic == kPe32Magic)
        dirCountOffset = kPe32DirCountOffset;
    else if (magic == kPe32PlusMagic)
        dirCountOffset = kPe32PlusDirCountOffset;
    else
        return false;
    uint32_t dirCount = 0;
    if (dirCountOffset + 4 > optionalSize || !file.U32(optional + dirCountOffset, &dirCount) ||
        dirCount <= kResourceDirIndex)
        return false;
    const size_t resourceDirEntry = dirCountOffset + 4 + kResourceDirIndex * 8;
    uint32_t resourceRva = 0;
    uint32_t resourceSize = 0;
    if (resourceDirEntry + 8 > optionalSize || !file.U32(optional + resourceDirEntry, &resourceRva) ||
        !file.U32(optional + resourceDirEntry + 4, &resourceSize) || resourceRva == 0 ||
        resourceSize < kResourceDirSize)
        return false;

    std::vector<Section> sections;
    const size_t sectionTable = optional + optionalSize;
    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t header = sectionTable + i * kSectionHeaderSize;
        Section section{};
        if (!file.U32(header + 8, &section.virtualSize) || !file.U32(header + 12, &section.virtualAddress) ||
            !file.U32(header + 16, &section.rawSize) || !file.U32(header + 20, &section.rawOffset))
            return false;
        sections.push_back(section);
    }

    // The resource tree: type, then name, then language, then a data entry.
    size_t base = 0;
    if (!RvaToOffset(file, sections, resourceRva, kResourceDirSize, &base))
        return false;
    // Offsets inside the tree must stay in the resource data of the file.
    const size_t treeSize = file.Has(base, resourceSize) ? resourceSize : size - base;
    uint32_t target = 0;
    if (!FindResourceEntry(file, base, treeSize, 0, kRtVersion, &target))
        return false;
    for (int level = 0; level < 2; ++level) {
        if ((target & kSubdirectoryFlag) == 0)
            return false;
        if (!FindResourceEntry(file, base, treeSize, target & ~kSubdirectoryFlag, 0, &target))
            return false;
    }
    if ((target & kSubdirectoryFlag) != 0 || target > treeSize || kResourceDataEntrySize > treeSize - target)
        return false;
    uint32_t dataRva = 0;
    uint32_t dataSize = 0;
    if (!file.U32(base + target, &dataRva) || !file.U32(base + target + 4, &dataSize))
        return false;
    size_t dataOffset = 0;
    if (!RvaToOffset(file, sections, dataRva, dataSize, &dataOffset))
        return false;
    VS_FIXEDFILEINFO info{};
    if (!ParseVersionBlock(file.At(dataOffset), dataSize, &info))
        return false;
    block->assign(file.At(dataOffset), file.At(dataOffset) + dataSize);
    return true;
}

bool ParseVersionBlock(const uint8_t* data, size_t size, VS_FIXEDFILEINFO* info)
{
    if (data == nullptr || info == nullptr)
        return false;
    const ByteView block(data, size);
    uint16_t length = 0;
    uint16_t valueLength = 0;
    if (!block.U16(0, &length) || !block.U16(2, &valueLength))
        return false;
    if (length > size || length < kVersionValueOffset + sizeof(VS_FIXEDFILEINFO) ||
        valueLength < sizeof(VS_FIXEDFILEINFO))
        return false;
    for (size_t i = 0; i < sizeof(kVersionKey); ++i) {
        uint16_t unit = 0;
        if (!block.U16(kVersionKeyOffset + 2 * i, &unit) || unit != static_cast<uint8_t>(kVersionKey[i]))
            return false;
    }
    DWORD words[13];
    for (size_t i = 0; i < 13; ++i) {
        if (!block.U32(kVersionValueOffset + 4 * i, &words[i]))
            return false;
    }
    if (words[0] != VS_FFI_SIGNATURE)
        return false;
    std::memcpy(info, words, sizeof(*info));
    return true;
}

DWORD GetFileVersionInfoSizeA(LPCSTR lptstrFilename, DWORD* lpdwHandle)
{
    if (lpdwHandle != nullptr)
        *lpdwHandle = 0;
    std::vector<uint8_t> block;
    if (!ReadVersionBlock(lptstrFilename, &block))
        return 0;
    return static_cast<DWORD>(block.size());
}

BOOL GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD /*dwHandle*/, DWORD dwLen, LPVOID lpData)
{
    std::vector<uint8_t> block;
    if (lpData == nullptr || !ReadVersionBlock(lptstrFilename, &block) || dwLen < block.size())
        return FALSE;
    std::memcpy(lpData, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValueA(const void* pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen)
{
    if (pBlock == nullptr || lpSubBlock == nullptr || lplpBuffer == nullptr || std::strcmp(lpSubBlock, "\\") != 0)
        return FALSE;
    // The block carries its own length in its first word.
    const auto* data = static_cast<const uint8_t*>(pBlock);
    const size_t length = static_cast<size_t>(data[0] | (data[1] << 8));
    VS_FIXEDFILEINFO info{};
    if (!ParseVersionBlock(data, length, &info))
        return FALSE;
    *lplpBuffer = const_cast<uint8_t*>(data) + kVersionValueOffset;
    if (puLen != nullptr)
        *puLen = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
