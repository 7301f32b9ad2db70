#pragma once

// The string list that every part of era passes around: texts in order, each carrying a 32-bit
// value (a trace level, a rights mask, a connection reference). It can keep itself sorted, ignoring
// ASCII letter case unless told otherwise, and then finds and inserts by binary search.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace era {

// One item of a string list.
struct TStringItem {
    std::string Text;
    std::uint32_t Object = 0;
};

// What Add does with a text that a sorted list already holds.
enum TDuplicates : std::uint8_t { dupIgnore, dupAccept };

class TStringList {
public:
    // A caller's ordering for CustomSort: <0, 0, >0 as a is before, with or after b.
    using TCompare = std::function<int(const TStringItem& a, const TStringItem& b)>;

    // Number of items.
    int Count() const { return static_cast<int>(items_.size()); }
    // The text of item i (an index outside the list throws std::out_of_range).
    const std::string& Strings(int i) const;
    // The value attached to item i.
    std::uint32_t Objects(int i) const;
    // Replaces the text of item i (not allowed on a sorted list: throws std::logic_error).
    void SetString(int i, std::string text);
    // Replaces the value attached to item i.
    void SetObject(int i, std::uint32_t value);
    // The items in order.
    const std::vector<TStringItem>& Items() const { return items_; }

    // Appends the text (a sorted list puts it at its place); returns its index. A sorted list that
    // ignores duplicates adds nothing for a text it holds and returns that text's index.
    int Add(std::string text);
    // Add with an attached value.
    int AddObject(std::string text, std::uint32_t value);
    // Puts the text before item i (i = Count appends; not allowed on a sorted list).
    void Insert(int i, std::string text);
    // Insert with an attached value.
    void InsertObject(int i, std::string text, std::uint32_t value);
    // Removes item i.
    void Delete(int i);
    // Removes in one pass every item for whose index (before the removal) the predicate holds.
    void DeleteIf(const std::function<bool(int index)>& remove);
    // Removes every item.
    void Clear() { items_.clear(); }

    // Index of the first item equal to the text (case as CaseSensitive says), -1 when none.
    int IndexOf(std::string_view text) const;
    // Sorted list: whether the text is held; index = its first place, or where it would go.
    bool Find(std::string_view text, int& index) const;
    // <0, 0, >0 comparing two texts the way this list does.
    int CompareStrings(std::string_view a, std::string_view b) const;

    // Sorts by CompareStrings (stable).
    void Sort();
    // Sorts by the caller's ordering (stable; not allowed on a sorted list).
    void CustomSort(const TCompare& compare);

    // Whether the list keeps itself sorted.
    bool Sorted() const { return sorted_; }
    // Turning sorting on sorts the list.
    void SetSorted(bool sorted);
    // What a sorted list does with duplicates.
    TDuplicates Duplicates() const { return duplicates_; }
    // Sets what a sorted list does with duplicates (a list that already holds some keeps them).
    void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
    // Whether texts compare exactly (else ASCII letter case is ignored; the default).
    bool CaseSensitive() const { return caseSensitive_; }
    // Changes the comparison; a sorted list sorts itself again.
    void SetCaseSensitive(bool caseSensitive);

    // Every text followed by CR LF.
    std::string Text() const;
    // Replaces the items by the lines of the text (split at CR LF, LF or CR).
    void SetText(std::string_view text);

private:
    std::size_t Checked(int i) const;
    void RequireUnsorted(const char* operation) const;

    std::vector<TStringItem> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    TDuplicates duplicates_ = dupIgnore;
};

} // namespace era
