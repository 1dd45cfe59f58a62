// WABOpen and the objects of an open address book, over WabStore.

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/wab/WabApi.h"
#include "platform/wab/WabStore.h"

namespace {

using StorePtr = std::shared_ptr<WabStore>;

// ---------------------------------------------------------------------------
// Memory handed to callers: plain zero-filled heap blocks, freed with
// IWABObject::FreeBuffer.

void* AllocBlock(size_t cb)
{
    return std::calloc(1, cb != 0 ? cb : 1);
}

void FreeBlock(void* p)
{
    std::free(p);
}

// Packs properties into one block: the SPropValue array followed by the
// bytes of every text and binary value. A PT_ERROR property carries its
// status code in nValue. Null when memory runs out.
LPSPropValue PackProps(const std::vector<const WabProp*>& props)
{
    size_t cbData = 0;
    for (const WabProp* pProp : props) {
        if (PROP_TYPE(pProp->ulTag) == PT_STRING8)
            cbData += pProp->bytes.size() + 1;
        else if (PROP_TYPE(pProp->ulTag) == PT_BINARY)
            cbData += pProp->bytes.size();
    }
    const size_t cbArray = props.size() * sizeof(SPropValue);
    auto* pBlock = static_cast<unsigned char*>(AllocBlock(cbArray + cbData));
    if (pBlock == nullptr)
        return nullptr;
    auto* lpProps = reinterpret_cast<LPSPropValue>(pBlock);
    unsigned char* pData = pBlock + cbArray;
    for (size_t i = 0; i < props.size(); ++i) {
        const WabProp& prop = *props[i];
        SPropValue& value = lpProps[i];
        value.ulPropTag = prop.ulTag;
        switch (PROP_TYPE(prop.ulTag)) {
        case PT_SHORT:
            value.Value.i = static_cast<int16_t>(prop.nValue);
            break;
        case PT_LONG:
            value.Value.l = static_cast<LONG>(prop.nValue);
            break;
        case PT_SYSTIME:
            value.Value.ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(prop.nValue) & 0xFFFFFFFFu);
            value.Value.ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(prop.nValue) >> 32);
            break;
        case PT_STRING8:
            std::memcpy(pData, prop.bytes.data(), prop.bytes.size());
            pData[prop.bytes.size()] = '\0';
            value.Value.lpszA = reinterpret_cast<LPSTR>(pData);
            pData += prop.bytes.size() + 1;
            break;
        case PT_BINARY:
            std::memcpy(pData, prop.bytes.data(), prop.bytes.size());
            value.Value.bin.cb = static_cast<ULONG>(prop.bytes.size());
            value.Value.bin.lpb = pData;
            pData += prop.bytes.size();
            break;
        default:  // PT_ERROR
            value.Value.err = static_cast<HRESULT>(prop.nValue);
            break;
        }
    }
    return lpProps;
}

WabProp BytesProp(ULONG ulTag, const std::string& bytes)
{
    WabProp prop;
    prop.ulTag = ulTag;
    prop.bytes = bytes;
    return prop;
}

WabProp IntProp(ULONG ulTag, int64_t nValue)
{
    WabProp prop;
    prop.ulTag = ulTag;
    prop.nValue = nValue;
    return prop;
}

WabProp NotFoundProp(ULONG ulTag)
{
    return IntProp(CHANGE_PROP_TYPE(ulTag, PT_ERROR), MAPI_E_NOT_FOUND);
}

