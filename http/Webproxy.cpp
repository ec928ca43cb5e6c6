#include "http/Webproxy.h"

namespace http {

bool TWebProxy::bypasses(const std::string& hostAndPort) const {
    for (const auto& line : noProxy_) {
        // An empty line names no host; it must not bypass every URL.
        if (!line.empty() && hostAndPort.find(line) != std::string::npos) return true;
    }
    return false;
}

}  // namespace http
