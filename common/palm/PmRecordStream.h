// PmRecordStream: the records of a Palm Desktop address.dat, read and written
// for both generations (classic and extended) from a description of their
// record.
//
// The stream, at the current position of the file:
//   int32 E, the number of values that follow: records = E / fields per row
//     (the remainder is ignored); a save writes records x fields per row;
//   per record, the typed values of fields 0 to fields per row - 1 (at most
//     the generation's field count; positions beyond it are neither read nor
//     written), in the order of the generation's field table.
// Texts that a record member holds cut are kept whole beside the record
// (PmWholeTexts) and written back whole while the member is unchanged, so a
// load followed by a save never shortens a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/palm/PmDBUtil.h"
#include "common/palm/PmWholeTexts.h"

// How a record field is read and written.
enum class PmFieldKind {
    Int,       // read as an integer value (type 1, 3 or 6), written with type 1
    Bool,      // read as an integer value, written with type 6
    Category,  // an Int whose category name is looked up on reading
    Binary,    // a binary item, written back as read
    Quad,      // a quad value, written with type 68
    Text,      // a text value of the member's width
};

// One field of a record on disk: its kind and the record member it is read
// into and written from.
struct PmField {
    PmFieldKind kind;
    size_t nOffset;  // of the member in the record (offsetof)
    int nWidth;      // text members only

    static constexpr PmField Int(size_t nOffset) { return {PmFieldKind::Int, nOffset, 0}; }
    static constexpr PmField Bool(size_t nOffset) { return {PmFieldKind::Bool, nOffset, 0}; }
    static constexpr PmField Category(size_t nOffset) { return {PmFieldKind::Category, nOffset, 0}; }
    static constexpr PmField Binary(size_t nOffset) { return {PmFieldKind::Binary, nOffset, 0}; }
    static constexpr PmField Quad(size_t nOffset) { return {PmFieldKind::Quad, nOffset, 0}; }
    static constexpr PmField Text(size_t nOffset, int nWidth) { return {PmFieldKind::Text, nOffset, nWidth}; }
};

// What sets one generation's records apart from the other's.
struct PmRecordFormat {
    // Fields 0 onwards, in file order; their number is the generation's field
    // count (30 classic, 73 extended).
    std::span<const PmField> fields;
    // The two name fields that SwapName exchanges between file and record.
    int nNameFields[2];
    // Offset of the record's category name (16 bytes), looked up for the id
    // of the Category field on reading; an unknown id leaves it empty.
    size_t nCategoryNameOffset;
    // Whether rows are read with the schema's field count rather than its
    // fields per row (extended). Writing always uses the fields per row, so
    // a file whose two numbers give rows of different lengths is refused: a
    // save of it could not be read back.
    bool bRowsByFieldCount;
};

class PmRecordStream {
public:
    // The widest record of any generation (extended).
    static constexpr int kMaxFields = PmSchema::kMaxTypes;

    // The record stream of db's file (db's schema gives the fields per row
    // and field count) in the layout of format. bSwapName exchanges the
    // format's two name fields between file and record, on reading and on
    // writing alike.
    PmRecordStream(PmDBUtil& db, const PmRecordFormat& format, bool bSwapName);

    // Clears dataMgr and appends the records of the stream at db's current
    // position, each read into a cleared Record. False at the first value
    // that cannot be read (a short read or a value of an unexpected type),
    // for a negative E, for rows of different lengths (see
    // bRowsByFieldCount), when E promises more values than the rest of the
    // file could hold (checked before anything is allocated), or when a
    // record cannot be appended. The records read before a failure stay in
    // dataMgr.
    template <class Record, class DataMgr>
    bool Read(DataMgr& dataMgr);

    // Writes E (records x fields per row, which must fit an int32; fields per
    // row must be at least 1), then every record of dataMgr in list order
    // through writeRecord(const Record*). False at the first failure.
    template <class DataMgr, class WriteOne>
    bool Write(DataMgr& dataMgr, WriteOne writeRecord);

    // Writes the values of one record (the member at each field's offset of
    // *pRecord), with the whole texts kept for it in wholeTexts. False for a
    // null record or at the first failing write.
    bool WriteRecord(const void* pRecord, const PmWholeTexts& wholeTexts);

private:
    // Reads E and works out the records it gives; false as Read describes.
    bool ReadValueCount(int32_t& nRecords);
    // Reads one record's values into *pRecord; strWhole[field] receives the
    // whole text of each text field that its member holds cut, and is
    // emptied for every other field read.
    bool ReadRecord(void* pRecord, std::string* strWhole);
    bool WriteValueCount(int nRecords);
    // Moves the non-empty whole texts of strWhole into wholeTexts for the
    // record at pStored, and empties them all.
    void KeepWholeTexts(const void* pStored, std::string* strWhole, PmWholeTexts& wholeTexts) const;
    // The field of the format that file field nField is read into and
    // written from.
    int SlotOf(int nField) const;

    PmDBUtil& m_db;
    const PmRecordFormat& m_format;
    bool m_bSwapName;
    // Values per record: the fields per row, at most the format's fields.
    int m_nValues;
};

template <class Record, class DataMgr>
bool PmRecordStream::Read(DataMgr& dataMgr)
{
    dataMgr.Clear();
    int32_t nRecords = 0;
    if (!ReadValueCount(nRecords))
        return false;
    Record record;
    std::string strWhole[kMaxFields];
    for (int32_t nRecord = 0; nRecord < nRecords; ++nRecord) {
        record.Clear();
        if (!ReadRecord(&record, strWhole) || !dataMgr.Append(&record))
            return false;
        KeepWholeTexts(dataMgr.GetAt(dataMgr.Count() - 1), strWhole, dataMgr.GetWholeTexts());
    }
    return true;
}

template <class DataMgr, class WriteOne>
bool PmRecordStream::Write(DataMgr& dataMgr, WriteOne writeRecord)
{
    if (!WriteValueCount(dataMgr.Count()))
        return false;
    for (auto* pRecord = dataMgr.First(); pRecord != nullptr; pRecord = dataMgr.Next()) {
        if (!writeRecord(pRecord))
            return false;
    }
    return true;
}
