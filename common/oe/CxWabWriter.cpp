// CxWab: storing neutral records into the book and classifying both sides.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "common/oe/CxWab.h"
#include "common/oe/WabTextFields.h"
#include "platform/wab/MapiTags.h"

namespace {

using wabtext::kTextFields;

// Room for every text property, both dates and the gender.
constexpr size_t kMaxWrittenProps = 65;

bool IsFileTimeSet(const FILETIME& ft)
{
    return ft.dwLowDateTime != 0 || ft.dwHighDateTime != 0;
}

}  // namespace

void CxWab::FollowMapping()
{
    const uint64_t nGeneration = s_nMappingGeneration.load();
    if (nGeneration == m_nMappingSeen)
        return;
    m_nMappingSeen = nGeneration;
    if (m_pAddrMgr != nullptr && m_pRootFolder != nullptr)
        m_pAddrMgr->SetSource(m_pRootFolder);
}

int CxWab::MatchContact(const CommAddrRecord* pRecord, WabRecord** ppMatch)
{
    if (pRecord == nullptr || ppMatch == nullptr || m_pAddrMgr == nullptr)
        return CLASSIFY_NONE;
    FollowMapping();
    *ppMatch = nullptr;
    CommAddrRecord* pStored = nullptr;
    int32_t nPos = 0;
    const int nCode = m_pAddrMgr->Classify(pRecord, &pStored, &nPos);
    if (nCode != CLASSIFY_NEW && pStored != nullptr && pStored->pAttached != nullptr &&
        pStored->nAttachedLen == sizeof(WabRecord)) {
        *ppMatch = static_cast<WabRecord*>(pStored->pAttached);
    }
    return nCode;
}

bool CxWab::BeginStoreBatch()
{
    const LibraryLog libraryLog;
    DropWrittenNotes();
    m_bNoting = true;
    if (m_lpAdrBook == nullptr)
        return true;
    const HRESULT hr = WabBeginSaveBatch(m_lpAdrBook);
    return HR_SUCCEEDED(hr) || hr == MAPI_E_NO_SUPPORT;
}

bool CxWab::EndStoreBatch()
{
    const LibraryLog libraryLog;
    if (m_lpAdrBook == nullptr)
        return true;
    const HRESULT hr = WabEndSaveBatch(m_lpAdrBook);
    const bool bCommitted = HR_SUCCEEDED(hr) || hr == MAPI_E_NO_SUPPORT;
    if (!bCommitted)
        m_bWriteFailed = true;
    return bCommitted;
}

void CxWab::NoteWritten(WabRecord* pRecord, IMailUser* lpMailUser)
{
    if (!m_bNoting)
        return;
    if (pRecord == nullptr || lpMailUser == nullptr) {
        m_bWriteFailed = true;
        return;
    }
    try {
        m_Written.emplace_back(pRecord, lpMailUser);
    } catch (const std::bad_alloc&) {
        m_bWriteFailed = true;
        return;
    }
    lpMailUser->AddRef();
}

void CxWab::DropWrittenNotes()
{
    for (const auto& [pRecord, lpMailUser] : m_Written)
        lpMailUser->Release();
    m_Written.clear();
    m_bNoting = false;
    m_bWriteFailed = false;
}

bool CxWab::RefreshEntry(WabRecord* pRecord, IMailUser* lpMailUser)
{
    ULONG cValues = 0;
    LPSPropValue lpProps = nullptr;
    if (HR_FAILED(lpMailUser->GetProps(nullptr, 0, &cValues, &lpProps)) || lpProps == nullptr)
        return false;
    // As ReadEntry fills a record: the properties, then the identifier and
    // the object, and the folder's stamp as AddEntry puts it.
    const ULONG cbEntryID = pRecord->cbEntryID;
    const LPENTRYID lpEntryID = pRecord->lpEntryID;
    IMailUser* const lpOwned = pRecord->lpMailUser;
    m_lpPropArray = lpProps;
    m_cValues = cValues;
    LoadProperties(pRecord);
    m_lpPropArray = nullptr;
    m_cValues = 0;
    pRecord->cbEntryID = cbEntryID;
    pRecord->lpEntryID = lpEntryID;
    pRecord->lpMailUser = lpOwned;
    CopyTextField(pRecord->szFolderName, sizeof pRecord->szFolderName, m_pRootFolder->GetName());
    bool bOk = true;
    if (pRecord->lpEntryID == nullptr) {
        // A new entry: its identifier is known once it was saved.
        const SPropValue* pId = nullptr;
        for (ULONG i = 0; i < cValues && pId == nullptr; ++i)
            pId = lpProps[i].ulPropTag == PR_ENTRYID ? &lpProps[i] : nullptr;
        bOk = pId != nullptr && pId->Value.bin.cb != 0 && pId->Value.bin.lpb != nullptr;
        if (bOk) {
            pRecord->lpEntryID = static_cast<LPENTRYID>(std::calloc(pId->Value.bin.cb, 1));
            bOk = pRecord->lpEntryID != nullptr;
            if (bOk) {
                std::memcpy(pRecord->lpEntryID, pId->Value.bin.lpb, pId->Value.bin.cb);
                pRecord->cbEntryID = pId->Value.bin.cb;
            }
        }
    }
    FreeBuffer(lpProps);
    return bOk;
}

