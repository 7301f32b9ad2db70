#include "rights/analysis.h"

#include "directory/attributes.h"
#include "directory/context.h"
#include "directory/error_text.h"
#include "directory/listing.h"
#include "directory/names.h"
#include "directory/netware_paths.h"
#include "rights/kept_answers.h"
#include "rights/notation.h"
#include "rights/search_filter.h"
#include "rights/security_equals_cache.h"
#include "util/ini_file.h"
#include "util/paths.h"
#include "util/settings.h"
#include "util/text.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace era {

namespace {

// The text after the first delimiter, or the whole text when there is none (as StrAfter).
std::string_view ViewAfter(std::string_view text, std::string_view delimiter) {
    const size_t at = text.find(delimiter);
    return at == std::string_view::npos ? text : text.substr(at + delimiter.size());
}

// The text before the first delimiter, or the whole text when there is none (as StrBefore).
std::string_view ViewBefore(std::string_view text, std::string_view delimiter) {
    const size_t at = text.find(delimiter);
    return at == std::string_view::npos ? text : text.substr(0, at);
}

std::string_view TrusteePart(std::string_view entry) {
    return ViewBefore(ViewAfter(entry, "] "), " / ");
}

// The components of a name between its dots, as views into the name.
std::vector<std::string_view> NameComponents(std::string_view name) {
    std::vector<std::string_view> components;
    for (;;) {
        const size_t dot = name.find('.');
        components.push_back(name.substr(0, dot));
        if (dot == std::string_view::npos) return components;
        name.remove_prefix(dot + 1);
    }
}

// Names (split into their components) compared component by component from the tree root end;
// the container before what it holds.
int CompareComponents(const std::vector<std::string_view>& left, const std::vector<std::string_view>& right) {
    size_t i = left.size(), j = right.size();
    while (i > 0 && j > 0) {
        --i;
        --j;
        const int c = left[i].compare(right[j]);
        if (c != 0) return c < 0 ? -1 : 1;
    }
    if (left.size() == right.size()) return 0;
    return left.size() < right.size() ? -1 : 1;
}

// What the sort of directory-mode results reads of an entry, taken apart once: a sort compares
// each entry many times. The order is by trustee (the upper-cased names' components from the root
// end), then by protected attribute (ordinal).
struct TEntryKey {
    explicit TEntryKey(const std::string& entry)
        : Text(&entry), Trustee(UpperCase(TrusteePart(entry))), Attribute(ViewAfter(entry, " / ")) {
        Components = NameComponents(Trustee);
    }
    TEntryKey(const TEntryKey&) = delete;
    TEntryKey& operator=(const TEntryKey&) = delete;

