#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QPlainTextEdit;
class QTextCursor;

namespace ui {

// The log pane's writer. A copy adds several lines per file, and laying out
// and scrolling the pane for each costs more than the copy itself; so the
// lines are put into the pane's document at once (its text is always the
// log's), while its layout and the scrolling wait for one tick per interval:
// every line added within it is laid out in one go. New lines are followed
// only while the reader is at the end; a reader who scrolled up stays there.
class TLogPane : public QObject {
public:
    TLogPane(QPlainTextEdit* pane, int intervalMs);
    ~TLogPane() override;

    // One line: plain text, then an optional bold tail; a heading is bold navy.
    void append(const QString& plain, const QString& bold, bool heading);
    // Empties the pane.
    void clear();
    // Lays out what was added and scrolls to it now (the tick does it otherwise).
    void flush();
    // Lines added whose layout waits for the tick.
    bool pending() const { return batch_ != nullptr; }

private:
    QPlainTextEdit* pane_;
    std::unique_ptr<QTextCursor> batch_;  // open edit of the document, at its end
    bool following_ = true;               // the pane was at its end when the batch began
    bool hasLines_ = false;
    QTimer tick_;
};

}  // namespace ui
