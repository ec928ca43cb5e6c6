#pragma once

#include <string>

namespace platform {
class Dialogs;
}

namespace engine {

// The Yes/No box that asks whether to fetch from a server whose certificate
// failed the check; true for Yes. Front ends that show boxes use it for
// TJobView::AcceptCertificate.
bool AskCertificateBox(platform::Dialogs& dialogs, const std::string& host,
                       const std::string& reason);

// The box's text, naming the host and the reason.
std::string CertificateQuestionText(const std::string& host, const std::string& reason);

}  // namespace engine
