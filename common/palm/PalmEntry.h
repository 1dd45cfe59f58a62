// PalmEntry: the address facade's copy of one Palm record, with its links to
// the reader record it belongs to and to its neutral copy in the contact set.
//
// The entry is a plain block of pointers, so the byte copy that the contact
// set keeps as a stored record's attached block stays meaningful: it points
// at the same live records as the entry itself, for as long as the facade
// holds its entries (they are freed together with the contact set).
#pragma once

#include <cstdint>
#include <type_traits>

#include "common/palm/PalmGeneration.h"

struct CommAddrRecord;
struct PmAddrRecord;
struct PmAddrExRecord;
struct PmAddrEx2Record;

struct PalmEntry {
    // The generation of the record below: kGenClassic, kGenExtended or
    // kGenDesktop6.
    PalmGeneration nKind;
    // The record the facade reads and changes, one of PmAddrRecord,
    // PmAddrExRecord or PmAddrEx2Record by kind: the reader's record below
    // once the entry is listed (a record being built for AddRecord is the
    // facade's own until the reader has taken it).
    void* pRecord;
    // The record of the same type in the reader's list that this entry was
    // loaded from, or that was appended for it; owned by the reader.
    void* pReaderRecord;
    // The stored copy in the contact set made for this entry; owned by the set.
    CommAddrRecord* pSetRecord;

    // Typed views; null when the entry is of another kind.
    PmAddrRecord* Classic() const { return nKind == kGenClassic ? static_cast<PmAddrRecord*>(pRecord) : nullptr; }
    PmAddrExRecord* Extended() const { return nKind == kGenExtended ? static_cast<PmAddrExRecord*>(pRecord) : nullptr; }
    PmAddrEx2Record* Desktop6() const
    {
        return nKind == kGenDesktop6 ? static_cast<PmAddrEx2Record*>(pRecord) : nullptr;
    }
};

static_assert(std::is_trivially_copyable_v<PalmEntry>, "the contact set keeps byte copies of entries");
static_assert(sizeof(PalmGeneration) == sizeof(int32_t), "the kind is a 32-bit code");
