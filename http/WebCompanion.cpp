#include "http/WebCompanion.h"

#include <algorithm>

namespace http {

WebCompanion::~WebCompanion() {
    // Notification may detach, so walk a copy.
    const auto users = users_;
    for (WebCompanionUser* user : users) user->Notification(this);
}

void WebCompanion::attach(WebCompanionUser* user) {
    if (std::find(users_.begin(), users_.end(), user) == users_.end()) users_.push_back(user);
}

void WebCompanion::detach(WebCompanionUser* user) {
    users_.erase(std::remove(users_.begin(), users_.end(), user), users_.end());
}

}  // namespace http
