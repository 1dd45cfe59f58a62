#include "common/misc/RecordArena.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

void CopyNonZeroPieces(unsigned char* pDest, const unsigned char* pSource, size_t n)
{
    constexpr size_t kPiece = RecordArena::kPiece;
    size_t nAt = 0;
    for (; nAt + kPiece <= n; nAt += kPiece) {
        uint64_t nBits = 0;
        for (size_t k = 0; k < kPiece; k += sizeof nBits) {
            uint64_t nWord;
            std::memcpy(&nWord, pSource + nAt + k, sizeof nWord);
            nBits |= nWord;
        }
        if (nBits != 0)
            std::memcpy(pDest + nAt, pSource + nAt, kPiece);
    }
    for (; nAt < n; ++nAt) {
        if (pSource[nAt] != 0)
            pDest[nAt] = pSource[nAt];
    }
}

void CopyChangedPieces(unsigned char* pDest, const unsigned char* pSource, size_t n)
{
    constexpr size_t kPiece = RecordArena::kPiece;
    size_t nAt = 0;
    for (; nAt + kPiece <= n; nAt += kPiece) {
        if (std::memcmp(pDest + nAt, pSource + nAt, kPiece) != 0)
            std::memcpy(pDest + nAt, pSource + nAt, kPiece);
    }
    for (; nAt < n; ++nAt) {
        if (pDest[nAt] != pSource[nAt])
            pDest[nAt] = pSource[nAt];
    }
}

RecordArena::RecordArena(size_t nRecordSize, bool bPageSlots)
    : m_nRecordSize(std::max<size_t>(nRecordSize, 1)), m_nSlotAlign(bPageSlots ? kPage : kPiece)
{
    m_nSlotSize = (m_nRecordSize + m_nSlotAlign - 1) / m_nSlotAlign * m_nSlotAlign;
}

RecordArena::~RecordArena()
{
    for (Block& block : m_Blocks)
        std::free(block.pMemory);
}

void* RecordArena::Take(const void* pSource)
{
    bool bWritten = false;
    unsigned char* pSlot = NextSlot(&bWritten);
    if (pSlot == nullptr)
        return nullptr;
    const auto* pBytes = static_cast<const unsigned char*>(pSource);
    if (bWritten)
        CopyChangedPieces(pSlot, pBytes, m_nRecordSize);
    else
        CopyNonZeroPieces(pSlot, pBytes, m_nRecordSize);
    return pSlot;
}

void* RecordArena::TakeZeroed()
{
    bool bWritten = false;
    unsigned char* pSlot = NextSlot(&bWritten);
    if (pSlot != nullptr && bWritten)
        std::memset(pSlot, 0, m_nRecordSize);
    return pSlot;
}

void RecordArena::GiveBack(void* pSlot)
{
    if (pSlot == nullptr || m_nCurrent >= m_Blocks.size())
        return;
    Block& block = m_Blocks[m_nCurrent];
    if (block.nUsed > 0 && static_cast<unsigned char*>(pSlot) == block.pSlots + (block.nUsed - 1) * m_nSlotSize)
        --block.nUsed;  // it held a record (nWritten): the next taker clears it
}

unsigned char* RecordArena::NextSlot(bool* pbWritten)
{
    while (m_nCurrent < m_Blocks.size() && m_Blocks[m_nCurrent].nUsed == m_Blocks[m_nCurrent].nSlots)
        ++m_nCurrent;
    if (m_nCurrent == m_Blocks.size()) {
        const size_t nSlots = m_Blocks.empty() ? kFirstSlots : std::min(2 * m_Blocks.back().nSlots, kLargestSlots);
        // One alignment more than the slots need, so that the first slot can
        // start on it; calloc's memory is zero, and a large block comes from
        // the system as untouched pages.
        if (nSlots > (SIZE_MAX - m_nSlotAlign) / m_nSlotSize)
            return nullptr;
        void* pMemory = std::calloc(nSlots * m_nSlotSize + m_nSlotAlign, 1);
        if (pMemory == nullptr)
            return nullptr;
        const uintptr_t nAddress = reinterpret_cast<uintptr_t>(pMemory);
        auto* pSlots = static_cast<unsigned char*>(pMemory) + (m_nSlotAlign - nAddress % m_nSlotAlign) % m_nSlotAlign;
        try {
            m_Blocks.push_back(Block{pMemory, pSlots, nSlots, 0, 0});
        } catch (const std::bad_alloc&) {
            std::free(pMemory);
            return nullptr;
        }
    }
    Block& block = m_Blocks[m_nCurrent];
    const size_t nSlot = block.nUsed++;
    *pbWritten = nSlot < block.nWritten;
    if (!*pbWritten)
        block.nWritten = nSlot + 1;
    return block.pSlots + nSlot * m_nSlotSize;
}

void RecordArena::Reset()
{
    for (Block& block : m_Blocks)
        block.nUsed = 0;
    m_nCurrent = 0;
}

size_t RecordArena::SlotsInUse() const
{
    size_t nUsed = 0;
    for (const Block& block : m_Blocks)
        nUsed += block.nUsed;
    return nUsed;
}
