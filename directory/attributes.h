#pragma once

// Reading the directory: an object's basic information, one attribute with all its values as
// text lines, attribute paths (Member|Telephone Number) and pseudo-attributes, and the effective
// rights the directory itself reports.

#include "directory/client.h"
#include "util/string_list.h"

#include <string>

namespace era {

// An object's full name, base class and the client's information record.
struct DSObjectInfo {
    std::string FullName;
    std::string BaseClass;
    TObjectInfo Info;
};

// Fills the record from the object's information (the base class only when still empty).
NWCCODE U_DSReadObjectInfo(NWDSContextHandle context, const std::string& name, DSObjectInfo& info);
// Whether the object can be read and has a full name; code (when given) receives the read's code.
bool U_DSObjectExists(NWDSContextHandle context, const std::string& name, DSObjectInfo& info,
                      NWCCODE* code = nullptr);
// Whether the object can be read and is a container.
bool U_DSIsContainer(NWDSContextHandle context, const std::string& name);
// Not a container; an object that cannot be read counts as a leaf.
bool U_DSIsLeaf(NWDSContextHandle context, const std::string& name);
// Appends one line per value of the attribute (several for some values).
NWCCODE U_DSGetAttribute(NWDSContextHandle context, const std::string& object, const std::string& attribute,
                         TStringList& lines);
// Replaces the list's content with the lines of an attribute path ("|"-separated) or pseudo-attribute
// ("CONTEXT", "RDN", "CLASS", "createTimeStamp", "modifyTimestamp").
NWCCODE U_DSGetAttributeEx(NWDSContextHandle context, const std::string& object, const std::string& path,
                           TStringList& lines);
// The path's lines joined by CR LF without trailing line breaks; text is left alone on failure.
NWCCODE U_DSGetAttributeText(NWDSContextHandle context, const std::string& object, const std::string& path,
                             std::string& text);
// The directory name of a connection's server.
NWCCODE U_DSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE connection, std::string& serverDN);
// The directory's own effective rights of subject (empty: the logged-in user) on object for a protected
// attribute (empty: "[Entry Rights]") as a rights text, "[n/a]" on failure; mask gets the bits (0 on failure),
// code (when given) the client's completion code.
std::string U_DSGetEffectiveRights(NWDSContextHandle context, const std::string& subject, const std::string& object,
                                   const std::string& attribute, uint32_t& mask, NWCCODE* code = nullptr);

} // namespace era
