// The completion codes the clients give by name: each carries the directory's or the client's
// published number, and the error-text table describes that number as the name says. A code named
// for one failure but numbered for another shows the user a text about something else.

#include "client/context_client.h"
#include "client/name_forms.h"
#include "client/snapshot/effective_rights.h"
#include "client/snapshot/snapshot_client.h"
#include "directory/client.h"
#include "directory/error_table.h"
#include "rights/search_filter.h"

#include <gtest/gtest.h>

namespace era {
namespace {

TEST(CompletionCodes, EachNamedCodeHasItsPublishedNumberAndText) {
    struct TCase {
        const char* Name;
        NWCCODE Code;
        NWCCODE Published;
        const char* Text;
    };
    const TCase cases[] = {
        // The directory's codes, raised on the workstation
        {"ErrBadKey", ErrBadKey, -302, "bad context key"},
        {"ErrBadContext", ErrBadContext, -303, "bad context"},
        {"ErrBufferFull", ErrBufferFull, -304, "buffer full"},
        {"ErrBufferEmpty", ErrBufferEmpty, -307, "buffer empty"},
        {"ErrInvalidHandle", ErrInvalidHandle, -322, "invalid handle"},
        {"ErrIllegalAttributeSyntax", ErrIllegalAttributeSyntax, -325, "invalid attribute syntax"},
        {"ErrInvalidFilterSyntax", ErrInvalidFilterSyntax, -326, "invalid filter syntax"},
        {"ErrNotLoggedIn", ErrNotLoggedIn, -337, "not logged in"},
        // ... and answered by the directory
        {"ErrNoSuchEntry", ErrNoSuchEntry, -601, "no such entry"},
        {"ErrNoSuchValue", ErrNoSuchValue, -602, "no such value"},
        {"ErrNoSuchAttribute", ErrNoSuchAttribute, -603, "no such attribute"},
        {"ErrNoSuchClass", ErrNoSuchClass, -604, "no such class"},
        {"ErrIllegalDsName", ErrIllegalDsName, -610, "illegal directory name"},
        {"ErrSyntaxViolation", ErrSyntaxViolation, -613, "syntax violation"},
        {"ErrTransportFailure", ErrTransportFailure, -625, "transport failure (server unreachable)"},
        {"ErrAllReferralsFailed", ErrAllReferralsFailed, -626, "all referrals failed"},
        {"ErrTreeNotFound", ErrTreeNotFound, -626, "all referrals failed"},
        {"ErrInvalidRequest", ErrInvalidRequest, -641, "invalid request"},
        {"ErrInsufficientBuffer", ErrInsufficientBuffer, -649, "insufficient buffer"},
        {"ErrNoAccess", ErrNoAccess, -672, "no access"},
        // A file server's code passed through a directory call
        {"ErrDirectoryNotFound", ErrDirectoryNotFound, -156, "invalid path, or no more trustees"},
        // The client library's codes
        {"NweInvalidConnection", NweInvalidConnection, 0x8801, "invalid connection"},
        {"NweBufferOverflow", NweBufferOverflow, 0x880E, "buffer overflow"},
        {"NweParamInvalid", NweParamInvalid, 0x8836, "invalid parameter"},
        {"NweRequesterFailure", NweRequesterFailure, 0x88FF, "client failure"},
        {"ErrLocalPath", ErrLocalPath, 0x88FF, "client failure"},
        {"NweClientNotStarted", NweClientNotStarted, 0xFFFF, "NetWare client not initialised"},
        // The file server's codes
        {"NweVolumeDoesNotExist", NweVolumeDoesNotExist, 0x8998, "volume does not exist"},
        {"NweBadDirectoryHandle", NweBadDirectoryHandle, 0x899B, "bad directory handle"},
        {"NweNoMoreTrustees", NweNoMoreTrustees, 0x899C, "invalid path, or no more trustees"},
        {"NweInvalidPath", NweInvalidPath, 0x899C, "invalid path, or no more trustees"},
        {"NweNoDirectoryHandles", NweNoDirectoryHandles, 0x899D, "no more directory handles"},
        {"NweAccessDenied", NweAccessDenied, 0x89A8, "access denied"},
        {"NweNoSuchObject", NweNoSuchObject, 0x89FC, "no such object"},
        {"NweNoMoreDirEntries", NweNoMoreDirEntries, 0x89FF, "failure (no files found, or hardware error)"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(c.Code, c.Published) << c.Name;
        EXPECT_STREQ(NWErrorDescription(c.Code), c.Text) << c.Name;
    }
}

// What the user reads for a filter value that cannot be searched for, as in
// era search "(Login Grace Limit=abc)".
TEST(CompletionCodes, AFilterValueThatCannotBeConvertedIsDescribedAsSuch) {
    TAttrValue value;
    EXPECT_STREQ(NWErrorDescription(ConvertFilterValue("abc", SynInteger, value)), "syntax violation");
    EXPECT_STREQ(NWErrorDescription(ConvertFilterValue("a#b", SynObjectACL, value)), "syntax violation");
    EXPECT_STREQ(NWErrorDescription(ConvertFilterValue("x", SynNetAddress, value)), "invalid attribute syntax");
}

} // namespace
} // namespace era
