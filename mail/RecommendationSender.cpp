#include "mail/RecommendationSender.h"

#include <exception>

#include "mail/MailErrors.h"

namespace {

constexpr const char* kWinsockProblem =
    "There was a problem with your computer's Winsock library and a connection to the "
    "Internet could not be made.";
constexpr const char* kClipboardAdvice =
    "You can still send the message to your friend.  Click the \"To Clipboard\" button and "
    "the email message will be put in the Windows Clipboard.  You can then paste it into a "
    "regular email to your friend.";
constexpr const char* kNoDnsServer =
    "A DNS server cannot be found but you can still send the message to your friend.  Click "
    "the \"To Clipboard\" button and the email message will be put in the Windows Clipboard.  "
    "You can then paste it into a regular email to your friend.";
constexpr const char* kAnonymousSender = "A friend";
constexpr const char* kCompany = "available for downloading from Corvane Software's Web Site.";
// With the service name unknown to the system, the SMTP client falls back to
// its default port.
constexpr const char* kPortServiceName = "harvex-email-port";

const std::string kCrLf = "\r\n";

}  // namespace

TRecommendationSender::TRecommendationSender(TRecommendationPeers peers) : finder_(mx_, http_) {
    mx_.setTimeOut(kResolverTimeOut);
    mx_.Port = peers.ResolverPort;
    mx_.Counter().setTickInterval(peers.TickIntervalMs);

    smtp_.setWinsockLoaded(true);
    smtp_.DefaultPort = peers.SmtpPort;
    if (peers.SmtpPort != TRecommendationPeers::kSmtpPort) smtp_.setServiceName(kPortServiceName);
    smtp_.setTimeOut(kSmtpTimeOut);
    smtp_.Counter().setTickInterval(peers.TickIntervalMs);
    smtp_.MailMessage = &message_;
    smtp_.OnMailSent = [this] {
        mailSent_ = true;
        if (OnDelivered) OnDelivered();
    };

    message_.setContentType("text/plain");
    message_.setReturnReceipt(false);

    http_.ProxyPort = "80";
    http_.Agent = "Corvane Software Email-A-Friend";
    http_.NoCache = false;
    http_.ContentTypePost = "application/x-www-form-urlencoded";
    http_.MultiThreaded = false;
    http_.Counter().setTickInterval(peers.TickIntervalMs);

    finder_.NameServers = std::move(peers.NameServers);
    finder_.MakerHost = std::move(peers.MakerHost);
    finder_.SetStatus = [this](const std::string& text) {
        // A cancelled send asks no further name server.
        if (canceled_) throw ECanceledError();
        Status(text);
    };
}

void TRecommendationSender::Status(const std::string& text) {
    if (OnStatus) OnStatus(text);
}

void TRecommendationSender::Compose(const TRecommendation& r) {
    const std::string senderName = r.SenderName.empty() ? kAnonymousSender : r.SenderName;
    // The personal message's lines, joined by CR LF.
    std::string personal;
    for (char c : r.Personal) {
        if (c == '\n')
            personal += kCrLf;
        else
            personal += c;
    }

    std::string text;
    if (!r.Html) {
        message_.setContentType("text/plain");
        text += "Hello " + r.FriendName + ", " + kCrLf;
        text += senderName + " wanted to let you know about " + r.AppTitle + ", " + r.AppSummary +
                "  It's " + kCompany + kCrLf + kCrLf;
        text += "Just point your Web Browser to " + r.DownloadURL + kCrLf;
        if (!personal.empty())
            text += kCrLf + senderName + " also wanted to send you a special message: " + kCrLf +
                    kCrLf + personal + kCrLf;
        text += kCrLf + "What is " + r.AppTitle + "?" + kCrLf + kCrLf + r.AppDescription + kCrLf +
                kCrLf;
    } else {
        message_.setContentType("text/HTML");
        text +=
            "<HTML>" + kCrLf + "<BODY>" + kCrLf + kCrLf + "<P>Hello " + r.FriendName + ", <BR>";
        text += senderName + " wanted to let you know about " + r.AppTitle + ", " + r.AppSummary +
                "  It's " + kCompany + "<BR>" + kCrLf + kCrLf;
        text += "<P><A HREF=\"" + r.DownloadURL + "\">" + "Click here to download " + r.AppTitle +
                "</A><BR>" + kCrLf;
        text += "or point your Web Browser to " + r.DownloadURL + "<BR>" + kCrLf;
        if (!personal.empty())
            text += kCrLf + "<P>" + senderName +
                    " also wanted to send you a special message: <BR>" + kCrLf + kCrLf + "<PRE>" +
                    kCrLf + personal + kCrLf + "</PRE>" + kCrLf;
        text += kCrLf + "<P><H2>What is " + r.AppTitle + "?</H2>" + kCrLf + kCrLf +
                r.AppDescription + kCrLf + kCrLf + "</BODY>" + kCrLf + "</HTML>";
    }
    message_.setBodyText(text);
}

std::vector<std::string> TRecommendationSender::LookUpExchangers(const std::string& senderAddress) {
    std::vector<std::string> list;
    finder_.FindMailServers(senderAddress, list);
    if (canceled_) throw ECanceledError();
    return list;
}

std::string TRecommendationSender::Deliver(const TRecommendation& r,
                                           const std::vector<std::string>& exchangers) {
    Compose(r);
    message_.Sender().setAddress(r.SenderAddress);
    message_.Sender().setName(r.SenderName);

    std::string failure;
    for (const std::string& entry : exchangers) {
        const std::string host = entry.substr(entry.find('|') + 1);
        Status("Sending through " + host);
        smtp_.Server = host;
        smtp_.setTimeOut(kExchangerTimeOut);
        message_.Recipients().Clear();
        message_.Recipients().Add(r.FriendAddress, "");
        try {
            smtp_.Send();
            return {};
        } catch (const std::exception& e) {
            // Once the server has taken the message it is delivered; a failed
            // goodbye after that must not send it through another exchanger.
            if (mailSent_) return {};
            failure = std::string(e.what()) + kCrLf + kClipboardAdvice;
        }
        // After Cancel no other exchanger gets the message.
        if (canceled_) break;
    }
    return failure;
}

std::string TRecommendationSender::Send(const TRecommendation& recommendation) {
    // One sequence at a time: the components serve a single exchange.
    if (running_) return {};
    running_ = true;
    canceled_ = false;
    mailSent_ = false;

    std::string failure;
    try {
        smtp_.setWinsockLoaded(true);
    } catch (...) {
        failure = kWinsockProblem;
    }
    if (failure.empty()) {
        if (OnBusy) OnBusy(true);
        try {
            Status("Building DNS list");
            const std::vector<std::string> exchangers =
                LookUpExchangers(recommendation.SenderAddress);
            failure = exchangers.empty() ? std::string(kNoDnsServer)
                                         : Deliver(recommendation, exchangers);
        } catch (const std::exception& e) {
            failure = std::string(e.what()) + kCrLf + kClipboardAdvice;
        } catch (...) {
            failure = std::string("Error") + kCrLf + kClipboardAdvice;
        }
        Status("");
        if (OnBusy) OnBusy(false);
    }
    running_ = false;
    return failure;
}

void TRecommendationSender::Cancel() {
    canceled_ = true;
    mx_.Cancel();
    smtp_.Cancel();
}
