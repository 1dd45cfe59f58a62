// PmDBUtil: the shared layer of the Palm Desktop address files (the classic
// address.dat and the extended "PalmSG Database" address.dat).
//
// It supplies the encodings both generations are built from (little-endian
// integers, counted texts, typed field values, binary items, the category
// block and the schema block), the file being read or written, its path, its
// category list, and the step framework: a generation describes its file as
// a fixed sequence of steps, each a member function that reads (or writes)
// one section at the current position and answers success or failure; its
// LoadFile runs the read steps in order through RunLoad, its SaveFile the
// write steps through RunSave, and both stop at the first step that answers
// false. The record stream both generations end with is PmRecordStream.
//
// Files on disk:
//  - A file is open only inside one load or one save, but it is held (an
//    exclusive advisory lock, FileHold) from its load through its save until
//    the next load: a second program waits a few seconds for it, then fails
//    with "in use by another program". A failed load releases it. Readers of
//    one facade share one hold (ShareHold), so that they never wait for each
//    other.
//  - Reading takes the whole file into memory at Open; every read primitive
//    works on that buffer and never reads past its end. No count read from
//    the file makes anything allocate more than the bytes left in it.
//  - Writing never touches the file in place: the bytes written go to a
//    temporary file beside it, and only Commit() replaces the file with them
//    (flush, fsync, rename). Close() without Commit(), or any failed write,
//    leaves the file exactly as it was and removes the temporary file.
//  - A reader whose last load failed refuses to save (its memory holds a
//    partial file).
//
// Every number on disk is little-endian. The primitives answer true for
// success and false on a bad argument, a short read, or a failed write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "common/palm/PmCategoryMgr.h"
#include "platform/fsutil/FailReason.h"
#include "platform/wintypes/WinTypes.h"

class AtomicFile;
class FileHold;

// Type codes of the typed field values.
constexpr int32_t kPmTypeInt = 1;       // payload int32
constexpr int32_t kPmTypeDate = 3;      // payload int32; read only, never written
constexpr int32_t kPmTypeText = 5;      // payload int32 (written 1, ignored), then a counted text
constexpr int32_t kPmTypeBool = 6;      // payload int32, 0 or not 0
constexpr int32_t kPmTypeBinary1 = 64;  // 64 to 67: binary item
constexpr int32_t kPmTypeBinary4 = 67;
constexpr int32_t kPmTypeQuad = 68;  // payload 8 raw bytes

// An opaque item of the extended record, kept and written back unchanged.
// On disk: int32 type, uint32 count, then by count
//   0:      nothing more;
//   1 to 3: int32 a, int32 b, uint32 size, then size raw bytes;
//   4 up:   count raw bytes (in memory: size = count, a = b = 0).
// The item owns its bytes; copying an item copies them.
struct PmBinaryItem {
    int32_t nType = 0;
    uint32_t nCount = 0;
    int32_t nA = 0;
    int32_t nB = 0;
    uint32_t nSize = 0;
    std::vector<BYTE> data;  // the raw bytes; empty means "no buffer"

    void Clear() { *this = PmBinaryItem(); }
    bool HasData() const { return !data.empty(); }
    bool operator==(const PmBinaryItem& other) const = default;
};

// The schema block: how a generation describes its records. The positions
// and type codes are carried from the file and back; records are read in
// each generation's fixed order, not interpreted through the schema.
struct PmSchema {
    static constexpr int kMaxTypes = 73;  // the widest generation (extended)

    int32_t nResourceId = 74;
    int32_t nFieldsPerRow = 0;
    int32_t nRecordIdPos = 0;
    int32_t nStatusPos = 0;
    int32_t nPlacementPos = 0;
    WORD wFieldCount = 0;
    WORD wTypes[kMaxTypes] = {};
    // How many type codes this generation has room for (31 classic, 73
    // extended); a block listing more fails to read.
    int nCapacity = kMaxTypes;

    // A generation's schema for a file that carries none of its own:
    // resource id 74, one field per type code in each row, the record id at
    // position 0, room for nCapacity type codes.
    template <size_t nFields>
    static PmSchema Default(int nCapacity, const WORD (&wDefaultTypes)[nFields], int32_t nStatusPos,
                            int32_t nPlacementPos)
    {
        static_assert(nFields <= kMaxTypes);
        PmSchema schema;
        schema.nCapacity = nCapacity;
        schema.nFieldsPerRow = static_cast<int32_t>(nFields);
        schema.nRecordIdPos = 0;
        schema.nStatusPos = nStatusPos;
        schema.nPlacementPos = nPlacementPos;
        schema.wFieldCount = static_cast<WORD>(nFields);
        for (size_t i = 0; i < nFields; ++i)
            schema.wTypes[i] = wDefaultTypes[i];
        return schema;
    }
};

