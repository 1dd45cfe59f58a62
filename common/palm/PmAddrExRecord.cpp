#include "common/palm/PmAddrExRecord.h"

#include <type_traits>

// The reader addresses members by their offsets.
static_assert(std::is_standard_layout_v<PmAddrExRecord>);

void PmAddrExRecord::Clear()
{
    *this = PmAddrExRecord();
}
