#include "testing/PlainJobView.h"

#include "engine/CertificateQuestion.h"

namespace engine {

void PlainJobView::AppendLogLine(const std::string& line) { logLines.push_back(line); }

void PlainJobView::AppendLogHeading(const std::string& line) {
    logLines.push_back(line);
    headingLines.push_back(line);
}

void PlainJobView::AppendLogLineBoldTail(const std::string& plain, const std::string& boldTail) {
    logLines.push_back(plain + boldTail);
    boldTails.push_back(boldTail);
}

void PlainJobView::ClearLog() {
    logLines.clear();
    ++logClears;
}

void PlainJobView::SetProgress(int percent) {
    progress = percent;
    ++progressUpdates;
}

void PlainJobView::LoopFinished() {
    progressAnimationStopped = true;
    ++loopFinishedCalls;
}

std::string PlainJobView::logText() const {
    std::string text;
    for (const auto& line : logLines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool PlainJobView::AskCredentials(const std::string& realm, const std::string& host,
                                  std::string& user, std::string& password) {
    credentialRequests.push_back({realm, host});
    if (!credentials) return false;
    user = credentials->first;
    password = credentials->second;
    return true;
}

bool PlainJobView::AcceptCertificate(const std::string& host, const std::string& reason) {
    certificateQuestions.emplace_back(host, reason);
    return AskCertificateBox(dialogs, host, reason);
}

}  // namespace engine
