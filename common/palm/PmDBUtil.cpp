#include "common/palm/PmDBUtil.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "common/misc/CxDebugUtil.h"
#include "platform/fsutil/FsUtil.h"

namespace {

// Bytes gathered in memory before they are handed to the temporary file.
constexpr size_t kOutChunk = 1 << 20;

// Longest text the counted form can carry (its long length is 16 bits).
constexpr size_t kMaxCStringLength = 0xFFFF;

// Marker of the long counted-text form.
constexpr BYTE kLongTextMarker = 0xFF;

// The smallest encoded category entry: three int32 and two empty texts.
constexpr size_t kMinCategoryEntryBytes = 3 * 4 + 2;

std::atomic<long long> g_failWritesAfter{-1};

}  // namespace

PmDBUtil::PmDBUtil()
    : m_szFileName{}, m_nMode(-1), m_bReading(false), m_bWriting(false), m_bToMemory(false), m_bWriteFailed(false),
      m_bLoaded(false), m_bLoadFailed(false), m_nPos(0), m_nWritten(0)
{
}

PmDBUtil::~PmDBUtil()
{
    Close();
}

// ---- The file -------------------------------------------------------------

bool PmDBUtil::Open(const char* pszPath, int nMode)
{
    Close();
    m_LastFailure.Clear();
    if (pszPath == nullptr || *pszPath == '\0' || nMode < kModeRead || nMode > kModeCreate) {
        m_LastFailure = FailReason::Of(FailKind::Missing);
        return false;
    }

    // Data copied from Windows comes in any letter case.
    const std::string path = ResolvePathCase(pszPath);
    const FailReason input = CheckInputPath(path, static_cast<size_t>(kFileNameSize));
    const bool bExists = !input.IsSet();
    if (!bExists && (nMode != kModeCreate || input.eKind != FailKind::Missing)) {
        m_LastFailure = input;
        return false;
    }

    // The replacement is renamed over the file, which a folder permission
    // alone would allow: a file the user cannot write stays unwritten.
    const bool bWrite = nMode != kModeRead;
    if (bWrite && bExists && !MayReplaceFile(path, &m_LastFailure))
        return false;

    // Held from the load to the save, and beyond until the next load: no
    // second program loads and saves the file in between.
    if (bExists && !Hold()->Acquire(path, &m_LastFailure))
        return false;

    const bool bRead = nMode != kModeWrite;
    m_inBuf.clear();
    if (bRead && nMode != kModeCreate && !ReadRegularFile(path, &m_inBuf, &m_LastFailure)) {
        m_inBuf.clear();
        return false;
    }
    std::unique_ptr<AtomicFile> pOut;
    if (bWrite) {
        pOut = std::make_unique<AtomicFile>();
        if (!pOut->Open(path.c_str())) {
            m_LastFailure = pOut->GetFailure();
            m_inBuf.clear();
            return false;
        }
    }

    m_pOut = std::move(pOut);
    m_nMode = nMode;
    m_bReading = bRead;
    m_bWriting = bWrite;
    m_bToMemory = false;
    m_bWriteFailed = false;
    m_nPos = 0;
    m_outBuf.clear();
    m_nWritten = 0;
    std::memset(m_szFileName, 0, sizeof(m_szFileName));
    std::memcpy(m_szFileName, path.data(), path.size());
    return true;
}

bool PmDBUtil::OpenBuffer(const void* pData, size_t nSize)
{
    Close();
    if (pData == nullptr && nSize != 0)
        return false;
    const auto* pBytes = static_cast<const BYTE*>(pData);
    m_inBuf.assign(pBytes, pBytes + nSize);
    m_nPos = 0;
    m_nMode = kModeRead;
    m_bReading = true;
    m_bWriting = false;
    m_bToMemory = false;
    m_outBuf.clear();
    return true;
}

bool PmDBUtil::OpenMemory()
{
    Close();
    m_outBuf.clear();
    m_nWritten = 0;
    m_bWriteFailed = false;
    m_nMode = kModeWrite;
    m_bReading = false;
    m_bWriting = true;
    m_bToMemory = true;
    return true;
}

bool PmDBUtil::FlushOut()
{
    if (m_bToMemory || m_outBuf.empty())
        return !m_bWriteFailed;
    if (!m_pOut || !m_pOut->Write(m_outBuf.data(), m_outBuf.size())) {
        m_bWriteFailed = true;
        if (m_pOut)
            m_LastFailure = m_pOut->GetFailure();
    }
    m_outBuf.clear();
    return !m_bWriteFailed;
}

