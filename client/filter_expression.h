#pragma once

// The client's search filter as an expression tree: what a backend evaluates (the embedded
// directory) or writes in its own filter language (LDAP), read from the token items that a search
// request buffer holds.
//
// The tokens are infix. Precedence: NOT binds tightest, then AND, then OR; parentheses group.
// "a AND b OR NOT c AND d" reads as "(a AND b) OR ((NOT c) AND d)". A chain of one operator
// becomes one node with all its operands in order.

#include "directory/client.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace era {

enum class TFilterNodeKind : uint8_t {
    And,            // all operands hold (two or more)
    Or,             // one operand holds (two or more)
    Not,            // the one operand does not hold
    Compare,        // attribute, relation, value
    Present,        // the object holds the attribute
    RelativeName,   // the object's relative name is Name
    BaseClass,      // the object's base class is Name
};

enum class TFilterRelation : uint8_t { Equal, GreaterOrEqual, LessOrEqual, Approximate };

struct TFilterNode {
    TFilterNodeKind Kind = TFilterNodeKind::Present;
    std::vector<TFilterNode> Operands;             // And, Or, Not
    std::string Name;                              // the attribute, the relative name or the class
    uint32_t Syntax = SynUnknown;                  // Compare, Present: the attribute's syntax as given
    TFilterRelation Relation = TFilterRelation::Equal;   // Compare
    TAttrValue Value;                              // Compare: the value in the client's form
    uint32_t ValueSyntax = SynUnknown;             // Compare: the syntax given with the value
};

// Whether "*" in an equality value of the syntax is a wildcard, as the directory treats it: the
// string syntaxes (case exact, case ignore, printable, numeric, telephone number).
bool IsWildcardSyntax(uint32_t syntax);
// An equality value of a wildcard syntax cut at its wildcards into the literal pieces around them;
// "\*" stands for an asterisk itself, every other backslash for itself. One piece: no wildcard.
// "j*" gives "j" and an empty piece; "*" two empty pieces.
std::vector<std::string> SplitWildcards(std::string_view value);

// Reads the token items of a filter (ending with the end token) into root; -326 for a malformed
// stream (unbalanced groups, an operator without operand, a leaf without its parts, an unknown
// token, anything after the end, nesting deeper than MaxFilterDepth).
NWCCODE ParseFilterExpression(const std::vector<TFilterItem>& items, TFilterNode& root);

} // namespace era
