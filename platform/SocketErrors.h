#pragma once

#include <string>

// Socket error codes use one numbering (the Winsock one: 10061 connection
// refused, 11001 host not found), so that messages such as "[10061]
// Connection refused" read the same in every component and log.
namespace platform {

enum SocketErrorCode : int {
    kSocketNoError = 0,
    WSABASEERR = 10000,
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAEACCES = 10013,
    WSAEFAULT = 10014,
    WSAEINVAL = 10022,
    WSAEMFILE = 10024,
    WSAEWOULDBLOCK = 10035,
    WSAEINPROGRESS = 10036,
    WSAEALREADY = 10037,
    WSAENOTSOCK = 10038,
    WSAEDESTADDRREQ = 10039,
    WSAEMSGSIZE = 10040,
    WSAEPROTOTYPE = 10041,
    WSAENOPROTOOPT = 10042,
    WSAEPROTONOSUPPORT = 10043,
    WSAESOCKTNOSUPPORT = 10044,
    WSAEOPNOTSUPP = 10045,
    WSAEPFNOSUPPORT = 10046,
    WSAEAFNOSUPPORT = 10047,
    WSAEADDRINUSE = 10048,
    WSAEADDRNOTAVAIL = 10049,
    WSAENETDOWN = 10050,
    WSAENETUNREACH = 10051,
    WSAENETRESET = 10052,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAENOBUFS = 10055,
    WSAEISCONN = 10056,
    WSAENOTCONN = 10057,
    WSAESHUTDOWN = 10058,
    WSAETOOMANYREFS = 10059,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAELOOP = 10062,
    WSAENAMETOOLONG = 10063,
    WSAEHOSTDOWN = 10064,
    WSAEHOSTUNREACH = 10065,
    WSAENOTEMPTY = 10066,
    WSAEPROCLIM = 10067,
    WSAEUSERS = 10068,
    WSAEDQUOT = 10069,
    WSAESTALE = 10070,
    WSAEREMOTE = 10071,
    WSASYSNOTREADY = 10091,
    WSAVERNOTSUPPORTED = 10092,
    WSANOTINITIALISED = 10093,
    WSAEDISCON = 10094,
    WSAHOST_NOT_FOUND = 11001,
    WSATRY_AGAIN = 11002,
    WSANO_RECOVERY = 11003,
    WSANO_DATA = 11004,
};

// Maps an errno value (from connect, send, recv, getsockopt(SO_ERROR)) to this
// numbering. Unknown values map to WSAEINVAL rather than to 0, so that
// an error is never mistaken for success.
int socketErrorFromErrno(int err);

// Maps a getaddrinfo() result (EAI_*) to the host-lookup codes (11001...).
int socketErrorFromLookup(int gaiError);

// The description of a code ("Connection refused"), or an empty text when the
// table has none. 0 and 10000 both read "No Error".
std::string socketErrorDescription(int code);

// The reason as the user reads it: the code in square brackets, a blank and
// its description ("[10061] Connection refused"); "Error #" and the code when
// the table has no description.
std::string socketErrorText(int code);

}  // namespace platform
