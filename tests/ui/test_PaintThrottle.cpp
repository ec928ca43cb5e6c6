#include <QWidget>
#include <QtTest>

#include "ui/PaintThrottle.h"

namespace {

class CountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

}  // namespace

// A window under the throttle is painted at most once per interval, and a
// change made too soon is still painted once the interval is over.
class TestPaintThrottle : public QObject {
    Q_OBJECT

private slots:
    void holdsBackAPaintThatComesTooSoonAndSendsItLater() {
        CountingWidget window;
        window.resize(200, 100);
        new ui::TPaintThrottle(&window, 1500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.paints >= 1);

        window.update();  // the first request through the throttle goes at once
        QTRY_VERIFY_WITH_TIMEOUT(window.paints >= 2, 5000);
        const int painted = window.paints;

        window.update();  // too soon after that one
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(window.paints, painted);
        window.update();
        QCoreApplication::processEvents();
        QCOMPARE(window.paints, painted);

        // Both changes arrive together, with the held-back request.
        QTRY_COMPARE_WITH_TIMEOUT(window.paints, painted + 1, 5000);
    }
};

QTEST_MAIN(TestPaintThrottle)
#include "test_PaintThrottle.moc"
