#pragma once

// The completion codes the directory client gives, by name: every code a caller tests or a
// backend returns is written here once, with its number and what it means (the error-text table
// holds the words shown to the user). Directory codes are negative, NetWare client and server
// codes are 0x88xx and 0x89xx, 0 is success.

#include <cstdint>

namespace era {

using NWCCODE = int32_t;   // completion code, 0 = success

// --- Directory codes
constexpr NWCCODE ErrNotEnoughMemory = -301;          // the client could not allocate
constexpr NWCCODE ErrBadKey = -302;                   // a context key the client does not know, or of another type
constexpr NWCCODE ErrBadContext = -303;               // a context handle that is not open
constexpr NWCCODE ErrBufferFull = -304;               // no room left in a request buffer
constexpr NWCCODE ErrBufferEmpty = -307;              // a result buffer read past its last item
constexpr NWCCODE ErrInvalidHandle = -322;            // an iteration handle the client did not give
constexpr NWCCODE ErrIllegalAttributeSyntax = -325;   // no value conversion for that syntax
constexpr NWCCODE ErrInvalidFilterSyntax = -326;      // filter tokens that make no filter
constexpr NWCCODE ErrInvalidResponse = -330;          // a server answer that cannot be decoded
constexpr NWCCODE ErrNotLoggedIn = -337;              // no authenticated connection to the tree
constexpr NWCCODE ErrNoSuchEntry = -601;              // no object of that name
constexpr NWCCODE ErrNoSuchValue = -602;              // the attribute has no such value
constexpr NWCCODE ErrNoSuchAttribute = -603;          // the object or schema has no such attribute
constexpr NWCCODE ErrNoSuchClass = -604;              // the schema has no such class
constexpr NWCCODE ErrIllegalDsName = -610;            // a name that cannot be read (empty part, too many dots)
constexpr NWCCODE ErrSyntaxViolation = -613;          // a value that cannot be read for its syntax
constexpr NWCCODE ErrTransportFailure = -625;         // the server cannot be reached
constexpr NWCCODE ErrAllReferralsFailed = -626;       // no server holding the name answered
constexpr NWCCODE ErrTreeNotFound = ErrAllReferralsFailed;   // no server of that tree can be reached
constexpr NWCCODE ErrSystemFailure = -632;            // the server failed the operation itself
constexpr NWCCODE ErrInvalidRequest = -641;           // a request the server does not carry out
constexpr NWCCODE ErrInsufficientBuffer = -649;       // more results than the server gives at once
constexpr NWCCODE ErrAuthenticationFailed = -669;     // wrong or missing credentials
constexpr NWCCODE ErrNoAccess = -672;                 // the identity may not read what was asked
constexpr NWCCODE ErrFatal = -699;                    // any other failure of the server or library

// --- File-system codes
constexpr NWCCODE ErrDirectoryNotFound = -156;        // what the path operations answer for a missing directory

// --- NetWare client codes (0x88xx)
constexpr NWCCODE NweInvalidConnection = 0x8801;      // a connection handle that is not open
constexpr NWCCODE NweBufferOverflow = 0x880E;         // an information buffer too small for the answer
constexpr NWCCODE NweNoMoreEntries = 0x880F;          // end of a connection reference scan
constexpr NWCCODE NweParamInvalid = 0x8836;           // an information type the client does not know
constexpr NWCCODE NweRequesterFailure = 0x88FF;       // no server reachable for this request
// The code a local path (no mapped drive, no UNC path of a known server) gives: no server serves it.
constexpr NWCCODE ErrLocalPath = NweRequesterFailure;

// --- NetWare server codes (0x89xx)
constexpr NWCCODE NweVolumeDoesNotExist = 0x8998;     // no volume of that name on the server
constexpr NWCCODE NweBadDirectoryHandle = 0x899B;     // a directory handle the server did not give
constexpr NWCCODE NweNoMoreTrustees = 0x899C;         // end of a trustee scan (also: invalid path)
constexpr NWCCODE NweInvalidPath = NweNoMoreTrustees; // what the server answers for a path it has not
constexpr NWCCODE NweNoDirectoryHandles = 0x899D;     // every entry-scan handle is in use
constexpr NWCCODE NweAccessDenied = 0x89A8;           // a file request on a connection nobody is logged in on
constexpr NWCCODE NweNoSuchObject = 0x89FC;           // bindery: unknown object
constexpr NWCCODE NweNoMoreDirEntries = 0x89FF;       // end of a directory entry scan

// --- Client state
constexpr NWCCODE NweClientNotStarted = 0xFFFF;       // the client libraries are not installed

// --- Access layer
constexpr NWCCODE StreamReadFailed = 30;              // a stream that opened but could not be read

} // namespace era
