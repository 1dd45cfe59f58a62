// PmAddrGeneration: what the address facade does differently for each
// generation of Palm Desktop address database, behind one interface.
//
// A generation brings its record type (made, copied and freed here), its
// reader (loading, the reader's record list, category ids, saving) and a few
// fixed facts (the Facts row: its first Palm Desktop version, its file, where
// its record keeps the status and the phones). The facade holds one object
// per row of PmAddrGeneration::All() and never asks which generation it
// works with; a new generation is one more implementation and one more row.
//
// The objects work on the facade's readers, which the facade owns.
#pragma once

#include <cstdint>
#include <span>

#include "common/palm/PalmGeneration.h"
#include "platform/fsutil/FailReason.h"
#include "platform/wintypes/WinTypes.h"

class FileHold;
class PmAddrInfo;

class PmAddrGeneration {
public:
    // The phone slots of a record: nCount texts of nTextWidth bytes from byte
    // nTextOffset, and nCount int32 labels from byte nLabelOffset.
    struct PhoneLayout {
        int32_t nCount;
        int32_t nTextOffset;
        int32_t nTextWidth;
        int32_t nLabelOffset;
    };

    // What is fixed about a generation.
    struct Facts {
        PalmGeneration eGeneration;
        // The first Palm Desktop version (major * 10000 + minor * 100 +
        // build) that keeps its contacts in this generation.
        DWORD dwFirstVersion;
        const char* pszUserFile;   // the address file, below the user's folder
        const char* pszExtension;  // the address file's extension, compared ignoring case
        // SaveContacts writes the whole file; otherwise every change has
        // been written as it was made.
        bool bWholeFile;
        int32_t nStatusOffset;  // byte offset of the record's int32 status bits
        PhoneLayout phones;
    };

    // One generation: its facts and how the facade makes its object.
    struct Row {
        Facts facts;
        PmAddrGeneration* (*Create)(const Facts& facts, PmAddrInfo& info, FileHold* pHold);
    };

    // Every generation, oldest first (the order of the codes).
    static std::span<const Row> All();

    explicit PmAddrGeneration(const Facts& facts) : m_Facts(facts) { }
    virtual ~PmAddrGeneration() = default;
    PmAddrGeneration(const PmAddrGeneration&) = delete;
    PmAddrGeneration& operator=(const PmAddrGeneration&) = delete;

    const Facts& GetFacts() const { return m_Facts; }

    // ---- The record type ----
    // A new zero-filled record, or null when memory runs out.
    virtual void* NewRecord() const = 0;
    // Frees a record NewRecord made, with whatever it owns.
    virtual void DeleteRecord(void* pRecord) const = 0;
    // Copies a record over another, so that the two share no buffer.
    virtual void CopyRecord(void* pDest, const void* pSrc) const = 0;

    // ---- The reader ----
    virtual void SetSwapName(bool bSwap) = 0;
    // Loads the file into the reader's record list. On failure
    // GetLoadFailure() says why.
    virtual bool Load(const char* pszPath) = 0;
    virtual FailReason GetLoadFailure() const = 0;
    // The reader's records in list order; null at the end.
    virtual void* First() = 0;
    virtual void* Next() = 0;
    // Empties the reader's record list.
    virtual void ClearList() = 0;
    // Gives a record made by the facade (its status already marked added)
    // what the generation's new records carry, and appends a copy of it to
    // the reader's list (Desktop 6: to the database too, with a record id of
    // its own). The reader's copy, or null when it could not be added.
    virtual void* Append(void* pRecord) = 0;
    // The id of the named category, creating the category when it does not
    // exist. False when it could not be created.
    virtual bool GetCategoryId(const char* pszName, int32_t* pnId) = 0;
    // Fills what a record derives from the values the facade has written
    // into it, once they are all written.
    virtual void CompleteRecord(void* pRecord) = 0;
    // Writes a changed record of the reader's list back where the generation
    // keeps it (Desktop 6: its row, at once); the .dat files wait for Save.
    virtual bool WriteBack(const void* pReaderRecord) = 0;
    // Brings a record of the reader's list that the facade wrote, once it
    // is saved, to what a load of the saved data reads for it (the .dat
    // files: the category's name as the category list has it for the id,
    // empty for an id the list lacks).
    virtual void ReadBack(void* pReaderRecord) = 0;
    // Many records to come: write them together at the next Save.
    virtual void BeginWriteBatch() = 0;
    // Writes what is unsaved. A whole-file generation sets *pFailure to
    // why it failed (cleared on success); the others leave it alone.
    virtual bool Save(FailReason* pFailure) = 0;
    // Why the last write the generation made on its own failed (Desktop 6
    // writes as records are added or updated); unset when none did.
    virtual FailReason GetWriteFailure() const = 0;

private:
    const Facts m_Facts;
};
