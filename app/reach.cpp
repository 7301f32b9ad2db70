#include "app/reach.h"

#include "util/text.h"

#include <string_view>

namespace era {

namespace {

constexpr std::string_view RowLabel = "Effective Trustee:\t";
constexpr std::string_view SelfCheckLabel = "Self-check:\t";
// The trace's lines of one result: its effective-rights line, the self-checks, the reasons.
constexpr std::string_view EffectiveLabel = "  Effective: ";
constexpr std::string_view CheckLabel = "  Check ";
constexpr std::string_view ReasonLabel = "     * ";

// The tab-separated field of the line (0: the label).
std::string Field(const std::string& line, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        start = line.find('\t', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    return line.substr(start, line.find('\t', start) - start);
}

// The results of the trace in their order: each one's effective-rights line and its reasons.
struct TTraceResult {
    std::string Effective;
    std::vector<std::string> Reasons;
};

std::vector<TTraceResult> TraceResults(const std::vector<std::string>& details) {
    std::vector<TTraceResult> results;
    bool inResult = false;
    for (const auto& line : details) {
        if (line.starts_with(EffectiveLabel)) {
            results.push_back({line, {}});
            inResult = true;
        } else if (inResult && line.starts_with(ReasonLabel)) {
            results.back().Reasons.push_back(line.substr(ReasonLabel.size()));
        } else if (!line.starts_with(CheckLabel)) {
            inResult = false;
        }
    }
    return results;
}

} // namespace

std::string SummaryRowTrustee(const std::string& line) {
    return line.starts_with(RowLabel) ? Field(line, 3) : std::string();
}

bool ReachOfItem(const std::vector<std::string>& summary, const std::vector<std::string>& details,
                 const std::string& trustee, TReachItem& reach) {
    reach = TReachItem{};
    const std::vector<TTraceResult> results = TraceResults(details);
    size_t result = 0;
    bool rowKept = false, rowsBegun = false;
    for (const auto& line : summary) {
        if (line.starts_with(RowLabel)) {
            rowsBegun = true;
            // The summary writes one row per result of the trace, in the trace's order.
            if (result >= results.size() ||
                !results[result].Effective.starts_with(std::string(EffectiveLabel) + Field(line, 2) + " "))
                return false;
            rowKept = TextEquals(Field(line, 3), trustee);
            if (rowKept) reach.Rows.push_back({line, {}, results[result].Reasons, result});
            ++result;
        } else if (line.starts_with(SelfCheckLabel)) {
            if (rowKept) reach.Rows.back().SelfChecks.push_back(line);
        } else if (!rowsBegun && !line.empty() && line != "No trustees detected") {
            reach.Heading.push_back(line);
        }
    }
    return result == results.size();
}

std::vector<std::string> ReachLines(const TReachItem& reach) {
    std::vector<std::string> lines;
    if (reach.Rows.empty()) return lines;
    lines = reach.Heading;
    for (const auto& row : reach.Rows) {
        lines.push_back(row.Row);
        lines.insert(lines.end(), row.SelfChecks.begin(), row.SelfChecks.end());
        for (const auto& reason : row.Reasons)
            lines.push_back(std::string(ReasonLabel) + reason);
    }
    lines.emplace_back();
    return lines;
}

} // namespace era
