#include "common/oe/CxWabFolder.h"

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"

namespace {

// szFolderName takes the folder's name cut to 30 characters.
constexpr size_t kFolderNameCut = 30;

}  // namespace

CxWabFolder::CxWabFolder(CxWab* pWab, IABContainer* pContainer)
    : m_pWab(pWab), m_pRecords(new CxList()), m_pContainer(pContainer), m_szName{}
{
    assert(pWab != NULL);
    assert(pContainer != NULL);
}

CxWabFolder::~CxWabFolder()
{
    ClearFolder();
    if (m_pContainer != nullptr)
        m_pContainer->Release();
    delete m_pRecords;
}

WabRecord* CxWabFolder::NewRecord()
{
    static_assert(alignof(WabRecord) <= alignof(std::max_align_t));
    if (m_pMemory == nullptr)
        m_pMemory = std::make_unique<RecordArena>(sizeof(WabRecord));
    void* pSlot = m_pMemory->TakeZeroed();
    if (pSlot == nullptr)
        throw std::bad_alloc();
    // Zero bytes are a valid WabRecord: nothing else to construct.
    return static_cast<WabRecord*>(pSlot);
}

void CxWabFolder::DiscardRecord(WabRecord* pRecord)
{
    if (m_pMemory != nullptr)
        m_pMemory->GiveBack(pRecord);
}

bool CxWabFolder::AddEntry(WabRecord* pRecord)
{
    if (pRecord == nullptr)
        return false;
    CopyTextField(pRecord->szFolderName, kFolderNameCut + 1, m_szName);
    m_pRecords->AddTail(pRecord);

    // The set keeps a neutral copy whose attached block is this folder's
    // record itself: it lives as long as the set's copies (both go with the
    // book), so a duplicate of it would only take memory.
    CommAddrRecord comm;
    ZeroCommRecord(&comm);
    CxWab::ConvertToComm(pRecord, &comm);
    comm.pAttached = pRecord;
    comm.nAttachedLen = sizeof(WabRecord);
    comm.nSourceType = CST_WAB;
    if (m_pWab != nullptr && m_pWab->GetNeutralSet() != nullptr)
        m_pWab->GetNeutralSet()->AddCopySharingBlock(&comm);
    return true;
}

void CxWabFolder::ClearFolder()
{
    for (void* pData = m_pRecords->GetFirst(); pData != nullptr; pData = m_pRecords->GetNext()) {
        auto* pRecord = static_cast<WabRecord*>(pData);
        std::free(pRecord->lpEntryID);
        if (pRecord->lpMailUser != nullptr)
            pRecord->lpMailUser->Release();
    }
    m_pRecords->RemoveAll(false);
    // The blocks go too: a book is closed whole, and a folder read again
    // fills fresh memory as the first read did.
    m_pMemory.reset();
}

WabRecord* CxWabFolder::GetFirstRecord()
{
    return static_cast<WabRecord*>(m_pRecords->GetFirst());
}

WabRecord* CxWabFolder::GetNextRecord()
{
    return static_cast<WabRecord*>(m_pRecords->GetNext());
}

uint32_t CxWabFolder::GetCount() const
{
    return m_pRecords->GetCount();
}
