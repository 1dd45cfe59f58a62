// The version number stored in a Windows executable's version resource.
#pragma once

// Reads the fixed file version of pszPath. All four outputs are set to 0
// first (null outputs are skipped). major and minor are the high and low 16
// bits of the most significant version word, release and build those of the
// least significant one. False when the path is null or empty or the file
// has no readable version resource.
bool GetFileVersion(const char* pszPath, int* pnMajor, int* pnMinor, int* pnRelease, int* pnBuild);
