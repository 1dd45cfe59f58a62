// The export and import commands of varnwick-cli: one side's contacts to a
// vCard or CSV file (or standard output), and such a file into one side.
#pragma once

#include "cli/CliOptions.h"
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

// export palm|wab [--format F] [--ticked-state LIST] [--palm FILE]
//        [--wab FILE] [-o FILE] [--json], as read against export's table.
// The engine is started by the command. Answers the exit status.
int RunExportCommand(SysSettings& settings, TransferEngine& engine, const CliArgs& args);

// import FILE --into palm|wab [--format F] [--palm FILE] [--wab FILE] [--json]
int RunImportCommand(SysSettings& settings, TransferEngine& engine, const CliArgs& args);
