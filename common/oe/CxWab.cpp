// CxWab: loading the library, opening and closing a book, reading entries.

#include "common/oe/CxWab.h"

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/misc/CxDebugUtil.h"
#include "platform/wab/MapiTags.h"
#include "platform/wab/WabLoader.h"

namespace {

// The property of a row with the given tag, or null.
const SPropValue* FindProp(const SRow& row, ULONG ulTag)
{
    if (row.lpProps == nullptr)
        return nullptr;
    for (ULONG i = 0; i < row.cValues; ++i) {
        if (row.lpProps[i].ulPropTag == ulTag)
            return &row.lpProps[i];
    }
    return nullptr;
}

// The columns OpenAddressBook reads from the contents table, in this order.
constexpr ULONG kContentsColumns[] = {PR_DISPLAY_NAME, PR_ENTRYID, PR_OBJECT_TYPE};

// Rows OpenAddressBook asks the contents table for at once: one call per
// batch instead of per row, while every row's entry is still among those the
// library has just read ahead (it keeps 256).
constexpr LONG kRowsPerQuery = 128;

}  // namespace

CxWab::CxWab(const char* pszWabFile)
    : m_pAddrMgr(new CommAddrMgr()), m_szWabFile{}, m_pRootFolder(nullptr), m_bDllLoaded(0), m_hWabDll(nullptr),
      m_lpfnWABOpen(nullptr), m_lpAdrBook(nullptr), m_lpWABObject(nullptr), m_lpMailUser(nullptr),
      m_lpPropArray(nullptr), m_cValues(0)
{
    // The library's location may be configured; by default it is found by
    // its module name.
    char szDllPath[MAX_PATH] = "";
    WabQueryDllPath(szDllPath, sizeof szDllPath);
    m_hWabDll = WabLoadLibrary(szDllPath[0] != '\0' ? szDllPath : WAB_DLL_NAME);
    if (m_hWabDll != nullptr) {
        m_lpfnWABOpen = reinterpret_cast<LPWABOPEN>(WabGetProcAddress(m_hWabDll, "WABOpen"));
        m_bDllLoaded = 1;
    }

    for (DWORD& dwTag : dwCustomIDs)
        dwTag = 0;

    if (pszWabFile != nullptr)
        OpenAddressBook(pszWabFile);
}

CxWab::LibraryLog::~LibraryLog()
{
    for (const std::string& line : WabTakeLogLines())
        g_DebugUtil.Log(0, __FILE__, __LINE__, "%s", line.c_str());
}

FailReason CxWab::GetLastFailure() const
{
    if (m_LastFailure.IsSet())
        return m_LastFailure;
    return WabLastFailure();
}

CxWab::~CxWab()
{
    CloseAddressBook();
    delete m_pRootFolder;  // null after CloseAddressBook; kept for symmetry
    m_pRootFolder = nullptr;
    if (m_bDllLoaded && m_hWabDll != nullptr)
        WabFreeLibrary(m_hWabDll);
    delete m_pAddrMgr;
}

