#include <QClipboard>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "LeakCheck.h"
#include "platform/gui/SettingsStore.h"
#include "ui/corvedit.h"

using namespace ui;

namespace {

struct Box {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TCorvEdit* edit = new TCorvEdit(window.get());
    Box() {
        edit->SetNumericOnly(true);
        edit->SetMax(100000);
        edit->setGeometry(10, 10, 80, 21);
        window->show();
        edit->setFocus();
    }
};

}  // namespace

class TestCorvEdit : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        QVERIFY2(leakedTopLevels().isEmpty(), qPrintable(leakedTopLevels().join(", ")));
    }

    void keyFilterAndUpperBound_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("reaching max is allowed") << "10000" << 5 << "0"
                                                 << "100000";
        QTest::newRow("beyond max is refused") << "100000" << 6 << "0"
                                               << "100000";
        QTest::newRow("checked as appended") << "1" << 0 << "9"
                                             << "91";
        QTest::newRow("appended check refuses at caret 0") << "20000" << 0 << "1"
                                                           << "20000";
        QTest::newRow("letters dropped") << "12" << 2 << "a"
                                         << "12";
        QTest::newRow("minus dropped") << "12" << 2 << "-"
                                       << "12";
        QTest::newRow("space dropped") << "12" << 2 << " "
                                       << "12";
        QTest::newRow("digits typed") << "" << 0 << "4711"
                                      << "4711";
    }
    void keyFilterAndUpperBound() {
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        Box box;
        box.edit->setText(start);
        box.edit->setCursorPosition(caret);
        QTest::keyClicks(box.edit, typed);
        QCOMPARE(box.edit->text(), expected);
    }

    void selectionIsReplacedByTheDigit() {
        Box box;
        box.edit->setText(QStringLiteral("98765"));
        box.edit->setSelection(1, 2);
        QTest::keyClick(box.edit, Qt::Key_5);
        QCOMPARE(box.edit->text(), QStringLiteral("5"));
    }

    void backspaceAlwaysWorksAndEnterTypesNothing() {
        Box box;
        box.edit->setText(QStringLiteral("123"));
        box.edit->setCursorPosition(3);
        QTest::keyClick(box.edit, Qt::Key_Backspace);
        QCOMPARE(box.edit->text(), QStringLiteral("12"));
        QTest::keyClick(box.edit, Qt::Key_Return);
        QCOMPARE(box.edit->text(), QStringLiteral("12"));
    }

    void onKeyPressSeesDiscardedKeysToo() {
        Box box;
        std::vector<char> keys;
        box.edit->OnKeyPress = [&](char& key) { keys.push_back(key); };
        QTest::keyClicks(box.edit, QStringLiteral("1x"));
        QCOMPARE(int(keys.size()), 2);
        QCOMPARE(keys[0], '1');
        QCOMPARE(keys[1], '\0');
    }

    void pastedTextIsNotFiltered() {
        Box box;
        QGuiApplication::clipboard()->setText(QStringLiteral("abc-1"));
        box.edit->paste();
        QCOMPARE(box.edit->text(), QStringLiteral("abc-1"));
    }

    void withoutNumericOnlyEverythingIsTyped() {
        Box box;
        box.edit->SetNumericOnly(false);
        QTest::keyClicks(box.edit, QStringLiteral("a-1"));
        QCOMPARE(box.edit->text(), QStringLiteral("a-1"));
    }

    void lowerBoundAppliesOnLeaving() {
        Box box;
        auto* other = new QLineEdit(box.window.get());
        other->show();
        box.edit->SetMin(10);
        box.edit->setText(QStringLiteral("3"));
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(box.edit, &out);
        QCOMPARE(box.edit->text(), QStringLiteral("10"));
        box.edit->setText(QString());
        QApplication::sendEvent(box.edit, &out);
        QCOMPARE(box.edit->text(), QString());
        // A pasted non-number is left alone instead of failing.
        box.edit->setText(QStringLiteral("x"));
        QApplication::sendEvent(box.edit, &out);
        QCOMPARE(box.edit->text(), QStringLiteral("x"));
    }

    void versionAndRegPath() {
        Box box;
        box.edit->SetVersion(QStringLiteral("2.0"));
        QCOMPARE(box.edit->Version(), QStringLiteral("1.06"));
        box.edit->SetRegPath(QStringLiteral("Software\\X"));
        QCOMPARE(box.edit->RegPath(), QStringLiteral("\\Software\\X"));
        box.edit->SetRegPath(QStringLiteral("\\Software\\Y"));
        QCOMPARE(box.edit->RegPath(), QStringLiteral("\\Software\\Y"));
    }

    void textIsStoredAndLoadedFromTheSettings() {
        QTemporaryDir dir;
        platform::QSettingsStore store((dir.path() + "/s.ini").toStdString());
        {
            Box box;
            box.edit->SetSettingsStore(&store);
            box.edit->SetRegStore(true);
            box.edit->SetRegPath(QStringLiteral("Software\\Harvex"));
            box.edit->SetRegValue(QStringLiteral("Size"));
            box.edit->SetOptions(ceOnExit);
            box.edit->setText(QStringLiteral("42"));
            QFocusEvent out(QEvent::FocusOut);
            QApplication::sendEvent(box.edit, &out);
        }
        QCOMPARE(store.readString("\\Software\\Harvex", "Size").value_or(""), std::string("42"));
        {
            Box box;
            box.edit->SetSettingsStore(&store);
            box.edit->SetRegStore(true);
            box.edit->SetRegPath(QStringLiteral("Software\\Harvex"));
            box.edit->SetRegValue(QStringLiteral("Size"));
            box.edit->Loaded();
            QCOMPARE(box.edit->text(), QStringLiteral("42"));
            // On each key the text before the key is written.
            box.edit->SetOptions(ceOnCarriageReturn);
            box.edit->setCursorPosition(2);
            QTest::keyClick(box.edit, Qt::Key_7);
            QCOMPARE(box.edit->text(), QStringLiteral("427"));
            QCOMPARE(store.readString("\\Software\\Harvex", "Size").value_or(""),
                     std::string("42"));
        }
    }

    void browseButtonSitsBesideTheBoxAndFollowsIt() {
        Box box;
        box.edit->SetFileBrowser(true);
        QToolButton* button = box.edit->BrowseButton();
        QVERIFY(button);
        QCOMPARE(button->parentWidget(), box.window.get());
        QCOMPARE(button->geometry(), QRect(90, 10, 24, 21));
        box.edit->setEnabled(false);
        QVERIFY(!button->isEnabled());
        box.edit->setEnabled(true);
        box.edit->resize(100, 21);
        QCOMPARE(button->x(), 10 + 100 + 2);
        box.edit->move(20, 30);
        QCOMPARE(button->pos(), QPoint(20 + 100, 28));
        box.edit->SetFileFilter(QStringLiteral("Text (*.txt)"));
        box.edit->setText(QStringLiteral("/var/log/old.txt"));
        std::string seenFilter, seenDir;
        box.edit->browseFile = [&](const std::string& filter, const std::string& dir) {
            seenFilter = filter;
            seenDir = dir;
            return std::optional<std::string>("/tmp/chosen.txt");
        };
        button->click();
        QCOMPARE(box.edit->text(), QStringLiteral("/tmp/chosen.txt"));
        QCOMPARE(seenFilter, std::string("Text (*.txt)"));
        QCOMPARE(seenDir, std::string("/var/log"));
        // A cancelled dialog leaves the text alone.
        box.edit->browseFile = [](const std::string&, const std::string&) {
            return std::optional<std::string>();
        };
        button->click();
        QCOMPARE(box.edit->text(), QStringLiteral("/tmp/chosen.txt"));
        box.edit->SetFileBrowser(false);
        QVERIFY(box.edit->BrowseButton() == nullptr);
    }
};

QTEST_MAIN(TestCorvEdit)
#include "test_CorvEdit.moc"
