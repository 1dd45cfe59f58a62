// PmCategory: one category of a Palm address file.
//
// A category has a slot number (its index, 0 to 15, in the file's list), an
// id (0 is the built-in "Unfiled"), a name of at most 15 characters, a short
// name of at most 255 characters derived from the name when the category is
// added to a list (PmCategoryMgr::Add), and flags of which bit 0x10 marks a
// category as dirty (read from the file as dirty, or given its index or id
// on the desktop).
#pragma once

#include <cstdint>

class PmCategory {
public:
    static constexpr int kNameSize = 16;        // name buffer, terminator included
    static constexpr int kShortNameSize = 256;  // short-name buffer, terminator included
    static constexpr int32_t kFlagDirty = 0x10;
    static constexpr int32_t kFlagLow = 0x01;

    // Index -1 and id -1 (both "not assigned yet"), empty texts, flags 0.
    PmCategory();
    PmCategory(const PmCategory& other) = default;
    PmCategory& operator=(const PmCategory& other) = default;
    virtual ~PmCategory();

    virtual int32_t GetIndex() const;
    virtual int32_t GetId() const;
    virtual const char* GetName() const;

    // Copies the name into pszBuf. Empties nSize bytes of pszBuf first; false
    // when pszBuf is null, nSize is not positive, the name is empty or longer
    // than nSize. Otherwise copies the name (terminated only when it is
    // shorter than nSize), sets nSize to its length and answers true.
    virtual bool CopyName(char* pszBuf, int& nSize) const;
    // The same for the short name, except that the copy is always
    // terminated: a short name of nSize characters or more answers false.
    virtual bool CopyShortName(char* pszBuf, int& nSize) const;

    virtual int32_t GetFlags() const;
    virtual void SetIndex(int32_t nIndex);
    virtual void SetId(int32_t nId);
    // Empties the name and copies at most 15 characters of pszName; null
    // leaves it empty.
    virtual void SetName(const char* pszName);
    // Empties the short name and copies at most 255 characters; null leaves
    // it empty.
    virtual void SetShortName(const char* pszShortName);
    virtual void SetFlags(int32_t nFlags);
    // Sets or clears the dirty bit 0x10.
    virtual void SetDirty(bool bDirty);
    // Whether bit 0x01 of the flags is set.
    virtual bool TestLowFlag() const;
    // Index, id and name equal (names compared with letter case).
    virtual bool Equals(const PmCategory& other) const;

    const char* GetShortName() const { return m_szShortName; }
    bool IsDirty() const { return (m_nFlags & kFlagDirty) != 0; }

private:
    int32_t m_nIndex;
    int32_t m_nId;
    char m_szName[kNameSize];
    char m_szShortName[kShortNameSize];
    int32_t m_nFlags;
};
