// Builds small Windows executables (PE32 images) for tests and fixtures:
// just the headers, one ".rsrc" section and, when asked, a version resource.
// The images are well-formed enough for a PE resource reader, not runnable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pegen {

// A PE32 image whose only resource is a version block (VS_VERSIONINFO with
// a VS_FIXEDFILEINFO) carrying file version major.minor.release.build.
std::vector<uint8_t> BuildVersionedPe(uint16_t major, uint16_t minor, uint16_t release, uint16_t build);

// A PE32 image with a resource directory that holds no version resource
// (one icon-type entry instead).
std::vector<uint8_t> BuildUnversionedPe();

// Writes bytes to a file; true on success.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace pegen
