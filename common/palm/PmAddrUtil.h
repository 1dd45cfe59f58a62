// PmAddrUtil: reader and writer of the classic Palm Desktop address.dat.
//
// Loading takes the whole file into memory; saving writes it back whole
// (atomically, see PmDBUtil). The file, from its first byte:
//   int32 signature 0x41420100;
//   counted text: the path the file was last saved to (dropped on reading,
//     the path being saved to on writing);
//   counted text: the header text, kept up to and including its fourth line
//     feed and at most 511 characters;
//   the category block and the schema block (PmDBUtil);
//   the record stream (PmRecordStream): per record, the schema's fields per
//     row of typed values (at most 30) in the order of PmAddrRecord.
#pragma once

#include <cstdint>
#include <string>

#include "common/palm/PmAddrDataMgr.h"
#include "common/palm/PmDBUtil.h"

class PmAddrUtil : public PmDBUtil {
public:
    static constexpr int32_t kSignature = 0x41420100;
    // Fields of a classic record on disk (0 to 29).
    static constexpr int kRecordFields = 30;

    // Default schema, an empty record list, no category list; SwapName from
    // corvane.ini ([Hollowfen] SwapName=1).
    PmAddrUtil();
    // Deletes the records and closes the file.
    ~PmAddrUtil() override;

    // Logs "Loading Palm Desktop Address Book:<path>" at level 2, then runs
    // the read steps on pszPath (RunLoad), replacing the category list,
    // schema, header text and records.
    bool LoadFile(const char* pszPath);
    // Runs the write steps on pszPath (RunSave): signature, pszPath, header
    // text, categories, schema and records.
    virtual bool SaveFile(const char* pszPath);

    // The read steps of LoadFile, in file order.
    virtual bool ReadSignature();  // the signature, then the stored file name
    virtual bool ReadHeaderText();
    virtual bool ReadRecords();
    // The write steps of SaveFile not shared with PmDBUtil (WriteHeader
    // below is the first).
    virtual bool WriteRecords();  // the record stream, each record through WriteRecord
    virtual bool WriteRecord(const PmAddrRecord* pRecord);

    // Whether [Hollowfen] SwapName in corvane.ini reads 1 (the path comes
    // from GetIniFilePath).
    static bool ReadSwapNameSetting();

    const std::string& GetHeaderText() const { return m_strHeaderText; }

    // Exchange fields 3 and 4 between file and record: false puts field 3
    // into the last name and field 4 into the first name, true the other way
    // round. The same mapping is used for writing.
    bool SwapName;
    // The records; owned.
    PmAddrDataMgr* m_pDataMgr;

protected:
    bool WriteHeader();  // signature, path being saved to, header text

    // Type codes the classic schema block has room for.
    static constexpr int kSchemaCapacity = 31;
    // The header text keeps at most this many characters, and stops after
    // this many line feeds.
    static constexpr int kHeaderTextMax = 511;
    static constexpr int kHeaderTextLines = 4;

    int32_t m_nSignature;
    // The header text as kept on reading (any byte values, at most 511).
    std::string m_strHeaderText;
};
