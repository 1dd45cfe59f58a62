// PmDBEx2Util: an open Desktop 6 database: its accessor, its category list
// (table "Category") and its information record (table "Information"),
// with two selects on the contacts table "Main". The contacts reader
// PmAddrEx2Util derives from it.
//
// The accessor is created by the first Open and reconnected by every later
// one; each Open reloads the category list from the newly opened file. The
// information record is filled only by LoadInformation.
#pragma once

#include <cstdint>

#include "platform/fsutil/FailReason.h"
#include "platform/jetdb/JetValue.h"

class PmCategoryEx2Mgr;
class PmInfoEx2;
class PmMDBAccessor;

class PmDBEx2Util {
public:
    // No accessor, an empty category list, a zero information record.
    PmDBEx2Util();
    // Destroys the category list, the information record and the accessor.
    virtual ~PmDBEx2Util();
    PmDBEx2Util(const PmDBEx2Util&) = delete;
    PmDBEx2Util& operator=(const PmDBEx2Util&) = delete;

    // Opens the database file at pszPath (resolving the letter case of its
    // components when the exact path does not exist) on the connection of
    // the accessor kind, then LoadCategories. False for a null or empty
    // path, when no regular file is there, and when the file cannot be
    // opened as a database (the accessor has logged why; GetLastFailure
    // tells it): the category list and every select are then empty.
    virtual bool Open(int nKind, const char* pszPath);

    // Replaces the category list with the rows of "Category" (ID, Name,
    // Status, Color). False without an accessor.
    virtual bool LoadCategories();

    // Reads the rows of "Information" whose Name and Note are both text:
    // the keys License, Version, Minor, CodePage, PreSahara and FreeRecID
    // (exact, letter case counts) set the field of that name to the decimal
    // number in Note, TableString sets TableString (cut to 1023
    // characters); other keys are skipped and keys not present leave their
    // field as it was. False without an accessor.
    virtual bool LoadInformation();

    // The first row of "Main" whose Record ID is nId, with the given columns
    // (*pnCount of them on entry; the row's value count on return). False
    // without an accessor or when there is no such row.
    virtual bool QueryMainById(int32_t nId, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount);

    // The first row of "Main" selected with a where clause (null: none).
    virtual bool QueryMainWhere(const char* pszWhere, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount);

    // The Note of the "Information" row whose Name is pszKey, cut to
    // nSize - 1 bytes; *pbFound tells whether there is such a row. False
    // when the table cannot be read. Replaces any result being walked.
    bool ReadInformationValue(const char* pszKey, char* pszBuf, int nSize, bool* pbFound);

    // Sets the Note of the "Information" row pszKey, inserting the row when
    // there is none. False when the table cannot be read or written.
    bool WriteInformationValue(const char* pszKey, const char* pszValue);

    PmMDBAccessor* GetAccessor() const { return m_pAccessor; }
    PmCategoryEx2Mgr* GetCategoryMgr() const { return m_pCategoryMgr; }
    PmInfoEx2* GetInfo() const { return m_pInfo; }

    // Why the last Open (or load) failed; cleared by each Open.
    const FailReason& GetLastFailure() const { return m_LastFailure; }

protected:
    PmMDBAccessor* m_pAccessor;        // owned, null until the first Open
    PmCategoryEx2Mgr* m_pCategoryMgr;  // owned
    PmInfoEx2* m_pInfo;                // owned
    FailReason m_LastFailure;
    bool m_bFailureLogged = false;  // the last failure has its log line already
};
