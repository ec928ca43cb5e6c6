#include <QLabel>
#include <QProgressBar>
#include <QtTest>
#include <memory>

#include "ui/StatusFields.h"

// The status fields show the latest value an interval after the first change
// of it, or at once when flushed, and never a value set before a later one.
class TestStatusFields : public QObject {
    Q_OBJECT

private slots:
    void latestValuesAreShownOnTheTickNotBefore() {
        QWidget panel;
        auto* caption = new QLabel(QStringLiteral("File Status:"), &panel);
        auto* queued = new QLabel(QStringLiteral("Queued Files: 0"), &panel);
        auto* bar = new QProgressBar(&panel);
        bar->setRange(0, 100);
        bar->setValue(0);
        ui::TStatusFields fields(&panel, 50);

        for (int i = 1; i <= 20; ++i) {
            fields.setText(caption, QStringLiteral("Downloading http://h.test/%1").arg(i));
            fields.setText(queued, QStringLiteral("Queued Files: %1").arg(100 - i));
            fields.setProgress(bar, i * 5);
        }
        QCOMPARE(caption->text(), QStringLiteral("File Status:"));
        QCOMPARE(bar->value(), 0);
        QVERIFY(fields.pending());
        QTRY_VERIFY(!fields.pending());
        QCOMPARE(caption->text(), QStringLiteral("Downloading http://h.test/20"));
        QCOMPARE(queued->text(), QStringLiteral("Queued Files: 80"));
        QCOMPARE(bar->value(), 100);

        // A label set after the tick waits for the next one; flush shows it now.
        fields.setText(caption, QStringLiteral("Saved http://h.test/20"));
        fields.setProgress(bar, 0);
        fields.flush();
        QCOMPARE(caption->text(), QStringLiteral("Saved http://h.test/20"));
        QCOMPARE(bar->value(), 0);
        QVERIFY(!fields.pending());
    }

    void aStreamOfValuesIsStillShownEveryInterval() {
        QWidget panel;
        auto* caption = new QLabel(&panel);
        ui::TStatusFields fields(&panel, 30);
        QElapsedTimer clock;
        clock.start();
        int shown = 0;
        QString last;
        // Values keep coming faster than the interval: the tick must not be
        // pushed back by each of them.
        for (int i = 0; clock.elapsed() < 2000 && shown < 3; ++i) {
            fields.setText(caption, QString::number(i));
            QTest::qWait(5);
            if (caption->text() != last) {
                last = caption->text();
                ++shown;
            }
        }
        QVERIFY2(shown >= 3, "the caption froze while values kept coming");
    }

    void aLabelGoneBeforeTheTickIsLeftOut() {
        QWidget panel;
        auto* caption = new QLabel(&panel);
        auto* bar = new QProgressBar(&panel);
        ui::TStatusFields fields(&panel, 20);
        fields.setText(caption, QStringLiteral("gone"));
        fields.setProgress(bar, 40);
        delete caption;
        delete bar;
        fields.flush();
        QVERIFY(!fields.pending());
    }
};

QTEST_MAIN(TestStatusFields)
#include "test_StatusFields.moc"
