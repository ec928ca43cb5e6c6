#include "mail/MailStrings.h"

#include "platform/SocketErrors.h"

std::string MailErrorText(int code) {
    switch (code) {
        case kErrServerRequired:
            return "Server property is required";
        case kErrInvalidWinsockVersion:
            return "Invalid Winsock version";
        case kErrResolvingHost:
            return "Error resolving remote host";
        case kErrServiceNameRequired:
            return "Service name is required";
        case kErrNotConnected:
            return "You have to connect to the server first";
        case kErrMailMessageRequired:
            return "MailMessage property must be assigned";
        default:
            break;
    }
    if (code == platform::WSABASEERR) return "[0] No Error";
    if (code > platform::WSABASEERR) {
        std::string description = platform::socketErrorDescription(code);
        if (!description.empty()) return "[" + std::to_string(code) + "] " + description;
    }
    return "Error #" + std::to_string(code);
}
