#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QtTest>

#include "LeakCheck.h"
#include "ui/GradForm.h"
#include "ui/GradPanel.h"

using namespace ui;

class TestGradForm : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        QVERIFY2(leakedTopLevels().isEmpty(), qPrintable(leakedTopLevels().join(", ")));
    }

    void colorTableRunsFromBlackToTheCaptionColour_data() {
        QTest::addColumn<QColor>("target");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("index");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("first is black") << QColor(10, 36, 106) << 64 << 0 << QColor(0, 0, 0);
        QTest::newRow("last is the colour")
            << QColor(10, 36, 106) << 64 << 63 << QColor(10, 36, 106);
        // 255 / 7 * 1 = 36.43 -> 36; 255 / 7 * 3 = 109.29 -> 109
        QTest::newRow("8 steps, 1") << QColor(255, 255, 255) << 8 << 1 << QColor(36, 36, 36);
        QTest::newRow("8 steps, 3") << QColor(255, 255, 255) << 8 << 3 << QColor(109, 109, 109);
        // 2 / 7 * ... : channel 7 of 8 steps gives exact integers j
        QTest::newRow("exact") << QColor(7, 14, 0) << 8 << 5 << QColor(5, 10, 0);
        // 1 / 2 * 1 = 0.5 -> 0 and 3 / 2 * 1 = 1.5 -> 2: halves go to even
        QTest::newRow("halves to even") << QColor(1, 3, 5) << 3 << 1 << QColor(0, 2, 2);
    }
    void colorTableRunsFromBlackToTheCaptionColour() {
        QFETCH(QColor, target);
        QFETCH(int, n);
        QFETCH(int, index);
        QFETCH(QColor, expected);
        const auto table = TGradientForm::BuildColorTable(target, n);
        QCOMPARE(int(table.size()), n);
        QCOMPARE(table[index], expected);
    }

    void gradientColorsOutsideEightTo256AreRefused() {
        TGradientForm form;
        QCOMPARE(form.GradientColors(), 64);
        QCOMPARE(int(form.ColorTable(1).size()), 64);
        form.SetGradientColors(7);
        QCOMPARE(form.GradientColors(), 64);
        form.SetGradientColors(257);
        QCOMPARE(form.GradientColors(), 64);
        form.SetGradientColors(8);
        QCOMPARE(form.GradientColors(), 8);
        QCOMPARE(int(form.ColorTable(0).size()), 8);
        QCOMPARE(int(form.ColorTable(1).size()), 8);
        form.SetGradientColors(256);
        QCOMPARE(int(form.ColorTable(1).size()), 256);
    }

    void captionFollowsAChangeOfSystemColours() {
        TGradientForm form;
        QPalette pal = form.palette();
        pal.setColor(QPalette::Active, QPalette::Highlight, QColor(200, 0, 0));
        form.setPalette(pal);
        QCOMPARE(form.ColorTable(1).back(), QColor(200, 0, 0));
        QCOMPARE(form.ColorTable(1).front(), QColor(0, 0, 0));
    }

    void gradPanelKeepsTheColoursItWasCreatedWith() {
        QWidget parent;
        auto* panel = new TGradPanel(&parent);
        const QColor first = panel->Colors()[0];
        QPalette pal = panel->palette();
        pal.setColor(QPalette::Light, QColor(1, 2, 3));
        panel->setPalette(pal);
        QCOMPARE(panel->Colors()[0], first);
    }

    void gradPanelTableMixesHighlightIntoShadow() {
        const auto table =
            TGradPanel::BuildColorTable(QColor(255, 255, 255), QColor(128, 128, 128));
        QCOMPARE(table[0], QColor(255, 255, 255));
        QCOMPARE(table[63], QColor(128, 128, 128));
        // 128/63*21 + 255/63*42 = 42.667 + 170 = 212.67 -> 213
        QCOMPARE(table[21], QColor(213, 213, 213));
        // halves to even: 1/63*i + 0 ... left 0, right 63 -> i; left 63,right 0 -> 63 - i exact
        const auto exact = TGradPanel::BuildColorTable(QColor(63, 0, 0), QColor(0, 63, 0));
        QCOMPARE(exact[10], QColor(53, 10, 0));
    }

    void gradPanelIsFlatOnAnEightBitScreen() {
        QWidget parent;
        auto* panel = new TGradPanel(&parent);
        panel->resize(370, 17);
        panel->SetDepthOverride(8);
        QImage img(panel->size(), QImage::Format_RGB32);
        panel->render(&img);
        QCOMPARE(img.pixelColor(0, 5), panel->Colors()[0]);
        QCOMPARE(img.pixelColor(369, 5), panel->Colors()[0]);
        panel->SetDepthOverride(24);
        panel->render(&img);
        QCOMPARE(img.pixelColor(0, 5), panel->Colors()[0]);
        QVERIFY(img.pixelColor(369, 5) != panel->Colors()[0] ||
                panel->Colors()[0] == panel->Colors()[63]);
    }

    void mainWindowStyleShowsIconCloseAndDisabledMaximize() {
        TGradientForm form(nullptr, TFormBorderStyle::bsSingle, biSystemMenu | biMinimize);
        form.SetClientSize(534, 353);
        const auto layout = form.ComputeCaptionLayout();
        QVERIFY(layout.hasIcon);
        QCOMPARE(int(layout.buttons.size()), 3);
        QCOMPARE(layout.buttons[0].kind, TGradientForm::CaptionButton::Close);
        QVERIFY(layout.buttons[0].enabled);
        QCOMPARE(layout.buttons[1].kind, TGradientForm::CaptionButton::Maximize);
        QVERIFY(!layout.buttons[1].enabled);
        QCOMPARE(layout.buttons[2].kind, TGradientForm::CaptionButton::Minimize);
        QVERIFY(layout.buttons[2].enabled);
        QCOMPARE(form.ClientArea()->size(), QSize(534, 353));
        // Text area ends left of every button.
        for (const auto& b : layout.buttons) QVERIFY(layout.textArea.right() < b.rect.left());
    }

    void dialogStyleHasOnlyClose() {
        TGradientForm form(nullptr, TFormBorderStyle::bsDialog, biSystemMenu);
        form.SetClientSize(241, 370);
        const auto layout = form.ComputeCaptionLayout();
        QVERIFY(!layout.hasIcon);
        QCOMPARE(int(layout.buttons.size()), 1);
        QCOMPARE(layout.buttons[0].kind, TGradientForm::CaptionButton::Close);
    }

    void borderlessFormHasNoCaption() {
        TGradientForm form(nullptr, TFormBorderStyle::bsNone, 0);
        form.SetClientSize(100, 50);
        QVERIFY(form.ComputeCaptionLayout().caption.isEmpty());
        QCOMPARE(form.size(), QSize(100, 50));
    }

    void inactiveCaptionIsSolidWithGfpActive() {
        TGradientForm form;
        form.SetClientSize(300, 100);
        form.SetPaintGradient(TGFPaintWhen::gfpActive);
        const QImage inactive = form.RenderCaption(false).toImage();
        const QColor solid = TGradientForm::CaptionColor(form.palette(), false);
        QCOMPARE(inactive.pixelColor(40, 2).rgb(), solid.rgb());
        QCOMPARE(inactive.pixelColor(150, 2).rgb(), solid.rgb());
        const QImage active = form.RenderCaption(true).toImage();
        QVERIFY(active.pixelColor(0, 2) != active.pixelColor(200, 2));
        form.SetPaintGradient(TGFPaintWhen::gfpNever);
        const QImage never = form.RenderCaption(true).toImage();
        QCOMPARE(never.pixelColor(150, 2).rgb(),
                 TGradientForm::CaptionColor(form.palette(), true).rgb());
    }

    void longCaptionIsElidedAndStaysOffTheButtons() {
        TGradientForm form(nullptr, TFormBorderStyle::bsSingle, biSystemMenu | biMinimize);
        form.SetClientSize(160, 50);
        form.SetPaintGradient(TGFPaintWhen::gfpNever);
        form.SetCaption(QString(200, QLatin1Char('W')));
        const auto layout = form.ComputeCaptionLayout();
        const QImage withText = form.RenderCaption(true).toImage();
        form.SetCaption(QString());
        const QImage without = form.RenderCaption(true).toImage();
        // The text changes pixels only inside the text area, never on the buttons.
        int changed = 0;
        for (int x = 0; x < withText.width(); ++x) {
            for (int y = 0; y < withText.height(); ++y) {
                if (withText.pixel(x, y) == without.pixel(x, y)) continue;
                ++changed;
                QVERIFY2(x >= layout.textArea.left() && x <= layout.textArea.right(),
                         qPrintable(QStringLiteral("text pixel at x=%1").arg(x)));
            }
        }
        QVERIFY(changed > 0);
        form.SetCaption(QString(200, QLatin1Char('W')));
        QCOMPARE(form.Caption().size(), 200);
    }

    void onCaptionPaintRunsBeforeTheTextAndMayNarrowIt() {
        TGradientForm form;
        form.SetClientSize(300, 60);
        form.SetCaption(QStringLiteral("Caption"));
        QRect seen;
        form.OnCaptionPaint = [&](TGradientForm* sender, QPainter& canvas, QRect& r) {
            QCOMPARE(sender, &form);
            seen = r;
            canvas.fillRect(QRect(r.left(), 0, 10, 5), Qt::green);
            r.setLeft(r.left() + 100);
        };
        const QImage img = form.RenderCaption(true).toImage();
        QVERIFY(seen.isValid());
        QCOMPARE(img.pixelColor(seen.left() + 1, 1), QColor(Qt::green));
    }

    void sizingCursorsByHitTestCode_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("shape");
        QTest::newRow("left") << 10 << int(Qt::SizeHorCursor);
        QTest::newRow("right") << 11 << int(Qt::SizeHorCursor);
        QTest::newRow("top") << 12 << int(Qt::SizeVerCursor);
        QTest::newRow("bottom") << 15 << int(Qt::SizeVerCursor);
        QTest::newRow("topleft") << 13 << int(Qt::SizeFDiagCursor);
        QTest::newRow("bottomright") << 17 << int(Qt::SizeFDiagCursor);
        QTest::newRow("topright") << 14 << int(Qt::SizeBDiagCursor);
        QTest::newRow("bottomleft") << 16 << int(Qt::SizeBDiagCursor);
        QTest::newRow("caption") << 2 << int(Qt::ArrowCursor);
    }
    void sizingCursorsByHitTestCode() {
        QFETCH(int, code);
        QFETCH(int, shape);
        QCOMPARE(int(TGradientForm::CursorForHitTest(code)), shape);
    }

    void setCaptionKeepsTheText() {
        TGradientForm form;
        form.SetCaption(QStringLiteral("Harvex (Version 1.25)"));
        QCOMPARE(form.Caption(), QStringLiteral("Harvex (Version 1.25)"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Harvex (Version 1.25)"));
    }

    // Caption buttons act on release over the button they were pressed on:
    // dragging off cancels, as on every desktop.
    void captionButtonsActOnRelease_data() {
        QTest::addColumn<int>("pressed");     // index in the caption layout
        QTest::addColumn<int>("released");    // -1: on the caption text
        QTest::addColumn<bool>("wanderOff");  // leave the button and come back
        QTest::addColumn<QString>("effect");
        // Buttons of the main window's caption: 0 close, 1 maximize (disabled), 2 minimize.
        QTest::newRow("close: press and release") << 0 << 0 << false << "closed";
        QTest::newRow("close: off and back") << 0 << 0 << true << "closed";
        QTest::newRow("close: dragged off") << 0 << -1 << false << "none";
        QTest::newRow("close: released on minimize") << 0 << 2 << false << "none";
        QTest::newRow("minimize: press and release") << 2 << 2 << false << "minimized";
        QTest::newRow("minimize: dragged off") << 2 << -1 << false << "none";
        QTest::newRow("maximize disabled") << 1 << 1 << false << "none";
    }
    void captionButtonsActOnRelease() {
        QFETCH(int, pressed);
        QFETCH(int, released);
        QFETCH(bool, wanderOff);
        QFETCH(QString, effect);
        auto* form =
            new TGradientForm(nullptr, TFormBorderStyle::bsSingle, biSystemMenu | biMinimize);
        form->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<TGradientForm> guard(form);
        const auto cleanUp = qScopeGuard([&] { delete guard.data(); });
        form->SetClientSize(300, 100);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const auto layout = form->ComputeCaptionLayout();
        QCOMPARE(int(layout.buttons.size()), 3);
        QCOMPARE(layout.buttons[1].kind, TGradientForm::CaptionButton::Maximize);
        auto centre = [&](int index) {
            return index < 0
                       ? layout.textArea.translated(layout.caption.topLeft()).center()
                       : layout.buttons[index].rect.translated(layout.caption.topLeft()).center();
        };
        auto moveWithButtonDown = [&](const QPoint& to) {
            QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(form->mapToGlobal(to)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form, &move);
        };
        const QPoint start = centre(pressed);
        QTest::mousePress(form, Qt::LeftButton, {}, start);
        // Nothing happens on the press itself.
        QVERIFY(form->isVisible());
        QVERIFY(!form->isMinimized());
        if (wanderOff) {
            moveWithButtonDown(centre(-1));
            moveWithButtonDown(start);
        }
        const QPoint end = centre(released);
        if (end != start) moveWithButtonDown(end);
        QTest::mouseRelease(form, Qt::LeftButton, {}, end);
        QApplication::processEvents();
        if (effect == QLatin1String("closed")) {
            QTRY_VERIFY(guard.isNull());
            return;
        }
        QVERIFY(!guard.isNull());
        QVERIFY(form->isVisible());
        QCOMPARE(form->isMinimized(), effect == QLatin1String("minimized"));
    }

    void closeButtonClosesAndDraggingTheBarMovesTheWindow() {
        auto* form = new TGradientForm(nullptr, TFormBorderStyle::bsSingle, biSystemMenu);
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->SetClientSize(300, 100);
        form->move(50, 50);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const auto layout = form->ComputeCaptionLayout();
        const QPoint start = layout.caption.topLeft() + QPoint(60, 8);
        const QPoint before = form->pos();
        QTest::mousePress(form, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(30, 20)),
                         QPointF(form->mapToGlobal(start + QPoint(30, 20))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form, &move);
        QTest::mouseRelease(form, Qt::LeftButton, {}, start + QPoint(30, 20));
        QCOMPARE(form->pos(), before + QPoint(30, 20));
        QPointer<TGradientForm> guard(form);
        const QRect close = layout.buttons[0].rect.translated(layout.caption.topLeft());
        QTest::mouseClick(form, Qt::LeftButton, {}, close.center());
        QTRY_VERIFY(guard.isNull());
    }
};

QTEST_MAIN(TestGradForm)
#include "test_GradForm.moc"
