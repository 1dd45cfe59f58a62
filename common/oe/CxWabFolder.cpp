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
    try {
        m_Positions.push_back(pRecord);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!m_pRecords->AddTail(pRecord)) {
        m_Positions.pop_back();
        return false;
    }
    CopyTextField(pRecord->szFolderName, kFolderNameCut + 1, m_szName);
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
    m_Positions.clear();
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

WabRecord* CxWabFolder::GetRecordAt(uint32_t nPos) const
{
    return nPos < m_Positions.size() ? m_Positions[nPos] : nullptr;
}

int32_t CxWabFolder::GetRecordCount() const
{
    return static_cast<int32_t>(m_Positions.size());
}

// The set converts an entry through this each time it reads it, so the
// conversion is always that of the entry as it stands now.
bool CxWabFolder::FillRecord(int32_t nPos, CommAddrRecord* pRecord) const
{
    return FillFieldsOf(nPos, pRecord, nullptr);
}

bool CxWabFolder::FillFields(int32_t nPos, CommAddrRecord* pRecord, const CommFieldMask& fields) const
{
    return FillFieldsOf(nPos, pRecord, &fields);
}

bool CxWabFolder::FillFieldsOf(int32_t nPos, CommAddrRecord* pRecord, const CommFieldMask* pFields) const
{
    WabRecord* pEntry = nPos >= 0 ? GetRecordAt(static_cast<uint32_t>(nPos)) : nullptr;
    if (pEntry == nullptr || pRecord == nullptr)
        return false;
    CxWab::ConvertFieldsToComm(pEntry, pRecord, pFields);
    pRecord->pAttached = pEntry;
    pRecord->nAttachedLen = sizeof(WabRecord);
    pRecord->nSourceType = CST_WAB;
    return true;
}
