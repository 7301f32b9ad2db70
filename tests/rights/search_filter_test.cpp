#include "rights/search_filter.h"

#include <gtest/gtest.h>

namespace era {
namespace {

std::vector<std::string> NonEmpty(const std::vector<std::string>& tokens) {
    std::vector<std::string> out;
    for (const auto& t : tokens)
        if (!t.empty()) out.push_back(t);
    return out;
}

TEST(FilterTokenizer, SplitsGroupsAndOperatorsInTheirReplacementOrder) {
    struct Case {
        const char* filter;
        std::vector<std::string> tokens;
    };
    const std::vector<Case> cases = {
        {"(Security Equals=.admin.acme)", {"(", "Security Equals=.admin.acme", ")"}},
        {"(A=1)&&(B=2)", {"(", "A=1", ")", "#AND#", "(", "B=2", ")"}},
        {"(A=1)&(B=2)|(C=3)", {"(", "A=1", ")", "#AND#", "(", "B=2", ")", "#OR#", "(", "C=3", ")"}},
        {"(A=1)||(B=2)", {"(", "A=1", ")", "#OR#", "(", "B=2", ")"}},
        {"!(A=1)", {"#NOT#", "(", "A=1", ")"}},
        // "!=" becomes "#NE#" before "!" is seen.
        {"(CN!=x)", {"(", "CN#NE#x", ")"}},
        // The words AND, OR and NOT only count on a line of their own.
        {"(A=1) AND (B=2)", {"(", "A=1", ")", "#AND#", "(", "B=2", ")"}},
        {"(A=1) and (B=2)", {"(", "A=1", ")", "and", "(", "B=2", ")"}},
        {"(Description=SAND)", {"(", "Description=SAND", ")"}},
        // A value holding an operator character is cut apart.
        {"(Title=R&D)", {"(", "Title=R", "#AND#", "D", ")"}},
    };
    for (const auto& c : cases) EXPECT_EQ(NonEmpty(TokenizeFilter(c.filter)), c.tokens) << c.filter;
}

TEST(FilterTokenizer, BalanceIsCountedOverTheWholeText) {
    EXPECT_TRUE(FilterIsBalanced("(A=1)"));
    EXPECT_TRUE(FilterIsBalanced(""));
    EXPECT_FALSE(FilterIsBalanced("(A=1"));
    EXPECT_FALSE(FilterIsBalanced("A=1)"));
    EXPECT_TRUE(FilterIsBalanced(")A=1("));   // counted, not nested
}

TEST(FilterValues, ConvertPerSyntax) {
    TAttrValue value;
    EXPECT_EQ(ConvertFilterValue("Ann", SynCiString, value), 0);
    EXPECT_EQ(std::get<TTextValue>(value).Text, "Ann");
    EXPECT_EQ(ConvertFilterValue("yes", SynBoolean, value), 0);
    EXPECT_EQ(std::get<TBooleanValue>(value).Value, 1);
    EXPECT_EQ(ConvertFilterValue("nope", SynBoolean, value), 0);
    EXPECT_EQ(std::get<TBooleanValue>(value).Value, 0);
    EXPECT_EQ(ConvertFilterValue("2147483647", SynInteger, value), 0);
    EXPECT_EQ(std::get<TIntegerValue>(value).Value, 2147483647);
    EXPECT_EQ(ConvertFilterValue("12x", SynInteger, value), ErrSyntaxViolation);
    // Out of range is refused with a code, never a silent empty search.
    EXPECT_EQ(ConvertFilterValue("2147483648", SynCounter, value), ErrSyntaxViolation);
    EXPECT_EQ(ConvertFilterValue("-1", SynInterval, value), ErrSyntaxViolation);
    EXPECT_EQ(ConvertFilterValue("0x0A_1b", SynOctetString, value), 0);
    EXPECT_EQ(std::get<TOctetString>(value).Data, (std::vector<uint8_t>{0x0A, 0x1B}));
    EXPECT_EQ(ConvertFilterValue("0xABC", SynOctetString, value), 0);   // odd digits: the text's bytes
    EXPECT_EQ(std::get<TOctetString>(value).Data.size(), 5u);
    EXPECT_EQ(ConvertFilterValue("(4) SYS:PUBLIC\\DATA", SynPath, value), 0);
    EXPECT_EQ(std::get<TPathValue>(value).NameSpaceType, 4u);
    EXPECT_EQ(std::get<TPathValue>(value).VolumeName, "SYS");
    EXPECT_EQ(std::get<TPathValue>(value).Path, std::string("PUBLIC\\DATA\0", 12));   // one zero after the path
    EXPECT_EQ(ConvertFilterValue("SYS:", SynPath, value), 0);
    EXPECT_EQ(std::get<TPathValue>(value).Path, std::string(1, '\0'));
    EXPECT_EQ(ConvertFilterValue(".admin.acme#[Entry Rights]#BCD", SynObjectACL, value), 0);
    EXPECT_EQ(std::get<TObjectACL>(value).SubjectName, ".admin.acme");
    EXPECT_EQ(std::get<TObjectACL>(value).ProtectedAttrName, "[Entry Rights]");
    EXPECT_EQ(std::get<TObjectACL>(value).Privileges, 0x07u | 0x40u);   // no I: not inheritable
    EXPECT_EQ(ConvertFilterValue("a#b", SynObjectACL, value), ErrSyntaxViolation);
    EXPECT_EQ(ConvertFilterValue("bob.acme#1#300", SynTypedName, value), 0);
    EXPECT_EQ(std::get<TTypedName>(value).Interval, 300u);
    EXPECT_EQ(ConvertFilterValue("bob.acme#x#300", SynTypedName, value), ErrSyntaxViolation);
    EXPECT_EQ(ConvertFilterValue("2009-09-01 08:00:00", SynTimeStamp, value), 0);
    EXPECT_EQ(ConvertFilterValue("yesterday", SynTime, value), ErrSyntaxViolation);
    EXPECT_EQ(ConvertFilterValue("x", SynNetAddress, value), ErrIllegalAttributeSyntax);
}

} // namespace
} // namespace era

namespace era {
namespace {

TEST(SearchTemplate, FieldWidthsAreHonouredUpToTheLimitAndCopiedAsTextBeyond) {
    // "#NAME#"-like keys need no directory, so no context is used here.
    struct TCase {
        std::string Template;
        std::string Expected;
    };
    const std::string wide(1024 - 4, ' ');
    const TCase cases[] = {
        {"#[%-6s][NAME]#|", ".a.b  |"},
        {"#[%6s][NAME]#|", "  .a.b|"},
        {"#[%.2s][NAME]#|", ".a|"},
        {"#[%1024s][NAME]#", wide + ".a.b"},
        // Found while hardening: a width of a billion made a gigabyte line per object.
        {"#[%1025s][NAME]#", "%1025s"},
        {"#[%999999999s][NAME]#", "%999999999s"},
        {"#[%-99999999999999999999s][NAME]#", "%-99999999999999999999s"},
        {"#[%d][NAME]#", "%d"},
    };
    for (const auto& c : cases) {
        uint32_t position = 0;
        EXPECT_EQ(FormatSearchTemplate(0, c.Template, ".a.b", "User", position), c.Expected) << c.Template;
    }
}

} // namespace
} // namespace era
