#include "platform/tcp.h"

namespace updexar::platform {

std::string TcpErrorDescription(int number) {
    // The classic control's wording: these texts reach message boxes and the update log, where
    // support staff know them.
    switch (number) {
    case 7: return "Out of memory";
    case 10004: return "The operation is canceled";
    case 10013: return "The requested address is a broadcast address, but flag is not set";
    case 10014: return "Invalid argument";
    case 10022: return "Socket not bound, invalid address or listen is not invoked prior to accept";
    case 10024: return "No more file descriptors are available, accept queue is empty";
    case 10035: return "Socket is non-blocking and the specified operation will block";
    case 10036: return "A blocking Winsock operation is in progress";
    case 10037: return "The operation is completed. No blocking operation is in progress";
    case 10038: return "The descriptor is not a socket";
    case 10039: return "Destination address is required";
    case 10040: return "The datagram is too large to fit into the buffer and is truncated";
    case 10041: return "The specified port is the wrong type for this socket";
    case 10042: return "Option unknown, or unsupported";
    case 10043: return "The specified port is not supported";
    case 10044: return "Socket type not supported in this address family";
    case 10045: return "Socket is not a type that supports connection oriented service";
    case 10047: return "Address Family is not supported";
    case 10048: return "Address in use";
    case 10049: return "Address is not available from the local machine";
    case 10050: return "Network subsystem failed";
    case 10051: return "The network cannot be reached from this host at this time";
    case 10052: return "Connection has timed out when SO_KEEPALIVE is set";
    case 10053: return "Connection is aborted due to timeout or other failure";
    case 10054: return "The connection is reset by remote side";
    case 10055: return "No buffer space is available";
    case 10056: return "Socket is already connected";
    case 10057: return "Socket is not connected";
    case 10058: return "Socket has been shut down";
    case 10060: return "Connection timed out";
    case 10061: return "Connection is forcefully rejected";
    case 10065: return "No route to host";
    case 10091: return "Network subsystem is unavailable";
    case 10093: return "WinsockInit should be called first";
    case 11001: return "Authoritative answer: Host not found";
    case 11002: return "Non-Authoritative answer: Host not found";
    case 11003: return "Non-recoverable errors";
    case 11004: return "Valid name, no data record of requested type";
    case 40006: return "Wrong protocol or connection state for the requested transaction or request";
    case 40014: return "The argument passed to a function was not in the correct format or in the specified range";
    case 40020: return "Invalid operation at current state";
    case 40021: return "Argument is out of range";
    default: return "Socket error " + std::to_string(number);
    }
}

}  // namespace updexar::platform