    const std::string* Text;
    std::string Trustee;          // upper-cased; Components view into it
    std::string_view Attribute;   // views into the entry
    std::vector<std::string_view> Components;
};

int CompareKeys(const TEntryKey& a, const TEntryKey& b) {
    if (*a.Text == *b.Text) return 0;
    const int byTrustee = CompareComponents(a.Components, b.Components);
    if (byTrustee != 0) return byTrustee;
    const int c = a.Attribute.compare(b.Attribute);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// The working state of one analysis call.
class TAnalysis {
public:
    TAnalysis(NWDSContextHandle context, const std::string& item, int maxLevel, uint32_t flags, TStringList* trace,
              TStringList& results, TStatusBar* statusBar)
        : context_(context), item_(item), maxLevel_(maxLevel), flags_(flags), trace_(trace), results_(results),
          statusBar_(statusBar), directoryMode_((flags & ScanDirectoryMode) != 0), kept_(context),
          answers_(kept_.RightsAnswersOn(item)) {
    }

    void Run();

private:
    // --- inner operations
    // Records the line with its control characters escaped: names and values read from the
    // directory go into it, and one holding a line break or tab would forge lines or columns.
    void TraceLine(std::string text, uint32_t level, bool skipDuplicates = false);
    // Records a line whose parts are escaped already (its own tabs are meant).
    void TraceEscaped(std::string text, uint32_t level, bool skipDuplicates = false);
    void TraceError(const std::string& text, NWCCODE code);
    int ReasonIndex(const std::string& text);
    void SetReason(const std::string& text) { currentReason_ = ReasonIndex(text); }
    void AddNote(const std::string& entry, int reason, uint32_t mask, TRightsKind kind);
    void AddTrustee(const std::string& entry, uint32_t noteMask, uint32_t resultMask, int reason, TRightsKind kind);
    void UpdateTrustee(int index, uint32_t mask, TRightsKind kind, int reason);
    void TraceNotes(const std::string& entry);
    void MergeResults();
    void MergeFileSystemResults();
    void WidenByDirectory();
    void KeepUsersOnly();
    void CheckEntry(const TACL& record);
    // The text is made only where a status bar shows it.
    template <typename TText>
    void Status(TText&& text) {
        if (statusBar_) statusBar_->SetPanelText(1, text());
    }
    // The directory's answer, as kept in the answers on the item (entries are never removed there).
    const std::string& EffectiveRights(const std::string& trustee, const std::string& attribute, uint32_t& mask);
    // The record of a result entry's text; every step reads the results again, so each text is
    // parsed once per call.
    const TACL& Parsed(const std::string& entry);

    // --- the steps
    void StartDirectoryMode();
    void StartFileSystemMode();
    void BuildChain(const std::string& first);
    void DirectoryLevel(const std::string& name);
    void FileSystemLevel(const std::string& name);
    void PathWalk();
    void IndirectStep();
    void SecurityEqualsStep(int index);
    NWCCODE SecurityEqualsOf(const std::string& trustee);
    void ResidenceStep(int index);
    void ClearLeafInheritance();
    void Output();

    NWCCODE ReadLevelAcl(const std::string& name);

    NWDSContextHandle context_;
    std::string item_;
    int maxLevel_;
    uint32_t flags_;
    TStringList* trace_;
    TStringList& results_;
    TStatusBar* statusBar_;
    bool directoryMode_;

    TStringList chain_;
    TStringList level_;
    std::vector<std::string> reasons_;
    std::unordered_map<std::string, int> reasonIndex_;
    // The notes as they were made; Output orders them as a sorted list that ignores duplicates would
    // hold them (ignoring letter case, the first of equal notes kept).
    std::vector<std::string> notes_;
    TStringList scratch_;
    // The Security Equals results of this call; nothing of them outlives it.
    TSecurityEqualsCache securityEquals_;
    int currentReason_ = 0;
    TRightsKind currentKind_ = rkFileSystem;
    std::string currentTrustee_;
    NWCCODE lastCode_ = 0;
    uint32_t levelBase_ = LevelAbove;
    bool objectIsLeaf_ = false;

    // File-system mode: the item's connection.
    NWCONN_HANDLE connection_ = 0;

    // What the trace holds, for the duplicate rule (built on first use).
    std::unordered_set<std::string> traceLines_;
    bool traceIndexed_ = false;
    // The directory's answers, kept across calls where the client's answers cannot change.
    TKeptAnswers kept_;
    // The directory's effective-rights answers on the item: they do not change during one call,
    // so each question is asked once (and, where they are kept, once for every call).
    std::shared_ptr<TKeptAnswers::TRightsAnswers> answers_;
    std::string answerKey_;   // the question being looked up, "trustee\x1fattribute"
    std::unordered_map<std::string, TACL> parsed_;
};

// ---------------------------------------------------------------------------------------------
// Inner operations

void TAnalysis::TraceLine(std::string text, uint32_t level, bool skipDuplicates) {
    if (!trace_ || level > static_cast<uint32_t>(std::max(maxLevel_, 0))) return;
    // Printable ASCII without a backslash is what escaping would give back unchanged.
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; });
    TraceEscaped(plain ? std::move(text) : EscapeControls(text), level, skipDuplicates);
}

void TAnalysis::TraceEscaped(std::string text, uint32_t level, bool skipDuplicates) {
    if (!trace_ || level > static_cast<uint32_t>(std::max(maxLevel_, 0))) return;
    if (skipDuplicates) {
        if (!traceIndexed_) {
            for (const auto& line : trace_->Items()) traceLines_.insert(line.Text);
            traceIndexed_ = true;
        }
        if (traceLines_.contains(text)) return;
    }
    if (traceIndexed_) traceLines_.insert(text);
    trace_->AddObject(std::move(text), level);
}

void TAnalysis::TraceError(const std::string& text, NWCCODE code) {
    if (code != 0) TraceLine(Format("%s: %s", text.c_str(), U_ErrorText(code).c_str()), LevelCallError);
}

