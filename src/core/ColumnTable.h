// The column table of the two contact lists.
//
// Row i describes list column i: its width and caption, the settings flag
// that shows it, and what it shows on each side. Row 0 is empty and never a
// column; column 1 ("Display Name") is always shown and takes its text from
// its own sources (the Palm first and last name, the address book's display
// name), so its field entries are 0. Every other column is shown when its
// flag is set, in table order.
#pragma once

#include <cstdint>

#include "platform/wintypes/WinTypes.h"
#include "src/core/SysSettings.h"

struct ColumnDef {
    int32_t nWidth;               // in pixels
    const char* pszCaption;       // at most 35 characters
    int SysSettings::*pShowFlag;  // the Show... setting; null for column 1
    int32_t nPalmFieldId;         // neutral catalog id of the Palm value; 0 for rows 0 and 1
    ULONG ulWabTag;               // MAPI tag of the WabRecord text field; 0 for rows 0 and 1
};

// Number of rows of the table; columns are 1 .. kColumnCount - 1.
constexpr int kColumnCount = 27;

// The table itself (one constant table, defined once).
extern const ColumnDef g_ColumnDef[kColumnCount];

// True when column nIndex (1 to 26) is shown with these settings: column 1
// always, every other column when its flag is nonzero. False outside 1-26.
bool IsColumnShown(const SysSettings& settings, int nIndex);