// Answers GetProps from an object's properties sorted by tag (one per tag):
// all of them in tag order, or the requested ones with errors for those
// missing.
HRESULT AnswerGetProps(const std::vector<const WabProp*>& props, LPSPropTagArray lpTags, ULONG* lpcValues,
                       LPSPropValue* lppProps)
{
    if (lpcValues == nullptr || lppProps == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lpcValues = 0;
    *lppProps = nullptr;
    HRESULT hr = hrSuccess;
    if (lpTags == nullptr) {
        LPSPropValue lpProps = PackProps(props);
        if (lpProps == nullptr)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        *lpcValues = static_cast<ULONG>(props.size());
        *lppProps = lpProps;
        return hr;
    }
    if (lpTags->cValues == 0)
        return MAPI_E_INVALID_PARAMETER;
    std::vector<const WabProp*> answer;
    std::vector<WabProp> missing;      // the errors for tags not found
    missing.reserve(lpTags->cValues);  // no reallocation: answer points into it
    for (ULONG i = 0; i < lpTags->cValues; ++i) {
        const ULONG ulTag = lpTags->aulPropTag[i];
        const auto it = std::lower_bound(props.begin(), props.end(), ulTag,
                                         [](const WabProp* pProp, ULONG ul) { return pProp->ulTag < ul; });
        if (it != props.end() && (*it)->ulTag == ulTag) {
            answer.push_back(*it);
        } else {
            missing.push_back(NotFoundProp(ulTag));
            answer.push_back(&missing.back());
            hr = MAPI_W_ERRORS_RETURNED;
        }
    }
    LPSPropValue lpProps = PackProps(answer);
    if (lpProps == nullptr)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    *lpcValues = static_cast<ULONG>(answer.size());
    *lppProps = lpProps;
    return hr;
}

HRESULT AnswerGetProps(const std::map<ULONG, WabProp>& props, LPSPropTagArray lpTags, ULONG* lpcValues,
                       LPSPropValue* lppProps)
{
    std::vector<const WabProp*> sorted;
    sorted.reserve(props.size());
    for (const auto& entry : props)
        sorted.push_back(&entry.second);
    return AnswerGetProps(sorted, lpTags, lpcValues, lppProps);
}

// Reference counting shared by every object.
template <class Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++m_cRef; }
    ULONG Release() override
    {
        const ULONG cRef = --m_cRef;
        if (cRef == 0)
            delete this;
        return cRef;
    }

private:
    ULONG m_cRef = 1;
};

bool IsComputed(ULONG ulTag)
{
    return PROP_ID(ulTag) == PROP_ID(PR_ENTRYID) || PROP_ID(ulTag) == PROP_ID(PR_OBJECT_TYPE);
}

// ---------------------------------------------------------------------------
// A contact or distribution list.

class WabEntry : public RefCounted<IMailUser> {
public:
    // An entry of the book (row.nId set) or a new one (row.nId 0).
    WabEntry(StorePtr pStore, const WabEntryRow& row, bool bWritable, std::vector<WabProp> props)
        : m_pStore(std::move(pStore)), m_row(row), m_bWritable(bWritable), m_props(OnePerTag(std::move(props)))
    {
    }

    // An entry of the book opened for reading: it holds no properties but
    // reads them from the book whenever they are asked for. A program keeps
    // the entries of a whole book open while it works with their contents,
    // and copies of all their properties would only double what it holds.
    static WabEntry* ForReading(StorePtr pStore, const WabEntryRow& row)
    {
        auto* pEntry = new (std::nothrow) WabEntry(std::move(pStore), row, false, {});
        if (pEntry != nullptr)
            pEntry->m_bReadsBook = true;
        return pEntry;
    }

    HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG, ULONG* lpcValues, LPSPropValue* lppPropArray) override
    {
        std::vector<WabProp> read;
        WabPropRange stored{m_props.data(), m_props.size()};
        if (m_bReadsBook) {
            if (lpcValues != nullptr)
                *lpcValues = 0;
            if (lppPropArray != nullptr)
                *lppPropArray = nullptr;
            // A walk of the book has usually read them already.
            if (!m_pStore->ReadAheadOf(m_row.nId, &stored)) {
                const HRESULT hr = m_pStore->LoadProps(m_row.nId, &read);
                if (HR_FAILED(hr))
                    return hr;
                read = OnePerTag(std::move(read));
                stored = WabPropRange{read.data(), read.size()};
            }
        }
        // The stored properties in tag order, with the two computed ones in
        // their places (in place of stored ones of the same tag).
        WabProp computed[2];
        size_t nComputed = 0;
        computed[nComputed++] = IntProp(PR_OBJECT_TYPE, m_row.lObjType);
        if (m_row.nId != 0)
            computed[nComputed++] = BytesProp(PR_ENTRYID, m_row.entryId);
        std::vector<const WabProp*> props;
        props.reserve(stored.nCount + nComputed);
        size_t nNext = 0;
        for (const WabProp& prop : std::span(stored.pFirst, stored.nCount)) {
            while (nNext < nComputed && computed[nNext].ulTag < prop.ulTag)
                props.push_back(&computed[nNext++]);
            if (nNext < nComputed && computed[nNext].ulTag == prop.ulTag)
                continue;
            props.push_back(&prop);
        }
        while (nNext < nComputed)
            props.push_back(&computed[nNext++]);
        return AnswerGetProps(props, lpPropTagArray, lpcValues, lppPropArray);
    }

    HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) override
    {
        if (lppProblems != nullptr)
            *lppProblems = nullptr;
        if (!m_bWritable)
            return MAPI_E_NO_ACCESS;
        if (cValues > 0 && lpPropArray == nullptr)
            return MAPI_E_INVALID_PARAMETER;
        std::vector<WabProp> incoming;
        incoming.reserve(cValues);
        for (ULONG i = 0; i < cValues; ++i) {
            const SPropValue& value = lpPropArray[i];
            const ULONG ulTag = value.ulPropTag;
            if (IsComputed(ulTag))
                return MAPI_E_BAD_VALUE;
            switch (PROP_TYPE(ulTag)) {
            case PT_SHORT:
                incoming.push_back(IntProp(ulTag, value.Value.i));
                break;
            case PT_LONG:
                incoming.push_back(IntProp(ulTag, value.Value.l));
                break;
            case PT_SYSTIME:
                incoming.push_back(IntProp(ulTag, static_cast<int64_t>((uint64_t{value.Value.ft.dwHighDateTime} << 32) |
                                                                       value.Value.ft.dwLowDateTime)));
                break;
            case PT_STRING8:
                if (value.Value.lpszA == nullptr)
                    return MAPI_E_BAD_VALUE;
                incoming.push_back(BytesProp(ulTag, value.Value.lpszA));
                break;
            case PT_BINARY:
                if (value.Value.bin.cb > 0 && value.Value.bin.lpb == nullptr)
                    return MAPI_E_BAD_VALUE;
                incoming.push_back(BytesProp(
                    ulTag, std::string(reinterpret_cast<const char*>(value.Value.bin.lpb), value.Value.bin.cb)));
                break;
            default:
                return MAPI_E_BAD_VALUE;
            }
        }
        for (WabProp& prop : incoming) {
            const auto it = Find(prop.ulTag);
            if (it != m_props.end() && it->ulTag == prop.ulTag) {
                // A value the book holds already needs no writing.
                if (m_row.nId != 0 && it->nValue == prop.nValue && it->bytes == prop.bytes &&
                    m_changed.count(prop.ulTag) == 0)
                    continue;
                *it = std::move(prop);
                m_changed.insert(it->ulTag);
            } else {
                m_changed.insert(prop.ulTag);
                m_props.insert(it, std::move(prop));
            }
        }
        return hrSuccess;
    }

    HRESULT SaveChanges(ULONG) override
    {
        if (!m_bWritable)
            return MAPI_E_NO_ACCESS;
        if (m_row.nId != 0 && m_changed.empty())
            return hrSuccess;
        std::vector<WabProp> changed;
        changed.reserve(m_changed.size());
        for (ULONG ulTag : m_changed)
            changed.push_back(*Find(ulTag));
        const HRESULT hr = m_pStore->SaveEntry(&m_row, changed);
        if (HR_SUCCEEDED(hr))
            m_changed.clear();
        return hr;
    }

