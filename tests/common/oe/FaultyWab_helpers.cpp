#include "FaultyWab.h"

#include "platform/wab/WabLoader.h"

namespace {

WabFault g_fault = WabFault::None;

template <class Interface, class Inner>
class Wrapper : public Interface {
public:
    explicit Wrapper(Inner* pInner) : m_pInner(pInner) { }
    ULONG AddRef() override { return ++m_cRef; }
    ULONG Release() override
    {
        const ULONG cRef = --m_cRef;
        if (cRef == 0) {
            m_pInner->Release();
            delete this;
        }
        return cRef;
    }

protected:
    Inner* m_pInner;

private:
    ULONG m_cRef = 1;
};

class FaultyTable : public Wrapper<IMAPITable, IMAPITable> {
public:
    using Wrapper::Wrapper;
    HRESULT SetColumns(LPSPropTagArray lpTags, ULONG ulFlags) override
    {
        return g_fault == WabFault::SetColumns ? MAPI_E_CALL_FAILED : m_pInner->SetColumns(lpTags, ulFlags);
    }
    HRESULT SeekRow(BOOKMARK bk, LONG lCount, LONG* plSought) override
    {
        return g_fault == WabFault::SeekRow ? MAPI_E_CALL_FAILED : m_pInner->SeekRow(bk, lCount, plSought);
    }
    HRESULT QueryRows(LONG lCount, ULONG ulFlags, LPSRowSet* lppRows) override
    {
        if (++m_nQueries == 2 && g_fault == WabFault::QueryRowsSecond)
            return MAPI_E_CALL_FAILED;
        return m_pInner->QueryRows(lCount, ulFlags, lppRows);
    }

private:
    int m_nQueries = 0;
};

class FaultyContainer : public Wrapper<IABContainer, IABContainer> {
public:
    using Wrapper::Wrapper;
    HRESULT GetProps(LPSPropTagArray lpTags, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppProps) override
    {
        const HRESULT hr = m_pInner->GetProps(lpTags, ulFlags, lpcValues, lppProps);
        if (HR_SUCCEEDED(hr) && g_fault == WabFault::Templates) {
            for (ULONG i = 0; i < *lpcValues; ++i) {
                if ((*lppProps)[i].ulPropTag == PR_DEF_CREATE_DL) {
                    (*lppProps)[i].ulPropTag = CHANGE_PROP_TYPE(PR_DEF_CREATE_DL, PT_ERROR);
                    (*lppProps)[i].Value.err = MAPI_E_NOT_FOUND;
                }
            }
            return MAPI_W_ERRORS_RETURNED;
        }
        return hr;
    }
    HRESULT SetProps(ULONG cValues, LPSPropValue lpProps, LPSPropProblemArray* lppProblems) override
    {
        return m_pInner->SetProps(cValues, lpProps, lppProblems);
    }
    HRESULT SaveChanges(ULONG ulFlags) override { return m_pInner->SaveChanges(ulFlags); }
    HRESULT GetContentsTable(ULONG ulFlags, IMAPITable** lppTable) override
    {
        if (g_fault == WabFault::ContentsTable)
            return MAPI_E_CALL_FAILED;
        const HRESULT hr = m_pInner->GetContentsTable(ulFlags, lppTable);
        if (HR_SUCCEEDED(hr))
            *lppTable = new FaultyTable(*lppTable);
        return hr;
    }
    HRESULT CreateEntry(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags, IMailUser** lppEntry) override
    {
        if (g_fault == WabFault::CreateEntry)
            return MAPI_E_CALL_FAILED;
        return m_pInner->CreateEntry(cbEntryID, lpEntryID, ulFlags, lppEntry);
    }
};

class FaultyAddrBook : public Wrapper<IAddrBook, IAddrBook> {
public:
    using Wrapper::Wrapper;
    HRESULT GetPAB(ULONG* lpcb, LPENTRYID* lppId) override
    {
        return g_fault == WabFault::GetPab ? MAPI_E_CALL_FAILED : m_pInner->GetPAB(lpcb, lppId);
    }
    HRESULT OpenEntry(ULONG cb, LPENTRYID lpId, const MAPIUID* lpInterface, ULONG ulFlags, ULONG* lpulObjType,
                      IMAPIUnknown** lppUnk) override
    {
        ULONG ulType = 0;
        const HRESULT hr = m_pInner->OpenEntry(cb, lpId, lpInterface, ulFlags, &ulType, lppUnk);
        if (HR_FAILED(hr))
            return hr;
        const bool bContainer = ulType == static_cast<ULONG>(MAPI_ABCONT);
        const bool bFail =
            bContainer ? g_fault == WabFault::OpenPab : ++m_nEntryOpens == 2 && g_fault == WabFault::OpenSecondEntry;
        if (bFail) {
            (*lppUnk)->Release();
            *lppUnk = nullptr;
            return MAPI_E_CALL_FAILED;
        }
        if (bContainer)
            *lppUnk = new FaultyContainer(static_cast<IABContainer*>(*lppUnk));
        if (lpulObjType != nullptr)
            *lpulObjType = ulType;
        return hr;
    }

private:
    int m_nEntryOpens = 0;
};

HRESULT FaultyWABOpen(IAddrBook** lppAdrBook, IWABObject** lppWABObject, WAB_PARAM* lpWP, DWORD dwReserved)
{
    if (g_fault == WabFault::WabOpen)
        return MAPI_E_CALL_FAILED;
    const HRESULT hr = WABOpen(lppAdrBook, lppWABObject, lpWP, dwReserved);
    if (HR_SUCCEEDED(hr))
        *lppAdrBook = new FaultyAddrBook(*lppAdrBook);
    return hr;
}

}  // namespace

void UseFaultyWab(WabFault fault)
{
    g_fault = fault;
    const WabLibraryForTest library = {true, &FaultyWABOpen};
    SetWabLibraryForTest(&library);
}

void UseRealWab()
{
    g_fault = WabFault::None;
    SetWabLibraryForTest(nullptr);
}
