// PmDataAccessor: the statement builder and the query interface of the
// Desktop 6 databases.
//
// Statements are built as text from a table name, a list of column names
// and a list of typed values (VARIANT), and rows come back as arrays of
// typed values. The database code above this class never writes SQL itself.
// This base class owns the statement builder; its query operations do
// nothing and answer false. PmMDBAccessor runs them on the data module's
// connections.
//
// Value arrays: a row or a value list is an array of VARIANTs with a
// separate count, allocated by its producer (AllocValues, or a query) and
// released by its consumer with FreeValues, which frees every text first.
//
// Text values are 16-bit; the 8-bit texts of the program are converted in
// the ANSI code page (ToWide, ToNarrow). In a statement, a text value stands
// between apostrophes with every apostrophe of the text doubled, so
// O'Brien is written 'O''Brien' and found again as it was stored. Values are
// never cut: a statement that would not fit its buffer is not built at all.
//
// Single-threaded: the statement buffer is shared by the whole process, and
// each build overwrites the previous statement. A caller that needs a
// statement after building another keeps a copy.
#pragma once

#include <cstdint>

#include "platform/jetdb/JetValue.h"

// Statement operations of BuildSql.
enum SqlOp : int {
    kSqlSelect = 1,
    kSqlInsert = 2,
    kSqlDelete = 3,
    kSqlUpdate = 4,
};

// Which database of the data module an accessor uses.
enum AccessorKind : int {
    kAccessorAddress = 1,  // address book (the only one the contacts code uses)
    kAccessorDate = 2,     // date book
    kAccessorTodo = 3,     // to-do list
    kAccessorMemo = 4,     // memo pad
};

class PmDataAccessor {
public:
    // Capacity of the shared statement buffer, terminator not included.
    static constexpr int kSqlBufferSize = 40960;
    // Capacity of the last-statement field of QueryFirst, terminator included.
    static constexpr int kLastSqlSize = 4096;

    PmDataAccessor();
    // Calls Close().
    virtual ~PmDataAccessor();
    PmDataAccessor(const PmDataAccessor&) = delete;
    PmDataAccessor& operator=(const PmDataAccessor&) = delete;

    // Does nothing: connections belong to the data module.
    virtual void Close();

    // BuildSql on the tables "Information", "Category" and "Main".
    virtual char* BuildInformationSql(const char* pszWhere, int nOp, const char* const* ppszColumns,
                                      const VARIANT* pValues, int nCount);
    virtual char* BuildCategorySql(const char* pszWhere, int nOp, const char* const* ppszColumns,
                                   const VARIANT* pValues, int nCount);
    virtual char* BuildMainSql(const char* pszWhere, int nOp, const char* const* ppszColumns, const VARIANT* pValues,
                               int nCount);

    // Query operations; in this class they answer false. See PmMDBAccessor.
    virtual bool QueryFirst(const char* pszTable, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount);
    virtual bool QueryNext(const char* pszTable, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount);
    virtual bool OpenQuery(const char* pszSql, VARIANT** ppValues, int* pnCount);
    virtual bool NextRow(const char* pszSql, VARIANT** ppValues, int* pnCount);
    virtual bool Execute(const char* pszSql, bool bReturnsRows);

    // Builds one statement into the shared buffer and returns the buffer.
    // With no column list or a count below 1 the statement is empty, for
    // every op, and so it is for an unknown op, for an insert or update
    // without values, and for a statement longer than kSqlBufferSize.
    //  select: SELECT [a], [b] FROM <table> <where>   (a blank after the
    //          table even without a where text; values are not used)
    //  insert: INSERT INTO <table> ([a], [b]) VALUES (<va>, <vb>); with more
    //          than 30 columns [Photo], [VoiceTag], [Ringtone] follow the
    //          names and three 0x00000000 the values, and with more than 4
    //          columns [Blob] and one more 0x00000000 (the where text is
    //          not used)
    //  delete: DELETE FROM <table> <where>
    //  update: UPDATE <table> SET [a]=<va>, [b]=<vb> <where>
    // A null where text is left out; the blank before it is not.
    static char* BuildSql(const char* pszTable, const char* pszWhere, int nOp, const char* const* ppszColumns,
                          const VARIANT* pValues, int nCount);

    // Writes "WHERE [a] = <va> AND [b] = <vb>" into pszOut (nOutLength bytes,
    // terminator included). False without an output buffer, and when the
    // clause does not fit (pszOut is then ""). No columns, no values or a
    // count below 1 give "" and true.
    static bool BuildWhere(const char* const* ppszColumns, int nCount, const VARIANT* pValues, char* pszOut,
                           int nOutLength);

    // "SELECT MAX([column]) FROM <table>": the largest value of a column.
    static char* BuildMaxSql(const char* pszTable, const char* pszColumn);

    // One value as SQL text: VT_BOOL "1" or "0", VT_I4 its decimal digits,
    // VT_BSTR the text in the ANSI code page between apostrophes with every
    // apostrophe doubled ('' for no text), any other tag nothing. False, with
    // pszBuf "", when the text does not fit in nLength - 1 bytes or an
    // argument is missing.
    static bool FormatSqlValue(const VARIANT* pValue, char* pszBuf, int nLength);

    // Doubles every apostrophe of the terminated text in pszText, a buffer of
    // nSize bytes. An empty text is left alone. False, with the text
    // unchanged, when the result would not fit or an argument is missing.
    static bool ReplaceQuotes(char* pszText, int nSize);

    // Value makers. Each fills *pValue (whatever it held is not freed) and
    // answers false for a null pValue or when a text cannot be allocated.
    static bool IntValue(int32_t nValue, VARIANT* pValue);        // VT_I4
    static bool BoolValue(uint8_t bValue, VARIANT* pValue);       // VT_BOOL holding that byte
    static bool TextValue(const char* pszText, VARIANT* pValue);  // VT_BSTR; empty or null text gives no text
    static bool IntTextValue(int32_t nValue, VARIANT* pValue);    // VT_BSTR of the decimal digits

    // Value readers. Each answers false, leaving its target unchanged, for a
    // value it does not accept.
    // VT_I4, VT_I1, VT_I2, and VT_BSTR holding a decimal number (optionally
    // signed; a missing text or one without digits is refused).
    static bool ValueToInt(const VARIANT* pValue, int32_t* pnValue);
    // VT_BOOL only; stores 1 for any non-zero value.
    static bool ValueToBool(const VARIANT* pValue, uint8_t* pbValue);
    // VT_BSTR only; no text gives "", otherwise the text in the ANSI code
    // page cut to nSize - 1 bytes.
    static bool ValueToText(const VARIANT* pValue, char* pszBuf, int nSize);

    // Conversions in the ANSI code page. The last element of the buffer is
    // always set to zero, so the result is cut to nSize - 1 units. False for
    // a null buffer or a size below 1 (a null text converts as "").
    static bool ToNarrow(const char16_t* pszWide, char* pszBuf, int nSize);
    static bool ToWide(const char* pszText, char16_t* pszBuf, int nSize);

    // nCount values, all VT_EMPTY; null when nCount is below 1 or memory runs out.
    static VARIANT* AllocValues(int nCount);
    // Frees every text of the values, then the array. Null is harmless.
    static void FreeValues(VARIANT* pValues, int nCount);

    // The statement of the last QueryFirst ("" before the first).
    const char* GetLastSql() const { return m_szLastSql; }

protected:
    char m_szLastSql[kLastSqlSize];
};
