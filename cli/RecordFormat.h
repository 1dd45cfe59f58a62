// How varnwick-cli prints neutral records: as JSON objects keyed by the
// field catalog's names, or as indented "Name: value" lines.
//
// Only fields with a value are printed: text that is not empty, a date that
// is set, a nonzero gender or private flag, a known source type (by its
// label). "Status" is the record's classification against the other side
// and is printed by the commands that classify, not as a field. Text is
// converted from the ANSI code page to UTF-8; dates are ISO 8601
// ("1970-01-31T00:00:00").
#pragma once

#include <string>
#include <string_view>

#include "cli/JsonWriter.h"

struct CommAddrRecord;

// s as a JSON string literal, quotes included. s must be UTF-8; control
// characters, quotes and backslashes are escaped.
std::string JsonString(std::string_view s);

// The record as one JSON object on one line: written as a value, or returned.
void WriteRecordJson(JsonWriter& json, const CommAddrRecord& record);
std::string RecordToJson(const CommAddrRecord& record);

// s for one line of text output: a backslash becomes "\\", a line break
// "\n" or "\r" and a tab "\t", so that a value never splits its line.
std::string OneLine(std::string_view s);

// The record as lines "<indent>Name: value\n", one per field with a value:
// written out, or returned. Every value stays on its line (OneLine) but the
// note, whose lines follow under the indent.
void WriteRecordText(OutputBuffer& out, const CommAddrRecord& record, const char* pszIndent);
std::string RecordToText(const CommAddrRecord& record, const char* pszIndent);

// An OLE Automation date as ISO 8601 date and time; "" when the value is
// outside the calendar.
std::string IsoDate(double dtValue);
