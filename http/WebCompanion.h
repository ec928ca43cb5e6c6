#pragma once

#include <vector>

namespace http {

class TWeb;

// Base of the components a TWeb refers to (proxy list, document cache). When
// one goes away, every TWeb still referring to it is told, so that none keeps
// a dangling reference.
class WebCompanion {
public:
    WebCompanion() = default;
    virtual ~WebCompanion();
    WebCompanion(const WebCompanion&) = delete;
    WebCompanion& operator=(const WebCompanion&) = delete;

    void attach(TWeb* web);
    void detach(TWeb* web);

private:
    std::vector<TWeb*> users_;
};

}  // namespace http
