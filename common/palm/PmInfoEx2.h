// PmInfoEx2: the facts a Desktop 6 database keeps about itself in its table
// "Information", one row per key (key in Name, value as text in Note).
#pragma once

#include <cstdint>

class PmInfoEx2 {
public:
    static constexpr int kTableStringSize = 1024;  // terminator included

    // All zero, TableString empty.
    PmInfoEx2();
    virtual ~PmInfoEx2();

    int32_t License;
    int32_t Version;
    int32_t Minor;
    int32_t CodePage;
    int32_t PreSahara;
    int32_t FreeRecID;  // the next record id that no row of "Main" uses yet
    char TableString[kTableStringSize];
};
