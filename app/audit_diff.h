#pragma once

// What changed between two saved audits: the trustee rows of two summaries (the text that a scan
// prints or saves as TXT, or its JSON Lines) read back into records and compared per object or
// path, trustee and protected attribute.

#include "app/report.h"

#include <string>
#include <string_view>
#include <vector>

namespace era {

// One trustee row of an audit within its item, as the diff compares it.
struct TAuditRow {
    std::string Trustee;
    std::string Attribute; // of an object's row
    std::string Class;
    std::string Rights; // the letters between the brackets, blanks kept
};

// One object or path of an audit and its rows, in the audit's order.
struct TAuditItem {
    TSummaryRow Item; // its tree and object, or a path's tree, server, volume and path
    std::vector<TAuditRow> Rows;
};

// Whether two records name the same object or path.
bool SameItem(const TSummaryRow& a, const TSummaryRow& b);

// Reads the trustee rows of a saved audit, in either form (told by its first line: "Version: ..."
// of the text, "{" of JSON Lines), grouped by item. Texts come out as the outputs show them
// (control characters escaped, bytes that are no UTF-8 read as Windows-1252), whichever form they
// were read from. False with error "NAME:LINE: what is wrong" (NAME the name given) when the
// content is neither form, is a detailed trace, or has a line of its form that cannot be read.
bool ParseAudit(std::string_view content, const std::string& name, std::vector<TAuditItem>& items,
                std::string& error);
// The same of a file; error also when the file cannot be read.
bool ReadAudit(const std::string& path, std::vector<TAuditItem>& items, std::string& error);

enum class TChangeKind { Added, Removed, Changed };

// One row that differs: Old (removed, changed) and New (added, changed) as the audits hold them.
struct TRowChange {
    TChangeKind Kind;
    TAuditRow Old;
    TAuditRow New;
};

// The changes of one object or path, in the order of its trustees and attributes.
struct TItemChanges {
    TSummaryRow Item;
    std::vector<TRowChange> Changes;
};

// The rows of new that old lacks (added), of old that new lacks (removed), and of both whose rights
// differ (changed), grouped by object or path in the order the audits first name them (old's
// first); a row is known by its item, trustee and attribute. Empty when the audits agree.
std::vector<TItemChanges> DiffAudits(const std::vector<TAuditItem>& oldItems,
                                     const std::vector<TAuditItem>& newItems);

// The changes as text: per item its heading as the summary writes it, then one tab-separated row
// per change ("Added:", "Removed:" or "Changed:", class, [rights], trustee, attribute; a changed
// row adds "was: [OLD]"), and an empty line.
std::string DiffText(const std::vector<TItemChanges>& changes);
// The changes as JSON Lines, one record per changed row (docs/json-schema.md).
std::string DiffJson(const std::vector<TItemChanges>& changes);

} // namespace era
