#include "client/filter_expression.h"

namespace era {

namespace {

// A recursive-descent reader over the items. Every level of grouping or negation counts against
// MaxFilterDepth, so a hostile stream of thousands of "(" or NOTs ends with -326 instead of
// exhausting the stack (here, or later when the tree is evaluated or destroyed).
class TFilterReader {
public:
    explicit TFilterReader(const std::vector<TFilterItem>& items) : items_(items) {}

    bool Read(TFilterNode& root) {
        if (!ReadOr(root, 0)) return false;
        // The stream ends with the end token, and nothing stands after it.
        return At(FtokEnd) && next_ + 1 == items_.size();
    }

private:
    bool At(uint32_t token) const { return next_ < items_.size() && items_[next_].Token == token; }
    bool Take(uint32_t token) {
        if (!At(token)) return false;
        ++next_;
        return true;
    }

    // or := and { OR and }
    bool ReadOr(TFilterNode& node, int depth) {
        TFilterNode first;
        if (!ReadAnd(first, depth)) return false;
        if (!At(FtokOr)) {
            node = std::move(first);
            return true;
        }
        node = {};
        node.Kind = TFilterNodeKind::Or;
        node.Operands.push_back(std::move(first));
        while (Take(FtokOr)) {
            node.Operands.emplace_back();
            if (!ReadAnd(node.Operands.back(), depth)) return false;
        }
        return true;
    }

    // and := unary { AND unary }
    bool ReadAnd(TFilterNode& node, int depth) {
        TFilterNode first;
        if (!ReadUnary(first, depth)) return false;
        if (!At(FtokAnd)) {
            node = std::move(first);
            return true;
        }
        node = {};
        node.Kind = TFilterNodeKind::And;
        node.Operands.push_back(std::move(first));
        while (Take(FtokAnd)) {
            node.Operands.emplace_back();
            if (!ReadUnary(node.Operands.back(), depth)) return false;
        }
        return true;
    }

    // unary := NOT unary | "(" or ")" | leaf
    bool ReadUnary(TFilterNode& node, int depth) {
        if (Take(FtokNot)) {
            if (depth + 1 > MaxFilterDepth) return false;
            node = {};
            node.Kind = TFilterNodeKind::Not;
            node.Operands.emplace_back();
            return ReadUnary(node.Operands.back(), depth + 1);
        }
        if (Take(FtokLParen)) {
            if (depth + 1 > MaxFilterDepth) return false;
            if (!ReadOr(node, depth + 1)) return false;
            return Take(FtokRParen);
        }
        return ReadLeaf(node);
    }

    // An attribute name item (token 14) with a name; false when the next item is none.
    bool TakeName(std::string& name, uint32_t& syntax) {
        if (!At(FtokAName) || items_[next_].Name.empty()) return false;
        name = items_[next_].Name;
        syntax = items_[next_].Syntax;
        ++next_;
        return true;
    }

    // leaf := PRESENT name | RDN name | BASECLASS name | name relation value
    bool ReadLeaf(TFilterNode& node) {
        node = {};
        uint32_t syntax = SynUnknown;
        if (Take(FtokPresent)) {
            node.Kind = TFilterNodeKind::Present;
            if (!TakeName(node.Name, syntax)) return false;
            node.Syntax = syntax;
            return true;
        }
        if (Take(FtokRdn)) {
            node.Kind = TFilterNodeKind::RelativeName;
            return TakeName(node.Name, syntax);
        }
        if (Take(FtokBaseClass)) {
            node.Kind = TFilterNodeKind::BaseClass;
            return TakeName(node.Name, syntax);
        }
        node.Kind = TFilterNodeKind::Compare;
        if (!TakeName(node.Name, node.Syntax)) return false;
        if (Take(FtokEq)) node.Relation = TFilterRelation::Equal;
        else if (Take(FtokGe)) node.Relation = TFilterRelation::GreaterOrEqual;
        else if (Take(FtokLe)) node.Relation = TFilterRelation::LessOrEqual;
        else if (Take(FtokApprox)) node.Relation = TFilterRelation::Approximate;
        else return false;
        if (!At(FtokAVal)) return false;
        node.Value = items_[next_].Value;
        node.ValueSyntax = items_[next_].Syntax;
        ++next_;
        return true;
    }

    const std::vector<TFilterItem>& items_;
    size_t next_ = 0;
};

} // namespace

bool IsWildcardSyntax(uint32_t syntax) {
    switch (syntax) {
    case SynCeString: case SynCiString: case SynPrString: case SynNuString: case SynTelNumber: return true;
    default: return false;
    }
}

std::vector<std::string> SplitWildcards(std::string_view value) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '*') {
            pieces.back() += '*';
            ++i;
        } else if (value[i] == '*') {
            pieces.emplace_back();
        } else {
            pieces.back() += value[i];
        }
    }
    return pieces;
}

NWCCODE ParseFilterExpression(const std::vector<TFilterItem>& items, TFilterNode& root) {
    root = {};
    TFilterNode parsed;
    TFilterReader reader(items);
    if (!reader.Read(parsed)) return ErrInvalidFilterSyntax;
    root = std::move(parsed);
    return 0;
}

} // namespace era