int TAnalysis::ReasonIndex(const std::string& text) {
    auto found = reasonIndex_.find(text);
    if (found != reasonIndex_.end()) return found->second;
    reasons_.push_back(text);
    const int index = static_cast<int>(reasons_.size()) - 1;
    reasonIndex_.emplace(text, index);
    return index;
}

void TAnalysis::AddNote(const std::string& entry, int reason, uint32_t mask, TRightsKind kind) {
    const std::string rights = U_RightsToStr(mask, kind);
    const std::string& because = reasons_.at(static_cast<size_t>(reason));
    std::string note;
    note.reserve(entry.size() + rights.size() + because.size() + 2);
    note.append(entry).append(1, '|').append(rights).append(1, ' ').append(because);
    notes_.push_back(std::move(note));
}

void TAnalysis::AddTrustee(const std::string& entry, uint32_t noteMask, uint32_t resultMask, int reason,
                           TRightsKind kind) {
    results_.AddObject(entry, resultMask);
    AddNote(entry, reason, noteMask, kind);
}

void TAnalysis::UpdateTrustee(int index, uint32_t mask, TRightsKind kind, int reason) {
    if (directoryMode_) {
        const TACL& record = Parsed(results_.Strings(index));
        results_.SetString(index, U_ACLToStr(mask, record.Trustee, record.Attribute));
    }
    results_.SetObject(index, mask);
    AddNote(results_.Strings(index), reason, mask, kind);
}

const std::string& TAnalysis::EffectiveRights(const std::string& trustee, const std::string& attribute, uint32_t& mask) {
    answerKey_.assign(trustee).append(1, '\x1f').append(attribute);
    auto found = answers_->find(answerKey_);
    if (found == answers_->end()) {
        uint32_t answerMask = 0;
        std::string text = U_DSGetEffectiveRights(context_, trustee, item_, attribute, answerMask);
        found = answers_->emplace(answerKey_, std::make_pair(std::move(text), answerMask)).first;
    }
    mask = found->second.second;
    return found->second.first;
}

const TACL& TAnalysis::Parsed(const std::string& entry) {
    auto found = parsed_.find(entry);
    if (found == parsed_.end()) found = parsed_.emplace(entry, U_ParseACL(entry)).first;
    return found->second;
}

// Sorted by CompareKeys, then runs of one trustee and attribute become one entry whose rights
// are the union of the run's; then the directory's answers widen attribute rights.
void TAnalysis::MergeResults() {
    if (!directoryMode_) {
        MergeFileSystemResults();
        return;
    }
    std::vector<TStringItem> items;
    {
        // Sorted through the entries' keys, made once each; the order is CompareKeys'.
        const std::vector<TStringItem>& unsorted = results_.Items();
        std::vector<std::unique_ptr<TEntryKey>> keys;
        keys.reserve(unsorted.size());
        for (const auto& item : unsorted) keys.push_back(std::make_unique<TEntryKey>(item.Text));
        std::vector<size_t> order(unsorted.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&keys](size_t a, size_t b) { return CompareKeys(*keys[a], *keys[b]) < 0; });
        items.reserve(unsorted.size());
        for (size_t i : order) items.push_back(unsorted[i]);
    }
    std::vector<TStringItem> merged;
    merged.reserve(items.size());
    // The first record of each run (parsed records stay where they are) and the run's rights.
    std::vector<std::pair<const TACL*, uint32_t>> runs;
    runs.reserve(items.size());
    for (auto& item : items) {
        const TACL& record = Parsed(item.Text);
        if (!merged.empty() && record.Trustee == runs.back().first->Trustee &&
            record.Attribute == runs.back().first->Attribute) {
            auto& [first, mask] = runs.back();
            mask |= record.Mask;
            merged.back().Object = mask;
            merged.back().Text = U_ACLToStr(mask, first->Trustee, first->Attribute);
            continue;
        }
        runs.emplace_back(&record, record.Mask);
        merged.push_back(std::move(item));
    }
    results_.Clear();
    for (auto& item : merged) results_.AddObject(std::move(item.Text), item.Object);
    WidenByDirectory();
}

