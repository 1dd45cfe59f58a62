// What the commands of varnwick-cli share: the exit statuses, how a
// complaint is reported, and how a side is named and loaded.
#pragma once

#include <string>

#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

// Exit statuses: success, a side that cannot be read or written, a usage error.
constexpr int kCliExitOk = 0;
constexpr int kCliExitSide = 1;
constexpr int kCliExitUsage = 2;

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
