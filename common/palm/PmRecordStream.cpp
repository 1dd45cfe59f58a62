#include "common/palm/PmRecordStream.h"

#include <algorithm>
#include <utility>

#include "common/misc/MemberAt.h"

namespace {

// Every typed value takes at least its type code and a 4-byte payload.
constexpr size_t kMinValueBytes = 8;

}  // namespace

PmRecordStream::PmRecordStream(PmDBUtil& db, const PmRecordFormat& format, bool bSwapName)
    : m_db(db), m_format(format), m_bSwapName(bSwapName),
      m_nValues(std::min(db.GetSchema().nFieldsPerRow, static_cast<int32_t>(format.fields.size())))
{
}

int PmRecordStream::SlotOf(int nField) const
{
    const int nFirst = m_format.nNameFields[0];
    const int nSecond = m_format.nNameFields[1];
    if (m_bSwapName && (nField == nFirst || nField == nSecond))
        return nFirst + nSecond - nField;
    return nField;
}

bool PmRecordStream::ReadValueCount(int32_t& nRecords)
{
    const PmSchema& schema = m_db.GetSchema();
    int32_t nValueCount = 0;
    if (!m_db.ReadInt32(nValueCount) || nValueCount < 0)
        return false;
    nRecords = nValueCount / schema.nFieldsPerRow;
    if (m_format.bRowsByFieldCount &&
        std::min(static_cast<int>(schema.wFieldCount), static_cast<int>(m_format.fields.size())) != m_nValues)
        return false;
    // A count the rest of the file cannot hold fails before anything is
    // allocated for it.
    return m_db.CanHold(static_cast<uint64_t>(nRecords), kMinValueBytes * static_cast<size_t>(m_nValues));
}

bool PmRecordStream::ReadRecord(void* pRecord, std::string* strWhole)
{
    for (int nField = 0; nField < m_nValues; ++nField) {
        const int nSlot = SlotOf(nField);
        const PmField& field = m_format.fields[static_cast<size_t>(nSlot)];
        strWhole[nSlot].clear();
        bool bOk = false;
        switch (field.kind) {
        case PmFieldKind::Int:
        case PmFieldKind::Bool:
            bOk = m_db.ReadIntField(*MemberAt<int32_t>(pRecord, field.nOffset));
            break;
        case PmFieldKind::Category: {
            int32_t& nId = *MemberAt<int32_t>(pRecord, field.nOffset);
            bOk = m_db.ReadIntField(nId);
            // An unknown id leaves the name empty and keeps the id.
            if (bOk)
                m_db.GetCategoryName(nId, MemberAt<char>(pRecord, m_format.nCategoryNameOffset));
            break;
        }
        case PmFieldKind::Binary:
            bOk = m_db.ReadBinaryItem(*MemberAt<PmBinaryItem>(pRecord, field.nOffset));
            break;
        case PmFieldKind::Quad:
            bOk = m_db.ReadQuadField(*MemberAt<uint64_t>(pRecord, field.nOffset));
            break;
        case PmFieldKind::Text:
            bOk = PmWholeTexts::ReadTextField(m_db, MemberAt<char>(pRecord, field.nOffset), field.nWidth,
                                              strWhole[nSlot]);
            break;
        }
        if (!bOk)
            return false;
    }
    return true;
}

void PmRecordStream::KeepWholeTexts(const void* pStored, std::string* strWhole, PmWholeTexts& wholeTexts) const
{
    const int nFields = static_cast<int>(m_format.fields.size());
    for (int nSlot = 0; nSlot < nFields; ++nSlot) {
        if (!strWhole[nSlot].empty())
            wholeTexts.Keep(pStored, nSlot, std::move(strWhole[nSlot]));
        strWhole[nSlot].clear();
    }
}

bool PmRecordStream::WriteValueCount(int nRecords)
{
    const int32_t nFieldsPerRow = m_db.GetSchema().nFieldsPerRow;
    const int64_t nValueCount = static_cast<int64_t>(nRecords) * nFieldsPerRow;
    if (nFieldsPerRow < 1 || nValueCount > INT32_MAX)
        return false;
    return m_db.WriteInt32(static_cast<int32_t>(nValueCount));
}

bool PmRecordStream::WriteRecord(const void* pRecord, const PmWholeTexts& wholeTexts)
{
    if (pRecord == nullptr)
        return false;
    for (int nField = 0; nField < m_nValues; ++nField) {
        const int nSlot = SlotOf(nField);
        const PmField& field = m_format.fields[static_cast<size_t>(nSlot)];
        bool bOk = false;
        switch (field.kind) {
        case PmFieldKind::Int:
        case PmFieldKind::Category:
            bOk = m_db.WriteIntField(*MemberAt<int32_t>(pRecord, field.nOffset));
            break;
        case PmFieldKind::Bool:
            bOk = m_db.WriteBoolField(*MemberAt<int32_t>(pRecord, field.nOffset));
            break;
        case PmFieldKind::Binary:
            bOk = m_db.WriteBinaryItem(*MemberAt<PmBinaryItem>(pRecord, field.nOffset));
            break;
        case PmFieldKind::Quad:
            bOk = m_db.WriteQuadField(*MemberAt<uint64_t>(pRecord, field.nOffset));
            break;
        case PmFieldKind::Text:
            bOk = PmWholeTexts::WriteTextField(m_db, MemberAt<char>(pRecord, field.nOffset), field.nWidth,
                                               wholeTexts.Find(pRecord, nSlot));
            break;
        }
        if (!bOk)
            return false;
    }
    return true;
}