bool PmDBUtil::Commit()
{
    if (!m_bWriting || m_bWriteFailed)
        return false;
    if (m_bToMemory)
        return true;
    bool bOk = FlushOut() && m_pOut && m_pOut->Commit(Hold());
    if (!bOk) {
        if (m_pOut && m_pOut->GetFailure().IsSet())
            m_LastFailure = m_pOut->GetFailure();
        if (!m_LastFailure.IsSet())
            m_LastFailure = FailReason::Of(FailKind::WriteFailed);
        m_bWriteFailed = true;
    }
    m_bWriting = false;  // the replacement is installed (or gone); nothing more to write
    return bOk;
}

void PmDBUtil::Close()
{
    if (m_pOut) {
        m_pOut->Abort();
        m_pOut.reset();
    }
    if (!m_bToMemory)
        std::vector<BYTE>().swap(m_outBuf);
    std::vector<BYTE>().swap(m_inBuf);
    m_nPos = 0;
    m_nMode = -1;
    m_bReading = false;
    m_bWriting = false;
}

// ---- Reading primitives ----------------------------------------------------

size_t PmDBUtil::GetRemaining() const
{
    return m_bReading ? m_inBuf.size() - m_nPos : 0;
}

bool PmDBUtil::CanHold(uint64_t nItems, size_t nMinBytesEach) const
{
    if (nMinBytesEach == 0)
        return true;
    return nItems <= GetRemaining() / nMinBytesEach;
}

bool PmDBUtil::ReadBytes(void* pBuf, size_t n)
{
    if (pBuf == nullptr || n == 0 || n > GetRemaining())
        return false;
    std::memcpy(pBuf, m_inBuf.data() + m_nPos, n);
    m_nPos += n;
    return true;
}

bool PmDBUtil::SkipBytes(size_t n)
{
    if (n > GetRemaining())
        return false;
    m_nPos += n;
    return true;
}