void TAnalysis::MergeFileSystemResults() {
    std::vector<TStringItem> items = results_.Items();
    std::stable_sort(items.begin(), items.end(),
                     [](const TStringItem& a, const TStringItem& b) { return CompareText(a.Text, b.Text) < 0; });
    // Exact duplicates meet within a run of texts equal but for letter case; each folds into the
    // first of its kind there.
    std::vector<TStringItem> merged;
    merged.reserve(items.size());
    std::unordered_map<std::string, size_t> firstInRun;
    for (auto& item : items) {
        if (!merged.empty() && CompareText(merged.back().Text, item.Text) != 0) firstInRun.clear();
        auto found = firstInRun.find(item.Text);
        if (found != firstInRun.end()) {
            merged[found->second].Object |= item.Object;
            continue;
        }
        firstInRun.emplace(item.Text, merged.size());
        merged.push_back(std::move(item));
    }
    results_.Clear();
    for (auto& item : merged) results_.AddObject(std::move(item.Text), item.Object);
}

void TAnalysis::WidenByDirectory() {
    std::string lastTrustee;
    bool asked = false;
    const std::string* textA = nullptr;
    const std::string* textE = nullptr;
    uint32_t maskA = 0, entryWidening = 0;
    for (int i = results_.Count() - 1; i >= 0; --i) {
        const TACL& record = Parsed(results_.Strings(i));
        if (record.Trustee == ThisName || record.Attribute == EntryRightsAttr ||
            record.Attribute == InheritanceMaskAttr)
            continue;
        if (!asked || record.Trustee != lastTrustee) {
            uint32_t maskE = 0;
            textA = &EffectiveRights(record.Trustee, AllAttributesRightsAttr, maskA);
            textE = &EffectiveRights(record.Trustee, EntryRightsAttr, maskE);
            entryWidening = (maskE & EntrySupervisor) ? AttributeRightsBits : 0;
            lastTrustee = record.Trustee;
            asked = true;
        }
        if (entryWidening == 0 && maskA == 0) continue;
        if (entryWidening != 0) {
            const uint32_t widened = (record.Mask | AttributeRightsBits) & ~InheritBit;
            if (widened != record.Mask) {
                SetReason(Format("Effective %s rights on %s  ", textE->c_str(), EntryRightsAttr));
                UpdateTrustee(i, widened, rkAttribute, currentReason_);
                continue;
            }
        }
        if (maskA != 0) {
            const uint32_t widened = (record.Mask | maskA) & ~InheritBit;
            if (widened != record.Mask) {
                SetReason(Format("Effective %s rights on %s  ", textA->c_str(), AllAttributesRightsAttr));
                UpdateTrustee(i, widened, rkAttribute, currentReason_);
            }
        }
    }
}

void TAnalysis::KeepUsersOnly() {
    std::unordered_map<std::string, bool> keep;   // per trustee name: asked once
    results_.DeleteIf([&](int i) {
        const std::string name = directoryMode_ ? U_ACLTrustee(results_.Strings(i)) : results_.Strings(i);
        auto found = keep.find(name);
        if (found != keep.end()) return !found->second;
        bool stays = ((flags_ & ScanResolveContainers) && kept_.IsContainer(name)) || U_IsSpecialName(name);
        if (!stays) {
            TStringList classes;
            if (kept_.Attribute(name, "Object Class", classes) == 0)
                for (const auto& value : classes.Items())
                    if (TextEquals(value.Text, "ndsLoginProperties")) stays = true;
        }
        keep.emplace(name, stays);
        return !stays;
    });
}

void TAnalysis::CheckEntry(const TACL& record) {
    const std::string calculated = U_RightsToStr(record.Mask, record.Kind);
    if (calculated != "[" + record.Rights + "]")
        TraceLine(Format("  Check 1:     Calc s: [%s] - Calc i: %s", record.Rights.c_str(), calculated.c_str()), LevelEffective);
    uint32_t mask = 0;
    const std::string& answer = EffectiveRights(record.Trustee, record.Attribute, mask);
    if (answer == "[n/a]") return;
    const std::string reducedAnswer = RemoveChars(answer, "I ");
    const std::string reducedRights = RemoveChars(record.Rights, "I ");
    if (reducedAnswer != "[" + reducedRights + "]")
        TraceLine(Format("  Check 2:     Calc s: [%s] - Eff: %s", record.Rights.c_str(), answer.c_str()), LevelEffective);
}

// ---------------------------------------------------------------------------------------------
// The steps

