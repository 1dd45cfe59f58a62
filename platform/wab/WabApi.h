// The address-book library: WABOpen and the interfaces it hands out.
//
// An address book is a SQLite database file of this program's own format
// (".wab"): entries with their object type and entry identifier, and their
// properties by tag, 8-bit text kept byte for byte. WABOpen opens one file,
// or the user's default book ($XDG_DATA_HOME/varnwick/default.wab, created on
// first use) when no file name is given. A named file that does not exist is
// created, and so is an existing file of 0 bytes, which holds nothing to
// lose. Any other file that is not such a database (an address book from
// Windows, a text file, another program's database) fails WABOpen with
// MAPI_E_NOT_A_BOOK and a line for the diagnostic log (WabTakeLogLines),
// and is never written to.
//
// Objects are reference counted: every interface pointer the library hands
// out carries one reference, which the caller returns with Release(). The
// objects of one book may be released in any order; the database closes with
// the last of them. Memory the library hands out (property arrays, row sets,
// identifiers) is returned with IWABObject::FreeBuffer.
//
// Single-threaded: the objects of one book must be used from one thread.
#pragma once

#include <string>
#include <vector>

#include "platform/fsutil/FailReason.h"
#include "platform/wab/MapiDefs.h"
#include "platform/wab/MapiTags.h"

// The base of every interface: reference counting.
class IMAPIUnknown {
public:
    // Adds a reference; returns the new count.
    virtual ULONG AddRef() = 0;
    // Drops a reference; the object is gone when the returned count is 0.
    virtual ULONG Release() = 0;

protected:
    virtual ~IMAPIUnknown() = default;
};

// An object with properties.
class IMAPIProp : public IMAPIUnknown {
public:
    // Reads properties into a new block (*lppPropArray, freed with
    // FreeBuffer) of *lpcValues values.
    //  - lpPropTagArray null: every property the object has, in tag order.
    //  - otherwise one value per requested tag, in the order requested; a
    //    property the object lacks comes back as a PT_ERROR value with
    //    MAPI_E_NOT_FOUND, and the call returns MAPI_W_ERRORS_RETURNED.
    // ulFlags is accepted and ignored (text is always 8-bit).
    virtual HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                             LPSPropValue* lppPropArray) = 0;

    // Sets properties in memory; SaveChanges stores them. Values of type
    // PT_STRING8, PT_SHORT, PT_LONG, PT_SYSTIME and PT_BINARY are kept;
    // anything else (or a computed property such as PR_ENTRYID) refuses the
    // whole call with MAPI_E_BAD_VALUE and changes nothing. An object opened
    // without MAPI_MODIFY gives MAPI_E_NO_ACCESS. lppProblems may be null;
    // when given it is set to null (problems refuse the call instead).
    virtual HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) = 0;

    // Stores every property changed since the last save in one transaction:
    // either all of them are in the file afterwards or none is. A new entry
    // gets its identifier here. ulFlags is ignored; the object stays usable.
    virtual HRESULT SaveChanges(ULONG ulFlags) = 0;
};

// A contact (MAPI_MAILUSER) or distribution list (MAPI_DISTLIST) entry.
class IMailUser : public IMAPIProp { };

// Rows of a container's entries.
class IMAPITable : public IMAPIUnknown {
public:
    // Chooses the columns QueryRows returns, in this order. Computed columns
    // are PR_ENTRYID and PR_OBJECT_TYPE; any other tag reads the entry's
    // property, or a PT_ERROR value when the entry lacks it.
    virtual HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;

    // Moves the cursor lRowCount rows (not below 0) from the bookmark. When
    // lplRowsSought is given it receives the number of rows moved.
    virtual HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) = 0;

    // Returns up to lRowCount rows from the cursor and moves past them. At
    // the end of the table the row set holds 0 rows. Rows are entries in the
    // order they were created; entries created after the table was opened
    // show up when the cursor reaches them.
    virtual HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) = 0;
};

