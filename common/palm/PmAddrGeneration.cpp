// PmAddrGeneration: see PmAddrGeneration.h. The three generations the
// facade knows, and the table that lists them.
#include "common/palm/PmAddrGeneration.h"

#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmAddrDataMgr.h"
#include "common/palm/PmAddrEx2DataMgr.h"
#include "common/palm/PmAddrEx2Record.h"
#include "common/palm/PmAddrEx2Util.h"
#include "common/palm/PmAddrExDataMgr.h"
#include "common/palm/PmAddrExRecord.h"
#include "common/palm/PmAddrExUtil.h"
#include "common/palm/PmAddrInfo.h"
#include "common/palm/PmAddrRecord.h"
#include "common/palm/PmAddrUtil.h"
#include "common/palm/PmMDBAccessor.h"
#include "platform/fsutil/FsUtil.h"

namespace {

// Where a record added by the facade goes in Palm Desktop's own order: last.
constexpr int32_t kPlacedLast = 0x7FFFFFFF;

// What the two address.dat generations share: a PmDBUtil reader of Util,
// whose m_pDataMgr lists records of type Record, written whole by Save.
template <class Util, class Record>
class DatGeneration : public PmAddrGeneration {
public:
    DatGeneration(const Facts& facts, Util* pUtil) : PmAddrGeneration(facts), m_pUtil(pUtil) { }

    void* NewRecord() const override { return new (std::nothrow) Record(); }
    void DeleteRecord(void* pRecord) const override { delete static_cast<Record*>(pRecord); }
    void CopyRecord(void* pDest, const void* pSrc) const override
    {
        *static_cast<Record*>(pDest) = *static_cast<const Record*>(pSrc);
    }

    void SetSwapName(bool bSwap) override { m_pUtil->SwapName = bSwap; }
    bool Load(const char* pszPath) override { return m_pUtil->LoadFile(pszPath); }
    FailReason GetLoadFailure() const override { return m_pUtil->GetLastFailure(); }
    void* First() override { return m_pUtil->m_pDataMgr->First(); }
    void* Next() override { return m_pUtil->m_pDataMgr->Next(); }
    void ClearList() override
    {
        if (m_pUtil->m_pDataMgr != nullptr)
            m_pUtil->m_pDataMgr->Clear();
    }
    bool GetCategoryId(const char* pszName, int32_t* pnId) override
    {
        return m_pUtil->GetCategoryId(pszName, *pnId, true);
    }
    bool WriteBack(const void*) override { return true; }  // Save writes the whole file
    void ReadBack(void* pReaderRecord) override
    {
        // A load reads the id and takes the name from the category list.
        auto* pRecord = static_cast<Record*>(pReaderRecord);
        std::memset(pRecord->szCategoryName, 0, sizeof pRecord->szCategoryName);
        m_pUtil->GetCategoryName(pRecord->nCategoryId, pRecord->szCategoryName);
    }
    void BeginWriteBatch() override { }  // the whole file is one write anyway
    FailReason GetWriteFailure() const override { return FailReason(); }

protected:
    // Appends the record to the reader's list: the reader's copy, or null.
    Record* AppendToList(const Record* pRecord)
    {
        auto* pMgr = m_pUtil->m_pDataMgr;
        if (!pMgr->Append(pRecord))
            return nullptr;
        return pMgr->GetAt(pMgr->Count() - 1);
    }
    // Sets *pFailure by the outcome of the reader's save.
    bool Saved(bool bOk, FailReason* pFailure) const
    {
        *pFailure = bOk ? FailReason() : m_pUtil->GetLastFailure();
        return bOk;
    }

    Util* m_pUtil;
};

class ClassicGeneration final : public DatGeneration<PmAddrUtil, PmAddrRecord> {
public:
    using DatGeneration::DatGeneration;

