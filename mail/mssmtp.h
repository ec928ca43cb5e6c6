#pragma once

#include <functional>
#include <string>
#include <vector>

#include "mail/msmb.h"

class TmsMessage;

// The client side of SMTP (RFC 821): greets the server, hands one message
// over and says goodbye.
class TmsSMTP : public TmsMailBase {
public:
    TmsSMTP();

    TmsMessage* MailMessage = nullptr;
    // When not empty, RCPT TO goes to these addresses instead of the message's.
    std::vector<std::string> EnvelopeRecipients;

    // Sends MailMessage over the open connection.
    void SendMail();
    // Connect, SendMail and, in any case, Disconnect.
    void Send();

    std::function<void()> OnPrepare;
    std::function<void()> OnSending;
    std::function<void()> OnMailSent;
    std::function<void(const std::string& address, const std::string& reply, bool& proceed)>
        OnAddressRejected;

protected:
    void Greet() override;
    void SayGoodbye() override;

private:
    // Raises EServerError with the last reply unless the code is hundreds xx.
    void Expect(int code, int hundreds);
    void SendRecipient(const std::string& address);
};
