#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "LeakCheck.h"
#include "engine/wsmain.h"
#include "platform/Dialogs.h"
#include "testing/ScriptedDialogs.h"
#include "tests/support/Peers.h"
#include "ui/Animate.h"
#include "ui/Authd.h"
#include "ui/Wizard.h"
#include "ui/wsmain.h"

using namespace ui;

namespace {

// Goes through the wizard to Finish with the given start address and folder.
void runWizard(TFormHVXLoader& form, const std::string& startURL, const QString& saveDir) {
    QPushButton* next = form.Wizard1->Button(wbNext);
    QTest::mouseClick(next, Qt::LeftButton);
    form.txtStartURL->selectAll();
    QTest::keyClicks(form.txtStartURL, QString::fromStdString(startURL));
    QTest::keyClicks(form.txtSaveDirectory, saveDir);
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(next, Qt::LeftButton);  // Finish: runs the job to its end
}

}  // namespace

// The user's whole road: the wizard filled by its controls, Finish against a
// real nginx serving a generated site, the status page until Exit appears.
class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        QVERIFY2(leakedTopLevels().isEmpty(), qPrintable(leakedTopLevels().join(", ")));
    }

    void copiesAGeneratedSiteThroughTheWizard() {
        testsupport::NginxServer nginx;
        nginx.put("site/index.html",
                  "<html><body><a href=\"a.html\">a</a> <a href=\"sub/b.html\">b</a>"
                  "<img src=\"img/logo.gif\"><a href=\"/outside.html\">out</a>"
                  "<a href=\"missing.html\">404</a></body></html>");
        nginx.put("site/a.html", "<html><body><a href=\"index.html\">home</a></body></html>");
        nginx.put("site/sub/b.html",
                  "<html><body><a href=\"../a.html\">a</a><img src=\"pic.jpg\"></body></html>");
        nginx.put("site/sub/pic.jpg", std::string(3000, 'j'));
        nginx.put("site/img/logo.gif", std::string("GIF89a") + std::string(500, 'g'));
        nginx.put("outside.html", "<html>not in the start folder</html>");
        QVERIFY2(nginx.start(), nginx.error().c_str());

        QTemporaryDir target;
        const QString saveDir = target.path() + QStringLiteral("/Copy");
        platform::ScriptedDialogs dialogs;
        auto form = std::make_unique<TFormHVXLoader>();
        form->SetDialogs(&dialogs);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        QPushButton* next = form->Wizard1->Button(wbNext);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(form->Wizard1->ActivePage(), form->WizardPage2);
        form->txtStartURL->selectAll();
        QTest::keyClicks(form->txtStartURL,
                         QString::fromStdString(nginx.baseUrl() + "/site/index.html"));
        QTest::keyClicks(form->txtSaveDirectory, saveDir);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(form->Wizard1->ActivePage(), form->WizardPage3);
        QTest::mouseClick(next, Qt::LeftButton);  // text and graphics, no own types
        QCOMPARE(form->Wizard1->ActivePage(), form->WizardPage5);
        QCOMPARE(next->text(), QStringLiteral("&Finish"));
        // While the copy runs, the user types into the log pane: nothing lands there.
        bool typedDuringTheJob = false;
        QTimer::singleShot(0, form.get(), [&] {
            typedDuringTheJob = form->JobRunning();
            QVERIFY(form->RichEdit1->isReadOnly());
            form->RichEdit1->setFocus();
            QTest::keyClicks(form->RichEdit1, QStringLiteral("typed by the user"));
            QTest::keyClick(form->RichEdit1, Qt::Key_Return);
        });
        QTest::mouseClick(next, Qt::LeftButton);  // runs the job to its end

        QTRY_VERIFY_WITH_TIMEOUT(!form->btnFnlExit->isHidden(), 60000);
        QCOMPARE(form->Wizard1->ActivePage(), form->WizardPage6);

        const QString root = saveDir + QStringLiteral("/site/");
        for (const char* file :
             {"index.html", "a.html", "sub/b.html", "sub/pic.jpg", "img/logo.gif"})
            QVERIFY2(QFileInfo::exists(root + QLatin1String(file)), file);
        QVERIFY(!QFileInfo::exists(saveDir + QStringLiteral("/outside.html")));
        QCOMPARE(QFileInfo(root + QStringLiteral("sub/pic.jpg")).size(), qint64(3000));
        QVERIFY(QFileInfo::exists(saveDir + QStringLiteral("/downloads.log")));

        const QString log = form->RichEdit1->toPlainText();
        QVERIFY(typedDuringTheJob);
        QVERIFY(!log.contains(QStringLiteral("typed by the user")));
        // The file holds the pane's lines up to the last status update; the
        // summary follows in the pane alone.
        QFile file(saveDir + QStringLiteral("/downloads.log"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString written = QString::fromLatin1(file.readAll());
        QVERIFY(written.endsWith(QStringLiteral("\r\n")));
        const QStringList fileLines = written.chopped(2).split(QStringLiteral("\r\n"));
        const QStringList paneLines = log.split(QLatin1Char('\n'));
        QVERIFY(fileLines.size() > 5);
        QCOMPARE(paneLines.mid(0, fileLines.size()), fileLines);
        QCOMPARE(paneLines.value(fileLines.size() + 1), QStringLiteral("Download Summary:"));
        QVERIFY(log.contains(QStringLiteral("Finished Downloading.")));
        QVERIFY(log.contains(QStringLiteral("Download Summary:")));
        QVERIFY2(log.contains(QStringLiteral("Total Files Downloaded: 5")), qPrintable(log));
        QVERIFY(log.contains(QStringLiteral("All downloaded files are stored in or under ")));
        QCOMPARE(form->lblFilestoProcess->text(), QStringLiteral("Queued Files: 0"));
        QVERIFY(form->RichEdit1->isReadOnly());
        QVERIFY(!form->btnStop->isEnabled());
        QVERIFY(!form->aviEmail->isHidden());

        QTest::mouseClick(form->btnFnlExit, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QVERIFY(form->Engine().Result().halted);
    }

    // A site behind Basic authorization: the credentials box appears once for
    // its realm, and every page of the realm is copied with them.
    void copiesASiteBehindBasicAuthorizationAskingOnce() {
        QTemporaryDir passwords;
        const std::string file = passwords.path().toStdString() + "/htpasswd";
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"), {QStringLiteral("passwd"), QStringLiteral("-apr1"),
                                                  QStringLiteral("s3cret")});
        QVERIFY(openssl.waitForFinished(10000));
        testsupport::writeFile(
            file, "dana:" + openssl.readAllStandardOutput().trimmed().toStdString() + "\n");
        testsupport::NginxServer nginx(
            "    location /club/ { auth_basic \"Club\"; auth_basic_user_file " + file + "; }\n");
        nginx.put("club/index.html", "<a href=\"a.html\">a</a><a href=\"b.html\">b</a>");
        nginx.put("club/a.html", "first");
        nginx.put("club/b.html", "second");
        QVERIFY2(nginx.start(), nginx.error().c_str());

        int asked = 0;
        QPointer<TAuthdlg> answered;
        QTimer driver;
        driver.setInterval(5);
        connect(&driver, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<TAuthdlg*>(w);
                if (!box || !box->isVisible() || box == answered) continue;
                answered = box;
                ++asked;
                QTest::keyClicks(box->Edit1, QStringLiteral("dana"));
                QTest::keyClicks(box->Edit2, QStringLiteral("s3cret"));
                QTest::keyClick(box->Edit2, Qt::Key_Return);
            }
        });
        driver.start();

        QTemporaryDir target;
        const QString saveDir = target.path() + QStringLiteral("/Club");
        platform::ScriptedDialogs dialogs;
        auto form = std::make_unique<TFormHVXLoader>();
        form->SetDialogs(&dialogs);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        runWizard(*form, nginx.baseUrl() + "/club/index.html", saveDir);
        QTRY_VERIFY_WITH_TIMEOUT(!form->btnFnlExit->isHidden(), 60000);
        driver.stop();

        QCOMPARE(asked, 1);
        QCOMPARE(testsupport::readFile(saveDir.toStdString() + "/club/a.html"),
                 std::string("first"));
        QCOMPARE(testsupport::readFile(saveDir.toStdString() + "/club/b.html"),
                 std::string("second"));
        QVERIFY2(
            form->RichEdit1->toPlainText().contains(QStringLiteral("Total Files Downloaded: 3")),
            qPrintable(form->RichEdit1->toPlainText()));
        QTest::mouseClick(form->btnFnlExit, Qt::LeftButton);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_EndToEnd.moc"
