// MemberAt: a record member reached by its byte offset.
//
// The field tables of the record formats (the .dat field lists, the column
// table of Desktop 6, the neutral field catalog, the WAB mapping, the
// facade's field map) name each member by offsetof, so that one loop serves
// every field. This is the one place that turns such an offset back into the
// member.
#pragma once

#include <cstddef>
#include <type_traits>

// The member of type T that starts nOffset bytes into *pRecord; const when
// the record is. nOffset must come from offsetof of a member of type T (or of
// an element of an array member) of the record's type.
template <class T, class Record>
auto* MemberAt(Record* pRecord, size_t nOffset)
{
    constexpr bool bConst = std::is_const_v<Record>;
    using Byte = std::conditional_t<bConst, const char, char>;
    using Member = std::conditional_t<bConst, const T, T>;
    using Void = std::conditional_t<bConst, const void, void>;
    return static_cast<Member*>(static_cast<Void*>(static_cast<Byte*>(static_cast<Void*>(pRecord)) + nOffset));
}