    void* Append(void* pRecord) override
    {
        auto* pRec = static_cast<PmAddrRecord*>(pRecord);
        pRec->nPosition = kPlacedLast;
        return AppendToList(pRec);
    }
    void CompleteRecord(void*) override { }
    bool Save(FailReason* pFailure) override
    {
        // SaveFile sets the reader's file name while it runs: pass a copy.
        const std::string strPath = m_pUtil->m_szFileName;
        return Saved(m_pUtil->SaveFile(strPath.c_str()), pFailure);
    }
};

class ExtendedGeneration final : public DatGeneration<PmAddrExUtil, PmAddrExRecord> {
public:
    using DatGeneration::DatGeneration;

    void* Append(void* pRecord) override
    {
        auto* pRec = static_cast<PmAddrExRecord*>(pRecord);
        const int32_t nCount = m_pUtil->m_pDataMgr->Count();
        pRec->nSequence = nCount + 4096;
        pRec->nField3 = nCount * 73;
        pRec->nPlacement = kPlacedLast;
        return AppendToList(pRec);
    }
    // The three addresses are work, home and other.
    void CompleteRecord(void* pRecord) override
    {
        auto* pRec = static_cast<PmAddrExRecord*>(pRecord);
        for (int i = 0; i < kPmAddrExAddressCount; ++i)
            pRec->addresses[i].nKind = i;
    }
    bool Save(FailReason* pFailure) override { return Saved(m_pUtil->Save(), pFailure); }
};

class Desktop6Generation final : public PmAddrGeneration {
public:
    Desktop6Generation(const Facts& facts, PmAddrEx2Util* pUtil, FileHold* pHold)
        : PmAddrGeneration(facts), m_pUtil(pUtil), m_pHold(pHold)
    {
    }

    void* NewRecord() const override { return new (std::nothrow) PmAddrEx2Record(); }
    void DeleteRecord(void* pRecord) const override
    {
        auto* pRec = static_cast<PmAddrEx2Record*>(pRecord);
        PmAddrEx2DataMgr::FreeRecord(pRec);
        delete pRec;
    }
    void CopyRecord(void* pDest, const void* pSrc) const override
    {
        PmAddrEx2DataMgr::CopyRecord(static_cast<PmAddrEx2Record*>(pDest), static_cast<const PmAddrEx2Record*>(pSrc));
    }

    void SetSwapName(bool bSwap) override { m_pUtil->SetSwapName(bSwap); }
    // The database is held from its load for as long as it stays loaded: its
    // changes are written as they are made.
    bool Load(const char* pszPath) override
    {
        const std::string path = ResolvePathCase(pszPath);
        m_HoldFailure = CheckInputPath(path);
        if (!m_HoldFailure.IsSet() && !m_pHold->Acquire(path, &m_HoldFailure))
            g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not load Palm Desktop Contacts: %s (%s)", pszPath,
                            FailReasonText(m_HoldFailure).c_str());
        return !m_HoldFailure.IsSet() && m_pUtil->LoadFile(pszPath);
    }
    FailReason GetLoadFailure() const override
    {
        return m_HoldFailure.IsSet() ? m_HoldFailure : m_pUtil->GetLastFailure();
    }
    void* First() override { return m_pUtil->GetDataMgr()->First(); }
    void* Next() override { return m_pUtil->GetDataMgr()->Next(); }
    void ClearList() override
    {
        if (m_pUtil->GetDataMgr() != nullptr)
            m_pUtil->GetDataMgr()->Clear();
    }
    void* Append(void* pRecord) override
    {
        auto* pRec = static_cast<PmAddrEx2Record*>(pRecord);
        pRec->Placement = kPlacedLast;
        // A record id of its own, so the row can never be confused with
        // another contact's; the row is written at once.
        if (!m_pUtil->InsertNewRecord(pRec))
            return nullptr;
        PmAddrEx2DataMgr* pMgr = m_pUtil->GetDataMgr();
        if (!pMgr->Append(pRec))
            return nullptr;
        return pMgr->GetAt(pMgr->Count() - 1);
    }
    bool GetCategoryId(const char* pszName, int32_t* pnId) override
    {
        return m_pUtil->GetCategoryId(pszName, pnId, true);
    }
    // The label texts and the category name follow from the phone slots and
    // the category id (so the name becomes the one of the category chosen).
    void CompleteRecord(void* pRecord) override { m_pUtil->FillDerivedFields(static_cast<PmAddrEx2Record*>(pRecord)); }
    bool WriteBack(const void* pReaderRecord) override
    {
        return m_pUtil->RewriteRecord(static_cast<const PmAddrEx2Record*>(pReaderRecord));
    }
    // CompleteRecord has derived the texts a load derives already.
    void ReadBack(void*) override { }
    void BeginWriteBatch() override { m_pUtil->BeginWriteBatch(); }
    bool Save(FailReason*) override { return m_pUtil->SaveFile(); }
    FailReason GetWriteFailure() const override
    {
        const PmMDBAccessor* pAccessor = m_pUtil->GetAccessor();
        return pAccessor != nullptr ? pAccessor->GetLastFailure() : FailReason();
    }

private:
    PmAddrEx2Util* m_pUtil;
    FileHold* m_pHold;         // the facade's, held while the database is loaded
    FailReason m_HoldFailure;  // why the last Load could not have the file
};

