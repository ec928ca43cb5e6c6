#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "LeakCheck.h"
#include "platform/Timer.h"
#include "ui/Startup.h"
#include "ui/Wizard.h"
#include "ui/fSplash.h"
#include "ui/fpopdet.h"

using namespace ui;

class TestAuxWindows : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        QVERIFY2(leakedTopLevels().isEmpty(), qPrintable(leakedTopLevels().join(", ")));
    }

    void creditsDialogLayout() {
        TfrmPopDet dialog;
        QCOMPARE(dialog.Caption(), QStringLiteral("Yeaahh Boyeeeeeeeeeeeeeeeeeeeeee"));
        QCOMPARE(dialog.Caption().section(QLatin1Char(' '), 1).count(QLatin1Char('e')), 22);
        QCOMPARE(dialog.ClientArea()->size(), QSize(241, 370));
        QCOMPARE(dialog.Button1->text(), QStringLiteral("tectonix is in da house!"));
        QCOMPARE(dialog.Button1->geometry(), QRect(0, 348, 241, 22));
        QCOMPARE(dialog.Image1->toolTip(), QStringLiteral("tectonix"));
        QVERIFY(!dialog.Image1->pixmap().isNull());
    }

    void creditsDialogOpensClosesAndOpensAgain() {
        TfrmPopDet dialog;
        for (int round = 0; round < 2; ++round) {
            bool sawVisible = false;
            QTimer::singleShot(0, &dialog, [&] {
                sawVisible = dialog.isVisible();
                dialog.Button1->click();
            });
            dialog.ShowModal();
            QVERIFY(sawVisible);
            QVERIFY(!dialog.isVisible());
        }
    }

    void startUpShowsOnlyTheMainWindowAtItsFirstPage() {
        THarvexWindows windows;
        windows.FormHVXLoader.show();
        QVERIFY(windows.FormHVXLoader.isVisible());
        QVERIFY(!windows.frmSplash.isVisible());
        QVERIFY(!windows.frmPopDet.isVisible());
        QCOMPARE(windows.FormHVXLoader.Wizard1->ActivePage(), windows.FormHVXLoader.WizardPage1);
        // The credits gesture reaches the dialog created at start-up.
        bool shown = false;
        QTimer::singleShot(0, &windows.frmPopDet, [&] {
            shown = windows.frmPopDet.isVisible();
            windows.frmPopDet.Button1->click();
        });
        QTest::mouseDClick(windows.FormHVXLoader.PaintBox1, Qt::RightButton,
                           Qt::ShiftModifier | Qt::ControlModifier);
        QVERIFY(shown);
    }

    void splashClosesOnItsFirstTickAfterActivation() {
        TfrmSplash splash;
        QCOMPARE(splash.size(), QSize(471, 285));
        QCOMPARE(splash.Label1->text(), QStringLiteral("Version 1.25"));
        QCOMPARE(splash.Label1->pos(), QPoint(288, 128));
        QCOMPARE(splash.Timer1().interval(), 2000);
        QVERIFY(!splash.Timer1().enabled());
        splash.show();
        splash.FormActivate();
        QVERIFY(splash.Timer1().enabled());
        splash.Timer1Timer();
        QVERIFY(!splash.isVisible());
        QVERIFY(!splash.Timer1().enabled());
    }
};

QTEST_MAIN(TestAuxWindows)
#include "test_AuxWindows.moc"
