#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "http/Web.h"
#include "platform/EventPump.h"
#include "tests/support/Peers.h"
#include "ui/Authd.h"

using ui::TAuthdlg;

namespace {

// Runs action on the authorization box once it is shown (it runs its own
// event loop, so the test acts from a timer). Counts the boxes seen.
class DialogDriver : public QObject {
public:
    std::function<void(TAuthdlg*)> action;
    int shown = 0;

    DialogDriver() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<TAuthdlg*>(w);
                if (!box || !box->isVisible() || box == handled_) continue;
                handled_ = box;
                ++shown;
                action(box);
            }
        });
        timer_.start();
    }

private:
    QTimer timer_;
    QPointer<TAuthdlg> handled_;
};

void typeCredentials(TAuthdlg* box, const QString& user, const QString& password) {
    QTest::keyClicks(box->Edit1, user);
    QTest::keyClick(box->Edit1, Qt::Key_Return);  // swallowed
    QVERIFY(box->isVisible());
    QTest::keyClicks(box->Edit2, password);
    QTest::keyClick(box->Edit2, Qt::Key_Return);  // closes with OK
}

QString leaked() {
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets()) names << w->metaObject()->className();
    return names.join(", ");
}

}  // namespace

class TestAuthd : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY2(QApplication::topLevelWidgets().isEmpty(), qPrintable(leaked())); }

    void layoutAndCaption() {
        TAuthdlg box;
        QCOMPARE(box.windowTitle(), QStringLiteral("Authorization Request"));
        QCOMPARE(box.size(), QSize(317, 212));
        QVERIFY(box.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(box.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(box.font().bold());
        QCOMPARE(box.Bevel1->geometry(), QRect(8, 8, 300, 147));
        QCOMPARE(box.Realm->pos(), QPoint(25, 26));
        QCOMPARE(box.Host->pos(), QPoint(25, 43));
        QCOMPARE(box.Label1->text(), QStringLiteral("User Name:"));
        QCOMPARE(box.Label1->pos(), QPoint(30, 78));
        QCOMPARE(box.Label2->text(), QStringLiteral("Password:"));
        QCOMPARE(box.Label2->pos(), QPoint(38, 114));
        QCOMPARE(box.Edit1->geometry(), QRect(104, 74, 162, 20));
        QCOMPARE(box.Edit2->geometry(), QRect(104, 110, 162, 20));
        QCOMPARE(box.Edit2->echoMode(), QLineEdit::Password);
        QCOMPARE(box.OKBtn->geometry(), QRect(63, 170, 80, 28));
        QCOMPARE(box.CancelBtn->geometry(), QRect(174, 170, 80, 28));
        QCOMPARE(box.findChild<QLineEdit*>(QStringLiteral("Edit1")), box.Edit1);
    }

    void enterInTheUserNameIsSwallowedAndInThePasswordConfirms() {
        DialogDriver driver;
        QString realmText, hostText;
        bool userFocusedFirst = false;
        driver.action = [&](TAuthdlg* box) {
            realmText = box->Realm->text();
            hostText = box->Host->text();
            userFocusedFirst = box->focusWidget() == box->Edit1;
            typeCredentials(box, QStringLiteral("alice"), QStringLiteral("s3cret"));
        };
        std::string user, password;
        QVERIFY(TAuthdlg::Ask(nullptr, "Members Area", "www.example", user, password));
        QCOMPARE(driver.shown, 1);
        QVERIFY(userFocusedFirst);
        QCOMPARE(realmText, QStringLiteral("Enter username for Members Area at"));
        QCOMPARE(hostText, QStringLiteral("www.example"));
        QCOMPARE(user, std::string("alice"));
        QCOMPARE(password, std::string("s3cret"));
    }

    void okButtonConfirmsAndEscapeCancels() {
        DialogDriver driver;
        int round = 0;
        driver.action = [&](TAuthdlg* box) {
            QTest::keyClicks(box->Edit1, QStringLiteral("bob"));
            if (round++ == 0) {
                QTest::mouseClick(box->OKBtn, Qt::LeftButton);
            } else {
                QTest::keyClick(box->Edit1, Qt::Key_Escape);
            }
        };
        std::string user = "before", password = "before";
        QVERIFY(TAuthdlg::Ask(nullptr, "R", "h", user, password));
        QCOMPARE(user, std::string("bob"));
        QCOMPARE(password, std::string());
        user = password = "kept";
        QVERIFY(!TAuthdlg::Ask(nullptr, "R", "h", user, password));
        QCOMPARE(user, std::string("kept"));
        QCOMPARE(password, std::string("kept"));
    }

    // The box wired to a component as a window does it: a protected site is
    // fetched after one question, and the same realm is not asked again.
    void protectedSiteAsksOncePerRealm() {
        QTemporaryDir passwords;
        const std::string file = passwords.path().toStdString() + "/htpasswd";
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("passwd"), QStringLiteral("-apr1"), QStringLiteral("pw")});
        QVERIFY(openssl.waitForFinished(10000));
        testsupport::writeFile(
            file, "carol:" + openssl.readAllStandardOutput().trimmed().toStdString() + "\n");
        testsupport::NginxServer nginx(
            "    location /p/ { auth_basic \"Private\"; auth_basic_user_file " + file + "; }\n");
        QVERIFY2(nginx.start(), nginx.error().c_str());
        nginx.put("p/1.htm", "one");
        nginx.put("p/2.htm", "two");

        http::TWeb::CredentialCache().clear();
        http::TWeb web;
        web.setErrorMode(http::emHandler);
        web.AuthorizationDialog = TAuthdlg::handlerFor(nullptr);
        std::string body;
        web.OnDataAvailable = [&](http::TWeb*, const char* data, int len) {
            body.append(data, len);
        };
        DialogDriver driver;
        driver.action = [](TAuthdlg* box) {
            typeCredentials(box, QStringLiteral("carol"), QStringLiteral("pw"));
        };
        for (const char* page : {"/p/1.htm", "/p/2.htm"}) {
            web.Cancel();
            web.setURL(nginx.baseUrl() + page);
            web.Retrieve();
            QVERIFY(platform::waitUntilFor([&] { return !web.Retrieving(); }, 20000));
            QCOMPARE(web.StatusText(), std::string("200 OK"));
        }
        QCOMPARE(body, std::string("onetwo"));
        QCOMPARE(driver.shown, 1);
    }
};

QTEST_MAIN(TestAuthd)
#include "test_Authd.moc"