bool CxWab::ApplyWrittenEntries()
{
    const LibraryLog libraryLog;
    bool bOk = m_bNoting && !m_bWriteFailed && m_pRootFolder != nullptr && m_pAddrMgr != nullptr &&
               static_cast<int32_t>(m_pRootFolder->GetCount()) == m_pAddrMgr->GetCount();
    if (bOk && !m_Written.empty()) {
        try {
            // An entry written twice answers with its last object.
            std::unordered_map<WabRecord*, IMailUser*> written;
            written.reserve(m_Written.size());
            for (const auto& [pRecord, lpMailUser] : m_Written)
                written[pRecord] = lpMailUser;
            int32_t nPos = 0;
            size_t nFound = 0;
            for (WabRecord* pRecord = m_pRootFolder->GetFirstRecord(); pRecord != nullptr && bOk;
                 pRecord = m_pRootFolder->GetNextRecord(), ++nPos) {
                const auto it = written.find(pRecord);
                if (it == written.end())
                    continue;
                ++nFound;
                bOk = RefreshEntry(pRecord, it->second);
                // The set reads the entry as it now stands, also when it
                // could be brought up to date only in part.
                m_pAddrMgr->RecordChangedAt(nPos);
            }
            bOk = bOk && nFound == written.size();
        } catch (const std::bad_alloc&) {
            bOk = false;
        }
    }
    DropWrittenNotes();
    return bOk;
}

bool CxWab::StoreContact(const CommAddrRecord* pRecord)
{
    const LibraryLog libraryLog;
    if (pRecord == nullptr)
        return false;
    WabRecord* pMatch = nullptr;
    switch (MatchContact(pRecord, &pMatch)) {
    case CLASSIFY_NEW:
        return AddContact(pRecord);
    case CLASSIFY_MODIFIED:
        return UpdateContact(pRecord, pMatch);
    default:
        return false;
    }
}

bool CxWab::AddContact(const CommAddrRecord* pRecord)
{
    const LibraryLog libraryLog;
    if (pRecord == nullptr || m_pRootFolder == nullptr || m_lpWABObject == nullptr)
        return false;
    CxWabFolder* pFolder = m_pRootFolder;
    WabRecord* pAdded = nullptr;
    try {
        pAdded = pFolder->NewRecord();  // zero-filled
    } catch (const std::bad_alloc&) {
        return false;
    }
    ConvertFromComm(pRecord, pAdded);

    ULONG cbTemplate = 0;
    LPENTRYID lpTemplate = nullptr;
    if (!GetTemplateID(&cbTemplate, &lpTemplate, pFolder)) {
        pFolder->DiscardRecord(pAdded);
        return false;
    }
    const HRESULT hr =
        pFolder->GetContainer()->CreateEntry(cbTemplate, lpTemplate, CREATE_CHECK_DUP_LOOSE, &m_lpMailUser);
    m_lpWABObject->FreeBuffer(lpTemplate);
    if (HR_FAILED(hr) || m_lpMailUser == nullptr) {
        m_lpMailUser = nullptr;
        pFolder->DiscardRecord(pAdded);
        return false;
    }

    // The folder's record owns the new entry's reference from here on.
    if (!pFolder->AddEntry(pAdded)) {
        m_lpMailUser->Release();
        m_lpMailUser = nullptr;
        pFolder->DiscardRecord(pAdded);
        m_bWriteFailed = true;
        return false;
    }
    pAdded->lpMailUser = m_lpMailUser;
    const bool bSaved = WriteProperties(pAdded, m_lpMailUser);
    if (bSaved)
        NoteWritten(pAdded, m_lpMailUser);
    else
        m_bWriteFailed = true;
    m_lpMailUser = nullptr;
    return bSaved;
}

