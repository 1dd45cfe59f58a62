// The export and import commands of varnwick-cli: one side's contacts to a
// vCard or CSV file (or standard output), and such a file into one side.
#pragma once

#include <string>
#include <vector>

#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

// The command line's complaint, then the exit status: one line on standard
// error, or with --json a JSON error object on standard output.
int CliFail(int nStatus, const std::string& strReason);
// A failure the printed result already tells of: the line on standard error
// only, so that JSON output stays one document.
int CliFailAfterOutput(int nStatus, const std::string& strReason);

// Sets the settings' path of one side from the command line; a path too
// long for the settings is not cut but kept out, and named when loading.
void CliSetSidePath(SysSettings& settings, bool bPalm, const std::string& strPath);

// "option --format needs a format": the complaint of an option given
// without its value, exit status 2.
int CliMissingValue(const std::string& strOption, const char* pszWhat);

// Loads one side as the settings name it, or fails with the side's reason
// (exit status 1). A named address book that does not exist is refused
// unless bMayCreate.
int CliLoadSide(SysSettings& settings, TransferEngine& engine, ListType eSide, bool bMayCreate);

// export palm|wab [--format F] [--ticked-state LIST] [--palm FILE]
//        [--wab FILE] [-o FILE] [--json]
// The engine is started by the command. Answers the exit status.
int RunExportCommand(SysSettings& settings, TransferEngine& engine, const std::vector<std::string>& args);

// import FILE --into palm|wab [--format F] [--palm FILE] [--wab FILE] [--json]
int RunImportCommand(SysSettings& settings, TransferEngine& engine, const std::vector<std::string>& args);
