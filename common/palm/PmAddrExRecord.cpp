#include "common/palm/PmAddrExRecord.h"

#include <cstring>
#include <type_traits>

// The reader addresses members by their offsets.
static_assert(std::is_standard_layout_v<PmAddrExRecord>);
// The binary items are everything before the plain members.
static_assert(offsetof(PmAddrExRecord, nId) == sizeof(PmAddrExRecord::items));

PmAddrExRecord::PmAddrExRecord()
{
    std::memset(PlainBytes(), 0, PlainSize());
}

void PmAddrExRecord::Clear()
{
    for (int i = 0; i < kPmAddrExBinaryCount; ++i)
        items[i] = PmEmptyBinaryItem(kPmTypeBinary1 + i);
    std::memset(PlainBytes(), 0, PlainSize());
}