bool CxWab::UpdateContact(const CommAddrRecord* pRecord, WabRecord* pMatch)
{
    const LibraryLog libraryLog;
    if (pRecord == nullptr || pMatch == nullptr || pMatch->lpEntryID == nullptr || pMatch->cbEntryID == 0 ||
        m_lpAdrBook == nullptr) {
        return false;
    }
    ULONG ulObjType = 0;
    IMAPIUnknown* lpUnknown = nullptr;
    const HRESULT hr =
        m_lpAdrBook->OpenEntry(pMatch->cbEntryID, pMatch->lpEntryID, nullptr, MAPI_MODIFY, &ulObjType, &lpUnknown);
    if (HR_FAILED(hr) || lpUnknown == nullptr)
        return false;
    if (ulObjType != static_cast<ULONG>(MAPI_MAILUSER)) {
        lpUnknown->Release();
        return false;
    }
    m_lpMailUser = static_cast<IMailUser*>(lpUnknown);

    // The Palm side has one fax label: an entry's only fax, its home fax,
    // comes back from there as the work fax. It stays the entry's home fax
    // rather than becoming a second fax.
    const CommAddrRecord* pWritten = pRecord;
    std::unique_ptr<CommAddrRecord> pMoved;
    if (pMatch->PR_PRIMARY_FAX_NUMBER[0] == '\0' && pRecord->szHomeFax[0] == '\0' && pRecord->szWorkFax[0] != '\0' &&
        CommAddrMgr::TextDiffers(pRecord->szWorkFax, pMatch->PR_HOME_FAX_NUMBER) == 0) {
        pMoved.reset(new (std::nothrow) CommAddrRecord(*pRecord));
        if (pMoved != nullptr) {
            CopyTextField(pMoved->szHomeFax, pMoved->szWorkFax);
            pMoved->szWorkFax[0] = '\0';
            pWritten = pMoved.get();
        }
    }
    // The entry is written from a copy of its record: the folder's record
    // (a row of the list) keeps the values the book was loaded with.
    auto pUpdated = std::make_unique<WabRecord>(*pMatch);
    ConvertFromComm(pWritten, pUpdated.get());
    const bool bSaved = WriteProperties(pUpdated.get(), m_lpMailUser);
    if (bSaved)
        NoteWritten(pMatch, m_lpMailUser);
    else
        m_bWriteFailed = true;
    // The entry was opened for this write only.
    m_lpMailUser->Release();
    m_lpMailUser = nullptr;
    return bSaved;
}

bool CxWab::WriteProperties(WabRecord* pRecord, IMailUser* lpMailUser)
{
    const LibraryLog libraryLog;
    if (lpMailUser == nullptr)
        lpMailUser = m_lpMailUser;
    if (pRecord == nullptr || lpMailUser == nullptr)
        return false;

    SPropValue props[kMaxWrittenProps];
    std::memset(props, 0, sizeof props);
    ULONG cValues = 0;
    for (const wabtext::WabTextField& entry : kTextFields) {
        char* pszText = wabtext::FieldAt(pRecord, entry.field);
        if (pszText[0] != '\0') {
            props[cValues].ulPropTag = entry.ulTag;
            props[cValues].Value.lpszA = pszText;
            ++cValues;
        }
    }
    if (IsFileTimeSet(pRecord->PR_BIRTHDAY)) {
        props[cValues].ulPropTag = PR_BIRTHDAY;
        props[cValues].Value.ft = pRecord->PR_BIRTHDAY;
        ++cValues;
    }
    if (IsFileTimeSet(pRecord->PR_WEDDING_ANNIVERSARY)) {
        props[cValues].ulPropTag = PR_WEDDING_ANNIVERSARY;
        props[cValues].Value.ft = pRecord->PR_WEDDING_ANNIVERSARY;
        ++cValues;
    }
    if (pRecord->PR_GENDER != 0) {
        props[cValues].ulPropTag = PR_GENDER;
        props[cValues].Value.i = pRecord->PR_GENDER;
        ++cValues;
    }

    const HRESULT hrSet = lpMailUser->SetProps(cValues, props, nullptr);
    const HRESULT hrSave = lpMailUser->SaveChanges(0);
    return HR_SUCCEEDED(hrSet) && HR_SUCCEEDED(hrSave);
}

