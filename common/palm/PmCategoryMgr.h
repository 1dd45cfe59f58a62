// PmCategoryMgr: the category list of one Palm address file.
//
// At most 16 categories, each in the slot equal to its index; slot 0 holds
// "Unfiled" (id 0) once a file's list has been read. Ids are unique within
// the list, the count always equals the number of occupied slots, and the
// list owns copies of the categories added to it, never the caller's
// objects.
#pragma once

#include <cstdint>
#include <memory>

#include "common/palm/PmCategory.h"

class PmCategoryMgr {
public:
    static constexpr int kMaxCategories = 16;
    // Next free id of a list that was not read from a file.
    static constexpr int32_t kDefaultNextFreeId = 128;

    // Empty list, next free id 128, not modified.
    PmCategoryMgr();
    virtual ~PmCategoryMgr();  // deletes every category
    PmCategoryMgr(const PmCategoryMgr&) = delete;
    PmCategoryMgr& operator=(const PmCategoryMgr&) = delete;

    virtual int Count() const;
    // The category in the lowest slot whose id equals nId, or null.
    virtual PmCategory* FindById(int32_t nId) const;
    // The content of slot nIndex (null when empty); null when nIndex taken
    // as unsigned is above 15, so -1 answers null.
    virtual PmCategory* GetAt(int16_t nIndex) const;
    // Null for a null or empty name; otherwise the category in the lowest
    // slot whose name equals pszName ignoring ASCII letter case, or null.
    virtual PmCategory* FindByName(const char* pszName) const;
    // Iteration in slot order: First() restarts at slot 0 and answers Next();
    // Next() answers the first occupied slot at or after the cursor and moves
    // the cursor past it, or null (cursor unchanged) when there is none.
    virtual PmCategory* First();
    virtual PmCategory* Next();

    // Completes pCategory in place and stores a copy of it:
    //  - index -1: the first free slot among 1 to 15 (slot 0 is never
    //    chosen), and the category is marked dirty. A given index whose slot
    //    is already taken (a file listing two categories in one slot) is
    //    treated the same way, so no category is ever dropped;
    //  - id -1: a proposed id (ProposeId), and the category is marked dirty;
    //  - a non-empty name gives the short name: the name with each of
    //    " * + , . / : ; < = > ? [ \ ] ^ | replaced by '_'.
    // False, with the list unchanged, for a null category, a full list, no
    // free slot, an index outside 0 to 15, no id to propose, or an id that
    // is already in the list (the caller's object may then already carry
    // the index or id it was given). On success sets the modified flag.
    virtual bool Add(PmCategory* pCategory);
    virtual void SetModified(bool bModified);

    // The id a new category would get: one more than the largest id among
    // the unbroken run of occupied slots starting at slot 0 (1 with
    // "Unfiled" alone); categories behind the first gap are not looked at.
    // -1 when all 16 slots are taken.
    int32_t ProposeId() const;

    bool IsModified() const { return m_bModified; }
    int32_t GetNextFreeId() const { return m_nNextFreeId; }
    void SetNextFreeId(int32_t nNextFreeId) { m_nNextFreeId = nNextFreeId; }

private:
    int32_t m_nNextFreeId;  // carried from the file and back, not used otherwise
    int32_t m_nCursor;
    int32_t m_nCount;
    std::unique_ptr<PmCategory> m_pSlots[kMaxCategories];
    bool m_bModified;
};
