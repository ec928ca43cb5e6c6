#include "mail/mssmtp.h"

#include <algorithm>
#include <stdexcept>

#include "mail/MailErrors.h"
#include "mail/MailStrings.h"
#include "mail/msmsg.h"
#include "platform/EventPump.h"
#include "platform/TempFileStream.h"

namespace {

// An address is one argument of one command line; a line break in it would
// smuggle in a command of its own.
std::string commandArgument(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

}  // namespace

TmsSMTP::TmsSMTP() {
    DefaultPort = 25;
    setServiceName("smtp");
}

void TmsSMTP::Expect(int code, int hundreds) {
    if (code < 0 || code / 100 != hundreds) throw EServerError(LastReply());
}

void TmsSMTP::Greet() {
    // The server may send a multi-line greeting; GetReply waits for its last line.
    Expect(GetReply(), 2);
    SendLine("HELO " + LocalHostName());
    if (GetReply() / 100 != 2) {
        SendLine("HELO");
        Expect(GetReply(), 2);
    }
}

void TmsSMTP::SayGoodbye() {
    platform::processPendingEvents();
    SendLine("QUIT");
    Expect(GetReply(), 2);
}

void TmsSMTP::SendRecipient(const std::string& address) {
    SendLine("RCPT TO:<" + commandArgument(address) + ">");
    if (GetReply() / 100 == 2) return;
    bool proceed = false;
    if (OnAddressRejected) OnAddressRejected(address, LastReply(), proceed);
    if (!proceed) throw EServerError(LastReply());
}

void TmsSMTP::SendMail() {
    if (!MailMessage) RaiseError(kErrMailMessageRequired);
    MailMessage->Validate();
    std::unique_ptr<TTempFileStream> temp;
    try {
        temp = std::make_unique<TTempFileStream>();
    } catch (const std::runtime_error& e) {
        throw EMailError(e.what());
    }
    if (OnPrepare) OnPrepare();
    MailMessage->EncodeTo(temp->stream());
    if (!temp->stream()) throw EMailError("The message could not be written to a temporary file");
    if (OnSending) OnSending();

    const std::string& from = MailMessage->Sender().Address();
    if (!from.empty()) {
        SendLine("MAIL FROM:<" + commandArgument(from) + ">");
        Expect(GetReply(), 2);
    }
    if (EnvelopeRecipients.empty()) {
        for (const TmsAddressList* list :
             {&MailMessage->Recipients(), &MailMessage->CC(), &MailMessage->BCC()}) {
            for (int i = 0; i < list->Count(); ++i) SendRecipient(list->Items(i).Address());
        }
    } else {
        for (const auto& address : EnvelopeRecipients) SendRecipient(address);
    }
    SendLine("DATA");
    Expect(GetReply(), 3);
    SendStream(temp->stream(), temp->size());
    SendLine("");
    SendLine(".");
    Expect(GetReply(), 2);
    if (OnMailSent) OnMailSent();
}

void TmsSMTP::Send() {
    try {
        Connect();
        SendMail();
    } catch (...) {
        // The first failure is the one worth reporting; a goodbye that fails
        // after it must not hide it.
        try {
            Disconnect();
        } catch (...) {
        }
        throw;
    }
    Disconnect();
}
