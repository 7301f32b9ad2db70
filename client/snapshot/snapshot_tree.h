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
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace era {

constexpr uint32_t NoObject = 0xFFFFFFFFu;
constexpr uint32_t NoAttribute = 0xFFFFFFFFu;
constexpr uint32_t RootObject = 0;

// A text the tree holds: a view of bytes kept in the tree's own store (or of a constant), read
// like the string it stands for. It lives as long as the tree; copies are views of the same bytes.
class TStoredText {
public:
    static constexpr size_t npos = std::string_view::npos;

    constexpr TStoredText() = default;
    constexpr TStoredText(const char* text) : TStoredText(std::string_view(text)) {}
    constexpr TStoredText(std::string_view text) : data_(text.data()), size_(static_cast<uint32_t>(text.size())) {}

    std::string_view View() const { return {data_, size_}; }
    operator std::string_view() const { return View(); }
    operator std::string() const { return std::string(data_, size_); }

    const char* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char* begin() const { return data_; }
    const char* end() const { return data_ + size_; }
    char operator[](size_t i) const { return data_[i]; }
    char front() const { return data_[0]; }
    char back() const { return data_[size_ - 1]; }
    size_t find(char c, size_t from = 0) const { return View().find(c, from); }
    size_t find(std::string_view part, size_t from = 0) const { return View().find(part, from); }
    size_t rfind(char c, size_t from = npos) const { return View().rfind(c, from); }
    // The part (a view of the same bytes).
    TStoredText substr(size_t from = 0, size_t count = npos) const { return View().substr(from, count); }

    friend bool operator==(const TStoredText& a, std::string_view b) { return a.View() == b; }
    friend std::string operator+(std::string_view a, const TStoredText& b) {
        std::string joined;
        joined.reserve(a.size() + b.size());
        return joined.append(a).append(b.View());
    }
    friend std::string operator+(const TStoredText& a, std::string_view b) {
        std::string joined;
        joined.reserve(a.size() + b.size());
        return joined.append(a.View()).append(b);
    }
    friend std::ostream& operator<<(std::ostream& out, const TStoredText& text) { return out << text.View(); }

private:
    const char* data_ = "";
    uint32_t size_ = 0;
};

// How a stored name (a name-syntax value, an ACL subject, a path's volume ...) is held.
enum class TNameRef : uint8_t {
    None,      // the value holds no name
    Object,    // Object: the object it names
    Special,   // Text: a bracketed special name ("[Public]", "[This]", "[Inheritance Mask]" ...)
    Dangling,  // Text: the typed full name of an object that is not in the tree ("CN=gone.O=acme")
};

// One value as loaded; what the fields hold depends on the attribute's syntax.
struct TStoredValue {
    TStoredText Text;          // text or bytes; a name that is no object (see TNameRef)
    TStoredText Extra;         // ACL: protected attribute (directory name); path: path in volume
    uint32_t Object = NoObject;
    uint32_t Number = 0;       // ACL privileges; integer, boolean, seconds, name space, level, amount, type
    uint32_t Number2 = 0;      // typed name: interval; replica pointer: replica number; time stamp: event
    TNameRef Name = TNameRef::None;
};

// One attribute of an object with its values in file order (kept in the tree's store).
struct TStoredAttribute {
    uint32_t Attribute = NoAttribute;   // index into TSnapshotTree::Attributes()
    std::span<const TStoredValue> Values;
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
    TStoredText BaseClass;               // directory class name
    bool Container = false;
    uint32_t AliasTarget = NoObject;     // an alias: the object it stands for
    NWObjectID ID = 0;
    uint32_t CreationTime = 0;           // seconds since 1970, 0 when the file gives none
    uint32_t ModificationTime = 0;
    uint32_t Line = 0;                   // line of the record in the LDIF file (0: [Root] not in the file)
    std::span<const TStoredAttribute> Attributes;   // in the order the record first names them
};

// Blocks of items that never move once handed out: the tree's values, attributes and texts.
template <typename T, size_t BlockItems>
class TBlockStore {
public:
    // Room for count items side by side.
    T* Allocate(size_t count) {
        if (count > BlockItems / 4) return blocks_.emplace_back(std::make_unique_for_overwrite<T[]>(count)).get();
        if (count > free_) {
            next_ = blocks_.emplace_back(std::make_unique_for_overwrite<T[]>(BlockItems)).get();
            free_ = BlockItems;
        }
        T* at = next_;
        next_ += count;
        free_ -= count;
        return at;
    }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    T* next_ = nullptr;
    size_t free_ = 0;
};

class TSnapshotTree {
public:
    explicit TSnapshotTree(std::string name);
    // The objects' texts and values point into the tree's own store.
    TSnapshotTree(const TSnapshotTree&) = delete;
    TSnapshotTree& operator=(const TSnapshotTree&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& SourceFile() const { return sourceFile_; }
    const std::vector<TSnapshotObject>& Objects() const { return objects_; }
    const TSnapshotObject& Object(uint32_t index) const { return objects_[index]; }
    const std::vector<TAttributeDef>& Attributes() const { return attributes_; }

    // The object with that full name ([Root]: no parts), or NoObject.
    uint32_t FindObject(const TNameParts& full) const;
    // The object with that hash key (NameKey of its full name), or NoObject.
    uint32_t FindObjectByKey(std::string_view key) const;
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
    // A copy of text in the tree's store.
    TStoredText StoreText(std::string_view text);
    // The same, one copy for every equal text (class names, attribute names, special names).
    TStoredText InternText(std::string_view text);
    // Room in the tree's store for count values or attributes side by side (the span of an
    // object's attributes or of an attribute's values).
    TStoredValue* NewValues(size_t count) { return values_.Allocate(count); }
    TStoredAttribute* NewAttributes(size_t count) { return storedAttributes_.Allocate(count); }
    // Registers an object's full name; false when another object has it.
    bool IndexName(std::string_view key, uint32_t object);
    // Registers an object ID; false when another object has it.
    bool IndexID(NWObjectID id, uint32_t object);
    // Records that holder names target in attribute (answered by Holders once FinishIndexes ran).
    void IndexHolder(uint32_t attribute, uint32_t target, uint32_t holder);
    // Records that holder names a bracketed name, or an object not in the tree, in attribute.
    void IndexSpecialHolder(uint32_t attribute, std::string_view special, uint32_t holder);
    void IndexDanglingHolder(uint32_t attribute, std::string_view key, uint32_t holder);
    // Makes room for about that many objects before loading.
    void Reserve(size_t objects);
    // Builds the holder index and gives back the indexes' spare room once loading is done.
    void FinishIndexes();

private:
    static uint64_t HolderKey(uint32_t attribute, uint32_t target) {
        return (static_cast<uint64_t>(attribute) << 32) | target;
    }

    std::string name_;
    std::string sourceFile_;
    std::vector<TSnapshotObject> objects_;
    std::vector<TAttributeDef> attributes_;
    TBlockStore<char, 256 * 1024> texts_;
    TBlockStore<TStoredValue, 8 * 1024> values_;
    TBlockStore<TStoredAttribute, 16 * 1024> storedAttributes_;
    std::unordered_set<std::string_view> interned_;
    // Objects by NameKey: open addressing over (hash, object), the keys beside the objects.
    struct TNameSlot {
        uint32_t Hash = 0;
        uint32_t Object = NoObject;
    };
    size_t NameSlotOf(std::string_view key, uint32_t hash) const;
    void GrowNames(size_t objects);
    std::vector<TNameSlot> nameSlots_;
    std::vector<TStoredText> nameKeys_;   // per object; in texts_
    size_t nameCount_ = 0;
    // Objects by ID: open addressing over (ID, object).
    struct TIDSlot {
        NWObjectID ID = 0;
        uint32_t Object = NoObject;
    };
    size_t IDSlotOf(NWObjectID id) const;
    void GrowIDs(size_t objects);
    std::vector<TIDSlot> idSlots_;
    size_t idCount_ = 0;
    int idShift_ = 32;
    std::unordered_map<std::string, uint32_t> attributeByName_;   // folded directory name -> attribute
    // Holders: (HolderKey, holder) as recorded, then sorted keys beside their holders.
    std::vector<std::pair<uint64_t, uint32_t>> recordedHolders_;
    std::vector<uint64_t> holderKeys_;
    std::vector<std::vector<uint32_t>> holderLists_;
    // Keyed by attribute, kind ('s' special, 'd' dangling) and the folded name or the name key.
    std::unordered_map<std::string, std::vector<uint32_t>> textHolders_;
};

} // namespace era
