// TdmMain: the data module, the holder of the program's database
// connections.
//
// Four connections, one per Palm Desktop 6 database (addresses, date book,
// to-do, memos), and one query bound to each. A connection once opened stays
// open until it is opened again on another file or the module ends, and
// each select replaces its query's result: only one result per database can
// be walked at a time.
//
// The program has one data module, dmMain. Start-up creates it by calling
// TdmMain::Instance(); anything that needs it before (tools, tests) gets it
// created the same way. It lives until the program ends.
#pragma once

#include "platform/jetdb/JetConnection.h"
#include "platform/jetdb/JetQuery.h"

class TdmMain {
public:
    TdmMain();
    ~TdmMain();
    TdmMain(const TdmMain&) = delete;
    TdmMain& operator=(const TdmMain&) = delete;

    // The program's data module, created on the first call.
    static TdmMain* Instance();

    // Declared before the queries, so the queries are destroyed first.
    JetConnection connAddr;
    JetConnection connDate;
    JetConnection connTodo;
    JetConnection connMemo;

    JetQuery qryAddr;
    JetQuery qryDate;
    JetQuery qryTodo;
    JetQuery qryMemo;
};

// The program's data module; null until TdmMain::Instance() first runs.
extern TdmMain* dmMain;
