#pragma once

// The summary's trustee rows as JSON Lines: one self-contained record per row, naming its tree
// (and of a path its server and volume) and its object or path, so that records can be written
// item by item and files of them concatenated. docs/json-schema.md describes the records.

#include "app/report.h"

#include <string>
#include <string_view>
#include <vector>

namespace era {

// The value of every record's "schema" field: the layout's name and version. A version is raised
// when a field is removed or changes its meaning; new fields may come without one.
constexpr const char* SummarySchema = "era.summary/1";
// The same of the records of era diff.
constexpr const char* DiffSchema = "era.diff/1";

// The text as valid UTF-8: every byte that is not part of a well-formed UTF-8 sequence is read as
// a character of Windows-1252, the code page the directory's names came in (its five unassigned
// bytes as the control characters of the same number).
std::string ValidUtf8(std::string_view bytes);
// A JSON string literal of a text as the outputs show it: its escapes undone, made valid UTF-8,
// and quoted — '"' and '\' escaped, control characters (C0, DEL, C1) as \n, \r, \t, \b, \f or
// \u00hh; every other character as its UTF-8 bytes.
std::string JsonString(std::string_view shown);

// The fields that name a row: "tree", then "server", "volume" and "path" of a path or "object"
// of an object, "trustee", and of an object "attribute"; each with its leading comma.
std::string RowKeyJson(const TSummaryRow& row);

// One trustee row as one line of JSON, without the line end.
std::string SummaryRowJson(const TSummaryRow& row);

// The rows as JSON Lines, each line ended by a line feed.
std::string SummaryRowsJson(const std::vector<TSummaryRow>& rows);

} // namespace era