private:
    // The properties sorted by tag, one per tag. The store reads them in tag
    // order already; of two with one tag the later one counts.
    static std::vector<WabProp> OnePerTag(std::vector<WabProp> props)
    {
        std::stable_sort(props.begin(), props.end(),
                         [](const WabProp& a, const WabProp& b) { return a.ulTag < b.ulTag; });
        size_t nKept = 0;
        for (size_t i = 0; i < props.size(); ++i) {
            if (nKept > 0 && props[nKept - 1].ulTag == props[i].ulTag)
                props[nKept - 1] = std::move(props[i]);
            else if (nKept++ != i)
                props[nKept - 1] = std::move(props[i]);
        }
        props.resize(nKept);
        return props;
    }

    // The property of ulTag, or where it would stand.
    std::vector<WabProp>::iterator Find(ULONG ulTag)
    {
        return std::lower_bound(m_props.begin(), m_props.end(), ulTag,
                                [](const WabProp& prop, ULONG ul) { return prop.ulTag < ul; });
    }

    StorePtr m_pStore;
    WabEntryRow m_row;
    bool m_bWritable;
    std::vector<WabProp> m_props;  // as the caller sees them, saved or not; sorted by tag, one per tag
    bool m_bReadsBook = false;     // opened for reading: m_props stays empty, GetProps reads the book
    std::set<ULONG> m_changed;     // tags set since the last save
};

// ---------------------------------------------------------------------------
// The contents table.

class WabTable : public RefCounted<IMAPITable> {
public:
    explicit WabTable(StorePtr pStore)
        : m_pStore(std::move(pStore)), m_columns{PR_ENTRYID, PR_OBJECT_TYPE, PR_DISPLAY_NAME}
    {
    }

    ~WabTable() override { m_pStore->EndReadBatch(); }

    HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG) override
    {
        if (lpPropTagArray == nullptr || lpPropTagArray->cValues == 0)
            return MAPI_E_INVALID_PARAMETER;
        m_columns.assign(lpPropTagArray->aulPropTag, lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
        return hrSuccess;
    }

    HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) override
    {
        if (lplRowsSought != nullptr)
            *lplRowsSought = 0;
        if (lRowCount < 0)
            return MAPI_E_NO_SUPPORT;
        int64_t nCursor = m_nCursorId;
        if (bkOrigin == BOOKMARK_BEGINNING) {
            nCursor = 0;
        } else if (bkOrigin == BOOKMARK_END) {
            const HRESULT hr = m_pStore->LastEntryId(&nCursor);
            if (HR_FAILED(hr))
                return hr;
        } else if (bkOrigin != BOOKMARK_CURRENT) {
            return MAPI_E_INVALID_PARAMETER;
        }
        LONG lMoved = 0;
        if (lRowCount > 0) {
            std::vector<WabEntryRow> rows;
            const HRESULT hr = m_pStore->NextEntries(nCursor, lRowCount, &rows);
            if (HR_FAILED(hr))
                return hr;
            if (!rows.empty())
                nCursor = rows.back().nId;
            lMoved = static_cast<LONG>(rows.size());
        }
        m_nCursorId = nCursor;
        m_ahead.clear();
        if (lplRowsSought != nullptr)
            *lplRowsSought = lMoved;
        return hrSuccess;
    }

    HRESULT QueryRows(LONG lRowCount, ULONG, LPSRowSet* lppRows) override
    {
        if (lppRows == nullptr || lRowCount <= 0)
            return MAPI_E_INVALID_PARAMETER;
        *lppRows = nullptr;
        // A walk of the table reads in one snapshot until its end.
        m_pStore->BeginReadBatch();
        std::vector<WabEntryRow> rows;
        HRESULT hr = NextRows(lRowCount, &rows);
        if (HR_FAILED(hr))
            return hr;
        if (rows.empty())
            m_pStore->EndReadBatch();

        const size_t cbSet = offsetof(SRowSet, aRow) + (rows.empty() ? 1 : rows.size()) * sizeof(SRow);
        auto* lpRows = static_cast<LPSRowSet>(AllocBlock(cbSet));
        if (lpRows == nullptr) {
            m_ahead.clear();  // the cursor stays: the rows are read again
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        // The values of a row: the entry's own properties where they were
        // read ahead, the others in `made`, one place per column (kept from
        // row to row, so their text storage is reused).
        std::vector<WabProp> made(m_columns.size());
        std::vector<const WabProp*> values;
        values.reserve(m_columns.size());
        for (const WabEntryRow& row : rows) {
            values.clear();
            WabPropRange ahead;
            const bool bAhead = m_pStore->ReadAhead(row, &ahead);
            for (size_t nColumn = 0; nColumn < m_columns.size(); ++nColumn) {
                const ULONG ulTag = m_columns[nColumn];
                WabProp& prop = made[nColumn];
                prop.ulTag = ulTag;
                prop.nValue = 0;
                prop.bytes.clear();
                if (ulTag == PR_ENTRYID) {
                    prop.bytes = row.entryId;
                } else if (ulTag == PR_OBJECT_TYPE) {
                    prop.nValue = row.lObjType;
                } else if (bAhead) {
                    const WabProp* pEnd = ahead.pFirst + ahead.nCount;
                    const WabProp* pFound = std::lower_bound(
                        ahead.pFirst, pEnd, ulTag, [](const WabProp& stored, ULONG ul) { return stored.ulTag < ul; });
                    if (pFound != pEnd && pFound->ulTag == ulTag) {
                        values.push_back(pFound);
                        continue;
                    }
                    prop = NotFoundProp(ulTag);
                } else {
                    hr = m_pStore->LoadProp(row.nId, ulTag, &prop);
                    if (hr == MAPI_E_NOT_FOUND)
                        prop = NotFoundProp(ulTag);
                    else if (HR_FAILED(hr))
                        break;
                    hr = hrSuccess;
                }
                values.push_back(&prop);
            }
            SRow& out = lpRows->aRow[lpRows->cRows];
            out.lpProps = HR_SUCCEEDED(hr) ? PackProps(values) : nullptr;
            if (out.lpProps == nullptr) {
                for (ULONG i = 0; i < lpRows->cRows; ++i)
                    FreeBlock(lpRows->aRow[i].lpProps);
                FreeBlock(lpRows);
                m_ahead.clear();
                return HR_FAILED(hr) ? hr : MAPI_E_NOT_ENOUGH_MEMORY;
            }
            out.cValues = static_cast<ULONG>(values.size());
            ++lpRows->cRows;
        }
        if (!rows.empty())
            m_nCursorId = rows.back().nId;
        *lppRows = lpRows;
        return hrSuccess;
    }

private:
    // Rows are read from the store kReadAhead at a time (or as many as are
    // asked for, when more) and handed out from there. A row read ahead
    // cannot go stale: it holds only what never changes for an entry (id,
    // type, identifier), and entries are never removed; the values of the
    // columns are read when the row is handed out.
    static constexpr LONG kReadAhead = 256;

    // The next rows after the cursor, at most lRowCount of them.
    HRESULT NextRows(LONG lRowCount, std::vector<WabEntryRow>* pRows)
    {
        if (m_ahead.size() < static_cast<size_t>(lRowCount)) {
            const int64_t nAfter = m_ahead.empty() ? m_nCursorId : m_ahead.back().nId;
            std::vector<WabEntryRow> more;
            const LONG lWanted = static_cast<LONG>(static_cast<size_t>(lRowCount) - m_ahead.size());
            const HRESULT hr = m_pStore->NextEntries(nAfter, lWanted > kReadAhead ? lWanted : kReadAhead, &more);
            if (HR_FAILED(hr))
                return hr;
            for (WabEntryRow& row : more)
                m_ahead.push_back(std::move(row));
        }
        const size_t nTaken = std::min(m_ahead.size(), static_cast<size_t>(lRowCount));
        pRows->assign(std::make_move_iterator(m_ahead.begin()),
                      std::make_move_iterator(m_ahead.begin() + static_cast<std::ptrdiff_t>(nTaken)));
        m_ahead.erase(m_ahead.begin(), m_ahead.begin() + static_cast<std::ptrdiff_t>(nTaken));
        return hrSuccess;
    }

    StorePtr m_pStore;
    std::vector<ULONG> m_columns;
    int64_t m_nCursorId = 0;          // id of the last row passed; rows follow in id order
    std::deque<WabEntryRow> m_ahead;  // rows read after the cursor, not passed yet
};