bool PmDBUtil::ReadUInt32(uint32_t& nValue)
{
    BYTE b[4];
    if (!ReadBytes(b, sizeof(b)))
        return false;
    nValue = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
             (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool PmDBUtil::ReadInt32(int32_t& nValue)
{
    uint32_t nRaw = 0;
    if (!ReadUInt32(nRaw))
        return false;
    nValue = static_cast<int32_t>(nRaw);
    return true;
}

bool PmDBUtil::ReadInt16(WORD& wValue)
{
    BYTE b[2];
    if (!ReadBytes(b, sizeof(b)))
        return false;
    wValue = static_cast<WORD>(b[0] | (b[1] << 8));
    return true;
}

bool PmDBUtil::ReadByte(BYTE& byValue)
{
    return ReadBytes(&byValue, 1);
}

bool PmDBUtil::ReadQuad(uint64_t& qValue)
{
    BYTE b[8];
    if (!ReadBytes(b, sizeof(b)))
        return false;
    qValue = 0;
    for (int i = 7; i >= 0; --i)
        qValue = (qValue << 8) | b[i];
    return true;
}

bool PmDBUtil::ReadCStringLength(uint32_t& nLength)
{
    BYTE byLength = 0;
    if (!ReadByte(byLength))
        return false;
    if (byLength != kLongTextMarker) {
        nLength = byLength;
        return true;
    }
    WORD wLength = 0;
    if (!ReadInt16(wLength))
        return false;
    nLength = wLength;
    return true;
}

bool PmDBUtil::ReadCString(char* pszBuf, int& nCapacity)
{
    if (pszBuf == nullptr || nCapacity < 1)
        return false;
    uint32_t nLength = 0;
    if (!ReadCStringLength(nLength))
        return false;
    if (nLength > static_cast<uint32_t>(nCapacity)) {
        nCapacity = static_cast<int>(nLength);
        return false;
    }
    if (nLength > 0 && !ReadBytes(pszBuf, nLength))
        return false;
    pszBuf[nLength] = '\0';
    return true;
}

bool PmDBUtil::ReadCString(std::string& strText)
{
    uint32_t nLength = 0;
    if (!ReadCStringLength(nLength) || nLength > GetRemaining())
        return false;
    strText.assign(reinterpret_cast<const char*>(m_inBuf.data() + m_nPos), nLength);
    m_nPos += nLength;
    return true;
}

// ---- Writing primitives ----------------------------------------------------

bool PmDBUtil::WriteBytes(const void* pBuf, size_t n)
{
    if (pBuf == nullptr || n == 0 || !m_bWriting || m_bWriteFailed)
        return false;
    const auto* pBytes = static_cast<const BYTE*>(pBuf);
    const long long nLimit = g_failWritesAfter.load();
    if (nLimit >= 0 && m_nWritten + static_cast<long long>(n) > nLimit) {
        // The simulated full disk takes what fits, then fails.
        const size_t nFits = nLimit > m_nWritten ? static_cast<size_t>(nLimit - m_nWritten) : 0;
        m_outBuf.insert(m_outBuf.end(), pBytes, pBytes + nFits);
        m_nWritten += static_cast<long long>(nFits);
        FlushOut();
        m_bWriteFailed = true;
        m_LastFailure = FailReason::Of(FailKind::DiskFull);
        return false;
    }
    m_outBuf.insert(m_outBuf.end(), pBytes, pBytes + n);
    m_nWritten += static_cast<long long>(n);
    if (!m_bToMemory && m_outBuf.size() >= kOutChunk)
        return FlushOut();
    return true;
}

bool PmDBUtil::WriteUInt32(uint32_t nValue)
{
    const BYTE b[4] = {static_cast<BYTE>(nValue), static_cast<BYTE>(nValue >> 8), static_cast<BYTE>(nValue >> 16),
                       static_cast<BYTE>(nValue >> 24)};
    return WriteBytes(b, sizeof(b));
}

bool PmDBUtil::WriteInt32(int32_t nValue)
{
    return WriteUInt32(static_cast<uint32_t>(nValue));
}

bool PmDBUtil::WriteInt16(WORD wValue)
{
    const BYTE b[2] = {static_cast<BYTE>(wValue), static_cast<BYTE>(wValue >> 8)};
    return WriteBytes(b, sizeof(b));
}

bool PmDBUtil::WriteByte(BYTE byValue)
{
    return WriteBytes(&byValue, 1);
}

bool PmDBUtil::WriteQuad(uint64_t qValue)
{
    BYTE b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<BYTE>(qValue >> (8 * i));
    return WriteBytes(b, sizeof(b));
}

bool PmDBUtil::WriteCString(const char* pszText)
{
    return WriteCString(pszText, pszText == nullptr ? 0 : std::strlen(pszText));
}

bool PmDBUtil::WriteCString(const char* pText, size_t nLength)
{
    if (pText == nullptr || nLength == 0)
        return WriteByte(0);
    if (nLength > kMaxCStringLength)
        return false;
    if (nLength < kLongTextMarker) {
        if (!WriteByte(static_cast<BYTE>(nLength)))
            return false;
    } else if (!WriteByte(kLongTextMarker) || !WriteInt16(static_cast<WORD>(nLength))) {
        return false;
    }
    return WriteBytes(pText, nLength);
}

// ---- Typed field values ----------------------------------------------------

bool PmDBUtil::ReadIntField(int32_t& nValue)
{
    int32_t nType = 0;
    if (!ReadInt32(nType))
        return false;
    if (nType != kPmTypeInt && nType != kPmTypeBool && nType != kPmTypeDate)
        return false;
    return ReadInt32(nValue);
}

bool PmDBUtil::ReadTextField(char* pszBuf, int nWidth, std::string* pstrWhole)
{
    if (pszBuf == nullptr || nWidth < 1)
        return false;
    int32_t nType = 0;
    if (!ReadInt32(nType) || nType != kPmTypeText)
        return false;
    std::memset(pszBuf, 0, static_cast<size_t>(nWidth));
    if (pstrWhole != nullptr)
        pstrWhole->clear();
    int32_t nIgnored = 0;
    uint32_t nLength = 0;
    if (!ReadInt32(nIgnored) || !ReadCStringLength(nLength) || nLength > GetRemaining())
        return false;
    const BYTE* pText = m_inBuf.data() + m_nPos;
    const size_t nKept = nLength < static_cast<uint32_t>(nWidth - 1) ? nLength : static_cast<size_t>(nWidth - 1);
    std::memcpy(pszBuf, pText, nKept);
    pszBuf[nKept] = '\0';
    if (pstrWhole != nullptr && nLength > nKept)
        pstrWhole->assign(reinterpret_cast<const char*>(pText), nLength);
    m_nPos += nLength;
    return true;
}

bool PmDBUtil::ReadBinaryItem(PmBinaryItem& item)
{
    PmBinaryItem read;
    if (!ReadInt32(read.nType) || !ReadUInt32(read.nCount))
        return false;
    if (read.nCount >= 4) {
        read.nSize = read.nCount;
    } else if (read.nCount > 0) {
        if (!ReadInt32(read.nA) || !ReadInt32(read.nB) || !ReadUInt32(read.nSize))
            return false;
    }
    // The count or size is checked against the data before anything is
    // allocated for it.
    if (read.nSize > GetRemaining())
        return false;
    if (read.nSize > 0) {
        const BYTE* pBytes = m_inBuf.data() + m_nPos;
        read.data.assign(pBytes, pBytes + read.nSize);
        m_nPos += read.nSize;
    }
    item = std::move(read);
    return true;
}

bool PmDBUtil::ReadQuadField(uint64_t& qValue)
{
    int32_t nType = 0;
    return ReadInt32(nType) && ReadQuad(qValue);
}

bool PmDBUtil::WriteIntField(int32_t nValue)
{
    return WriteInt32(kPmTypeInt) && WriteInt32(nValue);
}

bool PmDBUtil::WriteBoolField(int32_t nValue)
{
    return WriteInt32(kPmTypeBool) && WriteInt32(nValue);
}

bool PmDBUtil::WriteTextField(const char* pszText)
{
    return WriteTextField(pszText, pszText == nullptr ? 0 : std::strlen(pszText));
}

bool PmDBUtil::WriteTextField(const char* pText, size_t nLength)
{
    if (nLength > kMaxCStringLength)
        return false;
    return WriteInt32(kPmTypeText) && WriteInt32(1) && WriteCString(pText, nLength);
}

bool PmDBUtil::WriteQuadField(uint64_t qValue)
{
    return WriteInt32(kPmTypeQuad) && WriteQuad(qValue);
}

bool PmDBUtil::WriteBinaryItem(const PmBinaryItem& item)
{
    if (item.nCount == 0)
        return WriteInt32(item.nType) && WriteUInt32(0);
    if (item.nCount >= 4) {
        if (item.data.size() < item.nCount)
            return false;
        return WriteInt32(item.nType) && WriteUInt32(item.nCount) && WriteBytes(item.data.data(), item.nCount);
    }
    if (item.data.size() < item.nSize)
        return false;
    if (!WriteInt32(item.nType) || !WriteUInt32(item.nCount) || !WriteInt32(item.nA) || !WriteInt32(item.nB) ||
        !WriteUInt32(item.nSize))
        return false;
    return item.nSize == 0 || WriteBytes(item.data.data(), item.nSize);
}

// ---- Shared blocks ---------------------------------------------------------

bool PmDBUtil::ReadCategories()
{
    m_pCatMgr = std::make_unique<PmCategoryMgr>();
    int32_t nNextFreeId = 0;
    int32_t nEntries = 0;
    if (!ReadInt32(nNextFreeId) || !ReadInt32(nEntries))
        return false;
    m_pCatMgr->SetNextFreeId(nNextFreeId);
    // A list holds 16 categories at most and "Unfiled" is never stored;
    // the adds below fail past that, so a lying count costs nothing.
    if (nEntries < 0 || !CanHold(static_cast<uint64_t>(nEntries), kMinCategoryEntryBytes))
        return false;

    PmCategory work;
    work.SetIndex(0);
    work.SetId(0);
    work.SetName("Unfiled");
    if (!m_pCatMgr->Add(&work))
        return false;

    char szText[kCategoryTextCapacity + 1];
    for (int32_t i = 0; i < nEntries; ++i) {
        int32_t nIndex = 0;
        int32_t nId = 0;
        int32_t nDirty = 0;
        if (!ReadInt32(nIndex) || !ReadInt32(nId) || !ReadInt32(nDirty))
            return false;
        work.SetIndex(nIndex);
        work.SetId(nId);
        work.SetDirty(nDirty != 0);
        int nCapacity = kCategoryTextCapacity;
        if (!ReadCString(szText, nCapacity))
            return false;
        work.SetName(szText);
        nCapacity = kCategoryTextCapacity;
        if (!ReadCString(szText, nCapacity))
            return false;
        work.SetShortName(szText);
        if (!m_pCatMgr->Add(&work))
            return false;
    }
    m_pCatMgr->SetModified(false);
    return true;
}

bool PmDBUtil::WriteCategories()
{
    if (!m_pCatMgr)
        return WriteInt32(PmCategoryMgr::kDefaultNextFreeId) && WriteInt32(0);
    if (!WriteInt32(m_pCatMgr->GetNextFreeId()))
        return false;

    // "Unfiled" (id 0) is built in and never stored.
    int32_t nStored = 0;
    for (int16_t nSlot = 0; nSlot < PmCategoryMgr::kMaxCategories; ++nSlot) {
        const PmCategory* pCategory = m_pCatMgr->GetAt(nSlot);
        if (pCategory != nullptr && pCategory->GetId() != 0)
            ++nStored;
    }
    if (!WriteInt32(nStored))
        return false;
    for (int16_t nSlot = 0; nSlot < PmCategoryMgr::kMaxCategories; ++nSlot) {
        const PmCategory* pCategory = m_pCatMgr->GetAt(nSlot);
        if (pCategory == nullptr || pCategory->GetId() == 0)
            continue;
        if (!WriteInt32(nSlot) || !WriteInt32(pCategory->GetId()) || !WriteInt32(0) ||
            !WriteCString(pCategory->GetName()) || !WriteCString(pCategory->GetShortName()))
            return false;
    }
    return true;
}

bool PmDBUtil::ReadSchema()
{
    PmSchema schema;
    schema.nCapacity = m_Schema.nCapacity;
    if (!ReadInt32(schema.nResourceId) || !ReadInt32(schema.nFieldsPerRow) || !ReadInt32(schema.nRecordIdPos) ||
        !ReadInt32(schema.nStatusPos) || !ReadInt32(schema.nPlacementPos) || !ReadInt16(schema.wFieldCount))
        return false;
    if (schema.wFieldCount > schema.nCapacity || schema.wFieldCount > PmSchema::kMaxTypes)
        return false;
    for (WORD i = 0; i < schema.wFieldCount; ++i) {
        if (!ReadInt16(schema.wTypes[i]))
            return false;
    }
    // Records are counted by dividing by this value.
    if (schema.nFieldsPerRow < 1)
        return false;
    m_Schema = schema;
    return true;
}

bool PmDBUtil::WriteSchema()
{
    if (m_Schema.wFieldCount > PmSchema::kMaxTypes)
        return false;
    if (!WriteInt32(m_Schema.nResourceId) || !WriteInt32(m_Schema.nFieldsPerRow) ||
        !WriteInt32(m_Schema.nRecordIdPos) || !WriteInt32(m_Schema.nStatusPos) || !WriteInt32(m_Schema.nPlacementPos) ||
        !WriteInt16(m_Schema.wFieldCount))
        return false;
    for (WORD i = 0; i < m_Schema.wFieldCount; ++i) {
        if (!WriteInt16(m_Schema.wTypes[i]))
            return false;
    }
    return true;
}

bool PmDBUtil::GetCategoryName(int32_t nId, char* szCatText) const
{
    if (!m_pCatMgr || szCatText == nullptr)
        return false;
    const PmCategory* pCategory = m_pCatMgr->FindById(nId);
    if (pCategory == nullptr)
        return false;
    const size_t nLength = strnlen(pCategory->GetName(), PmCategory::kNameSize - 1);
    std::memcpy(szCatText, pCategory->GetName(), nLength);
    szCatText[nLength] = '\0';
    return true;
}

bool PmDBUtil::GetCategoryId(const char* pszName, int32_t& nId, bool bCreate)
{
    if (pszName == nullptr || *pszName == '\0') {
        nId = 0;
        return true;
    }
    // Stored names are cut to 15 characters; so is the one looked up.
    char szName[PmCategory::kNameSize] = {};
    std::memcpy(szName, pszName, strnlen(pszName, PmCategory::kNameSize - 1));

    if (!m_pCatMgr) {
        if (!bCreate) {
            nId = 0;
            return false;
        }
        m_pCatMgr = std::make_unique<PmCategoryMgr>();
        PmCategory unfiled;
        unfiled.SetIndex(0);
        unfiled.SetId(0);
        unfiled.SetName("Unfiled");
        m_pCatMgr->Add(&unfiled);
    }

    if (const PmCategory* pFound = m_pCatMgr->FindByName(szName)) {
        nId = pFound->GetId();
        return true;
    }
    if (!bCreate) {
        nId = 0;
        return false;
    }
    PmCategory category;
    category.SetName(szName);
    m_pCatMgr->Add(&category);
    if (const PmCategory* pFound = m_pCatMgr->FindByName(szName)) {
        nId = pFound->GetId();
        return true;
    }
    nId = -1;
    return false;
}

// ---- Step framework --------------------------------------------------------

bool PmDBUtil::BeginLoad(const char* pszPath)
{
    m_bRecognised = false;
    return Open(pszPath, kModeRead);
}

bool PmDBUtil::EndLoad(const char* pszPath, bool bOk)
{
    const size_t nStopped = m_nPos;
    const size_t nSize = m_inBuf.size();
    const bool bOpened = IsOpen();
    Close();
    m_bLoaded = bOk;
    m_bLoadFailed = !bOk;
    if (!bOk) {
        // Opened but not read: the content is at fault, not the file system.
        if (bOpened && !m_LastFailure.IsSet()) {
            m_LastFailure = m_bRecognised ? FailReason::Of(FailKind::Damaged, {}, static_cast<int64_t>(nStopped))
                            : nSize == 0  ? FailReason::Of(FailKind::WrongKind, "an empty file")
                                          : FailReason::Of(FailKind::WrongKind, "not a Palm Desktop address file");
        }
        if (m_pOwnHold && m_pHold == m_pOwnHold.get())
            m_pOwnHold->Release();
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not load Palm Desktop Contacts: %s (%s)",
                        pszPath != nullptr ? pszPath : "", FailReasonText(m_LastFailure).c_str());
    }
    return bOk;
}

FileHold* PmDBUtil::Hold()
{
    if (m_pHold == nullptr) {
        m_pOwnHold = std::make_unique<FileHold>();
        m_pHold = m_pOwnHold.get();
    }
    return m_pHold;
}

void PmDBUtil::ShareHold(FileHold* pHold)
{
    m_pHold = pHold != nullptr ? pHold : nullptr;
    if (pHold != nullptr)
        m_pOwnHold.reset();
}

bool PmDBUtil::BeginSave(const char* pszPath)
{
    if (m_bLoadFailed) {
        // The records in memory are what a failed load left: writing them
        // would replace the user's file with a fragment of it.
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Not saving %s: the last load failed",
                        pszPath != nullptr ? pszPath : "");
        m_LastFailure = FailReason::Of(FailKind::Damaged, "it did not load");
        return false;
    }
    if (!Open(pszPath, kModeWrite)) {
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not save Palm Desktop Contacts: %s (%s)",
                        pszPath != nullptr ? pszPath : "", FailReasonText(m_LastFailure).c_str());
        return false;
    }
    return true;
}

bool PmDBUtil::EndSave(bool bOk)
{
    if (bOk)
        bOk = Commit();
    else if (!m_LastFailure.IsSet())
        m_LastFailure = m_bWriteFailed && m_pOut ? m_pOut->GetFailure() : FailReason::Of(FailKind::WriteFailed);
    if (!bOk && !m_LastFailure.IsSet())
        m_LastFailure = FailReason::Of(FailKind::WriteFailed);
    Close();
    if (!bOk)
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not save Palm Desktop Contacts: %s (%s)", m_szFileName,
                        FailReasonText(m_LastFailure).c_str());
    return bOk;
}

// ---- Test hook and conversions ---------------------------------------------

void PmDBUtil::SetFailWritesAfterBytesForTest(long long nBytes)
{
    g_failWritesAfter = nBytes;
}

double PmDBUtil::QuadToDouble(uint64_t qValue)
{
    double dValue = 0;
    static_assert(sizeof(dValue) == sizeof(qValue));
    std::memcpy(&dValue, &qValue, sizeof(dValue));
    return dValue;
}

uint64_t PmDBUtil::DoubleToQuad(double dValue)
{
    uint64_t qValue = 0;
    std::memcpy(&qValue, &dValue, sizeof(qValue));
    return qValue;
}