void TAnalysis::Run() {
    if (directoryMode_) {
        StartDirectoryMode();
        BuildChain(item_);
        for (int i = chain_.Count() - 1; i >= 0; --i) DirectoryLevel(chain_.Strings(i));
    } else {
        StartFileSystemMode();
        for (int i = chain_.Count() - 1; i >= 0; --i) FileSystemLevel(chain_.Strings(i));
    }
    MergeResults();
    if (!directoryMode_) PathWalk();
    TraceLine("", LevelHeader);

    IndirectStep();

    UiHost().ProcessMessages();
    if (objectIsLeaf_) ClearLeafInheritance();
    MergeResults();

    if (flags_ & ScanUsersOnly) KeepUsersOnly();
    TraceLine("", LevelHeader);

    Output();

    Status([] { return std::string(); });
    UiHost().ProcessMessages();
    UiHost().ProcessMessages();
}

void TAnalysis::StartDirectoryMode() {
    TraceLine("", LevelItemStart);
    TraceLine(Format("Object: \"%s\" on tree \"%s\"", item_.c_str(), U_DSGetTreeName(context_).c_str()), LevelItemHeading);
    levelBase_ = LevelAbove;
    objectIsLeaf_ = !kept_.IsContainer(item_);   // as U_DSIsLeaf
}

void TAnalysis::StartFileSystemMode() {
    std::string server, volume, dirPath;
    NWCCODE code = U_PathToNWPath(item_, connection_, server, volume, dirPath);
    TraceError(Format("U_PathToNWPath (%s)", item_.c_str()), code);
    uint16_t volumeNumber = 0;
    std::string volumeDN, serverDN;
    Client().NWGetVolumeNumber(connection_, volume, volumeNumber);
    U_DSGetVolumeDN(context_, connection_, volumeNumber, volumeDN);
    const NWCCODE serverCode = U_DSGetServerDN(context_, connection_, serverDN);
    TraceLine(Format("Tree/Volume/Server: %s / %s / %s", U_DSGetTreeName(context_).c_str(), volumeDN.c_str(),
                     serverDN.c_str()),
              LevelItemHeading);
    TraceError(Format("U_DSGetServerDN (%s)", item_.c_str()), serverCode);
    currentKind_ = rkFileSystem;
    levelBase_ = LevelAbove;
    // Without the server's object there is no chain of containers to read rights from.
    if (!serverDN.empty()) BuildChain(serverDN);
}

void TAnalysis::BuildChain(const std::string& first) {
    chain_.Clear();
    chain_.Add(first);
    std::unordered_set<std::string> seen{first};
    for (;;) {
        std::string parent;
        if (kept_.ParentName(chain_.Strings(chain_.Count() - 1), parent) != 0 || parent.empty()) break;
        // A directory that named an object its own ancestor would make the chain endless.
        if (!seen.insert(parent).second) break;
        chain_.Add(parent);
    }
}

NWCCODE TAnalysis::ReadLevelAcl(const std::string& name) {
    TraceLine("", levelBase_ + LevelObjectDn);
    TraceLine("DN: " + name, levelBase_ + LevelObjectDn);
    level_.Clear();
    lastCode_ = kept_.Attribute(name, "ACL", level_);
    if (lastCode_ != 0) TraceError(Format("U_DSGetAttribute (%s:ACL)", name.c_str()), lastCode_);
    currentReason_ = ReasonIndex(Format("for direct Trustee assignment on \"%s\"", ConvertOem(name, false).c_str()));
    return lastCode_;
}

void TAnalysis::DirectoryLevel(const std::string& name) {
    ReadLevelAcl(name);

    // What was assigned above and does not flow down stops here.
    results_.DeleteIf([&](int i) {
        const TACL& record = Parsed(results_.Strings(i));
        return !U_IsInheritable(record.Mask, record.Kind);
    });

    // The level's inherited rights filters act on what flows in from above.
    for (const auto& line : level_.Items()) {
        if (line.Text.find(InheritanceMaskAttr) == std::string::npos) continue;
        const TACL filter = U_ParseACL(line.Text);
        TraceLine(Format("IRM: [%s] on \"%s\"", filter.Rights.c_str(), filter.Attribute.c_str()), levelBase_ + LevelInheritedFilter);
        results_.DeleteIf([&](int i) {
            const TACL& entry = Parsed(results_.Strings(i));
            if (!U_MaskApplies(filter, entry)) return false;
            const std::string letters = U_FilterRights(filter.Rights, entry.Rights);
            if (!U_HasRights(letters)) return true;
            if (letters != entry.Rights) {
                results_.SetString(i, U_FormatACL(letters, entry.Trustee, entry.Attribute));
                results_.SetObject(i, U_StrToRights(letters, entry.Kind));
            }
            return false;
        });
    }

    // Then the level's own assignments, implied rights added as they are first read.
    for (int i = 0; i < level_.Count(); ++i) {
        if (level_.Strings(i).find(InheritanceMaskAttr) != std::string::npos) continue;
        const TACL record = U_ParseACL(level_.Strings(i));
        const std::string trustee = U_FullName(record.Trustee);
        std::string line = U_FormatACL(record.Rights, trustee, record.Attribute);
        currentKind_ = record.Kind;
        const uint32_t implied = U_ImpliedRights(record.Mask, record.Kind);
        if (implied != record.Mask) line = U_ACLToStr(implied, trustee, record.Attribute);
        level_.SetString(i, line);
        AddTrustee(line, record.Mask, implied, currentReason_, record.Kind);
        TraceLine("  Direct Trustee: " + line, levelBase_ + LevelDirectTrustee);
    }
}

