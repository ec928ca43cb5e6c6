#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mail/RecommendationSender.h"
#include "mail/msmsg.h"

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
struct TEmailFormSettings : TRecommendationPeers {
    // The message boxes; null means Qt message boxes over the form. Not owned.
    platform::Dialogs* Dialogs = nullptr;
};

// Recommends the program to a friend by e-mail: the form gathers the entries
// and shows the progress of a TRecommendationSender, which delivers the
// message to the mail exchangers of the sender's own domain; the message goes
// to the clipboard when none can be reached.
class TfrmEmail : public QDialog {
    Q_OBJECT
    // Declared first: ctlMessage refers into it.
    TRecommendationSender sender_;

public:
    static constexpr int kClientWidth = 399;
    static constexpr int kClientHeight = 434;
    static constexpr int kStatusLeft = 7;
    static constexpr int kStatusTop = 418;
    // Space kept between the status line and the Send button.
    static constexpr int kStatusGap = 4;

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

    // The message as composed last (the sender's).
    TmsMessage& ctlMessage;

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
    // The recommendation as the entries and the opener's texts give it.
    TRecommendation Recommendation() const;
    void ComposeMessage();

    void CancelNetwork();
    bool ShowErrorDialog(const std::string& text);
    std::string FieldText(const QLineEdit* edit) const;
    platform::Dialogs& Dialogs();

    TEmailFormSettings settings_;
    std::unique_ptr<platform::Dialogs> ownDialogs_;
    bool sending_ = false;
    int pendingResult_ = -1;
};

// Opens the form modally with the program's own texts, as the main window's
// e-mail animation does, and releases it when it closes. Returns the form's
// result (QDialog::Accepted after a delivery).
int OpenEmailForm(QWidget* parent, const TEmailFormSettings& settings = {});
