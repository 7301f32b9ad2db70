#pragma once

// The program's own directory search notation — "(Security Equals=%s)", AND/OR/NOT in several
// spellings, typed values — turned into the client's filter tokens, run as a search and formatted
// per found object with an output template ("#NAME#", "#CLASS#", "#[format][key]#").

#include "directory/client.h"
#include "util/string_list.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace era {

// Called per found object with the search's iteration handle and the caller's value.
using TSearchCallback = std::function<void(int32_t iterationHandle, intptr_t userValue)>;

// The filter text split into its tokens, one per line, in the notation's replacement order.
std::vector<std::string> TokenizeFilter(const std::string& filter);
// Whether the filter holds as many "(" as ")".
bool FilterIsBalanced(const std::string& filter);
// Emits the client tokens of a tokenised filter into cursor (allocated at the first token);
// a code for an item without operator, a bad value or a failed syntax lookup.
NWCCODE EmitFilterTokens(NWDSContextHandle context, const std::vector<std::string>& tokens,
                         std::unique_ptr<TFilterCursor>& cursor);
// The value of a filter item in the client's form for the syntax; -613 unreadable, -325 unsupported.
NWCCODE ConvertFilterValue(const std::string& text, uint32_t syntax, TAttrValue& value);

// Why a filter cannot be searched as written, for the message of a search that failed with code:
// parentheses that do not pair, groups nested deeper than the client takes, a comparison without
// an operator or with one the notation lacks ("~="), or more terms than the request buffer holds;
// empty when the text does not show it.
std::string FilterProblem(const std::string& filter, NWCCODE code);

// Searches from base over scope (0 the base, 1 its subordinates, 2 the subtree). Per found object
// the found counter is incremented, the template formatted, the callback called and the line added
// to results (with the position of "#NAME#" attached). Stops at maxCount (0: none) or when
// *stopFlag is set.
NWCCODE U_DSSearch(NWDSContextHandle context, const std::string& base, const std::string& filter,
                   intptr_t userValue, const bool* stopFlag, const TSearchCallback& callback, int& found,
                   int maxCount, const std::string& outputTemplate, TStringList* results, int scope);
// The search with the template "#NAME#" and no callback, stop flag or maximum.
NWCCODE U_DSFilteredSearch(NWDSContextHandle context, const std::string& base, const std::string& filter,
                           TStringList* results, int scope);

// The template filled for one found object; namePosition is where "#NAME#" stood (0: nowhere).
std::string FormatSearchTemplate(NWDSContextHandle context, const std::string& outputTemplate,
                                 const std::string& name, const std::string& baseClass, uint32_t& namePosition);

} // namespace era
