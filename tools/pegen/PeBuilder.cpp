#include "tools/pegen/PeBuilder.h"

#include <cstdio>

namespace pegen {
namespace {

constexpr uint32_t kPeHeaderOffset = 0x40;
constexpr uint16_t kOptionalHeaderSize = 224;  // PE32 with 16 data directories
constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kSectionFileOffset = 0x200;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kRtIcon = 3;

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t value)
{
    if (out.size() < at + 2)
        out.resize(at + 2);
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value)
{
    Put16(out, at, value & 0xFFFF);
    Put16(out, at + 2, value >> 16);
}

// VS_VERSIONINFO without children: header, key, padding, fixed info.
std::vector<uint8_t> VersionBlock(uint16_t major, uint16_t minor, uint16_t release, uint16_t build)
{
    std::vector<uint8_t> block(92, 0);
    Put16(block, 0, 92);  // wLength
    Put16(block, 2, 52);  // wValueLength
    Put16(block, 4, 0);   // wType: binary
    const char key[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof(key); ++i)
        Put16(block, 6 + 2 * i, static_cast<uint8_t>(key[i]));
    const uint32_t fixed[13] = {0xFEEF04BD,
                                0x00010000,
                                static_cast<uint32_t>(major) << 16 | minor,
                                static_cast<uint32_t>(release) << 16 | build,
                                static_cast<uint32_t>(major) << 16 | minor,
                                static_cast<uint32_t>(release) << 16 | build,
                                0x3F,
                                0,
                                0x40004,  // VOS_NT_WINDOWS32
                                1,        // VFT_APP
                                0,
                                0,
                                0};
    for (size_t i = 0; i < 13; ++i)
        Put32(block, 40 + 4 * i, fixed[i]);
    return block;
}

// Resource tree type -> name 1 -> language 0x409 -> data, then the data.
std::vector<uint8_t> ResourceSection(uint32_t type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> rsrc(88, 0);
    Put16(rsrc, 14, 1);  // root: one id entry
    Put32(rsrc, 16, type);
    Put32(rsrc, 20, 0x80000000u | 24);
    Put16(rsrc, 24 + 14, 1);  // name level
    Put32(rsrc, 40, 1);
    Put32(rsrc, 44, 0x80000000u | 48);
    Put16(rsrc, 48 + 14, 1);  // language level
    Put32(rsrc, 64, 0x409);
    Put32(rsrc, 68, 72);                // leaf: data entry at 72
    Put32(rsrc, 72, kSectionRva + 88);  // data RVA
    Put32(rsrc, 76, static_cast<uint32_t>(data.size()));
    rsrc.insert(rsrc.end(), data.begin(), data.end());
    return rsrc;
}

std::vector<uint8_t> BuildImage(const std::vector<uint8_t>& rsrc)
{
    std::vector<uint8_t> image(kSectionFileOffset, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kPeHeaderOffset);
    const size_t pe = kPeHeaderOffset;
    image[pe] = 'P';
    image[pe + 1] = 'E';
    const size_t coff = pe + 4;
    Put16(image, coff + 0, 0x14C);  // i386
    Put16(image, coff + 2, 1);      // one section
    Put16(image, coff + 16, kOptionalHeaderSize);
    Put16(image, coff + 18, 0x0102);  // executable, 32-bit
    const size_t optional = coff + 20;
    const uint32_t rawSize =
        (static_cast<uint32_t>(rsrc.size()) + kFileAlignment - 1) / kFileAlignment * kFileAlignment;
    Put16(image, optional + 0, 0x10B);      // PE32
    Put32(image, optional + 28, 0x400000);  // image base
    Put32(image, optional + 32, 0x1000);    // section alignment
    Put32(image, optional + 36, kFileAlignment);
    Put32(image, optional + 56, kSectionRva + 0x1000);  // size of image
    Put32(image, optional + 60, kSectionFileOffset);    // size of headers
    Put16(image, optional + 68, 2);                     // GUI subsystem
    Put32(image, optional + 92, 16);                    // data directories
    Put32(image, optional + 96 + 2 * 8, kSectionRva);
    Put32(image, optional + 96 + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));
    const size_t section = optional + kOptionalHeaderSize;
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    for (size_t i = 0; i < 8; ++i)
        image[section + i] = static_cast<uint8_t>(name[i]);
    Put32(image, section + 8, static_cast<uint32_t>(rsrc.size()));
    Put32(image, section + 12, kSectionRva);
    Put32(image, section + 16, rawSize);
    Put32(image, section + 20, kSectionFileOffset);
    Put32(image, section + 36, 0x40000040);  // initialised data, readable
    image.insert(image.end(), rsrc.begin(), rsrc.end());
    image.resize(kSectionFileOffset + rawSize, 0);
    return image;
}

}  // namespace

std::vector<uint8_t> BuildVersionedPe(uint16_t major, uint16_t minor, uint16_t release, uint16_t build)
{
    return BuildImage(ResourceSection(kRtVersion, VersionBlock(major, minor, release, build)));
}

std::vector<uint8_t> BuildUnversionedPe()
{
    return BuildImage(ResourceSection(kRtIcon, std::vector<uint8_t>(40, 0)));
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    if (fp == nullptr)
        return false;
    // An empty file is still a file: nothing to write, nothing to hand fwrite.
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    return std::fclose(fp) == 0 && ok;
}

}  // namespace pegen
