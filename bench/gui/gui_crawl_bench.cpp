// Runs the desktop program's wizard to Finish on a start address, with the
// window shown, and reports the wall time of the copy and how well the window
// answered meanwhile:
// - a timer that should tick every 20 ms records the longest gap between ticks
//   (how long the event loop was away);
// - every F12 key press sets the window title to "harvex-bench pong N", so a
//   script outside (bench/gui/run.sh, with xdotool and xprop) can time round
//   trips through the X server and the program's event loop.
//
// usage: gui_crawl_bench START_URL SAVE_DIR
// prints: wall_s=... cpu_s=... max_gap_ms=... ticks=... pongs=... lines=...
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <memory>

#include "engine/wsmain.h"
#include "platform/Dialogs.h"
#include "testing/ScriptedDialogs.h"
#include "ui/Wizard.h"
#include "ui/wsmain.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Answers F12 by retitling the window; the script waits for the new title.
class PongFilter : public QObject {
public:
    explicit PongFilter(QWidget* window) : window_(window) {}
    int pongs = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_F12) {
            window_->setWindowTitle(QStringLiteral("harvex-bench pong %1").arg(++pongs));
            return true;
        }
        return false;
    }

private:
    QWidget* window_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s START_URL SAVE_DIR\n", argv[0]);
        return 2;
    }
    platform::ScriptedDialogs dialogs;
    auto form = std::make_unique<ui::TFormHVXLoader>();
    form->SetDialogs(&dialogs);
    form->setWindowTitle(QStringLiteral("harvex-bench ready"));
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) {
        std::fprintf(stderr, "the window was never shown\n");
        return 1;
    }
    PongFilter pong(form.get());
    app.installEventFilter(&pong);

    QPushButton* next = form->Wizard1->Button(ui::wbNext);
    QTest::mouseClick(next, Qt::LeftButton);
    form->txtStartURL->selectAll();
    QTest::keyClicks(form->txtStartURL, QString::fromLocal8Bit(argv[1]));
    QTest::keyClicks(form->txtSaveDirectory, QString::fromLocal8Bit(argv[2]));
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(next, Qt::LeftButton);

    QElapsedTimer sinceTick;
    qint64 maxGap = 0;
    long ticks = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (sinceTick.isValid()) maxGap = std::max(maxGap, sinceTick.elapsed());
        sinceTick.restart();
        ++ticks;
    });
    tick.start();
    form->setWindowTitle(QStringLiteral("harvex-bench running"));

    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // Finish runs the job to its end inside the click, pumping events.
    QTest::mouseClick(next, Qt::LeftButton);
    while (form->btnFnlExit->isHidden()) QTest::qWait(20);
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    tick.stop();
    const double cpu = cpuSeconds() - cpuBefore;
    form->setWindowTitle(QStringLiteral("harvex-bench done"));

    std::printf("wall_s=%.3f cpu_s=%.3f max_gap_ms=%lld ticks=%ld pongs=%d lines=%d\n", seconds,
                cpu, static_cast<long long>(maxGap), ticks, pong.pongs,
                form->RichEdit1->document()->blockCount());
    std::fflush(stdout);
    QTest::mouseClick(form->btnFnlExit, Qt::LeftButton);
    return 0;
}
