#include "common/misc/ContactHashIndex.h"

#include <algorithm>

void ContactHashIndex::Reserve(size_t nPositions)
{
    if (m_Hashes.capacity() < nPositions) {
        const size_t nCapacity = std::max(nPositions, 2 * m_Hashes.capacity());
        m_Hashes.reserve(nCapacity);
        m_Next.reserve(nCapacity);
        m_Prev.reserve(nCapacity);
    }
    if (m_Slots.size() < 2 * nPositions)
        Rehash(2 * nPositions);
}

void ContactHashIndex::Append(uint64_t nHash)
{
    const int32_t nPos = static_cast<int32_t>(m_Hashes.size());
    Slot* pSlot = FindOrAddSlot(nHash);
    m_Hashes.push_back(nHash);
    m_Next.push_back(kNoPosition);
    m_Prev.push_back(pSlot->nLast);
    if (pSlot->nLast != kNoPosition)
        m_Next[static_cast<size_t>(pSlot->nLast)] = nPos;
    else
        pSlot->nFirst = nPos;
    pSlot->nLast = nPos;
}

void ContactHashIndex::Move(int32_t nPos, uint64_t nHash)
{
    const size_t nAt = static_cast<size_t>(nPos);
    if (m_Hashes[nAt] == nHash)
        return;
    Slot* pNew = FindOrAddSlot(nHash);  // may grow the table: before any unlinking
    Slot* pOld = FindSlot(m_Hashes[nAt]);
    const int32_t nPrev = m_Prev[nAt];
    const int32_t nNext = m_Next[nAt];
    if (nPrev != kNoPosition)
        m_Next[static_cast<size_t>(nPrev)] = nNext;
    else
        pOld->nFirst = nNext;
    if (nNext != kNoPosition)
        m_Prev[static_cast<size_t>(nNext)] = nPrev;
    else
        pOld->nLast = nPrev;

    int32_t nAfter = pNew->nLast;
    while (nAfter != kNoPosition && nAfter > nPos)
        nAfter = m_Prev[static_cast<size_t>(nAfter)];
    const int32_t nBefore = nAfter != kNoPosition ? m_Next[static_cast<size_t>(nAfter)] : pNew->nFirst;
    m_Prev[nAt] = nAfter;
    m_Next[nAt] = nBefore;
    if (nAfter != kNoPosition)
        m_Next[static_cast<size_t>(nAfter)] = nPos;
    else
        pNew->nFirst = nPos;
    if (nBefore != kNoPosition)
        m_Prev[static_cast<size_t>(nBefore)] = nPos;
    else
        pNew->nLast = nPos;
    m_Hashes[nAt] = nHash;
}

int32_t ContactHashIndex::First(uint64_t nHash) const
{
    const Slot* pSlot = FindSlot(nHash);
    return pSlot != nullptr ? pSlot->nFirst : kNoPosition;
}

int32_t ContactHashIndex::Last(uint64_t nHash) const
{
    const Slot* pSlot = FindSlot(nHash);
    return pSlot != nullptr ? pSlot->nLast : kNoPosition;
}

const ContactHashIndex::Slot* ContactHashIndex::FindSlot(uint64_t nHash) const
{
    if (m_Slots.empty())
        return nullptr;
    const size_t nMask = m_Slots.size() - 1;
    for (size_t i = static_cast<size_t>(nHash) & nMask; m_Slots[i].bTaken; i = (i + 1) & nMask) {
        if (m_Slots[i].nHash == nHash)
            return &m_Slots[i];
    }
    return nullptr;
}

ContactHashIndex::Slot* ContactHashIndex::FindSlot(uint64_t nHash)
{
    return const_cast<Slot*>(static_cast<const ContactHashIndex*>(this)->FindSlot(nHash));
}

ContactHashIndex::Slot* ContactHashIndex::FindOrAddSlot(uint64_t nHash)
{
    if (Slot* pSlot = FindSlot(nHash))
        return pSlot;
    // At most half the slots taken, so probes stay short.
    if (2 * (m_nTaken + 1) > m_Slots.size())
        Rehash(2 * (m_nTaken + 1));
    const size_t nMask = m_Slots.size() - 1;
    size_t i = static_cast<size_t>(nHash) & nMask;
    while (m_Slots[i].bTaken)
        i = (i + 1) & nMask;
    m_Slots[i].nHash = nHash;
    m_Slots[i].bTaken = true;
    ++m_nTaken;
    return &m_Slots[i];
}

void ContactHashIndex::Rehash(size_t nMinSlots)
{
    size_t nSlots = 16;
    while (nSlots < nMinSlots)
        nSlots *= 2;
    std::vector<Slot> slots(nSlots);
    size_t nTaken = 0;
    for (const Slot& slot : m_Slots) {
        if (!slot.bTaken || slot.nFirst == kNoPosition)
            continue;
        size_t i = static_cast<size_t>(slot.nHash) & (nSlots - 1);
        while (slots[i].bTaken)
            i = (i + 1) & (nSlots - 1);
        slots[i] = slot;
        ++nTaken;
    }
    m_Slots.swap(slots);
    m_nTaken = nTaken;
}
