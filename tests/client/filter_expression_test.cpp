// The filter token stream read into an expression tree: precedence, groups, leaves, and every
// malformed stream refused with -326 without running out of stack.

#include "client/filter_expression.h"

#include <gtest/gtest.h>

namespace era {

namespace {

TFilterItem Tok(uint32_t token) { return {token, {}, {}, SynUnknown}; }
TFilterItem Name(const std::string& name, uint32_t syntax = SynCiString) { return {FtokAName, name, {}, syntax}; }
TFilterItem Val(const std::string& text, uint32_t syntax = SynCiString) { return {FtokAVal, {}, TTextValue{text}, syntax}; }

// attribute = value, the three items of an equality.
std::vector<TFilterItem> Eq(const std::string& attribute, const std::string& value) {
    return {Name(attribute), Tok(FtokEq), Val(value)};
}

std::vector<TFilterItem> Join(std::initializer_list<std::vector<TFilterItem>> parts) {
    std::vector<TFilterItem> items;
    for (const auto& part : parts) items.insert(items.end(), part.begin(), part.end());
    return items;
}

std::vector<TFilterItem> Op(uint32_t token) { return {Tok(token)}; }

// The tree written back as text, to compare shapes at a glance.
std::string Show(const TFilterNode& node) {
    switch (node.Kind) {
    case TFilterNodeKind::And:
    case TFilterNodeKind::Or: {
        std::string text = node.Kind == TFilterNodeKind::And ? "AND(" : "OR(";
        for (size_t i = 0; i < node.Operands.size(); ++i) text += (i ? "," : "") + Show(node.Operands[i]);
        return text + ")";
    }
    case TFilterNodeKind::Not: return "NOT(" + Show(node.Operands.at(0)) + ")";
    case TFilterNodeKind::Present: return node.Name + "?";
    case TFilterNodeKind::RelativeName: return "rdn:" + node.Name;
    case TFilterNodeKind::BaseClass: return "class:" + node.Name;
    case TFilterNodeKind::Compare: {
        static const char* const Relations[] = {"=", ">=", "<=", "~"};
        const auto* text = std::get_if<TTextValue>(&node.Value);
        return node.Name + Relations[static_cast<int>(node.Relation)] + (text ? text->Text : "#");
    }
    }
    return "?";
}

std::string Parse(const std::vector<TFilterItem>& items, NWCCODE* code = nullptr) {
    TFilterNode root;
    NWCCODE result = ParseFilterExpression(items, root);
    if (code) *code = result;
    return result == 0 ? Show(root) : "error";
}

} // namespace

TEST(FilterExpression, OperatorsBindNotThenAndThenOr) {
    const auto a = Eq("A", "1"), b = Eq("B", "2"), c = Eq("C", "3"), d = Eq("D", "4");
    const auto end = Op(FtokEnd);
    struct Case {
        std::vector<TFilterItem> items;
        std::string shape;
    };
    const std::vector<Case> cases = {
        {Join({a, end}), "A=1"},
        {Join({a, Op(FtokAnd), b, Op(FtokAnd), c, end}), "AND(A=1,B=2,C=3)"},
        {Join({a, Op(FtokOr), b, Op(FtokAnd), c, end}), "OR(A=1,AND(B=2,C=3))"},
        {Join({a, Op(FtokAnd), b, Op(FtokOr), Op(FtokNot), c, Op(FtokAnd), d, end}),
         "OR(AND(A=1,B=2),AND(NOT(C=3),D=4))"},
        {Join({Op(FtokLParen), a, Op(FtokOr), b, Op(FtokRParen), Op(FtokAnd), c, end}), "AND(OR(A=1,B=2),C=3)"},
        {Join({Op(FtokNot), Op(FtokLParen), a, Op(FtokOr), b, Op(FtokRParen), end}), "NOT(OR(A=1,B=2))"},
        {Join({Op(FtokNot), Op(FtokNot), a, end}), "NOT(NOT(A=1))"},
        // What the notation writes for "!=": a group holding NOT and the equality.
        {Join({Op(FtokLParen), Op(FtokNot), a, Op(FtokRParen), end}), "NOT(A=1)"},
        {Join({Op(FtokLParen), Op(FtokLParen), Op(FtokLParen), a, Op(FtokRParen), Op(FtokRParen), Op(FtokRParen), end}),
         "A=1"},
        {Join({Op(FtokLParen), a, Op(FtokAnd), Op(FtokLParen), b, Op(FtokOr), Op(FtokLParen), c, Op(FtokAnd), d,
               Op(FtokRParen), Op(FtokRParen), Op(FtokRParen), end}),
         "AND(A=1,OR(B=2,AND(C=3,D=4)))"},
    };
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(Parse(cases[i].items), cases[i].shape) << "case " << i;
}

TEST(FilterExpression, LeavesCarryTheirParts) {
    TFilterNode root;
    ASSERT_EQ(ParseFilterExpression({Tok(FtokPresent), Name("Title"), Tok(FtokAnd), Tok(FtokRdn), Name("admin", SynDistName),
                                     Tok(FtokAnd), Tok(FtokBaseClass), Name("User", SynClassName), Tok(FtokAnd),
                                     Name("Login Grace Limit", SynInteger), Tok(FtokGe),
                                     {FtokAVal, {}, TIntegerValue{5}, SynInteger}, Tok(FtokAnd), Name("Surname"),
                                     Tok(FtokApprox), Val("arch"), Tok(FtokEnd)},
                                    root),
              0);
    ASSERT_EQ(root.Kind, TFilterNodeKind::And);
    ASSERT_EQ(root.Operands.size(), 5u);
    EXPECT_EQ(root.Operands[0].Kind, TFilterNodeKind::Present);
    EXPECT_EQ(root.Operands[0].Name, "Title");
    EXPECT_EQ(root.Operands[0].Syntax, SynCiString);
    EXPECT_EQ(root.Operands[1].Kind, TFilterNodeKind::RelativeName);
    EXPECT_EQ(root.Operands[1].Name, "admin");
    EXPECT_EQ(root.Operands[2].Kind, TFilterNodeKind::BaseClass);
    EXPECT_EQ(root.Operands[2].Name, "User");
    const TFilterNode& limit = root.Operands[3];
    EXPECT_EQ(limit.Kind, TFilterNodeKind::Compare);
    EXPECT_EQ(limit.Name, "Login Grace Limit");
    EXPECT_EQ(limit.Syntax, SynInteger);
    EXPECT_EQ(limit.Relation, TFilterRelation::GreaterOrEqual);
    EXPECT_EQ(std::get<TIntegerValue>(limit.Value).Value, 5);
    EXPECT_EQ(limit.ValueSyntax, SynInteger);
    EXPECT_EQ(root.Operands[4].Relation, TFilterRelation::Approximate);
    EXPECT_EQ(Parse({Name("A"), Tok(FtokLe), Val("9"), Tok(FtokEnd)}), "A<=9");
}

TEST(FilterExpression, MalformedStreamsAreRefused) {
    const auto a = Eq("A", "1");
    const auto end = Op(FtokEnd);
    const std::vector<std::vector<TFilterItem>> cases = {
        {},                                                           // nothing at all
        end,                                                          // the end alone
        a,                                                            // no end
        Join({a, end, a, end}),                                       // items after the end
        Join({a, end, end}),
        Join({Op(FtokLParen), a, end}),                               // unbalanced
        Join({a, Op(FtokRParen), end}),
        Join({Op(FtokLParen), Op(FtokRParen), end}),                  // an empty group
        Join({a, Op(FtokAnd), end}),                                  // an operator without operand
        Join({Op(FtokOr), a, end}),
        Join({a, Op(FtokOr), Op(FtokOr), a, end}),
        Join({Op(FtokNot), end}),
        Join({a, Op(FtokNot), a, end}),                               // NOT is no infix operator
        Join({a, a, end}),                                            // two leaves without an operator
        Join({Op(FtokLParen), a, Op(FtokRParen), Op(FtokLParen), a, Op(FtokRParen), end}),
        {Name("A"), Tok(FtokEq), Tok(FtokEnd)},                       // a comparison without value
        {Name("A"), Val("1"), Tok(FtokEnd)},                          // ... without relation
        {Tok(FtokEq), Val("1"), Tok(FtokEnd)},                        // ... without attribute
        {Name(""), Tok(FtokEq), Val("1"), Tok(FtokEnd)},              // ... with an empty name
        {Val("1"), Tok(FtokEnd)},
        {Tok(FtokPresent), Tok(FtokEnd)},                             // presence without attribute
        {Tok(FtokPresent), Name("A"), Tok(FtokEq), Val("1"), Tok(FtokEnd)},
        {Tok(FtokRdn), Val("admin"), Tok(FtokEnd)},                   // relative name without its name
        {Tok(FtokBaseClass), Tok(FtokEnd)},
        {Name("A"), Tok(FtokEq), Val("1"), Val("2"), Tok(FtokEnd)},
        {Tok(11), Tok(FtokEnd)},                                      // unknown tokens
        {Name("A"), Tok(FtokEq), Val("1"), Tok(FtokAnd), Tok(99), Tok(FtokEnd)},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        NWCCODE code = 0;
        EXPECT_EQ(Parse(cases[i], &code), "error") << "case " << i;
        EXPECT_EQ(code, ErrInvalidFilterSyntax) << "case " << i;
    }
}

TEST(FilterExpression, NestingIsBoundedWithoutExhaustingTheStack) {
    auto nested = [](int groups, int nots) {
        std::vector<TFilterItem> items;
        for (int i = 0; i < groups; ++i) items.push_back(Tok(FtokLParen));
        for (int i = 0; i < nots; ++i) items.push_back(Tok(FtokNot));
        items.push_back(Name("A"));
        items.push_back(Tok(FtokEq));
        items.push_back(Val("1"));
        for (int i = 0; i < groups; ++i) items.push_back(Tok(FtokRParen));
        items.push_back(Tok(FtokEnd));
        return items;
    };
    TFilterNode root;
    EXPECT_EQ(ParseFilterExpression(nested(MaxFilterDepth / 2, MaxFilterDepth / 2), root), 0);
    EXPECT_EQ(ParseFilterExpression(nested(MaxFilterDepth, 0), root), 0);
    EXPECT_EQ(ParseFilterExpression(nested(MaxFilterDepth + 1, 0), root), ErrInvalidFilterSyntax);
    EXPECT_EQ(ParseFilterExpression(nested(0, MaxFilterDepth + 1), root), ErrInvalidFilterSyntax);
    EXPECT_EQ(root.Operands.size(), 0u);   // a refused stream leaves an empty tree
    // Hostile streams far beyond the bound, balanced or not.
    EXPECT_EQ(ParseFilterExpression(nested(50000, 0), root), ErrInvalidFilterSyntax);
    EXPECT_EQ(ParseFilterExpression(nested(0, 50000), root), ErrInvalidFilterSyntax);
    std::vector<TFilterItem> opens(50000, Tok(FtokLParen));
    EXPECT_EQ(ParseFilterExpression(opens, root), ErrInvalidFilterSyntax);
    // A long flat chain is no nesting and is read in full.
    std::vector<TFilterItem> chain;
    for (int i = 0; i < 20000; ++i) {
        if (i) chain.push_back(Tok(FtokOr));
        for (const auto& item : Eq("A", std::to_string(i))) chain.push_back(item);
    }
    chain.push_back(Tok(FtokEnd));
    ASSERT_EQ(ParseFilterExpression(chain, root), 0);
    EXPECT_EQ(root.Kind, TFilterNodeKind::Or);
    EXPECT_EQ(root.Operands.size(), 20000u);
}

} // namespace era
