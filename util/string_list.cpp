#include "util/string_list.h"

#include "util/text.h"

#include <algorithm>
#include <stdexcept>

namespace era {

std::size_t TStringList::Checked(int i) const {
    if (i < 0 || i >= Count())
        throw std::out_of_range("string list index " + std::to_string(i) + " out of range");
    return static_cast<std::size_t>(i);
}

void TStringList::RequireUnsorted(const char* operation) const {
    if (sorted_) throw std::logic_error(std::string(operation) + " is not allowed on a sorted string list");
}

const std::string& TStringList::Strings(int i) const {
    return items_[Checked(i)].Text;
}

std::uint32_t TStringList::Objects(int i) const {
    return items_[Checked(i)].Object;
}

void TStringList::SetString(int i, std::string text) {
    RequireUnsorted("SetString");
    items_[Checked(i)].Text = std::move(text);
}

void TStringList::SetObject(int i, std::uint32_t value) {
    items_[Checked(i)].Object = value;
}

int TStringList::Add(std::string text) {
    return AddObject(std::move(text), 0);
}

int TStringList::AddObject(std::string text, std::uint32_t value) {
    if (!sorted_) {
        items_.push_back({std::move(text), value});
        return Count() - 1;
    }
    int index = 0;
    if (Find(text, index)) {
        if (duplicates_ == dupIgnore) return index;
        // Equal texts keep the order in which they came: the new one goes behind them.
        auto last = std::upper_bound(items_.begin(), items_.end(), text,
                                     [this](const std::string& t, const TStringItem& item) {
                                         return CompareStrings(t, item.Text) < 0;
                                     });
        index = static_cast<int>(last - items_.begin());
    }
    items_.insert(items_.begin() + index, {std::move(text), value});
    return index;
}

void TStringList::Insert(int i, std::string text) {
    InsertObject(i, std::move(text), 0);
}

void TStringList::InsertObject(int i, std::string text, std::uint32_t value) {
    RequireUnsorted("Insert");
    if (i < 0 || i > Count())
        throw std::out_of_range("string list insert position " + std::to_string(i) + " out of range");
    items_.insert(items_.begin() + i, {std::move(text), value});
}

void TStringList::Delete(int i) {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(Checked(i)));
}

void TStringList::DeleteIf(const std::function<bool(int index)>& remove) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (remove(static_cast<int>(i))) continue;
        if (kept != i) items_[kept] = std::move(items_[i]);
        ++kept;
    }
    items_.resize(kept);
}

int TStringList::CompareStrings(std::string_view a, std::string_view b) const {
    if (!caseSensitive_) return CompareText(a, b);
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool TStringList::Find(std::string_view text, int& index) const {
    auto first = std::lower_bound(
        items_.begin(), items_.end(), text,
        [this](const TStringItem& item, std::string_view t) { return CompareStrings(item.Text, t) < 0; });
    index = static_cast<int>(first - items_.begin());
    return first != items_.end() && CompareStrings(first->Text, text) == 0;
}

int TStringList::IndexOf(std::string_view text) const {
    if (sorted_) {
        int index = 0;
        return Find(text, index) ? index : -1;
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (CompareStrings(items_[i].Text, text) == 0) return static_cast<int>(i);
    }
    return -1;
}

void TStringList::Sort() {
    std::stable_sort(items_.begin(), items_.end(), [this](const TStringItem& a, const TStringItem& b) {
        return CompareStrings(a.Text, b.Text) < 0;
    });
}

void TStringList::CustomSort(const TCompare& compare) {
    RequireUnsorted("CustomSort");
    std::stable_sort(items_.begin(), items_.end(),
                     [&compare](const TStringItem& a, const TStringItem& b) { return compare(a, b) < 0; });
}

void TStringList::SetSorted(bool sorted) {
    if (sorted && !sorted_) Sort();
    sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive == caseSensitive_) return;
    caseSensitive_ = caseSensitive;
    if (sorted_) Sort();
}

std::string TStringList::Text() const {
    std::string text;
    for (const TStringItem& item : items_)
        text.append(item.Text).append("\r\n");
    return text;
}

void TStringList::SetText(std::string_view text) {
    Clear();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            Add(std::string(text.substr(start)));
            break;
        }
        Add(std::string(text.substr(start, end - start)));
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
}

} // namespace era