void TAnalysis::FileSystemLevel(const std::string& name) {
    ReadLevelAcl(name);
    for (const auto& line : level_.Items()) {
        if (line.Text.find(InheritanceMaskAttr) == std::string::npos) continue;
        TraceLine("IRM: " + StrBefore(line.Text, "]", false), levelBase_ + LevelInheritedFilter);
        const TACL filter = U_ParseACL(line.Text);
        // A filter that blocks Supervisor on a container blocks the server rights flowing through it.
        if (filter.Attribute == EntryRightsAttr && filter.Rights.find_first_of("SA") == std::string::npos)
            results_.Clear();
    }
    for (const auto& line : level_.Items()) {
        if (line.Text.find(InheritanceMaskAttr) != std::string::npos) continue;
        if (line.Text.find(EntryRightsAttr) == std::string::npos) continue;
        if (U_ACLRights(line.Text).find_first_of("SA") == std::string::npos) continue;
        AddTrustee(U_ACLTrustee(line.Text), AllFileRights, AllFileRights, currentReason_, rkFileSystem);
        TraceLine("  Direct Trustee: " + line.Text, levelBase_ + LevelDirectTrustee);
    }
}

void TAnalysis::PathWalk() {
    chain_.Clear();
    std::string directory = RemoveTrailingSlash(U_PathToUNC(item_));
    while (!directory.empty() && DirExists(ConvertOem(directory, false))) {
        NWCONN_HANDLE connection = 0;
        std::string server, volume, dirPath;
        if (U_PathToNWPath(directory, connection, server, volume, dirPath) == 0) {
            TDirEntryInfo info;
            if (Client().NWGetDirectoryEntryInfo(connection, 0, volume + ":" + dirPath, 0xFFFFFFFFu, info) == 0)
                chain_.AddObject(volume + ":" + dirPath, dirPath.empty() ? 0xFFFFFFFFu : info.RightsMask);
        }
        const size_t cut = directory.find_last_of("\\/");
        if (cut == std::string::npos) break;
        directory.resize(cut);
    }
    if (chain_.Count() == 0) TraceError(Format("Invalid Path (%s)", item_.c_str()), -1);

    for (int c = chain_.Count() - 1; c >= 0; --c) {
        levelBase_ = c == 0 ? 0 : LevelAbove;
        UiHost().ProcessMessages();
        const uint32_t mask = chain_.Objects(c);
        const std::string converted = ConvertOem(chain_.Strings(c), false);
        const std::string maskText = U_RightsToStr(mask, rkFileSystem);
        SetReason(Format("IRM filter %s on path: %s  ", maskText.c_str(), converted.c_str()));
        TraceLine("", LevelHeader);
        TraceLine(Format("Path: \"%s\" - IRM %s", converted.c_str(), maskText.c_str()), levelBase_ + LevelPathFilter);

        // The directory's inherited rights mask reduces what flows in (never Supervisor), last
        // entry first.
        std::vector<bool> emptied(static_cast<size_t>(results_.Count()), false);
        for (int i = results_.Count() - 1; i >= 0; --i) {
            const uint32_t rights = results_.Objects(i);
            if (rights & FileSupervisor) continue;
            const uint32_t filtered = rights & (mask | FileSupervisor);
            if (filtered != rights) {
                TraceLine(Format("  Apply Filter: %s -> %s", results_.Strings(i).c_str(),
                                 U_RightsToStr(filtered, rkFileSystem).c_str()),
                          LevelFileRecalc);
                UpdateTrustee(i, filtered, rkFileSystem, currentReason_);
            }
            emptied[static_cast<size_t>(i)] = filtered == 0;
        }
        results_.DeleteIf([&](int i) { return emptied[static_cast<size_t>(i)]; });
        MergeResults();

        level_.Clear();
        U_NWScanTrustees(context_, connection_, chain_.Strings(c), level_);
        SetReason(Format("for direct Trustee assignment on \"%s\"", converted.c_str()));
        for (const auto& assignment : level_.Items()) {
            // An explicit assignment replaces what was inherited.
            const int existing = results_.IndexOf(assignment.Text);
            if (existing >= 0) results_.Delete(existing);
            TraceLine(Format("  Direct Trustee: %s %s", assignment.Text.c_str(),
                             U_RightsToStr(assignment.Object, rkFileSystem).c_str()),
                      levelBase_ + LevelDirectTrustee);
            AddTrustee(assignment.Text, assignment.Object, assignment.Object, currentReason_, rkFileSystem);
        }
    }

    TraceLine("", LevelFileRecalc);
    for (int i = 0; i < results_.Count(); ++i) {
        if (results_.Objects(i) & FileSupervisor) results_.SetObject(i, AllFileRights);
        TraceLine(Format("  Recalc: %s: %s", results_.Strings(i).c_str(),
                         U_RightsToStr(results_.Objects(i), rkFileSystem).c_str()),
                  LevelFileRecalc);
    }
}

