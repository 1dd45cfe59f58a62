// PmWholeTexts: texts of a loaded address file that their record members
// cannot hold as stored, kept whole beside the records.
//
// A record member is a fixed-width zero-terminated text. A stored text that
// is longer than the member (a 3000-character note in a 2048-byte member) or
// that holds a zero byte comes into the member cut. So that a load followed
// by a save never shortens a text, the reader keeps such a text whole here,
// keyed by the record in its list and the field number, and the writer
// writes the whole text back as long as the member still holds exactly what
// was read into it. Once the member has been changed, the member is written.
//
// Both address readers (classic and extended) use it through their data
// managers; the keys are the records' addresses in those lists, which never
// move while the list holds them.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class PmDBUtil;

class PmWholeTexts {
public:
    // Reads one text value from db: the type code 5 (any other fails), an
    // ignored int32, then the counted text. The member (nWidth bytes) is
    // zero-filled and receives at most nWidth - 1 bytes of the text. When the
    // member cannot hold the text as stored, strWhole receives all of it;
    // otherwise strWhole is emptied. False on a short read, a wrong type code,
    // a null member or a width below 1.
    static bool ReadTextField(PmDBUtil& db, char* pszMember, int nWidth, std::string& strWhole);

    // Writes the member as a text value (type 5, int32 1, counted text), or
    // *pWhole instead when pWhole is given and the member still holds what
    // reading *pWhole into a member of nWidth bytes gave.
    static bool WriteTextField(PmDBUtil& db, const char* pszMember, int nWidth, const std::string* pWhole);

    // Whether a member of nWidth bytes holds what reading strWhole into it
    // gave.
    static bool MemberHolds(const char* pszMember, int nWidth, const std::string& strWhole);

    // Keeps the whole text of field nField of the record at pRecord,
    // replacing one kept before.
    void Keep(const void* pRecord, int nField, std::string strWhole);
    // The whole text kept for that field, or null.
    const std::string* Find(const void* pRecord, int nField) const;
    // Forgets every kept text (call it whenever the records are freed).
    void Clear();
    size_t Count() const { return m_nCount; }

private:
    // A save looks up every text field of every record, one record after
    // the other: the texts by record, and the record looked up last at hand.
    using FieldTexts = std::vector<std::pair<int, std::string>>;
    std::unordered_map<const void*, FieldTexts> m_Texts;
    size_t m_nCount = 0;
    mutable const void* m_pLastRecord = nullptr;
    mutable const FieldTexts* m_pLastTexts = nullptr;  // of m_pLastRecord; null when it has none
};
