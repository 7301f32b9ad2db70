#pragma once

// The client's search filter (its tokens read into the shared expression tree) as an RFC 4515
// filter string. Every value is escaped, so a value holding "(", ")", "\" or NUL is compared as it
// is and can never change the filter's structure; a "*" in an equality value of a string syntax is
// the directory's wildcard and becomes a substring filter ("\*" an asterisk itself).

#include "directory/client.h"

#include <functional>
#include <string>
#include <vector>

namespace era {

// Gives the DN of a directory name that stands as a value in a filter (a name-syntax value, the
// subject of an ACL value, the volume of a path).
using TNameToDn = std::function<NWCCODE(const std::string& name, std::string& dn)>;

// The filter string of the tokens; ErrInvalidFilterSyntax for tokens that make no filter, a code
// of nameToDn when a name cannot be turned into a DN, ErrIllegalAttributeSyntax for a value the
// filter cannot compare. A base class compares as an object class over LDAP; those the whole
// filter requires (reached through ANDs only) are given in baseClasses, for the caller to check
// the results' base classes against.
NWCCODE BuildLdapFilter(const std::vector<TFilterItem>& items, const TNameToDn& nameToDn, std::string& filter,
                        std::vector<std::string>* baseClasses = nullptr);

} // namespace era
