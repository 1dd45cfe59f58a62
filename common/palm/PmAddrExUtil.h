// PmAddrExUtil: reader and writer of the extended Palm Desktop address.dat
// (Palm Desktop 4.1.2 on), recognised by the text "PalmSG Database" in its
// first bytes.
//
// Loading takes the whole file into memory; saving writes it back whole
// (atomically, see PmDBUtil). The file, from its first byte:
//   24-byte banner: BE BA FE CA 0F "PalmSG Database00RV" (bytes 0 to 4 are
//     not examined on reading);
//   int32 signature 0x41420200;
//   24-byte header block, kept; a save sets its bytes 12 and 13 to the
//     little-endian 16-bit value record count + 4096;
//   counted text: the path the file was last saved to (dropped on reading,
//     the path being saved to on writing);
//   11-byte name block, kept;
//   9 labels, each a counted text of at most 32 characters and an int32
//     (dropped on reading, 0 on writing);
//   42-byte label block, kept;
//   the category block and the schema block (PmDBUtil);
//   the record stream (PmRecordStream): per record, the schema's field count
//     of typed values (at most 73) in the order of PmAddrExRecord; a save
//     writes fields per row values (at most 73) per record. A file whose two
//     numbers give rows of different lengths is not loaded: what a save
//     wrote could not be read back.
#pragma once

#include <cstdint>
#include <string>

#include "common/palm/PmAddrExDataMgr.h"
#include "common/palm/PmDBUtil.h"

class PmAddrExUtil : public PmDBUtil {
public:
    static constexpr int32_t kSignature = 0x41420200;
    // Fields of an extended record on disk (0 to 72).
    static constexpr int kRecordFields = 73;
    static constexpr int kHeaderBlockSize = 24;
    static constexpr int kLabelCount = 9;

    // Reset().
    PmAddrExUtil();
    // ReleaseRecords() and closes the file.
    ~PmAddrExUtil() override;

    // Back to the state of a new reader: signature, an empty record list, no
    // category list, empty labels, the header block all zero except byte 12
    // = 1 and byte 13 = 16, zero name and label blocks, the default schema,
    // and SwapName from corvane.ini ([Hollowfen] SwapName=1).
    virtual void Reset();
    // Deletes the record list (m_pDataMgr becomes null).
    virtual void ReleaseRecords();

    // Logs "Loading Palm Desktop Contacts: <path>" at level 2, then runs the
    // read steps on pszPath (RunLoad), replacing every block, the category
    // list, the schema and the records.
    bool LoadFile(const char* pszPath);
    // Runs the write steps on pszPath (RunSave).
    bool SaveFile(const char* pszPath);
    // SaveFile of the path last loaded from (m_szFileName).
    bool Save();

    // The read steps of LoadFile, in file order.
    virtual bool ReadBanner();
    virtual bool ReadSignature();  // the signature, then the header block
    virtual bool ReadFileName();   // the stored file name, then the name block
    virtual bool ReadLabels();     // nine labels, then the label block
    virtual bool ReadRecords();
    // The write steps of SaveFile not shared with PmDBUtil, in file order.
    virtual bool WriteBanner();
    virtual bool WriteSignature();
    virtual bool WriteFileName(const char* pszPath);
    virtual bool WriteLabels();
    virtual bool WriteRecords();  // the record stream, each record through WriteRecord
    virtual bool WriteRecord(const PmAddrExRecord* pRecord);

    // nIndex 0 to kLabelCount - 1.
    const std::string& GetLabel(int nIndex) const { return m_strLabels[nIndex]; }
    const BYTE* GetHeaderBlock() const { return m_byHeader; }

    // Exchange fields 13 and 14 between file and record: false puts field 13
    // into the first name and field 14 into the last name, true the other way
    // round. The same mapping is used for writing.
    bool SwapName;
    // The records; owned.
    PmAddrExDataMgr* m_pDataMgr;

protected:
    // Sizes of the fixed blocks, and the longest label a file may hold.
    static constexpr int kBannerSize = 24;
    static constexpr int kNameBlockSize = 11;
    static constexpr int kLabelMax = 32;
    static constexpr int kLabelBlockSize = 42;

    int32_t m_nSignature;
    BYTE m_byHeader[kHeaderBlockSize];
    BYTE m_byNameBlock[kNameBlockSize];
    std::string m_strLabels[kLabelCount];  // any byte values, at most 32 each
    BYTE m_byLabelBlock[kLabelBlockSize];
};