class PmDBUtil {
public:
    // Open modes.
    static constexpr int kModeRead = 0;       // existing file
    static constexpr int kModeWrite = 1;      // existing file
    static constexpr int kModeReadWrite = 2;  // existing file
    static constexpr int kModeCreate = 3;     // read and write, creating the file or replacing its content
    // Size of m_szFileName, terminator included.
    static constexpr int kFileNameSize = 256;
    // Capacity ReadCategories gives each name and short name it reads.
    static constexpr int kCategoryTextCapacity = 256;
    // Capacity both generations read the stored file name (the path the
    // file was last saved to) with.
    static constexpr int kStoredNameCapacity = 260;

    // No file, empty path, no category list, an empty schema with room for
    // 73 type codes (each generation sets its defaults in its constructor).
    PmDBUtil();
    virtual ~PmDBUtil();  // closes the file, discarding uncommitted writes
    PmDBUtil(const PmDBUtil&) = delete;
    PmDBUtil& operator=(const PmDBUtil&) = delete;

    // ---- The file ---------------------------------------------------------

    // Opens pszPath, closing any open file first. Modes 0 to 2 need an
    // existing file; mode 3 accepts a missing one (read as empty). Locks the
    // file (when it exists); the read modes take its whole content into
    // memory; the write modes start an empty replacement beside it that
    // Commit() installs. False for a null or empty path, a path of 256
    // characters or more (it could not be kept whole), another mode, a file
    // locked elsewhere, a write mode on a file the user may not write, or a
    // failed system call. On success the path (with the letter case found on
    // disk, see ResolvePathCase) is copied to m_szFileName.
    bool Open(const char* pszPath, int nMode);
    // Reading from a copy of nSize bytes in memory instead of a file (tests,
    // fuzzing). m_szFileName is left as it was. False for null data with a
    // non-zero size.
    bool OpenBuffer(const void* pData, size_t nSize);
    // Writing into memory instead of a file; GetWrittenBytes() answers what
    // was written. m_szFileName is left as it was.
    bool OpenMemory();
    // Installs the bytes written since Open as the file's whole content
    // (atomic replace: fsync, rename over the file, permissions kept). False,
    // with the file untouched and the temporary file removed, when nothing
    // is open for writing, a write failed before, or the replace fails. In
    // memory mode it only checks that no write failed.
    bool Commit();
    // Closes the file, releasing the lock and the read buffer. Writes not
    // committed are discarded and the temporary file is removed.
    void Close();
    bool IsOpen() const { return m_nMode >= 0; }
    // The bytes written since OpenMemory(); kept after Close until the next
    // open. (In the file modes the bytes go to the temporary file instead.)
    const std::vector<BYTE>& GetWrittenBytes() const { return m_outBuf; }

    // ---- Reading primitives ----------------------------------------------

    // Reads n bytes at the current position. False when pBuf is null, n is
    // 0, nothing is open for reading, or fewer than n bytes remain (the
    // position is then unchanged).
    bool ReadBytes(void* pBuf, size_t n);
    // Moves the position forward n bytes; false when fewer remain.
    bool SkipBytes(size_t n);
    // Bytes between the position and the end of the data.
    size_t GetRemaining() const;
    // Whether the rest of the data could hold nItems items of at least
    // nMinBytesEach bytes: the check to make before sizing anything by a
    // count read from the file.
    bool CanHold(uint64_t nItems, size_t nMinBytesEach) const;

    bool ReadInt32(int32_t& nValue);
    bool ReadUInt32(uint32_t& nValue);
    bool ReadInt16(WORD& wValue);
    bool ReadByte(BYTE& byValue);
    // Eight raw bytes as a little-endian 64-bit quantity (the extended file
    // keeps an IEEE double in it; see QuadToDouble).
    bool ReadQuad(uint64_t& qValue);

    // Reads a counted text's length: one byte L; L below 255 is the length,
    // L = 255 is followed by the int16 length.
    bool ReadCStringLength(uint32_t& nLength);
    // Reads a counted text into pszBuf, which holds nCapacity + 1 bytes.
    // False for a null buffer or a capacity below 1. When the stored length
    // exceeds nCapacity, sets nCapacity to the stored length and answers
    // false, the position standing after the length. Otherwise reads the
    // text, terminates it and answers true (a length 0 gives "").
    bool ReadCString(char* pszBuf, int& nCapacity);
    // Reads a whole counted text, whatever its length.
    bool ReadCString(std::string& strText);

    // ---- Writing primitives ----------------------------------------------

