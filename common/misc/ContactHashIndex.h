// ContactHashIndex: the positions of a contact set's stored copies grouped by
// a hash of their fields, so that classification looks only at the copies
// that may match instead of walking the whole set.
//
// An open-addressing table maps each hash to a chain of positions; each chain
// is doubly linked in ascending order of position, so it is walked from its
// first or from its last position. Positions are added in ascending order,
// 0, 1, 2, ... (Append), and a position moves to another chain when the copy
// at it changes (Move). The index knows nothing of records: what a hash
// means is the caller's, and two positions on one chain only share a hash.
//
// Allocation failures throw std::bad_alloc, leaving the index unusable: the
// caller drops it then (and builds a new one or does without).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ContactHashIndex {
public:
    // No position: the end of a chain, or a hash without a chain.
    static constexpr int32_t kNoPosition = -1;

    // Room for nPositions positions without growing. Capacity at least
    // doubles when it grows, so asking for one more position after each
    // Append costs amortised constant time.
    void Reserve(size_t nPositions);

    // Adds the next position (Count() before the call) under nHash, at the
    // end of that hash's chain.
    void Append(uint64_t nHash);

    // Moves the existing position nPos (0 <= nPos < Count()) to the chain of
    // nHash, keeping that chain ascending. Nothing changes when nPos already
    // has nHash.
    void Move(int32_t nPos, uint64_t nHash);

    // The first and the last position on the chain of nHash, kNoPosition when
    // no position has nHash.
    int32_t First(uint64_t nHash) const;
    int32_t Last(uint64_t nHash) const;
    // For an existing position: its hash, and its neighbours on its chain
    // (kNoPosition at either end).
    uint64_t HashOf(int32_t nPos) const { return m_Hashes[static_cast<size_t>(nPos)]; }
    int32_t Next(int32_t nPos) const { return m_Next[static_cast<size_t>(nPos)]; }
    int32_t Prev(int32_t nPos) const { return m_Prev[static_cast<size_t>(nPos)]; }
    // Number of positions added.
    int32_t Count() const { return static_cast<int32_t>(m_Hashes.size()); }

private:
    // A slot holds one hash for good once taken; its chain may become empty
    // when its positions move away (a rehash drops such slots).
    struct Slot {
        uint64_t nHash = 0;
        int32_t nFirst = kNoPosition;
        int32_t nLast = kNoPosition;
        bool bTaken = false;
    };

    const Slot* FindSlot(uint64_t nHash) const;
    Slot* FindSlot(uint64_t nHash);
    Slot* FindOrAddSlot(uint64_t nHash);
    // A table of at least nMinSlots slots (a power of two) holding the chains
    // that still have positions.
    void Rehash(size_t nMinSlots);

    std::vector<Slot> m_Slots;       // size 0 or a power of two
    size_t m_nTaken = 0;             // slots taken
    std::vector<uint64_t> m_Hashes;  // per position
    std::vector<int32_t> m_Next;     // per position: next in its chain
    std::vector<int32_t> m_Prev;     // per position: previous in its chain
};
