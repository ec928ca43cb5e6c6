#pragma once

#include <string>

// The numbered messages of the mail components' string table.
enum TMailErrorCode : int {
    kErrServerRequired = 1,
    kErrInvalidWinsockVersion = 2,
    kErrResolvingHost = 3,
    kErrServiceNameRequired = 4,
    kErrNotConnected = 5,
    kErrMailMessageRequired = 6,
};

// The text for a code: a component message, a socket error written as
// "[code] description", or "Error #" and the code when the table has none.
std::string MailErrorText(int code);
