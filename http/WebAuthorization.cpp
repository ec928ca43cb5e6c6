#include "http/CredentialCache.h"
#include "http/ResponseHead.h"
#include "http/Web.h"
#include "http/WebInternal.h"
#include "platform/FileStream.h"
#include "platform/MessageReceiver.h"

// Basic authorization: a challenge is answered from the credential cache, by
// the OnAuthorization handler or by the dialog, and the request repeated.

namespace http {

std::string challengeRealm(const std::string& value) {
    auto eq = value.find('=');
    if (eq == std::string::npos) return {};
    std::size_t at = eq + 1;
    while (at < value.size() && value[at] == ' ') ++at;
    std::string realm;
    if (at < value.size() && value[at] == '"') {
        // A quoted string ends at its closing quote, whatever parameters follow
        // (RFC 7235, section 2.1); a backslash quotes the next character.
        for (++at; at < value.size() && value[at] != '"'; ++at) {
            if (value[at] == '\\' && at + 1 < value.size()) ++at;
            realm += value[at];
        }
        return realm;
    }
    while (at < value.size() && value[at] != ',' && value[at] != ' ') realm += value[at++];
    return realm;
}

// ---------------------------------------------------------------- authorization

void TWeb::handleChallenge(bool basic) {
    finishCacheEntry(false);
    requests_.clear();
    closeConnection();
    if (!basic) {
        // Basic credentials would travel in clear text to a server that asked
        // for something else, and it would refuse them anyway.
        lastError_ = kUnsupportedScheme;
        return;
    }
    const std::string key = TCredentialCache::key(realm_, originHostAndPort());
    if (!sentCredentialKey_.empty()) {
        // The credentials just sent were refused: forget them and ask again.
        credentialCache_->forget(sentCredentialKey_);
        sentCredentialKey_.clear();
    }
    if (authAttempts_ >= kMaxAuthorizationAttempts) return;
    ++authAttempts_;

    if (TCredentialCache::Credentials known; credentialCache_->find(key, known)) {
        userID_ = known.user;
        password_ = known.password;
        autoHandle_ = false;
    } else {
        // A realm without credentials is always asked for, whatever an earlier
        // challenge left in the flag.
        autoHandle_ = true;
        if (!raise(OnAuthorization, realm_, autoHandle_)) return;
        if (autoHandle_) {
            if (!AuthorizationDialog) return;
            std::string user, password;
            const std::uintptr_t attempt = attempt_;
            const bool ok = AuthorizationDialog(this, realm_, webHost_, user, password);
            if (!ok) return;
            if (attempt != attempt_) {
                // Cancelled while the box was open (a caller's stall watchdog):
                // what the user confirmed still serves the realm's next request.
                credentialCache_->add(key, user, password);
                return;
            }
            userID_ = user;
            password_ = password;
        }
        credentialCache_->add(key, userID_, password_);
    }
    sentCredentialKey_ = key;
    repeatRequest();
}

void TWeb::repeatRequest() {
    ++attempt_;
    readPosition_ = 0;
    level1_ = level2_ = -1;
    const std::string ifModifiedSince = ifModifiedSince_;
    resetResponse();
    ifModifiedSince_ = ifModifiedSince;
    lengthHandedOut_ = 0;
    // Closing the challenged connection let go of the store file.
    if (storeToFile_) openStore();
    sendCredentials_ = true;
    beginAttempt();
}

}  // namespace http
