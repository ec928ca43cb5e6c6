#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <memory>

#include "LeakCheck.h"
#include "engine/wsmain.h"
#include "platform/Dialogs.h"
#include "tests/support/Peers.h"
#include "ui/Animate.h"
#include "ui/Wizard.h"
#include "ui/wsmain.h"

using namespace ui;

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
        QVERIFY(form->Engine().bHalted);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_EndToEnd.moc"
