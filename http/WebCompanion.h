#pragma once

#include <vector>

namespace http {

class WebCompanion;

// What refers to a companion (a TWeb) and must hear when it goes away.
class WebCompanionUser {
public:
    virtual void Notification(WebCompanion* removed) = 0;

protected:
    ~WebCompanionUser() = default;
};

// Base of the components a TWeb refers to (proxy list, document cache). When
// one goes away, every user still referring to it is told, so that none keeps
// a dangling reference.
class WebCompanion {
public:
    WebCompanion() = default;
    virtual ~WebCompanion();
    WebCompanion(const WebCompanion&) = delete;
    WebCompanion& operator=(const WebCompanion&) = delete;

    void attach(WebCompanionUser* user);
    void detach(WebCompanionUser* user);

private:
    std::vector<WebCompanionUser*> users_;
};

}  // namespace http
