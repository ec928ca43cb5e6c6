#pragma once

#include <cstdint>
#include <string>

#include "mail/agsocket.h"

// The mail clients' common part: the server to talk to and the time limit of
// each wait.
class TmsMailBase : public TagSocket {
public:
    // A host name or dotted address, optionally followed by ":" and a port.
    std::string Server;
    std::uint16_t DefaultPort = 0;

    // Opens the connection and greets the server, unless connected already.
    virtual void Connect();
    // Says goodbye and closes the connection, if connected.
    virtual void Disconnect();

protected:
    // The protocol's opening exchange, run once the connection is open.
    virtual void Greet() {}
    // The protocol's goodbye, run before the socket is closed.
    virtual void SayGoodbye() {}
};