static_assert(sizeof(PmAddrEx2Record::phone[0]) * PmAddrEx2Record::kPhoneCount == sizeof(PmAddrEx2Record::phone));

constexpr PmAddrGeneration::Row kGenerations[] = {
    {{kGenClassic,
      30500,
      "address/address.dat",
      ".dat",
      true,
      offsetof(PmAddrRecord, nStatus),
      {kPmAddrPhoneCount, offsetof(PmAddrRecord, szPhone), kPmAddrPhoneWidth, offsetof(PmAddrRecord, nPhoneLabel)}},
     [](const PmAddrGeneration::Facts& facts, PmAddrInfo& info, FileHold*) -> PmAddrGeneration* {
         return new ClassicGeneration(facts, info.GetAddrUtil());
     }},
    {{kGenExtended,
      40102,
      "address/address.dat",
      ".dat",
      true,
      offsetof(PmAddrExRecord, nStatus),
      {kPmAddrExPhoneCount, offsetof(PmAddrExRecord, szPhone), kPmAddrExPhoneWidth,
       offsetof(PmAddrExRecord, nPhoneLabel)}},
     [](const PmAddrGeneration::Facts& facts, PmAddrInfo& info, FileHold*) -> PmAddrGeneration* {
         return new ExtendedGeneration(facts, info.GetAddrExUtil());
     }},
    {{kGenDesktop6,
      60000,
      "address/address.mdb",
      ".mdb",
      false,
      offsetof(PmAddrEx2Record, Status),
      {PmAddrEx2Record::kPhoneCount, offsetof(PmAddrEx2Record, phone), sizeof(PmAddrEx2Record::phone[0]),
       offsetof(PmAddrEx2Record, phoneLabel)}},
     [](const PmAddrGeneration::Facts& facts, PmAddrInfo& info, FileHold* pHold) -> PmAddrGeneration* {
         return new Desktop6Generation(facts, info.GetAddrEx2Util(), pHold);
     }},
};

// The codes are consecutive from 1 in table order: the facade's field
// mapping has one column per generation in this order.
constexpr bool CodesInTableOrder()
{
    for (size_t i = 0; i < std::size(kGenerations); ++i)
        if (kGenerations[i].facts.eGeneration != static_cast<PalmGeneration>(i + 1))
            return false;
    return true;
}
static_assert(CodesInTableOrder());

}  // namespace

std::span<const PmAddrGeneration::Row> PmAddrGeneration::All()
{
    return kGenerations;
}