void TAnalysis::IndirectStep() {
    for (int i = results_.Count() - 1; i >= 0; --i) {
        currentTrustee_ = directoryMode_ ? U_ACLTrustee(results_.Strings(i)) : results_.Strings(i);
        SecurityEqualsStep(i);
        if (flags_ & ScanResolveContainers) ResidenceStep(i);
        Status([&] { return "Check indirect trustees: " + currentTrustee_; });
    }
}

NWCCODE TAnalysis::SecurityEqualsOf(const std::string& trustee) {
    // Every entry of one trustee gets the same answer ("[Public]" and "Public" too).
    if (securityEquals_.Find(trustee, scratch_)) return 0;
    const NWCCODE code = kept_.FilteredSearch(RootName, Format("(Security Equals=%s)", trustee.c_str()), scratch_, 2);
    lastCode_ = code;
    if (code != 0) TraceError(Format("U_DSFilteredSearch (%s)", trustee.c_str()), code);
    securityEquals_.Keep(trustee, scratch_);
    return code;
}

void TAnalysis::SecurityEqualsStep(int index) {
    static const TACL none;
    const TACL& record = directoryMode_ ? Parsed(results_.Strings(index)) : none;
    currentKind_ = directoryMode_ ? record.Kind : rkFileSystem;
    const uint32_t mask = results_.Objects(index);
    UiHost().ProcessMessages();
    if (SecurityEqualsOf(currentTrustee_) != 0 || scratch_.Count() == 0) return;
    SetReason(Format("for SecEqu to \"%s\"", currentTrustee_.c_str()));
    for (int n = 0; n < scratch_.Count(); ++n) {
        const std::string fullName = U_FullName(scratch_.Strings(n));
        scratch_.SetString(n, fullName);
        const std::string entry = directoryMode_ ? U_FormatACL(record.Rights, fullName, record.Attribute) : fullName;
        AddTrustee(entry, mask, mask, currentReason_, currentKind_);
        TraceEscaped(Format("  Indirect Trustee: %s\t(SecEqu to \"%s\")", EscapeControls(fullName).c_str(),
                            EscapeControls(currentTrustee_).c_str()),
                     LevelSecurityEquals, true);
    }
}

void TAnalysis::ResidenceStep(int index) {
    if (!kept_.IsContainer(currentTrustee_)) return;
    UiHost().ProcessMessages();
    scratch_.Clear();
    kept_.ListTree(currentTrustee_, scratch_, true, 2);
    if (scratch_.Count() == 0) return;
    SetReason(Format("for residence in \"%s\"", currentTrustee_.c_str()));
    static const TACL none;
    const TACL& record = directoryMode_ ? Parsed(results_.Strings(index)) : none;
    const uint32_t mask = results_.Objects(index);
    for (const auto& resident : scratch_.Items()) {
        if (resident.Text.empty()) continue;
        const std::string fullName = U_FullName(resident.Text);
        const std::string entry = directoryMode_ ? U_FormatACL(record.Rights, fullName, record.Attribute) : fullName;
        AddTrustee(entry, mask, mask, currentReason_, currentKind_);
        TraceEscaped(Format("  Indirect Trustee: %s\t(Resides in \"%s\")", EscapeControls(resident.Text).c_str(),
                            EscapeControls(currentTrustee_).c_str()),
                     LevelResident);
    }
}

