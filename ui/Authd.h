#pragma once

#include <QDialog>
#include <string>

#include "http/Web.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

// The modal box that asks for a user name and password when a web server
// challenges a retrieval.
class TAuthdlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 317;
    static constexpr int kClientHeight = 212;

    explicit TAuthdlg(QWidget* parent = nullptr);

    // Shows the box for realm at host; true with user and password filled when
    // the user pressed OK (or Enter in the password field).
    static bool Ask(QWidget* parent, const std::string& realm, const std::string& host,
                    std::string& user, std::string& password);

    // The handler a window gives its TWeb as AuthorizationDialog.
    static http::TAuthDialog handlerFor(QWidget* parent);

    QFrame* Bevel1;
    QLabel* Realm;
    QLabel* Host;
    QLabel* Label1;  // "User Name:"
    QLabel* Label2;  // "Password:"
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

}  // namespace ui
