#include "http/WebCompanion.h"

#include <algorithm>

#include "http/Web.h"

namespace http {

WebCompanion::~WebCompanion() {
    // Notification may detach, so walk a copy.
    const auto users = users_;
    for (TWeb* web : users) web->Notification(this);
}

void WebCompanion::attach(TWeb* web) {
    if (std::find(users_.begin(), users_.end(), web) == users_.end()) users_.push_back(web);
}

void WebCompanion::detach(TWeb* web) {
    users_.erase(std::remove(users_.begin(), users_.end(), web), users_.end());
}

}  // namespace http
