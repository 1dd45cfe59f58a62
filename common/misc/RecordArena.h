// RecordArena: the memory of many fixed-size records that live and die
// together, such as the stored copies of a contact set.
//
// Records are copied into slots handed out in order from blocks of
// zero-filled memory. The blocks are kept for reuse after Reset and freed
// with the arena. A slot keeps its address until the arena is Reset or
// destroyed, so callers may hold pointers to the records in it.
//
// Most of a neutral contact record is empty text (its note alone takes 8 KB),
// and a large zero-filled block comes from the system as pages not touched
// yet: a copy into a slot that never held a record writes only its non-zero
// pieces (CopyNonZeroPieces), so pages that would hold nothing but zeros are
// never touched, and never cost memory. A slot that held a record before
// gets only the pieces that differ from what it holds (CopyChangedPieces), so
// a set loaded again into the same arena does not fill the pages its first
// load left untouched.
#pragma once

#include <cstddef>
#include <vector>

// Copies n bytes from pSource to pDest, which must already hold n zero bytes,
// writing only the 64-byte pieces of pSource that are not all zero (and the
// non-zero bytes of a last piece shorter than 64). Afterwards pDest holds
// the same n bytes as pSource.
void CopyNonZeroPieces(unsigned char* pDest, const unsigned char* pSource, size_t n);

// Copies n bytes from pSource to pDest, writing only the 64-byte pieces (and
// the bytes of a last piece shorter than 64) that differ from what pDest
// holds. Afterwards pDest holds the same n bytes as pSource.
void CopyChangedPieces(unsigned char* pDest, const unsigned char* pSource, size_t n);

class RecordArena {
public:
    // Slots are whole 64-byte pieces, each aligned to 64 bytes (or to a
    // page, see below).
    static constexpr size_t kPiece = 64;
    // Blocks grow from kFirstSlots to kLargestSlots slots; for a contact
    // record the largest block (over 32 MB) is always taken fresh from the
    // system, as untouched pages.
    static constexpr size_t kFirstSlots = 64;
    static constexpr size_t kLargestSlots = 2560;

    // Memory pages of the machines the program runs on are 4 KB; on a
    // machine with larger pages, page-aligned slots still work, they only
    // save less.
    static constexpr size_t kPage = 4096;

    // An arena for records of nRecordSize bytes (0 counts as 1); no memory is
    // taken before the first Take. With bPageSlots, every slot starts a page
    // and takes whole pages: a record whose far end stays empty then leaves
    // its far pages untouched (it costs address space, not memory).
    explicit RecordArena(size_t nRecordSize, bool bPageSlots = false);
    ~RecordArena();

    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;

    // A slot holding a byte copy of the nRecordSize bytes at pSource, or null
    // when memory runs out (the arena is unchanged then).
    void* Take(const void* pSource);

    // A zero-filled slot for a record the caller fills in place, or null when
    // memory runs out. A slot that never held a record is zero already and
    // is not written, so the pages a record leaves empty stay untouched.
    void* TakeZeroed();

    // Gives back pSlot when it is the slot handed out last, so that the next
    // Take or TakeZeroed hands it out again (and clears it); any other slot
    // stays in use until Reset. For a record that was begun but not kept.
    void GiveBack(void* pSlot);

    // Every slot free again for Take; the blocks stay. Pointers into the
    // arena are invalid from here on.
    void Reset();

    // Size of one slot in bytes: the record size rounded up to whole pieces.
    size_t SlotSize() const { return m_nSlotSize; }
    // Slots handed out since construction or the last Reset.
    size_t SlotsInUse() const;

private:
    // The next free slot (a new block when all are in use), marked in use,
    // and whether it held a record before; null when memory runs out.
    unsigned char* NextSlot(bool* pbWritten);

    struct Block {
        void* pMemory;  // as allocated; pSlots is pMemory aligned to the slot alignment
        unsigned char* pSlots;
        size_t nSlots;
        size_t nUsed;     // slots handed out since the last Reset
        size_t nWritten;  // slots that ever held a record
    };

    size_t m_nRecordSize;
    size_t m_nSlotSize;
    size_t m_nSlotAlign;  // kPiece, or kPage for page slots
    std::vector<Block> m_Blocks;
    size_t m_nCurrent = 0;  // the first block that may have a free slot
};