    // Appends n bytes. False when pBuf is null, n is 0, nothing is open for
    // writing, or the write failed; after a failed write Commit() fails.
    bool WriteBytes(const void* pBuf, size_t n);
    bool WriteInt32(int32_t nValue);
    bool WriteUInt32(uint32_t nValue);
    bool WriteInt16(WORD wValue);
    bool WriteByte(BYTE byValue);
    bool WriteQuad(uint64_t qValue);
    // Writes a counted text: a null or empty text is the byte 0; a text of
    // 1 to 254 bytes is its length byte and the bytes; a text of 255 bytes
    // or more is FF, the int16 length, and the bytes (so exactly 255 bytes
    // is FF FF 00 ...). A text of 65536 bytes or more cannot be stored and
    // answers false with nothing written.
    bool WriteCString(const char* pszText);
    // The same for nLength bytes that may hold any byte values.
    bool WriteCString(const char* pText, size_t nLength);

    // ---- Typed field values ----------------------------------------------

    // Type code 1, 3 or 6, then the int32 value; any other code answers false.
    bool ReadIntField(int32_t& nValue);
    // Type code 5 (else false), an ignored int32, then a counted text of
    // which at most nWidth - 1 bytes are stored in pszBuf (nWidth bytes);
    // the buffer is always terminated and the rest of a longer text is
    // consumed. When pstrWhole is given it receives the whole stored text if
    // that was longer than nWidth - 1 bytes, and is emptied otherwise, so a
    // caller can keep a long text whole beside its record. False also for a
    // null buffer or a width below 1.
    bool ReadTextField(char* pszBuf, int nWidth, std::string* pstrWhole = nullptr);
    // Reads an item (the type code is taken as it stands). False when a
    // read fails or a count or size promises more bytes than remain.
    bool ReadBinaryItem(PmBinaryItem& item);
    // A type code (not checked), then the quad.
    bool ReadQuadField(uint64_t& qValue);

    bool WriteIntField(int32_t nValue);        // type 1
    bool WriteBoolField(int32_t nValue);       // type 6
    bool WriteTextField(const char* pszText);  // type 5, int32 1, the counted text
    bool WriteTextField(const char* pText, size_t nLength);
    bool WriteQuadField(uint64_t qValue);  // type 68
    // Type, count, then by count: nothing (0); a, b, size and size bytes
    // (1 to 3); count bytes (4 and up). False, before anything is written,
    // when the item's buffer holds fewer bytes than it must write (size for
    // count 1 to 3, count for 4 and up): a count without its bytes would
    // make every later value of the file unreadable.
    bool WriteBinaryItem(const PmBinaryItem& item);

    // ---- Shared blocks (steps of both generations) -----------------------

    // The category block: int32 next free id, int32 N, then N entries of
    // int32 index, int32 id, int32 dirty, counted name, counted short name.
    // Reading replaces m_pCatMgr with a new list holding "Unfiled" (index 0,
    // id 0) and the file's entries, and clears its modified flag; a failed
    // read or add fails the step. Writing writes the list's next free id (128
    // without a list), the number of categories other than "Unfiled", and
    // those categories in slot order with their slot as index and dirty 0.
    virtual bool ReadCategories();
    virtual bool WriteCategories();
    // The schema block: int32 resource id, fields per row, record id
    // position, status position, placement position, int16 field count C,
    // C int16 type codes. Reading replaces m_Schema only when the whole
    // block was read; a C above m_Schema.nCapacity, or a fields per row
    // below 1 (records could not be counted), fails the step.
    virtual bool ReadSchema();
    virtual bool WriteSchema();

    // Copies the name of the category with id nId (at most 15 characters)
    // into szCatText (16 bytes) and answers true; false, leaving the buffer
    // as it was, when there is no list, no buffer, or no such category.
    bool GetCategoryName(int32_t nId, char* szCatText) const;
    // The category id for a name: 0 and true for a null or empty name;
    // otherwise the name cut to 15 characters is looked up ignoring letter
    // case. Not found: with bCreate false, 0 and false; with bCreate true a
    // new category (index -1, id -1) is added and its id answered, or -1 and
    // false when the list cannot take it. Without a list, bCreate makes one
    // holding "Unfiled".
    bool GetCategoryId(const char* pszName, int32_t& nId, bool bCreate);

    // ---- State ------------------------------------------------------------

    const char* GetFileName() const { return m_szFileName; }
    PmCategoryMgr* GetCategoryMgr() const { return m_pCatMgr.get(); }
    const PmSchema& GetSchema() const { return m_Schema; }
    // True after a load that succeeded; false before any load and after one
    // that failed.
    bool IsLoaded() const { return m_bLoaded; }
    // True after a load that failed, until a later load succeeds. Such a
    // reader never saves.
    bool HasLoadFailed() const { return m_bLoadFailed; }

    // Why the last open, load or save failed (the file missing, not a
    // regular file, not an address file, damaged at an offset, in use,
    // read-only, the disk full, the path too long). Cleared by each open.
    const FailReason& GetLastFailure() const { return m_LastFailure; }

