// PmCategoryEx2: one category of a Desktop 6 database, a row of its table
// "Category" (columns ID, Name, Status, Color).
#pragma once

#include <cstdint>

class PmCategoryEx2 {
public:
    static constexpr int kNameSize = 256;    // name buffer, terminator included
    static constexpr int kMaxSetName = 254;  // characters SetName keeps

    // All fields zero, the name empty.
    PmCategoryEx2();
    PmCategoryEx2(const PmCategoryEx2& other) = default;
    PmCategoryEx2& operator=(const PmCategoryEx2& other) = default;
    virtual ~PmCategoryEx2();

    // Copies at most 254 characters of pszName (null: "") and terminates.
    void SetName(const char* pszName);

    int32_t m_nId;             // column ID
    char m_szName[kNameSize];  // column Name, 8-bit text
    int32_t m_nStatus;         // column Status; 1 for a category this program created
    int32_t m_nColor;          // column Color; 0 for a category this program created
};
