#include "engine/CertificateQuestion.h"

#include "platform/Dialogs.h"

namespace engine {

std::string CertificateQuestionText(const std::string& host, const std::string& reason) {
    return "The secure server " + host + " cannot be trusted: " + reason +
           ".\n\nSomeone may be posing as this server. Download from " + host + " anyway?";
}

bool AskCertificateBox(platform::Dialogs& dialogs, const std::string& host,
                       const std::string& reason) {
    return dialogs.messageBox("Untrusted certificate", CertificateQuestionText(host, reason),
                              platform::DialogKind::Warning,
                              platform::kButtonYes | platform::kButtonNo) ==
           platform::DialogResult::Yes;
}

}  // namespace engine