// Attribute assignments on a leaf have nothing below them to flow to.
void TAnalysis::ClearLeafInheritance() {
    for (int i = 0; i < results_.Count(); ++i) {
        const TACL& record = Parsed(results_.Strings(i));
        if (record.Kind == rkAttribute && (record.Mask & InheritBit))
            results_.SetString(i, U_ACLToStr(record.Mask & ~InheritBit, record.Trustee, record.Attribute));
    }
}

void TAnalysis::Output() {
    // Notes by the "trustee / attribute|" (directory mode) or "trustee|" key they were made under.
    std::stable_sort(notes_.begin(), notes_.end(),
                     [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    notes_.erase(std::unique(notes_.begin(), notes_.end(),
                             [](const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }),
                 notes_.end());
    // The keys view into the notes, which stay as they are from here on.
    std::unordered_map<std::string_view, std::vector<size_t>> notesByKey;
    for (size_t n = 0; n < notes_.size(); ++n) {
        const std::string_view note = notes_[n];
        const size_t bar = note.find('|');
        if (bar == std::string::npos) continue;
        const size_t from = directoryMode_ ? note.find(']') : std::string::npos;
        const std::string_view key = directoryMode_
                                         ? (from == std::string::npos || from > bar ? std::string_view()
                                                                                    : note.substr(from + 1, bar - from))
                                         : note.substr(0, bar + 1);
        notesByKey[key].push_back(n);
    }
    // The notes made under the entry's key: the text after its first "]" (directory mode) or the
    // whole entry, then "|".
    std::string key;
    auto traceNotes = [&](const std::string& entry) {
        const size_t close = directoryMode_ ? entry.find(']') : std::string::npos;
        key.assign(entry, close == std::string::npos ? 0 : close + 1).append(1, '|');
        auto found = notesByKey.find(key);
        if (found == notesByKey.end()) return;
        for (size_t n : found->second) {
            const std::string& note = notes_[n];
            std::string line("     * ");
            line.append(note, note.find('|') + 1);
            TraceLine(std::move(line), LevelHeader);
        }
    };

    // The results are ordered by trustee: the entries of one trustee ask for its class once.
    const std::string* lastTrustee = nullptr;
    const std::string* lastClass = nullptr;
    for (int i = 0; i < results_.Count(); ++i) {
        const std::string& entry = results_.Strings(i);
        if (directoryMode_) {
            const TACL& record = Parsed(entry);
            const std::string display = record.Trustee + " / " + record.Attribute;
            static const std::string unknown = "n/a";
            if (!lastTrustee || *lastTrustee != record.Trustee) {
                lastTrustee = &record.Trustee;
                lastClass = &kept_.BaseClass(record.Trustee);
            }
            const std::string& baseClass = *lastClass;
            const std::string& className = baseClass.empty() ? unknown : baseClass;
            Status([&] { return "Get effective rights: " + display; });
            TraceLine(Format("  Effective: %s -> [%s] %s", U_RightsToStr(record.Mask, record.Kind).c_str(),
                             className.c_str(), display.c_str()),
                      LevelEffective);
            CheckEntry(record);
            traceNotes(entry);
        } else {
            const std::string& className = kept_.BaseClass(entry);
            Status([&] { return Format("Get effective rights: [%s] %s", className.c_str(), entry.c_str()); });
            TraceLine(Format("  Effective: %s -> [%s] %s", U_RightsToStr(results_.Objects(i), rkFileSystem).c_str(),
                             className.c_str(), entry.c_str()),
                      LevelEffective);
            traceNotes(entry);
        }
    }
}

} // namespace

void U_AnalyzeEffectiveRights(NWDSContextHandle context, const std::string& item, int maxLevel, uint32_t flags,
                              TStringList* trace, TStringList& results, TStatusBar* statusBar) {
    TAnalysis(context, item, maxLevel, flags, trace, results, statusBar).Run();
}

} // namespace era
