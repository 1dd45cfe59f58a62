// Fuzzes the classic address.dat reader (PmAddrUtil) with whole files: every
// input must load cleanly or be refused, and a file that loads must save to
// bytes that load and save again unchanged (FuzzDatFile.h).
#include <cstddef>
#include <cstdint>

#include "common/palm/PmAddrUtil.h"
#include "tools/fuzz/FuzzDatFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return vwfuzz::RoundTripDatFile<PmAddrUtil>("classic", data, size);
}
