#pragma once

// LDAP values in the client's value forms, the other way for search filters, and the encoding of
// eDirectory's effective-privileges operation.
//
// Values come from the server as text in eDirectory's LDAP notations (an ACL as
// privileges#scope#subject#attribute, a path as volume#name space#path, ...); each syntax becomes
// the same value the embedded directory hands out for the same line of an LDIF export.

#include "directory/client.h"

#include <functional>
#include <string>
#include <string_view>

namespace era {

// Writes a name value as the context hands names back: a DN, or a bracketed special name.
using TNameWriter = std::function<std::string(std::string_view dnOrSpecial)>;

// One value of an attribute of the given syntax. A value that does not read in its syntax's
// notation comes back as its text (the formatter then reports it instead of showing a value).
TAttrValue LdapValueToAttrValue(uint32_t syntax, std::string_view text, const TNameWriter& name);

// An ACL value privileges#scope#subject#protected attribute: the privileges with bit 0x40 set the
// way the directory reads it (set on an entry-rights assignment that is not inherited and on an
// attribute-rights assignment that is), the subject as written, the protected attribute by its
// directory name. False for a value of another shape.
bool ParseLdapAcl(std::string_view text, uint32_t& privileges, std::string& subject, std::string& attribute);

// A value for an RFC 4515 filter: "*", "(", ")", "\" and NUL (and every byte outside printable
// ASCII) written as \xx, so no value can change the filter's structure.
std::string EscapeFilterValue(std::string_view value);

// The request value of eDirectory's effective-privileges operation: the object's DN, the
// subject's DN and the protected attribute (its LDAP name, or "[Entry Rights]" / "[All Attributes
// Rights]"), as three DER octet strings one after the other, with no SEQUENCE around them.
std::string EncodeEffectivePrivilegesRequest(const std::string& objectDn, const std::string& subjectDn,
                                             const std::string& attribute);
// The privileges in a reply value: one bare INTEGER and nothing else.
bool DecodeEffectivePrivilegesReply(std::string_view reply, uint32_t& privileges);
// The identity in a reply of eDirectory's Get Bind DN operation (one octet string holding the
// DN), written as Who-am-I writes it: "dn:<DN>", or empty for an anonymous connection.
bool DecodeGetBindDnReply(std::string_view reply, std::string& authzId);

} // namespace era
