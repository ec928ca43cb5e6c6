#include "ui/LogPane.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace ui {

namespace {

const QColor kNavy(0, 0, 128);

}  // namespace

TLogPane::TLogPane(QPlainTextEdit* pane, int intervalMs) : QObject(pane), pane_(pane) {
    // A timer, not a posted call: it costs the event loop no wake-up.
    tick_.setSingleShot(true);
    tick_.setInterval(intervalMs);
    connect(&tick_, &QTimer::timeout, this, [this] { flush(); });
}

// The pane goes with its window; what waits for layout needs none then.
TLogPane::~TLogPane() = default;

void TLogPane::append(const QString& plain, const QString& bold, bool heading) {
    if (!batch_) {
        QScrollBar* bar = pane_->verticalScrollBar();
        following_ = bar->value() >= bar->maximum();
        batch_ = std::make_unique<QTextCursor>(pane_->document());
        // Placed by position: moving to the end would lay out the last line.
        batch_->setPosition(pane_->document()->characterCount() - 1);
        // Inside one edit block the document takes the text at once and tells
        // its layout about all of it when the block ends.
        batch_->beginEditBlock();
        tick_.start();
    }
    QTextCursor& cursor = *batch_;
    // Every line but the first opens a new block.
    if (hasLines_) cursor.insertBlock();
    hasLines_ = true;
    if (heading) {
        QTextCharFormat format;
        format.setFontWeight(QFont::Bold);
        format.setForeground(kNavy);
        cursor.insertText(plain, format);
        return;
    }
    cursor.insertText(plain, QTextCharFormat());
    if (!bold.isEmpty()) {
        QTextCharFormat format;
        format.setFontWeight(QFont::Bold);
        cursor.insertText(bold, format);
    }
}

void TLogPane::flush() {
    tick_.stop();
    if (!batch_) return;
    batch_->endEditBlock();
    batch_.reset();
    QScrollBar* bar = pane_->verticalScrollBar();
    if (following_) bar->setValue(bar->maximum());
}

void TLogPane::clear() {
    flush();
    pane_->clear();
    hasLines_ = false;
}

}  // namespace ui
