#include "platform/gui/HelpViewer.h"

#include <QFile>
#include <QTextBrowser>
#include <QUrl>

namespace platform {

namespace {
constexpr int kWidth = 560;
constexpr int kHeight = 480;
}  // namespace

HelpViewer::~HelpViewer() { delete browser_; }

bool HelpViewer::showContext(int context) {
    if (helpFile_.isEmpty() || !QFile::exists(helpFile_)) return false;
    if (!browser_) {
        browser_ = new QTextBrowser;
        browser_->setObjectName(QStringLiteral("HelpWindow"));
        browser_->setAttribute(Qt::WA_DeleteOnClose);
        browser_->setOpenExternalLinks(false);
        browser_->resize(kWidth, kHeight);
    }
    const QUrl url = helpFile_.startsWith(QLatin1Char(':'))
                         ? QUrl(QStringLiteral("qrc") + helpFile_)
                         : QUrl::fromLocalFile(helpFile_);
    browser_->setSource(url);
    if (context > 1) browser_->scrollToAnchor(QStringLiteral("topic%1").arg(context));
    browser_->setWindowTitle(browser_->documentTitle().isEmpty() ? QStringLiteral("Help")
                                                                 : browser_->documentTitle());
    browser_->show();
    browser_->raise();
    browser_->activateWindow();
    return true;
}

}  // namespace platform
