// The "ANSI code page": the 8-bit character set of every text the program
// keeps. Windows-1252 unless the settings choose another (section
// [CodePage], key Ansi, e.g. "CP1251"). Text stays 8-bit inside the program;
// these conversions are used only at its edges (the window, the Desktop 6
// database, JSON output).
//
// Conversions never fail and never lose an 8-bit text: a byte that the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D in Windows-1252) maps to
// the control character of the same number (U+0081...) and back, so
// Ansi -> UTF-8/UTF-16 -> Ansi gives the same bytes. A character the code
// page cannot hold, and malformed UTF-8 or UTF-16, become '?'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Chooses the ANSI code page by its iconv name ("CP1252", "CP1251",
// "WINDOWS-1250", "ISO-8859-15", "CP932"...). False, with the code page
// unchanged, when the name is null, empty or unknown. Safe to call at any
// time, but meant for start-up.
bool SetAnsiCodePage(const char* pszName);

// The iconv name of the current ANSI code page ("CP1252" by default).
std::string GetAnsiCodePage();

// Reads key Ansi of section [CodePage] from the settings file and sets it
// as the ANSI code page. False (code page unchanged) when the key is missing
// or names no known code page.
bool LoadAnsiCodePageSetting(const char* pszIniPath);

// One single-byte Windows code page the program offers for Palm data: its
// iconv name ("CP1251") and what it is for ("Cyrillic").
struct CodePageChoice {
    const char* pszName;
    const char* pszScript;
};

// The single-byte Windows code pages that this system's iconv can convert,
// Western (CP1252, always there) first, then by code page number.
std::vector<CodePageChoice> WindowsCodePages();

// Whether SetAnsiCodePage would accept the name; changes nothing.
bool IsKnownCodePage(const char* pszName);

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
std::u16string AnsiToWide(std::string_view ansi);
std::string WideToAnsi(std::u16string_view wide);

// Utf8ToAnsi that says whether the text came through whole: false when the
// UTF-8 is malformed or holds a character the ANSI code page cannot hold
// (*pAnsi then has '?' in its place, as Utf8ToAnsi gives it).
bool Utf8ToAnsiExact(std::string_view utf8, std::string* pAnsi);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Text in the character set named pszCharset (an iconv name such as
// "ISO-8859-1", "WINDOWS-1252", "UTF-8") as UTF-8. False, *pUtf8 untouched,
// when the character set is unknown or the bytes are not valid in it.
bool CharsetToUtf8(const char* pszCharset, std::string_view text, std::string* pUtf8);