    // Uses pHold (not owned; must outlive this reader) instead of a hold of
    // its own: the readers of one facade then hold the file together.
    void ShareHold(FileHold* pHold);

    // Test hook: from now on every save (any write opened on a file or in
    // memory) fails its writes once it has written nBytes bytes in total, as
    // a full disk would. Negative (the default) switches it off. Applies to
    // every PmDBUtil; the atomic writer's own hook
    // (AtomicFile::SetFailAfterBytesForTest) fails the commit instead.
    static void SetFailWritesAfterBytesForTest(long long nBytes);

    // Bit-exact conversions between a quad and the IEEE double it holds.
    static double QuadToDouble(uint64_t qValue);
    static uint64_t DoubleToQuad(double dValue);

    // Path of the file most recently opened, kept after closing; the
    // facade saves to it.
    char m_szFileName[kFileNameSize];
    // The file's category list; created by ReadCategories, null before.
    std::unique_ptr<PmCategoryMgr> m_pCatMgr;

protected:
    // ---- Step framework ---------------------------------------------------

    // A step reads (or writes) one section of the file at the current
    // position and answers true for success: a member function of the
    // generation T (virtual ones dispatch as usual), or a callable taking
    // the generation for a step that needs an argument.
    template <class T>
    using Step = std::function<bool(T&)>;

    // A load: opens pszPath for reading, runs the steps in order, stops at
    // the first that answers false, closes the file. On failure writes the
    // level-0 log entry "Can not load Palm Desktop Contacts: <path>" and
    // releases the file's hold; a file that opened but did not read fails
    // as "not a Palm Desktop address file" (or "an empty file") until the
    // generation's signature step calls MarkRecognised, and as "damaged at
    // byte N" after it, N being where reading stopped. Sets IsLoaded() and
    // HasLoadFailed(). The generation writes its own level-2 entry first.
    //   return RunLoad<PmAddrUtil>(pszPath, {&PmAddrUtil::ReadSignature, ...});
    template <class T>
    bool RunLoad(const char* pszPath, std::initializer_list<Step<T>> steps)
    {
        static_assert(std::is_base_of_v<PmDBUtil, T>, "steps belong to a PmDBUtil generation");
        bool bOk = BeginLoad(pszPath);
        for (const Step<T>& step : steps) {
            if (!bOk)
                break;
            bOk = step(*static_cast<T*>(this));
        }
        return EndLoad(pszPath, bOk);
    }

    // A save: refused when the last load failed; opens pszPath (an existing
    // file) for writing, runs the steps in order, stops at the first that
    // answers false, commits only when all succeeded, closes in every case.
    // The file is the old one or the new one, never a mix. m_szFileName
    // holds pszPath while the steps run.
    template <class T>
    bool RunSave(const char* pszPath, std::initializer_list<Step<T>> steps)
    {
        static_assert(std::is_base_of_v<PmDBUtil, T>, "steps belong to a PmDBUtil generation");
        if (!BeginSave(pszPath))
            return false;
        bool bOk = true;
        for (const Step<T>& step : steps) {
            bOk = step(*static_cast<T*>(this));
            if (!bOk)
                break;
        }
        return EndSave(bOk);
    }

    // The schema this reader last read, or its generation's defaults (set
    // them, nCapacity included, in the generation's constructor).
    PmSchema m_Schema;

    // A generation's signature step calls it once the file has shown itself
    // to be of its kind: a later failure is then "damaged at byte N" rather
    // than "not a Palm Desktop address file".
    void MarkRecognised() { m_bRecognised = true; }

    FailReason m_LastFailure;

private:
    // The frame of RunLoad and RunSave around their steps.
    bool BeginLoad(const char* pszPath);
    bool EndLoad(const char* pszPath, bool bOk);
    bool BeginSave(const char* pszPath);
    bool EndSave(bool bOk);
    bool FlushOut();

    int m_nMode;       // -1 closed, else the open mode
    bool m_bReading;   // reads allowed
    bool m_bWriting;   // writes allowed
    bool m_bToMemory;  // writes stay in m_outBuf
    bool m_bWriteFailed;
    bool m_bLoaded;
    bool m_bLoadFailed;
    std::vector<BYTE> m_inBuf;   // the whole content being read
    size_t m_nPos;               // read position in m_inBuf
    std::vector<BYTE> m_outBuf;  // bytes written, not yet handed to m_pOut
    long long m_nWritten;        // bytes written since Open
    FileHold* Hold();
    bool m_bRecognised = false;
    FileHold* m_pHold = nullptr;  // m_pOwnHold or a shared one
    std::unique_ptr<FileHold> m_pOwnHold;
    std::unique_ptr<AtomicFile> m_pOut;
};