bool CxWab::OpenAddressBook(const char* pszWabFile)
{
    const LibraryLog libraryLog;
    CloseAddressBook();
    m_LastFailure.Clear();
    if (m_lpfnWABOpen == nullptr) {
        m_LastFailure = FailReason::Of(FailKind::Missing, "the address-book library is missing");
        return false;
    }
    if (pszWabFile != nullptr && std::strlen(pszWabFile) >= sizeof(m_szWabFile)) {
        // A cut path would name another file: refused.
        m_LastFailure = CheckInputPath(pszWabFile, sizeof(m_szWabFile));
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Address book not opened: %.200s... (%s)", pszWabFile,
                        FailReasonText(m_LastFailure).c_str());
        return false;
    }

    CopyTextField(m_szWabFile, pszWabFile);  // null gives ""

    WAB_PARAM wp;
    std::memset(&wp, 0, sizeof wp);
    wp.cbSize = sizeof wp;
    wp.hwnd = nullptr;
    wp.szFileName = m_szWabFile;
    wp.ulFlags = 0;
    HRESULT hr = m_lpfnWABOpen(&m_lpAdrBook, &m_lpWABObject, &wp, 0);
    if (HR_FAILED(hr) || m_lpAdrBook == nullptr || m_lpWABObject == nullptr) {
        m_LastFailure = WabLastFailure().IsSet() ? WabLastFailure() : FailReason::Of(FailKind::Unreadable);
        CloseAddressBook();
        return false;
    }

    ULONG cbPabId = 0;
    LPENTRYID lpPabId = nullptr;
    hr = m_lpAdrBook->GetPAB(&cbPabId, &lpPabId);
    if (HR_FAILED(hr)) {
        CloseAddressBook();
        return false;
    }

    ULONG ulObjType = 0;
    IMAPIUnknown* lpUnknown = nullptr;
    hr = m_lpAdrBook->OpenEntry(cbPabId, lpPabId, nullptr, 0, &ulObjType, &lpUnknown);
    m_lpWABObject->FreeBuffer(lpPabId);
    if (HR_SUCCEEDED(hr) && lpUnknown != nullptr && ulObjType != static_cast<ULONG>(MAPI_ABCONT)) {
        lpUnknown->Release();
        lpUnknown = nullptr;
    }
    if (HR_FAILED(hr) || lpUnknown == nullptr) {
        CloseAddressBook();
        return false;
    }
    auto* lpContainer = static_cast<IABContainer*>(lpUnknown);
    m_pRootFolder = new CxWabFolder(this, lpContainer);
    // The neutral set reads the folder's entries; it holds no copies.
    m_nMappingSeen = s_nMappingGeneration.load();
    if (!m_pAddrMgr->SetSource(m_pRootFolder)) {
        m_LastFailure = FailReason::Of(FailKind::Unreadable, "out of memory");
        CloseAddressBook();
        return false;
    }

    IMAPITable* lpTable = nullptr;
    hr = lpContainer->GetContentsTable(0, &lpTable);
    if (HR_FAILED(hr) || lpTable == nullptr)
        return true;  // an open book without entries

    SizedSPropTagArray<3> columns = {3, {kContentsColumns[0], kContentsColumns[1], kContentsColumns[2]}};
    hr = lpTable->SetColumns(columns.Get(), 0);
    if (HR_SUCCEEDED(hr))
        hr = lpTable->SeekRow(BOOKMARK_BEGINNING, 0, nullptr);
    if (HR_FAILED(hr)) {
        lpTable->Release();
        CloseAddressBook();
        return false;
    }

    for (;;) {
        LPSRowSet lpRows = nullptr;
        hr = lpTable->QueryRows(kRowsPerQuery, 0, &lpRows);
        if (HR_FAILED(hr) || lpRows == nullptr)
            break;
        if (lpRows->cRows == 0) {
            FreeRows(lpRows);
            break;
        }
        for (ULONG nRow = 0; nRow < lpRows->cRows; ++nRow) {
            const SPropValue* pType = FindProp(lpRows->aRow[nRow], PR_OBJECT_TYPE);
            if (pType == nullptr || pType->Value.l != MAPI_MAILUSER)
                continue;
            auto* pRecord = m_pRootFolder->NewRecord();  // zero-filled: not cleared again
            if (!ReadEntryInto(pRecord, lpRows, static_cast<int>(nRow), true)) {
                m_pRootFolder->DiscardRecord(pRecord);  // an entry that cannot be opened is left out
                continue;
            }
            if (!m_pRootFolder->AddEntry(pRecord)) {
                // Out of memory: the book cannot be read whole.
                std::free(pRecord->lpEntryID);
                if (pRecord->lpMailUser != nullptr)
                    pRecord->lpMailUser->Release();
                m_pRootFolder->DiscardRecord(pRecord);
                hr = MAPI_E_NOT_ENOUGH_MEMORY;
                break;
            }
        }
        FreeRows(lpRows);
        if (HR_FAILED(hr))
            break;
    }
    lpTable->Release();

    if (HR_FAILED(hr)) {
        CloseAddressBook();
        return false;
    }
    return true;
}

bool CxWab::CloseAddressBook()
{
    const LibraryLog libraryLog;
    DropWrittenNotes();
    m_pAddrMgr->SetSource(nullptr);
    if (m_lpPropArray != nullptr && m_lpWABObject != nullptr)
        m_lpWABObject->FreeBuffer(m_lpPropArray);
    m_lpPropArray = nullptr;
    m_cValues = 0;
    m_lpMailUser = nullptr;  // never owned between writes
    if (m_lpAdrBook != nullptr)
        m_lpAdrBook->Release();
    m_lpAdrBook = nullptr;
    if (m_lpWABObject != nullptr)
        m_lpWABObject->Release();
    m_lpWABObject = nullptr;
    delete m_pRootFolder;
    m_pRootFolder = nullptr;
    return true;
}

WabRecord* CxWab::GetEntryAt(int32_t nPos) const
{
    return m_pRootFolder != nullptr && nPos >= 0 ? m_pRootFolder->GetRecordAt(static_cast<uint32_t>(nPos)) : nullptr;
}

WabRecord* CxWab::GetFirstEntry()
{
    return m_pRootFolder != nullptr ? m_pRootFolder->GetFirstRecord() : nullptr;
}

WabRecord* CxWab::GetNextEntry()
{
    return m_pRootFolder != nullptr ? m_pRootFolder->GetNextRecord() : nullptr;
}

bool CxWab::ReadEntry(WabRecord* pRecord, LPSRowSet lpRowAB, int index)
{
    return ReadEntryInto(pRecord, lpRowAB, index, false);
}

