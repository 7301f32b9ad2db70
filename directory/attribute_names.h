#pragma once

// The special names of the directory: the pseudo-attributes that rights are granted on, and the
// names that stand for no object of the tree. Written once here, so a comparison and the text it
// compares with cannot drift apart. They are character arrays so that they serve as text,
// as printf arguments and in comparisons with std::string and std::string_view alike.

namespace era {

// Pseudo-attributes of an ACL.
inline constexpr char EntryRightsAttr[] = "[Entry Rights]";                    // rights on the object itself
inline constexpr char AllAttributesRightsAttr[] = "[All Attributes Rights]";   // rights on every attribute
inline constexpr char InheritanceMaskAttr[] = "[Inheritance Mask]";            // what a container lets flow down

// Special names: trustees and the top of the tree.
inline constexpr char RootName[] = "[Root]";               // the top of the tree
inline constexpr char ThisName[] = "[This]";               // the object itself as trustee
inline constexpr char PublicName[] = "[Public]";           // everyone, logged in or not
inline constexpr char SupervisorName[] = "[Supervisor]";   // the tree's supervisor

} // namespace era
