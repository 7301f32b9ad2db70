#pragma once

// The embedded directory's store: one tree loaded from an LDIF export, immutable once loaded.
//
// Objects live in one vector ([Root] first, then the file's records in file order) and refer to
// each other by index. Indexes answer the questions the client and the rights engine ask without
// walking the tree: an object by its full name (case-insensitive hash), by its object ID, the
// children of a container (in file order), and which objects hold a given object as a value of a
// given name attribute (Security Equals, Member, Group Membership, ACL subjects ...).

#include "client/name_forms.h"
#include "directory/client.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace era {

constexpr uint32_t NoObject = 0xFFFFFFFFu;
constexpr uint32_t NoAttribute = 0xFFFFFFFFu;
constexpr uint32_t RootObject = 0;

// How a stored name (a name-syntax value, an ACL subject, a path's volume ...) is held.
enum class TNameRef : uint8_t {
    None,      // the value holds no name
    Object,    // Object: the object it names
    Special,   // Text: a bracketed special name ("[Public]", "[This]", "[Inheritance Mask]" ...)
    Dangling,  // Text: the typed full name of an object that is not in the tree ("CN=gone.O=acme")
};

// One value as loaded; what the fields hold depends on the attribute's syntax.
struct TStoredValue {
    std::string Text;          // text or bytes; a name that is no object (see TNameRef)
    std::string Extra;         // ACL: protected attribute (directory name); path: path in volume
    uint32_t Object = NoObject;
    uint32_t Number = 0;       // ACL privileges; integer, boolean, seconds, name space, level, amount, type
    uint32_t Number2 = 0;      // typed name: interval; replica pointer: replica number; time stamp: event
    TNameRef Name = TNameRef::None;
};

// One attribute of an object with its values in file order.
struct TStoredAttribute {
    uint32_t Attribute = NoAttribute;   // index into TSnapshotTree::Attributes()
    std::vector<TStoredValue> Values;
};

// An attribute that some object of the tree holds.
struct TAttributeDef {
    std::string Name;       // directory name ("Security Equals")
    std::string LdapName;   // as the file wrote it first ("securityEquals")
    uint32_t Syntax = SynCiString;
};

struct TSnapshotObject {
    TNamePart Rdn;                       // naming type (directory name) and value; [Root]: empty
    uint32_t Parent = NoObject;          // [Root] has none
    std::vector<uint32_t> Children;      // in file order
    std::string BaseClass;               // directory class name
    bool Container = false;
    uint32_t AliasTarget = NoObject;     // an alias: the object it stands for
    NWObjectID ID = 0;
    uint32_t CreationTime = 0;           // seconds since 1970, 0 when the file gives none
    uint32_t ModificationTime = 0;
    uint32_t Line = 0;                   // line of the record in the LDIF file (0: [Root] not in the file)
    std::vector<TStoredAttribute> Attributes;   // in the order the record first names them
};

class TSnapshotTree {
public:
    explicit TSnapshotTree(std::string name);

    const std::string& Name() const { return name_; }
    const std::string& SourceFile() const { return sourceFile_; }
    const std::vector<TSnapshotObject>& Objects() const { return objects_; }
    const TSnapshotObject& Object(uint32_t index) const { return objects_[index]; }
    const std::vector<TAttributeDef>& Attributes() const { return attributes_; }

    // The object with that full name ([Root]: no parts), or NoObject.
    uint32_t FindObject(const TNameParts& full) const;
    // The object with that hash key (NameKey of its full name), or NoObject.
    uint32_t FindObjectByKey(const std::string& key) const;
    // The object with that object ID, or NoObject.
    uint32_t FindObjectByID(NWObjectID id) const;
    // The attribute with that directory name (any letter case), or NoAttribute.
    uint32_t FindAttribute(std::string_view directoryName) const;
    // The values of an attribute of an object, or nullptr when the object does not hold it.
    const TStoredAttribute* AttributeOf(uint32_t object, uint32_t attribute) const;
    // The objects that hold target as a value of a name attribute (or as an ACL subject), each
    // once, in file order.
    const std::vector<uint32_t>& Holders(uint32_t attribute, uint32_t target) const;
    // The same for values that name no object: a bracketed name ("[Public]", any letter case)
    // and the name of an object that is not in the tree (by the NameKey of its full name).
    const std::vector<uint32_t>& SpecialHolders(uint32_t attribute, std::string_view special) const;
    const std::vector<uint32_t>& DanglingHolders(uint32_t attribute, std::string_view key) const;
    // The full name of an object (its part first; [Root]: none).
    TNameParts FullName(uint32_t object) const;
    // True when object lies below container (not the container itself).
    bool IsBelow(uint32_t object, uint32_t container) const;
    // The object an alias stands for, following chains of aliases; NoObject when it ends nowhere.
    uint32_t Dereference(uint32_t object) const;

    // --- Building (the loader)
    void SetSourceFile(std::string file) { sourceFile_ = std::move(file); }
    std::vector<TSnapshotObject>& MutableObjects() { return objects_; }
    // The index of an attribute, added when new.
    uint32_t InternAttribute(const std::string& directoryName, std::string_view ldapName, uint32_t syntax);
    // Registers an object's full name; false when another object has it.
    bool IndexName(const std::string& key, uint32_t object);
    // Registers an object ID; false when another object has it.
    bool IndexID(NWObjectID id, uint32_t object);
    // Records that holder names target in attribute.
    void IndexHolder(uint32_t attribute, uint32_t target, uint32_t holder);
    // Records that holder names a bracketed name, or an object not in the tree, in attribute.
    void IndexSpecialHolder(uint32_t attribute, std::string_view special, uint32_t holder);
    void IndexDanglingHolder(uint32_t attribute, std::string_view key, uint32_t holder);
    // Makes room for about that many objects before loading.
    void Reserve(size_t objects);
    // Lets the indexes give back their spare room once loading is done.
    void FinishIndexes();

private:
    static uint64_t HolderKey(uint32_t attribute, uint32_t target) {
        return (static_cast<uint64_t>(attribute) << 32) | target;
    }

    std::string name_;
    std::string sourceFile_;
    std::vector<TSnapshotObject> objects_;
    std::vector<TAttributeDef> attributes_;
    std::unordered_map<std::string, uint32_t> byName_;   // NameKey -> object
    std::unordered_map<NWObjectID, uint32_t> byID_;
    std::unordered_map<std::string, uint32_t> attributeByName_;   // folded directory name -> attribute
    std::unordered_map<uint64_t, std::vector<uint32_t>> holders_;
    // Keyed by attribute, kind ('s' special, 'd' dangling) and the folded name or the name key.
    std::unordered_map<std::string, std::vector<uint32_t>> textHolders_;
};

} // namespace era