bool CxWab::ReadEntryInto(WabRecord* pRecord, LPSRowSet lpRowAB, int index, bool bZeroed)
{
    const LibraryLog libraryLog;
    assert(pRecord != NULL);
    assert(lpRowAB != NULL);
    if (pRecord == nullptr || lpRowAB == nullptr)
        return false;
    assert(index >= 0 && index < (int)lpRowAB->cRows);
    if (index < 0 || index >= static_cast<int>(lpRowAB->cRows) || m_lpAdrBook == nullptr || m_lpWABObject == nullptr)
        return false;

    const SRow& row = lpRowAB->aRow[index];
    const SPropValue* pEntryId = FindProp(row, PR_ENTRYID);
    const SPropValue* pType = FindProp(row, PR_OBJECT_TYPE);
    if (pEntryId == nullptr || pType == nullptr || pType->Value.l != MAPI_MAILUSER)
        return false;
    const ULONG cbEntryID = pEntryId->Value.bin.cb;
    const LPENTRYID lpEntryID = pEntryId->Value.bin.lpb;

    ULONG ulObjType = 0;
    IMAPIUnknown* lpUnknown = nullptr;
    HRESULT hr = m_lpAdrBook->OpenEntry(cbEntryID, lpEntryID, nullptr, 0, &ulObjType, &lpUnknown);
    if (HR_FAILED(hr) || lpUnknown == nullptr)
        return false;
    if (ulObjType != static_cast<ULONG>(MAPI_MAILUSER)) {
        lpUnknown->Release();
        return false;
    }
    auto* lpMailUser = static_cast<IMailUser*>(lpUnknown);

    hr = lpMailUser->GetProps(nullptr, 0, &m_cValues, &m_lpPropArray);
    if (HR_FAILED(hr)) {
        lpMailUser->Release();
        m_lpPropArray = nullptr;
        m_cValues = 0;
        return false;
    }
    if (bZeroed)
        FillProperties(pRecord);
    else
        LoadProperties(pRecord);

    pRecord->lpEntryID = static_cast<LPENTRYID>(std::calloc(cbEntryID != 0 ? cbEntryID : 1, 1));
    if (pRecord->lpEntryID != nullptr && cbEntryID != 0 && lpEntryID != nullptr) {
        std::memcpy(pRecord->lpEntryID, lpEntryID, cbEntryID);
        pRecord->cbEntryID = cbEntryID;
    }
    pRecord->lpMailUser = lpMailUser;

    m_lpWABObject->FreeBuffer(m_lpPropArray);
    m_lpPropArray = nullptr;
    m_cValues = 0;
    return true;
}

void CxWab::LoadProperties(WabRecord* pRecord)
{
    const LibraryLog libraryLog;
    if (pRecord == nullptr)
        return;
    std::memset(pRecord, 0, sizeof *pRecord);
    FillProperties(pRecord);
}

void CxWab::FillProperties(WabRecord* pRecord)
{
    if (m_lpPropArray == nullptr)
        return;
    for (ULONG i = 0; i < m_cValues; ++i) {
        const SPropValue& prop = m_lpPropArray[i];
        int nWidth = 0;
        char* pszField = FieldForTag(pRecord, prop.ulPropTag, &nWidth);
        if (pszField != nullptr) {
            if (prop.Value.lpszA != nullptr && nWidth > 0) {
                // CopyTextField without its write of the field's last byte,
                // which holds zero already: a field is only ever written
                // here, up to width - 1 characters and a terminator, so the
                // bytes are the same, and a long field's far end (and its
                // page) stays untouched.
                const size_t nCopy = strnlen(prop.Value.lpszA, static_cast<size_t>(nWidth) - 1);
                std::memcpy(pszField, prop.Value.lpszA, nCopy);
                pszField[nCopy] = '\0';
            }
        } else if (prop.ulPropTag == PR_BIRTHDAY) {
            pRecord->PR_BIRTHDAY = prop.Value.ft;
        } else if (prop.ulPropTag == PR_GENDER) {
            pRecord->PR_GENDER = prop.Value.i;
        } else if (prop.ulPropTag == PR_WEDDING_ANNIVERSARY) {
            pRecord->PR_WEDDING_ANNIVERSARY = prop.Value.ft;
        }
    }
}

void CxWab::FreeRows(LPSRowSet lpRows)
{
    if (lpRows == nullptr || m_lpWABObject == nullptr)
        return;
    for (ULONG i = 0; i < lpRows->cRows; ++i)
        m_lpWABObject->FreeBuffer(lpRows->aRow[i].lpProps);
    m_lpWABObject->FreeBuffer(lpRows);
}

void CxWab::FreeBuffer(LPVOID lpBuffer)
{
    if (m_lpWABObject != nullptr && lpBuffer != nullptr)
        m_lpWABObject->FreeBuffer(lpBuffer);
}
