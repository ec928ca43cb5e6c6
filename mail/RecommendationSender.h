#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mail/HttpProt.h"
#include "mail/MailServerFinder.h"
#include "mail/msmsg.h"
#include "mail/msmx.h"
#include "mail/mssmtp.h"
#include "platform/NameServerSource.h"

// Where a recommendation finds its peers. The defaults are those of the
// desktop program; tests point everything at loopback.
struct TRecommendationPeers {
    static constexpr std::uint16_t kDnsPort = 53;
    static constexpr std::uint16_t kSmtpPort = 25;
    static constexpr int kSecondMs = 1000;

    platform::NameServerSource NameServers;
    // The host (optionally ":port") that serves the fallback list of name servers.
    std::string MakerHost = "www.corvane.example";
    std::uint16_t ResolverPort = kDnsPort;
    std::uint16_t SmtpPort = kSmtpPort;
    // The length of one second of the components' time-outs.
    int TickIntervalMs = kSecondMs;
};

// What the message says and to whom it goes: the entries of the e-mail form
// and the program's own texts.
struct TRecommendation {
    std::string SenderName;  // as typed; may be empty
    std::string SenderAddress;
    std::string FriendName;
    std::string FriendAddress;
    // The personal message, lines separated by LF.
    std::string Personal;
    bool Html = false;

    std::string AppTitle;
    std::string DownloadURL;
    std::string AppSummary;
    std::string AppDescription;
};

// Sends a recommendation of the program by e-mail, without any window: finds
// the mail exchangers of the sender's own domain, then hands the message to
// each in turn until one takes it. Progress and the outcome are reported
// through the callbacks; the caller shows them.
class TRecommendationSender {
public:
    static constexpr int kResolverTimeOut = 30;
    static constexpr int kSmtpTimeOut = 30;
    static constexpr int kExchangerTimeOut = 7;

    explicit TRecommendationSender(TRecommendationPeers peers = {});

    // Called with each status text; an empty text clears the status.
    std::function<void(const std::string&)> OnStatus;
    // Called with true before the network steps begin and with false after
    // they have ended.
    std::function<void(bool)> OnBusy;
    // Called once an exchanger has taken the message, while Send still runs.
    std::function<void()> OnDelivered;

    // The message as composed last; its subject is the caller's to set.
    TmsMessage& Message() { return message_; }
    const TmsMessage& Message() const { return message_; }

    // Writes the message's body and content type from the recommendation.
    void Compose(const TRecommendation& recommendation);

    // Runs the whole sequence; returns the failure text for the user (with
    // the advice to use the clipboard), empty once the message was delivered.
    // A call while a sequence runs does nothing (see Running()).
    std::string Send(const TRecommendation& recommendation);

    // Cancels the network step in progress; no further exchanger is tried.
    void Cancel();

    bool Running() const { return running_; }

private:
    // The exchangers of the sender's domain, in order; throws ECanceledError
    // when the caller cancelled meanwhile.
    std::vector<std::string> LookUpExchangers(const std::string& senderAddress);
    // Tries each exchanger in turn; returns the failure text, empty on success.
    std::string Deliver(const TRecommendation& recommendation,
                        const std::vector<std::string>& exchangers);
    void Status(const std::string& text);

    TmsMXResolver mx_;
    TmsSMTP smtp_;
    TmsMessage message_;
    THttpCli http_;
    TMailServerFinder finder_;
    bool running_ = false;
    bool canceled_ = false;
    bool mailSent_ = false;
};
