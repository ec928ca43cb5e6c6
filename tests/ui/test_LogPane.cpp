#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include "ui/LogPane.h"

// The log pane takes every line into its text at once and lays the lines of
// one interval out together, so the pane always reads as the log file does.
class TestLogPane : public QObject {
    Q_OBJECT

private slots:
    // Rows: how the lines arrive. Whatever the batches, the pane's text is the
    // lines in order at every moment, and its layout follows with the tick.
    void paneHoldsEveryLineAtOnceAndIsLaidOutPerTick_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("perBurst");
        QTest::newRow("one line") << 1 << 1;
        QTest::newRow("one burst of many") << 500 << 500;
        QTest::newRow("bursts across ticks") << 300 << 40;
    }
    void paneHoldsEveryLineAtOnceAndIsLaidOutPerTick() {
        QFETCH(int, lines);
        QFETCH(int, perBurst);
        QPlainTextEdit edit;
        edit.resize(300, 120);
        auto* pane = new ui::TLogPane(&edit, 50);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QStringList expected;
        for (int i = 0; i < lines; ++i) {
            const QString line = QStringLiteral("Saved http://h.test/%1").arg(i);
            pane->append(line, {}, false);
            expected << line;
            QCOMPARE(edit.toPlainText(), expected.join('\n'));
            if ((i + 1) % perBurst == 0) QTRY_VERIFY(!pane->pending());
        }
        QTRY_VERIFY(!pane->pending());
        QCOMPARE(edit.toPlainText(), expected.join('\n'));
        QCOMPARE(edit.document()->blockCount(), lines);
        QScrollBar* bar = edit.verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
    }

    // A burst is one change of the document for its layout, however many
    // lines it holds: the cost the pane saves.
    void aBurstReachesTheLayoutAsOneChange() {
        QPlainTextEdit edit;
        auto* pane = new ui::TLogPane(&edit, 50);
        int changes = 0;
        connect(edit.document(), &QTextDocument::contentsChange, this, [&] { ++changes; });
        for (int i = 0; i < 200; ++i) pane->append(QStringLiteral("line %1").arg(i), {}, false);
        QCOMPARE(changes, 0);
        QTRY_VERIFY(!pane->pending());
        QCOMPARE(changes, 1);
    }

    // Clearing mid-burst and the burst left at the end of a job: nothing
    // is lost and nothing from before the clear comes back.
    void clearAndFlushKeepThePaneEqualToTheLog() {
        QPlainTextEdit edit;
        auto* pane = new ui::TLogPane(&edit, 60000);  // the tick never comes here
        pane->append(QStringLiteral("before"), {}, false);
        pane->clear();
        QVERIFY(!pane->pending());
        QCOMPARE(edit.toPlainText(), QString());
        pane->append(QStringLiteral("fresh"), {}, false);
        pane->append(QStringLiteral("Download Summary:"), {}, true);
        pane->append(QStringLiteral("stored under "), QStringLiteral("/tmp/x/"), false);
        QVERIFY(pane->pending());
        pane->flush();
        QVERIFY(!pane->pending());
        QCOMPARE(edit.toPlainText(),
                 QStringLiteral("fresh\nDownload Summary:\nstored under /tmp/x/"));
        const QTextBlock heading = edit.document()->findBlockByNumber(1);
        QCOMPARE(heading.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
        const QTextBlock tail = edit.document()->findBlockByNumber(2);
        auto fragment = tail.begin();
        QVERIFY(fragment.fragment().charFormat().fontWeight() != int(QFont::Bold));
        ++fragment;
        QCOMPARE(fragment.fragment().text(), QStringLiteral("/tmp/x/"));
        QCOMPARE(fragment.fragment().charFormat().fontWeight(), int(QFont::Bold));
    }
};

QTEST_MAIN(TestLogPane)
#include "test_LogPane.moc"