bool CxWab::GetTemplateID(ULONG* pcbEntryID, LPENTRYID* ppEntryID, CxWabFolder* pFolder)
{
    const LibraryLog libraryLog;
    if (pFolder == nullptr)
        pFolder = m_pRootFolder;
    if (pcbEntryID == nullptr || ppEntryID == nullptr || pFolder == nullptr || pFolder->GetContainer() == nullptr ||
        m_lpWABObject == nullptr) {
        return false;
    }

    SizedSPropTagArray<2> tags = {2, {PR_DEF_CREATE_MAILUSER, PR_DEF_CREATE_DL}};
    ULONG cValues = 0;
    LPSPropValue lpProps = nullptr;
    const HRESULT hr = pFolder->GetContainer()->GetProps(tags.Get(), 0, &cValues, &lpProps);
    bool bOk = HR_SUCCEEDED(hr) && lpProps != nullptr && cValues >= 2 &&
               lpProps[0].ulPropTag == PR_DEF_CREATE_MAILUSER && lpProps[1].ulPropTag == PR_DEF_CREATE_DL;
    if (bOk) {
        const SBinary& templateId = lpProps[0].Value.bin;
        LPVOID lpCopy = nullptr;
        bOk = HR_SUCCEEDED(m_lpWABObject->AllocateBuffer(templateId.cb, &lpCopy)) && lpCopy != nullptr;
        if (bOk) {
            if (templateId.cb != 0 && templateId.lpb != nullptr)
                std::memcpy(lpCopy, templateId.lpb, templateId.cb);
            *pcbEntryID = templateId.cb;
            *ppEntryID = static_cast<LPENTRYID>(lpCopy);
        }
    }
    if (lpProps != nullptr)
        m_lpWABObject->FreeBuffer(lpProps);
    return bOk;
}

bool CxWab::StillHolds(const KeptAnswers& kept, const CommAddrMgr* pSet) const
{
    return pSet != nullptr && m_pAddrMgr != nullptr && pSet == kept.pSet && pSet->Version() == kept.nSetVersion &&
           m_pAddrMgr->Version() == kept.nBookVersion;
}

void CxWab::Stamp(KeptAnswers& kept, const CommAddrMgr* pSet) const
{
    kept.pSet = pSet;
    kept.nSetVersion = pSet->Version();
    kept.nBookVersion = m_pAddrMgr->Version();
}

bool CxWab::ClassifySet(CommAddrMgr* pOtherSet)
{
    if (pOtherSet == nullptr || m_pAddrMgr == nullptr)
        return false;
    // The whole other side at once, so each entry answers for one contact.
    KeptAnswers kept;
    try {
        kept.records.reserve(static_cast<size_t>(pOtherSet->GetCount()));
        for (CommAddrRecord* pRecord = pOtherSet->GetFirstRecord(); pRecord != nullptr;
             pRecord = pOtherSet->GetNextRecord())
            kept.records.push_back(pRecord);
        kept.answers.resize(kept.records.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int32_t nCount = static_cast<int32_t>(kept.records.size());
    if (!ClassifyRecords(kept.records.data(), nCount, kept.answers.data(), pOtherSet)) {
        m_SetAnswers = KeptAnswers{};
        return false;
    }
    for (int32_t i = 0; i < nCount; ++i) {
        // The records are the other set's own, handed out writable above.
        const_cast<CommAddrRecord*>(kept.records[static_cast<size_t>(i)])->nStatus =
            ClassifyToState(kept.answers[static_cast<size_t>(i)].nResult);
    }
    // Writing the states changed no field that matching reads.
    Stamp(kept, pOtherSet);
    m_SetAnswers = std::move(kept);
    return true;
}

bool CxWab::ClassifyRecords(const CommAddrRecord* const* ppRecords, int32_t nCount, ClassifyMatch* pAnswers,
                            const CommAddrMgr* pOwner)
{
    if (m_pAddrMgr == nullptr)
        return false;
    FollowMapping();
    const KeptAnswers& kept = m_SetAnswers;
    if (pAnswers != nullptr && nCount >= 0 && StillHolds(kept, pOwner) &&
        static_cast<size_t>(nCount) == kept.records.size() &&
        (nCount == 0 || std::equal(ppRecords, ppRecords + nCount, kept.records.begin()))) {
        std::copy(kept.answers.begin(), kept.answers.end(), pAnswers);
        return true;
    }
    return m_pAddrMgr->ClassifySide(ppRecords, nCount, pAnswers);
}

bool CxWab::ClassifyEntries(CommAddrMgr* pOtherSet)
{
    if (pOtherSet == nullptr)
        return false;
    if (m_pRootFolder == nullptr || m_pAddrMgr == nullptr)
        return true;
    FollowMapping();
    // The folder hands its entries over one at a time, converted as the
    // neutral set reads them: the book is never converted whole. Unless
    // neither side changed since the last time.
    KeptAnswers& kept = m_EntryAnswers;
    if (!StillHolds(kept, pOtherSet) || kept.answers.size() != m_pRootFolder->GetCount()) {
        kept = KeptAnswers{};
        try {
            kept.answers.resize(m_pRootFolder->GetCount());
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (!pOtherSet->ClassifySide(*m_pRootFolder, kept.answers.data())) {
            kept = KeptAnswers{};
            return false;
        }
        Stamp(kept, pOtherSet);
    }
    for (uint32_t nPos = 0; nPos < kept.answers.size(); ++nPos)
        m_pRootFolder->GetRecordAt(nPos)->nState = ClassifyToState(kept.answers[nPos].nResult);
    return true;
}
