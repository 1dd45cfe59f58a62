// A stand-in for the address-book library that forwards to the real one but
// fails one chosen call, so tests reach every failure path of a connection.
// Install it with UseFaultyWab(); UseRealWab() restores the real library.
#pragma once

#include "platform/wab/WabApi.h"

enum class WabFault {
    None,
    WabOpen,          // WABOpen fails
    GetPab,           // IAddrBook::GetPAB fails
    OpenPab,          // IAddrBook::OpenEntry of the container fails
    ContentsTable,    // IABContainer::GetContentsTable fails
    SetColumns,       // IMAPITable::SetColumns fails
    SeekRow,          // IMAPITable::SeekRow fails
    QueryRowsSecond,  // the second IMAPITable::QueryRows fails
    OpenSecondEntry,  // IAddrBook::OpenEntry of the second entry fails
    Templates,        // the container answers no PR_DEF_CREATE_DL
    CreateEntry,      // IABContainer::CreateEntry fails
};

// Installs the forwarding library with the given fault for connections
// constructed afterwards.
void UseFaultyWab(WabFault fault);
// Restores the real library.
void UseRealWab();