// ---------------------------------------------------------------------------
// The personal address book's container.

class WabContainer : public RefCounted<IABContainer> {
public:
    explicit WabContainer(StorePtr pStore) : m_pStore(std::move(pStore)) { }

    HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG, ULONG* lpcValues, LPSPropValue* lppPropArray) override
    {
        std::map<ULONG, WabProp> props;
        props[PR_ENTRYID] = BytesProp(PR_ENTRYID, WabStore::MakeEntryId(WabStore::IdKind::Pab, 0));
        props[PR_OBJECT_TYPE] = IntProp(PR_OBJECT_TYPE, MAPI_ABCONT);
        props[PR_DEF_CREATE_MAILUSER] =
            BytesProp(PR_DEF_CREATE_MAILUSER, WabStore::MakeEntryId(WabStore::IdKind::Template, MAPI_MAILUSER));
        props[PR_DEF_CREATE_DL] =
            BytesProp(PR_DEF_CREATE_DL, WabStore::MakeEntryId(WabStore::IdKind::Template, MAPI_DISTLIST));
        return AnswerGetProps(props, lpPropTagArray, lpcValues, lppPropArray);
    }

    HRESULT SetProps(ULONG, LPSPropValue, LPSPropProblemArray* lppProblems) override
    {
        if (lppProblems != nullptr)
            *lppProblems = nullptr;
        return MAPI_E_NO_ACCESS;
    }

    HRESULT SaveChanges(ULONG) override { return MAPI_E_NO_ACCESS; }

    HRESULT GetContentsTable(ULONG, IMAPITable** lppTable) override
    {
        if (lppTable == nullptr)
            return MAPI_E_INVALID_PARAMETER;
        *lppTable = new (std::nothrow) WabTable(m_pStore);
        return *lppTable != nullptr ? hrSuccess : MAPI_E_NOT_ENOUGH_MEMORY;
    }

    HRESULT CreateEntry(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG, IMailUser** lppEntry) override
    {
        if (lppEntry == nullptr)
            return MAPI_E_INVALID_PARAMETER;
        *lppEntry = nullptr;
        WabStore::IdKind kind;
        int64_t nObjType = 0;
        if (!WabStore::ParseEntryId(lpEntryID, cbEntryID, &kind, &nObjType) || kind != WabStore::IdKind::Template ||
            (nObjType != MAPI_MAILUSER && nObjType != MAPI_DISTLIST)) {
            return MAPI_E_INVALID_ENTRYID;
        }
        WabEntryRow row;
        row.lObjType = static_cast<LONG>(nObjType);
        *lppEntry = new (std::nothrow) WabEntry(m_pStore, row, true, {});
        return *lppEntry != nullptr ? hrSuccess : MAPI_E_NOT_ENOUGH_MEMORY;
    }

private:
    StorePtr m_pStore;
};

// ---------------------------------------------------------------------------
// The address book and the memory object.

class WabAddrBook : public RefCounted<IAddrBook> {
public:
    explicit WabAddrBook(StorePtr pStore) : m_pStore(std::move(pStore)) { }

    WabStore& Store() { return *m_pStore; }

