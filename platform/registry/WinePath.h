// Where the Wine prefix lies and how a Windows path inside it reaches Linux.
#pragma once

#include <string>

// The Wine prefix: $WINEPREFIX when set and not empty, else .wine in the
// home folder (HomeFolder: $HOME, else the password database's); without a
// trailing '/'. "" when neither gives a folder.
std::string GetWinePrefix();

// Maps a Windows path ("C:\Program Files\Palm", "d:/apps/palm/") to the
// Linux path that Wine gives it: the drive letter through
// <prefix>/dosdevices/<letter>:, the rest with '/' separators, "." and
// ".." folded, and every component resolved ignoring letter case when the
// path as written does not exist. A trailing separator is kept. The "\\?\"
// prefix is accepted. A path that is already a Linux path (starts with '/')
// comes back unchanged. "" when the path cannot be mapped: empty, relative,
// without a drive letter, a network (UNC) path, or no Wine prefix.
std::string MapWindowsPath(const std::string& windowsPath);
