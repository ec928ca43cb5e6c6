#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Peers.h"

namespace testsupport {

// A real mail server (aiosmtpd, run by the Debian interpreter) on a free
// loopback port. Every message it accepts is kept byte for byte as the
// server received it (after the SMTP dot-unstuffing).
class SmtpServer {
public:
    struct Message {
        std::string mailFrom;
        std::vector<std::string> rcptTos;
        std::string data;
    };

    SmtpServer();
    ~SmtpServer();

    // The server answers RCPT TO for this address with 550 (User unknown).
    // Takes effect at start().
    void refuseRecipient(const std::string& address) { refused_.push_back(address); }

    // Starts the server; false (and an explanation in error()) when it could not.
    bool start();
    void stop();

    std::uint16_t port() const { return port_; }
    std::string error() const { return error_; }

    // The messages accepted so far, in order of arrival.
    std::vector<Message> messages() const;
    // Waits (bounded) until at least count messages have arrived.
    bool waitForMessages(std::size_t count, int timeoutMs = 10000) const;

private:
    QTemporaryDir dir_;
    std::uint16_t port_ = 0;
    PeerProcess process_;
    std::string error_;
    std::vector<std::string> refused_;
};

}  // namespace testsupport