// The personal address book's container.
class IABContainer : public IMAPIProp {
public:
    // A table of every contact and distribution list of the container.
    virtual HRESULT GetContentsTable(ULONG ulFlags, IMAPITable** lppTable) = 0;

    // Creates a new entry from a template identifier (PR_DEF_CREATE_MAILUSER
    // or PR_DEF_CREATE_DL of this container). The entry exists in the file
    // only after its first SaveChanges. The new object is writable.
    virtual HRESULT CreateEntry(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulCreateFlags, IMailUser** lppEntry) = 0;
};

// The open address book.
class IAddrBook : public IMAPIUnknown {
public:
    // The identifier of the personal address book's container, in a new
    // block freed with FreeBuffer.
    virtual HRESULT GetPAB(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;

    // Opens the object an identifier names: the container (an empty
    // identifier also names it) or an entry. *lpulObjType receives the
    // object type; *lppUnk is an IABContainer for MAPI_ABCONT and an
    // IMailUser otherwise. lpInterface must be null. Without MAPI_MODIFY the
    // object is read-only. Unknown identifiers give MAPI_E_INVALID_ENTRYID.
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const MAPIUID* lpInterface, ULONG ulFlags,
                              ULONG* lpulObjType, IMAPIUnknown** lppUnk) = 0;
};

// Memory of the library.
class IWABObject : public IMAPIUnknown {
public:
    // A new block of cbSize bytes (zero-filled), freed with FreeBuffer.
    virtual HRESULT AllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) = 0;
    // Frees a block the library handed out; null is accepted.
    virtual HRESULT FreeBuffer(LPVOID lpBuffer) = 0;
};

// Saves of many entries in a row (a transfer into the book) can share one
// transaction: WabBeginSaveBatch starts it, WabEndSaveBatch commits it. Each
// SaveChanges inside still stores all of its entry's changes or none, but
// the batch as a whole is in the file only once WabEndSaveBatch succeeded;
// when that commit fails, none of the batch is (MAPI_E_CALL_FAILED). A book
// released with a batch open commits it. A book that is not this library's
// answers MAPI_E_NO_SUPPORT and saves entry by entry.
HRESULT WabBeginSaveBatch(IAddrBook* lpAdrBook);
HRESULT WabEndSaveBatch(IAddrBook* lpAdrBook);

// The parameters of WABOpen.
struct WAB_PARAM {
    ULONG cbSize;       // sizeof(WAB_PARAM)
    void* hwnd;         // parent window; unused
    LPSTR szFileName;   // the book to open; null or empty: the default book
    ULONG ulFlags;      // 0
    MAPIUID guidPSExt;  // extension id; unused
};

// Opens an address book. On success *lppAdrBook and *lppWABObject each
// carry one reference. Fails with MAPI_E_INVALID_PARAMETER for null out
// arguments or a cbSize below sizeof(WAB_PARAM), MAPI_E_NOT_A_BOOK for a file
// that is not an address book of this program, and MAPI_E_CALL_FAILED when
// the file cannot be created or opened.
HRESULT WABOpen(IAddrBook** lppAdrBook, IWABObject** lppWABObject, WAB_PARAM* lpWP, DWORD Reserved2);

// Why the last WABOpen, or the last save of an entry, failed: the file
// missing or not a file, not an address book of this program (a Windows
// .wab is named as such), in use by another program, read-only, the disk
// full. Cleared by each WABOpen.
const FailReason& WabLastFailure();

// The diagnostic lines the library has written down since they were last
// taken, oldest first, and forgets them: what failed and why, in the
// database's own words where it gave any ("Address book /x.wab cannot be
// read: disk I/O error"). The library keeps no log of its own; the program
// writes these to its log.
std::vector<std::string> WabTakeLogLines();

using LPWABOPEN = HRESULT (*)(IAddrBook** lppAdrBook, IWABObject** lppWABObject, WAB_PARAM* lpWP, DWORD Reserved2);
