#include "client/snapshot/ldif_loader.h"
#include "client_fixture.h"

#include <cstdio>

namespace era {

using namespace era::test;

namespace {

// What a loaded tree holds, one line an entry: the entry's naming part, line, container and class,
// then each attribute with its values (names as the entry they point at).
std::string DumpTree(const TSnapshotTree& tree) {
    auto text = [](std::string_view s) {
        std::string out;
        for (unsigned char c : s) {
            if (c < 32 || c > 126) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
        return out;
    };
    std::string out;
    const auto& objects = tree.Objects();
    for (uint32_t i = 0; i < objects.size(); ++i) {
        const auto& object = objects[i];
        if (i == RootObject && object.Line == 0 && object.Attributes.empty()) continue;
        out += text(object.Rdn.Type) + "=" + text(object.Rdn.Value) + " @" + std::to_string(object.Line);
        if (i != RootObject) out += " in " + std::to_string(object.Parent);
        out += " " + text(object.BaseClass) + ":";
        for (const auto& attribute : object.Attributes) {
            out += " " + text(tree.Attributes()[attribute.Attribute].Name) + "=";
            for (size_t v = 0; v < attribute.Values.size(); ++v) {
                const auto& value = attribute.Values[v];
                if (v) out += "|";
                out += value.Name == TNameRef::Object ? "#" + std::to_string(value.Object)
                                                      : "'" + text(value.Text) + "'";
            }
        }
        out += "\n";
    }
    return out;
}

} // namespace

// Each snippet is read as LDIF reads it: folds, base64, line ends, comments and white space, and
// the faults each reader of it must name with the same line and words. Expected: the tree, or the
// message after the file's name.
TEST(LdifReader, TrickySnippetsGiveTheirTreeOrTheirFault) {
    struct TCase {
        const char* Name;
        std::string Ldif;
        std::string Expected;
    };
    const TCase cases[] = {
        {"a folded value, its fold dropped",
         "dn: o=x\nobjectClass: organization\ndescription: a long\n  folded value\n",
         "O=x @1 in 0 Organization: Object Class='Organization' Description='a long folded value'\n"},
        {"a folded DN",
         "dn: o=x\nobjectClass: organization\n\ndn: ou=sa\n les,o=x\nobjectClass: organizationalUnit\n",
         "O=x @1 in 0 Organization: Object Class='Organization'\n"
         "OU=sales @4 in 1 Organizational Unit: Object Class='Organizational Unit'\n"},
        {"a folded name keeps its fold", "dn: o=x\nobjectClass: organization\ndescr\n iption: d\n",
         "O=x @1 in 0 Organization: Object Class='Organization' descr\\x0d\\x0diption='d'\n"},
        {"base64 values and DNs",
         "dn:: bz14\nobjectClass: organization\n\ndn:: b3U9eSxvPXg=\nobjectClass:: "
         "b3JnYW5pemF0aW9uYWxVbml0\ndescription:: AGE=\n",
         "O=x @1 in 0 Organization: Object Class='Organization'\n"
         "OU=y @4 in 1 Organizational Unit: Object Class='Organizational Unit' Description='\\x00a'\n"},
        {"CRLF line ends, a CRLF fold and a CRLF blank line",
         "dn: o=x\r\nobjectClass: organization\r\ndescription: a\r\n b\r\n\r\ndn: ou=y,o=x\r\nobjectClass: "
         "organizationalUnit\r\n",
         "O=x @1 in 0 Organization: Object Class='Organization' Description='ab'\n"
         "OU=y @6 in 1 Organizational Unit: Object Class='Organizational Unit'\n"},
        {"comments inside a record, one folded",
         "# head\n\ndn: o=x\n# inside\n continued: not a line\nobjectClass: organization\n#x\ndescription: "
         "d\n",
         "O=x @3 in 0 Organization: Object Class='Organization' Description='d'\n"},
        {"empty values, trailing spaces kept",
         "dn: o=x\nobjectClass: organization\ndescription:\ndescription: \ndescription: a  \n",
         "O=x @1 in 0 Organization: Object Class='Organization' Description=''|''|'a  '\n"},
        {"carriage returns inside a value dropped",
         "dn: o=x\nobjectClass: organization\ndescription: a\rb\r\n",
         "O=x @1 in 0 Organization: Object Class='Organization' Description='ab'\n"},
        {"white space before the colon makes another name",
         "dn: o=x\nobjectClass: organization\ndescription\t : a\n",
         "O=x @1 in 0 Organization: Object Class='Organization' description\\x00\\x00='a'\n"},
        {"white space before the name skipped", "\tdn: o=x\nobjectClass: organization\n",
         "O=x @1 in 0 Organization: Object Class='Organization'\n"},
        {"a line starting with a space continues the one before", "dn: o=x\n objectClass: organization\n",
         ":1: expected an \"objectClass\" line in the entry"},
        {"padded base64 with spaces after it", "dn: o=x\nobjectClass: organization\ndescription::   QQ==  \n",
         "O=x @1 in 0 Organization: Object Class='Organization' Description='A'\n"},
        {"base64 without padding and spaces after it",
         "dn: o=x\nobjectClass: organization\ndescription:: QUJD \n",
         ":3: expected an attribute line \"name: value\" or \"name:: base64 value\""},
        {"base64 without a value", "dn: o=x\nobjectClass: organization\ndescription:: \n",
         ":3: expected an attribute line \"name: value\" or \"name:: base64 value\""},
        {"a bad base64 value", "dn: o=x\nobjectClass: organization\ndescription:: QUJ\n",
         ":3: the value of \"description\" is no valid base64 (expected groups of four of A-Z, a-z, 0-9, "
         "\"+\" and \"/\", the last one padded with \"=\")"},
        {"a folded base64 value", "dn: o=x\nobjectClass: organization\ndescription:: QUJD\n RA==\n",
         ":3: the value of \"description\" is no valid base64 (expected groups of four of A-Z, a-z, 0-9, "
         "\"+\" and \"/\", the last one padded with \"=\")"},
        {"a missing dn", "version: 1\n\n# c\nobjectClass: organization\n",
         ":4: expected the record to begin with \"dn:\""},
        {"a duplicate entry",
         "dn: o=x\nobjectClass: organization\n\n\n\ndn: O=X\nobjectClass: organization\n",
         ":6: the entry \"O=X\" is already in the file (line 1)"},
        {"a value by URL", "dn: o=x\nobjectClass: organization\njpegPhoto:< file:///etc/passwd\n",
         ":3: values given by URL (\":<\") are not read; put the value into the file"},
        {"a version line, blank lines and a comment block before the first record",
         "\n\nversion: 1\n\n\n# a\n more\n\ndn: o=x\nobjectClass: organization\nACL: broken\n",
         ":11: expected an ACL value of four parts, privileges#scope#subject#protected attribute (such as "
         "16#subtree#cn=admin,o=acme#[Entry Rights])"},
        {"a record number", "dn: o=x\nobjectClass: organization\n\n7\ndn: ou=y,o=x\n",
         ":4: expected the record to begin with \"dn:\""},
        {"an include line after an earlier fault",
         "dn: o=x\nbad line\n\ndn: ou=y,o=x\nInclude: file:///etc/passwd\n",
         ":5: \"include:\" lines are not followed; export the tree into one file"},
        {"a zero byte ends its line's text",
         std::string("dn: o=x\nobjectClass: organization\ndescription: a\0zz\nb\ncn: c\n", 60),
         "O=x @1 in 0 Organization: Object Class='Organization' Description='ab' CN='c'\n"},
        {"a zero byte after a carriage return and one character: the line ends at the carriage return",
         std::string("dn: o=x\nobjectClass: organization\ndescription: \ra\0b\ncn: c\n", 58),
         "O=x @1 in 0 Organization: Object Class='Organization' Description='' CN='c'\n"},
        {"a last line without a line feed", "dn: o=x\nobjectClass: organization\ndescription: end",
         "O=x @1 in 0 Organization: Object Class='Organization' Description='end'\n"},
        {"a last line ending in a carriage return and one character",
         "dn: o=x\nobjectClass: organization\ndescription: ab\r#",
         "O=x @1 in 0 Organization: Object Class='Organization' Description='ab'\n"},
        {"a line of a carriage return alone ends the record",
         "dn: o=x\nobjectClass: organization\n\r\r\ndescription: lost\n\ndn: ou=y,o=x\nobjectClass: "
         "organizationalUnit\n",
         "O=x @1 in 0 Organization: Object Class='Organization'\n"
         "OU=y @6 in 1 Organizational Unit: Object Class='Organizational Unit'\n"},
        {"attribute options kept in the name",
         "dn: o=x\nobjectClass: organization\ndescription;lang-en: opt\n",
         "O=x @1 in 0 Organization: Object Class='Organization' Description='opt'\n"},
        {"a byte-order mark before the first line",
         "\xEF\xBB\xBF"
         "dn: o=x\nobjectClass: organization\n",
         "O=x @1 in 0 Organization: Object Class='Organization'\n"},
        {"a line without a colon", "dn: o=x\nobjectClass: organization\nno colon\n",
         ":3: expected an attribute line \"name: value\" or \"name:: base64 value\""},
        {"a second dn in a record", "dn: o=x\nobjectClass: organization\ndn: ou=y,o=x\n",
         ":3: expected an attribute of the entry; records are separated by an empty line"},
    };
    TTempFolder folder;
    const std::string file = folder.Path("tree.ldif");
    for (const auto& c : cases) {
        folder.Write("tree.ldif", c.Ldif);
        std::string message;
        const auto tree = LoadLdifTree(file, "X_TREE", message);
        if (tree) {
            EXPECT_EQ(message, "") << c.Name;
            EXPECT_EQ(DumpTree(*tree), c.Expected) << c.Name;
        } else {
            ASSERT_EQ(message.rfind(file, 0), 0u) << c.Name << ": " << message;
            EXPECT_EQ(message.substr(file.size()), c.Expected) << c.Name;
        }
    }
}

} // namespace era
