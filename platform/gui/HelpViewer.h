#pragma once

#include <QPointer>
#include <QString>
#include <QTextBrowser>

namespace platform {

// Shows an HTML help document in a window of its own, at a numbered topic
// (the anchor "topic<n>"; topic 1 is the start of the document).
class HelpViewer {
public:
    HelpViewer() = default;
    ~HelpViewer();
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    void setHelpFile(const QString& path) { helpFile_ = path; }
    QString helpFile() const { return helpFile_; }

    // False when the document cannot be read.
    bool showContext(int context);

    // The window, once shown (for tests).
    QTextBrowser* window() const { return browser_; }

private:
    QString helpFile_;
    QPointer<QTextBrowser> browser_;
};

}  // namespace platform
