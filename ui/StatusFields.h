#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <optional>
#include <vector>

class QLabel;
class QProgressBar;

namespace ui {

// The status page's caption, counts and progress bar as the engine last set
// them. A copy changes them several times per file, and every change of a
// label lays it out, tells accessibility about it and marks the window for
// painting: more work than the copy of a small file. The window is painted
// ten times a second at most anyway, so a value waits for the next tick
// (within one interval, and always the latest), or for flush().
class TStatusFields : public QObject {
public:
    TStatusFields(QObject* parent, int intervalMs);

    void setText(QLabel* label, const QString& text);
    void setProgress(QProgressBar* bar, int value);
    // Shows every value still waiting, now.
    void flush();
    bool pending() const { return !texts_.empty() || progress_.has_value(); }

private:
    struct WaitingText {
        QPointer<QLabel> label;
        QString text;
    };
    void startTick();

    std::vector<WaitingText> texts_;  // one per label, in the order first set
    QPointer<QProgressBar> bar_;
    std::optional<int> progress_;
    QTimer tick_;
};

}  // namespace ui
