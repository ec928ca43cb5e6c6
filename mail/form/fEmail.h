#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mail/HttpProt.h"
#include "mail/MailServerFinder.h"
#include "mail/msmsg.h"
#include "mail/msmx.h"
#include "mail/mssmtp.h"
#include "platform/NameServerSource.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class Dialogs;
}

// Where the form finds its peers and how it shows its boxes. The defaults are
// those of the desktop program; tests point everything at loopback.
struct TEmailFormSettings {
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
    // The message boxes; null means Qt message boxes over the form. Not owned.
    platform::Dialogs* Dialogs = nullptr;
};

// Recommends the program to a friend by e-mail: the message goes to the
// mail exchangers of the sender's own domain, or to the clipboard when none
// can be reached.
class TfrmEmail : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 399;
    static constexpr int kClientHeight = 434;
    static constexpr int kStatusLeft = 7;
    static constexpr int kStatusTop = 418;
    // Space kept between the status line and the Send button.
    static constexpr int kStatusGap = 4;
    static constexpr int kResolverTimeOut = 30;
    static constexpr int kSmtpTimeOut = 30;
    static constexpr int kExchangerTimeOut = 7;

    explicit TfrmEmail(QWidget* parent = nullptr, TEmailFormSettings settings = {});
    ~TfrmEmail() override;

    // Filled by the opener before the form is shown; the form only reads them.
    std::string sAppTitle;
    std::string sDownloadURL;
    std::string sAppSummary;
    std::string sAppDescription;

    QLabel* lblHeading;
    QLabel* lblHeading2;
    QLabel* Label3;
    QLineEdit* txtName;
    QLabel* Label4;
    QLineEdit* txtYourEmail;
    QLabel* Label6;
    QLineEdit* txtFriendsName;
    QLabel* Label1;
    QLineEdit* txtAddress;
    QLabel* lblHeading3;
    QPlainTextEdit* memText;
    QFrame* Bevel1;
    QCheckBox* chkHTML;
    QPushButton* butSend;
    QPushButton* butCancel;
    QLabel* lblStatus;

    TmsMXResolver ctlMX;
    TmsSMTP ctlMsMail;
    TmsMessage ctlMessage;
    THttpCli ctlHTTP;

    void FormShow();
    void txtAddressChange();
    void butSendClick();
    void butCancelClick();
    void ctlMsMailMailSent();
    void btnToClipboardClick();

    // Shows one status text; the send sequence calls it at each step.
    void SetStatus(const std::string& text);

    // True while the send sequence runs.
    bool Sending() const { return sending_; }

    // A close request (Cancel, Escape, the window's close button) during the
    // send sequence cancels the network step in progress and takes effect
    // once the sequence has ended.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ComposeMessage(const std::string& senderName);
    void FindMailServers(const std::string& address, std::vector<std::string>& list);
    void GetDNSServers(std::vector<std::string>& list);

    void CancelNetwork();
    // The exchangers of the sender's domain, in order; throws ECanceledError
    // when the user cancelled meanwhile.
    std::vector<std::string> LookUpExchangers();
    // Tries each exchanger in turn; returns the failure text, empty on success.
    std::string Deliver(const std::vector<std::string>& exchangers);
    bool ShowErrorDialog(const std::string& text);
    std::string SenderName() const;
    std::string FieldText(const QLineEdit* edit) const;
    platform::Dialogs& Dialogs();

    TEmailFormSettings settings_;
    std::unique_ptr<platform::Dialogs> ownDialogs_;
    TMailServerFinder finder_;
    bool sending_ = false;
    bool canceled_ = false;
    bool mailSent_ = false;
    int pendingResult_ = -1;
};

// Opens the form modally with the program's own texts, as the main window's
// e-mail animation does, and releases it when it closes. Returns the form's
// result (QDialog::Accepted after a delivery).
int OpenEmailForm(QWidget* parent, const TEmailFormSettings& settings = {});
