// Builds Palm Desktop 6 contacts databases ("address.mdb") for tests,
// benchmarks and the demo data.
//
// The database is a SQLite file with three tables:
//   "Main"        the 95 contact columns, then Photo, VoiceTag, Ringtone and
//                 Blob (binary); yes/no columns are declared BOOLEAN, the
//                 number columns INTEGER, the texts TEXT that compare
//                 without regard to letter case (as Jet does) and default
//                 to ''; an index on [Record ID];
//   "Category"    ID, Name, Status, Color;
//   "Information" Name, Note: one row per key (FreeRecID, CodePage...).
//
// A description fills a database, one directive per line (UTF-8; blank
// lines and lines starting with '#' are skipped):
//   info <Key>=<Value>                 one "Information" row (replaces the key)
//   category <ID>|<Name>[|<Status>|<Color>]
//   contact <Column>=<Value>|<Column>=<Value>...
//                                      one row of "Main"; columns not named
//                                      are 0 or ''; in values "\|", "\\" and
//                                      "\n" stand for '|', '\' and a line feed
//   generate <count> [<seed>]          that many made-up contacts with
//                                      record ids following the largest one,
//                                      the same for the same seed
// After filling, FreeRecID is one past the largest Record ID unless the
// description set it with an info line.
#pragma once

#include <map>
#include <string>
#include <vector>

// The 95 contact columns of "Main" in their order, with their SQL types.
struct D6Column {
    const char* pszName;
    const char* pszType;  // "INTEGER", "BOOLEAN" or "TEXT"
};
const std::vector<D6Column>& D6MainColumns();

// Creates a new database at path, filled from the description (may be
// empty: then FreeRecID is 1 and CodePage 1252). The file is built beside
// the target and renamed into place, so a failure leaves nothing behind.
// Fails when a file already exists at path, unless bReplace.
bool D6CreateDatabase(const std::string& path, const std::string& description, std::string* pError,
                      bool bReplace = false);

// Adds what the description says to an existing database, in one
// transaction.
bool D6FillDatabase(const std::string& path, const std::string& description, std::string* pError);

// Runs a select on the database file, read-only, and answers every row as
// column name -> value text (integers in decimal, null as "(null)"). For
// checking what a database holds. False, with pError set, when the file
// cannot be read or the select fails.
bool D6Query(const std::string& path, const std::string& sql, std::vector<std::map<std::string, std::string>>* pRows,
             std::string* pError);
