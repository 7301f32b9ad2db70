#include "rights/notation.h"

#include <gtest/gtest.h>

namespace era {

TEST(RightsNotation, LetterTablesInNotationOrder) {
    auto letters = [](TRightsKind kind) {
        std::string text;
        for (const TRightsLetter& r : U_RightsLetters(kind))
            text += r.Letter;
        return text;
    };
    EXPECT_EQ(letters(rkFileSystem), "RWCEAFMS");
    EXPECT_EQ(letters(rkEntry), "BCDRAI");
    EXPECT_EQ(letters(rkAttribute), "CRWSAI");
    EXPECT_TRUE(U_RightsLetters(static_cast<TRightsKind>(7)).empty());
}

TEST(RightsNotation, RightsToStr) {
    struct Case {
        std::uint32_t mask;
        TRightsKind kind;
        const char* expected;
    };
    const Case cases[] = {
        {0x1FF, rkFileSystem, "[RWCEAFMS]"},
        {0x004, rkFileSystem, "[        ]"}, // the bit without a letter never shows
        {0x101, rkFileSystem, "[R      S]"},
        {0x000, rkEntry, "[     I]"}, // nothing granted, inheritable
        {0x040, rkEntry, "[      ]"},
        {0x001, rkEntry, "[B    I]"},
        {0x01F, rkEntry, "[BCDRAI]"},
        {0x003, rkAttribute, "[CR    ]"},
        {0x06F, rkAttribute, "[CRWSAI]"},
        {0x010, rkAttribute, "[      ]"}, // 0x10 has no attribute letter
        {0xFFFFFFFF, rkEntry, "[BCDRA ]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U_RightsToStr(c.mask, c.kind), c.expected) << c.mask << "/" << int(c.kind);
    EXPECT_EQ(U_RightsToStr(0x1FF, rkFileSystem).size(), 10u);
    EXPECT_EQ(U_RightsToStr(0, rkAttribute).size(), 8u);
    EXPECT_EQ(U_RightsToStr(0xFF, static_cast<TRightsKind>(9)), "[]");
}

TEST(RightsNotation, StrToRights) {
    struct Case {
        const char* text;
        TRightsKind kind;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"31", rkFileSystem, 31},
        {"31", rkEntry, 31},
        {"31", rkAttribute, 31},
        {" 3 1 ", rkEntry, 31}, // blanks are removed before the number is read
        {"0", rkEntry, 0x40},   // 0 is read by letters: no I, not inheritable
        {"0", rkAttribute, 0},
        {"0", rkFileSystem, 0},
        {"[RWCEAFMS]", rkFileSystem, 0x1FB},
        {"[     I]", rkEntry, 0},
        {"[      ]", rkEntry, 0x40},
        {"BCDRAI", rkEntry, 0x1F},
        {"[CR    ]", rkAttribute, 0x03},
        {"[CRWSAI]", rkAttribute, 0x6F},
        {"r", rkFileSystem, 0}, // lower-case letters are no rights
        {"rwI", rkEntry, 0},
        {"SSR", rkFileSystem, 0x101}, // position and repetition do not matter
        {"[B]", rkAttribute, 0},      // a letter of another kind counts for nothing
        {"4294967295", rkEntry, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        bool ok = false;
        EXPECT_EQ(U_StrToRights(c.text, c.kind, &ok), c.expected) << c.text;
        EXPECT_TRUE(ok) << c.text;
    }
}

TEST(RightsNotation, StrToRightsRejectsOutOfRangeNumbers) {
    for (const char* text : {"-1", "-64", " - 5", "4294967296", "99999999999999999999999"}) {
        bool ok = true;
        EXPECT_EQ(U_StrToRights(text, rkEntry, &ok), 0u) << text;
        EXPECT_FALSE(ok) << text;
        EXPECT_EQ(U_StrToRights(text, rkAttribute), 0u) << text; // without the flag: still 0
    }
}

TEST(RightsNotation, EveryLetteredMaskParsesBack) {
    for (TRightsKind kind : {rkFileSystem, rkEntry, rkAttribute}) {
        std::uint32_t lettered = 0;
        for (const TRightsLetter& r : U_RightsLetters(kind))
            lettered |= r.Bit;
        for (std::uint32_t mask = 0; mask <= 0x1FF; ++mask) {
            const std::string text = U_RightsToStr(mask, kind);
            ASSERT_EQ(U_StrToRights(text, kind), mask & lettered) << text << " kind " << int(kind);
        }
    }
}

TEST(RightsNotation, KindOfAttribute) {
    EXPECT_EQ(U_RightsKindOf("[Entry Rights]"), rkEntry);
    EXPECT_EQ(U_RightsKindOf("[Inheritance Mask]"), rkEntry);
    EXPECT_EQ(U_RightsKindOf("\"[Entry Rights]\""), rkEntry); // a substring is enough
    EXPECT_EQ(U_RightsKindOf("[entry rights]"), rkAttribute); // case-sensitive
    EXPECT_EQ(U_RightsKindOf("[All Attributes Rights]"), rkAttribute);
    EXPECT_EQ(U_RightsKindOf("Security Equals"), rkAttribute);
    EXPECT_EQ(U_RightsKindOf(""), rkAttribute);
}

TEST(RightsNotation, FormatAndBuildACLText) {
    EXPECT_EQ(U_FormatACL("[RW]", ".admin.acme", "CN"), "[RW] .admin.acme / CN");
    EXPECT_EQ(U_FormatACL("B    I", ".admin.acme", "[Entry Rights]"),
              "[B    I] .admin.acme / [Entry Rights]");
    EXPECT_EQ(U_ACLToStr(0x01, "[Public]", "[Entry Rights]"), "[B    I] [Public] / [Entry Rights]");
    EXPECT_EQ(U_ACLToStr(0x43, ".admin.acme", "[All Attributes Rights]"),
              "[CR   I] .admin.acme / [All Attributes Rights]");
}

TEST(RightsNotation, ParseACL) {
    const TACL acl = U_ParseACL("[B    I] .admin.sales.acme / [Entry Rights]");
    EXPECT_EQ(acl.Rights, "B    I");
    EXPECT_EQ(acl.Trustee, ".admin.sales.acme");
    EXPECT_EQ(acl.Attribute, "[Entry Rights]");
    EXPECT_EQ(acl.Kind, rkEntry);
    EXPECT_EQ(acl.Mask, 0x01u);

    const TACL quoted = U_ParseACL("[CR    ] admin / \"Security Equals\"");
    const TACL bare = U_ParseACL("[CR    ] admin / Security Equals");
    EXPECT_EQ(quoted.Attribute, "Security Equals");
    EXPECT_EQ(quoted.Attribute, bare.Attribute);
    EXPECT_EQ(quoted.Kind, rkAttribute);
    EXPECT_EQ(quoted.Mask, 0x03u);

    const TACL filter = U_ParseACL("[B     ] [Inheritance Mask] / [Entry Rights]");
    EXPECT_EQ(filter.Trustee, "[Inheritance Mask]");
    EXPECT_EQ(filter.Mask, 0x41u);

    // A trustee holding " / " is cut at its first occurrence, like the attribute.
    const TACL odd = U_ParseACL("[R] a / b / c");
    EXPECT_EQ(odd.Trustee, "a");
    EXPECT_EQ(odd.Attribute, "b / c");

    // A text without the separators: every part is the whole text, as the rules say.
    const TACL none = U_ParseACL("garbage");
    EXPECT_EQ(none.Rights, "garbage");
    EXPECT_EQ(none.Trustee, "garbage");
    EXPECT_EQ(none.Attribute, "garbage");
    EXPECT_EQ(none.Kind, rkAttribute);

    // An out-of-range number in the rights grants nothing.
    EXPECT_EQ(U_ParseACL("[-5] x / [Entry Rights]").Mask, 0u);
}

TEST(RightsNotation, ACLRightsAndTrustee) {
    EXPECT_EQ(U_ACLRights("[BCD  I] admin.acme / [Entry Rights]"), "BCD  I");
    EXPECT_EQ(U_ACLRights("no brackets"), "no brackets");
    EXPECT_EQ(U_ACLTrustee("[BCD  I] admin.acme / [Entry Rights]"), ".admin.acme");
    EXPECT_EQ(U_ACLTrustee("[BCD  I] .admin.acme / [Entry Rights]"), ".admin.acme");
    EXPECT_EQ(U_ACLTrustee("[B    I] [Public] / [Entry Rights]"), "[Public]");
    EXPECT_EQ(U_ACLTrustee("[B    I] [Inheritance Mask] / CN"), "[Inheritance Mask]");
    EXPECT_EQ(U_ACLTrustee("[B    I]  / CN"), "");
}

TEST(RightsNotation, ImpliedRights) {
    struct Case {
        std::uint32_t mask;
        TRightsKind kind;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {0x10, rkEntry, 0x1F},        {0x50, rkEntry, 0x5F},     {0x0F, rkEntry, 0x0F},
        {0x04, rkAttribute, 0x0C},    {0x02, rkAttribute, 0x03}, {0x20, rkAttribute, 0x2F},
        {0x46, rkAttribute, 0x4F},    {0x00, rkAttribute, 0x00}, {0x100, rkFileSystem, 0x1FF},
        {0x001, rkFileSystem, 0x001}, {0x08, rkAttribute, 0x08}, // Self implies nothing
        {0x02, rkEntry, 0x02},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U_ImpliedRights(c.mask, c.kind), c.expected) << c.mask << "/" << int(c.kind);
}

TEST(RightsNotation, Inheritable) {
    EXPECT_TRUE(U_IsInheritable(0x00, rkEntry));
    EXPECT_FALSE(U_IsInheritable(0x40, rkEntry));
    EXPECT_TRUE(U_IsInheritable(0x42, rkAttribute));
    EXPECT_FALSE(U_IsInheritable(0x02, rkAttribute));
    EXPECT_FALSE(U_IsInheritable(0x00, rkFileSystem));
    EXPECT_FALSE(U_IsInheritable(0x40, rkFileSystem));
}

TEST(RightsNotation, MaskAppliesByAttributeClass) {
    auto acl = [](const char* attribute) {
        TACL a;
        a.Attribute = attribute;
        return a;
    };
    struct Case {
        const char* filter;
        const char* entry;
        bool applies;
    };
    const Case cases[] = {
        {"[Entry Rights]", "[Entry Rights]", true},
        {"[Entry Rights]", "[All Attributes Rights]", false},
        {"[Entry Rights]", "CN", false},
        {"[All Attributes Rights]", "[All Attributes Rights]", true},
        {"[All Attributes Rights]", "Security Equals", true},
        {"[All Attributes Rights]", "[Entry Rights]", false},
        {"Security Equals", "[All Attributes Rights]", false},
        {"Security Equals", "Security Equals", true},
        {"Security Equals", "security equals", false},
        {"Security Equals", "CN", false},
        {"Security Equals", "[Entry Rights]", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U_MaskApplies(acl(c.filter), acl(c.entry)), c.applies) << c.filter << " on " << c.entry;
    }
}

TEST(RightsNotation, FilterRightsAndHasRights) {
    EXPECT_EQ(U_FilterRights("B    I", "BCDRAI"), "B    I");
    EXPECT_TRUE(U_HasRights("B    I"));
    EXPECT_EQ(U_FilterRights("      ", "BCDRAI"), "     I"); // I is never filtered out
    EXPECT_FALSE(U_HasRights("     I"));
    EXPECT_FALSE(U_HasRights("      "));
    EXPECT_FALSE(U_HasRights(""));
    EXPECT_EQ(U_FilterRights("CR    ", "CRW  I"), "CR   I");
    EXPECT_EQ(U_FilterRights("RWCEAFMS", "RW  A   "), "RW  A   ");
    EXPECT_EQ(U_FilterRights("R", "RWCEAFMS"), "R       ");
}

} // namespace era