    HRESULT GetPAB(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) override
    {
        if (lpcbEntryID == nullptr || lppEntryID == nullptr)
            return MAPI_E_INVALID_PARAMETER;
        const std::string id = WabStore::MakeEntryId(WabStore::IdKind::Pab, 0);
        auto* lpId = static_cast<LPENTRYID>(AllocBlock(id.size()));
        if (lpId == nullptr)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        std::memcpy(lpId, id.data(), id.size());
        *lpcbEntryID = static_cast<ULONG>(id.size());
        *lppEntryID = lpId;
        return hrSuccess;
    }

    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const MAPIUID* lpInterface, ULONG ulFlags,
                      ULONG* lpulObjType, IMAPIUnknown** lppUnk) override
    {
        if (lppUnk == nullptr)
            return MAPI_E_INVALID_PARAMETER;
        *lppUnk = nullptr;
        if (lpInterface != nullptr)
            return MAPI_E_NO_SUPPORT;

        WabStore::IdKind kind = WabStore::IdKind::Pab;
        int64_t nNumber = 0;
        const bool bEmpty = cbEntryID == 0 || lpEntryID == nullptr;
        if (!bEmpty && !WabStore::ParseEntryId(lpEntryID, cbEntryID, &kind, &nNumber))
            return MAPI_E_INVALID_ENTRYID;
        if (kind == WabStore::IdKind::Pab) {
            *lppUnk = new (std::nothrow) WabContainer(m_pStore);
            if (*lppUnk == nullptr)
                return MAPI_E_NOT_ENOUGH_MEMORY;
            if (lpulObjType != nullptr)
                *lpulObjType = MAPI_ABCONT;
            return hrSuccess;
        }
        if (kind != WabStore::IdKind::Entry)
            return MAPI_E_INVALID_ENTRYID;

        WabEntryRow row;
        HRESULT hr = m_pStore->FindEntry(lpEntryID, cbEntryID, &row);
        if (HR_FAILED(hr))
            return hr;
        if ((ulFlags & MAPI_MODIFY) != 0) {
            std::vector<WabProp> props;
            hr = m_pStore->LoadProps(row.nId, &props);
            if (HR_FAILED(hr))
                return hr;
            *lppUnk = new (std::nothrow) WabEntry(m_pStore, row, true, std::move(props));
        } else {
            *lppUnk = WabEntry::ForReading(m_pStore, row);
        }
        if (*lppUnk == nullptr)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        if (lpulObjType != nullptr)
            *lpulObjType = static_cast<ULONG>(row.lObjType);
        return hrSuccess;
    }

private:
    StorePtr m_pStore;
};

class WabObject : public RefCounted<IWABObject> {
public:
    HRESULT AllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) override
    {
        if (lppBuffer == nullptr)
            return MAPI_E_INVALID_PARAMETER;
        *lppBuffer = AllocBlock(cbSize);
        return *lppBuffer != nullptr ? hrSuccess : MAPI_E_NOT_ENOUGH_MEMORY;
    }

    HRESULT FreeBuffer(LPVOID lpBuffer) override
    {
        FreeBlock(lpBuffer);
        return hrSuccess;
    }
};

}  // namespace

HRESULT WABOpen(IAddrBook** lppAdrBook, IWABObject** lppWABObject, WAB_PARAM* lpWP, DWORD)
{
    if (lppAdrBook == nullptr || lppWABObject == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppAdrBook = nullptr;
    *lppWABObject = nullptr;
    if (lpWP != nullptr && lpWP->cbSize < sizeof(WAB_PARAM))
        return MAPI_E_INVALID_PARAMETER;

    StorePtr pStore;
    const HRESULT hr = WabStore::Open(lpWP != nullptr ? lpWP->szFileName : nullptr, &pStore);
    if (HR_FAILED(hr))
        return hr;
    auto* pAddrBook = new (std::nothrow) WabAddrBook(pStore);
    auto* pObject = new (std::nothrow) WabObject();
    if (pAddrBook == nullptr || pObject == nullptr) {
        if (pAddrBook != nullptr)
            pAddrBook->Release();
        if (pObject != nullptr)
            pObject->Release();
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    *lppAdrBook = pAddrBook;
    *lppWABObject = pObject;
    return hrSuccess;
}

HRESULT WabBeginSaveBatch(IAddrBook* lpAdrBook)
{
    auto* pBook = dynamic_cast<WabAddrBook*>(lpAdrBook);
    return pBook != nullptr ? pBook->Store().BeginWriteBatch() : MAPI_E_NO_SUPPORT;
}

HRESULT WabEndSaveBatch(IAddrBook* lpAdrBook)
{
    auto* pBook = dynamic_cast<WabAddrBook*>(lpAdrBook);
    return pBook != nullptr ? pBook->Store().EndWriteBatch() : MAPI_E_NO_SUPPORT;
}
