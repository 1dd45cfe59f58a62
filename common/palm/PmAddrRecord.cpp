#include "common/palm/PmAddrRecord.h"

#include <cstring>
#include <type_traits>

// The facade and the data manager copy and clear records as raw bytes.
static_assert(std::is_trivially_copyable_v<PmAddrRecord>);
static_assert(std::is_standard_layout_v<PmAddrRecord>);

void PmAddrRecord::Clear()
{
    std::memset(this, 0, sizeof(*this));
}
