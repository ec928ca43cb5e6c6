#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/desktop/DesktopCommandLine.h"
#include "platform/Dialogs.h"
#include "testing/ScriptedDialogs.h"
#include "ui/Wizard.h"
#include "ui/wsmain.h"

using app::DesktopCommandLine;
using Action = DesktopCommandLine::Action;

Q_DECLARE_METATYPE(DesktopCommandLine::Action)

class TestDesktopCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parses_data();
    void parses();
    void relativeFolderIsTakenFromTheCurrentDirectory();
    void fillsPageTwoWhileTheWizardStaysOnPageOne();
    void withoutArgumentsPageTwoKeepsItsOwnText();
};

void TestDesktopCommandLine::parses_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("startAddress");
    QTest::addColumn<QString>("saveFolder");

    const QString url = QStringLiteral("http://www.harvex.example/docs/");
    QTest::newRow("nothing") << QStringList{} << Action::Run << QString() << QString();
    QTest::newRow("address only") << QStringList{url} << Action::Run << url << QString();
    QTest::newRow("address and folder")
        << QStringList{url, "/srv/copy"} << Action::Run << url << QStringLiteral("/srv/copy");
    QTest::newRow("home folder left to the wizard")
        << QStringList{url, "~/Sites"} << Action::Run << url << QStringLiteral("~/Sites");
    QTest::newRow("after --") << QStringList{"--", "-odd-", "/srv/copy"} << Action::Run
                              << QStringLiteral("-odd-") << QStringLiteral("/srv/copy");
    QTest::newRow("help") << QStringList{"--help"} << Action::ShowHelp << QString() << QString();
    QTest::newRow("short help") << QStringList{"-h"} << Action::ShowHelp << QString() << QString();
    QTest::newRow("version") << QStringList{"--version"} << Action::ShowVersion << QString()
                             << QString();
    QTest::newRow("short version")
        << QStringList{"-V"} << Action::ShowVersion << QString() << QString();
    // Before QApplication has taken out its own options, help and version are
    // still found among them.
    QTest::newRow("version among Qt options") << QStringList{"-platform", "offscreen", "--version"}
                                              << Action::ShowVersion << QString() << QString();
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << Action::Invalid << QString() << QString();
    QTest::newRow("three arguments")
        << QStringList{url, "/srv/copy", "extra"} << Action::Invalid << QString() << QString();
}

void TestDesktopCommandLine::parses() {
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, startAddress);
    QFETCH(QString, saveFolder);
    arguments.prepend(QStringLiteral("harvex"));
    const DesktopCommandLine result = app::parseDesktopCommandLine(arguments);
    QCOMPARE(result.action, action);
    QCOMPARE(result.startAddress, startAddress);
    QCOMPARE(result.saveFolder, saveFolder);
    QCOMPARE(result.error.isEmpty(), action != Action::Invalid);
}

void TestDesktopCommandLine::relativeFolderIsTakenFromTheCurrentDirectory() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const DesktopCommandLine result = app::parseDesktopCommandLine(
        {QStringLiteral("harvex"), QStringLiteral("http://h.example/"), QStringLiteral("site/a")});
    QDir::setCurrent(previous);
    QCOMPARE(result.saveFolder, QDir(dir.path()).absoluteFilePath(QStringLiteral("site/a")));
}

void TestDesktopCommandLine::fillsPageTwoWhileTheWizardStaysOnPageOne() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    platform::ScriptedDialogs dialogs;
    auto form = std::make_unique<ui::TFormHVXLoader>();
    form->SetDialogs(&dialogs);
    const auto commandLine = app::parseDesktopCommandLine(
        {QStringLiteral("harvex"), QStringLiteral("http://www.harvex.example/docs/"), dir.path()});
    app::fillStartPage(commandLine, *form);
    form->show();

    QCOMPARE(form->Wizard1->ActivePage(), form->WizardPage1);
    form->Wizard1->Button(ui::wbNext)->click();
    QCOMPARE(form->Wizard1->ActivePage(), form->WizardPage2);
    QCOMPARE(form->txtStartURL->text(), QStringLiteral("http://www.harvex.example/docs/"));
    QCOMPARE(form->txtSaveDirectory->text(), dir.path());
    // The page accepts what the command line gave, as if typed.
    form->Wizard1->Button(ui::wbNext)->click();
    QCOMPARE(form->Wizard1->ActivePage(), form->WizardPage3);
    QVERIFY(dialogs.calls.empty());
}

void TestDesktopCommandLine::withoutArgumentsPageTwoKeepsItsOwnText() {
    auto form = std::make_unique<ui::TFormHVXLoader>();
    const QString address = form->txtStartURL->text();
    const QString folder = form->txtSaveDirectory->text();
    app::fillStartPage(app::parseDesktopCommandLine({QStringLiteral("harvex")}), *form);
    QCOMPARE(form->txtStartURL->text(), address);
    QCOMPARE(form->txtSaveDirectory->text(), folder);
}

QTEST_MAIN(TestDesktopCommandLine)
#include "test_DesktopCommandLine.moc"
