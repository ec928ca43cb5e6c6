#include "http/WebConst.h"

namespace http {

namespace {

constexpr const char* kTexts[] = {
    "Can't startup WinSock",
    "Can't find host %s",
    "No address specified",
    "WINSOCK not started",
    "Can't create new socket",
    "Open failed",
    "Send error",
    "Socket not open",
    "Recv error",
    "Cannot change %s property while retrieving",
    "No URL supplied!",
    "Unsupported Web Service (%s)",
    "No Web Service Specified",
    "Insufficient Parameters",
    "Invalid Port Specified",
    "No Host Specified",
    "Already retrieving",
    "No Buffer Stream Name Specififed",
    "No Store Stream Name Specififed",
    "Requested data length exceed buffer size",
    "Invalid Document Name",
    "File %s doesn't exist",
};

}  // namespace

std::string webMessageText(int id) {
    int index = id - SWinsockStartup;
    if (index < 0 || index >= static_cast<int>(std::size(kTexts))) return {};
    return kTexts[index];
}

std::string formatWebMessage(int id, const std::string& argument) {
    std::string text = webMessageText(id);
    auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

}  // namespace http
