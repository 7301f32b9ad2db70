#include "directory/error_table.h"

namespace era {

namespace {

// The file server's 8-bit completion codes. The client reports them as 0x89xx; directory calls
// that pass a server's answer through report the same number negated (-1 to -255).
const char* ServerCompletion(int32_t code) {
    switch (code) {
    case 0x01:
        return "insufficient disk space on the server";
    case 0x7E:
        return "request length outside the allowed bounds";
    case 0x80:
        return "file in use (lock failed)";
    case 0x81:
        return "no more file handles";
    case 0x82:
        return "no right to open the file";
    case 0x83:
        return "I/O error on the network disk";
    case 0x84:
        return "no right to create";
    case 0x85:
        return "no right to create or delete";
    case 0x86:
        return "the file to create exists and is read-only";
    case 0x87:
        return "invalid characters or wildcards in a file name to create";
    case 0x88:
        return "invalid file handle";
    case 0x89:
        return "no right to search (file scan)";
    case 0x8A:
        return "no right to delete";
    case 0x8B:
        return "no right to rename";
    case 0x8C:
        return "no right to modify";
    case 0x8D:
        return "some files in use";
    case 0x8E:
        return "all files in use";
    case 0x8F:
        return "some files are read-only";
    case 0x90:
        return "all files are read-only";
    case 0x91:
        return "some names already exist";
    case 0x92:
        return "all names already exist";
    case 0x93:
        return "no right to read";
    case 0x94:
        return "no right to write";
    case 0x95:
        return "file detached";
    case 0x96:
        return "server out of memory";
    case 0x97:
        return "no disk space for the spool file";
    case 0x98:
        return "volume does not exist";
    case 0x99:
        return "directory full";
    case 0x9A:
        return "rename across volumes";
    case 0x9B:
        return "bad directory handle";
    case 0x9C:
        return "invalid path, or no more trustees";
    case 0x9D:
        return "no more directory handles";
    case 0x9E:
        return "invalid file name";
    case 0x9F:
        return "directory in use";
    case 0xA0:
        return "directory not empty";
    case 0xA1:
        return "directory I/O error";
    case 0xA2:
        return "read blocked by a record lock";
    case 0xA8:
        return "access denied";
    case 0xBF:
        return "invalid name space";
    case 0xC5:
        return "account locked by intruder detection";
    case 0xC6:
        return "no console operator rights";
    case 0xD7:
        return "password not unique";
    case 0xD8:
        return "password too short";
    case 0xDE:
        return "password expired and no grace logins left";
    case 0xDF:
        return "password expired";
    case 0xE9:
        return "member already exists";
    case 0xEA:
        return "no such member";
    case 0xEB:
        return "not a group property";
    case 0xEC:
        return "no such segment";
    case 0xED:
        return "property already exists";
    case 0xEE:
        return "object already exists";
    case 0xEF:
        return "invalid name";
    case 0xF0:
        return "wildcards not allowed";
    case 0xF1:
        return "invalid bindery security";
    case 0xF2:
        return "no right to read the object";
    case 0xF3:
        return "no right to rename the object";
    case 0xF4:
        return "no right to delete the object";
    case 0xF5:
        return "no right to create the object";
    case 0xF6:
        return "no right to delete the property";
    case 0xF7:
        return "no right to create the property";
    case 0xF8:
        return "no right to write the property";
    case 0xF9:
        return "no right to read the property";
    case 0xFA:
        return "temporary remap error, or no free connection slots";
    case 0xFB:
        return "no such property, or invalid parameters";
    case 0xFC:
        return "no such object";
    case 0xFD:
        return "bad station number";
    case 0xFE:
        return "bindery or directory locked, or timeout";
    case 0xFF:
        return "failure (no files found, or hardware error)";
    default:
        return nullptr;
    }
}

// The client library's own codes and the directory's negative codes.
const char* ClientOrDirectory(int32_t code) {
    switch (code) {
    // NetWare client library
    case 0x8800:
        return "already attached to the server";
    case 0x8801:
        return "invalid connection";
    case 0x8802:
        return "drive in use";
    case 0x8803:
        return "cannot map the drive";
    case 0x8804:
        return "bad drive base";
    case 0x8805:
        return "network receive error";
    case 0x8806:
        return "unknown network error";
    case 0x8807:
        return "invalid server slot";
    case 0x8808:
        return "no server slots left";
    case 0x8809:
        return "network send error";
    case 0x880A:
        return "no route to the server";
    case 0x880B:
        return "bad local target";
    case 0x880C:
        return "too many request fragments";
    case 0x880D:
        return "connection list overflow";
    case 0x880E:
        return "buffer overflow";
    case 0x880F:
        return "no connection to the server";
    case 0x8810:
        return "no router found";
    case 0x8811:
        return "invalid client call";
    case 0x8812:
        return "scan complete";
    case 0x8813:
        return "unsupported name format";
    case 0x8816:
        return "invalid request packet length";
    case 0x8819:
        return "connection to the server lost";
    case 0x881A:
        return "client out of memory";
    case 0x881B:
        return "invalid service request";
    case 0x881F:
        return "bad connection number";
    case 0x8822:
        return "invalid connection handle";
    case 0x8830:
        return "not the same connection";
    case 0x8831:
        return "no primary connection set";
    case 0x8834:
        return "invalid buffer length";
    case 0x8835:
        return "no user name";
    case 0x8836:
        return "invalid parameter";
    case 0x8846:
        return "no connection to the directory";
    case 0x8847:
        return "no server found";
    case 0x884B:
        return "no drives available";
    case 0x8855:
        return "preferred server not found";
    case 0x885A:
        return "client requester failure";
    case 0x885B:
        return "access to the resource denied";
    case 0x8861:
        return "packet signature level conflict";
    case 0x8866:
        return "no more entries";
    case 0x8867:
        return "insufficient resources";
    case 0x8868:
        return "string translation needed";
    case 0x8869:
        return "access violation";
    case 0x886A:
        return "not authenticated";
    case 0x886B:
        return "invalid information level";
    case 0x886D:
        return "invalid name format";
    case 0x886E:
        return "object exists";
    case 0x886F:
        return "object not found";
    case 0x8870:
        return "unsupported transport type";
    case 0x8871:
        return "invalid string type";
    case 0x8873:
        return "unsupported authenticator";
    case 0x88FF:
        return "client failure";
    case 0xFFFF:
        return "NetWare client not initialised";

    // eDirectory, raised on the workstation
    case -301:
        return "not enough memory";
    case -302:
        return "bad context key";
    case -303:
        return "bad context";
    case -304:
        return "buffer full";
    case -305:
        return "list empty";
    case -306:
        return "bad syntax";
    case -307:
        return "buffer empty";
    case -308:
        return "bad verb";
    case -309:
        return "identifier expected";
    case -310:
        return "equals sign expected";
    case -311:
        return "attribute type expected";
    case -312:
        return "attribute type not expected";
    case -313:
        return "filter tree empty";
    case -314:
        return "invalid object name";
    case -315:
        return "name delimiter expected";
    case -316:
        return "too many tokens";
    case -317:
        return "inconsistent multi-valued name";
    case -318:
        return "country name too long";
    case -319:
        return "system error";
    case -320:
        return "cannot add [Root]";
    case -321:
        return "unable to attach";
    case -322:
        return "invalid handle";
    case -323:
        return "buffer of zero length";
    case -324:
        return "invalid replica type";
    case -325:
        return "invalid attribute syntax";
    case -326:
        return "invalid filter syntax";
    case -328:
        return "context creation failed";
    case -329:
        return "invalid union tag";
    case -330:
        return "invalid server response";
    case -331:
        return "null pointer";
    case -332:
        return "no server found";
    case -333:
        return "no connection";
    case -334:
        return "relative name too long";
    case -335:
        return "duplicate type";
    case -336:
        return "data store failure";
    case -337:
        return "not logged in";
    case -338:
        return "invalid characters in the password";
    case -339:
        return "server authentication failed";
    case -340:
        return "transport error";
    case -341:
        return "no such syntax";
    case -342:
        return "invalid directory name";
    case -343:
        return "attribute name too long";
    case -344:
        return "invalid tagged data store";
    case -345:
        return "invalid directory version";
    case -346:
        return "Unicode translation failed";
    case -347:
        return "schema name too long";
    case -348:
        return "Unicode file not found";
    case -349:
        return "Unicode tables already loaded";
    case -350:
        return "not the context owner";
    case -351:
        return "attempt to authenticate with 0";
    case -352:
        return "no writable replicas";
    case -353:
        return "name too long";
    case -354:
        return "rename not allowed";

    // eDirectory, answered by the directory
    case -601:
        return "no such entry";
    case -602:
        return "no such value";
    case -603:
        return "no such attribute";
    case -604:
        return "no such class";
    case -605:
        return "no such partition";
    case -606:
        return "entry already exists";
    case -607:
        return "not an effective class";
    case -608:
        return "illegal attribute";
    case -609:
        return "missing mandatory attribute";
    case -610:
        return "illegal directory name";
    case -611:
        return "illegal containment";
    case -612:
        return "attribute cannot have multiple values";
    case -613:
        return "syntax violation";
    case -614:
        return "duplicate value";
    case -615:
        return "attribute already exists";
    case -616:
        return "maximum number of entries exists";
    case -617:
        return "database format error";
    case -618:
        return "inconsistent database";
    case -619:
        return "invalid comparison";
    case -620:
        return "comparison failed";
    case -621:
        return "transactions disabled";
    case -622:
        return "invalid transport";
    case -623:
        return "syntax invalid in a name";
    case -624:
        return "replica already exists";
    case -625:
        return "transport failure (server unreachable)";
    case -626:
        return "all referrals failed";
    case -627:
        return "cannot remove the naming value";
    case -628:
        return "object class violation";
    case -629:
        return "entry is not a leaf";
    case -630:
        return "different tree";
    case -631:
        return "illegal replica type";
    case -632:
        return "system failure";
    case -633:
        return "invalid entry for [Root]";
    case -634:
        return "no referrals";
    case -635:
        return "remote failure";
    case -636:
        return "server unreachable";
    case -637:
        return "previous move still in progress";
    case -638:
        return "no character mapping";
    case -639:
        return "incomplete authentication";
    case -640:
        return "invalid certificate";
    case -641:
        return "invalid request";
    case -642:
        return "invalid iteration";
    case -643:
        return "schema is not removable";
    case -644:
        return "schema is in use";
    case -645:
        return "class already exists";
    case -646:
        return "bad naming attributes";
    case -647:
        return "not the root partition";
    case -648:
        return "insufficient stack";
    case -649:
        return "insufficient buffer";
    case -650:
        return "ambiguous containment";
    case -651:
        return "ambiguous naming";
    case -652:
        return "duplicate mandatory attribute";
    case -653:
        return "duplicate optional attribute";
    case -654:
        return "partition busy";
    case -655:
        return "multiple replicas";
    case -656:
        return "crucial replica";
    case -657:
        return "schema synchronisation in progress";
    case -658:
        return "synchronisation in progress";
    case -659:
        return "time not synchronised";
    case -660:
        return "record in use";
    case -661:
        return "directory volume not mounted";
    case -662:
        return "directory volume I/O failure";
    case -663:
        return "directory locked";
    case -664:
        return "old epoch";
    case -665:
        return "new epoch";
    case -666:
        return "incompatible directory version";
    case -667:
        return "partition root";
    case -668:
        return "entry is not a container";
    case -669:
        return "authentication failed";
    case -670:
        return "invalid context";
    case -671:
        return "no such parent";
    case -672:
        return "no access";
    case -673:
        return "replica not on";
    case -674:
        return "invalid name service";
    case -675:
        return "invalid task";
    case -676:
        return "invalid connection handle";
    case -677:
        return "invalid identity";
    case -678:
        return "duplicate ACL";
    case -679:
        return "partition already exists";
    case -680:
        return "transport modified";
    case -681:
        return "alias of an alias";
    case -682:
        return "auditing failed";
    case -683:
        return "invalid API version";
    case -684:
        return "secure NCP violation";
    case -685:
        return "move in progress";
    case -686:
        return "not a leaf partition";
    case -687:
        return "cannot abort";
    case -688:
        return "cache overflow";
    case -689:
        return "invalid subordinate count";
    case -690:
        return "invalid relative name";
    case -691:
        return "modification time not current";
    case -692:
        return "incorrect base class";
    case -693:
        return "missing reference";
    case -694:
        return "lost entry";
    case -695:
        return "agent already registered";
    case -696:
        return "directory loader busy";
    case -697:
        return "directory cannot reload";
    case -698:
        return "replica in synchronisation";
    case -699:
        return "fatal error";
    case -701:
        return "obsolete API";
    case -702:
        return "synchronisation disabled";
    case -703:
        return "invalid parameter";
    case -704:
        return "duplicate template";
    case -705:
        return "no master replica";
    case -706:
        return "duplicate containment";
    case -707:
        return "not a sibling";
    case -708:
        return "invalid signature";
    case -709:
        return "invalid response";
    case -710:
        return "insufficient sockets";
    case -711:
        return "database read failed";
    case -712:
        return "invalid code page";
    case -713:
        return "invalid escape character";
    case -714:
        return "invalid delimiters";
    case -715:
        return "not implemented";
    case -716:
        return "checksum failure";
    case -721:
        return "connection denied";
    default:
        return nullptr;
    }
}

} // namespace

const char* NWErrorDescription(int32_t code) {
    const char* text = nullptr;
    if (code <= -1 && code >= -255)
        text = ServerCompletion(-code);
    else if ((code & ~0xFF) == 0x8900)
        text = ServerCompletion(code & 0xFF);
    else
        text = ClientOrDirectory(code);
    return text ? text : "Unknown error";
}

} // namespace era
