#pragma once

#include <string>

// The component's numbered messages (its own string table) and its message
// numbers on the hidden receiver.
namespace http {

enum WebMessageId : int {
    SWinsockStartup = 1000,
    SHostNotFound = 1001,
    SNoAddress = 1002,
    SWinsockNotStarted = 1003,
    SCannotCreateSocket = 1004,
    SOpenFailed = 1005,
    SSendError = 1006,
    SSocketNotOpen = 1007,
    SRecvError = 1008,
    SPropertyWhileRetrieving = 1009,
    SNoURL = 1010,
    SUnsupportedService = 1011,
    SNoService = 1012,
    SInsufficientParameters = 1013,
    SInvalidPort = 1014,
    SNoHost = 1015,
    SAlreadyRetrieving = 1016,
    SNoBufferName = 1017,
    SNoStoreName = 1018,
    SDataExceedsBuffer = 1019,
    SInvalidDocumentName = 1020,
    SFileDoesNotExist = 1021,
};

// The text of a message; "%s" marks where its argument goes. Empty for an
// identifier outside the table.
std::string webMessageText(int id);

// The text with its "%s" replaced by argument.
std::string formatWebMessage(int id, const std::string& argument = {});

constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_WEBSOCKET = WM_USER + 1;
constexpr unsigned WM_WEBDELIVER = WM_USER + 2;
constexpr unsigned WM_WEBREDIRECT = WM_USER + 3;
constexpr unsigned WM_WEBSTART = WM_USER + 4;
constexpr unsigned WM_WEBRESOLVED = WM_USER + 312;

}  // namespace http
